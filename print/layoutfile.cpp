#include "print/layoutfile.h"

#include "platform/files.h"

#include <QIODevice>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <cmath>
#include <optional>
#include <set>

namespace print {

namespace {

// What a text's "value" names; one row per value.
struct ValueRow {
    const char* key;
    LayoutValue value;
    std::optional<Party> party;
    const char* indexKey; // the key of its index, or nullptr
    int lastIndex;
};
const ValueRow kValues[] = {
    {"recipient.postalDigit", LayoutValue::PostalDigit, Party::Recipient, "box", 7},
    {"recipient.postalCode", LayoutValue::PostalCode, Party::Recipient, nullptr, 0},
    {"recipient.address1", LayoutValue::AddressLine1, Party::Recipient, nullptr, 0},
    {"recipient.address2", LayoutValue::AddressLine2, Party::Recipient, nullptr, 0},
    {"recipient.name", LayoutValue::Name, Party::Recipient, nullptr, 0},
    {"recipient.careOf", LayoutValue::CareOf, Party::Recipient, nullptr, 0},
    {"recipient.telephone", LayoutValue::Telephone, Party::Recipient, nullptr, 0},
    {"sender.postalDigit", LayoutValue::PostalDigit, Party::Sender, "box", 7},
    {"sender.postalCode", LayoutValue::PostalCode, Party::Sender, nullptr, 0},
    {"sender.address1", LayoutValue::AddressLine1, Party::Sender, nullptr, 0},
    {"sender.address2", LayoutValue::AddressLine2, Party::Sender, nullptr, 0},
    {"sender.name", LayoutValue::Name, Party::Sender, nullptr, 0},
    {"sender.careOf", LayoutValue::CareOf, Party::Sender, nullptr, 0},
    {"sender.telephone", LayoutValue::Telephone, Party::Sender, nullptr, 0},
    {"goods.description", LayoutValue::GoodsDescription, std::nullopt, "line", 2},
    {"goods.productNumber", LayoutValue::ProductNumber, std::nullopt, "line", 2},
    {"goods.quantity", LayoutValue::Quantity, std::nullopt, "line", 2},
    {"goods.unitPrice", LayoutValue::UnitPrice, std::nullopt, "line", 2},
    {"goods.amount", LayoutValue::Amount, std::nullopt, "line", 2},
    {"total", LayoutValue::Total, std::nullopt, nullptr, 0},
    {"shipDate", LayoutValue::ShipDate, std::nullopt, nullptr, 0},
    {"parcelCount", LayoutValue::ParcelCount, std::nullopt, nullptr, 0},
    {"orderNumber", LayoutValue::OrderNumber, std::nullopt, nullptr, 0},
    {"formNumber", LayoutValue::FormNumber, std::nullopt, nullptr, 0},
    {"fixedText", LayoutValue::FixedText, std::nullopt, nullptr, 0},
};

const std::pair<const char*, MarkChoice> kMarkChoices[] = {
    {"deliveryTime.morning", MarkChoice::Morning},         {"deliveryTime.afternoon", MarkChoice::Afternoon},
    {"deliveryTime.evening", MarkChoice::Evening},         {"deliveryTime.night", MarkChoice::Night},
    {"deliveryTime.unspecified", MarkChoice::Unspecified}, {"notice.wanted", MarkChoice::NoticeWanted},
    {"notice.notWanted", MarkChoice::NoticeNotWanted},
};

const std::pair<const char*, TextAlign> kAligns[] = {
    {"left", TextAlign::Left},
    {"centre", TextAlign::Centre},
    {"right", TextAlign::Right},
};

// Ranges a form could have; anything beyond is a mistyped number.
constexpr double kMinPlaceMm = -100.0, kMaxPlaceMm = 700.0;
constexpr double kMaxWidthMm = 600.0;
constexpr double kMinSizePt = 4.0, kMaxSizePt = 72.0;
constexpr double kMinWidthFloorPercent = 10.0;
constexpr double kMaxMarkRadiusMm = 20.0;
constexpr int kMaxMarkLineWidthDots180 = 20;
constexpr qint64 kMaxLayoutFileBytes = 1024 * 1024;

// Reads one object's members, each once, and refuses what it does not know.
class ObjectReader {
public:
    ObjectReader(const QJsonObject& object, QString where) : m_object(object), m_where(std::move(where)) {}

