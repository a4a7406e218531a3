// The module behind platform/secretstore.h: the desktop's secret store
// through QtKeychain.
#include <qt6keychain/keychain.h>

#include <QEventLoop>
#include <QFileInfo>
#include <QString>
#include <QTimer>
#include <memory>

namespace {

const QString kService = QStringLiteral("horutea");
// A store that does not answer (locked, asking the user) is given up after this.
constexpr int kStoreAnswerMs = 20000;

const QString kNoStore =
    QStringLiteral("パスワードを保管するデスクトップの鍵束（GNOME キーリングや KWallet）を使えませんでした（%1）。"
                   "パスワードは ~/.pgpass（または PGPASSFILE の指すファイル）に書いてください。");

// Runs the job to its end on this thread.
bool finished(QKeychain::Job& job)
{
    QEventLoop loop;
    bool done = false;
    QObject::connect(&job, &QKeychain::Job::finished, &loop, [&] {
        done = true;
        loop.quit();
    });
    QTimer::singleShot(kStoreAnswerMs, &loop, &QEventLoop::quit);
    job.setAutoDelete(false);
    job.start();
    if (!done)
        loop.exec();
    return done;
}

// The stores answer over the session's message bus; without one (a
// terminal outside the desktop) there is none to ask, and asking would wait.
bool sessionBusThere()
{
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

extern "C" Q_DECL_EXPORT int horutea_secret(int action, const QString& key, QString* secret, QString* problem)
{
    if (!sessionBusThere()) {
        *problem = kNoStore.arg(QStringLiteral("デスクトップの外で動いています"));
        return 2;
    }
    std::unique_ptr<QKeychain::Job> job;
    if (action == 0) {
        auto* read = new QKeychain::ReadPasswordJob(kService);
        job.reset(read);
    } else if (action == 1) {
        auto* write = new QKeychain::WritePasswordJob(kService);
        write->setTextData(*secret);
        job.reset(write);
    } else {
        job.reset(new QKeychain::DeletePasswordJob(kService));
    }
    job->setKey(key);
    if (!finished(*job)) {
        *problem = kNoStore.arg(QStringLiteral("応答がありません"));
        return 2;
    }
    switch (job->error()) {
    case QKeychain::NoError:
        if (action == 0)
            *secret = static_cast<QKeychain::ReadPasswordJob&>(*job).textData();
        return 0;
    case QKeychain::EntryNotFound:
        return 1;
    default:
        *problem = kNoStore.arg(job->errorString());
        return 2;
    }
}
