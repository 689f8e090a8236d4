#pragma once
// Where a tool window (the map, "Flotta", "Cielo") opens: beside the panel,
// never over it, inside the screen's free area; made smaller when the side
// with the most room is still too small for it. Without a window manager
// nobody else moves a window, so the window is put there by us.

#include <QPoint>
#include <functional>
#include <QRect>

class QWidget;

namespace vadrel::gui {

// The tool's frame (its window and the decorations around it) beside the
// panel's frame, inside `screen` (the screen's available area). A tool no
// smaller than `least` is shrunk to fit the side with the most room; the
// panel is left uncovered whenever the screen holds both.
QRect beside_panel(const QRect& panel, QSize tool, QSize least, const QRect& screen);

// Puts the window's frame there, and back there when a window manager puts it
// elsewhere as it first shows it.
void place_at(QWidget& window, QPoint where);

// When a window of the program that had the keyboard is hidden (a dialog
// closed), the keyboard goes back to the panel: with no window manager
// nobody else gives it.
void give_keyboard_back(QWidget& panel);

// Where a dialog's frame goes: centred on the panel's frame; where that
// crosses the screen's edge (a dialog larger than a panel in the screen's
// corner, as it stands with no window manager), centred on the screen; in
// any case inside the screen as far as it fits.
QRect dialog_place(const QRect& panel, QSize dialog, const QRect& screen);

// Every dialog of the program, as it is shown, goes where dialog_place
// says, never into the screen's corner over the panel's menus: with no
// window manager nobody else places it.
void centre_dialogs_on(QWidget& panel);

// Calls `then` once the panel's window is on the screen: where a window
// manager has put it, its decorations known; at once when it is already.
void when_on_screen(QWidget& panel, std::function<void()> then);

// Whether a tool of that frame has room beside a panel a window manager
// centres on the screen (its free area), without covering it.
bool room_beside_centred(QSize panel, QSize tool, const QRect& screen);

// Before the panel is first shown: where a window manager centring it would
// leave no room beside it for a tool of `tool` (a small screen), the panel
// starts in the top left corner of the screen's free area instead (a
// position the program gives, which window managers keep), the room for
// the tools on its right and below it.
void make_room_for_tools(QWidget& panel, QSize tool);

// Puts the tool beside the panel, the first time only, without showing it.
void place_beside(QWidget& tool, const QWidget& panel);

// Shows the tool beside the panel the first time it is shown; later it
// opens where the operator left it.
void show_beside(QWidget& tool, const QWidget& panel);

}  // namespace vadrel::gui
