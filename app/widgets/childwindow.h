#pragma once
// The program's own windows: each opens once (a second command brings the
// open one to the front), first beside the main window and clear of the
// part the user works on, later where the user last left it, in this run
// and the next; always whole on the screen with its title bar.
#include <QRect>
#include <QString>
#include <QWidget>
#include <concepts>

namespace app {

// Where a window of `size` goes beside `owner` (the main window's frame) on
// a screen's free area `screen`: to its right where it fits, else to its
// left, else on the side with more room, its top at the owner's top, kept
// on the screen.
QPoint besideOwner(const QRect& owner, const QSize& size, const QRect& screen);

// Room above a window for the title bar the window system adds.
constexpr int kTitleBarRoomPx = 40;

// A window's frame: where it goes and how large, title bar included.
struct Placement {
    QPoint topLeft;
    QSize size;
    bool operator==(const Placement&) const = default;
};

// Where a window whose frame is `size` goes on a screen's free area
// `screen`: right of `owner` (the main window's frame) where it fits, else
// left of it; else beside `keepClear` (the part of the owner the user works
// on), to its right, left, below or above, made smaller where needed but no
// smaller than `minimum` nor than three fifths of its area; else as
// besideOwner() has it. Never larger than the screen.
Placement placeBeside(const QRect& owner, const QRect& keepClear, QSize size, QSize minimum, const QRect& screen);

// A new window placed where it was last left (as saved in the settings
// file), or by placeBeside(); its place is saved whenever it is hidden.
void placeChildWindow(const QWidget& owner, const QRect& keepClear, QWidget& window, const QString& settingsFile);

// Moves a shown window whose frame runs past its screen's free area back
// onto it, title bar room included.
void keepOnScreen(QWidget& window);

// The window of type W that `owner` has, made by `make` when there is none,
// shown and brought to the front.
template <typename W, std::invocable Make>
W* showChildWindow(QWidget& owner, const QRect& keepClear, const QString& settingsFile, Make&& make)
{
    auto* window = owner.findChild<W*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = make();
        placeChildWindow(owner, keepClear, *window, settingsFile);
    }
    window->show();
    keepOnScreen(*window);
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace app
