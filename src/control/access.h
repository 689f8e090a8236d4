#pragma once
// Who may use the control interface. Bound to the loopback it serves this
// computer only: a request must name a local host (Host) and come from no
// web page of another site (Origin), so a page in the user's browser cannot
// reach it through a name of its own that points here (DNS rebinding) or
// open its WebSocket. Bound to any other address, every request needs
// "Authorization: Bearer <token>" with the token of vadrel.token
// (control_token.h), compared in constant time.
//
//   AccessRules rules{false, "c2VjcmV0..."};
//   access_refusal(rules, {"host", "192.168.1.5:8080"}, no bearer)   -> 401
//
// Status codes: 401 without the right token, 403 a foreign Host or Origin
// on the loopback.

#include <QByteArray>
#include <optional>
#include <string>
#include <string_view>

#include "control/control_api.h"

namespace vadrel {

struct AccessRules {
    bool loopback = true;
    std::string token;  // asked for when not empty
};

struct RequestHeaders {
    QByteArray host;
    QByteArray origin;
    QByteArray authorization;
};

// Whether the host (an address or "localhost") is this computer's loopback.
bool is_loopback_host(std::string_view host);

// Why the request is refused, or nothing when it may go on.
std::optional<ApiReply> access_refusal(const AccessRules& rules, const RequestHeaders& headers);

// Whether two secrets are the same, in a time that depends on their lengths only.
bool same_secret(std::string_view a, std::string_view b);

}  // namespace vadrel
