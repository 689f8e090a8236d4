#include "placement.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <utility>
#include <algorithm>
#include <array>

namespace vadrel::gui {

namespace {

// The tool's size bounded to a free area, or an empty size when even its
// least does not fit there.
QSize fitted(QSize tool, QSize least, const QRect& area) {
    if (area.width() < least.width() || area.height() < least.height()) return {};
    return tool.boundedTo(area.size());
}

// Puts the tool back where it was put when a window manager moved it
// elsewhere as it mapped it (some centre a window over the one it belongs
// to); gone two seconds after the tool is first shown, so the operator's
// moves stay. The seconds count from the showing, not from the placing: on
// a loaded machine the window manager may map the tool much later.
class KeepPlace : public QObject {
public:
    KeepPlace(QWidget& tool, QPoint where) : QObject(&tool), tool_(tool), where_(where) {
        tool.installEventFilter(this);
        if (tool.isVisible()) last_seconds();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &tool_) return false;
        if (event->type() == QEvent::Show) last_seconds();
        // A move, or the first paint (the decorations known by then).
        const bool check = event->type() == QEvent::Move || event->type() == QEvent::Paint;
        if (check && tool_.frameGeometry().topLeft() != where_) tool_.move(where_);
        return false;
    }

private:
    void last_seconds() {
        if (counting_) return;
        counting_ = true;
        QTimer::singleShot(2000, this, &QObject::deleteLater);
    }
    QWidget& tool_;
    QPoint where_;
    bool counting_ = false;
};

// Gives the keyboard back to the panel when a window of the program that had
// it is hidden: with no window manager nobody else does.
class KeyboardBack : public QObject {
public:
    explicit KeyboardBack(QWidget& panel) : QObject(&panel), panel_(panel) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Hide || !watched->isWidgetType()) return false;
        auto* hidden = static_cast<QWidget*>(watched);
        if (hidden == &panel_ || !hidden->isWindow() || hidden->windowType() == Qt::Popup ||
            hidden->windowType() == Qt::ToolTip)
            return false;
        const bool had_it = QApplication::activeWindow() == nullptr || QApplication::activeWindow() == hidden;
        if (had_it && panel_.isVisible()) {
            QTimer::singleShot(0, &panel_, [this] {
                if (QApplication::activeWindow() == nullptr && panel_.isVisible()) panel_.activateWindow();
            });
        }
        return false;
    }

private:
    QWidget& panel_;
};

// Moves each dialog as it is shown (before its window is mapped) to where
// dialog_place() says, and again when it grows as its texts are set while it
// is still where it was put; tools and dialogs placed by their own code
// (beside the panel) are left alone.
class DialogCentre : public QObject {
public:
    explicit DialogCentre(QWidget& panel) : QObject(&panel), panel_(panel) { qApp->installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        const bool shown = event->type() == QEvent::Show;
        if (!shown && event->type() != QEvent::Resize) return false;
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog == nullptr || !dialog->isWindow() || dialog->property("vadrel_placed").toBool()) return false;
        const QVariant put = dialog->property(put_at);
        if (!shown && (!dialog->isVisible() || put.toPoint() != dialog->pos())) return false;
        const QScreen* screen = panel_.screen();
        if (screen == nullptr || !panel_.isVisible()) return false;
        const QSize decorations = panel_.frameGeometry().size() - panel_.geometry().size();
        const QRect frame = dialog_place(panel_.frameGeometry(), dialog->size() + decorations, screen->availableGeometry());
        dialog->move(frame.topLeft());
        dialog->setProperty(put_at, dialog->pos());
        return false;
    }

private:
    static constexpr const char* put_at = "vadrel_centred_at";
    QWidget& panel_;
};

// Calls its function at the first expose of a window, then goes.
class OnExpose : public QObject {
public:
    OnExpose(QWindow& window, std::function<void()> then) : QObject(&window), then_(std::move(then)) {
        window.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = qobject_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window != nullptr && window->isExposed() && then_) {
            // After the expose is handled: the window's place is known by then.
            QTimer::singleShot(0, parent(), std::exchange(then_, {}));
            deleteLater();
        }
        return false;
    }

private:
    std::function<void()> then_;
};

}  // namespace

void when_on_screen(QWidget& panel, std::function<void()> then) {
    QWindow* window = panel.windowHandle();
    if (window == nullptr || window->isExposed()) {
        then();
        return;
    }
    new OnExpose(*window, std::move(then));
}

void give_keyboard_back(QWidget& panel) { new KeyboardBack(panel); }

void centre_dialogs_on(QWidget& panel) { new DialogCentre(panel); }

QRect dialog_place(const QRect& panel, QSize dialog, const QRect& screen) {
    QRect placed(QPoint(), dialog);
    placed.moveCenter(panel.center());
    if (!screen.contains(placed)) placed.moveCenter(screen.center());
    placed.moveRight(std::min(placed.right(), screen.right()));
    placed.moveBottom(std::min(placed.bottom(), screen.bottom()));
    placed.moveLeft(std::max(placed.left(), screen.left()));
    placed.moveTop(std::max(placed.top(), screen.top()));
    return placed;
}

