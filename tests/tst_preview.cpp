// The preview against the printed PDF, pixel by pixel; texts that run past their places; the form drawing against the
// designed millimetres; offsets, zoom and the remembered scan.
#include "expect.h"
#include "fifo.h"
#include "glyphs.h"
#include "pdfmeasure.h"
#include "support.h"

#include "app/preview/previewwindow.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"

#include <QCheckBox>
#include <QImageReader>
#include <QListWidget>
#include <QPainter>
#include <QPdfWriter>
#include <QScrollArea>
#include <QSettings>

using namespace testing;
using namespace Qt::StringLiterals;

namespace {

constexpr double kDpi = 150.0;
constexpr double kPxPerMm = kDpi / 25.4;
// Designed millimetres are 56.7 twips; paper millimetres 1440 / 25.4.
constexpr double kPaperMmPerDesignedMm = 56.7 * 25.4 / 1440.0;

struct Source {
    app::PreviewContent content{expect::filledWaybill(), QStringLiteral("0"), QStringLiteral("0")};
    app::PreviewSource fn()
    {
        return [this] { return content; };
    }
};

// The PDF page as poppler draws it, at kDpi. Poppler puts each glyph on a whole pixel row, up to a pixel above its
// place; drawn four times finer and averaged, its picture keeps the places to a quarter of a pixel.
QImage pdfPageImage(const print::Page& page, QTemporaryDir& dir, const QPageLayout& paper = print::defaultPdfPaper(),
                    QPointF cornerMm = {})
{
    constexpr int kFiner = 4;
    const QString file = dir.filePath(QStringLiteral("page.pdf"));
    QFile out(file); // with a corner: as the system printer writes a page for a printer with margins
    const bool written = cornerMm.isNull()
                             ? print::PdfFileDestination(file, paper).print(1, [&](int) { return page; }).ok
                             : out.open(QIODevice::WriteOnly) &&
                                   print::writePdfDocument(out, paper, cornerMm, 1, [&](int) { return page; }, {}).ok;
    out.close();
    pdf::run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(kDpi * kFiner), QStringLiteral("-gray"),
                                          QStringLiteral("-singlefile"), file, dir.filePath(QStringLiteral("page"))});
    const QImage fine = QImage(dir.filePath(QStringLiteral("page.pgm"))).convertToFormat(QImage::Format_Grayscale8);
    QImage image(fine.width() / kFiner, fine.height() / kFiner, QImage::Format_Grayscale8);
    for (int y = 0; written && y < image.height(); ++y)
        for (int x = 0, sum = 0; x < image.width(); ++x, sum = 0) {
            for (int j = 0; j < kFiner * kFiner; ++j)
                sum += fine.constScanLine(y * kFiner + j / kFiner)[x * kFiner + j % kFiner];
            image.scanLine(y)[x] = uchar((sum + kFiner * kFiner / 2) / (kFiner * kFiner));
        }
    return written ? image : QImage();
}

print::Page pageOf(const waybill::Waybill& w, print::PrintOffsets offsets)
{
    print::PrintState state;
    return print::waybillPage(w, offsets, state);
}

// How two pictures of one page differ: dark pixels of either with no dark pixel within 1 px in the other, the ratio of
// their ink totals, and the largest distance between the centres of ink of one text (or mark) in both.
struct Agreement {
    int lonelyDark = 0;
    double inkRatio = 1, worstCentrePx = 0;
    // Only anti-aliasing apart: a 0.2 mm move is 1.2 px at 150 dpi.
    bool agrees() const { return lonelyDark == 0 && qAbs(inkRatio - 1) <= 0.03 && worstCentrePx <= 0.4; }
    QString said() const
    {
        return QStringLiteral("%1 lonely dark pixels, ink ratio %2, centres %3 px apart")
            .arg(lonelyDark)
            .arg(inkRatio)
            .arg(worstCentrePx);
    }
};

