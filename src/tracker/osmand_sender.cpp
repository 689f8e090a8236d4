#include "tracker/osmand_sender.h"

#include <poll.h>

#include <algorithm>

namespace vadrel {

OsmandSender::OsmandSender(NameResolver& resolver, std::string url, Now now) : resolver_(resolver), now_(std::move(now)) {
    auto parsed = OsmandUrl::parse(url);
    if (auto* problem = std::get_if<std::string>(&parsed)) {
        url_problem_ = std::move(*problem);
        return;
    }
    url_ = std::get<OsmandUrl>(std::move(parsed));
    address_ = socket_address(url_.host, url_.port);
    numeric_host_ = address_.has_value();
}

std::string OsmandSender::check(const std::string& url) {
    const auto parsed = OsmandUrl::parse(url);
    const auto* problem = std::get_if<std::string>(&parsed);
    return problem ? *problem : std::string();
}

void OsmandSender::send(const DeviceReport& report) {
    const Time now = now_();
    service(now);
    PipelinedConnection* connection = url_problem_.empty() ? connection_for(now) : nullptr;
    if (!connection) {
        ++tally_.skipped;
        return;
    }
    request_.clear();
    url_.append_request(request_, report);
    if (!connection->take(request_, one_at_a_time_ ? 1 : most_in_flight, now, tally_)) ++tally_.skipped;
}

void OsmandSender::service() { service(now_()); }

void OsmandSender::service(Time now) {
    std::array<pollfd, most_connections> watched{};
    std::array<PipelinedConnection*, most_connections> whose{};
    nfds_t count = 0;
    for (PipelinedConnection& connection : connections_) {
        if (!connection.open()) continue;
        watched[count] = pollfd{connection.fd(), connection.events(), 0};
        whose[count++] = &connection;
    }
    if (count > 0 && ::poll(watched.data(), count, 0) < 0) return;  // EINTR: looked at next time
    for (nfds_t i = 0; i < count; ++i) {
        whose[i]->service(watched[i].revents, now, tally_);
        if (whose[i]->closed_after_answers()) one_at_a_time_ = true;
    }
}

PipelinedConnection* OsmandSender::connection_for(Time now) {
    const int bound = one_at_a_time_ ? 1 : most_in_flight;
    PipelinedConnection* best = nullptr;  // the least busy; when even it is full, the report is skipped
    for (PipelinedConnection& connection : connections_) {
        if (connection.open() && (!best || connection.outstanding() < best->outstanding())) best = &connection;
    }
    if (best && best->outstanding() < std::min(bound, spread_above)) return best;
    PipelinedConnection* fresh = open_another(now);
    return fresh ? fresh : best;
}

PipelinedConnection* OsmandSender::open_another(Time now) {
    const auto closed = std::find_if(connections_.begin(), connections_.end(),
                                     [now](const PipelinedConnection& c) { return c.may_open(now); });
    if (closed == connections_.end()) return nullptr;
    const SocketAddress* where = address(now);
    if (!where) return nullptr;
    if (closed->open(*where, now)) return &*closed;
    if (!numeric_host_) address_.reset();  // the name is looked up again at the next attempt
    return nullptr;
}

const SocketAddress* OsmandSender::address(Time now) {
    if (address_) return &*address_;
    if (!lookup_) {
        if (now < next_lookup_) return nullptr;
        lookup_ = resolver_.look_up(url_.host);
        if (!lookup_) return nullptr;  // the resolver is busy: asked again at the next report
    }
    const std::optional<NameResolver::Answer> answer = lookup_->answer();
    if (!answer) return nullptr;
    lookup_.reset();
    const std::string chosen = preferred_address(answer->addresses);
    address_ = chosen.empty() ? std::nullopt : socket_address(chosen, url_.port);
    if (!address_) {
        lookup_problem_ = answer->problem.empty() ? "nessun indirizzo per " + url_.host : answer->problem;
        next_lookup_ = now + lookup_pause_.failed(false, now, now);
        return nullptr;
    }
    lookup_problem_.clear();
    return &*address_;
}

std::size_t OsmandSender::buffered() const {
    std::size_t bytes = 0;
    for (const PipelinedConnection& connection : connections_) bytes += connection.buffered();
    return bytes;
}

SenderCounts OsmandSender::counts() const {
    SenderCounts counts;
    counts.sent = tally_.sent;
    counts.skipped = tally_.skipped;
    counts.connections = static_cast<std::uint64_t>(
        std::count_if(connections_.begin(), connections_.end(), [](const PipelinedConnection& c) {
            return c.state() == PipelinedConnection::State::connected;
        }));
    if (!url_problem_.empty()) {
        counts.state = url_problem_;
    } else if (counts.connections > 0) {
        counts.state = "collegato";
    } else {
        counts.state = waiting_state(now_());
    }
    if (tally_.refused > 0)
        counts.state += "; " + std::to_string(tally_.refused) + " risposte non 2xx (l'ultima: " +
                        std::to_string(tally_.last_refusal) + ")";
    return counts;
}

std::string OsmandSender::waiting_state(Time now) const {
    if (std::any_of(connections_.begin(), connections_.end(),
                    [](const PipelinedConnection& c) { return c.state() == PipelinedConnection::State::connecting; }))
        return "collegamento in corso";
    if (lookup_) return "ricerca del nome " + url_.host + " in corso";
    std::string why = lookup_problem_;
    Time next = now < next_lookup_ ? next_lookup_ : Time::max();
    for (const PipelinedConnection& connection : connections_) {
        if (why.empty()) why = connection.failure();
        if (!connection.failure().empty()) next = std::min(next, connection.next_attempt());
    }
    if (why.empty()) return "non collegato: nessun rapporto ancora";
    if (next == Time::max() || next <= now) return "non collegato: " + why;
    const auto wait = std::chrono::ceil<std::chrono::seconds>(next - now);
    return "non collegato: " + why + "; nuovo tentativo tra " + std::to_string(wait.count()) + " s";
}

}  // namespace vadrel
