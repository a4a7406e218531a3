// The real pieces the other suites replace with doubles: the message box, the
// printer dialog, and the program itself started as the user starts it.
#include "support.h"

#include "app/desktop/filedialogs.h"
#include "app/desktop/messagebox.h"
#include "app/desktop/printerdialog.h"
#include "platform/memory.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <numeric>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace testing;
using desktop::MsgAnswer;

namespace {

// Runs `inside` on the modal dialog of type T that `open` shows.
template <typename T, typename Open>
auto withModal(Open open, std::function<void(T*)> inside)
{
    QTimer::singleShot(0, [inside] {
        auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        inside(dialog);
        if (dialog->isVisible()) // a check failed: let the test go on
            dialog->reject();
    });
    return open();
}

// The texts a dialog shows (captions, group titles, tips) that hold an English word;
// what the spooler says of its printers is theirs, in whatever language they were set up.
QStringList englishIn(QWidget* dialog)
{
    QStringList printersOwn;
    for (const QPrinterInfo& printer : QPrinterInfo::availablePrinters())
        printersOwn << printer.printerName() << printer.description() << printer.location() << printer.makeAndModel();
    printersOwn.removeAll(QString());
    QStringList english;
    for (QWidget* w : dialog->findChildren<QWidget*>()) {
        auto* label = qobject_cast<QLabel*>(w);
        auto* button = qobject_cast<QAbstractButton*>(w);
        auto* group = qobject_cast<QGroupBox*>(w);
        for (const QString& text : {w->toolTip(), label    ? label->text()
                                                  : button ? button->text()
                                                  : group  ? group->title()
                                                           : QString()})
            if (w->isVisibleTo(dialog) &&
                QRegularExpression(QStringLiteral("[A-Za-z]{3,}"))
                    .match(std::accumulate(printersOwn.cbegin(), printersOwn.cend(), text,
                                           [](QString t, const QString& own) { return t.remove(own); })
                               .remove(QStringLiteral("PDF")))
                    .hasMatch())
                english << text;
    }
    return english;
}

// A shop platform's export of 5 MB over `orders` one-row orders, the rest
// of each row a note.
void writeLongExport(const QString& path, int orders)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("Name,Lineitem quantity,Lineitem name,Shipping Name,Shipping Address1,Shipping Address2,Shipping City,"
            "Shipping Zip,Shipping Province,Shipping Country,Shipping Phone,Notes\r\n");
    const QByteArray row = QStringLiteral(",1,精密機械,山田太郎,千代田1-1,テストビル3F,千代田区,'100-0001,JP-13,JP,"
                                          "+81 3-1234-5678,")
                               .toUtf8() +
                           QByteArray(5'000'000 / orders, 'x') + "\r\n";
    for (int i = 0; i < orders; ++i)
        f.write("#" + QByteArray::number(1001 + i) + row);
}

// This process's resident memory, in KiB.
long residentKiB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    return statm.readAll().split(' ').value(1).toLong() * (sysconf(_SC_PAGESIZE) / 1024);
}

