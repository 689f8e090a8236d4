#include "port_dialog.h"

#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "serial/port_router.h"
#include "serial/ports.h"
#include "gui/table_columns.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

// "FT232R USB UART, FTDI, n. di serie A10K"; "" when the system says nothing.
QString details(const SerialDevice& device) {
    QStringList parts;
    if (!device.description.empty()) parts << qt_text(device.description);
    if (!device.manufacturer.empty()) parts << qt_text(device.manufacturer);
    if (!device.serial_number.empty()) parts << QStringLiteral("n. di serie ") + qt_text(device.serial_number);
    return parts.join(QStringLiteral(", "));
}

QString with_details(const SerialDevice& device) {
    const QString more = details(device);
    return more.isEmpty() ? qt_text(device.path) : qt_text(device.path) + QStringLiteral(" — ") + more;
}

std::size_t slot(int number) { return static_cast<std::size_t>(number - com_ports.front()); }

// The device an entry of a choice stands for: the entry's own, or the text
// typed in; "" for the default.
std::string device_of(const QComboBox& choice) {
    const QString text = choice.currentText().trimmed();
    const int entry = choice.findText(text);
    return (entry >= 0 ? choice.itemData(entry).toString() : text).toStdString();
}

}  // namespace

QString port_tooltip(int number, const std::string& in_use, const std::vector<SerialDevice>& present) {
    QString tip = QStringLiteral("COM %1: ").arg(number) + qt_text(in_use);
    for (const SerialDevice& device : present) {
        if (in_use != device.path && in_use != device.name) continue;
        if (const QString more = details(device); !more.isEmpty()) tip += QStringLiteral(" — ") + more;
        break;
    }
    return tip;
}

