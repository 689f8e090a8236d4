#pragma once
// What must hold for any bytes a client sends the control interface, shared
// by the fuzzer and the corpus test:
// * the head's end is found where its blank line is, and nowhere before;
// * what the head says is bounded (method, target) and agrees with its
//   lines: no Content-Length line, no length; one that differs from another,
//   unclear; HTTP/1.0 keeps the connection only when asked;
// * a method named back to the client is printable ASCII and bounded;
// * the body, on the route the request line names (or, when it names none,
//   each route in turn), gets one of the interface's statuses, and a refusal
//   says why in a bounded text (what it echoes of the request is cut).

#include <QJsonDocument>
#include <algorithm>
#include <string>
#include <string_view>

#include "../tests/control/fake_target.h"
#include "control/control_api.h"
#include "control/http_head.h"

namespace vadrel::fuzzing {

inline bool has_text(std::string_view haystack, std::string_view needle) {
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), [](char a, char b) {
               return (a >= 'A' && a <= 'Z' ? a - 'A' + 'a' : a) == b;
           }) != haystack.end();
}

// The most a refusal's text may hold: a sentence and the bounded echoes.
inline constexpr qsizetype max_reason_characters = 700;

inline std::string check_reply(const ApiReply& reply) {
    static constexpr int statuses[] = {200, 400, 404, 405, 409, 413, 415, 426};
    if (std::find(std::begin(statuses), std::end(statuses), reply.status) == std::end(statuses)) {
        return "a status the interface does not answer with: " + std::to_string(reply.status);
    }
    if (reply.status == 200) return {};
    const QString reason = reply.body.value("errore").toString();
    if (reason.isEmpty()) return "a refusal that says no reason";
    if (reason.size() > max_reason_characters) return "a refusal of " + std::to_string(reason.size()) + " characters";
    return {};
}

inline std::optional<QHttpServerRequest::Method> method_of(std::string_view name) {
    using Method = QHttpServerRequest::Method;
    for (const Method m : {Method::Get, Method::Put, Method::Delete, Method::Post, Method::Head, Method::Options,
                           Method::Patch, Method::Connect, Method::Trace}) {
        if (method_name(m).toStdString() == name) return m;
    }
    return std::nullopt;
}

inline std::string check_request(std::string_view bytes) {
    const auto span = head_end(bytes);
    if (!span) {
        const std::string_view rest = bytes.substr(leading_blank_lines(bytes));
        if (rest.find("\r\n\r\n") != std::string_view::npos || rest.find("\n\n") != std::string_view::npos) {
            return "a blank line the head's end was not found at";
        }
        return {};
    }
    if (span->start > span->end || span->end > bytes.size()) return "a head outside the bytes";
    const std::string_view head = bytes.substr(span->start, span->end - span->start);
    if (head.find("\n\n") != std::string_view::npos || head.find("\r\n\r\n") != std::string_view::npos) {
        return "a head's end found past its first blank line";
    }
    const std::string_view after = bytes.substr(span->end);
    const std::size_t blank = after.rfind("\r\n\r\n", 0) == 0 ? 4 : after.rfind("\n\n", 0) == 0 ? 2 : 0;
    if (blank == 0) return "a head's end that is no blank line";

    const RequestHead facts = read_request_head(head);
    if (facts.method.size() > max_method_bytes || facts.target.size() > max_target_bytes) return "an unbounded head";
    if (!has_text(head, "content-length") && (facts.length != -1 || facts.length_unclear)) {
        return "a length no line gave";
    }
    if (facts.length < -1) return "a negative length";
    if (facts.version == "HTTP/1.0" && facts.keep_alive && !has_text(head, "keep-alive")) {
        return "an HTTP/1.0 connection kept open unasked";
    }
    const std::string shown = shown_text(facts.method, max_method_bytes);
    if (shown.size() > 4 * max_method_bytes + 3) return "a method shown unbounded";
    for (const char c : shown) {
        if (c < 0x20 || c > 0x7e) return "a method shown with a byte that is not printable";
    }

    // The body on the route the head names, or on each route.
    const std::string_view body_bytes = after.substr(blank);
    const QByteArray body(body_bytes.data(), static_cast<qsizetype>(body_bytes.size()));
    const std::string_view target = facts.target;
    const QString path = QString::fromLatin1(target.substr(0, target.find('?')));
    const QString query =
        target.find('?') == std::string_view::npos ? QString() : QString::fromLatin1(target.substr(target.find('?') + 1));
    const QByteArray type = has_text(head, "content-type: text/csv") ? "text/csv" : "application/json";
    const auto method = method_of(facts.method);
    testing::FakeTarget simulator;
    std::vector<ApiRequest> requests;
    if (method) {
        requests.push_back({*method, path, type, body, query});
    } else {
        if (const std::string why = check_reply(method_refusal(shown, path)); !why.empty()) return why;
        for (const ApiRoute& route : control_routes()) {
            requests.push_back({route.method, QString::fromLatin1(route.path).replace("{n}", "3"), {}, body, query});
        }
    }
    for (const ApiRequest& request : requests) {
        if (const std::string why = check_reply(answer(request, simulator)); !why.empty()) {
            return method_name(request.method).toStdString() + " " + request.path.toStdString() + ": " + why;
        }
    }
    return {};
}

}  // namespace vadrel::fuzzing
