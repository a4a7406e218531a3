#pragma once
// Texts that will not fit: which printed texts run past their place on the
// form or off the paper, measured in the face the page is printed in; and
// the form itself as data (postal boxes, text places, mark places) for
// drawing it under a preview. Every place comes from the layout tables and
// the print job, so what is drawn and checked is what is printed.
#include "print/layout.h"
#include "print/printjob.h"
#include "waybill/waybill.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <optional>
#include <vector>

namespace print {

enum class TextBlock { Recipient, Sender, Goods };

// One row of the layout: one text the print job may put down.
struct TextRow {
    TextBlock block;
    AddressPart address = AddressPart::PostalBox; // the address blocks
    GoodsPart goods = GoodsPart::Description;     // the goods block
    int index = 0;                                // postal box 1..7, or goods line 0/1
    int points = 0;
    double xMm = 0, yMm = 0, widthMm = 0; // as the layout gives them
};

// Every row of the layout, in print order: recipient, sender, goods.
std::vector<TextRow> layoutRows();

// What the user calls the row: お届け先の住所1, ご依頼主の郵便番号（4桁目）, 品名1, 合計.
QString rowCaption(const TextRow& row);

// Millimetres on paper per twip (1440 twips to the inch, 25.4 mm to it).
constexpr double kMmPerTwip = 25.4 / 1440.0;

// A text's size in the printer's face at its size, in millimetres on paper.
struct TextExtent {
    double widthMm = 0;  // horizontal advance of the whole text
    double heightMm = 0; // the character cell: ascent plus descent
};
TextExtent printedExtent(const QString& text, int points, bool bold = false);

struct Overrun {
    TextRow row;
    QString text;
    double textWidthMm = 0;
    double placeWidthMm = 0;
    double pastPlaceMm = 0; // how far the text runs past its place; 0 when it fits
    double offSheetMm = 0;  // how far it runs off the paper; 0 when it stays on
    // Where the print puts the text and its place, in mm from the printable
    // area's corner (the page's own frame).
    QRectF printedMm;
    QRectF placeMm;
    QString description; // for the user: お届け先の住所1が欄から 12.3 mm はみ出しています（…）
};

// The texts of this waybill that run past their place (wider than the
// place's width at their size in the printer's face) or, when sheetMm is
// given (the paper in the page's frame: mm from the printable area's corner),
// off the paper with these offsets. Empty texts never overrun. Offsets the
// print job cannot place give no list.
std::vector<Overrun> findOverruns(const waybill::Waybill& waybill, PrintOffsets offsets = {}, QRectF sheetMm = {});

// Fonts are measured on the thread of the application's windows, like the
// page itself.
//
// A check on one waybill before it is printed, for lists of waybills: why it
// should not be printed as it stands (the texts that run past their places),
// or nothing when every text fits.
std::optional<QString> overrunProblem(const waybill::Waybill& waybill);

// A printed text with characters no installed face can draw: they would
// print as nothing or as an empty box. The print's face comes first, then
// its substitutes and the system's fallback faces for each character's
// script, exactly as the page is drawn.
struct MissingGlyphs {
    TextRow row;
    QString text;
    QString characters;  // each once, in the order met
    QString description; // for the user: お届け先の名前の「🫠」（U+1FAE0）は…
};
std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill);

// The characters of `text` without a glyph in the print, each once.
// Characters that shaping hides (variation selectors, joiners) are not
// counted; controls are, since nothing of them is printed.
QString charactersWithoutGlyph(const QString& text);

// Everything that would keep this waybill from printing as it reads: texts
// past their place and characters without a glyph, one sentence each; empty
// when it prints as it reads. For a check before a print from the window.
QStringList printProblems(const waybill::Waybill& waybill);

// The same as one reason, for lists of waybills (orders::FitCheck).
std::optional<QString> printProblem(const waybill::Waybill& waybill);

// The form as drawn under a preview: where a print with both offsets 0 puts
// each thing, in mm from the printable area's corner.
struct FormPostalBox {
    TextBlock block;
    int box; // 1..7
    QRectF rectMm;
};
struct FormTextPlace {
    TextRow row;
    QRectF placeMm; // the character cell's top-left, the place's width, the cell's height
};
struct FormMark {
    bool deliveryTime; // else arrival notice
    waybill::DeliveryTime time = waybill::DeliveryTime::Unspecified;
    waybill::ArrivalNotice notice = waybill::ArrivalNotice::Wanted;
    QString caption; // 午前, 指定なし, 必要, ...
    QPointF centreMm;
    double radiusMm = 0;
};
struct FormDrawing {
    std::vector<FormPostalBox> postalBoxes; // recipient 1..7, then sender 1..7
    std::vector<FormTextPlace> texts;       // every row of the layout, the postal boxes' too
    std::vector<FormMark> marks;            // every choice of both groups
};
// Made on first use (it measures fonts), then kept.
const FormDrawing& formDrawing();

// Whether a mark is the one a waybill chooses.
bool markChosen(const FormMark& mark, const waybill::Waybill& waybill);

} // namespace print
