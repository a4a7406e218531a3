#pragma once
// Shared test pieces: a window wired to scripted platform parts.
#include "app/form1.h"
#include "app/program.h"
#include "entry/fields.h"

#include <QDir>
#include <QLocale>
#include <QTemporaryDir>
#include <QTest>
#include <deque>
#include <memory>

namespace testing {

class ScriptedMessageBox final : public platform::MessageBox {
public:
    std::vector<platform::Message> shown;
    std::deque<platform::MsgAnswer> answers; // next answers; Ok / No when empty
    platform::MsgAnswer show(QWidget*, const platform::Message& m) override
    {
        shown.push_back(m);
        if (!answers.empty()) {
            const auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return m.buttons == platform::MsgButtons::YesNo ? platform::MsgAnswer::No : platform::MsgAnswer::Ok;
    }
};

class FixedInstance final : public platform::InstanceDetector {
public:
    bool another = false;
    bool anotherInstanceRunning() override { return another; }
};

class TestFolders final : public platform::Folders {
public:
    QString app, user, docs;
    QString applicationFolder() const override { return app; }
    QString userDataFolder() const override { return user; }
    QString documentsFolder() const override { return docs; }
};

class ScriptedPrinterDialog final : public platform::PrinterDialog {
public:
    int runs = 0;
    std::function<bool(QPrinter&)> answer = [](QPrinter&) { return false; };
    bool run(QWidget*, QPrinter& printer) override
    {
        ++runs;
        return answer(printer);
    }
};

// Process-wide set-up every test binary needs.
inline void initTestEnvironment()
{
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    app::setUpApplication();
}

// A window over a fresh folder, loaded as at start-up.
struct TestWindow {
    QTemporaryDir dir;
    TestFolders folders;
    ScriptedMessageBox messages;
    FixedInstance instance;
    platform::RecordingPrintTarget recording;
    ScriptedPrinterDialog dialog;
    platform::PrintTarget* target = &recording;
    int quits = 0;
    std::unique_ptr<app::Services> services;
    std::unique_ptr<app::Form1> form;
    bool loaded = false;

    explicit TestWindow(bool load = true, platform::PrintTarget* printTarget = nullptr)
    {
        if (printTarget)
            target = printTarget;
        folders.app = dir.filePath(QStringLiteral("app"));
        folders.user = dir.filePath(QStringLiteral("user"));
        folders.docs = dir.filePath(QStringLiteral("docs"));
        QDir().mkpath(folders.app);
        services = std::make_unique<app::Services>(
            app::Services{messages, instance, folders, *target, dialog, [this] { ++quits; }});
        form = std::make_unique<app::Form1>(*services);
        if (load)
            loaded = form->Form_Load();
    }

    template <typename T = QWidget>
    T* c(const char* name) const
    {
        T* w = form->control<T>(name);
        if (!w)
            qFatal("no control %s", name);
        return w;
    }
    // Text of a text box or the edit text of a combo box, as the program reads it.
    QString text(const char* name) const { return entry::fieldText(c(name)); }
    void setText(const char* name, const QString& text) const { entry::setFieldText(c(name), text); }
    QString appFile(const QString& name) const { return QDir(folders.app).filePath(name); }
};

} // namespace testing
