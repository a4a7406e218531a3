#include "app/program.h"

#include "app/form1.h"
#include "platform/fonts.h"

#include <QApplication>

namespace app {

int runProgram(QApplication& application, const std::function<void(Form1&)>& beforeShow)
{
    QApplication::setApplicationName(QStringLiteral("horutea"));
    platform::installFontSubstitutions();
    platform::installJapaneseQtTexts();

    platform::QtMessageBox messages(QStringLiteral("ホルテア"));
    platform::LockFileInstanceDetector instance;
    platform::QtFolders folders;
    platform::QtPrintTarget printTarget(folders.documentsFolder());
    platform::QtPrinterDialog printerDialog;
    Services services{messages, instance, folders, printTarget, printerDialog, [] { QCoreApplication::exit(0); }};

    Form1 form(services);
    if (!form.Form_Load())
        return 0;
    if (beforeShow)
        beforeShow(form);
    form.show();
    return application.exec();
}

} // namespace app
