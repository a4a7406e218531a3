// 「用紙レイアウト」 driven as a user does (F9, the mouse, the arrow keys,
// numbers typed, Enter on a button), and the layout each printer's forms
// take used by every print: the window's, the batch's, the preview's and a
// reprint from the history.
#include "layoutcheck.h"
#include "support.h"

#include "app/batch/batchwindow.h"
#include "app/books/historywindow.h"
#include "app/layout/layoutwindow.h"
#include "app/preview/previewwindow.h"
#include "print/layoutfile.h"
#include "print/pdfoutput.h"

#include <QDoubleSpinBox>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <algorithm>

using namespace testing;

namespace {

constexpr const char* kQueue = "form-printer";

QPushButton* button(QWidget* window, const char* name)
{
    auto* b = window->findChild<QPushButton*>(QString::fromLatin1(name));
    if (!b)
        qFatal("no button %s", name);
    return b;
}

int indexOf(const print::Layout& layout, print::LayoutValue value, print::Party party = print::Party::Recipient)
{
    for (size_t i = 0; i < layout.texts.size(); ++i)
        if (layout.texts[i].value == value && layout.texts[i].party == party)
            return int(i);
    return -1;
}

int markIndexOf(const print::Layout& layout, print::MarkChoice choice)
{
    for (size_t i = 0; i < layout.marks.size(); ++i)
        if (layout.marks[i].choice == choice)
            return int(i);
    return -1;
}

// A number typed into a box of the side panel, then Enter.
void typeNumber(QDoubleSpinBox* box, const QString& number)
{
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, number);
    QTest::keyClick(box, Qt::Key_Return);
}

// What the sample waybill prints for each text, from the waybill as typed.
QString sampleText(const print::LayoutText& t)
{
    const waybill::Waybill w = app::sampleWaybill();
    const waybill::Address& a = t.party == print::Party::Recipient ? w.recipient : w.sender;
    // Only goods texts carry a goods line's number; a postal digit's index runs to 7.
    const size_t goodsIndex = size_t(std::clamp(t.index, 1, int(w.goods.size())) - 1);
    const waybill::GoodsLine& g = w.goods[goodsIndex];
    switch (t.value) {
    case print::LayoutValue::PostalDigit:
        return a.postalCode.mid(t.index - 1, 1);
    case print::LayoutValue::AddressLine1:
        return a.line1;
    case print::LayoutValue::AddressLine2:
        return a.line2;
    case print::LayoutValue::Name:
        return a.name;
    case print::LayoutValue::CareOf:
        return a.careOf;
    case print::LayoutValue::Telephone:
        return a.telephone;
    case print::LayoutValue::GoodsDescription:
        return g.description;
    case print::LayoutValue::ProductNumber:
        return g.productNumber;
    case print::LayoutValue::Quantity:
        return g.quantity;
    case print::LayoutValue::UnitPrice:
        return g.unitPrice;
    case print::LayoutValue::Amount:
        return g.amount;
    case print::LayoutValue::Total:
        return w.total;
    case print::LayoutValue::ShipDate:
        return QDate::currentDate().toString(QStringLiteral("yyyy/MM/dd"));
    default:
        return {};
    }
}

class LayoutWindowTest : public QObject {
    Q_OBJECT

    app::LayoutWindow* openWithF9(TestWindow& w)
    {
        w.showActive();
        QTest::keyClick(w.form.get(), Qt::Key_F9);
        auto* window = w.form->findChild<app::LayoutWindow*>();
        [&] { QVERIFY(window && QTest::qWaitForWindowExposed(window)); }();
        return window;
    }

private slots:
    void initTestCase() { initTestEnvironment(); }

