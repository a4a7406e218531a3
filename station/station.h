#pragma once
// What one packing station keeps while the program runs, with a window or
// without one: where the offsets live, the printer in use and the stacks of
// forms in it, the postal codes, the address book and history it uses, and
// the queue of pages waiting for its server. The print run that uses them is
// station::PrintRun (station/printrun.h).
#include "addressbook/addressbook.h"
#include "adjust/offsets.h"
#include "adjust/printeroffsets.h"
#include "common/result.h"
#include "history/history.h"
#include "history/localqueue.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "postal/directory.h"
#include "print/destination.h"
#include "print/layout.h"
#include "station/layoutstore.h"
#include "tracking/formstack.h"
#include "waybill/waybill.h"

#include <functional>
#include <memory>
#include <optional>

namespace station {

inline const QString kSecondInstance = QStringLiteral("多重起動できません。");
// The settings' limit on one answer of the server, in seconds (a slow link
// may need more than the program's 10).
inline const QString kServerAnswerLimitKey = QStringLiteral("storage/serverAnswerLimitSeconds");
// Whether 「データの保存先」 kept the server's password in the desktop's
// secret store (the store is asked only then).
inline const QString kServerPasswordKeptKey = QStringLiteral("storage/serverPasswordKept");

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
    // The offsets saved for each printer queue and layout, in the settings.
    adjust::OffsetsByPrinter printerOffsets() const { return adjust::OffsetsByPrinter(m_folders.settingsFile()); }
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
    // Before the first use of database(). Without options, a server's
    // limits are the settings' (kServerAnswerLimitKey), else the program's.
    void setDatabaseLocation(const QString& location, std::optional<storage::Database::Options> options = std::nullopt);
    QString databaseLocation() const;
    // The address book and history from now on where the settings say:
    // the one in use is closed and the next use opens the new one (after
    // 「データの保存先」 changed, without a restart).
    void reopenDatabase();
    // This PC's own file, whether it is in use or not.
    QString localDatabasePath() const;
    // Where a station that keeps its data on a server queues the printed
    // pages while the server cannot be reached: files beside the settings,
    // one per server.
    QString queueFolder() const { return m_folders.configFolder(); }
    // Those queues, opened at first use.
    history::LocalQueue& localQueue();
    // The server in use, as its queue knows it; nothing for this PC's file.
    std::optional<history::QueueServer> queueServer();
    // Said at the start and with every shipping confirmation: pages this
    // PC's queue holds for servers it no longer uses, with their count and
    // where they are; empty when there are none.
    QString pagesWaitingElsewhere();
    addressbook::AddressBook& addressBook();
    history::History& history();
    // Who tells the user of a problem with that file that no operation took
    // up itself (storage::ProblemsMet): the window or the command line.
    void setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver);

    // The stacks of pre-printed forms, one per printer queue, kept in the
    // settings file; a change or a print waits this long for another
    // program's to end.
    tracking::FormStackStore formStacks() const
    {
        return tracking::FormStackStore(m_folders.settingsFile(), tracking::FormStackStore::kMinimumFreeBytes,
                                        m_formStackLockWaitMs);
    }
    void setFormStackLockWaitMs(int waitMs) { m_formStackLockWaitMs = waitMs; }
    // The queue whose forms the next document goes on; empty for a PDF file.
    QString formQueue() { return m_printer.formQueue(); }

    // The layouts kept beside the settings, and which one each queue's
    // forms take.
    LayoutStore layouts() const { return LayoutStore(m_folders); }
    // One layout for every document of this run, whatever the queue
    // (horutea --layout); nothing: each queue's own.
    void setLayoutOfRun(std::optional<print::Layout> layout) { m_layoutOfRun = std::move(layout); }
    // The layout the next document is made with: this run's, else the one
    // the queue's forms take; why not when its file cannot be read.
    Result<print::Layout> layoutInUse();

private:
    adjust::OffsetStore m_offsets;
    platform::InstanceDetector& m_instance;
    print::Destination& m_printer;
    std::unique_ptr<postal::Directory> m_postalCodes;
    QString m_postalDataFile;
    const platform::Folders& m_folders;
    std::unique_ptr<storage::Database> m_database;
    std::function<void(const storage::Problem&)> m_storageProblemReceiver;
    std::unique_ptr<addressbook::AddressBook> m_addressBook;
    std::unique_ptr<history::History> m_history;
    QString m_databaseLocation;
    std::optional<storage::Database::Options> m_databaseOptions;
    std::unique_ptr<history::LocalQueue> m_localQueue;
    int m_formStackLockWaitMs = tracking::FormStackStore::kLockWaitMs;
    std::optional<print::Layout> m_layoutOfRun;
    LayoutCache m_layouts;
};

} // namespace station