// Memory pages the system has handed to this process's ended children.
long childrensFreshPages()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_minflt;
}

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    // はい and いいえ answer as they say, Escape as いいえ; the caption is the
    // message's own or the program's; a notice answers OK.
    void messageBox()
    {
        desktop::QtMessageBox boxes(QStringLiteral("ホルテア"));
        const desktop::Message question{QStringLiteral("終了しますか？"), desktop::MsgIcon::Question,
                                        desktop::MsgButtons::YesNo, MsgAnswer::Yes, QStringLiteral(" 　ホルテア　　")};
        for (auto [pressed, answer] : {std::pair{QMessageBox::Yes, MsgAnswer::Yes},
                                       {QMessageBox::No, MsgAnswer::No},
                                       {QMessageBox::NoButton, MsgAnswer::No}})
            QCOMPARE(withModal<QMessageBox>([&] { return boxes.show(nullptr, question); },
                                            [pressed](QMessageBox* box) {
                                                QCOMPARE(box->text() + box->windowTitle(),
                                                         QStringLiteral("終了しますか？ 　ホルテア　　"));
                                                QCOMPARE(box->icon(), QMessageBox::Question);
                                                QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
                                                QCOMPARE(box->button(QMessageBox::No)->text(),
                                                         QStringLiteral("いいえ(&N)"));
                                                pressed == QMessageBox::NoButton ? QTest::keyClick(box, Qt::Key_Escape)
                                                                                 : box->button(pressed)->click();
                                            }),
                     answer);
        // Buttons that say what they do; いいえ the default, taken by Enter.
        auto printAnyway = question;
        printAnyway.defaultButton = MsgAnswer::No;
        printAnyway.yesText = QStringLiteral("このまま印刷"), printAnyway.noText = QStringLiteral("戻る");
        QCOMPARE(withModal<QMessageBox>([&] { return boxes.show(nullptr, printAnyway); },
                                        [](QMessageBox* box) {
                                            QCOMPARE(box->button(QMessageBox::Yes)->text() +
                                                         box->defaultButton()->text(),
                                                     QStringLiteral("このまま印刷戻る"));
                                            QTest::keyClick(box, Qt::Key_Return);
                                        }),
                 MsgAnswer::No);
        QCOMPARE(withModal<QMessageBox>(
                     [&] {
                         desktop::warn(boxes, nullptr, QStringLiteral("多重起動できません。"));
                         return 0;
                     },
                     [](QMessageBox* box) {
                         QVERIFY(box->windowTitle() == QStringLiteral("ホルテア") &&
                                 box->icon() == QMessageBox::Warning);
                         QCOMPARE(box->standardButtons(), QMessageBox::Ok);
                         box->accept();
                     }),
                 0);
    }

    // Qt's own texts are Japanese: its translation is loaded, and what it leaves in English is said in Japanese too.
    void qtTextsInJapanese()
    {
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(buttons.button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));
        QCOMPARE(buttons.button(QDialogButtonBox::Save)->text(), QStringLiteral("保存"));

        // The file dialogs' list, on a machine set up in English (as this test runs): kinds, sizes and dates in
        // Japanese, each column as wide as its texts.
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("注文")));
        QFile file(dir.filePath(QStringLiteral("住所録.csv")));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("a,b\n") == 4);
        file.close();
        QFileDialog dialog(nullptr, QStringLiteral("住所録の読み込み"), dir.path(),
                           QStringLiteral("CSVファイル (*.csv)"));
        desktop::prepareFileDialog(dialog);
        dialog.show();
        auto* list = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
        QTRY_COMPARE(list->model()->rowCount(list->rootIndex()), 2);
        QTest::qWait(50);
        auto text = [&](int row, int column) {
            return list->model()->index(row, column, list->rootIndex()).data().toString();
        };
        const int folder = text(0, 0) == QStringLiteral("注文") ? 0 : 1;
        QCOMPARE(text(folder, 2) + text(1 - folder, 1) + text(1 - folder, 2),
                 QStringLiteral("フォルダ4 バイトCSV ファイル"));
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}$")).match(text(0, 3)).hasMatch(),
            qPrintable(text(0, 3)));
        for (int column = 1; column <= 3; ++column)
            QVERIFY2(list->header()->sectionSize(column) >=
                         static_cast<QAbstractItemView*>(list)->sizeHintForColumn(column),
                     qPrintable(QString::number(column)));
        QVERIFY2(englishIn(&dialog).isEmpty(), qPrintable(englishIn(&dialog).join(QLatin1Char('|'))));

        // Saving: the filter asked for is the one shown, the one chosen comes back with the file.
        const QString utf8 = QStringLiteral("UTF-8 (*.csv)"), cp932 = QStringLiteral("CP932 (*.csv)"),
                      out = dir.filePath(QStringLiteral("書.csv"));
        QString chosen = cp932;
        QCOMPARE(withModal<QFileDialog>(
                     [&] {
                         return desktop::saveFileName(nullptr, {}, dir.path(), utf8 + QStringLiteral(";;") + cp932,
                                                      &chosen);
                     },
                     [&](QFileDialog* save) {
                         QCOMPARE(save->selectedNameFilter(), cp932);
                         save->selectNameFilter(utf8), save->selectFile(out);
                         save->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Save)->click();
                     }) +
                     chosen,
                 out + utf8);
    }

    // The dialog opens as a setup form (the page range and copies tab gone,
    // one page), in Japanese throughout, and says whether it was confirmed.
    void printerDialog()
    {
        QPrinter printer;
        desktop::QtPrinterDialog dialog;
        for (bool confirm : {false, true})
            QCOMPARE(withModal<QPrintDialog>(
                         [&] { return dialog.run(nullptr, printer); },
                         [confirm](QPrintDialog* d) {
                             for (QAbstractButton* options : d->findChildren<QAbstractButton*>())
                                 if (options->text().startsWith(QStringLiteral("オプション")) && !confirm)
                                     options->click(); // the options shown
                             QVERIFY2(englishIn(d).isEmpty(), qPrintable(englishIn(d).join(QLatin1Char('|'))));
                             QCOMPARE(d->windowTitle(), QStringLiteral("プリンタの設定"));
                             QVERIFY(!d->testOption(QAbstractPrintDialog::PrintCollateCopies));
                             QCOMPARE(d->maxPage(), 1);
                             for (QTabWidget* tabs : d->findChildren<QTabWidget*>())
                                 for (int i = 0; i < tabs->count(); ++i)
                                     QVERIFY(tabs->widget(i)->objectName() != QStringLiteral("copiesTab"));
                             confirm ? d->accept() : d->reject();
                         }),
                     confirm);
    }

    // The program started as from the menu: it loads (its offset files
    // appear beside it) and keeps running until it is closed.
    void programStartsAndKeepsRunning()
    {
        QTemporaryDir home;
        const QString program = home.filePath(QStringLiteral("horutea"));
        QVERIFY(QFile::copy(QStringLiteral(HORUTEA_PROGRAM), program));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home.path());
        QProcess run;
        run.setProcessEnvironment(env);
        run.start(program, {});
        QVERIFY(QTest::qWaitFor([&] { return QFile::exists(home.filePath(QStringLiteral("vanq_y01.txt"))); }, 10000));
        QVERIFY(!run.waitForFinished(1000));
        run.terminate();
        QVERIFY(run.waitForFinished(5000));
    }

    // Page after page of a long list runs in the memory the first pages took.
    // Once a list of megabytes had been read, the PDF writer's blocks went
    // back to the system after every page and came anew, zeroed: 5 to 16
    // fresh memory pages a page, a long batch at half speed. Two lists of the
    // same size, 20 orders and 2,000: only the pages may cost more.
    void longListPrintsInTheMemoryItTook()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer brings its own allocator; this measures the system's");