    const QString& where() const { return m_where; }
    bool has(const char* key) const { return m_object.contains(QLatin1String(key)); }

    std::optional<double> number(const char* key, double low, double high, std::optional<double> fallback = {})
    {
        m_known.insert(QString::fromLatin1(key));
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (!fallback)
                missing(key);
            return fallback;
        }
        if (!value.isDouble() || !std::isfinite(value.toDouble())) {
            wrong(key, QStringLiteral("数ではありません"));
            return std::nullopt;
        }
        const double n = value.toDouble();
        if (n < low || n > high) {
            wrong(key, QStringLiteral("%1 は %2 から %3 の範囲にありません")
                           .arg(QString::number(n), QString::number(low), QString::number(high)));
            return std::nullopt;
        }
        return n;
    }

    std::optional<QString> text(const char* key, std::optional<QString> fallback = {})
    {
        m_known.insert(QString::fromLatin1(key));
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined()) {
            if (!fallback)
                missing(key);
            return fallback;
        }
        if (!value.isString()) {
            wrong(key, QStringLiteral("文字列ではありません"));
            return std::nullopt;
        }
        return value.toString();
    }

    std::optional<QJsonArray> array(const char* key)
    {
        m_known.insert(QString::fromLatin1(key));
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (!value.isArray()) {
            value.isUndefined() ? missing(key) : wrong(key, QStringLiteral("配列ではありません"));
            return std::nullopt;
        }
        return value.toArray();
    }

    std::optional<QJsonObject> object(const char* key, bool optional = false)
    {
        m_known.insert(QString::fromLatin1(key));
        const QJsonValue value = m_object.value(QLatin1String(key));
        if (value.isUndefined() && optional)
            return QJsonObject();
        if (!value.isObject()) {
            value.isUndefined() ? missing(key) : wrong(key, QStringLiteral("オブジェクトではありません"));
            return std::nullopt;
        }
        return value.toObject();
    }

    // After every member was asked for: the first one nobody asked for.
    bool checkNothingElse()
    {
        if (m_problem.isEmpty())
            for (auto it = m_object.begin(); it != m_object.end(); ++it)
                if (!m_known.count(it.key())) {
                    m_problem = QStringLiteral("%1: 知らない項目「%2」があります").arg(m_where, it.key());
                    break;
                }
        return m_problem.isEmpty();
    }

    void wrong(const char* key, const QString& why)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("%1.%2: %3").arg(m_where, QString::fromLatin1(key), why);
    }
    void missing(const char* key)
    {
        if (m_problem.isEmpty())
            m_problem = QStringLiteral("%1: 項目「%2」がありません").arg(m_where, QString::fromLatin1(key));
    }
    const QString& problem() const { return m_problem; }

private:
    QJsonObject m_object;
    QString m_where;
    std::set<QString> m_known;
    QString m_problem;
};

template <typename Row>
auto findKey(const Row& rows, const QString& key) -> const std::remove_reference_t<decltype(rows[0])>*
{
    for (const auto& row : rows)
        if (key == QLatin1String(row.first))
            return &row;
    return nullptr;
}

