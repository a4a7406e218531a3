#include "app/batch/batchwindow.h"

#include "app/batch/batchtexts.h"
#include "app/batch/columnmappingdialog.h"
#include "app/batch/listconstantspanel.h"
#include "app/batch/orderlistmodel.h"
#include "app/batch/readingpump.h"
#include "app/batch/roweditdialog.h"
#include "app/desktop/filedialogs.h"
#include "app/preview/previewwidget.h"
#include "app/widgets/addressblockeditor.h"
#include "app/widgets/childwindow.h"
#include "app/widgets/elidedtips.h"
#include "app/widgets/postaloffer.h"
#include "app/widgets/services.h"
#include "app/widgets/waybillwindow.h"
#include "orders/batchrows.h"
#include "print/overrun.h"
#include "station/listchecks.h"
#include "station/orderprint.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QStyle>
#include <QTableView>
#include <QVBoxLayout>

namespace app {

namespace {

// No column but the reasons grows wider than this many characters.
constexpr double kWidestColumn_em = 11;

QPushButton* commandButton(const QString& caption, const QString& tip, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setToolTip(tip);
    b->setAutoDefault(false);
    return b;
}

// The waybill under the preview, the area of its texts as wide as the room:
// at the paper's width they would be too small to read. The rest of the
// paper is scrolled to.
class PreviewPane final : public QScrollArea {
public:
    explicit PreviewPane(PreviewWidget* view, QWidget* parent) : QScrollArea(parent), m_view(view)
    {
        setWidget(view);
        setAlignment(Qt::AlignCenter);
        setBackgroundRole(QPalette::Dark);
        setMinimumSize(240, 180);
        connect(view, &PreviewWidget::refreshed, this, &PreviewPane::showWaybillArea);
    }
    void fit()
    {
        const QRectF area = waybillAreaMm();
        const double room = maximumViewportSize().width() - verticalScrollBar()->sizeHint().width() - 2 * kAroundPx;
        const double pxPerMmAtTrueSize = m_view->screenDotsPerInch() / 25.4;
        if (area.width() <= 0 || room <= 0)
            return;
        m_view->setZoom(room / (area.width() * pxPerMmAtTrueSize));
        showWaybillArea();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QScrollArea::resizeEvent(event);
        fit();
    }

private:
    // Around the printed area, so its edge texts are not at the pane's edge.
    static constexpr int kAroundPx = 6;

    // Every place the print can put a text, where it goes with the present
    // offsets, in mm from the printable area's corner. The marks of the
    // delivery time lie further left; they are the list's, not the row's.
    QRectF waybillAreaMm() const
    {
        QRectF area;
        for (const print::FormTextPlace& place : print::formDrawing(m_view->layout()).texts)
            area |= place.placeMm;
        if (const auto offsets = m_view->offsets())
            area.translate(offsets->horizontalTenthMm / 10.0, offsets->verticalTenthMm / 10.0);
        return area;
    }
    void showWaybillArea()
    {
        const QPointF topLeft = m_view->pageToWidget(waybillAreaMm().topLeft());
        horizontalScrollBar()->setValue(int(topLeft.x()) - kAroundPx);
        verticalScrollBar()->setValue(int(topLeft.y()) - kAroundPx);
    }

    PreviewWidget* m_view;
};

// While a document is made the event loop turns for the cancel command
// only: nothing else of the program may start, print or close meanwhile.
class InputBlock final : public QObject {
public:
    explicit InputBlock(std::vector<const QObject*> allowed) : m_allowed(std::move(allowed))
    {
        qApp->installEventFilter(this);
    }
    ~InputBlock() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* target, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
            return std::find(m_allowed.begin(), m_allowed.end(), target) == m_allowed.end();
        case QEvent::Close:
            return target->isWidgetType() && static_cast<QWidget*>(target)->isWindow();
        default:
            return false;
        }
    }

private:
    std::vector<const QObject*> m_allowed;
};

} // namespace

