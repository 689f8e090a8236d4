#include "outputs_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTreeWidget>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "gui/dialog_buttons.h"
#include "gui/dialog_fit.h"
#include "gui/table_columns.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QTreeWidget* table(const char* name, const QStringList& columns) {
    auto* tree = named(new QTreeWidget, name);
    tree->setHeaderLabels(columns);
    tree->setRootIsDecorated(false);
    tree->setMinimumHeight(90);
    fit_columns_to_titles(*tree, {220});  // "[fe80::1]:10110", "192.168.100.255:10110"
    return tree;
}

// Rows of texts, the table's former rows replaced.
void fill(QTreeWidget* tree, const std::vector<QStringList>& rows) {
    while (tree->topLevelItemCount() > static_cast<int>(rows.size())) delete tree->takeTopLevelItem(0);
    while (tree->topLevelItemCount() < static_cast<int>(rows.size())) tree->addTopLevelItem(new QTreeWidgetItem);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        QTreeWidgetItem* item = tree->topLevelItem(static_cast<int>(i));
        for (int column = 0; column < rows[i].size(); ++column) item->setText(column, rows[i][column]);
    }
}

}  // namespace

OutputsDialog::OutputsDialog(const NetworkOutputs& outputs, Change change, QWidget* parent)
    : QDialog(parent), outputs_(outputs), change_(std::move(change)) {
    setObjectName(QStringLiteral("Uscite"));
    setWindowTitle(QStringLiteral("Rete"));
    setMinimumWidth(520);
    auto* tcp = new QGroupBox(QStringLiteral("Server TCP"));
    auto* tcp_form = new QFormLayout(tcp);
    tcp_on_ = named(new QCheckBox(QStringLiteral("Attivo")), "tcp_attivo");
    tcp_address_ = named(new QLineEdit, "tcp_indirizzo");
    tcp_address_->setToolTip(QStringLiteral("127.0.0.1: solo questo computer; 0.0.0.0 o :: anche la rete"));
    tcp_port_ = named(new QSpinBox, "tcp_porta");
    tcp_port_->setRange(0, 65535);
    tcp_port_->setToolTip(QStringLiteral("0: una porta libera qualsiasi"));
    tcp_max_ = named(new QSpinBox, "tcp_max");
    tcp_max_->setRange(1, 100000);
    tcp_status_ = named(new QLabel, "tcp_stato");
    // A client that does not read loses a tick's sentences at a time: a
    // second's, or a fix's above one fix a second.
    tcp_clients_ = table("tcp_client", {QStringLiteral("Client"), QStringLiteral("Secondi saltati")});
    tcp_clients_->headerItem()->setToolTip(
        1, QStringLiteral("I secondi di frasi (i fix, sopra un fix al secondo) che il client non ha letto"));
    tcp_form->addRow(tcp_on_);
    tcp_form->addRow(QStringLiteral("Indirizzo:"), tcp_address_);
    tcp_form->addRow(QStringLiteral("Porta:"), tcp_port_);
    tcp_form->addRow(QStringLiteral("Client al massimo:"), tcp_max_);
    tcp_form->addRow(scrolling_status(tcp_status_));
    tcp_form->addRow(tcp_clients_);

    auto* udp = new QGroupBox(QStringLiteral("UDP"));
    auto* udp_form = new QFormLayout(udp);
    udp_on_ = named(new QCheckBox(QStringLiteral("Attivo")), "udp_attivo");
    udp_targets_ = named(new QPlainTextEdit, "udp_destinazioni");
    udp_targets_->setPlaceholderText(QStringLiteral("192.168.1.255:10110"));
    udp_targets_->setMaximumHeight(70);
    udp_targets_->setToolTip(QStringLiteral(
        "Un indirizzo IPv4 (anche broadcast o multicast), un indirizzo IPv6 tra parentesi quadre "
        "([::1]:10110) o un nome. Un nome con indirizzi IPv4 e IPv6 (come localhost) riceve su IPv4, "
        "dove ascolta la maggior parte dei programmi NMEA; per IPv6 si scrive l'indirizzo."));
    udp_status_ = table("udp_stato", {QStringLiteral("Destinazione"), QStringLiteral("Inviati"),
                                      QStringLiteral("Saltati"), QStringLiteral("Stato")});
    udp_form->addRow(udp_on_);
    udp_form->addRow(new QLabel(QStringLiteral("Destinazioni (INDIRIZZO:PORTA, una per riga):")));
    udp_form->addRow(udp_targets_);
    udp_form->addRow(udp_status_);

    auto* streams = new QGroupBox(QStringLiteral("Un flusso per mezzo e server remoti"));
    auto* streams_form = new QFormLayout(streams);
    streams_on_ = named(new QCheckBox(QStringLiteral("Un flusso per mezzo: il mezzo k sulla porta base + k")),
                        "tcp_mezzi_attivo");
    streams_address_ = named(new QLineEdit, "tcp_mezzi_indirizzo");
    streams_port_ = named(new QSpinBox, "tcp_mezzi_porta");
    streams_port_->setRange(1, 65535 - static_cast<int>(stream_ports) + 1);
    streams_port_->setToolTip(QStringLiteral("I mezzi %1 prendono le porte da base a base + %2")
                                  .arg(QString::fromStdString(vehicle_range()))
                                  .arg(stream_ports - 1));
    send_to_ = named(new QPlainTextEdit, "tcp_verso");
    send_to_->setPlaceholderText(QStringLiteral("server.esempio:5055"));
    send_to_->setMaximumHeight(60);
    streams_to_ = named(new QLineEdit, "tcp_verso_mezzi");
    streams_to_->setPlaceholderText(QStringLiteral("server.esempio:6000"));
    streams_status_ = named(new QLabel, "tcp_mezzi_stato");
    streams_form->addRow(streams_on_);
    streams_form->addRow(QStringLiteral("Indirizzo:"), streams_address_);
    streams_form->addRow(QStringLiteral("Porta base:"), streams_port_);
    streams_form->addRow(new QLabel(QStringLiteral("Collegarsi a (HOST:PORTA, uno per riga) con ciò che riceve la porta seriale:")));
    streams_form->addRow(send_to_);
    streams_form->addRow(QStringLiteral("Flusso di ogni mezzo verso (HOST:PORTA_BASE):"), streams_to_);
    streams_form->addRow(scrolling_status(streams_status_));

    QDialogButtonBox* buttons = apply_buttons(*this, [this] { return apply(); });

    // The server and the targets side by side: the dialog fits a small screen.
    auto* top = new QHBoxLayout;
    top->addWidget(tcp);
    top->addWidget(udp);
    auto* body = new QVBoxLayout;
    body->addLayout(top);
    body->addWidget(streams);
    fit_to_screen(*this, body, buttons);
}