std::optional<LayoutText> readText(ObjectReader& in)
{
    const std::optional<QString> key = in.text("value");
    if (!key)
        return std::nullopt;
    const ValueRow* row = nullptr;
    for (const ValueRow& candidate : kValues)
        if (*key == QLatin1String(candidate.key))
            row = &candidate;
    if (!row) {
        in.wrong("value", QStringLiteral("「%1」は印刷できる値ではありません").arg(*key));
        return std::nullopt;
    }
    LayoutText t;
    t.value = row->value;
    t.party = row->party.value_or(Party::Recipient);
    if (row->indexKey) {
        const auto index = in.number(row->indexKey, 1, row->lastIndex);
        if (index && *index != std::floor(*index))
            in.wrong(row->indexKey, QStringLiteral("整数ではありません"));
        t.index = int(index.value_or(1));
    }
    if (t.value == LayoutValue::FixedText)
        t.fixedText = in.text("text").value_or(QString());
    if (t.value == LayoutValue::ShipDate)
        t.dateFormat = in.text("dateFormat", QStringLiteral("yyyy/MM/dd")).value_or(QString());
    t.xMm = in.number("xMm", kMinPlaceMm, kMaxPlaceMm).value_or(0);
    t.yMm = in.number("yMm", kMinPlaceMm, kMaxPlaceMm).value_or(0);
    t.widthMm = in.number("widthMm", 0.1, kMaxWidthMm).value_or(0);
    t.sizePt = in.number("sizePt", kMinSizePt, kMaxSizePt).value_or(0);
    if (const auto align = in.text("align", QStringLiteral("left"))) {
        if (const auto* found = findKey(kAligns, *align))
            t.align = found->second;
        else
            in.wrong("align", QStringLiteral("「%1」は left、centre、right のどれでもありません").arg(*align));
    }
    t.floors.widthPercent = in.number("fitMinWidthPercent", kMinWidthFloorPercent, 100.0, 50.0).value_or(0);
    t.floors.sizePt = in.number("fitMinSizePt", kMinSizePt, kMaxSizePt, std::min(7.0, t.sizePt)).value_or(0);
    if (in.problem().isEmpty() && t.floors.sizePt > t.sizePt)
        in.wrong("fitMinSizePt", QStringLiteral("文字の大きさ sizePt より大きくできません"));
    if (!in.checkNothingElse())
        return std::nullopt;
    return t;
}

std::optional<LayoutMark> readMark(ObjectReader& in)
{
    const std::optional<QString> key = in.text("choice");
    LayoutMark m;
    if (key) {
        if (const auto* found = findKey(kMarkChoices, *key))
            m.choice = found->second;
        else
            in.wrong("choice", QStringLiteral("「%1」は○印の選択肢ではありません").arg(*key));
    }
    m.xMm = in.number("xMm", kMinPlaceMm, kMaxPlaceMm).value_or(0);
    m.yMm = in.number("yMm", kMinPlaceMm, kMaxPlaceMm).value_or(0);
    if (!in.checkNothingElse())
        return std::nullopt;
    return m;
}

QString refusal(const QString& fileName, const QString& why)
{
    const QString file = fileName.isEmpty() ? QStringLiteral("レイアウトのファイル")
                                            : QStringLiteral("レイアウトのファイル「%1」").arg(fileName);
    return QStringLiteral("%1は読めません（%2）。書き直すか、書き出し直したファイルを使ってください。").arg(file, why);
}

// Line and column of a byte offset, as an editor counts them.
QString placeOf(const QByteArray& json, int offset)
{
    const QByteArray before = json.left(offset);
    const int line = int(before.count('\n')) + 1;
    const int column = int(QString::fromUtf8(before.mid(before.lastIndexOf('\n') + 1)).size()) + 1;
    return QStringLiteral("%1 行 %2 文字目").arg(line).arg(column);
}

QString keyOf(LayoutValue value, Party party)
{
    for (const ValueRow& row : kValues)
        if (row.value == value && (!row.party || *row.party == party))
            return QString::fromLatin1(row.key);
    return {};
}

} // namespace

