#pragma once
// "File" > "Apri scenario...": a scenario file chosen, read and checked off
// the loop (a large file does not hold the window or the ticks), then
// played on the loop the way PUT /api/v1/scenario plays one; a refusal shown
// with its line, key and reason, and nothing changed. One file at a time.
//
//   ScenarioMenu menu(*window.menuBar(), {read, tell, choose}, &window);
//   // read(path) on a worker: what plays it on the loop ("" done, or why not)

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <functional>
#include <string>

class QAction;
class QMenuBar;
class QWidget;

namespace vadrel::gui {

struct ScenarioActions {
    using Play = std::function<std::string()>;
    // Runs on a worker: reads and checks the file, touching nothing else.
    std::function<Play(const std::string& path)> read;
    // A refusal, in Italian, for the operator.
    std::function<void(const std::string& message)> tell;
    // The file the operator picks; "" when cancelled.
    std::function<QString(QWidget* parent)> choose_file;
};

class ScenarioMenu : public QObject {
    Q_OBJECT
public:
    ScenarioMenu(QMenuBar& bar, ScenarioActions actions, QWidget* parent);
    // Waits for a file being read: its play is dropped.
    ~ScenarioMenu() override;

    // Reads `path` off the loop and plays it when read; false (and told)
    // while another is being read.
    bool open_file(const std::string& path);
    bool reading() const { return reading_; }

signals:
    // After each file's play or refusal: "" played, else the refusal.
    void finished(const QString& problem);

private:
    void choose();

    ScenarioActions actions_;
    QWidget* parent_;
    QAction* open_;
    bool reading_ = false;
    QThreadPool reader_;  // last: waited for before the rest goes
};

}  // namespace vadrel::gui
