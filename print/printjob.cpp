#include "print/printjob.h"

#include "platform/numtext.h"
#include "postal/postalcode.h"

#include <cfloat>
#include <cmath>

namespace print {

double checked(double value, const char* what)
{
    if (!std::isfinite(value))
        throw JobStopped{
            QStringLiteral(
                "印刷位置（%1）を計算できないため、印刷を中止しました。調整パネルの「左右のズレ」と「上下のズレ」の値を確かめてください。")
                .arg(QString::fromUtf8(what))};
    return value;
}

float checkedSingle(double value, const char* what)
{
    // Narrowing a value beyond the single range is an overflow.
    if (std::fabs(checked(value, what)) > double(FLT_MAX))
        checked(HUGE_VAL, what);
    return static_cast<float>(value);
}

void drawMark(Printer& printer, const PrintState& state, float dxTwips, float dyTwips)
{
    printer.setDrawWidth(static_cast<int>(std::nearbyint(state.MarkLineWidth)));
    const float x = checkedSingle(double(state.OriginX) + double(dxTwips), "○印の横位置");
    const float y = checkedSingle(double(state.OriginY) + double(dyTwips), "○印の縦位置");
    const float r = checkedSingle(double(state.MarkRadius) * double(kTwipsPerTenthMm), "○印の半径");
    printer.circle(x, y, r);
}

namespace {

class WaybillJob {
public:
    WaybillJob(const waybill::Waybill& waybill, Printer& printer, PrintState& state)
        : m_waybill(waybill), m_printer(printer), m_s(state)
    {}

    void run(PrintOffsets offsets)
    {
        prolog(offsets);
        addressBlock(recipientBlock(), m_waybill.recipient);
        addressBlock(senderBlock(), m_waybill.sender);
        marks();
        goods();
    }

private:
    void prolog(PrintOffsets offsets)
    {
        m_s.horizontalOffset = offsets.horizontalTenthMm;
        m_s.verticalOffset = offsets.verticalTenthMm;
        m_s.OriginX = checkedSingle((double(m_s.horizontalOffset) - 160.0) * double(kTwipsPerTenthMm), "左右のズレ");
        m_s.OriginY = checkedSingle((double(m_s.verticalOffset) + 15.0) * double(kTwipsPerTenthMm), "上下のズレ");
        m_printer.setFontSize(14);
        // Three times the size in fixed point with four decimals, then halved
        // in double: 14 gives -21, 14.25 gives -21.375.
        const long long tenThousandths = std::llround(m_printer.fontSize() * 10000.0);
        const double shift = checked(double(3 * tenThousandths) / 10000.0 / -2.0, "文字の高さ");
        m_s.FontShift = platform::numberToText(shift);
        // FontShift is held as text in the C form it was written in, and
        // read back as such; the text stays the same for the whole job.
        m_fontShiftAsRead = platform::textToDouble(m_s.FontShift, QLocale::c()).value_or(0.0);
        m_s.MarkLineWidth = 2.0f;
        m_printer.setFontName(kPrinterFontName);
        m_printer.setFontBold(false);
    }

    void placeAndPrint(int points, double xMm, double yMm, const QString& text)
    {
        m_printer.setFontSize(points);
        m_printer.setCurrentX(checkedSingle(double(m_s.OriginX) + double(layoutTwips(xMm)), "横位置"));
        m_printer.setCurrentY(checkedSingle(
            m_fontShiftAsRead * double(kTwipsPerTenthMm) + (double(m_s.OriginY) + double(layoutTwips(yMm))), "縦位置"));
        m_printer.printText(text);
    }

    void addressBlock(std::span<const AddressItem> items, const waybill::Address& address)
    {
        // The postal code is read once, before its first box.
        const std::array<QString, 7> boxes = postal::printedBoxes(address.postalCode);
        for (const AddressItem& item : items) {
            switch (item.part) {
            case AddressPart::PostalBox:
                placeAndPrint(item.points, item.xMm, item.yMm, boxes[size_t(item.postalBox - 1)]);
                break;
            case AddressPart::Line1:
                placeAndPrint(item.points, item.xMm, item.yMm, address.line1);
                break;
            case AddressPart::Line2:
                placeAndPrint(item.points, item.xMm, item.yMm, address.line2);
                break;
            case AddressPart::Name:
                placeAndPrint(item.points, item.xMm, item.yMm, address.name);
                break;
            case AddressPart::CareOf:
                if (address.careOfShown)
                    placeAndPrint(item.points, item.xMm, item.yMm, address.careOf);
                break;
            case AddressPart::Telephone:
                placeAndPrint(item.points, item.xMm, item.yMm, address.telephone);
                break;
            }
        }
    }

    void marks()
    {
        m_s.MarkRadius = 30.0f;
        const MarkPlace time = deliveryTimeMark(m_waybill.deliveryTime);
        drawMark(m_printer, m_s, layoutTwips(time.xMm), layoutTwips(time.yMm));
        const MarkPlace notice = arrivalNoticeMark(m_waybill.arrivalNotice);
        drawMark(m_printer, m_s, layoutTwips(notice.xMm), layoutTwips(notice.yMm));
    }

    void goods()
    {
        for (const GoodsItem& item : goodsBlock()) {
            const waybill::GoodsLine& line = m_waybill.goods[size_t(item.line)];
            switch (item.part) {
            case GoodsPart::Description:
                placeAndPrint(item.points, item.xMm, item.yMm, line.description);
                break;
            case GoodsPart::ProductNumber:
                placeAndPrint(item.points, item.xMm, item.yMm, line.productNumber);
                break;
            case GoodsPart::Quantity:
            case GoodsPart::UnitPrice:
            case GoodsPart::Amount:
            case GoodsPart::Total:
                if (m_waybill.numericMode)
                    placeAndPrint(item.points, item.xMm, item.yMm, numericText(item.part, line));
                break;
            }
        }
    }

    QString numericText(GoodsPart part, const waybill::GoodsLine& line) const
    {
        switch (part) {
        case GoodsPart::Quantity:
            return line.quantity;
        case GoodsPart::UnitPrice:
            return line.unitPrice;
        case GoodsPart::Amount:
            return line.amount;
        default:
            return m_waybill.total;
        }
    }

    const waybill::Waybill& m_waybill;
    Printer& m_printer;
    PrintState& m_s;
    double m_fontShiftAsRead = 0; // FontShift as read back, 0.1 mm
};

} // namespace

void printWaybill(const waybill::Waybill& waybill, PrintOffsets offsets, Printer& printer, PrintState& state)
{
    WaybillJob(waybill, printer, state).run(offsets);
}

Page waybillPage(const waybill::Waybill& waybill, PrintOffsets offsets, PrintState& state)
{
    PageRecorder recorder;
    printWaybill(waybill, offsets, recorder, state);
    return recorder.takePage();
}

} // namespace print
