#include "app/layout/layoutwindow.h"

#include "adjust/layoutsheet.h"
#include "app/desktop/filedialogs.h"
#include "app/preview/previewwindow.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "print/layoutfile.h"
#include "print/pdfoutput.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QShortcut>
#include <QVBoxLayout>
#include <cmath>

namespace app {

namespace {

constexpr double kZoomStep = 1.25;
// Fits a 1366 × 768 screen with its title bar, beside or over the main window.
constexpr int kWindowWidthPx = 1060;
constexpr int kWindowHeightPx = 700;
constexpr int kPanelWidthPx = 300;
const QString kLayoutFilter = QStringLiteral("用紙レイアウト (*.json);;すべてのファイル (*)");

QPushButton* toolButton(const QString& caption, const QString& tip, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(true); // Enter presses the focused button
    return b;
}

QString scanKey(const QString& layoutName, const char* entry)
{
    return QStringLiteral("layoutScans/%1/%2")
        .arg(QString::fromLatin1(layoutName.toUtf8().toHex()), QString::fromLatin1(entry));
}

QString queueCaption(const QString& queue)
{
    return queue.isEmpty() ? QStringLiteral("PDFファイルへの印刷") : QStringLiteral("プリンタ「%1」").arg(queue);
}

} // namespace

LayoutWindow::LayoutWindow(WaybillWindow& window, Services& services)
    : QWidget(&window, Qt::Window), m_window(window), m_services(services)
{
    setObjectName(QStringLiteral("LayoutWindow"));
    setWindowTitle(QStringLiteral("用紙レイアウト"));

    m_askName = [](QWidget* parent, const QString& question, const QString& suggested) -> std::optional<QString> {
        bool ok = false;
        const QString name = QInputDialog::getText(parent, QStringLiteral("レイアウトの名前"), question,
                                                   QLineEdit::Normal, suggested, &ok);
        return ok ? std::optional(name.trimmed()) : std::nullopt;
    };
    m_askOpenFile = [](QWidget* parent, const QString& caption, const QString& folder) {
        return desktop::openFileName(parent, caption, folder, kLayoutFilter);
    };
    m_askSaveFile = [](QWidget* parent, const QString& caption, const QString& path) {
        QString filter = kLayoutFilter.section(QStringLiteral(";;"), 0, 0);
        return desktop::saveFileName(parent, caption, path, kLayoutFilter, &filter);
    };

    m_canvas = new LayoutCanvas(m_document);
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(m_canvas);
    m_scroll->setAlignment(Qt::AlignCenter);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_panel = new LayoutItemPanel(m_document, this);
    m_panel->setFixedWidth(kPanelWidthPx);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("layoutStatus"));
    m_status->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    buildTools();
    auto* middle = new QHBoxLayout;
    middle->addWidget(m_scroll, 1);
    middle->addWidget(m_panel);
    layout->addLayout(middle, 1);
    layout->addWidget(m_status);

    connect(&m_document, &LayoutDocument::changed, this, &LayoutWindow::updateTexts);
    connect(&m_document, &LayoutDocument::changed, this, &LayoutWindow::showPaper);
    connect(&m_document.undoStack(), &QUndoStack::indexChanged, this, &LayoutWindow::updateTexts);
    connect(&m_document.undoStack(), &QUndoStack::cleanChanged, this, &LayoutWindow::updateTexts);
    connect(m_canvas, &PreviewWidget::scanNudged, this, [this] { rememberScan(); });
    connect(m_canvas, &PreviewWidget::zoomRequested, this,
            [this](int steps, QPoint) { m_canvas->setZoom(m_canvas->zoom() * std::pow(kZoomStep, steps)); });

    // The layout the printer's forms take, to begin with.
    const station::LayoutStore store = m_services.station.layouts();
    refreshNames();
    if (!openLayout(store.nameForQueue(m_services.station.formQueue())))
        openLayout(print::kBuiltInLayoutName);
    refreshQueueLine();
    resize(kWindowWidthPx, kWindowHeightPx);
}

