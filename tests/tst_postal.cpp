// Postal codes: typed spellings, look-up in the real data file, damaged
// copies of it, the seven printed boxes, and the command-line look-up.
#include "cli/lookup.h"
#include "postal/directory.h"
#include "postal/postalcode.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QSet>
#include <QTest>
#include <QtEndian>
#include <functional>
#include <map>
#include <zlib.h>

using namespace Qt::StringLiterals;
using postal::LookupStatus;
using postal::Match;

namespace postal {
// Readable failures for QCOMPARE on matches.
char* toString(const Match& m)
{
    return QTest::toString(QStringList{m.prefecture, m.city, m.town, m.street, m.officeName}.join(u'|'));
}
} // namespace postal

namespace {

const QString dataFile = QStringLiteral(HORUTEA_SOURCE_DIR "/data/postal/jp-postal-codes.bin");

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

// Overwrites bytes in place, as damage on disk would: same file, same size.
bool overwriteInPlace(const QString& path, qint64 at, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::ReadWrite) && f.seek(at) && f.write(bytes) == bytes.size();
}

QString pinnedPackageVersion()
{
    const QString script = QString::fromUtf8(readAll(QStringLiteral(HORUTEA_SOURCE_DIR "/scripts/build-postal-data.sh")));
    return QRegularExpression(QStringLiteral("^version=(\\S+)$"), QRegularExpression::MultilineOption).match(script).captured(1);
}

template <typename Number>
void append(QByteArray& bytes, Number n)
{
    const Number le = qToLittleEndian(n);
    bytes.append(reinterpret_cast<const char*>(&le), sizeof le);
}

quint32 crc32Of(const QByteArray& bytes)
{
    return quint32(crc32(0, reinterpret_cast<const Bytef*>(bytes.constData()), uInt(bytes.size())));
}

// A data file in the program's format with every length and CRC right, for
// contents that only a faulty build could produce. Blocks are given
// uncompressed per first three digits; headerTexts are the 1-byte-length
// texts after the fixed header.
QByteArray consistentDataFile(const std::map<int, QByteArray>& blockTexts,
                              const QByteArray& headerTexts = QByteArray("\x04test\x03" "0.0\x0a" "2000-01-01"))
{
    constexpr int prefixCount = 1000;
    const quint32 headerBytes = quint32(32 + headerTexts.size() + prefixCount * 16 + 4);
    QByteArray index, payload;
    for (int prefix = 0; prefix < prefixCount; ++prefix) {
        const auto block = blockTexts.find(prefix);
        if (block == blockTexts.end()) {
            index.append(16, '\0');
            continue;
        }
        const QByteArray stored = qCompress(block->second).mid(4); // without Qt's length prefix: a zlib stream
        append(index, quint32(headerBytes + payload.size()));
        append(index, quint32(stored.size()));
        append(index, quint32(block->second.size()));
        append(index, crc32Of(stored));
        payload += stored;
    }
    QByteArray header("JPPOSTAL");
    append(header, quint16(1));
    append(header, quint16(prefixCount));
    append(header, headerBytes);
    append(header, quint32(headerBytes + payload.size()));
    append(header, quint32(1)); // records
    append(header, quint32(1)); // codes
    append(header, crc32Of(payload));
    header += headerTexts + index;
    append(header, crc32Of(header));
    return header + payload;
}

using Boxes = std::array<QString, 7>;

