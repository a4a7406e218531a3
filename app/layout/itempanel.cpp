#include "app/layout/itempanel.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <vector>

namespace app {

namespace {

using print::LayoutValue;
using print::Party;

// The ranges a layout file takes (print/layoutfile.cpp); a layout is also
// read back before it is saved.
constexpr double kMinPlaceMm = -100.0, kMaxPlaceMm = 700.0;
constexpr double kMaxWidthMm = 600.0;
constexpr double kMinSizePt = 4.0, kMaxSizePt = 72.0;
constexpr double kMinFormMm = 10.0;
constexpr double kMaxMarkRadiusMm = 20.0;

bool hasParty(LayoutValue value) { return value < LayoutValue::GoodsDescription; }
int lastIndexOf(LayoutValue value)
{
    if (value == LayoutValue::PostalDigit)
        return 7;
    if (value >= LayoutValue::GoodsDescription && value <= LayoutValue::Amount)
        return 2;
    return 0;
}

struct ValueChoice {
    LayoutValue value;
    Party party;
    QString caption;
};

// Every value a text can print, with the party of the address values; the
// captions are the layout's own (print::captionOf) without the index.
const std::vector<ValueChoice>& valueChoices()
{
    static const std::vector<ValueChoice> choices = [] {
        std::vector<ValueChoice> all;
        for (int v = int(LayoutValue::PostalDigit); v <= int(LayoutValue::FixedText); ++v) {
            const auto value = LayoutValue(v);
            for (const Party party : {Party::Recipient, Party::Sender}) {
                if (!hasParty(value) && party == Party::Sender)
                    continue;
                print::LayoutText text;
                text.value = value;
                text.party = party;
                text.index = 1;
                QString caption = print::captionOf(text);
                if (value == LayoutValue::PostalDigit)
                    caption = caption.section(QStringLiteral("（"), 0, 0) + QStringLiteral("（1桁ずつ）");
                else if (lastIndexOf(value) > 0)
                    caption.chop(1);
                else if (value == LayoutValue::FixedText)
                    caption = QStringLiteral("固定の文字");
                all.push_back({value, party, caption});
            }
        }
        return all;
    }();
    return choices;
}

constexpr print::MarkChoice kMarkChoices[] = {
    print::MarkChoice::Morning,         print::MarkChoice::Afternoon,   print::MarkChoice::Evening,
    print::MarkChoice::Night,           print::MarkChoice::Unspecified, print::MarkChoice::NoticeWanted,
    print::MarkChoice::NoticeNotWanted,
};

QDoubleSpinBox* numberBox(const char* name, double low, double high, double step, const QString& suffix, int decimals,
                          QWidget* parent)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setRange(low, high);
    box->setSingleStep(step);
    box->setDecimals(decimals);
    box->setSuffix(suffix);
    // A value typed is taken when Enter is pressed or the box is left, not
    // at each key.
    box->setKeyboardTracking(false);
    box->setAccelerated(true);
    return box;
}

QPushButton* panelButton(const QString& caption, const QString& tip, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setToolTip(tip);
    b->setAutoDefault(true); // Enter presses the focused button
    return b;
}

} // namespace

