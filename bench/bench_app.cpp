// The program measured. "startup": the real start (the same wiring as the
// program's main) up to the window's first paint. "print N": N waybill jobs
// into a PDF and into the recording printer, then N mark test prints, each
// timed from the click to the end of the document. "memory": one waybill
// printed in a started program, then its peak memory.
#include "common.h"

#include "app/form1.h"
#include "app/program.h"
#include "platform/fonts.h"
#include "../tests/support.h"
#include "../tests/waybillcheck.h"

#include <QApplication>
#include <QElapsedTimer>

namespace {

template <typename F>
long long timed(F&& f)
{
    QElapsedTimer t;
    t.start();
    f();
    return t.nsecsElapsed();
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("startup");
    if (mode == QLatin1String("startup")) {
        std::unique_ptr<bench::FirstPaint> marker;
        return app::runProgram(app, [&](app::Form1& form) { marker = std::make_unique<bench::FirstPaint>(&form); });
    }
    if (mode == QLatin1String("memory")) {
        // Without a printer the first print tells where its PDF went, in a
        // modal box; the user's click on OK is played by this timer.
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [] {
            if (QWidget* box = QApplication::activeModalWidget())
                box->close();
        });
        answer.start(20);
        std::unique_ptr<bench::FirstPaint> marker;
        return app::runProgram(app, [&](app::Form1& form) {
            marker = std::make_unique<bench::FirstPaint>(&form, [&form] {
                form.InsatsuBtn_Click();
                std::printf("memory %ld\n", bench::peakRssKiB());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        });
    }

    // print N: a filled window, as the tests fill it.
    const int n = argc > 2 ? atoi(argv[2]) : 10;
    testing::initTestEnvironment();
    QTemporaryDir dir;
    auto pdfTarget = platform::QtPrintTarget::toPdfFile(dir.filePath(QStringLiteral("waybill.pdf")));
    testing::TestWindow pdfWindow(true, pdfTarget.get());
    testing::fillWindow(pdfWindow);
    testing::TestWindow recWindow(true);
    testing::fillWindow(recWindow);
    for (int i = 0; i < n; ++i)
        std::printf("pdf %lld\n", timed([&] { pdfWindow.form->InsatsuBtn_Click(); }));
    for (int i = 0; i < n; ++i) {
        recWindow.recording.printer.ops.clear();
        std::printf("recording %lld\n", timed([&] { recWindow.form->InsatsuBtn_Click(); }));
    }
    for (int i = 0; i < n; ++i)
        std::printf("marks %lld\n", timed([&] { pdfWindow.form->IchiBtn_Click(); }));
    return pdfWindow.messages.shown.empty() ? 0 : 1;
}
