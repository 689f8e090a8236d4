#include "control_token.h"

#include <QByteArray>
#include <QRandomGenerator>
#include <array>
#include <cerrno>

#include "os/system_error.h"

namespace vadrel {

namespace {

constexpr std::size_t shortest_key = 16, longest_key = 512;

// What a bearer token may hold (RFC 6750's token68).
bool key_character(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '+' || c == '/' || c == '=';
}

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777);
    return text;
}

}  // namespace

std::string new_token() {
    std::array<quint32, 8> words{};
    QRandomGenerator::system()->fillRange(words.data(), words.size());
    const QByteArray bytes(reinterpret_cast<const char*>(words.data()), sizeof words);
    return bytes.toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals).toStdString();
}

std::variant<ControlToken, std::string> control_token(const ProgramFolder& folder) {
    const std::string shown = folder.shown(control_token_name).toStdString();
    int error = 0;
    const auto text = folder.read(control_token_name, longest_key + 64, &error);
    if (!text && error == ENOENT) {
        ControlToken token{new_token(), true};
        if (const FileError failed = folder.create_private(control_token_name, token.value + "\n")) {
            return shown + " non si può creare: " + failed.text().toStdString();
        }
        return token;
    }
    if (!text && error != 0) return shown + " non si può leggere: " + italian_reason(error);
    const FolderEntry entry = folder.look(control_token_name);
    if (!text || entry.kind != FolderEntry::Kind::file) {
        return shown + " non è un file normale dell'utente: la chiave di accesso non viene letta da lì";
    }
    if ((entry.mode & 077) != 0) {
        return shown + " può essere letto da altri utenti (permessi " + octal(entry.mode) +
               "): la chiave non è più segreta. Darle i permessi 0600 (chmod 600) o cancellare il file, e vadrel ne "
               "crea una nuova";
    }
    std::string key = *text;
    while (!key.empty() && (key.back() == '\n' || key.back() == '\r' || key.back() == ' ')) key.pop_back();
    bool valid = key.size() >= shortest_key && key.size() <= longest_key;
    for (char c : key) valid = valid && key_character(c);
    if (!valid) {
        return shown + " non contiene una chiave valida (da " + std::to_string(shortest_key) + " a " +
               std::to_string(longest_key) +
               " lettere, cifre o - . _ ~ + / =, su una riga): cancellare il file e vadrel ne crea una nuova";
    }
    return ControlToken{key, false};
}

std::string token_notice(const ControlToken& token, const ProgramFolder& folder) {
    const std::string shown = folder.shown(control_token_name).toStdString();
    if (token.made) {
        return "Chiave di accesso dell'interfaccia di controllo, mostrata solo questa volta e salvata in " + shown +
               " (leggibile solo dall'utente): " + token.value;
    }
    return "L'interfaccia di controllo chiede la chiave di accesso di " + shown;
}

}  // namespace vadrel
