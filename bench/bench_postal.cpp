// Postal-code look-up: the first look-up of a process (opening and checking
// the data file included), later look-ups, and the memory they add.
// Usage: bench_postal [--cold] [DATA_FILE]
//   --cold  first drops the data file from the page cache (posix_fadvise),
//           as after a reboot; otherwise the file is read from the cache.
#include "postal/directory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>
#include <vector>

namespace {

// A field of /proc/self/status, in KiB.
long statusKiB(const char* field)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qsizetype(qstrlen(field))).trimmed().split(' ').first().toLong();
    return -1;
}

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v[size_t(p * double(v.size() - 1))];
}

bool dropFromPageCache(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return false;
    ::fdatasync(fd);
    const bool dropped = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0;
    ::close(fd);
    return dropped;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    const bool cold = args.removeAll(QStringLiteral("--cold")) > 0;
    const QString path = args.isEmpty() ? QStringLiteral(HORUTEA_POSTAL_DATA) : args.first();

    // Random codes, fixed seed: mostly in a different block each time, so
    // most later look-ups read and unpack a block rather than hit the cache.
    constexpr int laterLookups = 5000;
    std::mt19937 random(20250925);
    std::uniform_int_distribution<int> anyCode(0, 9999999);
    std::vector<QString> codes;
    for (int i = 0; i < laterLookups; ++i)
        codes.push_back(QStringLiteral("%1").arg(anyCode(random), 7, 10, QLatin1Char('0')));
    std::vector<double> laterUs, repeatedUs;
    laterUs.reserve(laterLookups);
    repeatedUs.reserve(laterLookups);

    if (cold && !dropFromPageCache(path))
        std::fprintf(stderr, "could not drop %s from the page cache\n", qPrintable(path));

    const long rssBeforeKiB = statusKiB("VmRSS:");
    const long hwmBeforeKiB = statusKiB("VmHWM:");

    QElapsedTimer timer;
    timer.start();
    postal::Directory directory(path);
    const postal::LookupResult first = directory.lookup(QStringLiteral("100-0001"));
    const double firstMs = double(timer.nsecsElapsed()) / 1e6;
    if (first.status != postal::LookupStatus::Found) {
        std::fprintf(stderr, "%s\n", qPrintable(first.message));
        return 1;
    }
    const long rssAfterFirstKiB = statusKiB("VmRSS:");

    int found = 0;
    double slowestUs = 0;
    QString slowestCode;
    for (const QString& code : codes) {
        timer.restart();
        const postal::LookupResult r = directory.lookup(code);
        laterUs.push_back(double(timer.nsecsElapsed()) / 1e3);
        if (laterUs.back() > slowestUs) {
            slowestUs = laterUs.back();
            slowestCode = code;
        }
        found += r.status == postal::LookupStatus::Found;
        if (r.status == postal::LookupStatus::DataUnavailable) {
            std::fprintf(stderr, "%s\n", qPrintable(r.message));
            return 1;
        }
    }
    for (int i = 0; i < laterLookups; ++i) {
        timer.restart();
        directory.lookup(QStringLiteral("452-0961")); // 66 towns
        repeatedUs.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    const long rssAfterKiB = statusKiB("VmRSS:");
    const long hwmAfterKiB = statusKiB("VmHWM:");

    // Codes that exist, weighted as real ones are: every code of 40 random
    // first three digits, found by trying all four-digit endings (after the
    // memory figures, which this would distort), then looked up in random order.
    std::vector<QString> existing;
    {
        postal::Directory finder(path);
        std::uniform_int_distribution<int> anyPrefix(0, 999);
        for (int i = 0; i < 40; ++i) {
            const QString prefix = QStringLiteral("%1").arg(anyPrefix(random), 3, 10, QLatin1Char('0'));
            for (int suffix = 0; suffix <= 9999; ++suffix) {
                const QString code = prefix + QStringLiteral("%1").arg(suffix, 4, 10, QLatin1Char('0'));
                if (finder.lookup(code).status == postal::LookupStatus::Found)
                    existing.push_back(code);
            }
        }
    }
    std::shuffle(existing.begin(), existing.end(), random);
    existing.resize(std::min<size_t>(existing.size(), laterLookups));
    std::vector<double> existingUs;
    for (const QString& code : existing) {
        timer.restart();
        directory.lookup(code);
        existingUs.push_back(double(timer.nsecsElapsed()) / 1e3);
    }

    std::printf("first_lookup_ms %.3f%s\n", firstMs, cold ? " (cold page cache)" : "");
    std::printf("later_lookup_random_us median %.1f p90 %.1f max %.1f (%d of %d codes exist)\n",
                percentile(laterUs, 0.5), percentile(laterUs, 0.9), percentile(laterUs, 1.0), found, laterLookups);
    std::printf("slowest %s, over 1 ms: %ld\n", qPrintable(slowestCode),
                long(std::count_if(laterUs.begin(), laterUs.end(), [](double us) { return us > 1000; })));
    std::printf("later_lookup_existing_us median %.1f p90 %.1f (%zu existing codes of 40 first three digits)\n",
                percentile(existingUs, 0.5), percentile(existingUs, 0.9), existingUs.size());
    std::printf("later_lookup_repeated_us median %.1f (one code, 66 towns)\n", percentile(repeatedUs, 0.5));
    std::printf("rss_added_kib after_first %ld after_all %ld\n", rssAfterFirstKiB - rssBeforeKiB,
                rssAfterKiB - rssBeforeKiB);
    std::printf("hwm_added_kib %ld\n", hwmAfterKiB - hwmBeforeKiB);
    return 0;
}
