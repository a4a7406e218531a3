#pragma once
// What the private CUPS scheduler of the tests holds: jobs and their
// attributes through ipptool, and the page size of a PDF it wrote.
#include "pdfmeasure.h"

#include <QDir>
#include <QElapsedTimer>
#include <QMultiMap>
#include <QRegularExpression>
#include <QThread>
#include <algorithm>

namespace {

// Where the file-backed queues write, by file name.
QString out(const QString& name) { return QDir(qEnvironmentVariable("CUPS_TEST_OUT")).filePath(name); }

QString printerUri(const QString& queue)
{
    return QStringLiteral("ipp://%1/printers/%2").arg(qEnvironmentVariable("CUPS_SERVER"), queue);
}

// Attributes as ipptool prints them: "name (type) = value".
QMultiMap<QString, QString> ipp(const QString& queue, const char* testFile, const QStringList& vars = {})
{
    QStringList args{QStringLiteral("-tv")};
    for (const QString& v : vars)
        args << QStringLiteral("-d") << v;
    args << printerUri(queue) << QStringLiteral(CUPS_TEST_DIR "/") + QLatin1String(testFile);
    static const QRegularExpression line(QStringLiteral(R"(^\s+([\w.-]+) \([^)]*\) = (.*)$)"));
    QMultiMap<QString, QString> attrs;
    for (const QString& l : pdf::run(QStringLiteral("ipptool"), args).split(QLatin1Char('\n')))
        if (const auto m = line.match(l); m.hasMatch())
            attrs.insert(m.captured(1), m.captured(2));
    return attrs;
}

QMultiMap<QString, QString> jobAttributes(const QString& queue, int jobId)
{
    return ipp(queue, "get-job-attributes.test", {QStringLiteral("job=%1").arg(jobId)});
}

QList<int> jobIds(const QString& queue)
{
    QList<int> ids;
    for (const QString& id : ipp(queue, "get-jobs.test").values(QStringLiteral("job-id")))
        ids.append(id.toInt());
    std::sort(ids.begin(), ids.end());
    return ids;
}

// Waits (bounded) for the job to end; gives its final job-state keyword.
QString waitForJob(const QString& queue, int jobId)
{
    QElapsedTimer t;
    t.start();
    QString state;
    while (t.elapsed() < 30000) {
        state = jobAttributes(queue, jobId).value(QStringLiteral("job-state"));
        if (state == QLatin1String("completed") || state == QLatin1String("aborted") ||
            state == QLatin1String("canceled"))
            return state;
        QThread::msleep(50);
    }
    return state;
}

// Width and height in points of the file's first page.
[[maybe_unused]] QSizeF pageSizePt(const QString& pdfPath)
{
    static const QRegularExpression re(QStringLiteral(R"(Page size:\s+([\d.]+) x ([\d.]+) pts)"));
    const auto m = re.match(pdf::run(QStringLiteral("pdfinfo"), {pdfPath}));
    return m.hasMatch() ? QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble()) : QSizeF();
}

} // namespace
