#include "app/program.h"
#include "cli/commandline.h"
#include "platform/files.h"
#include "platform/fonts.h"
#include "platform/memory.h"

#include <QApplication>
#include <QGuiApplication>

int main(int argc, char** argv)
{
    platform::keepFreedBlocksForReuse();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (cli::wantsCommandLine(arguments)) {
        // Without the window a shell with no display can print too.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication application(argc, argv);
        QGuiApplication::setApplicationName(QStringLiteral("horutea"));
        platform::installFontSubstitutions();
        QTextStream out(stdout), err(stderr);
        const platform::QtFolders folders;
        return cli::run(arguments, folders, out, err);
    }
    QApplication application(argc, argv);
    return app::runProgram(application);
}
