#include "cli/lookup.h"

#include "postal/directory.h"

#include <QStringList>

namespace cli {

int runLookup(const QString& code, const QString& dataFilePath, QTextStream& out, QTextStream& err)
{
    postal::Directory directory(dataFilePath);
    const postal::LookupResult result = directory.lookup(code);
    int exitCode = lookupFound;
    switch (result.status) {
    case postal::LookupStatus::Found:
        for (const postal::Match& match : result.matches) {
            QStringList columns{match.prefecture, match.city, match.town};
            if (match.isLargeOffice())
                columns << match.street << match.officeName;
            out << columns.join(QLatin1Char('\t')) << '\n';
        }
        break;
    case postal::LookupStatus::NoSuchCode:
    case postal::LookupStatus::Malformed:
        err << result.message << '\n';
        exitCode = lookupNotFoundOrMalformed;
        break;
    case postal::LookupStatus::DataUnavailable:
        err << result.message << '\n';
        exitCode = lookupDataUnavailable;
        break;
    }
    out.flush();
    err.flush();
    return exitCode;
}

} // namespace cli
