// Runs the benchmark programs many times in one go and prints medians with
// their ratio to the floor measured in the same run.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <map>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

namespace {

QString g_dir;
QProcessEnvironment g_env;

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Runs a program; gives its lines and the milliseconds until the first
// line starting with `marker` arrived (or the end). A program still running
// after `timeoutMs` is killed.
std::pair<QStringList, double> run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                                   const QByteArray& marker = {}, int timeoutMs = 60000)
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QElapsedTimer t;
    t.start();
    p.start(QDir(g_dir).filePath(program), args);
    double at = -1;
    QByteArray out;
    while (p.state() != QProcess::NotRunning || p.bytesAvailable()) {
        p.waitForReadyRead(100);
        out += p.readAllStandardOutput();
        if (at < 0 && !marker.isEmpty() && out.contains(marker))
            at = t.nsecsElapsed() / 1e6;
        if (t.elapsed() > timeoutMs) {
            p.kill();
            break;
        }
        if (p.state() == QProcess::NotRunning && !p.bytesAvailable())
            break;
    }
    p.waitForFinished(10000);
    out += p.readAllStandardOutput();
    return {QString::fromUtf8(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts), at < 0 ? t.nsecsElapsed() / 1e6 : at};
}

std::vector<double> values(const QStringList& lines, const QString& key, double scale)
{
    std::vector<double> v;
    for (const QString& line : lines)
        if (line.startsWith(key + QLatin1Char(' ')))
            v.push_back(line.section(QLatin1Char(' '), 1, 1).toDouble() * scale);
    return v;
}

struct Row {
    QString what, unit;
    double program, floor; // floor 0: absolute target
    QString target;
};

// Instructions a whole process runs, in millions, counted by callgrind: the
// same on any machine and under any load, where milliseconds are not. 0
// without valgrind. `program` is in the benchmarks' folder unless absolute.
double instructions(const QString& program, const QStringList& args, const QProcessEnvironment& env)
{
    const QString valgrind = QStandardPaths::findExecutable(QStringLiteral("valgrind"));
    if (valgrind.isEmpty())
        return 0;
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(valgrind, QStringList{QStringLiteral("--tool=callgrind"), QStringLiteral("--callgrind-out-file=/dev/null"),
                                  QDir(g_dir).filePath(program)} +
                          args);
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        return 0;
    }
    // "==123== Collected : 100029295"
    static const QRegularExpression collected(QStringLiteral("Collected : (\\d+)"));
    const QRegularExpressionMatch m = collected.match(QString::fromUtf8(p.readAllStandardError()));
    return m.hasMatch() ? m.captured(1).toDouble() / 1e6 : 0;
}

// From its start to its first paint (the mode ends the process there).
double startupInstructions(const QString& program, const QString& mode, const QProcessEnvironment& env)
{
    return instructions(program, {mode}, env);
}

// The spread of a ratio over the runs, each run's program against the floor
// measured beside it: " (runs 1.12–1.25 ×)".
QString ratioSpread(const std::vector<double>& program, const std::vector<double>& floor)
{
    std::vector<double> ratios;
    for (size_t i = 0; i < program.size() && i < floor.size(); ++i)
        if (floor[i] > 0)
            ratios.push_back(program[i] / floor[i]);
    if (ratios.empty())
        return {};
    const auto [low, high] = std::minmax_element(ratios.begin(), ratios.end());
    return QStringLiteral(" (runs %1–%2 ×)").arg(*low, 0, 'f', 2).arg(*high, 0, 'f', 2);
}

// One whole process, measured from outside: wall time and peak memory.
struct Process {
    double ms = 0;
    double peakMiB = 0;
    int exit = -1;
};

