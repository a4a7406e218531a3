#include "app/fields.h"

#include "app/desktop/messagebox.h"
#include "app/widgets/entryfield.h"
#include "entry/amounts.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolTip>
#include <QWidget>
#include <array>

namespace app {

QString fieldText(const QWidget* field)
{
    if (auto* edit = qobject_cast<const QLineEdit*>(field))
        return edit->text();
    if (auto* combo = qobject_cast<const QComboBox*>(field))
        return combo->currentText();
    return {};
}

void setFieldText(QWidget* field, const QString& text)
{
    if (auto* combo = qobject_cast<QComboBox*>(field))
        field = combo->lineEdit();
    if (auto* entryField = qobject_cast<EntryField*>(field))
        entryField->setFieldText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(field))
        edit->setText(text);
}

void showNumericGroup(const FindControl& find, bool shown)
{
    for (const char* name : kNumericGroup)
        find(name)->setVisible(shown);
}

void clearFields(const FindControl& find, const char* const (&fields)[6])
{
    for (const char* name : fields)
        setFieldText(find(name), QString());
}

void swapAddressBlocks(const FindControl& find)
{
    std::array<QString, 6> recipient, sender;
    for (size_t i = 0; i < 6; ++i)
        recipient[i] = fieldText(find(kRecipientFields[i]));
    for (size_t i = 0; i < 6; ++i)
        sender[i] = fieldText(find(kSenderFields[i]));
    for (size_t i = 0; i < 6; ++i)
        setFieldText(find(kRecipientFields[i]), sender[i]);
    for (size_t i = 0; i < 6; ++i)
        setFieldText(find(kSenderFields[i]), recipient[i]);
}

namespace {
// Long enough to be read twice.
constexpr int kRefusalShownMs = 15000;
} // namespace

void applyAmounts(const FindControl& find)
{
    static constexpr const char* inputs[] = {"SuuryouBox1", "TankaBox1", "SuuryouBox2", "TankaBox2"};
    auto* amount1 = qobject_cast<QLineEdit*>(find("KingakuBox1"));
    auto* amount2 = qobject_cast<QLineEdit*>(find("KingakuBox2"));
    auto* total = qobject_cast<QLineEdit*>(find("GoukeiBox"));
    const entry::AmountInputs in{fieldText(find(inputs[0])), fieldText(find(inputs[1])), fieldText(find(inputs[2])),
                                 fieldText(find(inputs[3]))};
    auto limit = [](QLineEdit* box) {
        auto* field = qobject_cast<EntryField*>(box);
        return field && field->characterLimit() > 0 ? field->characterLimit() : 32767;
    };
    const auto result = entry::calculateAmounts(in, {limit(amount1), limit(total)});
    if (!result) {
        const entry::AmountRefused* refused = &result.error();
        auto* box = qobject_cast<QLineEdit*>(find(inputs[refused->input]));
        box->setFocus(Qt::OtherFocusReason);
        box->selectAll();
        desktop::beep();
        // Said where the eyes are, under the box, until the next key, click
        // or move of the pointer; and again when the pointer rests on the box,
        // until its text changes.
        QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), refused->reason, box, {}, kRefusalShownMs);
        box->setToolTip(refused->reason);
        QObject::connect(
            box, &QLineEdit::textChanged, box, [box] { box->setToolTip({}); }, Qt::SingleShotConnection);
        return;
    }
    const entry::Amounts& a = *result;
    amount1->setText(a.amount1);
    amount2->setText(a.amount2);
    total->setText(a.total);
}

} // namespace app