LayoutItemPanel::LayoutItemPanel(LayoutDocument& document, QWidget* parent) : QWidget(parent), m_document(document)
{
    m_items = new QListWidget(this);
    m_items->setObjectName(QStringLiteral("layoutItems"));
    m_items->setToolTip(QStringLiteral("印刷する欄と○印です。選ぶと用紙の上でも選ばれます"));

    m_addText =
        panelButton(QStringLiteral("欄を追加"), QStringLiteral("印刷する文字の欄を追加します"), "addTextButton", this);
    m_addMark = panelButton(QStringLiteral("○印を追加"), QStringLiteral("配達時間帯かお届け通知の○印を追加します"),
                            "addMarkButton", this);
    m_remove = panelButton(QStringLiteral("削除"), QStringLiteral("選んだ欄か○印を削除します（Deleteキー）"),
                           "removeItemButton", this);
    auto* itemButtons = new QHBoxLayout;
    itemButtons->addWidget(m_addText);
    itemButtons->addWidget(m_addMark);
    itemButtons->addWidget(m_remove);

    m_itemBox = new QGroupBox(QStringLiteral("選んだ欄"), this);
    m_itemForm = new QFormLayout(m_itemBox);
    m_itemForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_value = new QComboBox(m_itemBox);
    m_value->setObjectName(QStringLiteral("itemValue"));
    for (const ValueChoice& choice : valueChoices())
        m_value->addItem(choice.caption);
    m_value->setMaxVisibleItems(20);
    m_index = new QSpinBox(m_itemBox);
    m_index->setObjectName(QStringLiteral("itemIndex"));
    m_index->setKeyboardTracking(false);
    m_fixedText = new QLineEdit(m_itemBox);
    m_fixedText->setObjectName(QStringLiteral("itemFixedText"));
    m_dateFormat = new QLineEdit(m_itemBox);
    m_dateFormat->setObjectName(QStringLiteral("itemDateFormat"));
    m_dateFormat->setToolTip(QStringLiteral("yyyy は年、MM は月、dd は日（例: yyyy/MM/dd、yy.M.d）"));
    m_markChoice = new QComboBox(m_itemBox);
    m_markChoice->setObjectName(QStringLiteral("markChoice"));
    for (const print::MarkChoice choice : kMarkChoices)
        m_markChoice->addItem(markCaption(choice));
    m_x = numberBox("itemXMm", kMinPlaceMm, kMaxPlaceMm, 0.1, QStringLiteral(" mm"), 1, m_itemBox);
    m_y = numberBox("itemYMm", kMinPlaceMm, kMaxPlaceMm, 0.1, QStringLiteral(" mm"), 1, m_itemBox);
    m_width = numberBox("itemWidthMm", 0.1, kMaxWidthMm, 0.1, QStringLiteral(" mm"), 1, m_itemBox);
    m_size = numberBox("itemSizePt", kMinSizePt, kMaxSizePt, 1, QStringLiteral(" pt"), 1, m_itemBox);
    m_align = new QComboBox(m_itemBox);
    m_align->setObjectName(QStringLiteral("itemAlign"));
    m_align->addItems({QStringLiteral("左寄せ"), QStringLiteral("中央"), QStringLiteral("右寄せ")});
    m_fitWidth = numberBox("itemFitWidthPercent", 10, 100, 5, QStringLiteral(" %"), 0, m_itemBox);
    m_fitSize = numberBox("itemFitSizePt", kMinSizePt, kMaxSizePt, 0.5, QStringLiteral(" pt"), 1, m_itemBox);
    m_x->setToolTip(
        QStringLiteral("文字の左端（○印は中心）の横の位置。矢印キーでも0.1 mm（Shiftキーと一緒なら1 mm）ずつ動きます"));
    m_y->setToolTip(QStringLiteral("文字の行（○印は中心）の縦の位置"));
    m_width->setToolTip(QStringLiteral("欄の幅。これより長い文字は詰めるか小さくして収めます"));
    m_fitWidth->setToolTip(QStringLiteral("長い文字を横に詰める下限"));
    m_fitSize->setToolTip(QStringLiteral("詰めても入らない文字を小さくする下限"));
    m_itemForm->addRow(QStringLiteral("印刷する値(&V)："), m_value);
    m_itemForm->addRow(QStringLiteral("何番目："), m_index);
    m_itemForm->addRow(QStringLiteral("文字："), m_fixedText);
    m_itemForm->addRow(QStringLiteral("日付の書式："), m_dateFormat);
    m_itemForm->addRow(QStringLiteral("○印(&O)："), m_markChoice);
    m_itemForm->addRow(QStringLiteral("横(&X)："), m_x);
    m_itemForm->addRow(QStringLiteral("縦(&Y)："), m_y);
    m_itemForm->addRow(QStringLiteral("幅(&W)："), m_width);
    m_itemForm->addRow(QStringLiteral("大きさ(&Z)："), m_size);
    m_itemForm->addRow(QStringLiteral("揃え(&A)："), m_align);
    m_itemForm->addRow(QStringLiteral("詰める下限："), m_fitWidth);
    m_itemForm->addRow(QStringLiteral("小さくする下限："), m_fitSize);

    auto* formBox = new QGroupBox(QStringLiteral("用紙と○印"), this);
    auto* formForm = new QFormLayout(formBox);
    formForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    m_formWidth = numberBox("formWidthMm", 0, kMaxWidthMm, 0.5, QStringLiteral(" mm"), 1, formBox);
    m_formLength = numberBox("formLengthMm", 0, kMaxWidthMm, 0.5, QStringLiteral(" mm"), 1, formBox);
    for (QDoubleSpinBox* box : {m_formWidth, m_formLength}) {
        box->setSpecialValueText(QStringLiteral("プリンタの用紙"));
        box->setToolTip(QStringLiteral("この伝票1枚の大きさ。0にすると、プリンタに設定した用紙で表示します"));
    }
    m_markRadius = numberBox("markRadiusMm", 0.1, kMaxMarkRadiusMm, 0.1, QStringLiteral(" mm"), 1, formBox);
    formForm->addRow(QStringLiteral("用紙の幅："), m_formWidth);
    formForm->addRow(QStringLiteral("用紙の長さ："), m_formLength);
    formForm->addRow(QStringLiteral("○印の半径："), m_markRadius);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_items, 1);
    layout->addLayout(itemButtons);
    layout->addWidget(m_itemBox);
    layout->addWidget(formBox);

    connect(&m_document, &LayoutDocument::changed, this, &LayoutItemPanel::showLayout);
    connect(&m_document, &LayoutDocument::chosenChanged, this, &LayoutItemPanel::showChosen);
    connect(m_items, &QListWidget::currentRowChanged, this, [this](int row) {
        if (m_showing)
            return;
        const int texts = int(m_document.layout().texts.size());
        if (row < 0)
            m_document.choose(std::nullopt);
        else if (row < texts)
            m_document.choose(LayoutItem{LayoutItem::Kind::Text, row});
        else
            m_document.choose(LayoutItem{LayoutItem::Kind::Mark, row - texts});
    });
    connect(m_addText, &QPushButton::clicked, this, [this] {
        // A ship date where the form's top left usually has room; moved from there.
        print::LayoutText text;
        text.value = LayoutValue::ShipDate;
        text.dateFormat = QStringLiteral("yyyy/MM/dd");
        text.xMm = 20.0;
        text.yMm = 20.0;
        text.widthMm = 30.0;
        text.sizePt = 10;
        m_document.addText(text);
    });
    connect(m_addMark, &QPushButton::clicked, this, [this] {
        m_document.addMark({print::MarkChoice::Unspecified, 20.0, 30.0});
    });
    connect(m_remove, &QPushButton::clicked, this, [this] { m_document.removeChosen(); });

    connect(m_value, &QComboBox::activated, this, &LayoutItemPanel::valueChosen);
    connect(m_index, &QSpinBox::valueChanged, this, [this](int index) {
        editText([&](print::LayoutText& t) { t.index = index; }, QStringLiteral("何番目を変える"));
    });
    connect(m_fixedText, &QLineEdit::editingFinished, this, [this] {
        editText([&](print::LayoutText& t) { t.fixedText = m_fixedText->text(); },
                 QStringLiteral("固定の文字を変える"));
    });
    connect(m_dateFormat, &QLineEdit::editingFinished, this, [this] {
        editText([&](print::LayoutText& t) { t.dateFormat = m_dateFormat->text(); },
                 QStringLiteral("日付の書式を変える"));
    });
    connect(m_markChoice, &QComboBox::activated, this, [this](int row) {
        editMark([&](print::LayoutMark& m) { m.choice = kMarkChoices[row]; }, QStringLiteral("○印の選択肢を変える"));
    });
    const auto placeBox = [this](QDoubleSpinBox* box, bool horizontal) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, horizontal](double mm) {
            if (m_showing || !m_document.chosen())
                return;
            QPointF place = placeOf(m_document.layout(), *m_document.chosen());
            (horizontal ? place.rx() : place.ry()) = mm;
            m_document.placeChosenAt(
                place, QStringLiteral("%1の位置を変える").arg(itemCaption(m_document.layout(), *m_document.chosen())));
        });
    };
    placeBox(m_x, true);
    placeBox(m_y, false);
    connect(m_width, &QDoubleSpinBox::valueChanged, this, [this](double mm) {
        editText([&](print::LayoutText& t) { t.widthMm = roundedToTenthMm(mm); }, QStringLiteral("幅を変える"));
    });
    connect(m_size, &QDoubleSpinBox::valueChanged, this, [this](double pt) {
        editText(
            [&](print::LayoutText& t) {
                t.sizePt = pt;
                t.floors.sizePt = std::min(t.floors.sizePt, pt);
            },
            QStringLiteral("文字の大きさを変える"));
    });
    connect(m_align, &QComboBox::activated, this, [this](int row) {
        editText([&](print::LayoutText& t) { t.align = print::TextAlign(row); }, QStringLiteral("揃えを変える"));
    });
    connect(m_fitWidth, &QDoubleSpinBox::valueChanged, this, [this](double percent) {
        editText([&](print::LayoutText& t) { t.floors.widthPercent = percent; }, QStringLiteral("詰める下限を変える"));
    });
    connect(m_fitSize, &QDoubleSpinBox::valueChanged, this, [this](double pt) {
        editText([&](print::LayoutText& t) { t.floors.sizePt = std::min(pt, t.sizePt); },
                 QStringLiteral("小さくする下限を変える"));
    });
    const auto formBoxChanged = [this](QDoubleSpinBox* box, double print::Layout::*member, const QString& what) {
        connect(box, &QDoubleSpinBox::valueChanged, this, [this, member, what](double mm) {
            // 0 is the printer's paper; anything else is at least a form's smallest.
            editLayout([&](print::Layout& l) { l.*member = mm <= 0 ? 0.0 : std::max(mm, kMinFormMm); }, what);
        });
    };
    formBoxChanged(m_formWidth, &print::Layout::formWidthMm, QStringLiteral("用紙の幅を変える"));
    formBoxChanged(m_formLength, &print::Layout::formLengthMm, QStringLiteral("用紙の長さを変える"));
    connect(m_markRadius, &QDoubleSpinBox::valueChanged, this, [this](double mm) {
        editLayout([&](print::Layout& l) { l.markRadiusMm = roundedToTenthMm(mm); },
                   QStringLiteral("○印の半径を変える"));
    });

    showLayout();
}

