#include "app/books/addressdialog.h"

#include "app/desktop/ime.h"
#include "app/widgets/addressblockeditor.h"
#include "entry/textrules.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

AddressDialog::AddressDialog(const waybill::Address& address, const QString& reading, Save save, QWidget* parent)
    : QDialog(parent), m_save(std::move(save))
{
    setObjectName(QStringLiteral("AddressDialog"));
    setWindowTitle(QStringLiteral("住所の編集"));
    m_editor = new AddressBlockEditor(AddressBlockEditor::Shape::Form, AddressBlockEditor::CareOfSwitch::Shown, this);
    m_editor->setAddress(address);

    // Typed through the input method, in kana; found in either kana.
    m_reading = new QLineEdit(reading, this);
    m_reading->setObjectName(QStringLiteral("reading"));
    m_reading->setPlaceholderText(QStringLiteral("例：ヤマダ タロウ（名前のほか、読みでも探せます）"));
    desktop::applyImeMode(m_reading, desktop::ImeMode::Hiragana);
    auto* readingRow = new QFormLayout;
    readingRow->setContentsMargins(0, 0, 0, 0);
    readingRow->addRow(QStringLiteral("フリガナ(&F)："), m_reading);
    QWidget::setTabOrder(m_editor->lastInTabOrder(), m_reading);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Save)->setText(QStringLiteral("保存"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_editor);
    layout->addLayout(readingRow);
    layout->addWidget(buttons);
}

waybill::Address AddressDialog::address() const { return m_editor->address(); }

QString AddressDialog::reading() const { return entry::flattenLineBreaks(m_reading->text()).trimmed(); }

void AddressDialog::accept()
{
    if (m_save(address(), reading()))
        QDialog::accept();
}

} // namespace app
