// Print jobs of the program, each timed from the click to the end of the
// document: "N" runs N waybill jobs into a PDF and into the recording
// destination, then N mark test prints, from a window filled with the
// tests' filled waybill; "N pdf" the PDF jobs alone, for counting them. Each job records the waybill in the history,
// whose file an earlier run of the benchmark left in $HOME, as a shop's program finds the history of earlier days.
#include "../tests/expect.h"
#include "../tests/support.h"
#include "app/form1.h"

#include "platform/memory.h"
#include "print/systemprinter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <cstdio>

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
    platform::keepFreedBlocksForReuse(); // as the program's main does
    QApplication app(argc, argv);
    const int n = argc > 1 ? atoi(argv[1]) : 10;
    const bool pdfOnly = argc > 2 && qstrcmp(argv[2], "pdf") == 0;
    testing::initTestEnvironment();
    QTemporaryDir dir;
    print::SystemPrinter pdfPrinter(dir.path());
    pdfPrinter.settings().setOutputFormat(QPrinter::PdfFormat);
    pdfPrinter.settings().setOutputFileName(dir.filePath(QStringLiteral("waybill.pdf")));
    auto keepHistory = [](testing::TestWindow& w, const QString& name) {
        w.folders.user = QDir::home().filePath(QStringLiteral("bench-print/") + name);
        w.rebuild();
        w.loaded = w.form->Form_Load();
        w.form->fillFrom(expect::filledWaybill());
    };
    testing::TestWindow pdfWindow(false, &pdfPrinter);
    keepHistory(pdfWindow, QStringLiteral("pdf"));
    // As in a shop: the window is up a while, the user typing, before the first print.
    pdfWindow.form->show();
    QTest::qWait(300);
    testing::TestWindow recWindow(false);
    keepHistory(recWindow, QStringLiteral("recording"));
    for (int i = 0; i < n; ++i)
        std::printf("pdf %lld\n", timed([&] { pdfWindow.form->InsatsuBtn_Click(); }));
    if (pdfOnly)
        return pdfWindow.messages.shown.empty() ? 0 : 1;
    for (int i = 0; i < n; ++i) {
        recWindow.recording.documents.clear();
        std::printf("recording %lld\n", timed([&] { recWindow.form->InsatsuBtn_Click(); }));
    }
    for (int i = 0; i < n; ++i)
        std::printf("marks %lld\n", timed([&] { pdfWindow.form->IchiBtn_Click(); }));
    return pdfWindow.messages.shown.empty() ? 0 : 1;
}