void LayoutWindow::buildTools()
{
    auto* names = new QLabel(QStringLiteral("レイアウト(&L)："), this);
    m_names = new QComboBox(this);
    m_names->setObjectName(QStringLiteral("layoutChoice"));
    m_names->setMinimumContentsLength(14);
    names->setBuddy(m_names);
    auto* create = toolButton(QStringLiteral("新規…"),
                              QStringLiteral("いま開いているレイアウトをもとに、新しいレイアウトを作ります"),
                              "newLayoutButton", this);
    m_save = toolButton(QStringLiteral("保存"), QStringLiteral("このレイアウトを保存します（Ctrl+S）"),
                        "saveLayoutButton", this);
    auto* saveAs = toolButton(QStringLiteral("別名で保存…"), QStringLiteral("新しい名前を付けて保存します"),
                              "saveLayoutAsButton", this);
    m_remove =
        toolButton(QStringLiteral("削除"), QStringLiteral("このレイアウトを削除します"), "removeLayoutButton", this);
    auto* import = toolButton(QStringLiteral("読み込み…"),
                              QStringLiteral("ほかのパソコンで書き出したレイアウトのファイルを読み込みます"),
                              "importLayoutButton", this);
    auto* exportButton =
        toolButton(QStringLiteral("書き出し…"), QStringLiteral("このレイアウトをファイルに書き出します（JSON）"),
                   "exportLayoutButton", this);
    m_queueLine = new QLabel(this);
    m_queueLine->setObjectName(QStringLiteral("queueLayoutLine"));
    m_useForForms =
        toolButton(QStringLiteral("この伝票に使う"),
                   QStringLiteral("いまのプリンタの伝票に、このレイアウトで印刷します"), "useForFormsButton", this);

    auto* first = new QHBoxLayout;
    first->addWidget(names);
    first->addWidget(m_names);
    for (QWidget* w : std::initializer_list<QWidget*>{create, m_save, saveAs, m_remove, import, exportButton})
        first->addWidget(w);
    first->addSpacing(12);
    first->addWidget(m_queueLine, 1);
    first->addWidget(m_useForForms);

    m_undo = toolButton(QStringLiteral("元に戻す"), {}, "undoButton", this);
    m_redo = toolButton(QStringLiteral("やり直す"), {}, "redoButton", this);
    auto* zoomOutButton =
        toolButton(QStringLiteral("縮小 (F7)"), QStringLiteral("小さく表示します"), "zoomOutButton", this);
    auto* zoomInButton =
        toolButton(QStringLiteral("拡大 (F8)"), QStringLiteral("大きく表示します"), "zoomInButton", this);
    auto* fit = toolButton(QStringLiteral("全体"), QStringLiteral("用紙全体を表示します"), "fitButton", this);
    auto* scan =
        toolButton(QStringLiteral("用紙の画像…"),
                   QStringLiteral("伝票をスキャンした画像（PNG・JPEG・PDF）を重ねます。レイアウトごとに覚えます"),
                   "scanButton", this);
    m_removeScan = toolButton(QStringLiteral("画像を外す"), QStringLiteral("重ねた用紙の画像を外します"),
                              "removeScanButton", this);
    auto* testPrint = toolButton(
        QStringLiteral("テスト印刷"),
        QStringLiteral(
            "欄の位置を枠と名前で白い紙に印刷します。伝票に重ねて透かして確かめます（伝票の番号は進みません）"),
        "testSheetButton", this);
    auto* testPdf =
        toolButton(QStringLiteral("テスト印刷をPDFに…"), QStringLiteral("欄の位置の枠と名前をPDFファイルに保存します"),
                   "testSheetPdfButton", this);
    auto* close = toolButton(QStringLiteral("閉じる"), QStringLiteral("この画面を閉じます"), "closeButton", this);

    auto* second = new QHBoxLayout;
    second->addWidget(m_undo);
    second->addWidget(m_redo);
    second->addSpacing(12);
    for (QWidget* w : {zoomOutButton, zoomInButton, fit})
        second->addWidget(w);
    second->addSpacing(12);
    second->addWidget(scan);
    second->addWidget(m_removeScan);
    second->addSpacing(12);
    second->addWidget(testPrint);
    second->addWidget(testPdf);
    second->addStretch();
    second->addWidget(close);

    auto* layout = static_cast<QVBoxLayout*>(this->layout());
    layout->addLayout(first);
    layout->addLayout(second);

    connect(m_names, &QComboBox::activated, this, [this](int row) {
        if (!openLayout(m_names->itemText(row)))
            m_names->setCurrentText(m_name);
    });
    connect(create, &QPushButton::clicked, this, &LayoutWindow::newLayout);
    connect(m_save, &QPushButton::clicked, this, &LayoutWindow::save);
    connect(saveAs, &QPushButton::clicked, this, &LayoutWindow::saveAs);
    connect(m_remove, &QPushButton::clicked, this, &LayoutWindow::removeLayout);
    connect(import, &QPushButton::clicked, this, &LayoutWindow::importLayout);
    connect(exportButton, &QPushButton::clicked, this, &LayoutWindow::exportLayout);
    connect(m_useForForms, &QPushButton::clicked, this, &LayoutWindow::useForPrinterForms);
    connect(m_undo, &QPushButton::clicked, &m_document.undoStack(), &QUndoStack::undo);
    connect(m_redo, &QPushButton::clicked, &m_document.undoStack(), &QUndoStack::redo);
    connect(zoomOutButton, &QPushButton::clicked, this, &LayoutWindow::zoomOut);
    connect(zoomInButton, &QPushButton::clicked, this, &LayoutWindow::zoomIn);
    connect(fit, &QPushButton::clicked, this, &LayoutWindow::fitToWindow);
    connect(scan, &QPushButton::clicked, this, &LayoutWindow::chooseScan);
    connect(m_removeScan, &QPushButton::clicked, this, &LayoutWindow::removeScan);
    connect(testPrint, &QPushButton::clicked, this, &LayoutWindow::printTestSheet);
    connect(testPdf, &QPushButton::clicked, this, &LayoutWindow::saveTestSheetAsPdf);
    connect(close, &QPushButton::clicked, this, &QWidget::close);

    const std::pair<QKeySequence, std::function<void()>> keys[] = {
        {QKeySequence::Undo, [this] { m_document.undoStack().undo(); }},
        {QKeySequence::Redo, [this] { m_document.undoStack().redo(); }},
        {QKeySequence(Qt::CTRL | Qt::Key_Y), [this] { m_document.undoStack().redo(); }},
        {QKeySequence::Save, [this] { save(); }},
        {QKeySequence(Qt::Key_F7), [this] { zoomOut(); }},
        {QKeySequence(Qt::Key_F8), [this] { zoomIn(); }},
    };
    for (const auto& [key, run] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, run);
}

