#include "instrument_dialog.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QVBoxLayout>

#include "gui/dialog_buttons.h"
#include "gui/dialog_fit.h"
#include "gui/qt_text.h"
#include "model/numbers.h"

namespace vadrel::gui {

namespace {

// Each box: its caption, its name (the field a refusal names), and the
// value it edits; a correction may be left empty.
struct Field {
    const char* caption;
    const char* name;
    std::function<double&(InstrumentSettings&)> value;                 // a number always there
    std::function<std::optional<double>&(InstrumentSettings&)> optional;  // or one that may be empty
};

const std::array<Field, InstrumentDialog::field_count>& fields() {
    using S = InstrumentSettings;
    static const std::array<Field, InstrumentDialog::field_count> table{{
        {"&Vento da (gradi veri):", "vento_direzione", [](S& s) -> double& { return s.wind.direction; }, {}},
        {"Vento (&nodi):", "vento_nodi", [](S& s) -> double& { return s.wind.speed_knots; }, {}},
        {"&Corrente verso (gradi veri):", "corrente_direzione", [](S& s) -> double& { return s.current.direction; }, {}},
        {"Corrente (n&odi):", "corrente_nodi", [](S& s) -> double& { return s.current.speed_knots; }, {}},
        {"&Profondità sotto il trasduttore (m):", "profondita", [](S& s) -> double& { return s.depth; }, {}},
        {"O&ffset del trasduttore (m, + fino alla superficie, - fino alla chiglia):", "offset_trasduttore",
         [](S& s) -> double& { return s.transducer_offset; }, {}},
        {"&Temperatura dell'acqua (°C):", "temperatura_acqua", [](S& s) -> double& { return s.water_temperature; }, {}},
        {"V&ariazione magnetica (gradi, est +; vuota: non nota):", "variazione", {},
         [](S& s) -> std::optional<double>& { return s.variation; }},
        {"&Deviazione (gradi, est +; vuota: non nota):", "deviazione", {},
         [](S& s) -> std::optional<double>& { return s.deviation; }},
    }};
    return table;
}

// With the decimal comma, as the window writes numbers.
QString comma_text(double value) { return qt_text(shortest_text(value)).replace(QLatin1Char('.'), QLatin1Char(',')); }

}  // namespace

InstrumentDialog::InstrumentDialog(const InstrumentSettings& current, InstrumentChange change, QWidget* parent)
    : QDialog(parent),
      change_(std::move(change)),
      enabled_(new QCheckBox(QStringLiteral("Invia le frasi degli &strumenti dopo ogni secondo (modo GPS standard)"),
                             this)),
      problem_(new QLabel(this)),
      settings_(current) {
    setObjectName(QStringLiteral("strumenti_di_bordo"));
    setWindowTitle(QStringLiteral("Strumenti di bordo"));
    enabled_->setObjectName(QStringLiteral("strumenti_attivi"));
    enabled_->setChecked(current.enabled);
    auto* form = new QFormLayout;
    // A caption too long for its row puts its box under it: a caption that
    // wrapped instead would be cut, as the form gives each row one line.
    form->setRowWrapPolicy(QFormLayout::WrapLongRows);
    InstrumentSettings shown = current;
    for (std::size_t i = 0; i < field_count; ++i) {
        const Field& f = fields()[i];
        QString text;
        if (f.value) text = comma_text(f.value(shown));
        else if (const auto& value = f.optional(shown)) text = comma_text(*value);
        fields_[i] = new QLineEdit(text, this);
        fields_[i]->setObjectName(QString::fromLatin1(f.name));
        auto* caption = new QLabel(QString::fromUtf8(f.caption), this);
        caption->setBuddy(fields_[i]);
        form->addRow(caption, fields_[i]);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(enabled_);
    layout->addLayout(form);
    problem_->setObjectName(QStringLiteral("problema"));
    problem_->setTextFormat(Qt::PlainText);
    problem_->setWordWrap(true);
    layout->addWidget(problem_);
    layout->addWidget(apply_buttons(*this, [this] { return apply(); }));
    fit_texts(*this);
    resize(largest_dialog(*this).boundedTo(QSize(620, 460)));
    enabled_->setFocus();
}

bool InstrumentDialog::apply() {
    InstrumentSettings s = settings_;
    s.enabled = enabled_->isChecked();
    const auto refuse = [this](std::size_t i, const std::string& reason) {
        problem_->setText(qt_text(reason));
        fields_[i]->setFocus();
        fields_[i]->selectAll();
        return false;
    };
    for (std::size_t i = 0; i < field_count; ++i) {
        const Field& f = fields()[i];
        const std::string typed = fields_[i]->text().trimmed().toStdString();
        const auto number = read_number(typed, NumberSource::window_box);
        if (typed.empty() && f.optional) {
            f.optional(s).reset();
            continue;
        }
        if (!number) return refuse(i, std::string(f.name) + ": un numero, non \"" + typed + "\"");
        if (f.value) f.value(s) = *number;
        else f.optional(s) = *number;
    }
    if (const auto refused = instrument_settings_problem(s)) {
        for (std::size_t i = 0; i < field_count; ++i) {
            if (refused->field == fields()[i].name) return refuse(i, refused->reason);
        }
    }
    const Result<> done = change_(s);
    problem_->setText(done ? QString() : qt_text(done.message()));
    if (done) settings_ = s;
    return static_cast<bool>(done);
}

void add_instrument_entry(QMenu& menu, std::function<InstrumentSettings()> current, InstrumentChange change) {
    QAction* action = menu.addAction(QStringLiteral("S&trumenti di bordo..."));
    action->setObjectName(QStringLiteral("opzione_strumenti"));
    QObject::connect(action, &QAction::triggered, &menu,
                     [&menu, current = std::move(current), change = std::move(change)] {
                         QWidget* parent = menu.parentWidget() != nullptr ? menu.parentWidget()->window() : nullptr;
                         InstrumentDialog dialog(current(), change, parent);
                         dialog.exec();
                     });
}

}  // namespace vadrel::gui
