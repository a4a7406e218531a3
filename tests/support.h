#pragma once
// The window wired to test doubles, and the one click/type helper of every
// suite.
#include "doubles.h"

#include "app/fields.h"
#include "app/form1.h"
#include "app/program.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHelpEvent>
#include <QLineEdit>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <memory>

namespace testing {

// Process-wide set-up every test binary with a window needs.
inline void initTestEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    app::setUpApplication();
}

// A click where a user clicks: near the control's top-left corner, inside
// its box (a radio button's or check box's indicator).
inline void click(QWidget* control) { QTest::mouseClick(control, Qt::LeftButton, {}, QPoint(4, 4)); }

// The widget keys go to: the application's focus widget, or, while the
// control's window is not the active one, the one its window would give them.
inline QWidget* focused(QWidget* control)
{
    QWidget* f = QApplication::focusWidget();
    if (!f || f->window() != control->window())
        f = control->window()->focusWidget();
    return f ? f : control;
}

// The tip a widget shows when the pointer rests on it at `at`.
inline QString tipAt(QWidget* widget, QPoint at = {4, 4})
{
    QHelpEvent rest(QEvent::ToolTip, at, widget->mapToGlobal(at));
    QApplication::sendEvent(widget, &rest);
    const QString tip = QToolTip::isVisible() ? QToolTip::text() : QString();
    QToolTip::hideText();
    return tip;
}

// Types into a text box or a combo box's edit field as a user does: focus
// (keys then go where the focus is, for a combo box the box itself), select
// all, delete, then the keys.
inline void type(QWidget* control, const QString& text)
{
    control->setFocus();
    QWidget* editor = focused(control);
    if (auto* combo = qobject_cast<QComboBox*>(control))
        combo->lineEdit()->selectAll();
    else if (auto* edit = qobject_cast<QLineEdit*>(editor))
        edit->selectAll();
    QTest::keyClick(editor, Qt::Key_Delete);
    // ASCII as keys; anything else as the key text a Japanese keyboard or
    // input method sends.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80) {
            QTest::keyClick(editor, c.toLatin1());
            continue;
        }
        const qsizetype n = c.isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text.mid(i, n));
        QApplication::sendEvent(editor, &key);
        i += n - 1;
    }
}

// A window over a fresh folder, loaded as at start-up.
struct TestWindow {
    QTemporaryDir dir;
    TestFolders folders;
    ScriptedMessageBox messages;
    FixedInstance instance;
    RecordingDestination recording;
    ScriptedPrinterDialog dialog;
    print::Destination* printer = &recording;
    print::SystemPrinter* systemPrinter = nullptr;
    int quits = 0;
    platform::DeviceFilter saveFilter; // set before rebuild() to make saves fail
    std::unique_ptr<station::Station> station;
    std::unique_ptr<station::PrintRun> printRun;
    std::unique_ptr<app::Services> services;
    std::unique_ptr<app::Form1> form;
    bool loaded = false;

    explicit TestWindow(bool load = true, print::SystemPrinter* real = nullptr)
    {
        if (real)
            printer = systemPrinter = real;
        folders.app = dir.filePath(QStringLiteral("app"));
        folders.user = dir.filePath(QStringLiteral("user"));
        folders.docs = dir.filePath(QStringLiteral("docs"));
        folders.config = dir.filePath(QStringLiteral("config"));
        QDir().mkpath(folders.app);
        rebuild();
        if (load)
            loaded = form->Form_Load();
    }
    // A new window of a new run over the same folders, not yet loaded.
    void rebuild()
    {
        form.reset();
        station = std::make_unique<station::Station>(folders, instance, *printer, saveFilter);
        printRun = std::make_unique<station::PrintRun>(*station);
        services = std::make_unique<app::Services>(
            app::Services{messages, *station, *printRun, dialog, systemPrinter, [this] { ++quits; }});
        form = std::make_unique<app::Form1>(*services);
    }

    template <typename T = QWidget>
    T* c(const char* name) const
    {
        T* w = form->control<T>(name);
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // Shown and active, as the user has it before clicking or typing.
    void showActive() const
    {
        if (form->isActiveWindow())
            return;
        form->show();
        form->activateWindow();
        if (!QTest::qWaitForWindowActive(form.get()))
            qWarning("the window did not become active");
    }
    void click(const char* name) const
    {
        showActive();
        testing::click(c(name));
    }
    void type(const char* name, const QString& text) const
    {
        showActive();
        testing::type(c(name), text);
    }
    // A recipient and a sender the check before a print finds nothing wrong
    // with, so 印刷 prints at once, as it does for a waybill typed in full.
    void fillPrintableWaybill() const
    {
        form->fillAddress(app::AddressBlock::Recipient, {QStringLiteral("1000001"),
                                                         QStringLiteral("東京都千代田区千代田1-1"),
                                                         {},
                                                         QStringLiteral("山田花子"),
                                                         {},
                                                         false,
                                                         QStringLiteral("03-1234-5678")});
        form->fillAddress(app::AddressBlock::Sender, {QStringLiteral("5300001"),
                                                      QStringLiteral("大阪府大阪市北区梅田1-1"),
                                                      {},
                                                      QStringLiteral("ホルテア商店"),
                                                      {},
                                                      false,
                                                      QStringLiteral("06-1234-5678")});
    }
    // Text of a text box or the edit text of a combo box, as the program reads it.
    QString text(const char* name) const { return app::fieldText(c(name)); }
    void setText(const char* name, const QString& text) const { app::setFieldText(c(name), text); }
    QString appFile(const QString& name) const { return QDir(folders.app).filePath(name); }
};

} // namespace testing
