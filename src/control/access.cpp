#include "access.h"

#include <QHostAddress>
#include <QUrl>
#include <algorithm>

namespace vadrel {

namespace {

using namespace http_status;

// The host of a Host header: "127.0.0.1:8080" -> "127.0.0.1", "[::1]:8080" -> "::1".
QByteArray host_of(QByteArray value) {
    value = value.trimmed();
    if (value.startsWith('[')) {
        const qsizetype end = value.indexOf(']');
        return end < 0 ? value : value.mid(1, end - 1);
    }
    const qsizetype colon = value.indexOf(':');
    if (colon >= 0 && value.indexOf(':', colon + 1) < 0) value.truncate(colon);
    return value;
}

}  // namespace

bool is_loopback_host(std::string_view host) {
    const QString text = QString::fromUtf8(host.data(), static_cast<qsizetype>(host.size())).toLower();
    if (text == u"localhost" || text.endsWith(u".localhost")) return true;
    const QHostAddress address(text);
    return !address.isNull() && address.isLoopback();
}

bool same_secret(std::string_view a, std::string_view b) {
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    // Over the longer one whatever they hold, so that the time says nothing
    // of where they differ.
    const std::size_t length = std::max(a.size(), b.size());
    for (std::size_t i = 0; i < length; ++i) {
        const unsigned char x = i < a.size() ? static_cast<unsigned char>(a[i]) : 0;
        const unsigned char y = i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        difference |= static_cast<unsigned char>(x ^ y);
    }
    return difference == 0;
}

std::optional<ApiReply> access_refusal(const AccessRules& rules, const RequestHeaders& headers) {
    if (rules.loopback) {
        const QByteArray host = host_of(headers.host);
        if (!host.isEmpty() && !is_loopback_host(host.toStdString())) {
            return refused(forbidden, "l'interfaccia di controllo risponde solo a questo computer: l'intestazione Host "
                                      "deve nominare 127.0.0.1, [::1] o localhost, non " +
                                          headers.host.left(100).toStdString());
        }
        if (!headers.origin.isEmpty()) {
            const QUrl origin(QString::fromLatin1(headers.origin));
            if (!is_loopback_host(origin.host().toStdString())) {
                return refused(forbidden, "l'interfaccia di controllo non accetta richieste da pagine web di altri "
                                          "siti (Origin " +
                                              headers.origin.left(100).toStdString() + ")");
            }
        }
    }
    if (rules.token.empty()) return std::nullopt;
    const QByteArray value = headers.authorization.trimmed();
    const qsizetype space = value.indexOf(' ');
    const bool bearer = space > 0 && value.left(space).toLower() == "bearer";
    const QByteArray given = bearer ? value.mid(space + 1).trimmed() : QByteArray();
    if (bearer && same_secret(given.toStdString(), rules.token)) return std::nullopt;
    ApiReply reply = refused(unauthorized, given.isEmpty()
                                               ? "serve la chiave di accesso: Authorization: Bearer <chiave>, la chiave "
                                                 "è nel file vadrel.token della cartella del programma"
                                               : "la chiave di accesso non è quella di vadrel.token");
    reply.headers.emplace_back("WWW-Authenticate", "Bearer realm=\"vadrel\"");
    return reply;
}

}  // namespace vadrel
