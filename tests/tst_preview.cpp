// The preview against the printed PDF, pixel by pixel; texts that run past
// their places; the form drawing against the designed millimetres; offsets,
// zoom and the remembered scan.
#include "expect.h"
#include "pdfmeasure.h"
#include "support.h"

#include "app/previewwindow.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"

#include <QCheckBox>
#include <QImageReader>
#include <QPdfWriter>
#include <QPainter>
#include <QScrollArea>
#include <QSettings>

using namespace testing;

namespace {

constexpr double kDpi = 150.0;
constexpr double kPxPerMm = kDpi / 25.4;
// Designed millimetres are 56.7 twips; paper millimetres 1440 / 25.4.
constexpr double kPaperMmPerDesignedMm = 56.7 * 25.4 / 1440.0;

struct Source {
    app::PreviewContent content{expect::filledWaybill(), QStringLiteral("0"), QStringLiteral("0")};
    app::PreviewSource fn() { return [this] { return content; }; }
};

// The PDF page as poppler draws it, at kDpi. Poppler puts each glyph on a
// whole pixel row, up to a pixel above its place; drawn four times finer and
// averaged, its picture keeps the places to a quarter of a pixel.
QImage pdfPageImage(const print::Page& page, QTemporaryDir& dir, const QPageLayout& paper = print::defaultPdfPaper(),
                    QPointF corner_mm = {})
{
    constexpr int kFiner = 4;
    const QString file = dir.filePath(QStringLiteral("page.pdf"));
    if (corner_mm.isNull()) {
        if (!print::PdfFileDestination(file, paper).print(1, [&](int) { return page; }).ok)
            return {};
    } else {
        // As the system printer writes a page for a printer with margins.
        QFile out(file);
        if (!out.open(QIODevice::WriteOnly) || !print::writePdfDocument(out, paper, corner_mm, 1, [&](int) { return page; }, {}).ok)
            return {};
    }
    pdf::run(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(kDpi * kFiner), QStringLiteral("-gray"),
                                          QStringLiteral("-singlefile"), file, dir.filePath(QStringLiteral("page"))});
    const QImage fine = QImage(dir.filePath(QStringLiteral("page.pgm"))).convertToFormat(QImage::Format_Grayscale8);
    QImage image(fine.width() / kFiner, fine.height() / kFiner, QImage::Format_Grayscale8);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            int sum = 0;
            for (int j = 0; j < kFiner; ++j)
                for (int i = 0; i < kFiner; ++i)
                    sum += fine.constScanLine(y * kFiner + j)[x * kFiner + i];
            image.scanLine(y)[x] = uchar((sum + kFiner * kFiner / 2) / (kFiner * kFiner));
        }
    return image;
}

print::Page pageOf(const waybill::Waybill& w, print::PrintOffsets offsets)
{
    print::PrintState state;
    return print::waybillPage(w, offsets, state);
}

// How two pictures of one page differ: dark pixels of either with no dark
// pixel within 1 px in the other, the ratio of their ink totals, and the
// largest distance between the centres of ink of one text (or mark) in both.
struct Agreement {
    int lonelyDark = 0;
    double inkRatio = 1;
    double worstCentre_px = 0;
    // Only anti-aliasing apart: a 0.2 mm move is 1.2 px at 150 dpi.
    bool agrees() const { return lonelyDark == 0 && qAbs(inkRatio - 1) <= 0.03 && worstCentre_px <= 0.4; }
    QString said() const { return QStringLiteral("%1 lonely dark pixels, ink ratio %2, centres %3 px apart").arg(lonelyDark).arg(inkRatio).arg(worstCentre_px); }
};

