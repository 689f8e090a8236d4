#include "ais_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QTableWidget>
#include <QVBoxLayout>
#include <variant>

#include "gui/dialog_fit.h"
#include "model/numbers.h"
#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

enum Column { mmsi_column, class_column, name_column, type_column, call_sign_column, columns };

// The column of the field an identity's refusal names.
int column_of(const std::string& field) {
    if (field == "classe") return class_column;
    if (field == "nome") return name_column;
    if (field == "tipo") return type_column;
    if (field == "nominativo") return call_sign_column;
    return mmsi_column;
}

}  // namespace

AisDialog::AisDialog(const AisSettings& current, AisChange change, QWidget* parent, EncounterActions encounter,
                     StationActions stations)
    : QDialog(parent),
      change_(std::move(change)),
      enabled_(new QCheckBox(QStringLiteral("Invia i &bersagli AIS (modi GPS standard e radio)"), this)),
      own_ship_(new QCheckBox(QStringLiteral("Anche il mezzo attuale, come nave &propria (!AIVDO)"), this)),
      statics_at_once_(new QCheckBox(
          QStringLiteral("Nome e tipo &subito a ogni nuovo client TCP (non solo ogni 6 minuti)"), this)),
      vehicles_(new QTableWidget(static_cast<int>(fleet_size), columns, this)),
      problem_(new QLabel(this)),
      settings_(current) {
    setObjectName(QStringLiteral("bersagli_ais"));
    setWindowTitle(QStringLiteral("Bersagli AIS"));
    enabled_->setObjectName(QStringLiteral("ais_attivi"));
    enabled_->setChecked(current.enabled);
    own_ship_->setObjectName(QStringLiteral("ais_nave_propria"));
    own_ship_->setChecked(current.own_ship);
    statics_at_once_->setObjectName(QStringLiteral("ais_statici_subito"));
    statics_at_once_->setChecked(current.statics_at_once);
    vehicles_->setObjectName(QStringLiteral("ais_mezzi"));
    vehicles_->setHorizontalHeaderLabels(
        {QStringLiteral("MMSI"), QStringLiteral("Classe"), QStringLiteral("Nome"), QStringLiteral("Tipo"),
         QStringLiteral("Nominativo")});
    QStringList rows;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        rows << QStringLiteral("Mezzo %1").arg(n);
        const AisIdentity& id = current.vehicles[n];
        const int row = static_cast<int>(n);
        vehicles_->setItem(row, mmsi_column, new QTableWidgetItem(QString::fromStdString(mmsi_text(id.mmsi))));
        vehicles_->setItem(row, class_column, new QTableWidgetItem(QString::fromLatin1(ais_class_text(id.ais_class))));
        auto* name = new QTableWidgetItem(QString::fromStdString(id.name));
        name->setToolTip(QStringLiteral("Vuoto: \"MEZZO %1\"").arg(n));
        vehicles_->setItem(row, name_column, name);
        vehicles_->setItem(row, type_column, new QTableWidgetItem(QString::number(id.ship_type)));
        vehicles_->setItem(row, call_sign_column, new QTableWidgetItem(QString::fromStdString(id.call_sign)));
    }
    vehicles_->setVerticalHeaderLabels(rows);
    vehicles_->horizontalHeader()->setStretchLastSection(true);
    vehicles_->resizeColumnsToContents();
    problem_->setObjectName(QStringLiteral("problema"));
    problem_->setWordWrap(true);
    problem_->setTextFormat(Qt::PlainText);  // it may quote a name as it was given
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enabled_);
    layout->addWidget(own_ship_);
    layout->addWidget(statics_at_once_);
    auto* rules = new QLabel(
        QStringLiteral("Sono bersagli i mezzi da 0 a \"Numero di mezzi mobili\" - 1, tranne l'attuale. MMSI di nove "
                       "cifre (predefinito 900000000 + il numero del mezzo, che nessuna nave vera ha), classe A o B, "
                       "nome fino a 20 caratteri, tipo da 0 a 99, nominativo fino a 7 caratteri."),
        this);
    rules->setWordWrap(true);
    layout->addWidget(rules);
    layout->addWidget(vehicles_, 1);  // the rows take the room the texts leave
    layout->addWidget(problem_);
    if (encounter.place) layout->addWidget(new EncounterBox(std::move(encounter), this));
    if (stations.set) layout->addWidget(new StationsBox(std::move(stations), this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AisDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AisDialog::reject);
    layout->addWidget(buttons);
    // Its status and refusals wrap, and scroll past two lines: room for the set pieces.
    fit_texts(*this, 2);
    // Room for the table's rows as far as the screen has it.
    resize(QSize(640, 520).expandedTo(sizeHint()).boundedTo(largest_dialog(*this)));
    enabled_->setFocus();
}

