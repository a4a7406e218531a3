#include "app/widgets/childwindow.h"

#include <QEvent>
#include <QScreen>
#include <QSettings>
#include <algorithm>

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

void placeChildWindow(const QWidget& owner, QWidget& window, const QString& settingsFile)
{
    const QByteArray saved = QSettings(settingsFile, QSettings::IniFormat).value(placeKey(window)).toByteArray();
    if (saved.isEmpty() || !window.restoreGeometry(saved)) {
        const QScreen* screen = owner.screen();
        const QRect free = screen ? screen->availableGeometry() : QRect(QPoint(), window.size());
        window.move(besideOwner(owner.frameGeometry(), window.frameGeometry().size(), free));
    }
    new PlaceKeeper(window, settingsFile);
}

} // namespace app
