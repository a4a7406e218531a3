// Layouts kept beside the settings and the pages printed with them: the
// store's names, files and refusals, the layout each queue's forms take and
// what a print run does with it, every value a layout can place measured on
// a page, and the test sheet of a layout's places.
#include "doubles.h"
#include "layoutcheck.h"

#include "adjust/layoutsheet.h"
#include "platform/fonts.h"
#include "print/layoutfile.h"
#include "print/pdfoutput.h"
#include "station/printrun.h"

#include <QBuffer>
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

class LayoutsTest : public QObject {
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
        for (const QString& says :
             {QStringLiteral("プリンタ「form-printer」"), QStringLiteral("B社"), QStringLiteral("6 行"),
              QStringLiteral("何も印刷していません")})
            QVERIFY2(refused.delivery.message.contains(says), qPrintable(refused.delivery.message));
    }

    // Every value a layout can place, each in a place of its own, printed
    // where the layout puts it; the marks of each choice at their own places.
    void everyValueALayoutCanPlace()
    {
        using print::LayoutValue;
        using print::Party;
        print::Layout layout;
        layout.name = QStringLiteral("全部");
        int slot = 0;
        const auto place = [&](LayoutValue value, Party party = Party::Recipient, int index = 0) {
            print::LayoutText t;
            t.value = value;
            t.party = party;
            t.index = index;
            t.xMm = 20.0 + (slot % 3) * 62.0;
            t.yMm = 10.0 + (slot / 3) * 7.0;
            t.widthMm = 58.0;
            t.sizePt = 9;
            if (value == LayoutValue::ShipDate)
                t.dateFormat = QStringLiteral("yyyy年M月d日");
            if (value == LayoutValue::FixedText)
                t.fixedText = QStringLiteral("固定の見出し");
            layout.texts.push_back(t);
            ++slot;
        };
        for (const Party party : {Party::Recipient, Party::Sender}) {
            for (int box = 1; box <= 7; ++box)
                place(LayoutValue::PostalDigit, party, box);
            for (LayoutValue v : {LayoutValue::PostalCode, LayoutValue::AddressLine1, LayoutValue::AddressLine2,
                                  LayoutValue::Name, LayoutValue::CareOf, LayoutValue::Telephone})
                place(v, party);
        }
        for (int line = 1; line <= 2; ++line)
            for (LayoutValue v : {LayoutValue::GoodsDescription, LayoutValue::ProductNumber, LayoutValue::Quantity,
                                  LayoutValue::UnitPrice, LayoutValue::Amount})
                place(v, Party::Recipient, line);
        for (LayoutValue v : {LayoutValue::Total, LayoutValue::ShipDate, LayoutValue::ParcelCount,
                              LayoutValue::OrderNumber, LayoutValue::FormNumber, LayoutValue::FixedText})
            place(v);
        const print::MarkChoice choices[] = {print::MarkChoice::Morning,      print::MarkChoice::Afternoon,
                                             print::MarkChoice::Evening,      print::MarkChoice::Night,
                                             print::MarkChoice::Unspecified,  print::MarkChoice::NoticeWanted,
                                             print::MarkChoice::NoticeNotWanted};
        for (size_t i = 0; i < std::size(choices); ++i)
            layout.marks.push_back({choices[i], 30.0 + double(i) * 20.0, 150.0});
        // Written and read as a file is, so nothing of it is lost on the way.
        const auto read = print::layoutFromJson(print::layoutToJson(layout));
        QVERIFY2(read, read ? "" : qPrintable(read.error()));
        QCOMPARE(*read, layout);

        waybill::Waybill w;
        w.recipient = {QStringLiteral("1234567"),      QStringLiteral("お届け住所一"), QStringLiteral("お届け住所二"),
                       QStringLiteral("お届け名前"),   QStringLiteral("お届け様方"),   true,
                       QStringLiteral("03-1111-2222")};
        w.sender = {QStringLiteral("8901234"),        QStringLiteral("依頼住所一"), QStringLiteral("依頼住所二"),
                    QStringLiteral("依頼名前"),       QStringLiteral("依頼様方"),   true,
                    QStringLiteral("06-3333-4444")};
        w.goods[0] = {QStringLiteral("品名一"), QStringLiteral("P-11"), QStringLiteral("31"), QStringLiteral("410"),
                      QStringLiteral("12710")};
        w.goods[1] = {QStringLiteral("品名二"), QStringLiteral("P-22"), QStringLiteral("52"), QStringLiteral("620"),
                      QStringLiteral("32240")};
        w.total = QStringLiteral("44950");
        w.numericMode = true;
        const print::SheetExtras extras{QDate(2025, 4, 1), 3, QStringLiteral("ORD-77"),
                                        QStringLiteral("4444-1375-8703")};

        // One page per delivery-time band, the notice alternating.
        std::vector<print::Page> pages;
        for (int band = 0; band < 5; ++band) {
            w.deliveryTime = waybill::DeliveryTime(band);
            w.arrivalNotice = band % 2 ? waybill::ArrivalNotice::NotWanted : waybill::ArrivalNotice::Wanted;
            print::PrintState state;
            pages.push_back(print::waybillPage(w, {}, state, layout, extras));
        }
        const QString pdfPath = writePdf(m_dir.filePath(QStringLiteral("every-value.pdf")), pages);

        // What each value prints, from the waybill as typed, not from the print job.
        const auto expected = [&](const print::LayoutText& t) -> QString {
            const waybill::Address& a = t.party == Party::Recipient ? w.recipient : w.sender;
            const waybill::GoodsLine& g = w.goods[size_t(std::max(t.index, 1) - 1)];
            switch (t.value) {
            case LayoutValue::PostalDigit:
                return a.postalCode.mid(t.index - 1, 1);
            case LayoutValue::PostalCode:
                return a.postalCode.left(3) + QLatin1Char('-') + a.postalCode.mid(3);
            case LayoutValue::AddressLine1:
                return a.line1;
            case LayoutValue::AddressLine2:
                return a.line2;
            case LayoutValue::Name:
                return a.name;
            case LayoutValue::CareOf:
                return a.careOf;
            case LayoutValue::Telephone:
                return a.telephone;
            case LayoutValue::GoodsDescription:
                return g.description;
            case LayoutValue::ProductNumber:
                return g.productNumber;
            case LayoutValue::Quantity:
                return g.quantity;
            case LayoutValue::UnitPrice:
                return g.unitPrice;
            case LayoutValue::Amount:
                return g.amount;
            case LayoutValue::Total:
                return w.total;
            case LayoutValue::ShipDate:
                return QStringLiteral("2025年4月1日");
            case LayoutValue::ParcelCount:
                return QStringLiteral("3");
            case LayoutValue::OrderNumber:
                return QStringLiteral("ORD-77");
            case LayoutValue::FormNumber:
                return QStringLiteral("4444-1375-8703");
            case LayoutValue::FixedText:
                return QStringLiteral("固定の見出し");
            }
            return {};
        };
        QCOMPARE(checkLayoutTexts(pdfPath, 1, layout, expected, 0.05), int(layout.texts.size()));
        for (int band = 0; band < 5; ++band) {
            const print::LayoutMark& time = layout.marks[size_t(band)];
            const print::LayoutMark& notice = layout.marks[band % 2 ? 6 : 5];
            for (const print::LayoutMark* mark : {&time, &notice}) {
                const QPointF at = designedMarkMm(*mark);
                const pdf::Ring ring = pdf::ringNear(pdfPath, at.x(), at.y(), 4.5, band + 1);
                QVERIFY2(ring.found && qAbs(ring.cx - at.x()) < 0.1 && qAbs(ring.cy - at.y()) < 0.1,
                         qPrintable(QStringLiteral("%1 on page %2").arg(print::captionOf(mark->choice)).arg(band + 1)));
            }
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
        for (auto [caption, xMm, yMm] : {std::tuple{"お届け先の住所1", 84.0, 26.9},
                                         std::tuple{"お届け先の電話番号", 90.5, 55.8}, std::tuple{"合計", 199.5, 92.0}}) {
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

QTEST_MAIN(LayoutsTest)
#include "tst_layouts.moc"