Agreement compare(const QImage& a8, const QImage& b8, const print::Page& page, QPointF cornerMm = {})
{
    const QImage a = a8.convertToFormat(QImage::Format_Grayscale8), b = b8.convertToFormat(QImage::Format_Grayscale8);
    Agreement result;
    if (qAbs(a.width() - b.width()) > 1 || qAbs(a.height() - b.height()) > 1)
        return {-1};
    const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
    auto ink = [](const QImage& img, int x, int y) { return 255 - img.constScanLine(y)[x]; };
    auto lonely = [&](const QImage& img, const QImage& other, int x, int y) {
        for (int j = std::max(0, y - 1); j <= std::min(h - 1, y + 1); ++j)
            for (int i = std::max(0, x - 1); i <= std::min(w - 1, x + 1); ++i)
                if (ink(other, i, j) > 127)
                    return false;
        return ink(img, x, y) > 127;
    };
    double inkA = 0, inkB = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            inkA += ink(a, x, y), inkB += ink(b, x, y);
            result.lonelyDark += lonely(a, b, x, y) || lonely(b, a, x, y);
        }
    result.inkRatio = inkB > 0 ? inkA / inkB : 0;

    std::vector<QRectF> regionsMm; // from the page's corner
    for (const print::PageText& t : page.texts) {
        if (t.text.isEmpty())
            continue;
        const print::TextExtent e = print::printedExtent(t.text, t.fontPoints);
        regionsMm.emplace_back(t.topLeftTwips * print::kMmPerTwip, QSizeF(e.widthMm, e.heightMm));
    }
    for (const print::PageCircle& c : page.circles) {
        const double r = c.radiusTwips * print::kMmPerTwip;
        regionsMm.emplace_back(c.centreTwips * print::kMmPerTwip - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    for (const QRectF& region : regionsMm) {
        const QRect r = QRectF((region.topLeft() + cornerMm) * kPxPerMm, region.size() * kPxPerMm)
                            .adjusted(-3, -3, 3, 3)
                            .toAlignedRect() &
                        QRect(0, 0, w, h);
        auto centre = [&](const QImage& img) {
            double sum = 0, sx = 0, sy = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    sum += ink(img, x, y), sx += ink(img, x, y) * x, sy += ink(img, x, y) * y;
            return sum > 0 ? QPointF(sx / sum, sy / sum) : QPointF();
        };
        const QPointF d = centre(a) - centre(b);
        result.worstCentrePx = std::max({result.worstCentrePx, qAbs(d.x()), qAbs(d.y())});
    }
    return result;
}

bool reddish(QRgb p) { return qRed(p) > 150 && qGreen(p) < 120 && qBlue(p) < 120; }

// How many pixels within r pass the test, and the box around them.
std::pair<int, QRect> inkIn(const QImage& image, const std::function<bool(QRgb)>& test,
                            QRect r = QRect(0, 0, 1 << 20, 1 << 20))
{
    std::pair<int, QRect> found;
    for (int y = std::max(0, r.top()); y <= std::min(image.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(image.width() - 1, r.right()); ++x)
            if (test(image.pixel(x, y)))
                found = {found.first + 1, found.second | QRect(x, y, 1, 1)};
    return found;
}
QRect blackInk(const QImage& image)
{
    return inkIn(image, [](QRgb p) { return qRed(p) < 60 && qGreen(p) < 60 && qBlue(p) < 60; }).second;
}

// Designed millimetres from the print origin to paper millimetres, offsets in 0.1 mm.
QPointF onPaper(double ox, double oy, double xMm, double yMm)
{
    return QPointF(expect::textX(ox, xMm), expect::originY(oy) + yMm * expect::kTwipsPerMm) * (25.4 / 1440.0);
}

} // namespace

class PreviewTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        initTestEnvironment();
        QImageReader::setAllocationLimit(512); // MB: a page four times finer than compared
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    }

    void previewIsThePrintedPage()
    {
        Source source;
        source.content.horizontalOffsetText = QStringLiteral("23");
        source.content.verticalOffsetText = QStringLiteral("-7");
        app::PreviewWidget preview(source.fn());
        const print::Page page = pageOf(source.content.waybill, {23, -7});
        // A4 printable from its corner, and Letter with its printable area inset.
        for (const auto& [paperSize, cornerMm] :
             {std::pair(QPageSize::A4, QPointF()), std::pair(QPageSize::Letter, QPointF(4.2, 3.1))}) {
            const QPageLayout paper(QPageSize(paperSize), QPageLayout::Portrait, QMarginsF());
            preview.setPaper(paper, cornerMm);
            QTemporaryDir dir;
            const Agreement same =
                compare(preview.render(kDpi), pdfPageImage(page, dir, paper, cornerMm), page, cornerMm);
            QVERIFY2(same.agrees(), qPrintable(same.said()));
        }

        // The comparison sees one text moved by 0.2 mm, and the print moved by an offset step of 2.
        preview.setPaper(print::defaultPdfPaper());
        const QImage shown = preview.render(kDpi);
        print::Page nameMoved = page;
        auto name = std::find_if(nameMoved.texts.begin(), nameMoved.texts.end(),
                                 [](auto& t) { return t.text == QStringLiteral("山田太郎様"); });
        QVERIFY(name != nameMoved.texts.end());
        name->topLeftTwips += QPointF(0.2 * 1440 / 25.4, 0);
        for (const print::Page& moved : {nameMoved, pageOf(source.content.waybill, {25, -7})}) {
            QTemporaryDir dir;
            const Agreement differs = compare(shown, pdfPageImage(moved, dir), page);
            QVERIFY2(!differs.agrees(), qPrintable(differs.said()));
        }
    }

    void overrunsAreFoundMeasuredAndMarked()
    {
        Source source;
        QVERIFY(!print::overrunProblem(source.content.waybill));
        // 60 full-width characters of 10 points, some 212 mm: past the 66 mm from address line 1's start to the goods
        // column even at 7 points and half their width (some 74 mm).
        source.content.waybill.recipient.line1 = QString(60, QChar(0x6771));
        source.content.waybill.sender.name = QStringLiteral("ABC");
        app::PreviewWidget preview(source.fn());
        QCOMPARE(preview.overruns().size(), size_t(1));
        const print::Overrun& o = preview.overruns().front();
        QVERIFY2(o.description.startsWith(QStringLiteral("お届け先の住所1は 7 ポイント、幅 50 % まで詰めても欄から")),
                 qPrintable(o.description));
        QVERIFY(print::overrunProblem(source.content.waybill)
                    .value_or(QString())
                    .contains(QStringLiteral("お届け先の住所1")));

        // The width is the printed one: as poppler measures the PDF.
        QTemporaryDir dir;
        QVERIFY(print::PdfFileDestination(dir.filePath(QStringLiteral("long.pdf")))
                    .print(1, [&](int) { return preview.page(); })
                    .ok);
        const auto words = pdf::words(dir.filePath(QStringLiteral("long.pdf")));
        auto word = std::find_if(words.begin(), words.end(), [&](const pdf::Word& w) { return w.text == o.text; });
        QVERIFY(word != words.end());
        QVERIFY2(qAbs((word->x1 - word->x0) - o.textWidthMm) < 0.3, qPrintable(QString::number(word->x1 - word->x0)));
        QVERIFY(qAbs(o.pastPlaceMm - (o.textWidthMm - 66.0 * kPaperMmPerDesignedMm)) < 0.01);

        // Marked red past the place's end, and nowhere near a text that fits.
        const QImage marked = preview.render(kDpi, app::PreviewWidget::OverrunLayer);
        const QPoint placeEnd = (onPaper(0, 0, 150.0, 26.9) * kPxPerMm).toPoint(),
                     sender = (onPaper(0, 0, 75.0, 92.0) * kPxPerMm).toPoint();
        QVERIFY(inkIn(marked, reddish, QRect(placeEnd + QPoint(4, -12), QSize(40, 10))).first > 20);
        QCOMPARE(inkIn(marked, reddish, QRect(sender - QPoint(20, 40), QSize(200, 60))).first, 0);

        // Off the paper: the whole print 100 mm to the left; 2 mm to the right the five-digit amounts leave A4 paper,
        // not the wider Letter.
        source.content.horizontalOffsetText = QStringLiteral("-1000");
        preview.refresh();
        QVERIFY(std::any_of(preview.overruns().begin(), preview.overruns().end(), [](const print::Overrun& o) {
            return o.item.party == print::Party::Recipient && o.item.value == print::LayoutValue::AddressLine2 &&
                   o.description.startsWith(u"お届け先の住所2が用紙の左端から"_s) &&
                   qAbs(o.offSheetMm + onPaper(-1000, 0, 74.0, 0).x()) < 0.01;
        }));
        QVERIFY(std::any_of(preview.overruns().begin(), preview.overruns().end(), [](const print::Overrun& o) {
            return o.description.contains(u"mm）。用紙の左端からも"_s);
        }));
        source.content.horizontalOffsetText = QStringLiteral("180");
        preview.refresh();
        auto offRight = [&] {
            return std::count_if(preview.overruns().begin(), preview.overruns().end(), [](const print::Overrun& o) {
                return o.description.contains(QStringLiteral("用紙の右端から"));
            });
        };
        QCOMPARE(offRight(), 2);
        preview.setPaper(QPageLayout(QPageSize(QPageSize::Letter), QPageLayout::Portrait, QMarginsF()));
        QCOMPARE(offRight(), 0);
    }

    // A character no face can draw is listed with its field under the page;
    // an ideograph the print's own face lacks (𠮷) is not, nor a hidden line.
    void unprintableCharactersAreListed()
    {
        const QString none = characterNoFaceHas();
        Source source;
        source.content.waybill.sender.name = u"𠮷田"_s;
        source.content.waybill.recipient.careOf = u"気付"_s + none;
        source.content.waybill.recipient.careOfShown = true;
        app::PreviewWindow window(source.fn());
        const QStringList lines = window.missingGlyphLines();
        QVERIFY2(lines.size() == 1 && lines[0].startsWith(u"お届け先の様方の「%1」"_s.arg(none)),
                 qPrintable(lines.join(u'\n')));
        auto* list = window.findChild<QListWidget*>();
        QVERIFY(list && list->count() == 1 && list->item(0)->text() == lines[0]);
        source.content.waybill.recipient.careOfShown = false;
        window.refresh();
        QVERIFY(window.missingGlyphLines().isEmpty());
    }

    void formDrawingFollowsTheDesign()
    {
        const print::FormDrawing& form = print::formDrawing();
        QCOMPARE(form.postalBoxes.size(), size_t(14));
        auto boxLeft = [&](print::Party party, int n) {
            for (const auto& b : form.postalBoxes)
                if (b.party == party && b.box == n)
                    return b.rectMm.left() / kPaperMmPerDesignedMm;
            return -1.0;
        };
        // Designed: the first recipient box where a print with no offsets puts the character cell (84.0 - 16.0 mm
        // across, 15.6 + 1.5 - 2.1 mm down); steps from the box before.
        using B = print::Party;
        QVERIFY(qAbs(boxLeft(B::Recipient, 1) - 68.0) < 0.005);
        QVERIFY(qAbs(form.postalBoxes.front().rectMm.top() - 15.0 * kPaperMmPerDesignedMm) < 0.005 &&
                form.postalBoxes.front().box == 1);
        const std::tuple<B, int, double> stepsMm[] = {{B::Recipient, 2, 9.0}, {B::Recipient, 4, 10.1},
                                                      {B::Recipient, 7, 9.0}, {B::Sender, 2, 5.2},
                                                      {B::Sender, 4, 5.7},    {B::Sender, 7, 5.1}};
        for (const auto& [block, n, stepMm] : stepsMm)
            QVERIFY2(qAbs(boxLeft(block, n) - boxLeft(block, n - 1) - stepMm) < 0.01,
                     qPrintable(QStringLiteral("box %1 of block %2").arg(n).arg(int(block))));

        QCOMPARE(form.marks.size(), size_t(7));
        for (const print::FormMark& m : form.marks) {
            const expect::Mark designed =
                m.deliveryTime()
                    ? expect::deliveryTimeMark(waybill::DeliveryTime(m.choice))
                    : expect::noticeMark(waybill::ArrivalNotice(int(m.choice) - int(print::MarkChoice::NoticeWanted)));
            QVERIFY2(QLineF(m.centreMm, onPaper(0, 0, designed.xMm, designed.yMm)).length() < 0.005,
                     qPrintable(m.caption));
            QVERIFY(qAbs(m.radiusMm - 3.0 * kPaperMmPerDesignedMm) < 0.005);
        }

        // Drawn: every choice has its ring, the print only the chosen one.
        Source source;
        app::PreviewWidget preview(source.fn());
        const QImage withForm = preview.render(kDpi, app::PreviewWidget::FormLayer), printOnly = preview.render(kDpi);
        auto ink = [](QRgb p) { return qGray(p) < 230; };
        for (int band = 0; band < 5; ++band) {
            const expect::Mark m = expect::deliveryTimeMark(waybill::DeliveryTime(band));
            const QRect ring((onPaper(0, 0, m.xMm, m.yMm - 3.0) * kPxPerMm).toPoint() - QPoint(3, 3), QSize(7, 7));
            QVERIFY(inkIn(withForm, ink, ring).first > 0);
            QCOMPARE(inkIn(printOnly, ink, ring).first > 0,
                     waybill::DeliveryTime(band) == source.content.waybill.deliveryTime);
        }
    }

    void offsetsAndZoomMoveThePage()
    {
        Source source;
        app::PreviewWidget preview(source.fn());
        preview.setShownLayers({});
        preview.setZoom(1.0);
        const double trueSize = preview.pixelsPerMm();
        auto inkAt = [&](const char* horizontal, const char* vertical) {
            source.content.horizontalOffsetText = QLatin1String(horizontal),
            source.content.verticalOffsetText = QLatin1String(vertical);
            preview.refresh();
            return blackInk(preview.grab().toImage()).topLeft();
        };
        for (double zoom : {1.0, 2.0}) {
            preview.setZoom(zoom);
            QCOMPARE(preview.pixelsPerMm(), zoom * trueSize);
            const QPoint moved = inkAt("30", "-10") - inkAt("0", "0");
            const QPointF expected = QPointF(3.0, -1.0) * kPaperMmPerDesignedMm * preview.pixelsPerMm();
            QVERIFY2(qAbs(moved.x() - expected.x()) <= 1 && qAbs(moved.y() - expected.y()) <= 1,
                     qPrintable(QStringLiteral("zoom %1").arg(zoom)));
        }
        // An offset the print would refuse (its wording is the print's): no page drawn.
        source.content.horizontalOffsetText = QStringLiteral("1.2.3");
        preview.refresh();
        QVERIFY(!preview.showsPage() && preview.problem().contains(QStringLiteral("左右のズレ")) &&
                blackInk(preview.grab().toImage()).isNull());
    }

    void windowFollowsAndShows()
    {
        TestWindow w;
        w.showActive();
        app::PreviewWindow* preview = app::showPreview(*w.form, *w.services);
        QCOMPARE(app::showPreview(*w.form, *w.services), preview);
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("12"));
        QCOMPARE(preview->view().offsets()->horizontalTenthMm, 12.0f); // at once
        // A fraction is shown as it prints, not rounded to a tenth of a millimetre.
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("1.5"));
        QVERIFY2(preview->statusText().contains(QStringLiteral("左右 +1.2 mm、上下 +0.15 mm")),
                 qPrintable(preview->statusText()));
        // A name past its place even at 7 points and half its width is listed in the window; a long one that fits
        // so is not.
        w.setText("T_4_Namae", QString(30, QChar(0x5c71)));
        QVERIFY(preview->overrunLines().isEmpty());
        w.setText("T_4_Namae", QString(80, QChar(0x5c71)));
        QTRY_COMPARE(preview->overrunLines().size(), 1);
        QVERIFY(
            preview->overrunLines().front().startsWith(QStringLiteral("お届け先の名前は 7 ポイント、幅 50 % まで")));

        // Fitted, the paper fills the room in one direction and needs no scrolling.
        preview->resize(700, 600);
        preview->fitToWindow();
        for (const auto buttons = preview->findChildren<QAbstractButton*>();
             const QAbstractButton* a : buttons) // no two overlap
            QVERIFY(std::ranges::none_of(buttons,
                                         [a](auto* b) { return a != b && a->geometry().intersects(b->geometry()); }));
        const QSize room = preview->scrollArea().maximumViewportSize() - preview->view().sizeHint();
        QVERIFY(room.width() >= 0 && room.height() >= 0 && std::min(room.width(), room.height()) <= 4);

        // The form's drawing is switched off and on, the other layers kept.
        preview->findChild<QCheckBox*>()->setChecked(false);
        QCOMPARE(preview->view().shownLayers(),
                 app::PreviewWidget::Layers(app::PreviewWidget::OverrunLayer | app::PreviewWidget::ScanLayer));
        preview->findChild<QCheckBox*>()->setChecked(true);
        QVERIFY(preview->view().shownLayers().testFlag(app::PreviewWidget::FormLayer));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("x")); // said in the window
        QVERIFY(preview->problemText().contains(QStringLiteral("上下のズレ")));
    }

    void scanIsPlacedNudgedAndRemembered()
    {
        // A fake scan: one 10 mm box 20 mm from the left and 30 mm from the top, as a 300 dpi PNG, as a PDF page, and
        // as a 600 dpi JPEG too large to be kept whole.
        QTemporaryDir dir;
        const QString png = dir.filePath(u"form.png"_s), pdfFile = dir.filePath(u"form.pdf"_s),
                      jpeg = dir.filePath(u"form.jpg"_s);
        auto drawBox = [](QPaintDevice& device, double dpi) {
            QPainter(&device).fillRect(QRectF(QPointF(20, 30) * (dpi / 25.4), QSizeF(10, 10) * (dpi / 25.4)),
                                       Qt::black);
        };
        for (const auto& [file, dpi, sizeMm] :
             {std::tuple(png, 300, QSizeF(210, 297)), std::tuple(jpeg, 600, QSizeF(180, 150))}) {
            QImage scan((sizeMm * (dpi / 25.4)).toSize(), QImage::Format_RGB32);
            scan.setDotsPerMeterX(qRound(dpi / 0.0254)), scan.setDotsPerMeterY(qRound(dpi / 0.0254)),
                scan.fill(Qt::white);
            drawBox(scan, dpi);
            QVERIFY(scan.save(file));
        }
        QPdfWriter writer(pdfFile);
        writer.setPageLayout(print::defaultPdfPaper()), writer.setResolution(300);
        drawBox(writer, 300);

        Source source;
        source.content.waybill = {}; // no print over the box
        // Where the box lands, in 0.1 mm: the picture at 10 px to the mm.
        auto boxAt = [&](app::PreviewWidget& view, QPointF mm) {
            view.refresh();
            return (blackInk(view.render(254, app::PreviewWidget::ScanLayer)).topLeft() - (mm * 10).toPoint())
                       .manhattanLength() <= 2;
        };
        for (const QString& file : {png, pdfFile, jpeg}) {
            {
                app::PreviewWindow window(source.fn());
                QVERIFY(!window.openScan(file));
                QVERIFY(boxAt(window.view(), QPointF(20, 30)));
                for (auto [key, modifier] :
                     {std::pair(Qt::Key_Right, Qt::NoModifier), std::pair(Qt::Key_Right, Qt::NoModifier),
                      std::pair(Qt::Key_Down, Qt::ShiftModifier)})
                    QTest::keyClick(&window.view(), key, modifier);
            }
            app::PreviewWindow again(source.fn());
            QVERIFY(again.scanPath() == file && again.view().scanNudgeTenthMm() == QPoint(2, 10) &&
                    boxAt(again.view(), QPointF(20.2, 31.0)));

            // Dragged by 5 mm to the left at the window's zoom.
            app::PreviewWidget& view = again.view();
            const QPoint from(200, 200), to = from - QPoint(qRound(5 * view.pixelsPerMm()), 0);
            QTest::mousePress(&view, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, to, view.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&view, &move);
            QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
            QVERIFY2(qAbs(view.scanNudgeTenthMm().x() + 48) <= 1 && view.scanNudgeTenthMm().y() == 10,
                     qPrintable(QString::number(view.scanNudgeTenthMm().x())));
            again.removeScan();
        }
        QVERIFY(app::PreviewWindow(source.fn()).scanPath().isEmpty());
    }

    // A named pipe as the scan (picture or PDF) or as the preview's own
    // settings is said as such; the window never waits on it.
    void namedPipesAreNotWaitedOn()
    {
        Source source;
        QVERIFY(QDir().mkpath(m_settingsDir.filePath(u"horutea"_s)));
        QFile::remove(m_settingsDir.filePath(u"horutea/preview.ini"_s));
        const GuardedFifo settings(m_settingsDir.filePath(u"horutea/preview.ini"_s));
        app::PreviewWindow window(source.fn());
        for (const QString& name : {u"pipe.png"_s, u"pipe.pdf"_s}) {
            const GuardedFifo scan(m_settingsDir.filePath(name));
            const auto problem = window.openScan(scan.path());
            QVERIFY(problem && problem->contains(u"名前付きパイプ"_s) && !scan.released());
        }
        QVERIFY(!settings.released());
    }

private:
    QTemporaryDir m_settingsDir;
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
