// The alignment sheet as a misaligned printer puts it on the form and a
// person reads it: the numbers read give offsets that put the next waybill
// on the form; the sheet as a 180-dpi printer prints it; the offsets kept
// per printer and layout.
#include "adjust/alignment.h"
#include "adjust/printeroffsets.h"
#include "platform/fonts.h"
#include "print/overrun.h"
#include "print/renderer.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <map>

namespace {

constexpr double kMmPerInch = 25.4;
constexpr double kMmPerTwip = kMmPerInch / 1440.0;

QPointF mmOf(QPointF twips) { return twips * kMmPerTwip; }

// Where a printer puts the print on the form: shifted, and fed (1 +
// feedError) times as far as the page asks.
struct Misaligned {
    double rightMm = 0, downMm = 0, feedError = 0;
    QPointF onForm(QPointF printedMm) const
    {
        return {printedMm.x() + rightMm, printedMm.y() * (1.0 + feedError) + downMm};
    }
};

// A picture of `areaMm` at `dpi`: the form's printed boxes in red, the page
// in black as the printer puts it over them.
QImage printedOnForm(const print::Page& page, const Misaligned& printer, double dpi, QRectF areaMm,
                     bool withForm = true)
{
    const double pxPerMm = dpi / kMmPerInch;
    QImage image(qCeil(areaMm.width() * pxPerMm), qCeil(areaMm.height() * pxPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(qRound(dpi / kMmPerInch * 1000.0));
    image.setDotsPerMeterY(qRound(dpi / kMmPerInch * 1000.0));
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(-areaMm.topLeft() * pxPerMm);
    painter.setPen(QPen(QColor(230, 0, 0), 0.2 * pxPerMm));
    if (withForm)
        for (const print::FormPostalBox& box : print::formDrawing().postalBoxes)
            painter.drawRect(QRectF(box.rectMm.topLeft() * pxPerMm, box.rectMm.size() * pxPerMm));
    painter.translate(printer.rightMm * pxPerMm, printer.downMm * pxPerMm);
    painter.scale(1.0, 1.0 + printer.feedError);
    print::renderPage(painter, page);
    return image;
}

// A short printed line crossing a form line: where it stands across it,
// where along, how thick.
struct Tick {
    double acrossMm = 0, alongMm = 0, thicknessMm = 0;
};

// Reads one scale of the sheet in the picture as a person does: finds the
// printed line that meets the form's line, or the two that flank it; takes
// the number of the thick line nearest it, printed at the end of that
// thick line's row; adds 2 for each band it lies beyond the thick band, away
// from the numbers; the middle of two flanking lines' values.
struct Reader {
    const QImage& image;
    QRectF areaMm;
    const print::Page& page;
    const Misaligned& printer;

    double pxPerMm() const { return image.dotsPerMeterX() / 1000.0; }
    // Ink: dark in red light, where the form's red lines vanish.
    int inkAt(double xMm, double yMm) const
    {
        const QPoint p(qFloor((xMm - areaMm.left()) * pxPerMm()), qFloor((yMm - areaMm.top()) * pxPerMm()));
        return image.rect().contains(p) ? 255 - qRed(image.pixel(p)) : 0;
    }

    // The short lines that cross a stretch of a form line, pixel by pixel:
    // runs of ink across it, joined along it. A line of a scale stands in a
    // band with others beside it; a lone stroke (a number's minus) is none.
    std::vector<Tick> ticksAcross(const adjust::FormLineMm& line, double reachMm) const
    {
        // A number is read as a number, never taken for lines.
        std::vector<QRectF> numbers;
        for (const print::PageText& text : page.texts) {
            const print::TextExtent size = print::printedExtent(text.text, text.fontPoints);
            const QPointF corner = mmOf(text.topLeftTwips);
            numbers.push_back(
                QRectF(printer.onForm(corner), printer.onForm(corner + QPointF(size.widthMm, size.heightMm))));
        }
        const double px = pxPerMm();
        const QPointF origin = areaMm.topLeft();
        const double alongOrigin = line.vertical ? origin.y() : origin.x();
        const double acrossOrigin = line.vertical ? origin.x() : origin.y();
        auto ink = [&](int along, int across) {
            const QPoint p = line.vertical ? QPoint(across, along) : QPoint(along, across);
            const QPointF atMm = origin + (QPointF(p) + QPointF(0.5, 0.5)) / px;
            if (!image.rect().contains(p) ||
                std::any_of(numbers.begin(), numbers.end(), [&](const QRectF& r) { return r.contains(atMm); }))
                return 0;
            return 255 - qRed(image.pixel(p));
        };
        auto mm = [&](int pixel, double from) { return from + (pixel + 0.5) / px; };
        struct Open {
            double sumAcross = 0, sumThickness = 0;
            int from = 0, to = 0, rows = 0;
        };
        std::vector<Open> open;
        std::vector<Tick> ticks;
        auto close = [&](const Open& o) {
            if ((o.to - o.from + 1) / px >= 0.25)
                ticks.push_back(
                    {o.sumAcross / o.rows, alongOrigin + ((o.from + o.to) / 2.0 + 0.5) / px, o.sumThickness / o.rows});
        };
        const int a0 = qFloor((line.fromMm - alongOrigin) * px), a1 = qCeil((line.toMm - alongOrigin) * px);
        const int c0 = qFloor((line.acrossMm - reachMm - acrossOrigin) * px);
        const int c1 = qCeil((line.acrossMm + reachMm - acrossOrigin) * px);
        for (int along = a0; along <= a1; ++along) {
            std::vector<Open> next;
            double weight = 0, sum = 0;
            int runStart = 0;
            for (int across = c0; across <= c1 + 1; ++across) {
                const int here = across <= c1 ? ink(along, across) : 0;
                if (here > 96) {
                    if (weight == 0)
                        runStart = across;
                    weight += here;
                    sum += here * mm(across, acrossOrigin);
                    continue;
                }
                if (weight == 0)
                    continue;
                // Thickness by the ink, not the pixels touched: an edge half-inked counts half.
                const double centre = sum / weight, thickness = weight / 255.0 / px;
                weight = sum = 0;
                if ((across - runStart) / px > 0.4) // along the scale, or a number: no line of it
                    continue;
                auto continued = std::find_if(open.begin(), open.end(), [&](const Open& o) {
                    return std::abs(o.sumAcross / o.rows - centre) < 1.5 / px && o.to == along - 1;
                });
                Open o = continued == open.end() ? Open{0, 0, along, along, 0} : *continued;
                if (continued != open.end())
                    open.erase(continued);
                o.sumAcross += centre;
                o.sumThickness += thickness;
                o.to = along;
                ++o.rows;
                next.push_back(o);
            }
            for (const Open& o : open)
                close(o);
            open = std::move(next);
        }
        for (const Open& o : open)
            close(o);
        std::vector<Tick> inBands;
        for (const Tick& t : ticks)
            if (std::count_if(ticks.begin(), ticks.end(),
                              [&](const Tick& o) { return std::abs(o.alongMm - t.alongMm) < 0.15; }) >= 3)
                inBands.push_back(t);
        return inBands;
    }

    // The number printed at the end of a thick line's row: the digits of a
    // number stacked in a column over its line (a vertical form line), or a
    // number level with it in the columns beyond its row; its value and
    // where it stands along.
    std::optional<std::pair<int, double>> numberOf(const Tick& thick, bool verticalLine) const
    {
        struct Seen {
            QPointF centre;
            QString text;
        };
        std::vector<Seen> seen;
        static const QRegularExpression number(QStringLiteral("^[+-]?\\d+$|^[+-]$"));
        for (const print::PageText& text : page.texts) {
            const print::TextExtent size = print::printedExtent(text.text, text.fontPoints);
            if (number.match(text.text).hasMatch())
                seen.push_back(
                    {printer.onForm(mmOf(text.topLeftTwips) + QPointF(size.widthMm / 2.0, size.heightMm / 2.0)),
                     text.text});
        }
        auto stacked = [&](const Seen& s) {
            return s.text.size() == 1 && std::any_of(seen.begin(), seen.end(), [&](const Seen& o) {
                       return &o != &s && o.text.size() == 1 && std::abs(o.centre.x() - s.centre.x()) < 0.3 &&
                              std::abs(o.centre.y() - s.centre.y()) < 2.5;
                   });
        };
        std::vector<std::pair<double, QString>> found; // along, text
        for (const Seen& s : seen) {
            const double across = verticalLine ? s.centre.x() : s.centre.y();
            if (std::abs(across - thick.acrossMm) < 0.35 && (verticalLine ? s.text.size() == 1 : !stacked(s)))
                found.push_back({verticalLine ? s.centre.y() : s.centre.x(), s.text});
        }
        if (found.empty())
            return std::nullopt;
        if (!verticalLine) {
            const auto nearest = std::min_element(found.begin(), found.end(), [&](const auto& a, const auto& b) {
                return std::abs(a.first - thick.alongMm) < std::abs(b.first - thick.alongMm);
            });
            return std::pair(nearest->second.toInt(), nearest->first);
        }
        std::sort(found.begin(), found.end());
        QString digits;
        for (const auto& [along, glyph] : found)
            digits += glyph;
        return std::pair(digits.toInt(), found.front().first);
    }

    std::optional<double> read(const adjust::FormLineMm& line) const
    {
        const std::vector<Tick> ticks = ticksAcross(line, 1.6);
        std::vector<double> bands;
        for (const Tick& t : ticks)
            if (std::none_of(bands.begin(), bands.end(), [&](double b) { return std::abs(b - t.alongMm) < 0.2; }))
                bands.push_back(t.alongMm);
        std::sort(bands.begin(), bands.end());
        if (bands.size() < 5)
            return std::nullopt;
        std::vector<double> gaps;
        for (size_t i = 1; i < bands.size(); ++i)
            gaps.push_back(bands[i] - bands[i - 1]);
        std::nth_element(gaps.begin(), gaps.begin() + long(gaps.size() / 2), gaps.end());
        const double band = gaps[gaps.size() / 2];

        auto valueOf = [&](const Tick& tick) -> std::optional<double> {
            const Tick* thick = nullptr;
            for (const Tick& t : ticks)
                if (t.thicknessMm > 0.21 && std::abs(t.acrossMm - tick.acrossMm) <= 0.45 &&
                    (!thick || std::abs(t.alongMm - tick.alongMm) < std::abs(thick->alongMm - tick.alongMm)))
                    thick = &t;
            if (!thick)
                return std::nullopt;
            const auto number = numberOf(*thick, line.vertical);
            if (!number)
                return std::nullopt;
            // Counted within the line's own repeat of five bands, which the
            // nearest thick line need not be in.
            const int counted = int(std::lround((tick.alongMm - thick->alongMm) / band));
            const double bandsAway = ((counted + 2) % 5 + 5) % 5 - 2;
            const double awayFromNumbers = thick->alongMm > number->second ? 1.0 : -1.0;
            return number->first + 2.0 * bandsAway * awayFromNumbers;
        };
        // A stroke whose value cannot be told (a number's minus) is no line of the scale.
        std::optional<double> before, after;
        double beforeOff = -0.25, afterOff = 0.25;
        for (const Tick& t : ticks) {
            const double off = t.acrossMm - line.acrossMm;
            if (std::abs(off) > 0.25)
                continue;
            const std::optional<double> value = valueOf(t);
            if (!value)
                continue;
            if (std::abs(off) <= 0.05)
                return value;
            if (off < 0 && off > beforeOff)
                before = value, beforeOff = off;
            if (off > 0 && off < afterOff)
                after = value, afterOff = off;
        }
        if (!before || !after)
            return std::nullopt;
        const auto a = before, b = after;
        return (*a + *b) / 2.0;
    }
};

class AlignmentTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    // Fifty printers off by up to 5 mm each way, a third of them feeding
    // long or short: read as a person reads the sheet, the numbers put the
    // next waybill on the form within 0.1 mm (where a feed drifts, at the
    // first place, and the form length it suggests feeds a form true).
    void misalignedPrinterAlignedFromOneSheet()
    {
        const auto places = adjust::alignmentPlaces();
        QVERIFY2(places, places ? "" : qPrintable(places.error()));
        waybill::Waybill waybill;
        waybill.recipient = {QStringLiteral("1000001"),
                             QStringLiteral("東京都千代田区千代田1-1"),
                             {},
                             QStringLiteral("山田花子"),
                             {},
                             false,
                             QStringLiteral("03-1234-5678")};
        waybill.sender = waybill.recipient;
        print::PrintState state;
        const print::Page design = print::waybillPage(waybill, {}, state);
        constexpr double kFormLengthMm = 254.0;
        QRandomGenerator random(45);
        auto between = [&](double low, double high) { return low + (high - low) * random.generateDouble(); };
        for (int sample = 0; sample < 50; ++sample) {
            const double feedError = sample % 3 == 0 ? between(0.004, 0.008) * (sample % 2 ? 1 : -1) : 0.0;
            // Offsets as set before, and the printer off so that the sheet
            // printed with them sits up to 5 mm off the form each way.
            const print::PrintOffsets current{float(std::round(between(-30, 30))), float(std::round(between(-30, 30)))};
            const Misaligned printer{between(-5, 5) - current.horizontalTenthMm / 10.0,
                                     between(-5, 5) - current.verticalTenthMm / 10.0, feedError};
            const auto sheet = adjust::alignmentSheetPage(current);
            QVERIFY2(sheet, sheet ? "" : qPrintable(sheet.error()));
            const QRectF area(50, 0, 75, 85);
            const QImage picture = printedOnForm(*sheet, printer, 360, area);
            const Reader reader{picture, area, *sheet, printer};
            const auto x1 = reader.read((*places)[0].side), y1 = reader.read((*places)[0].top);
            const auto x2 = reader.read((*places)[1].side), y2 = reader.read((*places)[1].top);
            const QByteArray what = QStringLiteral("sample %1: right %2 mm, down %3 mm, feed %4, offsets %5 %6")
                                        .arg(sample)
                                        .arg(printer.rightMm)
                                        .arg(printer.downMm)
                                        .arg(feedError)
                                        .arg(current.horizontalTenthMm)
                                        .arg(current.verticalTenthMm)
                                        .toUtf8();
            QVERIFY2(x1 && y1 && x2 && y2, what.constData());
            const adjust::AlignmentReading reading{int(std::lround(*x1)), int(std::lround(*y1)), int(std::lround(*x2)),
                                                   int(std::lround(*y2))};
            const auto outcome = adjust::alignmentOutcome(current, reading, print::builtInLayout(), kFormLengthMm);
            QVERIFY2(outcome, what.constData());

            const print::Page next = print::waybillPage(
                waybill, {float(outcome->horizontalTenthMm), float(outcome->verticalTenthMm)}, state);
            QCOMPARE(next.texts.size(), design.texts.size());
            for (size_t i = 0; i < next.texts.size(); ++i) {
                if (feedError != 0 && i > 0) // a drifting feed: the first place only
                    break;
                const QPointF off =
                    printer.onForm(mmOf(next.texts[i].topLeftTwips)) - mmOf(design.texts[i].topLeftTwips);
                QVERIFY2(std::abs(off.x()) <= 0.1 && std::abs(off.y()) <= 0.1,
                         (what + " text " + next.texts[i].text.toUtf8() + QByteArray::number(off.x()) + " " +
                          QByteArray::number(off.y()))
                             .constData());
            }
            QVERIFY2(std::abs(*outcome->widerTenthMm) <= 1, what.constData());
            const double downMm = (*places)[1].top.acrossMm - (*places)[0].top.acrossMm;
            if (feedError == 0) {
                QVERIFY2(std::abs(*outcome->longerTenthMm) <= 1 && !outcome->trueFormLengthMm, what.constData());
            } else {
                // Each reading is good to 0.05 mm: the difference to 0.1 mm over the places' distance.
                QVERIFY2(outcome->trueFormLengthMm &&
                             std::abs(*outcome->trueFormLengthMm - kFormLengthMm / (1.0 + feedError)) <=
                                 kFormLengthMm * 0.11 / downMm,
                         what.constData());
            }
        }
    }

    // As the impact printer's driver rasterises it, 180 dots to the inch and
    // no grey: every band's lines stand apart, and every number is at least
    // 7 dots high, clear of every other number and every line.
    void legibleAt180Dpi()
    {
        const auto sheet = adjust::alignmentSheetPage({});
        QVERIFY2(sheet, sheet ? "" : qPrintable(sheet.error()));
        const QRectF area(0, 0, 130, 90);
        const double dpi = 180, dot = kMmPerInch / dpi;
        auto raster = [&](const print::Page& page) {
            // No grey: each dot inked or not.
            return printedOnForm(page, {}, dpi, area, false)
                .convertToFormat(QImage::Format_Mono, Qt::MonoOnly | Qt::ThresholdDither)
                .convertToFormat(QImage::Format_RGB32);
        };
        print::Page linesOnly = *sheet;
        linesOnly.texts.clear();
        const QImage lines = raster(linesOnly);
        const Reader lineReader{lines, area, linesOnly, {}};

        // The lines of one band: the same stretch along, side by side.
        std::map<std::tuple<bool, qint64, qint64>, std::vector<print::PageLine>> bands;
        for (const print::PageLine& line : sheet->lines) {
            const bool vertical = line.fromTwips.x() == line.toTwips.x();
            const QPointF from = mmOf(line.fromTwips), to = mmOf(line.toTwips);
            const double a0 = vertical ? from.y() : from.x(), a1 = vertical ? to.y() : to.x();
            bands[{vertical, std::llround(a0 * 100), std::llround(a1 * 100)}].push_back(line);
        }
        QVERIFY(bands.size() > 20);
        for (const auto& [key, band] : bands) {
            const bool vertical = std::get<0>(key);
            const double along = (std::get<1>(key) + std::get<2>(key)) / 200.0;
            double low = 1e9, high = -1e9;
            for (const print::PageLine& line : band) {
                const double across = vertical ? mmOf(line.fromTwips).x() : mmOf(line.fromTwips).y();
                low = std::min(low, across);
                high = std::max(high, across);
            }
            int runs = 0;
            bool inRun = false;
            for (double across = low - 1.0; across <= high + 1.0; across += dot / 4) {
                const bool ink =
                    vertical ? lineReader.inkAt(across, along) > 128 : lineReader.inkAt(along, across) > 128;
                runs += ink && !inRun;
                inRun = ink;
            }
            QVERIFY2(
                runs == int(band.size()),
                qPrintable(QStringLiteral("%1 lines at %2 mm printed as %3").arg(band.size()).arg(along).arg(runs)));
        }

        // Each number alone: its ink, in whole dots.
        std::vector<QRect> inks;
        for (const print::PageText& text : sheet->texts) {
            print::Page alone;
            alone.texts.push_back(text);
            const QImage picture = raster(alone);
            QRect ink;
            for (int y = 0; y < picture.height(); ++y)
                for (int x = 0; x < picture.width(); ++x)
                    if (qRed(picture.pixel(x, y)) < 128)
                        ink |= QRect(x, y, 1, 1);
            QVERIFY2(!ink.isEmpty(), qPrintable(text.text));
            if (text.text.size() <= 3)
                QVERIFY2(ink.height() >= 7 || !text.text.contains(QRegularExpression(QStringLiteral("\\d"))),
                         qPrintable(QStringLiteral("「%1」 is %2 dots high").arg(text.text).arg(ink.height())));
            for (const QRect& other : inks)
                QVERIFY2(!other.intersects(ink),
                         qPrintable(QStringLiteral("「%1」 touches another text").arg(text.text)));
            for (int y = ink.top(); y <= ink.bottom(); ++y)
                for (int x = ink.left(); x <= ink.right(); ++x)
                    QVERIFY2(qRed(lines.pixel(x, y)) >= 128,
                             qPrintable(QStringLiteral("a line runs through 「%1」").arg(text.text)));
            inks.push_back(ink);
        }
    }

    // What was read becomes the offsets less the reading; readings beyond
    // the scales and offsets beyond their range are refused.
    void readingToOffsets()
    {
        auto outcome = adjust::alignmentOutcome({10, -20}, {12, -5, {}, {}});
        QVERIFY(outcome);
        QCOMPARE(outcome->horizontalTenthMm, -2);
        QCOMPARE(outcome->verticalTenthMm, -15);
        QVERIFY(outcome->offsetsSentence.contains(QStringLiteral("1.2 mm 右")) &&
                outcome->offsetsSentence.contains(QStringLiteral("0.5 mm 上")));
        QVERIFY(outcome->differenceSentence.isEmpty());
        QVERIFY(!adjust::alignmentOutcome({}, {65, 0, {}, {}}));
        QVERIFY(!adjust::alignmentOutcome({}, {0, 0, 0, -65}));
        QVERIFY(!adjust::alignmentOutcome({995, 0}, {-10, 0, {}, {}}));
        // A feed 0.3 mm short between the places: said, with the length.
        outcome = adjust::alignmentOutcome({}, {0, 0, 0, -3}, print::builtInLayout(), 254.0);
        QVERIFY(outcome && outcome->trueFormLengthMm && *outcome->trueFormLengthMm > 254.0);
        QVERIFY(outcome->differenceSentence.contains(QStringLiteral("短く")));
    }

    // Kept per queue and layout; a PDF file (no queue) keeps nothing; a
    // record that is not two whole numbers in range is not used.
    void offsetsPerPrinterAndLayout()
    {
        QTemporaryDir dir;
        const QString settings = dir.filePath(QStringLiteral("horutea.conf"));
        const adjust::OffsetsByPrinter kept(settings);
        QVERIFY(kept.save(QStringLiteral("impact"), QStringLiteral("標準"), {-12, 5}));
        QVERIFY(kept.save(QStringLiteral("impact"), QStringLiteral("他社/宅配"), {3, 4}));
        QVERIFY(kept.save(QStringLiteral("laser"), QStringLiteral("標準"), {7, 8}));
        QVERIFY(kept.save(QString(), QStringLiteral("標準"), {1, 1}));
        QCOMPARE(*kept.load(QStringLiteral("impact"), QStringLiteral("標準")), (adjust::SavedOffsets{-12, 5}));
        QCOMPARE(*kept.load(QStringLiteral("impact"), QStringLiteral("他社/宅配")), (adjust::SavedOffsets{3, 4}));
        QCOMPARE(*kept.load(QStringLiteral("laser"), QStringLiteral("標準")), (adjust::SavedOffsets{7, 8}));
        QVERIFY(!kept.load(QString(), QStringLiteral("標準")));
        QVERIFY(!kept.load(QStringLiteral("other"), QStringLiteral("標準")));
        // The record of one printer damaged by hand: that printer's only.
        QSettings edited(settings, QSettings::IniFormat);
        for (const QString& key : edited.allKeys())
            if (key.contains(QStringLiteral("laser")))
                edited.setValue(key, QStringList{QStringLiteral("7"), QStringLiteral("2000")});
        edited.sync();
        QVERIFY(!kept.load(QStringLiteral("laser"), QStringLiteral("標準")));
        QVERIFY(kept.load(QStringLiteral("impact"), QStringLiteral("標準")));
    }
};

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    AlignmentTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_alignment.moc"
