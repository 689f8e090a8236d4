#pragma once
// The program's clock on the window's status line: the simulated UTC, the
// rate (x1, x10, max), a button that pauses and resumes it, and how far a
// scenario has come (evento 3/7). It only shows and asks; the program's
// clock and its scenario are the truth.
//
//   ClockStatus status([&] { return line_now(); }, [&](bool pause) { ... });
//   bar.addPermanentWidget(&status);

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>

class QLabel;
class QToolButton;

namespace vadrel::gui {

struct ClockLine {
    std::string utc;          // "2016-12-31T23:59:60.250Z", as the clock writes it
    double rate = 1.0;        // simulated seconds a real second
    bool max = false;         // as fast as the outputs take
    bool paused = false;
    // A scenario's events done and in all; nothing when none is under way.
    std::optional<std::pair<std::size_t, std::size_t>> events;
};

// "2016-12-31 23:59:60 UTC  x10  evento 3/7"
QString clock_line_text(const ClockLine& line);

class ClockStatus : public QWidget {
    Q_OBJECT
public:
    using Read = std::function<ClockLine()>;
    using Pause = std::function<void(bool pause)>;
    ClockStatus(Read read, Pause pause, QWidget* parent = nullptr);

    // Shows the clock now (the timer calls it four times a second).
    void refresh();

private:
    Read read_;
    Pause pause_;
    QLabel* text_;
    QToolButton* button_;
    bool paused_ = false;
    int widest_ = 0;  // pixels the line may take
    QTimer timer_;
};

}  // namespace vadrel::gui
