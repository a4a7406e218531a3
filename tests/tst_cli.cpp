// The command line run in-process: its exit codes, what it says on stderr,
// and what it prints, measured.
#include "doubles.h"
#include "fifo.h"
#include "glyphs.h"
#include "waybillcheck.h"

#include "cli/batch.h"
#include "cli/commandline.h"
#include "cli/lookup.h"
#include "platform/readfile.h"
#include "addressbook/addressbook.h"
#include "history/history.h"
#include "platform/fonts.h"
#include "storage/database.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringConverter>
#include <QTemporaryDir>

using namespace testing;

namespace {

struct Run { int exit = -1; QString out, err; };

class CliTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    TestFolders m_folders;

    Run run(const QStringList& arguments)
    {
        Run r;
        QTextStream out(&r.out), err(&r.err);
        r.exit = cli::run(arguments, m_folders, out, err);
        return r;
    }

    QString csv(const QString& name, const QString& text, bool cp932 = false)
    {
        QStringEncoder encoder(cp932 ? "Shift_JIS" : "UTF-8");
        const QByteArray bytes = encoder(text);
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(f.fileName()));
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        qputenv("CUPS_SERVER", QFile::encodeName(m_dir.filePath(QStringLiteral("no-cups.sock"))));
        platform::installFontSubstitutions();
        for (auto [folder, name] : {std::pair{&m_folders.app, "app"}, std::pair{&m_folders.user, "user"},
                                    std::pair{&m_folders.docs, "docs"}, std::pair{&m_folders.config, "config"}})
            QVERIFY(QDir().mkpath(*folder = m_dir.filePath(QString::fromLatin1(name))));
    }

    void helpVersionAndWrongArguments()
    {
        Run r = run({QStringLiteral("--help")});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.contains(QStringLiteral("--batch")) && r.out.contains(QStringLiteral("--lookup")));
        r = run({QStringLiteral("--version")});
        QCOMPARE(r.exit, 0);
        QVERIFY(r.out.startsWith(QStringLiteral("horutea ")));
        r = run({QStringLiteral("--colour")});
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("分からないオプション")) && r.err.contains(QStringLiteral("colour")), qPrintable(r.err));
        QCOMPARE(run({QStringLiteral("--batch"), QStringLiteral("x.csv"), QStringLiteral("--pdf"), QStringLiteral("a.pdf"),
                      QStringLiteral("--printer"), QStringLiteral("q")}).exit, 2);
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("100-0001")}).out, QStringLiteral("東京都\t千代田区\t千代田\n"));
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("0000000")}).exit, 1);
    }

    // Arguments that cannot be meant as given are refused with exit 2 and
    // the one thing to change; nothing is run, no option quietly wins.
    void argumentsRefusedAsGiven_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("says");
        const QString list = QStringLiteral("x.csv"), a = QStringLiteral("a.pdf"), b = QStringLiteral("b.pdf");
        QTest::newRow("switch with a value") << QStringList{"--batch", list, "--skip-invalid=yes"} << QStringLiteral("--skip-invalid は値をとりません");
        QTest::newRow("--pdf twice") << QStringList{"--batch", list, "--pdf", a, "--pdf", b} << QStringLiteral("--pdf が2回指定されています（「a.pdf」と「b.pdf」）");
        QTest::newRow("--batch twice") << QStringList{"--batch", list, "--batch=y.csv"} << QStringLiteral("--batch が2回");
        QTest::newRow("lookup with batch") << QStringList{"--lookup", "1000001", "--batch", list} << QStringLiteral("--lookup と --batch は一緒に使えません");
        QTest::newRow("sender and no sender") << QStringList{"--batch", list, "--sender", "店", "--no-sender"} << QStringLiteral("--sender と --no-sender");
        QTest::newRow("printer and pdf") << QStringList{"--batch", list, "--pdf", a, "--printer", "q"} << QStringLiteral("--printer と --pdf");
        QTest::newRow("batch option alone") << QStringList{"--pdf", a} << QStringLiteral("--pdf は --batch と一緒に使う");
        QTest::newRow("batch option with lookup") << QStringList{"--lookup", "1000001", "--skip-invalid"} << QStringLiteral("--skip-invalid は --batch と一緒に使う");
        QTest::newRow("value missing") << QStringList{"--batch", list, "--pdf"} << QStringLiteral("--pdf の後に出力.pdfがありません");
        QTest::newRow("option for a value") << QStringList{"--batch", "--pdf", a} << QStringLiteral("--batch の後にファイル.csvがありません");
        QTest::newRow("bare file") << QStringList{list} << QStringLiteral("--batch x.csv と書いてください");
    }
    void argumentsRefusedAsGiven()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, says);
        const Run r = run(arguments);
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(says) && r.err.contains(QStringLiteral("horutea --help")) &&
                     (arguments.size() == 1 || !r.err.contains(arguments.join(QLatin1Char(' ')))),
                 qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
    }

    // --lookup takes a code as an order list's cell would hold it.
    void lookupAcceptsWhatListsAccept()
    {
        for (const QString& code : {QStringLiteral("〒100-0001"), QStringLiteral("〒 1000001"), QStringLiteral("100ｰ0001"),
                                    QStringLiteral("１００－０００１"), QStringLiteral("100‐0001")}) {
            const Run r = run({QStringLiteral("--lookup"), code});
            QCOMPARE(r.exit, 0);
            QCOMPARE(r.out, QStringLiteral("東京都\t千代田区\t千代田\n"));
        }
        QCOMPARE(run({QStringLiteral("--lookup"), QStringLiteral("10-00001")}).exit, 1);
    }

    // A good list prints every row as one document, each page as designed,
    // and records each row in the history with its order number.
    void batchPrintsEveryRow()
    {
        const QString list = csv(QStringLiteral("good.csv"), QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先電話番号\r\n"
            "A-1,100-0001,東京都千代田区千代田1-1,テストビル3F,㈱山田商会,03-1234-5678\r\n"
            "A-2,0600001,北海道札幌市中央区北一条西,\"札幌ビル\r\n2F\",佐藤花子,011-222-3333\r\n"), true);
        const QString pdfPath = m_dir.filePath(QStringLiteral("good.pdf"));
        const Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.out.contains(QStringLiteral("2 件")), qPrintable(r.out + r.err));
        QCOMPARE(pdf::pageCount(pdfPath), 2);
        waybill::Waybill first;
        first.recipient = {QStringLiteral("1000001"), QStringLiteral("東京都千代田区千代田1-1"), QStringLiteral("テストビル3F"),
                           QStringLiteral("㈱山田商会"), {}, false, QStringLiteral("03-1234-5678")};
        checkWaybillPage(pdfPath, 1, first, 0, 0, Corner{}, 0.05);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"), pdfPath, QStringLiteral("-")})
                    .contains(QStringLiteral("札幌ビル 2F"))); // the quoted line break, one line on the form

        storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
        history::History history(database);
        const auto rows = history.search({.orderNumber = QStringLiteral("A-2")});
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.front().record.waybill.recipient.name, QStringLiteral("佐藤花子"));
        QCOMPARE(rows.front().record.destination, pdfPath);
    }

    // A refused row stops the whole list and is named with its line, column
    // and reason; with --skip-invalid the rest prints and the exit says some
    // were refused.
    void refusedRows()
    {
        const QString list = csv(QStringLiteral("mixed.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n"
            "1000001,東京都千代田区千代田1-1,山田太郎\n"
            "600001,北海道札幌市,佐藤花子\n"
            "1000001,東京都千代田区,\n"
            "1000001,東京都千代田区,山田山田山田山田山田山田山田山田山田山田太郎\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("mixed.pdf"));
        Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath});
        QCOMPARE(r.exit, 1);
        QVERIFY(!QFile::exists(pdfPath));
        QVERIFY2(r.err.contains(QStringLiteral("3 行目")) && r.err.contains(QStringLiteral("お届け先郵便番号")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("4 行目")) && r.err.contains(QStringLiteral("お届け先氏名")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("5 行目")) && r.err.contains(QStringLiteral("列「お届け先氏名」")), qPrintable(r.err));
        r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--skip-invalid")});
        QCOMPARE(r.exit, 1);
        QCOMPARE(pdf::pageCount(pdfPath), 1);
    }

    // A character no face can draw refuses its row, named with the line,
    // the field and the character; an ideograph the print's face lacks (𠮷)
    // prints.
    void charactersWithoutGlyph()
    {
        const QString none = characterNoFaceHas();
        const QString list = csv(QStringLiteral("glyphs.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区,𠮷田太郎\n1000001,東京都千代田区,田中%1\n").arg(none));
        const QString pdfPath = m_dir.filePath(QStringLiteral("glyphs.pdf"));
        Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--no-sender")});
        QCOMPARE(r.exit, 1);
        QVERIFY2(r.err.contains(QStringLiteral("3 行目")) && r.err.contains(QStringLiteral("お届け先の名前の「%1」").arg(none)) &&
                     !r.err.contains(QStringLiteral("2 行目")),
                 qPrintable(r.err));
        r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--no-sender"), QStringLiteral("--skip-invalid")});
        QCOMPARE(r.exit, 1);
        QCOMPARE(pdf::pageCount(pdfPath), 1);
    }

    // Headings the run takes on its own are said where they may drop a part.
    void headingNotesOnStderr()
    {
        const QString list = csv(QStringLiteral("tel.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名,ＴＥＬ\n1000001,東京都,山田,03-1234-5678\n"));
        const Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), m_dir.filePath(QStringLiteral("tel.pdf")), QStringLiteral("--no-sender")});
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.contains(QStringLiteral("「ＴＥＬ」（4列目）は「電話番号」の列のよう")), qPrintable(r.err));
    }

    // The list changed while its pages are made, as another program saving
    // over it would: rewritten in place, or cut short. Each row carries an
    // unprinted note longer than a read-ahead, so every row after the change
    // comes fresh from the disk. The run stops at the first row that is not
    // the one checked, names its line, and leaves no file and no history.
    void listChangedWhilePrinting()
    {
        const QString note = QString(70000, QLatin1Char('x'));
        auto listText = [&](const QString& family) {
            QString text = QStringLiteral("備考,お届け先郵便番号,お届け先住所1,お届け先氏名\n");
            for (int i = 0; i < 12; ++i)
                text += QStringLiteral("%1,1000001,東京都千代田区千代田1-%2,%3%2\n").arg(note).arg(i).arg(family);
            return text.toUtf8();
        };
        const QByteArray original = listText(QStringLiteral("鶴田"));
        const QByteArray renamed = listText(QStringLiteral("亀田"));
        QCOMPARE(renamed.size(), original.size());
        const qsizetype line8 = original.indexOf(note.toUtf8(), original.indexOf("\n") + 6 * (note.size() + 10)); // row 6 starts
        QVERIFY(line8 > 0 && original.lastIndexOf('\n', line8) == line8 - 1);

        const std::pair<QByteArray, QString> changes[] = {
            {renamed, QStringLiteral("5行目の中身が、確かめた後でファイルの中で変わりました")},
            {original.left(line8), QStringLiteral("8行目が、確かめた後でファイルから無くなりました")},
        };
        for (const auto& [changed, said] : changes) {
            const QString path = csv(QStringLiteral("changing.csv"), QString::fromUtf8(original));
            const QString pdfPath = m_dir.filePath(QStringLiteral("changing.pdf"));
            cli::BatchRequest request{.csvPath = path, .pdfPath = pdfPath};
            request.progress = [&, changedBytes = changed](int done, int) {
                if (done == 3) {
                    QFile f(path);
                    if (!f.open(QIODevice::ReadWrite) || !f.resize(changedBytes.size()) || f.write(changedBytes) != changedBytes.size())
                        qFatal("cannot change the list");
                }
                return true;
            };
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::runBatch(request, m_folders, out, err);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(said) && r.err.contains(QStringLiteral("印刷されていません")), qPrintable(r.err));
            QVERIFY(!QFile::exists(pdfPath));
        }
        storage::Database database(QDir(m_folders.user).filePath(QStringLiteral("horutea.sqlite")));
        QVERIFY(history::History(database).search({.name = QStringLiteral("鶴田")}).isEmpty());
    }

    // The sender is never silently blank. None saved: the run says the
    // waybills carry none, unless --no-sender says so on purpose. A book
    // held by another program is waited for, then the run stops (exit 2),
    // as it does for a damaged book, whose saved senders are in the file
    // set aside; what is printed then is recorded in the new file, and said.
    void senderNeverSilentlyBlank()
    {
        TestFolders folders = m_folders;
        folders.user = m_dir.filePath(QStringLiteral("sender-user"));
        QVERIFY(QDir().mkpath(folders.user));
        const QString bookPath = QDir(folders.user).filePath(QStringLiteral("horutea.sqlite"));
        const QString list = csv(QStringLiteral("sender.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,松田\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("sender.pdf"));
        const auto batch = [&](bool noSender, int lockWaitMs = 10000) {
            cli::BatchRequest request{.csvPath = list, .pdfPath = pdfPath, .noSender = noSender, .lockWaitMs = lockWaitMs};
            Run r;
            QTextStream out(&r.out), err(&r.err);
            r.exit = cli::runBatch(request, folders, out, err);
            return r;
        };
        const QString noneNote = QStringLiteral("ご依頼主を印刷しません");

        Run r = batch(false);
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.contains(noneNote) && r.err.contains(QStringLiteral("--no-sender")), qPrintable(r.err));
        r = batch(true);
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));

        {
            storage::Database database(bookPath);
            QVERIFY(addressbook::AddressBook(database).save(addressbook::Kind::Sender,
                                                            {"1500001", "東京都渋谷区", "", "ホルテア商店", {}, false, "03-5555-0000"}));
        }
        {
            QSqlDatabase holder = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("holder"));
            holder.setDatabaseName(bookPath);
            QVERIFY(holder.open());
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("PRAGMA locking_mode = EXCLUSIVE")));
            QVERIFY(QSqlQuery(holder).exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QFile::remove(pdfPath);
            QElapsedTimer waited;
            waited.start();
            r = batch(false, 1500);
            QVERIFY(waited.elapsed() >= 1500);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("別のプログラムが使っています")) && r.err.contains(QStringLiteral("何も印刷しませんでした")),
                     qPrintable(r.err));
            QVERIFY(!QFile::exists(pdfPath));
            holder.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("holder"));
        r = batch(false);
        QCOMPARE(r.exit, 0);
        QVERIFY2(!r.err.contains(noneNote), qPrintable(r.err));
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {pdfPath, QStringLiteral("-")}).contains(QStringLiteral("ホルテア商店")));

        const auto damage = [&] {
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(bookPath + QLatin1String(suffix));
            QFile file(bookPath);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, 'x')) == 8192);
        };
        damage();
        QFile::remove(pdfPath);
        r = batch(false);
        QCOMPARE(r.exit, 2);
        QVERIFY2(r.err.contains(QStringLiteral("壊れて")) && r.err.contains(QStringLiteral("--no-sender")), qPrintable(r.err));
        QVERIFY(!QFile::exists(pdfPath));
        damage();
        r = batch(true);
        QCOMPARE(r.exit, 0);
        QVERIFY2(r.err.contains(QStringLiteral("印刷した分は履歴に記録しました")) && !r.err.contains(QStringLiteral("記録されていません")),
                 qPrintable(r.err));
        storage::Database fresh(bookPath);
        QCOMPARE(history::History(fresh).search({.name = QStringLiteral("松田")}).size(), 1);
    }

    // A named pipe where a file is read or written (the list, the settings,
    // the postal data, the PDF) stops the run at once with exit 2 and says
    // what it is; none is waited on, none is replaced.
    void namedPipesAndFolders()
    {
        const QString list = csv(QStringLiteral("plain.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("plain.pdf"));
        const auto batch = [&](const QString& csvPath, const QString& pdf) {
            return run({QStringLiteral("--batch"), csvPath, QStringLiteral("--pdf"), pdf});
        };
        {
            const GuardedFifo pipe(m_dir.filePath(QStringLiteral("pipe.csv")));
            const Run r = batch(pipe.path(), pdfPath);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("注文一覧")) && r.err.contains(QStringLiteral("名前付きパイプ")), qPrintable(r.err));
            QVERIFY(!pipe.released());
        }
        {
            const GuardedFifo settings(m_folders.settingsFile());
            const Run r = batch(list, pdfPath);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("設定ファイル")) && r.err.contains(QStringLiteral("名前付きパイプ")), qPrintable(r.err));
            QVERIFY(!settings.released());
        }
        {
            const GuardedFifo out(m_dir.filePath(QStringLiteral("pipe.pdf")));
            const Run r = batch(list, out.path());
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("ふつうのファイルではありません")), qPrintable(r.err));
            QCOMPARE(platform::kindOfFile(out.path()), platform::FileKind::Special);
        }
        {
            const Run r = batch(list, m_dir.path());
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("フォルダです")) && !r.err.contains(QStringLiteral("（）")), qPrintable(r.err));
        }
        {
            const GuardedFifo data(m_dir.filePath(QStringLiteral("postal.bin")));
            Run r;
            QTextStream out(&r.out), err(&r.err);
            QCOMPARE(cli::runLookup(QStringLiteral("100-0001"), data.path(), out, err), int(cli::lookupDataUnavailable));
            QVERIFY2(r.err.contains(QStringLiteral("ふつうのファイルではありません")), qPrintable(r.err));
            QVERIFY(!data.released());
        }
        QVERIFY(!QFile::exists(pdfPath));
    }

    // A form size kept in the settings passes the checks of a typed one: one
    // that cannot be (not a number, too small or too large) stops the run.
    void formSizeFromTheSettings()
    {
        const QString list = csv(QStringLiteral("form.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("form.pdf"));
        for (const char* width : {"inf", "1e308", "0.0001", "10", "100000", "nan"}) {
            QFile settings(m_folders.settingsFile());
            QVERIFY(settings.open(QIODevice::WriteOnly | QIODevice::Truncate));
            settings.write(QByteArray("[form]\nwidthMm=") + width + "\nlengthMm=254\n");
            settings.close();
            const Run r = run({QStringLiteral("--batch"), list, QStringLiteral("--pdf"), pdfPath});
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(QStringLiteral("連続用紙の大きさ")) && r.err.contains(QStringLiteral("50～600 mm")), qPrintable(r.err));
            QVERIFY(!QFile::exists(pdfPath));
        }
        QVERIFY(QFile::remove(m_folders.settingsFile()));
    }

    // Lists that cannot run at all: exit 2, stderr naming the cause, no file.
    void cannotRun()
    {
        const QString list = csv(QStringLiteral("ok.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n"));
        const QString strange = csv(QStringLiteral("strange.csv"), QStringLiteral("a,b,c\n1,2,3\n"));
        const QString pdfPath = m_dir.filePath(QStringLiteral("x.pdf"));
        const std::pair<QStringList, QString> cases[] = {
            {{m_dir.filePath(QStringLiteral("missing.csv")), QStringLiteral("--pdf"), pdfPath}, QStringLiteral("missing.csv")},
            {{list, QStringLiteral("--printer"), QStringLiteral("no-such-queue")}, QStringLiteral("no-such-queue")},
            {{list, QStringLiteral("--pdf"), pdfPath, QStringLiteral("--sender"), QStringLiteral("知らない店")}, QStringLiteral("知らない店")},
            {{strange, QStringLiteral("--pdf"), pdfPath}, QStringLiteral("一括印刷")},
            {{list, QStringLiteral("--pdf"), m_dir.filePath(QStringLiteral("no-folder/x.pdf"))}, QStringLiteral("印刷されていません")},
        };
        for (const auto& [arguments, named] : cases) {
            const Run r = run(QStringList{QStringLiteral("--batch")} + arguments);
            QCOMPARE(r.exit, 2);
            QVERIFY2(r.err.contains(named), qPrintable(r.err));
        }
        QVERIFY(!QFile::exists(pdfPath));
    }
};

} // namespace

QTEST_MAIN(CliTest)
#include "tst_cli.moc"
