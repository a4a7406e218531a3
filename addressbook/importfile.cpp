#include "addressbook/importfile.h"

#include "addressbook/csvfile.h"
#include "platform/readfile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

namespace addressbook {

namespace {

// Rows read between two calls of the progress.
constexpr int kRowsPerReadStep = 2000;
// A piece of the import is sized to take about this long.
constexpr double kPieceMs = 40;
constexpr int kFewestEntriesPerPiece = 50;
constexpr int kMostEntriesPerPiece = 5000;
// Reading the file is this share of the progress.
constexpr double kReadingShare = 0.2;

} // namespace

ImportReport importCsvFile(AddressBook& book, const QString& path, const ImportProgress& progress)
{
    using Outcome = ImportReport::Outcome;
    ImportReport report;
    const QString shownPath = QDir::toNativeSeparators(path);
    auto goOn = [&](double done, const QString& doing) { return !progress || progress(done, doing); };

    // A pipe or a device would block the reading for ever.
    QFile file(path);
    QString systemError;
    if (const auto kind = platform::openRegularFile(file, &systemError); kind != platform::FileKind::Regular) {
        report.outcome = Outcome::CannotRead;
        report.message = platform::notReadableText(kind, path, QStringLiteral("住所録のファイル"), systemError);
        return report;
    }
    CsvReading reading(file);
    if (!reading.start()) {
        report.outcome = Outcome::CannotRead;
        report.message = QStringLiteral("「%1」を読み込めません。\n\n%2").arg(shownPath, reading.errorText());
        return report;
    }
    const QString readingText = QStringLiteral("「%1」を読み込んでいます…").arg(QFileInfo(path).fileName());
    while (!reading.readMore(kRowsPerReadStep)) {
        if (!goOn(reading.progress() * kReadingShare, readingText)) {
            report.outcome = Outcome::Cancelled;
            report.message = QStringLiteral("読み込みを中止しました。住所録は変わっていません。");
            return report;
        }
    }
    report.skippedRows = reading.skippedRows();
    if (!reading.errorText().isEmpty()) {
        report.outcome = Outcome::CannotRead;
        report.message = QStringLiteral("「%1」を最後まで読めなかったため、何も登録していません。\n\n%2")
                             .arg(shownPath, reading.errorText());
        return report;
    }
    const QList<ImportEntry>& entries = reading.entries();
    report.entriesInFile = entries.size();
    if (entries.isEmpty()) {
        report.outcome = Outcome::NothingToImport;
        report.message = QStringLiteral("「%1」には登録できる行がありませんでした。").arg(shownPath);
        return report;
    }

    // A piece that fails stores nothing of itself; the pieces before stay,
    // and reading the same file again stores the rest, as identical
    // addresses are merged.
    int pieceEntries = kFewestEntriesPerPiece;
    for (qsizetype done = 0; done < entries.size();) {
        const QString storing =
            QStringLiteral("住所録に登録しています…（%1件のうち%2件）").arg(entries.size()).arg(done);
        if (!goOn(kReadingShare + (1 - kReadingShare) * double(done) / double(entries.size()), storing)) {
            report.outcome = Outcome::Cancelled;
            break;
        }
        const qsizetype count = std::min<qsizetype>(pieceEntries, entries.size() - done);
        QElapsedTimer pieceTime;
        pieceTime.start();
        const auto piece = book.importEntries(entries.mid(done, count));
        if (!piece) {
            report.outcome = Outcome::StorageFailed;
            break;
        }
        report.added += piece->added;
        report.merged += piece->merged;
        done += count;
        // The next piece as large as fits the time of one.
        const double ms = std::max<double>(1.0, double(pieceTime.nsecsElapsed()) / 1e6);
        pieceEntries =
            std::clamp<int>(int(double(count) * kPieceMs / ms), kFewestEntriesPerPiece, kMostEntriesPerPiece);
    }

    const QString again = QStringLiteral(
        "同じファイルをもう一度読み込むと、残りを登録できます（登録済みの住所が二重になることはありません）。");
    const QString unchanged = QStringLiteral("住所録は変わっていません。");
    switch (report.outcome) {
    case Outcome::StorageFailed:
        report.message = QStringLiteral("「%1」の%2件のうち、%3件を登録したところで登録できなくなりました。%4")
                             .arg(shownPath)
                             .arg(entries.size())
                             .arg(report.stored())
                             .arg(report.stored() > 0 ? again : unchanged);
        break;
    case Outcome::Cancelled:
        report.message = QStringLiteral("%1件のうち%2件を登録したところで中止しました。%3")
                             .arg(entries.size())
                             .arg(report.stored())
                             .arg(report.stored() > 0 ? again : unchanged);
        break;
    default:
        report.message =
            QStringLiteral("%1件を読み込みました。新しく登録した住所が%2件、すでに登録されていた住所が%3件です。")
                .arg(report.stored())
                .arg(report.added)
                .arg(report.merged);
        break;
    }
    return report;
}

} // namespace addressbook