void AisDialog::accept() {
    AisSettings s = settings_;
    s.enabled = enabled_->isChecked();
    s.own_ship = own_ship_->isChecked();
    s.statics_at_once = statics_at_once_->isChecked();
    const auto cell = [this](int row, int column) {
        const QTableWidgetItem* item = vehicles_->item(row, column);
        return item == nullptr ? std::string() : item->text().trimmed().toStdString();
    };
    const auto refuse = [this](int row, const Refusal& refusal) {
        problem_->setText(QStringLiteral("Mezzo %1: ").arg(row) + qt_text(refusal.reason));
        vehicles_->setCurrentCell(row, column_of(refusal.field));
    };
    for (int row = 0; row < static_cast<int>(fleet_size); ++row) {
        AisIdentity& id = s.vehicles[static_cast<std::size_t>(row)];
        const auto mmsi = read_mmsi(cell(row, mmsi_column));
        if (const auto* refusal = std::get_if<Refusal>(&mmsi)) return refuse(row, *refusal);
        id.mmsi = std::get<std::uint32_t>(mmsi);
        const auto ais_class = read_ais_class(cell(row, class_column));
        if (const auto* refusal = std::get_if<Refusal>(&ais_class)) return refuse(row, *refusal);
        id.ais_class = std::get<AisClass>(ais_class);
        const std::string type = cell(row, type_column);
        const int ship_type = read_whole<int>(type, NumberSource::window_box).value_or(-1);
        if (ship_type < 0 || ship_type > 99) {
            return refuse(row, {"tipo", "il tipo di nave AIS va da 0 (non disponibile) a 99, non \"" + type + "\""});
        }
        id.ship_type = static_cast<std::uint8_t>(ship_type);
        id.name = cell(row, name_column);
        id.call_sign = cell(row, call_sign_column);
        if (auto problem = identity_problem(id)) return refuse(row, *problem);
    }
    if (auto problem = fleet_identities_problem(s.vehicles)) {
        problem_->setText(qt_text(problem->reason));
        return;
    }
    if (const Result<> done = change_(s); !done) {
        problem_->setText(qt_text(done.message()));
        return;
    }
    problem_->clear();
    settings_ = s;
    QDialog::accept();
}

void add_ais_entry(QMenu& menu, std::function<AisSettings()> current, AisChange change,
                   EncounterActions encounter, StationActions stations) {
    QAction* action = menu.addAction(QStringLiteral("Bersagli &AIS..."));
    action->setObjectName(QStringLiteral("opzione_ais"));
    QObject::connect(action, &QAction::triggered, &menu,
                     [&menu, current = std::move(current), change = std::move(change), encounter = std::move(encounter),
                      stations = std::move(stations)] {
                         QWidget* parent = menu.parentWidget() != nullptr ? menu.parentWidget()->window() : nullptr;
                         AisDialog dialog(current(), change, parent, encounter, stations);
                         dialog.exec();
                     });
}

}  // namespace vadrel::gui