Agreement compare(const QImage& a8, const QImage& b8, const print::Page& page, QPointF corner_mm = {})
{
    const QImage a = a8.convertToFormat(QImage::Format_Grayscale8), b = b8.convertToFormat(QImage::Format_Grayscale8);
    Agreement result;
    if (qAbs(a.width() - b.width()) > 1 || qAbs(a.height() - b.height()) > 1) {
        result.lonelyDark = -1;
        return result;
    }
    const int w = std::min(a.width(), b.width()), h = std::min(a.height(), b.height());
    auto ink = [](const QImage& img, int x, int y) { return 255 - img.constScanLine(y)[x]; };
    auto darkNear = [&](const QImage& img, int x, int y) {
        for (int j = std::max(0, y - 1); j <= std::min(h - 1, y + 1); ++j)
            for (int i = std::max(0, x - 1); i <= std::min(w - 1, x + 1); ++i)
                if (ink(img, i, j) > 127)
                    return true;
        return false;
    };
    double inkA = 0, inkB = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            inkA += ink(a, x, y), inkB += ink(b, x, y);
            if ((ink(a, x, y) > 127 && !darkNear(b, x, y)) || (ink(b, x, y) > 127 && !darkNear(a, x, y)))
                ++result.lonelyDark;
        }
    result.inkRatio = inkB > 0 ? inkA / inkB : 0;

    std::vector<QRectF> regions;
    for (const print::PageText& t : page.texts)
        if (!t.text.isEmpty()) {
            const print::TextExtent e = print::printedExtent(t.text, t.fontPoints);
            regions.emplace_back((corner_mm + t.topLeftTwips * print::kMmPerTwip) * kPxPerMm, QSizeF(e.width_mm, e.height_mm) * kPxPerMm);
        }
    for (const print::PageCircle& c : page.circles) {
        const double r = c.radiusTwips * print::kMmPerTwip * kPxPerMm;
        regions.emplace_back((corner_mm + c.centreTwips * print::kMmPerTwip) * kPxPerMm - QPointF(r, r), QSizeF(2 * r, 2 * r));
    }
    for (const QRectF& region : regions) {
        const QRect r = region.adjusted(-3, -3, 3, 3).toAlignedRect() & QRect(0, 0, w, h);
        auto centre = [&](const QImage& img) {
            double sum = 0, sx = 0, sy = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x)
                    sum += ink(img, x, y), sx += ink(img, x, y) * x, sy += ink(img, x, y) * y;
            return sum > 0 ? QPointF(sx / sum, sy / sum) : QPointF();
        };
        const QPointF d = centre(a) - centre(b);
        result.worstCentre_px = std::max({result.worstCentre_px, qAbs(d.x()), qAbs(d.y())});
    }
    return result;
}

// The bounding box of the print's black ink in a picture of the widget.
QRect blackInk(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qRed(p) < 60 && qGreen(p) < 60 && qBlue(p) < 60)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

bool reddish(QRgb p) { return qRed(p) > 150 && qGreen(p) < 120 && qBlue(p) < 120; }

int countIn(const QImage& image, const QRect& r, const std::function<bool(QRgb)>& test)
{
    int n = 0;
    for (int y = std::max(0, r.top()); y <= std::min(image.height() - 1, r.bottom()); ++y)
        for (int x = std::max(0, r.left()); x <= std::min(image.width() - 1, r.right()); ++x)
            n += test(image.pixel(x, y));
    return n;
}

