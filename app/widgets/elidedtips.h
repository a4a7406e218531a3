#pragma once
// Lists whose cells may be cut short: the columns take the width their
// texts need (up to a limit), and a cell that is still cut short shows its
// whole text as its tooltip.
#include <QStyledItemDelegate>

class QAbstractItemView;
class QHeaderView;

namespace app {

class ElidedTextTips final : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // Whether the cell's text is cut short where the view shows it now.
    static bool isCutShort(const QAbstractItemView& view, const QModelIndex& index);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};

// Each column but `stretchColumn` as wide as its heading and the texts of the
// rows on screen need, at most `maxWidth_em` wide (ems of the view's font).
void fitColumnsToContents(QAbstractItemView& view, QHeaderView& header, int stretchColumn, double maxWidth_em);

} // namespace app
