#include "app/books/addressdialog.h"

#include "app/widgets/addressblockeditor.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

AddressDialog::AddressDialog(const waybill::Address& address, std::function<bool(const waybill::Address&)> save, QWidget* parent)
    : QDialog(parent), m_save(std::move(save))
{
    setObjectName(QStringLiteral("AddressDialog"));
    setWindowTitle(QStringLiteral("住所の編集"));
    m_editor = new AddressBlockEditor(AddressBlockEditor::Shape::Form, AddressBlockEditor::CareOfSwitch::Shown, this);
    m_editor->setAddress(address);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    layout->addWidget(buttons);
}

waybill::Address AddressDialog::address() const { return m_editor->address(); }

void AddressDialog::accept()
{
    if (m_save(address()))
        QDialog::accept();
}

} // namespace app
