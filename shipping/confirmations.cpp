#include "shipping/confirmations.h"

#include "csv/writer.h"

#include <QBuffer>
#include <QHash>
#include <QSet>

namespace shipping {

using tracking::Carrier;
using tracking::TrackingNumber;

namespace {

// What a format's notes say; %1 is the carrier's name, %2 what was written
// in its place (either may be left out). nullptr: nothing to say.
struct FormatNotes {
    Format format;
    const char16_t* platformName;   // whose parcels the file holds; nullptr: everyone's
    const char16_t* aboutFormat;    // said whenever the format is written
    const char16_t* substituteCode; // a carrier written with a stand-in code
    const char16_t* severalNumbers; // an order in several parcels; %1 its order number
};

const QList<FormatNotes>& formatNotes()
{
    static const QList<FormatNotes> rows = {
        {Format::Amazon, u"Amazon", nullptr,
         u"Amazon が受け付ける配送業者コードが確かめられていないため、%1の注文は carrier-code を Other、carrier-name を「%2」にしました（Amazon の案内する書き方です）。",
         u"注文 %1 は荷物が複数個のため、荷物ごとに1行ずつ書き出しました。1つの注文の複数の行を Amazon が受け付けるかは確かめられていません。"},
        {Format::Rakuten, u"楽天市場", nullptr, nullptr,
         u"注文 %1 は同じ送付先に荷物が複数個のため、荷物ごとに1行ずつ（発送明細IDは空欄で）書き出しました。"},
        {Format::Yahoo, u"Yahoo!ショッピング",
         u"Yahoo!ショッピングの出荷情報ファイルの発送日の書式（年-月-日）と文字コードは確かめられていません。アップロードの結果を確かめてください。",
         u"Yahoo!ショッピングの%1の配送会社コードが確かめられていないため、ShipCompanyCode を空欄にしました。ストアクリエイターProで配送会社を選んでください。",
         nullptr},
        {Format::Shopify, u"Shopify",
         u"Shopify の管理画面には出荷情報の取り込みがないため、Matrixify アプリの注文の取り込み形式で書き出しました。",
         u"%1は Shopify の配送業者の一覧で確かめられていないため、Tracking Company に「%2」と書きました（追跡ページへのリンクは付かないことがあります）。",
         u"注文 %1 は荷物が複数個のため、荷物ごとに1行ずつ書き出しました。1つの注文の複数の行を Matrixify がどう取り込むかは確かめられていません。"},
        {Format::Generic, nullptr, nullptr, nullptr, nullptr},
    };
    return rows;
}

const FormatNotes& notesOf(Format format)
{
    for (const FormatNotes& row : formatNotes())
        if (row.format == format)
            return row;
    Q_UNREACHABLE();
    return formatNotes().back();
}

QString text(const char16_t* s) { return s ? QString::fromUtf16(s) : QString(); }

// One order as written: the parcels of one order number, ship-to and
// carrier, each number once.
struct Shipment {
    QString orderNumber;
    QString shipToId;
    std::optional<Carrier> carrier; // none: no parcel of it carries a known number
    QString recipientName;
    QDate shipDate; // of the first parcel
    QList<TrackingNumber> numbers;
    QList<QDate> dates; // per number
};

QString orderLabel(const Shipment& shipment)
{
    if (!shipment.orderNumber.isEmpty())
        return QStringLiteral("注文 %1").arg(shipment.orderNumber);
    return QStringLiteral("お届け先「%1」の注文番号のない注文").arg(shipment.recipientName);
}

Result<QList<Shipment>> merged(const QList<ShippedParcel>& parcels)
{
    QList<Shipment> shipments;
    QHash<QString, qsizetype> byOrder;
    QSet<QString> numbersSeen;
    for (const ShippedParcel& parcel : parcels) {
        std::optional<Carrier> carrier;
        if (parcel.trackingNumber)
            carrier = parcel.trackingNumber->carrier();
        Shipment incoming{parcel.orderNumber, parcel.shipToId, carrier, parcel.recipientName, parcel.shipDate, {}, {}};
        if (!parcel.shipDate.isValid())
            return fail(QStringLiteral("%1 の発送日がありません。").arg(orderLabel(incoming)));
        if (parcel.trackingNumber) {
            // The same form twice (recorded twice, or read from two places)
            // is one parcel: a number never goes on two lines.
            const QString key = tracking::carrierToken(*carrier) + QLatin1Char(' ') + parcel.trackingNumber->digits();
            if (numbersSeen.contains(key))
                continue;
            numbersSeen.insert(key);
            incoming.numbers << *parcel.trackingNumber;
            incoming.dates << parcel.shipDate;
        }
        if (parcel.orderNumber.isEmpty()) {
            shipments << incoming;
            continue;
        }
        const QString key = parcel.orderNumber + QChar(0x1F) + parcel.shipToId + QChar(0x1F) +
                            (carrier ? tracking::carrierToken(*carrier) : QString());
        const auto found = byOrder.constFind(key);
        if (found == byOrder.constEnd()) {
            byOrder.insert(key, shipments.size());
            shipments << incoming;
            continue;
        }
        Shipment& earlier = shipments[*found];
        earlier.numbers << incoming.numbers;
        earlier.dates << incoming.dates;
    }
    return shipments;
}

// The fields of one record.
QStringList recordFields(const FormatRow& row, const Shipment& shipment, const QList<TrackingNumber>& numbers,
                         QDate date)
{
    const CarrierCodeRow* code = shipment.carrier ? carrierCode(row.format, *shipment.carrier) : nullptr;
    QStringList fields;
    for (const Column& column : row.columns) {
        switch (column.value) {
        case Value::Blank:
            fields << QString();
            break;
        case Value::Fixed:
            fields << text(column.fixedText);
            break;
        case Value::OrderNumber:
            fields << shipment.orderNumber;
            break;
        case Value::ShipToId:
            fields << shipment.shipToId;
            break;
        case Value::ShipDate:
            fields << date.toString(text(row.datePattern));
            break;
        case Value::CarrierCode:
            fields << (code ? text(code->code) : QString());
            break;
        case Value::CarrierName:
            fields << (code               ? text(code->name)
                       : shipment.carrier ? tracking::carrierName(*shipment.carrier)
                                          : QString());
            break;
        case Value::TrackingDigits:
            fields << (numbers.size() > 0 ? numbers[0].digits() : QString());
            break;
        case Value::SecondTrackingDigits:
            fields << (numbers.size() > 1 ? numbers[1].digits() : QString());
            break;
        case Value::TrackingDisplay:
            fields << (numbers.size() > 0 ? numbers[0].display() : QString());
            break;
        case Value::RecipientName:
            fields << shipment.recipientName;
            break;
        }
    }
    return fields;
}

// Lays out records in memory, in the format's encoding and delimiter.
class Layout {
public:
    explicit Layout(const FormatRow& row) : m_row(row), m_encoder(row.encoding), m_buffer(&m_bytes)
    {
        m_buffer.open(QIODevice::WriteOnly);
        if (row.delimiter == u',')
            m_csv = std::make_unique<csv::Writer>(m_buffer, row.encoding);
    }

