#pragma once
// Test doubles of the platform and the printer: scripted answers, fixed
// folders, a printer that logs its operations and a destination that keeps
// the documents it is given.
#include "app/desktop/messagebox.h"
#include "app/desktop/printerdialog.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "print/destination.h"
#include "print/printjob.h"

#include <deque>
#include <functional>
#include <vector>

namespace testing {

class ScriptedMessageBox final : public desktop::MessageBox {
public:
    std::vector<desktop::Message> shown;
    std::deque<desktop::MsgAnswer> answers; // next answers; Ok / No when empty
    desktop::MsgAnswer show(QWidget*, const desktop::Message& m) override
    {
        shown.push_back(m);
        if (!answers.empty()) {
            const auto a = answers.front();
            answers.pop_front();
            return a;
        }
        return m.buttons == desktop::MsgButtons::YesNo ? desktop::MsgAnswer::No : desktop::MsgAnswer::Ok;
    }
    QString last() const { return shown.empty() ? QString() : shown.back().text; }
};

class FixedInstance final : public platform::InstanceDetector {
public:
    bool another = false;
    bool anotherInstanceRunning() override { return another; }
};

class TestFolders final : public platform::Folders {
public:
    QString app, user, docs, config;
    QString applicationFolder() const override { return app; }
    QString userDataFolder() const override { return user; }
    QString documentsFolder() const override { return docs; }
    QString configFolder() const override { return config; }
};

class ScriptedPrinterDialog final : public desktop::PrinterDialog {
public:
    int runs = 0;
    std::function<bool(QPrinter&)> answer = [](QPrinter&) { return false; };
    bool run(QWidget*, QPrinter& printer) override
    {
        ++runs;
        return answer(printer);
    }
};

// Logs every operation with its arguments, in order.
class RecordingPrinter final : public print::Printer {
public:
    enum class Kind { FontSize, FontName, FontBold, CurrentX, CurrentY, Fit, Print, DrawWidth, Circle };
    struct Op {
        Kind kind;
        double a = 0, b = 0, c = 0; // size / bold / x / y / fit size, percent / width / circle x, y, r
        QString text;               // font name or printed text
    };
    double reportedFontSize = -1; // < 0: report the size that was set
    std::vector<Op> ops;

    void setFontSize(int points) override { m_size = points, ops.push_back({Kind::FontSize, double(points)}); }
    double fontSize() const override { return reportedFontSize >= 0 ? reportedFontSize : m_size; }
    void setFontName(const QString& name) override { ops.push_back({Kind::FontName, 0, 0, 0, name}); }
    void setFontBold(bool bold) override { ops.push_back({Kind::FontBold, bold ? 1.0 : 0.0}); }
    void setCurrentX(float twips) override { ops.push_back({Kind::CurrentX, twips}); }
    void setCurrentY(float twips) override { ops.push_back({Kind::CurrentY, twips}); }
    void printText(const QString& text) override { ops.push_back({Kind::Print, 0, 0, 0, text}); }
    void fitNextText(double sizePt, double widthPercent) override { ops.push_back({Kind::Fit, sizePt, widthPercent}); }
    void setDrawWidth(int width) override { ops.push_back({Kind::DrawWidth, double(width)}); }
    void circle(float x, float y, float r) override { ops.push_back({Kind::Circle, x, y, r}); }

private:
    int m_size = 0;
};

// Keeps every document it is given, page by page, as the printer would get
// it: a document whose page cannot be made is not kept.
class RecordingDestination final : public print::Destination {
public:
    std::vector<std::vector<print::Page>> documents;
    int attempts = 0;
    QString queue; // the printer queue it plays, whose stack of forms it uses; none: a file
    QString formQueue() override { return queue; }
    print::Delivery print(int pageCount, const print::PageSource& pages, const print::Progress& progress) override
    {
        ++attempts;
        std::vector<print::Page> made;
        try {
            for (int i = 0; i < pageCount; ++i) {
                made.push_back(pages(i));
                if (progress && !progress(i + 1, pageCount))
                    return {.cancelled = true, .message = QStringLiteral("cancelled")};
            }
        } catch (const print::JobStopped& stop) {
            return {.message = stop.message};
        }
        documents.push_back(std::move(made));
        return {.ok = true, .destination = queue.isEmpty() ? QStringLiteral("recording") : queue, .pages = pageCount};
    }
    const print::Page& lastPage() const { return documents.back().back(); }
};

} // namespace testing
