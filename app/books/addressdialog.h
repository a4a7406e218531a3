#pragma once
// Editing one address-book entry: its six fields, whether its care-of line
// prints, and the reading (フリガナ) it is also found by.
#include "waybill/waybill.h"

#include <QDialog>
#include <functional>

class QLineEdit;

namespace app {

class AddressBlockEditor;

class AddressDialog final : public QDialog {
    Q_OBJECT
public:
    // save: stores the address and reading; false keeps the dialog open with what was typed.
    using Save = std::function<bool(const waybill::Address& address, const QString& reading)>;
    AddressDialog(const waybill::Address& address, const QString& reading, Save save, QWidget* parent);
    waybill::Address address() const;
    QString reading() const;
    AddressBlockEditor& editor() const { return *m_editor; }
    QLineEdit& readingField() const { return *m_reading; }

    void accept() override;

private:
    AddressBlockEditor* m_editor;
    QLineEdit* m_reading;
    Save m_save;
};

} // namespace app
