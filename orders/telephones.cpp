#include "orders/telephones.h"

#include "entry/textrules.h"
#include "orders/values.h"
#include "platform/datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QLibrary>
#include <algorithm>

namespace orders {

namespace {

using ReadTelephone = void (*)(const QString&, int*, QString*);

// Installed, in the program's module folder; run from the build, where the
// build put it.
ReadTelephone loadModule()
{
    static const ReadTelephone read = [] {
        const QString programFolder = QCoreApplication::applicationDirPath();
        QStringList places{platform::installedModuleFolder(programFolder), programFolder};
#ifdef HORUTEA_MODULE_DIR
        places << QStringLiteral(HORUTEA_MODULE_DIR);
#endif
        for (const QString& place : places) {
            QLibrary module(QDir(place).filePath(QStringLiteral("horutea_telephone")));
            if (auto found = reinterpret_cast<ReadTelephone>(module.resolve("horutea_read_telephone")))
                return found;
        }
        return ReadTelephone(nullptr);
    }();
    return read;
}

// A list's number is read to be written and again to be checked, in its
// written form: each reading costs some tens of microseconds.
constexpr qsizetype kReadingsKept = 8192;

} // namespace

TelephoneReading readTelephone(const QString& text)
{
    thread_local QHash<QString, TelephoneReading> readings;
    if (const auto it = readings.constFind(text); it != readings.constEnd())
        return *it;
    const ReadTelephone read = loadModule();
    if (!read)
        return {};
    int verdict = 0;
    QString national;
    read(entry::foldedNumberText(text), &verdict, &national);
    TelephoneReading reading;
    switch (verdict) {
    case 2:
        reading = {TelephoneVerdict::Japanese, national};
        break;
    case 3:
        reading.verdict = TelephoneVerdict::Foreign;
        break;
    default:
        reading.verdict = TelephoneVerdict::Invalid;
        break;
    }
    if (readings.size() >= kReadingsKept)
        readings.clear();
    readings.insert(text, reading);
    if (reading.verdict == TelephoneVerdict::Japanese)
        readings.insert(reading.national, reading);
    return reading;
}

QString telephoneAsWritten(const QString& text)
{
    const QString given = cleanCell(text);
    if (given.isEmpty())
        return given;
    const QString domestic = domesticTelephone(given);
    // A number without its leading 0 is not guessed at: the check offers it.
    const QString folded = entry::foldedNumberText(domestic);
    const auto firstDigit =
        std::find_if(folded.cbegin(), folded.cend(), [](QChar c) { return c != u' ' && c != u'('; });
    if (firstDigit == folded.cend() || *firstDigit != u'0')
        return given;
    const TelephoneReading reading = readTelephone(domestic);
    if (reading.verdict == TelephoneVerdict::Unknown)
        return domestic;
    return reading.verdict == TelephoneVerdict::Japanese ? reading.national : given;
}

} // namespace orders
