// The batch window: an order list opened from a real file, its rows shown
// with their states and reasons, fixed and left out, and printed as one job.
#include "expect.h"
#include "glyphs.h"
#include "shopfiles.h"
#include "support.h"
#include "waybillcheck.h"

#include "app/batch/batchwindow.h"
#include "app/batch/columnmappingdialog.h"
#include "app/batch/listconstantspanel.h"
#include "app/batch/orderlistmodel.h"
#include "app/batch/roweditdialog.h"
#include "app/preview/previewwidget.h"
#include "app/widgets/addressblockeditor.h"
#include "app/widgets/elidedtips.h"
#include "history/history.h"
#include "print/systemprinter.h"

#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTableView>
#include <QTimer>

using namespace testing;
using app::BatchWindow;
using app::OrderListModel;
using Panel = app::ListConstantsPanel;

namespace {

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const waybill::Address kSender{"1500001",     "東京都渋谷区神宮前1-2-3", "神宮前ハイツ101", "ホルテア商店", {}, false,
                               "03-5555-0000"};

// Refuses the first `refusals` documents after their pages were made, as a
// stopped queue does; then passes them on.
struct RefusingFirst final : print::Destination {
    print::Destination& next;
    int refusals = 0;
    explicit RefusingFirst(print::Destination& to) : next(to) {}
    print::Delivery print(int pageCount, const print::PageSource& pages, const print::Progress& progress) override
    {
        if (refusals-- <= 0)
            return next.print(pageCount, pages, progress);
        for (int i = 0; i < pageCount; ++i)
            pages(i);
        return {.message = QStringLiteral("プリンタ「form」は停止しているため、印刷を受け付けませんでした。")};
    }
};

class BatchWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_files.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

    static bool read(BatchWindow* bw, const QString& path)
    {
        return bw->openFile(path) && QTest::qWaitFor([bw] { return !bw->isReading(); }, 20000);
    }

    // The batch window opened with F4, with `sender` saved (unless empty),
    // over a file of `bytes` read to the end; its dialogs run by `script`.
    BatchWindow* openList(TestWindow& w, const QString& name, const QByteArray& bytes,
                          std::function<bool(QDialog&)> script = {}, const waybill::Address& sender = kSender)
    {
        if (!sender.name.isEmpty() && !w.station->addressBook().save(addressbook::Kind::Sender, sender))
            qFatal("sender not saved");
        w.showActive();
        QTest::keyClick(w.form.get(), Qt::Key_F4);
        BatchWindow* bw = nullptr;
        if (!QTest::qWaitFor([&] {
                return (bw = w.form->findChild<BatchWindow*>(QStringLiteral("BatchWindow"))) && bw->isVisible();
            }) ||
            !bw->isWindow())
            qFatal("no batch window");
        bw->setDialogRunner([script](QDialog& dialog) {
            if (!script)
                qWarning("unexpected dialog %s", qPrintable(dialog.objectName()));
            return script && script(dialog);
        });
        bw->activateWindow();
        if (!QTest::qWaitForWindowActive(bw))
            qWarning("the batch window did not become active");
        if (!read(bw, writeFile(name, bytes)))
            qFatal("list %s not read", qPrintable(name));
        return bw;
    }

    static QString cell(BatchWindow* bw, int row, int column, int role = Qt::DisplayRole)
    {
        return bw->model().data(bw->model().index(row, column), role).toString();
    }

    static QStringList column(BatchWindow* bw, int column)
    {
        QStringList texts;
        for (int row = 0; row < bw->model().rowCount(); ++row)
            texts << cell(bw, row, column);
        return texts;
    }

