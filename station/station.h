#pragma once
// What one packing station keeps while the program runs, with a window or
// without one: where the offsets live, the printer in use and the stacks of
// forms in it, the postal codes, the address book and history it uses, and
// the queue of pages waiting for its server. The print run that uses them is
// station::PrintRun (station/printrun.h).
#include "addressbook/addressbook.h"
#include "adjust/offsets.h"
#include "common/result.h"
#include "history/history.h"
#include "history/localqueue.h"
#include "platform/files.h"
#include "platform/instance.h"
#include "postal/directory.h"
#include "print/destination.h"
#include "tracking/formstack.h"
#include "waybill/waybill.h"

#include <functional>
#include <memory>

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
    // That queue, opened at first use.
    history::LocalQueue& localQueue();
    addressbook::AddressBook& addressBook();
    history::History& history();
    // Who tells the user of a problem with that file that no operation took
    // up itself (storage::ProblemsMet): the window or the command line.
    void setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver);

    // The stacks of pre-printed forms, one per printer queue, kept in the
    // settings file.
    tracking::FormStackStore formStacks() const { return tracking::FormStackStore(m_folders.settingsFile()); }
    // The queue whose forms the next document goes on; empty for a PDF file.
    QString formQueue() { return m_printer.formQueue(); }

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
    storage::Database::Options m_databaseOptions;
    std::unique_ptr<history::LocalQueue> m_localQueue;
};

} // namespace station
