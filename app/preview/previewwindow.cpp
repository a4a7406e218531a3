#include "app/preview/previewwindow.h"

#include "app/desktop/filedialogs.h"
#include "app/preview/formpaperdialog.h"
#include "app/preview/pdfpage.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "common/result.h"
#include "platform/readfile.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QImageReader>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QTimer>
#include <QVBoxLayout>
#include <cmath>
#include <memory>

namespace app {

namespace {

constexpr double kZoomStep = 1.25;
// A PDF page is drawn at the resolution of an ordinary scan.
constexpr double kPdfScanDotsPerInch = 200.0;
// Larger scans are read smaller: past this a screen shows no more of the form.
constexpr qint64 kMaxScanPixels = 12'000'000;

// The preview's own file in the user's settings folder (horutea/preview.ini);
// none when something that is not a file (a named pipe) has its name, since
// QSettings reads its file as it is made.
std::unique_ptr<QSettings> openSettings()
{
    // Where QSettings keeps a user's files, learnt from a name no file has.
    const QString folder =
        QFileInfo(QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral(".horutea-unused")).fileName())
            .absolutePath();
    const QString path = QDir(folder).filePath(QStringLiteral("horutea/preview.ini"));
    if (!platform::specialFileProblem(path, {}).isEmpty())
        return nullptr;
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

const char* const kScanGroup = "scan";
const char* const kKeyPath = "path";
const char* const kKeyPage = "pdfPage";
const char* const kKeyNudgeX = "nudgeXTenthMm";
const char* const kKeyNudgeY = "nudgeYTenthMm";

// An offset as typed, in mm: 1.5 (0.1 mm) is +0.15 mm, not rounded to a tenth.
QString signedMm(double tenthMm)
{
    const double mm = tenthMm / 10.0;
    const bool tenths = std::abs(mm * 10 - std::round(mm * 10)) < 1e-6;
    return (mm > 0 ? QStringLiteral("+") : QString()) +
           QString::number(mm, 'f', tenths ? 1 : 2).replace(QLatin1Char('-'), QStringLiteral("−"));
}

QPushButton* toolButton(const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(tip);
    b->setFocusPolicy(Qt::TabFocus);
    b->setAutoDefault(false);
    return b;
}

// A readable image of the scan, at most kMaxScanPixels, its resolution kept true.
Result<QImage> readImage(const QString& path)
{
    // Read whole from a file opened without waiting: a named pipe would stop the window.
    QFile file(path);
    QString systemError;
    if (const auto kind = platform::openRegularFile(file, &systemError); kind != platform::FileKind::Regular)
        return fail(platform::notReadableText(kind, path, QStringLiteral("用紙の画像"), systemError));
    QImageReader reader(&file);
    reader.setAutoTransform(true);
    // Read whole, beyond Qt's usual limit for one image, and made smaller
    // here: image formats disagree whether a smaller read keeps the resolution.
    const int limitMb = QImageReader::allocationLimit();
    QImageReader::setAllocationLimit(std::max(limitMb, 1024));
    QImage image = reader.read();
    QImageReader::setAllocationLimit(limitMb);
    if (image.isNull())
        return fail(QStringLiteral("画像「%1」を読めませんでした（%2）。PNGかJPEGの画像、またはPDFを選んでください。")
                        .arg(QFileInfo(path).fileName(), reader.errorString()));
    const qint64 pixels = qint64(image.width()) * image.height();
    if (pixels > kMaxScanPixels) {
        const double factor = std::sqrt(double(kMaxScanPixels) / double(pixels));
        const bool told = scanTellsResolution(image);
        const int dotsPerMetreX = image.dotsPerMeterX(), dotsPerMetreY = image.dotsPerMeterY();
        image = image.scaled(image.size() * factor, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        if (told) {
            image.setDotsPerMeterX(qRound(dotsPerMetreX * factor));
            image.setDotsPerMeterY(qRound(dotsPerMetreY * factor));
        }
    }
    return image;
}

} // namespace

PreviewWindow::PreviewWindow(PreviewSource source, QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("PreviewWindow"));
    setWindowTitle(QStringLiteral("印刷プレビュー"));

