#pragma once
// "Flotta": every vehicle of the table at a glance, one row each (number,
// why it is in use as the fleet says it, position, course, speed, unit, the
// time of its last sentence on its track),
// live while transmission runs and in every mode. A cell is edited in place
// and the change goes through the fleet's one change path, as the panel's
// boxes and "Vai a posizione" go: a refusal is said in red under the table,
// in the fleet's words, and the cell shows again what the vehicle has.
//
//   FleetWindow flotta(form);
//   flotta.show();            // the rows follow the fleet's changes by themselves
//   flotta.refresh();         // after a tick: the times of the last sentences

#include <QWidget>
#include <cstddef>

#include "fleet/fleet.h"
#include "panel/panel_form.h"

class QLabel;
class QTableWidget;
class QTableWidgetItem;

namespace vadrel::gui {

class FleetWindow : public QWidget {
    Q_OBJECT
public:
    // The table's columns, in order.
    enum Column : int {
        col_number,
        col_in_use,
        col_latitude,
        col_longitude,
        col_course,
        col_speed,
        col_unit,
        col_last_sentence,
        columns
    };

    explicit FleetWindow(PanelForm& form, QWidget* parent = nullptr);
    ~FleetWindow() override;
    FleetWindow(const FleetWindow&) = delete;
    FleetWindow& operator=(const FleetWindow&) = delete;

    QTableWidget* table() const { return table_; }
    // The last refusal, "" after a change the fleet took.
    QString note() const;
    // After a tick: the times of the last sentences; nothing while hidden.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void draw_row(std::size_t n);
    void draw_all();
    void edited(QTableWidgetItem* item);
    // Applies what was typed in a cell of vehicle n: the fleet's refusal, or
    // ours when the text is not a value at all.
    std::optional<Refusal> apply(std::size_t n, int column, const QString& typed);
    void say(const std::optional<Refusal>& refusal);

    PanelForm& form_;
    QTableWidget* table_;
    QLabel* note_;
    Fleet::WatchId watch_ = 0;
    bool drawing_ = false;
};

}  // namespace vadrel::gui
