#include "platform/spooler.h"

#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QPageLayout>
#include <QPrintEngine>
#include <QPrinter>
#include <QRegularExpression>

#include <cups/cups.h>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace platform {

namespace {

// libcups is opened on first use instead of being linked: it brings some
// eighteen libraries of its own (GnuTLS, Kerberos, Avahi) whose loading and
// start-up code would cost every start of the window about 3 ms. The
// declarations of <cups/cups.h> give each pointer its exact type.
#define HORUTEA_CUPS_FUNCTIONS(F)                                                                                      \
    F(cupsServer)                                                                                                      \
    F(ippPort)                                                                                                         \
    F(cupsEncryption)                                                                                                  \
    F(cupsUser)                                                                                                        \
    F(httpConnect2)                                                                                                    \
    F(httpClose)                                                                                                       \
    F(httpAssembleURIf)                                                                                                \
    F(ippNewRequest)                                                                                                   \
    F(ippAddString)                                                                                                    \
    F(ippAddStrings)                                                                                                   \
    F(ippDelete)                                                                                                       \
    F(ippFindAttribute)                                                                                                \
    F(ippGetCount)                                                                                                     \
    F(ippGetBoolean)                                                                                                   \
    F(ippGetInteger)                                                                                                   \
    F(ippGetString)                                                                                                    \
    F(ippGetResolution)                                                                                                \
    F(ippGetCollection)                                                                                                \
    F(ippGetRange)                                                                                                     \
    F(ippGetValueTag)                                                                                                  \
    F(cupsDoRequest)                                                                                                   \
    F(cupsLastError)                                                                                                   \
    F(cupsLastErrorString)                                                                                             \
    F(cupsAddOption)                                                                                                   \
    F(cupsFreeOptions)                                                                                                 \
    F(cupsPrintFile2)

struct Cups {
#define HORUTEA_CUPS_POINTER(name) decltype(&::name) name = nullptr;
    HORUTEA_CUPS_FUNCTIONS(HORUTEA_CUPS_POINTER)
#undef HORUTEA_CUPS_POINTER
};

// Null when the library is missing or lacks a function.
const Cups* cups()
{
    static const std::optional<Cups> loaded = []() -> std::optional<Cups> {
        QLibrary library(QStringLiteral("cups"), 2);
        if (!library.load())
            return std::nullopt;
        Cups api;
        bool complete = true;
#define HORUTEA_CUPS_RESOLVE(name)                                                                                     \
    api.name = reinterpret_cast<decltype(api.name)>(library.resolve(#name));                                           \
    complete = complete && api.name;
        HORUTEA_CUPS_FUNCTIONS(HORUTEA_CUPS_RESOLVE)
#undef HORUTEA_CUPS_RESOLVE
        if (!complete)
            return std::nullopt;
        return api;
    }();
    return loaded ? &*loaded : nullptr;
}

// A connection to the scheduler for one exchange. A scheduler that is not
// running refuses at once; one that hangs is given up after a few seconds.
class Connection {
public:
    explicit Connection(const Cups& api) : m_api(api)
    {
        m_http = api.httpConnect2(api.cupsServer(), api.ippPort(), nullptr, AF_UNSPEC, api.cupsEncryption(), 1,
                                  kConnectTimeoutMs, nullptr);
    }
    ~Connection()
    {
        if (m_http)
            m_api.httpClose(m_http);
    }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    http_t* http() const { return m_http; }

private:
    static constexpr int kConnectTimeoutMs = 5000;
    const Cups& m_api;
    http_t* m_http = nullptr;
};

// The queue without the instance part of "name/instance": instances are
// option sets kept by the client, the scheduler knows only the queue.
QString queueOnly(const QString& queue) { return queue.section(QLatin1Char('/'), 0, 0); }

QString messageFor(SpoolerProblem problem, const QString& queue, const QString& detail)
{
    switch (problem) {
    case SpoolerProblem::None:
        return {};
    case SpoolerProblem::ServiceDown:
        return QStringLiteral("印刷サービス（CUPS）が動いていないため、印刷できませんでした。"
                              "印刷サービスを起動する（sudo systemctl start cups）か、管理者に連絡してください。");
    case SpoolerProblem::QueueNotFound:
        return QStringLiteral(
                   "プリンタ「%1」が見つからないため、印刷しませんでした。「プリンタの設定」でプリンタを選び直してください。")
            .arg(queue);
    case SpoolerProblem::QueueStopped: {
        // Stopped, the spooler would hold the job: a page that comes out
        // hours later, or twice after a retry, is worse than none.
        QString text =
            QStringLiteral(
                "プリンタ「%1」が停止しているため、印刷しませんでした。プリンタを再開してから、もう一度印刷してください。")
                .arg(queue);
        if (!detail.isEmpty())
            text += QStringLiteral("（プリンタの状態: %1）").arg(detail);
        return text;
    }
    case SpoolerProblem::NotAccepting:
        return QStringLiteral("プリンタ「%1」が印刷を受け付けない設定になっているため、印刷できませんでした。"
                              "システムのプリンタ設定で受け付けを再開する（cupsaccept %1）か、"
                              "「プリンタの設定」で別のプリンタを選んでください。")
            .arg(queue);
    case SpoolerProblem::NotPermitted:
        return QStringLiteral(
                   "プリンタ「%1」で印刷する権限がないため、印刷できませんでした。管理者に連絡してください。")
            .arg(queue);
    case SpoolerProblem::FileUnreadable:
        return QStringLiteral("印刷するファイル「%1」を読めなかったため、印刷できませんでした。").arg(detail);
    case SpoolerProblem::Other:
        return QStringLiteral("プリンタ「%1」に印刷できませんでした。印刷サービスの応答: %2").arg(queue, detail);
    }
    return {};
}

SpoolerResult failure(SpoolerProblem problem, const QString& queue, const QString& detail = {})
{
    return {problem, messageFor(problem, queue, detail), 0};
}

SpoolerProblem problemOf(ipp_status_t status)
{
    switch (status) {
    case IPP_STATUS_ERROR_NOT_FOUND:
        return SpoolerProblem::QueueNotFound;
    case IPP_STATUS_ERROR_NOT_ACCEPTING_JOBS:
        return SpoolerProblem::NotAccepting;
    case IPP_STATUS_ERROR_SERVICE_UNAVAILABLE:
        return SpoolerProblem::ServiceDown;
    case IPP_STATUS_ERROR_FORBIDDEN:
    case IPP_STATUS_ERROR_NOT_AUTHENTICATED:
    case IPP_STATUS_ERROR_NOT_AUTHORIZED:
    case IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED:
        return SpoolerProblem::NotPermitted;
    case IPP_STATUS_ERROR_DOCUMENT_ACCESS:
        return SpoolerProblem::FileUnreadable;
    default:
        return SpoolerProblem::Other;
    }
}

bool failed(ipp_status_t status) { return status > IPP_STATUS_OK_CONFLICTING; }

SpoolerResult libraryMissing(const QString& queue)
{
    return {SpoolerProblem::Other,
            QStringLiteral(
                "プリンタ「%1」に印刷できませんでした。印刷サービス（CUPS）のライブラリ libcups を読み込めません。"
                "管理者に連絡してください。")
                .arg(queue),
            0};
}

constexpr double kMmPerHundredthMm = 0.01;

// Custom size limits from media-size-supported, where a driver that takes
// any size within limits lists them as ranges.
void readCustomSizes(const Cups& api, ipp_attribute_t* sizes, QueueInfo& info)
{
    for (int i = 0; sizes && i < api.ippGetCount(sizes); ++i) {
        ipp_t* size = api.ippGetCollection(sizes, i);
        ipp_attribute_t* x = api.ippFindAttribute(size, "x-dimension", IPP_TAG_ZERO);
        ipp_attribute_t* y = api.ippFindAttribute(size, "y-dimension", IPP_TAG_ZERO);
        if (!x || !y || api.ippGetValueTag(x) != IPP_TAG_RANGE || api.ippGetValueTag(y) != IPP_TAG_RANGE)
            continue;
        int maxX = 0, maxY = 0;
        const int minX = api.ippGetRange(x, 0, &maxX);
        const int minY = api.ippGetRange(y, 0, &maxY);
        info.customSizes = true;
        info.customMinWidthMm = minX * kMmPerHundredthMm;
        info.customMaxWidthMm = maxX * kMmPerHundredthMm;
        info.customMinLengthMm = minY * kMmPerHundredthMm;
        info.customMaxLengthMm = maxY * kMmPerHundredthMm;
    }
}

Resolution resolutionAt(const Cups& api, ipp_attribute_t* attr, int index)
{
    int y = 0;
    ipp_res_t units = IPP_RES_PER_INCH;
    const int x = api.ippGetResolution(attr, index, &y, &units);
    if (units == IPP_RES_PER_CM)
        return {int(std::lround(x * 2.54)), int(std::lround(y * 2.54))};
    return {x, y};
}

QString formatMm(double mm)
{
    QString text = QString::number(mm, 'f', 2);
    while (text.endsWith(QLatin1Char('0')))
        text.chop(1);
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    return text;
}

// The print engine property under which Qt's printer dialog keeps the CUPS
// options chosen on its advanced pages, as name, value, name, value...
const auto kCupsOptionsProperty = QPrintEngine::PrintEnginePropertyKey(0xfe00);

} // namespace

// ---------------------------------------------------------------------------
// Queue state

QueueInfo inspectQueue(const QString& queue)
{
    QueueInfo info;
    const Cups* api = cups();
    if (!api) {
        info.status = libraryMissing(queue);
        return info;
    }
    const Connection connection(*api);
    if (!connection.http()) {
        info.status = failure(SpoolerProblem::ServiceDown, queue);
        return info;
    }

    ipp_t* request = api->ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    char uri[HTTP_MAX_URI];
    api->httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", api->ippPort(),
                          "/printers/%s", queueOnly(queue).toUtf8().constData());
    api->ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    api->ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, api->cupsUser());
    static const char* const wanted[] = {"printer-state",
                                         "printer-state-message",
                                         "printer-is-accepting-jobs",
                                         "printer-resolution-supported",
                                         "printer-resolution-default",
                                         "media-size-supported"};
    api->ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", int(std::size(wanted)),
                       nullptr, wanted);
    ipp_t* response = api->cupsDoRequest(connection.http(), request, "/");
    const ipp_status_t status = api->cupsLastError();
    if (!response || failed(status)) {
        info.status = failure(problemOf(status), queue, QString::fromUtf8(api->cupsLastErrorString()));
        api->ippDelete(response);
        return info;
    }

    if (ipp_attribute_t* a = api->ippFindAttribute(response, "printer-state-message", IPP_TAG_TEXT))
        info.stateMessage = QString::fromUtf8(api->ippGetString(a, 0, nullptr));
    if (ipp_attribute_t* a = api->ippFindAttribute(response, "printer-resolution-supported", IPP_TAG_RESOLUTION))
        for (int i = 0; i < api->ippGetCount(a); ++i)
            info.resolutions.append(resolutionAt(*api, a, i));
    if (ipp_attribute_t* a = api->ippFindAttribute(response, "printer-resolution-default", IPP_TAG_RESOLUTION))
        info.defaultResolution = resolutionAt(*api, a, 0);
    readCustomSizes(*api, api->ippFindAttribute(response, "media-size-supported", IPP_TAG_BEGIN_COLLECTION), info);

    // A queue that refuses jobs is named first: a job would not even be
    // taken, while a stopped queue would take it and hold it.
    ipp_attribute_t* accepting = api->ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
    ipp_attribute_t* state = api->ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
    if (accepting && !api->ippGetBoolean(accepting, 0))
        info.status = failure(SpoolerProblem::NotAccepting, queue);
    else if (state && api->ippGetInteger(state, 0) == IPP_PSTATE_STOPPED)
        info.status = failure(SpoolerProblem::QueueStopped, queue, info.stateMessage);
    api->ippDelete(response);
    return info;
}