QString LayoutWindow::statusText() const { return m_status->text(); }

void LayoutWindow::say(const QString& text) { m_status->setText(text); }

void LayoutWindow::refreshNames()
{
    const QStringList names = m_services.station.layouts().names();
    m_names->clear();
    m_names->addItems(names);
    m_names->setCurrentText(m_name);
}

void LayoutWindow::updateTexts()
{
    const bool builtIn = m_name == print::kBuiltInLayoutName;
    const QUndoStack& undo = m_document.undoStack();
    m_undo->setEnabled(undo.canUndo());
    m_redo->setEnabled(undo.canRedo());
    m_undo->setToolTip(undo.canUndo() ? QStringLiteral("元に戻す: %1（Ctrl+Z）").arg(undo.undoText())
                                      : QStringLiteral("元に戻す（Ctrl+Z）"));
    m_redo->setToolTip(undo.canRedo() ? QStringLiteral("やり直す: %1（Ctrl+Y）").arg(undo.redoText())
                                      : QStringLiteral("やり直す（Ctrl+Y）"));
    m_save->setEnabled(m_document.modified());
    m_remove->setEnabled(!builtIn);
    setWindowTitle(
        QStringLiteral("用紙レイアウト — %1%2").arg(m_name, m_document.modified() ? QStringLiteral(" *") : QString()));
    m_useForForms->setEnabled(m_queueLayout != m_name || m_document.modified());
    m_removeScan->setEnabled(m_canvas->hasScan());
}

