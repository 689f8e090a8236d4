#pragma once
// A tracking server for the senders' tests: a real HTTP/1.1 listener on the
// loopback (QTcpServer, on the test's own event loop), which records the
// target of every request it reads, and answers as the test asks: at once,
// not until released, closing after each answer (or only saying it will),
// or with bytes that are no
// HTTP. It runs only while the test runs the event loop, so the test
// decides when the server reads.

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vadrel::testing {

class HttpReceiver {
public:
    enum class Answer { at_once, held, close_each, close_said, garbage, not_found };

    explicit HttpReceiver(Answer answer = Answer::at_once) : answer_(answer) { listen(0); }

    bool listen(quint16 port) {
        server_ = std::make_unique<QTcpServer>();
        QObject::connect(server_.get(), &QTcpServer::newConnection, [this] { accept(); });
        const bool listening = server_->listen(QHostAddress::LocalHost, port);
        if (listening) port_ = server_->serverPort();
        return listening;
    }
    // Stops listening and drops every client, as a server that exits.
    void stop() {
        server_.reset();
        for (auto& client : clients_) client.socket->abort();
        clients_.clear();
    }
    quint16 port() const { return port_; }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }

    void answer(Answer answer) { answer_ = answer; }
    // Answers every request held so far.
    void release() {
        for (auto& client : clients_) {
            for (int i = 0; i < client.held; ++i) client.socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
            client.held = 0;
        }
    }

    // The target of every request read ("/?id=...&lat=..."), in order.
    std::vector<std::string> targets;
    int accepted = 0;

private:
    struct Client {
        std::unique_ptr<QTcpSocket> socket;
        std::string bytes;
        int held = 0;
    };

    void accept() {
        while (QTcpSocket* socket = server_->nextPendingConnection()) {
            ++accepted;
            socket->setParent(nullptr);
            clients_.push_back(Client{std::unique_ptr<QTcpSocket>(socket), {}, 0});
            QObject::connect(socket, &QTcpSocket::readyRead, [this, socket] { read(socket); });
        }
    }
    void read(QTcpSocket* socket) {
        for (auto& client : clients_) {
            if (client.socket.get() != socket) continue;
            client.bytes += socket->readAll().toStdString();
            std::size_t end = 0;
            while ((end = client.bytes.find("\r\n\r\n")) != std::string::npos) {
                const std::string head = client.bytes.substr(0, end);
                client.bytes.erase(0, end + 4);
                const std::size_t space = head.find(' ');
                targets.push_back(head.substr(space + 1, head.find(' ', space + 1) - space - 1));
                respond(client);
            }
            return;
        }
    }
    void respond(Client& client) {
        switch (answer_) {
            case Answer::at_once: client.socket->write("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n"); break;
            case Answer::held: ++client.held; break;
            case Answer::close_each:
                client.socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
                client.socket->disconnectFromHost();
                break;
            case Answer::close_said:  // and keeps the connection: the client must not use it again
                client.socket->write("HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
                break;
            case Answer::garbage: client.socket->write("SSH-2.0-OpenSSH\r\n\r\n"); break;
            case Answer::not_found: client.socket->write("HTTP/1.1 400 Bad Request\r\nContent-Length: 2\r\n\r\nno"); break;
        }
    }

    Answer answer_;
    std::unique_ptr<QTcpServer> server_;
    std::vector<Client> clients_;
    quint16 port_ = 0;
};

// The parameters of a request's query: "/?id=a&lat=1" -> {id: a, lat: 1}.
inline std::map<std::string, std::string> query_of(const std::string& target) {
    std::map<std::string, std::string> parameters;
    std::size_t at = target.find('?');
    while (at != std::string::npos) {
        const std::size_t next = target.find('&', at + 1);
        const std::string pair = target.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        const std::size_t equals = pair.find('=');
        parameters[pair.substr(0, equals)] = equals == std::string::npos ? "" : pair.substr(equals + 1);
        at = next;
    }
    return parameters;
}

}  // namespace vadrel::testing
