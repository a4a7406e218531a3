#include "addressbook/csvfile.h"

#include "csv/reader.h"
#include "csv/writer.h"
#include "entry/textrules.h"
#include "orders/columns.h"

#include <algorithm>

namespace addressbook {

CsvExport writeCsv(AddressBook& book, QIODevice& device, csv::Encoding encoding)
{
    CsvExport result;
    csv::Writer writer(device, encoding);
    if (writer.write(orders::addressBookHeadings()) != csv::Writer::Result::Written) {
        result.errorText = writer.errorText();
        return result;
    }
    bool deviceFailed = false;
    const bool readWhole = book.forEach([&](const AddressEntry& entry) {
        switch (writer.write(
            orders::addressBookRecord(entry.kind == Kind::Sender, entry.address, entry.lastUsed, entry.reading))) {
        case csv::Writer::Result::Written:
            ++result.written;
            return true;
        case csv::Writer::Result::Unwritable: {
            UnwritableEntry left{entry.kind, entry.address, {}};
            for (const csv::UnwritableField& field : writer.unwritable())
                for (const QChar c : field.characters)
                    if (!left.characters.contains(c))
                        left.characters += c;
            result.unwritable.append(left);
            return true;
        }
        case csv::Writer::Result::DeviceFailed:
            deviceFailed = true;
            return false;
        }
        return false;
    });
    if (deviceFailed)
        result.errorText = writer.errorText();
    else if (!readWhole)
        result.errorText = QStringLiteral("住所録を最後まで読み出せなかったため、書き出しをやめました。");
    result.ok = result.errorText.isEmpty();
    return result;
}

CsvReading::CsvReading(QIODevice& device) : m_device(device) {}

CsvReading::~CsvReading() = default;

bool CsvReading::start()
{
    m_sizeBytes = m_device.size();
    m_reader = std::make_unique<csv::Reader>(m_device);
    if (!m_reader->start()) {
        m_errorText = m_reader->errorText();
        return false;
    }
    csv::Record heading;
    if (m_reader->next(heading) == csv::Reader::Step::Record)
        m_format = orders::addressBookFormat(heading.fields);
    m_columns = heading.fields.size();
    if (m_format == orders::AddressBookFormat::None) {
        m_errorText =
            QStringLiteral(
                "このファイルは住所録の形式ではありません。1行目が「%1」の見出しになっているCSVファイルを選んでください"
                "（住所録の「書き出し」で作ったファイルです）。")
                .arg(orders::addressBookHeadings().join(QStringLiteral(", ")));
        return false;
    }
    return true;
}

bool CsvReading::readMore(int maxRecords)
{
    if (m_done || !m_reader)
        return true;
    const QList<orders::AddressBookColumn>& columns = orders::addressBookColumns();
    csv::Record record;
    for (int n = 0; n < maxRecords; ++n) {
        const csv::Reader::Step step = m_reader->next(record);
        if (step == csv::Reader::Step::End) {
            m_done = true;
            return true;
        }
        if (step == csv::Reader::Step::Failed) {
            m_errorText = QStringLiteral("%1行目で読み込みをやめました：%2")
                              .arg(m_reader->errorLine())
                              .arg(m_reader->errorText());
            m_done = true;
            return true;
        }
        const QString where = QStringLiteral("%1行目：").arg(record.line);
        if (record.badColumn >= 0) {
            m_skipped.append(where + record.problem);
            continue;
        }
        // A cell left out or one too many would move every later cell into
        // the next property.
        const bool extraText =
            std::any_of(record.fields.cbegin() + std::min(m_columns, record.fields.size()), record.fields.cend(),
                        [](const QString& cell) { return !cell.trimmed().isEmpty(); });
        if (record.fields.size() < m_columns || extraText) {
            m_skipped.append(where + QStringLiteral("列が %1 個で、見出しの行（%2 個）と合いません。")
                                         .arg(record.fields.size())
                                         .arg(m_columns));
            continue;
        }
        ImportEntry entry;
        QString kindText;
        QString shownText;
        bool anyText = false;
        for (qsizetype i = 0; i < m_columns; ++i) {
            const QString cell = entry::flattenLineBreaks(orders::withoutFormulaGuard(record.fields[i], m_format));
            if (columns[i].field != orders::Field::Kind && columns[i].field != orders::Field::CareOfShown &&
                columns[i].field != orders::Field::LastUsed && columns[i].field != orders::Field::Reading &&
                !cell.trimmed().isEmpty())
                anyText = true;
            waybill::Address& a = entry.address;
            switch (columns[i].field) {
            case orders::Field::Kind:
                kindText = cell.trimmed();
                break;
            case orders::Field::CareOfShown:
                shownText = cell;
                break;
            case orders::Field::LastUsed:
                entry.lastUsed = orders::lastUsedOf(cell).value_or(QDateTime());
                break;
            case orders::Field::Reading:
                entry.reading = cell.trimmed();
                break;
            case orders::Field::PostalCode:
                a.postalCode = entry::asciiNumerals(cell);
                break;
            case orders::Field::AddressLine1:
                a.line1 = cell;
                break;
            case orders::Field::AddressLine2:
                a.line2 = cell;
                break;
            case orders::Field::Name:
                a.name = cell;
                break;
            case orders::Field::CareOf:
                a.careOf = cell;
                break;
            case orders::Field::Telephone:
                a.telephone = entry::asciiNumerals(cell);
                break;
            default:
                break;
            }
        }
        if (kindText == orders::recipientKindText()) {
            entry.kind = Kind::Recipient;
        } else if (kindText == orders::senderKindText()) {
            entry.kind = Kind::Sender;
        } else {
            m_skipped.append(where + QStringLiteral("区分が「%1」でも「%2」でもありません（「%3」）。")
                                         .arg(orders::recipientKindText(), orders::senderKindText(), kindText));
            continue;
        }
        if (!anyText) {
            m_skipped.append(where + QStringLiteral("住所も名前も空です。"));
            continue;
        }
        // The first format had no column for the care-of switch: there a
        // care-of text is there to be printed.
        if (m_format == orders::AddressBookFormat::First || shownText.trimmed().isEmpty()) {
            entry.address.careOfShown = !entry.address.careOf.isEmpty();
        } else if (const std::optional<bool> shown = orders::careOfShownOf(shownText)) {
            entry.address.careOfShown = *shown;
        } else {
            m_skipped.append(where +
                             QStringLiteral("「様方を印刷」が「%1」でも「%2」でもありません（「%3」）。")
                                 .arg(orders::careOfShownText(true), orders::careOfShownText(false), shownText));
            continue;
        }
        m_entries.append(entry);
    }
    return false;
}

double CsvReading::progress() const
{
    if (m_done || m_sizeBytes <= 0)
        return 1.0;
    return std::min(1.0, double(m_reader ? m_reader->positionBytes() : 0) / double(m_sizeBytes));
}

csv::Encoding CsvReading::encoding() const { return m_reader ? m_reader->encoding() : csv::Encoding::Utf8; }

} // namespace addressbook