void LayoutWindow::refreshQueueLine()
{
    // Read from the settings when the window is shown or the choice made,
    // not at every change of the layout.
    const QString queue = m_services.station.formQueue();
    m_queueLayout = m_services.station.layouts().nameForQueue(queue);
    m_queueLine->setText(QStringLiteral("%1の伝票：「%2」").arg(queueCaption(queue), m_queueLayout));
    updateTexts();
}

void LayoutWindow::showPaper()
{
    const print::Layout& layout = m_document.layout();
    print::SystemPrinter* printer = m_services.systemPrinter;
    const QPointF corner = printer ? printer->printableCornerMm() : QPointF();
    QPageLayout paper = printer ? printer->paperLayout() : print::defaultPdfPaper();
    if (layout.formWidthMm > 0 && layout.formLengthMm > 0)
        paper = QPageLayout(QPageSize(QSizeF(layout.formWidthMm, layout.formLengthMm), QPageSize::Millimeter, {},
                                      QPageSize::ExactMatch),
                            QPageLayout::Portrait, QMarginsF());
    // Set again only when it changed: setting it draws the page anew.
    const std::pair<QSizeF, QPointF> shown{paper.fullRect(QPageLayout::Millimeter).size(), corner};
    if (shown != m_paperShown) {
        m_paperShown = shown;
        m_canvas->setPaper(paper, corner);
    }
}

bool LayoutWindow::mayLeaveChanges(const QString& doing)
{
    if (!m_document.modified())
        return true;
    desktop::Message question{
        QStringLiteral(
            "レイアウト「%1」に保存していない変更があります。変更を捨てて%2か？「いいえ」で戻って保存できます。")
            .arg(m_name, doing),
        desktop::MsgIcon::Question, desktop::MsgButtons::YesNo, desktop::MsgAnswer::No, std::nullopt};
    question.yesText = QStringLiteral("変更を捨てる");
    question.noText = QStringLiteral("戻る");
    return m_services.messages.show(this, question) == desktop::MsgAnswer::Yes;
}

bool LayoutWindow::openLayout(const QString& name)
{
    if (name == m_name && !m_document.modified())
        return true;
    if (!mayLeaveChanges(QStringLiteral("「%1」を開きます").arg(name)))
        return false;
    const Result<print::Layout> layout = m_services.station.layouts().load(name);
    if (!layout) {
        desktop::warn(m_services.messages, this, layout.error());
        return false;
    }
    m_name = name;
    m_document.open(*layout);
    m_names->setCurrentText(name);
    restoreScan();
    showPaper();
    updateTexts();
    say(name == print::kBuiltInLayoutName
            ? QStringLiteral("「標準」は組み込みのレイアウトです。変えたときは別の名前で保存します。")
            : QString());
    return true;
}

std::optional<QString> LayoutWindow::askNewName(const QString& question, const QString& suggested)
{
    QString proposal = suggested;
    for (;;) {
        const std::optional<QString> name = m_askName(this, question, proposal);
        if (!name)
            return std::nullopt;
        std::optional<QString> problem = station::layoutNameProblem(*name);
        if (!problem && m_services.station.layouts().contains(*name))
            problem = QStringLiteral("レイアウト「%1」はもうあります。別の名前にしてください。").arg(*name);
        if (!problem)
            return name;
        desktop::warn(m_services.messages, this, *problem);
        proposal = *name;
    }
}

bool LayoutWindow::newLayout()
{
    if (!mayLeaveChanges(QStringLiteral("新しいレイアウトを作ります")))
        return false;
    // The edits of the layout open are dropped: the new one starts from it as saved.
    const Result<print::Layout> base = m_services.station.layouts().load(m_name);
    if (!base) {
        desktop::warn(m_services.messages, this, base.error());
        return false;
    }
    const auto name = askNewName(
        QStringLiteral("「%1」をもとに作る、新しいレイアウトの名前（運送会社や伝票の種類など）：").arg(m_name),
        QString());
    if (!name)
        return false;
    print::Layout made = *base;
    made.name = *name;
    if (const auto saved = m_services.station.layouts().save(made); !saved) {
        desktop::warn(m_services.messages, this, saved.error());
        return false;
    }
    m_document.open(made);
    m_name = made.name;
    refreshNames();
    showPaper();
    updateTexts();
    say(QStringLiteral("「%1」をもとに「%2」を作りました。欄をドラッグするか、右の数値で位置を合わせてください。")
            .arg(base->name, made.name));
    return true;
}

