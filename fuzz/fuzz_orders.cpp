// libFuzzer target for reading order lists: any bytes must give records or a
// clear refusal, never a crash, a hang or unbounded memory. Beyond that it
// holds the reader to three promises: a record read again at its offset is
// the same record; what the writer wrote reads back as written; and the
// order list gives each of its rows the texts the reader gave.
#include "csv/reader.h"
#include "csv/writer.h"
#include "orders/itemfile.h"
#include "orders/orderlist.h"
#include "orders/prefectures.h"

#include <QBuffer>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMostRecords = 200;

[[noreturn]] void broken(const char* promise)
{
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

void writeAndReadBack(const QList<csv::Record>& records, csv::Encoding encoding)
{
    QBuffer buffer;
    buffer.open(QIODevice::ReadWrite);
    csv::Writer writer(buffer, encoding);
    QList<QStringList> written;
    for (const auto& record : records) {
        if (record.badColumn >= 0)
            continue;
        const csv::Writer::Result result = writer.write(record.fields);
        if (result == csv::Writer::Result::DeviceFailed)
            broken("a buffer takes every write");
        if (result == csv::Writer::Result::Unwritable) {
            if (encoding == csv::Encoding::Utf8)
                broken("UTF-8 holds every decoded text");
            continue;
        }
        QStringList guarded;
        for (const QString& field : record.fields)
            guarded << csv::Writer::guardFormula(field);
        written << guarded;
    }
    buffer.seek(0);
    csv::Reader reader(buffer, csv::Reader::Options{encoding});
    if (!reader.start()) {
        // Only a file with many control bytes may look binary.
        const QByteArray& file = buffer.data();
        qsizetype controls = 0;
        for (char c : file)
            controls += static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\r' && c != '\n';
        if (controls < 8 || controls * 40 <= file.size())
            broken("what was written is taken for CSV text");
        return;
    }
    csv::Record back;
    for (const QStringList& fields : written) {
        if (reader.next(back) != csv::Reader::Step::Record)
            broken("what was written reads back");
        if (back.fields != fields || back.badColumn >= 0)
            broken("what was written reads back unchanged");
    }
    if (reader.next(back) != csv::Reader::Step::End)
        broken("nothing more reads back than was written");
}

void readOrderList(const QByteArray& bytes, std::optional<csv::Encoding> encoding, const QList<csv::Record>& records)
{
    orders::OrderList list;
    list.setFitCheck([](const waybill::Waybill& w) -> std::optional<QString> {
        if (w.recipient.name.size() > 12)
            return QStringLiteral("名前が長すぎます");
        return std::nullopt;
    });
    auto device = std::make_unique<QBuffer>();
    device->setData(bytes);
    device->open(QIODevice::ReadOnly);
    if (!list.open(std::move(device), encoding))
        return;
    for (int slice = 0; !list.readMore(7) && slice < 100; ++slice) {
    }
    if (list.missingFields().isEmpty() == false) {
        // What a user would do: put the columns in some order and read again.
        orders::ColumnMap map(list.headings().size(), orders::Field::None);
        const QList<orders::Field> fields = orders::assignableFields();
        for (qsizetype i = 0; i < map.size() && i + 1 < fields.size(); ++i)
            map[i] = fields[i + 1];
        list.setColumns(map);
        for (int slice = 0; !list.readMore(50) && slice < 100; ++slice) {
        }
    }
    // Rows are the reader's non-blank records after the heading row.
    QList<const csv::Record*> rows;
    bool header = true;
    for (const auto& record : records) {
        bool blank = true;
        for (const QString& field : record.fields)
            blank = blank && field.trimmed().isEmpty();
        if (blank)
            continue;
        if (header) {
            header = false;
            continue;
        }
        rows << &record;
    }
    // A platform's list is read by order: a row is then an order, not a line.
    for (qint64 row = 0; !list.byOrder() && row < list.rowCount() && row < rows.size(); ++row) {
        if (list.lineOf(row) != rows[row]->line || list.cellsAt(row) != rows[row]->fields)
            broken("the list's row is the reader's record");
    }
    for (qint64 row = list.rowCount() - 1; row >= 0 && row >= list.rowCount() - 5; --row) {
        waybill::Waybill w = list.waybillAt(row);
        (void)list.findingsAt(row);
        (void)list.orderNumberAt(row);
        w.recipient.name = QStringLiteral("修正済み");
        list.setEdited(row, w);
        if (list.waybillAt(row) != w)
            broken("an edited row gives the edited waybill");
        list.revertEdit(row);
        list.setExcluded(row, row % 2 == 0);
        (void)list.state(row);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The length decides the encoding, so that seed files stay plain CSV.
    std::optional<csv::Encoding> encoding;
    if (size % 3 == 1)
        encoding = csv::Encoding::Utf8;
    else if (size % 3 == 2)
        encoding = csv::Encoding::Cp932;

    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    // Tab-separated by the heading line, as the order list reads.
    csv::Reader reader(buffer, csv::Reader::Options{encoding, 4096, 300, true});
    QList<csv::Record> records;
    csv::Record record;
    csv::Reader::Step step = csv::Reader::Step::Failed;
    if (reader.start()) {
        while (records.size() < kMostRecords && (step = reader.next(record)) == csv::Reader::Step::Record)
            records << record;
        if (step == csv::Reader::Step::Failed && (reader.errorText().isEmpty() || reader.errorLine() <= 0))
            broken("a failure names its line");
    } else if (reader.errorText().isEmpty()) {
        broken("a refusal says why");
    }

    qint64 previousLine = 0;
    for (const auto& r : records) {
        if (r.line <= previousLine)
            broken("records start on later lines");
        previousLine = r.line;
    }
    for (qsizetype i = records.size() - 1; i >= 0; --i) {
        csv::Record again;
        if (reader.readAt(records[i].offsetBytes, records[i].line, again) != csv::Reader::Step::Record ||
            again.fields != records[i].fields || again.line != records[i].line ||
            again.badColumn != records[i].badColumn || again.bytesHash != records[i].bytesHash)
            broken("a record read again at its offset is the same record");
        // Read for every other column: those cells, as many cells, the same
        // bytes, and blank exactly when the whole record is.
        const csv::Reader::Columns evenColumns{true, false, true, false, true, false, true, false};
        if (reader.readAt(records[i].offsetBytes, records[i].line, again, &evenColumns) != csv::Reader::Step::Record ||
            again.fields.size() != records[i].fields.size() || again.bytesHash != records[i].bytesHash)
            broken("a record read for some columns is the same record");
        bool wholeBlank = true, partBlank = true;
        for (qsizetype column = 0; column < again.fields.size(); ++column) {
            wholeBlank = wholeBlank && records[i].fields[column].trimmed().isEmpty();
            partBlank = partBlank && again.fields[column].trimmed().isEmpty();
            if (column < qsizetype(evenColumns.size()) && evenColumns[size_t(column)] &&
                again.fields[column] != records[i].fields[column])
                broken("a column read is read as in the whole record");
        }
        if (wholeBlank != partBlank)
            broken("a record read for some columns is blank exactly when it is");
    }

    if (!records.isEmpty()) {
        const orders::ColumnMap map = orders::recogniseHeadings(records[0].fields);
        (void)orders::missingFields(map);
        (void)orders::headerKey(records[0].fields);
        for (qsizetype i = 1; i < records.size(); ++i) {
            const waybill::Waybill w = orders::buildWaybill(map, records[i].fields, {});
            (void)orders::checkWaybill(w, records[0].fields, map, {});
        }
    }
    // Read as a shop's item file: items kept by order, never a crash.
    {
        QBuffer items;
        items.setData(bytes);
        items.open(QIODevice::ReadOnly);
        orders::ItemFile itemFile;
        if (!itemFile.read(items, QStringLiteral("items.csv"), encoding) && itemFile.errorText().isEmpty())
            broken("an item file refused says why");
        for (const auto& r : records)
            if (!r.fields.isEmpty())
                for (const orders::OrderItem& item : itemFile.itemsOf(r.fields.front().trimmed()))
                    if (item.quantity == QLatin1String("0"))
                        broken("an item with nothing to ship is no goods");
    }
    // What a list's cells go through on their way to a waybill.
    for (const auto& r : records)
        for (const QString& field : r.fields) {
            (void)orders::prefectureName(field);
            if (const QString kanji = orders::withKanjiPrefecture(field);
                kanji != field && !orders::latinStart(kanji).isEmpty())
                broken("a prefecture read from Latin letters is written in kanji");
            const orders::CareOfSplit careOf = orders::takeCareOf(field);
            if (careOf.text.size() + careOf.careOf.size() > field.size())
                broken("a care-of part taken out adds nothing");
            if (orders::withoutMarketingBrackets(field).isEmpty() != field.trimmed().isEmpty())
                broken("a title without its brackets is never left empty");
            const orders::AddressLines lines = orders::splitAddress(
                field,
                {[](const QString& t) { return t.size() <= 12; }, [](const QString& t) { return t.size() <= 16; },
                 [](const QString& t) { return t.size() <= 24; }, [](const QString& t) { return t.size() <= 32; }});
            QString joined = lines.line1 + lines.line2, whole = field;
            joined.removeIf([](QChar c) { return c.isSpace(); });
            whole.removeIf([](QChar c) { return c.isSpace(); });
            if (joined != whole)
                broken("an address over two lines loses nothing");
        }
    writeAndReadBack(records, csv::Encoding::Utf8);
    writeAndReadBack(records, csv::Encoding::Cp932);
    if (step != csv::Reader::Step::Failed || records.size() > 1)
        readOrderList(bytes, encoding, records);
    return 0;
}
