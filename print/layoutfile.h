#pragma once
// Layouts as JSON files: one file per layout, every length's key naming its
// unit (xMm, widthMm, sizePt). A file is read whole or not at all: anything
// damaged, unknown or out of range is refused with its place in the file.
#include "common/result.h"
#include "print/layout.h"

#include <QByteArray>
#include <QString>

namespace print {

// The first line of every layout file's object: what it is and the
// version of its format.
inline constexpr const char* kLayoutFormat = "horutea-layout";
inline constexpr int kLayoutFormatVersion = 1;

// A layout from the bytes of its file; `fileName` names it in the reasons.
Result<Layout> layoutFromJson(const QByteArray& json, const QString& fileName = {});
// The file's bytes: indented JSON, the texts and marks in print order.
QByteArray layoutToJson(const Layout& layout);

// A layout file from disk: a regular file of at most a megabyte.
Result<Layout> readLayoutFile(const QString& path);
// Replaces the file only once the whole layout is written.
Result<void> writeLayoutFile(const QString& path, const Layout& layout);

} // namespace print
