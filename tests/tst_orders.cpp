// Order lists for batch printing: CSV read in both encodings, columns
// recognised, waybills built and checked, from real files.
#include "fifo.h"

#include "csv/reader.h"
#include "csv/writer.h"
#include "orders/orderlist.h"

#include <QBuffer>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <iconv.h>

using csv::Encoding;
using orders::Field;
using orders::RowState;
using Rows = QList<QStringList>;

namespace {

// Bytes in another encoding made by the C library's converter, independent
// of the converters the program reads with.
QByteArray encoded(const QString& text, const char* encoding)
{
    QByteArray utf8 = text.toUtf8(), out(utf8.size() * 4 + 8, '\0');
    char *in = utf8.data(), *to = out.data();
    size_t inLeft = size_t(utf8.size()), outLeft = size_t(out.size());
    iconv_t cd = iconv_open(encoding, "UTF-8");
    const size_t r = iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    if (r == size_t(-1))
        qFatal("test text not in CP932");
    out.resize(out.size() - qsizetype(outLeft));
    return out;
}

QByteArray cp932(const QString& text) { return encoded(text, "CP932"); }

struct Read {
    QList<csv::Record> records;
    csv::Reader::Step last = csv::Reader::Step::Failed;
    QString error;
    Encoding encoding = Encoding::Utf8;
    Rows fields;
};

Read readAll(QIODevice& device, std::optional<Encoding> encoding = {})
{
    Read result;
    csv::Reader reader(device, {encoding});
    csv::Record record;
    if (reader.start()) {
        result.encoding = reader.encoding();
        while ((result.last = reader.next(record)) == csv::Reader::Step::Record)
            result.records << record, result.fields << record.fields;
    }
    result.error = reader.errorText();
    return result;
}

// A stand-in for the layout's check: a name over 10 characters does not fit.
const orders::FitCheck tenCharacterNames = [](const waybill::Waybill& w) -> std::optional<QString> {
    return w.recipient.name.size() > 10
               ? std::optional(QStringLiteral("お届け先の名前が長すぎて、印刷する枠に入りません。"))
               : std::nullopt;
};

void readToEnd(orders::OrderList& l, int slice = 500)
{
    while (!l.readMore(slice)) {
    }
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

    Read readFile(const QByteArray& bytes, std::optional<Encoding> encoding = {})
    {
        QFile f(write(QStringLiteral("read.csv"), bytes));
        return f.open(QIODevice::ReadOnly) ? readAll(f, encoding) : Read{};
    }

    // An order list over `bytes`, read to the end.
    std::unique_ptr<orders::OrderList> list(const QByteArray& bytes, orders::FitCheck fits = {})
    {
        auto l = std::make_unique<orders::OrderList>();
        l->setFitCheck(std::move(fits));
        if (!l->open(write(QStringLiteral("list.csv"), bytes)))
            qFatal("cannot open list: %s", qPrintable(l->errorText()));
        readToEnd(*l, 3);
        return l;
    }

private slots:
    void records_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Rows>("fields");
        QTest::addColumn<QList<qint64>>("lines");
        QTest::addColumn<Encoding>("encoding");
        const Rows sample{{"㈱テスト～", "①"}};
        QTest::newRow("CRLF, no end") << QByteArray("a,b\r\nc,d") << Rows{{"a", "b"}, {"c", "d"}} << QList<qint64>{1, 2}
                                      << Encoding::Utf8;
        QTest::newRow("CR only") << QByteArray("a\rb\r") << Rows{{"a"}, {"b"}} << QList<qint64>{1, 2} << Encoding::Utf8;
        QTest::newRow("quoted comma, quote, line breaks")
            << QByteArray("\"x,y\",\"say \"\"hi\"\"\"\r\n\"two\r\nlines\nhere\",z\r\nlast\r\n")
            << Rows{{"x,y", "say \"hi\""}, {"two\r\nlines\nhere", "z"}, {"last"}} << QList<qint64>{1, 2, 5}
            << Encoding::Utf8;
        QTest::newRow("blank lines skipped, counted")
            << QByteArray("\r\n\r\n a , \" b \" \r\n   \r\n\r\nc\n") << Rows{{"a", " b "}, {"c"}} << QList<qint64>{3, 6}
            << Encoding::Utf8;
        QTest::newRow("empty fields") << QByteArray(",,\n\"\"\n") << Rows{{"", "", ""}, {""}} << QList<qint64>{1, 2}
                                      << Encoding::Utf8;
        // Only the file's mark is skipped; a U+FEFF that starts a field is text.
        QTest::newRow("UTF-8 with a mark")
            << QByteArray("\xEF\xBB\xBF" + QStringLiteral("㈱テスト～,①\r\n\uFEFFx\n").toUtf8())
            << (sample + Rows{{QStringLiteral("\uFEFFx")}}) << QList<qint64>{1, 2} << Encoding::Utf8;
        // As Japanese spreadsheets save it; 0x8160 is ～ U+FF5E, not 〜 U+301C.
        QTest::newRow("CP932") << cp932(QStringLiteral("㈱テスト～,①\r\n")) << sample << QList<qint64>{1}
                               << Encoding::Cp932;
    }

