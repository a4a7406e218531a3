#include "app/widgets/childwindow.h"

#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <algorithm>
#include <optional>
#include <vector>

namespace app {

namespace {

// A little room between the windows, as a window manager leaves.
constexpr int kGapPx = 8;

QString placeKey(const QWidget& window) { return QStringLiteral("windows/%1").arg(window.objectName()); }

// Saves the window's place and size each time it is hidden; closing a
// child window hides it.
class PlaceKeeper final : public QObject {
public:
    PlaceKeeper(QWidget& window, QString settingsFile)
        : QObject(&window), m_window(window), m_settingsFile(std::move(settingsFile))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == &m_window && event->type() == QEvent::Hide && !m_window.isMinimized()) {
            QSettings settings(m_settingsFile, QSettings::IniFormat);
            settings.setValue(placeKey(m_window), m_window.saveGeometry());
        }
        return false;
    }

private:
    QWidget& m_window;
    QString m_settingsFile;
};

} // namespace

QPoint besideOwner(const QRect& owner, const QSize& size, const QRect& screen)
{
    int x;
    if (owner.right() + kGapPx + size.width() <= screen.right())
        x = owner.right() + 1 + kGapPx;
    else if (owner.left() - kGapPx - size.width() >= screen.left())
        x = owner.left() - kGapPx - size.width();
    else if (screen.right() - owner.right() >= owner.left() - screen.left())
        x = screen.right() + 1 - size.width();
    else
        x = screen.left();
    x = std::clamp(x, screen.left(), std::max(screen.left(), screen.right() + 1 - size.width()));
    const int y = std::clamp(owner.top(), screen.top(), std::max(screen.top(), screen.bottom() + 1 - size.height()));
    return {x, y};
}

Placement placeBeside(const QRect& owner, const QRect& keepClear, QSize size, QSize minimum, const QRect& screen)
{
    size = size.boundedTo(screen.size());
    minimum = minimum.boundedTo(size);
    const int gap = kGapPx;
    // The free stretches of the screen, each with the corner a window there
    // keeps to: beside the owner first, then beside the part in use.
    enum class Side { Right, Left, Below, Above };
    struct Room {
        QRect area;
        Side side;
    };
    std::vector<Room> rooms{{QRect(QPoint(owner.right() + 1 + gap, screen.top()), screen.bottomRight()), Side::Right},
                            {QRect(screen.topLeft(), QPoint(owner.left() - gap - 1, screen.bottom())), Side::Left}};
    if (keepClear.isValid()) {
        rooms.push_back({QRect(QPoint(keepClear.right() + 1 + gap, screen.top()), screen.bottomRight()), Side::Right});
        rooms.push_back({QRect(screen.topLeft(), QPoint(keepClear.left() - gap - 1, screen.bottom())), Side::Left});
        rooms.push_back(
            {QRect(QPoint(screen.left(), keepClear.bottom() + 1 + gap), screen.bottomRight()), Side::Below});
        rooms.push_back({QRect(screen.topLeft(), QPoint(screen.right(), keepClear.top() - gap - 1)), Side::Above});
    }
    const auto place = [&](const Room& room, QSize s) {
        const QRect a = room.area;
        const auto within = [](int wanted, int low, int high) { return std::clamp(wanted, low, std::max(low, high)); };
        const int x = room.side == Side::Right  ? a.left()
                      : room.side == Side::Left ? a.right() + 1 - s.width()
                                                : within(owner.left(), a.left(), a.right() + 1 - s.width());
        const int y = room.side == Side::Below   ? a.top()
                      : room.side == Side::Above ? a.bottom() + 1 - s.height()
                                                 : within(owner.top(), a.top(), a.bottom() + 1 - s.height());
        return Placement{{x, y}, s};
    };
    for (const Room& room : rooms)
        if (room.area.width() >= size.width() && room.area.height() >= size.height())
            return place(room, size);
    // Smaller, in the room that leaves the most of it.
    const qint64 wantedArea = qint64(size.width()) * size.height();
    std::optional<Placement> best;
    qint64 bestArea = wantedArea * 3 / 5;
    for (const Room& room : rooms) {
        const QSize smaller = size.boundedTo(room.area.size());
        const qint64 area = qint64(smaller.width()) * smaller.height();
        if (smaller.width() >= minimum.width() && smaller.height() >= minimum.height() && area >= bestArea) {
            best = place(room, smaller);
            bestArea = area;
        }
    }
    if (best)
        return *best;
    return {besideOwner(owner, size, screen), size};
}

void keepOnScreen(QWidget& window)
{
    const QScreen* screen = window.screen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    const QRect frame = window.frameGeometry();
    const int titleRoom = std::max(0, kTitleBarRoomPx - (window.geometry().top() - frame.top()));
    const int x = std::clamp(frame.left(), free.left(), std::max(free.left(), free.right() + 1 - frame.width()));
    const int y =
        std::clamp(frame.top(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height() - titleRoom));
    if (x != frame.left() || y != frame.top())
        window.move(window.pos() + QPoint(x - frame.left(), y - frame.top()));
}

void placeChildWindow(const QWidget& owner, const QRect& keepClear, QWidget& window, const QString& settingsFile)
{
    const QScreen* screen = owner.screen();
    const QRect free = screen ? screen->availableGeometry() : QRect(QPoint(), window.size());
    // Not framed yet, a window's frame is its own size: room for the title
    // bar the window system puts on top.
    const auto titleBar = [&window] {
        return QSize(0, std::max(window.frameGeometry().height() - window.height(), kTitleBarRoomPx));
    };
    const QByteArray saved = QSettings(settingsFile, QSettings::IniFormat).value(placeKey(window)).toByteArray();
    if (saved.isEmpty() || !window.restoreGeometry(saved)) {
        const QSize minimum = window.minimumSizeHint().expandedTo(window.minimumSize()) + titleBar();
        const Placement placed =
            placeBeside(owner.frameGeometry(), keepClear, window.size() + titleBar(), minimum, free);
        // The frame's sides too, where the window system has them already.
        const int sides = std::max(0, window.frameGeometry().width() - window.width());
        window.resize(placed.size - titleBar() - QSize(sides, 0));
        window.move(placed.topLeft);
    } else if (!free.contains(QRect(window.pos(), window.size() + titleBar()))) {
        // Left on a larger screen than this one.
        window.resize(window.size().boundedTo(free.size() - titleBar()));
        const QSize frame = window.size() + titleBar();
        window.move(std::clamp(window.x(), free.left(), std::max(free.left(), free.right() + 1 - frame.width())),
                    std::clamp(window.y(), free.top(), std::max(free.top(), free.bottom() + 1 - frame.height())));
    }
    new PlaceKeeper(window, settingsFile);
}

} // namespace app
