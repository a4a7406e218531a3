#pragma once
// What the program's other windows see of the main window: the waybill it
// holds, filling it, the offsets a print takes, telling how a print went,
// and a signal when anything on it changes. They never see its controls.
#include "print/printjob.h"
#include "station/printrun.h"
#include "waybill/waybill.h"

#include <QRect>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <utility>

namespace app {

enum class AddressBlock { Recipient, Sender };

// The texts of the two offset boxes as they stand, readable or not.
struct OffsetTexts {
    QString horizontal;
    QString vertical;
};

// The choices the window offers, with its own captions, for windows that
// set the same things for many waybills.
struct WaybillChoices {
    QStringList itemDescriptions;
    QList<std::pair<waybill::DeliveryTime, QString>> deliveryTimes; // in the window's order
    QList<std::pair<waybill::ArrivalNotice, QString>> arrivalNotices;
};

class WaybillWindow : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;

    // The window's contents as one waybill, and back: filling writes the
    // texts as typing would (a box keeps to its length) and sets the
    // choices, care-of lines and numeric mode with their own handlers.
    virtual waybill::Waybill readWaybill() const = 0;
    virtual void fillFrom(const waybill::Waybill& waybill) = 0;
    virtual void fillAddress(AddressBlock block, const waybill::Address& address) = 0;

    virtual WaybillChoices choices() const = 0;

    // The reading (フリガナ) of a block's name as the input method converted
    // it while the user typed; empty where that is not known.
    virtual QString nameReading(AddressBlock block) const = 0;

    virtual OffsetTexts offsetTexts() const = 0;
    // The offsets a print takes now; when they cannot be read the user is
    // told why over `over` and nothing is returned.
    virtual std::optional<print::PrintOffsets> offsetsForPrint(QWidget* over) = 0;

    // Tells the user how a print went, as 印刷 does, over `over`.
    virtual void report(const station::Printed& printed, QWidget* over) = 0;

    // Where on the screen the part the user works on lies (the frame that
    // last held the focus, the recipient's at first): a window opened from
    // it must not cover it.
    virtual QRect partInUseOnScreen() const = 0;

signals:
    // After any change of a field, a choice or an offset.
    void changed();
    // After a change of either offset.
    void offsetsChanged();
    // After the stack of forms in the printer moved or was replaced, by a
    // print or in the stack window.
    void formStackChanged();
};

} // namespace app
