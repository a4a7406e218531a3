// Layouts kept beside the settings: the store's names, files and refusals,
// the layout each queue's forms take and what a print run does with it; and
// the test sheet of a layout's places, measured on its PDF.
#include "doubles.h"
#include "layoutcheck.h"

#include "adjust/layoutsheet.h"
#include "platform/fonts.h"
#include "print/layoutfile.h"
#include "print/overrun.h"
#include "print/pdfoutput.h"
#include "station/printrun.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace testing;

namespace {

// A PDF of these pages, for poppler.
QString writePdf(const QString& path, const std::vector<print::Page>& pages)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        !print::writePdfDocument(file, print::defaultPdfPaper(), {}, int(pages.size()),
                                 [&](int i) { return pages[size_t(i)]; }, {})
             .ok)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A layout of the built-in one's places with the recipient's name 10 mm further right.
print::Layout movedNameLayout(const QString& name)
{
    print::Layout layout = print::builtInLayout();
    layout.name = name;
    for (print::LayoutText& t : layout.texts)
        if (t.value == print::LayoutValue::Name && t.party == print::Party::Recipient)
            t.xMm += 10.0;
    return layout;
}

double recipientNameXTwips(const print::Page& page)
{
    for (const print::PageText& t : page.texts)
        if (t.text == QStringLiteral("山田花子"))
            return t.topLeftTwips.x();
    return -1;
}

class LayoutStoreTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;

    TestFolders folders(const QString& name)
    {
        TestFolders f;
        for (auto [folder, sub] : {std::pair{&f.app, "app"}, std::pair{&f.user, "user"}, std::pair{&f.docs, "docs"},
                                   std::pair{&f.config, "config"}})
            QDir().mkpath(*folder = m_dir.filePath(name + QLatin1Char('/') + QString::fromLatin1(sub)));
        return f;
    }

