// Postal codes: typed spellings, look-up in the real data file, damaged
// copies of it, the seven printed boxes, and the command-line look-up.
#include "cli/lookup.h"
#include "postal/directory.h"
#include "postal/postalcode.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

using namespace Qt::StringLiterals;
using postal::LookupStatus;
using postal::Match;
using Boxes = std::array<QString, 7>;

namespace {

const QString dataFile = QStringLiteral(HORUTEA_SOURCE_DIR "/data/postal/jp-postal-codes.bin");

// An address as prefecture|city|town|street|office.
QString fields(const Match& m) { return QStringList{m.prefecture, m.city, m.town, m.street, m.officeName}.join(u'|'); }

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

struct CliRun {
    int exitCode;
    QString out, err;
};

CliRun runCli(const QString& code, const QString& path)
{
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int exitCode = cli::runLookup(code, path, outStream, errStream);
    return {exitCode, out, err};
}

} // namespace

class PostalTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    // One directory for all look-ups of the real file, as in a day's work:
    // blocks are read, kept, and taken again from those kept.
    postal::Directory m_directory{dataFile};

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        QVERIFY2(QFile::exists(dataFile), qPrintable(dataFile));
    }

    // What users type: digits of either width, the hyphens of the keyboard
    // and of the input method in kana mode, spaces around. Anything else is
    // not a postal code.
    void typedSpellings()
    {
        const std::pair<QString, QString> spellings[] = {// typed, digits (empty: not a code)
                                                         {u"1000001"_s, u"1000001"_s},
                                                         {u"100-0001"_s, u"1000001"_s},
                                                         {u"100－0001"_s, u"1000001"_s},
                                                         {u"100‐0001"_s, u"1000001"_s},
                                                         {u"100−0001"_s, u"1000001"_s},
                                                         {u"100ー0001"_s, u"1000001"_s},
                                                         {u"９８７－６５４０"_s, u"9876540"_s},
                                                         {u"1２3-4５6７"_s, u"1234567"_s},
                                                         {u" \u3000100-0001\t"_s, u"1000001"_s},
                                                         {u""_s, {}},
                                                         {u"100000"_s, {}},
                                                         {u"100000001"_s, {}},
                                                         {u"100-00012"_s, {}},
                                                         {u"100-000l"_s, {}},
                                                         {u"100--0001"_s, {}},
                                                         {u"100 0001"_s, {}}};
        for (const auto& [typed, digits] : spellings)
            QVERIFY2(postal::normalizedCode(typed).value_or(QString()) == digits, qPrintable(typed));
    }

    // Rows in this order: a block is read, others after it, then taken
    // again from those kept.
    void lookUps_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("count"); // 0: no such code
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("last");
        QTest::addColumn<QString>("line1"); // offered for address line 1; empty: not checked
        QTest::newRow("ordinary") << u"100-0001"_s << 1 << u"東京都|千代田区|千代田||"_s << QString()
                                  << u"東京都千代田区千代田"_s;
        QTest::newRow("first line of the file")
            << u"0010000"_s << 1 << u"北海道|札幌市北区|||"_s << QString() << QString();
        QTest::newRow("last line of the file")
            << u"999-8531"_s << 1 << u"山形県|飽海郡遊佐町|菅里||"_s << QString() << QString();
        QTest::newRow("66 towns in Japan Post's order")
            << u"452-0961"_s << 66 << u"愛知県|清須市|春日明河原||"_s << u"愛知県|清須市|春日蓮花寺前||"_s << QString();
        QTest::newRow("two prefectures") << u"498-0000"_s << 2 << u"愛知県|弥富市|||"_s << u"三重県|桑名郡木曽岬町|||"_s
                                         << QString();
        QTest::newRow("large office") << u"100-8111"_s << 1 << u"東京都|千代田区|千代田|１－１|宮内庁"_s << QString()
                                      << u"東京都千代田区千代田１－１"_s;
        QTest::newRow("large office without a street")
            << u"018-4693"_s << 1 << u"秋田県|北秋田市|阿仁高津森||阿仁スキー場"_s << QString()
            << u"秋田県北秋田市阿仁高津森"_s;
        QTest::newRow("no such code inside a block") << u"100-0099"_s << 0 << QString() << QString() << QString();
        QTest::newRow("no code with these first three digits")
            << u"000-0000"_s << 0 << QString() << QString() << QString();
    }

    void lookUps()
    {
        QFETCH(QString, typed);
        QFETCH(int, count);
        QFETCH(QString, first);
        QFETCH(QString, last);
        QFETCH(QString, line1);
        const auto result = m_directory.lookup(typed);
        QCOMPARE(result.code, QString(typed).remove(u'-'));
        QCOMPARE(result.matches.size(), count);
        if (count == 0) {
            // The user is told which code, and the date of the data that lacks it.
            QCOMPARE(result.status, LookupStatus::NoSuchCode);
            QVERIFY2(result.message.contains(typed) && result.message.contains(m_directory.dataInfo().value().dataDate),
                     qPrintable(result.message));
            return;
        }
        QCOMPARE(result.status, LookupStatus::Found);
        QVERIFY(result.message.isEmpty());
        QCOMPARE(fields(result.matches.first()), first);
        QCOMPARE(fields(result.matches.last()), last.isEmpty() ? first : last);
        if (!line1.isEmpty())
            QCOMPARE(postal::addressLine1(result.matches.first()), line1);
    }

    // Not a postal code: said so, differently for nothing typed, without
    // looking for the data file. Making a directory reads nothing either:
    // a file that arrives before the first real look-up is found.
    void malformedInputReadsNothing()
    {
        const QString path = m_temp.filePath(u"arrives-later.bin"_s);
        postal::Directory directory(path);
        const auto letters = directory.lookup(u"abcdefg"_s);
        QCOMPARE(letters.status, LookupStatus::Malformed);
        QVERIFY(letters.code.isEmpty() && letters.matches.isEmpty());
        QVERIFY2(letters.message.contains(u"「abcdefg」"_s) && letters.message.contains(u"7桁"_s),
                 qPrintable(letters.message));
        const auto nothing = directory.lookup(u" "_s);
        QCOMPARE(nothing.status, LookupStatus::Malformed);
        QVERIFY2(nothing.message.contains(u"入力されていません"_s), qPrintable(nothing.message));
        QVERIFY(directory.dataError().isEmpty());
        QVERIFY(QFile::copy(dataFile, path));
        QCOMPARE(directory.lookup(u"1000001"_s).status, LookupStatus::Found);
    }

    void dataFileDescribesItself()
    {
        const auto info = m_directory.dataInfo();
        QVERIFY(info);
        QCOMPARE(info->sourcePackage, u"jquery-jpostal-ja"_s);
        // The committed file was built from the version the build script pins.
        const QString script =
            QString::fromUtf8(readAll(QStringLiteral(HORUTEA_SOURCE_DIR "/scripts/build-postal-data.sh")));
        QCOMPARE(
            info->packageVersion,
            QRegularExpression(u"^version=(\\S+)$"_s, QRegularExpression::MultilineOption).match(script).captured(1));
        QVERIFY(QRegularExpression(u"^20[0-9]{2}-[01][0-9]-[0-3][0-9]$"_s).match(info->dataDate).hasMatch());
        QVERIFY(info->codeCount > 100000);
        QVERIFY(info->recordCount >= info->codeCount);
    }

    // A missing, unreadable or damaged file is refused whole, in words that
    // say what is wrong and where, by the window and the command line alike.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("says");
        const auto copy = [this](const char* name, std::function<void(QByteArray&)> damage) {
            QByteArray bytes = readAll(dataFile);
            damage(bytes);
            const QString path = m_temp.filePath(QString::fromLatin1(name));
            return writeFile(path, bytes) ? path : QString();
        };
        const auto flip = [](qsizetype at) { return [at](QByteArray& b) { b[at < 0 ? b.size() + at : at] ^= 0x10; }; };
        QTest::newRow("missing") << m_temp.filePath(u"missing.bin"_s) << u"見つかりません"_s;
        QTest::newRow("a folder") << m_temp.path() << u"読めません"_s;
        QTest::newRow("empty") << copy("empty.bin", [](QByteArray& b) { b.clear(); }) << u"空です"_s;
        QTest::newRow("truncated by one byte")
            << copy("short.bin", [](QByteArray& b) { b.chop(1); }) << u"途中で切れています"_s;
        QTest::newRow("truncated inside the header")
            << copy("header.bin", [](QByteArray& b) { b.truncate(100); }) << u"途中で切れています"_s;
        QTest::newRow("last byte flipped") << copy("flip-last.bin", flip(-1)) << u"壊れています"_s;
        QTest::newRow("byte flipped in the index") << copy("flip-index.bin", flip(1000)) << u"壊れています"_s;
        QTest::newRow("wrong magic") << copy("wrong-magic.bin", [](QByteArray& b) {
            b.replace(0, 8, "PK\x03\x04zip!");
        }) << u"郵便番号データではありません"_s;
        QTest::newRow("newer format") << copy("version2.bin", [](QByteArray& b) { b[8] = 2; }) << u"第2版"_s;
    }

    void damagedFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, says);
        QVERIFY(!path.isEmpty());
        postal::Directory directory(path);
        const auto result = directory.lookup(u"100-0001"_s);
        QCOMPARE(result.status, LookupStatus::DataUnavailable);
        QVERIFY(result.matches.isEmpty());
        QVERIFY2(result.message.contains(says) && result.message.contains(QDir::toNativeSeparators(path)),
                 qPrintable(result.message));
        QCOMPARE(directory.lookup(u"999-8531"_s).message, result.message);
        QVERIFY(!directory.dataInfo());
        QCOMPARE(directory.dataError(), result.message);

        const CliRun run = runCli(u"100-0001"_s, path);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty() && run.err.contains(says));
    }

    // Damage after the file was opened shows when a block is read; from then
    // on the file is not trusted, even for a block read before.
    void damageAfterOpeningIsFoundInTheBlockRead()
    {
        const QString path = m_temp.filePath(u"damaged-later.bin"_s);
        QVERIFY(QFile::copy(dataFile, path));
        postal::Directory directory(path);
        QCOMPARE(directory.lookup(u"100-0001"_s).status, LookupStatus::Found);

        // The blocks lie in code order: the second half holds 999's, not 100's.
        QFile file(path);
        const qint64 size = file.size();
        QVERIFY(file.open(QIODevice::ReadWrite) && file.seek(size / 2));
        QCOMPARE(file.write(QByteArray(size - size / 2, '\x5a')), size - size / 2);
        file.close();
        const auto damaged = directory.lookup(u"999-8531"_s);
        QCOMPARE(damaged.status, LookupStatus::DataUnavailable);
        QVERIFY2(damaged.matches.isEmpty() && damaged.message.contains(u"壊れています"_s), qPrintable(damaged.message));
        QCOMPARE(directory.lookup(u"100-0001"_s).status, LookupStatus::DataUnavailable);
    }

    // One whole character per box, as a reader counts them; a hyphen after
    // the third takes no box, any other character does.
    void printedBoxes()
    {
        const std::pair<QString, QString> printed[] = {// text, boxes separated by '|'
                                                       {u"123ー4567"_s, u"1|2|3|4|5|6|7"_s},
                                                       {u"１２３－４５６７"_s, u"１|２|３|４|５|６|７"_s},
                                                       {u"123-"_s, u"1|2|3||||"_s},
                                                       {QString(), u"||||||"_s},
                                                       {u"123456789"_s, u"1|2|3|4|5|6|7"_s},
                                                       {u"1234-567"_s, u"1|2|3|4|-|5|6"_s},
                                                       {u"123--4567"_s, u"1|2|3|-|4|5|6"_s},
                                                       {u"123𠮷4567"_s, u"1|2|3|𠮷|4|5|6"_s},
                                                       {u"か\u30991-2345"_s, u"か\u3099|1|-|2|3|4|5"_s},
                                                       {u"123-\u03014567"_s, u"1|2|3|-\u0301|4|5|6"_s},
                                                       {u"123-456e\u0301x"_s, u"1|2|3|4|5|6|e\u0301"_s},
                                                       {u"12\r\n34567"_s, u"1|2|\r\n|3|4|5|6"_s}};
        for (const auto& [text, boxes] : printed) {
            const Boxes got = postal::printedBoxes(text);
            QCOMPARE(QStringList(got.begin(), got.end()).join(u'|'), boxes);
        }
    }

    // For scripts: one tab-separated line per address, and exit codes 0
    // found, 1 no such code or not a code (refused before the data file is
    // looked for), 2 data file unusable (damagedFiles).
    void commandLine()
    {
        const CliRun found = runCli(u"4980000"_s, dataFile);
        QVERIFY(found.exitCode == 0 && found.err.isEmpty());
        QCOMPARE(found.out, u"愛知県\t弥富市\t\n三重県\t桑名郡木曽岬町\t\n"_s);
        QCOMPARE(runCli(u"１００８１１１"_s, dataFile).out, u"東京都\t千代田区\t千代田\t１－１\t宮内庁\n"_s);

        const CliRun noSuchCode = runCli(u"100-9999"_s, dataFile);
        QVERIFY(noSuchCode.exitCode == 1 && noSuchCode.out.isEmpty());
        QVERIFY2(noSuchCode.err.contains(u"100-9999"_s) && noSuchCode.err.endsWith(u'\n'), qPrintable(noSuchCode.err));
        const CliRun letters = runCli(u"abc"_s, m_temp.filePath(u"none.bin"_s));
        QVERIFY(letters.exitCode == 1 && letters.out.isEmpty());
        QVERIFY2(letters.err.contains(u"7桁"_s), qPrintable(letters.err));
    }
};

QTEST_GUILESS_MAIN(PostalTest)
#include "tst_postal.moc"
