#include "adjust/alignment.h"

#include "adjust/offsets.h"
#include "platform/fonts.h"
#include "platform/numtext.h"
#include "print/fit.h"
#include "print/overrun.h"

#include <algorithm>
#include <cmath>

namespace adjust {

namespace {

using print::kTwipsPerTenthMm;

// The five bands of a scale, counted from the side its numbers are on: what
// a line in each adds to the number of the thick line nearest it, in 0.1 mm.
constexpr std::array<int, 5> kBandStepsTenthMm = {-4, -2, 0, 2, 4};
// Thick lines each way from the form's line, 1.0 mm apart: the lines beside
// the last reach kAlignmentReachTenthMm.
constexpr int kWholeMmEachWay = 6;
// How far off the print may be across a scale's form line and still meet a
// whole repeat of its bands: a little more than the lines reach.
constexpr double kAcrossReachMm = 6.5;
// A repeat of the five bands: at most this long, and short enough that a
// box's side holds it with room to spare.
constexpr double kLongestRepeatMm = 10.0;
constexpr double kRepeatPerSide = 0.9;
constexpr double kShortestSideMm = 2.5;
constexpr double kShortestRepeatMm = 4.0;
// A line's length in its band; the rest is the gap to the next band.
constexpr double kLineOfBand = 0.7;
constexpr int kThinDots180 = 1;
constexpr int kThickDots180 = 2;
// Between the lines' reach and what stands beside them.
constexpr double kClearMm = 0.5;

constexpr double kNumberPt = 5.0;
// Numbers beside each other in columns, 1.0 mm apart: a little smaller.
constexpr double kColumnNumberPt = 4.5;
// Stacked characters overlap their cells: a digit's ink is lower than its cell.
constexpr double kStackedStepOfCell = 0.85;
constexpr double kTextPt = 6.5;
constexpr double kTextWidthMm = 100.0;
constexpr double kPlaceMarkPt = 9.0;

double mmToTwips(double mm) { return mm / print::kMmPerTwip; }

struct Sheet {
    print::Page page;
    QString face = platform::installedFace(print::kPrinterFontName);
    QPointF offsetTwips;

    QPointF at(double xMm, double yMm) const { return QPointF(mmToTwips(xMm), mmToTwips(yMm)) + offsetTwips; }
    void line(QPointF fromTwips, QPointF toTwips, int dots180)
    {
        page.lines.push_back({fromTwips + offsetTwips, toTwips + offsetTwips, dots180});
    }
    void text(const QString& text, double leftMm, double topMm, double sizePt)
    {
        print::PageText& t = page.texts.emplace_back();
        t.fontFamily = face;
        t.fontPoints = sizePt;
        t.topLeftTwips = at(leftMm, topMm);
        t.text = text;
    }
};

QString numberText(int tenthMm) { return tenthMm > 0 ? QStringLiteral("+%1").arg(tenthMm) : QString::number(tenthMm); }

// One scale read against one straight line of the form. "Along" runs with
// the form's line, "across" over it; lines stand across at the form's line
// less their number in 0.1 mm, so the one that meets the form's line names
// how far the print is off, right or down.
struct Scale {
    FormLineMm formLine;
    double alongFromMm = 0, alongToMm = 0; // where the bands are
    double repeatMm = 0;
    bool numbersAtStart = true; // the thick lines' numbers before alongFrom (above, or left), else after alongTo