BatchWindow::BatchWindow(Services& services, WaybillWindow& window)
    : QWidget(&window, Qt::Window), m_services(services), m_window(window)
{
    setObjectName(QStringLiteral("BatchWindow"));
    setWindowTitle(QStringLiteral("一括印刷"));

    m_model = new OrderListModel(services.station.folders().settingsFile(), this);
    // The postal codes' checks need the station's directory.
    station::prepareOrderList(services.station, m_model->list());
    m_pump = new ReadingPump(m_model->list(), this);
    m_texts = new BatchTexts(this);

    m_chooseFile = [](QWidget* parent) {
        return desktop::openFileName(parent, QStringLiteral("注文一覧（CSV）を開く"), QString(),
                                     QStringLiteral("CSVファイル (*.csv *.txt);;すべてのファイル (*)"));
    };
    m_runDialog = [](QDialog& dialog) { return dialog.exec() == QDialog::Accepted; };

    auto* splitter = new QSplitter(this);
    splitter->addWidget(createRowsPane());
    splitter->addWidget(createSidePane());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);
    splitter->setSizes({680, 500});

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(createFileBar());
    layout->addWidget(m_texts->banner());
    layout->addWidget(splitter, 1);
    layout->addLayout(createPrintBar());

    for (auto [button, name] :
         {std::pair{m_openButton, "openButton"}, std::pair{m_columnsButton, "columnsButton"},
          std::pair{m_editButton, "editButton"}, std::pair{m_excludeButton, "excludeButton"},
          std::pair{m_nextButton, "nextButton"}, std::pair{m_printSelectedButton, "printSelectedButton"},
          std::pair{m_printAllButton, "printAllButton"}, std::pair{m_cancelButton, "cancelButton"},
          std::pair{m_closeButton, "closeButton"}})
        button->setObjectName(QLatin1String(name));

    connectCommands();

    // The saved senders: the address book opens with this window, not before.
    {
        storage::ProblemsMet problems(m_services.station.database());
        m_constants->setSavedSenders(m_services.station.addressBook().recent(addressbook::Kind::Sender));
        if (const auto problem = problems.take())
            m_texts->setStatus(problem->message);
    }
    list().setConstants(m_constants->constants());
    if (m_services.systemPrinter)
        m_preview->setPaper(m_services.systemPrinter->paperLayout(), m_services.systemPrinter->printableCornerMm());

    updateSummary();
    updateCommands();
    updateRowDetail();
    resize(1180, 760);
    m_openButton->setFocus();
}

QLayout* BatchWindow::createFileBar()
{
    m_openButton =
        commandButton(QStringLiteral("CSVを開く… (Ctrl+O)"),
                      QStringLiteral("ネットショップなどから書き出した注文一覧のCSVファイルを開きます"), this);
    m_fileLabel = new QLabel(QStringLiteral("注文一覧（CSV）を開いてください。"), this);
    m_fileLabel->setTextFormat(Qt::PlainText);
    m_fileLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_encoding = new QComboBox(this);
    m_encoding->setObjectName(QStringLiteral("encoding"));
    for (csv::Encoding e : {csv::Encoding::Utf8, csv::Encoding::Cp932})
        m_encoding->addItem(csv::displayName(e), int(e));
    m_encoding->setToolTip(QStringLiteral("文字化けしているときは、もう一方の文字コードを選ぶと読み直します"));
    auto* encodingLabel = new QLabel(QStringLiteral("文字コード(&E)："), this);
    encodingLabel->setBuddy(m_encoding);
    m_encodingNote = new QLabel(this);
    m_columnsButton = commandButton(QStringLiteral("列の対応…"),
                                    QStringLiteral("どの列が送り状のどの欄になるかを確かめ、選び直します"), this);

    auto* fileBar = new QHBoxLayout;
    fileBar->addWidget(m_openButton);
    fileBar->addWidget(m_fileLabel, 1);
    fileBar->addWidget(encodingLabel);
    fileBar->addWidget(m_encoding);
    fileBar->addWidget(m_encodingNote);
    fileBar->addWidget(m_columnsButton);
    return fileBar;
}