    // A layout made from 「標準」 in the window: an item dragged, moved by
    // the arrow keys and by numbers typed, a ship date added, a mark
    // dragged; saved with Enter on the focused button and chosen for the
    // printer's forms. 印刷 then puts every text and the marks where the
    // window set them.
    void layoutBuiltInTheWindowPrintsAtItsPlaces()
    {
        TestWindow w;
        w.recording.queue = QString::fromLatin1(kQueue);
        app::LayoutWindow* window = openWithF9(w);
        QVERIFY(window);
        QCOMPARE(window->layoutName(), print::kBuiltInLayoutName);
        window->setAskName([](QWidget*, const QString&, const QString&) { return QStringLiteral("小口テスト"); });
        QTest::mouseClick(button(window, "newLayoutButton"), Qt::LeftButton);
        QCOMPARE(window->layoutName(), QStringLiteral("小口テスト"));
        QVERIFY(w.station->layouts().contains(QStringLiteral("小口テスト")));

        app::LayoutCanvas& canvas = window->canvas();
        const double pxPerMm = canvas.pixelsPerMm();
        const int name = indexOf(window->document().layout(), print::LayoutValue::Name);
        // Dragged by 40 and 25 pixels, in steps as a mouse moves.
        const QPoint from = canvas.itemRect({app::LayoutItem::Kind::Text, name}).center().toPoint();
        QTest::mousePress(&canvas, Qt::LeftButton, {}, from);
        for (int step = 1; step <= 5; ++step)
            QTest::mouseMove(&canvas, from + QPoint(8 * step, 5 * step));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, from + QPoint(40, 25));
        const double draggedX = std::round((75.0 + 40 / pxPerMm) * 10) / 10;
        const double draggedY = std::round((49.0 + 25 / pxPerMm) * 10) / 10;
        QCOMPARE(app::placeOf(window->document().layout(), {app::LayoutItem::Kind::Text, name}),
                 QPointF(draggedX, draggedY));
        QVERIFY(draggedX > 80.0); // moved, not a click
        // The arrow keys: 0.1 mm, with Shift 1 mm.
        QCOMPARE(window->focusWidget(), &canvas); // keys go to the form
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(&canvas, Qt::Key_Right);
        QTest::keyClick(&canvas, Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyClick(&canvas, Qt::Key_Up);
        const print::LayoutText movedName = window->document().layout().texts[size_t(name)];
        QVERIFY(qAbs(movedName.xMm - (draggedX + 0.3)) < 1e-9 && qAbs(movedName.yMm - (draggedY + 0.9)) < 1e-9);

        // Numbers typed for the telephone, chosen in the list.
        app::LayoutItemPanel& panel = window->panel();
        const int telephone = indexOf(window->document().layout(), print::LayoutValue::Telephone);
        QListWidget* items = panel.items();
        QTest::mouseClick(items->viewport(), Qt::LeftButton, {},
                          items->visualItemRect(items->item(telephone)).center());
        QCOMPARE(window->document().chosen(), (app::LayoutItem{app::LayoutItem::Kind::Text, telephone}));
        typeNumber(panel.xMm(), QStringLiteral("95.5"));
        typeNumber(panel.yMm(), QStringLiteral("60.2"));
        // A ship date, placed by numbers.
        QTest::mouseClick(panel.addTextButton(), Qt::LeftButton);
        typeNumber(panel.xMm(), QStringLiteral("150"));
        typeNumber(panel.yMm(), QStringLiteral("10.5"));
        // The afternoon's mark dragged 20 pixels left.
        const int afternoon = markIndexOf(window->document().layout(), print::MarkChoice::Afternoon);
        const QPoint mark = canvas.itemRect({app::LayoutItem::Kind::Mark, afternoon}).center().toPoint();
        QTest::mousePress(&canvas, Qt::LeftButton, {}, mark);
        QTest::mouseMove(&canvas, mark + QPoint(-10, 0));
        QTest::mouseRelease(&canvas, Qt::LeftButton, {}, mark + QPoint(-20, 0));
        const double markX = std::round((53.3 - 20 / pxPerMm) * 10) / 10;
        // Undone and done again, the drag is one step.
        QCOMPARE(window->document().layout().marks[size_t(afternoon)].xMm, markX);
        window->document().undoStack().undo();
        QCOMPARE(window->document().layout().marks[size_t(afternoon)].xMm, 53.3);
        window->document().undoStack().redo();
        QCOMPARE(window->document().layout().marks[size_t(afternoon)].xMm, markX);

        // Enter on the focused 保存, then この伝票に使う.
        QVERIFY(window->document().modified());
        button(window, "saveLayoutButton")->setFocus();
        QTest::keyClick(button(window, "saveLayoutButton"), Qt::Key_Return);
        QVERIFY(!window->document().modified());
        QTest::mouseClick(button(window, "useForFormsButton"), Qt::LeftButton);
        QCOMPARE(w.station->layouts().nameForQueue(QString::fromLatin1(kQueue)), QStringLiteral("小口テスト"));

        const print::Layout saved = w.station->layouts().load(QStringLiteral("小口テスト")).value();
        QCOMPARE(saved, window->document().layout());
        const print::LayoutText& phone = saved.texts[size_t(telephone)];
        QVERIFY(phone.xMm == 95.5 && phone.yMm == 60.2);
        QCOMPARE(saved.texts.back().value, print::LayoutValue::ShipDate);
        QVERIFY(saved.texts.back().xMm == 150.0 && saved.texts.back().yMm == 10.5);

        w.form->fillFrom(app::sampleWaybill());
        w.click("InsatsuBtn");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        const QString pdfPath = w.dir.filePath(QStringLiteral("built.pdf"));
        QFile file(pdfPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(print::writePdfDocument(file, print::defaultPdfPaper(), {}, 1,
                                        [&](int) { return w.recording.lastPage(); }, {})
                    .ok);
        file.close();
        // Every text where the layout says: those set in the window at the
        // numbers the test gave, the others where 「標準」 has them.
        const int printedTexts = int(std::count_if(saved.texts.begin(), saved.texts.end(),
                                                   [](const auto& t) { return !sampleText(t).isEmpty(); }));
        QCOMPARE(checkLayoutTexts(pdfPath, 1, saved, sampleText, 0.05), printedTexts);
        QVERIFY(printedTexts > 30);
        const QPointF centre = designedMarkMm({print::MarkChoice::Afternoon, markX, 32.8});
        const pdf::Ring ring = pdf::ringNear(pdfPath, centre.x(), centre.y());
        QVERIFY2(ring.found && qAbs(ring.cx - centre.x()) < 0.1 && qAbs(ring.cy - centre.y()) < 0.1,
                 qPrintable(QStringLiteral("%1/%2").arg(ring.cx).arg(ring.cy)));
    }

    // The layout a printer's forms take is the one the window's 印刷, the
    // batch, the preview and a reprint from the history print with; one
    // that cannot be read prints nothing and says which and why.
    void everyPrintTakesTheQueuesLayout()
    {
        TestWindow w;
        w.recording.queue = QString::fromLatin1(kQueue);
        print::Layout moved = print::builtInLayout();
        moved.name = QStringLiteral("右へ10");
        const int name = indexOf(moved, print::LayoutValue::Name);
        moved.texts[size_t(name)].xMm += 10.0;
        QVERIFY(w.station->layouts().save(moved));
        QVERIFY(w.station->layouts().setNameForQueue(QString::fromLatin1(kQueue), moved.name));
        const double movedXTwips = (-160.0 * 5.67) + 85.0 * 56.7;
        const auto nameX = [&](const print::Page& page) {
            for (const print::PageText& t : page.texts)
                if (t.origin.layoutText == name)
                    return t.topLeftTwips.x();
            return -1.0;
        };

        w.fillPrintableWaybill();
        w.click("InsatsuBtn");
        QVERIFY(qAbs(nameX(w.recording.lastPage()) - movedXTwips) < 0.01);

        app::PreviewWindow* preview = app::showPreview(*w.form, *w.services);
        QVERIFY(qAbs(nameX(preview->view().page()) - movedXTwips) < 0.01);
        preview->close();

        app::HistoryWindow* history = app::showHistory(*w.form, *w.services);
        QVERIFY(QTest::qWaitForWindowExposed(history));
        history->choose(0);
        QTest::mouseClick(button(history, "printAgain"), Qt::LeftButton);
        QCOMPARE(w.recording.documents.size(), size_t(2));
        QVERIFY(qAbs(nameX(w.recording.lastPage()) - movedXTwips) < 0.01);
        history->close();

        const QString list = w.dir.filePath(QStringLiteral("list.csv"));
        QFile csv(list);
        QVERIFY(csv.open(QIODevice::WriteOnly));
        csv.write(QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\r\n"
                                 "100-0001,東京都千代田区千代田1-1,佐藤一郎,03-1234-5678\r\n")
                      .toUtf8());
        csv.close();
        app::BatchWindow* batch = app::showBatch(*w.form, *w.services);
        QVERIFY(batch->openFile(list) && QTest::qWaitFor([batch] { return !batch->isReading(); }, 20000));
        w.messages.answers.push_back(desktop::MsgAnswer::Yes); // no sender: print all the same
        QTest::mouseClick(button(batch, "printAllButton"), Qt::LeftButton);
        QCOMPARE(w.recording.documents.size(), size_t(3));
        QVERIFY(qAbs(nameX(w.recording.lastPage()) - movedXTwips) < 0.01);
        batch->close();

        // The layout's file damaged: 印刷 says so and sends nothing.
        QFile damaged(w.station->layouts().filePathOf(moved.name));
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("[]");
        damaged.close();
        w.click("InsatsuBtn");
        QCOMPARE(w.recording.documents.size(), size_t(3));
        QVERIFY2(w.messages.last().contains(QStringLiteral("右へ10")) &&
                     w.messages.last().contains(QStringLiteral("オブジェクトではありません")),
                 qPrintable(w.messages.last()));
    }