Result<Layout> layoutFromJson(const QByteArray& json, const QString& fileName)
{
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError)
        return fail(refusal(fileName, QStringLiteral("%1: JSON として正しくありません（%2）")
                                          .arg(placeOf(json, parseError.offset), parseError.errorString())));
    if (!document.isObject())
        return fail(refusal(fileName, QStringLiteral("全体が JSON のオブジェクトではありません")));

    ObjectReader top(document.object(), QStringLiteral("最上位"));
    const auto format = top.text("format");
    if (format && *format != QLatin1String(kLayoutFormat))
        return fail(
            refusal(fileName, QStringLiteral("ホルテアのレイアウトではありません（format が「%1」）").arg(*format)));
    const auto version = top.number("version", 1, 1e9);
    if (version && *version > kLayoutFormatVersion)
        return fail(refusal(
            fileName,
            QStringLiteral("新しい版のホルテアで作られています（版 %1）。ホルテアを更新してください").arg(*version)));
    Layout layout;
    layout.name = top.text("name").value_or(QString()).trimmed();
    if (top.problem().isEmpty() && layout.name.isEmpty())
        top.wrong("name", QStringLiteral("名前が空です"));
    if (const auto form = top.object("form", true)) {
        ObjectReader in(*form, QStringLiteral("form"));
        layout.formWidthMm = in.number("widthMm", 10.0, kMaxWidthMm, 0.0).value_or(0);
        layout.formLengthMm = in.number("lengthMm", 10.0, kMaxWidthMm, 0.0).value_or(0);
        if (!in.checkNothingElse())
            return fail(refusal(fileName, in.problem()));
    }
    if (const auto marks = top.object("marks")) {
        ObjectReader in(*marks, QStringLiteral("marks"));
        layout.markRadiusMm = in.number("radiusMm", 0.1, kMaxMarkRadiusMm, 3.0).value_or(0);
        const auto dots = in.number("lineWidthDots180", 1, kMaxMarkLineWidthDots180, 2.0);
        if (dots && *dots != std::floor(*dots))
            in.wrong("lineWidthDots180", QStringLiteral("整数ではありません"));
        layout.markLineWidthDots180 = int(dots.value_or(2));
        if (const auto places = in.array("places")) {
            for (qsizetype i = 0; i < places->size() && in.problem().isEmpty(); ++i) {
                ObjectReader mark(places->at(i).toObject(), QStringLiteral("marks.places[%1]").arg(i));
                if (!places->at(i).isObject())
                    return fail(refusal(fileName, QStringLiteral("%1: オブジェクトではありません").arg(mark.where())));
                const auto read = readMark(mark);
                if (!read)
                    return fail(refusal(fileName, mark.problem()));
                layout.marks.push_back(*read);
            }
        }
        if (!in.checkNothingElse())
            return fail(refusal(fileName, in.problem()));
    }
    if (const auto texts = top.array("texts")) {
        for (qsizetype i = 0; i < texts->size(); ++i) {
            ObjectReader text(texts->at(i).toObject(), QStringLiteral("texts[%1]").arg(i));
            if (!texts->at(i).isObject())
                return fail(refusal(fileName, QStringLiteral("%1: オブジェクトではありません").arg(text.where())));
            const auto read = readText(text);
            if (!read)
                return fail(refusal(fileName, text.problem()));
            layout.texts.push_back(*read);
        }
    }
    if (!top.checkNothingElse())
        return fail(refusal(fileName, top.problem()));
    return layout;
}

