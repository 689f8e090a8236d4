#pragma once
// Dialogs that fit a small screen (1024 x 768) whatever their texts say: a
// status that wraps and scrolls past a few lines, and a body that scrolls
// when the screen is too short for it, the buttons always in sight.

#include <QScrollArea>

class QDialog;
class QLabel;
class QLayout;

namespace vadrel::gui {

// The largest a dialog may be: a 1024 x 768 screen less a title bar and a
// task bar, or the screen it is on when that is smaller.
QSize largest_dialog(const QWidget& dialog);

// A scroll area that asks for what its widget asks for, up to `most`.
class FittingScroll : public QScrollArea {
    Q_OBJECT
public:
    FittingScroll(QWidget* inside, QSize most, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QSize most_;
};

// The label wraps its text and shows at most `lines` lines of it, the rest
// behind a scroll bar. The label keeps its name and its text.
FittingScroll* scrolling_status(QLabel* label, int lines = 3);

// Every status and refusal of the dialog (a label that wraps and is still
// empty when the dialog is made) shows at most `lines` lines, the rest behind
// a scroll bar. Called at the end of the dialog's constructor.
void fit_texts(QWidget& dialog, int lines = 4);

// Lays out the dialog as `body` (scrolling when the screen is too short)
// above `foot` (the buttons, always in sight).
void fit_to_screen(QDialog& dialog, QLayout* body, QWidget* foot);

}  // namespace vadrel::gui
