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

const QImage& measureDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMetre = qRound(kPdfDotsPerInch / 25.4 * 1000.0);
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

QPointF twipsToMm(QPointF twips) { return twips * kMmPerTwip; }

QString mmText(double mm) { return QString::number(mm, 'f', 1); }
QString percentText(double percent) { return QString::number(percent, 'f', percent == std::floor(percent) ? 0 : 1); }
QString pointsText(double points) { return QString::number(points, 'f', points == std::floor(points) ? 0 : 1); }

// The page a waybill prints as, for the checks; nothing when the job cannot
// place it.
std::optional<Page> pageToCheck(const waybill::Waybill& waybill, PrintOffsets offsets, const Layout& layout,
                                const SheetExtras& extras = {})
{
    try {
        PrintState state;
        return waybillPage(waybill, offsets, state, layout, extras);
    } catch (const JobStopped&) {
        return std::nullopt;
    }
}

std::vector<Overrun> overrunsOn(const Page& page, const Layout& layout, QRectF sheetMm)
{
    std::vector<Overrun> found;
    for (const PageText& printed : page.texts) {
        if (printed.text.isEmpty() || printed.origin.layoutText < 0)
            continue;
        Overrun o;
        o.layoutText = printed.origin.layoutText;
        o.item = layout.texts.at(size_t(o.layoutText));
        o.text = printed.origin.wholeText;
        const TextExtent extent = printedExtent(printed.text, printed.fontPoints, printed.bold);
        o.textWidthMm = extent.widthMm * printed.widthPercent / 100.0;
        o.placeWidthMm = printed.origin.placeWidthMm;
        const QPointF topLeft = twipsToMm(printed.topLeftTwips);
        o.printedMm = QRectF(topLeft, QSizeF(o.textWidthMm, extent.heightMm));
        o.placeMm = QRectF(topLeft, QSizeF(o.placeWidthMm, extent.heightMm));
        const double past = o.textWidthMm - o.placeWidthMm;
        o.pastPlaceMm = printed.origin.fit == FitOutcome::TooWide && past >= kNoticeableMm ? past : 0;

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

        const QString caption = captionOf(o.item);
        QStringList said;
        if (o.pastPlaceMm > 0)
            said << QStringLiteral("%1は %2 ポイント、幅 %3 % まで詰めても欄から %4 mm はみ出します（欄の幅 %5 mm）")
                        .arg(caption, pointsText(printed.fontPoints), percentText(printed.widthPercent),
                             mmText(o.pastPlaceMm), mmText(o.placeWidthMm));
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
        which << QStringLiteral("%1（%2 mm）").arg(captionOf(o.item), mmText(o.pastPlaceMm));
    return QStringLiteral("小さく詰めても欄に収まらない文字があります：%1。短くしてから印刷してください。")
        .arg(which.join(QStringLiteral("、")));
}

QStringList fitNotesOn(const Page& page, const Layout& layout)
{
    QStringList notes;
    for (const PageText& printed : page.texts) {
        if (printed.origin.layoutText < 0)
            continue;
        const QString caption = captionOf(layout.texts.at(size_t(printed.origin.layoutText)));
        switch (printed.origin.fit) {
        case FitOutcome::AsIs:
        case FitOutcome::TooWide:
            break;
        case FitOutcome::Condensed:
            notes << QStringLiteral("%1は幅 %2 % に詰めて印刷します。").arg(caption, percentText(printed.widthPercent));
            break;
        case FitOutcome::Smaller:
            notes << QStringLiteral("%1は %2 ポイント、幅 %3 % に小さくして印刷します。")
                         .arg(caption, pointsText(printed.fontPoints), percentText(printed.widthPercent));
            break;
        case FitOutcome::Shortened:
            notes << QStringLiteral("%1は「%2」を「%3」に短くして印刷します。")
                         .arg(caption, printed.origin.wholeText, printed.text);
            break;
        }
    }
    return notes;
}

} // namespace

std::vector<Overrun> findOverruns(const waybill::Waybill& waybill, PrintOffsets offsets, QRectF sheetMm,
                                  const Layout& layout, const SheetExtras& extras)
{
    const std::optional<Page> page = pageToCheck(waybill, offsets, layout, extras);
    return page ? overrunsOn(*page, layout, sheetMm) : std::vector<Overrun>{};
}

std::optional<QString> fittingNeeded(const waybill::Waybill& waybill, const Layout& layout)
{
    const std::optional<Page> page = pageToCheck(waybill, {}, layout);
    if (page)
        for (const PageText& printed : page->texts)
            if (printed.origin.fit != FitOutcome::AsIs && printed.origin.layoutText >= 0)
                return captionOf(layout.texts.at(size_t(printed.origin.layoutText)));
    return std::nullopt;
}

