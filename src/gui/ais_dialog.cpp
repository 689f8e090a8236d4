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

AisDialog::AisDialog(const AisSettings& current, AisChange change, QWidget* parent)
    : QDialog(parent),
      change_(std::move(change)),
      attivi_(new QCheckBox(QStringLiteral("Invia i &bersagli AIS (modi GPS standard e radio)"), this)),
      nave_propria_(new QCheckBox(QStringLiteral("Anche il mezzo attuale, come nave &propria (!AIVDO)"), this)),
      statici_subito_(new QCheckBox(
          QStringLiteral("Nome e tipo &subito a ogni nuovo client TCP (non solo ogni 6 minuti)"), this)),
      mezzi_(new QTableWidget(static_cast<int>(fleet_size), columns, this)),
      problema_(new QLabel(this)),
      settings_(current) {
    setObjectName(QStringLiteral("bersagli_ais"));
    setWindowTitle(QStringLiteral("Bersagli AIS"));
    attivi_->setObjectName(QStringLiteral("ais_attivi"));
    attivi_->setChecked(current.attivi);
    nave_propria_->setObjectName(QStringLiteral("ais_nave_propria"));
    nave_propria_->setChecked(current.nave_propria);
    statici_subito_->setObjectName(QStringLiteral("ais_statici_subito"));
    statici_subito_->setChecked(current.statici_subito);
    mezzi_->setObjectName(QStringLiteral("ais_mezzi"));
    mezzi_->setHorizontalHeaderLabels(
        {QStringLiteral("MMSI"), QStringLiteral("Classe"), QStringLiteral("Nome"), QStringLiteral("Tipo"),
         QStringLiteral("Nominativo")});
    QStringList rows;
    for (std::size_t n = 0; n < fleet_size; ++n) {
        rows << QStringLiteral("Mezzo %1").arg(n);
        const AisIdentity& id = current.mezzi[n];
        const int row = static_cast<int>(n);
        mezzi_->setItem(row, mmsi_column, new QTableWidgetItem(QString::fromStdString(mmsi_text(id.mmsi))));
        mezzi_->setItem(row, class_column, new QTableWidgetItem(QString::fromLatin1(ais_class_text(id.ais_class))));
        auto* name = new QTableWidgetItem(QString::fromStdString(id.name));
        name->setToolTip(QStringLiteral("Vuoto: \"MEZZO %1\"").arg(n));
        mezzi_->setItem(row, name_column, name);
        mezzi_->setItem(row, type_column, new QTableWidgetItem(QString::number(id.ship_type)));
        mezzi_->setItem(row, call_sign_column, new QTableWidgetItem(QString::fromStdString(id.call_sign)));
    }
    mezzi_->setVerticalHeaderLabels(rows);
    mezzi_->horizontalHeader()->setStretchLastSection(true);
    mezzi_->resizeColumnsToContents();
    problema_->setObjectName(QStringLiteral("problema"));
    problema_->setWordWrap(true);
    problema_->setTextFormat(Qt::PlainText);  // it may quote a name as it was given
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(attivi_);
    layout->addWidget(nave_propria_);
    layout->addWidget(statici_subito_);
    auto* rules = new QLabel(
        QStringLiteral("Sono bersagli i mezzi da 0 a \"Numero di mezzi mobili\" - 1, tranne l'attuale. MMSI di nove "
                       "cifre (predefinito 900000000 + il numero del mezzo, che nessuna nave vera ha), classe A o B, "
                       "nome fino a 20 caratteri, tipo da 0 a 99, nominativo fino a 7 caratteri."),
        this);
    rules->setWordWrap(true);
    layout->addWidget(rules);
    layout->addWidget(mezzi_);
    layout->addWidget(problema_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &AisDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &AisDialog::reject);
    layout->addWidget(buttons);
    // Its status and refusals wrap, and scroll past a few lines.
    fit_texts(*this);
    resize(640, 520);
    attivi_->setFocus();
}

void AisDialog::accept() {
    AisSettings s = settings_;
    s.attivi = attivi_->isChecked();
    s.nave_propria = nave_propria_->isChecked();
    s.statici_subito = statici_subito_->isChecked();
    const auto cell = [this](int row, int column) {
        const QTableWidgetItem* item = mezzi_->item(row, column);
        return item == nullptr ? std::string() : item->text().trimmed().toStdString();
    };
    const auto refuse = [this](int row, const Refusal& refusal) {
        problema_->setText(QStringLiteral("Mezzo %1: ").arg(row) + qt_text(refusal.reason));
        mezzi_->setCurrentCell(row, column_of(refusal.field));
    };
    for (int row = 0; row < static_cast<int>(fleet_size); ++row) {
        AisIdentity& id = s.mezzi[static_cast<std::size_t>(row)];
        const auto mmsi = read_mmsi(cell(row, mmsi_column));
        if (const auto* refusal = std::get_if<Refusal>(&mmsi)) return refuse(row, *refusal);
        id.mmsi = std::get<std::uint32_t>(mmsi);
        const auto ais_class = read_ais_class(cell(row, class_column));
        if (const auto* refusal = std::get_if<Refusal>(&ais_class)) return refuse(row, *refusal);
        id.ais_class = std::get<AisClass>(ais_class);
        bool number = false;
        const std::string type = cell(row, type_column);
        const int ship_type = QString::fromStdString(type).toInt(&number);
        if (!number || ship_type < 0 || ship_type > 99) {
            return refuse(row, {"tipo", "il tipo di nave AIS va da 0 (non disponibile) a 99, non \"" + type + "\""});
        }
        id.ship_type = static_cast<std::uint8_t>(ship_type);
        id.name = cell(row, name_column);
        id.call_sign = cell(row, call_sign_column);
        if (auto problem = identity_problem(id)) return refuse(row, *problem);
    }
    if (auto problem = fleet_identities_problem(s.mezzi)) {
        problema_->setText(qt_text(problem->reason));
        return;
    }
    if (const Result<> done = change_(s); !done) {
        problema_->setText(qt_text(done.message()));
        return;
    }
    problema_->clear();
    settings_ = s;
    QDialog::accept();
}

void add_ais_entry(QMenu& menu, std::function<AisSettings()> current, AisChange change) {
    QAction* action = menu.addAction(QStringLiteral("Bersagli &AIS..."));
    action->setObjectName(QStringLiteral("opzione_ais"));
    QObject::connect(action, &QAction::triggered, &menu,
                     [&menu, current = std::move(current), change = std::move(change)] {
                         QWidget* parent = menu.parentWidget() != nullptr ? menu.parentWidget()->window() : nullptr;
                         AisDialog dialog(current(), change, parent);
                         dialog.exec();
                     });
}

}  // namespace vadrel::gui
