// The batch window: an order list opened from a real file, its rows shown
// with their states and reasons, fixed and left out, and printed as one
// document through the real PDF output, measured page by page.
#include "support.h"
#include "waybillcheck.h"

#include "app/batchwindow.h"
#include "app/columnmappingdialog.h"
#include "app/listconstantspanel.h"
#include "app/orderlistmodel.h"
#include "app/roweditdialog.h"
#include "history/history.h"
#include "print/pdfoutput.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTableView>
#include <QTimer>

using namespace testing;
using app::BatchWindow;
using app::OrderListModel;

namespace {

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray fileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray shiftJis(const QString& text)
{
    QStringEncoder encoder("Shift_JIS");
    return encoder(text);
}

const waybill::Address kSender{QStringLiteral("1500001"), QStringLiteral("東京都渋谷区神宮前1-2-3"), QStringLiteral("神宮前ハイツ101"),
                               QStringLiteral("ホルテア商店"), {}, false, QStringLiteral("03-5555-0000")};

// A destination that refuses every document, as a stopped queue does, after
// the pages were made; or, once allowed, writes them into one PDF file.
class RefusingThenPdf final : public print::Destination {
public:
    explicit RefusingThenPdf(QString file) : m_pdf(std::move(file)) {}
    bool refuse = true;
    int refused = 0;
    print::Delivery print(int pageCount, const print::PageSource& pages, const print::Progress& progress) override
    {
        if (!refuse)
            return m_pdf.print(pageCount, pages, progress);
        for (int i = 0; i < pageCount; ++i)
            pages(i);
        ++refused;
        return {.message = QStringLiteral("プリンタ「form」は停止しているため、印刷を受け付けませんでした。")};
    }

private:
    print::PdfFileDestination m_pdf;
};

class BatchWindowTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_files;

    // The batch window of a loaded main window, its dialogs answered by
    // `script` (which fails the test when none is expected).
    BatchWindow* open(TestWindow& w, std::function<bool(QDialog&)> script = {})
    {
        w.showActive();
        w.form->openBatch();
        auto* bw = w.form->findChild<BatchWindow*>(QStringLiteral("BatchWindow"));
        if (!bw)
            qFatal("no batch window");
        bw->setDialogRunner([script](QDialog& dialog) {
            if (!script) {
                qWarning("unexpected dialog %s", qPrintable(dialog.objectName()));
                return false;
            }
            return script(dialog);
        });
        bw->activateWindow();
        if (!QTest::qWaitForWindowActive(bw))
            qWarning("the batch window did not become active");
        return bw;
    }

    static bool read(BatchWindow* bw, const QString& path, std::optional<csv::Encoding> encoding = std::nullopt)
    {
        if (!bw->openFile(path, encoding))
            return false;
        return QTest::qWaitFor([bw] { return !bw->isReading(); }, 20000);
    }

    static QString cell(BatchWindow* bw, int row, int column)
    {
        return bw->model().data(bw->model().index(row, column)).toString();
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

    static void saveSender(TestWindow& w, const waybill::Address& sender = kSender)
    {
        if (!w.session->addressBook().save(addressbook::Kind::Sender, sender))
            qFatal("sender not saved");
    }

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        // No spooler: a SystemPrinter would write new PDF files.
        qputenv("CUPS_SERVER", QFile::encodeName(m_files.filePath(QStringLiteral("no-cups.sock"))));
    }

    // The command of the main window opens one window and brings it back.
    void openedFromTheMainWindow()
    {
        TestWindow w;
        QVERIFY(w.c("batchButton")->isEnabled());
        w.showActive();
        QTest::keyClick(w.form.get(), Qt::Key_F4);
        BatchWindow* bw = nullptr;
        QTRY_VERIFY((bw = w.form->findChild<BatchWindow*>(QStringLiteral("BatchWindow"))) && bw->isVisible());
        QVERIFY(bw->isWindow());
        bw->close();
        w.click("batchButton");
        QCOMPARE(w.form->findChildren<BatchWindow*>().size(), 1);
        QVERIFY(bw->isVisible());
    }

