#pragma once
// A one-line label that may be narrower than its text: it shows what fits
// with "…" at the end and the whole text as its tip, so that a line shared
// with others (the window's status bar) gives way instead of pushing them
// past the window's edge.

#include <QLabel>

namespace vadrel::gui {

class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vadrel::gui
