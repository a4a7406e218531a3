#include "adjust/printeroffsets.h"

#include "adjust/offsets.h"

#include <QDir>
#include <QSettings>
#include <QUrl>

namespace adjust {

namespace {

// One key per queue and layout; both names may hold any character, the
// settings' group separator included.
QString keyOf(const QString& queue, const QString& layoutName)
{
    return QStringLiteral("printOffsets/") +
           QString::fromLatin1(QUrl::toPercentEncoding(queue) + '|' + QUrl::toPercentEncoding(layoutName));
}

} // namespace

std::optional<SavedOffsets> OffsetsByPrinter::load(const QString& queue, const QString& layoutName) const
{
    if (queue.isEmpty())
        return std::nullopt;
    const QStringList kept =
        QSettings(m_settingsFile, QSettings::IniFormat).value(keyOf(queue, layoutName)).toStringList();
    if (kept.size() != 2)
        return std::nullopt;
    bool xRead = false, yRead = false;
    const SavedOffsets offsets{kept[0].toInt(&xRead), kept[1].toInt(&yRead)};
    if (!xRead || !yRead)
        return std::nullopt;
    for (const int value : {offsets.horizontalTenthMm, offsets.verticalTenthMm})
        if (value < kOffsetMin || value > kOffsetMax)
            return std::nullopt;
    return offsets;
}

Result<void> OffsetsByPrinter::save(const QString& queue, const QString& layoutName, SavedOffsets offsets) const
{
    if (queue.isEmpty())
        return {};
    QSettings settings(m_settingsFile, QSettings::IniFormat);
    settings.setValue(keyOf(queue, layoutName), QStringList{QString::number(offsets.horizontalTenthMm),
                                                            QString::number(offsets.verticalTenthMm)});
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return fail(QStringLiteral("プリンタ「%1」のズレを設定のファイル「%2」に書き込めませんでした。"
                                   "ファイルとフォルダーの書き込みの権限と、ディスクの空きを確かめてください。")
                        .arg(queue, QDir::toNativeSeparators(m_settingsFile)));
    return {};
}

} // namespace adjust