    // Printable, refused and excluded rows side by side, each with its state
    // and reason; only the printable row is printed and becomes printed.
    void mixedListShowsStatesAndReasons()
    {
        TestWindow w;
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("mixed.csv"), QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\n"
            "A-1,1000001,東京都千代田区千代田1-1,山田太郎,03-1234-5678\n"
            "A-2,600001,北海道札幌市中央区,佐藤花子,011-222-3333\n"
            "A-3,5300001,大阪府大阪市北区梅田,,06-1111-2222\n"
            "A-4,8120011,福岡県福岡市博多区,高橋美咲,092-333-4444\n"
            "A-5,4600008,愛知県名古屋市中区栄,%1,052-555-6666\n").arg(QString(30, QChar(0x5c71))).toUtf8());
        BatchWindow* bw = open(w);
        QCOMPARE(bw->constantsPanel().constants().sender.name, kSender.name); // the saved sender, picked
        QVERIFY(read(bw, path));
        QCOMPARE(column(bw, OrderListModel::LineColumn), (QStringList{"2", "3", "4", "5", "6"}));
        QCOMPARE(column(bw, OrderListModel::OrderNumberColumn), (QStringList{"A-1", "A-2", "A-3", "A-4", "A-5"}));
        QCOMPARE(cell(bw, 0, OrderListModel::PostalCodeColumn), QStringLiteral("100-0001"));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "不備あり", "不備あり", "印刷できる", "不備あり"}));
        // Each refused row says why, naming the column, and the rest say nothing.
        QVERIFY(cell(bw, 0, OrderListModel::ReasonColumn).isEmpty());
        // What is wrong first; the column is named in the reasons in full.
        const QString postal = cell(bw, 1, OrderListModel::ReasonColumn);
        QVERIFY2(postal.startsWith(QStringLiteral("郵便番号「600001」")) && postal.contains(QStringLiteral("0600001")), qPrintable(postal));
        QVERIFY(cell(bw, 2, OrderListModel::ReasonColumn).startsWith(QStringLiteral("お届け先の名前がありません")));
        QVERIFY(bw->model().data(bw->model().index(2, OrderListModel::ReasonColumn), Qt::ToolTipRole).toString().contains(QStringLiteral("「お届け先氏名」")));
        QVERIFY2(cell(bw, 4, OrderListModel::ReasonColumn).contains(QStringLiteral("はみ出")), qPrintable(cell(bw, 4, OrderListModel::ReasonColumn)));
        QVERIFY(bw->model().data(bw->model().index(1, OrderListModel::StateColumn), Qt::ToolTipRole).toString().startsWith(QStringLiteral("・「お届け先郵便番号」")));

        // Moving to a refused row shows its reasons under the table.
        QTest::keyClick(&bw->table(), Qt::Key_F8);
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{1}));
        QVERIFY2(bw->rowDetailText().startsWith(QStringLiteral("3行目の不備")) && bw->rowDetailText().contains(QStringLiteral("0600001")),
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
        const auto& texts = w.recording.lastPage().texts;
        QVERIFY(std::any_of(texts.begin(), texts.end(), [](const print::PageText& t) { return t.text == QStringLiteral("山田太郎"); }));
        QVERIFY(std::none_of(texts.begin(), texts.end(), [](const print::PageText& t) { return t.text == QStringLiteral("高橋美咲"); }));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷済み", "不備あり", "不備あり", "除外", "不備あり"}));
        QVERIFY2(bw->statusText().contains(QStringLiteral("1 枚")) && bw->statusText().contains(QStringLiteral("2行目")), qPrintable(bw->statusText()));

        // A refused row alone is never printed, nor is a printed row again.
        bw->selectRows({0, 1});
        clickButton(bw, "printSelectedButton");
        QCOMPARE(w.recording.attempts, 1);
        QVERIFY2(w.messages.last().contains(QStringLiteral("2、3行目")), qPrintable(w.messages.last()));
    }

    // Three rows through the real PDF output into one document: every text
    // of every page within 0.05 mm of its designed place, with the main
    // window's offsets; each row recorded with its order number.
    void threeRowsIntoOnePdf()
    {
        const QString pdfPath = m_files.filePath(QStringLiteral("three.pdf"));
        print::PdfFileDestination pdf(pdfPath);
        TestWindow w(false);
        w.printer = &pdf;
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("three.csv"), QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先住所2,お届け先氏名,お届け先様方,お届け先電話番号,商品名,商品番号\r\n"
            "B-1,1000001,東京都千代田区千代田1-1,,山田太郎,,03-1234-5678,焼き菓子,K-01\r\n"
            "B-2,530-0001,大阪府大阪市北区梅田2-4-9,梅田ビル12F,佐藤花子,経理部,06-9876-5432,,\r\n"
            "B-3,〒812-0011,福岡県福岡市博多区博多駅前3-1,博多ビル,高橋美咲,,092-333-4444,紅茶,T-3\r\n").toUtf8());
        w.setText("Sayuu_Xtxt", QStringLiteral("23"));
        w.setText("Jyouge_Ytxt", QStringLiteral("-7"));
        BatchWindow* bw = open(w);
        QVERIFY(read(bw, path));
        app::ListConstantsPanel& panel = bw->constantsPanel();
        QSignalSpy told(&bw->model(), &QAbstractItemModel::dataChanged);
        panel.deliveryTime()->setCurrentIndex(panel.deliveryTime()->findData(int(waybill::DeliveryTime::Afternoon)));
        panel.arrivalNotice()->setCurrentIndex(panel.arrivalNotice()->findData(int(waybill::ArrivalNotice::NotWanted)));
        panel.itemDescription()->setEditText(QStringLiteral("雑貨"));
        // Every row is checked again with them before anything prints.
        QVERIFY(bw->isReading());
        QVERIFY(!bw->findChild<QPushButton*>(QStringLiteral("printAllButton"))->isEnabled());
        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(bw->statusText().contains(QStringLiteral("確かめ終わってから")), qPrintable(bw->statusText()));
        QVERIFY(!QFile::exists(pdfPath));
        const qsizetype whenChanged = told.size();
        QTRY_VERIFY(!bw->isReading());
        QVERIFY(told.size() > whenChanged); // the table told again once the rows were checked

        // Offsets the print cannot take stop it before anything is made.
        w.setText("Jyouge_Ytxt", QStringLiteral("x"));
        clickButton(bw, "printAllButton");
        QVERIFY2(w.messages.last().contains(QStringLiteral("上下のズレ")), qPrintable(w.messages.last()));
        QVERIFY(!QFile::exists(pdfPath));
        w.setText("Jyouge_Ytxt", QStringLiteral("-7"));

        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY2(QFile::exists(pdfPath), qPrintable(bw->statusText()));
        QCOMPARE(pdf::pageCount(pdfPath), 3);

        auto expected = [](waybill::Address to, QString description, QString productNumber) {
            waybill::Waybill w;
            w.recipient = std::move(to);
            w.sender = kSender;
            w.deliveryTime = waybill::DeliveryTime::Afternoon;
            w.arrivalNotice = waybill::ArrivalNotice::NotWanted;
            w.goods[0].description = std::move(description);
            w.goods[0].productNumber = std::move(productNumber);
            return w;
        };
        const waybill::Waybill pages[] = {
            expected({"1000001", "東京都千代田区千代田1-1", "", "山田太郎", "", false, "03-1234-5678"}, "焼き菓子", "K-01"),
            expected({"5300001", "大阪府大阪市北区梅田2-4-9", "梅田ビル12F", "佐藤花子", "経理部", true, "06-9876-5432"}, "雑貨", ""),
            expected({"8120011", "福岡県福岡市博多区博多駅前3-1", "博多ビル", "高橋美咲", "", false, "092-333-4444"}, "紅茶", "T-3"),
        };
        for (int page = 1; page <= 3; ++page) {
            const double worst = checkWaybillPage(pdfPath, page, pages[page - 1], 23, -7, Corner{}, 0.05);
            QVERIFY(!QTest::currentTestFailed());
            qInfo("page %d: texts within %.3f mm of their designed places", page, worst);
        }
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷済み", "印刷済み", "印刷済み"}));
        QVERIFY(bw->statusText().contains(QStringLiteral("3 枚")));

        const auto recorded = w.session->history().search({.orderNumber = QStringLiteral("B-2")});
        QCOMPARE(recorded.size(), 1);
        QCOMPARE(recorded.front().record.waybill, pages[1]);
        QCOMPARE(recorded.front().record.offsetXTenthMm, 23.0);
        QCOMPARE(w.session->history().list(10).size(), 3);
    }

    // A cancel stops before the next page and releases nothing: no file, no
    // history, every row still printable and selected for another try. The
    // main window cannot start a print meanwhile.
    void cancelReleasesNothing()
    {
        const QString pdfPath = m_files.filePath(QStringLiteral("cancelled.pdf"));
        print::PdfFileDestination pdf(pdfPath);
        TestWindow w(false);
        w.printer = &pdf;
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("cancel.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区,山田\n5300001,大阪府大阪市,佐藤\n8120011,福岡県福岡市,高橋\n").toUtf8());
        BatchWindow* bw = open(w);
        QVERIFY(read(bw, path));
        auto* cancel = bw->findChild<QPushButton*>(QStringLiteral("cancelButton"));
        int pagesWhenCancelled = -1;
        QTimer::singleShot(0, bw, [&] {
            QVERIFY(bw->isPrinting());
            testing::click(w.c("InsatsuBtn")); // not let through while the document is made
            QTest::mouseClick(cancel, Qt::LeftButton);
            pagesWhenCancelled = bw->findChild<QProgressBar*>()->value();
        });
        clickButton(bw, "printAllButton");
        QCOMPARE(pagesWhenCancelled, 1);
        QVERIFY(!bw->isPrinting());
        QVERIFY(!QFile::exists(pdfPath));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる", "印刷できる"}));
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{0, 1, 2}));
        QVERIFY2(bw->statusText().contains(QStringLiteral("中止")) && bw->statusText().contains(QStringLiteral("1枚もプリンタに送っていません")),
                 qPrintable(bw->statusText()));
        QVERIFY(w.session->history().list(10).isEmpty());
        QVERIFY(w.messages.shown.empty());
    }

    // A refused document names the rows that did not reach the printer (all
    // of them: one document is one job) and leaves them printable and
    // selected; one command prints exactly them.
    void refusedJobPrintsAgainWithOneCommand()
    {
        const QString pdfPath = m_files.filePath(QStringLiteral("again.pdf"));
        RefusingThenPdf printer(pdfPath);
        TestWindow w(false);
        w.printer = &printer;
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("again.csv"), QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\n"
            "C-1,1000001,東京都千代田区,山田\nC-2,5300001,大阪府大阪市,佐藤\nC-3,8120011,福岡県福岡市,高橋\n").toUtf8());
        BatchWindow* bw = open(w);
        QVERIFY(read(bw, path));
        bw->selectRows({0, 2});
        bw->table().setFocus();
        QTest::keyClick(bw, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(printer.refused, 1);
        const QString said = w.messages.last();
        QVERIFY2(said.contains(QStringLiteral("停止している")) && said.contains(QStringLiteral("どの行もプリンタに届いていません")) &&
                     said.contains(QStringLiteral("2、4行目")),
                 qPrintable(said));
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる", "印刷できる"}));
        QCOMPARE(bw->selectedRows(), (std::vector<qint64>{0, 2}));
        QVERIFY(w.session->history().list(10).isEmpty());

        printer.refuse = false;
        clickButton(bw, "printSelectedButton");
        QCOMPARE(pdf::pageCount(pdfPath), 2);
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷済み", "印刷できる", "印刷済み"}));
        QVERIFY(pdf::run(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"), pdfPath, QStringLiteral("-")}).contains(QStringLiteral("高橋")));
        QCOMPARE(w.session->history().search({.orderNumber = QStringLiteral("C-3")}).size(), 1);
        QVERIFY(w.session->history().search({.orderNumber = QStringLiteral("C-2")}).isEmpty());
    }

    // Headings no table knows go through the column dialog; the choice is
    // kept in the settings file, and the next list with those headings, in
    // a later run, opens without asking.
    void unknownHeadingsAreMappedOnceAndRemembered()
    {
        TestWindow w;
        saveSender(w);
        const QByteArray rows = QStringLiteral("受付No,宛先氏名,宛先〒,宛先所在地,宛先TEL,内容\n"
                                               "R-1,山田太郎,100-0001,東京都千代田区千代田1-1,03-1234-5678,紅茶\n"
                                               "R-2,佐藤花子,530-0001,大阪府大阪市北区梅田,06-9876-5432,焼き菓子\n").toUtf8();
        const QString first = writeFile(m_files, QStringLiteral("unknown1.csv"), rows);
        int dialogs = 0;
        BatchWindow* bw = open(w, [&](QDialog& dialog) {
            ++dialogs;
            auto* mapping = qobject_cast<app::ColumnMappingDialog*>(&dialog);
            [&] {
                QVERIFY(mapping);
                // What the headings suggest is chosen already.
                QCOMPARE(mapping->chosen(), (orders::ColumnMap{orders::Field::OrderNumber, orders::Field::Name, orders::Field::PostalCode,
                                                               orders::Field::AddressLine1, orders::Field::Telephone, orders::Field::None}));
                // The first row's cells stand beside their headings.
                const QList<QLabel*> labels = mapping->findChildren<QLabel*>();
                QVERIFY(std::any_of(labels.begin(), labels.end(), [](QLabel* l) { return l->text() == QStringLiteral("東京都千代田区千代田1-1"); }));
                mapping->choose(0, orders::Field::Name);
                mapping->choose(1, orders::Field::Name);
                QVERIFY(!mapping->canAccept());
                QVERIFY2(mapping->verdictText().contains(QStringLiteral("1列目と2列目")), qPrintable(mapping->verdictText()));
                mapping->choose(0, orders::Field::None);
                mapping->choose(2, orders::Field::None);
                QVERIFY2(mapping->verdictText().contains(QStringLiteral("次の欄になる列を選んでください：郵便番号")), qPrintable(mapping->verdictText()));
                mapping->choose(0, orders::Field::OrderNumber);
                mapping->choose(2, orders::Field::PostalCode);
                mapping->choose(5, orders::Field::ItemDescription);
                QVERIFY2(mapping->canAccept(), qPrintable(mapping->verdictText()));
            }();
            dialog.accept();
            return mapping && mapping->canAccept();
        });
        QVERIFY(read(bw, first));
        QCOMPARE(dialogs, 1);
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる"}));
        QCOMPARE(column(bw, OrderListModel::OrderNumberColumn), (QStringList{"R-1", "R-2"}));
        QCOMPARE(bw->list().waybillAt(1).goods[0].description, QStringLiteral("焼き菓子"));
        QVERIFY(bw->bannerText().isEmpty());

        // Another file with the same headings, in a new run of the program.
        const QString second = writeFile(m_files, QStringLiteral("unknown2.csv"), rows);
        w.rebuild();
        QVERIFY(w.form->Form_Load());
        BatchWindow* again = open(w);
        QVERIFY(read(again, second));
        QCOMPARE(again->list().mappingSource(), orders::MappingSource::Remembered);
        QCOMPARE(column(again, OrderListModel::StateColumn), (QStringList{"印刷できる", "印刷できる"}));
        QSettings settings(w.folders.settingsFile(), QSettings::IniFormat);
        QCOMPARE(settings.childGroups(), QStringList{QStringLiteral("orderColumns")});

        // Cancelled, the dialog leaves the rows unchecked and says what is missing.
        const QString third = writeFile(m_files, QStringLiteral("unknown3.csv"), "x,y\n1,2\n");
        again->setDialogRunner([](QDialog& dialog) {
            auto* mapping = qobject_cast<app::ColumnMappingDialog*>(&dialog);
            [&] {
                QVERIFY(mapping && !mapping->canAccept());
                QVERIFY(mapping->verdictText().contains(QStringLiteral("郵便番号、住所1（番地まで）、名前")));
            }();
            return false;
        });
        QVERIFY(read(again, third));
        QCOMPARE(column(again, OrderListModel::StateColumn), QStringList{QStringLiteral("確認待ち")});
        QVERIFY2(again->bannerText().contains(QStringLiteral("列の対応")), qPrintable(again->bannerText()));
    }

    // A row fixed in the window prints fixed while the file keeps every
    // byte; the detected encoding can be overridden and set back.
    void fixingARowLeavesTheFileAlone()
    {
        TestWindow w;
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("fix.csv"), shiftJis(QStringLiteral(
            "注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名,お届け先電話番号\r\n"
            "F-1,600001,北海道札幌市中央区北一条西,㈱札幌商会,11-222-3333\r\n"
            "F-2,1000001,東京都千代田区千代田1-1,山田太郎,03-1234-5678\r\n")));
        const QByteArray before = fileBytes(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        BatchWindow* bw = open(w, [&](QDialog& dialog) {
            auto* edit = qobject_cast<app::RowEditDialog*>(&dialog);
            if (!edit)
                return false;
            [&] {
                QCOMPARE(edit->findingTexts().size(), 2); // postal code and telephone
                edit->applySuggestions();
                QCOMPARE(edit->field(orders::Field::PostalCode)->text(), QStringLiteral("0600001"));
                QCOMPARE(edit->field(orders::Field::Telephone)->text(), QStringLiteral("011-222-3333"));
                QVERIFY2(edit->findingTexts().isEmpty(), qPrintable(edit->findingTexts().join('\n')));
                edit->field(orders::Field::CareOf)->setText(QStringLiteral("総務部"));
            }();
            dialog.accept();
            return true;
        });
        QVERIFY(read(bw, path));
        QCOMPARE(bw->encodingChoice().currentData().toInt(), int(csv::Encoding::Cp932));
        QCOMPARE(cell(bw, 0, OrderListModel::NameColumn), QStringLiteral("㈱札幌商会"));

        // Read as UTF-8 the bytes are no text; back as CP932 they are.
        bw->encodingChoice().setCurrentIndex(bw->encodingChoice().findData(int(csv::Encoding::Utf8)));
        emit bw->encodingChoice().activated(bw->encodingChoice().currentIndex());
        QTRY_VERIFY(!bw->isReading());
        QCOMPARE(bw->model().rowCount(), 0);
        QVERIFY2(bw->bannerText().contains(QStringLiteral("UTF-8")), qPrintable(bw->bannerText()));
        QCOMPARE(bw->encodingChoice().currentData().toInt(), int(csv::Encoding::Utf8));
        bw->encodingChoice().setCurrentIndex(bw->encodingChoice().findData(int(csv::Encoding::Cp932)));
        emit bw->encodingChoice().activated(bw->encodingChoice().currentIndex());
        QTRY_VERIFY(!bw->isReading());
        QCOMPARE(column(bw, OrderListModel::StateColumn), (QStringList{"不備あり", "印刷できる"}));

        bw->selectRows({0});
        bw->table().setFocus();
        QTest::keyClick(&bw->table(), Qt::Key_Return);
        QCOMPARE(cell(bw, 0, OrderListModel::StateColumn), QStringLiteral("印刷できる（修正済み）"));
        QCOMPARE(cell(bw, 0, OrderListModel::PostalCodeColumn), QStringLiteral("060-0001"));
        QCOMPARE(fileBytes(path), before);
        QCOMPARE(QFileInfo(path).lastModified(), modified);

        // The whole list's sender changes for the fixed row too.
        bw->constantsPanel().senderField(app::ListConstantsPanel::Name)->setText(QStringLiteral("ホルテア商店 本店"));
        emit bw->constantsPanel().senderField(app::ListConstantsPanel::Name)->textEdited({});
        QTRY_COMPARE(bw->list().waybillAt(0).sender.name, QStringLiteral("ホルテア商店 本店"));
        QTRY_VERIFY(!bw->isReading());

        clickButton(bw, "printAllButton");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        const auto recorded = w.session->history().search({.orderNumber = QStringLiteral("F-1")});
        QCOMPARE(recorded.size(), 1);
        const waybill::Address& to = recorded.front().record.waybill.recipient;
        QCOMPARE(to.postalCode, QStringLiteral("0600001"));
        QCOMPARE(to.telephone, QStringLiteral("011-222-3333"));
        QCOMPARE(to.careOf, QStringLiteral("総務部"));
        QVERIFY(to.careOfShown);
        QCOMPARE(recorded.front().record.waybill.sender.name, QStringLiteral("ホルテア商店 本店"));
        QCOMPARE(fileBytes(path), before);

        // Opening the file again would forget the printed rows: asked first.
        w.messages.answers = {platform::MsgAnswer::No};
        QVERIFY(!bw->openFile(path));
        QVERIFY(w.messages.last().contains(QStringLiteral("印刷済みの印（2 行）")));
        QCOMPARE(cell(bw, 0, OrderListModel::StateColumn), QStringLiteral("印刷済み（修正済み）"));
    }

    // An edit shows in the table at once, whatever the row's state, and can
    // be taken back; a list without rows has nothing to edit.
    void editsShowAndCanBeTakenBack()
    {
        TestWindow w;
        saveSender(w);
        const QString path = writeFile(m_files, QStringLiteral("undo.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区,山田\n5300001,大阪府大阪市,佐藤\n").toUtf8());
        std::function<void(app::RowEditDialog&)> script;
        int dialogs = 0;
        BatchWindow* bw = open(w, [&](QDialog& dialog) {
            ++dialogs;
            auto* edit = qobject_cast<app::RowEditDialog*>(&dialog);
            if (!edit)
                return false;
            script(*edit);
            return dialog.result() == QDialog::Accepted;
        });
        QVERIFY(read(bw, path));
        QCOMPARE(cell(bw, 1, OrderListModel::NameColumn), QStringLiteral("佐藤"));

        auto revertButton = [](QDialog& d) {
            for (QPushButton* b : d.findChildren<QPushButton*>())
                if (b->text() == QStringLiteral("ファイルの内容に戻す"))
                    return b;
            return static_cast<QPushButton*>(nullptr);
        };
        script = [&](app::RowEditDialog& d) {
            QVERIFY(!revertButton(d)); // nothing to take back yet
            d.field(orders::Field::Name)->setText(QStringLiteral("佐藤花子"));
            d.accept();
        };
        bw->selectRows({1});
        bw->editCurrentRow();
        QCOMPARE(cell(bw, 1, OrderListModel::NameColumn), QStringLiteral("佐藤花子"));
        QCOMPARE(cell(bw, 1, OrderListModel::StateColumn), QStringLiteral("印刷できる（修正済み）"));

        script = [&](app::RowEditDialog& d) {
            QPushButton* revert = revertButton(d);
            QVERIFY(revert);
            QCOMPARE(d.field(orders::Field::Name)->text(), QStringLiteral("佐藤花子"));
            revert->click();
        };
        bw->editCurrentRow();
        QVERIFY(!bw->list().isEdited(1));
        QCOMPARE(cell(bw, 1, OrderListModel::NameColumn), QStringLiteral("佐藤"));
        QCOMPARE(cell(bw, 1, OrderListModel::StateColumn), QStringLiteral("印刷できる"));
        QCOMPARE(dialogs, 2);

        // Headings only: no row to edit, and the window says why.
        const QString empty = writeFile(m_files, QStringLiteral("empty.csv"), QStringLiteral("お届け先郵便番号,お届け先住所1,お届け先氏名\n").toUtf8());
        QVERIFY(read(bw, empty));
        QVERIFY2(bw->bannerText().contains(QStringLiteral("行がありません")), qPrintable(bw->bannerText()));
        bw->table().setFocus();
        QTest::keyClick(&bw->table(), Qt::Key_Return);
        bw->editCurrentRow();
        QCOMPARE(dialogs, 2);
        QVERIFY(!bw->findChild<QPushButton*>(QStringLiteral("printAllButton"))->isEnabled());
    }

    // The sender comes from the address book or is typed; the one printed
    // with becomes the most recent; an empty sender is asked about first.
    void senderFromTheAddressBook()
    {
        TestWindow w;
        waybill::Address other = kSender;
        other.name = QStringLiteral("ホルテア倉庫");
        other.careOf = QStringLiteral("出荷係");
        other.careOfShown = true;
        saveSender(w, other);
        QTest::qWait(5); // saved later, so used more recently
        saveSender(w, kSender);
        const QString path = writeFile(m_files, QStringLiteral("senders.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n1000001,東京都千代田区,山田\n").toUtf8());
        BatchWindow* bw = open(w);
        app::ListConstantsPanel& panel = bw->constantsPanel();
        QCOMPARE(panel.senderChoice()->count(), 3); // typed, then the two saved
        QCOMPARE(panel.senderField(app::ListConstantsPanel::Name)->text(), kSender.name);
        QVERIFY(read(bw, path));

        // Choosing the other one puts it in the fields, care-of line and all.
        panel.senderChoice()->setCurrentIndex(2);
        emit panel.senderChoice()->activated(2);
        QCOMPARE(panel.senderField(app::ListConstantsPanel::CareOf)->text(), QStringLiteral("出荷係"));
        QTRY_VERIFY(!bw->isReading());
        QCOMPARE(bw->list().waybillAt(0).sender, other);
        clickButton(bw, "printAllButton");
        QCOMPARE(w.recording.documents.size(), size_t(1));
        QCOMPARE(w.session->addressBook().recent(addressbook::Kind::Sender).front().address.name, other.name);

        // Typed over, it is no saved sender any more; emptied, printing asks.
        bw->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(bw));
        testing::type(panel.senderField(app::ListConstantsPanel::Name), QStringLiteral("別名"));
        QCOMPARE(panel.senderChoice()->currentIndex(), 0);
        QVERIFY(!panel.savedSenderInUse());
        for (auto part : {app::ListConstantsPanel::Name, app::ListConstantsPanel::Line1}) {
            panel.senderField(part)->clear();
            emit panel.senderField(part)->textEdited({});
        }
        QTRY_VERIFY(!bw->isReading());
        const QString again = writeFile(m_files, QStringLiteral("senders2.csv"), QStringLiteral(
            "お届け先郵便番号,お届け先住所1,お届け先氏名\n5300001,大阪府大阪市,佐藤\n").toUtf8());
        QVERIFY(read(bw, again));
        w.messages.answers = {platform::MsgAnswer::No};
        clickButton(bw, "printAllButton");
        QVERIFY2(w.messages.last().contains(QStringLiteral("ご依頼主の名前と住所が空です")), qPrintable(w.messages.last()));
        QCOMPARE(w.recording.documents.size(), size_t(1));
        w.messages.answers = {platform::MsgAnswer::Yes};
        clickButton(bw, "printAllButton");
        QCOMPARE(w.recording.documents.size(), size_t(2));
    }

    // A long list is read in slices from the event loop, and the table reads
    // row texts for the rows on screen only.
    void longListStreamsAndFetchesOnDemand()
    {
        TestWindow w;
        saveSender(w);
        QByteArray text = QStringLiteral("注文番号,お届け先郵便番号,お届け先住所1,お届け先氏名\n").toUtf8();
        constexpr int kRows = 40000;
        for (int i = 0; i < kRows; ++i)
            text += QStringLiteral("L-%1,1000001,東京都千代田区千代田1-%1,山田%1\n").arg(i).toUtf8();
        const QString path = writeFile(m_files, QStringLiteral("long.csv"), text);
        BatchWindow* bw = open(w);
        bw->resize(1100, 700);
        int turns = 0;
        QTimer ticker;
        connect(&ticker, &QTimer::timeout, [&] { ++turns; });
        ticker.start(0);
        QVERIFY(bw->openFile(path));
        QVERIFY(bw->isReading());
        QVERIFY(QTest::qWaitFor([bw] { return !bw->isReading(); }, 60000));
        ticker.stop();
        QVERIFY2(turns > 3, qPrintable(QString::number(turns))); // the event loop kept turning
        QCOMPARE(bw->model().rowCount(), kRows);
        QCOMPARE(bw->list().countRows(orders::RowState::Printable), qint64(kRows));
        QTRY_VERIFY(bw->model().rowsFetched() > 0); // painted
        QTest::qWait(20);
        const qint64 onScreen = bw->model().rowsFetched();
        QVERIFY2(onScreen > 0 && onScreen < 100, qPrintable(QString::number(onScreen)));
        bw->table().scrollToBottom();
        QTRY_VERIFY(bw->model().rowsFetched() > onScreen);
        QCOMPARE(cell(bw, kRows - 1, OrderListModel::OrderNumberColumn), QStringLiteral("L-%1").arg(kRows - 1));
        QVERIFY2(bw->model().rowsFetched() < 2 * onScreen + 10, qPrintable(QString::number(bw->model().rowsFetched())));
    }
};

} // namespace

QTEST_MAIN(BatchWindowTest)
#include "tst_batchwindow.moc"
