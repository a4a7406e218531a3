#pragma once
// Fixing one row of an order list for printing: its recipient and goods as
// the waybill will carry them, checked again as they are typed. What is
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

    // The fields this dialog edits, in the order shown.
    static const QList<orders::Field>& editedFields();
    QLineEdit* field(orders::Field field) const;

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
    QLabel* m_findings;
    QPushButton* m_suggest;
    QList<orders::Finding> m_current;
    QStringList m_findingTexts;
    bool m_revert = false;
};

} // namespace app