bool LayoutWindow::saveUnder(const QString& name)
{
    print::Layout layout = m_document.layout();
    layout.name = name;
    if (const auto saved = m_services.station.layouts().save(layout); !saved) {
        desktop::warn(m_services.messages, this, saved.error());
        return false;
    }
    const bool renamed = name != m_name;
    if (renamed) {
        // The scan of the form goes with the layout's new name.
        m_name = name;
        rememberScan();
    }
    m_document.markSaved();
    refreshNames();
    updateTexts();
    say(QStringLiteral("レイアウト「%1」を保存しました。").arg(name));
    return true;
}

bool LayoutWindow::save()
{
    if (m_name == print::kBuiltInLayoutName)
        return saveAs();
    return saveUnder(m_name);
}

bool LayoutWindow::saveAs()
{
    const auto name = askNewName(m_name == print::kBuiltInLayoutName
                                     ? QStringLiteral("「標準」は変えられないため、新しい名前で保存します。名前：")
                                     : QStringLiteral("新しい名前："),
                                 QString());
    return name && saveUnder(*name);
}

bool LayoutWindow::removeLayout()
{
    desktop::Message question{QStringLiteral("レイアウト「%1」を削除しますか？").arg(m_name),
                              desktop::MsgIcon::Question, desktop::MsgButtons::YesNo, desktop::MsgAnswer::No,
                              std::nullopt};
    if (m_services.messages.show(this, question) != desktop::MsgAnswer::Yes)
        return false;
    if (const auto removed = m_services.station.layouts().remove(m_name); !removed) {
        desktop::warn(m_services.messages, this, removed.error());
        return false;
    }
    const QString removedName = m_name;
    m_document.markSaved();
    m_name.clear();
    refreshNames();
    openLayout(print::kBuiltInLayoutName);
    say(QStringLiteral("レイアウト「%1」を削除しました。").arg(removedName));
    return true;
}

bool LayoutWindow::importLayout()
{
    if (!mayLeaveChanges(QStringLiteral("レイアウトを読み込みます")))
        return false;
    const QString path = m_askOpenFile(this, QStringLiteral("読み込むレイアウトのファイル"),
                                       m_services.station.folders().documentsFolder());
    if (path.isEmpty())
        return false;
    // Read whole first: a damaged file adds nothing.
    Result<print::Layout> read = print::readLayoutFile(path);
    if (!read) {
        desktop::warn(m_services.messages, this, read.error());
        return false;
    }
    print::Layout layout = *read;
    const station::LayoutStore store = m_services.station.layouts();
    if (station::layoutNameProblem(layout.name) || store.contains(layout.name)) {
        const auto name = askNewName(
            QStringLiteral("このファイルのレイアウト「%1」と同じ名前がすでにあります。読み込む名前：").arg(layout.name),
            layout.name + QStringLiteral("（読み込み）"));
        if (!name)
            return false;
        layout.name = *name;
    }
    if (const auto saved = store.save(layout); !saved) {
        desktop::warn(m_services.messages, this, saved.error());
        return false;
    }
    m_document.open(layout);
    m_name = layout.name;
    refreshNames();
    restoreScan();
    showPaper();
    updateTexts();
    say(QStringLiteral("「%1」を読み込みました（%2）。").arg(layout.name, QDir::toNativeSeparators(path)));
    return true;
}

