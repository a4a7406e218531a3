// Order lists for batch printing: reading CSV in both encodings, recognising
// the columns, building and checking waybills, and the list of rows. Every
// case reads real files written into a temporary folder.
#include "csv/reader.h"
#include "csv/writer.h"
#include "orders/orderlist.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <iconv.h>

using csv::Encoding;
using orders::Field;
using orders::RowState;

namespace {

// CP932 bytes made by the C library's converter, independent of the ICU
// converter the program reads with.
QByteArray cp932(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    iconv_t cd = iconv_open("CP932", "UTF-8");
    QByteArray out(utf8.size() * 2 + 8, '\0');
    char* in = const_cast<char*>(utf8.constData());
    size_t inLeft = size_t(utf8.size());
    char* to = out.data();
    size_t outLeft = size_t(out.size());
    const size_t r = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        qFatal("test text not in CP932");
    out.resize(out.size() - qsizetype(outLeft));
    return out;
}

QByteArray u8(const char* text)
{
    return QByteArray(text);
}

// A device that takes `capacity` bytes and then fails, as a full disk does.
class FailDevice final : public QIODevice {
public:
    explicit FailDevice(qint64 capacity) : m_capacity(capacity) { open(QIODevice::WriteOnly); }
    QByteArray written;

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 length) override
    {
        const qint64 room = m_capacity - written.size();
        if (room <= 0) {
            setErrorString(QStringLiteral("No space left on device"));
            return -1;
        }
        const qint64 n = qMin(room, length);
        written.append(data, n);
        return n;
    }

private:
    qint64 m_capacity;
};

struct Read {
    QList<csv::Record> records;
    csv::Reader::Step last = csv::Reader::Step::End;
    QString error;
    qint64 errorLine = 0;
    Encoding encoding = Encoding::Utf8;
};

Read readAll(QIODevice& device, csv::Reader::Options options = {})
{
    Read result;
    csv::Reader reader(device, options);
    csv::Record record;
    if (!reader.start()) {
        result.last = csv::Reader::Step::Failed;
        result.error = reader.errorText();
        return result;
    }
    result.encoding = reader.encoding();
    while ((result.last = reader.next(record)) == csv::Reader::Step::Record)
        result.records << record;
    result.error = reader.errorText();
    result.errorLine = reader.errorLine();
    return result;
}

QList<QStringList> fieldsOf(const Read& read)
{
    QList<QStringList> all;
    for (const auto& r : read.records)
        all << r.fields;
    return all;
}

QList<qint64> linesOf(const Read& read)
{
    QList<qint64> lines;
    for (const auto& r : read.records)
        lines << r.line;
    return lines;
}

// A stand-in for the layout's check: a name longer than 10 characters does
// not fit its place.
std::optional<QString> tenCharacterNames(const waybill::Waybill& w)
{
    if (w.recipient.name.size() > 10)
        return QStringLiteral("お届け先の名前が長すぎて、印刷する枠に入りません。");
    return std::nullopt;
}

const QString kJapaneseHeader = QStringLiteral(
    "注文番号,お届け先郵便番号1,お届け先郵便番号2,お届け先都道府県,お届け先市区町村,お届け先番地,お届け先建物名,お届け先氏名,お届け先電話番号,商品名,商品番号\r\n");

} // namespace

class OrdersTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString write(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    Read readFile(const QString& path, csv::Reader::Options options = {})
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            qFatal("cannot open %s", qPrintable(path));
        return readAll(f, options);
    }

    // An order list over `bytes`, read to the end.
    std::unique_ptr<orders::OrderList> list(const QString& name, const QByteArray& bytes, orders::FitCheck fits = {})
    {
        auto l = std::make_unique<orders::OrderList>();
        l->setFitCheck(std::move(fits));
        if (!l->open(write(name, bytes)))
            qFatal("cannot open list: %s", qPrintable(l->errorText()));
        while (!l->readMore(3)) {
        }
        return l;
    }

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QList<QStringList>>("fields");
        QTest::addColumn<QList<qint64>>("lines");
        QTest::newRow("LF") << u8("a,b\nc,d\n") << QList<QStringList>{{"a", "b"}, {"c", "d"}} << QList<qint64>{1, 2};
        QTest::newRow("CRLF, no end") << u8("a,b\r\nc,d") << QList<QStringList>{{"a", "b"}, {"c", "d"}} << QList<qint64>{1, 2};
        QTest::newRow("CR only") << u8("a\rb\r") << QList<QStringList>{{"a"}, {"b"}} << QList<qint64>{1, 2};
        QTest::newRow("quoted comma, quote, line breaks")
            << u8("\"x,y\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\nhere\",z\r\nlast\r\n")
            << QList<QStringList>{{"x,y", "say \"hi\""}, {"two\r\nlines\nhere", "z"}, {"last"}} << QList<qint64>{1, 2, 5};
        QTest::newRow("blank lines skipped, counted")
            << u8("\r\n\r\n a , \" b \" \r\n   \r\n\r\nc\n") << QList<QStringList>{{"a", " b "}, {"c"}}
            << QList<qint64>{3, 6};
        QTest::newRow("empty fields") << u8(",,\n\"\"\n") << QList<QStringList>{{"", "", ""}, {""}} << QList<qint64>{1, 2};
    }

    void records()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QList<QStringList>, fields);
        QFETCH(QList<qint64>, lines);
        const Read read = readFile(write(QStringLiteral("records.csv"), bytes));
        QCOMPARE(read.last, csv::Reader::Step::End);
        QCOMPARE(fieldsOf(read), fields);
        QCOMPARE(linesOf(read), lines);
    }

    // Every record read again at the offset it reported equals the one read
    // in sequence, also where a quoted line break, a CR LF pair or a UTF-8
    // character straddles the reader's 64 KiB chunks.
    void rereadAtOffsets()
    {
        QByteArray bytes = "\xEF\xBB\xBF";
        int n = 0;
        while (bytes.size() < 300 * 1024) {
            bytes += QByteArray::number(n) + ",\"あいう\r\nえお " + QByteArray::number(n) + "\",,\"q\"\"\"\r\n";
            if (n % 7 == 0)
                bytes += "\r\n   \n";
            ++n;
        }
        const QString path = write(QStringLiteral("long.csv"), bytes);
        const Read read = readFile(path);
        QCOMPARE(read.last, csv::Reader::Step::End);
        QCOMPARE(read.records.size(), n);
        QCOMPARE(read.records[4].fields, (QStringList{"4", "あいう\r\nえお 4", "", "q\""}));

        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        csv::Reader reader(f);
        QVERIFY(reader.start());
        qint64 expectedLine = 1;
        for (int i = 0; i < read.records.size(); ++i) {
            QCOMPARE(read.records[i].line, expectedLine);
            expectedLine += (i % 7 == 0) ? 4 : 2;
        }
        for (int i = read.records.size() - 1; i >= 0; --i) {
            csv::Record again;
            QCOMPARE(reader.readAt(read.records[i].offsetBytes, read.records[i].line, again), csv::Reader::Step::Record);
            QCOMPARE(again.fields, read.records[i].fields);
            QCOMPARE(again.line, read.records[i].line);
        }
        // Reading on after a re-read gives the following record.
        csv::Record at, following;
        QCOMPARE(reader.readAt(read.records[10].offsetBytes, read.records[10].line, at), csv::Reader::Step::Record);
        QCOMPARE(reader.next(following), csv::Reader::Step::Record);
        QCOMPARE(following.fields, read.records[11].fields);
        QCOMPARE(following.line, read.records[11].line);
    }

    void encodings()
    {
        const QString text = QStringLiteral("㈱テスト～,①");
        // UTF-8 with a byte-order mark: the mark is not part of the first field.
        Read read = readFile(write(QStringLiteral("bom.csv"), "\xEF\xBB\xBF" + text.toUtf8() + "\r\n"));
        QCOMPARE(read.encoding, Encoding::Utf8);
        QCOMPARE(read.records.value(0).fields, (QStringList{"㈱テスト～", "①"}));
        // Only the file's mark is skipped; a U+FEFF that starts a field is text.
        read = readFile(write(QStringLiteral("bom2.csv"), "\xEF\xBB\xBF\xEF\xBB\xBFx,\xEF\xBB\xBFy\n"));
        QCOMPARE(read.records.value(0).fields, (QStringList{QStringLiteral("\uFEFFx"), QStringLiteral("\uFEFFy")}));
        read = readFile(write(QStringLiteral("utf8.csv"), text.toUtf8()));
        QCOMPARE(read.encoding, Encoding::Utf8);
        QCOMPARE(read.records.value(0).fields, (QStringList{"㈱テスト～", "①"}));

        // CP932 as Japanese spreadsheets save it; 0x8160 is ～ U+FF5E, not 〜 U+301C.
        const QByteArray sjis = cp932(text) + "\r\n";
        QVERIFY(sjis.contains("\x87\x8A") && sjis.contains("\x81\x60"));
        read = readFile(write(QStringLiteral("cp932.csv"), sjis));
        QCOMPARE(read.encoding, Encoding::Cp932);
        QCOMPARE(read.records.value(0).fields, (QStringList{QStringLiteral("㈱テスト\uFF5E"), "①"}));
        QCOMPARE(read.records.value(0).badColumn, -1);
        // Control bytes are themselves in Microsoft's table (IBM's swaps 0x1A, 0x1C and 0x7F).
        read = readFile(write(QStringLiteral("controls.csv"), QByteArray("a\x7F\x1C\x1A\n")), csv::Reader::Options{Encoding::Cp932});
        QCOMPARE(read.records.value(0).fields, (QStringList{QStringLiteral("a\u007F\u001C\u001A")}));

        // Overridden to UTF-8, the CP932 bytes are refused with line and column.
        read = readFile(write(QStringLiteral("cp932b.csv"), "a,b\r\nc," + sjis),
                        csv::Reader::Options{Encoding::Utf8});
        QCOMPARE(read.encoding, Encoding::Utf8);
        QCOMPARE(read.records.size(), 2);
        QCOMPARE(read.records[1].badColumn, 1);
        QVERIFY2(read.records[1].problem.contains(QStringLiteral("2行目の2列目")), qPrintable(read.records[1].problem));
        QVERIFY(read.records[1].problem.contains(QStringLiteral("CP932")));
        // A CP932 lead byte cut off by the field's end is an error, not joined to the next field.
        read = readFile(write(QStringLiteral("cut.csv"), QByteArray("x\x82,\xA0y\n")), csv::Reader::Options{Encoding::Cp932});
        QCOMPARE(read.records.value(0).badColumn, 0);
    }

    void malformedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("recordsBefore");
        QTest::newRow("unclosed quote") << u8("a,b\nc,\"d\ne\nf\n") << qint64(2) << QStringLiteral("閉じられていません") << 1;
        QTest::newRow("unclosed quote after a closed one") << u8("h\n\"a\nb\",\"c\nd\n") << qint64(3)
                                                         << QStringLiteral("3行目で始まる引用符") << 1;
        QTest::newRow("text after closing quote") << u8("a\n\"b\"c,d\n") << qint64(2) << QStringLiteral("引用符") << 1;
        QTest::newRow("NUL byte beyond the first MiB") << (QByteArray(999, 'x').append('\n').repeated(1100) + QByteArray("\0z", 2))
                                                       << qint64(1101) << QStringLiteral("NULバイト") << 1100;
        QTest::newRow("NUL byte early") << QByteArray("a\nb\n\0\0", 6) << qint64(0) << QStringLiteral("3行目に文字ではないデータ（NULバイト）") << 0;
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1A\n\x01\x02\x03\x04\x05\x06\x07\x08\x10\x11\x12", 19)
                                << qint64(0) << QStringLiteral("文字のファイルではない") << 0;
        QTest::newRow("xlsx") << QByteArray("PK\x03\x04\x14\x00", 6) << qint64(0) << QStringLiteral(".xlsx") << 0;
        QTest::newRow("UTF-16") << QByteArray("\xFF\xFE" "a\0,\0b\0", 8) << qint64(0) << QStringLiteral("UTF-16") << 0;
        QTest::newRow("overlong record") << (u8("a\n\"") + QByteArray(3 * 1024 * 1024, 'y')) << qint64(2)
                                         << QStringLiteral("長すぎます") << 1;
    }

    void malformedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, line);
        QFETCH(QString, says);
        QFETCH(int, recordsBefore);
        QElapsedTimer timer;
        timer.start();
        const Read read = readFile(write(QStringLiteral("bad.csv"), bytes));
        QVERIFY(timer.elapsed() < 5000);
        QCOMPARE(read.last, csv::Reader::Step::Failed);
        QCOMPARE(read.records.size(), recordsBefore);
        QVERIFY2(read.error.contains(says), qPrintable(read.error));
        if (line > 0) {
            QCOMPARE(read.errorLine, line);
            QVERIFY2(read.error.contains(QString::number(line) + QStringLiteral("行目")), qPrintable(read.error));
        }
        // The order list passes the reader's reason on, and does not crash.
        orders::OrderList l;
        if (l.open(m_dir.filePath(QStringLiteral("bad.csv")))) {
            while (!l.readMore(100)) {
            }
            QVERIFY(l.readingFailed());
            QCOMPARE(l.rowCount(), qMax(0, recordsBefore - 1)); // the rows before the fault stay
        }
        QVERIFY2(l.errorText().contains(says), qPrintable(l.errorText()));
    }

    void writerRoundTrip()
    {
        const QList<QStringList> rows = {
            {"=SUM(A1:A2)", "+81", "-123", "@cmd", "a,b", "say \"hi\"", "two\r\nlines", " padded "},
            {"㈱テスト～", "", "0123", "①"},
        };
        for (Encoding encoding : {Encoding::Utf8, Encoding::Cp932}) {
            QBuffer buffer;
            buffer.open(QIODevice::ReadWrite);
            csv::Writer writer(buffer, encoding);
            for (const auto& row : rows)
                QCOMPARE(writer.write(row), csv::Writer::Result::Written);
            QCOMPARE(buffer.data().startsWith("\xEF\xBB\xBF"), encoding == Encoding::Utf8);
            QVERIFY(buffer.data().endsWith("\r\n"));
            if (encoding == Encoding::Cp932)
                QVERIFY(buffer.data().contains(cp932(QStringLiteral("㈱テスト～"))));
            buffer.seek(0);
            const Read read = readAll(buffer, csv::Reader::Options{encoding});
            QCOMPARE(read.records.size(), rows.size());
            QCOMPARE(read.records[0].fields,
                     (QStringList{"'=SUM(A1:A2)", "'+81", "'-123", "'@cmd", "a,b", "say \"hi\"", "two\r\nlines", " padded "}));
            QCOMPARE(read.records[1].fields, rows[1]);
        }
    }

    void writerRefusesWhatCp932Lacks()
    {
        QBuffer buffer;
        buffer.open(QIODevice::ReadWrite);
        csv::Writer writer(buffer, Encoding::Cp932);
        QCOMPARE(writer.write({"吉田", "髙橋"}), csv::Writer::Result::Written);
        const qint64 before = buffer.size();
        QCOMPARE(writer.write({"ok", QStringLiteral("𠮷野家 😀"), "fine", QStringLiteral("🍣")}), csv::Writer::Result::Unwritable);
        QCOMPARE(buffer.size(), before); // nothing of the row, and no substitute
        QCOMPARE(writer.unwritable().size(), 2);
        QCOMPARE(writer.unwritable()[0].column, 1);
        QCOMPARE(writer.unwritable()[0].characters, QStringLiteral("𠮷😀"));
        QCOMPARE(writer.unwritable()[1].column, 3);
        // 〜 (WAVE DASH) would come back as ～ (FULLWIDTH TILDE): refused, not replaced.
        QCOMPARE(writer.write({QStringLiteral("1\u301C3"), QStringLiteral("1\uFF5E3")}), csv::Writer::Result::Unwritable);
        QCOMPARE(writer.unwritable().size(), 1);
        QCOMPARE(writer.unwritable()[0].characters, QStringLiteral("\u301C"));
        QCOMPARE(buffer.size(), before);
        // The first row went through; 𠮷 in UTF-8 is fine.
        QBuffer utf8;
        utf8.open(QIODevice::ReadWrite);
        QCOMPARE(csv::Writer(utf8, Encoding::Utf8).write({QStringLiteral("𠮷")}), csv::Writer::Result::Written);
    }

    void writerReportsFullDisk()
    {
        FailDevice device(10);
        csv::Writer writer(device, Encoding::Utf8);
        QCOMPARE(writer.write({"a much longer text than ten bytes"}), csv::Writer::Result::DeviceFailed);
        QVERIFY2(writer.errorText().contains(QStringLiteral("No space left")), qPrintable(writer.errorText()));
    }

    void japaneseHeadingsSplitFields()
    {
        auto l = list(QStringLiteral("ja.csv"),
                      cp932(kJapaneseHeader +
                            QStringLiteral("A-1,060,0001,北海道,札幌市中央区,北1条西2丁目3, 札幌ビル 5F ,㈱北の商店,011-123-4567,雑貨,SKU-9\r\n")));
        QCOMPARE(l->encoding(), Encoding::Cp932);
        QCOMPARE(l->mappingSource(), orders::MappingSource::KnownHeadings);
        QVERIFY(l->missingFields().isEmpty());
        QCOMPARE(l->rowCount(), 1);
        const waybill::Waybill w = l->waybillAt(0);
        QCOMPARE(w.recipient.postalCode, QStringLiteral("0600001"));
        QCOMPARE(w.recipient.line1, QStringLiteral("北海道札幌市中央区北1条西2丁目3"));
        QCOMPARE(w.recipient.line2, QStringLiteral("札幌ビル 5F"));
        QCOMPARE(w.recipient.name, QStringLiteral("㈱北の商店"));
        QCOMPARE(w.recipient.telephone, QStringLiteral("011-123-4567"));
        QCOMPARE(w.goods[0].description, QStringLiteral("雑貨"));
        QCOMPARE(w.goods[0].productNumber, QStringLiteral("SKU-9"));
        QVERIFY(!w.numericMode);
        QCOMPARE(l->orderNumberAt(0), QStringLiteral("A-1"));
        QCOMPARE(l->state(0), RowState::Printable);
    }

    void englishHeadingsAndFolding()
    {
        // Width and case differ from the table; the buyer's bare 郵便番号 loses
        // to the recipient's column; 区分 outside the address book is no kind.
        const QByteArray bytes =
            u8("order-id,ＳＨＩＰ－ＰＯＳＴＡＬ－ＣＯＤＥ,Recipient Name,ship_address_1,ship-address-2,ship-address-3,ship-city,"
               "ship-state,Buyer-Phone-Number,product-name,SKU,郵便番号,区分\n"
               "503-1,１５０－０００１,山田 太郎 ,神宮前1-2-3,メゾン,101,渋谷区,東京都,09012345678,本,B-1,9999999,通常\n");
        auto l = list(QStringLiteral("en.csv"), bytes);
        QCOMPARE(l->columns(), (orders::ColumnMap{Field::OrderNumber, Field::PostalCode, Field::Name, Field::AddressLine1,
                                                  Field::AddressLine2, Field::AddressLine3, Field::City, Field::Prefecture,
                                                  Field::Telephone, Field::ItemDescription, Field::ProductNumber, Field::None,
                                                  Field::None}));
        const waybill::Waybill w = l->waybillAt(0);
        QCOMPARE(w.recipient.postalCode, QStringLiteral("1500001"));
        QCOMPARE(w.recipient.line1, QStringLiteral("東京都渋谷区神宮前1-2-3"));
        QCOMPARE(w.recipient.line2, QStringLiteral("メゾン 101"));
        QCOMPARE(w.recipient.name, QStringLiteral("山田 太郎"));
        QCOMPARE(l->state(0), RowState::Printable);
    }

    void addressBookExportReadsBack()
    {
        waybill::Address to{"1000001", "東京都千代田区千代田1-1", "", "宛先 一郎", "田中", true, "03-1234-5678"};
        waybill::Address from{"5300001", "大阪府大阪市北区梅田1-1", "梅田ビル", "送り主", "", false, "06-1234-5678"};
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        csv::Writer writer(buffer, Encoding::Utf8);
        QCOMPARE(writer.write(orders::addressBookHeadings()), csv::Writer::Result::Written);
        QCOMPARE(writer.write(orders::addressBookRecord(false, to)), csv::Writer::Result::Written);
        QCOMPARE(writer.write(orders::addressBookRecord(true, from)), csv::Writer::Result::Written);
        auto l = list(QStringLiteral("book.csv"), buffer.data());
        QCOMPARE(l->mappingSource(), orders::MappingSource::AddressBook);
        QCOMPARE(l->rowCount(), 2);
        QCOMPARE(l->waybillAt(0).recipient, to);
        QCOMPARE(l->state(0), RowState::Printable);
        QCOMPARE(l->state(1), RowState::Excluded); // a ご依頼主 row is no recipient
        l->setExcluded(1, false);
        QCOMPARE(l->state(1), RowState::Printable);
    }

    void unknownHeadingsRemembered()
    {
        const QString ini = m_dir.filePath(QStringLiteral("settings.ini"));
        // Seven columns, as many as the address book has, but not its headings.
        const QByteArray bytes = u8("宛名,〒,所在地,連絡先,区分,備考,担当\n佐藤,1000001,東京都千代田区1,0312345678,ご依頼主,,\n");
        const orders::ColumnMap chosen{Field::Name, Field::PostalCode, Field::AddressLine1, Field::Telephone,
                                       Field::None, Field::None, Field::None};
        const orders::ColumnMap swapped{Field::Telephone, Field::PostalCode, Field::AddressLine1, Field::Name,
                                        Field::None, Field::None, Field::None};
        {
            QSettings settings(ini, QSettings::IniFormat);
            orders::SettingsMappingStore store(settings);
            orders::OrderList l;
            l.setMappingStore(&store);
            QVERIFY(l.open(write(QStringLiteral("unknown.csv"), bytes)));
            QCOMPARE(l.mappingSource(), orders::MappingSource::KnownHeadings);
            QCOMPARE(l.columns(), orders::ColumnMap(7, Field::None));
            QCOMPARE(l.missingFields(), (QStringList{"郵便番号", "住所1（番地まで）", "名前"}));
            while (!l.readMore(10)) {
            }
            QCOMPARE(l.rowCount(), 1);
            QCOMPARE(l.state(0), RowState::Unchecked);
            QVERIFY(!l.setColumns({Field::Name, Field::Name, Field::AddressLine1, Field::Telephone, Field::None,
                                   Field::None, Field::None}));
            QVERIFY(!l.setColumns({Field::Name}));
            // Every change of columns checks the rows again.
            QVERIFY(l.setColumns(swapped));
            QVERIFY(!l.isComplete());
            while (!l.readMore(10)) {
            }
            QCOMPARE(l.state(0), RowState::Refused);
            QVERIFY(l.setColumns(chosen));
            while (!l.readMore(10)) {
            }
            QCOMPARE(l.state(0), RowState::Printable);
        }
        QSettings settings(ini, QSettings::IniFormat);
        orders::SettingsMappingStore store(settings);
        orders::OrderList l;
        l.setMappingStore(&store);
        // The same headings written differently are the same heading row.
        QVERIFY(l.open(write(QStringLiteral("unknown2.csv"), u8(" 宛名 ,〒,所在地,連絡 先,区分,備考,担当\n鈴木,1000002,東京都千代田区2,,,,\n"))));
        QCOMPARE(l.mappingSource(), orders::MappingSource::Remembered);
        QCOMPARE(l.columns(), chosen);
        QVERIFY(l.readMore());
        QCOMPARE(l.waybillAt(0).recipient.name, QStringLiteral("鈴木"));
    }

    void rowChecks_data()
    {
        QTest::addColumn<QString>("row");
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("suggestion");
        // 注文番号,郵便番号1,郵便番号2,都道府県,市区町村,番地,建物名,氏名,電話番号,商品名,商品番号
        QTest::newRow("fine, full-width, empty telephone") << QStringLiteral("1,１００,０００１,東京都,千代田区,1,,一郎,,,") << Field::None << QString() << QString();
        QTest::newRow("split half lost its zero") << QStringLiteral("1,60,0001,北海道,札幌市,1,,一郎,,,") << Field::PostalCode
                                                  << QStringLiteral("「お届け先郵便番号1」「お届け先郵便番号2」の郵便番号「60-0001」は桁が足りません")
                                                  << QStringLiteral("0600001");
        QTest::newRow("six digits") << QStringLiteral("1,600001,,北海道,札幌市,1,,一郎,,,") << Field::PostalCode
                                    << QStringLiteral("先頭の0が消えた") << QStringLiteral("0600001");
        QTest::newRow("postal code shape") << QStringLiteral("1,12a,4567,東京都,港区,1,,一郎,,,") << Field::PostalCode
                                           << QStringLiteral("形が正しくありません") << QString();
        QTest::newRow("no postal code") << QStringLiteral("1,,,東京都,港区,1,,一郎,,,") << Field::PostalCode
                                        << QStringLiteral("郵便番号がありません") << QString();
        QTest::newRow("no name") << QStringLiteral("1,100,0001,東京都,港区,1,,　,,,") << Field::Name
                                 << QStringLiteral("「お届け先氏名」にお届け先の名前がありません") << QString();
        QTest::newRow("no address") << QStringLiteral("1,100,0001,,,,ビル,一郎,,,") << Field::AddressLine1
                                    << QStringLiteral("住所がありません") << QString();
        QTest::newRow("telephone lost its zero") << QStringLiteral("1,100,0001,東京都,港区,1,,一郎,90-1234-5678,,") << Field::Telephone
                                                 << QStringLiteral("先頭の0が消えた") << QStringLiteral("090-1234-5678");
        QTest::newRow("telephone too short") << QStringLiteral("1,100,0001,東京都,港区,1,,一郎,03-1234,,") << Field::Telephone
                                             << QStringLiteral("数字が6桁") << QString();
        QTest::newRow("telephone letters") << QStringLiteral("1,100,0001,東京都,港区,1,,一郎,03-1234-567x,,") << Field::Telephone
                                           << QStringLiteral("数字とハイフン") << QString();
        QTest::newRow("telephone +81 and brackets") << QStringLiteral("1,100,0001,東京都,港区,1,,一郎,+81 (3) 1234-5678,,") << Field::None
                                                    << QString() << QString();
        QTest::newRow("too wide for the form") << QStringLiteral("1,100,0001,東京都,港区,1,,寿限無寿限無五劫の擦り切れ,,,") << Field::None
                                               << QStringLiteral("名前が長すぎて") << QString();
        QTest::newRow("data beyond the headings") << QStringLiteral("1,100,0001,東京都,港区,1,,一郎,,,,ずれ") << Field::None
                                                  << QStringLiteral("12列目に「ずれ」") << QString();
    }

    void rowChecks()
    {
        QFETCH(QString, row);
        QFETCH(Field, field);
        QFETCH(QString, says);
        QFETCH(QString, suggestion);
        auto l = list(QStringLiteral("checks.csv"), (kJapaneseHeader + row + QStringLiteral("\r\n")).toUtf8(), tenCharacterNames);
        QCOMPARE(l->rowCount(), 1);
        const QList<orders::Finding> findings = l->findingsAt(0);
        if (says.isEmpty()) {
            QVERIFY2(findings.isEmpty(), qPrintable(findings.value(0).reason));
            QCOMPARE(l->state(0), RowState::Printable);
            return;
        }
        QCOMPARE(findings.size(), 1);
        QCOMPARE(l->state(0), RowState::Refused);
        QCOMPARE(findings[0].field, field);
        QVERIFY2(findings[0].reason.contains(says), qPrintable(findings[0].reason));
        QCOMPARE(findings[0].suggestion, suggestion);
        if (field == Field::PostalCode)
            QCOMPARE(findings[0].column, 1);
        if (field == Field::Telephone)
            QCOMPARE(findings[0].column, 8);
    }

    void listStatesAndEdits()
    {
        QString text = kJapaneseHeader;
        for (int i = 0; i < 2000; ++i)
            text += QStringLiteral("N%1,%2,0001,東京都,港区,%1,,客%1,03-0000-0000,,\r\n").arg(i).arg(i % 10 == 3 ? "60" : "100");
        const QString path = write(QStringLiteral("states.csv"), cp932(text));
        const QByteArray fileBefore = QCryptographicHash::hash(cp932(text), QCryptographicHash::Sha256);

        orders::OrderList l;
        orders::ListConstants constants;
        constants.sender.name = QStringLiteral("ホルテア商店");
        constants.itemDescription = QStringLiteral("衣類");
        constants.deliveryTime = waybill::DeliveryTime::Evening;
        l.setConstants(constants);
        QVERIFY(l.open(path));
        double progress = 0;
        int slices = 0;
        while (!l.readMore(300)) {
            QVERIFY(l.progress() >= progress);
            progress = l.progress();
            ++slices;
        }
        QVERIFY(slices >= 6);
        QCOMPARE(l.progress(), 1.0);
        QCOMPARE(l.rowCount(), 2000);
        QCOMPARE(l.countRows(RowState::Refused), 200);
        QCOMPARE(l.countRows(RowState::Printable), 1800);
        QCOMPARE(l.lineOf(1234), 1236);
        QCOMPARE(l.orderNumberAt(1234), QStringLiteral("N1234"));
        waybill::Waybill w = l.waybillAt(1234);
        QCOMPARE(w.recipient.name, QStringLiteral("客1234"));
        QCOMPARE(w.sender.name, QStringLiteral("ホルテア商店"));
        QCOMPARE(w.goods[0].description, QStringLiteral("衣類"));
        QCOMPARE(w.deliveryTime, waybill::DeliveryTime::Evening);

        // Fixing a refused row in the list: the waybill changes, the file does not.
        QCOMPARE(l.state(13), RowState::Refused);
        w = l.waybillAt(13);
        w.recipient.postalCode = l.findingsAt(13).value(0).suggestion;
        QCOMPARE(w.recipient.postalCode, QStringLiteral("0600001"));
        l.setEdited(13, w);
        QVERIFY(l.isEdited(13));
        QCOMPARE(l.state(13), RowState::Printable);
        QCOMPARE(l.waybillAt(13).recipient.postalCode, QStringLiteral("0600001"));
        QCOMPARE(l.cellsAt(13).value(1), QStringLiteral("60"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256), fileBefore);

        // A change of constants checks every row again and keeps the edit and the user's marks.
        l.setExcluded(20, true);
        l.setPrinted(21);
        l.setFitCheck(tenCharacterNames);
        QCOMPARE(l.state(13), RowState::Unchecked);
        while (!l.readMore(500)) {
        }
        QCOMPARE(l.state(13), RowState::Printable);
        QCOMPARE(l.state(20), RowState::Excluded);
        QCOMPARE(l.state(21), RowState::Printed);
        QCOMPARE(l.countRows(RowState::Refused), 199);
        l.revertEdit(13);
        QCOMPARE(l.state(13), RowState::Refused);
        QCOMPARE(l.waybillAt(13).recipient.postalCode, QStringLiteral("60-0001"));
    }

    void headerProblems()
    {
        orders::OrderList l;
        QVERIFY(!l.open(write(QStringLiteral("empty.csv"), u8("\r\n\r\n  \r\n"))));
        QVERIFY2(l.errorText().contains(QStringLiteral("見出しの行がありません")), qPrintable(l.errorText()));
        QVERIFY(!l.open(m_dir.filePath(QStringLiteral("missing.csv"))));
        QVERIFY2(l.errorText().contains(QStringLiteral("開けませんでした")), qPrintable(l.errorText()));
        // Headings read in the wrong encoding are refused before any row.
        QVERIFY(!l.open(write(QStringLiteral("wrong.csv"), cp932(kJapaneseHeader)), Encoding::Utf8));
        QVERIFY2(l.errorText().contains(QStringLiteral("1行目の1列目")), qPrintable(l.errorText()));
    }
};

QTEST_GUILESS_MAIN(OrdersTest)
#include "tst_orders.moc"
