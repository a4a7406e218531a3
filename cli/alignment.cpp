#include "cli/alignment.h"

#include "cli/destination.h"
#include "cli/exit.h"
#include "cli/layouts.h"
#include "platform/instance.h"
#include "station/alignment.h"
#include "station/printrun.h"

#include <QPrinterInfo>

namespace cli {

namespace {

class NoInstanceCheck final : public platform::InstanceDetector {
public:
    bool anotherInstanceRunning() override { return false; }
};

print::PrintOffsets forPrint(adjust::SavedOffsets offsets)
{
    return {float(offsets.horizontalTenthMm), float(offsets.verticalTenthMm)};
}

// The layout of the run: the one named, else the printer's.
Result<print::Layout> layoutOfRun(station::Station& station, const QString& named)
{
    if (!named.isEmpty()) {
        Result<print::Layout> layout = layoutNamed(named, station.layouts());
        if (!layout)
            return layout;
        station.setLayoutOfRun(*layout);
    }
    return station.layoutInUse();
}

} // namespace

int runAlignmentSheet(const AlignmentRequest& request, const platform::Folders& folders, QTextStream& out,
                      QTextStream& err)
{
    auto done = [&](int code) {
        out.flush();
        err.flush();
        return code;
    };
    auto chosen = chooseDestination(request.queue, request.pdfPath, folders);
    if (!chosen) {
        err << chosen.error() << '\n';
        return done(exitCannotRun);
    }
    NoInstanceCheck noInstanceCheck;
    station::Station station(folders, noInstanceCheck, *(*chosen)->destination);
    station.setStorageProblemReceiver([&err](const storage::Problem& problem) { err << problem.message << '\n'; });
    const Result<print::Layout> layout = layoutOfRun(station, request.layout);
    if (!layout) {
        err << layout.error() << QStringLiteral("\n何も印刷していません。\n");
        return done(exitCannotRun);
    }
    const station::OffsetsForRun offsets = station::offsetsForRun(station, station.formQueue(), layout->name);
    if (!offsets.problems.isEmpty())
        err << offsets.problems << '\n';
    station::PrintRun run(station);
    const station::Printed printed = run.printAlignmentSheet(forPrint(offsets.offsets));
    if (!printed.delivery.ok) {
        err << printed.delivery.message << '\n';
        return done(exitCannotRun);
    }
    if (!printed.notice.isEmpty())
        err << printed.notice << '\n';
    out << QStringLiteral("位置合わせの用紙を %1 に印刷しました（左右のズレ %2、上下のズレ %3）。"
                          "読んだ値は horutea --alignment 左右 上下 [②の左右 ②の上下] で入れてください。\n")
               .arg(printed.delivery.destination)
               .arg(offsets.offsets.horizontalTenthMm)
               .arg(offsets.offsets.verticalTenthMm);
    return done(exitOk);
}

int runAlignment(const adjust::AlignmentReading& reading, const AlignmentRequest& request,
                 const platform::Folders& folders, QTextStream& out, QTextStream& err)
{
    auto done = [&](int code) {
        out.flush();
        err.flush();
        return code;
    };
    // Nothing is printed: the printer is only asked for its queue's name
    // and the form's length.
    auto chosen = chooseDestination({}, {}, folders);
    if (!chosen) {
        err << chosen.error() << '\n';
        return done(exitCannotRun);
    }
    const QString windowsQueue = (*chosen)->windowsQueue;
    const QString forQueue = request.queue.isEmpty() ? windowsQueue : request.queue;
    if (forQueue != windowsQueue && QPrinterInfo::printerInfo(forQueue).isNull()) {
        err << QStringLiteral("プリンタ「%1」が見つかりません。lpstat -p で名前を確かめてください。\n").arg(forQueue);
        return done(exitCannotRun);
    }
    NoInstanceCheck noInstanceCheck;
    station::Station station(folders, noInstanceCheck, *(*chosen)->destination);
    // The printer named for this reading, whose layout it is read on.
    Result<print::Layout> layout = request.layout.isEmpty() ? station.layouts().layoutForQueue(forQueue)
                                                            : layoutNamed(request.layout, station.layouts());
    if (!layout) {
        err << layout.error() << QStringLiteral("\nズレは変えていません。\n");
        return done(exitCannotRun);
    }
    const station::OffsetsForRun before = station::offsetsForRun(station, forQueue, layout->name);
    if (!before.problems.isEmpty())
        err << before.problems << '\n';
    std::optional<double> formLengthMm;
    if (const auto form = (*chosen)->systemPrinter->formPaper())
        formLengthMm = form->lengthMm;
    const auto outcome = adjust::alignmentOutcome(forPrint(before.offsets), reading, *layout, formLengthMm);
    if (!outcome) {
        err << outcome.error() << QStringLiteral("\nズレは変えていません。\n");
        return done(exitCannotRun);
    }
    const adjust::SavedOffsets after{outcome->horizontalTenthMm, outcome->verticalTenthMm};
    // The window's own files follow only its own printer's offsets.
    if (const auto saved = station::saveOffsets(station, forQueue, layout->name, after, forQueue == windowsQueue);
        !saved) {
        err << saved.error() << '\n';
        return done(exitCannotRun);
    }
    out << outcome->offsetsSentence << '\n';
    if (!outcome->differenceSentence.isEmpty())
        out << outcome->differenceSentence << '\n';
    return done(exitOk);
}

} // namespace cli