    // Empty, or why the record cannot be written.
    QString add(const QStringList& fields, const QString& whose)
    {
        if (m_csv) {
            switch (m_csv->write(fields)) {
            case csv::Writer::Result::Written:
                return {};
            case csv::Writer::Result::Unwritable: {
                const csv::UnwritableField& field = m_csv->unwritable().front();
                return unwritable(whose, field.column, field.text, field.characters);
            }
            case csv::Writer::Result::DeviceFailed:
                return m_csv->errorText();
            }
        }
        if (!m_encoder.isUsable())
            return QStringLiteral("この環境では%1の文字コードで書き出せません。").arg(csv::displayName(m_row.encoding));
        QByteArray line;
        for (qsizetype column = 0; column < fields.size(); ++column) {
            const QString& field = fields[column];
            if (field.contains(QLatin1Char('\t')) || field.contains(QLatin1Char('\n')) ||
                field.contains(QLatin1Char('\r')))
                return QStringLiteral(
                           "%1 の「%2」欄にタブか改行があり、タブ区切りのファイルに書けません。ファイルは書き出していません。")
                    .arg(whose, text(m_row.columns[column].heading));
            QString missing;
            const std::optional<QByteArray> bytes = m_encoder.encode(field, missing);
            if (!bytes)
                return unwritable(whose, int(column), field, missing);
            if (column > 0)
                line += '\t';
            line += *bytes;
        }
        line += "\r\n";
        if (m_bytes.isEmpty() && m_row.encoding == csv::Encoding::Utf8 && m_row.byteOrderMark)
            line.prepend("\xEF\xBB\xBF");
        m_buffer.write(line);
        return {};
    }

