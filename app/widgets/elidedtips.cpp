#include "app/widgets/elidedtips.h"

#include <QAbstractItemView>
#include <QHeaderView>
#include <QHelpEvent>
#include <QToolTip>

namespace app {

bool ElidedTextTips::isCutShort(const QAbstractItemView& view, const QModelIndex& index)
{
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return false;
    QStyleOptionViewItem option;
    option.initFrom(&view);
    option.rect = view.visualRect(index);
    option.textElideMode = view.textElideMode();
    option.features |= QStyleOptionViewItem::HasDisplay;
    option.text = text;
    if (const QVariant font = index.data(Qt::FontRole); font.isValid())
        option.font = qvariant_cast<QFont>(font), option.fontMetrics = QFontMetrics(option.font);
    const QRect textRect = view.style()->subElementRect(QStyle::SE_ItemViewItemText, &option, &view);
    // The style draws the text inside a margin on either side.
    const int margin = view.style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, &view) + 1;
    return option.fontMetrics.horizontalAdvance(text) > textRect.width() - 2 * margin;
}

bool ElidedTextTips::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                               const QModelIndex& index)
{
    // A tooltip of the cell's own (the reasons of a refused row) wins.
    if (event->type() == QEvent::ToolTip && view && !index.data(Qt::ToolTipRole).isValid() &&
        isCutShort(*view, index)) {
        QToolTip::showText(event->globalPos(), index.data(Qt::DisplayRole).toString(), view->viewport(), option.rect);
        return true;
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}

void fitColumnsToContents(QAbstractItemView& view, QHeaderView& header, int stretchColumn, double maxWidth_em)
{
    const int em = view.fontMetrics().horizontalAdvance(QChar(0x5c71));
    const int maxWidth = int(maxWidth_em * em);
    for (int column = 0; column < header.count(); ++column) {
        if (column == stretchColumn || header.isSectionHidden(column))
            continue;
        const int wanted = std::max(header.sectionSizeHint(column), view.sizeHintForColumn(column));
        header.resizeSection(column, std::min(wanted, maxWidth));
    }
}

} // namespace app
