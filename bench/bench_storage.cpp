// Timings of the database: search as you type over 100,000 address book
// entries, recording one print in the history, and the first use of a file
// that holds 100,000 entries and 100,000 history rows. Prints one line per
// figure, medians in milliseconds. Arguments: the number of entries, and a
// server's URL (postgresql://…) to measure instead of a file; on a server
// 5,000 history rows are recorded (one round trip each, so more would only
// take longer, not tell more), in an emptied database.
#include "addresses.h"

#include "addressbook/addressbook.h"
#include "history/history.h"
#include "storage/database.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <ctime>

using addressbook::AddressBook;
using addressbook::Kind;
using bench::randomAddress;

namespace {

double medianOf(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

double msSince(const QElapsedTimer& timer) { return double(timer.nsecsElapsed()) / 1e6; }

// Processor time of this thread: on a machine shared with other work the
// wall clock says more about the neighbours than about the search.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

struct Timing {
    double wallMs;
    double cpuMs;
};

// Medians over `runs` of one search.
Timing timeSearch(AddressBook& book, const QString& typed, int runs, int* found)
{
    QList<double> wall, cpu;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        const double cpuStart = threadCpuMs();
        *found = int(book.search(Kind::Recipient, typed).size());
        cpu.append(threadCpuMs() - cpuStart);
        wall.append(msSince(t));
    }
    return {medianOf(wall), medianOf(cpu)};
}

// Each growing prefix of `whole` as typed, one line each; the median of the
// per-keystroke medians is returned.
double typeOut(AddressBook& book, const QString& label, const QString& whole, int runs)
{
    QList<double> perKeystroke, cpuPerKeystroke;
    for (qsizetype n = 1; n <= whole.size(); ++n) {
        int found = 0;
        const Timing timing = timeSearch(book, whole.left(n), runs, &found);
        perKeystroke.append(timing.wallMs);
        cpuPerKeystroke.append(timing.cpuMs);
        std::printf("  %-8s %-14s %7.3f ms (processor %7.3f ms)  %d found\n", qPrintable(label),
                    qPrintable(whole.left(n)), timing.wallMs, timing.cpuMs, found);
    }
    const double median = medianOf(perKeystroke);
    std::printf(
        "search as you type, %s: median per keystroke %.3f ms (processor %.3f), slowest %.3f ms (processor %.3f)\n",
        qPrintable(label), median, medianOf(cpuPerKeystroke),
        *std::max_element(perKeystroke.begin(), perKeystroke.end()),
        *std::max_element(cpuPerKeystroke.begin(), cpuPerKeystroke.end()));
    return median;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int entries = argc > 1 ? QString::fromLatin1(argv[1]).toInt() : 100000;
    const int runs = 21;
    QTemporaryDir dir;
    const QString path = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.filePath(QStringLiteral("horutea.sqlite"));
    const bool server = storage::isServerUrl(path);
    const int historyRows = server ? std::min(entries, 5000) : entries;
    if (server) {
        storage::Database db(path);
        db.write([](storage::Statements& sql) {
            return sql.exec(QStringLiteral(
                       "DROP TABLE IF EXISTS address_entry, print_history, spoiled_form, goods_name CASCADE")) &&
                   sql.exec(QStringLiteral("DELETE FROM horutea_schema_version"));
        });
    }
    QRandomGenerator random(20261207);

    // The address book: random entries, and the ones typed out below, all
    // recipients so every search covers them all.
    QList<addressbook::ImportEntry> imported;
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch() - qint64(entries) * 60000;
    for (int i = 0; i < entries; ++i)
        imported.append(
            {Kind::Recipient, randomAddress(random), QDateTime::fromMSecsSinceEpoch(startMs + qint64(i) * 60000)});
    waybill::Address rare = randomAddress(random);
    rare.name = QStringLiteral("勅使河原　紗希");
    rare.telephone = QStringLiteral("03-1234-5678");
    imported[entries / 3].address = rare; // used long ago
    {
        storage::Database db(path);
        AddressBook book(db);
        QElapsedTimer t;
        t.start();
        const double cpuStart = threadCpuMs();
        const auto result = book.importEntries(imported);
        const double importCpuMs = threadCpuMs() - cpuStart;
        if (!result) {
            std::printf("import failed: %s\n", qPrintable(db.lastProblem().value_or(storage::Problem{}).message));
            return 1;
        }
        std::printf("import of %d entries in one transaction: %.0f ms (processor %.0f ms)\n", entries, msSince(t),
                    importCpuMs);

        typeOut(book, QStringLiteral("common"), QStringLiteral("山田　太郎"), runs);
        typeOut(book, QStringLiteral("rare"), QStringLiteral("勅使河原　紗希"), runs);
        typeOut(book, QStringLiteral("kana"), QStringLiteral("ゆうこ"), runs);
        typeOut(book, QStringLiteral("phone"), QStringLiteral("0312345678"), runs);
        typeOut(book, QStringLiteral("address"), QStringLiteral("東京都港区"), runs);

        // Saving as a print does: one new entry, its own transaction, into the full book.
        QList<double> saveMs, saveCpuMs;
        for (int i = 0; i < 200; ++i) {
            const waybill::Address address = randomAddress(random);
            QElapsedTimer t;
            t.start();
            const double cpuStart = threadCpuMs();
            if (!book.save(Kind::Recipient, address)) {
                std::printf("save failed: %s\n", qPrintable(db.lastProblem().value_or(storage::Problem{}).message));
                return 1;
            }
            saveCpuMs.append(threadCpuMs() - cpuStart);
            saveMs.append(msSince(t));
        }
        std::printf("save one new address: median %.3f ms (processor %.3f) over 200\n", medianOf(saveMs),
                    medianOf(saveCpuMs));
    }

    // The history: rows recorded one by one, as prints are; the first and
    // the last thousand timed.
    {
        storage::Database db(path);
        history::History history(db);
        QList<double> first, last, firstCpu, lastCpu;
        QElapsedTimer all;
        all.start();
        for (int i = 0; i < historyRows; ++i) {
            history::PrintRecord record;
            record.printedAt = QDateTime::fromMSecsSinceEpoch(startMs + qint64(i) * 60000);
            record.destination = QStringLiteral("Office-Printer");
            record.offsetXTenthMm = -12.5;
            record.offsetYTenthMm = 4;
            record.orderNumber = QStringLiteral("A-%1").arg(i);
            record.waybill.recipient = imported[i].address;
            record.waybill.sender = imported[(i * 7) % entries].address;
            record.waybill.goods[0].description = QStringLiteral("衣類");
            QElapsedTimer t;
            t.start();
            const double cpuStart = threadCpuMs();
            if (!history.record(record)) {
                std::printf("record failed: %s\n", qPrintable(db.lastProblem().value_or(storage::Problem{}).message));
                return 1;
            }
            const double cpuMs = threadCpuMs() - cpuStart;
            const double ms = msSince(t);
            if (i < 1000) {
                first.append(ms);
                firstCpu.append(cpuMs);
            } else if (i >= historyRows - 1000) {
                last.append(ms);
                lastCpu.append(cpuMs);
            }
        }
        std::printf(
            "record one print: median %.3f ms (processor %.3f) over the first 1000 rows, %.3f ms (processor %.3f) "
            "over the last 1000 of %d; slowest of those %.3f ms; all in %.1f s\n",
            medianOf(first), medianOf(firstCpu), medianOf(last), medianOf(lastCpu), historyRows,
            std::max(*std::max_element(first.begin(), first.end()), *std::max_element(last.begin(), last.end())),
            msSince(all) / 1000);
        for (const QString& name : {QStringLiteral("佐藤"), QStringLiteral("勅使河原")}) {
            QList<double> times, cpu;
            int found = 0;
            for (int i = 0; i < runs; ++i) {
                QElapsedTimer t;
                t.start();
                const double cpuStart = threadCpuMs();
                found = int(history.search({.name = name}).size());
                cpu.append(threadCpuMs() - cpuStart);
                times.append(msSince(t));
            }
            std::printf("history search by name %s over %d rows: median %.3f ms (processor %.3f ms), %d shown\n",
                        qPrintable(name), historyRows, medianOf(times), medianOf(cpu), found);
        }
    }

    // First use of the full file, in a new connection as after a start
    // (the operating system's file cache is warm).
    QList<double> openMs, searchMs, listMs;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        storage::Database db(path);
        AddressBook book(db);
        history::History history(db);
        db.ensureOpen();
        openMs.append(msSince(t));
        t.restart();
        book.search(Kind::Recipient, QStringLiteral("山田"));
        searchMs.append(msSince(t));
        t.restart();
        history.list(50);
        listMs.append(msSince(t));
    }
    std::printf("first use of a file with %d entries and %d history rows: open %.3f ms, first search %.3f ms, "
                "first 50 history rows %.3f ms (medians)\n",
                entries, historyRows, medianOf(openMs), medianOf(searchMs), medianOf(listMs));
    if (!server)
        std::printf("file size %.1f MB\n", double(QFileInfo(path).size()) / 1e6);
    return 0;
}
