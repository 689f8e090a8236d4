#include "name_resolver.h"

#include <netdb.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "os/system_error.h"

namespace vadrel {

namespace {

NameResolver::Answer resolve(const std::string& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;  // one entry per address, not one per socket type
    hints.ai_flags = AI_ADDRCONFIG;  // no IPv6 address for a machine without IPv6, nor IPv4 likewise
    addrinfo* found = nullptr;
    errno = 0;
    const int code = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
    if (code != 0) return {{}, lookup_problem(code, errno)};
    NameResolver::Answer answer;
    for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
        char text[NI_MAXHOST];
        if (::getnameinfo(entry->ai_addr, entry->ai_addrlen, text, sizeof text, nullptr, 0, NI_NUMERICHOST) != 0)
            continue;
        if (std::find(answer.addresses.begin(), answer.addresses.end(), text) == answer.addresses.end())
            answer.addresses.emplace_back(text);
    }
    ::freeaddrinfo(found);
    if (answer.addresses.empty()) answer.problem = lookup_problem(EAI_NODATA, 0);
    return answer;
}

}  // namespace

std::string lookup_problem(int code, int system_error) {
    switch (code) {
        case EAI_NONAME: return "nome sconosciuto";
        case EAI_NODATA:
        case EAI_ADDRFAMILY: return "il nome non ha indirizzi";
        case EAI_AGAIN: return "il server dei nomi non risponde";
        case EAI_FAIL: return "errore del server dei nomi";
        case EAI_MEMORY: return italian_reason(ENOMEM);
        case EAI_SYSTEM: return italian_reason(system_error);
        default: return "ricerca del nome non riuscita (codice " + std::to_string(code) + ")";
    }
}

std::optional<NameResolver::Answer> NameResolver::Lookup::answer() const {
    const std::lock_guard lock(mutex_);
    return answer_;
}

void NameResolver::Lookup::finish(Answer answer) {
    const std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
}

NameResolver::NameResolver() : running_(std::make_shared<std::atomic<int>>(0)) {}

std::shared_ptr<const NameResolver::Lookup> NameResolver::look_up(const std::string& name) {
    if (running_->load() >= most_under_way) return nullptr;
    auto lookup = std::make_shared<Lookup>();
    running_->fetch_add(1);
    // The thread takes no signal: they stay with the thread that handles them.
    sigset_t all, before;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &before);
    try {
        std::thread([lookup, running = running_, name] {
            lookup->finish(resolve(name));
            running->fetch_sub(1);
        }).detach();
    } catch (const std::system_error& e) {
        running_->fetch_sub(1);
        lookup->finish({{}, "impossibile avviare la ricerca del nome: " + italian_reason(e.code().value())});
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return lookup;
}

}  // namespace vadrel
