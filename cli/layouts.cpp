#include "cli/layouts.h"

#include "cli/exit.h"
#include "print/layoutfile.h"

#include <QDir>

namespace cli {

int runLayoutExport(const QString& name, const QString& path, const platform::Folders& folders, QTextStream& out,
                    QTextStream& err)
{
    const station::LayoutStore store(folders);
    const Result<void> written = store.exportTo(name, path);
    if (!written) {
        err << written.error() << '\n';
        if (!store.contains(name))
            err << QStringLiteral("あるレイアウト: %1\n").arg(store.names().join(QStringLiteral("、")));
        err.flush();
        return exitCannotRun;
    }
    out << QStringLiteral("レイアウト「%1」を %2 に書き出しました。\n").arg(name, QDir::toNativeSeparators(path));
    out.flush();
    return exitOk;
}

bool namesLayoutFile(const QString& nameOrFile)
{
    return nameOrFile.endsWith(QLatin1String(".json"), Qt::CaseInsensitive) || nameOrFile.contains(QLatin1Char('/')) ||
           nameOrFile.contains(QDir::separator());
}

Result<print::Layout> layoutNamed(const QString& nameOrFile, const station::LayoutStore& store)
{
    if (namesLayoutFile(nameOrFile))
        return print::readLayoutFile(nameOrFile);
    if (!store.contains(nameOrFile))
        return fail(QStringLiteral("レイアウト「%1」がありません（あるレイアウト: %2）。ファイルなら、名前を .json で"
                                   "終わるパスにしてください。")
                        .arg(nameOrFile, store.names().join(QStringLiteral("、"))));
    return store.load(nameOrFile);
}

} // namespace cli
