#pragma once
// Folders and the few file operations the program needs, kept here so the
// rest of the program never touches the file system directly.
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QIODevice;
class QSaveFile;

namespace platform {

class Folders {
public:
    virtual ~Folders() = default;
    // The folder that holds the program's executable.
    virtual QString applicationFolder() const = 0;
    // False for an installed program: its folder (/usr/bin) belongs to the
    // package manager, and files are kept in the per-user folder even when
    // the user (root) could write beside the program.
    virtual bool applicationFolderKeepsFiles() const { return true; }
    // The per-user data folder named for the application.
    virtual QString userDataFolder() const = 0;
    // Where pages go when the machine has no printer.
    virtual QString documentsFolder() const = 0;
    // The per-user folder of the program's settings.
    virtual QString configFolder() const = 0;
    // The program's one settings file in it.
    QString settingsFile() const;
};

class QtFolders final : public Folders {
public:
    QString applicationFolder() const override;
    bool applicationFolderKeepsFiles() const override;
    QString userDataFolder() const override;
    QString documentsFolder() const override;
    QString configFolder() const override;
};

// Joins a folder and a file name with the platform's separator.
QString joinPath(const QString& folder, const QString& name);

// A regular file (or a link to one) exists at path.
bool fileExists(const QString& path);
// When the file was last written; invalid when there is none.
qint64 modifiedMsecs(const QString& path);
// True when a new file can really be created in the folder (tried, not guessed
// from permission bits, which say nothing on read-only mounts or for root).
bool folderWritable(const QString& folder);
bool ensureFolder(const QString& folder);
bool createEmptyFile(const QString& path);
bool copyFile(const QString& from, const QString& to);
bool removeFile(const QString& path);

struct FileRead {
    enum class Status { Ok, Missing, Unreadable, NotRegular, TooLong };
    Status status = Status::Missing;
    QByteArray bytes;
};
// A regular file's content, at most maxBytes. Anything that is not a regular
// file (a FIFO, a device, a folder) is not read at all, and opening never
// blocks.
FileRead readFileBounded(const QString& path, qint64 maxBytes);

// Wraps the device a save writes into; tests give one that fails at a
// chosen byte, as a full disk would.
using DeviceFilter = std::function<std::unique_ptr<QIODevice>(QIODevice& file)>;

// A write that replaces the file only once it is complete, so the old file
// (or, for a new file, no file at all) survives any failure on the way.
class AtomicFile {
public:
    enum Mode { Replace, NewOnly };
    // what: the file's kind for messages, e.g. "PDFファイル".
    AtomicFile(QString path, Mode mode, QString what, DeviceFilter filter = {});
    ~AtomicFile(); // discards what was not committed
    bool open();
    QIODevice& device();
    bool commit();
    void discard();
    // Why the file could not be written, and what to do, for the user.
    QString failure() const;

private:
    QString cause() const;
    QString m_path, m_what;
    Mode m_mode;
    DeviceFilter m_filter;
    std::unique_ptr<QSaveFile> m_file;
    std::unique_ptr<QIODevice> m_filtered;
    bool m_reserved = false, m_committed = false;
    bool m_notAFile = false; // a folder, a named pipe or a device has the name
};

// The whole content in one atomic replacement.
bool writeFileAtomically(const QString& path, const QByteArray& content, const DeviceFilter& filter = {});

// A file name in `folder` that no file has yet: stem + suffix, then
// stem_2 + suffix, stem_3 …; empty when the folder cannot be written.
QString newFileName(const QString& folder, const QString& stem, const QString& suffix);

} // namespace platform