void LayoutItemPanel::valueChosen(int row)
{
    const ValueChoice& choice = valueChoices()[size_t(row)];
    editText(
        [&](print::LayoutText& t) {
            t.value = choice.value;
            t.party = choice.party;
            const int last = lastIndexOf(choice.value);
            t.index = last == 0 ? 0 : std::clamp(t.index, 1, last);
            if (choice.value == LayoutValue::ShipDate && t.dateFormat.isEmpty())
                t.dateFormat = QStringLiteral("yyyy/MM/dd");
            if (choice.value != LayoutValue::ShipDate)
                t.dateFormat.clear();
            if (choice.value != LayoutValue::FixedText)
                t.fixedText.clear();
        },
        QStringLiteral("印刷する値を変える"));
}

void LayoutItemPanel::editText(const std::function<void(print::LayoutText&)>& edit, const QString& what)
{
    const auto chosen = m_document.chosen();
    if (m_showing || !chosen || chosen->kind != LayoutItem::Kind::Text)
        return;
    print::Layout changed = m_document.layout();
    edit(changed.texts[size_t(chosen->index)]);
    m_document.change(changed,
                      QStringLiteral("%1の%2").arg(print::captionOf(changed.texts[size_t(chosen->index)]), what));
}

void LayoutItemPanel::editMark(const std::function<void(print::LayoutMark&)>& edit, const QString& what)
{
    const auto chosen = m_document.chosen();
    if (m_showing || !chosen || chosen->kind != LayoutItem::Kind::Mark)
        return;
    print::Layout changed = m_document.layout();
    edit(changed.marks[size_t(chosen->index)]);
    m_document.change(changed, what);
}

