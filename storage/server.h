#pragma once
// Where the address book and history live when several stations share them:
// a PostgreSQL server, named by a URL postgresql://USER@HOST:PORT/DBNAME.
// The password never appears here, nor in the program's settings: it is
// kept in the desktop's secret store (「データの保存先」), or libpq finds it
// in its own places (~/.pgpass, PGPASSFILE, a service file).
#include "common/result.h"

#include <QString>
#include <memory>

namespace storage {

struct ServerAddress {
    static constexpr int kDefaultPort = 5432;

    QString host;
    int port = kDefaultPort;
    QString database;
    QString user; // empty: libpq's default (the login name, PGUSER)

    // The URL as the command line and the settings take it.
    QString url() const;
    // host:port, as the user's messages name the server.
    QString hostAndPort() const;
    // The key its password is kept under in the desktop's secret store
    // (platform/secretstore.h): user@host:port/database.
    QString secretKey() const;

    bool operator==(const ServerAddress&) const = default;
};

// Whether the text names a server rather than a file.
bool isServerUrl(const QString& location);

// The address a URL names, or why it cannot be used (a password in it is
// refused: it would end up in shell histories and settings files).
Result<ServerAddress> serverAddressFrom(const QString& url);

// What libpq finds out without logging in: whether a server answers there.
enum class ServerAnswer { Accepting, Refusing, NoResponse, Unknown };
ServerAnswer pingServer(const ServerAddress& address, int timeoutSeconds);

// Whether the connection behind a driver handle (QSqlDriver::handle() of the
// QPSQL driver) has gone; false when it cannot be told.
bool connectionLost(const QVariant& driverHandle);

// What is needed to stop a round trip on that connection from another
// thread: libpq's cancel handle (freed with the last copy) and the socket.
struct CancelHandles {
    std::shared_ptr<void> cancel;
    int socket = -1;
};
CancelHandles cancelHandlesOf(const QVariant& driverHandle);
// Asks the server to cancel what the connection is running (PQcancel);
// waits for the server's answer, so not on a thread that must go on.
bool requestCancel(void* cancel);

} // namespace storage
