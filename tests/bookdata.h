#pragma once
// Addresses and printed waybills the tests of the address book and history
// store and look for.
#include "expect.h"

#include "addressbook/addressbook.h"
#include "history/history.h"

#include <QDateTime>
#include <QStringList>

namespace testing {

inline waybill::Address address(const QString& name, const QString& telephone = {}, const QString& postalCode = {},
                                const QString& line1 = {}, const QString& line2 = {})
{
    waybill::Address a;
    a.name = name, a.telephone = telephone, a.postalCode = postalCode, a.line1 = line1, a.line2 = line2;
    return a;
}

inline const waybill::Address kShop = address(QStringLiteral("ホルテア雑貨店"), QStringLiteral("06-6111-2222"),
                                              QStringLiteral("5300001"), QStringLiteral("大阪府大阪市北区梅田1-1-1"));

inline QDateTime at(const char* iso) { return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate); }

// The filled waybill sent to `recipient`.
inline history::PrintRecord printed(const waybill::Address& recipient, const char* when = "2026-02-01T00:00:00Z",
                                    const char* order = nullptr)
{
    history::PrintRecord r{.printedAt = at(when),
                           .destination = QStringLiteral("Office"),
                           .offsetXTenthMm = -12.5,
                           .offsetYTenthMm = 3,
                           .waybill = expect::filledWaybill()};
    if (order)
        r.orderNumber = QString::fromUtf8(order);
    r.waybill.recipient = recipient;
    return r;
}

inline QStringList names(const QList<addressbook::AddressEntry>& entries)
{
    QStringList out;
    for (const auto& e : entries)
        out.append(e.address.name);
    return out;
}

} // namespace testing