bool QueueInfo::takesCustomSize(double widthMm, double lengthMm) const
{
    return customSizes && widthMm >= customMinWidthMm && widthMm <= customMaxWidthMm && lengthMm >= customMinLengthMm &&
           lengthMm <= customMaxLengthMm;
}

// ---------------------------------------------------------------------------
// Submission

SpoolerResult submitPdf(const QString& queue, const QString& pdfPath, const QString& title, const JobOptions& options)
{
    const QFileInfo file(pdfPath);
    if (!file.isFile() || !file.isReadable())
        return failure(SpoolerProblem::FileUnreadable, queue, pdfPath);
    const Cups* api = cups();
    if (!api)
        return libraryMissing(queue);
    const Connection connection(*api);
    if (!connection.http())
        return failure(SpoolerProblem::ServiceDown, queue);

    int count = 0;
    cups_option_t* list = nullptr;
    count = api->cupsAddOption("document-format", "application/pdf", count, &list);
    for (const JobOption& option : options)
        count = api->cupsAddOption(option.name.toUtf8().constData(), option.value.toUtf8().constData(), count, &list);
    const int jobId =
        api->cupsPrintFile2(connection.http(), queueOnly(queue).toUtf8().constData(),
                            QFile::encodeName(pdfPath).constData(), title.toUtf8().constData(), count, list);
    api->cupsFreeOptions(count, list);
    if (jobId > 0)
        return {SpoolerProblem::None, {}, jobId};
    const SpoolerResult refused =
        failure(problemOf(api->cupsLastError()), queue, QString::fromUtf8(api->cupsLastErrorString()));
    if (refused.problem != SpoolerProblem::Other)
        return refused;
    // libcups looks the queue up before it creates the job and reports a
    // missing queue only as "No such file or directory"; the queue's own
    // state names the cause where it can.
    const QueueInfo state = inspectQueue(queue);
    return state.status.ok() ? refused : state.status;
}

