#include "platform/secretstore.h"

#include "platform/datafiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

namespace platform {

namespace {

// The module's one entry (platform/secretstore_module.cpp): an action on
// one key; 0 done, 1 no such key, 2 the store cannot be used (problem says why).
enum Action { kRead = 0, kKeep = 1, kForget = 2 };
enum Answer { kDone = 0, kNotFound = 1, kNoStore = 2 };
using Secret = int (*)(int action, const QString& key, QString* secret, QString* problem);

Secret loadModule()
{
    static const Secret secret = [] {
        const QString programFolder = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
        QStringList places{installedModuleFolder(programFolder), programFolder};
#ifdef HORUTEA_MODULE_DIR
        if (!runsInstalled(programFolder))
            places << QStringLiteral(HORUTEA_MODULE_DIR);
#endif
        for (const QString& place : places) {
            QLibrary module(QDir(place).filePath(QStringLiteral("horutea_secrets")));
            if (auto found = reinterpret_cast<Secret>(module.resolve("horutea_secret")))
                return found;
        }
        return Secret(nullptr);
    }();
    return secret;
}

const QString kNoModule =
    QStringLiteral("パスワードを保管する部品（horutea_secrets）が見つかりません。ホルテアを入れ直してください。");

} // namespace

SecretRead readSecret(const QString& key)
{
    SecretRead read;
    const Secret secret = loadModule();
    if (!secret) {
        read.problem = kNoModule;
        return read;
    }
    switch (secret(kRead, key, &read.secret, &read.problem)) {
    case kDone:
        read.outcome = SecretRead::Outcome::Found;
        break;
    case kNotFound:
        read.outcome = SecretRead::Outcome::NotFound;
        break;
    default:
        read.outcome = SecretRead::Outcome::NoStore;
        break;
    }
    return read;
}

QString keepSecret(const QString& key, const QString& value)
{
    const Secret secret = loadModule();
    if (!secret)
        return kNoModule;
    QString kept = value, problem;
    return secret(kKeep, key, &kept, &problem) == kDone ? QString() : problem;
}

QString forgetSecret(const QString& key)
{
    const Secret secret = loadModule();
    if (!secret)
        return kNoModule;
    QString none, problem;
    const int answer = secret(kForget, key, &none, &problem);
    return answer == kDone || answer == kNotFound ? QString() : problem;
}

} // namespace platform
