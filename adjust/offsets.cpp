#include "adjust/offsets.h"

#include "platform/numtext.h"

#include <QFile>
#include <algorithm>
#include <cmath>

namespace adjust {

int offsetFromFileContent(const std::optional<QByteArray>& content)
{
    if (!content || content->isEmpty() || content->size() > kMaxOffsetFileBytes)
        return 0;
    QByteArray joined = *content;
    joined.replace('\r', QByteArray()).replace('\n', QByteArray());
    const auto value = platform::textToDouble(QString::fromLatin1(joined));
    if (!value)
        return 0;
    const double rounded = std::nearbyint(*value); // half to even
    return static_cast<int>(std::clamp(rounded, double(kOffsetMin), double(kOffsetMax)));
}

QString OffsetFiles::folder() const
{
    const QString app = m_folders.applicationFolder();
    if (platform::folderWritable(app))
        return app;
    const QString user = m_folders.userDataFolder();
    platform::ensureFolder(user);
    return user;
}

void OffsetFiles::createMissing(const QString& name) const
{
    const QString dir = folder();
    const QString path = platform::joinPath(dir, name);
    if (platform::fileExists(path))
        return;
    const QString besideProgram = platform::joinPath(m_folders.applicationFolder(), name);
    if (path != besideProgram && platform::fileExists(besideProgram) && QFile::copy(besideProgram, path))
        return;
    platform::createEmptyFile(path); // failure leaves the offset at 0
}

void OffsetFiles::createMissing() const
{
    createMissing(kHorizontalFileName);
    createMissing(kVerticalFileName);
}

int OffsetFiles::load(const QString& path)
{
    return offsetFromFileContent(platform::readFileBounded(path, kMaxOffsetFileBytes));
}

bool OffsetFiles::save(const QString& path, const QString& text)
{
    return platform::writeFileAtomically(path, text.toLocal8Bit() + "\r\n");
}

} // namespace adjust
