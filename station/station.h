#pragma once
// What one packing station keeps while the program runs, with a window or
// without one: where the offsets live, the printer in use, the print state
// carried from job to job, the address book and history it uses, and the
// notices already given.
#include "addressbook/addressbook.h"
#include "adjust/offsets.h"
#include "common/result.h"
#include "history/history.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "postal/directory.h"
#include "print/destination.h"
#include "print/printjob.h"
#include "tracking/formstack.h"
#include "waybill/waybill.h"

#include <functional>
#include <memory>
#include <span>

namespace station {

inline const QString kSecondInstance = QStringLiteral("多重起動できません。");

// 「データの保存先」 as the program's settings keep it: a server's URL
// (storage/server.h, never a password), or empty for this PC's own file.
QString storedServerUrl(const QString& settingsFile);
Result<void> storeServerUrl(const QString& settingsFile, const QString& serverUrl);
// This PC's own file of the address book and history.
QString localDatabasePath(const platform::Folders& folders);

class Station {
public:
    // saveFilter: see platform::AtomicFile; tests make saves fail with it.
    Station(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
            platform::DeviceFilter saveFilter = {});
    ~Station();

    adjust::OffsetStore& offsets() { return m_offsets; }
    // Where this run keeps its files; settingsFile() is the program's settings.
    const platform::Folders& folders() const { return m_folders; }
    print::Destination& printer() { return m_printer; }
    bool anotherInstanceRunning() { return m_instance.anotherInstanceRunning(); }
    // Opened at the first look-up, not before; the shipped file unless this
    // run is pointed at another before that look-up.
    postal::Directory& postalCodes();
    void setPostalDataFile(const QString& path) { m_postalDataFile = path; }
    // The address book and the print history, opened at first use: where
    // setDatabaseLocation() says (the command line's --database), else where
    // the settings say (「データの保存先」: a server), else one file in the
    // per-user data folder.
    storage::Database& database();
    // Before the first use of database().
    void setDatabaseLocation(const QString& location, storage::Database::Options options = {});
    QString databaseLocation() const;
    // This PC's own file, whether it is in use or not.
    QString localDatabasePath() const;
    // Where a station that keeps its data on a server queues the printed
    // pages while the server cannot be reached: a file beside the settings.
    QString queueFilePath() const;
    // Sends the pages queued while the server was away; what to tell the
    // user (empty when nothing was sent). Every print tries it first.
    QString sendQueued();
    addressbook::AddressBook& addressBook();
    history::History& history();
    // Who tells the user of a problem with that file that no operation took
    // up itself (storage::ProblemsMet): the window or the command line.
    void setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver);

    struct Printed {
        print::Delivery delivery;
        // Said once per run: where documents go on a machine without a printer.
        QString notice;
        // The number of the form each page went on, in page order; empty
        // when the forms carried no number the program knows.
        QList<tracking::TrackingNumber> formNumbers;
    };

    // The stacks of pre-printed forms, one per printer queue, kept in the
    // settings file.
    tracking::FormStackStore formStacks() const { return tracking::FormStackStore(m_folders.settingsFile()); }
    // The queue whose forms the next document goes on; empty for a PDF file.
    QString formQueue() { return m_printer.formQueue(); }
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
    // Loads what the first print of a run needs (the database driver, the
    // print faces and the PDF writer's share of them) without printing,
    // opening a file or telling anything; called while the user types.
    void prepareFirstPrint();

private:
    // Sends the document and moves the queue's stack by its pages once the
    // spooler accepted it; formNumbers are the numbers its forms carry.
    Printed deliver(int pageCount, const print::PageSource& pages, const print::Progress& progress,
                    const std::optional<tracking::TrackingNumber>& firstFormNumber = {});

    adjust::OffsetStore m_offsets;
    platform::InstanceDetector& m_instance;
    print::Destination& m_printer;
    print::PrintState m_printState;
    std::unique_ptr<postal::Directory> m_postalCodes;
    QString m_postalDataFile;
    const platform::Folders& m_folders;
    std::unique_ptr<storage::Database> m_database;
    std::function<void(const storage::Problem&)> m_storageProblemReceiver;
    std::unique_ptr<addressbook::AddressBook> m_addressBook;
    std::unique_ptr<history::History> m_history;
    bool m_toldPdfFolder = false;
    QString m_databaseLocation;
    storage::Database::Options m_databaseOptions;
    std::unique_ptr<storage::Database> m_queueDatabase;
    bool m_toldQueued = false;
};

} // namespace station
