// The print shift: the offset files' reading rules, where the files live for
// a run, what save accepts, and start-up and saving as the user meets them
// (odd files, folders gone read-only, a disk that fills up).
#include "faildevice.h"
#include "mounts.h"
#include "support.h"

#include "adjust/offsets.h"
#include "app/widgets/updown.h"

#include <QElapsedTimer>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

// Puts the two offset files in the program's folder as a user left them.
void seed(const TestWindow& w, const QByteArray& x, const QByteArray& y)
{
    for (auto [name, bytes] : {std::pair{"vanq_x01.txt", x}, std::pair{"vanq_y01.txt", y}}) {
        QFile f(w.appFile(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size());
    }
}

QString offsetText(const TestWindow& w, bool horizontal) { return w.text(horizontal ? "Sayuu_Xtxt" : "Jyouge_Ytxt"); }

} // namespace

class OffsetsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("offset");
        QTest::addColumn<bool>("told"); // the user hears that the file gave something else
        QTest::newRow("one line") << QByteArray("-35\r\n") << -35 << false;
        QTest::newRow("no line end") << QByteArray("25") << 25 << false;
        QTest::newRow("two lines joined") << QByteArray("1\r\n2\r\n") << 12 << false;
        QTest::newRow("half to even down") << QByteArray("12.5\r\n") << 12 << false;
        QTest::newRow("half to even up") << QByteArray("13.5\r\n") << 14 << false;
        QTest::newRow("negative half") << QByteArray("-2.5\r\n") << -2 << false;
        QTest::newRow("blanks and grouping") << QByteArray(" 1,000 \r\n") << 1000 << false;
        QTest::newRow("empty file") << QByteArray() << 0 << false;
        QTest::newRow("one empty line") << QByteArray("\r\n") << 0 << true;
        QTest::newRow("not a number") << QByteArray("12abc\r\n") << 0 << true;
        QTest::newRow("infinity spelled") << QByteArray("inf\r\n") << 0 << true;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\x80", 5) << 0 << true;
        QTest::newRow("above range") << QByteArray("1000.6\r\n") << 1000 << true;
        QTest::newRow("below range") << QByteArray("-99999999999\r\n") << -1000 << true;
        QTest::newRow("at the end") << QByteArray("-1000\r\n") << -1000 << false;
    }

    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, offset);
        QFETCH(bool, told);
        const adjust::OffsetFromFile read = adjust::offsetFromFile({platform::FileRead::Status::Ok, content});
        QCOMPARE(read.tenthMm, offset);
        QCOMPARE(!read.problem.isEmpty(), told);
    }

    // The size limit at its edge: 4096 bytes are an offset file, 4097 not.
    void sizeLimit()
    {
        TestWindow w(false);
        QByteArray longest = QByteArray(4096 - 4, ' ') + "12\r\n";
        seed(w, longest, " " + longest);
        QVERIFY(w.form->Form_Load());
        QCOMPARE(offsetText(w, true), QStringLiteral("12"));
        QCOMPARE(offsetText(w, false), QStringLiteral("0"));
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("上下のズレ")) &&
                !w.messages.last().contains(QStringLiteral("左右のズレ")));
    }

    // A fresh folder gets two empty files and starts from 0; files already
    // there are read and left untouched; nothing is said either time.
    void startUpFiles()
    {
        TestWindow w;
        QCOMPARE(QDir(w.folders.app).entryList(QDir::Files), (QStringList{"vanq_x01.txt", "vanq_y01.txt"}));
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")) + readAll(w.appFile("vanq_y01.txt")), QByteArray());
        QCOMPARE(offsetText(w, true), QStringLiteral("0"));

        seed(w, "-35\r\n", "40\r\n");
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("-35\r\n")); // read, left as it was
        QCOMPARE(w.c<app::UpDown>("UpDownX")->value(), -35);
        QCOMPARE(offsetText(w, true), QStringLiteral("-35"));
        QCOMPARE(offsetText(w, false), QStringLiteral("40"));
        QVERIFY(w.messages.shown.empty());
    }

    // An offset file that is a FIFO or a folder is not read and start-up
    // never waits on it; the user hears which offset gave 0.
    void oddFilesNeverBlock()
    {
        TestWindow w(false);
        QCOMPARE(::mkfifo(QFile::encodeName(w.appFile("vanq_x01.txt")).constData(), 0600), 0);
        QVERIFY(QDir().mkpath(w.appFile("vanq_y01.txt")));
        QElapsedTimer timer;
        timer.start();
        QVERIFY(w.form->Form_Load());
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(offsetText(w, true), QStringLiteral("0"));
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("左右のズレ")) &&
                w.messages.last().contains(QStringLiteral("上下のズレ")));
    }

    // A file the user may not read gives 0, and the user hears it once.
    void unreadableFileSaysSo()
    {
        TestWindow w(false);
        seed(w, "30\r\n", "-20\r\n");
        QVERIFY(QFile::setPermissions(w.appFile("vanq_x01.txt"), {}));
        // Root reads anything: look as an ordinary user would.
        const bool root = geteuid() == 0;
        if (root) {
            ::chmod(QFile::encodeName(w.dir.path()).constData(), 0755);
            ::chmod(QFile::encodeName(w.folders.app).constData(), 0777);
            QCOMPARE(::seteuid(65534), 0);
        }
        const bool loaded = w.form->Form_Load();
        if (root)
            QCOMPARE(::seteuid(0), 0);
        QVERIFY(loaded);
        QCOMPARE(offsetText(w, true), QStringLiteral("0"));
        QCOMPARE(offsetText(w, false), QStringLiteral("-20"));
        QCOMPARE(w.messages.shown.size(), size_t(1));
        const QString told = w.messages.last();
        QVERIFY2(told.contains(QStringLiteral("左右のズレ")) && told.contains(QStringLiteral("許可")),
                 qPrintable(told));
        QVERIFY(!told.contains(QStringLiteral("上下のズレ")));
    }

    // Save: each text unchanged plus CR LF, no BOM, earlier content gone,
    // nothing said; a fresh start reads the values back unchanged.
    void saveWritesExactBytes()
    {
        TestWindow w;
        seed(w, "old content that is longer\r\nand two lines\r\n", "");
        w.click("OnOffBtn");
        w.type("Sayuu_Xtxt", QStringLiteral("-20"));
        w.type("Jyouge_Ytxt", QStringLiteral("5"));
        w.click("HozonBtn");
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("-20\r\n"));
        QCOMPARE(readAll(w.appFile("vanq_y01.txt")), QByteArray("5\r\n"));
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(QDir(w.folders.app).entryList(QDir::Files).size(), 2); // no temporary left
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        QCOMPARE(offsetText(w, true), QStringLiteral("-20"));
        QCOMPARE(offsetText(w, false), QStringLiteral("5"));
    }

    // What would not come back as saved is refused, naming the offset; the
    // files keep what they held.
    void saveRefuses()
    {
        for (const auto& [x, y, named] :
             {std::tuple("abc", "0", "左右のズレ"), std::tuple("0", "", "上下のズレ"),
              std::tuple("12.7", "0", "左右のズレ"), std::tuple("0", "-1001", "上下のズレ")}) {
            TestWindow w(false);
            seed(w, "30\r\n", "-40\r\n");
            QVERIFY(w.form->Form_Load());
            w.setText("Sayuu_Xtxt", QString::fromUtf8(x));
            w.setText("Jyouge_Ytxt", QString::fromUtf8(y));
            w.form->HozonBtn_Click();
            QCOMPARE(w.messages.shown.size(), size_t(1));
            QVERIFY2(w.messages.last().contains(QString::fromUtf8(named)), qPrintable(w.messages.last()));
            QCOMPARE(readAll(w.appFile("vanq_x01.txt")) + readAll(w.appFile("vanq_y01.txt")),
                     QByteArray("30\r\n-40\r\n"));
        }
    }

    // A device that fails half way through a save (a full disk, injected):
    // the user hears it and the earlier file stays whole.
    void saveFailingHalfWayKeepsOldFile()
    {
        TestWindow w(false);
        seed(w, "30\r\n", "-40\r\n");
        w.saveFilter = [](QIODevice& file) { return std::make_unique<FailAfter>(file, 4); };
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        w.setText("Sayuu_Xtxt", QStringLiteral("-555"));
        w.setText("Jyouge_Ytxt", QStringLiteral("7"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("左右のズレ")) &&
                !w.messages.last().contains(QStringLiteral("上下のズレ")));
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")) + readAll(w.appFile("vanq_y01.txt")), QByteArray("30\r\n7\r\n"));
        QCOMPARE(QDir(w.folders.app).entryList(QDir::Files).size(), 2);
        // Written in full, but a folder took its name meanwhile: not saved.
        platform::AtomicFile written(w.appFile("other.txt"), platform::AtomicFile::Replace, QString());
        QVERIFY(written.open() && written.device().write("1") == 1 && QDir().mkpath(w.appFile("other.txt/x")));
        QVERIFY(!written.commit());
    }

    // The program's folder cannot be written (an installed program): the
    // files live in the per-user folder, starting from any files beside the
    // program, and later starts keep reading what was saved there.
    void readOnlyProgramFolderUsesUserFolder()
    {
        TestWindow w(false);
        const SmallMount mount(w.folders.app);
        seed(w, "-20\r\n", "");
        QVERIFY(makeReadOnly(w.folders.app));
        QVERIFY(w.form->Form_Load());
        const QString userX = QDir(w.folders.user).filePath("vanq_x01.txt");
        QCOMPARE(readAll(userX), QByteArray("-20\r\n"));
        QCOMPARE(QFileInfo(QDir(w.folders.user).filePath("vanq_y01.txt")).size(), 0);
        QCOMPARE(offsetText(w, true), QStringLiteral("-20"));
        w.setText("Sayuu_Xtxt", QStringLiteral("55"));
        w.form->HozonBtn_Click();
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(readAll(userX), QByteArray("55\r\n"));
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        QCOMPARE(offsetText(w, true), QStringLiteral("55"));
    }

    // The program's folder turns read-only while the program runs: save
    // does not slip into another folder, it says it could not save; and what
    // was saved in the per-user folder is what a later start reads, even once
    // the program's folder can be written again.
    void folderTurnsReadOnlyMidRun()
    {
        if (!privateMounts())
            QSKIP("needs root for a read-only mount");
        TestWindow w(false);
        const SmallMount mount(w.folders.app);
        seed(w, "30\r\n", "-40\r\n");
        QVERIFY(w.form->Form_Load());
        QVERIFY(makeReadOnly(w.folders.app));
        w.setText("Sayuu_Xtxt", QStringLiteral("70"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("左右のズレ")));
        QVERIFY(!QDir(w.folders.user).exists(QStringLiteral("vanq_x01.txt")));
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("30\r\n"));

        // A run that started read-only saves per user; the next run, with
        // the folder writable again, reads that.
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        w.setText("Sayuu_Xtxt", QStringLiteral("70"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(testing::makeWritable(w.folders.app));
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        QCOMPARE(offsetText(w, true), QStringLiteral("70"));
    }

    void saveOntoFullDeviceKeepsOldFile()
    {
        if (!privateMounts())
            QSKIP("needs root for a small mount of its own");
        TestWindow w(false);
        const SmallMount mount(w.folders.app, "size=32k");
        seed(w, "30\r\n", "-40\r\n");
        QVERIFY(w.form->Form_Load());
        fillUp(w.folders.app);
        w.setText("Jyouge_Ytxt", QStringLiteral("999"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("上下のズレ")));
        QCOMPARE(readAll(w.appFile("vanq_y01.txt")), QByteArray("-40\r\n"));
    }
};

int main(int argc, char** argv)
{
    enterPrivateMounts(); // before any thread exists
    QApplication app(argc, argv);
    OffsetsTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_offsets.moc"
