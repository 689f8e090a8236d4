#include "udp_output.h"

#include <sys/socket.h>

#include <cerrno>

#include "os/descriptor.h"
#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

struct UdpOutput::Target {
    Endpoint where;
    // The numeric address: the target's own, or its name's once looked up.
    std::string address_text;
    std::optional<SocketAddress> address;
    Descriptor fd;
    std::shared_ptr<const NameResolver::Lookup> lookup;  // under way
    std::chrono::steady_clock::time_point next_lookup{};
    std::string failure;
    bool short_of_files = false;  // no socket, for want of descriptors
    long long sent = 0;
    long long skipped = 0;
};

UdpOutput::UdpOutput(NameResolver& resolver, Now now) : resolver_(resolver), now_(std::move(now)) {}

UdpOutput::~UdpOutput() = default;

void UdpOutput::set_targets(const std::vector<Endpoint>& targets) {
    if (targets == endpoints_) return;
    endpoints_ = targets;
    targets_.clear();  // a lookup under way is left to end alone
    short_of_files_ = 0;
    for (const Endpoint& where : targets) {
        auto target = std::make_unique<Target>();
        target->where = where;
        target->address = socket_address(where.host, where.port);
        if (target->address) target->address_text = where.host;
        targets_.push_back(std::move(target));
    }
    prepare();
}

void UdpOutput::prepare() {
    const std::size_t short_before = short_of_files_;
    bool files_left = true;  // until a socket is refused: then the others need not try this tick
    std::vector<std::string> opened;
    for (auto& owned : targets_) {
        Target& target = *owned;
        if (target.fd) continue;
        if (!target.address) take_answer(target);
        if (target.address && (files_left || !target.short_of_files) && open(target, files_left)) {
            opened.push_back("UDP verso " + target.where.text() +
                             (target.address_text == target.where.host ? "" : " (" + target.address_text + ")"));
        }
    }
    // A long list is said in short.
    constexpr std::size_t said_one_by_one = 10;
    for (std::size_t i = 0; i < opened.size() && i < said_one_by_one; ++i) tell(opened[i]);
    if (opened.size() > said_one_by_one)
        tell("UDP verso altre " + std::to_string(opened.size() - said_one_by_one) + " destinazioni");
    short_of_files_ = 0;
    for (const auto& target : targets_) {
        if (!target->short_of_files) continue;
        if (short_of_files_++ == 0) short_reason_ = target->failure;
    }
    if (short_before == 0 && short_of_files_ > 0) {
        tell("UDP: " + std::to_string(short_of_files_) + " destinazioni senza socket: " + short_reason_ +
             " (ne restano liberi " + std::to_string(DescriptorReserve::spare) + " per i file del programma)");
    } else if (short_before > 0 && short_of_files_ == 0) {
        tell("UDP: ogni destinazione ha di nuovo il suo socket");
    }
}

// A name: its lookup started, or its answer taken.
void UdpOutput::take_answer(Target& target) {
    if (!target.lookup) {
        if (now_() < target.next_lookup) return;
        target.lookup = resolver_.look_up(target.where.host);
        if (!target.lookup) return;  // the resolver is busy: asked again at the next tick
        target.next_lookup = now_() + lookup_retry;
    }
    const std::optional<NameResolver::Answer> answer = target.lookup->answer();
    if (!answer) return;
    target.lookup.reset();
    if (!answer->problem.empty()) {
        fail(target, answer->problem);
        return;
    }
    target.address_text = preferred_address(answer->addresses);
    target.address = socket_address(target.address_text, target.where.port);
    if (!target.address) fail(target, "indirizzo non valido: " + target.address_text);
}

bool UdpOutput::open(Target& target, bool& files_left) {
    Descriptor fd(::socket(target.address->family(), SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    int error = fd ? 0 : errno;
    if (fd && !DescriptorReserve::leaves_spare(fd.get())) {
        fd.reset();
        error = EMFILE;
    }
    if (error == EMFILE || error == ENFILE) {
        // Said for all such targets together.
        target.short_of_files = true;
        target.failure = italian_reason(error);
        files_left = false;
        return false;
    }
    target.short_of_files = false;
    if (error != 0) {
        fail(target, network_reason(error));
        return false;
    }
    if (target.address->family() == AF_INET) {
        // Sending to a broadcast address (255.255.255.255 or a network's) needs it.
        const int on = 1;
        ::setsockopt(fd.get(), SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    }
    target.fd = std::move(fd);
    target.failure.clear();
    return true;
}

void UdpOutput::fail(Target& target, const std::string& problem) {
    if (problem != target.failure) tell("UDP verso " + target.where.text() + ": " + problem);
    target.failure = problem;
}

void UdpOutput::tell(const std::string& text) {
    if (on_event) on_event(text);
}

OutputSink::Result UdpOutput::send(std::string_view bytes) {
    Result result;
    prepare();
    for (auto& owned : targets_) {
        Target& target = *owned;
        if (!target.fd) {
            if (!target.failure.empty() && !target.short_of_files)
                result.note += "  [UDP " + target.where.text() + ": " + target.failure + "]";
            continue;
        }
        ssize_t sent = -1;
        do {
            sent = ::sendto(target.fd.get(), bytes.data(), bytes.size(), MSG_DONTWAIT, target.address->get(),
                            target.address->length);
        } while (sent < 0 && errno == EINTR);
        if (sent == static_cast<ssize_t>(bytes.size())) {
            ++target.sent;
            result.running = true;
            if (!target.failure.empty()) tell("UDP verso " + target.where.text() + " di nuovo raggiungibile");
            target.failure.clear();
        } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)) {
            ++target.skipped;
            result.note += "  [UDP " + target.where.text() + ": saltato]";
        } else {
            fail(target, sent < 0 ? network_reason(errno) : "datagramma troncato");
            result.note += "  [UDP " + target.where.text() + ": " + target.failure + "]";
        }
    }
    if (short_of_files_ > 0)
        result.note += "  [UDP: " + std::to_string(short_of_files_) + " destinazioni senza socket: " +
                       short_reason_ + "]";
    return result;
}

std::vector<UdpOutput::TargetView> UdpOutput::targets() const {
    std::vector<TargetView> views;
    views.reserve(targets_.size());
    for (const auto& target : targets_) views.push_back({target->where.text(), target->failure, target->sent, target->skipped});
    return views;
}

}  // namespace vadrel