Process runWhole(const QString& path, const QStringList& args, const QProcessEnvironment& env)
{
    std::vector<QByteArray> argBytes{QFile::encodeName(path)}, envBytes;
    for (const QString& a : args)
        argBytes.push_back(a.toLocal8Bit());
    for (const QString& e : env.toStringList())
        envBytes.push_back(e.toLocal8Bit());
    std::vector<char*> argv, envp;
    for (QByteArray& a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    for (QByteArray& e : envBytes)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Process p;
    if (posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data()) != 0) {
        posix_spawn_file_actions_destroy(&quiet);
        return p;
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    p.ms = t.nsecsElapsed() / 1e6;
    posix_spawn_file_actions_destroy(&quiet);
    p.peakMiB = usage.ru_maxrss / 1024.0; // KiB on Linux
    p.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return p;
}

bool copyTree(const QString& from, const QString& to)
{
    QDir().mkpath(to);
    for (const QFileInfo& entry : QDir(from).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)) {
        const QString target = QDir(to).filePath(entry.fileName());
        if (entry.isDir() ? !copyTree(entry.filePath(), target) : !QFile::copy(entry.filePath(), target))
            return false;
    }
    return true;
}

// `horutea --batch FILE.csv --pdf OUT.pdf` against the floor writing the same
// pages into one document: time, peak memory for 1,000 and 10,000 rows, and
// PDF bytes per page.
void measureBatch(std::vector<Row>& rows, int runs, const QProcessEnvironment& env)
{
    QTemporaryDir work;
    const QString program = QDir(g_dir).filePath(QStringLiteral("../horutea"));
    const QString templateHome = work.filePath(QStringLiteral("home"));
    std::map<int, QString> lists;
    for (int n : {1000, 10000}) {
        lists[n] = work.filePath(QStringLiteral("orders-%1.csv").arg(n));
        const Process prepared = runWhole(QDir(g_dir).filePath(QStringLiteral("bench_batch")),
                                          {QStringLiteral("prepare"), templateHome, lists[n], QString::number(n)}, env);
        if (prepared.exit != 0) {
            std::fprintf(stderr, "bench_batch prepare failed\n");
            return;
        }
    }
    // The same 1,000 rows with addresses and goods too long for their places, keyed 1: fitted as they print.
    lists[1] = work.filePath(QStringLiteral("long-1000.csv"));
    if (runWhole(QDir(g_dir).filePath(QStringLiteral("bench_batch")),
                 {QStringLiteral("long"), templateHome, lists[1], QStringLiteral("1000")}, env)
            .exit != 0) {
        std::fprintf(stderr, "bench_batch long failed\n");
        return;
    }
    // A storefront's export of 10,000 orders over 25,000 rows, keyed -10000.
    lists[-10000] = work.filePath(QStringLiteral("storefront-10000.csv"));
    if (runWhole(QDir(g_dir).filePath(QStringLiteral("bench_batch")),
                 {QStringLiteral("storefront"), templateHome, lists[-10000], QStringLiteral("10000")}, env)
            .exit != 0) {
        std::fprintf(stderr, "bench_batch storefront failed\n");
        return;
    }
    std::vector<double> bigMs, storefrontMs, storefrontMiB;
    std::vector<double> floorMs, floorMiB, floorBytes, batchMs, batchMiB, batchBytes, bigMiB, longMs, floorLongMs;
    for (int i = 0; i < runs; ++i) {
        const QString floorPdf = work.filePath(QStringLiteral("floor.pdf"));
        const Process f = runWhole(QDir(g_dir).filePath(QStringLiteral("bench_floor")),
                                   {QStringLiteral("document"), QStringLiteral("1000"), floorPdf}, env);
        // Each run in a home of its own, so the history starts alike.
        auto batch = [&](int n, QString* pdf) {
            const QString home = work.filePath(QStringLiteral("home-%1-%2").arg(n).arg(i));
            copyTree(templateHome, home);
            QProcessEnvironment e = env;
            e.insert(QStringLiteral("HOME"), home);
            e.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
            *pdf = work.filePath(QStringLiteral("batch-%1.pdf").arg(n));
            const Process p =
                runWhole(program, {QStringLiteral("--batch"), lists[n], QStringLiteral("--pdf"), *pdf}, e);
            QDir(home).removeRecursively();
            return p;
        };
        QString pdf;
        const Process b = batch(1000, &pdf);
        if (f.exit != 0 || b.exit != 0) {
            std::fprintf(stderr, "a batch run failed (floor %d, program %d)\n", f.exit, b.exit);
            return;
        }
        const Process fitted = batch(1, &pdf);
        if (fitted.exit != 0) {
            std::fprintf(stderr, "the long batch run failed (%d)\n", fitted.exit);
            return;
        }
        longMs.push_back(fitted.ms);
        const Process floorLong = runWhole(QDir(g_dir).filePath(QStringLiteral("bench_floor")),
                                           {QStringLiteral("document-long"), QStringLiteral("1000"), floorPdf}, env);
        floorLongMs.push_back(floorLong.ms);
        floorMs.push_back(f.ms);
        floorMiB.push_back(f.peakMiB);
        floorBytes.push_back(QFileInfo(floorPdf).size() / 1000.0);
        batchMs.push_back(b.ms);
        batchMiB.push_back(b.peakMiB);
        batchBytes.push_back(QFileInfo(pdf).size() / 1000.0);
        // The long lists take ten times as long; five runs show their time
        // and memory.
        if (i < 5) {
            const Process big = batch(10000, &pdf);
            if (big.exit == 0) {
                bigMiB.push_back(big.peakMiB);
                bigMs.push_back(big.ms);
            }
            const Process orders = batch(-10000, &pdf);
            if (orders.exit == 0) {
                storefrontMiB.push_back(orders.peakMiB);
                storefrontMs.push_back(orders.ms);
            } else {
                std::fprintf(stderr, "the storefront batch run failed (%d)\n", orders.exit);
            }
        }
    }
    rows.push_back({QStringLiteral("--batch of 1,000 rows to one PDF, against 1,000 bare pages in one document") +
                        ratioSpread(batchMs, floorMs),
                    QStringLiteral("ms"), median(batchMs), median(floorMs), QStringLiteral("≤ 1.2 ×")});
    // Long texts: more glyphs to draw, which any program pays (the floor's own long document shows it), and the
    // fitting, which only the program does. The goal is on what the program adds beyond its floor.
    rows.push_back({QStringLiteral("--batch of 1,000 rows with long goods names and addresses, fitted, against the "
                                   "same with short ones") +
                        ratioSpread(longMs, batchMs),
                    QStringLiteral("ms"), median(longMs), median(batchMs), QStringLiteral("report")});
    rows.push_back({QStringLiteral("the floor's document with the same long texts, against its short one") +
                        ratioSpread(floorLongMs, floorMs),
                    QStringLiteral("ms"), median(floorLongMs), median(floorMs), QStringLiteral("report")});
    rows.push_back({QStringLiteral("long rows over their floor, against short rows over theirs"), QStringLiteral("×"),
                    median(longMs) / median(floorLongMs), median(batchMs) / median(floorMs),
                    QStringLiteral("≤ 1.1 ×")});
    // The same processes in instructions, one run each.
    {
        const QString home = work.filePath(QStringLiteral("home-instructions"));
        auto counted = [&](int n) {
            copyTree(templateHome, home);
            QProcessEnvironment e = env;
            e.insert(QStringLiteral("HOME"), home);
            e.insert(QStringLiteral("XDG_RUNTIME_DIR"), home);
            const double m = instructions(
                program,
                {QStringLiteral("--batch"), lists[n], QStringLiteral("--pdf"), work.filePath(QStringLiteral("i.pdf"))},
                e);
            QDir(home).removeRecursively();
            return m;
        };
        auto floorCounted = [&](const QString& mode) {
            return instructions(QStringLiteral("bench_floor"),
                                {mode, QStringLiteral("1000"), work.filePath(QStringLiteral("floor-i.pdf"))}, env);
        };
        const double shortM = counted(1000), longM = counted(1);
        const double floorM = floorCounted(QStringLiteral("document")),
                     floorLongM = floorCounted(QStringLiteral("document-long"));
        if (shortM > 0 && longM > 0 && floorM > 0 && floorLongM > 0) {
            rows.push_back({QStringLiteral("--batch of 1,000 rows in instructions (callgrind), against the floor's "
                                           "document"),
                            QStringLiteral("M"), shortM, floorM, QStringLiteral("≤ 1.2 ×")});
            rows.push_back({QStringLiteral("the long rows, fitted, in instructions, against the floor's long document"),
                            QStringLiteral("M"), longM, floorLongM, QStringLiteral("report")});
            rows.push_back(
                {QStringLiteral("long rows over their floor, against short rows over theirs, in instructions"),
                 QStringLiteral("×"), longM / floorLongM, shortM / floorM, QStringLiteral("≤ 1.1 ×")});
            rows.push_back({QStringLiteral("the long rows against the short ones, in instructions"),
                            QStringLiteral("M"), longM, shortM, QStringLiteral("report")});
        }
    }
    rows.push_back({QStringLiteral("peak memory, --batch of 1,000 rows, against the floor's document"),
                    QStringLiteral("MiB"), median(batchMiB), median(floorMiB), QStringLiteral("report")});
    const double grown = median(bigMiB) - median(batchMiB);
    rows.push_back({QStringLiteral("peak memory, --batch of 10,000 rows, against 1,000 rows (%1%2 MiB)")
                        .arg(grown >= 0 ? QStringLiteral("+") : QString())
                        .arg(grown, 0, 'f', 2),
                    QStringLiteral("MiB"), median(bigMiB), median(batchMiB), QStringLiteral("within 5 MiB")});
    rows.push_back({QStringLiteral("PDF bytes per page, --batch against the floor's document"), QStringLiteral("B"),
                    median(batchBytes), median(floorBytes), QStringLiteral("≤ 1.2 ×")});
    if (storefrontMs.empty())
        return;
    rows.push_back({QStringLiteral("--batch of a storefront export, 10,000 orders over 25,000 rows, against 10,000 "
                                   "flat rows"),
                    QStringLiteral("ms"), median(storefrontMs), median(bigMs), QStringLiteral("≤ 1.2 ×")});
    const double storefrontGrown = median(storefrontMiB) - median(bigMiB);
    rows.push_back({QStringLiteral("peak memory, that storefront export against 10,000 flat rows (%1%2 MiB)")
                        .arg(storefrontGrown >= 0 ? QStringLiteral("+") : QString())
                        .arg(storefrontGrown, 0, 'f', 2),
                    QStringLiteral("MiB"), median(storefrontMiB), median(bigMiB), QStringLiteral("within 5 MiB")});
}

