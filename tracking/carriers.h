#pragma once
// The carriers whose pre-printed forms the program tracks, one table row
// each: the word the command line and the settings file use, the name on
// screen, and how a number on their forms is checked.
//
// Only the rules found in public sources are enforced. Where none was found
// the carrier's numbers are taken as typed, digits unchecked, and
// ruleDescription() says so to the user.
#include "common/result.h"

#include <QList>
#include <QString>

namespace tracking {

enum class Carrier { Yamato, Sagawa, JapanPost, Seino, Fukuyama, Other };

enum class CheckRule {
    // The last digit is the remainder of the serial (the number without its
    // last digit) divided by 7.
    SerialMod7,
    // No rule known: any count of digits, no check digit.
    None,
};

struct CarrierRow {
    Carrier carrier;
    const char16_t* token; // command line and settings: never changes
    const char16_t* name;  // on screen and in messages
    int digitCount;        // digits on a form; 0 = not known, any count taken
    CheckRule checkRule;
    // The numbers are digits only, as the carrier's rule says: the start and
    // stop letters A–D of the forms' NW-7 barcode, which a scanner types
    // around the number, are then no part of it. Where no rule is known a
    // letter may belong to the number, so none is dropped.
    bool digitsOnly;
};

// Every carrier, in the order a choice lists them.
const QList<CarrierRow>& carrierRows();
const CarrierRow& carrierRow(Carrier carrier);

QString carrierToken(Carrier carrier);
QString carrierName(Carrier carrier);

// The carrier a command-line word names (case and surrounding blanks do not
// matter), or a message listing the words there are.
Result<Carrier> carrierFromToken(const QString& token);
// "yamato|sagawa|japanpost|seino|fukuyama|other", for help texts.
QString carrierTokenChoices();

// True when the number on this carrier's forms is verified (count and check
// digit); false when the program takes it unchecked. Without a confirmed
// rule the numbers of the forms after the first are also only assumed to
// follow one by one (consecutiveAssumption()).
bool hasConfirmedRule(Carrier carrier);
// For a carrier without a confirmed rule: one sentence saying that the
// numbers from `first` to `last` after the stack's first form were taken as
// consecutive; empty for a carrier with a confirmed rule.
QString consecutiveAssumption(Carrier carrier, const QString& first, const QString& last);

// One sentence for the user on how a number of this carrier is checked, for
// the place where the number is entered. For a carrier without a confirmed
// rule it says that the number is taken unchecked.
QString ruleDescription(Carrier carrier);

} // namespace tracking