void OutputsDialog::open_on_settings() {
    const OutputSettings& in_force = outputs_.settings();
    tcp_on_->setChecked(in_force.tcp);
    tcp_address_->setText(qt_text(in_force.tcp_address));
    tcp_port_->setValue(in_force.tcp_port);
    tcp_max_->setValue(in_force.tcp_max);
    udp_on_->setChecked(in_force.udp);
    QStringList targets;
    for (const std::string& target : in_force.udp_targets) targets << qt_text(target);
    udp_targets_->setPlainText(targets.join(QLatin1Char('\n')));
    streams_on_->setChecked(in_force.streams);
    streams_address_->setText(qt_text(in_force.streams_address));
    streams_port_->setValue(in_force.streams_port);
    QStringList servers;
    for (const std::string& server : in_force.send_to) servers << qt_text(server);
    send_to_->setPlainText(servers.join(QLatin1Char('\n')));
    streams_to_->setText(qt_text(in_force.streams_to));
    show();
    raise();
    activateWindow();
    refresh();
}

OutputSettings OutputsDialog::settings() const {
    OutputSettings wanted;
    wanted.tcp = tcp_on_->isChecked();
    wanted.tcp_address = tcp_address_->text().trimmed().toStdString();
    wanted.tcp_port = tcp_port_->value();
    wanted.tcp_max = tcp_max_->value();
    wanted.udp = udp_on_->isChecked();
    for (const QString& line : udp_targets_->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) wanted.udp_targets.push_back(line.trimmed().toStdString());
    }
    wanted.streams = streams_on_->isChecked();
    wanted.streams_address = streams_address_->text().trimmed().toStdString();
    wanted.streams_port = streams_port_->value();
    for (const QString& line : send_to_->toPlainText().split(QLatin1Char('\n'))) {
        if (!line.trimmed().isEmpty()) wanted.send_to.push_back(line.trimmed().toStdString());
    }
    wanted.streams_to = streams_to_->text().trimmed().toStdString();
    return wanted;
}

