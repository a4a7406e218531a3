#include "print/overrun.h"

#include "platform/fonts.h"
#include "print/page.h"
#include "print/renderer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QStringList>
#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <vector>

namespace print {

namespace {

// Fonts are measured at the resolution the pages are laid out in.
constexpr double kMeasureDotsPerInch = kPdfDotsPerInch;
constexpr double kMmPerInch = 25.4;
// Less than this past a place is below the 0.1 mm the user can read or shift.
constexpr double kNoticeableMm = 0.05;

const QImage& measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMetre = qRound(kMeasureDotsPerInch / kMmPerInch * 1000.0);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

const QFontMetricsF& metricsFor(int points, bool bold)
{
    static std::map<std::pair<int, bool>, QFontMetricsF> cache;
    const auto key = std::pair(points, bold);
    auto it = cache.find(key);
    if (it == cache.end()) {
        QFont font = platform::printFont(platform::installedFace(kPrinterFontName));
        font.setPointSizeF(points);
        font.setBold(bold);
        it = cache.emplace(key, QFontMetricsF(font, &measureDevice())).first;
    }
    return it->second;
}

double dotsToMm(double dots) { return dots / kMeasureDotsPerInch * kMmPerInch; }

template <typename Item>
TextRow rowOf(TextBlock block, const Item& item)
{
    TextRow row{block};
    row.points = item.points;
    row.xMm = item.xMm;
    row.yMm = item.yMm;
    row.widthMm = item.widthMm;
    return row;
}

// The rows the print job puts down for this waybill, in its order: a hidden
// care-of line and, outside numeric input mode, the numbers are left out.
std::vector<TextRow> printedRows(const waybill::Waybill& waybill)
{
    std::vector<TextRow> rows;
    for (const TextRow& row : layoutRows()) {
        if (row.block != TextBlock::Goods && row.address == AddressPart::CareOf &&
            !(row.block == TextBlock::Recipient ? waybill.recipient : waybill.sender).careOfShown)
            continue;
        if (row.block == TextBlock::Goods && row.goods != GoodsPart::Description &&
            row.goods != GoodsPart::ProductNumber && !waybill.numericMode)
            continue;
        rows.push_back(row);
    }
    return rows;
}

QPointF twipsToMm(QPointF twips) { return twips * kMmPerTwip; }

double placeWidthOnPaperMm(const TextRow& row)
{
    return (double(layoutTwips(row.xMm + row.widthMm)) - double(layoutTwips(row.xMm))) * kMmPerTwip;
}

QString mmText(double mm) { return QString::number(mm, 'f', 1); }

} // namespace

std::vector<TextRow> layoutRows()
{
    std::vector<TextRow> rows;
    for (const auto& [block, items] :
         {std::pair(TextBlock::Recipient, recipientBlock()), std::pair(TextBlock::Sender, senderBlock())})
        for (const AddressItem& item : items) {
            TextRow row = rowOf(block, item);
            row.address = item.part;
            row.index = item.postalBox;
            rows.push_back(row);
        }
    for (const GoodsItem& item : goodsBlock()) {
        TextRow row = rowOf(TextBlock::Goods, item);
        row.goods = item.part;
        row.index = item.line;
        rows.push_back(row);
    }
    return rows;
}

QString rowCaption(const TextRow& row)
{
    if (row.block == TextBlock::Goods) {
        const QString line = QString::number(row.index + 1);
        switch (row.goods) {
        case GoodsPart::Description:
            return QStringLiteral("品名") + line;
        case GoodsPart::ProductNumber:
            return QStringLiteral("商品番号") + line;
        case GoodsPart::Quantity:
            return QStringLiteral("数量") + line;
        case GoodsPart::UnitPrice:
            return QStringLiteral("単価") + line;
        case GoodsPart::Amount:
            return QStringLiteral("金額") + line;
        case GoodsPart::Total:
            return QStringLiteral("合計");
        }
    }
    const QString block = row.block == TextBlock::Recipient ? QStringLiteral("お届け先") : QStringLiteral("ご依頼主");
    QString part;
    switch (row.address) {
    case AddressPart::PostalBox:
        part = QStringLiteral("郵便番号（%1桁目）").arg(row.index);
        break;
    case AddressPart::Line1:
        part = QStringLiteral("住所1");
        break;
    case AddressPart::Line2:
        part = QStringLiteral("住所2");
        break;
    case AddressPart::Name:
        part = QStringLiteral("名前");
        break;
    case AddressPart::CareOf:
        part = QStringLiteral("様方");
        break;
    case AddressPart::Telephone:
        part = QStringLiteral("電話番号");
        break;
    }
    return block + QStringLiteral("の") + part;
}

TextExtent printedExtent(const QString& text, int points, bool bold)
{
    const QFontMetricsF& metrics = metricsFor(points, bold);
    // Measuring shapes the text, which costs; a list of waybills repeats most
    // of its texts (the sender, the postal code's digits, the item
    // description), so recent widths are kept. Only this thread measures.
    struct Key {
        QString text;
        int points;
        bool bold;
        bool operator==(const Key&) const = default;
    };
    struct KeyHash {
        size_t operator()(const Key& k) const { return qHash(k.text) ^ size_t(k.points * 2 + k.bold); }
    };
    static std::unordered_map<Key, double, KeyHash> widthsDots;
    constexpr size_t kKeptWidths = 4096;
    Key key{text, points, bold};
    auto found = widthsDots.find(key);
    if (found == widthsDots.end()) {
        if (widthsDots.size() >= kKeptWidths)
            widthsDots.clear();
        found = widthsDots.emplace(std::move(key), metrics.horizontalAdvance(text)).first;
    }
    return {dotsToMm(found->second), dotsToMm(metrics.height())};
}

namespace {

// The page a waybill prints as, for the checks; nothing when the job cannot
// place it.
std::optional<Page> pageToCheck(const waybill::Waybill& waybill, PrintOffsets offsets)
{
    try {
        PrintState state;
        return waybillPage(waybill, offsets, state);
    } catch (const JobStopped&) {
        return std::nullopt;
    }
}

std::vector<Overrun> overrunsOn(const Page& page, const std::vector<TextRow>& rows, QRectF sheetMm)
{
    Q_ASSERT(rows.size() == page.texts.size());
    std::vector<Overrun> found;
    for (size_t i = 0; i < rows.size() && i < page.texts.size(); ++i) {
        const PageText& printed = page.texts[i];
        if (printed.text.isEmpty())
            continue;
        Overrun o;
        o.row = rows[i];
        o.text = printed.text;
        const TextExtent extent = printedExtent(printed.text, printed.fontPoints, printed.bold);
        o.textWidthMm = extent.widthMm;
        o.placeWidthMm = o.row.widthMm;
        const QPointF topLeft = twipsToMm(printed.topLeftTwips);
        o.printedMm = QRectF(topLeft, QSizeF(extent.widthMm, extent.heightMm));
        o.placeMm = QRectF(topLeft, QSizeF(placeWidthOnPaperMm(o.row), extent.heightMm));
        const double past = o.printedMm.width() - o.placeMm.width();
        o.pastPlaceMm = past >= kNoticeableMm ? past : 0;

        QString edge;
        if (sheetMm.isValid()) {
            const std::pair<double, const char*> beyond[] = {
                {sheetMm.left() - o.printedMm.left(), "左端"},
                {o.printedMm.right() - sheetMm.right(), "右端"},
                {sheetMm.top() - o.printedMm.top(), "上端"},
                {o.printedMm.bottom() - sheetMm.bottom(), "下端"},
            };
            const auto worst = std::max_element(std::begin(beyond), std::end(beyond),
                                                [](const auto& a, const auto& b) { return a.first < b.first; });
            if (worst->first >= kNoticeableMm) {
                o.offSheetMm = worst->first;
                edge = QString::fromUtf8(worst->second);
            }
        }
        if (o.pastPlaceMm == 0 && o.offSheetMm == 0)
            continue;

        const QString caption = rowCaption(o.row);
        QStringList said;
        if (o.pastPlaceMm > 0)
            said << QStringLiteral("%1が欄から %2 mm はみ出しています（文字の幅 %3 mm、欄の幅 %4 mm）")
                        .arg(caption, mmText(o.pastPlaceMm), mmText(o.textWidthMm), mmText(o.placeWidthMm));
        if (o.offSheetMm > 0)
            said << (o.pastPlaceMm > 0
                         ? QStringLiteral("用紙の%1からも %2 mm 出ています").arg(edge, mmText(o.offSheetMm))
                         : QStringLiteral("%1が用紙の%2から %3 mm はみ出しています")
                               .arg(caption, edge, mmText(o.offSheetMm)));
        o.description = said.join(QStringLiteral("。"));
        found.push_back(std::move(o));
    }
    return found;
}

std::optional<QString> overrunSentence(const std::vector<Overrun>& found)
{
    if (found.empty())
        return std::nullopt;
    QStringList which;
    for (const Overrun& o : found)
        which << QStringLiteral("%1（%2 mm）").arg(rowCaption(o.row), mmText(o.pastPlaceMm));
    return QStringLiteral("欄からはみ出す文字があります：%1。短くしてから印刷してください。")
        .arg(which.join(QStringLiteral("、")));
}

} // namespace

std::vector<Overrun> findOverruns(const waybill::Waybill& waybill, PrintOffsets offsets, QRectF sheetMm)
{
    const std::optional<Page> page = pageToCheck(waybill, offsets);
    return page ? overrunsOn(*page, printedRows(waybill), sheetMm) : std::vector<Overrun>{};
}

std::optional<QString> overrunProblem(const waybill::Waybill& waybill)
{
    return overrunSentence(findOverruns(waybill));
}

namespace {

// Default-ignorable code points: shaping draws nothing for them by design.
bool isIgnorable(char32_t c)
{
    constexpr std::pair<char32_t, char32_t> kRanges[] = {
        {0x00AD, 0x00AD},   {0x034F, 0x034F},   {0x061C, 0x061C}, {0x115F, 0x1160}, {0x17B4, 0x17B5},
        {0x180B, 0x180F},   {0x200B, 0x200F},   {0x202A, 0x202E}, {0x2060, 0x206F}, {0x3164, 0x3164},
        {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},   {0xFFA0, 0xFFA0}, {0xFFF0, 0xFFF8}, {0x1BCA0, 0x1BCA3},
        {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF},
    };
    return std::any_of(std::begin(kRanges), std::end(kRanges),
                       [c](const auto& r) { return c >= r.first && c <= r.second; });
}

QString shownCharacter(char32_t c)
{
    const QString code = QStringLiteral("U+") + QStringLiteral("%1").arg(uint(c), 4, 16, QLatin1Char('0')).toUpper();
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Other_Control || category == QChar::Other_Format || category == QChar::Other_Surrogate)
        return QStringLiteral("（%1）").arg(code);
    return QStringLiteral("「%1」（%2）").arg(QString::fromUcs4(&c, 1), code);
}

} // namespace

