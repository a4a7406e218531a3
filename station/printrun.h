#pragma once
// The print run of one station, with a window or without one: the forms
// the pages go on reserved, one document to the station's printer, the
// pages recorded in the history as they went to the printer (or, while the
// server is away, in this PC's queue), and what to tell the user. The print
// state carried from job to job and the notices already given live here;
// the stores it uses are the station's.
#include "print/printjob.h"
#include "station/station.h"

#include <span>

namespace station {

struct Printed {
    print::Delivery delivery;
    // Said once per run: where documents go on a machine without a printer.
    QString notice;
    // The number of the form each page went on, in page order; empty
    // when the forms carried no number the program knows.
    QList<tracking::TrackingNumber> formNumbers;
    // Printed, and recorded neither in the history nor in this PC's queue;
    // the notice says where the pages went.
    bool recordedNowhere = false;
};

// A waybill to print and the order it is for, as its source gives it; the
// history records the page from this, never from a second reading.
struct PageToPrint {
    waybill::Waybill waybill;
    history::Origin origin;
    QString orderNumber;
    QString shipToId;    // the platform's id of the ship-to (RMS 送付先ID)
    QStringList lineIds; // the platform's ids of the order's lines
};

class PrintRun {
public:
    explicit PrintRun(Station& station) : m_station(station) {}

    Station& station() { return m_station; }

    // The numbers of the forms the next `formCount` pages would go on, for
    // showing: from the queue's stack; an empty list when it has none.
    // Fails when the stack cannot be read or its numbers run out.
    Result<QList<tracking::TrackingNumber>> upcomingFormNumbers(int formCount);
    // 「1枚飛ばす」: the next form of the queue's stack, `expected` (the
    // number the user was shown), torn or misprinted: the stack moves on by
    // one and the form is listed as spoiled. Fails, moving nothing, when the
    // next form is no longer that one. What to tell goes to `notice`.
    Result<tracking::TrackingNumber> spoilForm(const tracking::TrackingNumber& expected, QString* notice = nullptr);

    // One document, one page per waybill, in order; each page is asked for
    // once, when it is made, so a long list is never held whole (only what
    // the history keeps of each page). A source that cannot give a page as
    // it was throws print::JobStopped, which stops the document. Every page
    // of a document the printer accepted is recorded as it was made.
    using PageSource = std::function<PageToPrint(int index)>;
    //
    // Each page goes on a form. When the printer's queue has a stack, its
    // next forms are reserved before anything is sent: no other program
    // hands them out meanwhile (one that holds the stacks is waited for a
    // while, then the document is refused), and the stack moves past them
    // once the spooler accepted the document; a refused or cancelled
    // document moves nothing. `firstFormNumber` gives the number on the
    // first form loaded: for a queue it becomes the queue's stack; for a PDF
    // file (which otherwise uses no form) the pages take the numbers from it
    // on. A number the history already holds (a page printed on it, or a
    // spoiled form) refuses the document, as does a stack that cannot give
    // the numbers: nothing is printed.
    //
    // The pages are made with the station's layout in use (the queue's, or
    // this run's); one that cannot be read prints nothing. What a layout
    // places that the waybill does not hold comes from `extrasAt` (ship
    // date, 個数; today and 1 without it); the order number (the page's)
    // and the form's own number, when it leaves them empty, from the run.
    using ExtrasSource = std::function<print::SheetExtras(int index)>;
    Printed printPages(int count, const PageSource& pageAt, print::PrintOffsets offsets,
                       const print::Progress& progress = {},
                       const std::optional<tracking::TrackingNumber>& firstFormNumber = {},
                       const ExtrasSource& extrasAt = {});
    // Waybills typed in the window.
    Printed printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                          const print::Progress& progress = {});

    // A page of the history printed again on the next form. The form it
    // went on before is either spoiled (書き損じ: listed as such and never in
    // a confirmation) or carries another parcel of the same order.
    enum class EarlierForm { Spoiled, AnotherParcel };
    Printed printAgain(const history::HistoryEntry& entry, print::PrintOffsets offsets, EarlierForm earlierForm);

    // The marks go on a form too: it moves the stack by one and is listed as
    // spoiled, so that every number is accounted for.
    Printed printTestMarks(print::PrintOffsets offsets);
    // The alignment sheet (adjust/alignment.h) of the layout in use spends a
    // form the same way.
    Printed printAlignmentSheet(print::PrintOffsets offsets);
    // Sends the pages queued while the server was away; what to tell the
    // user (empty when nothing was sent). Every print tries it first.
    QString sendQueued();
    // Loads what the first print of a run needs (the database driver, the
    // print faces and the PDF writer's share of them) without printing,
    // opening a file or telling anything; called while the user types.
    void prepareFirstPrint();

private:
    // One page on one form, listed as spoiled; `what` names it for the user.
    Printed printOnSpoiledForm(const print::PageSource& page, const QString& what);
    // Reserves the forms, sends the document and moves the queue's stack by
    // its pages once the spooler accepted it; formNumbers are the numbers
    // its forms carry.
    Printed deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                    const std::optional<tracking::TrackingNumber>& firstFormNumber = {});
    // Why these numbers cannot go on new parcels (the history, or this PC's
    // queue, holds them); empty when they can or no store can say.
    QString numbersAlreadyUsed(const QList<tracking::TrackingNumber>& numbers);
    // In the history, or in this PC's queue while the server is away; empty,
    // or why it was not recorded.
    QString recordSpoiled(const history::SpoiledForm& form);

    Station& m_station;
    print::PrintState m_printState;
    // The numbers of the forms the document being sent goes on, known
    // before its pages are made.
    QList<tracking::TrackingNumber> m_documentFormNumbers;
    bool m_toldPdfFolder = false;
    bool m_toldQueued = false;
};

} // namespace station
