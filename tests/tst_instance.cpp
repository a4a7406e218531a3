// A second instance is refused while the first runs, across real processes,
// and a crashed instance does not refuse the next start.
#include "support.h"

#include <QProcess>
#include <csignal>

using namespace testing;

class InstanceTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_runtime;

    QString holderPath() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/instance_holder"); }

    void startHolder(QProcess& holder, const QString& lock)
    {
        holder.start(holderPath(), {lock});
        QVERIFY(holder.waitForStarted(5000));
        QVERIFY(holder.waitForReadyRead(5000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));
    }

private slots:
    void initTestCase()
    {
        // The default lock lives in the runtime folder; a private one keeps a
        // program running on this machine out of the test.
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtime.path()));
        initTestEnvironment();
    }

    void secondInstanceRefusedWhileFirstRuns()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        QProcess holder;
        startHolder(holder, lock);

        // What the window does when refused is the window test's.
        QVERIFY(platform::LockFileInstanceDetector(lock).anotherInstanceRunning());
        QCOMPARE(holder.state(), QProcess::Running); // the first one is unaffected

        // The first instance crashes; its lock must not refuse the next start.
        ::kill(pid_t(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(5000));
        platform::LockFileInstanceDetector next(lock);
        QVERIFY(!next.anotherInstanceRunning());

        // While this process holds it, a new process is the one refused.
        QProcess third;
        third.start(holderPath(), {lock});
        QVERIFY(third.waitForReadyRead(5000));
        QCOMPARE(third.readLine().trimmed(), QByteArray("refused"));
        third.kill();
        third.waitForFinished(5000);
    }

    // The program's own lock, at its default place, refuses a second holder.
    void defaultLockRefusesSecond()
    {
        QVERIFY(!platform::LockFileInstanceDetector::defaultLockPath().isEmpty());
        platform::LockFileInstanceDetector first, second;
        QVERIFY(!first.anotherInstanceRunning());
        QVERIFY(second.anotherInstanceRunning());
    }

    void instanceEndedNormallyFreesTheLock()
    {
        QTemporaryDir dir;
        const QString lock = dir.filePath(QStringLiteral("instance.lock"));
        {
            platform::LockFileInstanceDetector first(lock);
            QVERIFY(!first.anotherInstanceRunning());
            QVERIFY(!first.anotherInstanceRunning()); // asking again is not another instance
        }
        platform::LockFileInstanceDetector second(lock);
        QVERIFY(!second.anotherInstanceRunning());
    }
};

QTEST_MAIN(InstanceTest)
#include "tst_instance.moc"