// The address book and history: start-up with a full database against an
// empty one, search as you type, import, recording one print.
void measureBooks(std::vector<Row>& rows, int runs, const QProcessEnvironment& offscreen)
{
    const int entries = 100000;
    QTemporaryDir fullHome;
    const QString dataFolder = QDir(fullHome.path()).filePath(QStringLiteral(".local/share/horutea"));
    QDir(fullHome.path()).mkpath(QStringLiteral("Documents"));
    std::fprintf(stderr, "filling a database with %d entries and %d history rows…\n", entries, entries);
    const auto filled = run(QStringLiteral("bench_books"),
                            {QStringLiteral("fill"), dataFolder, QString::number(entries)}, g_env, {}, 10 * 60 * 1000);
    if (!filled.first.contains(QStringLiteral("filled %1").arg(entries)))
        std::fprintf(stderr, "filling failed: %s\n", qPrintable(filled.first.join(QLatin1Char('\n'))));
    QProcessEnvironment full = offscreen;
    full.insert(QStringLiteral("HOME"), fullHome.path());
    full.insert(QStringLiteral("XDG_RUNTIME_DIR"), fullHome.path());
    std::vector<double> emptyT, fullT;
    for (int i = 0; i < runs; ++i)
        for (auto [env, into] :
             {std::pair<const QProcessEnvironment*, std::vector<double>*>{&offscreen, &emptyT}, {&full, &fullT}}) {
            run(QStringLiteral("bench_app"), {QStringLiteral("startup")}, *env, "painted"); // warms the file cache
            into->push_back(run(QStringLiteral("bench_app"), {QStringLiteral("startup")}, *env, "painted").second);
        }
    rows.push_back(
        {QStringLiteral("start-up to first paint, %1 saved addresses and printed waybills against none (offscreen)")
             .arg(entries),
         QStringLiteral("ms"), median(fullT), median(emptyT), QStringLiteral("≤ 1.05 ×")});
    std::vector<double> keys, keysCpu, records;
    for (int i = 0; i < 3; ++i) {
        const auto typed = run(QStringLiteral("bench_books"), {QStringLiteral("typing"), dataFolder}, offscreen);
        const auto v = values(typed.first, QStringLiteral("keystroke"), 1.0);
        keys.insert(keys.end(), v.begin(), v.end());
        const auto c = values(typed.first, QStringLiteral("keystrokecpu"), 1.0);
        keysCpu.insert(keysCpu.end(), c.begin(), c.end());
    }
    const auto recorded = run(QStringLiteral("bench_books"), {QStringLiteral("record"), dataFolder}, g_env);
    records = values(recorded.first, QStringLiteral("record"), 1.0);
    rows.push_back(
        {QStringLiteral("address book window, search as you type over %1 entries, key to list painted (median)")
             .arg(entries),
         QStringLiteral("ms"), median(keys), 0, QStringLiteral("≤ 10 ms")});
    rows.push_back({QStringLiteral("the same in processor time of the window's thread (median)"), QStringLiteral("ms"),
                    median(keysCpu), 0, QStringLiteral("≤ 10 ms")});
    rows.push_back({QStringLiteral("the same, slowest keystroke"), QStringLiteral("ms"),
                    keys.empty() ? 0 : *std::max_element(keys.begin(), keys.end()), 0, QStringLiteral("report")});
    const auto imported =
        run(QStringLiteral("bench_books"), {QStringLiteral("import"), dataFolder}, offscreen, {}, 10 * 60 * 1000);
    rows.push_back(
        {QStringLiteral("address book window, import of a CSV of %1 entries into an empty book").arg(entries),
         QStringLiteral("ms"), median(values(imported.first, QStringLiteral("import"), 1.0)), 0,
         QStringLiteral("report")});
    rows.push_back({QStringLiteral("the same, longest time the windows did not answer"), QStringLiteral("ms"),
                    median(values(imported.first, QStringLiteral("stall"), 1.0)), 0, QStringLiteral("report")});
    rows.push_back({QStringLiteral("one print recorded in a history of %1 rows").arg(entries), QStringLiteral("ms"),
                    median(records), 0, QStringLiteral("≤ 5 ms")});
}