// ---------------------------------------------------------------------------
// Paper and resolution

JobOptions customPaper(double widthMm, double lengthMm)
{
    const QString size = QStringLiteral("Custom.%1x%2mm").arg(formatMm(widthMm), formatMm(lengthMm));
    return {{QStringLiteral("media"), size}, {QStringLiteral("PageSize"), size}};
}

JobOptions standardPaper(const QString& name) { return {{QStringLiteral("media"), name}}; }

bool Resolution::fineEnoughForForms() const
{
    constexpr int kFormsDpi = 180;
    return xDpi >= kFormsDpi && yDpi >= kFormsDpi;
}

QString Resolution::name() const
{
    return xDpi == yDpi ? QStringLiteral("%1dpi").arg(xDpi) : QStringLiteral("%1x%2dpi").arg(xDpi).arg(yDpi);
}

std::optional<Resolution> Resolution::fromName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral(R"(^\s*(\d+)(?:x(\d+))?dpi\s*$)"),
                                       QRegularExpression::CaseInsensitiveOption);
    const auto m = re.match(name);
    if (!m.hasMatch())
        return std::nullopt;
    const int x = m.captured(1).toInt();
    const int y = m.capturedLength(2) ? m.captured(2).toInt() : x;
    if (x <= 0 || y <= 0)
        return std::nullopt;
    return Resolution{x, y};
}

