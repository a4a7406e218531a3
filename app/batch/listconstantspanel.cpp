#include "app/batch/listconstantspanel.h"

#include "app/widgets/addressblockeditor.h"
#include "station/layoutstore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QLabel>
#include <QSpinBox>

namespace app {

namespace {

QString senderItemText(const waybill::Address& a)
{
    const QString name = a.name.isEmpty() ? QStringLiteral("（名前なし）") : a.name;
    return a.line1.isEmpty() ? name : QStringLiteral("%1　%2").arg(name, a.line1);
}

} // namespace

ListConstantsPanel::ListConstantsPanel(const WaybillChoices& choices, QWidget* parent)
    : QGroupBox(QStringLiteral("すべての送り状に共通の内容"), parent)
{
    setObjectName(QStringLiteral("ListConstantsPanel"));
    auto* grid = new QGridLayout(this);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    m_senderChoice = new QComboBox(this);
    m_senderChoice->setObjectName(QStringLiteral("senderChoice"));
    m_senderChoice->setToolTip(
        QStringLiteral("住所録に保存したご依頼主から選びます。下の欄に直接入力することもできます"));
    auto* senderLabel = new QLabel(QStringLiteral("ご依頼主(&S)："), this);
    senderLabel->setBuddy(m_senderChoice);
    grid->addWidget(senderLabel, 0, 0);
    grid->addWidget(m_senderChoice, 0, 1, 1, 3);

    m_sender = new AddressBlockEditor(AddressBlockEditor::Shape::Compact, AddressBlockEditor::CareOfSwitch::None, this);
    m_sender->setObjectName(QStringLiteral("sender"));
    grid->addWidget(m_sender, 1, 0, 4, 4);
    connect(m_sender, &AddressBlockEditor::edited, this, &ListConstantsPanel::followTyping);

    m_fromBuyer = new QCheckBox(QStringLiteral("ご依頼主: 注文者(&B)"), this);
    m_fromBuyer->setObjectName(QStringLiteral("senderFromBuyer"));
    m_fromBuyer->setToolTip(QStringLiteral(
        "ギフトの注文のように、注文ごとの注文者をご依頼主として印刷します。ショップの注文一覧（注文者の名前と住所があるもの）で使えます"));
    grid->addWidget(m_fromBuyer, 7, 0, 1, 4);
    connect(m_fromBuyer, &QCheckBox::toggled, this, [this](bool fromBuyer) {
        m_senderChoice->setEnabled(!fromBuyer);
        m_sender->setEnabled(!fromBuyer);
        emit changed();
    });
    QWidget::setTabOrder(m_senderChoice, m_fromBuyer);
    QWidget::setTabOrder(m_fromBuyer, m_sender->firstInTabOrder());

    m_item = new QComboBox(this);
    m_item->setObjectName(QStringLiteral("itemDescription"));
    m_item->setEditable(true);
    m_item->setInsertPolicy(QComboBox::NoInsert);
    m_item->addItems(choices.itemDescriptions);
    m_item->setToolTip(QStringLiteral(
        "入れると、すべての送り状の品名がこの品名になります（注文ごとの品名・商品番号・数量は印刷しません）。空のときは注文ごとの品名を印刷します"));
    auto* itemLabel = new QLabel(QStringLiteral("品名(&I)："), this);
    itemLabel->setBuddy(m_item);
    grid->addWidget(itemLabel, 5, 0);
    grid->addWidget(m_item, 5, 1, 1, 3);

    m_time = new QComboBox(this);
    m_time->setObjectName(QStringLiteral("deliveryTime"));
    for (const auto& [time, caption] : choices.deliveryTimes)
        m_time->addItem(caption, int(time));
    m_time->setCurrentIndex(m_time->findData(int(waybill::DeliveryTime::Unspecified)));
    auto* timeLabel = new QLabel(QStringLiteral("配達時間帯(&T)："), this);
    timeLabel->setBuddy(m_time);
    grid->addWidget(timeLabel, 6, 0);
    grid->addWidget(m_time, 6, 1);

    m_notice = new QComboBox(this);
    m_notice->setObjectName(QStringLiteral("arrivalNotice"));
    for (const auto& [notice, caption] : choices.arrivalNotices)
        m_notice->addItem(caption, int(notice));
    auto* noticeLabel = new QLabel(QStringLiteral("お届け通知(&N)："), this);
    noticeLabel->setBuddy(m_notice);
    grid->addWidget(noticeLabel, 6, 2);
    grid->addWidget(m_notice, 6, 3);

    // Printed only where the form's layout has a place for them.
    m_shipDate = new QDateEdit(QDate::currentDate(), this);
    m_shipDate->setObjectName(QStringLiteral("shipDate"));
    m_shipDate->setCalendarPopup(true);
    m_shipDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    m_shipDate->setToolTip(QStringLiteral("用紙レイアウトに発送日の欄があれば、この日付を印刷します"));
    auto* shipDateLabel = new QLabel(QStringLiteral("発送日(&D)："), this);
    shipDateLabel->setBuddy(m_shipDate);
    grid->addWidget(shipDateLabel, 8, 0);
    grid->addWidget(m_shipDate, 8, 1);
    m_parcels = new QSpinBox(this);
    m_parcels->setObjectName(QStringLiteral("parcelCount"));
    m_parcels->setRange(1, station::kMaxParcelCount);
    m_parcels->setToolTip(QStringLiteral("用紙レイアウトに個数の欄があれば、1枚ごとにこの数を印刷します"));
    auto* parcelsLabel = new QLabel(QStringLiteral("個数(&C)："), this);
    parcelsLabel->setBuddy(m_parcels);
    grid->addWidget(parcelsLabel, 8, 2);
    grid->addWidget(m_parcels, 8, 3);
    m_giftTelephone = new QComboBox(this);
    m_giftTelephone->setObjectName(QStringLiteral("giftTelephone"));
    for (const orders::GiftTelephone choice :
         {orders::GiftTelephone::Buyer, orders::GiftTelephone::Sender, orders::GiftTelephone::Blank})
        m_giftTelephone->addItem(orders::giftTelephoneText(choice), int(choice));
    m_giftTelephone->setToolTip(QStringLiteral(
        "贈り物の注文で、一覧にお届け先の電話番号がないときに、お届け先の電話番号の欄に印刷する番号です"));
    auto* giftLabel = new QLabel(QStringLiteral("贈り物の電話番号(&G)："), this);
    giftLabel->setBuddy(m_giftTelephone);
    grid->addWidget(giftLabel, 9, 0);
    grid->addWidget(m_giftTelephone, 9, 1, 1, 3);

    QWidget::setTabOrder(m_sender->lastInTabOrder(), m_item);
    QWidget::setTabOrder(m_item, m_time);
    QWidget::setTabOrder(m_time, m_notice);
    QWidget::setTabOrder(m_notice, m_shipDate);
    QWidget::setTabOrder(m_shipDate, m_parcels);
    QWidget::setTabOrder(m_parcels, m_giftTelephone);

    setSavedSenders({});
    connect(m_senderChoice, &QComboBox::activated, this, [this](int index) {
        if (index > 0 && index <= m_saved.size())
            fillSender(m_saved[index - 1].address);
    });
    connect(m_item, &QComboBox::currentTextChanged, this, &ListConstantsPanel::changed);
    connect(m_time, &QComboBox::currentIndexChanged, this, &ListConstantsPanel::changed);
    connect(m_notice, &QComboBox::currentIndexChanged, this, &ListConstantsPanel::changed);
    connect(m_giftTelephone, &QComboBox::currentIndexChanged, this, &ListConstantsPanel::changed);
    connect(m_shipDate, &QDateEdit::dateChanged, this, &ListConstantsPanel::sheetChanged);
    connect(m_parcels, &QSpinBox::valueChanged, this, &ListConstantsPanel::sheetChanged);
}

print::SheetExtras ListConstantsPanel::sheetExtras() const
{
    print::SheetExtras extras;
    extras.shipDate = m_shipDate->date();
    extras.parcelCount = m_parcels->value();
    return extras;
}

void ListConstantsPanel::setSavedSenders(const QList<addressbook::AddressEntry>& senders)
{
    m_saved = senders;
    m_filling = true;
    m_senderChoice->clear();
    m_senderChoice->addItem(senders.isEmpty() ? QStringLiteral("（住所録にご依頼主がありません。下に入力してください）")
                                              : QStringLiteral("（下に入力した内容）"));
    for (const addressbook::AddressEntry& entry : senders)
        m_senderChoice->addItem(senderItemText(entry.address));
    m_filling = false;
    if (!senders.isEmpty())
        fillSender(senders.front().address);
}

void ListConstantsPanel::fillSender(const waybill::Address& address)
{
    m_filling = true;
    m_sender->setAddress(address);
    m_filling = false;
    followTyping();
}

void ListConstantsPanel::followTyping()
{
    if (m_filling)
        return;
    const std::optional<qint64> saved = savedSenderInUse();
    int index = 0;
    for (int i = 0; saved && i < m_saved.size(); ++i)
        if (m_saved[i].id == *saved)
            index = i + 1;
    m_senderChoice->setCurrentIndex(index);
    emit changed();
}

waybill::Address ListConstantsPanel::typedSender() const
{
    waybill::Address a = m_sender->address();
    for (QString* text : {&a.postalCode, &a.line1, &a.line2, &a.name, &a.careOf, &a.telephone})
        *text = text->trimmed();
    return a;
}

std::optional<qint64> ListConstantsPanel::savedSenderInUse() const
{
    const waybill::Address typed = typedSender();
    for (const addressbook::AddressEntry& entry : m_saved) {
        waybill::Address saved = entry.address;
        if (!saved.careOfShown)
            saved.careOf.clear();
        saved.careOfShown = !saved.careOf.isEmpty();
        if (saved == typed)
            return entry.id;
    }
    return std::nullopt;
}

orders::ListConstants ListConstantsPanel::constants() const
{
    orders::ListConstants c;
    c.sender = typedSender();
    c.itemDescription = m_item->currentText().trimmed();
    c.deliveryTime = waybill::DeliveryTime(m_time->currentData().toInt());
    c.arrivalNotice = waybill::ArrivalNotice(m_notice->currentData().toInt());
    c.senderFromBuyer = m_fromBuyer->isChecked();
    c.giftTelephone = orders::GiftTelephone(m_giftTelephone->currentData().toInt());
    return c;
}

} // namespace app