bool OutputsDialog::apply() {
    const Result<> done = change_(settings());
    refresh();
    if (done) return true;
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("message_box"));
    box.setWindowTitle(QStringLiteral("Rete"));
    box.setText(qt_text(done.message()));
    box.exec();
    return false;
}

void OutputsDialog::refresh() {
    if (!isVisible()) return;
    const TcpOutput& tcp = outputs_.tcp();
    QString status;
    if (!tcp.started()) {
        status = QStringLiteral("Spento.");
    } else if (!tcp.listening()) {
        status = QStringLiteral("Non attivo su %1: %2.").arg(qt_text(tcp.address()), qt_text(tcp.failure()));
    } else {
        status = QStringLiteral("In ascolto su %1: %2 client collegati (al massimo %3); %4 secondi saltati, "
                                "%5 client rifiutati, %6 chiusi perché non leggevano.")
                     .arg(qt_text(tcp.address()))
                     .arg(tcp.client_count())
                     .arg(tcp.max_clients())
                     .arg(tcp.skipped())
                     .arg(tcp.refused())
                     .arg(tcp.idle_closed());
    }
    tcp_status_->setText(status);
    std::vector<QStringList> clients;
    for (const TcpOutput::ClientView& client : tcp.clients())
        clients.push_back({qt_text(client.peer), QString::number(client.skipped)});
    fill(tcp_clients_, clients);

    std::vector<QStringList> targets;
    for (const UdpOutput::TargetView& target : outputs_.udp().targets()) {
        targets.push_back({qt_text(target.target), QString::number(target.sent), QString::number(target.skipped),
                           target.failure.empty() ? QStringLiteral("ok") : qt_text(target.failure)});
    }
    fill(udp_status_, targets);

    QStringList said;
    const VehicleStreams& vehicles = outputs_.streams();
    if (const auto& base = vehicles.listen_base()) {
        std::size_t listening = 0, clients = 0;
        for (std::size_t n = 0; n < stream_ports; ++n) {
            if (const TcpOutput* server = vehicles.server(n); server != nullptr && server->listening()) {
                ++listening;
                clients += server->client_count();
            }
        }
        said << QStringLiteral("Flussi: %1 mezzi in ascolto da %2, %3 client collegati.")
                    .arg(listening)
                    .arg(qt_text(base->text()))
                    .arg(clients);
    }
    for (const auto& sender : outputs_.senders().senders()) {
        said << QStringLiteral("Verso %1: %2.")
                    .arg(qt_text(sender->server().text()),
                         sender->connected() ? QStringLiteral("collegato")
                         : sender->failure().empty() ? QStringLiteral("collegamento in corso")
                                                     : qt_text(sender->failure()));
    }
    streams_status_->setText(said.join(QLatin1Char('\n')));
}

}  // namespace vadrel::gui