Boxes boxes(std::initializer_list<const char16_t*> texts)
{
    Boxes b;
    size_t i = 0;
    for (const char16_t* text : texts)
        b[i++] = QString::fromUtf16(text);
    return b;
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

    // A copy of the data file with its bytes changed by `damage`.
    QString damagedCopy(const QString& name, const std::function<void(QByteArray&)>& damage)
    {
        QByteArray bytes = readAll(dataFile);
        damage(bytes);
        const QString path = m_temp.filePath(name);
        return writeFile(path, bytes) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_temp.isValid());
        QVERIFY2(QFile::exists(dataFile), qPrintable(dataFile));
    }

    void typedSpellings_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("digits"); // empty: malformed
        QTest::newRow("seven digits") << u"1000001"_s << u"1000001"_s;
        QTest::newRow("hyphen-minus") << u"100-0001"_s << u"1000001"_s;
        QTest::newRow("full-width hyphen-minus") << u"100－0001"_s << u"1000001"_s;
        QTest::newRow("hyphen") << u"100‐0001"_s << u"1000001"_s;
        QTest::newRow("minus sign") << u"100−0001"_s << u"1000001"_s;
        QTest::newRow("long-vowel mark") << u"100ー0001"_s << u"1000001"_s;
        QTest::newRow("full-width digits") << u"１２３４５６７"_s << u"1234567"_s;
        QTest::newRow("full-width with hyphen") << u"９８７－６５４３"_s << u"9876543"_s;
        QTest::newRow("mixed widths") << u"1２3-4５6７"_s << u"1234567"_s;
        QTest::newRow("surrounding spaces") << u" \u3000100-0001\t"_s << u"1000001"_s;
        QTest::newRow("empty") << u""_s << QString();
        QTest::newRow("spaces only") << u"  "_s << QString();
        QTest::newRow("six digits") << u"100000"_s << QString();
        QTest::newRow("nine digits") << u"100000001"_s << QString();
        QTest::newRow("eight digits with hyphen") << u"100-00012"_s << QString();
        QTest::newRow("letters") << u"abcdefg"_s << QString();
        QTest::newRow("letter among digits") << u"100-000l"_s << QString();
        QTest::newRow("hyphen after the fourth digit") << u"1000-001"_s << QString();
        QTest::newRow("two hyphens") << u"100--0001"_s << QString();
        QTest::newRow("trailing hyphen") << u"1000001-"_s << QString();
        QTest::newRow("space inside") << u"100 0001"_s << QString();
        QTest::newRow("other dash") << u"100–0001"_s << QString();
    }

    void typedSpellings()
    {
        QFETCH(QString, typed);
        QFETCH(QString, digits);
        const auto normalized = postal::normalizedCode(typed);
        QCOMPARE(normalized.has_value(), !digits.isEmpty());
        if (normalized)
            QCOMPARE(*normalized, digits);
    }

    void ordinaryCodes()
    {
        postal::Directory directory(dataFile);
        const auto chiyoda = directory.lookup(u"100-0001"_s);
        QCOMPARE(chiyoda.status, LookupStatus::Found);
        QCOMPARE(chiyoda.code, u"1000001"_s);
        QVERIFY(chiyoda.message.isEmpty());
        QCOMPARE(chiyoda.matches, (QList<Match>{{u"東京都"_s, u"千代田区"_s, u"千代田"_s, {}, {}}}));
        QVERIFY(!chiyoda.matches[0].isLargeOffice());
        QCOMPARE(postal::addressLine1(chiyoda.matches[0]), u"東京都千代田区千代田"_s);

        // The first and last line of their blocks, and of the whole file.
        QCOMPARE(directory.lookup(u"1000000"_s).matches, (QList<Match>{{u"東京都"_s, u"千代田区"_s, {}, {}, {}}}));
        QCOMPARE(directory.lookup(u"0010000"_s).matches, (QList<Match>{{u"北海道"_s, u"札幌市北区"_s, {}, {}, {}}}));
        QCOMPARE(directory.lookup(u"999-8531"_s).matches, (QList<Match>{{u"山形県"_s, u"飽海郡遊佐町"_s, u"菅里"_s, {}, {}}}));
        QCOMPARE(directory.lookup(u"900-0001"_s).matches, (QList<Match>{{u"沖縄県"_s, u"那覇市"_s, u"港町"_s, {}, {}}}));
    }

    void everySpellingFindsTheSameAddress()
    {
        postal::Directory directory(dataFile);
        const auto expected = directory.lookup(u"1000001"_s).matches;
        QCOMPARE(expected.size(), 1);
        for (const QString& typed : {u"100-0001"_s, u"100－0001"_s, u"100‐0001"_s, u"100−0001"_s, u"100ー0001"_s,
                                     u"１０００００１"_s, u"１００－０００１"_s, u"１００ー０００１"_s}) {
            const auto result = directory.lookup(typed);
            QVERIFY2(result.status == LookupStatus::Found, qPrintable(typed));
            QCOMPARE(result.matches, expected);
        }
    }

    void codeWithManyTowns()
    {
        postal::Directory directory(dataFile);
        const auto kiyosu = directory.lookup(u"452-0961"_s);
        QCOMPARE(kiyosu.status, LookupStatus::Found);
        QCOMPARE(kiyosu.matches.size(), 66);
        QSet<QString> towns;
        for (const Match& m : kiyosu.matches) {
            QCOMPARE(m.prefecture, u"愛知県"_s);
            QCOMPARE(m.city, u"清須市"_s);
            towns.insert(m.town);
        }
        QCOMPARE(towns.size(), 66);
        QCOMPARE(kiyosu.matches.first().town, u"春日明河原"_s); // Japan Post's order is kept

        // One code, two cities.
        const auto sapporo = directory.lookup(u"0040000"_s);
        QCOMPARE(sapporo.matches, (QList<Match>{{u"北海道"_s, u"札幌市厚別区"_s, {}, {}, {}}, {u"北海道"_s, u"札幌市清田区"_s, {}, {}, {}}}));
    }

    void codeSpanningTwoPrefectures()
    {
        postal::Directory directory(dataFile);
        QCOMPARE(directory.lookup(u"498-0000"_s).matches,
                 (QList<Match>{{u"愛知県"_s, u"弥富市"_s, {}, {}, {}}, {u"三重県"_s, u"桑名郡木曽岬町"_s, {}, {}, {}}}));
        QCOMPARE(directory.lookup(u"618-0000"_s).matches,
                 (QList<Match>{{u"京都府"_s, u"乙訓郡大山崎町"_s, {}, {}, {}}, {u"大阪府"_s, u"三島郡島本町"_s, {}, {}, {}}}));
        QCOMPARE(directory.lookup(u"871-0000"_s).matches,
                 (QList<Match>{{u"福岡県"_s, u"築上郡吉富町"_s, {}, {}, {}}, {u"大分県"_s, u"中津市"_s, {}, {}, {}}}));
    }

    void largeOfficeCodes()
    {
        postal::Directory directory(dataFile);
        const auto agency = directory.lookup(u"100-8111"_s);
        QCOMPARE(agency.matches, (QList<Match>{{u"東京都"_s, u"千代田区"_s, u"千代田"_s, u"１－１"_s, u"宮内庁"_s}}));
        QVERIFY(agency.matches[0].isLargeOffice());
        QCOMPARE(postal::addressLine1(agency.matches[0]), u"東京都千代田区千代田１－１"_s);

        // The last line of its block.
        const auto bank = directory.lookup(u"1008996"_s);
        QCOMPARE(bank.matches.size(), 1);
        QCOMPARE(bank.matches[0].officeName, u"株式会社\u3000ゆうちょ銀行\u3000本店"_s);
        QCOMPARE(postal::addressLine1(bank.matches[0]), u"東京都千代田区丸の内２－７－２"_s);

        // An office without a street number.
        const auto skiArea = directory.lookup(u"018-4693"_s);
        QCOMPARE(skiArea.matches, (QList<Match>{{u"秋田県"_s, u"北秋田市"_s, u"阿仁高津森"_s, {}, u"阿仁スキー場"_s}}));
        QVERIFY(skiArea.matches[0].isLargeOffice());
        QCOMPARE(postal::addressLine1(skiArea.matches[0]), u"秋田県北秋田市阿仁高津森"_s);
    }

    void codesThatDoNotExist()
    {
        postal::Directory directory(dataFile);
        const QString dataDate = directory.dataInfo().value().dataDate;
        // Inside a block, past its last code, and a first three digits no code has.
        for (const QString& typed : {u"1000099"_s, u"100-9999"_s, u"000-0000"_s}) {
            const auto result = directory.lookup(typed);
            QCOMPARE(result.status, LookupStatus::NoSuchCode);
            QVERIFY(result.matches.isEmpty());
            QVERIFY2(result.message.contains(postal::displayCode(result.code)), qPrintable(result.message));
            QVERIFY2(result.message.contains(dataDate), qPrintable(result.message));
        }
    }

    void malformedInputIsToldApartAndReadsNothing()
    {
        // A missing data file would make any look-up that reaches it fail.
        postal::Directory directory(m_temp.filePath(u"absent.bin"_s));
        QString previousMessage;
        for (const QString& typed : {u"abcdefg"_s, u"100000"_s, u"100000001"_s, u""_s}) {
            const auto result = directory.lookup(typed);
            QCOMPARE(result.status, LookupStatus::Malformed);
            QVERIFY(result.matches.isEmpty());
            QVERIFY(result.code.isEmpty());
            QVERIFY(result.message.contains(u"7桁"_s));
            QVERIFY(result.message != previousMessage);
            previousMessage = result.message;
        }
        QVERIFY(directory.lookup(u"abcdefg"_s).message.contains(u"abcdefg"_s));
        QVERIFY(directory.lookup(u""_s).message.contains(u"入力されていません"_s));
        QVERIFY(directory.dataError().isEmpty());
    }

    void nothingIsReadBeforeTheFirstLookUp()
    {
        const QString path = m_temp.filePath(u"arrives-later.bin"_s);
        postal::Directory directory(path);
        QVERIFY(directory.dataError().isEmpty());
        QVERIFY(QFile::copy(dataFile, path));
        QCOMPARE(directory.lookup(u"1000001"_s).status, LookupStatus::Found);
    }

    void dataFileDescribesItself()
    {
        postal::Directory directory(dataFile);
        const auto info = directory.dataInfo();
        QVERIFY(info);
        QCOMPARE(info->sourcePackage, u"jquery-jpostal-ja"_s);
        // The committed file was built from the version the build script pins.
        QCOMPARE(info->packageVersion, pinnedPackageVersion());
        QVERIFY(QRegularExpression(u"^20[0-9]{2}-[01][0-9]-[0-3][0-9]$"_s).match(info->dataDate).hasMatch());
        QVERIFY(info->codeCount > 100000);
        QVERIFY(info->recordCount >= info->codeCount);
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("says");
        const auto copy = [this](const char* name, std::function<void(QByteArray&)> damage) {
            return damagedCopy(QString::fromLatin1(name), damage);
        };
        QTest::newRow("missing") << m_temp.filePath(u"missing.bin"_s) << u"見つかりません"_s;
        QTest::newRow("empty") << copy("empty.bin", [](QByteArray& b) { b.clear(); }) << u"空です"_s;
        QTest::newRow("truncated to half") << copy("half.bin", [](QByteArray& b) { b.truncate(b.size() / 2); }) << u"途中で切れています"_s;
        QTest::newRow("truncated by one byte") << copy("short.bin", [](QByteArray& b) { b.chop(1); }) << u"途中で切れています"_s;
        QTest::newRow("truncated inside the header") << copy("header.bin", [](QByteArray& b) { b.truncate(100); }) << u"途中で切れています"_s;
        QTest::newRow("truncated inside the magic") << copy("magic.bin", [](QByteArray& b) { b.truncate(4); }) << u"途中で切れています"_s;
        QTest::newRow("byte flipped in the middle of the payload") << copy("flip-middle.bin", [](QByteArray& b) { b[b.size() / 2] = char(b[b.size() / 2] ^ 0x01); }) << u"壊れています"_s;
        QTest::newRow("last byte flipped") << copy("flip-last.bin", [](QByteArray& b) { b[b.size() - 1] = char(b[b.size() - 1] ^ 0x80); }) << u"壊れています"_s;
        QTest::newRow("byte flipped in the header's texts") << copy("flip-header.bin", [](QByteArray& b) { b[40] = char(b[40] ^ 0x01); }) << u"壊れています"_s;
        QTest::newRow("byte flipped in the index") << copy("flip-index.bin", [](QByteArray& b) { b[1000] = char(b[1000] ^ 0x10); }) << u"壊れています"_s;
        QTest::newRow("bytes appended") << copy("longer.bin", [](QByteArray& b) { b.append("extra"); }) << u"壊れています"_s;
        QTest::newRow("wrong magic") << copy("wrong-magic.bin", [](QByteArray& b) { b.replace(0, 8, "PK\x03\x04zip!"); }) << u"郵便番号データではありません"_s;
        QTest::newRow("text file") << copy("text.bin", [](QByteArray& b) { b = "1000001,東京都,千代田区\n"; }) << u"郵便番号データではありません"_s;
        QTest::newRow("newer format") << copy("version2.bin", [](QByteArray& b) { b[8] = 2; }) << u"第2版"_s;
        QTest::newRow("a folder") << m_temp.path() << u"読めません"_s;
    }

    void damagedFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, says);
        QVERIFY(!path.isEmpty());
        postal::Directory directory(path);
        for (const QString& code : {u"100-0001"_s, u"999-8531"_s}) {
            const auto result = directory.lookup(code);
            QCOMPARE(result.status, LookupStatus::DataUnavailable);
            QVERIFY(result.matches.isEmpty());
            QVERIFY2(result.message.contains(says), qPrintable(result.message));
            QVERIFY2(result.message.contains(QDir::toNativeSeparators(path)), qPrintable(result.message));
        }
        QVERIFY(!directory.dataInfo());
        QVERIFY(directory.dataError().contains(says));

        const CliRun run = runCli(u"100-0001"_s, path);
        QCOMPARE(run.exitCode, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.contains(says));
    }

    void damageAfterOpeningIsFoundInTheBlockRead()
    {
        const QString path = m_temp.filePath(u"damaged-later.bin"_s);
        QVERIFY(QFile::copy(dataFile, path));
        postal::Directory directory(path);
        QCOMPARE(directory.lookup(u"100-0001"_s).status, LookupStatus::Found);

        // The blocks lie in code order: the second half holds 999's, not 100's.
        const qint64 size = QFileInfo(path).size();
        QVERIFY(overwriteInPlace(path, size / 2, QByteArray(size - size / 2, '\x5a')));
        const auto damaged = directory.lookup(u"999-8531"_s);
        QCOMPARE(damaged.status, LookupStatus::DataUnavailable);
        QVERIFY(damaged.matches.isEmpty());
        QVERIFY2(damaged.message.contains(u"壊れています"_s), qPrintable(damaged.message));
        // The file is not trusted any more, even for a block read before.
        QCOMPARE(directory.lookup(u"100-0001"_s).status, LookupStatus::DataUnavailable);
    }

    // Contents with right checksums but wrong inside, as a faulty build
    // script could write them: refused, never read past or half-used.
    void consistentButMalformedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("usable");
        const QByteArray office = "4567\t県\t市\t町\t１－２\t事業所\n";
        QTest::newRow("well formed") << consistentDataFile({{123, "0001\t県\t市\t\t\t\n" + office}}) << true;
        QTest::newRow("lines out of order") << consistentDataFile({{123, office + "0001\t県\t市\t\t\t\n"}}) << false;
        QTest::newRow("five fields") << consistentDataFile({{123, "4567\t県\t市\t町\t\n"}}) << false;
        QTest::newRow("seven fields") << consistentDataFile({{123, "4567\t県\t市\t町\t\t\t\n"}}) << false;
        QTest::newRow("letter in the code") << consistentDataFile({{123, "45a7\t県\t市\t町\t\t\n"}}) << false;
        QTest::newRow("three-digit code") << consistentDataFile({{123, "456\t県\t市\t町\t\t\t\n"}}) << false;
        QTest::newRow("last line unended") << consistentDataFile({{123, "4567\t県\t市\t町\t\t"}}) << false;
        QTest::newRow("empty block") << consistentDataFile({{123, ""}}) << false;
        QTest::newRow("header text past the index") << consistentDataFile({{123, office}}, "\x04test\x03" "0.0\xff" "2000-01-01") << false;
        QTest::newRow("two header texts") << consistentDataFile({{123, office}}, "\x04test\x03" "0.0") << false;
        QTest::newRow("four header texts") << consistentDataFile({{123, office}}, "\x04test\x03" "0.0\x01" "a\x01" "b") << false;
    }

    void consistentButMalformedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, usable);
        const QString path = m_temp.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-') + u".bin"_s);
        QVERIFY(writeFile(path, content));
        postal::Directory directory(path);
        const auto result = directory.lookup(u"123-4567"_s);
        if (usable) {
            QCOMPARE(result.status, LookupStatus::Found);
            QCOMPARE(result.matches, (QList<Match>{{u"県"_s, u"市"_s, u"町"_s, u"１－２"_s, u"事業所"_s}}));
            QCOMPARE(directory.lookup(u"123-0001"_s).matches, (QList<Match>{{u"県"_s, u"市"_s, {}, {}, {}}}));
            QCOMPARE(directory.dataInfo().value().dataDate, u"2000-01-01"_s);
        } else {
            QCOMPARE(result.status, LookupStatus::DataUnavailable);
            QVERIFY(result.matches.isEmpty());
            QVERIFY2(result.message.contains(u"壊れています"_s), qPrintable(result.message));
        }
    }

    void printedBoxes_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<Boxes>("expected");
        const Boxes digits = boxes({u"1", u"2", u"3", u"4", u"5", u"6", u"7"});
        QTest::newRow("seven digits") << u"1234567"_s << digits;
        QTest::newRow("hyphen-minus") << u"123-4567"_s << digits;
        QTest::newRow("full-width hyphen-minus") << u"123－4567"_s << digits;
        QTest::newRow("hyphen") << u"123‐4567"_s << digits;
        QTest::newRow("minus sign") << u"123−4567"_s << digits;
        QTest::newRow("long-vowel mark") << u"123ー4567"_s << digits;
        QTest::newRow("full-width digits as typed") << u"１２３－４５６７"_s << boxes({u"１", u"２", u"３", u"４", u"５", u"６", u"７"});
        QTest::newRow("three digits") << u"123"_s << boxes({u"1", u"2", u"3", u"", u"", u"", u""});
        QTest::newRow("three digits and a hyphen") << u"123-"_s << boxes({u"1", u"2", u"3", u"", u"", u"", u""});
        QTest::newRow("empty") << QString() << Boxes{};
        QTest::newRow("longer text keeps its first seven") << u"123456789"_s << digits;
        QTest::newRow("hyphen elsewhere takes a box") << u"1234-567"_s << boxes({u"1", u"2", u"3", u"4", u"-", u"5", u"6"});
        QTest::newRow("second hyphen takes a box") << u"123--4567"_s << boxes({u"1", u"2", u"3", u"-", u"4", u"5", u"6"});
        QTest::newRow("outside the basic plane") << u"𠮷田1-23456"_s << boxes({u"𠮷", u"田", u"1", u"2", u"3", u"4", u"5"});
        QTest::newRow("outside the basic plane as fourth") << u"123𠮷4567"_s << boxes({u"1", u"2", u"3", u"𠮷", u"4", u"5", u"6"});
        QTest::newRow("combining mark") << u"か\u30991-2345"_s << boxes({u"か\u3099", u"1", u"-", u"2", u"3", u"4", u"5"});
        QTest::newRow("hyphen with a combining mark takes a box") << u"123-\u03014567"_s << boxes({u"1", u"2", u"3", u"-\u0301", u"4", u"5", u"6"});
        QTest::newRow("e with acute, last box") << u"123-456e\u0301x"_s << boxes({u"1", u"2", u"3", u"4", u"5", u"6", u"e\u0301"});
    }

    void printedBoxes()
    {
        QFETCH(QString, text);
        QFETCH(Boxes, expected);
        QCOMPARE(postal::printedBoxes(text), expected);
    }

    void commandLine()
    {
        const CliRun chiyoda = runCli(u"100-0001"_s, dataFile);
        QCOMPARE(chiyoda.exitCode, 0);
        QCOMPARE(chiyoda.out, u"東京都\t千代田区\t千代田\n"_s);
        QVERIFY(chiyoda.err.isEmpty());

        const CliRun agency = runCli(u"１００８１１１"_s, dataFile);
        QCOMPARE(agency.exitCode, 0);
        QCOMPARE(agency.out, u"東京都\t千代田区\t千代田\t１－１\t宮内庁\n"_s);

        const CliRun twoPrefectures = runCli(u"4980000"_s, dataFile);
        QCOMPARE(twoPrefectures.exitCode, 0);
        QCOMPARE(twoPrefectures.out, u"愛知県\t弥富市\t\n三重県\t桑名郡木曽岬町\t\n"_s);

        const CliRun noSuchCode = runCli(u"100-9999"_s, dataFile);
        QCOMPARE(noSuchCode.exitCode, 1);
        QVERIFY(noSuchCode.out.isEmpty());
        QVERIFY2(noSuchCode.err.contains(u"100-9999"_s), qPrintable(noSuchCode.err));
        QVERIFY(noSuchCode.err.endsWith(QLatin1Char('\n')));

        const CliRun letters = runCli(u"abc"_s, dataFile);
        QCOMPARE(letters.exitCode, 1);
        QVERIFY(letters.out.isEmpty());
        QVERIFY(letters.err.contains(u"7桁"_s));

        // Malformed input says so even when the data file is missing.
        QCOMPARE(runCli(u"12345"_s, m_temp.filePath(u"none.bin"_s)).exitCode, 1);
    }

    void defaultPathFindsTheSourceTreeData()
    {
        QCOMPARE(QFileInfo(postal::defaultDataFilePath()).canonicalFilePath(), QFileInfo(dataFile).canonicalFilePath());
    }
};

QTEST_GUILESS_MAIN(PostalTest)
#include "tst_postal.moc"