    m_view = new PreviewWidget(std::move(source));
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_view);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);

    auto* zoomOutButton =
        toolButton(QStringLiteral("縮小 (F7)"),
                   QStringLiteral("小さく表示します（Ctrlキーを押しながらホイールでも変わります）"), this);
    auto* zoomInButton =
        toolButton(QStringLiteral("拡大 (F8)"),
                   QStringLiteral("大きく表示します（Ctrlキーを押しながらホイールでも変わります）"), this);
    auto* trueSizeButton =
        toolButton(QStringLiteral("実寸 (Ctrl+0)"), QStringLiteral("用紙を実際の大きさで表示します"), this);
    auto* fitButton =
        toolButton(QStringLiteral("全体 (F10)"), QStringLiteral("用紙全体がウィンドウに収まるように表示します"), this);
    m_zoomLabel = new QLabel(this);
    m_zoomLabel->setMinimumWidth(m_zoomLabel->fontMetrics().horizontalAdvance(QStringLiteral("倍率 1000%")));
    auto* scanButton = toolButton(
        QStringLiteral("用紙の画像を重ねる…"),
        QStringLiteral("お使いの伝票をスキャンした画像（PNG・JPEG・PDF）を下に重ねて、文字が枠に入るか確かめます"),
        this);
    m_removeScan = toolButton(QStringLiteral("画像を外す"), QStringLiteral("重ねた用紙の画像を外します"), this);
    m_resetNudge =
        toolButton(QStringLiteral("画像の位置を戻す"), QStringLiteral("用紙の画像を動かす前の位置に戻します"), this);
    m_showForm = new QCheckBox(QStringLiteral("欄と○印の位置"), this);
    m_showForm->setChecked(true);
    m_showForm->setToolTip(QStringLiteral("郵便番号の枠、各欄の範囲、○印の位置を青で表示します"));
    auto* closeButton = toolButton(QStringLiteral("閉じる"), QStringLiteral("プレビューを閉じます（Escキー）"), this);

    // Two rows, the view's and the form's, so the window fits beside the
    // main window's block on a small screen.
    auto* viewTools = new QHBoxLayout;
    for (QWidget* w :
         {static_cast<QWidget*>(zoomOutButton), static_cast<QWidget*>(zoomInButton),
          static_cast<QWidget*>(trueSizeButton), static_cast<QWidget*>(fitButton), static_cast<QWidget*>(m_zoomLabel)})
        viewTools->addWidget(w);
    viewTools->addStretch();
    viewTools->addWidget(closeButton);
    auto* tools = m_tools = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(scanButton), static_cast<QWidget*>(m_removeScan),
                       static_cast<QWidget*>(m_resetNudge), static_cast<QWidget*>(m_showForm)})
        tools->addWidget(w);
    tools->addStretch();

    m_problem = new QLabel(this);
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(
        QStringLiteral("QLabel { background: #fde8e8; color: #8a0000; border: 1px solid #e0a0a0; padding: 6px; }"));
    m_problem->hide();

    m_overrunCaption = new QLabel(this);
    m_overruns = new QListWidget(this);
    m_overruns->setMaximumHeight(m_overruns->fontMetrics().height() * 5);
    m_overruns->setToolTip(QStringLiteral("選ぶと、その文字の位置を表示します"));
    m_status = new QLabel(this);
    m_status->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(viewTools);
    layout->addLayout(tools);
    layout->addWidget(m_problem);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_overrunCaption);
    layout->addWidget(m_overruns);
    layout->addWidget(m_status);

    connect(zoomOutButton, &QPushButton::clicked, this, &PreviewWindow::zoomOut);
    connect(zoomInButton, &QPushButton::clicked, this, &PreviewWindow::zoomIn);
    connect(trueSizeButton, &QPushButton::clicked, this, &PreviewWindow::showTrueSize);
    connect(fitButton, &QPushButton::clicked, this, &PreviewWindow::fitToWindow);
    connect(scanButton, &QPushButton::clicked, this, &PreviewWindow::chooseScan);
    connect(m_removeScan, &QPushButton::clicked, this, &PreviewWindow::removeScan);
    connect(m_resetNudge, &QPushButton::clicked, this, [this] { m_view->setScanNudgeTenthMm({}); });
    connect(m_showForm, &QCheckBox::toggled, this, [this](bool on) {
        m_view->setShownLayers(on ? m_view->shownLayers() | PreviewWidget::FormLayer
                                  : m_view->shownLayers() & ~PreviewWidget::FormLayer);
    });
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_view, &PreviewWidget::refreshed, this, &PreviewWindow::updateTexts);
    connect(m_view, &PreviewWidget::scanNudged, this, [this] {
        rememberScan();
        updateTexts();
    });
    connect(m_view, &PreviewWidget::zoomRequested, this,
            [this](int steps, QPoint at) { zoomBySteps(steps, m_view->mapTo(m_scroll->viewport(), at)); });
    connect(m_overruns, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row < 0 || size_t(row) >= m_view->overruns().size())
            return;
        const QPointF centre = m_view->pageToWidget(m_view->overruns()[size_t(row)].printedMm.center());
        m_scroll->ensureVisible(int(centre.x()), int(centre.y()), m_scroll->viewport()->width() / 3,
                                m_scroll->viewport()->height() / 3);
    });

    const std::pair<QKeySequence, void (PreviewWindow::*)()> keys[] = {
        {QKeySequence(Qt::Key_F7), &PreviewWindow::zoomOut},
        {QKeySequence(Qt::Key_F8), &PreviewWindow::zoomIn},
        {QKeySequence(Qt::Key_F10), &PreviewWindow::fitToWindow},
        {QKeySequence::ZoomIn, &PreviewWindow::zoomIn},
        {QKeySequence::ZoomOut, &PreviewWindow::zoomOut},
        {QKeySequence(Qt::CTRL | Qt::Key_0), &PreviewWindow::showTrueSize},
    };
    for (const auto& [key, slot] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);

    restoreScan();
    updateTexts();
    const QSize paper = m_view->sizeHint();
    resize(std::min(paper.width() + 40, 980), 760);
}

