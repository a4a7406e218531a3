#include "app/form1.h"

#include "adjust/offsets.h"
#include "app/adjust/alignmentdialog.h"
#include "app/batch/batchwindow.h"
#include "app/books/addressbookwindow.h"
#include "app/books/historywindow.h"
#include "app/controls.h"
#include "app/desktop/ime.h"
#include "app/fields.h"
#include "app/goodsoffer.h"
#include "app/layout/layoutwindow.h"
#include "app/preview/previewwindow.h"
#include "app/senderlists.h"
#include "app/tracking/formstackwindow.h"
#include "app/widgets/entryfield.h"
#include "app/widgets/frame.h"
#include "app/widgets/postaloffer.h"
#include "app/widgets/updown.h"
#include "platform/fonts.h"
#include "platform/numtext.h"
#include "postal/postalcode.h"
#include "printcheck/precheck.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCompleter>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <vector>

namespace app {

namespace {

// A push or toggle button whose caption wraps onto further lines when the
// button is too narrow for it, as "プリンタの設定" does. The lines are kept
// about equally long ("ズレ/保存", not "ズレ保/存"), breaking where Qt's
// Japanese line breaking allows.
class CaptionButton final : public QPushButton {
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QStylePainter p(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        option.text.clear();
        p.drawControl(QStyle::CE_PushButton, option);
        QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).adjusted(1, 0, -1, 0);
        const QString caption = text();
        const QFontMetrics fm(font());
        auto lines = [&](int width) {
            return fm.boundingRect(QRect(0, 0, width, 10000), Qt::TextWordWrap, caption).height() / fm.lineSpacing();
        };
        if (fm.horizontalAdvance(caption) > area.width()) {
            // The narrowest width that still needs no more lines.
            const int wanted = lines(area.width());
            int lo = 1, hi = area.width();
            while (lo < hi) {
                const int mid = (lo + hi) / 2;
                if (lines(mid) <= wanted)
                    hi = mid;
                else
                    lo = mid + 1;
            }
            area = QRect(area.center().x() - hi / 2, area.top(), hi + 1, area.height());
        }
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
        p.drawText(area, Qt::AlignCenter | Qt::TextWordWrap, caption);
    }
};

// A label whose ideographic spaces are two thirds of an em wide when its
// caption would not fit otherwise: the captions line up their colons with
// such spaces, as in the face the window was designed with.
class CaptionLabel final : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        const QFontMetricsF fm(font());
        const QString caption = text();
        if (fm.horizontalAdvance(caption) <= width()) {
            QLabel::paintEvent(event);
            return;
        }
        QPainter p(this);
        p.setFont(font());
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        const qreal narrowSpace = fm.horizontalAdvance(QChar(0x3000)) * 2.0 / 3.0;
        const qreal baseline = (height() - fm.height()) / 2.0 + fm.ascent();
        qreal x = 0;
        for (const QString& run : caption.split(QChar(0x3000))) {
            p.drawText(QPointF(x, baseline), run);
            x += fm.horizontalAdvance(run) + narrowSpace;
        }
    }
};

// How a field's text is kept: numbers where the input method is off.
app::EntryField::Kind entryKind(const ControlSpec& spec)
{
    if (spec.postalCode)
        return app::EntryField::Kind::PostalCode;
    return spec.ime == desktop::ImeMode::Disabled ? app::EntryField::Kind::Numbers : app::EntryField::Kind::Text;
}

QIcon makeWindowIcon()
{
    // A parcel with its waybill, drawn at the designed 48 x 48.
    QPixmap pm(48, 48);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(90, 60, 20), 2));
    p.setBrush(QColor(205, 160, 95));
    p.drawRect(5, 12, 38, 30);
    p.setBrush(QColor(180, 135, 75));
    p.drawRect(5, 6, 38, 8);
    p.setPen(QPen(QColor(30, 30, 30), 1));
    p.setBrush(Qt::white);
    p.drawRect(12, 20, 24, 16);
    p.setPen(QPen(QColor(0, 0, 255), 2));
    p.drawLine(15, 25, 33, 25);
    p.drawLine(15, 30, 28, 30);
    return QIcon(pm);
}

} // namespace