// Designed millimetres from the print origin to paper millimetres, offsets in 0.1 mm.
QPointF onPaper(double ox, double oy, double x_mm, double y_mm)
{
    return QPointF(expect::textX(ox, x_mm), expect::originY(oy) + y_mm * expect::kTwipsPerMm) * (25.4 / 1440.0);
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

    void previewIsThePrintedPage_data()
    {
        QTest::addColumn<int>("paperSize");
        QTest::addColumn<QPointF>("corner_mm");
        QTest::newRow("A4, printable from its corner") << int(QPageSize::A4) << QPointF();
        QTest::newRow("Letter, printable area inset") << int(QPageSize::Letter) << QPointF(4.2, 3.1);
    }

    void previewIsThePrintedPage()
    {
        QFETCH(int, paperSize);
        QFETCH(QPointF, corner_mm);
        const QPageLayout paper(QPageSize(QPageSize::PageSizeId(paperSize)), QPageLayout::Portrait, QMarginsF());
        Source source;
        source.content.horizontalOffsetText = QStringLiteral("23");
        source.content.verticalOffsetText = QStringLiteral("-7");
        app::PreviewWidget preview(source.fn());
        preview.setPaper(paper, corner_mm);
        const QImage shown = preview.render(kDpi);
        const print::Page page = pageOf(source.content.waybill, {23, -7});
        QTemporaryDir dir;
        QVERIFY(preview.page() == page);
        const Agreement same = compare(shown, pdfPageImage(page, dir, paper, corner_mm), page, corner_mm);
        QVERIFY2(same.agrees(), qPrintable(same.said()));
        if (!corner_mm.isNull())
            return;

        // The comparison sees one text moved by 0.2 mm, and the whole print
        // moved by an offset step of 2.
        for (const QString& what : {QStringLiteral("name"), QStringLiteral("offset")}) {
            print::Page moved = what == QLatin1String("offset") ? pageOf(source.content.waybill, {25, -7}) : page;
            if (what == QLatin1String("name")) {
                auto name = std::find_if(moved.texts.begin(), moved.texts.end(), [](auto& t) { return t.text == QStringLiteral("山田太郎様"); });
                QVERIFY(name != moved.texts.end());
                name->topLeftTwips += QPointF(0.2 * 1440 / 25.4, 0);
            }
            QTemporaryDir movedDir;
            const Agreement differs = compare(shown, pdfPageImage(moved, movedDir), page);
            QVERIFY2(!differs.agrees(), qPrintable(what + QLatin1Char(' ') + differs.said()));
        }
    }

    void overrunsAreFoundMeasuredAndMarked()
    {
        Source source;
        QVERIFY(!print::overrunProblem(source.content.waybill));
        QVERIFY(print::findOverruns(source.content.waybill).empty());

        // 25 full-width characters of 10 points are some 88 mm: past the
        // 66 mm from address line 1's start to the goods column.
        source.content.waybill.recipient.line1 = QString(25, QChar(0x6771));
        source.content.waybill.sender.name = QStringLiteral("ABC");
        app::PreviewWidget preview(source.fn());
        QCOMPARE(preview.overruns().size(), size_t(1));
        const print::Overrun& o = preview.overruns().front();
        QCOMPARE(print::rowCaption(o.row), QStringLiteral("お届け先の住所1"));
        QVERIFY2(o.description.startsWith(QStringLiteral("お届け先の住所1が欄から")), qPrintable(o.description));
        QVERIFY(qAbs(o.placeWidth_mm - (150.0 - 84.0)) < 1e-9);
        const auto problem = print::overrunProblem(source.content.waybill);
        QVERIFY(problem && problem->contains(QStringLiteral("お届け先の住所1")));

        // The width is the printed one: as poppler measures the PDF.
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("long.pdf"));
        const print::Page page = preview.page();
        QVERIFY(print::PdfFileDestination(file).print(1, [&](int) { return page; }).ok);
        const auto words = pdf::words(file);
        auto word = std::find_if(words.begin(), words.end(), [&](const pdf::Word& w) { return w.text == o.text; });
        QVERIFY(word != words.end());
        QVERIFY2(qAbs((word->x1 - word->x0) - o.textWidth_mm) < 0.3, qPrintable(QString::number(word->x1 - word->x0)));
        QVERIFY(qAbs(o.pastPlace_mm - (o.textWidth_mm - 66.0 * kPaperMmPerDesignedMm)) < 0.01);

        // Marked red past the place's end, and nowhere near a text that fits.
        const QImage marked = preview.render(kDpi, app::PreviewWidget::OverrunLayer);
        const QPointF placeEnd = onPaper(0, 0, 150.0, 26.9) * kPxPerMm;
        QVERIFY(countIn(marked, QRect(placeEnd.toPoint() + QPoint(4, -12), QSize(40, 10)), reddish) > 20);
        const QPointF sender = onPaper(0, 0, 75.0, 92.0) * kPxPerMm;
        QCOMPARE(countIn(marked, QRect(sender.toPoint() - QPoint(20, 40), QSize(200, 60)), reddish), 0);

        // Off the paper: the whole print 100 mm to the left.
        source.content.horizontalOffsetText = QStringLiteral("-1000");
        preview.refresh();
        auto line2 = std::find_if(preview.overruns().begin(), preview.overruns().end(),
                                  [](const print::Overrun& o) { return o.row.address == print::AddressPart::Line2 && o.row.block == print::TextBlock::Recipient; });
        QVERIFY(line2 != preview.overruns().end());
        QVERIFY2(line2->description.contains(QStringLiteral("用紙の左端から")), qPrintable(line2->description));
        QVERIFY(qAbs(line2->offSheet_mm + onPaper(-1000, 0, 74.0, 0).x()) < 0.01);

        // 2 mm to the right the five-digit amounts leave A4 paper, not the
        // wider Letter.
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

    void formDrawingFollowsTheDesign()
    {
        const print::FormDrawing& form = print::formDrawing();
        QCOMPARE(form.postalBoxes.size(), size_t(14));
        auto box = [&](print::TextBlock block, int n) {
            for (const auto& b : form.postalBoxes)
                if (b.block == block && b.box == n)
                    return b.rect_mm;
            return QRectF();
        };
        using B = print::TextBlock;
        const std::tuple<B, int, double> steps[] = {{B::Recipient, 2, 9.0}, {B::Recipient, 4, 10.1}, {B::Recipient, 7, 9.0},
                                                    {B::Sender, 2, 5.2},    {B::Sender, 4, 5.7},     {B::Sender, 7, 5.1}};
        for (const auto& [block, n, step_mm] : steps)
            QVERIFY2(qAbs(box(block, n).left() - box(block, n - 1).left() - step_mm * kPaperMmPerDesignedMm) < 0.005,
                     qPrintable(QStringLiteral("box %1 of block %2").arg(n).arg(int(block))));
        // The first recipient box where a print with no offsets puts the
        // character cell: 84.0 - 16.0 mm across, 15.6 + 1.5 - 2.1 mm down.
        QVERIFY(qAbs(box(B::Recipient, 1).left() - 68.0 * kPaperMmPerDesignedMm) < 0.005);
        QVERIFY(qAbs(box(B::Recipient, 1).top() - 15.0 * kPaperMmPerDesignedMm) < 0.005);

        QCOMPARE(form.marks.size(), size_t(7));
        for (const print::FormMark& m : form.marks) {
            const expect::Mark designed = m.deliveryTime ? expect::deliveryTimeMark(m.time) : expect::noticeMark(m.notice);
            const QPointF at = onPaper(0, 0, designed.x_mm, designed.y_mm);
            QVERIFY2(QLineF(m.centre_mm, at).length() < 0.005, qPrintable(m.caption));
            QVERIFY(qAbs(m.radius_mm - 3.0 * kPaperMmPerDesignedMm) < 0.005);
        }

        // Drawn: every choice has its ring, the print only the chosen one.
        Source source;
        app::PreviewWidget preview(source.fn());
        const QImage withForm = preview.render(kDpi, app::PreviewWidget::FormLayer), printOnly = preview.render(kDpi);
        for (int band = 0; band < 5; ++band) {
            const expect::Mark m = expect::deliveryTimeMark(waybill::DeliveryTime(band));
            const QPoint top = (onPaper(0, 0, m.x_mm, m.y_mm - 3.0) * kPxPerMm).toPoint();
            const QRect ring(top - QPoint(3, 3), QSize(7, 7));
            auto ink = [](QRgb p) { return qGray(p) < 230; };
            QVERIFY(countIn(withForm, ring, ink) > 0);
            QCOMPARE(countIn(printOnly, ring, ink) > 0, waybill::DeliveryTime(band) == source.content.waybill.deliveryTime);
        }
    }

    void offsetsAndZoomMoveThePage()
    {
        Source source;
        app::PreviewWidget preview(source.fn());
        preview.setShownLayers({});
        preview.setZoom(1.0);
        const double trueSize = preview.pixelsPerMm();
        for (double zoom : {1.0, 2.0}) {
            preview.setZoom(zoom);
            QCOMPARE(preview.pixelsPerMm(), zoom * trueSize);
            source.content.horizontalOffsetText = source.content.verticalOffsetText = QStringLiteral("0");
            preview.refresh();
            const QRect before = blackInk(preview.grab().toImage());
            source.content.horizontalOffsetText = QStringLiteral("30");
            source.content.verticalOffsetText = QStringLiteral("-10");
            preview.refresh();
            const QRect after = blackInk(preview.grab().toImage());
            const QPointF expected = QPointF(3.0, -1.0) * kPaperMmPerDesignedMm * preview.pixelsPerMm();
            QVERIFY2(qAbs(after.left() - before.left() - expected.x()) <= 1 && qAbs(after.top() - before.top() - expected.y()) <= 1,
                     qPrintable(QStringLiteral("zoom %1: moved %2/%3 px, expected %4/%5").arg(zoom).arg(after.left() - before.left())
                                    .arg(after.top() - before.top()).arg(expected.x()).arg(expected.y())));
        }

        // An offset the print would refuse: said, and no page drawn.
        source.content.horizontalOffsetText = QStringLiteral("1.2.3");
        preview.refresh();
        QVERIFY(!preview.showsPage());
        QVERIFY(preview.problem().contains(QStringLiteral("左右のズレ")) && preview.problem().contains(QStringLiteral("数値")));
        QVERIFY(blackInk(preview.grab().toImage()).isNull());
        source.content.horizontalOffsetText = QStringLiteral("0");
        source.content.verticalOffsetText = QStringLiteral("1001");
        preview.refresh();
        QVERIFY(preview.problem().contains(QStringLiteral("上下のズレ")) && preview.problem().contains(QStringLiteral("範囲")));
    }

    void windowFollowsAndShows()
    {
        TestWindow w;
        w.showActive();
        app::PreviewWindow* preview = app::showPreview(*w.form);
        QCOMPARE(app::showPreview(*w.form), preview);
        w.c<QLineEdit>("Sayuu_Xtxt")->setText(QStringLiteral("12"));
        QCOMPARE(preview->view().offsets()->horizontalTenthMm, 12.0f); // at once
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("x"));
        QVERIFY(preview->problemText().contains(QStringLiteral("上下のズレ")));
        w.c<QLineEdit>("Jyouge_Ytxt")->setText(QStringLiteral("0"));
        w.setText("T_4_Namae", QStringLiteral("佐藤"));
        QTRY_VERIFY(std::any_of(preview->view().page().texts.begin(), preview->view().page().texts.end(),
                                [](const print::PageText& t) { return t.text == QStringLiteral("佐藤"); }));

        // A name past its place is listed in the window.
        QVERIFY(preview->overrunLines().isEmpty());
        w.setText("T_4_Namae", QString(30, QChar(0x5c71)));
        QTRY_COMPARE(preview->overrunLines().size(), 1);
        QVERIFY(preview->overrunLines().front().startsWith(QStringLiteral("お届け先の名前が欄から")));

        // Fitted, the paper fills the room in one direction and needs no scrolling.
        preview->resize(700, 600);
        preview->fitToWindow();
        const QSize room = preview->scrollArea().maximumViewportSize(), page = preview->view().sizeHint();
        QVERIFY2(page.width() <= room.width() && page.height() <= room.height() &&
                     std::min(room.width() - page.width(), room.height() - page.height()) <= 4,
                 qPrintable(QStringLiteral("%1x%2 in %3x%4").arg(page.width()).arg(page.height()).arg(room.width()).arg(room.height())));

        // The form's drawing is switched off and on, the other layers kept.
        auto* formBox = preview->findChild<QCheckBox*>();
        QVERIFY(formBox);
        formBox->setChecked(false);
        QCOMPARE(preview->view().shownLayers(), app::PreviewWidget::Layers(app::PreviewWidget::OverrunLayer | app::PreviewWidget::ScanLayer));
        formBox->setChecked(true);
        QVERIFY(preview->view().shownLayers().testFlag(app::PreviewWidget::FormLayer));
    }

    void scanIsPlacedNudgedAndRemembered()
    {
        // A fake scan: one box 20 mm from the left and 30 mm from the top,
        // as a 300 dpi PNG, as a PDF page, and as a 600 dpi JPEG too large
        // to be kept whole.
        QTemporaryDir dir;
        const QString png = dir.filePath(QStringLiteral("form.png")), pdfFile = dir.filePath(QStringLiteral("form.pdf")),
                      jpeg = dir.filePath(QStringLiteral("form.jpg"));
        for (const auto& [file, dpi, size_mm] : {std::tuple(png, 300, QSizeF(210, 297)), std::tuple(jpeg, 600, QSizeF(180, 150))}) {
            QImage scan((size_mm * (dpi / 25.4)).toSize(), QImage::Format_RGB32);
            scan.setDotsPerMeterX(qRound(dpi / 0.0254));
            scan.setDotsPerMeterY(qRound(dpi / 0.0254));
            scan.fill(Qt::white);
            QPainter p(&scan);
            p.fillRect(QRectF(QPointF(20, 30) * (dpi / 25.4), QSizeF(10, 10) * (dpi / 25.4)), Qt::black);
            p.end();
            QVERIFY(scan.save(file));
        }
        {
            QPdfWriter writer(pdfFile);
            writer.setPageLayout(print::defaultPdfPaper());
            writer.setResolution(300);
            QPainter p(&writer);
            p.fillRect(QRectF(QPointF(20, 30) * (300 / 25.4), QSizeF(10, 10) * (300 / 25.4)), Qt::black);
        }

        Source source;
        source.content.waybill = {}; // no print over the box
        // Where the box lands, in 0.1 mm: the picture at 10 px to the mm.
        auto boxAt = [&](app::PreviewWidget& view, QPointF mm) {
            view.refresh();
            const QPoint at = blackInk(view.render(254, app::PreviewWidget::ScanLayer)).topLeft();
            return (at - (mm * 10).toPoint()).manhattanLength() <= 2;
        };
        for (const QString& file : {png, pdfFile, jpeg}) {
            {
                app::PreviewWindow window(source.fn());
                QVERIFY(!window.openScan(file));
                QVERIFY(boxAt(window.view(), QPointF(20, 30)));
                QTest::keyClick(&window.view(), Qt::Key_Right);
                QTest::keyClick(&window.view(), Qt::Key_Right);
                QTest::keyClick(&window.view(), Qt::Key_Down, Qt::ShiftModifier);
                QCOMPARE(window.view().scanNudge_tenthMm(), QPoint(2, 10));
            }
            app::PreviewWindow again(source.fn());
            QCOMPARE(again.scanPath(), file);
            QCOMPARE(again.view().scanNudge_tenthMm(), QPoint(2, 10));
            QVERIFY(boxAt(again.view(), QPointF(20.2, 31.0)));

            // Dragged by 5 mm to the left at the window's zoom.
            app::PreviewWidget& view = again.view();
            const QPoint from(200, 200), to = from - QPoint(qRound(5 * view.pixelsPerMm()), 0);
            QTest::mousePress(&view, Qt::LeftButton, {}, from);
            QMouseEvent move(QEvent::MouseMove, to, view.mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
            QApplication::sendEvent(&view, &move);
            QTest::mouseRelease(&view, Qt::LeftButton, {}, to);
            QVERIFY2(qAbs(view.scanNudge_tenthMm().x() + 48) <= 1 && view.scanNudge_tenthMm().y() == 10,
                     qPrintable(QStringLiteral("%1").arg(view.scanNudge_tenthMm().x())));
            again.removeScan();
        }
        QVERIFY(app::PreviewWindow(source.fn()).scanPath().isEmpty());
    }

private:
    QTemporaryDir m_settingsDir;
};

QTEST_MAIN(PreviewTest)
#include "tst_preview.moc"
