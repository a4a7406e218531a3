#include "waybill/waybill.h"

#include <QJsonArray>

#include <string>

namespace waybill {

namespace {

// Words stored for the enums; a stored file keeps them, so they never change.
struct DeliveryTimeWord {
    DeliveryTime value;
    const char* word;
};
constexpr DeliveryTimeWord kDeliveryTimeWords[] = {
    {DeliveryTime::Morning, "morning"}, {DeliveryTime::Afternoon, "afternoon"},     {DeliveryTime::Evening, "evening"},
    {DeliveryTime::Night, "night"},     {DeliveryTime::Unspecified, "unspecified"},
};

const char* wordOf(DeliveryTime value)
{
    for (const auto& row : kDeliveryTimeWords)
        if (row.value == value)
            return row.word;
    return "unspecified";
}

std::optional<DeliveryTime> deliveryTimeOf(const QString& word)
{
    for (const auto& row : kDeliveryTimeWords)
        if (word == QLatin1String(row.word))
            return row.value;
    return std::nullopt;
}

// Reads member `key` of `object` into `out` when present; false when present
// but not text.
bool readText(const QJsonObject& object, const char* key, QString& out)
{
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isString())
        return false;
    out = v.toString();
    return true;
}

bool readBool(const QJsonObject& object, const char* key, bool& out)
{
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined())
        return true;
    if (!v.isBool())
        return false;
    out = v.toBool();
    return true;
}

QJsonObject toJson(const GoodsLine& line)
{
    return {{"description", line.description},
            {"productNumber", line.productNumber},
            {"quantity", line.quantity},
            {"unitPrice", line.unitPrice},
            {"amount", line.amount}};
}

std::optional<GoodsLine> goodsLineFromJson(const QJsonObject& object)
{
    GoodsLine line;
    if (!readText(object, "description", line.description) || !readText(object, "productNumber", line.productNumber) ||
        !readText(object, "quantity", line.quantity) || !readText(object, "unitPrice", line.unitPrice) ||
        !readText(object, "amount", line.amount))
        return std::nullopt;
    return line;
}

std::optional<Address> addressMember(const QJsonObject& object, const char* key)
{
    const QJsonValue v = object.value(QLatin1String(key));
    if (v.isUndefined())
        return Address{};
    if (!v.isObject())
        return std::nullopt;
    return addressFromJson(v.toObject());
}

} // namespace

QJsonObject toJson(const Address& a)
{
    return {{"postalCode", a.postalCode}, {"line1", a.line1},
            {"line2", a.line2},           {"name", a.name},
            {"careOf", a.careOf},         {"careOfShown", a.careOfShown},
            {"telephone", a.telephone}};
}

std::optional<Address> addressFromJson(const QJsonObject& object)
{
    Address a;
    if (!readText(object, "postalCode", a.postalCode) || !readText(object, "line1", a.line1) ||
        !readText(object, "line2", a.line2) || !readText(object, "name", a.name) ||
        !readText(object, "careOf", a.careOf) || !readBool(object, "careOfShown", a.careOfShown) ||
        !readText(object, "telephone", a.telephone))
        return std::nullopt;
    return a;
}

QJsonObject toJson(const Waybill& w)
{
    return {{"recipient", toJson(w.recipient)},
            {"sender", toJson(w.sender)},
            {"deliveryTime", QLatin1String(wordOf(w.deliveryTime))},
            {"arrivalNotice", w.arrivalNotice == ArrivalNotice::Wanted ? "wanted" : "notWanted"},
            {"goods", QJsonArray{toJson(w.goods[0]), toJson(w.goods[1])}},
            {"total", w.total},
            {"numericMode", w.numericMode}};
}

namespace {

// Text as a JSON string, written as QJsonDocument writes it: quote,
// backslash and controls escaped, every other character as UTF-8, a
// surrogate without its pair as \u and four small hex digits.
void appendJsonString(std::string& out, const QString& text)
{
    constexpr char kHex[] = "0123456789abcdef";
    const auto escaped = [&](char16_t u) {
        out += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            out += kHex[(u >> shift) & 0xf];
    };
    out += '"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        switch (u) {
        case u'"':
            out += "\\\"";
            continue;
        case u'\\':
            out += "\\\\";
            continue;
        case u'\b':
            out += "\\b";
            continue;
        case u'\f':
            out += "\\f";
            continue;
        case u'\n':
            out += "\\n";
            continue;
        case u'\r':
            out += "\\r";
            continue;
        case u'\t':
            out += "\\t";
            continue;
        default:
            break;
        }
        if (u < 0x20) {
            escaped(u);
        } else if (u < 0x80) {
            out += char(u);
        } else if (u < 0x800) {
            out += char(0xc0 | (u >> 6));
            out += char(0x80 | (u & 0x3f));
        } else if (QChar::isHighSurrogate(u) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t c = QChar::surrogateToUcs4(u, text.at(++i).unicode());
            out += char(0xf0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3f));
            out += char(0x80 | ((c >> 6) & 0x3f));
            out += char(0x80 | (c & 0x3f));
        } else if (QChar::isSurrogate(u)) {
            escaped(u);
        } else {
            out += char(0xe0 | (u >> 12));
            out += char(0x80 | ((u >> 6) & 0x3f));
            out += char(0x80 | (u & 0x3f));
        }
    }
    out += '"';
}