std::optional<QString> overrunProblem(const waybill::Waybill& waybill, const Layout& layout)
{
    return overrunSentence(findOverruns(waybill, {}, {}, layout));
}

QStringList fitNotes(const waybill::Waybill& waybill, const Layout& layout, const SheetExtras& extras)
{
    const std::optional<Page> page = pageToCheck(waybill, {}, layout, extras);
    return page ? fitNotesOn(*page, layout) : QStringList();
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

std::vector<MissingGlyphs> missingGlyphsOn(const Page& page, const Layout& layout)
{
    std::vector<MissingGlyphs> found;
    for (const PageText& printed : page.texts) {
        const QString characters = charactersWithoutGlyph(printed.text);
        if (characters.isEmpty() || printed.origin.layoutText < 0)
            continue;
        QString shown;
        for (const char32_t c : characters.toUcs4())
            shown += shownCharacter(c);
        const LayoutText& item = layout.texts.at(size_t(printed.origin.layoutText));
        found.push_back(
            {item, printed.text, characters,
             QStringLiteral("%1の%2は、どの書体にも字形がないため印刷されません（空白か空の四角になります）。"
                            "似た文字に置き換えるか、消してください。")
                 .arg(captionOf(item), shown)});
    }
    return found;
}

} // namespace

std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill, const Layout& layout)
{
    const std::optional<Page> page = pageToCheck(waybill, {}, layout);
    return page ? missingGlyphsOn(*page, layout) : std::vector<MissingGlyphs>{};
}

// Both checks look at one page: a list checks every row before it prints.
QStringList printProblems(const waybill::Waybill& waybill, const Layout& layout)
{
    const std::optional<Page> page = pageToCheck(waybill, {}, layout);
    if (!page)
        return {};
    QStringList problems;
    for (const Overrun& o : overrunsOn(*page, layout, {}))
        problems << o.description + QStringLiteral("。");
    for (const MissingGlyphs& m : missingGlyphsOn(*page, layout))
        problems << m.description;
    return problems;
}

std::optional<QString> printProblem(const waybill::Waybill& waybill, const Layout& layout)
{
    const std::optional<Page> page = pageToCheck(waybill, {}, layout);
    if (!page)
        return std::nullopt;
    QStringList said;
    if (const auto overrun = overrunSentence(overrunsOn(*page, layout, {})))
        said << *overrun;
    for (const MissingGlyphs& m : missingGlyphsOn(*page, layout))
        said << m.description;
    if (said.isEmpty())
        return std::nullopt;
    return said.join(QLatin1Char('\n'));
}

namespace {

FormDrawing makeFormDrawing(const Layout& layout)
{
    FormDrawing form;
    // Every text printed once: both care-of lines shown, the numbers on.
    waybill::Waybill all;
    all.recipient.careOfShown = all.sender.careOfShown = true;
    all.numericMode = true;
    PrintState state;
    const Page page = waybillPage(all, {}, state, layout);
    for (const PageText& printed : page.texts) {
        const int index = printed.origin.layoutText;
        if (index < 0)
            continue;
        const LayoutText& item = layout.texts.at(size_t(index));
        const QRectF place(twipsToMm(printed.topLeftTwips),
                           QSizeF(printed.origin.placeWidthMm, printedExtent(QString(), item.sizePt).heightMm));
        form.texts.push_back({index, item, place});
        if (item.value == LayoutValue::PostalDigit)
            form.postalBoxes.push_back({item.party, item.index, place});
    }
    // Each choice where the print job draws it.
    PrintState marksState;
    marksState.OriginX = float((0.0 - 160.0) * double(kTwipsPerTenthMm));
    marksState.OriginY = float((0.0 + 15.0) * double(kTwipsPerTenthMm));
    for (const LayoutMark& mark : layout.marks) {
        const QPointF centreTwips(float(double(marksState.OriginX) + double(layoutTwips(mark.xMm))),
                                  float(double(marksState.OriginY) + double(layoutTwips(mark.yMm))));
        form.marks.push_back({mark.choice, captionOf(mark.choice), twipsToMm(centreTwips), layout.markRadiusMm});
    }
    return form;
}

} // namespace

const FormDrawing& formDrawing(const Layout& layout)
{
    // The preview asks at every paint: the drawing of the last layout is kept.
    static std::optional<Layout> drawnLayout;
    static FormDrawing form;
    if (!drawnLayout || !(*drawnLayout == layout)) {
        form = makeFormDrawing(layout);
        drawnLayout = layout;
    }
    return form;
}

bool markChosen(const FormMark& mark, const waybill::Waybill& waybill)
{
    return mark.choice == (mark.deliveryTime() ? markFor(waybill.deliveryTime) : markFor(waybill.arrivalNotice));
}

} // namespace print
