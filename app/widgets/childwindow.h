#pragma once
// The program's own windows open once: a second command brings the open one
// to the front.
#include <QWidget>
#include <concepts>

namespace app {

// The window of type W that `owner` has, made by `make` when there is none,
// shown and brought to the front.
template <typename W, std::invocable Make>
W* showChildWindow(QWidget& owner, Make&& make)
{
    auto* window = owner.findChild<W*>(QString(), Qt::FindDirectChildrenOnly);
    if (!window)
        window = make();
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace app