QString charactersWithoutGlyph(const QString& text)
{
    // Whether a face of the chain has a glyph does not change in a run; the
    // answer is kept for each character: in a table for the common plane,
    // where nearly every printed character is, since every text of every
    // page of a list is looked at.
    enum class Known : std::uint8_t { Unasked, Drawable, Missing };
    static std::vector<Known> commonPlane(0x10000, Known::Unasked);
    static QHash<char32_t, bool> beyondCommonPlane;
    static const QFontMetricsF metrics = [] {
        QFont font = platform::printFont(platform::installedFace(kPrinterFontName));
        font.setPointSize(10);
        return QFontMetricsF(font, &measureDevice());
    }();
    const auto drawable = [](char32_t c) {
        const auto ask = [c] { return QChar::category(c) != QChar::Other_Control && metrics.inFontUcs4(c); };
        if (c < 0x10000) {
            Known& known = commonPlane[c];
            if (known == Known::Unasked)
                known = ask() ? Known::Drawable : Known::Missing;
            return known == Known::Drawable;
        }
        auto known = beyondCommonPlane.constFind(c);
        if (known == beyondCommonPlane.constEnd())
            known = beyondCommonPlane.insert(c, ask());
        return *known;
    };
    QString missing;
    for (const char32_t c : QStringView(text).toUcs4()) {
        if (drawable(c) || c == U' ' || c == U'\u3000' || isIgnorable(c))
            continue;
        const QString character = QString::fromUcs4(&c, 1);
        if (!missing.contains(character))
            missing += character;
    }
    return missing;
}

