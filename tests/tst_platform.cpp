// The real pieces the other suites replace with doubles: the message box, the
// printer dialog, and the program itself started as the user starts it.
#include "support.h"

#include "app/platform/messagebox.h"
#include "app/platform/printerdialog.h"

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

using namespace testing;
using platform::MsgAnswer;

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

} // namespace

class PlatformTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { initTestEnvironment(); }

    // はい and いいえ answer as they say, Escape as いいえ; the caption is the
    // message's own or the program's; a notice answers OK.
    void messageBox()
    {
        platform::QtMessageBox boxes(QStringLiteral("ホルテア"));
        const platform::Message question{QStringLiteral("終了しますか？"), platform::MsgIcon::Question, platform::MsgButtons::YesNo,
                                         MsgAnswer::Yes, QStringLiteral(" 　ホルテア　　")};
        for (auto [pressed, answer] : {std::pair{QMessageBox::Yes, MsgAnswer::Yes}, {QMessageBox::No, MsgAnswer::No},
                                       {QMessageBox::NoButton, MsgAnswer::No}})
            QCOMPARE(withModal<QMessageBox>([&] { return boxes.show(nullptr, question); }, [pressed](QMessageBox* box) {
                         QCOMPARE(box->text() + box->windowTitle(), QStringLiteral("終了しますか？ 　ホルテア　　"));
                         QCOMPARE(box->icon(), QMessageBox::Question);
                         QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
                         QCOMPARE(box->button(QMessageBox::No)->text(), QStringLiteral("いいえ(&N)"));
                         pressed == QMessageBox::NoButton ? QTest::keyClick(box, Qt::Key_Escape) : box->button(pressed)->click();
                     }),
                     answer);
        auto defaultNo = question;
        defaultNo.defaultButton = MsgAnswer::No;
        QCOMPARE(withModal<QMessageBox>([&] { return boxes.show(nullptr, defaultNo); }, [](QMessageBox* box) {
                     QCOMPARE(box->defaultButton(), box->button(QMessageBox::No));
                     QTest::keyClick(box, Qt::Key_Return);
                 }),
                 MsgAnswer::No);
        QCOMPARE(withModal<QMessageBox>([&] { platform::warn(boxes, nullptr, QStringLiteral("多重起動できません。")); return 0; },
                                        [](QMessageBox* box) {
                                            QVERIFY(box->windowTitle() == QStringLiteral("ホルテア") && box->icon() == QMessageBox::Warning);
                                            QCOMPARE(box->standardButtons(), QMessageBox::Ok);
                                            box->accept();
                                        }),
                 0);
    }

    // The dialog opens as a setup form (the page range and copies tab gone,
    // one page) and says whether it was confirmed.
    void printerDialog()
    {
        QPrinter printer;
        platform::QtPrinterDialog dialog;
        for (bool confirm : {false, true})
            QCOMPARE(withModal<QPrintDialog>([&] { return dialog.run(nullptr, printer); }, [confirm](QPrintDialog* d) {
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
};

QTEST_MAIN(PlatformTest)
#include "tst_platform.moc"
