#include "server_fleet_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <array>
#include <memory>
#include <type_traits>

#include "gui/dialog_fit.h"
#include "gui/placement.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

const QString fleet_dialog_title = QStringLiteral("Flotta per server di tracciamento");

// The protocols and what an address of each looks like.
struct ProtocolHint {
    const char* name;
    const char* example;
};
constexpr std::array<ProtocolHint, 3> protocol_hints{{
    {"traccar", "127.0.0.1:5005"},
    {"osmand", "http://127.0.0.1:5055"},
    {"nmea", "127.0.0.1:10110"},
}};

QString chosen_fleet(QWidget* parent) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Apri file di flotta"), QString(),
                                        QStringLiteral("File di flotta (*.csv *.json *.txt);;Tutti i file (*)"));
}

QString figure(std::uint64_t n) { return QLocale(QLocale::Italian).toString(qulonglong{n}); }

template <typename Widget>
Widget* named(const char* name, const QString& text = {}) {
    auto* widget = new Widget;
    widget->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_same_v<Widget, QPushButton> || std::is_same_v<Widget, QLabel>) widget->setText(text);
    if constexpr (std::is_same_v<Widget, QPushButton>) widget->setAutoDefault(false);
    return widget;
}

// A label whose accelerator goes to `field`.
QLabel* buddy(const char* text, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setBuddy(field);
    return label;
}

// The widgets side by side, `wide` taking the room left.
QHBoxLayout* in_row(std::initializer_list<QWidget*> widgets, const QWidget* wide) {
    auto* row = new QHBoxLayout;
    for (QWidget* w : widgets) row->addWidget(w, w == wide ? 1 : 0);
    return row;
}

// One row a server: its figures narrow, its state taking the rest.
namespace server_column {
enum : int { server, file, devices, sent, skipped, connections, state, count };
}  // namespace server_column

QTableWidget* servers_table() {
    auto* table = named<QTableWidget>("flotta_server");
    table->setColumnCount(server_column::count);
    table->setHorizontalHeaderLabels({QStringLiteral("Server"), QStringLiteral("File"), QStringLiteral("Dispositivi"),
                                      QStringLiteral("Inviati"), QStringLiteral("Saltati"),
                                      QStringLiteral("Connessioni"), QStringLiteral("Stato")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    QHeaderView* header = table->horizontalHeader();
    for (const int c : {server_column::devices, server_column::sent, server_column::skipped, server_column::connections})
        header->setSectionResizeMode(c, QHeaderView::ResizeToContents);
    table->setColumnWidth(server_column::server, 170);
    table->setColumnWidth(server_column::file, 100);
    header->setStretchLastSection(true);
    table->setMinimumHeight(80);
    return table;
}

}  // namespace

ServerFleetDialog::ServerFleetDialog(ServerFleetActions actions, int interval, QWidget* parent)
    : QDialog(parent), actions_(std::move(actions)) {
    if (!actions_.choose_file) actions_.choose_file = chosen_fleet;
    reader_.setMaxThreadCount(1);
    setObjectName(QStringLiteral("FlottaServer"));
    setWindowTitle(fleet_dialog_title);
    file_ = named<QLineEdit>("flotta_file");
    file_->setToolTip(QStringLiteral("CSV o JSON, un dispositivo per riga; un percorso relativo parte dalla cartella "
                                     "da cui è stato avviato vadrel, come per --flotta"));
    auto* browse = named<QPushButton>("flotta_sfoglia", QStringLiteral("&Sfoglia..."));
    protocol_ = named<QComboBox>("flotta_protocollo");
    for (const ProtocolHint& p : protocol_hints) protocol_->addItem(QString::fromLatin1(p.name));
    address_ = named<QLineEdit>("flotta_indirizzo");
    interval_ = named<QSpinBox>("flotta_intervallo");
    interval_->setRange(1, 3600);
    interval_->setValue(std::clamp(interval, 1, 3600));
    interval_->setSuffix(QStringLiteral(" s"));
    interval_->setToolTip(QStringLiteral("i secondi tra due rapporti di un dispositivo, dove il file non li dice"));
    start_ = named<QPushButton>("flotta_avvia", QStringLiteral("&Avvia"));
    start_->setToolTip(QStringLiteral("Sostituisce la flotta che già invia a questo server, o ne aggiunge una"));
    totals_ = named<QLabel>("flotta_totali");
    servers_ = servers_table();
    problem_ = named<QLabel>("flotta_errore");
    problem_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* form = new QFormLayout;
    form->addRow(buddy("Fi&le:", file_), in_row({file_, browse}, file_));
    form->addRow(buddy("&Protocollo:", protocol_),
                 in_row({protocol_, buddy("&Indirizzo:", address_), address_, buddy("In&tervallo:", interval_),
                         interval_},
                        address_));
    form->addRow(in_row({start_, totals_}, totals_));
    form->addRow(servers_);
    form->addRow(scrolling_status(problem_, 2));

    auto* buttons = new QDialogButtonBox;
    stop_ = buttons->addButton(QStringLiteral("&Ferma"), QDialogButtonBox::ActionRole);
    stop_->setObjectName(QStringLiteral("flotta_ferma"));
    stop_->setToolTip(QStringLiteral("Ferma la flotta del server scelto nella tabella, o di quello scritto sopra"));
    stop_->setAutoDefault(false);
    buttons->addButton(QStringLiteral("Chiudi"), QDialogButtonBox::RejectRole)->setAutoDefault(false);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString path = actions_.choose_file(this);
        if (!path.isEmpty()) file_->setText(path);
    });
    connect(protocol_, &QComboBox::currentIndexChanged, this, [this] { show_protocol_hint(); });
    connect(start_, &QPushButton::clicked, this, [this] { start_fleet(); });
    connect(stop_, &QPushButton::clicked, this, [this] { stop_fleet(); });
    every_second_.setInterval(1000);
    connect(&every_second_, &QTimer::timeout, this, &ServerFleetDialog::refresh);
    show_protocol_hint();
    fit_to_screen(*this, form, buttons);
    setMinimumWidth(std::min(640, largest_dialog(*this).width()));
}

