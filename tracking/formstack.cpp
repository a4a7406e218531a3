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
const QString kUsedUpKey = QStringLiteral("usedUp");
const QString kTypedKey = QStringLiteral("nextFormTyped");
const QString kSenderPrePrintedKey = QStringLiteral("senderPrePrinted");
const QString kGroup = QStringLiteral("formStacks");

QString usedUpText(const TrackingNumber& last)
{
    return QStringLiteral(
               "伝票の束は最後の伝票 %1 まで使い切りました。新しい伝票を入れて、「伝票の束」で入れ替えてください。")
        .arg(last.display());
}

} // namespace

Result<QList<TrackingNumber>> FormStack::numbers(int formCount, FormStack* after) const
{
    if (formCount < 0)
        return fail(QStringLiteral("使う伝票の枚数が負の数（%1）です。").arg(formCount));
    if (m_usedUp && formCount > 0)
        return fail(usedUpText(m_next));
    QList<TrackingNumber> used;
    used.reserve(formCount);
    FormStack current = *this;
    for (int i = 0; i < formCount; ++i) {
        if (current.m_usedUp)
            return fail(QStringLiteral("伝票の束の番号が足りません（%1枚目で最後の伝票 %2 を使い切ります）。"
                                       "伝票を入れ替えてから、残りを印刷してください。")
                            .arg(i)
                            .arg(current.m_next.display()));
        used << current.m_next;
        // The last number of the range goes on its form too; nothing follows.
        if (auto following = current.m_next.next())
            current.m_next = *following;
        else
            current.m_usedUp = true;
        current.m_typed = false;
    }
    if (after)
        *after = current;
    return used;
}

Result<QList<TrackingNumber>> FormStack::peek(int formCount) const { return numbers(formCount, nullptr); }

Result<QList<TrackingNumber>> FormStack::advance(int formCount)
{
    FormStack after = *this;
    auto used = numbers(formCount, &after);
    if (used)
        *this = after;
    return used;
}

Result<TrackingNumber> FormStack::spoil()
{
    auto used = advance(1);
    if (!used)
        return fail(used.error());
    return used->front();
}

// Held while a stack is read, changed and written back, and while the
// forms reserved for a document are printed.
class FormStackStore::Lock {
public:
    Lock(const QString& settingsFilePath, int waitMs) : m_file(settingsFilePath + QStringLiteral(".formstacks.lock"))
    {
        QDir().mkpath(QFileInfo(settingsFilePath).absolutePath());
        // A print may hold it longer than Qt's 30 s, after which another
        // program would take it as left behind; one left by a program that
        // ended is still known by its process id.
        m_file.setStaleLockTime(0);
        m_locked = m_file.tryLock(waitMs);
    }
    bool isLocked() const { return m_locked; }
    QString problem(int waitedMs) const
    {
        if (m_file.error() == QLockFile::LockFailedError)
            return QStringLiteral("ほかのホルテアが伝票の束を使っています（印刷中か、書き換えている最中です）。"
                                  "%1秒待ちましたが終わらなかったため、伝票の番号を決められません。"
                                  "しばらくしてからやり直してください。")
                .arg(qMax(1, (waitedMs + 999) / 1000));
        return QStringLiteral("伝票の束を書き換えられません（%1 を作れません）。").arg(m_file.fileName());
    }

private:
    QLockFile m_file;
    bool m_locked = false;
};

Result<std::unique_ptr<FormStackStore::Lock>> FormStackStore::lock() const
{
    auto held = std::make_unique<Lock>(m_settingsFilePath, m_lockWaitMs);
    if (!held->isLocked())
        return fail(held->problem(m_lockWaitMs));
    return held;
}

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
    return std::optional(
        FormStack(*number, settings.value(group + kUsedUpKey).toBool(), settings.value(group + kTypedKey).toBool()));
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
    const QVariant oldUsedUp = settings.value(group + kUsedUpKey);
    const QVariant oldTyped = settings.value(group + kTypedKey);
    const auto put = [&](const QVariant& token, const QVariant& digits, const QVariant& usedUp, const QVariant& typed) {
        for (const auto& [key, value] :
             {std::pair(kCarrierTokenKey, token), std::pair(kNextFormNumberDigitsKey, digits),
              std::pair(kUsedUpKey, usedUp), std::pair(kTypedKey, typed)}) {
            if (value.isValid())
                settings.setValue(group + key, value);
            else
                settings.remove(group + key);
        }
    };
    const QString token = stack ? carrierToken(stack->carrier()) : QString();
    const QString digits = stack ? stack->nextForm().digits() : QString();
    if (stack)
        put(token, digits, stack->usedUp() ? QVariant(true) : QVariant(), stack->typed() ? QVariant(true) : QVariant());
    else
        put({}, {}, {}, {});
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // The process keeps one copy of the file's entries for every
        // QSettings: put the old ones back, so that a later read in this run
        // does not see a stack the file does not hold.
        put(oldToken, oldDigits, oldUsedUp, oldTyped);
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
    const auto held = lock();
    if (!held)
        return fail(held.error());
    return write(stackKey, stack);
}

bool FormStackStore::senderPrePrinted(const QString& stackKey) const
{
    const QSettings settings(m_settingsFilePath, QSettings::IniFormat);
    return settings.value(settingsGroup(stackKey) + QLatin1Char('/') + kSenderPrePrintedKey).toBool();
}

Result<void> FormStackStore::setSenderPrePrinted(const QString& stackKey, bool prePrinted) const
{
    const auto held = lock();
    if (!held)
        return fail(held.error());
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
    const auto held = lock();
    if (!held)
        return fail(held.error());
    return write(stackKey, std::nullopt);
}

Result<QList<TrackingNumber>> FormStackStore::take(const QString& stackKey, int formCount) const
{
    auto reserved = reserve(stackKey, formCount);
    if (!reserved)
        return fail(reserved.error());
    if (auto moved = (*reserved)->commit(); !moved)
        return fail(moved.error());
    return (*reserved)->numbers();
}

Result<std::unique_ptr<FormStackStore::Reservation>>
FormStackStore::reserve(const QString& stackKey, int formCount, const std::optional<FormStack>& loaded) const
{
    auto held = lock();
    if (!held)
        return fail(held.error());
    if (loaded)
        if (auto saved = write(stackKey, *loaded); !saved)
            return fail(saved.error());
    auto stack = load(stackKey);
    if (!stack)
        return fail(stack.error());
    QList<TrackingNumber> numbers;
    std::optional<FormStack> after = *stack;
    if (after) {
        auto used = after->advance(formCount);
        if (!used)
            return fail(used.error());
        numbers = *used;
    }
    auto reservation =
        std::make_unique<Reservation>(std::move(*held), *this, stackKey, std::move(after), std::move(numbers));
    reservation->m_firstTyped = *stack && (*stack)->typed();
    return reservation;
}

FormStackStore::Reservation::Reservation(std::unique_ptr<Lock> lock, const FormStackStore& store, QString stackKey,
                                         std::optional<FormStack> stack, QList<TrackingNumber> numbers)
    : m_lock(std::move(lock)), m_store(std::make_unique<FormStackStore>(store)), m_stackKey(std::move(stackKey)),
      m_after(std::move(stack)), m_numbers(std::move(numbers))
{}

FormStackStore::Reservation::~Reservation() = default;

Result<void> FormStackStore::Reservation::commit()
{
    if (m_committed || !m_after || m_numbers.isEmpty())
        return {};
    m_committed = true;
    return m_store->write(m_stackKey, m_after);
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
