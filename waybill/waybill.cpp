#include "waybill/waybill.h"

#include <QJsonArray>

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