void LayoutItemPanel::editLayout(const std::function<void(print::Layout&)>& edit, const QString& what)
{
    if (m_showing)
        return;
    print::Layout changed = m_document.layout();
    edit(changed);
    m_document.change(changed, what);
}

void LayoutItemPanel::showLayout()
{
    const print::Layout& layout = m_document.layout();
    m_showing = true;
    // The list is made again only when its items changed: a drag changes places, not captions.
    QStringList captions;
    for (int i = 0; i < int(layout.texts.size()); ++i)
        captions << itemCaption(layout, {LayoutItem::Kind::Text, i});
    for (int i = 0; i < int(layout.marks.size()); ++i)
        captions << itemCaption(layout, {LayoutItem::Kind::Mark, i});
    bool same = m_items->count() == captions.size();
    for (int i = 0; same && i < captions.size(); ++i)
        same = m_items->item(i)->text() == captions[i];
    if (!same) {
        m_items->clear();
        m_items->addItems(captions);
    }
    m_formWidth->setValue(layout.formWidthMm);
    m_formLength->setValue(layout.formLengthMm);
    m_markRadius->setValue(layout.markRadiusMm);
    m_showing = false;
    showChosen();
}

void LayoutItemPanel::showChosen()
{
    const print::Layout& layout = m_document.layout();
    const auto chosen = m_document.chosen();
    m_showing = true;
    const int row = !chosen                                  ? -1
                    : chosen->kind == LayoutItem::Kind::Text ? chosen->index
                                                             : int(layout.texts.size()) + chosen->index;
    if (m_items->currentRow() != row)
        m_items->setCurrentRow(row);
    m_itemBox->setEnabled(chosen.has_value());
    m_remove->setEnabled(chosen.has_value());
    const bool text = chosen && chosen->kind == LayoutItem::Kind::Text;
    const bool mark = chosen && chosen->kind == LayoutItem::Kind::Mark;
    m_itemBox->setTitle(chosen ? itemCaption(layout, *chosen) : QStringLiteral("選んだ欄（用紙の上か一覧で選びます）"));
    for (QWidget* w : std::initializer_list<QWidget*>{m_value, m_width, m_size, m_align, m_fitWidth, m_fitSize})
        m_itemForm->setRowVisible(w, !mark);
    m_itemForm->setRowVisible(m_markChoice, mark);
    if (text) {
        const print::LayoutText& t = layout.texts[size_t(chosen->index)];
        const auto& choices = valueChoices();
        for (size_t i = 0; i < choices.size(); ++i)
            if (choices[i].value == t.value && (!hasParty(t.value) || choices[i].party == t.party))
                m_value->setCurrentIndex(int(i));
        const int last = lastIndexOf(t.value);
        m_itemForm->setRowVisible(m_index, last > 0);
        if (last > 0) {
            m_index->setRange(1, last);
            m_index->setValue(t.index);
            m_index->setSuffix(t.value == LayoutValue::PostalDigit ? QStringLiteral(" 桁目") : QStringLiteral(" 行目"));
        }
        m_itemForm->setRowVisible(m_fixedText, t.value == LayoutValue::FixedText);
        m_fixedText->setText(t.fixedText);
        m_itemForm->setRowVisible(m_dateFormat, t.value == LayoutValue::ShipDate);
        m_dateFormat->setText(t.dateFormat);
        m_x->setValue(t.xMm);
        m_y->setValue(t.yMm);
        m_width->setValue(t.widthMm);
        m_size->setValue(t.sizePt);
        m_align->setCurrentIndex(int(t.align));
        m_fitWidth->setValue(t.floors.widthPercent);
        m_fitSize->setMaximum(t.sizePt);
        m_fitSize->setValue(t.floors.sizePt);
    } else {
        for (QWidget* w : std::initializer_list<QWidget*>{m_index, m_fixedText, m_dateFormat})
            m_itemForm->setRowVisible(w, false);
    }
    if (mark) {
        const print::LayoutMark& m = layout.marks[size_t(chosen->index)];
        for (size_t i = 0; i < std::size(kMarkChoices); ++i)
            if (kMarkChoices[i] == m.choice)
                m_markChoice->setCurrentIndex(int(i));
        m_x->setValue(m.xMm);
        m_y->setValue(m.yMm);
    }
    m_showing = false;
}

} // namespace app
