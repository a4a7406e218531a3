#pragma once
// The program's own windows: each opens once (a second command brings the
// open one to the front), first beside the main window, later where the
// user last left it, in this run and the next.
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

// A new window placed where it was last left (as saved in the settings
// file), or beside `owner`; its place is saved whenever it is hidden.
void placeChildWindow(const QWidget& owner, QWidget& window, const QString& settingsFile);

// The window of type W that `owner` has, made by `make` when there is none,
// shown and brought to the front.
template <typename W, std::invocable Make>
W* showChildWindow(QWidget& owner, const QString& settingsFile, Make&& make)
{
    auto* window = owner.findChild<W*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window) {
        window = make();
        placeChildWindow(owner, *window, settingsFile);
    }
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace app
