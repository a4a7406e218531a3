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

bool makeFile(const QString& path)
{
    QFile f(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && f.open(QIODevice::WriteOnly);
}

// Folders as an installed program has them.
class InstalledFolders final : public platform::Folders {
public:
    QString app, user;
    QString applicationFolder() const override { return app; }
    bool applicationFolderKeepsFiles() const override { return false; }
    QString userDataFolder() const override { return user; }
    QString documentsFolder() const override { return user; }
    QString configFolder() const override { return user; }
};

} // namespace

class DataFilesTest : public QObject {
    Q_OBJECT
private slots:
    // An unpacked tree (/tmp/x/usr/bin/horutea) takes /tmp/x/usr/share/horutea
    // ahead of any source tree; a build folder without share/horutea beside it
    // the source tree's; with neither, the installed path, named in a message.
    void whichDataFileIsTaken()
    {
        QTemporaryDir root;
        const QString program = root.filePath(QStringLiteral("usr/bin")),
                      source = root.filePath(QStringLiteral("src/data"));
        const QString installed = root.filePath(QStringLiteral("usr/share/horutea/")) + kPostalFile;
        const QString inSource = QDir(source).filePath(kPostalFile);
        QVERIFY(QDir().mkpath(program));
        QVERIFY(!platform::runsInstalled(program));
        QCOMPARE(platform::dataFilePath(kPostalFile, program, source), installed);
        // Without an application object there is no program folder.
        QCOMPARE(platform::dataFilePath(kPostalFile, QString(), source), inSource);
        QVERIFY(!platform::runsInstalled(QString()));

        QVERIFY(makeFile(inSource));
        QCOMPARE(platform::dataFilePath(kPostalFile, program, source), inSource);
        QVERIFY(makeFile(installed));
        QVERIFY(platform::runsInstalled(program));
        QCOMPARE(platform::dataFilePath(kPostalFile, program + QStringLiteral("/./"), source), installed);
        // The modules in a folder of the program's own name under lib.
        const QString modules = platform::installedModuleFolder(root.filePath(QStringLiteral("usr/bin")));
        QVERIFY2(modules.startsWith(root.filePath(QStringLiteral("usr/lib/"))) &&
                     modules.endsWith(QStringLiteral("/horutea")),
                 qPrintable(modules));
    }

    // The install rules put the postal data exactly where the program looks
    // for it, whatever the prefix the tree is unpacked under.
    void installRulesAgreeWithTheLookup()
    {
        QTemporaryDir root;
        const QString prefix = root.filePath(QStringLiteral("usr"));
        QProcess install;
        install.start(
            QStringLiteral(HORUTEA_CMAKE_COMMAND),
            {QStringLiteral("--install"), QStringLiteral(HORUTEA_BUILD_DIR), QStringLiteral("--prefix"), prefix});
        QVERIFY(install.waitForFinished(120000));
        QVERIFY2(install.exitStatus() == QProcess::NormalExit && install.exitCode() == 0,
                 install.readAllStandardError().constData());

        const QString program = QDir(prefix).filePath(QStringLiteral("bin"));
        QVERIFY(QFileInfo(QDir(program).filePath(QStringLiteral("horutea"))).isExecutable());
        QVERIFY(platform::runsInstalled(program));
        const QString found = platform::dataFilePath(kPostalFile, program, QString());
        const postal::LookupResult chiyoda = postal::Directory(found).lookup(QStringLiteral("1000001"));
        QVERIFY2(!chiyoda.matches.isEmpty(), qPrintable(chiyoda.message));
        QCOMPARE(chiyoda.matches.first().city, QStringLiteral("千代田区"));
    }

    // An installed program started by root could write into /usr/bin; its
    // offset files still go to the per-user folder, and nothing is created
    // beside the program.
    void installedProgramKeepsOffsetsPerUser()
    {
        QTemporaryDir root;
        InstalledFolders folders;
        folders.app = root.filePath(QStringLiteral("usr/bin"));
        folders.user = root.filePath(QStringLiteral("home/.local/share/horutea"));
        QVERIFY(QDir().mkpath(folders.app));
        adjust::OffsetStore offsets(folders);
        offsets.startUp();
        QCOMPARE(offsets.folder(), folders.user);
        QVERIFY(QFileInfo::exists(QDir(folders.user).filePath(adjust::kHorizontalFileName)));
        QVERIFY(offsets.save(QStringLiteral("15"), QStringLiteral("-7")));
        QCOMPARE(QDir(folders.app).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }
};

QTEST_GUILESS_MAIN(DataFilesTest)
#include "tst_datafiles.moc"
