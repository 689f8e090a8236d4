#include "dialog_fit.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLayout>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

namespace vadrel::gui {

namespace {

// A title bar above and a task bar below, as desktops draw them.
constexpr int decorations = 90;
constexpr QSize small_screen{1024, 768};

// Qt opens a window at most two thirds of the screen tall: a dialog that
// scrolls opens at its full size instead, within the screen.
class OpenWhole : public QObject {
public:
    explicit OpenWhole(QDialog& dialog) : QObject(&dialog), dialog_(dialog) { dialog.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &dialog_ && event->type() == QEvent::Show && !dialog_.testAttribute(Qt::WA_Resized))
            dialog_.resize(dialog_.sizeHint().boundedTo(largest_dialog(dialog_)));
        return false;
    }

private:
    QDialog& dialog_;
};

}  // namespace

QSize largest_dialog(const QWidget& dialog) {
    QSize most = small_screen;
    if (const QScreen* screen = dialog.screen()) most = most.boundedTo(screen->availableGeometry().size());
    return most - QSize(decorations / 3, decorations);
}

FittingScroll::FittingScroll(QWidget* inside, QSize most, QWidget* parent) : QScrollArea(parent), most_(most) {
    setWidgetResizable(true);
    if (inside != nullptr) setWidget(inside);
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
}

bool FittingScroll::eventFilter(QObject* watched, QEvent* event) {
    // A status shown or hidden by its dialog shows or hides its scroll area.
    if (watched == widget() && event->type() == QEvent::ShowToParent) setVisible(true);
    if (watched == widget() && event->type() == QEvent::HideToParent) setVisible(false);
    return QScrollArea::eventFilter(watched, event);
}

QSize FittingScroll::sizeHint() const {
    const QWidget* inside = widget();
    if (inside == nullptr) return QScrollArea::sizeHint();
    QSize wanted = inside->sizeHint();
    // A wrapped text asks for its height at the width it will have.
    if (inside->hasHeightForWidth()) wanted.setHeight(inside->heightForWidth(std::max(wanted.width(), width())));
    const int frame = 2 * frameWidth();
    wanted += QSize(frame, frame);
    if (wanted.height() > most_.height()) wanted.rwidth() += verticalScrollBar()->sizeHint().width();
    return wanted.boundedTo(most_);
}

QSize FittingScroll::minimumSizeHint() const {
    const QWidget* inside = widget();
    if (inside == nullptr) return QScrollArea::minimumSizeHint();
    // As wide as the widget needs, as short as one line.
    const int line = fontMetrics().lineSpacing();
    return QSize(std::min(inside->minimumSizeHint().width() + verticalScrollBar()->sizeHint().width(),
                          most_.width()),
                 std::min(line + 2 * frameWidth(), most_.height()));
}

namespace {

// A scroll area as tall as `lines` lines of the label, for the label.
FittingScroll* status_scroll(const QLabel& label, int lines) {
    const int height = lines * label.fontMetrics().lineSpacing() + 2 * label.margin();
    auto* scroll = new FittingScroll(nullptr, QSize(QWIDGETSIZE_MAX, height));
    scroll->setObjectName(label.objectName() + QStringLiteral("_scorre"));
    scroll->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    scroll->setFixedHeight(height);
    return scroll;
}

void hold(FittingScroll& scroll, QLabel* label) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    scroll.setWidget(label);
}

}  // namespace

FittingScroll* scrolling_status(QLabel* label, int lines) {
    FittingScroll* scroll = status_scroll(*label, lines);
    hold(*scroll, label);
    return scroll;
}

void fit_texts(QWidget& dialog, int lines) {
    for (QLabel* label : dialog.findChildren<QLabel*>()) {
        if (!label->wordWrap() || !label->text().isEmpty()) continue;
        QWidget* holder = label->parentWidget();
        if (holder == nullptr || holder->layout() == nullptr) continue;
        // Already in a scroll area's viewport: left as it is.
        if (qobject_cast<QScrollArea*>(holder->parentWidget()) != nullptr) continue;
        // Its place in the holder's layout first: once in the scroll area it
        // is no longer the layout's.
        const bool hidden = label->isHidden();
        FittingScroll* scroll = status_scroll(*label, lines);
        QLayoutItem* was = holder->layout()->replaceWidget(label, scroll);
        if (was == nullptr) {
            delete scroll;
            continue;
        }
        delete was;
        hold(*scroll, label);
        label->setHidden(hidden);
        scroll->setHidden(hidden);
    }
}

void fit_to_screen(QDialog& dialog, QLayout* body, QWidget* foot) {
    auto* inside = new QWidget;
    inside->setLayout(body);
    // The scroll area's own margins: the dialog's layout keeps them.
    body->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new FittingScroll(inside, largest_dialog(dialog) - QSize(0, 60), &dialog);
    scroll->setObjectName(QStringLiteral("corpo"));
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(scroll, 1);
    if (foot != nullptr) layout->addWidget(foot);
    new OpenWhole(dialog);
}

}  // namespace vadrel::gui
