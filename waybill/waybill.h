#pragma once
// One waybill as the user filled it in: the two address blocks, the delivery
// choices and the goods. Every text is kept exactly as typed; the window, an
// order list, the address book or the history make one, and the print job
// turns it into a page.
#include <QJsonObject>
#include <QString>
#include <array>
#include <optional>

namespace waybill {

struct Address {
    QString postalCode;
    QString line1;
    QString line2;
    QString name;
    QString careOf;
    bool careOfShown = false; // a hidden care-of line keeps its text but is not printed
    QString telephone;

    bool operator==(const Address&) const = default;
};

// The delivery-time bands in the order the form lists them.
enum class DeliveryTime { Morning, Afternoon, Evening, Night, Unspecified };
enum class ArrivalNotice { Wanted, NotWanted };

struct GoodsLine {
    QString description;
    QString productNumber;
    // Numeric input mode; texts as typed, "0" in a fresh window.
    QString quantity = QStringLiteral("0");
    QString unitPrice = QStringLiteral("0");
    QString amount = QStringLiteral("0");

    bool operator==(const GoodsLine&) const = default;
};

struct Waybill {
    Address recipient;
    Address sender;
    DeliveryTime deliveryTime = DeliveryTime::Unspecified;
    ArrivalNotice arrivalNotice = ArrivalNotice::Wanted;
    std::array<GoodsLine, 2> goods;
    QString total = QStringLiteral("0");
    bool numericMode = false; // quantities, prices, amounts and total are printed only in this mode

    bool operator==(const Waybill&) const = default;
};

// A stable, self-describing form for storing a waybill (history, settings):
// field names in English, enums as words, every text unchanged.
QJsonObject toJson(const Waybill& waybill);
QJsonObject toJson(const Address& address);
// The same as QJsonDocument writes it in its compact form, byte for byte,
// made straight from the waybill: a history records one for every page.
QByteArray toCompactJson(const Waybill& waybill);
// Missing members take the values of a fresh window; a member of the wrong
// kind or an unknown enum word makes the whole object unreadable.
std::optional<Waybill> waybillFromJson(const QJsonObject& object);
std::optional<Address> addressFromJson(const QJsonObject& object);

} // namespace waybill
