#include "app/program.h"

#include "app/controls.h"
#include "app/desktop/enterkey.h"
#include "app/form1.h"
#include "platform/fonts.h"
#include "platform/memory.h"

#include <QApplication>

namespace app {

void setUpApplication()
{
    platform::installFontSubstitutions();
    platform::installJapaneseQtTexts();
    // Messages and the printer dialog in the window's face, not in a Latin
    // default with Japanese glyphs borrowed from yet another face.
    QApplication::setFont(QFont(platform::installedFace(QString::fromUtf8(kWindowFontFamily)), kWindowFontPoints));
    if (auto* application = qobject_cast<QApplication*>(QCoreApplication::instance()))
        desktop::pressFocusedButtonsWithEnter(*application);
}

int runProgram(QApplication& application, const std::function<void(Form1&)>& beforeShow)
{
    QApplication::setApplicationName(QStringLiteral("horutea"));
    // What building and first drawing the window take from the heap, faulted
    // in while the font configuration is read.
    constexpr std::size_t kWindowStartHeapBytes = 2560 * 1024;
    platform::faultInHeapAheadInBackground(kWindowStartHeapBytes);
    setUpApplication();

    desktop::QtMessageBox messages(QStringLiteral("ホルテア"));
    platform::LockFileInstanceDetector instance;
    platform::QtFolders folders;
    print::SystemPrinter printer(folders.documentsFolder(), folders.settingsFile());
    station::Station station(folders, instance, printer);
    station::PrintRun printRun(station);
    desktop::QtPrinterDialog printerDialog;
    Services services{messages, station, printRun, printerDialog, &printer, [] { QCoreApplication::exit(0); }};

    Form1 form(services);
    if (!form.Form_Load())
        return 0;
    if (beforeShow)
        beforeShow(form);
    form.show();
    return application.exec();
}

} // namespace app