Form1::Form1(Services& services, QWidget* parent) : WaybillWindow(parent), m_services(services)
{
    setObjectName(QString::fromUtf8(kWindowName));
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    setWindowIcon(makeWindowIcon());
    setFont(QFont(platform::installedFace(QString::fromUtf8(kWindowFontFamily)), kWindowFontPoints));
    setFixedSize(pixelsFromTwips(kClientWidthTwips), pixelsFromTwips(kClientHeightTwips));
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = rect();
        r.moveCenter(s->availableGeometry().center());
        move(r.topLeft());
    }
    buildControls();
    connectHandlers();
    announceChanges();
    // The frame the user works in, which a window opened from it leaves clear.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w && w != this; w = w->parentWidget())
            if (w->parentWidget() == this && qobject_cast<Frame*>(w))
                m_partInUse = w;
    });
    auto lookup = [this](const QString& code) { return addressesOf(code); };
    new PostalOffer(control<QLineEdit>("T_1_Yuubin"), control<QLineEdit>("T_2_Jyuusyo"), lookup, this);
    new PostalOffer(control<QComboBox>("iraiYuubin")->lineEdit(), control<QComboBox>("iraiJyuusyo1")->lineEdit(),
                    lookup, this);
    // The saved senders, read when a sender list first opens.
    QList<DropDownComboBox*> senderFields;
    for (const char* name : app::kSenderFields)
        senderFields.append(control<DropDownComboBox>(name));
    auto& station = m_services.station;
    // A problem with the address book no window took up is told over the
    // window in front, once the operation that met it has returned.
    station.setStorageProblemReceiver([this](const storage::Problem& problem) {
        QTimer::singleShot(0, this, [this, message = problem.message] {
            QWidget* front = QApplication::activeWindow();
            desktop::warn(m_services.messages, front ? front : this, message);
        });
    });
    auto tellStorageProblem = [this](storage::ProblemsMet& problems) {
        if (const auto problem = problems.take())
            desktop::warn(m_services.messages, this, problem->message);
    };
    new SenderLists(
        senderFields,
        [&station, tellStorageProblem] {
            storage::ProblemsMet problems(station.database());
            const auto senders = station.addressBook().recent(addressbook::Kind::Sender);
            tellStorageProblem(problems);
            return senders;
        },
        [this, &station, tellStorageProblem](const addressbook::AddressEntry& sender) {
            fillAddress(AddressBlock::Sender, sender.address);
            storage::ProblemsMet problems(station.database());
            station.addressBook().markUsed(sender.id);
            tellStorageProblem(problems);
        },
        this);
}

QStringList Form1::addressesOf(const QString& postalCode)
{
    return addressesOfCode(m_services.station, postalCode, [this](const QString& why) {
        if (m_toldPostalData)
            return;
        m_toldPostalData = true;
        desktop::warn(m_services.messages, this, why);
    });
}

QWidget* Form1::control(const char* name) const { return m_controls.value(QString::fromUtf8(name)); }

std::function<QWidget*(const char*)> Form1::finder() const
{
    return [this](const char* name) {
        QWidget* w = control(name);
        Q_ASSERT_X(w, "Form1", name);
        return w;
    };
}

