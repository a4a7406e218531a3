#pragma once
// Which column of an order list feeds which part of the waybill, chosen by
// the user when the headings are not recognised, starting from what the
// headings suggest. The choice is kept for the same headings by the list's
// mapping store.
#include "orders/columns.h"

#include <QDialog>
#include <QList>

class QComboBox;
class QLabel;
class QPushButton;

namespace app {

class ColumnMappingDialog final : public QDialog {
    Q_OBJECT
public:
    // samples: the first rows' cells, shown beside their headings.
    ColumnMappingDialog(const QStringList& headings, const QList<QStringList>& samples,
                        const orders::ColumnMap& current, QWidget* parent = nullptr);

    orders::ColumnMap chosen() const;
    // The list of choices of one column (from 0), named column<N>.
    QComboBox* choiceFor(int column) const;
    void choose(int column, orders::Field field);
    // Why the choice cannot be used yet; empty when it can.
    QString verdictText() const;
    bool canAccept() const;

private:
    void check();

    QList<QComboBox*> m_choices;
    QLabel* m_verdict;
    QPushButton* m_ok;
};

} // namespace app