namespace {

std::vector<MissingGlyphs> missingGlyphsOn(const Page& page, const std::vector<TextRow>& rows)
{
    std::vector<MissingGlyphs> found;
    for (size_t i = 0; i < rows.size() && i < page.texts.size(); ++i) {
        const QString characters = charactersWithoutGlyph(page.texts[i].text);
        if (characters.isEmpty())
            continue;
        QString shown;
        for (const char32_t c : characters.toUcs4())
            shown += shownCharacter(c);
        found.push_back(
            {rows[i], page.texts[i].text, characters,
             QStringLiteral("%1の%2は、どの書体にも字形がないため印刷されません（空白か空の四角になります）。"
                            "似た文字に置き換えるか、消してください。")
                 .arg(rowCaption(rows[i]), shown)});
    }
    return found;
}

} // namespace

std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill)
{
    const std::optional<Page> page = pageToCheck(waybill, {});
    return page ? missingGlyphsOn(*page, printedRows(waybill)) : std::vector<MissingGlyphs>{};
}

// Both checks look at one page: a list checks every row before it prints.
QStringList printProblems(const waybill::Waybill& waybill)
{
    const std::optional<Page> page = pageToCheck(waybill, {});
    if (!page)
        return {};
    const std::vector<TextRow> rows = printedRows(waybill);
    QStringList problems;
    for (const Overrun& o : overrunsOn(*page, rows, {}))
        problems << o.description + QStringLiteral("。");
    for (const MissingGlyphs& m : missingGlyphsOn(*page, rows))
        problems << m.description;
    return problems;
}

