#pragma once
// Opening a file the program reads, never waiting for it: a named pipe
// (FIFO) blocks whoever opens it until a writer comes, a device such as
// /dev/zero gives bytes without end, and a folder is no file at all. Only a
// regular file (or a link to one) is opened; anything else is refused with
// a message that says what the name is.
#include <QFile>
#include <QString>

namespace platform {

enum class FileKind {
    Missing,
    Regular,
    Folder,
    Special, // a named pipe, a device or a socket
    Unreadable,
};

// What is at `path`, asked of the file system without opening it.
FileKind kindOfFile(const QString& path);

// Opens `file` (its name set) for reading (`mode`) when it is a regular file; the
// kind found otherwise, the file left closed, and for Unreadable the
// system's words in `systemError`. Opening never blocks.
FileKind openRegularFile(QFile& file, QString* systemError = nullptr, QIODevice::OpenMode mode = QIODevice::ReadOnly);

// Why a file that should have been read was not, in Japanese: `what` is the
// file's role (「注文一覧」, 「設定ファイル」); empty for Regular.
QString notReadableText(FileKind kind, const QString& path, const QString& what, const QString& systemError = {});

// For a file another library reads by name (settings, the database, a
// PDF): the message when a folder, a named pipe or a device sits at `path`;
// empty when it is a regular file or there is none.
QString specialFileProblem(const QString& path, const QString& what);

} // namespace platform
