#pragma once
// Folders and the few file operations the program needs, kept here so the
// rest of the program never touches the file system directly.
#include <QByteArray>
#include <QString>
#include <optional>

namespace platform {

class Folders {
public:
    virtual ~Folders() = default;
    // The folder that holds the program's executable.
    virtual QString applicationFolder() const = 0;
    // The per-user data folder named for the application.
    virtual QString userDataFolder() const = 0;
    // Where pages go when the machine has no printer.
    virtual QString documentsFolder() const = 0;
};

class QtFolders final : public Folders {
public:
    QString applicationFolder() const override;
    QString userDataFolder() const override;
    QString documentsFolder() const override;
};

// Joins a folder and a file name with the platform's separator.
QString joinPath(const QString& folder, const QString& name);

bool fileExists(const QString& path);
// True when a new file can really be created in the folder (tried, not guessed
// from permission bits, which say nothing on read-only mounts or for root).
bool folderWritable(const QString& folder);
bool ensureFolder(const QString& folder);
bool createEmptyFile(const QString& path);
// At most maxBytes + 1 bytes, so a huge file costs bounded time and memory;
// the caller sees from the size that it was too long.
std::optional<QByteArray> readFileBounded(const QString& path, qint64 maxBytes);
// Writes the whole content to a temporary file beside the target and then
// replaces the target, so the old file survives any failure on the way.
bool writeFileAtomically(const QString& path, const QByteArray& content);

} // namespace platform
