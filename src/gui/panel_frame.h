#pragma once
// A frame of the panel: its caption sits on its top border, whose line runs
// at half the caption's height, so the controls placed from the frame's
// outer corner (the "Modo" buttons 12 pixels down) lie inside the border.

#include <QGroupBox>

namespace vadrel::gui {

class PanelFrame : public QGroupBox {
public:
    PanelFrame(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace vadrel::gui
