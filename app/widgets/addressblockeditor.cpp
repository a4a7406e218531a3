#include "app/widgets/addressblockeditor.h"

#include "app/desktop/ime.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>

namespace app {

namespace {

struct PartSpec {
    const char16_t* caption;
    const char* objectName;
    EntryField::Kind kind;
    int characterLimit; // 0: none
    int minimumWidth_em;
    int compactRow, compactColumn, compactColumnSpan;
};

// As the main window's fields: numbers with the input method off, the
// postal code seven digits (and a hyphen).
constexpr PartSpec kParts[AddressBlockEditor::PartCount] = {
    {u"郵便番号：", "postalCode", EntryField::Kind::PostalCode, 7, 8, 0, 0, 1},
    {u"住所1：", "line1", EntryField::Kind::Text, 0, 24, 1, 0, 3},
    {u"住所2：", "line2", EntryField::Kind::Text, 0, 24, 2, 0, 3},
    {u"名前：", "name", EntryField::Kind::Text, 0, 16, 3, 0, 1},
    {u"様方：", "careOf", EntryField::Kind::Text, 0, 16, 3, 2, 1},
    {u"電話番号：", "telephone", EntryField::Kind::Numbers, 0, 10, 0, 2, 1},
};

} // namespace

AddressBlockEditor::AddressBlockEditor(Shape shape, CareOfSwitch careOfSwitch, QWidget* parent)
    : QWidget(parent), m_shape(shape)
{
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    const int em = fontMetrics().horizontalAdvance(QChar(0x5c71));
    for (int part = 0; part < PartCount; ++part) {
        const PartSpec& spec = kParts[part];
        auto* field = new EntryField(spec.kind, this);
        field->setObjectName(QString::fromLatin1(spec.objectName));
        field->setCharacterLimit(spec.characterLimit);
        desktop::applyImeMode(field, spec.kind == EntryField::Kind::Text ? desktop::ImeMode::Hiragana
                                                                         : desktop::ImeMode::Disabled);
        auto* label = new QLabel(QString::fromUtf16(spec.caption), this);
        label->setBuddy(field);
        if (shape == Shape::Form) {
            field->setMinimumWidth(spec.minimumWidth_em * em);
            grid->addWidget(label, part, 0);
            grid->addWidget(field, part, 1, Qt::AlignLeft);
        } else {
            grid->addWidget(label, spec.compactRow, spec.compactColumn);
            grid->addWidget(field, spec.compactRow, spec.compactColumn + 1, 1, spec.compactColumnSpan);
        }
        connect(field, &QLineEdit::textEdited, this, &AddressBlockEditor::edited);
        m_fields[part] = field;
    }
    if (shape == Shape::Compact) {
        grid->setColumnStretch(1, 1);
        grid->setColumnStretch(3, 1);
        // Tab goes through the fields as they stand on the form.
        const Part order[] = {PostalCode, Telephone, Line1, Line2, Name, CareOf};
        for (size_t i = 1; i < std::size(order); ++i)
            QWidget::setTabOrder(m_fields[order[i - 1]], m_fields[order[i]]);
    }
    if (careOfSwitch == CareOfSwitch::Shown) {
        QWidget* lastField = lastInTabOrder();
        m_careOfSwitch = new QCheckBox(QStringLiteral("様方を印刷する"), this);
        m_careOfSwitch->setObjectName(QStringLiteral("careOfShown"));
        grid->addWidget(m_careOfSwitch, grid->rowCount(), 1);
        QWidget::setTabOrder(lastField, m_careOfSwitch);
        connect(m_careOfSwitch, &QCheckBox::clicked, this, &AddressBlockEditor::edited);
    }
}

QWidget* AddressBlockEditor::firstInTabOrder() const { return m_fields[PostalCode]; }

QWidget* AddressBlockEditor::lastInTabOrder() const
{
    if (m_careOfSwitch)
        return m_careOfSwitch;
    return m_shape == Shape::Compact ? m_fields[CareOf] : m_fields[Telephone];
}

void AddressBlockEditor::setAddress(const waybill::Address& a)
{
    const QString careOf = m_careOfSwitch || a.careOfShown ? a.careOf : QString();
    const QString texts[PartCount] = {a.postalCode, a.line1, a.line2, a.name, careOf, a.telephone};
    for (int part = 0; part < PartCount; ++part)
        m_fields[part]->setFieldText(texts[part]);
    if (m_careOfSwitch)
        m_careOfSwitch->setChecked(a.careOfShown);
}

waybill::Address AddressBlockEditor::address() const
{
    waybill::Address a;
    a.postalCode = m_fields[PostalCode]->text();
    a.line1 = m_fields[Line1]->text();
    a.line2 = m_fields[Line2]->text();
    a.name = m_fields[Name]->text();
    a.careOf = m_fields[CareOf]->text();
    a.careOfShown = m_careOfSwitch ? m_careOfSwitch->isChecked() : !a.careOf.trimmed().isEmpty();
    a.telephone = m_fields[Telephone]->text();
    return a;
}

} // namespace app
