#pragma once
// The print spooler (CUPS) as the program talks to it: whether a queue can
// take a job now, and one finished PDF file handed over as one job, with
// every refusal reported in words that name the cause and what to do.
#include <QList>
#include <QString>
#include <optional>

class QPrinter;

namespace platform {

// One job option as `lp -o name=value` sends it. In a list, a later option
// replaces an earlier one of the same name.
struct JobOption {
    QString name;
    QString value;
    bool operator==(const JobOption&) const = default;
};
using JobOptions = QList<JobOption>;

enum class SpoolerProblem {
    None,
    ServiceDown, // the scheduler does not answer
    QueueNotFound,
    QueueStopped, // takes jobs but holds them until the printer is resumed
    NotAccepting, // refuses new jobs
    NotPermitted,
    FileUnreadable, // the document to print
    Other,          // the spooler's own words follow in the message
};

struct SpoolerResult {
    SpoolerProblem problem = SpoolerProblem::None;
    QString message; // Japanese, for the user; empty when all went well
    int jobId = 0;   // set by submitPdf when the spooler accepted the job
    bool ok() const { return problem == SpoolerProblem::None; }
};

struct Resolution {
    int xDpi = 0, yDpi = 0;
    bool operator==(const Resolution&) const = default;
    // Fine enough for the 0.1 mm steps of the print adjustment: 180 dpi,
    // the 24-pin head's own pitch, or finer both ways. Coarser modes move
    // the print in 1/60 or 1/120 inch steps.
    bool fineEnoughForForms() const;
    // The spooler's spelling: "180dpi", "360x180dpi".
    QString name() const;
    static std::optional<Resolution> fromName(const QString& name);
};

// What a queue says about itself, asked before anything is rendered.
struct QueueInfo {
    SpoolerResult status; // problem None: ready to take and print a job
    QString stateMessage; // the printer's own last word, often empty
    QList<Resolution> resolutions;
    std::optional<Resolution> defaultResolution;
    bool customSizes = false; // paper of any size within these limits
    double customMinWidthMm = 0, customMaxWidthMm = 0, customMinLengthMm = 0, customMaxLengthMm = 0;

    bool takesCustomSize(double widthMm, double lengthMm) const;
};

// Asks the scheduler about `queue` ("name" or "name/instance").
QueueInfo inspectQueue(const QString& queue);

// Hands one finished PDF file to `queue` as one job. The result carries the
// job id when the spooler accepted it, else the cause. A stopped queue takes
// the job and holds it: inspectQueue first tells that case apart.
SpoolerResult submitPdf(const QString& queue, const QString& pdfPath, const QString& title, const JobOptions& options);

// An exact paper size, for continuous forms. Both the IPP media name and the
// driver's page size are sent: on a queue with a driver (PPD) the scheduler
// turns a media size alone into the nearest standard size within 1.76 mm
// (215 × 279.4 mm becomes Letter), while PageSize reaches the driver as it is.
JobOptions customPaper(double widthMm, double lengthMm);
// A standard size by name: a PWG name ("iso_a4_210x297mm") or the driver's ("A4").
JobOptions standardPaper(const QString& name);

// The resolution to print at among those the queue offers: the one asked
// for (`requested`, from a Resolution or printer-resolution option there),
// else the queue's default, when fine enough for forms; otherwise the
// coarsest that is, as impact printers slow down in finer modes; failing
// that, the finest offered. Nothing when the queue offers no choice.
std::optional<Resolution> pickResolution(const QueueInfo& queue, const JobOptions& requested = {});
// The options that select `resolution`: the driver's Resolution and the IPP
// printer-resolution, for queues with and without a driver.
JobOptions resolutionOptions(std::optional<Resolution> resolution);

// What Qt's own CUPS engine would send for the next document on `printer`:
// the queue (without instance), the document name as title, and media,
// copies, collation, sides, landscape and the options the printer dialog
// stored on the printer, in the engine's order.
struct PrinterJobSettings {
    QString queue;
    QString title;
    JobOptions options;
};
PrinterJobSettings jobSettingsOf(const QPrinter& printer);

} // namespace platform
