#include "udp_output.h"

#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>

#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

int slot_of(const SocketAddress& address) { return address.family() == AF_INET6 ? 1 : 0; }

// The bytes that tell one destination from another: family, port, address
// (and an IPv6 address's interface), as the target's and the report's
// addresses both hold them.
std::string address_key(const SocketAddress& address) {
    std::string key(1, static_cast<char>(address.family()));
    const auto append = [&key](const void* bytes, std::size_t size) {
        key.append(static_cast<const char*>(bytes), size);
    };
    if (address.family() == AF_INET) {
        const auto& in = reinterpret_cast<const sockaddr_in&>(address.storage);
        append(&in.sin_port, sizeof in.sin_port);
        append(&in.sin_addr, sizeof in.sin_addr);
    } else if (address.family() == AF_INET6) {
        const auto& in6 = reinterpret_cast<const sockaddr_in6&>(address.storage);
        append(&in6.sin6_port, sizeof in6.sin6_port);
        append(&in6.sin6_addr, sizeof in6.sin6_addr);
        append(&in6.sin6_scope_id, sizeof in6.sin6_scope_id);
    }
    return key;
}

bool is_skip(int error) { return error == EAGAIN || error == EWOULDBLOCK || error == ENOBUFS; }

}  // namespace

struct UdpOutput::Target {
    Endpoint where;
    // The numeric address: the target's own, or its name's once looked up.
    std::string address_text;
    std::optional<SocketAddress> address;
    bool ready = false;  // its address known and its family's socket open
    std::string key;                 // its address's bytes, once ready
    const Answer* answer = nullptr;  // the network's last answer for that address
    std::shared_ptr<const NameResolver::Lookup> lookup;  // under way
    std::chrono::steady_clock::time_point next_lookup{};
    std::string failure;
    bool short_of_files = false;  // no socket, for want of descriptors
    bool went_now = false;        // this tick's datagram went
    bool skipped_now = false;
    long long sent = 0;
    long long skipped = 0;
};

UdpOutput::UdpOutput(NameResolver& resolver, Now now, DatagramSocketOpener open)
    : resolver_(resolver), now_(std::move(now)), open_(std::move(open)) {}

UdpOutput::~UdpOutput() = default;

