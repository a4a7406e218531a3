// The address book and the history as the user meets them.
//   fill FOLDER N    a database file in FOLDER with N address book entries
//                    and N history rows, each row recorded as a print records it
//   typing FOLDER    search as you type in the address book window: one line
//                    "keystroke <ms>" per key, from the key to the list painted
//   record FOLDER    one print recorded in the history: "record <ms>" per row
//   import FOLDER    the book of FOLDER written as CSV, then read by the
//                    address book window into an empty book: the whole
//                    import, and the longest time the window did not answer
//                    (between two turns of its event loop)
#include "addresses.h"
#include "common.h"

#include "addressbook/csvfile.h"
#include "app/books/addressbookwindow.h"
#include "app/form1.h"
#include "app/program.h"
#include "platform/memory.h"
#include "print/pdfoutput.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <ctime>

namespace {

// A run whose per-user data lives in a folder of the benchmark's choosing.
class BenchFolders final : public platform::Folders {
public:
    QString user, other;
    QString applicationFolder() const override { return other; }
    QString userDataFolder() const override { return user; }
    QString documentsFolder() const override { return other; }
    QString configFolder() const override { return other; }
};

class NoOtherInstance final : public platform::InstanceDetector {
public:
    bool anotherInstanceRunning() override { return false; }
};

class NoPrinterDialog final : public desktop::PrinterDialog {
public:
    bool run(QWidget*, QPrinter&) override { return false; }
};

// Answers every message with its default and prints it.
class PrintedMessages final : public desktop::MessageBox {
public:
    desktop::MsgAnswer show(QWidget*, const desktop::Message& m) override
    {
        std::printf("message %s\n", qPrintable(QString(m.text).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        return m.defaultButton;
    }
};

// Processor time of this thread: on a machine shared with other work the
// wall clock says more about the neighbours than about the program.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

const QString kDatabaseName = QStringLiteral("horutea.sqlite");

int fill(const QString& folder, int count)
{
    QDir().mkpath(folder);
    storage::Database db(QDir(folder).filePath(kDatabaseName));
    addressbook::AddressBook book(db);
    history::History history(db);
    QRandomGenerator random(20261207);
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch() - qint64(count) * 60000;
    QList<addressbook::ImportEntry> entries;
    for (int i = 0; i < count; ++i)
        entries.append({i % 50 ? addressbook::Kind::Recipient : addressbook::Kind::Sender, bench::randomAddress(random),
                        QDateTime::fromMSecsSinceEpoch(startMs + qint64(i) * 60000)});
    waybill::Address rare = bench::randomAddress(random);
    rare.name = QStringLiteral("勅使河原　紗希");
    rare.telephone = QStringLiteral("03-1234-5678");
    entries[count / 3] = {addressbook::Kind::Recipient, rare, QDateTime::fromMSecsSinceEpoch(startMs)};
    if (!book.importEntries(entries)) {
        std::printf("import failed\n");
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        history::PrintRecord record;
        record.printedAt = QDateTime::fromMSecsSinceEpoch(startMs + qint64(i) * 60000);
        record.destination = QStringLiteral("Office-Printer");
        record.orderNumber = QStringLiteral("A-%1").arg(i);
        record.waybill.recipient = entries[i].address;
        record.waybill.sender = entries[(i / 50) * 50].address;
        record.waybill.goods[0].description = QStringLiteral("衣類");
        if (!history.record(record)) {
            std::printf("record failed\n");
            return 1;
        }
    }
    std::printf("filled %d\n", count);
    return 0;
}

// A window of the program over the given folder, as a user's run has it.
struct Run {
    QTemporaryDir scratch;
    BenchFolders folders;
    PrintedMessages messages;
    NoOtherInstance instance;
    NoPrinterDialog dialog;
    std::unique_ptr<print::PdfFileDestination> pdf;
    std::unique_ptr<station::Station> station;
    std::unique_ptr<station::PrintRun> printRun;
    std::unique_ptr<app::Services> services;
    std::unique_ptr<app::Form1> form;

    explicit Run(const QString& folder)
    {
        folders.user = folder;
        folders.other = scratch.path();
        pdf = std::make_unique<print::PdfFileDestination>(scratch.filePath(QStringLiteral("out.pdf")));
        station = std::make_unique<station::Station>(folders, instance, *pdf);
        printRun = std::make_unique<station::PrintRun>(*station);
        services =
            std::make_unique<app::Services>(app::Services{messages, *station, *printRun, dialog, nullptr, [] {}});
        form = std::make_unique<app::Form1>(*services);
        form->Form_Load();
        form->show();
    }
};

int typing(const QString& folder)
{
    Run run(folder);
    app::AddressBookWindow* window = app::showAddressBook(*run.form, *run.services);
    QApplication::processEvents();
    QLineEdit& search = window->searchField();
    for (const QString& typed :
         {QStringLiteral("山田　太郎"), QStringLiteral("勅使河原　紗希"), QStringLiteral("ゆうこ"),
          QStringLiteral("0312345678"), QStringLiteral("東京都港区")}) {
        search.clear();
        QApplication::processEvents();
        for (const QChar c : typed) {
            QElapsedTimer t;
            t.start();
            const double cpuStart = threadCpuMs();
            QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
            QApplication::sendEvent(&search, &key);
            window->repaint(); // the list as the user sees it
            const double cpuMs = threadCpuMs() - cpuStart;
            std::printf("keystroke %.3f %d %s\n", double(t.nsecsElapsed()) / 1e6, int(window->shownEntries().size()),
                        qPrintable(search.text()));
            std::printf("keystrokecpu %.3f\n", cpuMs);
        }
    }
    return 0;
}

int importing(const QString& folder)
{
    QTemporaryDir empty;
    const QString csvPath = empty.filePath(QStringLiteral("book.csv"));
    {
        storage::Database db(QDir(folder).filePath(kDatabaseName));
        addressbook::AddressBook book(db);
        QFile csv(csvPath);
        if (!csv.open(QIODevice::WriteOnly) || !addressbook::writeCsv(book, csv, csv::Encoding::Utf8).ok)
            return 1;
    }
    QDir().mkpath(empty.filePath(QStringLiteral("user")));
    Run run(empty.filePath(QStringLiteral("user")));
    app::AddressBookWindow* window = app::showAddressBook(*run.form, *run.services);
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    qint64 lastNs = 0, longestNs = 0;
    QTimer turn;
    turn.setInterval(0);
    QObject::connect(&turn, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longestNs = std::max(longestNs, now - lastNs);
        lastNs = now;
    });
    turn.start();
    QElapsedTimer whole;
    whole.start();
    const bool imported = window->importFrom(csvPath);
    const double wholeMs = double(whole.nsecsElapsed()) / 1e6;
    longestNs = std::max(longestNs, clock.nsecsElapsed() - lastNs);
    std::printf("import %.1f\nstall %.1f\n", wholeMs, double(longestNs) / 1e6);
    return imported ? 0 : 1;
}

int record(const QString& folder)
{
    storage::Database db(QDir(folder).filePath(kDatabaseName));
    history::History history(db);
    db.ensureOpen();
    QRandomGenerator random(7);
    for (int i = 0; i < 200; ++i) {
        history::PrintRecord r;
        r.destination = QStringLiteral("Office-Printer");
        r.waybill.recipient = bench::randomAddress(random);
        r.waybill.sender = bench::randomAddress(random);
        QElapsedTimer t;
        t.start();
        if (!history.record(r))
            return 1;
        std::printf("record %.3f\n", double(t.nsecsElapsed()) / 1e6);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    platform::keepFreedBlocksForReuse(); // as the program's main does
    const QString mode = argc > 1 ? QString::fromLatin1(argv[1]) : QString();
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    if (mode == QLatin1String("fill") && argc > 3) {
        QCoreApplication app(argc, argv);
        return fill(folder, QString::fromLatin1(argv[3]).toInt());
    }
    if (mode == QLatin1String("record") && !folder.isEmpty()) {
        QCoreApplication app(argc, argv);
        return record(folder);
    }
    if (mode == QLatin1String("import") && !folder.isEmpty()) {
        QApplication app(argc, argv);
        app::setUpApplication();
        return importing(folder);
    }
    if (mode == QLatin1String("typing") && !folder.isEmpty()) {
        QApplication app(argc, argv);
        app::setUpApplication();
        return typing(folder);
    }
    std::fprintf(stderr, "usage: bench_books fill FOLDER N | typing FOLDER | record FOLDER | import FOLDER\n");
    return 2;
}
