#include "tracking/formstack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>
#include <QStorageInfo>

namespace tracking {

namespace {

const QString kCarrierTokenKey = QStringLiteral("carrierToken");
const QString kNextFormNumberDigitsKey = QStringLiteral("nextFormNumberDigits");
const QString kSenderPrePrintedKey = QStringLiteral("senderPrePrinted");
const QString kGroup = QStringLiteral("formStacks");
// Long enough for a slow disk, short enough that a stuck program is told.
constexpr int kLockWaitMs = 5000;

} // namespace

Result<QList<TrackingNumber>> FormStack::numbers(int formCount, TrackingNumber* after) const
{
    if (formCount < 0)
        return fail(QStringLiteral("使う伝票の枚数が負の数（%1）です。").arg(formCount));
    QList<TrackingNumber> used;
    used.reserve(formCount);
    TrackingNumber current = m_next;
    for (int i = 0; i < formCount; ++i) {
        used << current;
        auto following = current.next();
        if (!following)
            return fail(
                QStringLiteral("伝票の束の番号が足りません（%1枚目のあと）。%2").arg(i + 1).arg(following.error()));
        current = *following;
    }
    if (after)
        *after = current;
    return used;
}

Result<QList<TrackingNumber>> FormStack::peek(int formCount) const { return numbers(formCount, nullptr); }

Result<QList<TrackingNumber>> FormStack::advance(int formCount)
{
    TrackingNumber after = m_next;
    auto used = numbers(formCount, &after);
    if (used)
        m_next = after;
    return used;
}

Result<TrackingNumber> FormStack::spoil()
{
    auto used = advance(1);
    if (!used)
        return fail(used.error());
    return used->front();
}

// Held while a stack is read, changed and written back.
class FormStackStore::Lock {
public:
    explicit Lock(const QString& settingsFilePath) : m_file(settingsFilePath + QStringLiteral(".formstacks.lock"))
    {
        QDir().mkpath(QFileInfo(settingsFilePath).absolutePath());
        m_locked = m_file.tryLock(kLockWaitMs);
    }
    bool isLocked() const { return m_locked; }
    QString problem() const
    {
        if (m_file.error() == QLockFile::LockFailedError)
            return QStringLiteral(
                "ほかのホルテアが伝票の束を書き換えている最中です。しばらくしてからやり直してください。");
        return QStringLiteral("伝票の束を書き換えられません（%1 を作れません）。").arg(m_file.fileName());
    }

private:
    QLockFile m_file;
    bool m_locked = false;
};

QString FormStackStore::settingsKeyPart(const QString& stackKey)
{
    // A queue name may hold / or \, which QSettings takes as group
    // separators. Only letters, digits, _ and - stay, the characters
    // QSettings writes into an INI file as they are, so that the written
    // file can be checked line by line.
    QString part;
    for (const char byte : stackKey.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            part += QLatin1Char(char(c));
        else
            part += QStringLiteral(".%1").arg(uint(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return part;
}

QString FormStackStore::settingsGroup(const QString& stackKey)
{
    return kGroup + QLatin1Char('/') + settingsKeyPart(stackKey);
}

Result<std::optional<FormStack>> FormStackStore::load(const QString& stackKey) const
{
    const QSettings settings(m_settingsFilePath, QSettings::IniFormat);
    // An AccessError here may only mean that changes made earlier in this
    // run could not be written yet; the entries are still at hand then.
    QFile file(m_settingsFilePath);
    if (settings.status() == QSettings::FormatError || (file.exists() && !file.open(QIODevice::ReadOnly)))
        return fail(QStringLiteral("設定ファイル %1 が読めません。").arg(QDir::toNativeSeparators(m_settingsFilePath)));
    const QString group = settingsGroup(stackKey) + QLatin1Char('/');
    const QVariant token = settings.value(group + kCarrierTokenKey);
    const QVariant digits = settings.value(group + kNextFormNumberDigitsKey);
    if (!token.isValid() && !digits.isValid())
        return std::optional<FormStack>();
    const auto damaged = [&](const QString& why) {
        return QStringLiteral(
                   "設定ファイルにある「%1」の伝票の束が読めません（%2）。伝票を入れ替えて、次の伝票の番号を入れ直してください。")
            .arg(stackKey, why);
    };
    const auto carrier = carrierFromToken(token.toString());
    if (!carrier)
        return fail(damaged(carrier.error()));
    auto number = TrackingNumber::read(*carrier, digits.toString());
    if (!number)
        return fail(damaged(number.error()));
    return std::optional(FormStack(*number));
}

bool FormStackStore::fileHolds(const QString& stackKey, const QString& token, const QString& digits) const
{
    QFile file(m_settingsFilePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QString prefix = settingsKeyPart(stackKey) + QLatin1Char('\\');
    const QByteArray wantedToken = (prefix + kCarrierTokenKey + QLatin1Char('=') + token).toUtf8();
    const QByteArray wantedDigits = (prefix + kNextFormNumberDigitsKey + QLatin1Char('=') + digits).toUtf8();
    const QByteArray section = '[' + kGroup.toUtf8() + ']';
    bool inGroup = false, tokenFound = false, digitsFound = false;
    for (QByteArray line : file.readAll().split('\n')) {
        line = line.trimmed();
        if (line.startsWith('['))
            inGroup = line == section;
        else if (inGroup) {
            tokenFound = tokenFound || line == wantedToken;
            digitsFound = digitsFound || line == wantedDigits;
        }
    }
    return tokenFound && digitsFound;
}

Result<void> FormStackStore::write(const QString& stackKey, const std::optional<FormStack>& stack) const
{
    const QString shownPath = QDir::toNativeSeparators(m_settingsFilePath);
    // Qt 6.4's QSaveFile ignores a write that fails when the file is
    // closed, so on a full disk QSettings puts an empty file in place of the
    // settings and reports success. Such a disk is refused before anything
    // changes, and the file is checked after writing.
    const QStorageInfo disk(QFileInfo(m_settingsFilePath).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < m_minimumFreeBytes)
        return fail(
            QStringLiteral(
                "ディスクの空きが足りないため、設定ファイル %1 に書き込みませんでした。伝票の束は変わっていません。"
                "空きを作ってからやり直してください。")
                .arg(shownPath));
    QByteArray before;
    if (QFile file(m_settingsFilePath); file.open(QIODevice::ReadOnly))
        before = file.readAll();

    QSettings settings(m_settingsFilePath, QSettings::IniFormat);
    const QString group = settingsGroup(stackKey) + QLatin1Char('/');
    const QVariant oldToken = settings.value(group + kCarrierTokenKey);
    const QVariant oldDigits = settings.value(group + kNextFormNumberDigitsKey);
    const auto put = [&](const QVariant& token, const QVariant& digits) {
        for (const auto& [key, value] :
             {std::pair(kCarrierTokenKey, token), std::pair(kNextFormNumberDigitsKey, digits)}) {
            if (value.isValid())
                settings.setValue(group + key, value);
            else
                settings.remove(group + key);
        }
    };
    const QString token = stack ? carrierToken(stack->carrier()) : QString();
    const QString digits = stack ? stack->nextForm().digits() : QString();
    if (stack)
        put(token, digits);
    else
        put({}, {});
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // The process keeps one copy of the file's entries for every
        // QSettings: put the old ones back, so that a later read in this run
        // does not see a stack the file does not hold.
        put(oldToken, oldDigits);
        return fail(
            QStringLiteral("設定ファイル %1 に書き込めませんでした。伝票の束は変わっていません。").arg(shownPath));
    }
    if (!stack || fileHolds(stackKey, token, digits))
        return {};
    // Written "successfully" but not there: put the file back as it was.
    // Its old bytes need no more room than it had.
    QFile file(m_settingsFilePath);
    const bool restored =
        file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(before) == before.size() && file.flush();
    if (restored)
        return fail(
            QStringLiteral(
                "設定ファイル %1 に書き込めませんでした（ディスクがいっぱいではありませんか）。伝票の束は変わっていません。")
                .arg(shownPath));
    return fail(
        QStringLiteral(
            "設定ファイル %1 に書き込めず、中身が失われたおそれがあります（ディスクがいっぱいではありませんか）。"
            "空きを作ってから、伝票の束とほかの設定を確かめてください。")
            .arg(shownPath));
}

Result<void> FormStackStore::save(const QString& stackKey, const FormStack& stack) const
{
    const Lock lock(m_settingsFilePath);
    if (!lock.isLocked())
        return fail(lock.problem());
    return write(stackKey, stack);
}

bool FormStackStore::senderPrePrinted(const QString& stackKey) const
{
    const QSettings settings(m_settingsFilePath, QSettings::IniFormat);
    return settings.value(settingsGroup(stackKey) + QLatin1Char('/') + kSenderPrePrintedKey).toBool();
}

Result<void> FormStackStore::setSenderPrePrinted(const QString& stackKey, bool prePrinted) const
{
    const Lock lock(m_settingsFilePath);
    if (!lock.isLocked())
        return fail(lock.problem());
    QSettings settings(m_settingsFilePath, QSettings::IniFormat);
    const QString key = settingsGroup(stackKey) + QLatin1Char('/') + kSenderPrePrintedKey;
    if (prePrinted)
        settings.setValue(key, true);
    else
        settings.remove(key);
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral(
                        "設定ファイル %1 に書き込めませんでした。ご依頼主が印刷済みかどうかの設定は変わっていません。")
                        .arg(QDir::toNativeSeparators(m_settingsFilePath)));
    return {};
}

Result<void> FormStackStore::remove(const QString& stackKey) const
{
    const Lock lock(m_settingsFilePath);
    if (!lock.isLocked())
        return fail(lock.problem());
    return write(stackKey, std::nullopt);
}

Result<QList<TrackingNumber>> FormStackStore::take(const QString& stackKey, int formCount) const
{
    const Lock lock(m_settingsFilePath);
    if (!lock.isLocked())
        return fail(lock.problem());
    auto loaded = load(stackKey);
    if (!loaded)
        return fail(loaded.error());
    std::optional<FormStack>& stack = *loaded;
    if (!stack)
        return QList<TrackingNumber>();
    auto used = stack->advance(formCount);
    if (!used)
        return used;
    if (auto written = write(stackKey, stack); !written)
        return fail(written.error());
    return used;
}

Result<TrackingNumber> FormStackStore::spoil(const QString& stackKey) const
{
    auto used = take(stackKey, 1);
    if (!used)
        return fail(used.error());
    const QList<TrackingNumber>& numbers = *used;
    if (numbers.isEmpty())
        return fail(QStringLiteral("「%1」には伝票の束が設定されていません。").arg(stackKey));
    return numbers.front();
}

} // namespace tracking