void Form1::buildControls()
{
    const QString family = font().family(); // the window's face, set just before
    // Every attribute set, so nothing is inherited from a bold frame caption.
    QFont regular(family, kWindowFontPoints, QFont::Normal, false);
    regular.setUnderline(false);
    regular.setStrikeOut(false);
    QFont bold12(family, 12, QFont::Bold, false);
    bold12.setUnderline(false);
    bold12.setStrikeOut(false);
    const QPalette plain = QGuiApplication::palette();
    QCompleter noCompletion;

    std::vector<std::pair<int, QWidget*>> tabStops;
    for (const ControlSpec& spec : controlTable()) {
        QWidget* parent = spec.container ? control(spec.container) : this;
        const QString caption = QString::fromUtf8(spec.caption);
        QWidget* w = nullptr;
        switch (spec.kind) {
        case Kind::Frame:
            w = new Frame(caption, parent);
            break;
        case Kind::Label: {
            auto* label = new CaptionLabel(caption, parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
            w = label;
            break;
        }
        case Kind::TextBox: {
            auto* edit = new app::EntryField(entryKind(spec), parent);
            edit->setCharacterLimit(spec.maxLength);
            edit->setText(caption);
            edit->setAlignment((spec.align == Align::Right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
            w = edit;
            break;
        }
        case Kind::ComboBox: {
            auto* combo = new DropDownComboBox(parent);
            // What is typed is never completed from the list: the waybill
            // gets the text as typed. Qt gives an edit field that has no
            // completer one of its own, so the field arrives holding a
            // placeholder, taken off again once it is in the box.
            auto* edit = new app::EntryField(entryKind(spec), combo);
            edit->setCompleter(&noCompletion);
            // Made editable by its edit field alone: setEditable() would
            // also build the drop-down list now, for a list most boxes
            // never open.
            combo->setLineEdit(edit);
            edit->setCompleter(nullptr);
            combo->setInsertPolicy(QComboBox::NoInsert); // typing never adds to the list
            combo->setEditText(caption);
            w = combo;
            break;
        }
        case Kind::CheckBox:
            w = new QCheckBox(caption, parent);
            static_cast<QCheckBox*>(w)->setChecked(spec.initiallyOn);
            break;
        case Kind::OptionButton:
            w = new QRadioButton(caption, parent);
            static_cast<QRadioButton*>(w)->setChecked(spec.initiallyOn);
            break;
        case Kind::PushButton:
        case Kind::ToggleButton: {
            auto* button = new CaptionButton(caption, parent);
            button->setCheckable(spec.kind == Kind::ToggleButton);
            button->setChecked(spec.initiallyOn);
            button->setAutoDefault(false);
            w = button;
            break;
        }
        case Kind::UpDown:
            w = new UpDown(spec.widthTwips > spec.heightTwips ? Qt::Horizontal : Qt::Vertical, parent);
            break;
        case Kind::CommonDialog:
            w = new QWidget(parent); // the printer dialog itself comes from the platform
            break;
        }
        w->setObjectName(QString::fromUtf8(spec.name));
        w->setGeometry(pixelsFromTwips(spec.leftTwips), pixelsFromTwips(spec.topTwips),
                       pixelsFromTwips(spec.widthTwips), pixelsFromTwips(spec.heightTwips));
        // Font and colour are set where they differ from what the control
        // inherits: the controls inside the bold blue recipient frame get
        // the plain ones back, so only its caption is bold and blue.
        const bool plainInside = spec.container && spec.font == Font::Default && !spec.colour && parent->font().bold();
        if (spec.font == Font::Bold12 || plainInside)
            w->setFont(spec.font == Font::Bold12 ? bold12 : regular);
        if (spec.colour || plainInside) {
            const QColor text = spec.colour ? QColor::fromRgb(spec.colour) : plain.color(QPalette::WindowText);
            QPalette pal = w->palette();
            pal.setColor(QPalette::WindowText, text);
            pal.setColor(QPalette::ButtonText, spec.colour ? text : plain.color(QPalette::ButtonText));
            w->setPalette(pal);
        }
        if (spec.toolTip)
            w->setToolTip(QString::fromUtf8(spec.toolTip));
        if (spec.shortcut) {
            // From any of the program's windows, not only this one; a modal
            // dialog still holds it back. Kept by the window, so that a
            // button on the hidden adjustment panel answers its key too.
            auto* key = new QShortcut(QKeySequence(QString::fromLatin1(spec.shortcut)), this);
            key->setContext(Qt::ApplicationShortcut);
            connect(key, &QShortcut::activated, static_cast<QAbstractButton*>(w), &QAbstractButton::click);
        }
        w->setEnabled(spec.enabled);
        if (!spec.visible)
            w->setVisible(false);
        if (spec.ime != desktop::ImeMode::Unchanged) // a new control reads as unchanged already
            desktop::applyImeMode(w, spec.ime);
        m_controls.insert(w->objectName(), w);
        if (w->focusPolicy() != Qt::NoFocus && spec.tabIndex >= 0)
            tabStops.emplace_back(spec.tabIndex, w);
    }

    std::sort(tabStops.begin(), tabStops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < tabStops.size(); ++i)
        QWidget::setTabOrder(tabStops[i - 1].second, tabStops[i].second);

    keepNumbersWhole();

    // Spin ranges: the up arrow of the vertical one moves the print up.
    auto* x = control<UpDown>("UpDownX");
    x->setRange(adjust::kOffsetMin, adjust::kOffsetMax);
    x->setIncrement(adjust::kOffsetStep);
    auto* y = control<UpDown>("UpDownY");
    y->setRange(adjust::kOffsetMax, adjust::kOffsetMin);
    y->setIncrement(adjust::kOffsetStep);
}

void Form1::keepNumbersWhole()
{
    const QString digitsFace = platform::installedFace(QString::fromUtf8(kNumberFontFamily));
    for (const ControlSpec& spec : controlTable()) {
        auto* box = qobject_cast<EntryField*>(control(spec.name));
        if (!box || box->kind() != EntryField::Kind::Numbers)
            continue;
        // The longest value a box takes: as many digits as it holds, or
        // an offset at the end of its range.
        const bool offset = spec.container && qstrcmp(spec.container, "CyouseiFrm") == 0;
        const QString longest = spec.maxLength > 0 ? QString(spec.maxLength, QLatin1Char('9'))
                                : offset           ? QString::number(std::min(adjust::kOffsetMin, -adjust::kOffsetMax))
                                                   : QString();
        if (longest.isEmpty() || box->showsWhole(longest))
            continue;
        // The window's face has wider digits than the one it was laid out
        // with: this box takes a face whose digits are half an em wide,
        // once it is shown (every such box starts hidden).
        QFont narrow = box->font();
        narrow.setFamily(digitsFace);
        box->setFontWhenShown(narrow);
    }
}

void Form1::connectHandlers()
{
    auto click = [this](const char* name, void (Form1::*handler)()) {
        connect(control<QAbstractButton>(name), &QAbstractButton::clicked, this, handler);
    };
    click("zEndBtn", &Form1::zEndBtn_Click);
    click("InsatsuBtn", &Form1::InsatsuBtn_Click);
    click("GoukeiBtn", &Form1::GoukeiBtn_Click);
    click("SuujiNyuuryokuBtn", &Form1::SuujiNyuuryokuBtn_Click);
    click("C_1_Samakata", &Form1::C_1_Samakata_Click);
    click("C_2_Samakata", &Form1::C_2_Samakata_Click);
    click("T_clear1", &Form1::T_clear1_Click);
    click("T_clear2", &Form1::T_clear2_Click);
    click("z_Henkan", &Form1::z_Henkan_Click);
    click("OnOffBtn", &Form1::OnOffBtn_Click);
    click("HozonBtn", &Form1::HozonBtn_Click);
    click("IchiBtn", &Form1::IchiBtn_Click);
    click("PriDiaBtn", &Form1::PriDiaBtn_Click);
    click("alignmentButton", &Form1::openAlignment);
    click("previewButton", &Form1::openPreview);
    click("addressBookButton", &Form1::openAddressBook);
    click("historyButton", &Form1::openHistory);
    click("batchButton", &Form1::openBatch);
    click("formStackButton", &Form1::openFormStack);
    // 用紙レイアウト: from the alignment dialog on the adjustment panel, and F9.
    connect(new QShortcut(QKeySequence(Qt::Key_F9), this), &QShortcut::activated, this, &Form1::openLayouts);
    connect(this, &WaybillWindow::formStackChanged, this, &Form1::refreshNextForm);
    connect(control<UpDown>("UpDownX"), &UpDown::valueChanged, this, &Form1::UpDownX_Change);
    connect(control<UpDown>("UpDownY"), &UpDown::valueChanged, this, &Form1::UpDownY_Change);
}

void Form1::announceChanges()
{
    for (QWidget* w : std::as_const(m_controls)) {
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            connect(edit, &QLineEdit::textChanged, this, &WaybillWindow::changed);
        else if (auto* combo = qobject_cast<QComboBox*>(w))
            connect(combo, &QComboBox::currentTextChanged, this, &WaybillWindow::changed);
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            connect(button, &QAbstractButton::toggled, this, &WaybillWindow::changed);
    }
    for (const char* box : {"Sayuu_Xtxt", "Jyouge_Ytxt"})
        connect(control<QLineEdit>(box), &QLineEdit::textChanged, this, &WaybillWindow::offsetsChanged);
}

bool Form1::Form_Load()
{
    const adjust::OffsetStore::Loaded loaded = m_services.station.offsets().startUp();
    auto* x = control<UpDown>("UpDownX");
    x->setValue(loaded.horizontalTenthMm);
    control<QLineEdit>("Sayuu_Xtxt")->setText(QString::number(x->value()));
    auto* y = control<UpDown>("UpDownY");
    y->setValue(loaded.verticalTenthMm);
    control<QLineEdit>("Jyouge_Ytxt")->setText(QString::number(y->value()));

    control("CyouseiFrm")->setVisible(false);
    control("T_5_Samakata")->setVisible(false);
    control("iraiSamakata")->setVisible(false);

    QList<DropDownComboBox*> goodsBoxes;
    for (const char* name : {"c_Hinmei", "c_Hinmei2"}) {
        auto* combo = control<DropDownComboBox>(name);
        for (const char* item : itemDescriptions())
            combo->addItem(QString::fromUtf8(item));
        combo->setCurrentIndex(0);
        goodsBoxes << combo;
    }
    // The goods table is read when a list first opens, not before.
    new GoodsOffer(goodsBoxes, m_services.station.database(), this);

    if (m_services.station.anotherInstanceRunning()) {
        m_services.messages.show(nullptr, {station::kSecondInstance, desktop::MsgIcon::Warning, desktop::MsgButtons::Ok,
                                           desktop::MsgAnswer::Ok, std::nullopt});
        return false;
    }
    // A calibration that did not load must not pass for one in force.
    if (!loaded.problems.isEmpty())
        desktop::warn(m_services.messages, nullptr, loaded.problems);
    return true;
}

void Form1::zEndBtn_Click()
{
    const auto answer =
        m_services.messages.show(this, {kExitQuestion, desktop::MsgIcon::Question, desktop::MsgButtons::YesNo,
                                        desktop::MsgAnswer::Yes, kExitCaption});
    if (answer == desktop::MsgAnswer::Yes)
        m_services.quit();
}

waybill::Waybill Form1::readWaybill() const
{
    waybill::Waybill w;
    w.recipient = readAddress(app::kRecipientFields);
    w.sender = readAddress(app::kSenderFields);
    for (size_t i = 0; i < std::size(app::kDeliveryTimeOptions); ++i)
        if (control<QAbstractButton>(app::kDeliveryTimeOptions[i].option)->isChecked()) {
            w.deliveryTime = app::kDeliveryTimeOptions[i].time;
            break;
        }
    w.arrivalNotice = control<QAbstractButton>("O_Tsuuchi2")->isChecked() ? waybill::ArrivalNotice::NotWanted
                                                                          : waybill::ArrivalNotice::Wanted;
    for (size_t line = 0; line < 2; ++line) {
        const app::GoodsLineFields& f = app::kGoodsLineFields[line];
        w.goods[line] = {app::fieldText(control(f.description)), app::fieldText(control(f.productNumber)),
                         app::fieldText(control(f.quantity)), app::fieldText(control(f.unitPrice)),
                         app::fieldText(control(f.amount))};
    }
    w.total = app::fieldText(control("GoukeiBox"));
    w.numericMode = control<QAbstractButton>("SuujiNyuuryokuBtn")->isChecked();
    return w;
}

waybill::Address Form1::readAddress(const char* const (&fields)[6]) const
{
    waybill::Address a;
    a.postalCode = app::fieldText(control(fields[0]));
    a.line1 = app::fieldText(control(fields[1]));
    a.line2 = app::fieldText(control(fields[2]));
    a.name = app::fieldText(control(fields[3]));
    a.careOf = app::fieldText(control(fields[4]));
    a.careOfShown = !control(fields[4])->isHidden();
    a.telephone = app::fieldText(control(fields[5]));
    return a;
}

void Form1::fillAddress(AddressBlock block, const waybill::Address& address)
{
    const auto& fields = block == AddressBlock::Recipient ? app::kRecipientFields : app::kSenderFields;
    const QString texts[6] = {address.postalCode, address.line1,  address.line2,
                              address.name,       address.careOf, address.telephone};
    for (int i = 0; i < 6; ++i)
        app::setFieldText(control(fields[i]), texts[i]);
    auto* careOfBox = control<QCheckBox>(block == AddressBlock::Recipient ? "C_1_Samakata" : "C_2_Samakata");
    careOfBox->setChecked(address.careOfShown);
    control(fields[4])->setVisible(address.careOfShown);
}

void Form1::fillFrom(const waybill::Waybill& w)
{
    fillAddress(AddressBlock::Recipient, w.recipient);
    fillAddress(AddressBlock::Sender, w.sender);
    for (const auto& option : app::kDeliveryTimeOptions)
        if (option.time == w.deliveryTime)
            control<QAbstractButton>(option.option)->setChecked(true);
    control<QAbstractButton>(w.arrivalNotice == waybill::ArrivalNotice::Wanted ? "O_Tsuuchi1" : "O_Tsuuchi2")
        ->setChecked(true);
    for (size_t line = 0; line < 2; ++line) {
        const app::GoodsLineFields& f = app::kGoodsLineFields[line];
        const waybill::GoodsLine& g = w.goods[line];
        app::setFieldText(control(f.description), g.description);
        app::setFieldText(control(f.productNumber), g.productNumber);
        app::setFieldText(control(f.quantity), g.quantity);
        app::setFieldText(control(f.unitPrice), g.unitPrice);
        app::setFieldText(control(f.amount), g.amount);
    }
    app::setFieldText(control("GoukeiBox"), w.total);
    control<QAbstractButton>("SuujiNyuuryokuBtn")->setChecked(w.numericMode);
    SuujiNyuuryokuBtn_Click();
}

void Form1::report(const station::Printed& printed, QWidget* over)
{
    if (printed.delivery.ok)
        emit formStackChanged();
    if (!printed.delivery.ok && !printed.delivery.message.isEmpty())
        desktop::warn(m_services.messages, over, printed.delivery.message);
    else if (!printed.notice.isEmpty())
        desktop::inform(m_services.messages, over, printed.notice);
}

QString Form1::nameReading(AddressBlock block) const
{
    QWidget* field = control(block == AddressBlock::Recipient ? "T_4_Namae" : "iraiNamae");
    if (auto* combo = qobject_cast<QComboBox*>(field))
        field = combo->lineEdit();
    auto* entry = qobject_cast<EntryField*>(field);
    return entry ? entry->readingFromInputMethod() : QString();
}

WaybillChoices Form1::choices() const
{
    WaybillChoices choices;
    for (const char* item : itemDescriptions())
        choices.itemDescriptions << QString::fromUtf8(item);
    for (const app::DeliveryTimeOption& option : app::kDeliveryTimeOptions)
        choices.deliveryTimes.append({option.time, control<QAbstractButton>(option.option)->text()});
    choices.arrivalNotices.append({waybill::ArrivalNotice::Wanted, control<QAbstractButton>("O_Tsuuchi1")->text()});
    choices.arrivalNotices.append({waybill::ArrivalNotice::NotWanted, control<QAbstractButton>("O_Tsuuchi2")->text()});
    return choices;
}

OffsetTexts Form1::offsetTexts() const
{
    return {control<QLineEdit>("Sayuu_Xtxt")->text(), control<QLineEdit>("Jyouge_Ytxt")->text()};
}

std::optional<print::PrintOffsets> Form1::offsetsForPrint(QWidget* over)
{
    const OffsetTexts texts = offsetTexts();
    const auto offsets = adjust::offsetsForPrint(texts.horizontal, texts.vertical);
    if (!offsets) {
        desktop::warn(m_services.messages, over, offsets.error());
        return std::nullopt;
    }
    return *offsets;
}

void Form1::InsatsuBtn_Click()
{
    const auto offsets = offsetsForPrint(this);
    if (!offsets)
        return;
    const waybill::Waybill waybill = readWaybill();
    if (!mayPrintAsItStands(waybill))
        return;
    const station::Printed printed = m_services.printRun.printWaybills({&waybill, 1}, *offsets);
    report(printed, this);
    if (printed.delivery.ok)
        showPrinted(waybill, printed);
}

namespace {

QString bulleted(const QStringList& lines)
{
    QStringList bullets;
    for (const QString& line : lines)
        bullets << QStringLiteral("・") + line;
    return bullets.join(QLatin1Char('\n'));
}

} // namespace

bool Form1::mayPrintAsItStands(const waybill::Waybill& waybill)
{
    // A waybill without whom or where to deliver would spend a numbered
    // form for nothing: there is no printing it as it stands.
    if (const QStringList refusals = printcheck::refusalsBeforePrint(waybill); !refusals.isEmpty()) {
        desktop::warn(
            m_services.messages, this,
            QStringLiteral("この送り状は印刷できません。\n\n%1\n\n入力してから、もう一度「印刷」を押してください。")
                .arg(bulleted(refusals)));
        return false;
    }
    // Checked on the page of the layout the print takes.
    const Result<print::Layout> layout = m_services.station.layoutInUse();
    if (!layout) {
        desktop::warn(m_services.messages, this, layout.error() + QStringLiteral("\n何も印刷していません。"));
        return false;
    }
    const QString queue = m_services.station.formQueue();
    const bool senderPrePrinted = !queue.isEmpty() && m_services.station.formStacks().senderPrePrinted(queue);
    const QStringList findings = printcheck::findingsBeforePrint(
        waybill, senderPrePrinted ? printcheck::Sender::PrePrinted : printcheck::Sender::Typed, *layout);
    if (findings.isEmpty())
        return true;
    QString text =
        QStringLiteral("この送り状には次の点があります。\n\n%1\n\nこのまま印刷しますか？「戻る」で入力に戻ります。")
            .arg(bulleted(findings));
    if (const QStringList notes = printcheck::notesBeforePrint(waybill, *layout); !notes.isEmpty())
        text += QStringLiteral("\n\n印刷では次のように欄に収めます。\n・") + notes.join(QStringLiteral("\n・"));
    desktop::Message question{text, desktop::MsgIcon::Warning, desktop::MsgButtons::YesNo, desktop::MsgAnswer::No,
                              std::nullopt};
    question.yesText = QStringLiteral("このまま印刷");
    question.noText = QStringLiteral("戻る");
    return m_services.messages.show(this, question) == desktop::MsgAnswer::Yes;
}

void Form1::IchiBtn_Click()
{
    if (const auto offsets = offsetsForPrint(this))
        report(m_services.printRun.printTestMarks(*offsets), this);
}

void Form1::GoukeiBtn_Click() { app::applyAmounts(finder()); }

void Form1::SuujiNyuuryokuBtn_Click()
{
    app::showNumericGroup(finder(), control<QAbstractButton>("SuujiNyuuryokuBtn")->isChecked());
}

void Form1::C_1_Samakata_Click()
{
    control("T_5_Samakata")->setVisible(control<QCheckBox>("C_1_Samakata")->isChecked());
}
void Form1::C_2_Samakata_Click()
{
    control("iraiSamakata")->setVisible(control<QCheckBox>("C_2_Samakata")->isChecked());
}
void Form1::T_clear1_Click() { app::clearFields(finder(), app::kRecipientFields); }
void Form1::T_clear2_Click() { app::clearFields(finder(), app::kSenderFields); }
void Form1::z_Henkan_Click() { app::swapAddressBlocks(finder()); }

void Form1::OnOffBtn_Click()
{
    auto* toggle = control<QAbstractButton>("OnOffBtn");
    const bool pressed = toggle->isChecked();
    toggle->setText(pressed ? QStringLiteral("調整") : QString());
    control("CyouseiFrm")->setVisible(pressed);
}

void Form1::UpDownX_Change()
{
    control<QLineEdit>("Sayuu_Xtxt")->setText(QString::number(control<UpDown>("UpDownX")->value()));
}
void Form1::UpDownY_Change()
{
    control<QLineEdit>("Jyouge_Ytxt")->setText(QString::number(control<UpDown>("UpDownY")->value()));
}

void Form1::HozonBtn_Click()
{
    const QString x = control<QLineEdit>("Sayuu_Xtxt")->text(), y = control<QLineEdit>("Jyouge_Ytxt")->text();
    auto saved = m_services.station.offsets().save(x, y);
    // Saved texts are whole numbers: kept for the printer and layout too.
    auto whole = [](const QString& text) { return int(std::lround(platform::textToDouble(text).value_or(0))); };
    if (saved)
        if (const QString queue = m_services.station.formQueue(); !queue.isEmpty())
            saved = m_services.station.printerOffsets().save(queue, m_services.station.layouts().nameForQueue(queue),
                                                             {whole(x), whole(y)});
    if (!saved)
        desktop::warn(m_services.messages, this, saved.error());
}

void Form1::openAlignment()
{
    auto* dialog = new AlignmentDialog(*this, m_services, this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(dialog, &AlignmentDialog::layoutsAsked, this, &Form1::openLayouts);
    connect(dialog, &AlignmentDialog::offsetsRead, this, [this](const adjust::AlignmentOutcome& outcome) {
        // As the spins and 「ズレ保存」 would: shown, in force, saved.
        control<UpDown>("UpDownX")->setValue(outcome.horizontalTenthMm);
        control<UpDown>("UpDownY")->setValue(outcome.verticalTenthMm);
        UpDownX_Change();
        UpDownY_Change();
        HozonBtn_Click();
    });
    dialog->open();
}

void Form1::openPreview() { showPreview(*this, m_services); }
void Form1::openAddressBook() { showAddressBook(*this, m_services); }
void Form1::openHistory() { showHistory(*this, m_services); }
void Form1::openBatch() { showBatch(*this, m_services); }
void Form1::openFormStack() { showFormStack(*this, m_services); }
void Form1::openLayouts() { showLayouts(*this, m_services); }

bool Form1::event(QEvent* event)
{
    // Posted from the first paint, so it runs once that paint is on the screen.
    if (event->type() == QEvent::Paint && !m_painted) {
        m_painted = true;
        QTimer::singleShot(0, this, &Form1::afterFirstPaint);
    }
    return WaybillWindow::event(event);
}

void Form1::afterFirstPaint()
{
    // Finding the printer's queue asks the spooler; the line is shown
    // before the first print is prepared.
    refreshNextForm();
    QTimer::singleShot(0, this, [this] { m_services.printRun.prepareFirstPrint(); });
    // Pages this PC keeps for a server it no longer uses are missing from
    // the history it shows: said at every start.
    QTimer::singleShot(0, this, [this] {
        if (const QString elsewhere = m_services.station.pagesWaitingElsewhere(); !elsewhere.isEmpty())
            desktop::inform(m_services.messages, this, elsewhere);
    });
}

void Form1::refreshNextForm() { setCommandLine(nextFormLine(m_services)); }

void Form1::setCommandLine(const QString& text)
{
    // Cut short with … where the frame is too narrow; whole when pointed at.
    auto* line = control<QLabel>("nextFormLabel");
    line->setToolTip(text);
    line->setText(line->fontMetrics().elidedText(text, Qt::ElideRight, line->width()));
}

void Form1::showPrinted(const waybill::Waybill& waybill, const station::Printed& printed)
{
    const QString name = waybill.recipient.name.trimmed();
    const QString whom = name.isEmpty() ? QStringLiteral("送り状") : name + QStringLiteral(" 様");
    QString text;
    if (!printed.formNumbers.isEmpty()) {
        text = QStringLiteral("%1 → 伝票 %2 に印刷しました").arg(whom, printed.formNumbers.front().display());
        const QString queue = m_services.station.formQueue();
        if (const auto stack = m_services.station.formStacks().load(queue); stack && *stack)
            text += QStringLiteral("　次：%1").arg((*stack)->nextForm().display());
    } else if (printed.delivery.toPdfFile) {
        text = QStringLiteral("%1 → PDF「%2」に書き出しました")
                   .arg(whom, QFileInfo(printed.delivery.destination).fileName());
    } else {
        text = QStringLiteral("%1 → 「%2」に印刷しました").arg(whom, printed.delivery.destination);
    }
    setCommandLine(text);
}

QRect Form1::partInUseOnScreen() const
{
    const QWidget* part = m_partInUse ? m_partInUse : control("Frame1(0)");
    return QRect(part->mapToGlobal(QPoint(0, 0)), part->size());
}

void Form1::PriDiaBtn_Click()
{
    print::SystemPrinter* printer = m_services.systemPrinter;
    if (!printer)
        return;
    // The dialog would offer no printer to choose: say where prints go.
    if (printer->writesPdfFiles()) {
        desktop::inform(
            m_services.messages, this,
            QStringLiteral(
                "このコンピュータにはプリンタが見つかりません。印刷すると、そのたびに新しいPDFファイルとして"
                "次のフォルダに保存されます。\n\n%1\n\nプリンタをつないで使えるようにしてから、もう一度「プリンタの設定」を押してください。")
                .arg(QDir::toNativeSeparators(printer->pdfFolder())));
        return;
    }
    if (printer->chooseWith([this](QPrinter& p) { return m_services.printerDialog.run(this, p); }))
        emit formStackChanged(); // another queue holds other forms
}

} // namespace app
