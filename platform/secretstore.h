#pragma once
// Passwords kept in the desktop's secret store (the Secret Service of GNOME
// and others, KWallet) through QtKeychain, in a module loaded on first use,
// so the window's start loads neither it nor D-Bus. Each is kept under the
// program's name and a key of the caller's.
#include <QString>

namespace platform {

struct SecretRead {
    enum class Outcome { Found, NotFound, NoStore };
    Outcome outcome = Outcome::NoStore;
    QString secret;
    QString problem; // with NoStore: why the store could not be asked, in Japanese
};

// Asks the store, waiting for it at most a while (a locked store that asks
// the user to unlock it is left for another time). Never on a thread whose
// events must go on.
SecretRead readSecret(const QString& key);
// Empty when kept; else why not, in Japanese.
QString keepSecret(const QString& key, const QString& secret);
QString forgetSecret(const QString& key);

} // namespace platform