std::optional<QString> printProblem(const waybill::Waybill& waybill)
{
    const std::optional<Page> page = pageToCheck(waybill, {});
    if (!page)
        return std::nullopt;
    const std::vector<TextRow> rows = printedRows(waybill);
    QStringList said;
    if (const auto overrun = overrunSentence(overrunsOn(*page, rows, {})))
        said << *overrun;
    for (const MissingGlyphs& m : missingGlyphsOn(*page, rows))
        said << m.description;
    if (said.isEmpty())
        return std::nullopt;
    return said.join(QLatin1Char('\n'));
}

namespace {

FormDrawing makeFormDrawing()
{
    FormDrawing form;
    // Every row printed once: both care-of lines shown, the numbers on.
    waybill::Waybill all;
    all.recipient.careOfShown = all.sender.careOfShown = true;
    all.numericMode = true;
    PrintState state;
    const Page page = waybillPage(all, {}, state);
    const std::vector<TextRow> rows = layoutRows();
    Q_ASSERT(rows.size() == page.texts.size());
    for (size_t i = 0; i < rows.size() && i < page.texts.size(); ++i) {
        const TextRow& row = rows[i];
        const QRectF place(twipsToMm(page.texts[i].topLeftTwips),
                           QSizeF(placeWidthOnPaperMm(row), printedExtent(QString(), row.points).heightMm));
        form.texts.push_back({row, place});
        if (row.block != TextBlock::Goods && row.address == AddressPart::PostalBox)
            form.postalBoxes.push_back({row.block, row.index, place});
    }

    // Each choice where the print job draws it.
    using waybill::ArrivalNotice;
    using waybill::DeliveryTime;
    auto markOf = [](const PageCircle& circle) {
        return std::pair(twipsToMm(circle.centreTwips), circle.radiusTwips * kMmPerTwip);
    };
    const std::pair<DeliveryTime, const char*> times[] = {
        {DeliveryTime::Morning, "午前"}, {DeliveryTime::Afternoon, "午後"},       {DeliveryTime::Evening, "夕方"},
        {DeliveryTime::Night, "夜間"},   {DeliveryTime::Unspecified, "指定なし"},
    };
    for (const auto& [time, caption] : times) {
        waybill::Waybill w;
        w.deliveryTime = time;
        const auto [centre, radius] = markOf(waybillPage(w, {}, state).circles.at(0));
        form.marks.push_back({true, time, ArrivalNotice::Wanted, QString::fromUtf8(caption), centre, radius});
    }
    const std::pair<ArrivalNotice, const char*> notices[] = {{ArrivalNotice::Wanted, "必要"},
                                                             {ArrivalNotice::NotWanted, "不要"}};
    for (const auto& [notice, caption] : notices) {
        waybill::Waybill w;
        w.arrivalNotice = notice;
        const auto [centre, radius] = markOf(waybillPage(w, {}, state).circles.at(1));
        form.marks.push_back({false, DeliveryTime::Unspecified, notice, QString::fromUtf8(caption), centre, radius});
    }
    return form;
}

} // namespace

const FormDrawing& formDrawing()
{
    static const FormDrawing form = makeFormDrawing();
    return form;
}

bool markChosen(const FormMark& mark, const waybill::Waybill& waybill)
{
    return mark.deliveryTime ? mark.time == waybill.deliveryTime : mark.notice == waybill.arrivalNotice;
}

} // namespace print
