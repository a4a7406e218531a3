#include "station/layoutstore.h"

#include "print/layoutfile.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStorageInfo>
#include <algorithm>

namespace station {

namespace {

const QString kQueuesGroup = QStringLiteral("layoutOfQueue");
// The key of a PDF file's pages: a queue's key never starts with a dot
// followed by letters that are not hexadecimal.
const QString kPdfFileKey = QStringLiteral(".pdf");
const QString kSuffix = QStringLiteral(".json");
// Below this, Qt 6.4 may put an empty file in place of the settings and
// report success (as tracking::FormStackStore says).
constexpr qint64 kMinimumFreeBytes = 1024 * 1024;

// A file name for a layout's name: letters and digits of any script, _ and
// - as they are, everything else as %XX per UTF-8 byte.
QString fileStem(const QString& name)
{
    QString stem;
    for (const QChar c : name) {
        if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-')) {
            stem += c;
            continue;
        }
        for (const char byte : QString(c).toUtf8())
            stem +=
                QStringLiteral("%%1").arg(uint(static_cast<unsigned char>(byte)), 2, 16, QLatin1Char('0')).toUpper();
    }
    return stem;
}

// The name back from a file's: %XX sequences decoded, anything else (a
// file named by hand) as it stands.
QString nameOfStem(const QString& stem)
{
    QByteArray bytes;
    const QByteArray utf8 = stem.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        bool ok = false;
        if (utf8[i] == '%' && i + 2 < utf8.size()) {
            const int value = utf8.mid(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                bytes += char(value);
                i += 2;
                continue;
            }
        }
        bytes += utf8[i];
    }
    return QString::fromUtf8(bytes);
}

QString queueKey(const QString& queue)
{
    if (queue.isEmpty())
        return kPdfFileKey;
    QString key;
    for (const char byte : queue.toUtf8()) {
        const auto c = static_cast<unsigned char>(byte);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-')
            key += QLatin1Char(char(c));
        else
            key += QStringLiteral(".%1").arg(uint(c), 2, 16, QLatin1Char('0')).toUpper();
    }
    return key;
}

QString queueOfKey(const QString& key)
{
    if (key == kPdfFileKey)
        return {};
    QByteArray bytes;
    const QByteArray ascii = key.toLatin1();
    for (qsizetype i = 0; i < ascii.size(); ++i) {
        bool ok = false;
        const int value = ascii[i] == '.' && i + 2 < ascii.size() ? ascii.mid(i + 1, 2).toInt(&ok, 16) : 0;
        if (ok) {
            bytes += char(value);
            i += 2;
        } else {
            bytes += ascii[i];
        }
    }
    return QString::fromUtf8(bytes);
}

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString queueCaption(const QString& queue)
{
    return queue.isEmpty() ? QStringLiteral("PDFファイルへの印刷") : QStringLiteral("プリンタ「%1」").arg(queue);
}

} // namespace

std::optional<QString> layoutNameProblem(const QString& name)
{
    if (name.trimmed().isEmpty())
        return QStringLiteral("レイアウトの名前が空です。名前を入れてください。");
    if (name != name.trimmed())
        return QStringLiteral("レイアウトの名前の前後に空白があります。空白を消してください。");
    if (name == print::kBuiltInLayoutName)
        return QStringLiteral("「%1」は組み込みのレイアウトの名前です。別の名前にしてください。").arg(name);
    if (name.size() > kMaxLayoutNameLength)
        return QStringLiteral("レイアウトの名前が長すぎます（%1 文字まで）。").arg(kMaxLayoutNameLength);
    for (const QChar c : name)
        if (c.category() == QChar::Other_Control || c.category() == QChar::Other_Format)
            return QStringLiteral("レイアウトの名前に制御文字があります。消してください。");
    return std::nullopt;
}

LayoutStore::LayoutStore(QString folder, QString settingsFile)
    : m_folder(std::move(folder)), m_settingsFile(std::move(settingsFile))
{}

LayoutStore::LayoutStore(const platform::Folders& folders)
    : LayoutStore(platform::joinPath(folders.configFolder(), QStringLiteral("layouts")), folders.settingsFile())
{}

QStringList LayoutStore::names() const
{
    QStringList users;
    const QFileInfoList files =
        QDir(m_folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QFileInfo& file : files) {
        const QString name = nameOfStem(file.completeBaseName());
        // 「標準」 is the program's own; a file of that name is not listed.
        if (!layoutNameProblem(name))
            users << name;
    }
    users.removeDuplicates();
    std::sort(users.begin(), users.end(),
              [](const QString& a, const QString& b) { return a.localeAwareCompare(b) < 0; });
    return QStringList{print::kBuiltInLayoutName} + users;
}

bool LayoutStore::contains(const QString& name) const { return names().contains(name); }

QString LayoutStore::filePathOf(const QString& name) const
{
    if (name == print::kBuiltInLayoutName || name.isEmpty())
        return {};
    const QString own = QDir(m_folder).filePath(fileStem(name) + kSuffix);
    if (QFileInfo::exists(own))
        return own;
    // A file copied in by hand, under a name the store would have written otherwise.
    const QFileInfoList files = QDir(m_folder).entryInfoList({QStringLiteral("*") + kSuffix}, QDir::Files);
    for (const QFileInfo& file : files)
        if (nameOfStem(file.completeBaseName()) == name)
            return file.filePath();
    return {};
}

