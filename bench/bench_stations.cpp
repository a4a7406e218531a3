// Two packing stations printing 1,000 pages each at once into one server:
// two `horutea --batch … --pdf … --database URL` processes started together.
// Prints the time until both finished and checks that every page is one
// history row. Arguments: the server's URL, the pages per station.
#include "history/history.h"
#include "storage/database.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_stations postgresql://USER@HOST:PORT/DBNAME [pages]\n");
        return 2;
    }
    const QString url = QString::fromLocal8Bit(argv[1]);
    const int pages = argc > 2 ? QString::fromLatin1(argv[2]).toInt() : 1000;
    {
        storage::Database db(url);
        storage::ProblemsMet problems(db);
        if (!db.write([](storage::Statements& sql) { return sql.exec(QStringLiteral("DELETE FROM print_history")); })) {
            std::fprintf(stderr, "%s\n", qPrintable(problems.take().value_or(storage::Problem{}).message));
            return 1;
        }
    }
    QTemporaryDir dir;
    QList<QProcess*> stations;
    QElapsedTimer t;
    const char* prefixes[] = {"A", "B"};
    QList<QStringList> arguments;
    QList<QProcessEnvironment> environments;
    for (const char* prefix : prefixes) {
        const QString home = dir.filePath(QString::fromLatin1(prefix));
        QDir().mkpath(home);
        QString text = QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\n");
        for (int i = 0; i < pages; ++i)
            text += QStringLiteral("%1-%2,1000001,東京都千代田区千代田1-%2,山田 太郎%2,03-1234-%3\n")
                        .arg(QLatin1String(prefix))
                        .arg(i)
                        .arg(1000 + i);
        QFile list(home + QStringLiteral("/orders.csv"));
        if (!list.open(QIODevice::WriteOnly) || list.write(text.toUtf8()) <= 0)
            return 1;
        list.close();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environments << env;
        arguments << QStringList{QStringLiteral("--batch"),
                                 list.fileName(),
                                 QStringLiteral("--pdf"),
                                 home + QStringLiteral("/out.pdf"),
                                 QStringLiteral("--no-sender"),
                                 QStringLiteral("--database"),
                                 url};
    }
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("../horutea"));
    t.start();
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        auto* p = new QProcess(&app);
        p->setProcessEnvironment(environments[i]);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(program, arguments[i]);
        stations << p;
    }
    bool ok = true;
    for (QProcess* p : stations)
        ok = p->waitForFinished(600000) && p->exitCode() == 0 && ok;
    const double seconds = double(t.elapsed()) / 1000;
    storage::Database db(url);
    const auto rows = history::History(db).list(10 * pages);
    QSet<QString> orders;
    for (const auto& row : rows)
        orders.insert(row.record.orderNumber.value_or(QString()));
    std::printf("two stations printing %d pages each at once (PDF): both done in %.1f s; %lld history rows, %lld "
                "order numbers (each once: %s)\n",
                pages, seconds, qlonglong(rows.size()), qlonglong(orders.size()),
                ok && rows.size() == 2 * pages && orders.size() == 2 * pages ? "yes" : "NO");
    return ok && rows.size() == 2 * pages && orders.size() == 2 * pages ? 0 : 1;
}
