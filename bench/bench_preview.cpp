// The preview window: "preview N" opens it from a filled window (construct
// to the end of its first paint) and then steps the horizontal offset N
// times, each timed from the new text to the end of the repaint; then the
// same steps over a 200 dpi scan of an A4 form.
#include "../tests/expect.h"
#include "../tests/support.h"
#include "app/preview/previewwindow.h"
#include "platform/memory.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QScrollArea>
#include <cstdio>

namespace {

// Ends the wait at the end of the widget's first paint.
class PaintDone : public QObject {
public:
    explicit PaintDone(QWidget* w) { w->installEventFilter(this); }
    bool painted = false;

protected:
    bool eventFilter(QObject* o, QEvent* e) override
    {
        if (e->type() == QEvent::Paint && !painted) {
            static_cast<QWidget*>(o)->removeEventFilter(this);
            QApplication::sendEvent(o, e);
            painted = true;
            return true;
        }
        return false;
    }
};

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

    QElapsedTimer t;
    t.start();
    app::PreviewWindow* preview = app::showPreview(*window.form, *window.services);
    PaintDone done(&preview->view());
    while (!done.painted && t.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    std::printf("open %lld\n", t.nsecsElapsed());

    auto* offset = window.c<QLineEdit>("Sayuu_Xtxt");
    auto steps = [&](const char* key) {
        for (int i = 1; i <= n; ++i) {
            t.restart();
            offset->setText(QString::number(i % 2 ? 10 : 0));
            preview->view().repaint();
            std::printf("%s %lld\n", key, t.nsecsElapsed());
        }
    };
    steps("step");
    QTemporaryDir dir;
    if (preview->openScan(makeScan(dir)))
        return 1;
    preview->view().repaint(); // the scan is scaled once per zoom
    steps("stepscan");
    return 0;
}
