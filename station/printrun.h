#pragma once
// The print run of one station, with a window or without one: the numbers
// of the forms the pages go on, one document to the station's printer, the
// pages recorded in the history (or, while the server is away, in this PC's
// queue), and what to tell the user. The print state carried from job to job
// and the notices already given live here; the stores it uses are the
// station's.
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
};

class PrintRun {
public:
    explicit PrintRun(Station& station) : m_station(station) {}

    Station& station() { return m_station; }

    // The numbers of the forms the next `formCount` pages would go on: from
    // `firstFormNumber` when given, else from the queue's stack; an empty
    // list when neither gives any. Fails when the stack cannot be read or
    // its numbers run out.
    Result<QList<tracking::TrackingNumber>>
    upcomingFormNumbers(int formCount, const std::optional<tracking::TrackingNumber>& firstFormNumber = {});
    // 「1枚飛ばす」: the next form of the queue's stack torn or misprinted:
    // the stack moves on by one and the form is listed as spoiled.
    Result<tracking::TrackingNumber> spoilForm();

    // One document, one page per waybill, in order; each waybill is asked
    // for when its page is made and again when it is recorded, so a long
    // list is never held whole. A source that cannot give a waybill as it was
    // throws print::JobStopped: while pages are made that stops the document;
    // when recording, that waybill is left out of the history and the notice
    // says so. Every other waybill of a document the printer accepted is
    // recorded in the history, with its order number where there is one.
    using WaybillSource = std::function<waybill::Waybill(int index)>;
    using OrderNumberSource = std::function<QString(int index)>;
    //
    // Each page goes on a form: when the printer's queue has a stack, the
    // stack moves on by the pages the spooler accepted, and each page is
    // recorded with its form's number; a refused or cancelled document moves
    // nothing. `firstFormNumber` gives the number on the first form loaded:
    // for a queue it becomes the queue's stack before printing; for a PDF
    // file (which otherwise uses no form) the pages take the numbers from it
    // on. A stack that cannot give the numbers stops the document before
    // anything is printed.
    Printed printWaybills(int count, const WaybillSource& waybillAt, print::PrintOffsets offsets,
                          const print::Progress& progress = {}, const OrderNumberSource& orderNumberAt = {},
                          const std::optional<tracking::TrackingNumber>& firstFormNumber = {});
    Printed printWaybills(std::span<const waybill::Waybill> waybills, print::PrintOffsets offsets,
                          const print::Progress& progress = {});
    // The marks go on a form too: it moves the stack by one and is listed as
    // spoiled, so that every number is accounted for.
    Printed printTestMarks(print::PrintOffsets offsets);
    // Sends the pages queued while the server was away; what to tell the
    // user (empty when nothing was sent). Every print tries it first.
    QString sendQueued();
    // Loads what the first print of a run needs (the database driver, the
    // print faces and the PDF writer's share of them) without printing,
    // opening a file or telling anything; called while the user types.
    void prepareFirstPrint();

private:
    // Sends the document and moves the queue's stack by its pages once the
    // spooler accepted it; formNumbers are the numbers its forms carry.
    Printed deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                    const std::optional<tracking::TrackingNumber>& firstFormNumber = {});

    Station& m_station;
    print::PrintState m_printState;
    bool m_toldPdfFolder = false;
    bool m_toldQueued = false;
};

} // namespace station
