#pragma once
// Values as shop platforms and the spreadsheets shops open their lists in
// write them, made into what a waybill holds: cells unwrapped, names,
// postal codes and telephone numbers joined from their parts, international
// numbers written the domestic way, an address laid over the form's two
// lines and an order's items over its two goods lines.
//
// Nothing here guesses a lost digit: a postal code or telephone number that
// lost its leading zero in a spreadsheet is passed on as it is, and the
// row's check (orders::checkWaybill) refuses it with the likely correction.
#include "waybill/waybill.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <tuple>

namespace orders {

// A cell without what spreadsheets and exports put around a value: blanks
// (also ideographic spaces) at either end, the ="…" wrapper that keeps a
// spreadsheet from reading 0123 as a number (doubled quotes inside undone),
// and one leading apostrophe, the spreadsheet's mark for "text". An
// apostrophe never starts a name, address or number in these lists.
QString cleanCell(const QString& cell);

// 姓 and 名 with one half-width space between; either may be empty.
QString joinName(const QString& familyName, const QString& givenName);

// The postal code from one cell, or from its 3- and 4-digit halves joined
// with a hyphen ("150-0041"). Cleaned, never padded: "15" + "0041" stays
// "15-0041" and six digits stay six, for the check to refuse and explain.
QString joinPostalCode(const QString& whole, const QString& first = {}, const QString& second = {});

// Telephone parts (市外局番, 市内局番, 加入者番号) joined with hyphens, empty
// parts skipped, then written the domestic way (domesticTelephone).
QString joinTelephone(const QStringList& parts);

// An international Japanese number as dialled at home: +81 90-1234-5678,
// +81-90-…, 81-90-…, +81 (0)90-… become 090-1234-5678; +819012345678 becomes
// 09012345678. The grouping given is kept (blanks between groups become
// hyphens); no hyphens are added where none were given. Full-width digits
// are read as digits. Anything else, and a result that is not 10 or 11
// digits, comes back as it was (cleaned), for the check to judge.
QString domesticTelephone(const QString& text);

// An address from its parts in order (prefecture, city, street and
// number): joined without a gap, as Japanese addresses are written. A part
// the next part already begins with is left out ("東京都" before
// "東京都渋谷区…"), so a list that repeats the prefecture or city in the
// street column does not print it twice. `breaks`, when given, receives
// the positions where two parts meet: places a line may break.
QString joinAddress(const QStringList& parts, QList<qsizetype>* breaks = nullptr);

struct AddressLines {
    QString line1;
    QString line2;
    bool operator==(const AddressLines&) const = default;
};

// Whether a text fits an address line of the form; the caller passes the
// print layout's width check in the printer's font.
using LineFits = std::function<bool(const QString&)>;

// Whether a text fits each address line: as it is (not narrowed), and once
// the print has narrowed it down to its floors. An empty check: it fits.
struct AddressFits {
    LineFits line1AsIs;
    LineFits line2AsIs;
    LineFits line1;
    LineFits line2;
};
// The same check for as-is and narrowed, on line 1 alone.
AddressFits line1Fits(const LineFits& fits);

// The address over the form's two lines, `line2After` (the building and
// company columns) printed after what goes to line 2. It breaks only at a
// boundary: a blank, a place in `breaks` (where the list's columns met),
// just after the house number (before a building name) or just before it
// (after the prefecture, city and town); never inside a word or a number
// (1-2-3, １２３, 1丁目2番3号 stay whole). Preferred, each while both lines
// fit as they are: the prefecture, city and block on line 1 and the
// building and room on line 2; all on line 1; the latest boundary before
// the house number. Then the same where both lines fit narrowed. When none
// gives lines that fit, the break is still made after the house number
// (else before it, else at the last boundary) and the caller's width check
// refuses the line with its reason: nothing is cut off here.
AddressLines splitAddress(const QString& address, const AddressFits& fits, const QList<qsizetype>& breaks = {},
                          const QString& line2After = {});

// An address text with the care-of part a list wrote into it taken out:
// a word ending in 様方 or 気付 (「山田様方」, 「ABC商事 気付」 with the word
// before it), or "c/o" and what follows. Words are told apart by blanks,
// or a room's number before the name (「101号室山田様方」).
struct CareOfSplit {
    QString text;   // the address without it
    QString careOf; // empty: none
    bool operator==(const CareOfSplit&) const = default;
};
CareOfSplit takeCareOf(const QString& text);

// An amount or count as platforms write it, made plain: cleaned, digits
// half-width, thousands separators ("1,980") and a zero fraction ("1980.00",
// yen have none) dropped. Other text comes back cleaned.
QString plainNumber(const QString& text);

// Digits 0-9 and nothing else, told without a regular expression: running
// one costs more than all else the checks do, and the window's first check
// would bring in the whole of its engine.
bool allAsciiDigits(QStringView text);

// A product title without the marketing brackets a shop puts at its start
// or end (【送料無料】, 【ポイント10倍】, ★大人気★, ＼楽天1位／, 《公式》):
// what a waybill's goods line is for is the goods. A bracket that names how
// the parcel is handled (【冷凍】, 【ワレモノ】, 【天地無用】) stays, and so
// does a title that would be left empty.
QString withoutMarketingBrackets(const QString& title);

// One item of an order, as its row gives it.
struct OrderItem {
    QString description;
    QString productNumber;
    QString quantity;  // plainNumber
    QString unitPrice; // plainNumber; empty where the list gives none
    bool isEmpty() const
    {
        return description.isEmpty() && productNumber.isEmpty() && quantity.isEmpty() && unitPrice.isEmpty();
    }
    bool operator==(const OrderItem&) const = default;
};

// The form's goods lines filled from an order's items.
struct GoodsLines {
    std::array<waybill::GoodsLine, std::tuple_size_v<decltype(waybill::Waybill::goods)>> lines;
    QString total;
    // Every quantity and unit price was a whole number, so every amount and
    // the total are filled in; otherwise the amounts that could not be
    // worked out and the total are empty. Printed only in numeric mode,
    // which the caller chooses.
    bool amountsComplete = false;
};

// 「ほか 3 点」: the last goods line when it stands for `count` items.
QString moreItemsText(int count);

// Items fill the lines in order: description, product number, quantity,
// unit price and amount (quantity × unit price). With more items than
// lines, the last line stands for the rest: its description says how many
// items it stands for (moreItemsText; 点 counts items, not pieces), its
// quantity is their pieces added up, its amount their amounts added up,
// and it has no unit price or product number. The total adds up all
// amounts. No items: empty lines.
GoodsLines goodsLines(const QList<OrderItem>& items);

} // namespace orders