std::optional<Resolution> pickResolution(const QueueInfo& queue, const JobOptions& requested)
{
    const QList<Resolution>& offered = queue.resolutions;
    if (offered.size() < 2)
        return std::nullopt;
    std::optional<Resolution> wanted = queue.defaultResolution;
    for (const JobOption& option : requested)
        if (option.name == QLatin1String("Resolution") || option.name == QLatin1String("printer-resolution"))
            if (const auto r = Resolution::fromName(option.value))
                wanted = r;
    if (wanted && wanted->fineEnoughForForms() && offered.contains(*wanted))
        return wanted;

    // Fewer dots is coarser; between equals, the lower vertical resolution,
    // which needs fewer passes of the head.
    const auto dots = [](const Resolution& r) { return qint64(r.xDpi) * r.yDpi; };
    const auto coarser = [&](const Resolution& a, const Resolution& b) {
        return dots(a) != dots(b) ? dots(a) < dots(b) : a.yDpi < b.yDpi;
    };
    std::optional<Resolution> best;
    for (const Resolution& r : offered)
        if (r.fineEnoughForForms() && (!best || coarser(r, *best)))
            best = r;
    if (best)
        return best;
    return *std::max_element(offered.begin(), offered.end(), coarser);
}

JobOptions resolutionOptions(std::optional<Resolution> resolution)
{
    if (!resolution)
        return {};
    return {{QStringLiteral("Resolution"), resolution->name()},
            {QStringLiteral("printer-resolution"), resolution->name()}};
}

// ---------------------------------------------------------------------------
// Qt's printer

PrinterJobSettings jobSettingsOf(const QPrinter& printer)
{
    PrinterJobSettings job;
    job.queue = queueOnly(printer.printerName());
    job.title = printer.docName();
    const QPageLayout layout = printer.pageLayout();
    const bool landscape = layout.orientation() == QPageLayout::Landscape;
    const auto add = [&job](const QString& name, const QString& value) { job.options.append({name, value}); };

    add(QStringLiteral("media"), layout.pageSize().key());
    if (printer.copyCount() > 1) {
        add(QStringLiteral("copies"), QString::number(printer.copyCount()));
        if (printer.collateCopies())
            add(QStringLiteral("Collate"), QStringLiteral("True"));
    }
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        add(QStringLiteral("sides"), QStringLiteral("one-sided"));
        break;
    case QPrinter::DuplexAuto:
        add(QStringLiteral("sides"),
            landscape ? QStringLiteral("two-sided-short-edge") : QStringLiteral("two-sided-long-edge"));
        break;
    case QPrinter::DuplexLongSide:
        add(QStringLiteral("sides"), QStringLiteral("two-sided-long-edge"));
        break;
    case QPrinter::DuplexShortSide:
        add(QStringLiteral("sides"), QStringLiteral("two-sided-short-edge"));
        break;
    }
    if (landscape)
        add(QStringLiteral("landscape"), QString());

    const QStringList stored = printer.printEngine()->property(kCupsOptionsProperty).toStringList();
    for (qsizetype i = 0; i + 1 < stored.size(); i += 2)
        add(stored[i], stored[i + 1]);
    return job;
}

} // namespace platform