QWidget* BatchWindow::createRowsPane()
{
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("rows"));
    m_table->setModel(m_model);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    m_table->setAlternatingRowColors(false);
    m_table->verticalHeader()->hide();
    // Fixed sizes: nothing measures every row of a long list.
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_table->verticalHeader()->setDefaultSectionSize(m_table->fontMetrics().height() + 8);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    m_table->horizontalHeader()->setStretchLastSection(true);
    const int em = m_table->fontMetrics().horizontalAdvance(QChar(0x5c71));
    // In characters; the reasons take the rest.
    const std::pair<int, double> widths[] = {
        {OrderListModel::StateColumn, 8.5},     {OrderListModel::LineColumn, 3},
        {OrderListModel::OrderNumberColumn, 6}, {OrderListModel::NameColumn, 6},
        {OrderListModel::PostalCodeColumn, 5},  {OrderListModel::AddressColumn, 10}};
    for (auto [column, ems] : widths)
        m_table->setColumnWidth(column, int(ems * em) + 12);
    m_table->setItemDelegate(new ElidedTextTips(m_table));

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(true);
    m_progress->hide();
    m_cancelButton =
        commandButton(QStringLiteral("中止 (Esc)"),
                      QStringLiteral("印刷を次の1枚の前で止めます。途中までの分もプリンタには送りません"), this);
    m_cancelButton->hide();
    auto* summaryBar = new QHBoxLayout;
    summaryBar->addWidget(m_texts->summary(), 1);
    summaryBar->addWidget(m_progress, 1);
    summaryBar->addWidget(m_cancelButton);

    m_editButton = commandButton(QStringLiteral("行を修正… (Enter)"),
                                 QStringLiteral("選んだ行の送り状の内容を直します。CSVファイルは書き換えません"), this);
    m_excludeButton =
        commandButton(QStringLiteral("除外する／戻す (Del)"),
                      QStringLiteral("選んだ行を印刷から外します。外した行でもう一度押すと戻します"), this);
    m_nextButton = commandButton(QStringLiteral("次の不備へ (F8)"), QStringLiteral("不備のある次の行を選びます"), this);
    auto* rowBar = new QHBoxLayout;
    rowBar->addWidget(m_editButton);
    rowBar->addWidget(m_excludeButton);
    rowBar->addWidget(m_nextButton);
    rowBar->addStretch();

    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_table, 1);
    layout->addLayout(summaryBar);
    layout->addLayout(rowBar);
    layout->addWidget(m_texts->rowDetail());
    return pane;
}

QWidget* BatchWindow::createSidePane()
{
    // What all waybills share, and the selected row's waybill.
    m_constants = new ListConstantsPanel(m_window.choices(), this);
    // A complete postal code offers its address, as in the main window.
    AddressBlockEditor& sender = m_constants->sender();
    new PostalOffer(
        sender.field(AddressBlockEditor::PostalCode), sender.field(AddressBlockEditor::Line1),
        [this](const QString& code) {
            return addressesOfCode(m_services.station, code, [this](const QString& why) { m_texts->setStatus(why); });
        },
        this);
    m_preview = new PreviewWidget([this] {
        PreviewContent content;
        const qint64 row = currentRow();
        // Without a row, what every waybill of the list shares.
        content.waybill = row >= 0 ? list().waybillAt(row) : orders::buildWaybill({}, {}, m_constants->constants());
        const OffsetTexts offsets = m_window.offsetTexts();
        content.horizontalOffsetText = offsets.horizontal;
        content.verticalOffsetText = offsets.vertical;
        if (Result<print::Layout> layout = m_services.station.layoutInUse())
            content.layout = std::move(*layout);
        else
            content.layoutProblem = layout.error();
        content.extras = m_constants->sheetExtras();
        if (row >= 0)
            content.extras.orderNumber = list().orderNumberAt(row);
        return content;
    });
    m_preview->setToolTip(QStringLiteral("選んだ行の送り状が用紙のどこに印刷されるかを表示します"));
    auto* previewPane = new PreviewPane(m_preview, this);
    auto* previewCaption = new QLabel(QStringLiteral("選んだ行の送り状："), this);
    auto* pane = new QWidget(this);
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_constants);
    layout->addWidget(previewCaption);
    layout->addWidget(previewPane, 1);
    return pane;
}

QLayout* BatchWindow::createPrintBar()
{
    m_printSelectedButton =
        commandButton(QStringLiteral("選んだ行を印刷 (Ctrl+P)"),
                      QStringLiteral("選んだ行のうち印刷できる行を、1つの印刷としてまとめて印刷します"), this);
    m_printAllButton = commandButton(QStringLiteral("印刷できる行をすべて印刷 (Ctrl+Shift+P)"),
                                     QStringLiteral("「印刷できる」の行をすべて、1行1枚で続けて印刷します"), this);
    m_closeButton =
        commandButton(QStringLiteral("閉じる"),
                      QStringLiteral("この画面を閉じます。読み込んだ一覧は、もう一度開くまで残ります"), this);
    auto* printBar = new QHBoxLayout;
    printBar->addWidget(m_printSelectedButton);
    printBar->addWidget(m_printAllButton);
    printBar->addWidget(m_texts->status(), 1);
    printBar->addWidget(m_closeButton);
    return printBar;
}