    static void clickButton(BatchWindow* bw, const char* name)
    {
        auto* button = bw->findChild<QPushButton*>(QLatin1String(name));
        if (!button || !button->isEnabled())
            qFatal("button %s missing or disabled", name);
        QTest::mouseClick(button, Qt::LeftButton);
    }

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        // No spooler: a SystemPrinter would write new PDF files.
        qputenv("CUPS_SERVER", QFile::encodeName(m_files.filePath(QStringLiteral("no-cups.sock"))));
    }

    // Before a list is opened nothing is wrong with one: no banner, even as the list's constants are set.
    void nothingSaidBeforeAList()
    {
        TestWindow w;
        QVERIFY(w.station->addressBook().save(addressbook::Kind::Sender, kSender));
        BatchWindow* bw = app::showBatch(*w.form, *w.services);
        type(bw->constantsPanel().itemDescription(), QStringLiteral("雑貨"));
        QTest::qWait(20);
        QVERIFY2(bw->bannerText().isEmpty(), qPrintable(bw->bannerText()));
        QCOMPARE(bw->preview().waybill().goods[0].description, QStringLiteral("雑貨")); // the page follows
    }

    // Printable, refused and excluded rows side by side, each with its state
    // and reason; only the printable row is printed and becomes printed.
    void mixedListShowsStatesAndReasons()
    {
        TestWindow w;
        BatchWindow* bw =
            openList(w, QStringLiteral("mixed.csv"),
                     QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\n"
                                    "A-1,1000001,東京都千代田区千代田1-1,山田太郎,03-1234-5678\n"
                                    "A-2,600001,北海道札幌市中央区,佐藤花子,011-222-3333\n"
                                    "A-3,5300001,大阪府大阪市北区梅田,,06-1111-2222\n"
                                    "A-4,8120011,福岡県福岡市博多区,高橋美咲,092-333-4444\n"
                                    "A-5,4600008,愛知県名古屋市中区栄,%1,052-555-6666\n")
                         .arg(QString(80, QChar(0x5c71)))
                         .toUtf8());
        QCOMPARE(column(bw, OrderListModel::LineColumn), (QStringList{"2", "3", "4", "5", "6"}));
        // The area of the page's texts as wide as its pane, scrolled to: every text of the row's waybill on screen, a
        // 10-point text 10 pixels high or more.
        const QScrollArea* pane = bw->findChild<QScrollArea*>();
        const QRect shown(-pane->widget()->pos(), pane->viewport()->size());
        for (const print::PageText& text : bw->preview().page().texts)
            QVERIFY2(shown.contains(bw->preview().pageToWidget(text.topLeftTwips * print::kMmPerTwip).toPoint()),
                     qPrintable(text.text));
        QVERIFY2(bw->preview().pixelsPerMm() * 25.4 / 72 * 10 >= 10,
                 qPrintable(QString::number(bw->preview().pixelsPerMm())));
        QCOMPARE(cell(bw, 0, OrderListModel::PostalCodeColumn), QStringLiteral("100-0001"));
        // Columns as wide as their texts; one still cut short shows whole when pointed at.
        QTableView& table = bw->table();
        const QModelIndex longName = bw->model().index(4, OrderListModel::NameColumn);
        QVERIFY(!app::ElidedTextTips::isCutShort(table, bw->model().index(3, OrderListModel::StateColumn)) &&
                app::ElidedTextTips::isCutShort(table, longName));
        QCOMPARE(tipAt(table.viewport(), table.visualRect(longName).center()), QString(80, QChar(0x5c71)));
        QCOMPARE(column(bw, OrderListModel::StateColumn),
                 (QStringList{"印刷できる", "不備あり", "不備あり", "印刷できる", "不備あり"}));
        // What is wrong first, with what to do; the column named in full in the tip.
        QVERIFY(cell(bw, 0, OrderListModel::ReasonColumn).isEmpty());
        const QString postal = cell(bw, 1, OrderListModel::ReasonColumn);
        QVERIFY2(postal.startsWith(QStringLiteral("郵便番号「600001」")) && postal.contains(QStringLiteral("0600001")),
                 qPrintable(postal));
        QVERIFY(cell(bw, 2, OrderListModel::ReasonColumn).startsWith(QStringLiteral("お届け先の名前がありません")));
        QVERIFY(
            cell(bw, 2, OrderListModel::ReasonColumn, Qt::ToolTipRole).contains(QStringLiteral("「お届け先氏名」")));
        QVERIFY2(cell(bw, 4, OrderListModel::ReasonColumn).contains(QStringLiteral("欄に収まらない")),
                 qPrintable(cell(bw, 4, OrderListModel::ReasonColumn)));
        QVERIFY(cell(bw, 1, OrderListModel::StateColumn, Qt::ToolTipRole)
                    .startsWith(QStringLiteral("・「お届け先郵便番号」")));

        // F8 moves to the next refused row and shows its reasons under the table.
        QTest::keyClick(&bw->table(), Qt::Key_F8);
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{1}));
        QVERIFY2(bw->rowDetailText().startsWith(QStringLiteral("3行目の不備")) &&
                     bw->rowDetailText().contains(QStringLiteral("0600001")),
                 qPrintable(bw->rowDetailText()));

        // Delete leaves the selected row out, and again brings it back.
        bw->selectRows({3});
        bw->table().setFocus();
        QTest::keyClick(&bw->table(), Qt::Key_Delete);
        QCOMPARE(cell(bw, 3, OrderListModel::StateColumn), QStringLiteral("除外"));
        QTest::keyClick(&bw->table(), Qt::Key_Delete);
        QCOMPARE(cell(bw, 3, OrderListModel::StateColumn), QStringLiteral("印刷できる"));
        QTest::keyClick(&bw->table(), Qt::Key_Delete);
        QCOMPARE(bw->summaryText(), QStringLiteral("全 5 行：印刷できる 1、不備あり 3、除外 1、印刷済み 0"));

        // Everything printable: one document of the one row.
        clickButton(bw, "printAllButton");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        QCOMPARE(w.recording.documents.front().size(), size_t(1));
        QCOMPARE(column(bw, OrderListModel::StateColumn),
                 (QStringList{"印刷済み", "不備あり", "不備あり", "除外", "不備あり"}));
        QVERIFY2(bw->statusText().contains(QStringLiteral("1 枚")) &&
                     bw->statusText().contains(QStringLiteral("2行目")),
                 qPrintable(bw->statusText()));

        // A refused row alone is never printed, nor is a printed row again.
        bw->selectRows({0, 1});
        clickButton(bw, "printSelectedButton");
        QCOMPARE(w.recording.attempts, 1);
        QVERIFY2(w.messages.last().contains(QStringLiteral("2、3行目")), qPrintable(w.messages.last()));

        // The other encoding chosen: the same file read again; F4 brings the window back to the front.
        const QByteArray row = "ship-postal-code,ship-address-1,recipient-name\n1000001," +
                               QStringEncoder("Shift_JIS").encode(u"東京都,山田");
        QVERIFY(read(bw, writeFile(QStringLiteral("cp932.csv"), row + "\n")));
        QCOMPARE(column(bw, OrderListModel::StateColumn), QStringList{"印刷できる"});
        const int utf8 = bw->encodingChoice().findData(int(csv::Encoding::Utf8));
        bw->encodingChoice().setCurrentIndex(utf8);
        emit bw->encodingChoice().activated(utf8);
        QTRY_COMPARE(column(bw, OrderListModel::StateColumn), QStringList{"不備あり"});
        w.form->activateWindow();
        QTRY_VERIFY(w.form->isActiveWindow());
        QTest::keyClick(w.form.get(), Qt::Key_F4);
        QTRY_VERIFY(bw->isActiveWindow());

        // Headings only: the window says there is nothing to print.
        QVERIFY(read(bw, writeFile(QStringLiteral("empty.csv"),
                                   QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n").toUtf8())));
        QVERIFY2(bw->bannerText().contains(QStringLiteral("行がありません")), qPrintable(bw->bannerText()));
    }

    // Three rows as one document with the sender from the address book, the
    // list's constants and the main window's offsets, through the program's
    // own printer set to write a PDF file (the dialog's "print to file"):
    // every page measured, each row recorded with its order number.
    void constantsAndOffsetsApplyToEveryRow()
    {
        const QString pdfPath = m_files.filePath(QStringLiteral("three.pdf"));
        print::SystemPrinter printer(m_files.filePath(QStringLiteral("docs")));
        printer.settings().setOutputFormat(QPrinter::PdfFormat);
        printer.settings().setOutputFileName(pdfPath);
        TestWindow w(true, &printer);
        waybill::Address other = kSender;
        other.name = QStringLiteral("ホルテア倉庫");
        other.careOf = QStringLiteral("出荷係");
        other.careOfShown = true;
        QVERIFY(w.station->addressBook().save(addressbook::Kind::Sender, other));
        QTest::qWait(5); // kSender saved later, so used more recently
        w.setText("Sayuu_Xtxt", QStringLiteral("23"));
        w.setText("Jyouge_Ytxt", QStringLiteral("-7"));
        BatchWindow* bw = openList(
            w, QStringLiteral("three.csv"),
            QStringLiteral(
                "注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先様方,お届け先電話番号,商品名,商品番号\r\n"
                "B-1,1000001,東京都千代田区千代田1-1,,山田太郎,,03-1234-5678,焼き菓子,K-01\r\n"
                "B-2,530-0001,大阪府大阪市北区梅田2-4-9,梅田ビル12F,佐藤花子,経理部,06-9876-5432,,\r\n"
                "B-3,〒812-0011,福岡県福岡市博多区博多駅前3-1,博多ビル,高橋美咲,,092-333-4444,紅茶,T-3\r\n")
                .toUtf8());
        Panel& panel = bw->constantsPanel();
        QCOMPARE(panel.sender().field(app::AddressBlockEditor::Name)->text(), kSender.name); // the most recent, picked
        QSignalSpy told(&bw->model(), &QAbstractItemModel::dataChanged);
        panel.senderChoice()->setCurrentIndex(2);
        emit panel.senderChoice()->activated(2);
        QCOMPARE(panel.sender().field(app::AddressBlockEditor::CareOf)->text(), QStringLiteral("出荷係"));
        QCOMPARE(panel.arrivalNotice()->itemText(1) + bw->model().headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("不要状態"));
        panel.deliveryTime()->setCurrentIndex(panel.deliveryTime()->findData(int(waybill::DeliveryTime::Afternoon)));
        panel.arrivalNotice()->setCurrentIndex(panel.arrivalNotice()->findData(int(waybill::ArrivalNotice::NotWanted)));
        panel.itemDescription()->setEditText(QStringLiteral("雑貨"));
        // Every row is checked again with them before anything prints.
        QVERIFY(bw->isReading());
        QVERIFY(!bw->findChild<QPushButton*>(QStringLiteral("printAllButton"))->isEnabled());
        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(bw->statusText().contains(QStringLiteral("確かめ終わってから")), qPrintable(bw->statusText()));
        const qsizetype whenChanged = told.size();
        QTRY_VERIFY(!bw->isReading());
        QVERIFY(told.size() > whenChanged); // the table told again once the rows were checked

        // Several forms: asked first with their number, 印刷 the default.
        w.messages.answers = {desktop::MsgAnswer::Yes};
        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(w.messages.last().contains(QStringLiteral("送り状 3 枚")) &&
                w.messages.shown.back().defaultButton == desktop::MsgAnswer::Yes);
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷済み", "印刷済み", "印刷済み"}));
        QVERIFY(bw->statusText().contains(QStringLiteral("3 枚")));
        auto expected = [&](waybill::Address to, QString description, QString productNumber) {
            return waybill::Waybill{.recipient = std::move(to),
                                    .sender = other,
                                    .deliveryTime = waybill::DeliveryTime::Afternoon,
                                    .arrivalNotice = waybill::ArrivalNotice::NotWanted,
                                    .goods = {{{std::move(description), std::move(productNumber)}}}};
        };
        // The common 品名 replaces every row's goods, product numbers with them.
        const waybill::Waybill pages[] = {
            expected({"1000001", "東京都千代田区千代田1-1", "", "山田太郎", "", false, "03-1234-5678"}, "雑貨", ""),
            expected(
                {"5300001", "大阪府大阪市北区梅田2-4-9", "梅田ビル12F", "佐藤花子", "経理部", true, "06-9876-5432"},
                "雑貨", ""),
            expected({"8120011", "福岡県福岡市博多区博多駅前3-1", "博多ビル", "高橋美咲", "", false, "092-333-4444"},
                     "雑貨", "")};
        QCOMPARE(pdf::pageCount(pdfPath), 3);
        for (int page = 1; page <= 3; ++page) {
            checkWaybillPage(pdfPath, page, pages[page - 1], 23, -7, Corner{}, 0.05);
            QVERIFY(!QTest::currentTestFailed());
        }
        const auto recorded = w.station->history().search({.orderNumber = QStringLiteral("B-2")});
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.front().record.waybill, pages[1]);
        QCOMPARE(recorded.front().record.offsetXTenthMm, 23.0);
        QCOMPARE(w.station->history().list(10).size(), 3);
        // The sender printed with becomes the most recent.
        QCOMPARE(w.station->addressBook().recent(addressbook::Kind::Sender).front().address.name, other.name);
    }

    // Without a sender, printing asks first. A cancel (before the next page)
    // or a refused document (naming the rows: one document is one job)
    // releases nothing and leaves the rows selected for one more command.
    void cancelAndRefusalReleaseNothing()
    {
        TestWindow w(false);
        RefusingFirst printer(w.recording);
        w.printer = &printer;
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        BatchWindow* bw = openList(
            w, QStringLiteral("again.csv"),
            QStringLiteral(
                "注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\n"
                "C-1,1000001,東京都千代田区,山田\nC-2,5300001,大阪府大阪市,佐藤\nC-3,8120011,福岡県福岡市,高橋\n")
                .toUtf8(),
            {}, {});
        w.messages.answers = {desktop::MsgAnswer::No};
        clickButton(bw, "printAllButton");
        QVERIFY2(w.messages.last().contains(QStringLiteral("ご依頼主の名前と住所が空です")),
                 qPrintable(w.messages.last()));
        QCOMPARE(w.recording.attempts, 0);

        auto* cancel = bw->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        int pagesWhenCancelled = -1;
        QTimer::singleShot(0, bw, [&] {
            QVERIFY(bw->isPrinting());
            testing::click(w.c("InsatsuBtn")); // not let through while the document is made
            QTest::mouseClick(cancel, Qt::LeftButton);
            pagesWhenCancelled = bw->findChild<QProgressBar*>()->value();
        });
        const size_t asked = w.messages.shown.size();
        w.messages.answers = {desktop::MsgAnswer::Yes};
        clickButton(bw, "printAllButton");
        QCOMPARE(pagesWhenCancelled, 1);
        QVERIFY(!bw->isPrinting());
        QVERIFY(w.recording.documents.empty());
        QCOMPARE(w.messages.shown.size(), asked + 1); // the question only
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる", "印刷できる"}));
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{0, 1, 2}));
        QVERIFY2(bw->statusText().contains(QStringLiteral("中止")) &&
                     bw->statusText().contains(QStringLiteral("1枚もプリンタに送っていません")),
                 qPrintable(bw->statusText()));

        printer.refusals = 1;
        bw->selectRows({0, 2});
        bw->table().setFocus();
        w.messages.answers = {desktop::MsgAnswer::Yes};
        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier);
        const QString said = w.messages.last();
        QVERIFY2(said.contains(QStringLiteral("停止している")) &&
                     said.contains(QStringLiteral("どの行もプリンタに届いていません")) &&
                     said.contains(QStringLiteral("2、4行目")),
                 qPrintable(said));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる", "印刷できる"}));
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{0, 2}));
        QVERIFY(w.station->history().list(10).isEmpty());

        w.messages.answers = {desktop::MsgAnswer::Yes};
        clickButton(bw, "printSelectedButton");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        QCOMPARE(w.recording.documents.front().size(), size_t(2));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷済み", "印刷できる", "印刷済み"}));
        QCOMPARE(w.station->history().search({.orderNumber = QStringLiteral("C-3")}).size(), 1);
        QVERIFY(w.station->history().search({.orderNumber = QStringLiteral("C-2")}).isEmpty());
    }

    // Seven headings no table knows (as many as the address book has; 区分
    // names no kind outside it) go through the column dialog; a later run
    // opens the next list with those headings, spaced otherwise, unasked.
    void unknownHeadingsAreMappedOnceAndRemembered()
    {
        TestWindow w;
        const QString rows =
            QStringLiteral("%1\nR-1,山田太郎,100-0001,東京都千代田区千代田1-1,03-1234-5678,紅茶,ご依頼主\n"
                           "R-2,佐藤花子,530-0001,大阪府大阪市北区梅田,06-9876-5432,焼き菓子,ご依頼主\n");
        int dialogs = 0;
        const QByteArray first =
            rows.arg(QStringLiteral("受付No,宛先氏名,宛先〒,宛先所在地,宛先TEL,内容,区分")).toUtf8();
        BatchWindow* bw = openList(w, QStringLiteral("unknown1.csv"), first, [&](QDialog& dialog) {
            ++dialogs;
            auto* mapping = qobject_cast<app::ColumnMappingDialog*>(&dialog);
            [&] {
                QVERIFY(mapping);
                // What the headings suggest is chosen already.
                QCOMPARE(mapping->chosen(),
                         (orders::ColumnMap{orders::Field::OrderNumber, orders::Field::Name, orders::Field::PostalCode,
                                            orders::Field::AddressLine1, orders::Field::Telephone, orders::Field::None,
                                            orders::Field::None}));
                // The first row's cells stand beside their headings.
                const QList<QLabel*> labels = mapping->findChildren<QLabel*>();
                QVERIFY(std::any_of(labels.begin(), labels.end(),
                                    [](QLabel* l) { return l->text() == QStringLiteral("東京都千代田区千代田1-1"); }));
                // A name from two columns is joined, and said; an order
                // number from two cannot be.
                mapping->choose(0, orders::Field::Name);
                QVERIFY(mapping->canAccept());
                QVERIFY2(mapping->verdictText().contains(QStringLiteral("1列目と2列目をつないで")),
                         qPrintable(mapping->verdictText()));
                mapping->choose(0, orders::Field::OrderNumber);
                mapping->choose(5, orders::Field::OrderNumber);
                QVERIFY(!mapping->canAccept());
                QVERIFY2(mapping->verdictText().contains(QStringLiteral("1列目と6列目で重なって")),
                         qPrintable(mapping->verdictText()));
                mapping->choose(5, orders::Field::ItemDescription);
                QVERIFY2(mapping->canAccept(), qPrintable(mapping->verdictText()));
            }();
            dialog.accept();
            return mapping && mapping->canAccept();
        });
        QCOMPARE(dialogs, 1);
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる"}));
        QCOMPARE(column(bw, OrderListModel::OrderNumberColumn), (QStringList{"R-1", "R-2"}));
        QCOMPARE(bw->list().waybillAt(1).goods[0].description, QStringLiteral("焼き菓子"));
        QVERIFY(bw->bannerText().isEmpty());

        w.rebuild();
        QVERIFY(w.form->Form_Load());
        BatchWindow* again =
            openList(w, QStringLiteral("unknown2.csv"),
                     rows.arg(QStringLiteral(" 受付No,宛先 氏名,宛先〒 ,宛先所在地,宛先TEL,内容,区分")).toUtf8());
        QCOMPARE(again->list().mappingSource(), orders::MappingSource::Remembered);
        QCOMPARE(column(again, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる"}));

        // Cancelled, the dialog leaves the rows unchecked, and the window says why.
        again->setDialogRunner([](QDialog&) { return false; });
        QVERIFY(read(again, writeFile(QStringLiteral("unknown3.csv"), "x,y\n1,2\n")));
        QCOMPARE(column(again, OrderListModel::StateColumn), QStringList{QStringLiteral("確認待ち")});
        QVERIFY2(again->bannerText().contains(QStringLiteral("列の対応")), qPrintable(again->bannerText()));
    }

    // The platforms' lists open with no column dialog; an order over
    // several rows is one row with its items; 「ご依頼主: 注文者」 puts each
    // order's buyer in as its sender, and refuses the orders that name none.
    void platformListsOpenAsOrders()
    {
        TestWindow w;
        const QList<ShopFile> files = shopFiles();
        QStringEncoder encoder(files[0].encoding);
        const QByteArray firstBytes = encoder(files[0].text);
        BatchWindow* bw = openList(w, QStringLiteral("first-") + QString::fromUtf8(files[0].fileName), firstBytes);
        const QStringList expectedItems[] = {
            {"緑茶ギフトセット ×2、ほか 2 点 ×4", "羊羹 ×1", "羊羹 ×1"},
            {"タオル\"ふわり\" ×2、バスタオル ×1", "マグカップ ×1"},
            {""},
            {"ソイキャンドル ×1、ほか 2 点 ×3", "ソイキャンドル ×1"},
        };
        for (int i = 0; i < files.size(); ++i) {
            const ShopFile& file = files[i];
            QVERIFY(read(bw, writeShopFile(m_files.path(), file)));
            // Yahoo!'s order file alone: its goods are in an item file not given.
            QVERIFY2(bw->bannerText().isEmpty() == (file.fileName != QByteArrayView("yahoo-orders.csv")) &&
                         (bw->bannerText().isEmpty() || bw->bannerText().contains(QStringLiteral("yahoo-items.csv"))),
                     qPrintable(bw->bannerText()));
            QCOMPARE(column(bw, OrderListModel::ItemsColumn), expectedItems[i]);
            QCOMPARE(column(bw, OrderListModel::StateColumn),
                     QStringList(file.pages.size(), QStringLiteral("印刷できる")));
        }
        // Shopify's list is open: its buyers have addresses.
        QCheckBox* fromBuyer = bw->constantsPanel().senderFromBuyer();
        QVERIFY(fromBuyer->isVisible());
        // Its box, at the left of its line.
        QTest::mouseClick(fromBuyer, Qt::LeftButton, {}, QPoint(8, fromBuyer->height() / 2));
        QVERIFY(fromBuyer->isChecked() && !bw->constantsPanel().senderChoice()->isEnabled());
        QVERIFY(QTest::qWaitFor([bw] { return !bw->isReading(); }, 20000));
        QCOMPARE(bw->list().waybillAt(0).sender.name, QStringLiteral("山田 太郎"));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる"}));
        // Amazon's report names no buyer's address.
        QVERIFY(read(bw, writeShopFile(m_files.path(), amazonFile())));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"不備あり", "不備あり"}));
        QVERIFY2(cell(bw, 0, OrderListModel::ReasonColumn).contains(QStringLiteral("注文者の住所がありません")),
                 qPrintable(cell(bw, 0, OrderListModel::ReasonColumn)));

        // The column dialog accepted as it stands keeps the orders; a
        // changed choice reads the list line by line, one waybill each.
        QPushButton* columnsButton = nullptr;
        for (QPushButton* button : bw->findChildren<QPushButton*>())
            if (button->text() == QStringLiteral("列の対応…"))
                columnsButton = button;
        QVERIFY(columnsButton);
        bw->setDialogRunner([](QDialog& dialog) {
            dialog.accept();
            return true;
        });
        QTest::mouseClick(columnsButton, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([bw] { return !bw->isReading(); }, 20000));
        QCOMPARE(bw->model().rowCount(), 2);
        bw->setDialogRunner([](QDialog& dialog) {
            if (auto* mapping = qobject_cast<app::ColumnMappingDialog*>(&dialog))
                mapping->choose(8, orders::Field::None); // product-name
            dialog.accept();
            return true;
        });
        QTest::mouseClick(columnsButton, Qt::LeftButton);
        QVERIFY(QTest::qWaitFor([bw] { return !bw->isReading(); }, 20000));
        QCOMPARE(bw->model().rowCount(), 3);
        QCOMPARE(column(bw, OrderListModel::NameColumn), (QStringList{"田中 花子", "田中 花子", "中村 翔"}));
    }

    // A row fixed in the window prints fixed while the file keeps every
    // byte; the fix can be taken back.
    void fixingARowLeavesTheFileAlone()
    {
        TestWindow w;
        const QByteArray before = QStringEncoder("Shift_JIS")(
            QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\r\n"
                           "F-1,600001,北海道札幌市中央区北一条西,㈱札幌商会,11-222-3333\r\n"
                           "F-2,1000001,東京都千代田区千代田1-1,山田太郎,03-1234-5678\r\n"));
        const QString path = m_files.filePath(QStringLiteral("fix.csv"));
        int edits = 0;
        BatchWindow* bw = openList(w, QStringLiteral("fix.csv"), before, [&](QDialog& dialog) {
            auto* edit = qobject_cast<app::RowEditDialog*>(&dialog);
            const auto buttons = dialog.findChildren<QPushButton*>();
            const auto revert = std::find_if(buttons.begin(), buttons.end(), [](auto* b) {
                return b->text() == QStringLiteral("ファイルの内容に戻す");
            });
            [&] {
                QVERIFY(edit);
                QCOMPARE(revert != buttons.end(), edits % 2 == 1); // only an edited row can go back
                if (revert != buttons.end())
                    return (*revert)->click();
                QCOMPARE(edit->findingTexts().size(), 2); // postal code and telephone
                edit->applySuggestions();
                QCOMPARE(edit->field(orders::Field::PostalCode)->text(), QStringLiteral("0600001"));
                QCOMPARE(edit->field(orders::Field::Telephone)->text(), QStringLiteral("011-222-3333"));
                QVERIFY2(edit->findingTexts().isEmpty(), qPrintable(edit->findingTexts().join('\n')));
                edit->field(orders::Field::CareOf)->setText(QStringLiteral("総務部"));
                dialog.accept();
            }();
            ++edits;
            return dialog.result() == QDialog::Accepted;
        });
        QCOMPARE(bw->encodingChoice().currentData().toInt(), int(csv::Encoding::Cp932));
        QCOMPARE(cell(bw, 0, OrderListModel::NameColumn), QStringLiteral("㈱札幌商会"));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"不備あり", "印刷できる"}));

        bw->selectRows({0});
        bw->table().setFocus();
        QTest::keyClick(&bw->table(), Qt::Key_Return);
        QCOMPARE(cell(bw, 0, OrderListModel::StateColumn), QStringLiteral("印刷できる（修正済み）"));
        QCOMPARE(cell(bw, 0, OrderListModel::PostalCodeColumn), QStringLiteral("060-0001"));
        bw->editCurrentRow();
        QCOMPARE(cell(bw, 0, OrderListModel::StateColumn), QStringLiteral("不備あり"));
        QCOMPARE(cell(bw, 0, OrderListModel::PostalCodeColumn), QStringLiteral("600001"));
        bw->editCurrentRow();
        QCOMPARE(edits, 3);
        QCOMPARE(fileBytes(path), before);

        // The whole list's sender changes for the fixed row too.
        bw->constantsPanel()
            .sender()
            .field(app::AddressBlockEditor::Name)
            ->setText(QStringLiteral("ホルテア商店 本店"));
        emit bw->constantsPanel().sender().field(app::AddressBlockEditor::Name)->textEdited({});
        QTRY_COMPARE(bw->list().waybillAt(0).sender.name, QStringLiteral("ホルテア商店 本店"));
        QTRY_VERIFY(!bw->isReading());

        w.messages.answers = {desktop::MsgAnswer::Yes};
        clickButton(bw, "printAllButton");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        const auto recorded = w.station->history().search({.orderNumber = QStringLiteral("F-1")});
        QCOMPARE(recorded.size(), 1);
        const waybill::Address& to = recorded.front().record.waybill.recipient;
        QCOMPARE(to, (waybill::Address{"0600001", "北海道札幌市中央区北一条西", "", "㈱札幌商会", "総務部", true,
                                       "011-222-3333"}));
        QCOMPARE(recorded.front().record.waybill.sender.name, QStringLiteral("ホルテア商店 本店"));
        QCOMPARE(fileBytes(path), before);

        // Opening the file again would forget the printed rows: asked first.
        w.messages.answers = {desktop::MsgAnswer::No};
        QVERIFY(!bw->openFile(path));
        QVERIFY(w.messages.last().contains(QStringLiteral("印刷済みの印（2 行）")));
    }

    // A row fixed in the list prints what the same keys typed into the main
    // window's fields would: full-width digits become ASCII in the number
    // fields, a line break a space.
    void anEditedRowPrintsAsTypedInTheWindow()
    {
        TestWindow w;
        const QString typedPhone = QStringLiteral("０３－１２３４－５６７８");
        const QString typedPostal = QStringLiteral("１００－０００１");
        BatchWindow* bw =
            openList(w, QStringLiteral("typed.csv"),
                     QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\n"
                                    "T-1,1000001,東京都千代田区千代田1-1,山田太郎,\n")
                         .toUtf8(),
                     [&](QDialog& dialog) {
                         auto* edit = qobject_cast<app::RowEditDialog*>(&dialog);
                         testing::type(edit->field(orders::Field::Telephone), typedPhone);
                         testing::type(edit->field(orders::Field::PostalCode), typedPostal);
                         edit->field(orders::Field::CareOf)->setText(QStringLiteral("総務部\n出荷係"));
                         return true;
                     });
        bw->selectRows({0});
        bw->editCurrentRow();

        w.type("T_6_Denwaba", typedPhone);
        w.type("T_1_Yuubin", typedPostal);
        w.setText("T_5_Samakata", QStringLiteral("総務部\n出荷係"));
        const waybill::Address window = w.form->readWaybill().recipient;
        const waybill::Address row = bw->list().waybillAt(0).recipient;
        QCOMPARE(row.telephone, window.telephone);
        QCOMPARE(row.telephone, QStringLiteral("03-1234-5678"));
        QCOMPARE(row.careOf, window.careOf);
        QCOMPARE(row.postalCode, QStringLiteral("1000001"));
        QTRY_VERIFY(!bw->isReading());
        clickButton(bw, "printAllButton");
        const auto recorded = w.station->history().search({.orderNumber = QStringLiteral("T-1")});
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.front().record.waybill.recipient.telephone, QStringLiteral("03-1234-5678"));
    }

    // The file changed after its rows were checked (saved again by the shop
    // system, or cut short): the print stops at the row that is not the one
    // checked, names its line, sends no page and records nothing.
    void listChangedAfterCheckingPrintsNothing()
    {
        TestWindow w;
        const QString checked = QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\n"
                                               "K-1,1000001,東京都千代田区千代田1-1,鶴田一郎\n"
                                               "K-2,5300001,大阪府大阪市北区梅田1-1,鶴田二郎\n"
                                               "K-3,8120011,福岡県福岡市博多区1-1,鶴田三郎\n");
        // Cut short, the list's other change, is told by the same check (tst_cli).
        BatchWindow* bw = openList(w, QStringLiteral("changing.csv"), checked.toUtf8());
        QCOMPARE(bw->list().countRows(orders::RowState::Printable), qint64(3));
        writeFile(QStringLiteral("changing.csv"),
                  QString(checked).replace(QStringLiteral("鶴田二郎"), QStringLiteral("亀田二郎")).toUtf8());
        w.messages.answers = {desktop::MsgAnswer::Yes}; // the three rows, asked first
        clickButton(bw, "printAllButton");
        QVERIFY(w.recording.documents.empty());
        QVERIFY2(w.messages.last().contains(QStringLiteral("3行目の中身が")) &&
                     w.messages.last().contains(QStringLiteral("どの行もプリンタに届いていません")),
                 qPrintable(w.messages.last()));
        QVERIFY(w.station->history().list(10).isEmpty());
    }

    // A character no face can draw refuses the row, named in its reason; a
    // heading taken on its own that may drop a part is said.
    void unprintableCharacterAndNearMissHeading()
    {
        TestWindow w;
        const QString none = characterNoFaceHas();
        BatchWindow* bw = openList(
            w, QStringLiteral("glyph.csv"),
            QStringLiteral(
                "お届け先郵便番号,お届け先住所1,お届け先氏名,ＴＥＬ\n1000001,東京都,𠮷田一郎,03\n1000001,東京都,田中%1,03\n")
                .arg(none)
                .toUtf8());
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "不備あり"}));
        QVERIFY(cell(bw, 1, OrderListModel::ReasonColumn, Qt::ToolTipRole)
                    .contains(QStringLiteral("お届け先の名前の「%1」").arg(none)));
        QVERIFY2(bw->bannerText().contains(QStringLiteral("「ＴＥＬ」（4列目）は「電話番号」の列のよう")),
                 qPrintable(bw->bannerText()));
    }

    // Order and form numbers show whole however long, so two orders never look alike; every reason of a refused row
    // is its cell's tooltip.
    void numbersShowWholeAndReasonsInFull()
    {
        TestWindow w;
        QByteArray text =
            QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\n").toUtf8();
        for (int i = 1; i <= 3; ++i)
            text += QStringLiteral("ORDER-2026-1200000000000%1,1000001,東京都千代田区千代田1-1,山田%1,03-1234-5678\n")
                        .arg(i)
                        .toUtf8();
        text += QStringLiteral("ORDER-2026-12000000000004,12,,,0\n").toUtf8();
        BatchWindow* bw = openList(w, QStringLiteral("long-numbers.csv"), text);
        const auto whole = [bw](int row, int column) {
            return !app::ElidedTextTips::isCutShort(bw->table(), bw->model().index(row, column));
        };
        for (int row = 0; row < 4; ++row)
            QTRY_VERIFY2(whole(row, OrderListModel::OrderNumberColumn), qPrintable(QString::number(row)));
        bw->model().setFormNumbers({{0, QStringLiteral("4444-1375-8703")}, {1, QStringLiteral("4444-1375-8714")}},
                                   true);
        QCOMPARE(cell(bw, 1, OrderListModel::FormNumberColumn), QStringLiteral("（予定）4444-1375-8714"));
        QTRY_VERIFY(whole(0, OrderListModel::FormNumberColumn) && whole(1, OrderListModel::FormNumberColumn));
        const QString reasons = cell(bw, 3, OrderListModel::ReasonColumn, Qt::ToolTipRole);
        for (const char* reason : {"郵便番号", "住所がありません", "名前がありません", "電話番号"})
            QVERIFY2(reasons.contains(QString::fromUtf8(reason)), qPrintable(reasons));
    }

    // The list's sender offers the address of a complete postal code, as the main window does: ↓ takes it, and
    // every row takes it up.
    void senderPostalCodeOffersItsAddress()
    {
        TestWindow w;
        BatchWindow* bw = openList(
            w, QStringLiteral("one.csv"),
            QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区千代田1-1,山田\n")
                .toUtf8(),
            {}, {});
        app::AddressBlockEditor& sender = bw->constantsPanel().sender();
        QLineEdit* line1 = sender.field(app::AddressBlockEditor::Line1);
        type(sender.field(app::AddressBlockEditor::PostalCode), QStringLiteral("1000001"));
        QVERIFY2(line1->placeholderText().contains(QStringLiteral("東京都千代田区千代田")),
                 qPrintable(line1->placeholderText()));
        line1->setFocus();
        QTest::keyClick(line1, Qt::Key_Down);
        QCOMPARE(line1->text(), QStringLiteral("東京都千代田区千代田"));
        QTRY_COMPARE(bw->list().waybillAt(0).sender.line1, QStringLiteral("東京都千代田区千代田"));
        QTRY_VERIFY(!bw->isReading());
    }

    // The row editor edits every goods line of an order, its quantities too; the common 品名 replaces every order's
    // goods, and gives them back once cleared.
    void everyGoodsLineCanBeMended()
    {
        TestWindow w;
        const ShopFile file = shopFiles()[0];
        bool shown = false;
        QString firstQuantity;
        BatchWindow* bw = openList(w, QStringLiteral("gift-") + QString::fromUtf8(file.fileName),
                                   QStringEncoder(file.encoding)(file.text), [&](QDialog& dialog) {
                                       auto* edit = qobject_cast<app::RowEditDialog*>(&dialog);
                                       shown = edit && edit->goodsField(1, 0) && edit->goodsField(1, 2);
                                       if (!shown)
                                           return false;
                                       firstQuantity = edit->goodsField(0, 2)->text();
                                       edit->goodsField(1, 0)->setText(QStringLiteral("焼き海苔"));
                                       edit->goodsField(1, 2)->setText(QStringLiteral("３"));
                                       edit->goodsField(0, 1)->setText(QStringLiteral("G-01"));
                                       dialog.accept();
                                       return true;
                                   });
        const waybill::Waybill before = bw->list().waybillAt(0);
        QVERIFY(before.numericMode && !before.goods[1].description.isEmpty());
        bw->selectRows({0});
        bw->editCurrentRow();
        QVERIFY(shown && firstQuantity == QStringLiteral("2"));
        const waybill::Waybill mended = bw->list().waybillAt(0);
        QCOMPARE(mended.goods[0].description, before.goods[0].description);
        QCOMPARE(mended.goods[0].productNumber, QStringLiteral("G-01"));
        QCOMPARE(mended.goods[1].description, QStringLiteral("焼き海苔"));
        QCOMPARE(mended.goods[1].quantity, QStringLiteral("3")); // as the window's number boxes keep it

        Panel& panel = bw->constantsPanel();
        panel.itemDescription()->setEditText(QStringLiteral("食品"));
        QTRY_VERIFY(!bw->isReading());
        for (qint64 row = 0; row < bw->list().rowCount(); ++row) {
            const waybill::Waybill w2 = bw->list().waybillAt(row);
            QVERIFY(w2.goods[0].description == QStringLiteral("食品") && w2.goods[0].productNumber.isEmpty() &&
                    w2.goods[1].description.isEmpty() && !w2.numericMode);
        }
        QCOMPARE(column(bw, OrderListModel::ItemsColumn), (QStringList{"食品", "食品", "食品"}));
        panel.itemDescription()->setEditText(QString());
        QTRY_VERIFY(!bw->isReading());
        QCOMPARE(bw->list().waybillAt(0).goods[0].description, before.goods[0].description);
        QVERIFY(bw->list().waybillAt(0).numericMode);
    }

    // A long list is read in slices while the event loop keeps turning.
    void longListStreams()
    {
        TestWindow w;
        QByteArray text = QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\n").toUtf8();
        constexpr int kRows = 40000;
        for (int i = 0; i < kRows; ++i)
            text += QStringLiteral("L-%1,1000001,東京都千代田区千代田1-%1,山田%1\n").arg(i).toUtf8();
        const QString path = writeFile(QStringLiteral("long.csv"), text);
        BatchWindow* bw =
            openList(w, QStringLiteral("short.csv"),
                     QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都,山田\n").toUtf8());
        int turns = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++turns; });
        ticker.start(0);
        QVERIFY(bw->openFile(path));
        QVERIFY(bw->isReading() && bw->findChild<QProgressBar*>()->format().startsWith(QStringLiteral("読み込み中")));
        QVERIFY(QTest::qWaitFor([bw] { return !bw->isReading(); }, 60000));
        ticker.stop();
        QVERIFY2(turns > 3, qPrintable(QString::number(turns))); // the event loop kept turning
        QCOMPARE(bw->list().countRows(orders::RowState::Printable), qint64(kRows));
        QCOMPARE(cell(bw, kRows - 1, OrderListModel::OrderNumberColumn), QStringLiteral("L-%1").arg(kRows - 1));
    }
};

} // namespace

QTEST_MAIN(BatchWindowTest)
#include "tst_batchwindow.moc"
