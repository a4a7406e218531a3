#include "storage/server.h"

#include <QLibrary>
#include <QUrl>
#include <QVariant>

namespace storage {

namespace {

const QString kScheme = QStringLiteral("postgresql");
const QString kShortScheme = QStringLiteral("postgres"); // libpq takes both

// libpq itself, already loaded by Qt's QPSQL driver; resolved by name so the
// program runs without it on a PC that keeps its data in a file.
struct Libpq {
    using Ping = int (*)(const char* conninfo);
    using Status = int (*)(const void* connection);
    using GetCancel = void* (*)(void* connection);
    using FreeCancel = void (*)(void* cancel);
    using Cancel = int (*)(void* cancel, char* errorBuffer, int errorBufferSize);
    using Socket = int (*)(const void* connection);
    Ping ping = nullptr;
    Status status = nullptr;
    GetCancel getCancel = nullptr;
    FreeCancel freeCancel = nullptr;
    Cancel cancel = nullptr;
    Socket socket = nullptr;

    static const Libpq& get()
    {
        static const Libpq libpq = [] {
            Libpq l;
            QLibrary library(QStringLiteral("pq"), 5);
            if (library.load()) {
                l.ping = reinterpret_cast<Ping>(library.resolve("PQping"));
                l.status = reinterpret_cast<Status>(library.resolve("PQstatus"));
                l.getCancel = reinterpret_cast<GetCancel>(library.resolve("PQgetCancel"));
                l.freeCancel = reinterpret_cast<FreeCancel>(library.resolve("PQfreeCancel"));
                l.cancel = reinterpret_cast<Cancel>(library.resolve("PQcancel"));
                l.socket = reinterpret_cast<Socket>(library.resolve("PQsocket"));
            }
            return l;
        }();
        return libpq;
    }
};

// The PGconn behind a QPSQL driver handle; nullptr when there is none.
void* connectionOf(const QVariant& driverHandle)
{
    if (!driverHandle.isValid())
        return nullptr;
    return *static_cast<void* const*>(driverHandle.data());
}

// libpq's PGPing and ConnStatusType values (libpq-fe.h).
constexpr int kPingOk = 0, kPingReject = 1, kPingNoResponse = 2;
constexpr int kConnectionBad = 1;

// A value in a libpq connection string: quoted, with quotes and backslashes escaped.
QByteArray conninfoValue(const QString& value)
{
    QByteArray escaped = value.toUtf8();
    escaped.replace("\\", "\\\\").replace("'", "\\'");
    return "'" + escaped + "'";
}

} // namespace

QString ServerAddress::url() const
{
    QUrl u;
    u.setScheme(kScheme);
    u.setUserName(user);
    u.setHost(host);
    u.setPort(port);
    u.setPath(QLatin1Char('/') + database);
    return u.toString(QUrl::FullyEncoded);
}

QString ServerAddress::hostAndPort() const
{
    return (host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host) + QLatin1Char(':') +
           QString::number(port);
}

QString ServerAddress::secretKey() const { return QStringLiteral("%1@%2/%3").arg(user, hostAndPort(), database); }

bool isServerUrl(const QString& location)
{
    return location.startsWith(kScheme + QStringLiteral("://"), Qt::CaseInsensitive) ||
           location.startsWith(kShortScheme + QStringLiteral("://"), Qt::CaseInsensitive);
}

Result<ServerAddress> serverAddressFrom(const QString& text)
{
    const QString example = QStringLiteral("postgresql://ユーザー@ホスト:5432/データベース");
    if (!isServerUrl(text))
        return fail(
            QStringLiteral("「%1」はサーバーの指定として読めません。%2 のように書いてください。").arg(text, example));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return fail(
            QStringLiteral(
                "「%1」はサーバーの指定として読めません（ホスト名がないか、書き方の誤り）。%2 のように書いてください。")
                .arg(text, example));
    if (!url.password().isEmpty())
        return fail(QStringLiteral("サーバーの指定にパスワードは書けません。パスワードは ~/.pgpass "
                                   "（または PGPASSFILE の指すファイル）に書いてください。"));
    if (url.hasQuery() || url.hasFragment())
        return fail(
            QStringLiteral("「%1」の「?」や「#」から後は使えません。%2 のように書いてください。").arg(text, example));
    ServerAddress address;
    address.host = url.host(QUrl::FullyDecoded);
    address.port = url.port(ServerAddress::kDefaultPort);
    address.user = url.userName(QUrl::FullyDecoded);
    address.database = url.path(QUrl::FullyDecoded).mid(1);
    if (address.database.isEmpty() || address.database.contains(QLatin1Char('/')))
        return fail(
            QStringLiteral(
                "「%1」にデータベースの名前がありません。%2 のように、最後にデータベースの名前を書いてください。")
                .arg(text, example));
    return address;
}

ServerAnswer pingServer(const ServerAddress& address, int timeoutSeconds)
{
    const Libpq& libpq = Libpq::get();
    if (!libpq.ping)
        return ServerAnswer::Unknown;
    QByteArray conninfo = "host=" + conninfoValue(address.host) + " port=" + QByteArray::number(address.port) +
                          " dbname=" + conninfoValue(address.database) +
                          " connect_timeout=" + QByteArray::number(qMax(2, timeoutSeconds));
    if (!address.user.isEmpty())
        conninfo += " user=" + conninfoValue(address.user);
    switch (libpq.ping(conninfo.constData())) {
    case kPingOk:
        return ServerAnswer::Accepting;
    case kPingReject:
        return ServerAnswer::Refusing;
    case kPingNoResponse:
        return ServerAnswer::NoResponse;
    default:
        return ServerAnswer::Unknown;
    }
}

bool connectionLost(const QVariant& driverHandle)
{
    const Libpq& libpq = Libpq::get();
    const void* connection = connectionOf(driverHandle);
    return libpq.status && connection && libpq.status(connection) == kConnectionBad;
}

CancelHandles cancelHandlesOf(const QVariant& driverHandle)
{
    const Libpq& libpq = Libpq::get();
    void* connection = connectionOf(driverHandle);
    CancelHandles handles;
    if (!connection || !libpq.getCancel || !libpq.freeCancel || !libpq.socket)
        return handles;
    if (void* cancel = libpq.getCancel(connection))
        handles.cancel = std::shared_ptr<void>(cancel, libpq.freeCancel);
    handles.socket = libpq.socket(connection);
    return handles;
}

bool requestCancel(void* cancel)
{
    const Libpq& libpq = Libpq::get();
    char said[256] = {};
    return cancel && libpq.cancel && libpq.cancel(cancel, said, int(sizeof said)) == 1;
}

} // namespace storage
