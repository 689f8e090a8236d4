#pragma once
// "Uscite > Flotta per server...": the fleet for tracking servers from the
// window. A fleet file (a path as the command line takes it, or chosen),
// its server's protocol and address and the seconds between reports;
// "Avvia" reads and checks the file off the loop (a large file does not
// hold the window), then puts it in on the loop the way PUT /api/v1/flotta
// does: it replaces the fleet reporting to that server, or adds one. A
// refusal is shown with its file, line, field and reason, and nothing
// changes. Once a second it shows what GET /api/v1/flotta says (devices,
// reports sent and skipped, each server's connections and state), whoever
// started the fleets; "Ferma" stops the one chosen (or named in the fields). It keeps no fleet of its
// own: what it shows is asked each time.
//
//   ServerFleetDialog dialog({read, overview, stop, {}}, interval, &window);
//   dialog.open_beside(window);

#include <QDialog>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <functional>
#include <string>

#include "control/control_target.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace vadrel::gui {

struct ServerFleetActions {
    // What puts a fleet read in, on the loop: "" when it took, else why not.
    using Install = std::function<std::string()>;
    // Runs on a worker: reads and checks the file for the server
    // "PROTOCOLLO:INDIRIZZO", touching nothing else.
    std::function<Install(const std::string& path, const std::string& destination, int interval)> read;
    std::function<TrackerOverview()> overview;
    // The fleet reporting to the server stopped; false when none did.
    std::function<bool(const std::string& destination)> stop;
    // The file the operator picks; "" when cancelled.
    std::function<QString(QWidget* parent)> choose_file;
};

class ServerFleetDialog : public QDialog {
    Q_OBJECT
public:
    // `interval`: the seconds between reports it offers first (--flotta-intervallo).
    ServerFleetDialog(ServerFleetActions actions, int interval, QWidget* parent = nullptr);
    // Waits for a file being read: its fleet is dropped.
    ~ServerFleetDialog() override;

    // Shown beside the panel, its fields from the first fleet running when empty.
    void open_beside(const QWidget& panel);
    // Starts the fleet the fields say; false (and told) while a file is being read.
    bool start_fleet();
    // Stops the fleet of the server chosen in the table, else of the one the
    // fields name, else the only one; false when none is.
    bool stop_fleet();
    bool reading() const { return reading_; }
    // The figures asked again.
    void refresh();

signals:
    // After each file's start or refusal: "" started, else the refusal.
    void finished(const QString& problem);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    std::string destination() const;
    void tell(const QString& text);
    void show_protocol_hint();

    ServerFleetActions actions_;
    QLineEdit* file_;
    QComboBox* protocol_;
    QLineEdit* address_;
    QSpinBox* interval_;
    QPushButton* start_;
    QPushButton* stop_;
    QLabel* totals_;
    QTableWidget* servers_;
    QLabel* problem_;
    QTimer every_second_;
    bool reading_ = false;
    QThreadPool reader_;  // last: waited for before the rest goes
};

}  // namespace vadrel::gui
