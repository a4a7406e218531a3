// Where the program finds its own files, run from the build folder or
// installed (in /usr or unpacked anywhere), and that the install rules put
// them where it looks; an installed program keeps no files beside itself.
#include "adjust/offsets.h"
#include "platform/datafiles.h"
#include "postal/directory.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QString kPostalFile = QStringLiteral("postal/jp-postal-codes.bin");

bool makeFile(const QString& path, const QByteArray& bytes = "data")
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Folders as an installed or a portable program has them.
class LaidOutFolders final : public platform::Folders {
public:
    QString app, user;
    bool installed = false;
    QString applicationFolder() const override { return app; }
    bool applicationFolderKeepsFiles() const override { return !installed; }
    QString userDataFolder() const override { return user; }
    QString documentsFolder() const override { return user; }
    QString configFolder() const override { return user; }
};

} // namespace

class DataFilesTest : public QObject {
    Q_OBJECT
private slots:
    // An unpacked tree (/tmp/x/usr/bin/horutea) finds its data under
    // /tmp/x/usr/share/horutea, ahead of any source tree; the names are the
    // program's, not the folder's.
    void installedDataComesFirst()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("usr/bin"));
        const QString source = root.filePath(QStringLiteral("src/data"));
        QVERIFY(QDir().mkpath(program));
        QVERIFY(makeFile(root.filePath(QStringLiteral("usr/share/horutea/")) + kPostalFile, "installed"));
        QVERIFY(makeFile(QDir(source).filePath(kPostalFile), "source"));

        QCOMPARE(platform::installedDataFolder(program), root.filePath(QStringLiteral("usr/share/horutea")));
        QCOMPARE(contentOf(platform::dataFilePath(kPostalFile, program, source)), QByteArray("installed"));
        // A program folder given with a trailing separator or "." parts.
        QCOMPARE(contentOf(platform::dataFilePath(kPostalFile, program + QStringLiteral("/./"), source)), QByteArray("installed"));
        QVERIFY(platform::runsInstalled(program));
    }

    // Run from a build folder: no share/horutea beside it, so the source
    // tree's data; with neither, the installed path, which a message names.
    void buildFolderTakesTheSourceTree()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("build"));
        const QString source = root.filePath(QStringLiteral("src/data"));
        QVERIFY(QDir().mkpath(program));
        QVERIFY(!platform::runsInstalled(program));

        const QString missing = platform::dataFilePath(kPostalFile, program, source);
        QCOMPARE(missing, QDir(platform::installedDataFolder(program)).filePath(kPostalFile));
        QCOMPARE(platform::dataFilePath(kPostalFile, program, QString()), missing);

        QVERIFY(makeFile(QDir(source).filePath(kPostalFile), "source"));
        QCOMPARE(contentOf(platform::dataFilePath(kPostalFile, program, source)), QByteArray("source"));
        // Without an application object there is no program folder.
        QCOMPARE(platform::dataFilePath(kPostalFile, QString(), source), QDir(source).filePath(kPostalFile));
        QVERIFY(!platform::runsInstalled(QString()));
    }

    // The modules of an installed program sit under its lib folder, in a
    // folder of the program's own name.
    void moduleFolderBesideTheData()
    {
        const QString modules = platform::installedModuleFolder(QStringLiteral("/opt/x/usr/bin"));
        QVERIFY2(modules.startsWith(QStringLiteral("/opt/x/usr/lib")), qPrintable(modules));
        QVERIFY2(modules.endsWith(QStringLiteral("/horutea")), qPrintable(modules));
    }

    // The install rules put the postal data exactly where the program looks
    // for it, whatever the prefix the tree is unpacked under.
    void installRulesAgreeWithTheLookup()
    {
        QTemporaryDir root;
        const QString prefix = root.filePath(QStringLiteral("usr"));
        QProcess install;
        install.start(QStringLiteral(HORUTEA_CMAKE_COMMAND),
                      {QStringLiteral("--install"), QStringLiteral(HORUTEA_BUILD_DIR), QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAllStandardError().constData());

        const QString program = QDir(prefix).filePath(QStringLiteral("bin"));
        QVERIFY(QFileInfo(QDir(program).filePath(QStringLiteral("horutea"))).isExecutable());
        QVERIFY(platform::runsInstalled(program));
        const QString found = platform::dataFilePath(kPostalFile, program, QString());
        QVERIFY2(QFileInfo::exists(found), qPrintable(found));
        QCOMPARE(contentOf(found), contentOf(QStringLiteral(HORUTEA_SOURCE_DIR "/data/") + kPostalFile));
        postal::Directory directory(found);
        const postal::LookupResult chiyoda = directory.lookup(QStringLiteral("1000001"));
        QVERIFY2(!chiyoda.matches.isEmpty(), qPrintable(chiyoda.message));
        QCOMPARE(chiyoda.matches.first().city, QStringLiteral("千代田区"));
    }

    // An installed program started by root could write into /usr/bin; its
    // offset files still go to the per-user folder, and nothing is created
    // beside the program. A program of its own folder keeps them there.
    void installedProgramKeepsOffsetsPerUser()
    {
        QTemporaryDir root;
        LaidOutFolders folders;
        folders.app = root.filePath(QStringLiteral("usr/bin"));
        folders.user = root.filePath(QStringLiteral("home/.local/share/horutea"));
        QVERIFY(QDir().mkpath(folders.app));

        folders.installed = true;
        adjust::OffsetStore installed(folders);
        installed.startUp();
        QCOMPARE(installed.folder(), folders.user);
        QVERIFY(QFileInfo::exists(QDir(folders.user).filePath(adjust::kHorizontalFileName)));
        QVERIFY(QFileInfo::exists(QDir(folders.user).filePath(adjust::kVerticalFileName)));
        QCOMPARE(QDir(folders.app).entryList(QDir::Files | QDir::Hidden).size(), 0);
        QVERIFY(!installed.save(QStringLiteral("15"), QStringLiteral("-7")));
        QCOMPARE(QDir(folders.app).entryList(QDir::Files | QDir::Hidden).size(), 0);

        folders.installed = false;
        adjust::OffsetStore portable(folders);
        portable.startUp();
        // The per-user files are the ones saved last, so the run keeps them.
        QCOMPARE(portable.folder(), folders.user);
        QVERIFY(QDir(folders.user).removeRecursively());
        adjust::OffsetStore fresh(folders);
        fresh.startUp();
        QCOMPARE(fresh.folder(), folders.app);
        QVERIFY(QFileInfo::exists(QDir(folders.app).filePath(adjust::kHorizontalFileName)));
    }

    // The running program: the postal look-up's path comes from the same
    // rule, and this test binary in the build tree is not installed.
    void runningProgramUsesTheRule()
    {
        QCOMPARE(postal::defaultDataFilePath(), platform::dataFilePath(kPostalFile));
        QVERIFY(!platform::runsInstalled(QCoreApplication::applicationDirPath()));
        QVERIFY(!platform::QtFolders().applicationFolder().isEmpty());
        QVERIFY(platform::QtFolders().applicationFolderKeepsFiles());
    }
};

QTEST_GUILESS_MAIN(DataFilesTest)
#include "tst_datafiles.moc"
