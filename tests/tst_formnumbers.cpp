// The forms' pre-printed numbers through a real spooler (a private CUPS
// scheduler, cups/with-cupsd.sh --all-queues): the stack of forms moves on
// every form the spooler took and on nothing else, each page is recorded with
// its form's number, and the window sets the stack, shows the next number,
// lists the numbers and writes the shipping confirmations.
#include "expect.h"
#include "support.h"

#include "app/books/historywindow.h"
#include "app/tracking/formstackwindow.h"
#include "print/pdfoutput.h"
#include "print/systemprinter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QPrinterInfo>
#include <QTreeWidget>

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
        QCOMPARE(run.spoilForm()->display(), QStringLiteral("4444-1375-8740"));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8751"));
        QCOMPARE(spoiledNumbers(station), (QStringList{"4444-1375-8736", "4444-1375-8740"}));
        QCOMPARE(recordedNumbers(station).size(), 3);

        // A reprint from the history goes on the next form and says so.
        app::HistoryWindow* history = app::showHistory(*w.form, *w.services);
        history->choose(2); // the oldest: 8703
        QCOMPARE(history->chosenEntry()->record.trackingNumber->display(), QStringLiteral("4444-1375-8703"));
        history->printAgain();
        QVERIFY2(w.messages.shown.empty(), qPrintable(w.messages.last()));
        QCOMPARE(recordedNumbers(station).last(), QStringLiteral("4444-1375-8751"));
        QCOMPARE(station.history().list(1).front().record.waybill, three[0]);
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8762"));

        // A PDF file uses no form, unless a first number is given for it.
        print::PdfFileDestination file(pdfs.filePath(QStringLiteral("a.pdf")));
        station::Station toFile(w.folders, w.instance, file);
        station::PrintRun toFileRun(toFile);
        printed = toFileRun.printWaybills(std::span(three, 2), {});
        QVERIFY(printed.delivery.ok && printed.formNumbers.isEmpty());
        printed = toFileRun.printWaybills(
            2, [&](int i) { return three[i]; }, {}, {}, {}, number(Carrier::JapanPost, "4055-4842-4886"));
        QVERIFY(printed.delivery.ok);
        QCOMPARE(recordedNumbers(station).mid(4), (QStringList{"-", "-", "4055-4842-4886", "4055-4842-4890"}));
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8762"));
    }

    // Another program beside this one uses two forms of the same stack while
    // this document is being made: the spooler's pages then go on the forms
    // after those, and each page is recorded with the number of the form it
    // really went on, not the one foreseen before printing.
    void stackMovedByAnotherProgramMeanwhile()
    {
        TestWindow w(false);
        w.recording.queue = kQueue;
        station::Station& station = *w.station;
        const tracking::FormStackStore anotherProgram(w.folders.settingsFile());
        QVERIFY(anotherProgram.save(kQueue, tracking::FormStack(number(Carrier::Yamato, "444413758703"))));
        const waybill::Waybill three[] = {expect::filledWaybill(), expect::secondWaybill(), expect::filledWaybill()};
        bool moved = false;
        const auto printed = w.printRun->printWaybills(three, {}, [&](int done, int) {
            if (done == 1)
                moved = anotherProgram.take(kQueue, 2).has_value();
            return true;
        });
        QVERIFY2(printed.delivery.ok, qPrintable(printed.delivery.message));
        QVERIFY(moved);
        const QStringList used{"4444-1375-8725", "4444-1375-8736", "4444-1375-8740"};
        QCOMPARE(recordedNumbers(station), used);
        QStringList told;
        for (const tracking::TrackingNumber& n : printed.formNumbers)
            told << n.display();
        QCOMPARE(told, used);
        QCOMPARE(nextForm(station, kQueue), QStringLiteral("4444-1375-8751"));
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
