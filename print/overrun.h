#pragma once
// Texts that will not fit: which printed texts run past their place on the
// form even fitted, or off the paper, measured in the face the page is
// printed in; what the print fitted; and the form itself as data (postal
// boxes, text places, mark places) for drawing it under a preview. Every
// place comes from the layout and the print job, so what is drawn and
// checked is what is printed.
#include "print/fit.h"
#include "print/layout.h"
#include "print/printjob.h"
#include "waybill/waybill.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace print {

struct Overrun {
    int layoutText = -1; // index into the layout's texts
    LayoutText item;
    QString text;
    double textWidthMm = 0; // as printed, fitted as far as it goes
    double placeWidthMm = 0;
    double pastPlaceMm = 0; // how far the text runs past its place even at both floors; 0 when it fits
    double offSheetMm = 0;  // how far it runs off the paper; 0 when it stays on
    // Where the print puts the text and its place, in mm from the printable
    // area's corner (the page's own frame).
    QRectF printedMm;
    QRectF placeMm;
    QString description; // for the user: お届け先の住所1が欄から 12.3 mm はみ出しています（…）
};

// The texts of this waybill that run past their place even fitted down to
// both floors or, when sheetMm is given (the paper in the page's frame: mm
// from the printable area's corner), off the paper with these offsets.
// Empty texts never overrun. Offsets the print job cannot place give no list.
std::vector<Overrun> findOverruns(const waybill::Waybill& waybill, PrintOffsets offsets = {}, QRectF sheetMm = {},
                                  const Layout& layout = builtInLayout(), const SheetExtras& extras = {});

// Fonts are measured on the thread of the application's windows, like the
// page itself.
//
// A check on one waybill before it is printed, for lists of waybills: why it
// should not be printed as it stands (the texts that do not fit even at both
// floors), or nothing when every text fits.
std::optional<QString> overrunProblem(const waybill::Waybill& waybill, const Layout& layout = builtInLayout());

// What the print fitted, one note each, for the user to see, not to answer:
// お届け先の住所2は幅 78 % に詰めて印刷します。
QStringList fitNotes(const waybill::Waybill& waybill, const Layout& layout = builtInLayout(),
                     const SheetExtras& extras = {});

// The first text of this waybill that would not print as it is (narrowed,
// set smaller or shortened), named; nothing when every text stands as it
// is. An order list splits an address over its two lines by this.
std::optional<QString> fittingNeeded(const waybill::Waybill& waybill, const Layout& layout = builtInLayout());

// A printed text with characters no installed face can draw: they would
// print as nothing or as an empty box. The print's face comes first, then
// its substitutes and the system's fallback faces for each character's
// script, exactly as the page is drawn.
struct MissingGlyphs {
    LayoutText item;
    QString text;
    QString characters;  // each once, in the order met
    QString description; // for the user: お届け先の名前の「🫠」（U+1FAE0）は…
};
std::vector<MissingGlyphs> findMissingGlyphs(const waybill::Waybill& waybill, const Layout& layout = builtInLayout());

// The characters of `text` without a glyph in the print, each once.
// Characters that shaping hides (variation selectors, joiners) are not
// counted; controls are, since nothing of them is printed.
QString charactersWithoutGlyph(const QString& text);

// Everything that would keep this waybill from printing as it reads: texts
// past their place even at both floors and characters without a glyph, one
// sentence each; empty when it prints as it reads. For a check before a
// print from the window.
QStringList printProblems(const waybill::Waybill& waybill, const Layout& layout = builtInLayout());

// The same as one reason, for lists of waybills (orders::FitCheck).
std::optional<QString> printProblem(const waybill::Waybill& waybill, const Layout& layout = builtInLayout());

// The form as drawn under a preview: where a print with both offsets 0 puts
// each thing, in mm from the printable area's corner.
struct FormPostalBox {
    Party party;
    int box; // 1..7
    QRectF rectMm;
};
struct FormTextPlace {
    int layoutText = -1;
    LayoutText item;
    QRectF placeMm; // the character cell's top-left, the place's width, the cell's height
};
struct FormMark {
    MarkChoice choice = MarkChoice::Unspecified;
    bool deliveryTime() const { return choice < MarkChoice::NoticeWanted; } // else arrival notice
    QString caption;                                                        // 午前, 指定なし, 必要, ...
    QPointF centreMm;
    double radiusMm = 0;
};
struct FormDrawing {
    std::vector<FormPostalBox> postalBoxes; // recipient 1..7, then sender 1..7
    std::vector<FormTextPlace> texts;       // every row of the layout, the postal boxes' too
    std::vector<FormMark> marks;            // every choice of both groups
};
// Made on first use of a layout (it measures fonts), then kept.
const FormDrawing& formDrawing(const Layout& layout = builtInLayout());

// Whether a mark is the one a waybill chooses.
bool markChosen(const FormMark& mark, const waybill::Waybill& waybill);

} // namespace print