// Postal codes: each run a fresh process, the file from the page cache.
void measurePostal(std::vector<Row>& rows, int runs, const QProcessEnvironment& env)
{
    std::vector<double> first, later, addedMiB;
    for (int i = 0; i < runs; ++i) {
        const QStringList lines = run(QStringLiteral("bench_postal"), {}, env).first;
        for (const QString& line : lines) {
            const QStringList w = line.split(QLatin1Char(' '));
            if (w.size() >= 2 && w[0] == QLatin1String("first_lookup_ms"))
                first.push_back(w[1].toDouble());
            if (w.size() >= 3 && w[0] == QLatin1String("later_lookup_existing_us"))
                later.push_back(w[2].toDouble() / 1000.0);
            if (w.size() >= 5 && w[0] == QLatin1String("rss_added_kib"))
                addedMiB.push_back(w[4].toDouble() / 1024.0);
        }
    }
    rows.push_back({QStringLiteral("postal look-up, the first of a process (opening and checking the data file)"),
                    QStringLiteral("ms"), median(first), 0, QStringLiteral("≤ 30 ms")});
    rows.push_back({QStringLiteral("postal look-up, later ones (median)"), QStringLiteral("ms"), median(later), 0,
                    QStringLiteral("≤ 0.1 ms")});
    rows.push_back({QStringLiteral("memory added by the look-up"), QStringLiteral("MiB"), median(addedMiB), 0,
                    QStringLiteral("≤ 5 MiB")});
}

