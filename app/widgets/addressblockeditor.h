#pragma once
// The six fields of one address (postal code, two address lines, name,
// care-of line, telephone), each keeping the rules of the main window's
// field of the same kind, so what is typed here prints as the same text
// typed there would.
#include "app/widgets/entryfield.h"
#include "waybill/waybill.h"

#include <QWidget>

class QCheckBox;

namespace app {

class AddressBlockEditor final : public QWidget {
    Q_OBJECT
public:
    enum Part { PostalCode, Line1, Line2, Name, CareOf, Telephone, PartCount };
    // Form: one labelled line per field, top to bottom (dialogs). Compact:
    // the postal code beside the telephone and the name beside the care-of
    // line, as on the form (a side panel).
    enum class Shape { Form, Compact };
    // With a switch, the care-of line prints only when it is on, as in the
    // main window; without, it prints whenever it holds text.
    enum class CareOfSwitch { None, Shown };

    AddressBlockEditor(Shape shape, CareOfSwitch careOfSwitch, QWidget* parent = nullptr);

    // Without a switch a care-of line that is not printed is not shown.
    void setAddress(const waybill::Address& address);
    // The texts as the fields hold them.
    waybill::Address address() const;

    EntryField* field(Part part) const { return m_fields[part]; }
    QCheckBox* careOfSwitch() const { return m_careOfSwitch; }
    // The first and last field in tab order, to chain the editor into a dialog's.
    QWidget* firstInTabOrder() const;
    QWidget* lastInTabOrder() const;

signals:
    // After the user typed into a field or flipped the switch.
    void edited();

private:
    EntryField* m_fields[PartCount];
    QCheckBox* m_careOfSwitch = nullptr;
    Shape m_shape;
};

} // namespace app
