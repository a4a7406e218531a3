#include "print/layout.h"

#include "print/layoutfile.h"

#include <QFile>
#include <cmath>

namespace print {

float layoutTwips(double mm) { return static_cast<float>(std::lround(mm * 10.0)) * kTwipsPerTenthMm; }

const Layout& builtInLayout()
{
    // Read at the first print, not at start-up; a program whose own file
    // does not read is broken, not a user's problem to mend.
    static const Layout layout = [] {
        QFile file(QStringLiteral(":/layouts/standard.json"));
        file.open(QIODevice::ReadOnly);
        const Result<Layout> read = layoutFromJson(file.readAll(), kBuiltInLayoutName);
        if (!read)
            qFatal("%s", qPrintable(read.error()));
        return *read;
    }();
    return layout;
}

MarkChoice markFor(waybill::DeliveryTime time)
{
    switch (time) {
    case waybill::DeliveryTime::Morning:
        return MarkChoice::Morning;
    case waybill::DeliveryTime::Afternoon:
        return MarkChoice::Afternoon;
    case waybill::DeliveryTime::Evening:
        return MarkChoice::Evening;
    case waybill::DeliveryTime::Night:
        return MarkChoice::Night;
    case waybill::DeliveryTime::Unspecified:
        break;
    }
    return MarkChoice::Unspecified;
}

MarkChoice markFor(waybill::ArrivalNotice notice)
{
    return notice == waybill::ArrivalNotice::NotWanted ? MarkChoice::NoticeNotWanted : MarkChoice::NoticeWanted;
}

QString captionOf(const LayoutText& text)
{
    const QString line = QString::number(text.index);
    const QString party = text.party == Party::Recipient ? QStringLiteral("お届け先の") : QStringLiteral("ご依頼主の");
    switch (text.value) {
    case LayoutValue::PostalDigit:
        return party + QStringLiteral("郵便番号（%1桁目）").arg(text.index);
    case LayoutValue::PostalCode:
        return party + QStringLiteral("郵便番号");
    case LayoutValue::AddressLine1:
        return party + QStringLiteral("住所1");
    case LayoutValue::AddressLine2:
        return party + QStringLiteral("住所2");
    case LayoutValue::Name:
        return party + QStringLiteral("名前");
    case LayoutValue::CareOf:
        return party + QStringLiteral("様方");
    case LayoutValue::Telephone:
        return party + QStringLiteral("電話番号");
    case LayoutValue::GoodsDescription:
        return QStringLiteral("品名") + line;
    case LayoutValue::ProductNumber:
        return QStringLiteral("商品番号") + line;
    case LayoutValue::Quantity:
        return QStringLiteral("数量") + line;
    case LayoutValue::UnitPrice:
        return QStringLiteral("単価") + line;
    case LayoutValue::Amount:
        return QStringLiteral("金額") + line;
    case LayoutValue::Total:
        return QStringLiteral("合計");
    case LayoutValue::ShipDate:
        return QStringLiteral("発送日");
    case LayoutValue::ParcelCount:
        return QStringLiteral("個数");
    case LayoutValue::OrderNumber:
        return QStringLiteral("お客様管理番号");
    case LayoutValue::FormNumber:
        return QStringLiteral("伝票番号");
    case LayoutValue::FixedText:
        return QStringLiteral("固定の文字「%1」").arg(text.fixedText);
    }
    return {};
}

QString captionOf(MarkChoice choice)
{
    switch (choice) {
    case MarkChoice::Morning:
        return QStringLiteral("午前");
    case MarkChoice::Afternoon:
        return QStringLiteral("午後");
    case MarkChoice::Evening:
        return QStringLiteral("夕方");
    case MarkChoice::Night:
        return QStringLiteral("夜間");
    case MarkChoice::Unspecified:
        return QStringLiteral("指定なし");
    case MarkChoice::NoticeWanted:
        return QStringLiteral("必要");
    case MarkChoice::NoticeNotWanted:
        return QStringLiteral("不要");
    }
    return {};
}

} // namespace print
