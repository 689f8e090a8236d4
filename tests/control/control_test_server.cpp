// The control interface with a fake simulator, as a program of its own for
// the Python tests (the client module, the OpenAPI description):
//
//   control_test_server [--indirizzo HOST] [--chiave KEY] [--ogni MS]
//
// Prints "porta N", then the routes it serves as one JSON line
// ([{"metodo": "GET", "percorso": "/api/v1/stato"}, ...]), and publishes a
// second to the events' clients every MS milliseconds (1000) with the
// vehicles in use, as the program does each second. Ends when its standard
// input closes.

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "control/control_server.h"
#include "fake_target.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string host = "127.0.0.1", key;
    int every_ms = 1000;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--indirizzo") == 0) host = argv[i + 1];
        if (std::strcmp(argv[i], "--chiave") == 0) key = argv[i + 1];
        if (std::strcmp(argv[i], "--ogni") == 0) every_ms = std::atoi(argv[i + 1]);
    }
    vadrel::testing::FakeTarget target;
    vadrel::ControlServer server(target);
    server.on_event = [](const std::string& text) { std::fprintf(stderr, "%s\n", text.c_str()); };
    if (auto problem = server.start({host, 0}, key)) {
        std::fprintf(stderr, "%s\n", problem->c_str());
        return 2;
    }
    const std::string address = server.address();
    std::printf("porta %s\n", address.substr(address.rfind(':') + 1).c_str());
    QJsonArray routes;
    for (const vadrel::ApiRoute& route : vadrel::control_routes()) {
        routes.append(QJsonObject{{"metodo", QString::fromLatin1(vadrel::method_name(route.method))},
                                  {"percorso", QString::fromLatin1(route.path)}});
    }
    std::printf("%s\n", QJsonDocument(routes).toJson(QJsonDocument::Compact).constData());
    std::fflush(stdout);

    int second = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        std::vector<vadrel::VehicleEntry> in_use;
        for (std::size_t n = 0; n < vadrel::fleet_size; ++n) {
            if (target.fleet.in_use(n)) in_use.push_back(target.entry(n));
        }
        const std::string bytes =
            "$GPRMC," + std::to_string(++second) + (target.receiver.no_fix ? ",V" : ",A") + "\r\n";
        server.publish(target.link.transmitting() ? bytes : std::string(), in_use);
    });
    tick.start(every_ms);
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        if (::read(STDIN_FILENO, buffer, sizeof buffer) <= 0) app.quit();
    });
    return app.exec();
}
