#pragma once
// The menu "Registrazione": "Registra..." (checked while recording; choosing
// it again stops), "Riproduci..." (a log chosen and read first; its problems
// told with their line numbers, and what the operator may allow asked; then a small dialog with the speed, the loop,
// a progress bar and a stop button), "Esporta tracce GPX...". It only asks
// and shows; the program records, replays and writes.

#include <QDialog>
#include <QObject>
#include <QString>
#include <functional>
#include <string>

#include "log/replay.h"

class QAction;
class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QMenuBar;
class QProgressBar;
class QPushButton;

namespace vadrel::gui {

struct RecordingActions {
    // Each returns "" when done, else why not, in Italian.
    std::function<std::string(const std::string&)> start_recording;
    std::function<void()> stop_recording;
    std::function<bool()> recording;
    std::function<std::string(const CheckedLog&, double, bool)> start_replay;
    std::function<void()> stop_replay;
    std::function<bool()> replaying;
    std::function<double()> replay_progress;  // 0 to 1
    std::function<std::string(const std::string&)> export_tracks;
    // The file the operator picks: save (true) or open; "" when cancelled.
    std::function<QString(QWidget*, const QString& caption, const QString& filter, bool save)> choose_file;
    // Whether the program is ending (a termination signal): a log being read stops.
    std::function<bool()> ending;
    // Ends the running GPX export; the file keeps what it has.
    std::function<void()> stop_tracks;
    // The files being written or read now, "" for none.
    struct Files {
        std::string recording;
        std::string replay;
        std::string tracks;
    };
    std::function<Files()> files;
};

// What runs, in a few words for beside the transmission status ("Registra,
// GPX"), and the files in full for its tooltip; both empty when nothing runs.
struct ActivityText {
    QString text;
    QString tooltip;
};
ActivityText activity_text(const RecordingActions::Files& files);

// Reads a log to replay whole, with a progress window over parent once the
// reading takes more than half a second ("Annulla" stops it); ended() is
// asked too between blocks (a termination signal, the window closed).
CheckResult examine_with_progress(const std::string& path, QWidget* parent, const std::function<bool()>& ended);

// The replay's own window: speed, loop, progress, Avvia and Ferma.
class ReplayDialog : public QDialog {
    Q_OBJECT
public:
    ReplayDialog(RecordingActions& actions, QWidget* parent);
    // Shows the dialog for the log as checked.
    void open_on(const CheckedLog& log);
    // After each second sent and when the replay ends.
    void refresh();

private:
    void start();

    RecordingActions& actions_;
    CheckedLog log_;
    QLabel* file_;
    QDoubleSpinBox* speed_;
    QCheckBox* full_speed_;
    QCheckBox* loop_;
    QProgressBar* progress_;
    QPushButton* start_;
    QPushButton* stop_;
};

class RecordingMenu : public QObject {
    Q_OBJECT
public:
    RecordingMenu(QMenuBar& bar, RecordingActions actions, QWidget* window);

    // After each tick or second replayed: the entries' state, the replay's
    // progress and the activity label.
    void refresh();
    ReplayDialog& replay_dialog() { return *dialog_; }
    // Says what runs (recording, replay, GPX export); the window places it.
    QLabel& activity_label() { return *activity_; }

private:
    void record();
    void replay();
    void export_tracks();

    RecordingActions actions_;
    QWidget* window_;
    QAction* record_;
    QAction* replay_;
    QAction* stop_tracks_;
    QLabel* activity_;
    ReplayDialog* dialog_;
};

}  // namespace vadrel::gui