#endif
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
            env.insert(QString::fromLatin1(name), home.path());
        auto freshPagesFor = [&](int orders) {
            const QString list = home.filePath(QStringLiteral("orders-%1.csv").arg(orders));
            writeLongExport(list, orders);
            const long before = childrensFreshPages();
            QProcess run;
            run.setProcessEnvironment(env);
            run.start(QStringLiteral(HORUTEA_PROGRAM),
                      {QStringLiteral("--batch"), list, QStringLiteral("--pdf"), list + QStringLiteral(".pdf")});
            const bool ended = run.waitForFinished(60000) && run.exitCode() == 0;
            return ended ? childrensFreshPages() - before : -1L;
        };
        const long few = freshPagesFor(20);
        const long many = freshPagesFor(2000);
        QVERIFY(few > 0 && many > 0);
        QVERIFY2(many - few < 600,
                 qPrintable(QStringLiteral("%1 fresh memory pages for 1,980 more orders").arg(many - few)));
    }

    // The heap the window's start is about to use is made resident by a
    // helper thread (some of it may be already, from earlier work), and the
    // next allocations are carved from those pages instead of new ones.
    void heapFaultedInAheadIsUsedNext()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer brings its own allocator; this measures the system's");
#endif
        platform::keepFreedBlocksForReuse();
        constexpr long kAheadKiB = 8 * 1024;
        const long before = residentKiB();
        platform::faultInHeapAheadInBackground(kAheadKiB * 1024);
        QTRY_VERIFY2_WITH_TIMEOUT(residentKiB() - before >= kAheadKiB / 2,
                                  qPrintable(QStringLiteral("%1 KiB resident of 8 MiB").arg(residentKiB() - before)),
                                  5000);
        const long faultedIn = residentKiB();
        std::vector<char> used(6 * 1024 * 1024, 'x');
        QVERIFY2(residentKiB() - faultedIn < 512,
                 qPrintable(QStringLiteral("%1 KiB more for 6 MiB").arg(residentKiB() - faultedIn)));
        QCOMPARE(used.back(), 'x');
    }
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
