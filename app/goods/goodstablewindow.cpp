#include "app/goods/goodstablewindow.h"

#include "app/desktop/filedialogs.h"
#include "goods/goodscsv.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace app {

namespace {

QString kindCaption(goods::MatchBy by)
{
    return by == goods::MatchBy::ProductCode ? QStringLiteral("商品コード") : QStringLiteral("一覧の商品名");
}

QString documentsFolder() { return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation); }

} // namespace

GoodsTableWindow::GoodsTableWindow(storage::Database& database, QWidget* parent)
    : QWidget(parent, Qt::Window), m_database(database), m_table(database)
{
    setObjectName(QStringLiteral("GoodsTableWindow"));
    setWindowTitle(QStringLiteral("品名の置き換え"));

    auto* hint =
        new QLabel(QStringLiteral("注文一覧の商品コードか商品名が下の表にあると、送り状の品名にはその右の品名を"
                                  "印刷します。メイン画面の品名の欄の一覧にも出ます。"),
                   this);
    hint->setWordWrap(true);

    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("goodsNames"));
    m_list->setHeaderLabels({QStringLiteral("種類"), QStringLiteral("一覧の値"), QStringLiteral("送り状の品名")});
    m_list->setRootIsDecorated(false);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->header()->setSectionResizeMode(1, QHeaderView::Stretch);

    m_kind = new QComboBox(this);
    m_kind->setObjectName(QStringLiteral("kind"));
    for (const goods::MatchBy by : {goods::MatchBy::ProductCode, goods::MatchBy::ListName})
        m_kind->addItem(kindCaption(by), int(by));
    m_match = new QLineEdit(this);
    m_match->setObjectName(QStringLiteral("match"));
    m_shortName = new QLineEdit(this);
    m_shortName->setObjectName(QStringLiteral("shortName"));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("種類(&K)："), m_kind);
    form->addRow(QStringLiteral("一覧の値(&V)："), m_match);
    form->addRow(QStringLiteral("送り状の品名(&N)："), m_shortName);

    m_save = new QPushButton(QStringLiteral("登録"), this);
    m_save->setObjectName(QStringLiteral("save"));
    m_new = new QPushButton(QStringLiteral("新しく入力"), this);
    m_new->setObjectName(QStringLiteral("new"));
    m_remove = new QPushButton(QStringLiteral("削除"), this);
    m_remove->setObjectName(QStringLiteral("remove"));
    auto* importButton = new QPushButton(QStringLiteral("読み込み…"), this);
    importButton->setObjectName(QStringLiteral("import"));
    auto* exportButton = new QPushButton(QStringLiteral("書き出し…"), this);
    exportButton->setObjectName(QStringLiteral("export"));
    auto* closeButton = new QPushButton(QStringLiteral("閉じる"), this);
    closeButton->setObjectName(QStringLiteral("close"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_save);
    buttons->addWidget(m_new);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    buttons->addWidget(importButton);
    buttons->addWidget(exportButton);
    buttons->addWidget(closeButton);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setWordWrap(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(m_list, 1);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(m_status);

    connect(m_list, &QTreeWidget::itemSelectionChanged, this, &GoodsTableWindow::takeChosen);
    connect(m_save, &QPushButton::clicked, this, &GoodsTableWindow::saveRow);
    connect(m_new, &QPushButton::clicked, this, [this] {
        m_list->clearSelection();
        m_editing = 0;
        m_match->clear();
        m_shortName->clear();
        m_match->setFocus();
    });
    connect(m_remove, &QPushButton::clicked, this, &GoodsTableWindow::removeChosen);
    connect(importButton, &QPushButton::clicked, this, &GoodsTableWindow::chooseImportFile);
    connect(exportButton, &QPushButton::clicked, this, &GoodsTableWindow::chooseExportFile);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::close);
    connect(m_match, &QLineEdit::textChanged, this, &GoodsTableWindow::updateButtons);
    connect(m_shortName, &QLineEdit::textChanged, this, &GoodsTableWindow::updateButtons);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);
    resize(720, 480);
    updateButtons();
}

template <typename Operation>
auto GoodsTableWindow::withProblems(Operation operation)
{
    storage::ProblemsMet problems(m_database);
    auto result = operation();
    if (const auto problem = problems.take())
        m_status->setText(problem->message);
    return result;
}

QString GoodsTableWindow::statusText() const { return m_status->text(); }

void GoodsTableWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    reload(); // the database is read here, at the window's first use
}

void GoodsTableWindow::reload()
{
    bool read = false;
    m_rows = withProblems([&] { return m_table.all(&read); });
    m_list->clear();
    for (const goods::GoodsName& row : m_rows) {
        auto* item = new QTreeWidgetItem(m_list, {kindCaption(row.by), row.match, row.shortName});
        item->setData(0, Qt::UserRole, row.id);
        if (row.id == m_editing)
            m_list->setCurrentItem(item);
    }
    updateButtons();
}

void GoodsTableWindow::takeChosen()
{
    const QList<QTreeWidgetItem*> chosen = m_list->selectedItems();
    if (chosen.isEmpty())
        return updateButtons();
    const qint64 id = chosen.front()->data(0, Qt::UserRole).toLongLong();
    for (const goods::GoodsName& row : m_rows)
        if (row.id == id) {
            m_editing = id;
            m_kind->setCurrentIndex(m_kind->findData(int(row.by)));
            m_match->setText(row.match);
            m_shortName->setText(row.shortName);
        }
    updateButtons();
}

void GoodsTableWindow::saveRow()
{
    const goods::GoodsName row{m_editing, goods::MatchBy(m_kind->currentData().toInt()), m_match->text(),
                               m_shortName->text()};
    const std::optional<qint64> id = withProblems([&] { return m_table.save(row); });
    if (!id)
        return;
    m_editing = *id;
    m_status->setText(QStringLiteral("「%1」を「%2」と印刷するように登録しました。")
                          .arg(row.match.trimmed(), row.shortName.trimmed()));
    reload();
}

void GoodsTableWindow::removeChosen()
{
    if (m_editing == 0)
        return;
    const QString match = m_match->text().trimmed();
    if (!withProblems([&] { return m_table.remove(m_editing); }))
        return;
    m_editing = 0;
    m_match->clear();
    m_shortName->clear();
    m_status->setText(QStringLiteral("「%1」の置き換えを削除しました。").arg(match));
    reload();
}

void GoodsTableWindow::importFrom(const QString& path)
{
    const Result<QList<goods::GoodsName>> rows = goods::readCsv(path);
    if (!rows) {
        m_status->setText(rows.error() + QStringLiteral("\n品名の置き換えは変えていません。"));
        return;
    }
    const std::optional<goods::ImportResult> done = withProblems([&] { return m_table.importRows(*rows); });
    if (done)
        m_status->setText(QStringLiteral("「%1」から %2 件を登録し、%3 件を置き換えました。")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(done->added)
                              .arg(done->replaced));
    else
        m_status->setText(m_status->text() + QStringLiteral("\n品名の置き換えは変えていません。"));
    reload();
}

void GoodsTableWindow::exportTo(const QString& path, csv::Encoding encoding)
{
    bool read = false;
    const QList<goods::GoodsName> rows = withProblems([&] { return m_table.all(&read); });
    if (!read)
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        m_status->setText(
            QStringLiteral("「%1」に書き出せません：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    const Result<void> written = goods::writeCsv(rows, file, encoding);
    if (!written) {
        file.cancelWriting();
        m_status->setText(written.error() + QStringLiteral("\nファイルは作っていません。"));
        return;
    }
    if (!file.commit()) {
        m_status->setText(
            QStringLiteral("「%1」に書き出せません：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    m_status->setText(
        QStringLiteral("%1 件を「%2」に書き出しました。").arg(rows.size()).arg(QDir::toNativeSeparators(path)));
}

void GoodsTableWindow::chooseImportFile()
{
    const QString path = desktop::openFileName(this, QStringLiteral("品名の置き換えの読み込み"), documentsFolder(),
                                               QStringLiteral("CSVファイル (*.csv *.txt);;すべてのファイル (*)"));
    if (!path.isEmpty())
        importFrom(path);
}

void GoodsTableWindow::chooseExportFile()
{
    if (const auto chosen =
            desktop::csvFileToWrite(this, QStringLiteral("品名の置き換えの書き出し"),
                                    QDir(documentsFolder()).filePath(QStringLiteral("品名の置き換え.csv"))))
        exportTo(chosen->path, chosen->encoding);
}

void GoodsTableWindow::updateButtons()
{
    m_save->setEnabled(!m_match->text().trimmed().isEmpty() && !m_shortName->text().trimmed().isEmpty());
    m_remove->setEnabled(m_editing != 0);
}

} // namespace app
