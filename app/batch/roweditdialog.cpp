#include "app/batch/roweditdialog.h"

#include "app/desktop/ime.h"
#include "app/widgets/addressblockeditor.h"
#include "entry/textrules.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace app {

namespace {

// The recipient's fields and the editor's part for each.
constexpr std::pair<orders::Field, AddressBlockEditor::Part> kRecipientParts[] = {
    {orders::Field::PostalCode, AddressBlockEditor::PostalCode},
    {orders::Field::AddressLine1, AddressBlockEditor::Line1},
    {orders::Field::AddressLine2, AddressBlockEditor::Line2},
    {orders::Field::Name, AddressBlockEditor::Name},
    {orders::Field::CareOf, AddressBlockEditor::CareOf},
    {orders::Field::Telephone, AddressBlockEditor::Telephone},
};

// The goods line's fields, as the main window's goods fields.
struct GoodsField {
    orders::Field field;
    const char16_t* caption;
    desktop::ImeMode ime;
};
constexpr GoodsField kGoodsFields[] = {
    {orders::Field::ItemDescription, u"品名：", desktop::ImeMode::Hiragana},
    {orders::Field::ProductNumber, u"商品番号：", desktop::ImeMode::Disabled},
};

QString* textOf(waybill::Waybill& w, orders::Field field)
{
    switch (field) {
    case orders::Field::PostalCode:
        return &w.recipient.postalCode;
    case orders::Field::AddressLine1:
        return &w.recipient.line1;
    case orders::Field::AddressLine2:
        return &w.recipient.line2;
    case orders::Field::Name:
        return &w.recipient.name;
    case orders::Field::CareOf:
        return &w.recipient.careOf;
    case orders::Field::Telephone:
        return &w.recipient.telephone;
    case orders::Field::ItemDescription:
        return &w.goods[0].description;
    case orders::Field::ProductNumber:
        return &w.goods[0].productNumber;
    default:
        return nullptr;
    }
}

} // namespace

const QList<orders::Field>& RowEditDialog::editedFields()
{
    static const QList<orders::Field> fields = [] {
        QList<orders::Field> list;
        for (const auto& [field, part] : kRecipientParts)
            list << field;
        for (const GoodsField& f : kGoodsFields)
            list << f.field;
        return list;
    }();
    return fields;
}

RowEditDialog::RowEditDialog(qint64 line, const waybill::Waybill& waybill, bool edited, Check checker, QWidget* parent)
    : QDialog(parent), m_original(waybill), m_check(std::move(checker))
{
    setObjectName(QStringLiteral("RowEditDialog"));
    setWindowTitle(QStringLiteral("%1行目の修正").arg(line));
    auto* intro = new QLabel(
        QStringLiteral(
            "%1行目の送り状の内容です。ここで直した内容はこの一覧の印刷にだけ使い、CSVファイルは書き換えません。")
            .arg(line),
        this);
    intro->setWordWrap(true);

    m_recipient = new AddressBlockEditor(AddressBlockEditor::Shape::Form, AddressBlockEditor::CareOfSwitch::None, this);
    m_recipient->setAddress(waybill.recipient);
    for (const auto& [field, part] : kRecipientParts) {
        EntryField* edit = m_recipient->field(part);
        edit->setObjectName(orders::fieldWord(field));
        connect(edit, &QLineEdit::textChanged, this, &RowEditDialog::check);
        m_fields[field] = edit;
    }
    auto* form = new QFormLayout;
    waybill::Waybill w = waybill;
    for (const GoodsField& f : kGoodsFields) {
        auto* edit = new EntryField(EntryField::Kind::Text, this);
        edit->setFieldText(*textOf(w, f.field));
        edit->setObjectName(orders::fieldWord(f.field));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QString(24, QChar(0x5c71))));
        desktop::applyImeMode(edit, f.ime);
        connect(edit, &QLineEdit::textChanged, this, &RowEditDialog::check);
        form->addRow(QString::fromUtf16(f.caption), edit);
        m_fields[f.field] = edit;
    }
    QWidget::setTabOrder(m_recipient->lastInTabOrder(), m_fields.at(orders::Field::ItemDescription));

    m_findings = new QLabel(this);
    m_findings->setWordWrap(true);
    m_findings->setTextFormat(Qt::PlainText);
    m_findings->setMinimumHeight(m_findings->fontMetrics().lineSpacing() * 3);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("この内容にする"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    m_suggest = buttons->addButton(QStringLiteral("提案どおりに直す"), QDialogButtonBox::ActionRole);
    m_suggest->setToolTip(QStringLiteral("先頭の0が消えた郵便番号や電話番号などを、提案の形に直します"));
    m_suggest->setAutoDefault(false);
    if (edited) {
        auto* revert = buttons->addButton(QStringLiteral("ファイルの内容に戻す"), QDialogButtonBox::ResetRole);
        revert->setToolTip(QStringLiteral("この行に加えた修正をやめて、CSVファイルの内容で印刷します"));
        revert->setAutoDefault(false);
        connect(revert, &QPushButton::clicked, this, [this] {
            m_revert = true;
            accept();
        });
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_suggest, &QPushButton::clicked, this, &RowEditDialog::applySuggestions);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_recipient);
    layout->addLayout(form);
    layout->addWidget(m_findings);
    layout->addWidget(buttons);
    check();
    // The first field with a problem, else the first field.
    QLineEdit* first = m_fields.at(orders::Field::PostalCode);
    for (const orders::Finding& finding : m_current)
        if (m_fields.count(finding.field)) {
            first = m_fields.at(finding.field);
            break;
        }
    first->setFocus();
    first->selectAll();
}

QLineEdit* RowEditDialog::field(orders::Field field) const
{
    const auto it = m_fields.find(field);
    return it == m_fields.end() ? nullptr : it->second;
}

waybill::Waybill RowEditDialog::edited() const
{
    waybill::Waybill w = m_original;
    for (const auto& [field, edit] : m_fields)
        *textOf(w, field) = edit->text().trimmed();
    // Digits only, as a row's postal code is kept, when it has the shape of one.
    if (const auto digits = orders::postalDigits(w.recipient.postalCode))
        w.recipient.postalCode = *digits;
    w.recipient.careOfShown = !w.recipient.careOf.isEmpty();
    return entry::asEntered(std::move(w));
}

void RowEditDialog::applySuggestions()
{
    // Each text set checks the row again and replaces m_current.
    const QList<orders::Finding> findings = m_current;
    for (const orders::Finding& finding : findings)
        if (!finding.suggestion.isEmpty())
            if (QLineEdit* edit = field(finding.field))
                edit->setText(finding.suggestion);
}

void RowEditDialog::check()
{
    m_current = m_check ? m_check(edited()) : QList<orders::Finding>();
    m_findingTexts.clear();
    bool suggestions = false;
    for (const orders::Finding& finding : m_current) {
        m_findingTexts << finding.reason;
        suggestions = suggestions || (!finding.suggestion.isEmpty() && m_fields.count(finding.field));
    }
    m_findings->setText(m_findingTexts.isEmpty()
                            ? QStringLiteral("この内容なら印刷できます。")
                            : QStringLiteral("まだ直すところがあります：\n") + m_findingTexts.join(QLatin1Char('\n')));
    m_findings->setStyleSheet(m_findingTexts.isEmpty() ? QStringLiteral("QLabel { color: #006400; }")
                                                       : QStringLiteral("QLabel { color: #9c0000; }"));
    m_suggest->setEnabled(suggestions);
}

} // namespace app
