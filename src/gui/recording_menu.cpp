#include "recording_menu.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QProgressDialog>
#include <QStringList>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/qt_text.h"

namespace vadrel::gui {

namespace {

std::string path_of(const QString& file) { return QFile::encodeName(file).toStdString(); }

constexpr const char* title = "Registrazione";

}  // namespace

ReplayDialog::ReplayDialog(RecordingActions& actions, QWidget* parent) : QDialog(parent), actions_(actions) {
    setObjectName(QStringLiteral("riproduzione"));
    setWindowTitle(QStringLiteral("Riproduzione"));
    file_ = new QLabel(this);
    speed_ = new QDoubleSpinBox(this);
    speed_->setObjectName(QStringLiteral("velocita"));
    speed_->setRange(0.01, 1000.0);
    speed_->setDecimals(2);
    speed_->setValue(1.0);
    speed_->setPrefix(QStringLiteral("× "));
    full_speed_ = new QCheckBox(QStringLiteral("Più veloce possibile"), this);
    full_speed_->setObjectName(QStringLiteral("massima"));
    loop_ = new QCheckBox(QStringLiteral("Ciclo: da capo senza fine"), this);
    loop_->setObjectName(QStringLiteral("ciclo"));
    progress_ = new QProgressBar(this);
    progress_->setObjectName(QStringLiteral("avanzamento"));
    progress_->setRange(0, 1000);
    start_ = new QPushButton(QStringLiteral("Avvia"), this);
    start_->setObjectName(QStringLiteral("avvia"));
    stop_ = new QPushButton(QStringLiteral("Ferma"), this);
    stop_->setObjectName(QStringLiteral("ferma"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Registro:"), file_);
    form->addRow(QStringLiteral("Velocità:"), speed_);
    form->addRow(QString(), full_speed_);
    form->addRow(QString(), loop_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(start_);
    buttons->addWidget(stop_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    connect(full_speed_, &QCheckBox::toggled, speed_, &QWidget::setDisabled);
    connect(start_, &QPushButton::clicked, this, &ReplayDialog::start);
    connect(stop_, &QPushButton::clicked, this, [this] {
        actions_.stop_replay();
        refresh();
    });
    // Closing the window stops the replay: nothing plays unseen.
    connect(this, &QDialog::finished, this, [this] {
        if (actions_.replaying()) actions_.stop_replay();
    });
}

void ReplayDialog::open_on(const CheckedLog& log) {
    log_ = log;
    file_->setText(qt_text(log.path) + QStringLiteral(" (%1 secondi)").arg(log.summary.ticks));
    progress_->setValue(0);
    refresh();
    show();
    raise();
}

void ReplayDialog::start() {
    const double speed = full_speed_->isChecked() ? Replay::full_speed : speed_->value();
    const std::string why = actions_.start_replay(log_, speed, loop_->isChecked());
    if (!why.empty()) QMessageBox::warning(this, QString::fromUtf8(title), qt_text(why));
    refresh();
}

void ReplayDialog::refresh() {
    const bool running = actions_.replaying();
    if (running) progress_->setValue(static_cast<int>(actions_.replay_progress() * 1000.0));
    start_->setEnabled(!running);
    stop_->setEnabled(running);
    speed_->setEnabled(!running && !full_speed_->isChecked());
    full_speed_->setEnabled(!running);
    loop_->setEnabled(!running);
}

RecordingMenu::RecordingMenu(QMenuBar& bar, RecordingActions actions, QWidget* window)
    : QObject(window), actions_(std::move(actions)), window_(window) {
    if (!actions_.choose_file) {
        actions_.choose_file = [](QWidget* parent, const QString& caption, const QString& filter, bool save) {
            return save ? QFileDialog::getSaveFileName(parent, caption, QString(), filter)
                        : QFileDialog::getOpenFileName(parent, caption, QString(), filter);
        };
    }
    QMenu* menu = bar.addMenu(QStringLiteral("&Registrazione"));
    menu->setObjectName(QStringLiteral("menu_registrazione"));
    record_ = menu->addAction(QStringLiteral("&Registra..."), this, &RecordingMenu::record);
    record_->setObjectName(QStringLiteral("registra"));
    record_->setCheckable(true);
    replay_ = menu->addAction(QStringLiteral("Ri&produci..."), this, &RecordingMenu::replay);
    replay_->setObjectName(QStringLiteral("riproduci"));
    QAction* gpx = menu->addAction(QStringLiteral("&Esporta tracce GPX..."), this, &RecordingMenu::export_tracks);
    gpx->setObjectName(QStringLiteral("esporta_gpx"));
    stop_tracks_ = menu->addAction(QStringLiteral("&Ferma esportazione GPX"), this, [this] {
        if (actions_.stop_tracks) actions_.stop_tracks();
        refresh();
    });
    stop_tracks_->setObjectName(QStringLiteral("ferma_gpx"));
    activity_ = new QLabel(window);
    activity_->setObjectName(QStringLiteral("attivita"));
    dialog_ = new ReplayDialog(actions_, window);
    refresh();
}

ActivityText activity_text(const RecordingActions::Files& files) {
    struct Activity {
        const std::string& path;
        QString word;   // alone
        QString short_word;  // with others, in the little room beside the status
        QString line;
    };
    const Activity all[] = {
        {files.recording, QStringLiteral("Registra"), QStringLiteral("Reg"), QStringLiteral("Registrazione in %1")},
        {files.replay, QStringLiteral("Riproduce"), QStringLiteral("Rip"), QStringLiteral("Riproduzione di %1")},
        {files.tracks, QStringLiteral("Esporta GPX"), QStringLiteral("GPX"), QStringLiteral("Tracce GPX in %1")},
    };
    QStringList words;
    QStringList short_words;
    QStringList lines;
    for (const Activity& a : all) {
        if (a.path.empty()) continue;
        words << a.word;
        short_words << a.short_word;
        lines << a.line.arg(QFile::decodeName(a.path.c_str()));
    }
    return {words.size() == 1 ? words.front() : short_words.join(QStringLiteral(" · ")), lines.join(QLatin1Char('\n'))};
}

void RecordingMenu::refresh() {
    record_->setChecked(actions_.recording());
    replay_->setEnabled(!actions_.replaying());
    const RecordingActions::Files files = actions_.files ? actions_.files() : RecordingActions::Files{};
    stop_tracks_->setEnabled(!files.tracks.empty());
    const ActivityText activity = activity_text(files);
    activity_->setText(activity.text);
    activity_->setToolTip(activity.tooltip);
    if (dialog_->isVisible()) dialog_->refresh();
}

void RecordingMenu::record() {
    if (actions_.recording()) {
        actions_.stop_recording();
        refresh();
        return;
    }
    const QString file = actions_.choose_file(window_, QStringLiteral("Registra in"),
                                              QStringLiteral("Registri NMEA (*.nmea *.log *.txt);;Tutti i file (*)"),
                                              true);
    if (!file.isEmpty()) {
        const std::string why = actions_.start_recording(path_of(file));
        if (!why.empty()) QMessageBox::warning(window_, QString::fromUtf8(title), qt_text(why));
    }
    refresh();
}

void RecordingMenu::replay() {
    const QString file = actions_.choose_file(window_, QStringLiteral("Riproduci"),
                                              QStringLiteral("Registri NMEA (*.nmea *.log *.txt);;Tutti i file (*)"),
                                              false);
    if (file.isEmpty()) return;
    const std::string path = path_of(file);
    const CheckResult checked = examine_with_progress(path, window_, [this] { return actions_.ending && actions_.ending(); });
    if (std::holds_alternative<CheckInterrupted>(checked)) return;
    const auto lines_of = [](const std::vector<std::string>& lines) {
        QString text;
        for (const std::string& line : lines) text += qt_text(line) + QLatin1Char('\n');
        return text;
    };
    if (auto* refused = std::get_if<std::vector<std::string>>(&checked)) {
        QMessageBox::warning(window_, QString::fromUtf8(title), lines_of(*refused) + QStringLiteral("Niente è stato inviato."));
        return;
    }
    const CheckedLog& log = std::get<CheckedLog>(checked);
    const std::vector<std::string> problems = log_problems(path, log.summary, {});
    if (problems.empty()) {
        dialog_->open_on(log);
        return;
    }
    if (!log_problems(path, log.summary, {true, true}).empty()) {
        QMessageBox::warning(window_, QString::fromUtf8(title), lines_of(problems) + QStringLiteral("Niente è stato inviato."));
        return;
    }
    // Damaged lines and jumps of the time alone: the operator may send the log all the same.
    QStringList what;
    if (log.summary.damaged > 0) what << QStringLiteral("le righe danneggiate partono come sono");
    if (log.summary.dropped > 0) what << QStringLiteral("quelle che non si possono inviare restano fuori");
    if (log.summary.jumps > 0) what << QStringLiteral("dopo ogni salto dell'ora il secondo parte subito");
    const auto answer = QMessageBox::question(
        window_, QString::fromUtf8(title),
        lines_of(problems) + QStringLiteral("\nInviare comunque il registro? ") + what.join(QStringLiteral("; ")) +
            QLatin1Char('.'),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer == QMessageBox::Yes) dialog_->open_on(log);
}

CheckResult examine_with_progress(const std::string& path, QWidget* parent, const std::function<bool()>& ended) {
    QProgressDialog progress(QStringLiteral("Lettura di %1...").arg(qt_text(path)), QStringLiteral("Annulla"), 0, 1000,
                             parent);
    progress.setObjectName(QStringLiteral("lettura_registro"));
    progress.setWindowTitle(QStringLiteral("Riproduzione"));
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setMinimumDuration(500);
    progress.setAutoReset(false);
    return examine_log_file(path, [&](double done) {
        // Once shown, the modal window takes the events itself; before, only
        // those that are not the operator's (a termination signal).
        progress.setValue(static_cast<int>(done * 1000.0));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return !progress.wasCanceled() && !ended();
    });
}

void RecordingMenu::export_tracks() {
    const QString file = actions_.choose_file(window_, QStringLiteral("Esporta tracce GPX"),
                                              QStringLiteral("Tracce GPX (*.gpx)"), true);
    if (file.isEmpty()) return;
    const std::string why = actions_.export_tracks(path_of(file));
    if (!why.empty()) {
        QMessageBox::warning(window_, QString::fromUtf8(title), qt_text(why));
    } else {
        QMessageBox::information(window_, QString::fromUtf8(title),
                                 QStringLiteral("Le tracce dell'ultima ora vanno in %1; vadrel vi aggiunge i nuovi punti "
                                                "ogni minuto e alla chiusura.")
                                     .arg(file));
    }
    refresh();
}

}  // namespace vadrel::gui
