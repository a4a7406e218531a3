#include "cli/shipped.h"

#include "cli/exit.h"
#include "station/shipped.h"

namespace cli {

namespace {

class NoInstanceCheck final : public platform::InstanceDetector {
public:
    bool anotherInstanceRunning() override { return false; }
};

// Writing confirmations prints nothing.
class NoPrinting final : public print::Destination {
public:
    print::Delivery print(int, const print::PageSource&, const print::Progress&) override { return {}; }
};

} // namespace

int runShipped(const ShippedRequest& request, const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    const auto done = [&](int code) {
        out.flush();
        err.flush();
        return code;
    };
    const auto format = shipping::formatFromToken(request.format);
    if (!format) {
        err << format.error() << '\n';
        return done(exitCannotRun);
    }
    const auto dateOf = [&](const QString& text, const char* option, QDate fallback) -> std::optional<QDate> {
        if (text.isEmpty())
            return fallback;
        const QDate date = QDate::fromString(text.trimmed(), QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            err << QStringLiteral("%1 の日付「%2」が読めません。2026-09-08 のように年-月-日で書いてください。\n")
                       .arg(QLatin1String(option), text);
            return std::nullopt;
        }
        return date;
    };
    const auto to = dateOf(request.toText, "--to", QDate::currentDate());
    if (!to)
        return done(exitCannotRun);
    const auto from = dateOf(request.fromText, "--from", *to);
    if (!from)
        return done(exitCannotRun);
    if (*from > *to) {
        err << QStringLiteral("--from（%1）が --to（%2）より後です。\n")
                   .arg(from->toString(Qt::ISODate), to->toString(Qt::ISODate));
        return done(exitCannotRun);
    }

    NoInstanceCheck noInstanceCheck;
    NoPrinting noPrinting;
    station::Station station(folders, noInstanceCheck, noPrinting);
    if (!request.databaseLocation.isEmpty())
        station.setDatabaseLocation(request.databaseLocation);
    const station::ShippedReport report = station::writeShipped(station, *format, request.outPath, *from, *to);
    (report.ok ? out : err) << report.message << '\n';
    // Pages kept for another server are missing from the file: said every time.
    if (const QString elsewhere = station.pagesWaitingElsewhere(); !elsewhere.isEmpty())
        err << elsewhere << '\n';
    return done(report.ok ? exitOk : exitCannotRun);
}

} // namespace cli
