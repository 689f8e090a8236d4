#pragma once
// The panel's output monitor: shows the lines the ticks printed, one line
// every 195 twips (13 pixels) from the top, in a fixed-pitch 8-point font.

#include <QFrame>
#include <QStringList>

namespace vadrel::gui {

class Monitor : public QFrame {
    Q_OBJECT
public:
    explicit Monitor(QWidget* parent = nullptr);

    void set_lines(const QStringList& lines);
    const QStringList& lines() const { return lines_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QStringList lines_;
};

}  // namespace vadrel::gui
