#pragma once
// The drop-down lists of the six sender fields: the saved senders, most
// recently used first, read from the address book only when a list is
// about to open. Picking one fills the whole sender block.
//
// The combo boxes' own item lists stay empty. A filled list would change
// what typing does: Qt puts the first item into the edit field when items
// arrive, clears the field when they go, and lets the arrow keys and the
// mouse wheel step through the items, each step replacing the field's
// text. So the saved senders are offered in a list of their own that opens
// where the combo box's list would (the arrow button, Alt+Down), and
// nothing but a choice made in it writes into a field; Up, Down and the
// wheel do in a sender field exactly what they did with no senders saved.
#include "addressbook/addressbook.h"

#include <QComboBox>
#include <QObject>
#include <functional>

namespace app {

// A combo box whose drop-down list someone else may provide: showList runs
// when the list is to open, and answers false to let the box's own open.
class DropDownComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;
    std::function<bool()> showList;
    void showPopup() override;
};

class SenderLists final : public QObject {
    Q_OBJECT
public:
    using Recent = std::function<QList<addressbook::AddressEntry>()>;
    using Chosen = std::function<void(const addressbook::AddressEntry&)>;

    // fields: the six sender combo boxes. recent: the saved senders at the
    // moment a list opens; chosen: fills the block with the one picked.
    SenderLists(const QList<DropDownComboBox*>& fields, Recent recent, Chosen chosen, QObject* parent = nullptr);

    // The line one saved sender shows as in the lists.
    static QString lineOf(const waybill::Address& address);

private:
    bool open(DropDownComboBox* field);

    Recent m_recent;
    Chosen m_chosen;
};

} // namespace app
