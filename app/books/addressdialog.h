#pragma once
// Editing one address-book entry: its six fields and whether its care-of
// line prints.
#include "waybill/waybill.h"

#include <QDialog>
#include <functional>

namespace app {

class AddressBlockEditor;

class AddressDialog final : public QDialog {
    Q_OBJECT
public:
    // save: stores the address; false keeps the dialog open with what was typed.
    AddressDialog(const waybill::Address& address, std::function<bool(const waybill::Address&)> save, QWidget* parent);
    waybill::Address address() const;
    AddressBlockEditor& editor() const { return *m_editor; }

    void accept() override;

private:
    AddressBlockEditor* m_editor;
    std::function<bool(const waybill::Address&)> m_save;
};

} // namespace app
