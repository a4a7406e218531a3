#include "print/printjob.h"

#include "platform/numtext.h"
#include "postal/postalcode.h"

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <optional>

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

// Values after the address blocks: before the first of them the marks are drawn.
bool printedAfterMarks(LayoutValue value) { return value >= LayoutValue::GoodsDescription; }

class WaybillJob {
public:
    WaybillJob(const waybill::Waybill& waybill, Printer& printer, PrintState& state, const Layout& layout,
               const SheetExtras& extras)
        : m_waybill(waybill), m_printer(printer), m_s(state), m_layout(layout), m_extras(extras)
    {}

    void run(PrintOffsets offsets)
    {
        prolog(offsets);
        // The postal codes are read once, before their first box.
        m_boxes[0] = postal::printedBoxes(m_waybill.recipient.postalCode);
        m_boxes[1] = postal::printedBoxes(m_waybill.sender.postalCode);
        bool marksDrawn = false;
        for (size_t i = 0; i < m_layout.texts.size(); ++i) {
            const LayoutText& item = m_layout.texts[i];
            if (!marksDrawn && printedAfterMarks(item.value)) {
                marks();
                marksDrawn = true;
            }
            if (const std::optional<QString> text = valueText(item))
                placeAndPrint(int(i), item, *text);
        }
        if (!marksDrawn)
            marks();
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
        m_s.MarkLineWidth = float(m_layout.markLineWidthDots180);
        m_printer.setFontName(kPrinterFontName);
        m_printer.setFontBold(false);
    }

    // The text an item prints, or nothing when it prints nothing at all (a
    // hidden care-of line, the numbers outside numeric input mode).
    std::optional<QString> valueText(const LayoutText& item) const
    {
        const waybill::Address& address = item.party == Party::Recipient ? m_waybill.recipient : m_waybill.sender;
        const waybill::GoodsLine& line = m_waybill.goods[size_t(std::clamp(item.index, 1, 2) - 1)];
        switch (item.value) {
        case LayoutValue::PostalDigit:
            return m_boxes[item.party == Party::Recipient ? 0 : 1][size_t(std::clamp(item.index, 1, 7) - 1)];
        case LayoutValue::PostalCode:
            return postal::codeForReading(address.postalCode);
        case LayoutValue::AddressLine1:
            return address.line1;
        case LayoutValue::AddressLine2:
            return address.line2;
        case LayoutValue::Name:
            return address.name;
        case LayoutValue::CareOf:
            return address.careOfShown ? std::optional(address.careOf) : std::nullopt;
        case LayoutValue::Telephone:
            return address.telephone;
        case LayoutValue::GoodsDescription:
            return line.description;
        case LayoutValue::ProductNumber:
            return line.productNumber;
        case LayoutValue::Quantity:
            return numeric(line.quantity);
        case LayoutValue::UnitPrice:
            return numeric(line.unitPrice);
        case LayoutValue::Amount:
            return numeric(line.amount);
        case LayoutValue::Total:
            return numeric(m_waybill.total);
        case LayoutValue::ShipDate:
            return (m_extras.shipDate.isValid() ? m_extras.shipDate : QDate::currentDate()).toString(item.dateFormat);
        case LayoutValue::ParcelCount:
            return QString::number(m_extras.parcelCount);
        case LayoutValue::OrderNumber:
            return m_extras.orderNumber;
        case LayoutValue::FormNumber:
            return m_extras.formNumber;
        case LayoutValue::FixedText:
            return item.fixedText;
        }
        return std::nullopt;
    }

    std::optional<QString> numeric(const QString& text) const
    {
        return m_waybill.numericMode ? std::optional(text) : std::nullopt;
    }

    void placeAndPrint(int index, const LayoutText& item, const QString& text)
    {
        // The printer takes whole points; a layout's other sizes, and a
        // fitted text's, are set for that text alone.
        const int points = int(std::lround(item.sizePt));
        m_printer.setFontSize(points);
        double x = checkedSingle(double(m_s.OriginX) + double(layoutTwips(item.xMm)), "横位置");
        double y = checkedSingle(m_fontShiftAsRead * double(kTwipsPerTenthMm) +
                                     (double(m_s.OriginY) + double(layoutTwips(item.yMm))),
                                 "縦位置");
        const double placeMm =
            (double(layoutTwips(item.xMm + item.widthMm)) - double(layoutTwips(item.xMm))) * kMmPerTwip;
        const TextFit fit = text.isEmpty() ? TextFit{text, item.sizePt}
                                           : fitText(text, item.sizePt, placeMm, item.floors,
                                                     item.value == LayoutValue::GoodsDescription);
        // A smaller text keeps the line it stands on.
        if (fit.sizePt != item.sizePt)
            y += (ascentMm(item.sizePt) - ascentMm(fit.sizePt)) / kMmPerTwip;
        if (const double slack = placeMm - fit.printedWidthMm; item.align != TextAlign::Left && slack > 0)
            x += (item.align == TextAlign::Right ? slack : slack / 2.0) / kMmPerTwip;
        m_printer.setCurrentX(float(x));
        m_printer.setCurrentY(float(y));
        if (fit.sizePt != double(points) || fit.widthPercent != 100.0)
            m_printer.fitNextText(fit.sizePt, fit.widthPercent);
        m_printer.describeNextText({index, fit.outcome, placeMm, fit.naturalWidthMm, text});
        m_printer.printText(fit.text);
    }

    void marks()
    {
        m_s.MarkRadius = float(m_layout.markRadiusMm * 10.0);
        for (const MarkChoice choice : {markFor(m_waybill.deliveryTime), markFor(m_waybill.arrivalNotice)})
            for (const LayoutMark& mark : m_layout.marks)
                if (mark.choice == choice) {
                    drawMark(m_printer, m_s, layoutTwips(mark.xMm), layoutTwips(mark.yMm));
                    break;
                }
    }

    const waybill::Waybill& m_waybill;
    Printer& m_printer;
    PrintState& m_s;
    const Layout& m_layout;
    const SheetExtras& m_extras;
    std::array<std::array<QString, 7>, 2> m_boxes;
    double m_fontShiftAsRead = 0; // FontShift as read back, 0.1 mm
};

} // namespace

void printWaybill(const waybill::Waybill& waybill, PrintOffsets offsets, Printer& printer, PrintState& state,
                  const Layout& layout, const SheetExtras& extras)
{
    WaybillJob(waybill, printer, state, layout, extras).run(offsets);
}

Page waybillPage(const waybill::Waybill& waybill, PrintOffsets offsets, PrintState& state, const Layout& layout,
                 const SheetExtras& extras)
{
    PageRecorder recorder;
    printWaybill(waybill, offsets, recorder, state, layout, extras);
    return recorder.takePage();
}

} // namespace print
