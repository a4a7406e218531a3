#pragma once
// The two offset files that keep the print shift between runs.
#include "platform/files.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace adjust {

inline const QString kHorizontalFileName = QStringLiteral("vanq_x01.txt");
inline const QString kVerticalFileName = QStringLiteral("vanq_y01.txt");

constexpr int kOffsetMin = -1000;
constexpr int kOffsetMax = 1000;
constexpr int kOffsetStep = 10;
// A real offset file is a few bytes; anything longer is not an offset.
constexpr qint64 kMaxOffsetFileBytes = 4096;

// Offset from a file's bytes: the lines joined without their ends, read as
// a number, rounded half to even and kept within the spin range. A missing,
// unreadable, empty, too long or non-numeric file gives 0.
int offsetFromFileContent(const std::optional<QByteArray>& content);

class OffsetFiles {
public:
    explicit OffsetFiles(const platform::Folders& folders) : m_folders(folders) {}

    // The program's own folder, or the per-user data folder when the
    // program's folder cannot be written (an installed program's usually).
    QString folder() const;
    QString horizontalPath() const { return platform::joinPath(folder(), kHorizontalFileName); }
    QString verticalPath() const { return platform::joinPath(folder(), kVerticalFileName); }

    // A missing file is created empty; one that only exists beside the
    // program is copied into the per-user folder, so its value is kept.
    void createMissing() const;
    int loadHorizontal() const { return load(horizontalPath()); }
    int loadVertical() const { return load(verticalPath()); }

    // The box's text unchanged, then CR LF, replacing the old file only
    // once the new one is complete.
    static bool save(const QString& path, const QString& text);

private:
    static int load(const QString& path);
    void createMissing(const QString& name) const;
    const platform::Folders& m_folders;
};

} // namespace adjust
