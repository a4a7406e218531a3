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

} // namespace storage
