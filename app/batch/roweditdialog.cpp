#include "app/batch/roweditdialog.h"

#include "app/desktop/ime.h"
#include "app/widgets/addressblockeditor.h"
#include "entry/textrules.h"

#include <QDialogButtonBox>
#include <QGridLayout>
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

// The parts of a goods line, as the main window's goods fields; the
// quantity only where the list gives quantities (numeric mode).
struct GoodsPart {
    const char16_t* heading;
    const char* objectName; // the line's number follows: itemDescription1
    desktop::ImeMode ime;
    int width_em;
};
enum GoodsPartIndex { DescriptionPart, ProductNumberPart, QuantityPart, GoodsPartCount };
constexpr GoodsPart kGoodsParts[GoodsPartCount] = {
    {u"品名", "itemDescription", desktop::ImeMode::Hiragana, 16},
    {u"商品番号", "productNumber", desktop::ImeMode::Disabled, 8},
    {u"数量", "quantity", desktop::ImeMode::Disabled, 3},
};

QString* goodsText(waybill::GoodsLine& line, int part)
{
    switch (part) {
    case DescriptionPart:
        return &line.description;
    case ProductNumberPart:
        return &line.productNumber;
    default:
        return &line.quantity;
    }
}

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
        list << orders::Field::ItemDescription << orders::Field::ProductNumber;
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
    // Every goods line of the order, one row each.
    auto* goods = new QGridLayout;
    const int em = fontMetrics().horizontalAdvance(QChar(0x5c71));
    const int parts = waybill.numericMode ? GoodsPartCount : QuantityPart;
    for (int part = 0; part < parts; ++part)
        goods->addWidget(new QLabel(QString::fromUtf16(kGoodsParts[part].heading), this), 0, part + 1);
    waybill::Waybill w = waybill;
    QWidget* previous = m_recipient->lastInTabOrder();
    for (size_t line = 0; line < w.goods.size(); ++line) {
        goods->addWidget(new QLabel(QStringLiteral("%1行目：").arg(line + 1), this), int(line) + 1, 0);
        for (int part = 0; part < parts; ++part) {
            const GoodsPart& spec = kGoodsParts[part];
            auto* edit =
                new EntryField(part == DescriptionPart ? EntryField::Kind::Text : EntryField::Kind::Numbers, this);
            edit->setFieldText(*goodsText(w.goods[line], part));
            edit->setObjectName(QStringLiteral("%1%2").arg(QLatin1String(spec.objectName)).arg(line + 1));
            edit->setMinimumWidth(spec.width_em * em);
            desktop::applyImeMode(edit, spec.ime);
            connect(edit, &QLineEdit::textChanged, this, &RowEditDialog::check);
            goods->addWidget(edit, int(line) + 1, part + 1);
            QWidget::setTabOrder(previous, edit);
            previous = edit;
            m_goods[line][part] = edit;
        }
    }
    goods->setColumnStretch(1, 1);
    // A finding about the goods names the first line's fields.
    m_fields[orders::Field::ItemDescription] = m_goods[0][DescriptionPart];
    m_fields[orders::Field::ProductNumber] = m_goods[0][ProductNumberPart];

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
    layout->addLayout(goods);
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

QLineEdit* RowEditDialog::goodsField(int line, int part) const
{
    return line >= 0 && size_t(line) < std::size(m_goods) && part >= 0 && part < GoodsPartCount ? m_goods[line][part]
                                                                                                : nullptr;
}

waybill::Waybill RowEditDialog::edited() const
{
    waybill::Waybill w = m_original;
    for (const auto& [field, edit] : m_fields)
        if (QString* text = textOf(w, field))
            *text = edit->text().trimmed();
    for (size_t line = 0; line < w.goods.size(); ++line)
        for (size_t part = 0; part < std::size(m_goods[line]); ++part)
            if (m_goods[line][part])
                *goodsText(w.goods[line], int(part)) = m_goods[line][part]->text().trimmed();
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
