#pragma once
// Fixing one row of an order list for printing: its recipient and every
// goods line as the waybill will carry them, checked again as they are typed. What is
// changed lives in the list only; the file stays as it is.
#include "orders/rows.h"

#include <QDialog>
#include <functional>
#include <map>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class AddressBlockEditor;

class RowEditDialog final : public QDialog {
    Q_OBJECT
public:
    using Check = std::function<QList<orders::Finding>(const waybill::Waybill&)>;
    // line: the row's line in the file; edited: the row was changed before.
    RowEditDialog(qint64 line, const waybill::Waybill& waybill, bool edited, Check checker, QWidget* parent = nullptr);

    // The fields findings can name, in the order shown; the goods ones are
    // the first line's.
    static const QList<orders::Field>& editedFields();
    QLineEdit* field(orders::Field field) const;
    // A goods line's field (line from 0): 0 品名, 1 商品番号, 2 数量 (numeric
    // mode only; else nullptr).
    QLineEdit* goodsField(int line, int part) const;

    // The row as the fields hold it, kept to the rules the main window's
    // fields keep, so it prints as the same text typed there would.
    waybill::Waybill edited() const;
    // The user asked for the file's own texts back.
    bool revertRequested() const { return m_revert; }
    // What is still wrong, one line each; empty when the row can be printed.
    QStringList findingTexts() const { return m_findingTexts; }

public slots:
    // Puts every suggested correction into its field.
    void applySuggestions();

private:
    void check();

    waybill::Waybill m_original;
    Check m_check;
    AddressBlockEditor* m_recipient;
    std::map<orders::Field, QLineEdit*> m_fields;
    QLineEdit* m_goods[std::tuple_size_v<decltype(waybill::Waybill::goods)>][3] = {};
    QLabel* m_findings;
    QPushButton* m_suggest;
    QList<orders::Finding> m_current;
    QStringList m_findingTexts;
    bool m_revert = false;
};

} // namespace app
