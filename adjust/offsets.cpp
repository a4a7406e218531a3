#include "adjust/offsets.h"

#include "platform/numtext.h"

#include <algorithm>
#include <cmath>

namespace adjust {

QString axisCaption(Axis axis)
{
    return axis == Axis::Horizontal ? QStringLiteral("左右のズレ") : QStringLiteral("上下のズレ");
}

static bool withinRange(double value) { return value >= kOffsetMin && value <= kOffsetMax; }

Result<float> offsetForPrint(const QString& text, Axis axis, OffsetUse use)
{
    // The subject's particle and what was stopped, as each use says it.
    const QString particle = use == OffsetUse::Print ? QStringLiteral("は") : QStringLiteral("が");
    const QString stopped =
        use == OffsetUse::Print ? QStringLiteral("印刷を中止しました") : QStringLiteral("印刷の位置を表示できません");
    const QString caption = axisCaption(axis);
    const auto value = platform::textToDouble(text);
    if (!value)
        return fail(QStringLiteral("%1の値「%2」%3数値として読めないため、%4。調整パネルで%1を数値にしてください。")
                        .arg(caption, text, particle, stopped));
    if (!withinRange(*value))
        return fail(
            QStringLiteral(
                "%1の値「%2」%3調整できる範囲（%5～%6、0.1 mm単位）を超えているため、%4。調整パネルで%1を範囲内の値にしてください。")
                .arg(caption, text, particle, stopped)
                .arg(kOffsetMin)
                .arg(kOffsetMax));
    return float(*value);
}

Result<print::PrintOffsets> offsetsForPrint(const QString& horizontalText, const QString& verticalText, OffsetUse use)
{
    const auto x = offsetForPrint(horizontalText, Axis::Horizontal, use);
    if (!x)
        return fail(x.error());
    const auto y = offsetForPrint(verticalText, Axis::Vertical, use);
    if (!y)
        return fail(y.error());
    return print::PrintOffsets{*x, *y};
}

std::optional<QString> refusalToSave(const QString& text, Axis axis)
{
    const QString caption = axisCaption(axis);
    const auto value = platform::textToDouble(text);
    if (!value)
        return QStringLiteral("%1の値「%2」は数値ではないため、保存しませんでした。").arg(caption, text);
    if (!withinRange(*value))
        return QStringLiteral("%1の値「%2」は調整できる範囲（%3～%4）を超えているため、保存しませんでした。")
            .arg(caption, text)
            .arg(kOffsetMin)
            .arg(kOffsetMax);
    if (*value != std::nearbyint(*value))
        return QStringLiteral(
                   "%1の値「%2」は整数ではないため、保存しませんでした。保存できるのは0.1 mm単位の整数です（次の起動で%3として読まれるため）。")
            .arg(caption, text)
            .arg(std::nearbyint(*value));
    return std::nullopt;
}

OffsetFromFile offsetFromFile(const platform::FileRead& file)
{
    using S = platform::FileRead::Status;
    switch (file.status) {
    case S::Missing:
        return {0, {}};
    case S::Unreadable:
        return {0, QStringLiteral("ファイルを読む許可がありません")};
    case S::NotRegular:
        return {0, QStringLiteral("普通のファイルではありません")};
    case S::TooLong:
        return {0, QStringLiteral("ズレの値にしては長すぎます")};
    case S::Ok:
        break;
    }
    if (file.bytes.isEmpty())
        return {0, {}};
    QByteArray joined = file.bytes;
    joined.replace('\r', QByteArray()).replace('\n', QByteArray());
    const auto value = platform::textToDouble(QString::fromLatin1(joined));
    if (!value)
        return {0, QStringLiteral("中身「%1」が数値ではありません").arg(QString::fromLocal8Bit(joined.left(40)))};
    const double rounded = std::nearbyint(*value); // half to even
    const int clamped = static_cast<int>(std::clamp(rounded, double(kOffsetMin), double(kOffsetMax)));
    if (clamped != rounded)
        return {clamped, QStringLiteral("値 %1 が調整できる範囲を超えているため %2 にしました")
                             .arg(platform::numberToText(*value))
                             .arg(clamped)};
    return {clamped, {}};
}

QString OffsetStore::chooseFolder() const
{
    const QString app = m_folders.applicationFolder();
    const QString user = m_folders.userDataFolder();
    auto newest = [](const QString& folder) {
        return std::max(platform::modifiedMsecs(platform::joinPath(folder, kHorizontalFileName)),
                        platform::modifiedMsecs(platform::joinPath(folder, kVerticalFileName)));
    };
    const qint64 appSaved = newest(app), userSaved = newest(user);
    const bool appWritable = m_folders.applicationFolderKeepsFiles() && platform::folderWritable(app);
    if (userSaved >= 0 && (!appWritable || userSaved > appSaved))
        return user;
    return appWritable ? app : user;
}

OffsetStore::Loaded OffsetStore::startUp()
{
    m_folder = chooseFolder();
    const QString app = m_folders.applicationFolder();
    if (m_folder != app)
        platform::ensureFolder(m_folder);
    for (const QString& name : {kHorizontalFileName, kVerticalFileName}) {
        const QString path = platform::joinPath(m_folder, name);
        if (platform::fileExists(path))
            continue;
        // Files that only exist beside the program start the per-user copies.
        const QString besideProgram = platform::joinPath(app, name);
        if (m_folder != app && platform::fileExists(besideProgram) && platform::copyFile(besideProgram, path))
            continue;
        platform::createEmptyFile(path); // failure leaves the offset at 0
    }

    Loaded loaded;
    QStringList problems;
    auto load = [&](Axis axis, const QString& path) {
        const OffsetFromFile read = offsetFromFile(platform::readFileBounded(path, kMaxOffsetFileBytes));
        if (!read.problem.isEmpty())
            problems << QStringLiteral("%1（%2）：%3").arg(axisCaption(axis), path, read.problem);
        return read.tenthMm;
    };
    loaded.horizontalTenthMm = load(Axis::Horizontal, horizontalPath());
    loaded.verticalTenthMm = load(Axis::Vertical, verticalPath());
    if (!problems.isEmpty())
        loaded.problems =
            QStringLiteral(
                "保存したズレを読めなかったため、次の値で始めました。印刷の前に調整パネルで確かめてください。\n\n%1")
                .arg(problems.join(QLatin1Char('\n')));
    return loaded;
}

Result<void> OffsetStore::save(const QString& horizontalText, const QString& verticalText) const
{
    QStringList refused;
    if (auto why = refusalToSave(horizontalText, Axis::Horizontal))
        refused << *why;
    if (auto why = refusalToSave(verticalText, Axis::Vertical))
        refused << *why;
    if (!refused.isEmpty())
        return fail(refused.join(QLatin1Char('\n')) + QStringLiteral("\n\n前に保存した値はそのまま残っています。"));

    QStringList failed;
    if (!platform::writeFileAtomically(horizontalPath(), horizontalText.toLocal8Bit() + "\r\n", m_saveFilter))
        failed << QStringLiteral("左右のズレ（%1）").arg(horizontalPath());
    if (!platform::writeFileAtomically(verticalPath(), verticalText.toLocal8Bit() + "\r\n", m_saveFilter))
        failed << QStringLiteral("上下のズレ（%1）").arg(verticalPath());
    if (failed.isEmpty())
        return {};
    return fail(QStringLiteral("次のズレを保存できませんでした。前に保存した値はそのまま残っています。\n\n%1\n\n"
                               "保存先の空き容量と書き込みの許可を確かめてください。")
                    .arg(failed.join(QLatin1Char('\n'))));
}

} // namespace adjust
