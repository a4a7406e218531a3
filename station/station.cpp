#include "station/station.h"

#include <QDir>
#include <QSettings>

namespace station {

namespace {
const QString kServerUrlKey = QStringLiteral("storage/serverUrl");
}

QString storedServerUrl(const QString& settingsFile)
{
    return QSettings(settingsFile, QSettings::IniFormat).value(kServerUrlKey).toString();
}

Result<void> storeServerUrl(const QString& settingsFile, const QString& serverUrl)
{
    if (!serverUrl.isEmpty())
        if (const auto address = storage::serverAddressFrom(serverUrl); !address)
            return fail(address.error());
    QSettings settings(settingsFile, QSettings::IniFormat);
    if (serverUrl.isEmpty())
        settings.remove(kServerUrlKey);
    else
        settings.setValue(kServerUrlKey, serverUrl);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("設定のファイル「%1」に、データの保存先を書き込めませんでした。"
                                   "ファイルとフォルダーの書き込みの権限と、ディスクの空きを確かめてください。")
                        .arg(QDir::toNativeSeparators(settingsFile)));
    return {};
}

Station::Station(const platform::Folders& folders, platform::InstanceDetector& instance, print::Destination& printer,
                 platform::DeviceFilter saveFilter)
    : m_offsets(folders, std::move(saveFilter)), m_instance(instance), m_printer(printer), m_folders(folders)
{}

Station::~Station() = default;

postal::Directory& Station::postalCodes()
{
    if (!m_postalCodes)
        m_postalCodes = std::make_unique<postal::Directory>(m_postalDataFile.isEmpty() ? postal::defaultDataFilePath()
                                                                                       : m_postalDataFile);
    return *m_postalCodes;
}

QString localDatabasePath(const platform::Folders& folders)
{
    return platform::joinPath(folders.userDataFolder(), QStringLiteral("horutea.sqlite"));
}

QString Station::localDatabasePath() const { return station::localDatabasePath(m_folders); }

QString Station::queueFilePath() const
{
    return platform::joinPath(m_folders.configFolder(), QStringLiteral("horutea-queue.sqlite"));
}

void Station::setDatabaseLocation(const QString& location, storage::Database::Options options)
{
    m_databaseLocation = location;
    m_databaseOptions = options;
}

QString Station::databaseLocation() const
{
    if (!m_databaseLocation.isEmpty())
        return m_databaseLocation;
    if (const QString server = storedServerUrl(m_folders.settingsFile()); !server.isEmpty())
        return server;
    return localDatabasePath();
}

storage::Database& Station::database()
{
    if (!m_database) {
        const QString location = databaseLocation();
        if (!storage::isServerUrl(location))
            platform::ensureFolder(m_folders.userDataFolder());
        m_database = std::make_unique<storage::Database>(location, m_databaseOptions);
        m_database->setProblemReceiver(m_storageProblemReceiver);
    }
    return *m_database;
}

history::LocalQueue& Station::localQueue()
{
    if (!m_localQueue)
        m_localQueue = std::make_unique<history::LocalQueue>(queueFilePath());
    return *m_localQueue;
}

addressbook::AddressBook& Station::addressBook()
{
    if (!m_addressBook)
        m_addressBook = std::make_unique<addressbook::AddressBook>(database());
    return *m_addressBook;
}

history::History& Station::history()
{
    if (!m_history)
        m_history = std::make_unique<history::History>(database());
    return *m_history;
}

void Station::setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver)
{
    m_storageProblemReceiver = std::move(receiver);
    if (m_database)
        m_database->setProblemReceiver(m_storageProblemReceiver);
}

} // namespace station