PortDialog::PortDialog(List list, InUse in_use, Change change, QWidget* parent)
    : QDialog(parent), list_(std::move(list)), in_use_(std::move(in_use)), change_(std::move(change)) {
    setObjectName(QStringLiteral("Porta"));
    setWindowTitle(QStringLiteral("Porta"));
    setMinimumWidth(560);

    auto* present = new QGroupBox(QStringLiteral("Dispositivi seriali presenti"));
    auto* present_layout = new QVBoxLayout(present);
    devices_ = new QTreeWidget;
    devices_->setObjectName(QStringLiteral("dispositivi"));
    devices_->setHeaderLabels({QStringLiteral("Dispositivo"), QStringLiteral("Descrizione"),
                               QStringLiteral("Produttore"), QStringLiteral("Numero di serie")});
    devices_->setRootIsDecorated(false);
    fit_columns_to_titles(*devices_, {140, 180});
    auto* relist = new QPushButton(QStringLiteral("&Aggiorna"));
    relist->setObjectName(QStringLiteral("aggiorna"));
    connect(relist, &QPushButton::clicked, this, [this] {
        const PortSettings shown = settings();
        list_devices();
        open_on(shown);
    });
    present_layout->addWidget(devices_);
    present_layout->addWidget(relist, 0, Qt::AlignRight);

    auto* ports = new QGroupBox(QStringLiteral("Porte"));
    auto* grid = new QGridLayout(ports);
    grid->addWidget(new QLabel(QStringLiteral("Dispositivo (o percorso)")), 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("In uso ora")), 0, 2);
    for (const std::int16_t number : com_ports) {
        const int row = number;
        auto* choice = new QComboBox;
        choice->setObjectName(QStringLiteral("com%1").arg(number));
        choice->setEditable(true);
        choice->setInsertPolicy(QComboBox::NoInsert);
        choice->setMinimumContentsLength(28);
        auto* label = new QLabel(QStringLiteral("COM &%1").arg(number));
        label->setBuddy(choice);
        auto* now = new QLabel;
        now->setObjectName(QStringLiteral("com%1_in_uso").arg(number));
        now->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A virtual port's path, for the program that is to read it.
        auto* copy = new QPushButton(QStringLiteral("Copia"));
        copy->setObjectName(QStringLiteral("com%1_copia").arg(number));
        copy->setToolTip(QStringLiteral("Copia il percorso della porta virtuale"));
        copy->setAutoDefault(false);
        copy->hide();
        connect(copy, &QPushButton::clicked, this, [this, number] {
            QGuiApplication::clipboard()->setText(qt_text(virtual_path_(number)));
        });
        grid->addWidget(label, row, 0);
        grid->addWidget(choice, row, 1);
        grid->addWidget(now, row, 2);
        grid->addWidget(copy, row, 3);
        choices_[slot(number)] = choice;
        in_use_labels_[slot(number)] = now;
        copy_buttons_[slot(number)] = copy;
    }
    auto* note = new QLabel(QStringLiteral(
        "Una porta data con --com resta quella per questa sessione; la scelta fatta qui vale dalla prossima."));
    note->setWordWrap(true);
    grid->addWidget(note, static_cast<int>(com_ports.size()) + 1, 0, 1, 4);

    auto* buttons = new QDialogButtonBox;
    QPushButton* ok = buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    buttons->addButton(QStringLiteral("Annulla"), QDialogButtonBox::RejectRole);
    connect(ok, &QPushButton::clicked, this, [this] {
        if (apply()) accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(present);
    layout->addWidget(ports);
    layout->addWidget(buttons);
}

void PortDialog::list_devices() {
    present_ = list_();
    devices_->clear();
    for (const SerialDevice& device : present_) {
        devices_->addTopLevelItem(new QTreeWidgetItem(
            {qt_text(device.path), qt_text(device.description), qt_text(device.manufacturer),
             qt_text(device.serial_number)}));
    }
}

void PortDialog::open_on(const PortSettings& settings) {
    if (!isVisible()) list_devices();
    for (const std::int16_t number : com_ports) {
        QComboBox& choice = *choices_[slot(number)];
        choice.clear();
        choice.addItem(QStringLiteral("predefinito (%1)").arg(qt_text(default_device(number))), QString());
        choice.addItem(QStringLiteral("Porta virtuale (pseudo-terminale)"), QString::fromLatin1(virtual_device));
        for (const SerialDevice& device : present_) choice.addItem(with_details(device), qt_text(device.path));
        const auto mapped = settings.devices.find(number);
        if (mapped == settings.devices.end()) {
            choice.setCurrentIndex(0);
        } else if (const int entry = choice.findData(qt_text(mapped->second)); entry >= 0) {
            choice.setCurrentIndex(entry);
        } else {
            choice.setEditText(qt_text(mapped->second));  // not there now: as it was typed
        }
    }
    show_in_use();
    show();
    raise();
    activateWindow();
}

PortSettings PortDialog::settings() const {
    PortSettings wanted;
    for (const std::int16_t number : com_ports) {
        const std::string device = device_of(*choices_[slot(number)]);
        if (!device.empty()) wanted.devices[number] = device;
    }
    return wanted;
}

void PortDialog::show_in_use() {
    for (const std::int16_t number : com_ports) {
        in_use_labels_[slot(number)]->setText(qt_text(in_use_(number)));
        copy_buttons_[slot(number)]->setVisible(!virtual_path_(number).empty());
    }
}

bool PortDialog::apply() {
    const PortSettings wanted = settings();
    std::string problems;
    for (const auto& [number, device] : wanted.devices) {
        if (const std::string why = device_problem(device); !why.empty())
            problems += "COM " + std::to_string(number) + ": " + why + "\n";
    }
    if (problems.empty()) {
        if (const Result<> done = change_(wanted); !done) problems = done.message();
        show_in_use();
        emit changed();
    }
    if (problems.empty()) return true;
    QMessageBox box(this);
    box.setObjectName(QStringLiteral("message_box"));
    box.setWindowTitle(QStringLiteral("Porta"));
    box.setText(qt_text(problems));
    box.exec();
    return false;
}

}  // namespace vadrel::gui