void UdpOutput::set_targets(const std::vector<Endpoint>& targets) {
    if (targets == endpoints_) return;
    endpoints_ = targets;
    targets_.clear();  // a lookup under way is left to end alone
    answers_.clear();
    short_of_files_ = 0;
    if (targets.empty()) {
        for (auto& socket : sockets_) socket.reset();
    }
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
    int tried[2] = {-1, -1};  // each family's socket is tried once a round: the error, 0 when opened
    std::vector<std::string> opened;
    for (auto& owned : targets_) {
        Target& target = *owned;
        if (target.ready) continue;
        if (!target.address) take_answer(target);
        if (!target.address || socket_for(target, tried) == nullptr) continue;
        target.ready = true;
        target.failure.clear();
        target.key = address_key(*target.address);
        target.answer = &answers_[target.key];
        opened.push_back("UDP verso " + target.where.text() +
                         (target.address_text == target.where.host ? "" : " (" + target.address_text + ")"));
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

DatagramSocket* UdpOutput::socket_for(Target& target, int tried[2]) {
    const int slot = slot_of(*target.address);
    if (!sockets_[slot] && tried[slot] < 0) {
        OpenedSocket opened = open_(target.address->family());
        sockets_[slot] = std::move(opened.socket);
        tried[slot] = sockets_[slot] ? 0 : opened.error;
    }
    if (sockets_[slot]) {
        target.short_of_files = false;
        return sockets_[slot].get();
    }
    const int error = tried[slot];
    target.short_of_files = error == EMFILE || error == ENFILE;
    if (target.short_of_files) {
        target.failure = italian_reason(error);  // said for all such targets together
    } else {
        fail(target, network_reason(error));
    }
    return nullptr;
}

UdpOutput::Reports UdpOutput::take_reports(DatagramSocket& socket, const Target* sent_to) {
    Reports taken;
    const std::vector<DatagramSocket::Report> reports = socket.take_reports();
    if (reports.empty()) return taken;
    const auto now = now_();
    for (const DatagramSocket::Report& report : reports) {
        const std::string key = address_key(report.destination);
        taken.any = true;
        taken.others = taken.others || sent_to == nullptr || key != sent_to->key;
        // Kept by address, whatever number of targets it has: a report costs
        // the same for a target written a thousand times.
        if (const auto found = answers_.find(key); found != answers_.end()) found->second = {report.error, now};
    }
    return taken;
}

int UdpOutput::held_answer(const Target& target, std::chrono::steady_clock::time_point now) const {
    const Answer& answer = *target.answer;
    return answer.error != 0 && now - answer.when < report_hold ? answer.error : 0;
}

int UdpOutput::send_to(Target& target, DatagramSocket& socket, std::string_view bytes) {
    // The socket is shared: a send may fail with the network's answer to an
    // earlier datagram, to this target or another. The reports tell; then
    // the datagram is sent again, a few times at most. A failure that comes
    // with no report, or with its own each time, is this target's.
    constexpr int attempts = 3;
    for (int attempt = 1;; ++attempt) {
        const int error = socket.send_to(*target.address, bytes);
        if (error == 0 || is_skip(error)) return error;
        const Reports taken = take_reports(socket, &target);
        if (!taken.any) return error;
        if (attempt == attempts) return taken.others ? EAGAIN : error;  // others' answers keep coming: not its fault
    }
}

OutputSink::Result UdpOutput::send(std::string_view bytes) {
    Result result;
    prepare();
    // The answers to the last tick's datagrams first, then those that come at once.
    for (const auto& socket : sockets_) {
        if (socket) take_reports(*socket);
    }
    const auto now = now_();
    for (auto& owned : targets_) {
        Target& target = *owned;
        target.went_now = target.skipped_now = false;
        if (!target.ready) continue;
        const int error = send_to(target, *sockets_[slot_of(*target.address)], bytes);
        if (error == 0) {
            ++target.sent;
            target.went_now = result.running = true;
            if (!target.failure.empty() && held_answer(target, now) == 0) {
                tell("UDP verso " + target.where.text() + " di nuovo raggiungibile");
                target.failure.clear();
            }
        } else if (is_skip(error)) {
            ++target.skipped;
            target.skipped_now = true;
        } else {
            fail(target, network_reason(error));
        }
    }
    for (const auto& socket : sockets_) {
        if (socket) take_reports(*socket);
    }
    for (const auto& owned : targets_) {
        Target& target = *owned;
        if (!target.went_now) continue;
        if (const int answered = held_answer(target, now); answered != 0) fail(target, network_reason(answered));
    }
    for (const auto& target : targets_) {
        if (target->skipped_now) {
            result.note += "  [UDP " + target->where.text() + ": saltato]";
        } else if (!target->failure.empty() && !target->short_of_files) {
            result.note += "  [UDP " + target->where.text() + ": " + target->failure + "]";
        }
    }
    if (short_of_files_ > 0)
        result.note += "  [UDP: " + std::to_string(short_of_files_) + " destinazioni senza socket: " +
                       short_reason_ + "]";
    return result;
}

void UdpOutput::fail(Target& target, const std::string& problem) {
    if (problem != target.failure) tell("UDP verso " + target.where.text() + ": " + problem);
    target.failure = problem;
}

void UdpOutput::tell(const std::string& text) {
    if (on_event) on_event(text);
}

std::vector<UdpOutput::TargetView> UdpOutput::targets() const {
    std::vector<TargetView> views;
    views.reserve(targets_.size());
    for (const auto& target : targets_) views.push_back({target->where.text(), target->failure, target->sent, target->skipped});
    return views;
}

}  // namespace vadrel
