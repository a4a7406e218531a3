// The program measured, as its own main starts it. "startup": up to the
// window's first paint. "memory": one waybill printed in a started program,
// then its peak memory. Built without the test library, so the figures are
// the program's own.
#include "common.h"

#include "app/form1.h"
#include "app/program.h"
#include "platform/memory.h"

#include <QApplication>

int main(int argc, char** argv)
{
    platform::keepFreedBlocksForReuse();
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QStringLiteral("startup");
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
                // A waybill the check before printing lets through, as typed in full.
                waybill::Waybill typed;
                typed.recipient = {QStringLiteral("1000001"),
                                   QStringLiteral("東京都千代田区千代田1-1"),
                                   {},
                                   QStringLiteral("山田太郎"),
                                   {},
                                   false,
                                   QStringLiteral("03-1234-5678")};
                form.fillFrom(typed);
                form.InsatsuBtn_Click();
                std::printf("memory %ld\n", bench::peakRssKiB());
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        });
    }
    std::unique_ptr<bench::FirstPaint> marker;
    return app::runProgram(app, [&](app::Form1& form) { marker = std::make_unique<bench::FirstPaint>(&form); });
}
