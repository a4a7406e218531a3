#include "app/form1.h"
#include "platform/fonts.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("horutea"));
    platform::installFontSubstitutions();

    platform::QtMessageBox messages(QStringLiteral("ホルテア"));
    platform::LockFileInstanceDetector instance;
    platform::QtFolders folders;
    platform::QtPrintTarget printTarget(folders.documentsFolder());
    platform::QtPrinterDialog printerDialog;
    app::Services services{messages, instance, folders, printTarget, printerDialog, [] { QCoreApplication::exit(0); }};

    app::Form1 form(services);
    if (!form.Form_Load())
        return 0;
    form.show();
    return QApplication::exec();
}