void BatchWindow::connectCommands()
{
    connect(m_openButton, &QPushButton::clicked, this, &BatchWindow::chooseFile);
    connect(m_columnsButton, &QPushButton::clicked, this, &BatchWindow::chooseColumns);
    connect(m_encoding, &QComboBox::activated, this, &BatchWindow::encodingChosen);
    connect(m_editButton, &QPushButton::clicked, this, &BatchWindow::editCurrentRow);
    connect(m_excludeButton, &QPushButton::clicked, this, &BatchWindow::toggleExcluded);
    connect(m_nextButton, &QPushButton::clicked, this, &BatchWindow::nextRefused);
    connect(m_printSelectedButton, &QPushButton::clicked, this, &BatchWindow::printSelected);
    connect(m_printAllButton, &QPushButton::clicked, this, &BatchWindow::printAll);
    connect(m_cancelButton, &QPushButton::clicked, this, &BatchWindow::cancel);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_table, &QTableView::doubleClicked, this, &BatchWindow::editCurrentRow);
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        updateRowDetail();
        refreshPreview();
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, &BatchWindow::updateCommands);
    // Each change checks every row again, from the event loop; a change made
    // while that runs starts it over.
    connect(m_constants, &ListConstantsPanel::changed, this, &BatchWindow::applyConstants);
    connect(m_constants, &ListConstantsPanel::sheetChanged, this, &BatchWindow::refreshPreview);
    connect(&m_window, &WaybillWindow::offsetsChanged, this, &BatchWindow::refreshPreview);
    connect(m_pump, &ReadingPump::sliceRead, this, &BatchWindow::afterSlice);
    // Widened once the view has painted the row that holds the text.
    connect(m_model, &OrderListModel::longerText, this, &BatchWindow::showWhole, Qt::QueuedConnection);
    connect(m_pump, &ReadingPump::finished, this, &BatchWindow::afterReading);

    const std::pair<QKeySequence, void (BatchWindow::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_O), &BatchWindow::chooseFile},
        {QKeySequence(Qt::Key_F8), &BatchWindow::nextRefused},
        {QKeySequence(Qt::CTRL | Qt::Key_P), &BatchWindow::printSelected},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P), &BatchWindow::printAll},
    };
    for (const auto& [key, slot] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, slot);
    // Enter and Delete act on the rows only while the table has the focus.
    for (auto [key, slot] : {std::pair{Qt::Key_Return, &BatchWindow::editCurrentRow},
                             std::pair{Qt::Key_Enter, &BatchWindow::editCurrentRow},
                             std::pair{Qt::Key_Delete, &BatchWindow::toggleExcluded}}) {
        auto* shortcut = new QShortcut(QKeySequence(key), m_table);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this, slot);
    }
    m_escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(m_escape, &QShortcut::activated, this, [this] {
        if (m_printing)
            cancel();
        else
            close();
    });
}

BatchWindow::~BatchWindow() = default;

bool BatchWindow::isReading() const { return m_pump->isActive(); }
orders::OrderList& BatchWindow::list() { return m_model->list(); }
QString BatchWindow::filePath() const { return m_model->filePath(); }

QString BatchWindow::statusText() const { return m_texts->statusText(); }
QString BatchWindow::summaryText() const { return m_texts->summaryText(); }
QString BatchWindow::bannerText() const { return m_texts->bannerText(); }
QString BatchWindow::rowDetailText() const { return m_texts->rowDetailText(); }

bool BatchWindow::runDialog(QDialog& dialog) { return m_runDialog(dialog); }