    // Files: a damaged one is refused with its reason and adds nothing; one
    // whose name is taken is imported under a name asked for; the layout is
    // exported as shown. 「標準」 cannot be deleted; a layout in use neither.
    void importExportAndDelete()
    {
        TestWindow w;
        w.recording.queue = QString::fromLatin1(kQueue);
        app::LayoutWindow* window = app::showLayouts(*w.form, *w.services);
        QString asked;
        window->setAskOpenFile([&](QWidget*, const QString&, const QString&) { return asked; });
        window->setAskName([](QWidget*, const QString&, const QString&) { return QStringLiteral("見本その2"); });

        asked = w.dir.filePath(QStringLiteral("damaged.json"));
        QFile damaged(asked);
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write("{\"format\": \"horutea-layout\", \"version\": 1, \"name\": \"壊れ\", \"texts\": [],"
                      " \"marks\": {\"places\": []}, \"colour\": 1}");
        damaged.close();
        QVERIFY(!window->importLayout());
        QVERIFY2(w.messages.last().contains(QStringLiteral("colour")), qPrintable(w.messages.last()));
        QCOMPARE(w.station->layouts().names(), QStringList{print::kBuiltInLayoutName});

        asked = QStringLiteral(HORUTEA_SOURCE_DIR "/layouts/example-small-parcel.json");
        QVERIFY(window->importLayout());
        QCOMPARE(window->layoutName(), QStringLiteral("見本・小口便"));
        QVERIFY(window->importLayout()); // the same name again: asked for another
        QCOMPARE(window->layoutName(), QStringLiteral("見本その2"));
        QStringList names = w.station->layouts().names();
        QCOMPARE(names.takeFirst(), print::kBuiltInLayoutName);
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("見本その2"), QStringLiteral("見本・小口便")}));

        const QString exported = w.dir.filePath(QStringLiteral("exported.json"));
        window->setAskSaveFile([&](QWidget*, const QString&, const QString&) { return exported; });
        QVERIFY(window->exportLayout());
        print::Layout example = print::readLayoutFile(asked).value();
        example.name = QStringLiteral("見本その2");
        QCOMPARE(print::readLayoutFile(exported).value(), example);

        QVERIFY(window->useForPrinterForms());
        w.messages.answers.push_back(desktop::MsgAnswer::Yes);
        QVERIFY(!window->removeLayout());
        QVERIFY2(w.messages.last().contains(QStringLiteral("使っているため")), qPrintable(w.messages.last()));
        QVERIFY(window->openLayout(QStringLiteral("見本・小口便")));
        w.messages.answers.push_back(desktop::MsgAnswer::Yes);
        QVERIFY(window->removeLayout());
        QCOMPARE(window->layoutName(), print::kBuiltInLayoutName);
        QVERIFY(!button(window, "removeLayoutButton")->isEnabled());
    }

    // The window fits a 1366 × 768 screen with a title bar; Enter presses
    // the focused button; undo and redo follow every kind of change.
    void fitsTheScreenAndAnswersTheKeyboard()
    {
        TestWindow w;
        app::LayoutWindow* window = app::showLayouts(*w.form, *w.services);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY2(window->width() <= 1366 && window->height() + 32 <= 768,
                 qPrintable(QStringLiteral("%1 x %2").arg(window->width()).arg(window->height())));
        QVERIFY(window->minimumSizeHint().height() + 32 <= 768);
        // Every command visible without scrolling.
        for (QPushButton* b : window->findChildren<QPushButton*>())
            QVERIFY2(b->isHidden() || window->rect().contains(QRect(b->mapTo(window, QPoint()), b->size())),
                     qPrintable(b->text()));

        app::LayoutDocument& document = window->document();
        document.choose(app::LayoutItem{app::LayoutItem::Kind::Text, 0});
        typeNumber(window->panel().widthMm(), QStringLiteral("12.5"));
        QCOMPARE(document.layout().texts[0].widthMm, 12.5);
        QPushButton* undo = button(window, "undoButton");
        undo->setFocus();
        QTest::keyClick(undo, Qt::Key_Return);
        QCOMPARE(document.layout().texts[0].widthMm, 9.0);
        QVERIFY(!document.modified());
        QPushButton* redo = button(window, "redoButton");
        redo->setFocus();
        QTest::keyClick(redo, Qt::Key_Enter);
        QCOMPARE(document.layout().texts[0].widthMm, 12.5);
        // 「標準」 changed is saved only under another name; left, the change is asked about.
        window->setAskName([](QWidget*, const QString&, const QString&) { return QStringLiteral("広い郵便番号"); });
        QVERIFY(window->save());
        QCOMPARE(window->layoutName(), QStringLiteral("広い郵便番号"));
        QCOMPARE(w.station->layouts().load(print::kBuiltInLayoutName).value(), print::builtInLayout());
        typeNumber(window->panel().widthMm(), QStringLiteral("20"));
        QVERIFY(!window->openLayout(print::kBuiltInLayoutName)); // the question answered No
        QCOMPARE(document.layout().texts[0].widthMm, 20.0);
    }
};

} // namespace

QTEST_MAIN(LayoutWindowTest)
#include "tst_layoutwindow.moc"