void PreviewWindow::scheduleRefresh()
{
    if (m_refreshPending || !isVisible())
        return;
    m_refreshPending = true;
    QTimer::singleShot(0, this, [this] {
        m_refreshPending = false;
        refresh();
    });
}

void PreviewWindow::refresh() { m_view->refresh(); }

void PreviewWindow::showEvent(QShowEvent* event)
{
    // Edits made while it was closed were not followed.
    m_view->refresh();
    QWidget::showEvent(event);
}

void PreviewWindow::zoomAround(double zoom, QPoint atInView)
{
    // The point of the paper under atInView stays there.
    const QPointF before = m_view->mapFrom(m_scroll->viewport(), atInView);
    const QPointF mm = (before - m_view->paperOrigin()) / m_view->pixelsPerMm();
    m_view->setZoom(zoom);
    const QPointF after = m_view->paperOrigin() + mm * m_view->pixelsPerMm();
    m_scroll->horizontalScrollBar()->setValue(qRound(after.x() - atInView.x()));
    m_scroll->verticalScrollBar()->setValue(qRound(after.y() - atInView.y()));
    updateTexts();
}

void PreviewWindow::zoomBySteps(int steps, QPoint atInView)
{
    zoomAround(m_view->zoom() * std::pow(kZoomStep, steps), atInView);
}

void PreviewWindow::zoomIn() { zoomBySteps(1, m_scroll->viewport()->rect().center()); }
void PreviewWindow::zoomOut() { zoomBySteps(-1, m_scroll->viewport()->rect().center()); }
void PreviewWindow::showTrueSize() { zoomAround(1.0, m_scroll->viewport()->rect().center()); }

void PreviewWindow::fitToWindow()
{
    // The room without scroll bars, which the fitted page does not need.
    const QSize room = m_scroll->maximumViewportSize() - QSize(2, 2);
    const QSizeF paper = m_view->paperSizeMm() * (m_view->screenDotsPerInch() / 25.4);
    const QPointF margin = m_view->paperOrigin() * 2;
    const double zoom =
        std::min((room.width() - margin.x()) / paper.width(), (room.height() - margin.y()) / paper.height());
    m_view->setZoom(zoom);
    updateTexts();
}

Result<QImage> readFormScan(const QString& path, int pdfPage, QString* note)
{
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0) {
        if (const QString problem = platform::specialFileProblem(path, QStringLiteral("用紙の画像"));
            !problem.isEmpty())
            return fail(problem);
        const PdfPicture picture = renderPdfPage(path, pdfPage, kPdfScanDotsPerInch);
        if (picture.image.isNull())
            return fail(picture.problem);
        if (picture.pageCount > 1 && note)
            *note = QStringLiteral("（%1ページのうち%2ページ目）").arg(picture.pageCount).arg(pdfPage + 1);
        return picture.image;
    }
    auto read = readImage(path);
    if (read && !scanTellsResolution(*read) && note)
        *note = QStringLiteral("（解像度の記録がないため、用紙の幅に合わせました）");
    return read;
}