qint64 BatchWindow::currentRow() const
{
    const QModelIndex current = m_table->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

std::vector<qint64> BatchWindow::selectedRows() const
{
    std::vector<qint64> rows;
    for (const QModelIndex& index : m_table->selectionModel()->selectedRows())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void BatchWindow::selectRows(const std::vector<qint64>& rows)
{
    QItemSelection selection;
    for (qint64 row : rows)
        selection.select(m_model->index(int(row), 0), m_model->index(int(row), OrderListModel::ColumnCount - 1));
    auto* selectionModel = m_table->selectionModel();
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    if (!rows.empty()) {
        selectionModel->setCurrentIndex(m_model->index(int(rows.front()), 0), QItemSelectionModel::NoUpdate);
        m_table->scrollTo(m_model->index(int(rows.front()), 0));
    }
}

bool BatchWindow::mayForgetWork(const QString& path)
{
    // Reading the same file again forgets which rows were printed; another
    // file forgets only the edits (the printed rows are in the history).
    const bool sameFile = m_model->isOpen() && QFileInfo(path) == QFileInfo(m_model->filePath());
    const qint64 printed = sameFile ? orders::countStates(list()).printed : 0;
    qint64 edited = 0;
    for (qint64 row = 0; row < list().rowCount(); ++row)
        edited += list().isEdited(row);
    if (printed == 0 && edited == 0)
        return true;
    const QString name = QFileInfo(path).fileName();
    QString text;
    if (sameFile) {
        QStringList lost;
        if (printed > 0)
            lost << QStringLiteral("印刷済みの印（%1 行）").arg(countText(printed));
        if (edited > 0)
            lost << QStringLiteral("行の修正（%1 行）").arg(countText(edited));
        text =
            QStringLiteral("「%1」を読み直すと、この一覧の%2は消えます。").arg(name, lost.join(QStringLiteral("と")));
        if (printed > 0)
            text += QStringLiteral(
                "印刷済みの行も「印刷できる」に戻るため、同じ送り状を二重に印刷しないよう気をつけてください。");
        text += QStringLiteral("\n\n読み直しますか？");
    } else {
        text =
            QStringLiteral(
                "「%1」を開くと、この一覧で直した %2 行の内容は消えます（CSVファイルは元のままです）。\n\n開きますか？")
                .arg(name, countText(edited));
    }
    return m_services.messages.show(this, {text, desktop::MsgIcon::Question, desktop::MsgButtons::YesNo,
                                           desktop::MsgAnswer::No, std::nullopt}) == desktop::MsgAnswer::Yes;
}

void BatchWindow::chooseFile()
{
    if (m_printing)
        return;
    const QString path = m_chooseFile(this);
    if (!path.isEmpty())
        openFile(path);
}

bool BatchWindow::openFile(const QString& path, std::optional<csv::Encoding> encoding)
{
    if (m_printing)
        return false;
    orders::OrderList& rows = list();
    if (!mayForgetWork(path)) {
        // The list stays as it was, and so does the encoding it was read with.
        m_encoding->setCurrentIndex(m_encoding->findData(int(rows.encoding())));
        return false;
    }
    m_pump->stop();
    // The rows are checked against the page of the layout the print takes.
    if (const Result<print::Layout> layout = m_services.station.layoutInUse())
        station::checkAgainstThePage(list(), *layout);
    // A file that does not open stays named, so another encoding can be tried on it.
    const bool opened = m_model->open(path, encoding);
    m_texts->setStatus(QString());
    m_fileLabel->setText(QDir::toNativeSeparators(path));
    m_fileLabel->setToolTip(QDir::toNativeSeparators(path));
    if (opened)
        m_encoding->setCurrentIndex(m_encoding->findData(int(rows.encoding())));
    else if (encoding)
        m_encoding->setCurrentIndex(m_encoding->findData(int(*encoding)));
    m_encodingNote->setText(encoding ? QStringLiteral("（指定）") : QStringLiteral("（自動判定）"));
    if (!opened) {
        m_texts->setBanner(rows.errorText());
        updateSummary();
        updateCommands();
        updateRowDetail();
        refreshPreview();
        return false;
    }
    m_texts->setBanner(rows.headingNotes().join(QLatin1Char('\n')));

    if (!rows.missingFields().isEmpty()) {
        // A few rows first, to show what the columns hold, and the window
        // showing this list under the dialog.
        m_pump->readSamples();
        m_model->takeNewRows();
        updateSummary();
        updateCommands();
        updateRowDetail();
        refreshPreview();
        chooseColumns();
    }
    startReading(false);
    return true;
}

void BatchWindow::encodingChosen()
{
    const auto chosen = csv::Encoding(m_encoding->currentData().toInt());
    const bool isOpen = !list().headings().isEmpty();
    if (!m_model->isOpen() || (isOpen && chosen == list().encoding()))
        return;
    openFile(m_model->filePath(), chosen);
}

void BatchWindow::chooseColumns()
{
    orders::OrderList& rows = list();
    if (!m_model->isOpen() || m_printing || rows.headings().isEmpty())
        return;
    QList<QStringList> samples;
    for (qint64 row = 0; row < std::min<qint64>(rows.rowCount(), ReadingPump::kSampleRows); ++row)
        samples << rows.cellsAt(row);
    ColumnMappingDialog dialog(rows.headings(), samples, rows.columns(), this);
    if (!runDialog(dialog))
        return;
    // Unchanged, a shop's list stays read by orders.
    if (dialog.chosen() == rows.columns() &&
        (rows.mappingSource() == orders::MappingSource::User || rows.mappingSource() == orders::MappingSource::Shop))
        return;
    // A shop's list is then read again line by line: its printed marks
    // and edits go, as when the file is read again.
    if (rows.shop() && !mayForgetWork(m_model->filePath()))
        return;
    if (!rows.setColumns(dialog.chosen())) {
        m_texts->setStatus(QStringLiteral("この列の対応は使えません。%1").arg(dialog.verdictText()));
        return;
    }
    // A shop's list read by orders is now read line by line.
    if (m_model->rowCount() != rows.rowCount())
        m_model->resetList();
    m_model->saveColumns();
    afterChecksChanged();
}

void BatchWindow::afterChecksChanged()
{
    // Before a list is open there are no rows to check, only the page to show.
    if (list().headings().isEmpty()) {
        refreshPreview();
        return;
    }
    m_model->refreshAll();
    startReading(true);
    updateRowDetail();
    refreshPreview();
}

void BatchWindow::applyConstants()
{
    // The panel is disabled while a document is made.
    list().setConstants(m_constants->constants());
    afterChecksChanged();
}

void BatchWindow::startReading(bool rechecking)
{
    m_pump->start(rechecking);
    if (!m_pump->isActive())
        return; // a complete list is settled already
    m_progress->setRange(0, 1000);
    m_progress->setFormat(rechecking ? QStringLiteral("確認中… %p%") : QStringLiteral("読み込み中… %p%"));
    m_progress->show();
    updateCommands();
}

void BatchWindow::afterSlice(bool countsDue)
{
    m_model->takeNewRows();
    if (m_pump->isRechecking())
        m_model->statesChanged();
    m_progress->setValue(int(list().progress() * 1000));
    if (countsDue)
        updateSummary();
}

void BatchWindow::afterReading()
{
    m_progress->hide();
    m_texts->showListRead(list());
    if (currentRow() < 0 && list().rowCount() > 0)
        m_table->selectionModel()->setCurrentIndex(m_model->index(0, 0),
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    // The columns as wide as the rows on screen need; what is still cut
    // short shows whole in its tooltip.
    fitColumnsToContents(*m_table, *m_table->horizontalHeader(), OrderListModel::ReasonColumn, kWidestColumn_em);
    for (int column : {int(OrderListModel::OrderNumberColumn), int(OrderListModel::FormNumberColumn)})
        showWhole(column, m_model->longestText(column));
    updateSummary();
    updateCommands();
    updateRowDetail();
    refreshPreview();
}

void BatchWindow::showWhole(int column, const QString& text)
{
    // The text, the cell's margins on either side, and room for the focus frame.
    const int margins = 2 * (m_table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, m_table) + 1) + 12;
    const int wanted = m_table->fontMetrics().horizontalAdvance(text) + margins;
    if (m_table->columnWidth(column) < wanted)
        m_table->setColumnWidth(column, wanted);
}

void BatchWindow::updateSummary() { m_printableRows = m_texts->showCounts(list(), m_model->isOpen()); }

void BatchWindow::updateCommands()
{
    const bool busy = m_printing || isReading();
    const bool open = m_model->isOpen();
    const bool hasRow = currentRow() >= 0;
    m_openButton->setEnabled(!m_printing);
    m_encoding->setEnabled(open && !m_printing);
    m_columnsButton->setEnabled(!list().headings().isEmpty() && !m_printing);
    m_constants->setEnabled(!m_printing);
    m_table->setEnabled(!m_printing);
    m_editButton->setEnabled(open && hasRow && !busy);
    m_excludeButton->setEnabled(open && !selectedRows().empty() && !busy);
    m_nextButton->setEnabled(open && !busy);
    m_printSelectedButton->setEnabled(open && !busy && !selectedRows().empty());
    m_printAllButton->setEnabled(open && !busy && m_printableRows > 0);
    m_closeButton->setEnabled(!m_printing);
    showPlannedForms();
}

void BatchWindow::showPlannedForms()
{
    // The forms the selected printable rows would go on, in print order.
    // A selection larger than this is not worked out row by row.
    constexpr std::size_t kMostPlanned = 1000;
    std::vector<qint64> rows;
    if (!m_printing && m_model->isOpen())
        for (qint64 row : selectedRows())
            if (row < list().rowCount() && list().state(row) == orders::RowState::Printable)
                rows.push_back(row);
    QHash<qint64, QString> planned;
    if (!rows.empty() && rows.size() <= kMostPlanned)
        if (const auto numbers = m_services.printRun.upcomingFormNumbers(int(rows.size())); numbers)
            for (qsizetype i = 0; i < numbers->size(); ++i)
                planned.insert(rows[size_t(i)], (*numbers)[i].display());
    m_model->setFormNumbers(planned, true);
}

void BatchWindow::updateRowDetail() { m_texts->showRow(*m_model, currentRow(), m_model->isOpen()); }

void BatchWindow::refreshPreview() { m_preview->refresh(); }

void BatchWindow::editCurrentRow()
{
    const qint64 row = currentRow();
    if (row < 0 || m_printing || isReading())
        return;
    if (list().state(row) == orders::RowState::Printed) {
        m_texts->setStatus(QStringLiteral("%1行目は印刷済みのため、直せません。").arg(list().lineOf(row)));
        return;
    }
    const QStringList headings = list().headings();
    const orders::ColumnMap columns = list().columns();
    RowEditDialog dialog(
        list().lineOf(row), list().waybillAt(row), list().isEdited(row),
        [headings, columns](const waybill::Waybill& w) {
            return orders::checkWaybill(w, headings, columns,
                                        [](const waybill::Waybill& row) { return print::printProblem(row); });
        },
        this);
    if (!runDialog(dialog))
        return;
    if (dialog.revertRequested())
        list().revertEdit(row);
    else
        list().setEdited(row, dialog.edited());
    m_model->refreshRow(row);
    updateSummary();
    updateRowDetail();
    updateCommands();
    refreshPreview();
}

void BatchWindow::toggleExcluded()
{
    if (m_printing || isReading())
        return;
    std::vector<qint64> rows;
    for (qint64 row : selectedRows())
        if (list().state(row) != orders::RowState::Printed)
            rows.push_back(row);
    if (rows.empty())
        return;
    const bool allExcluded = std::all_of(rows.begin(), rows.end(),
                                         [&](qint64 row) { return list().state(row) == orders::RowState::Excluded; });
    for (qint64 row : rows) {
        list().setExcluded(row, !allExcluded);
        m_model->refreshRow(row);
    }
    m_texts->setStatus(allExcluded ? QStringLiteral("%1を印刷に戻しました。").arg(orders::lineList(list(), rows))
                                   : QStringLiteral("%1を印刷から除外しました。").arg(orders::lineList(list(), rows)));
    updateSummary();
    updateRowDetail();
    updateCommands();
}

void BatchWindow::nextRefused()
{
    if (m_printing || list().rowCount() == 0)
        return;
    const qint64 count = list().rowCount();
    const qint64 from = currentRow();
    for (qint64 step = 1; step <= count; ++step) {
        const qint64 row = (from + step) % count;
        if (list().state(row) == orders::RowState::Refused) {
            selectRows({row});
            m_table->setFocus();
            return;
        }
    }
    m_texts->setStatus(QStringLiteral("不備のある行はありません。"));
}

void BatchWindow::printSelected() { printRows(selectedRows()); }

void BatchWindow::printAll() { printRows(orders::rowsIn(list(), orders::RowState::Printable)); }

void BatchWindow::printRows(std::vector<qint64> rows)
{
    if (m_printing || !m_model->isOpen())
        return;
    if (isReading()) {
        m_texts->setStatus(QStringLiteral("すべての行を読み込んで確かめ終わってから印刷してください。"));
        return;
    }
    const auto offsets = m_window.offsetsForPrint(this);
    if (!offsets)
        return;
    std::vector<qint64> skipped;
    std::erase_if(rows, [&](qint64 row) {
        if (list().state(row) == orders::RowState::Printable)
            return false;
        skipped.push_back(row);
        return true;
    });
    if (rows.empty()) {
        desktop::warn(
            m_services.messages, this,
            skipped.empty()
                ? QStringLiteral("印刷できる行がありません。")
                : QStringLiteral(
                      "選んだ行に印刷できる行がありません（%1は「印刷できる」ではありません）。不備のある行は直してから印刷してください。")
                      .arg(orders::lineList(list(), skipped)));
        return;
    }
    const orders::ListConstants constants = m_constants->constants();
    const bool noSender = constants.sender.name.isEmpty() && constants.sender.line1.isEmpty();
    // Several forms, or forms without a sender, are spent only when the user says so.
    if (rows.size() > 1 || noSender) {
        const QString count = countText(qint64(rows.size()));
        QString question =
            rows.size() > 1
                ? QStringLiteral("送り状 %1 枚を続けて印刷します（%2）。連続用紙が %1 枚分あるか確かめてください。")
                      .arg(count, orders::lineList(list(), rows))
                : QString();
        if (noSender)
            question +=
                QStringLiteral(
                    "%1ご依頼主の名前と住所が空です。このまま %2 枚を印刷しますか？\n\n"
                    "ご依頼主が印刷済みの用紙でなければ、「いいえ」を押して、ご依頼主を選ぶか入力してください。")
                    .arg(question.isEmpty() ? QString() : QStringLiteral("\n\n"), count);
        else
            question += QStringLiteral("\n\n印刷しますか？");
        desktop::Message asked{question, desktop::MsgIcon::Question, desktop::MsgButtons::YesNo,
                               noSender ? desktop::MsgAnswer::No : desktop::MsgAnswer::Yes, std::nullopt};
        if (m_services.messages.show(this, asked) != desktop::MsgAnswer::Yes)
            return;
    }

    m_printing = true;
    m_cancelRequested = false;
    m_progress->setRange(0, int(rows.size()));
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("印刷の準備中… %v / %m 枚"));
    m_progress->show();
    m_cancelButton->show();
    m_cancelButton->setFocus();
    m_texts->setStatus(QString());
    updateCommands();
    std::optional<InputBlock> block;
    block.emplace(std::vector<const QObject*>{m_cancelButton, m_escape});
    const station::Printed printed = station::printOrderRows(
        m_services.printRun, list(), rows, *offsets,
        [this](int done, int) {
            m_progress->setValue(done);
            QCoreApplication::processEvents();
            // Asked after each page: a cancel stops before the next one.
            return !m_cancelRequested;
        },
        m_constants->savedSenderInUse(), std::nullopt, m_constants->sheetExtras());
    block.reset();
    m_printing = false;
    m_progress->hide();
    m_cancelButton->hide();
    for (qint64 row : rows)
        m_model->refreshRow(row);
    QHash<qint64, QString> used;
    for (qsizetype i = 0; i < printed.formNumbers.size() && i < qsizetype(rows.size()); ++i)
        used.insert(rows[size_t(i)], printed.formNumbers[i].display());
    m_model->setFormNumbers(used, false);
    if (printed.delivery.ok)
        emit m_window.formStackChanged();

    const QString lines = orders::lineList(list(), rows);
    // Said in a box after the window shows the outcome.
    std::optional<QString> notice, warning;
    if (printed.delivery.ok) {
        QString said =
            QStringLiteral("%1 枚を「%2」に印刷しました（%3）。")
                .arg(countText(printed.delivery.pages), QDir::toNativeSeparators(printed.delivery.destination), lines);
        if (!skipped.empty())
            said += QStringLiteral("「印刷できる」でない%1は印刷していません。").arg(orders::lineList(list(), skipped));
        m_texts->setStatus(said);
        m_table->clearSelection();
        if (!printed.notice.isEmpty())
            notice = printed.notice;
    } else {
        // A document reaches the printer whole or not at all: none of these rows did.
        selectRows(rows);
        const QString again =
            QStringLiteral(
                "%1は「印刷できる」のまま選んであります。もう一度印刷するには「選んだ行を印刷」を押してください。")
                .arg(lines);
        if (printed.delivery.cancelled) {
            m_texts->setStatus(QStringLiteral("印刷を中止しました。1枚もプリンタに送っていません。") + again);
        } else {
            const QString why = printed.delivery.message.isEmpty() ? QStringLiteral("印刷できませんでした。")
                                                                   : printed.delivery.message;
            m_texts->setStatus(QStringLiteral("印刷できませんでした。どの行もプリンタに届いていません。") + again);
            warning = QStringLiteral("%1\n\nこの印刷では、どの行もプリンタに届いていません。%2").arg(why, again);
        }
    }
    updateSummary();
    updateCommands();
    updateRowDetail();
    refreshPreview();
    m_table->setFocus();
    if (warning)
        desktop::warn(m_services.messages, this, *warning);
    else if (notice)
        desktop::inform(m_services.messages, this, *notice);
}

void BatchWindow::cancel()
{
    if (!m_printing)
        return;
    m_cancelRequested = true;
    m_progress->setFormat(QStringLiteral("中止しています…"));
}

void BatchWindow::closeEvent(QCloseEvent* event)
{
    // A print under way finishes or is cancelled first; the list stays for the next opening.
    if (m_printing) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

BatchWindow* showBatch(WaybillWindow& window, Services& services)
{
    return showChildWindow<BatchWindow>(window, window.partInUseOnScreen(), services.station.folders().settingsFile(),
                                        [&] { return new BatchWindow(services, window); });
}

} // namespace app