QByteArray layoutToJson(const Layout& layout)
{
    QJsonObject top;
    top.insert(QStringLiteral("format"), QLatin1String(kLayoutFormat));
    top.insert(QStringLiteral("version"), kLayoutFormatVersion);
    top.insert(QStringLiteral("name"), layout.name);
    if (layout.formWidthMm > 0 || layout.formLengthMm > 0) {
        QJsonObject form;
        if (layout.formWidthMm > 0)
            form.insert(QStringLiteral("widthMm"), layout.formWidthMm);
        if (layout.formLengthMm > 0)
            form.insert(QStringLiteral("lengthMm"), layout.formLengthMm);
        top.insert(QStringLiteral("form"), form);
    }
    QJsonArray places;
    for (const LayoutMark& m : layout.marks) {
        QJsonObject place;
        for (const auto& [key, choice] : kMarkChoices)
            if (choice == m.choice)
                place.insert(QStringLiteral("choice"), QLatin1String(key));
        place.insert(QStringLiteral("xMm"), m.xMm);
        place.insert(QStringLiteral("yMm"), m.yMm);
        places.append(place);
    }
    QJsonObject marks;
    marks.insert(QStringLiteral("radiusMm"), layout.markRadiusMm);
    marks.insert(QStringLiteral("lineWidthDots180"), layout.markLineWidthDots180);
    marks.insert(QStringLiteral("places"), places);
    top.insert(QStringLiteral("marks"), marks);
    QJsonArray texts;
    const FitFloors defaults;
    for (const LayoutText& t : layout.texts) {
        QJsonObject text;
        text.insert(QStringLiteral("value"), keyOf(t.value, t.party));
        for (const ValueRow& row : kValues)
            if (row.value == t.value && row.indexKey) {
                text.insert(QLatin1String(row.indexKey), t.index);
                break;
            }
        if (t.value == LayoutValue::FixedText)
            text.insert(QStringLiteral("text"), t.fixedText);
        if (t.value == LayoutValue::ShipDate)
            text.insert(QStringLiteral("dateFormat"), t.dateFormat);
        text.insert(QStringLiteral("xMm"), t.xMm);
        text.insert(QStringLiteral("yMm"), t.yMm);
        text.insert(QStringLiteral("widthMm"), t.widthMm);
        text.insert(QStringLiteral("sizePt"), t.sizePt);
        if (t.align != TextAlign::Left)
            for (const auto& [key, align] : kAligns)
                if (align == t.align)
                    text.insert(QStringLiteral("align"), QLatin1String(key));
        if (t.floors.widthPercent != defaults.widthPercent)
            text.insert(QStringLiteral("fitMinWidthPercent"), t.floors.widthPercent);
        if (t.floors.sizePt != std::min(defaults.sizePt, t.sizePt))
            text.insert(QStringLiteral("fitMinSizePt"), t.floors.sizePt);
        texts.append(text);
    }
    top.insert(QStringLiteral("texts"), texts);
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

Result<Layout> readLayoutFile(const QString& path)
{
    const platform::FileRead read = platform::readFileBounded(path, kMaxLayoutFileBytes);
    switch (read.status) {
    case platform::FileRead::Status::Ok:
        return layoutFromJson(read.bytes, path);
    case platform::FileRead::Status::Missing:
        return fail(QStringLiteral("レイアウトのファイル「%1」が見つかりません。").arg(path));
    case platform::FileRead::Status::NotRegular:
        return fail(QStringLiteral("「%1」は普通のファイルではないため、レイアウトとして読みません。").arg(path));
    case platform::FileRead::Status::TooLong:
        return fail(QStringLiteral("「%1」は大きすぎるため、レイアウトのファイルではありません。").arg(path));
    case platform::FileRead::Status::Unreadable:
        break;
    }
    return fail(QStringLiteral("レイアウトのファイル「%1」を読めません。ファイルの権限を確かめてください。").arg(path));
}

Result<void> writeLayoutFile(const QString& path, const Layout& layout)
{
    platform::AtomicFile file(path, platform::AtomicFile::Replace, QStringLiteral("レイアウトのファイル"));
    if (!file.open())
        return fail(file.failure());
    const QByteArray bytes = layoutToJson(layout);
    if (file.device().write(bytes) != bytes.size() || !file.commit())
        return fail(file.failure());
    return {};
}

} // namespace print