int askPdfPage(QWidget* parent, const QString& path)
{
    if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) != 0 ||
        !platform::specialFileProblem(path, {}).isEmpty())
        return 0;
    const int pages = renderPdfPage(path, 0, 1).pageCount;
    if (pages <= 1)
        return 0;
    bool ok = false;
    const int page = QInputDialog::getInt(
        parent, QStringLiteral("PDFのページ"),
        QStringLiteral("このPDFは%1ページあります。何ページ目を重ねますか？").arg(pages), 1, 1, pages, 1, &ok);
    return ok ? page - 1 : -1;
}

std::optional<ChosenScan> chooseFormScan(QWidget* parent, const QString& lastPath)
{
    const QString start = lastPath.isEmpty() ? QString() : QFileInfo(lastPath).absolutePath();
    const QString path =
        desktop::openFileName(parent, QStringLiteral("重ねる用紙の画像を選ぶ"), start,
                              QStringLiteral("用紙の画像 (*.png *.jpg *.jpeg *.pdf);;すべてのファイル (*)"));
    if (path.isEmpty())
        return std::nullopt;
    const int page = askPdfPage(parent, path);
    if (page < 0)
        return std::nullopt;
    return ChosenScan{path, page};
}

std::optional<QString> PreviewWindow::openScan(const QString& path, int pdfPage)
{
    QString note;
    const Result<QImage> read = readFormScan(path, pdfPage, &note);
    if (!read)
        return read.error();
    const QImage image = *read;
    const bool sameScan = path == m_scanPath && pdfPage == m_scanPage;
    m_scanPath = path;
    m_scanPage = pdfPage;
    m_scanNote = note;
    m_view->setScan(image);
    if (!sameScan)
        m_view->setScanNudgeTenthMm({});
    rememberScan();
    updateTexts();
    m_view->setFocus(); // the arrow keys move the scan
    return std::nullopt;
}

void PreviewWindow::removeScan()
{
    m_scanPath.clear();
    m_scanPage = 0;
    m_scanNote.clear();
    m_view->setScan({});
    m_view->setScanNudgeTenthMm({});
    rememberScan();
    updateTexts();
}

void PreviewWindow::chooseScan()
{
    const std::optional<ChosenScan> chosen = chooseFormScan(this, m_scanPath);
    if (!chosen)
        return;
    if (const auto problem = openScan(chosen->path, chosen->pdfPage)) {
        m_scanNote = *problem;
        updateTexts();
    }
}

void PreviewWindow::rememberScan() const
{
    const auto settings = openSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(kScanGroup));
    settings->setValue(QLatin1String(kKeyPath), m_scanPath);
    settings->setValue(QLatin1String(kKeyPage), m_scanPage);
    settings->setValue(QLatin1String(kKeyNudgeX), m_view->scanNudgeTenthMm().x());
    settings->setValue(QLatin1String(kKeyNudgeY), m_view->scanNudgeTenthMm().y());
}

void PreviewWindow::restoreScan()
{
    const auto settings = openSettings();
    if (!settings)
        return;
    settings->beginGroup(QLatin1String(kScanGroup));
    const QString path = settings->value(QLatin1String(kKeyPath)).toString();
    if (path.isEmpty())
        return;
    const int page = settings->value(QLatin1String(kKeyPage), 0).toInt();
    const QPoint nudge(settings->value(QLatin1String(kKeyNudgeX), 0).toInt(),
                       settings->value(QLatin1String(kKeyNudgeY), 0).toInt());
    if (!QFileInfo::exists(path)) {
        // Kept: the file may be on a drive that is not connected now.
        m_scanNote =
            QStringLiteral("前回重ねた用紙の画像「%1」が見つかりません。「用紙の画像を重ねる…」で選び直してください。")
                .arg(path);
        return;
    }
    m_scanPath = path;
    m_scanPage = page;
    if (const auto problem = openScan(path, page)) {
        m_scanPath.clear();
        m_scanNote = *problem;
        return;
    }
    m_view->setScanNudgeTenthMm(nudge);
}

QString PreviewWindow::problemText() const { return m_view->problem(); }

QStringList PreviewWindow::overrunLines() const
{
    QStringList lines;
    for (const print::Overrun& o : m_view->overruns())
        lines << o.description;
    return lines;
}

QStringList PreviewWindow::missingGlyphLines() const
{
    QStringList lines;
    for (const print::MissingGlyphs& m : print::findMissingGlyphs(m_view->waybill(), m_view->layout()))
        lines << m.description;
    return lines;
}