void printTable(const std::vector<Row>& rows, int runs, int jobs)
{
    std::printf("Medians of %d runs (%d jobs a run for the print jobs).\n\n", runs, jobs);
    std::printf("| measure | program | floor | ratio | target |\n|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        const QByteArray what = r.what.toUtf8(), target = r.target.toUtf8(), unit = r.unit.toUtf8();
        if (r.floor > 0)
            std::printf("| %s | %.3f %s | %.3f %s | %.2f | %s |\n", what.constData(), r.program, unit.constData(),
                        r.floor, unit.constData(), r.program / r.floor, target.constData());
        else
            std::printf("| %s | %.3f %s | — | — | %s |\n", what.constData(), r.program, unit.constData(),
                        target.constData());
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    g_dir = QCoreApplication::applicationDirPath();
    const int runs = argc > 1 ? std::max(10, atoi(argv[1])) : 15;
    const int jobs = 20;
    // "batch" or "books": only the order-list, or the address-book and history measures.
    const bool onlyBatch = argc > 2 && qstrcmp(argv[2], "batch") == 0;
    const bool onlyBooks = argc > 2 && qstrcmp(argv[2], "books") == 0;
    // "window": only start-up, the print jobs and memory.
    const bool onlyWindow = argc > 2 && qstrcmp(argv[2], "window") == 0;

    QTemporaryDir home;
    g_env = QProcessEnvironment::systemEnvironment();
    g_env.insert(QStringLiteral("HOME"), home.path());
    g_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    g_env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    // No spooler: print to PDF, as on a machine without a printer.
    g_env.insert(QStringLiteral("CUPS_SERVER"), home.filePath(QStringLiteral("no-cups.sock")));
    g_env.remove(QStringLiteral("PRINTER"));
    g_env.remove(QStringLiteral("LPDEST"));
    QDir(home.path()).mkpath(QStringLiteral("Documents"));

    std::vector<Row> rows;
    QProcessEnvironment batchEnv = g_env;
    batchEnv.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    g_env.remove(QStringLiteral("XDG_DATA_HOME"));
    if (onlyBatch || onlyBooks) {
        if (onlyBatch)
            measureBatch(rows, runs, batchEnv);
        else
            measureBooks(rows, runs, batchEnv);
        printTable(rows, runs, jobs);
        return 0;
    }

    // Start-up, offscreen and, where there is one, on a real X server.
    QProcess xvfb;
    std::vector<std::pair<QString, QProcessEnvironment>> platforms;
    QProcessEnvironment offscreen = g_env;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    platforms.emplace_back(QStringLiteral("offscreen"), offscreen);
    const QString xvfbPath = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (!xvfbPath.isEmpty()) {
        const QString display = QStringLiteral(":%1").arg(90 + QCoreApplication::applicationPid() % 100);
        xvfb.start(xvfbPath, {display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (xvfb.waitForStarted(5000)) {
            QThread::msleep(1000);
            QProcessEnvironment x = g_env;
            x.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
            x.insert(QStringLiteral("DISPLAY"), display);
            platforms.emplace_back(QStringLiteral("Xvfb"), x);
        }
    }
    std::vector<double> floorMem, appMem, pageMem, stockMem;
    for (const auto& [name, env] : platforms) {
        std::vector<double> appT, floorT, stockT;
        // Each measured start follows an unmeasured one of the same program,
        // so both programs start from a warm file cache: between other
        // processes this machine's memory reclaim otherwise throws single
        // starts of either program between two modes some 15 ms apart.
        auto start = [&](const QString& program, const QString& mode = QStringLiteral("startup")) {
            run(program, {mode}, env, "painted");
            return run(program, {mode}, env, "painted");
        };
        for (int i = 0; i < runs; ++i) {
            const auto f = start(QStringLiteral("bench_floor"));
            const auto a = start(QStringLiteral("bench_app"));
            const auto s = start(QStringLiteral("bench_floor"), QStringLiteral("stock"));
            floorT.push_back(f.second);
            appT.push_back(a.second);
            stockT.push_back(s.second);
            if (name == QLatin1String("offscreen")) {
                const auto fm = values(f.first, QStringLiteral("painted"), 1.0 / 1024);
                if (!fm.empty())
                    floorMem.push_back(fm[0]);
            }
        }
        rows.push_back({QStringLiteral("start-up to first paint (%1)").arg(name) + ratioSpread(appT, floorT),
                        QStringLiteral("ms"), median(appT), median(floorT), QStringLiteral("≤ 1.3 ×")});
        // Against the same window built from Qt's own widgets: what the
        // program adds to the window it draws.
        rows.push_back({QStringLiteral("the same against its window in Qt's own widgets (%1)").arg(name) +
                            ratioSpread(appT, stockT),
                        QStringLiteral("ms"), median(appT), median(stockT), QStringLiteral("report")});
        if (name == QLatin1String("offscreen")) {
            // The same starts in instructions, offscreen.
            const double appM = startupInstructions(QStringLiteral("bench_app"), QStringLiteral("startup"), env);
            if (appM > 0) {
                const double labelM =
                    startupInstructions(QStringLiteral("bench_floor"), QStringLiteral("startup"), env);
                const double stockM = startupInstructions(QStringLiteral("bench_floor"), QStringLiteral("stock"), env);
                rows.push_back({QStringLiteral("start-up to first paint in instructions (callgrind, offscreen)"),
                                QStringLiteral("M"), appM, labelM, QStringLiteral("report")});
                rows.push_back({QStringLiteral("the same against its window in Qt's own widgets"), QStringLiteral("M"),
                                appM, stockM, QStringLiteral("report")});
            }
        }

        // The preview: opened from a filled window, then offset steps.
        std::vector<double> open, step, stepScan;
        for (int i = 0; i < runs; ++i) {
            const auto p = run(QStringLiteral("bench_preview"), {QString::number(jobs)}, env);
            for (auto [key, into] : {std::pair{QStringLiteral("open"), &open}, std::pair{QStringLiteral("step"), &step},
                                     std::pair{QStringLiteral("stepscan"), &stepScan}}) {
                const auto v = values(p.first, key, 1e-6);
                into->insert(into->end(), v.begin(), v.end());
            }
        }
        rows.push_back({QStringLiteral("preview opened to its first paint (%1)").arg(name), QStringLiteral("ms"),
                        median(open), 0, QStringLiteral("≤ 100 ms")});
        rows.push_back({QStringLiteral("preview redrawn after an offset step (%1)").arg(name), QStringLiteral("ms"),
                        median(step), 0, QStringLiteral("≤ 16 ms")});
        rows.push_back({QStringLiteral("the same over a 200 dpi scan (%1)").arg(name), QStringLiteral("ms"),
                        median(stepScan), 0, QStringLiteral("≤ 16 ms")});
    }
    if (xvfb.state() != QProcess::NotRunning) {
        xvfb.terminate();
        xvfb.waitForFinished(5000);
    }

    // Print jobs: the first of each process, and the later ones.
    std::map<QString, std::vector<double>> first, later;
    for (int i = 0; i < runs; ++i) {
        const auto f = run(QStringLiteral("bench_floor"), {QStringLiteral("page"), QString::number(jobs)}, offscreen);
        const auto a = run(QStringLiteral("bench_print"), {QString::number(jobs)}, offscreen);
        for (const auto& [lines, key] :
             {std::pair{f.first, QStringLiteral("page")}, std::pair{a.first, QStringLiteral("pdf")},
              std::pair{a.first, QStringLiteral("recording")}, std::pair{a.first, QStringLiteral("marks")}}) {
            const auto v = values(lines, key, 1e-6);
            if (v.empty())
                continue;
            first[key].push_back(v[0]);
            later[key].insert(later[key].end(), v.begin() + 1, v.end());
        }
        const auto pm = values(f.first, QStringLiteral("memory"), 1.0 / 1024);
        if (!pm.empty())
            pageMem.push_back(pm[0]);
        const auto st = run(QStringLiteral("bench_floor"),
                            {QStringLiteral("page"), QStringLiteral("1"), QStringLiteral("stock")}, offscreen);
        const auto sm = values(st.first, QStringLiteral("memory"), 1.0 / 1024);
        if (!sm.empty())
            stockMem.push_back(sm[0]);
        const auto m = run(QStringLiteral("bench_app"), {QStringLiteral("memory")}, offscreen, "memory");
        const auto mv = values(m.first, QStringLiteral("memory"), 1.0 / 1024);
        if (!mv.empty())
            appMem.push_back(mv[0]);
    }
    rows.push_back({QStringLiteral("waybill job to PDF, first of a process"), QStringLiteral("ms"),
                    median(first["pdf"]), median(first["page"]), QStringLiteral("≤ 1.5 ×")});
    rows.push_back({QStringLiteral("waybill job to PDF, later jobs"), QStringLiteral("ms"), median(later["pdf"]),
                    median(later["page"]), QStringLiteral("≤ 1.5 ×")});
    // Later jobs in instructions: eleven jobs less one, a tenth of it.
    {
        auto perLaterJob = [&](const QString& program, QStringList oneJob, QStringList elevenJobs) {
            const double one = instructions(program, oneJob, offscreen);
            const double eleven = instructions(program, elevenJobs, offscreen);
            return one > 0 && eleven > one ? (eleven - one) / 10.0 : 0.0;
        };
        const double programM = perLaterJob(QStringLiteral("bench_print"), {QStringLiteral("1"), QStringLiteral("pdf")},
                                            {QStringLiteral("11"), QStringLiteral("pdf")});
        const double floorM = perLaterJob(QStringLiteral("bench_floor"), {QStringLiteral("page"), QStringLiteral("1")},
                                          {QStringLiteral("page"), QStringLiteral("11")});
        if (programM > 0 && floorM > 0)
            rows.push_back({QStringLiteral("waybill job to PDF, later jobs, in instructions (callgrind)"),
                            QStringLiteral("M"), programM, floorM, QStringLiteral("≤ 1.5 ×")});
    }
    rows.push_back({QStringLiteral("mark test print to PDF, first of a process"), QStringLiteral("ms"),
                    median(first["marks"]), median(first["page"]), QStringLiteral("report")});
    rows.push_back({QStringLiteral("mark test print to PDF, later"), QStringLiteral("ms"), median(later["marks"]),
                    median(later["page"]), QStringLiteral("report")});
    rows.push_back({QStringLiteral("waybill job to recording printer, first"), QStringLiteral("ms"),
                    median(first["recording"]), 0, QStringLiteral("≤ 1 ms")});
    rows.push_back({QStringLiteral("waybill job to recording printer, later"), QStringLiteral("ms"),
                    median(later["recording"]), 0, QStringLiteral("≤ 1 ms")});
    rows.push_back({QStringLiteral("peak memory after one print"), QStringLiteral("MiB"), median(appMem),
                    median(floorMem), QStringLiteral("≤ 1.3 ×")});
    // The same memory against a floor that has printed one bare page: Qt's
    // printer support and the spooler client libraries it loads are in both.
    rows.push_back({QStringLiteral("peak memory after one print, against the bare page floor"), QStringLiteral("MiB"),
                    median(appMem), median(pageMem), QStringLiteral("report")});
    // And against the window in Qt's own widgets that printed a bare page:
    // what the program's own workings hold (the history's database among them).
    rows.push_back({QStringLiteral("the same against its window in Qt's own widgets, bare page printed"),
                    QStringLiteral("MiB"), median(appMem), median(stockMem), QStringLiteral("report")});

    if (!onlyWindow) {
        measureBatch(rows, runs, offscreen);
        measureBooks(rows, runs, offscreen);
        measurePostal(rows, runs, g_env);
    }
    printTable(rows, runs, jobs);
    return 0;
}
