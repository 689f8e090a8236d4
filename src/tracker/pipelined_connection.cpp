#include "tracker/pipelined_connection.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "os/descriptor_reserve.h"
#include "os/system_error.h"

namespace vadrel {

namespace {

std::string seconds_text(std::chrono::seconds s) { return std::to_string(s.count()) + " s"; }

}  // namespace

bool PipelinedConnection::open(const SocketAddress& address, Time now) {
    RequestTally nothing;  // a closed connection holds no request
    Descriptor fd(::socket(address.family(), SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    if (!fd) {
        end(true, network_reason(errno), now, nothing);
        return false;
    }
    if (!DescriptorReserve::leaves_spare(fd.get())) {
        end(true,
            italian_reason(EMFILE) + " (ne restano liberi " + std::to_string(DescriptorReserve::spare) +
                " per i file del programma)",
            now, nothing);
        return false;
    }
    const int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    int result = -1;
    do {
        result = ::connect(fd.get(), address.get(), address.length);
    } while (result != 0 && errno == EINTR);
    if (result != 0 && errno != EINPROGRESS) {
        end(true, network_reason(errno), now, nothing);
        return false;
    }
    fd_ = std::move(fd);
    state_ = State::connecting;
    started_ = now;
    reader_ = HttpResponseReader();
    answers_ = 0;
    closed_after_answers_ = false;
    return true;
}

bool PipelinedConnection::take(std::string_view request, int bound, Time now, RequestTally& tally) {
    if (state_ == State::closed || outstanding() >= bound || buffer_.size() + request.size() > buffer_limit)
        return false;
    buffer_.append(request);
    pending_.push_back(request.size());
    if (state_ == State::connected) write(now, tally);
    return true;
}

short PipelinedConnection::events() const {
    switch (state_) {
        case State::closed: return 0;
        case State::connecting: return POLLOUT;
        case State::connected: return static_cast<short>(POLLIN | (buffer_.empty() ? 0 : POLLOUT));
    }
    return 0;
}

void PipelinedConnection::service(short revents, Time now, RequestTally& tally) {
    if (state_ == State::connecting) {
        if (revents != 0)
            finish_connect(now, tally);
        else if (now - started_ >= connect_limit)
            end(true, italian_reason(ETIMEDOUT) + " (nessuna risposta in " + seconds_text(connect_limit) + ")", now,
                tally);
        return;
    }
    if (state_ != State::connected) return;
    if (revents & (POLLIN | POLLHUP | POLLERR)) read(now, tally);
    if (state_ == State::connected && (revents & POLLOUT) && !buffer_.empty()) write(now, tally);
    if (state_ == State::connected && written_ > 0 && now - progress_ >= answer_limit)
        end(true, "nessuna risposta dal server in " + seconds_text(answer_limit), now, tally);
}

void PipelinedConnection::finish_connect(Time now, RequestTally& tally) {
    const int error = connect_error(fd_.get());
    if (error != 0) {
        end(true, network_reason(error), now, tally);
        return;
    }
    state_ = State::connected;
    started_ = now;
    progress_ = now;
    failure_.clear();
    ++tally.opened;
    write(now, tally);
}

void PipelinedConnection::read(Time now, RequestTally& tally) {
    char bytes[16384];
    std::size_t budget = read_budget;
    while (budget > 0 && state_ == State::connected) {
        const ssize_t got = ::recv(fd_.get(), bytes, std::min(sizeof bytes, budget), MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
        if (got < 0) {
            end(true, network_reason(errno), now, tally);
            return;
        }
        responses_.clear();
        const bool whole = got > 0 ? reader_.feed({bytes, static_cast<std::size_t>(got)}, responses_)
                                   : reader_.finish(responses_);
        answered(responses_, now, tally);
        if (state_ != State::connected) return;
        if (!whole) {
            end(true, "risposta non valida dal server: " + reader_.problem(), now, tally);
            return;
        }
        if (got == 0) {
            // Closed after its answers: opened again when needed. Before any: the server is not working.
            end(answers_ == 0, "il server ha chiuso il collegamento", now, tally);
            if (answers_ > 0) closed_after_answers_ = true;
            return;
        }
        budget -= static_cast<std::size_t>(got);
    }
}

void PipelinedConnection::answered(const std::vector<HttpResponseReader::Response>& responses, Time now,
                                   RequestTally& tally) {
    for (const HttpResponseReader::Response& response : responses) {
        if (written_ == 0) {
            end(true, "risposta a una richiesta mai fatta", now, tally);
            return;
        }
        --written_;
        ++answers_;
        ++tally.answered;
        progress_ = now;
        if (response.status < 200 || response.status > 299) {
            ++tally.refused;
            tally.last_refusal = response.status;
        }
        if (response.close) {
            end(false, "il server ha chiuso il collegamento", now, tally);
            closed_after_answers_ = true;
            return;
        }
    }
}

void PipelinedConnection::write(Time now, RequestTally& tally) {
    std::size_t offset = 0;
    while (offset < buffer_.size()) {
        const ssize_t put =
            ::send(fd_.get(), buffer_.data() + offset, buffer_.size() - offset, MSG_DONTWAIT | MSG_NOSIGNAL);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (put < 0) {
            buffer_.erase(0, offset);
            end(true, network_reason(errno), now, tally);
            return;
        }
        offset += static_cast<std::size_t>(put);
    }
    // The requests now written whole are sent; their answers are awaited.
    std::size_t done = front_written_ + offset;
    while (!pending_.empty() && done >= pending_.front()) {
        done -= pending_.front();
        pending_.pop_front();
        if (written_++ == 0) progress_ = now;
        ++tally.sent;
    }
    front_written_ = done;
    buffer_.erase(0, offset);
}

void PipelinedConnection::end(bool failed, const std::string& reason, Time now, RequestTally& tally) {
    const auto lost = static_cast<std::uint64_t>(written_);
    tally.sent -= std::min(tally.sent, lost);
    tally.skipped += lost + pending_.size();
    written_ = 0;
    pending_.clear();
    front_written_ = 0;
    buffer_.clear();
    fd_.reset();
    const bool was_connected = state_ == State::connected;
    state_ = State::closed;
    if (!failed) {
        next_attempt_ = now;
        return;
    }
    next_attempt_ = now + pause_.failed(was_connected, started_, now);
    failure_ = reason;
}

}  // namespace vadrel