private slots:
    void initTestCase() { platform::installFontSubstitutions(); }

    // Saved layouts are listed after 「標準」 and read back as saved; names
    // with characters a file name cannot hold keep them; 「標準」 itself can
    // be neither saved over nor deleted, and a layout a queue takes is not
    // deleted either.
    void storeKeepsLayoutsBesideTheSettings()
    {
        const TestFolders f = folders(QStringLiteral("store"));
        const station::LayoutStore store(f);
        QCOMPARE(store.names(), QStringList{print::kBuiltInLayoutName});
        QCOMPARE(store.load(print::kBuiltInLayoutName).value(), print::builtInLayout());

        const print::Layout slash = movedNameLayout(QStringLiteral("A社/小口 便"));
        QVERIFY(store.save(slash));
        QVERIFY(store.save(movedNameLayout(QStringLiteral("あ社"))));
        QCOMPARE(store.names(),
                 (QStringList{print::kBuiltInLayoutName, QStringLiteral("A社/小口 便"), QStringLiteral("あ社")}));
        QCOMPARE(store.load(QStringLiteral("A社/小口 便")).value(), slash);
        QCOMPARE(QFileInfo(store.filePathOf(slash.name)).absolutePath(),
                 QDir(f.config).filePath(QStringLiteral("layouts")));

        print::Layout builtIn = print::builtInLayout();
        builtIn.texts.front().xMm += 1;
        const auto overStandard = store.save(builtIn);
        QVERIFY(!overStandard && overStandard.error().contains(QStringLiteral("組み込み")));
        QVERIFY(!store.remove(print::kBuiltInLayoutName));
        QCOMPARE(store.load(print::kBuiltInLayoutName).value(), print::builtInLayout());

        // A queue's layout; one nobody chose takes 「標準」.
        QCOMPARE(store.nameForQueue(QStringLiteral("form-printer")), print::kBuiltInLayoutName);
        QVERIFY(store.setNameForQueue(QStringLiteral("form-printer"), QStringLiteral("あ社")));
        QVERIFY(!store.setNameForQueue(QStringLiteral("form-printer"), QStringLiteral("ない社")));
        QCOMPARE(store.nameForQueue(QStringLiteral("form-printer")), QStringLiteral("あ社"));
        QCOMPARE(store.nameForQueue({}), print::kBuiltInLayoutName); // a PDF file has its own
        const auto inUse = store.remove(QStringLiteral("あ社"));
        QVERIFY2(!inUse && inUse.error().contains(QStringLiteral("form-printer")), qPrintable(inUse.error()));
        QVERIFY(store.contains(QStringLiteral("あ社")));
        QVERIFY(store.remove(QStringLiteral("A社/小口 便")));
        QCOMPARE(store.names(), (QStringList{print::kBuiltInLayoutName, QStringLiteral("あ社")}));

        // Exported as another station imports it.
        const QString exported = m_dir.filePath(QStringLiteral("exported.json"));
        QVERIFY(store.exportTo(QStringLiteral("あ社"), exported));
        QCOMPARE(print::readLayoutFile(exported).value(), movedNameLayout(QStringLiteral("あ社")));
    }

    // A layout file damaged in the folder is named with the place of its
    // fault when a queue's print asks for it, and that print sends nothing:
    // it would otherwise print on another layout's places.
    void damagedLayoutOfAQueuePrintsNothing()
    {
        const TestFolders f = folders(QStringLiteral("damaged"));
        FixedInstance instance;
        RecordingDestination printer;
        printer.queue = QStringLiteral("form-printer");
        station::Station station(f, instance, printer);
        station::PrintRun run(station);
        QVERIFY(station.layouts().save(movedNameLayout(QStringLiteral("B社"))));
        QVERIFY(station.layouts().setNameForQueue(printer.queue, QStringLiteral("B社")));

        waybill::Waybill w;
        w.recipient.name = QStringLiteral("山田花子");
        QVERIFY(run.printWaybills({&w, 1}, {}).delivery.ok);
        QVERIFY(qAbs(recipientNameXTwips(printer.lastPage()) - ((-160.0 * 5.67) + 85.0 * 56.7)) < 0.01);

        const QString path = station.layouts().filePathOf(QStringLiteral("B社"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("{\n  \"format\": \"horutea-layout\",\n  \"version\": 1,\n  \"name\": \"B社\",\n  \"texts\": [\n");
        file.close();
        const station::Printed refused = run.printWaybills({&w, 1}, {});
        QVERIFY(!refused.delivery.ok);
        QCOMPARE(printer.documents.size(), size_t(1));
        for (const QString& says : {QStringLiteral("プリンタ「form-printer」"), QStringLiteral("B社"),
                                    QStringLiteral("6 行"), QStringLiteral("何も印刷していません")})
            QVERIFY2(refused.delivery.message.contains(says), qPrintable(refused.delivery.message));
    }

    // The form's drawing (the preview's places, the layout window's boxes,
    // the test sheet) puts an aligned text's place where the layout puts it,
    // not where its text starts in it.
    void alignedPlacesStartAtTheirXMm()
    {
        print::Layout layout;
        layout.name = QStringLiteral("揃え");
        const std::tuple<print::LayoutValue, print::TextAlign, double> items[] = {
            {print::LayoutValue::OrderNumber, print::TextAlign::Right, 30.0}, // prints nothing here
            {print::LayoutValue::FixedText, print::TextAlign::Centre, 60.0},
            {print::LayoutValue::ParcelCount, print::TextAlign::Right, 90.0},
            {print::LayoutValue::FixedText, print::TextAlign::Left, 120.0},
        };
        for (const auto& [value, align, xMm] : items) {
            print::LayoutText t;
            t.value = value;
            t.align = align;
            t.fixedText = QStringLiteral("見出し");
            t.xMm = xMm;
            t.yMm = 20.0;
            t.widthMm = 25.0;
            layout.texts.push_back(t);
        }
        const print::FormDrawing& form = print::formDrawing(layout);
        QCOMPARE(form.texts.size(), std::size(items));
        for (const print::FormTextPlace& place : form.texts) {
            const QPointF designed = designedCellMm(place.item.xMm, place.item.yMm);
            QVERIFY2(qAbs(place.placeMm.left() - designed.x()) < 0.01 && qAbs(place.placeMm.width() - 25.0) < 0.01,
                     qPrintable(QStringLiteral("%1 at %2 mm, designed %3")
                                    .arg(print::captionOf(place.item))
                                    .arg(place.placeMm.left())
                                    .arg(designed.x())));
        }
    }

    // The test sheet: each place a box with its caption inside, where the
    // print with these offsets puts the text's cell; each mark a circle.
    void testSheetShowsThePlaces()
    {
        const print::PrintOffsets offsets{25, -10};
        const print::Page sheet = adjust::layoutTestPage(print::builtInLayout(), offsets);
        const QString pdfPath = writePdf(m_dir.filePath(QStringLiteral("sheet.pdf")), {sheet});
        const std::vector<pdf::Word> words = pdf::words(pdfPath);
        // お届け先の住所1 at 84.0 / 26.9 mm, お届け先の電話番号 at 90.5 / 55.8 mm.
        for (auto [caption, xMm, yMm] :
             {std::tuple{"お届け先の住所1", 84.0, 26.9}, std::tuple{"お届け先の電話番号", 90.5, 55.8},
              std::tuple{"合計", 199.5, 92.0}}) {
            const QPointF cell = designedCellMm(xMm, yMm, offsets.horizontalTenthMm, offsets.verticalTenthMm);
            const auto word = std::find_if(words.begin(), words.end(),
                                           [&](const pdf::Word& w) { return w.text == QString::fromUtf8(caption); });
            QVERIFY2(word != words.end(), caption);
            // Inside the box, 0.4 mm in from its corner.
            QVERIFY2(word->x0 > cell.x() && word->x0 < cell.x() + 1.0 && word->y0 > cell.y() &&
                         word->y0 < cell.y() + 1.5,
                     qPrintable(QStringLiteral("%1 at %2/%3, cell %4/%5")
                                    .arg(QString::fromUtf8(caption))
                                    .arg(word->x0)
                                    .arg(word->y0)
                                    .arg(cell.x())
                                    .arg(cell.y())));
        }
        // 35 places, 6 circles (必要 and 不要 share one), the marks at their places.
        QCOMPARE(sheet.boxes.size(), print::builtInLayout().texts.size());
        QCOMPARE(sheet.circles.size(), size_t(6));
        const QPointF morning = designedMarkMm({print::MarkChoice::Morning, 40.5, 32.8}, 25, -10);
        const pdf::Ring ring = pdf::ringNear(pdfPath, morning.x(), morning.y(), 3.5);
        QVERIFY(ring.found && qAbs(ring.cx - morning.x()) < 0.1 && qAbs(ring.radius - 3.0) < 0.15);
    }
};

} // namespace

QTEST_MAIN(LayoutStoreTest)
#include "tst_layoutstore.moc"