QRect beside_panel(const QRect& panel, QSize tool, QSize least, const QRect& screen) {
    least = least.boundedTo(tool);
    // The free areas on each side of the panel, in the order tried: right,
    // below, left, above.
    const std::array<QRect, 4> sides{
        QRect(QPoint(panel.right() + 1, screen.top()), screen.bottomRight()),
        QRect(QPoint(screen.left(), panel.bottom() + 1), screen.bottomRight()),
        QRect(screen.topLeft(), QPoint(panel.left() - 1, screen.bottom())),
        QRect(screen.topLeft(), QPoint(screen.right(), panel.top() - 1)),
    };
    int best = -1;
    QSize best_size;
    for (int i = 0; i < static_cast<int>(sides.size()); ++i) {
        const QRect area = sides[static_cast<std::size_t>(i)].intersected(screen);
        const QSize size = fitted(tool, least, area);
        if (size.isEmpty()) continue;
        // Whole is best; otherwise the side that keeps the most of it.
        if (best < 0 || static_cast<long>(size.width()) * size.height() >
                            static_cast<long>(best_size.width()) * best_size.height()) {
            best = i;
            best_size = size;
        }
    }
    if (best < 0) {
        // No side holds it: over the panel's far corner, inside the screen.
        const QSize size = tool.boundedTo(screen.size());
        QRect placed(panel.topRight() - QPoint(size.width() / 2, 0), size);
        placed.moveRight(std::min(placed.right(), screen.right()));
        placed.moveBottom(std::min(placed.bottom(), screen.bottom()));
        placed.moveLeft(std::max(placed.left(), screen.left()));
        placed.moveTop(std::max(placed.top(), screen.top()));
        return placed;
    }
    const QRect area = sides[static_cast<std::size_t>(best)].intersected(screen);
    QRect placed(QPoint(), best_size);
    // Against the panel, level with its top (or its left edge), kept inside.
    switch (best) {
        case 0: placed.moveTopLeft({area.left(), panel.top()}); break;
        case 1: placed.moveTopLeft({panel.left(), area.top()}); break;
        case 2: placed.moveTopRight({area.right(), panel.top()}); break;
        default: placed.moveBottomLeft({panel.left(), area.bottom()}); break;
    }
    placed.moveRight(std::min(placed.right(), area.right()));
    placed.moveBottom(std::min(placed.bottom(), area.bottom()));
    placed.moveLeft(std::max(placed.left(), area.left()));
    placed.moveTop(std::max(placed.top(), area.top()));
    return placed;
}

bool room_beside_centred(QSize panel, QSize tool, const QRect& screen) {
    QRect centred(QPoint(), panel);
    centred.moveCenter(screen.center());
    return !beside_panel(centred, tool, tool, screen).intersects(centred);
}

void make_room_for_tools(QWidget& panel, QSize tool) {
    const QScreen* screen = panel.screen();
    if (screen == nullptr || panel.isVisible()) return;
    const QRect area = screen->availableGeometry();
    panel.ensurePolished();
    // the decorations are not known before a window manager adds them: a title bar's worth
    const QSize frame = panel.size().expandedTo(panel.sizeHint()) + QSize(8, 32);
    if (!room_beside_centred(frame, tool, area)) panel.move(area.topLeft());
}

void place_at(QWidget& window, QPoint where) {
    window.move(where);
    new KeepPlace(window, where);
}

void place_beside(QWidget& tool, const QWidget& panel) {
    if (!tool.property("vadrel_placed").toBool()) {
        tool.setProperty("vadrel_placed", true);
        const QScreen* screen = panel.screen();
        if (screen != nullptr) {
            // The decorations a window manager adds, as it added them to the panel.
            const QSize decorations = panel.frameGeometry().size() - panel.geometry().size();
            // The size it was given, or the one its layout asks for.
            tool.ensurePolished();
            if (tool.layout() != nullptr) tool.layout()->activate();
            const QSize wanted =
                (tool.testAttribute(Qt::WA_Resized) ? tool.size() : tool.sizeHint()).expandedTo(tool.minimumSize());
            // As small as the tool may be: a window manager may have put the
            // panel in the middle of a small screen.
            const QSize least = tool.minimumSize().expandedTo(QSize(160, 120)) + decorations;
            const QRect frame = beside_panel(panel.frameGeometry(), wanted + decorations, least,
                                             screen->availableGeometry());
            QSize inside = frame.size() - decorations;
            // Made narrower, wrapped texts take more lines: as tall as they need.
            if (tool.layout() != nullptr && tool.layout()->hasHeightForWidth())
                inside.setHeight(std::max(inside.height(), tool.layout()->totalHeightForWidth(inside.width())));
            tool.resize(inside);
            place_at(tool, frame.topLeft());
        }
    }
}

void show_beside(QWidget& tool, const QWidget& panel) {
    place_beside(tool, panel);
    tool.show();
    tool.raise();
    tool.activateWindow();
}

}  // namespace vadrel::gui
