// The layout window: "layout N" opens it from a filled window, chooses the
// recipient's name and drags it N mouse moves, each timed from the move to
// the end of the repaint; then the same over a 200 dpi scan of the form.
#include "../tests/expect.h"
#include "../tests/support.h"
#include "app/layout/layoutwindow.h"
#include "platform/memory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QPainter>
#include <cstdio>

namespace {

QString makeScan(const QTemporaryDir& dir)
{
    const double dpi = 200;
    QImage scan(qRound(210 / 25.4 * dpi), qRound(297 / 25.4 * dpi), QImage::Format_RGB32);
    scan.setDotsPerMeterX(qRound(dpi / 0.0254));
    scan.setDotsPerMeterY(qRound(dpi / 0.0254));
    scan.fill(QColor(250, 248, 240));
    QPainter p(&scan);
    p.setPen(QPen(QColor(220, 90, 50), 2));
    for (int i = 0; i < 40; ++i)
        p.drawRect(40 + i * 35, 60 + i * 20, 300, 80);
    p.end();
    const QString path = dir.filePath(QStringLiteral("scan.png"));
    scan.save(path);
    return path;
}

} // namespace

int main(int argc, char** argv)
{
    platform::keepFreedBlocksForReuse(); // as the program's main does
    QApplication app(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 20;
    testing::initTestEnvironment();
    testing::TestWindow window(true);
    window.form->fillFrom(expect::filledWaybill());
    window.form->show();
    if (!QTest::qWaitForWindowExposed(window.form.get()))
        return 1;
    app::LayoutWindow* layout = app::showLayouts(*window.form, *window.services);
    if (!QTest::qWaitForWindowExposed(layout))
        return 1;
    app::LayoutCanvas& canvas = layout->canvas();
    int name = 0;
    while (layout->document().layout().texts[size_t(name)].value != print::LayoutValue::Name)
        ++name;

    QElapsedTimer t;
    auto drag = [&](const char* key) {
        const QPointF from = canvas.itemRect({app::LayoutItem::Kind::Text, name}).center();
        QMouseEvent press(QEvent::MouseButtonPress, from, canvas.mapToGlobal(from), Qt::LeftButton, Qt::LeftButton, {});
        QApplication::sendEvent(&canvas, &press);
        canvas.repaint();
        for (int i = 1; i <= n; ++i) {
            // Back and forth by 3 pixels a move, as a hand drags.
            const QPointF at = from + QPointF(3.0 * (i % 10), 2.0 * (i % 10));
            t.restart();
            QMouseEvent move(QEvent::MouseMove, at, canvas.mapToGlobal(at), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&canvas, &move);
            canvas.repaint();
            std::printf("%s %lld\n", key, t.nsecsElapsed());
        }
        QMouseEvent release(QEvent::MouseButtonRelease, from, canvas.mapToGlobal(from), Qt::LeftButton, Qt::NoButton,
                            {});
        QApplication::sendEvent(&canvas, &release);
    };
    drag("drag");
    QTemporaryDir dir;
    if (!layout->openScan(makeScan(dir)))
        return 1;
    canvas.repaint(); // the scan is scaled once per zoom
    drag("dragscan");
    return 0;
}