    double bandMm() const { return repeatMm / double(kBandStepsTenthMm.size()); }
    // A point in the page's frame (offsets 0), in twips.
    QPointF twips(double alongMm, double acrossTwips) const
    {
        return formLine.vertical ? QPointF(acrossTwips, mmToTwips(alongMm)) : QPointF(mmToTwips(alongMm), acrossTwips);
    }
    double acrossTwips(int tenthMm) const
    {
        return mmToTwips(formLine.acrossMm) - double(tenthMm) * double(kTwipsPerTenthMm);
    }
};

void drawLines(Sheet& sheet, const Scale& scale)
{
    const double band = scale.bandMm();
    const int repeats = int(std::ceil((scale.alongToMm - scale.alongFromMm) / scale.repeatMm - 1e-9));
    for (int r = 0; r < repeats; ++r)
        for (size_t k = 0; k < kBandStepsTenthMm.size(); ++k) {
            // Bands counted from the numbers' side.
            const double fromSide = r * scale.repeatMm + double(k) * band;
            const double bandStart =
                scale.numbersAtStart ? scale.alongFromMm + fromSide : scale.alongToMm - fromSide - band;
            const double a0 = bandStart + band * (1.0 - kLineOfBand) / 2.0, a1 = a0 + band * kLineOfBand;
            const int step = kBandStepsTenthMm[k];
            for (int wholeMm = -kWholeMmEachWay; wholeMm <= kWholeMmEachWay; ++wholeMm) {
                const double across = scale.acrossTwips(wholeMm * 10 + step);
                sheet.line(scale.twips(a0, across), scale.twips(a1, across), step == 0 ? kThickDots180 : kThinDots180);
            }
        }
}

// The thick lines' numbers of a scale whose form line is vertical: one
// character under the other above each, so that numbers 1.0 mm apart do
// not crowd; returns the top of the highest.
double stackedNumbers(Sheet& sheet, const Scale& scale)
{
    const double cellMm = print::printedExtent(QString(), kNumberPt).heightMm;
    const double stepMm = cellMm * kStackedStepOfCell;
    double highest = scale.alongFromMm;
    for (int wholeMm = -kWholeMmEachWay; wholeMm <= kWholeMmEachWay; ++wholeMm) {
        const QString number = numberText(wholeMm * 10);
        const double centreMm = (scale.acrossTwips(wholeMm * 10)) * print::kMmPerTwip;
        const double bottom = scale.alongFromMm - kClearMm;
        for (qsizetype i = 0; i < number.size(); ++i) {
            const QString glyph = number.mid(i, 1);
            const double top = bottom - cellMm - double(number.size() - 1 - i) * stepMm;
            sheet.text(glyph, centreMm - print::printedExtent(glyph, kNumberPt).widthMm / 2.0, top, kNumberPt);
            highest = std::min(highest, top);
        }
    }
    return highest;
}

// The thick lines' numbers of a scale whose form line is horizontal: level
// with their lines beyond the bands' end, every other one a column further
// out, so that numbers 1.0 mm apart do not crowd.
void numbersInColumns(Sheet& sheet, const Scale& scale)
{
    const print::TextExtent widest = print::printedExtent(QStringLiteral("-60"), kColumnNumberPt);
    const double nearEdge = scale.numbersAtStart ? scale.alongFromMm - kClearMm : scale.alongToMm + kClearMm;
    const double direction = scale.numbersAtStart ? -1.0 : 1.0; // away from the bands
    for (int wholeMm = -kWholeMmEachWay; wholeMm <= kWholeMmEachWay; ++wholeMm) {
        const QString number = numberText(wholeMm * 10);
        const double width = print::printedExtent(number, kColumnNumberPt).widthMm;
        const double acrossMm = scale.acrossTwips(wholeMm * 10) * print::kMmPerTwip;
        const bool far = (wholeMm % 2) != 0;
        const double columnStart = nearEdge + direction * (far ? widest.widthMm + kClearMm : 0.0);
        // Numbers stand flush towards the bands.
        const double left = direction > 0 ? columnStart : columnStart - width;
        sheet.text(number, left, acrossMm - widest.heightMm / 2.0, kColumnNumberPt);
    }
}

// Where the top line of the row of boxes that `box` stands in runs
// unbroken, from the box's corner on that side.
FormLineMm rowTop(const std::vector<print::FormPostalBox>& boxes, const QRectF& box, bool towardsRight)
{
    constexpr double kSameLineMm = 0.05, kJoinedMm = 0.15;
    double from = box.left(), to = box.right();
    for (bool grew = true; grew;) {
        grew = false;
        for (const print::FormPostalBox& other : boxes) {
            const QRectF& r = other.rectMm;
            if (std::abs(r.top() - box.top()) > kSameLineMm)
                continue;
            if (towardsRight && r.left() <= to + kJoinedMm && r.right() > to + 1e-9) {
                to = r.right();
                grew = true;
            } else if (!towardsRight && r.right() >= from - kJoinedMm && r.left() < from - 1e-9) {
                from = r.left();
                grew = true;
            }
        }
    }
    return {false, box.top(), from, to};
}

QString mmText(double mm) { return QString::number(mm, 'f', 1); }

// The one sentence on the sheet that says how to read it.
const QString kHowToRead = QStringLiteral(
    "①②それぞれの目盛りで、伝票の枠の線にぴったり重なった短い線（二本の間に枠の線があれば、その間）を探し、"
    "いちばん近い太い線の数に、その短い線が太い線の段から数の側へ一段なら −2、二段なら −4、"
    "反対側へ一段なら +2、二段なら +4 を足した値を、左右・上下の順に「位置合わせ」に入れてください"
    "（0.1 mm単位、印刷が右・下へずれていれば＋）。");

// A text in lines no wider than widthMm, broken between characters.
QStringList wrapped(const QString& text, double sizePt, double widthMm)
{
    QStringList lines;
    QString line;
    for (const QChar c : text) {
        if (!line.isEmpty() && print::printedExtent(line + c, sizePt).widthMm > widthMm) {
            lines << line;
            line.clear();
        }
        line += c;
    }
    if (!line.isEmpty())
        lines << line;
    return lines;
}

// 1.2 mm 右, 0.5 mm 上
QString displacementText(int tenthMm, const QString& positive, const QString& negative)
{
    return QStringLiteral("%1 mm %2").arg(mmText(std::abs(tenthMm) / 10.0), tenthMm >= 0 ? positive : negative);
}

// The vertical scale of a place stands this far from the corner, clear of
// the horizontal one's lines.
constexpr double kBesideCornerMm = kWholeMmEachWay + 0.4 + 2.0 * kClearMm;

// How long the vertical scale of a place may be: the row's top must run
// over all of it however far the print is off along the row.
double downRepeatMm(const AlignmentPlace& place)
{
    const double room = place.top.toMm - place.top.fromMm - kBesideCornerMm - kAcrossReachMm;
    return std::min(kLongestRepeatMm, room);
}

} // namespace

Result<std::array<AlignmentPlace, 2>> alignmentPlaces(const print::Layout& layout)
{
    const std::vector<print::FormPostalBox>& boxes = print::formDrawing(layout).postalBoxes;
    if (boxes.empty())
        return fail(QStringLiteral("書式「%1」には郵便番号の枠がないため、位置合わせの目盛りを合わせる線がありません。")
                        .arg(layout.name));
    auto firstOf = [](const print::FormPostalBox& a, const print::FormPostalBox& b) {
        return std::pair(a.rectMm.top(), a.rectMm.left()) < std::pair(b.rectMm.top(), b.rectMm.left());
    };
    auto lastOf = [](const print::FormPostalBox& a, const print::FormPostalBox& b) {
        return std::pair(a.rectMm.bottom(), a.rectMm.right()) < std::pair(b.rectMm.bottom(), b.rectMm.right());
    };
    const QRectF first = std::min_element(boxes.begin(), boxes.end(), firstOf)->rectMm;
    const QRectF last = std::max_element(boxes.begin(), boxes.end(), lastOf)->rectMm;
    std::array<AlignmentPlace, 2> places;
    places[0] = {{true, first.left(), first.top(), first.bottom()}, rowTop(boxes, first, true), true};
    places[1] = {{true, last.right(), last.top(), last.bottom()}, rowTop(boxes, last, false), false};
    for (const AlignmentPlace& place : places) {
        if (place.side.toMm - place.side.fromMm < kShortestSideMm || downRepeatMm(place) < kShortestRepeatMm)
            return fail(QStringLiteral("書式「%1」の郵便番号の枠は小さすぎるため、位置合わせの目盛りを置けません"
                                       "（枠の高さが %2 mm 以上、続いた枠の幅が %3 mm 以上あれば置けます）。")
                            .arg(layout.name, mmText(kShortestSideMm),
                                 mmText(kBesideCornerMm + kAcrossReachMm + kShortestRepeatMm)));
    }
    return places;
}

Result<print::Page> alignmentSheetPage(print::PrintOffsets offsets, const print::Layout& layout)
{
    const auto places = alignmentPlaces(layout);
    if (!places)
        return fail(places.error());
    Sheet sheet;
    sheet.offsetTwips = QPointF(double(offsets.horizontalTenthMm) * double(kTwipsPerTenthMm),
                                double(offsets.verticalTenthMm) * double(kTwipsPerTenthMm));
    double textTopMm = 0;
    for (size_t p = 0; p < places->size(); ++p) {
        const AlignmentPlace& place = (*places)[p];
        // Across the box's side, in bands that repeat all along where the
        // side may be; numbers above.
        Scale across;
        across.formLine = place.side;
        across.repeatMm = std::min(kLongestRepeatMm, kRepeatPerSide * (place.side.toMm - place.side.fromMm));
        across.alongFromMm = place.side.fromMm - kAcrossReachMm;
        across.alongToMm = place.side.toMm + kAcrossReachMm;
        across.numbersAtStart = true;
        drawLines(sheet, across);
        const double numbersTop = stackedNumbers(sheet, across);

        // Over the row's top, away from the corner, where the top runs on
        // whichever way the print is off: one repeat is enough.
        Scale down;
        down.formLine = place.top;
        down.repeatMm = downRepeatMm(place);
        if (place.cornerAtLeft) {
            const double start = place.side.acrossMm + kBesideCornerMm;
            down.alongFromMm = start;
            down.alongToMm = start + down.repeatMm;
            down.numbersAtStart = false;
        } else {
            const double end = place.side.acrossMm - kBesideCornerMm;
            down.alongFromMm = end - down.repeatMm;
            down.alongToMm = end;
            down.numbersAtStart = true;
        }
        drawLines(sheet, down);
        numbersInColumns(sheet, down);

        // ① or ②, left of the numbers over the first scale.
        const QString mark = p == 0 ? QStringLiteral("①") : QStringLiteral("②");
        const print::TextExtent markSize = print::printedExtent(mark, kPlaceMarkPt);
        sheet.text(mark, place.side.acrossMm - kWholeMmEachWay - 1.0 - markSize.widthMm, numbersTop, kPlaceMarkPt);
        if (p == 0)
            textTopMm = std::max(place.side.toMm + kAcrossReachMm, place.top.acrossMm + kWholeMmEachWay + 1.0) + 3.0;
    }

    // What it is and how to read it, under the first place.
    const double leftMm = (*places)[0].side.acrossMm - kWholeMmEachWay - 1.0;
    const double lineMm = print::printedExtent(QString(), kTextPt).heightMm * 1.15;
    const QString title = QStringLiteral("位置合わせの用紙（書式「%1」、左右のズレ %2・上下のズレ %3 で印刷）")
                              .arg(layout.name, platform::numberToText(offsets.horizontalTenthMm),
                                   platform::numberToText(offsets.verticalTenthMm));
    double top = textTopMm;
    for (const QString& text : {title, kHowToRead}) {
        for (const QString& line : wrapped(text, kTextPt, kTextWidthMm)) {
            sheet.text(line, leftMm, top, kTextPt);
            top += lineMm;
        }
        top += lineMm * 0.3;
    }
    return sheet.page;
}

Result<AlignmentOutcome> alignmentOutcome(print::PrintOffsets sheetOffsets, const AlignmentReading& reading,
                                          const print::Layout& layout, std::optional<double> formLengthMm)
{
    const std::array<std::optional<int>, 4> read = {reading.horizontalTenthMm, reading.verticalTenthMm,
                                                    reading.secondHorizontalTenthMm, reading.secondVerticalTenthMm};
    for (const std::optional<int>& value : read)
        if (value && std::abs(*value) > kAlignmentReachTenthMm)
            return fail(
                QStringLiteral(
                    "読み取った値 %1 は目盛りの範囲（%2～%3）を超えています。"
                    "目盛りの外にずれているときは、調整パネルでおおよそ合わせてから、もう一度印刷してください。")
                    .arg(*value)
                    .arg(-kAlignmentReachTenthMm)
                    .arg(kAlignmentReachTenthMm));
    AlignmentOutcome outcome;
    // The sheet reads whole tenths; offsets that are saved are whole tenths.
    outcome.horizontalTenthMm =
        int(std::nearbyint(double(sheetOffsets.horizontalTenthMm) - double(reading.horizontalTenthMm)));
    outcome.verticalTenthMm =
        int(std::nearbyint(double(sheetOffsets.verticalTenthMm) - double(reading.verticalTenthMm)));
    for (const int value : {outcome.horizontalTenthMm, outcome.verticalTenthMm})
        if (value < kOffsetMin || value > kOffsetMax)
            return fail(QStringLiteral("読み取った値で直すとズレが %1 になり、調整できる範囲（%2～%3）を超えます。"
                                       "用紙の差し込み位置を確かめてください。")
                            .arg(value)
                            .arg(kOffsetMin)
                            .arg(kOffsetMax));
    outcome.offsetsSentence =
        QStringLiteral(
            "印刷は①で %1、%2 にずれていたため、左右のズレを %3 から %4 に、上下のズレを %5 から %6 にします。")
            .arg(displacementText(reading.horizontalTenthMm, QStringLiteral("右"), QStringLiteral("左")),
                 displacementText(reading.verticalTenthMm, QStringLiteral("下"), QStringLiteral("上")),
                 platform::numberToText(sheetOffsets.horizontalTenthMm), QString::number(outcome.horizontalTenthMm),
                 platform::numberToText(sheetOffsets.verticalTenthMm), QString::number(outcome.verticalTenthMm));
    if (!reading.secondHorizontalTenthMm || !reading.secondVerticalTenthMm)
        return outcome;

    const auto places = alignmentPlaces(layout);
    if (!places)
        return fail(places.error());
    const double acrossMm = (*places)[1].side.acrossMm - (*places)[0].side.acrossMm;
    const double downMm = (*places)[1].top.acrossMm - (*places)[0].top.acrossMm;
    const int wider = *reading.secondHorizontalTenthMm - reading.horizontalTenthMm;
    const int longer = *reading.secondVerticalTenthMm - reading.verticalTenthMm;
    outcome.widerTenthMm = wider;
    outcome.longerTenthMm = longer;
    QStringList said;
    if (std::abs(wider) <= 1)
        said << QStringLiteral("左右は①と②で %1 mm 以内の差です。").arg(mmText(0.1));
    else
        said << QStringLiteral("①から②までの横 %1 mm で、印刷が %2 mm %3います。")
                    .arg(mmText(std::abs(acrossMm)), mmText(std::abs(wider) / 10.0),
                         (wider > 0) == (acrossMm > 0) ? QStringLiteral("伸びて") : QStringLiteral("縮んで"));
    if (std::abs(longer) <= 1 || std::abs(downMm) < 1.0) {
        said << QStringLiteral("上下は①と②で %1 mm 以内の差で、紙送りのずれはありません。").arg(mmText(0.1));
    } else {
        // The paper moved `feed` times what the print asked for between the places.
        const double feed = (downMm + longer / 10.0) / downMm;
        said << QStringLiteral("①から②までの縦 %1 mm で、紙送りが %2 mm %3なっています（紙送りのずれ）。")
                    .arg(mmText(downMm), mmText(std::abs(longer) / 10.0),
                         longer > 0 ? QStringLiteral("長く") : QStringLiteral("短く"));
        if (formLengthMm && *formLengthMm > 0) {
            const double driftMm = *formLengthMm * (feed - 1.0);
            const double trueLengthMm = *formLengthMm / feed;
            outcome.trueFormLengthMm = trueLengthMm;
            said << QStringLiteral("連続用紙では1枚（%1 mm）ごとに %2 mm ずつ%3へずれていきます。"
                                   "用紙の長さの設定を %4 mm にすると、1枚分を正しく送ります。")
                        .arg(mmText(*formLengthMm), QString::number(std::abs(driftMm), 'f', 2),
                             driftMm > 0 ? QStringLiteral("下") : QStringLiteral("上"),
                             QString::number(trueLengthMm, 'f', 2));
        } else {
            said << QStringLiteral("連続用紙なら、用紙の長さの設定を %1 倍にすると1枚分を正しく送ります"
                                   "（「プリンタの設定」で用紙の大きさを決めると、長さで示します）。")
                        .arg(QString::number(1.0 / feed, 'f', 4));
        }
    }
    outcome.differenceSentence = said.join(QString());
    return outcome;
}

} // namespace adjust
