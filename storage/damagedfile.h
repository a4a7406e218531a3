#pragma once
// A damaged SQLite file is never deleted: it is moved aside beside itself
// under a name of its own, with its log and index, so that a fresh file can
// be started and the old one looked at or mended later.
#include <QString>
#include <optional>

namespace storage {

// The new name (FILE.damaged-yyyyMMdd-HHmmss, -2, -3… when taken), or
// nothing when the file could not be moved.
std::optional<QString> setDamagedFileAside(const QString& filePath);

// A copy of a damaged file, with its log, to read what can still be read;
// the damaged file stays as it is. False when the copy cannot be made.
bool copyDamagedFile(const QString& damagedPath, const QString& copyPath);
// Gives such a copy the header SQLite writes, for a file whose first 100
// bytes no longer read: the page size kept where it still reads (else
// SQLite's default), the size of the file and its free pages left for
// SQLite to find. The pages after the header are left as they are.
bool writeFreshHeader(const QString& copyPath);

} // namespace storage