Result<print::Layout> LayoutStore::load(const QString& name) const
{
    if (name == print::kBuiltInLayoutName)
        return print::builtInLayout();
    const QString path = filePathOf(name);
    if (path.isEmpty())
        return fail(QStringLiteral("レイアウト「%1」が見つかりません（%2 にファイルがありません）。"
                                   "「用紙レイアウト」で作るか、読み込んでください。")
                        .arg(name, shown(m_folder)));
    Result<print::Layout> read = print::readLayoutFile(path);
    if (!read)
        return read;
    read->name = name;
    return read;
}

Result<void> LayoutStore::save(const print::Layout& layout) const
{
    if (const auto problem = layoutNameProblem(layout.name))
        return fail(*problem);
    // Never a file that would not read back.
    if (const Result<print::Layout> back = print::layoutFromJson(print::layoutToJson(layout), layout.name); !back)
        return fail(back.error());
    if (!platform::ensureFolder(m_folder))
        return fail(QStringLiteral("レイアウトを置くフォルダー %1 を作れません。フォルダーの権限を確かめてください。")
                        .arg(shown(m_folder)));
    QString path = filePathOf(layout.name);
    if (path.isEmpty())
        path = QDir(m_folder).filePath(fileStem(layout.name) + kSuffix);
    return print::writeLayoutFile(path, layout);
}

Result<void> LayoutStore::remove(const QString& name) const
{
    if (name == print::kBuiltInLayoutName)
        return fail(QStringLiteral("「%1」は組み込みのレイアウトのため、削除できません。").arg(name));
    if (const QStringList queues = queuesUsing(name); !queues.isEmpty()) {
        QStringList captions;
        for (const QString& queue : queues)
            captions << queueCaption(queue);
        return fail(QStringLiteral("レイアウト「%1」は%2で使っているため、削除できません。"
                                   "先に、そちらで使うレイアウトを選び直してください。")
                        .arg(name, captions.join(QStringLiteral("と"))));
    }
    const QString path = filePathOf(name);
    if (path.isEmpty())
        return fail(QStringLiteral("レイアウト「%1」は見つかりません。").arg(name));
    if (!platform::removeFile(path))
        return fail(QStringLiteral("レイアウトのファイル %1 を削除できません。フォルダーの権限を確かめてください。")
                        .arg(shown(path)));
    return {};
}

Result<void> LayoutStore::exportTo(const QString& name, const QString& path) const
{
    const Result<print::Layout> layout = load(name);
    if (!layout)
        return fail(layout.error());
    return print::writeLayoutFile(path, *layout);
}

QString LayoutStore::nameForQueue(const QString& queue) const
{
    const QSettings settings(m_settingsFile, QSettings::IniFormat);
    const QString name = settings.value(kQueuesGroup + QLatin1Char('/') + queueKey(queue)).toString();
    return name.isEmpty() ? print::kBuiltInLayoutName : name;
}

Result<void> LayoutStore::setNameForQueue(const QString& queue, const QString& name) const
{
    if (!contains(name))
        return fail(QStringLiteral("レイアウト「%1」は見つかりません。").arg(name));
    const QStorageInfo disk(QFileInfo(m_settingsFile).absolutePath());
    if (disk.isValid() && disk.bytesAvailable() >= 0 && disk.bytesAvailable() < kMinimumFreeBytes)
        return fail(QStringLiteral("ディスクの空きが足りないため、設定ファイル %1 に書き込みませんでした。"
                                   "空きを作ってからやり直してください。")
                        .arg(shown(m_settingsFile)));
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    const QString key = kQueuesGroup + QLatin1Char('/') + queueKey(queue);
    const QVariant before = settings.value(key);
    if (name == print::kBuiltInLayoutName)
        settings.remove(key);
    else
        settings.setValue(key, name);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        // This process's other readers of the file would see it otherwise.
        if (before.isValid())
            settings.setValue(key, before);
        else
            settings.remove(key);
        return fail(QStringLiteral("設定ファイル %1 に書き込めませんでした。使うレイアウトは変わっていません。"
                                   "ファイルとフォルダーの権限と、ディスクの空きを確かめてください。")
                        .arg(shown(m_settingsFile)));
    }
    return {};
}

QStringList LayoutStore::queuesUsing(const QString& name) const
{
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.beginGroup(kQueuesGroup);
    QStringList queues;
    for (const QString& key : settings.childKeys())
        if (settings.value(key).toString() == name)
            queues << queueOfKey(key);
    return queues;
}

Result<print::Layout> LayoutStore::layoutForQueue(const QString& queue) const
{
    const QString name = nameForQueue(queue);
    Result<print::Layout> layout = load(name);
    if (!layout)
        return fail(QStringLiteral("%1の伝票に使うレイアウト「%2」を読めません。\n%3")
                        .arg(queueCaption(queue), name, layout.error()));
    return layout;
}

Result<print::Layout> LayoutCache::load(const LayoutStore& store, const QString& name)
{
    if (name == print::kBuiltInLayoutName)
        return print::builtInLayout();
    const QString path = store.filePathOf(name);
    const QFileInfo file(path);
    if (!path.isEmpty()) {
        const auto kept = m_kept.constFind(name);
        if (kept != m_kept.constEnd() && kept->path == path && kept->modified == file.lastModified() &&
            kept->bytes == file.size())
            return kept->layout;
    }
    Result<print::Layout> read = store.load(name);
    if (read && !path.isEmpty())
        m_kept.insert(name, {path, file.lastModified(), file.size(), *read});
    else
        m_kept.remove(name);
    return read;
}

} // namespace station