    QByteArray bytes() const
    {
        // The CSV writer always begins UTF-8 with a byte-order mark.
        if (m_csv && m_row.encoding == csv::Encoding::Utf8 && !m_row.byteOrderMark &&
            m_bytes.startsWith("\xEF\xBB\xBF"))
            return m_bytes.sliced(3);
        return m_bytes;
    }

private:
    QString unwritable(const QString& whose, int column, const QString& field, const QString& characters) const
    {
        return QStringLiteral(
                   "%1 の「%2」欄の「%3」には、%4で書けない文字「%5」があります。ファイルは書き出していません。")
            .arg(whose, text(m_row.columns[column].heading), field, csv::displayName(m_row.encoding), characters);
    }

    const FormatRow& m_row;
    csv::FieldEncoder m_encoder;
    QByteArray m_bytes;
    QBuffer m_buffer;
    std::unique_ptr<csv::Writer> m_csv;
};

QString listed(const QStringList& items)
{
    constexpr qsizetype kShown = 5;
    QString list = items.first(qMin(kShown, items.size())).join(QStringLiteral("、"));
    if (items.size() > kShown)
        list += QStringLiteral(" ほか%1件").arg(items.size() - kShown);
    return list;
}

} // namespace

const QList<FormatRow>& formatRows()
{
    static const QList<FormatRow> rows = {
        // Amazon.co.jp's shipping confirmation template (出荷通知ファイル,
        // Flat.File.ShippingConfirm.jp): tab-separated, three heading rows:
        // "TemplateType=OrderFulfillment / Version=2011.1102 / この行は…",
        // the Japanese labels, then the field names, nine columns ending in
        // cod-collection-method. Rows and labels as four independent public
        // writers of the file have them, two of which write it in Shift_JIS
        // (CP932 here); the field names and their meaning in
        // sellercentral.amazon.co.jp help itemID=641, which says not every
        // field is required: order-item-id and quantity left empty confirm the
        // whole order, as this program's parcel holds it. ship-date
        // yyyy-mm-dd (shirokuni.hatenadiary.org/entry/20090616/1245109110).
        // Not confirmed: whether the template's Version is still 2011.1102,
        // and whether UTF-8 is taken as well.
        {Format::Amazon,
         u"amazon",
         u"Amazon 出荷通知（タブ区切り）",
         u"txt",
         u'\t',
         csv::Encoding::Cp932,
         false,
         u"yyyy-MM-dd",
         1,
         true,
         {{u"order-id", Value::OrderNumber, nullptr, u"注文番号"},
          {u"order-item-id", Value::Blank, nullptr, u"注文商品番号"},
          {u"quantity", Value::Blank, nullptr, u"出荷数"},
          {u"ship-date", Value::ShipDate, nullptr, u"出荷日"},
          {u"carrier-code", Value::CarrierCode, nullptr, u"配送業者コード"},
          {u"carrier-name", Value::CarrierName, nullptr, u"配送業者名"},
          {u"tracking-number", Value::TrackingDigits, nullptr, u"お問い合わせ伝票番号"},
          {u"ship-method", Value::Blank, nullptr, u"配送方法"},
          {u"cod-collection-method", Value::Blank, nullptr, u"代金引換"}},
         u"TemplateType=OrderFulfillment\tVersion=2011.1102\tこの行はAmazonが使用しますので変更や削除しないでください。"},
        // 楽天 RMS 発送完了報告 upload: this heading row in five independent
        // writers (e.g. a test row 333267-20260901-0000000001,,,621234567890,1003,2026-09-08);
        // a blank 発送明細ID adds a shipment line, so one row per parcel;
        // 送付先ID is the ship-to's id from the order list (one per address of
        // an order to several), written whenever the list had it: a shop
        // tool's manual (manual.next-engine.net ID 20649) says a report
        // without the 送付先ID RMS issued fails; blank only for lists without
        // one. Whether RMS takes orders to one and to several addresses in
        // one file is not confirmed (one shop tool writes them apart).
        // 発送日 yyyy-mm-dd; written in CP932 (SJIS-win) by the shop tools
        // that upload it.
        {Format::Rakuten,
         u"rakuten",
         u"楽天市場 発送完了報告（RMS）",
         u"csv",
         u',',
         csv::Encoding::Cp932,
         false,
         u"yyyy-MM-dd",
         1,
         true,
         {{u"注文番号", Value::OrderNumber},
          {u"送付先ID", Value::ShipToId},
          {u"発送明細ID", Value::Blank},
          {u"お荷物伝票番号", Value::TrackingDigits},
          {u"配送会社", Value::CarrierCode},
          {u"発送日", Value::ShipDate}}},
        // Yahoo!ショッピング 出荷情報: heading row as third-party writers use it
        // (two invoice-number columns per order: the order's first two
        // parcels' numbers, never one twice); ShipStatus 3 = 出荷済
        // (developer.yahoo.co.jp/webapi/shopping/orderInfo.html as mirrored
        // in code); invoice numbers half-width digits
        // (developer.yahoo.co.jp/webapi/shopping/orderShipStatusChange.html,
        // 2022-11-07). Date pattern and encoding not confirmed: every field
        // is plain ASCII, the same bytes in CP932 and UTF-8.
        {Format::Yahoo,
         u"yahoo",
         u"Yahoo!ショッピング 出荷情報",
         u"csv",
         u',',
         csv::Encoding::Cp932,
         false,
         u"yyyy-MM-dd",
         2,
         true,
         {{u"OrderId", Value::OrderNumber},
          {u"ShipCompanyCode", Value::CarrierCode},
          {u"ShipInvoiceNumber1", Value::TrackingDigits},
          {u"ShipInvoiceNumber2", Value::SecondTrackingDigits},
          {u"ShipDate", Value::ShipDate},
          {u"ShipStatus", Value::Fixed, u"3"}}},
        // Shopify's admin has no CSV import of fulfilments (web.cuebko.com/?p=978);
        // the Matrixify app imports orders with these columns: Line: Type =
        // Fulfillment Line creates the fulfilment, Fulfillment: Status =
        // success, Send Receipt = TRUE notifies the customer (several public
        // import scripts). Shopify takes one tracking number per fulfilment
        // (its 2020-01 Fulfillment API: separate fulfilments for several
        // numbers), so one row per form. UTF-8.
        {Format::Shopify,
         u"shopify",
         u"Shopify（Matrixify で取り込み）",
         u"csv",
         u',',
         csv::Encoding::Utf8,
         false,
         u"yyyy-MM-dd",
         1,
         true,
         {{u"Name", Value::OrderNumber},
          {u"Command", Value::Fixed, u"UPDATE"},
          {u"Line: Type", Value::Fixed, u"Fulfillment Line"},
          {u"Fulfillment: Status", Value::Fixed, u"success"},
          {u"Fulfillment: Tracking Company", Value::CarrierCode},
          {u"Fulfillment: Tracking Number", Value::TrackingDigits},
          {u"Fulfillment: Send Receipt", Value::Fixed, u"TRUE"}}},
        // The program's own list for a spreadsheet or any other platform,
        // every parcel printed whatever it came from: UTF-8 with a
        // byte-order mark so that Excel reads it as UTF-8; the number as on
        // the form, which a spreadsheet keeps as text.
        {Format::Generic,
         u"generic",
         u"汎用 CSV",
         u"csv",
         u',',
         csv::Encoding::Utf8,
         true,
         u"yyyy-MM-dd",
         1,
         false,
         {{u"注文番号", Value::OrderNumber},
          {u"運送会社", Value::CarrierName},
          {u"伝票番号", Value::TrackingDisplay},
          {u"発送日", Value::ShipDate},
          {u"お届け先名", Value::RecipientName}},
         nullptr,
         false},
    };
    return rows;
}

const QList<CarrierCodeRow>& carrierCodeRows()
{
    using S = CodeStatus;
    static const QList<CarrierCodeRow> rows = {
        // Amazon.co.jp requires carrier-code; a carrier not in its list is
        // written Other with carrier-name filled in
        // (https://sellercentral.amazon.co.jp/forums/t/topic/110112). Which
        // codes it lists for these carriers is not confirmed, so all are
        // written that way.
        {Format::Amazon, Carrier::Yamato, u"Other", u"ヤマト運輸", S::Substitute},
        {Format::Amazon, Carrier::Sagawa, u"Other", u"佐川急便", S::Substitute},
        {Format::Amazon, Carrier::JapanPost, u"Other", u"日本郵便", S::Substitute},
        {Format::Amazon, Carrier::Seino, u"Other", u"西濃運輸", S::Substitute},
        {Format::Amazon, Carrier::Fukuyama, u"Other", u"福山通運", S::Substitute},
        {Format::Amazon, Carrier::Other, u"Other", u"その他", S::Substitute},
        // 楽天 RMS 配送会社 codes: the RMS API's shipping model as mirrored in
        // github.com/JakeJP/Rakuten.RMS.Api (docs/reference/...shippingmodel.md)
        // and github.com/hayabusa-systems/rms-go-sdk.
        {Format::Rakuten, Carrier::Yamato, u"1001", u"ヤマト運輸", S::Confirmed},
        {Format::Rakuten, Carrier::Sagawa, u"1002", u"佐川急便", S::Confirmed},
        {Format::Rakuten, Carrier::JapanPost, u"1003", u"日本郵便", S::Confirmed},
        {Format::Rakuten, Carrier::Seino, u"1004", u"西濃運輸", S::Confirmed},
        {Format::Rakuten, Carrier::Fukuyama, u"1006", u"福山通運", S::Confirmed},
        {Format::Rakuten, Carrier::Other, u"1000", u"その他", S::Confirmed},
        // Yahoo! ShipCompanyCode: 1001, 1002, 1003, 1006 from third-party
        // shop systems' code maps; the official table
        // (developer.yahoo.co.jp/webapi/shopping/orderInfo.html#shipcompanycode)
        // differs from Rakuten's above 1027, so 西濃運輸 and "other" are not
        // guessed from Rakuten's numbers: left blank for the shop to choose.
        {Format::Yahoo, Carrier::Yamato, u"1001", u"ヤマト運輸", S::Confirmed},
        {Format::Yahoo, Carrier::Sagawa, u"1002", u"佐川急便", S::Confirmed},
        {Format::Yahoo, Carrier::JapanPost, u"1003", u"日本郵便", S::Confirmed},
        {Format::Yahoo, Carrier::Seino, u"", u"西濃運輸", S::Substitute},
        {Format::Yahoo, Carrier::Fukuyama, u"1006", u"福山通運", S::Confirmed},
        {Format::Yahoo, Carrier::Other, u"", u"その他", S::Substitute},
        // Shopify tracking companies, written exactly as its list has them
        // (shopify.dev FulfillmentTrackingInfo, supported tracking companies;
        // several connectors send these); a name not in the list is kept as
        // text without a tracking link.
        {Format::Shopify, Carrier::Yamato, u"Yamato (JA)", u"Yamato (JA)", S::Confirmed},
        {Format::Shopify, Carrier::Sagawa, u"Sagawa (JA)", u"Sagawa (JA)", S::Confirmed},
        {Format::Shopify, Carrier::JapanPost, u"Japan Post (JA)", u"Japan Post (JA)", S::Confirmed},
        {Format::Shopify, Carrier::Seino, u"西濃運輸", u"西濃運輸", S::Substitute},
        {Format::Shopify, Carrier::Fukuyama, u"福山通運", u"福山通運", S::Substitute},
        {Format::Shopify, Carrier::Other, u"その他", u"その他", S::Substitute},
    };
    return rows;
}

const FormatRow& formatRow(Format format)
{
    for (const FormatRow& row : formatRows())
        if (row.format == format)
            return row;
    Q_UNREACHABLE();
    return formatRows().back();
}

QString formatTokenChoices()
{
    QStringList tokens;
    for (const FormatRow& row : formatRows())
        tokens << text(row.token);
    return tokens.join(QLatin1Char('|'));
}

Result<Format> formatFromToken(const QString& token)
{
    const QString word = token.trimmed();
    for (const FormatRow& row : formatRows())
        if (word.compare(text(row.token), Qt::CaseInsensitive) == 0)
            return row.format;
    return fail(QStringLiteral("出荷情報の形式「%1」は選べません。%2 のどれかを指定してください。")
                    .arg(word, formatTokenChoices().replace(QLatin1Char('|'), QStringLiteral(", "))));
}

const CarrierCodeRow* carrierCode(Format format, Carrier carrier)
{
    for (const CarrierCodeRow& row : carrierCodeRows())
        if (row.format == format && row.carrier == carrier)
            return &row;
    return nullptr;
}

Result<Written> writeConfirmations(Format format, const QList<ShippedParcel>& parcels, QIODevice& device)
{
    const FormatRow& row = formatRow(format);
    const FormatNotes& notes = notesOf(format);
    QList<ShippedParcel> own;
    QStringList fromElsewhere;
    for (const ShippedParcel& parcel : parcels) {
        if (!row.ownParcelsOnly || parcel.platform == format)
            own << parcel;
        else if (!parcel.platform && !parcel.orderNumber.isEmpty())
            fromElsewhere << QStringLiteral("注文 %1").arg(parcel.orderNumber);
    }
    auto shipments = merged(own);
    if (!shipments)
        return fail(shipments.error());

    Layout layout(row);
    if (row.templateRow) {
        QStringList cells = text(row.templateRow).split(QLatin1Char('\t'));
        while (cells.size() < row.columns.size())
            cells << QString();
        if (QString problem = layout.add(cells, QStringLiteral("見出し")); !problem.isEmpty())
            return fail(problem);
    }
    QStringList labels, headings;
    for (const Column& column : row.columns) {
        labels << text(column.label);
        headings << text(column.heading);
    }
    if (row.columns.front().label)
        if (QString problem = layout.add(labels, QStringLiteral("見出し")); !problem.isEmpty())
            return fail(problem);
    if (QString problem = layout.add(headings, QStringLiteral("見出し")); !problem.isEmpty())
        return fail(problem);

    Written written;
    written.notes << text(notes.aboutFormat);
    QStringList withoutOrderNumber, withoutTrackingNumber;
    QSet<QString> ordersWritten;
    for (const Shipment& shipment : *shipments) {
        if (row.needsOrderNumber && shipment.orderNumber.isEmpty()) {
            withoutOrderNumber << QStringLiteral("お届け先「%1」").arg(shipment.recipientName);
            continue;
        }
        if (row.needsOrderNumber && shipment.numbers.isEmpty()) {
            withoutTrackingNumber << shipment.orderNumber;
            continue;
        }
        ordersWritten.insert(shipment.orderNumber);
        QList<QList<TrackingNumber>> records;
        QList<QDate> dates;
        if (shipment.numbers.isEmpty()) {
            records << QList<TrackingNumber>();
            dates << shipment.shipDate;
        } else if (row.numbersPerRecord > 1) {
            // One record per order: a second record would replace the first.
            records << shipment.numbers.first(qMin<qsizetype>(row.numbersPerRecord, shipment.numbers.size()));
            dates << shipment.dates.front();
            if (shipment.numbers.size() > row.numbersPerRecord) {
                QStringList left;
                for (const TrackingNumber& number : shipment.numbers.sliced(row.numbersPerRecord))
                    left << number.display();
                written.notes << QStringLiteral(
                                     "%1 の伝票番号のうち %2 は、%3の形式に入る欄がないため書き出していません。")
                                     .arg(orderLabel(shipment), left.join(QStringLiteral("、")), text(row.label));
            }
        } else {
            for (qsizetype i = 0; i < shipment.numbers.size(); ++i) {
                records << QList<TrackingNumber>{shipment.numbers[i]};
                dates << shipment.dates[i];
            }
            if (shipment.numbers.size() > 1 && notes.severalNumbers)
                written.notes << text(notes.severalNumbers).arg(shipment.orderNumber);
        }
        for (qsizetype i = 0; i < records.size(); ++i) {
            if (QString problem = layout.add(recordFields(row, shipment, records[i], dates[i]), orderLabel(shipment));
                !problem.isEmpty())
                return fail(problem);
            ++written.recordCount;
            written.parcelCount += qMax<int>(1, int(records[i].size()));
        }
        ++written.orderCount;
        if (!shipment.carrier)
            continue;
        if (const CarrierCodeRow* code = carrierCode(format, *shipment.carrier);
            code && code->status == CodeStatus::Substitute)
            written.notes << text(notes.substituteCode)
                                 .replace(QStringLiteral("%1"), tracking::carrierName(*shipment.carrier))
                                 .replace(QStringLiteral("%2"), text(code->name));
    }
    if (!withoutOrderNumber.isEmpty())
        written.notes << QStringLiteral(
                             "注文番号のない %1 件（%2）は、%3には書き出せません（汎用 CSV にだけ書き出せます）。")
                             .arg(withoutOrderNumber.size())
                             .arg(listed(withoutOrderNumber), text(row.label));
    // An order some of whose parcels were written is not said to be left
    // out: only its parcels without a number are.
    QStringList partlyWritten;
    for (qsizetype i = withoutTrackingNumber.size() - 1; i >= 0; --i)
        if (ordersWritten.contains(withoutTrackingNumber[i]))
            partlyWritten.prepend(withoutTrackingNumber.takeAt(i));
    if (!withoutTrackingNumber.isEmpty())
        written.notes << QStringLiteral("伝票番号の分からない注文 %1 件（%2）は書き出していません。")
                             .arg(withoutTrackingNumber.size())
                             .arg(listed(withoutTrackingNumber));
    if (!partlyWritten.isEmpty())
        written.notes << QStringLiteral(
                             "%1 は、伝票番号の分かる荷物だけを書き出しました（番号の分からない荷物があります）。")
                             .arg(listed(partlyWritten));
    fromElsewhere.removeDuplicates();
    if (!fromElsewhere.isEmpty())
        written.notes << QStringLiteral("%1の一覧から印刷したと記録されていない %2 件（%3）は入れていません"
                                        "（画面やほかの一覧から印刷した分です。汎用 CSV には入ります）。")
                             .arg(text(notes.platformName))
                             .arg(fromElsewhere.size())
                             .arg(listed(fromElsewhere));
    written.notes.removeAll(QString());
    written.notes.removeDuplicates();

    const QByteArray bytes = layout.bytes();
    if (device.write(bytes) != bytes.size())
        return fail(QStringLiteral("ファイルに書き込めませんでした（%1）。").arg(device.errorString()));
    return written;
}

} // namespace shipping