bool LayoutWindow::exportLayout()
{
    const QString path =
        m_askSaveFile(this, QStringLiteral("レイアウトの書き出し"),
                      QDir(m_services.station.folders().documentsFolder()).filePath(m_name + QStringLiteral(".json")));
    if (path.isEmpty())
        return false;
    // What is shown, changes and all, under the name it has.
    print::Layout layout = m_document.layout();
    layout.name = m_name;
    if (const auto written = print::writeLayoutFile(path, layout); !written) {
        desktop::warn(m_services.messages, this, written.error());
        return false;
    }
    say(QStringLiteral("レイアウト「%1」を %2 に書き出しました。").arg(m_name, QDir::toNativeSeparators(path)));
    return true;
}

bool LayoutWindow::useForPrinterForms()
{
    if (m_document.modified()) {
        desktop::Message question{
            QStringLiteral("レイアウト「%1」の変更を保存してから、伝票に使います。よろしいですか？").arg(m_name),
            desktop::MsgIcon::Question, desktop::MsgButtons::YesNo, desktop::MsgAnswer::Yes, std::nullopt};
        if (m_services.messages.show(this, question) != desktop::MsgAnswer::Yes || !save())
            return false;
    }
    const QString queue = m_services.station.formQueue();
    if (const auto set = m_services.station.layouts().setNameForQueue(queue, m_name); !set) {
        desktop::warn(m_services.messages, this, set.error());
        return false;
    }
    refreshQueueLine();
    say(QStringLiteral("%1の伝票を、レイアウト「%2」で印刷します。").arg(queueCaption(queue), m_name));
    emit m_window.changed(); // the preview follows
    return true;
}

bool LayoutWindow::printTestSheet()
{
    // The sheet is held over a form in the printer: the offsets of a print.
    const auto offsets = m_window.offsetsForPrint(this);
    if (!offsets)
        return false;
    const print::Layout layout = m_document.layout();
    const print::Delivery delivery =
        m_services.station.printer().print(1, [&](int) { return adjust::layoutTestPage(layout, *offsets); }, {});
    if (!delivery.ok) {
        if (!delivery.message.isEmpty())
            desktop::warn(m_services.messages, this, delivery.message);
        return false;
    }
    say(QStringLiteral(
            "テスト用紙を「%1」に印刷しました。白い紙に印刷した枠を伝票に重ねて、光に透かして確かめてください"
            "（伝票の番号は進めていません）。")
            .arg(QDir::toNativeSeparators(delivery.destination)));
    if (!delivery.notice.isEmpty())
        desktop::inform(m_services.messages, this, delivery.notice);
    return true;
}

bool LayoutWindow::saveTestSheetAsPdf()
{
    const auto offsets = m_window.offsetsForPrint(this);
    if (!offsets)
        return false;
    QString path = m_askSaveFile(
        this, QStringLiteral("テスト印刷のPDF"),
        QDir(m_services.station.folders().documentsFolder()).filePath(QStringLiteral("レイアウト_%1.pdf").arg(m_name)));
    if (path.isEmpty())
        return false;
    if (QFileInfo(path).suffix().isEmpty())
        path += QStringLiteral(".pdf");
    const print::Layout layout = m_document.layout();
    const QPageLayout paper =
        layout.formWidthMm > 0 && layout.formLengthMm > 0
            ? QPageLayout(QPageSize(QSizeF(layout.formWidthMm, layout.formLengthMm), QPageSize::Millimeter, {},
                                    QPageSize::ExactMatch),
                          QPageLayout::Portrait, QMarginsF())
            : (m_services.systemPrinter ? m_services.systemPrinter->paperLayout() : print::defaultPdfPaper());
    print::PdfFileDestination pdf(path, paper);
    const print::Delivery delivery = pdf.print(1, [&](int) { return adjust::layoutTestPage(layout, *offsets); }, {});
    if (!delivery.ok) {
        desktop::warn(m_services.messages, this, delivery.message);
        return false;
    }
    say(QStringLiteral("テスト印刷を %1 に保存しました。").arg(QDir::toNativeSeparators(path)));
    return true;
}

void LayoutWindow::chooseScan()
{
    if (const std::optional<ChosenScan> chosen = chooseFormScan(this, m_scanPath))
        openScan(chosen->path, chosen->pdfPage);
}

