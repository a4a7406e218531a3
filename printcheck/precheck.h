#pragma once
// What a waybill typed into the window is checked for before it is printed:
// what an order list's row is checked for (orders/rows.h), for both address
// blocks; texts that run past their places (on the layout the print uses)
// or hold characters the printer's face lacks; and, in numeric input mode,
// amounts that no longer follow from their quantities and prices.
#include "print/layout.h"
#include "waybill/waybill.h"

#include <QStringList>

namespace printcheck {

// What keeps a waybill from printing at all, each in Japanese: a recipient
// without a name or without an address cannot be delivered, whatever the
// user answers. Empty when it may print.
QStringList refusalsBeforePrint(const waybill::Waybill& waybill);

// Whether the forms in the printer carry the sender printed on them.
enum class Sender { Typed, PrePrinted };

// Each finding in Japanese, naming the field and what is wrong; empty when
// the waybill prints as it stands. The recipient needs a postal code of the
// right shape, a first address line and a name; the sender a name and a
// first address line unless the forms carry it printed, and the right
// shapes of what it holds.
QStringList findingsBeforePrint(const waybill::Waybill& waybill, Sender sender = Sender::Typed,
                                const print::Layout& layout = print::builtInLayout());

// What the print fits into its place (narrowed, set smaller, shortened), one
// note each: for the user to see, never a reason to ask.
QStringList notesBeforePrint(const waybill::Waybill& waybill, const print::Layout& layout = print::builtInLayout());

} // namespace printcheck