QPushButton* PreviewWindow::addCommand(const QString& caption, const QString& toolTip, const std::function<void()>& run)
{
    QPushButton* button = toolButton(caption, toolTip, this);
    m_tools->insertWidget(m_tools->count() - 1, button);
    connect(button, &QPushButton::clicked, this, run);
    return button;
}

QString PreviewWindow::statusText() const { return m_status->text(); }

void PreviewWindow::updateTexts()
{
    m_zoomLabel->setText(QStringLiteral("倍率 %1%").arg(qRound(m_view->zoom() * 100)));

    const bool problem = !m_view->showsPage();
    m_problem->setVisible(problem);
    m_problem->setText(m_view->problem());

    // The overruns first, so a row's number is its overrun's.
    const QStringList lines = overrunLines();
    const QStringList unprintable = missingGlyphLines();
    m_overruns->clear();
    m_overruns->addItems(lines + unprintable);
    m_overruns->setVisible(!lines.isEmpty() || !unprintable.isEmpty());
    QString caption;
    if (!problem && lines.isEmpty())
        caption = QStringLiteral("はみ出している文字はありません。");
    else if (!problem)
        caption = QStringLiteral("はみ出している文字（%1件、赤枠と斜線で表示）：").arg(lines.size());
    if (!problem && !unprintable.isEmpty())
        caption += QStringLiteral("印刷されない文字があります（%1件）。").arg(unprintable.size());
    m_overrunCaption->setText(caption);

    QStringList status;
    if (const auto offsets = m_view->offsets())
        status << QStringLiteral("ズレ：左右 %1 mm、上下 %2 mm（調整パネルの値）")
                      .arg(signedMm(offsets->horizontalTenthMm), signedMm(offsets->verticalTenthMm));
    if (m_view->hasScan()) {
        const QPoint nudge = m_view->scanNudgeTenthMm();
        status
            << QStringLiteral(
                   "用紙の画像：%1%2　位置 左右 %3 mm、上下 %4 mm（ドラッグか矢印キーで合わせます。矢印キーは0.1 mm、Shiftキーを押しながらなら1 mmずつ動きます）")
                   .arg(QFileInfo(m_scanPath).fileName(), m_scanNote, signedMm(nudge.x()), signedMm(nudge.y()));
    } else if (!m_scanNote.isEmpty()) {
        status << m_scanNote;
    }
    m_status->setText(status.join(QLatin1Char('\n')));
    m_status->setVisible(!status.isEmpty());
    m_removeScan->setEnabled(m_view->hasScan());
    m_resetNudge->setEnabled(m_view->hasScan() && !m_view->scanNudgeTenthMm().isNull());
}

PreviewSource previewSourceOf(const WaybillWindow& window, station::Station& station)
{
    return [&window, &station] {
        const OffsetTexts offsets = window.offsetTexts();
        PreviewContent content{window.readWaybill(), offsets.horizontal, offsets.vertical};
        if (Result<print::Layout> layout = station.layoutInUse())
            content.layout = std::move(*layout);
        else
            content.layoutProblem = layout.error();
        return content;
    };
}

PreviewWindow* showPreview(WaybillWindow& window, Services& services)
{
    print::SystemPrinter* printer = services.systemPrinter;
    PreviewWindow* preview = showChildWindow<PreviewWindow>(
        window, window.partInUseOnScreen(), services.station.folders().settingsFile(), [&] {
            auto* made = new PreviewWindow(previewSourceOf(window, services.station), &window);
            // The offsets at once; other changes after the window's own handlers
            // have run (a care-of line shown, the numbers switched on).
            QObject::connect(&window, &WaybillWindow::offsetsChanged, made, &PreviewWindow::refresh);
            QObject::connect(&window, &WaybillWindow::changed, made, &PreviewWindow::scheduleRefresh);
            if (printer)
                // The form's size is set where its paper is seen.
                made->addCommand(
                    QStringLiteral("用紙の大きさ…"),
                    QStringLiteral("連続用紙1枚の幅と長さを設定します。印刷は1枚分ずつ、その大きさで送られます"),
                    [made, printer] {
                        FormPaperDialog dialog(printer->formPaper(), made);
                        if (dialog.exec() != QDialog::Accepted)
                            return;
                        printer->setFormPaper(dialog.chosen());
                        made->view().setPaper(printer->paperLayout(), printer->printableCornerMm());
                    });
            return made;
        });
    // The printer's paper may have changed since the window was last open.
    if (printer)
        preview->view().setPaper(printer->paperLayout(), printer->printableCornerMm());
    return preview;
}

} // namespace app