    void records()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(Rows, fields);
        QFETCH(QList<qint64>, lines);
        QFETCH(Encoding, encoding);
        const Read read = readFile(bytes);
        QCOMPARE(read.last, csv::Reader::Step::End);
        QCOMPARE(read.encoding, encoding);
        QCOMPARE(read.fields, fields);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(read.records.value(i).line, lines[i]);
    }

    void encodingFaults()
    {
        // Read as UTF-8, CP932 bytes are refused with line and column.
        const Read read = readFile("a,b\r\nc," + cp932(QStringLiteral("㈱テスト\r\n")), Encoding::Utf8);
        QCOMPARE(read.records.size(), 2);
        QCOMPARE(read.records[1].badColumn, 1);
        QVERIFY2(read.records[1].problem.contains(QStringLiteral("2行目の2列目")) &&
                     read.records[1].problem.contains(QStringLiteral("CP932")),
                 qPrintable(read.records[1].problem));
        // A CP932 lead byte cut off by the field's end is an error, not joined to the next field.
        QCOMPARE(readFile("x\x82,\xA0y\n", Encoding::Cp932).records.value(0).badColumn, 0);
        QCOMPARE(readFile("a," + QByteArray(40, '\x80') + "\n", Encoding::Cp932).records.value(0).badColumn,
                 1); // all undefined
    }

    // A record read again for some of its columns, as a row is read for its
    // waybill: those cells as read whole, as many cells, the same
    // fingerprint of its bytes; a record of blanks still reads as blank,
    // and one whose text is in a column not asked for does not. Any byte
    // changed changes the fingerprint, in a column not read as in one read;
    // the line break after a record is not part of it.
    void recordsReadForSomeColumns()
    {
        const QByteArray text = QStringLiteral("山田, x ,東京\r\n , \u3000 ,\r\n,メモだけ,\r\n佐藤,y,大阪").toUtf8();
        QFile file(write(QStringLiteral("columns.csv"), text));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const Read whole = readAll(file);
        QCOMPARE(whole.records.size(), 4);
        csv::Reader reader(file);
        const csv::Reader::Columns nameAndAddress{true, false, true};
        for (const csv::Record& record : whole.records) {
            csv::Record part;
            QCOMPARE(reader.readAt(record.offsetBytes, record.line, part, &nameAndAddress), csv::Reader::Step::Record);
            QCOMPARE(part.fields.size(), 3);
            QCOMPARE(part.fields[0], record.fields[0]);
            QCOMPARE(part.fields[2], record.fields[2]);
            QCOMPARE(part.bytesHash, record.bytesHash);
            QCOMPARE(part.line, record.line);
        }
        csv::Record part;
        QCOMPARE(reader.readAt(whole.records[1].offsetBytes, 2, part, &nameAndAddress), csv::Reader::Step::Record);
        QCOMPARE(part.fields, (QStringList{QString(), QStringLiteral("\u3000"), QString()}));
        QCOMPARE(reader.readAt(whole.records[2].offsetBytes, 3, part, &nameAndAddress), csv::Reader::Step::Record);
        QCOMPARE(part.fields[1], QStringLiteral("メモだけ"));

        QFile changed(write(QStringLiteral("columns-changed.csv"),
                            QByteArray(text).replace(" x ", " z ").replace("\r\n,", "\n,") + "\r\n"));
        QVERIFY(changed.open(QIODevice::ReadOnly));
        const Read again = readAll(changed);
        QCOMPARE(again.fields.value(0).value(1), QStringLiteral("z"));
        QVERIFY(again.records[0].bytesHash != whole.records[0].bytesHash);
        QCOMPARE(again.fields.mid(1), whole.fields.mid(1));
        for (int i = 1; i < 4; ++i)
            QCOMPARE(again.records[i].bytesHash, whole.records[i].bytesHash);
    }

    void malformedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("line");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("recordsBefore");
        QTest::newRow("unclosed quote") << QByteArray("a,b\nc,\"d\ne\nf\n") << qint64(2)
                                        << QStringLiteral("閉じられていません") << 1;
        QTest::newRow("text after closing quote")
            << QByteArray("a\n\"b\"c,d\n") << qint64(2) << QStringLiteral("引用符") << 1;
        QTest::newRow("NUL byte beyond the first MiB")
            << (QByteArray(999, 'x').append('\n').repeated(1100) + QByteArray("\0z", 2)) << qint64(1101)
            << QStringLiteral("NULバイト") << 1100;
        QTest::newRow("NUL byte early") << QByteArray("a\nb\n\0\0", 6) << qint64(0)
                                        << QStringLiteral("3行目に文字ではないデータ（NULバイト）") << 0;
        QTest::newRow("binary") << QByteArray("\x89PNG\r\n\x1A\n\x01\x02\x03\x04\x05\x06\x07\x08\x10\x11\x12", 19)
                                << qint64(0) << QStringLiteral("文字のファイルではない") << 0;
        QTest::newRow("xlsx") << QByteArray("PK\x03\x04\x14\x00", 6) << qint64(0) << QStringLiteral(".xlsx") << 0;
        QTest::newRow("overlong record") << (QByteArray("a\n\"") + QByteArray(3 * 1024 * 1024, 'y')) << qint64(2)
                                         << QStringLiteral("長すぎます") << 1;
    }

    // Told with the line; the order list passes the reason on and
    // keeps the rows before the fault.
    void malformedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, line);
        QFETCH(QString, says);
        QFETCH(int, recordsBefore);
        const Read read = readFile(bytes);
        QCOMPARE(read.last, csv::Reader::Step::Failed);
        QCOMPARE(read.records.size(), recordsBefore);
        QVERIFY2(read.error.contains(says), qPrintable(read.error));
        if (line > 0)
            QVERIFY2(read.error.contains(QString::number(line) + QStringLiteral("行目")), qPrintable(read.error));
        orders::OrderList l;
        if (l.open(m_dir.filePath(QStringLiteral("read.csv")))) {
            readToEnd(l, 100);
            QVERIFY(l.readingFailed());
            QCOMPARE(l.rowCount(), qMax(0, recordsBefore - 1));
        }
        QVERIFY2(l.errorText().contains(says), qPrintable(l.errorText()));
    }

    // Japanese headings with split fields; English ones folded (the buyer's
    // 郵便番号 loses to the recipient's; 区分 is nothing outside the address
    // book); the address-book export, where ご依頼主 rows start left out.
    void recognisedHeadings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<orders::MappingSource>("source");
        QTest::addColumn<QString>("orderNumber");
        QTest::addColumn<waybill::Address>("recipient");
        QTest::addColumn<QStringList>("goods");
        QTest::addColumn<QList<RowState>>("states");
        QTest::newRow("Japanese, split")
            << cp932(
                   kJapaneseHeader +
                   QStringLiteral(
                       "A-1,060,0001,北海道,札幌市中央区,北1条西2丁目3, 札幌ビル 5F ,㈱北の商店,011-123-4567,雑貨,SKU-9\r\n"))
            << orders::MappingSource::KnownHeadings << QStringLiteral("A-1")
            << waybill::Address{"0600001",
                                "北海道札幌市中央区北1条西2丁目3",
                                "札幌ビル 5F",
                                "㈱北の商店",
                                "",
                                false,
                                "011-123-4567"}
            << QStringList{"雑貨", "SKU-9"} << QList<RowState>{RowState::Printable};
        QTest::newRow("English, folded")
            << QStringLiteral(
                   "order-id,ＳＨＩＰ－ＰＯＳＴＡＬ－ＣＯＤＥ,Recipient Name,ship_address_1,ship-address-2,ship-address-3,ship-city,"
                   "ship-state,Buyer-Phone-Number,product-name,SKU,郵便番号,区分\n"
                   "503-1,１５０－０００１,山田 太郎 ,神宮前1-2-3,メゾン,101,渋谷区,東京都,09012345678,本,B-1,9999999,通常\n")
                   .toUtf8()
            // Amazon's report headings, folded as a spreadsheet leaves them.
            << orders::MappingSource::Shop << QStringLiteral("503-1")
            << waybill::Address{"1500001",    "東京都渋谷区神宮前1-2-3", "メゾン 101", "山田 太郎", "", false,
                                "09012345678"}
            << QStringList{"本", "B-1"} << QList<RowState>{RowState::Printable};
        const waybill::Address to{"1000001", "東京都千代田区千代田1-1", "", "宛先 一郎", "田中", true, "03-1234-5678"};
        QBuffer book;
        book.open(QIODevice::WriteOnly);
        csv::Writer writer(book, Encoding::Utf8);
        writer.write(orders::addressBookHeadings());
        writer.write(orders::addressBookRecord(false, to));
        writer.write(orders::addressBookRecord(
            true, {"5300001", "大阪府大阪市北区梅田1-1", "梅田ビル", "送り主", "", false, "06-1234-5678"}));
        QVERIFY(book.data().startsWith("\xEF\xBB\xBF")); // the mark by which spreadsheets know UTF-8
        QTest::newRow("own address book")
            << book.data() << orders::MappingSource::AddressBook << QString() << to << QStringList{"", ""}
            << QList<RowState>{RowState::Printable, RowState::Excluded};
        // A hidden care-of line stays unprinted; the export's formula guard comes off.
        const waybill::Address hidden{"1000001", "東京都千代田区千代田1-1", "", "=山田", "経理部", false, "-"};
        QBuffer hiddenBook;
        hiddenBook.open(QIODevice::WriteOnly);
        csv::Writer hiddenWriter(hiddenBook, Encoding::Utf8);
        hiddenWriter.write(orders::addressBookHeadings());
        hiddenWriter.write(orders::addressBookRecord(false, hidden));
        QVERIFY(hiddenBook.data().contains("\"'=山田\"") && hiddenBook.data().contains("印刷しない"));
        QTest::newRow("own address book, hidden care-of")
            << hiddenBook.data() << orders::MappingSource::AddressBook << QString() << hidden << QStringList{"", ""}
            << QList<RowState>{RowState::Refused};
    }

    void recognisedHeadings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(orders::MappingSource, source);
        QFETCH(QString, orderNumber);
        QFETCH(waybill::Address, recipient);
        QFETCH(QStringList, goods);
        QFETCH(QList<RowState>, states);
        auto l = list(bytes);
        QCOMPARE(l->mappingSource(), source);
        QCOMPARE(l->rowCount(), states.size());
        for (int i = 0; i < states.size(); ++i)
            QCOMPARE(l->state(i), states[i]);
        const waybill::Waybill w = l->waybillAt(0);
        QCOMPARE(w.recipient, recipient);
        QCOMPARE((QStringList{w.goods[0].description, w.goods[0].productNumber}), goods);
        QCOMPARE(l->orderNumberAt(0), orderNumber);
    }

    void rowChecks_data()
    {
        QTest::addColumn<QString>("cells");
        QTest::addColumn<Field>("field");
        QTest::addColumn<QString>("says");
        QTest::addColumn<QString>("suggestion");
        QTest::addColumn<int>("column"); // the first that feeds the finding; -1 for the whole row
        auto row = [](const char* name, const char* cells, Field field = Field::None, const char* says = "",
                      const char* suggestion = "", int column = 0) {
            QTest::newRow(name) << QString::fromUtf8(cells) << field << QString::fromUtf8(says)
                                << QString::fromUtf8(suggestion) << column;
        };
        // お届け先郵便番号1,お届け先郵便番号2,お届け先住所1,お届け先建物名,お届け先氏名,お届け先電話番号
        row("fine, full-width, empty telephone", "１００,０００１,東京都千代田区1,,一郎,");
        row("split half lost its zero", "60,0001,北海道札幌市1,,一郎,", Field::PostalCode,
            "「お届け先郵便番号1」「お届け先郵便番号2」の郵便番号「60-0001」は桁が足りません", "0600001", 0);
        row("split second half lost its zeros", "150,1,北海道札幌市1,,一郎,", Field::PostalCode,
            "「お届け先郵便番号1」「お届け先郵便番号2」の郵便番号「150-1」は桁が足りません", "1500001", 0);
        row("six digits", "600001,,北海道札幌市1,,一郎,", Field::PostalCode, "先頭の0が消えた", "0600001");
        row("postal code shape", "12a,4567,東京都港区1,,一郎,", Field::PostalCode, "形が正しくありません");
        row("no postal code", ",,東京都港区1,,一郎,", Field::PostalCode, "郵便番号がありません");
        row("no name", "100,0001,東京都港区1,,　,", Field::Name, "「お届け先氏名」にお届け先の名前がありません", "", 4);
        row("no address", "100,0001,,ビル,一郎,", Field::AddressLine1, "住所がありません", "", 2);
        row("telephone lost its zero", "100,0001,東京都港区1,,一郎,90-1234-5678", Field::Telephone, "先頭の0が消えた",
            "090-1234-5678", 5);
        row("telephone too short", "100,0001,東京都港区1,,一郎,03-1234", Field::Telephone, "数字が6桁", "", 5);
        row("telephone letters", "100,0001,東京都港区1,,一郎,03-1234-567x", Field::Telephone, "数字とハイフン", "", 5);
        row("telephone +81 and brackets", "100,0001,東京都港区1,,一郎,+81 (3) 1234-5678");
        row("too wide for the form", "100,0001,東京都港区1,,寿限無寿限無五劫の擦り切れ,", Field::None, "名前が長すぎて",
            "", -1);
        row("data beyond the headings", "100,0001,東京都港区1,,一郎,,ずれ", Field::None,
            "列が 7 個で、見出しの行（6 個）より多く、7列目に「ずれ」", "", 6);
        // The building cell left out: the telephone would print as the name.
        row("a cell short", "100,0001,東京都港区1,一郎,0312345678", Field::None,
            "2行目は列が 5 個で、見出しの行（6 個）より少な", "", -1);
    }

    void rowChecks()
    {
        QFETCH(QString, cells);
        QFETCH(Field, field);
        QFETCH(QString, says);
        QFETCH(QString, suggestion);
        QFETCH(int, column);
        auto l = list(
            QStringLiteral(
                "お届け先郵便番号1,お届け先郵便番号2,お届け先住所1,お届け先建物名,お届け先氏名,お届け先電話番号\n%1\n")
                .arg(cells)
                .toUtf8(),
            tenCharacterNames);
        const QList<orders::Finding> findings = l->findingsAt(0);
        QCOMPARE(findings.size(), says.isEmpty() ? 0 : 1);
        QCOMPARE(l->state(0), says.isEmpty() ? RowState::Printable : RowState::Refused);
        if (says.isEmpty())
            return;
        QCOMPARE(findings[0].field, field);
        QVERIFY2(findings[0].reason.contains(says), qPrintable(findings[0].reason));
        QCOMPARE(findings[0].suggestion, suggestion);
        QCOMPARE(findings[0].column, column);
    }

    // A long CP932 list with quoted line breaks and blank lines, read in
    // slices: each row read again later (as the table does) is the row read
    // in sequence, across the reader's chunks; a recheck keeps edits and marks.
    void listStatesAndEdits()
    {
        QString text = kJapaneseHeader;
        for (int i = 0; i < 2000; ++i)
            text += QStringLiteral("N%1,%2,0001,東京都,港区,%1,\"ビル\r\n%1階\",客%1,03-0000-0000,,\r\n%3")
                        .arg(i)
                        .arg(i % 10 == 3 ? "60" : "100")
                        .arg(i % 7 == 0 ? "\r\n  \r\n" : "");
        const QString path = write(QStringLiteral("states.csv"), cp932(text));

        orders::OrderList l;
        QVERIFY(l.open(path));
        double progress = 0;
        int slices = 0;
        for (; !l.readMore(300); ++slices) {
            QVERIFY(l.progress() >= progress);
            progress = l.progress();
        }
        QVERIFY(slices >= 6);
        QCOMPARE(l.progress(), 1.0);
        QCOMPARE(l.rowCount(), 2000);
        QCOMPARE(l.countRows(RowState::Refused), 200);
        qint64 line = 2;
        for (int i = 0; i < 2000; line += (i % 7 == 0) ? 4 : 2, ++i)
            QCOMPARE(l.lineOf(i), line);
        for (int i = 1999; i >= 0; --i) {
            QCOMPARE(l.orderNumberAt(i), QStringLiteral("N%1").arg(i));
            QCOMPARE(l.waybillAt(i).recipient.line2, QStringLiteral("ビル %1階").arg(i));
        }

        // A change of checks looks at every row again and keeps the user's edit and marks.
        waybill::Waybill w = l.waybillAt(13);
        w.recipient.postalCode = QStringLiteral("0600001");
        l.setEdited(13, w);
        l.setExcluded(20, true);
        l.setPrinted(21);
        l.setFitCheck(tenCharacterNames);
        QCOMPARE(l.state(13), RowState::Unchecked);
        readToEnd(l);
        QCOMPARE(l.state(13), RowState::Printable);
        QCOMPARE(l.waybillAt(13).recipient.postalCode, QStringLiteral("0600001"));
        QCOMPARE(l.state(20), RowState::Excluded);
        QCOMPARE(l.state(21), RowState::Printed);
        QCOMPARE(l.countRows(RowState::Refused), 199);
        l.revertEdit(13);
        QCOMPARE(l.state(13), RowState::Refused);
    }

    // A named pipe, a device or a folder given as the list is refused at
    // once, named as what it is; the pipe is never waited on.
    void notAFile()
    {
        const testing::GuardedFifo fifo(m_dir.filePath(QStringLiteral("pipe.csv")));
        const std::pair<QString, QString> cases[] = {
            {fifo.path(), QStringLiteral("ふつうのファイルではありません")},
            {QStringLiteral("/dev/zero"), QStringLiteral("ふつうのファイルではありません")},
            {m_dir.path(), QStringLiteral("フォルダです")},
            {m_dir.filePath(QStringLiteral("none.csv")), QStringLiteral("見つかりません")},
        };
        for (const auto& [path, says] : cases) {
            orders::OrderList l;
            QVERIFY(!l.open(path));
            QVERIFY2(l.errorText().contains(says) && l.errorText().contains(QStringLiteral("注文一覧")),
                     qPrintable(l.errorText()));
        }
        QVERIFY(!fifo.released());
    }

    // Each encoding named as what it is, and a damaged byte named where it
    // is, with advice that does not send the user round in a circle.
    void encodingsNamed_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("refusal"); // empty: the list opens
        QTest::addColumn<QString>("said");    // the second row's finding; empty: printable
        const QString text =
            QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区,山田太郎\n"
                           "1000001,東京都港区,佐藤花子\n1000001,東京都中央区,鈴木一郎\n");
        QByteArray damaged = text.toUtf8();
        damaged.insert(damaged.indexOf("佐藤") + 3, '\xFF'); // inside 佐藤: line 3, column 3
        QTest::newRow("UTF-8, one damaged byte")
            << damaged << QString()
            << QStringLiteral(
                   "3行目の3列目に、UTF-8の文字として読めないバイトがあります。ファイルのほかの部分はUTF-8で読める");
        QByteArray cp932Damaged = cp932(text);
        cp932Damaged.insert(cp932Damaged.indexOf(cp932(QStringLiteral("佐藤"))) + 1, '\xFF');
        QTest::newRow("CP932, one damaged byte")
            << cp932Damaged << QString()
            << QStringLiteral(
                   "3行目の3列目に、Shift_JIS（CP932）の文字として読めないバイトがあります。ファイルのほかの部分は");
        QTest::newRow("EUC-JP") << encoded(text, "EUC-JP") << QStringLiteral("EUC-JPで保存されているようです")
                                << QString();
        QTest::newRow("UTF-16 with a mark")
            << QByteArray("\xFF\xFE") + encoded(text, "UTF-16LE") << QStringLiteral("UTF-16で") << QString();
        QTest::newRow("UTF-16, no mark") << encoded(text, "UTF-16BE") << QStringLiteral("UTF-16で") << QString();
        QTest::newRow("UTF-32 with a mark")
            << QByteArray("\xFF\xFE\0\0", 4) + encoded(text, "UTF-32LE") << QStringLiteral("UTF-32で") << QString();
        QTest::newRow("UTF-32, no mark") << encoded(text, "UTF-32LE") << QStringLiteral("UTF-32で") << QString();
        QTest::newRow("two marks") << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF") + text.toUtf8() << QString() << QString();
    }
    void encodingsNamed()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, refusal);
        QFETCH(QString, said);
        orders::OrderList l;
        const bool opened = l.open(write(QStringLiteral("named.csv"), bytes));
        QVERIFY2(opened == refusal.isEmpty() && l.errorText().contains(refusal), qPrintable(l.errorText()));
        if (!opened)
            return;
        readToEnd(l);
        QCOMPARE(l.countRows(RowState::Printable), said.isEmpty() ? 3 : 2);
        const QString reason = l.findingsAt(1).value(0).reason;
        QVERIFY2(reason.contains(said) && !reason.contains(QStringLiteral("選んで開き直して")), qPrintable(reason));
    }

    // CP932 text of second-level kanji alone pairs up like EUC-JP: guessed
    // as EUC-JP and said so, but read as CP932 when the user says it is.
    void cp932ThatLooksLikeEucJp()
    {
        const QByteArray bytes = QByteArray("name,memo\r\n") + "\xE4\xE4\xE4\xE4,x\r\n";
        const QString path = write(QStringLiteral("level2.csv"), bytes);
        orders::OrderList guessed;
        QVERIFY(!guessed.open(path) && guessed.errorText().contains(QStringLiteral("EUC-JP")));
        orders::OrderList told;
        QVERIFY2(told.open(path, csv::Encoding::Cp932), qPrintable(told.errorText()));
        readToEnd(told);
        QCOMPARE(told.cellsAt(0).value(0),
                 QStringDecoder("Shift_JIS")(QByteArray("\xE4\xE4\xE4\xE4")).operator QString());
    }

    // A heading two columns share, and one not known that looks like a
    // printed part (full-width ＴＥＬ), are said; widths fold.
    void headingsSaid()
    {
        auto l = list(
            QStringLiteral(
                "お届け先郵便番号,お届け先住所1,お届け先氏名,ＴＥＬ,お届け先 氏名,メモ\n1000001,東京都,山田,03,佐藤,x\n")
                .toUtf8());
        const QString notes = l->headingNotes().join(u'\n');
        QVERIFY2(l->headingNotes().size() == 2 &&
                     notes.contains(QStringLiteral("見出し「お届け先氏名」の列がいくつもあります（3列目と5列目）")) &&
                     notes.contains(QStringLiteral("見出し「ＴＥＬ」（4列目）は「電話番号」の列のよう")),
                 qPrintable(notes));
        // Once the user set the columns, there is nothing to say.
        orders::ColumnMap map = l->columns();
        map[3] = Field::Telephone;
        QVERIFY(l->setColumns(map));
        QVERIFY(l->headingNotes().isEmpty());
    }

    // The program's own export is known by every heading, in order, the
    // first included, in either format; one heading changed anywhere, or one
    // more or fewer, is an order list like any other.
    void ownExportKnownByEveryHeading()
    {
        const QStringList current = orders::addressBookHeadings();
        QCOMPARE(orders::addressBookFormat(current), orders::AddressBookFormat::Current);
        QCOMPARE(orders::addressBookFormat(current.mid(0, 7)), orders::AddressBookFormat::First);
        for (const QStringList& headings : {current, current.mid(0, 7)})
            for (qsizetype i = 0; i < headings.size(); ++i) {
                QStringList changed = headings;
                changed[i] = QStringLiteral("備考");
                QVERIFY2(!orders::isAddressBookHeader(changed), qPrintable(changed.join(u',')));
                // 区分 means a kind of address only in the export itself.
                QVERIFY(!orders::recogniseHeadings(changed).contains(Field::Kind));
            }
        QVERIFY(!orders::isAddressBookHeader(current.mid(0, 6)) &&
                !orders::isAddressBookHeader(current + QStringList{QStringLiteral("備考")}));
    }

    void headerProblems()
    {
        orders::OrderList l;
        QVERIFY(!l.open(write(QStringLiteral("empty.csv"), "\r\n\r\n  \r\n")));
        QVERIFY2(l.errorText().contains(QStringLiteral("見出しの行がありません")), qPrintable(l.errorText()));
        // Headings read in the wrong encoding are refused before any row.
        QVERIFY(!l.open(write(QStringLiteral("wrong.csv"), cp932(kJapaneseHeader)), Encoding::Utf8));
        QVERIFY2(l.errorText().contains(QStringLiteral("1行目の1列目")), qPrintable(l.errorText()));
    }
};

QTEST_GUILESS_MAIN(OrdersTest)
#include "tst_orders.moc"
