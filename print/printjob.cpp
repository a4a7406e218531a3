#include "print/printjob.h"

#include "platform/numtext.h"

#include <cfloat>
#include <cmath>

namespace print {

double checked(double value, const char* what)
{
    if (!std::isfinite(value))
        throw JobStopped{QStringLiteral("印刷位置（%1）を計算できないため、印刷を中止しました。調整パネルの「左右のズレ」と「上下のズレ」の値を確かめてください。")
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

static float readOffset(const FormView& view, const char* control, const char* caption)
{
    const QString text = view.text(control);
    const auto value = platform::textToSingle(text);
    if (!value)
        throw JobStopped{QStringLiteral("%1の値「%2」は数値として読めないため、印刷を中止しました。調整パネルで%1を数値にしてください。")
                             .arg(QString::fromUtf8(caption), text)};
    return *value;
}

void readOffsets(const FormView& view, PrintState& state)
{
    state.horizontalOffset = readOffset(view, "Sayuu_Xtxt", "左右のズレ");
    state.verticalOffset = readOffset(view, "Jyouge_Ytxt", "上下のズレ");
}

void drawMark(platform::Printer& printer, const PrintState& state, float dxTwips, float dyTwips)
{
    printer.setDrawWidth(static_cast<int>(std::nearbyint(state.MarkLineWidth)));
    const float x = checkedSingle(double(state.OriginX) + double(dxTwips), "○印の横位置");
    const float y = checkedSingle(double(state.OriginY) + double(dyTwips), "○印の縦位置");
    const float r = checkedSingle(double(state.MarkRadius) * double(kTwipsPerTenthMm), "○印の半径");
    printer.circle(x, y, r);
}

namespace {

class Waybill {
public:
    Waybill(const FormView& view, platform::Printer& printer, PrintState& state)
        : m_view(view), m_printer(printer), m_s(state) {}

    void run()
    {
        prolog();
        textBlock(recipientBlock());
        textBlock(senderBlock());
        marks();
        textBlock(goodsBlock());
    }

private:
    void prolog()
    {
        readOffsets(m_view, m_s);
        m_s.OriginX = checkedSingle((double(m_s.horizontalOffset) - 160.0) * double(kTwipsPerTenthMm), "左右のズレ");
        m_s.OriginY = checkedSingle((double(m_s.verticalOffset) + 15.0) * double(kTwipsPerTenthMm), "上下のズレ");
        m_printer.setFontSize(14);
        // Three times the size in fixed point with four decimals, then halved
        // in double: 14 gives -21, 14.25 gives -21.375.
        const long long tenThousandths = std::llround(m_printer.fontSize() * 10000.0);
        const double shift = checked(double(3 * tenThousandths) / 10000.0 / -2.0, "文字の高さ");
        m_s.FontShift = platform::numberToText(shift);
        m_s.MarkLineWidth = 2.0f;
        m_printer.setFontName(kPrinterFontName);
        m_printer.setFontBold(false);
    }

    void placeAndPrint(int points, float xTwips, float yTwips, const TextItem& item, const QString& postal)
    {
        m_printer.setFontSize(points);
        m_printer.setCurrentX(checkedSingle(double(m_s.OriginX) + double(xTwips), "横位置"));
        // FontShift is held as text in the C form it was written in.
        const double shift = platform::textToDouble(m_s.FontShift, QLocale::c()).value_or(0.0);
        m_printer.setCurrentY(checkedSingle(shift * double(kTwipsPerTenthMm) + (double(m_s.OriginY) + double(yTwips)), "縦位置"));
        m_printer.printText(item.postalChar ? postal.mid(item.postalChar - 1, 1) : m_view.text(item.control));
    }

    void textBlock(std::span<const TextItem> items)
    {
        QString postal;
        for (const TextItem& item : items) {
            // The postal code is read once, before its first box.
            if (item.postalChar == 1)
                postal = m_view.text(item.control);
            if (item.when == When::Shown && !m_view.isShown(item.condition))
                continue;
            if (item.when == When::NumericMode && !m_view.isOn("SuujiNyuuryokuBtn"))
                continue;
            placeAndPrint(item.points, layoutTwips(item.x_mm), layoutTwips(item.y_mm), item, postal);
        }
    }

    void marks()
    {
        m_s.MarkRadius = 30.0f;
        for (auto group : {deliveryTimeMarks(), noticeMarks()}) {
            for (const MarkItem& mark : group) {
                if (m_view.isOn(mark.option)) {
                    drawMark(m_printer, m_s, layoutTwips(mark.x_mm), layoutTwips(mark.y_mm));
                    break;
                }
            }
        }
    }

    const FormView& m_view;
    platform::Printer& m_printer;
    PrintState& m_s;
};

} // namespace

JobResult printWaybill(const FormView& view, platform::Printer& printer, PrintState& state)
{
    Waybill job(view, printer, state);
    return runJob(printer, [&] { job.run(); });
}

} // namespace print
