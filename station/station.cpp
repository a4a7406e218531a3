#include "station/station.h"

#include <QDir>
#include <QSettings>
#include <algorithm>
#include <cmath>

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

void Station::setDatabaseLocation(const QString& location, std::optional<storage::Database::Options> options)
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
        const QSettings settings(m_folders.settingsFile(), QSettings::IniFormat);
        storage::Database::Options options;
        if (m_databaseOptions) {
            options = *m_databaseOptions;
        } else if (const double seconds = settings.value(kServerAnswerLimitKey).toDouble(); seconds > 0) {
            options.serverAnswerLimitMs = int(seconds * 1000);
            options.connectTimeoutSeconds = std::clamp(int(std::ceil(seconds)), 2, options.connectTimeoutSeconds);
        }
        options.serverPasswordKept = settings.value(kServerPasswordKeptKey).toBool();
        m_database = std::make_unique<storage::Database>(location, options);
        m_database->setProblemReceiver(m_storageProblemReceiver);
    }
    return *m_database;
}

void Station::reopenDatabase()
{
    m_addressBook.reset();
    m_history.reset();
    m_database.reset();
}

history::LocalQueue& Station::localQueue()
{
    if (!m_localQueue)
        m_localQueue = std::make_unique<history::LocalQueue>(queueFolder());
    return *m_localQueue;
}

std::optional<history::QueueServer> Station::queueServer()
{
    const QString location = databaseLocation();
    if (!storage::isServerUrl(location))
        return std::nullopt;
    const auto address = storage::serverAddressFrom(location);
    if (!address)
        return std::nullopt;
    return history::QueueServer{*address, m_database ? m_database->serverIdentity() : QString()};
}

QString Station::pagesWaitingElsewhere()
{
    const history::LocalQueue::Elsewhere elsewhere = localQueue().waitingElsewhere(queueServer());
    if (elsewhere.pages == 0)
        return {};
    QStringList files;
    for (const QString& file : elsewhere.files)
        files << QDir::toNativeSeparators(file);
    return QStringLiteral("このPCの控えに、いま使っていないサーバー（%1）に送る印刷履歴が %2 枚残っています"
                          "（%3）。そのサーバーを「データの保存先」に選んで印刷すると送ります。"
                          "それまでは、その分は履歴の検索と出荷情報に入りません。")
        .arg(elsewhere.servers.join(QStringLiteral("、")))
        .arg(elsewhere.pages)
        .arg(files.join(QStringLiteral("、")));
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

Result<print::Layout> Station::layoutInUse()
{
    if (m_layoutOfRun)
        return *m_layoutOfRun;
    const LayoutStore store = layouts();
    const QString queue = formQueue();
    const QString name = store.nameForQueue(queue);
    Result<print::Layout> layout = m_layouts.load(store, name);
    if (!layout)
        return fail(QStringLiteral("%1の伝票に使うレイアウト「%2」を読めません。\n%3")
                        .arg(queue.isEmpty() ? QStringLiteral("PDFファイルへの印刷")
                                             : QStringLiteral("プリンタ「%1」").arg(queue),
                             name, layout.error()));
    return layout;
}

void Station::setStorageProblemReceiver(std::function<void(const storage::Problem&)> receiver)
{
    m_storageProblemReceiver = std::move(receiver);
    if (m_database)
        m_database->setProblemReceiver(m_storageProblemReceiver);
}

} // namespace station