ServerFleetDialog::~ServerFleetDialog() { reader_.waitForDone(); }

void ServerFleetDialog::show_protocol_hint() {
    const auto& p = protocol_hints[static_cast<std::size_t>(std::max(protocol_->currentIndex(), 0))];
    address_->setPlaceholderText(QString::fromLatin1(p.example));
}

std::string ServerFleetDialog::destination() const {
    return (protocol_->currentText() + QLatin1Char(':') + address_->text().trimmed()).toStdString();
}

void ServerFleetDialog::open_beside(const QWidget& panel) {
    const TrackerOverview now = actions_.overview();
    // A fleet the command line or a client started: its server, to look at or stop.
    if (file_->text().isEmpty() && address_->text().isEmpty() && !now.servers.empty()) {
        const TrackerServerView& first = now.servers.front();
        file_->setText(QString::fromStdString(first.file));
        const int index = protocol_->findText(QString::fromStdString(first.protocol));
        if (index >= 0) protocol_->setCurrentIndex(index);
        address_->setText(QString::fromStdString(first.address));
    }
    show_beside(*this, panel);
    refresh();
}

bool ServerFleetDialog::start_fleet() {
    const QString path = file_->text().trimmed();
    if (reading_) {
        tell(QStringLiteral("Un file di flotta è già in lettura: riprovare quando è finito."));
        return false;
    }
    if (path.isEmpty()) {
        tell(QStringLiteral("Manca il file di flotta."));
        return false;
    }
    if (address_->text().trimmed().isEmpty()) {
        tell(QStringLiteral("Manca l'indirizzo del server (per esempio %1).").arg(address_->placeholderText()));
        return false;
    }
    reading_ = true;
    start_->setEnabled(false);
    problem_->setText(QStringLiteral("Lettura di %1...").arg(path));
    reader_.start([this, path = path.toStdString(), to = destination(), every = interval_->value()] {
        auto install = std::make_shared<ServerFleetActions::Install>(actions_.read(path, to, every));
        // Back on the loop; dropped when the dialog is gone by then.
        QMetaObject::invokeMethod(
            this,
            [this, install] {
                reading_ = false;
                start_->setEnabled(true);
                const std::string problem = (*install)();
                problem_->clear();
                refresh();
                if (!problem.empty()) tell(qt_text(problem));
                emit finished(qt_text(problem));
            },
            Qt::QueuedConnection);
    });
    return true;
}

bool ServerFleetDialog::stop_fleet() {
    const TrackerOverview now = actions_.overview();
    // The row chosen; else the server the fields name; else the only one.
    int row = servers_->selectionModel()->hasSelection() ? servers_->currentRow() : -1;
    for (std::size_t i = 0; row < 0 && i < now.servers.size(); ++i) {
        if (now.servers[i].protocol + ":" + now.servers[i].address == destination()) row = static_cast<int>(i);
    }
    if (row < 0 && now.servers.size() == 1) row = 0;
    if (row < 0 || static_cast<std::size_t>(row) >= now.servers.size()) {
        tell(now.servers.empty() ? QStringLiteral("Nessuna flotta invia a un server.")
                                 : QStringLiteral("Scegliere nella tabella il server della flotta da fermare."));
        return false;
    }
    const TrackerServerView& server = now.servers[static_cast<std::size_t>(row)];
    const bool stopped = actions_.stop(server.protocol + ":" + server.address);
    refresh();
    return stopped;
}

void ServerFleetDialog::tell(const QString& text) {
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("message_box"));
    box.setWindowTitle(fleet_dialog_title);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.exec();
}

void ServerFleetDialog::refresh() {
    const TrackerOverview now = actions_.overview();
    totals_->setText(QStringLiteral("Dispositivi: %1 · rapporti inviati: %2 · saltati: %3")
                         .arg(figure(now.devices), figure(now.sent), figure(now.skipped)));
    servers_->setRowCount(static_cast<int>(now.servers.size()));
    QString last_problem;
    for (std::size_t i = 0; i < now.servers.size(); ++i) {
        const TrackerServerView& s = now.servers[i];
        const QString server = qt_text(s.protocol + ":" + s.address);
        const std::array<QString, server_column::count> cells{server,
                                                 QFileInfo(qt_text(s.file)).fileName(),
                                                 figure(s.devices),
                                                 figure(s.sent),
                                                 figure(s.skipped),
                                                 figure(s.connections),
                                                 qt_text(s.state)};
        for (std::size_t c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c >= server_column::devices && c <= server_column::connections) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            item->setToolTip(c == server_column::file ? qt_text(s.file) : cells[c]);
            servers_->setItem(static_cast<int>(i), static_cast<int>(c), item);
        }
        if (last_problem.isEmpty() && s.state != "collegato")
            last_problem = QStringLiteral("%1: %2").arg(server, qt_text(s.state));
    }
    stop_->setEnabled(!now.servers.empty());
    if (!reading_)
        problem_->setText(last_problem.isEmpty() ? QString() : QStringLiteral("Ultimo errore: %1").arg(last_problem));
}

void ServerFleetDialog::showEvent(QShowEvent* event) {
    every_second_.start();
    QDialog::showEvent(event);
}

void ServerFleetDialog::hideEvent(QHideEvent* event) {
    every_second_.stop();
    QDialog::hideEvent(event);
}

}  // namespace vadrel::gui
