#include "app/books/bookwidgets.h"

#include "app/widgets/elidedtips.h"
#include "app/widgets/services.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace app {

QTreeWidget* makeEntryList(const QStringList& headings, int stretchColumn, QWidget* parent)
{
    auto* list = new QTreeWidget(parent);
    list->setHeaderLabels(headings);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setAlternatingRowColors(true);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(stretchColumn, QHeaderView::Stretch);
    list->setItemDelegate(new ElidedTextTips(list));
    return list;
}

int chosenRow(const QTreeWidget& list)
{
    QTreeWidgetItem* item = list.currentItem();
    return item && item->isSelected() ? list.indexOfTopLevelItem(item) : -1;
}

void chooseRow(QTreeWidget& list, int row)
{
    if (QTreeWidgetItem* item = list.topLevelItem(row))
        list.setCurrentItem(item);
}

QPushButton* bookButton(const QString& caption, QWidget* parent, const char* objectName)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(objectName));
    b->setAutoDefault(false);
    return b;
}

StorageProblemBanner::StorageProblemBanner(QString unusable, bool offerRetry, QWidget* parent)
    : QWidget(parent), m_unusable(std::move(unusable))
{
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("problem"));
    m_text->setWordWrap(true);
    m_text->setFrameShape(QFrame::StyledPanel);
    m_text->setStyleSheet(QStringLiteral("QLabel { background: #fff4d6; padding: 6px; }"));
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_text, 1);
    if (offerRetry) {
        m_retry = bookButton(QStringLiteral("もう一度開く"), this, "retry");
        m_retry->setToolTip(
            QStringLiteral("住所録のファイルをもう一度開いてみます（ほかのプログラムが使い終わったときなど）"));
        row->addWidget(m_retry, 0, Qt::AlignTop);
        connect(m_retry, &QPushButton::clicked, this, &StorageProblemBanner::retryRequested);
    }
    hide();
}

bool StorageProblemBanner::follow(const storage::Database& database)
{
    const bool unusable = !database.isOpen() && database.lastProblem() && !database.lastProblem()->databaseUsable;
    if (unusable)
        m_text->setText(QStringLiteral("%1\n%2").arg(m_unusable, database.lastProblem()->message));
    setVisible(unusable);
    return unusable;
}

QString StorageProblemBanner::text() const { return isHidden() ? QString() : m_text->text(); }

void sayStorageProblem(Services& services, QWidget* over, const QString& problem, const QString& lead, bool deferred)
{
    const QString said = problem.isEmpty() ? lead : lead.isEmpty() ? problem : lead + QStringLiteral("\n\n") + problem;
    if (said.isEmpty())
        return;
    if (!deferred) {
        desktop::warn(services.messages, over, said);
        return;
    }
    QTimer::singleShot(0, over, [&services, over = QPointer<QWidget>(over), said] {
        if (over)
            desktop::warn(services.messages, over, said);
    });
}

} // namespace app