bool LayoutWindow::openScan(const QString& path, int page)
{
    QString note;
    const Result<QImage> scan = readFormScan(path, page, &note);
    if (!scan) {
        desktop::warn(m_services.messages, this, scan.error());
        return false;
    }
    m_scanPath = path;
    m_scanPage = page;
    m_canvas->setScan(*scan);
    m_canvas->setScanNudgeTenthMm({});
    rememberScan();
    updateTexts();
    say(QStringLiteral("用紙の画像「%1」%2を重ねました。欄のないところをドラッグすると画像が動きます。")
            .arg(QFileInfo(path).fileName(), note));
    return true;
}

void LayoutWindow::removeScan()
{
    m_scanPath.clear();
    m_scanPage = 0;
    m_canvas->setScan({});
    m_canvas->setScanNudgeTenthMm({});
    rememberScan();
    updateTexts();
}

void LayoutWindow::rememberScan() const
{
    if (m_name.isEmpty())
        return;
    QSettings settings(m_services.station.folders().settingsFile(), QSettings::IniFormat);
    if (m_scanPath.isEmpty()) {
        settings.remove(QStringLiteral("layoutScans/%1").arg(QString::fromLatin1(m_name.toUtf8().toHex())));
        return;
    }
    settings.setValue(scanKey(m_name, "path"), m_scanPath);
    settings.setValue(scanKey(m_name, "pdfPage"), m_scanPage);
    settings.setValue(scanKey(m_name, "nudgeXTenthMm"), m_canvas->scanNudgeTenthMm().x());
    settings.setValue(scanKey(m_name, "nudgeYTenthMm"), m_canvas->scanNudgeTenthMm().y());
}

void LayoutWindow::restoreScan()
{
    const QSettings settings(m_services.station.folders().settingsFile(), QSettings::IniFormat);
    m_scanPath = settings.value(scanKey(m_name, "path")).toString();
    m_scanPage = settings.value(scanKey(m_name, "pdfPage"), 0).toInt();
    if (m_scanPath.isEmpty()) {
        m_canvas->setScan({});
        return;
    }
    const Result<QImage> scan = readFormScan(m_scanPath, m_scanPage);
    if (!scan) {
        m_canvas->setScan({});
        say(QStringLiteral("このレイアウトに重ねていた用紙の画像を読めません。\n%1").arg(scan.error()));
        return;
    }
    m_canvas->setScan(*scan);
    m_canvas->setScanNudgeTenthMm(QPoint(settings.value(scanKey(m_name, "nudgeXTenthMm"), 0).toInt(),
                                         settings.value(scanKey(m_name, "nudgeYTenthMm"), 0).toInt()));
}

void LayoutWindow::zoomIn() { m_canvas->setZoom(m_canvas->zoom() * kZoomStep); }
void LayoutWindow::zoomOut() { m_canvas->setZoom(m_canvas->zoom() / kZoomStep); }

void LayoutWindow::fitToWindow()
{
    // The form's width fills the room, with room for the scroll bar; a long form scrolls.
    const int room = m_scroll->maximumViewportSize().width() - m_scroll->verticalScrollBar()->sizeHint().width() - 2;
    const double paperPx = m_canvas->paperSizeMm().width() * m_canvas->screenDotsPerInch() / 25.4;
    m_canvas->setZoom((room - 2 * m_canvas->paperOrigin().x()) / paperPx);
}

void LayoutWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    refreshQueueLine();
    if (!m_fitted) {
        m_fitted = true;
        fitToWindow();
    }
}

void LayoutWindow::closeEvent(QCloseEvent* event)
{
    if (!mayLeaveChanges(QStringLiteral("閉じます"))) {
        event->ignore();
        return;
    }
    // Changes left behind are gone: the layout shows as saved next time.
    if (m_document.modified()) {
        const QString name = m_name;
        m_document.markSaved();
        m_name.clear();
        openLayout(name);
    }
    event->accept();
}

LayoutWindow* showLayouts(WaybillWindow& window, Services& services)
{
    return showChildWindow<LayoutWindow>(window, window.partInUseOnScreen(), services.station.folders().settingsFile(),
                                         [&] { return new LayoutWindow(window, services); });
}

} // namespace app