// Members in the order of their names, as QJsonObject keeps them.
struct JsonObjectWriter {
    std::string& out;
    bool first = true;
    explicit JsonObjectWriter(std::string& into) : out(into) { out += '{'; }
    ~JsonObjectWriter() { out += '}'; }
    void name(const char* key)
    {
        if (!first)
            out += ',';
        first = false;
        out += '"';
        out += key;
        out += "\":";
    }
    void text(const char* key, const QString& value)
    {
        name(key);
        appendJsonString(out, value);
    }
    void flag(const char* key, bool value)
    {
        name(key);
        out += value ? "true" : "false";
    }
};

void appendJson(std::string& out, const Address& a)
{
    JsonObjectWriter o(out);
    o.text("careOf", a.careOf);
    o.flag("careOfShown", a.careOfShown);
    o.text("line1", a.line1);
    o.text("line2", a.line2);
    o.text("name", a.name);
    o.text("postalCode", a.postalCode);
    o.text("telephone", a.telephone);
}

void appendJson(std::string& out, const GoodsLine& line)
{
    JsonObjectWriter o(out);
    o.text("amount", line.amount);
    o.text("description", line.description);
    o.text("productNumber", line.productNumber);
    o.text("quantity", line.quantity);
    o.text("unitPrice", line.unitPrice);
}

} // namespace

QByteArray toCompactJson(const Waybill& w)
{
    std::string out; // appended to a character at a time
    out.reserve(1024);
    {
        JsonObjectWriter o(out);
        o.text("arrivalNotice",
               w.arrivalNotice == ArrivalNotice::Wanted ? QStringLiteral("wanted") : QStringLiteral("notWanted"));
        o.text("deliveryTime", QLatin1String(wordOf(w.deliveryTime)));
        o.name("goods");
        out += '[';
        for (size_t i = 0; i < w.goods.size(); ++i) {
            if (i > 0)
                out += ',';
            appendJson(out, w.goods[i]);
        }
        out += ']';
        o.flag("numericMode", w.numericMode);
        o.name("recipient");
        appendJson(out, w.recipient);
        o.name("sender");
        appendJson(out, w.sender);
        o.text("total", w.total);
    }
    return QByteArray(out.data(), qsizetype(out.size()));
}

std::optional<Waybill> waybillFromJson(const QJsonObject& object)
{
    Waybill w;
    const auto recipient = addressMember(object, "recipient");
    const auto sender = addressMember(object, "sender");
    if (!recipient || !sender)
        return std::nullopt;
    w.recipient = *recipient;
    w.sender = *sender;

    if (const QJsonValue v = object.value(QLatin1String("deliveryTime")); !v.isUndefined()) {
        const auto time = deliveryTimeOf(v.toString());
        if (!time)
            return std::nullopt;
        w.deliveryTime = *time;
    }
    if (const QJsonValue v = object.value(QLatin1String("arrivalNotice")); !v.isUndefined()) {
        if (v.toString() == QLatin1String("wanted"))
            w.arrivalNotice = ArrivalNotice::Wanted;
        else if (v.toString() == QLatin1String("notWanted"))
            w.arrivalNotice = ArrivalNotice::NotWanted;
        else
            return std::nullopt;
    }
    if (const QJsonValue v = object.value(QLatin1String("goods")); !v.isUndefined()) {
        const QJsonArray lines = v.toArray();
        if (!v.isArray() || lines.size() > int(w.goods.size()))
            return std::nullopt;
        for (int i = 0; i < lines.size(); ++i) {
            const auto line = lines[i].isObject() ? goodsLineFromJson(lines[i].toObject()) : std::nullopt;
            if (!line)
                return std::nullopt;
            w.goods[size_t(i)] = *line;
        }
    }
    if (!readText(object, "total", w.total) || !readBool(object, "numericMode", w.numericMode))
        return std::nullopt;
    return w;
}

} // namespace waybill
