// The forms' pre-printed numbers through a real spooler (a private CUPS
// scheduler, cups/with-cupsd.sh --all-queues): the stack of forms moves on
// every form the spooler took and on nothing else, each page is recorded with
// its form's number, and the window sets the stack, shows the next number,
// lists the numbers and writes the shipping confirmations.
#include "expect.h"
#include "support.h"

#include "app/books/historywindow.h"
#include "app/tracking/formstackwindow.h"
#include "orders/shoplayouts.h"
#include "print/pdfoutput.h"
#include "print/systemprinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLockFile>
#include <QPrinterInfo>
#include <QStringConverter>
#include <QTreeWidget>
#include <thread>

using namespace testing;
using tracking::Carrier;

namespace {

const QString kQueue = QStringLiteral("waybill");

tracking::TrackingNumber number(Carrier carrier, const QString& typed)
{
    auto read = tracking::TrackingNumber::read(carrier, typed);
    if (!read)
        qFatal("%s", qPrintable(read.error()));
    return *read;
}

QString nextForm(station::Station& station, const QString& queue)
{
    const auto stack = station.formStacks().load(queue);
    return stack && *stack ? (*stack)->nextForm().display() : QString();
}

// The numbers the history holds, oldest first.
QStringList recordedNumbers(station::Station& station)
{
    QStringList numbers;
    for (const history::HistoryEntry& entry : station.history().list(100))
        numbers.prepend(entry.record.trackingNumber ? entry.record.trackingNumber->display() : QStringLiteral("-"));
    return numbers;
}

QStringList spoiledNumbers(station::Station& station)
{
    QStringList numbers;
    for (const history::SpoiledForm& form : station.history().spoiledForms())
        numbers.prepend(form.trackingNumber.display());
    return numbers;
}

QStringList column(QTreeWidget& list, int column)
{
    QStringList texts;
    for (int row = 0; row < list.topLevelItemCount(); ++row)
        texts << list.topLevelItem(row)->text(column);
    return texts;
}

} // namespace

class FormNumbersTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initTestEnvironment();
        QVERIFY2(qEnvironmentVariableIsSet("CUPS_SERVER"), "run through tests/cups/with-cupsd.sh --all-queues");
        QCOMPARE(QPrinterInfo::defaultPrinterName(), kQueue);
    }

    // 4444-1375-8703 and the forms after it (the check digit: the serial's
    // remainder modulo 7): 8714, 8725, 8736, 8740, 8751.
    void stackMovesOnEveryFormUsed()
    {
        QTemporaryDir pdfs;
        print::SystemPrinter printer(pdfs.path());
        TestWindow w(true, &printer);
        station::Station& station = *w.station;
        station::PrintRun& run = *w.printRun;
        QCOMPARE(station.formQueue(), kQueue);
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758703"))));

        // Three pages the spooler took: three forms, each page its own.
        const waybill::Waybill three[] = {expect::filledWaybill(), expect::secondWaybill(), expect::filledWaybill()};
        auto printed = run.printWaybills(three, {});
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8736"));
        QCOMPARE(recordedNumbers(station), (QStringList{"4444-1375-8703", "4444-1375-8714", "4444-1375-8725"}));
        QCOMPARE(station.history().list(1).front().record.waybill, three[2]);

        // Cancelled while the pages are made: nothing moves, nothing recorded.
        printed = run.printWaybills(std::span(three, 2), {}, [](int done, int) { return done < 1; });
        QVERIFY(!printed.delivery.ok && printed.delivery.cancelled);
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8736"));
        QCOMPARE(recordedNumbers(station).size(), 3);

        // A queue that refuses jobs: its stack stays where it was.
        print::SystemPrinter rejecting(pdfs.path());
        QVERIFY(rejecting.chooseWith([](QPrinter& p) {
            p.setPrinterName(QStringLiteral("rejecting"));
            return true;
        }));
        station::Station other(w.folders, w.instance, rejecting);
        station::PrintRun otherRun(other);
        QVERIFY(other.formStacks().save(QStringLiteral("rejecting"),
                                        tracking::FormStack(number(Carrier::Sagawa, "405548424886"))));
        printed = otherRun.printWaybills(std::span(three, 1), {});
        QVERIFY(!printed.delivery.ok);
        QCOMPARE(nextForm(other, QStringLiteral("rejecting")), QStringLiteral("4055-4842-4886"));
        QCOMPARE(recordedNumbers(station).size(), 3);

        // The test marks use one form, listed as spoiled; so does 1枚飛ばす.
        printed = run.printTestMarks({});
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8740"));
        QCOMPARE(run.spoilForm(number(Carrier::Yamato, "4444-1375-8740"))->display(), QStringLiteral("4444-1375-8740"));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8751"));
        QCOMPARE(spoiledNumbers(station), (QStringList{"4444-1375-8736", "4444-1375-8740"}));
        QCOMPARE(recordedNumbers(station).size(), 3);

        // A reprint from the history asks what the old form is; as another
        // parcel's, the page goes on the next form and both stay live.
        app::HistoryWindow* history = app::showHistory(*w.form, *w.services);
        history->choose(2); // the oldest: 8703
        QCOMPARE(history->chosenEntry()->record.trackingNumber->display(), QStringLiteral("4444-1375-8703"));
        w.messages.answers = {desktop::MsgAnswer::No};
        history->printAgain();
        QCOMPARE(w.messages.shown.size(), size_t(1));
        QVERIFY(w.messages.last().contains(QStringLiteral("4444-1375-8703")));
        QVERIFY(spoiledNumbers(station).size() == 2);
        QCOMPARE(recordedNumbers(station).last(), QStringLiteral("4444-1375-8751"));
        QCOMPARE(station.history().list(1).front().record.waybill, three[0]);
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8762"));

        // A PDF file uses no form, unless a first number is given for it.
        print::PdfFileDestination file(pdfs.filePath(QStringLiteral("a.pdf")));
        station::Station toFile(w.folders, w.instance, file);
        station::PrintRun toFileRun(toFile);
        printed = toFileRun.printWaybills(std::span(three, 2), {});
        QVERIFY(printed.delivery.ok && printed.formNumbers.isEmpty());
        printed = toFileRun.printPages(
            2,
            [&](int i) {
                return station::PageToPrint{three[i], {}, {}, {}, {}};
            },
            {}, {}, number(Carrier::JapanPost, "4055-4842-4886"));
        QVERIFY(printed.delivery.ok);
        QCOMPARE(recordedNumbers(station).mid(4), (QStringList{"-", "-", "4055-4842-4886", "4055-4842-4890"}));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8762"));

        // The alignment sheet spends a form as the test marks do.
        printed = run.printAlignmentSheet({});
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8773"));
        QCOMPARE(spoiledNumbers(station).last(), QStringLiteral("4444-1375-8762"));
    }

    // Another program beside this one holds the stacks: a print waits for
    // it; one that holds them too long refuses the document, nothing
    // printed and nothing moved. While a document is made its forms are
    // held: another program asking for forms meanwhile gets none, and each
    // page is recorded with the form the stack handed out for it.
    void stackHeldByAnotherProgram()
    {
        TestWindow w(false);
        w.recording.queue = kQueue;
        station::Station& station = *w.station;
        station.setFormStackLockWaitMs(1500);
        const QString lockPath = w.folders.settingsFile() + QStringLiteral(".formstacks.lock");
        const tracking::FormStackStore anotherProgram(w.folders.settingsFile(),
                                                      tracking::FormStackStore::kMinimumFreeBytes, 0);
        QVERIFY(anotherProgram.save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758703"))));
        const waybill::Waybill three[] = {expect::filledWaybill(), expect::secondWaybill(), expect::filledWaybill()};

        // Held for a moment: waited for.
        {
            QLockFile held(lockPath);
            QVERIFY(held.tryLock(0));
            std::thread release([&] {
                std::this_thread::sleep_for(std::chrono::milliseconds(300));
                held.unlock();
            });
            const auto printed = w.printRun->printWaybills(std::span(three, 1), {});
            release.join();
            QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        }
        QCOMPARE(recordedNumbers(station), QStringList{"4444-1375-8703"});

        // Held longer than the wait: refused before anything is sent.
        station.setFormStackLockWaitMs(200);
        {
            QLockFile held(lockPath);
            QVERIFY(held.tryLock(0));
            const int attempts = w.recording.attempts;
            const auto printed = w.printRun->printWaybills(three, {});
            QVERIFY(!printed.delivery.ok);
            QVERIFY2(printed.delivery.message.contains(QStringLiteral("ほかのホルテア")) &&
                         printed.delivery.message.contains(QStringLiteral("何も印刷していません")),
                     qPrintable(printed.delivery.message));
            QCOMPARE(w.recording.attempts, attempts);
        }
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8714"));

        // While the document is made, the other program gets no form.
        bool otherGotForms = true;
        const auto printed = w.printRun->printWaybills(three, {}, [&](int done, int) {
            if (done == 1)
                otherGotForms = anotherProgram.take(kQueue, 2).has_value();
            return true;
        });
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QVERIFY(!otherGotForms);
        const QStringList used{"4444-1375-8714", "4444-1375-8725", "4444-1375-8736"};
        QCOMPARE(recordedNumbers(station).mid(1), used);
        QStringList told;
        for (const tracking::TrackingNumber& n : printed.formNumbers)
            told << n.display();
        QCOMPARE(told, used);
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8740"));
    }

    // A form number the history already holds is never given to a new
    // parcel: the same first number given twice is refused the second time,
    // with the reason, nothing printed; so is a stack set back onto a
    // spoiled form. The last form of a range prints, and then the stack is
    // used up. A carrier whose numbering is not confirmed is said, on every
    // print, to have its numbers after the typed one assumed.
    void numberNeverOnTwoParcels()
    {
        TestWindow w(false);
        w.recording.queue = kQueue;
        station::Station& station = *w.station;
        station::PrintRun& run = *w.printRun;
        const waybill::Waybill two[] = {expect::filledWaybill(), expect::secondWaybill()};
        const auto pages = [&](int i) { return station::PageToPrint{two[i], {}, {}, {}, {}}; };
        auto printed = run.printPages(2, pages, {}, {}, number(Carrier::Yamato, "444413758703"));
        QVERIFY2(printed.delivery.ok && printed.notice.isEmpty(),
                 qPrintable(printed.delivery.message + printed.notice));
        const int attempts = w.recording.attempts;
        printed = run.printPages(2, pages, {}, {}, number(Carrier::Yamato, "444413758714"));
        QVERIFY(!printed.delivery.ok);
        QVERIFY2(printed.delivery.message.contains(QStringLiteral("4444-1375-8714")) &&
                     printed.delivery.message.contains(QStringLiteral("2つの荷物")),
                 qPrintable(printed.delivery.message));
        QCOMPARE(w.recording.attempts, attempts);
        QCOMPARE(recordedNumbers(station).size(), 2);

        // The stack is left at the number given; 1枚飛ばす lists a form as
        // spoiled, and a stack set back onto it is refused too.
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8714"));
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758725"))));
        QVERIFY(run.spoilForm(number(Carrier::Yamato, "444413758725")));
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758725"))));
        printed = run.printWaybills(std::span(two, 1), {});
        QVERIFY2(!printed.delivery.ok && printed.delivery.message.contains(QStringLiteral("書き損じ")),
                 qPrintable(printed.delivery.message));

        // The last two numbers a stack of その他 can have.
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Other, "9998"))));
        printed = run.printWaybills(two, {});
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QCOMPARE(recordedNumbers(station).mid(2), (QStringList{"9998", "9999"}));
        QVERIFY2(printed.notice.contains(QStringLiteral("仮定")) && printed.notice.contains(QStringLiteral("9999")) &&
                     !printed.notice.contains(QStringLiteral("9998")),
                 qPrintable(printed.notice));
        printed = run.printWaybills(std::span(two, 1), {});
        QVERIFY2(!printed.delivery.ok && printed.delivery.message.contains(QStringLiteral("使い切り")),
                 qPrintable(printed.delivery.message));
        // Every run says it, for every number worked out.
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Seino, "500"))));
        for (const QString& expected : {QStringLiteral("501"), QStringLiteral("502")}) {
            if (expected == QStringLiteral("501"))
                QVERIFY(run.printWaybills(std::span(two, 1), {}).notice.isEmpty()); // 500 itself was typed
            printed = run.printWaybills(std::span(two, 1), {});
            QVERIFY2(printed.notice.contains(expected) && printed.notice.contains(QStringLiteral("西濃運輸")),
                     qPrintable(printed.notice));
        }
    }

    // Through the windows: a reprint asks what the earlier form is (and
    // prints nothing when the user steps back); spoiled, it is listed as
    // such and the platform's export has the new number only, with no other
    // platform's parcel. 1枚飛ばす asks too, naming the number.
    void reprintAndExportThroughTheWindow()
    {
        TestWindow w;
        w.recording.queue = kQueue;
        station::Station& station = *w.station;
        QVERIFY(station.formStacks().save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758703"))));
        const station::PageToPrint pages[] = {
            {expect::filledWaybill(),
             {history::Origin::Kind::ShopList, orders::shopToken(orders::Shop::RakutenRms)},
             QStringLiteral("421951-20261201-0000000001"),
             QStringLiteral("1000000001"),
             {}},
            {expect::secondWaybill(),
             {history::Origin::Kind::ShopList, orders::shopToken(orders::Shop::AmazonOrderReport)},
             QStringLiteral("503-1234567-7654321"),
             {},
             {QStringLiteral("11111111111111")}}};
        QVERIFY(w.printRun->printPages(2, [&](int i) { return pages[i]; }, {}).delivery.ok);

        app::HistoryWindow* history = app::showHistory(*w.form, *w.services);
        history->choose(1); // the Rakuten order's page, on 8703
        QCOMPARE(history->chosenEntry()->record.shipToId, QStringLiteral("1000000001"));
        const std::size_t documents = w.recording.documents.size();
        history->printAgain(); // answered やめる
        QCOMPARE(w.recording.documents.size(), documents);
        const desktop::Message& asked = w.messages.shown.back();
        QVERIFY(asked.buttons == desktop::MsgButtons::YesNoCancel &&
                asked.text.contains(QStringLiteral("4444-1375-8703")));
        QCOMPARE(asked.yesText, QStringLiteral("書き損じにする"));

        w.messages.answers = {desktop::MsgAnswer::Yes};
        history->choose(1);
        history->printAgain();
        QCOMPARE(w.recording.documents.size(), documents + 1);
        QCOMPARE(column(history->spoiledList(), 2), QStringList{"4444-1375-8703"});
        QVERIFY(history->spoiledList().topLevelItem(0)->text(4).contains(QStringLiteral("書き損じ")));
        QCOMPARE(history->chosenEntry()->record.trackingNumber->display(), QStringLiteral("4444-1375-8725"));
        QCOMPARE(history->chosenEntry()->record.shipToId, QStringLiteral("1000000001"));

        const QString path = w.dir.filePath(QStringLiteral("rakuten.csv"));
        QVERIFY(history->exportShipped(path, shipping::Format::Rakuten));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringDecoder cp932("Shift_JIS");
        const QStringList lines =
            QString(cp932(file.readAll())).remove(QLatin1Char('"')).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines[1].startsWith(QStringLiteral("421951-20261201-0000000001,1000000001,,444413758725,1001,")),
                 qPrintable(lines[1]));

        // 1枚飛ばす: asked, naming the next form; no moves nothing.
        app::FormStackWindow* stackWindow = app::showFormStack(*w.form, *w.services);
        QVERIFY(!stackWindow->skipForm());
        QVERIFY(w.messages.last().contains(QStringLiteral("4444-1375-8736")));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8736"));
        w.messages.answers = {desktop::MsgAnswer::Yes};
        QVERIFY(stackWindow->skipForm());
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8740"));
        QCOMPARE(spoiledNumbers(station), (QStringList{"4444-1375-8703", "4444-1375-8736"}));
    }

    // As the user does it: the stack set in its window from a scanner's
    // reading, two waybills printed with 印刷, the next number under 印刷,
    // the history listing and finding the numbers, the export written.
    void throughTheWindow()
    {
        QTemporaryDir pdfs;
        print::SystemPrinter printer(pdfs.path());
        TestWindow w(true, &printer);
        w.showActive();
        QTRY_COMPARE(w.c<QLabel>("nextFormLabel")->text(), QStringLiteral("伝票番号：未設定"));

        QTest::keyClick(w.form.get(), Qt::Key_F6);
        auto* stackWindow = w.form->findChild<app::FormStackWindow*>();
        QVERIFY(stackWindow && stackWindow->isVisible());
        QComboBox& carrier = stackWindow->carrierChoice();
        carrier.setCurrentIndex(carrier.findData(int(Carrier::JapanPost)));
        QVERIFY(stackWindow->ruleText().contains(QStringLiteral("12桁")));
        // A wrong check digit is refused and sets nothing.
        // Digits with the input method off, as the postal code: a scanner's keys arrive as digits and Enter;
        // digits the input method composed anyway arrive half-width.
        QVERIFY(!stackWindow->numberField().inputMethodQuery(Qt::ImEnabled).toBool());
        QInputMethodEvent composed;
        composed.setCommitString(QStringLiteral("４０５５"));
        QApplication::sendEvent(&stackWindow->numberField(), &composed);
        QCOMPARE(stackWindow->numberField().text(), QStringLiteral("4055"));
        QTest::keyClicks(&stackWindow->numberField(), QStringLiteral("48424887"));
        QTest::keyClick(&stackWindow->numberField(), Qt::Key_Return);
        QVERIFY(w.messages.last().contains(QStringLiteral("6 のはず")));
        QCOMPARE(w.c<QLabel>("nextFormLabel")->text(), QStringLiteral("伝票番号：未設定"));
        stackWindow->numberField().clear();
        // The scanner types the NW-7 symbol with its start and stop letters.
        QTest::keyClicks(&stackWindow->numberField(), QStringLiteral("A405548424886A"));
        QTest::keyClick(&stackWindow->numberField(), Qt::Key_Return);
        QVERIFY(stackWindow->currentText().contains(QStringLiteral("4055-4842-4886")));
        QVERIFY(w.c<QLabel>("nextFormLabel")->text().contains(QStringLiteral("4055-4842-4886")));

        // The second waybill has no sender: on forms printed with the sender, nothing is asked about it. After
        // each print the line under the commands says whom it went to, on which form, and the next one.
        QVERIFY(!stackWindow->senderPrePrintedChoice().isChecked());
        stackWindow->senderPrePrintedChoice().click();
        const std::size_t messagesBefore = w.messages.shown.size();
        w.form->fillFrom(expect::filledWaybill());
        w.click("InsatsuBtn");
        w.form->fillFrom(expect::secondWaybill());
        w.click("InsatsuBtn");
        QCOMPARE(w.messages.shown.size(), messagesBefore);
        auto* line = w.c<QLabel>("nextFormLabel");
        QCOMPARE(line->toolTip(), QStringLiteral("%1 様 → 伝票 4055-4842-4890 に印刷しました　次：4055-4842-4901")
                                      .arg(expect::secondWaybill().recipient.name));
        QVERIFY2(line->text().contains(QStringLiteral("4055-4842-4890")) &&
                     line->fontMetrics().horizontalAdvance(line->text()) <= line->width(),
                 qPrintable(line->text()));

        w.click("historyButton");
        auto* history = w.form->findChild<app::HistoryWindow*>();
        QVERIFY(history && history->isVisible());
        QTreeWidget& list = history->list();
        const int numberColumn = list.columnCount() - 1;
        QCOMPARE(list.headerItem()->text(numberColumn), QStringLiteral("伝票番号"));
        QCOMPARE(column(list, numberColumn), (QStringList{"4055-4842-4890", "4055-4842-4886"}));
        QCOMPARE(column(list, 1),
                 (QStringList{expect::secondWaybill().recipient.name, expect::filledWaybill().recipient.name}));
        QTest::keyClicks(&history->field(app::HistoryWindow::Key::TrackingNumber), QStringLiteral("4055 4842 4886"));
        history->search();
        QCOMPARE(column(list, 1), (QStringList{expect::filledWaybill().recipient.name}));

        const QString path = pdfs.filePath(QStringLiteral("shipped.csv"));
        QVERIFY(history->exportShipped(path, shipping::Format::Generic));
        // The format itself is read back in tst_tracking; here the history's rows reach it.
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll())
                                      .remove(QLatin1Char('"'))
                                      .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[1].contains(QStringLiteral("4055-4842-4886,") + QDate::currentDate().toString(Qt::ISODate) +
                                   QLatin1Char(',') + expect::filledWaybill().recipient.name),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(QStringLiteral("4055-4842-4890,")), qPrintable(lines[2]));

        // Forms without a printed sender: the missing sender is asked about, and 戻る prints nothing.
        stackWindow->senderPrePrintedChoice().click();
        QVERIFY(!w.station->formStacks().senderPrePrinted(w.station->formQueue()));
        w.click("InsatsuBtn");
        QVERIFY2(w.messages.last().contains(QStringLiteral("ご依頼主の名前がありません")),
                 qPrintable(w.messages.last()));
        QVERIFY(w.c<QLabel>("nextFormLabel")->toolTip().contains(QStringLiteral("4055-4842-4890"))); // nothing printed
        QVERIFY(stackWindow->currentText().contains(QStringLiteral("4055-4842-4901")));
    }
};

QTEST_MAIN(FormNumbersTest)
#include "tst_formnumbers.moc"
