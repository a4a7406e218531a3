#pragma once
// What every waybill of an order list shares: the sender, picked from the
// saved senders or typed, or each order's buyer (gift orders of a shop
// platform's list), an item description for rows without one, the
// delivery-time band, the arrival notice, and the number a gift's
// recipient without one in the list gets; and what a layout may place
// that no list gives: the ship date and the number of parcels (個数).
#include "addressbook/addressbook.h"
#include "app/widgets/waybillwindow.h"
#include "orders/rows.h"
#include "print/printjob.h"

#include <QGroupBox>
#include <optional>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QSpinBox;

namespace app {

class AddressBlockEditor;

class ListConstantsPanel final : public QGroupBox {
    Q_OBJECT
public:
    explicit ListConstantsPanel(const WaybillChoices& choices, QWidget* parent = nullptr);

    // Most recently used first; the first one is put into the fields.
    void setSavedSenders(const QList<addressbook::AddressEntry>& senders);
    orders::ListConstants constants() const;
    // The saved sender the fields hold unchanged, if any.
    std::optional<qint64> savedSenderInUse() const;

    AddressBlockEditor& sender() const { return *m_sender; }
    QComboBox* senderChoice() const { return m_senderChoice; }
    // 「ご依頼主: 注文者」
    QCheckBox* senderFromBuyer() const { return m_fromBuyer; }
    QComboBox* itemDescription() const { return m_item; }
    QComboBox* deliveryTime() const { return m_time; }
    QComboBox* arrivalNotice() const { return m_notice; }
    QDateEdit* shipDate() const { return m_shipDate; }
    QSpinBox* parcelCount() const { return m_parcels; }
    // The ship date and 個数 of every page.
    print::SheetExtras sheetExtras() const;
    // For a gift whose list has no number for its recipient.
    QComboBox* giftTelephone() const { return m_giftTelephone; }

signals:
    void changed();
    // The ship date or 個数: the page changes, the rows' checks do not.
    void sheetChanged();

private:
    waybill::Address typedSender() const;
    void fillSender(const waybill::Address& address);
    void followTyping();

    QList<addressbook::AddressEntry> m_saved;
    QComboBox* m_senderChoice;
    QCheckBox* m_fromBuyer;
    AddressBlockEditor* m_sender;
    QComboBox* m_item;
    QComboBox* m_time;
    QComboBox* m_notice;
    QDateEdit* m_shipDate;
    QSpinBox* m_parcels;
    QComboBox* m_giftTelephone;
    bool m_filling = false;
};

} // namespace app
