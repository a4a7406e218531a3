// Offset files: created at start-up, read by their rules into the spin
// controls and boxes, saved whole or not at all.
#include "mounts.h"
#include "support.h"

#include "adjust/offsets.h"
#include "app/updown.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>

using namespace testing;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

} // namespace

class OffsetsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    void freshFolderCreatesEmptyFiles()
    {
        TestWindow w;
        for (const char* name : {"vanq_x01.txt", "vanq_y01.txt"}) {
            const QFileInfo info(w.appFile(name));
            QVERIFY2(info.isFile(), name);
            QCOMPARE(info.size(), 0);
        }
        // The names are joined to the folder, not glued behind a backslash.
        QCOMPARE(QDir(w.folders.app).entryList(QDir::Files), (QStringList{"vanq_x01.txt", "vanq_y01.txt"}));
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("0"));
        QCOMPARE(w.c<QLineEdit>("Jyouge_Ytxt")->text(), QStringLiteral("0"));
        QVERIFY(w.c("CyouseiFrm")->isHidden());
    }

    void existingFilesUntouched()
    {
        TestWindow pre(false);
        writeFile(pre.appFile("vanq_x01.txt"), "-35\r\n");
        writeFile(pre.appFile("vanq_y01.txt"), "40\r\n");
        const QDateTime before = QFileInfo(pre.appFile("vanq_x01.txt")).lastModified();
        QTest::qWait(20);
        QVERIFY(pre.form->Form_Load());
        QCOMPARE(readAll(pre.appFile("vanq_x01.txt")), QByteArray("-35\r\n"));
        QCOMPARE(readAll(pre.appFile("vanq_y01.txt")), QByteArray("40\r\n"));
        QCOMPARE(QFileInfo(pre.appFile("vanq_x01.txt")).lastModified(), before);
        QCOMPARE(pre.c<app::UpDown>("UpDownX")->value(), -35);
        QCOMPARE(pre.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("-35"));
        QCOMPARE(pre.c<app::UpDown>("UpDownY")->value(), 40);
        QCOMPARE(pre.c<QLineEdit>("Jyouge_Ytxt")->text(), QStringLiteral("40"));
    }

    void readingRules_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("offset");
        QTest::newRow("one line") << QByteArray("-35\r\n") << -35;
        QTest::newRow("no line end") << QByteArray("25") << 25;
        QTest::newRow("two lines joined") << QByteArray("1\r\n2\r\n") << 12;
        QTest::newRow("half to even down") << QByteArray("12.5\r\n") << 12;
        QTest::newRow("half to even up") << QByteArray("13.5\r\n") << 14;
        QTest::newRow("negative half") << QByteArray("-2.5\r\n") << -2;
        QTest::newRow("blanks around") << QByteArray("  7 \r\n") << 7;
        QTest::newRow("grouping") << QByteArray("1,000\r\n") << 1000;
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("one empty line") << QByteArray("\r\n") << 0;
        QTest::newRow("not a number") << QByteArray("abc\r\n") << 0;
        QTest::newRow("number then text") << QByteArray("12abc\r\n") << 0;
        QTest::newRow("above range") << QByteArray("2000\r\n") << 1000;
        QTest::newRow("below range") << QByteArray("-99999999999\r\n") << -1000;
        QTest::newRow("at the ends") << QByteArray("-1000\r\n") << -1000;
        QTest::newRow("infinity spelled") << QByteArray("inf\r\n") << 0;
        QTest::newRow("binary") << QByteArray("\x00\xff\xfe\x01\x80", 5) << 0;
        QTest::newRow("huge") << QByteArray(8 * 1024 * 1024, '1') << 0;
    }

    void readingRules()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, offset);
        TestWindow w(false);
        writeFile(w.appFile("vanq_x01.txt"), content);
        writeFile(w.appFile("vanq_y01.txt"), content);
        QElapsedTimer timer;
        timer.start();
        QVERIFY(w.form->Form_Load());
        QVERIFY(timer.elapsed() < 2000);
        QCOMPARE(w.c<app::UpDown>("UpDownX")->value(), offset);
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), QString::number(offset));
        QCOMPARE(w.c<app::UpDown>("UpDownY")->value(), offset);
        QCOMPARE(w.c<QLineEdit>("Jyouge_Ytxt")->text(), QString::number(offset));
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")).size(), content.size()); // left as it was
    }

    // A file that cannot be read (here a folder in its place) gives 0 and
    // the program starts.
    void unreadableFileGivesZero()
    {
        TestWindow w(false);
        QVERIFY(QDir().mkpath(w.appFile("vanq_x01.txt")));
        writeFile(w.appFile("vanq_y01.txt"), "30\r\n");
        QVERIFY(w.form->Form_Load());
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("0"));
        QCOMPARE(w.c<QLineEdit>("Jyouge_Ytxt")->text(), QStringLiteral("30"));
    }

    // An installed program's folder cannot be written: the files live in the
    // per-user data folder, starting from any files beside the program.
    void readOnlyProgramFolderUsesUserFolder()
    {
        TestWindow w(false);
        const SmallMount mount(w.folders.app);
        writeFile(w.appFile("vanq_x01.txt"), "-20\r\n");
        QVERIFY(makeReadOnly(w.folders.app));
        QVERIFY(w.form->Form_Load());
        const QString userX = QDir(w.folders.user).filePath("vanq_x01.txt");
        const QString userY = QDir(w.folders.user).filePath("vanq_y01.txt");
        QCOMPARE(readAll(userX), QByteArray("-20\r\n"));
        QCOMPARE(QFileInfo(userY).size(), 0);
        QVERIFY(!QFile::exists(w.appFile("vanq_y01.txt")));
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("-20"));

        // Saving goes there too, and a fresh start reads it back.
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("55"));
        w.form->HozonBtn_Click();
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(readAll(userX), QByteArray("55\r\n"));
        TestWindow again(false);
        again.folders.app = w.folders.app;
        again.folders.user = w.folders.user;
        QVERIFY(again.form->Form_Load());
        QCOMPARE(again.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("55"));
    }

    // Saving: the box's text unchanged plus CR LF, no BOM, earlier content
    // gone, nothing said on success; a fresh start reads the values back.
    void saveWritesExactBytes()
    {
        TestWindow w;
        writeFile(w.appFile("vanq_x01.txt"), "old content that is longer\r\nand two lines\r\n");
        w.form->show();
        QTest::mouseClick(w.c("OnOffBtn"), Qt::LeftButton);
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("-20"));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("5"));
        QTest::mouseClick(w.c("HozonBtn"), Qt::LeftButton);
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("-20\r\n"));
        QCOMPARE(readAll(w.appFile("vanq_y01.txt")), QByteArray("5\r\n"));
        QVERIFY(w.messages.shown.empty());
        QCOMPARE(QDir(w.folders.app).entryList(QDir::Files).size(), 2); // no temporary left

        // Text that is not a number is written as it stands.
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QString());
        QTest::mouseClick(w.c("HozonBtn"), Qt::LeftButton);
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("\r\n"));
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("-20"));
        QTest::mouseClick(w.c("HozonBtn"), Qt::LeftButton);

        TestWindow again(false);
        again.folders.app = w.folders.app;
        QVERIFY(again.form->Form_Load());
        QCOMPARE(again.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("-20"));
        QCOMPARE(again.c<app::UpDown>("UpDownX")->value(), -20);
        QCOMPARE(again.c<QLineEdit>("Jyouge_Ytxt")->text(), QStringLiteral("5"));
    }

    void saveIntoReadOnlyFolderKeepsOldFile()
    {
        if (!privateMounts())
            QSKIP("needs root for a read-only mount");
        TestWindow w(false);
        const SmallMount app(w.folders.app), user(w.folders.user);
        QVERIFY(app.mounted() && user.mounted());
        QVERIFY(makeReadOnly(w.folders.app));
        QVERIFY(w.form->Form_Load());
        const adjust::OffsetFiles files(w.folders);
        QCOMPARE(QFileInfo(files.horizontalPath()).absolutePath(), w.folders.user);
        writeFile(files.horizontalPath(), "30\r\n");
        writeFile(files.verticalPath(), "-40\r\n");
        // Neither folder can be written any more (a share gone read-only,
        // say): the save fails and says so.
        QVERIFY(makeReadOnly(w.folders.user));
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("70"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("左右のズレ")));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("上下のズレ")));
        QCOMPARE(readAll(files.horizontalPath()), QByteArray("30\r\n"));
        QCOMPARE(readAll(files.verticalPath()), QByteArray("-40\r\n"));
        QCOMPARE(w.c<QLineEdit>("Sayuu_Xtxt")->text(), QStringLiteral("70"));
    }

    void saveOntoFullDeviceKeepsOldFile()
    {
        if (!privateMounts())
            QSKIP("needs root for a small mount of its own");
        TestWindow w(false);
        const SmallMount mount(w.folders.app, "size=32k");
        QVERIFY(mount.mounted());
        writeFile(w.appFile("vanq_x01.txt"), "30\r\n");
        writeFile(w.appFile("vanq_y01.txt"), "-40\r\n");
        QVERIFY(w.form->Form_Load());
        fillUp(w.folders.app);
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("123456789"));
        w.form->HozonBtn_Click();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.shown[0].text.contains(QStringLiteral("上下のズレ")));
        QCOMPARE(readAll(w.appFile("vanq_x01.txt")), QByteArray("30\r\n"));
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
