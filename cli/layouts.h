#pragma once
// Layouts on the command line: `horutea --layout-export NAME --out FILE`,
// and the layout `--layout NAME|FILE` names for a run.
#include "common/result.h"
#include "platform/files.h"
#include "print/layout.h"
#include "station/layoutstore.h"

#include <QTextStream>

namespace cli {

// Exit 0 with the file written; 2 when the layout is not there or the file
// cannot be written.
int runLayoutExport(const QString& name, const QString& path, const platform::Folders& folders, QTextStream& out,
                    QTextStream& err);

// Whether `--layout`'s value names a file rather than a saved layout: it
// ends in .json or holds a folder's separator.
bool namesLayoutFile(const QString& nameOrFile);
// The layout a run prints with: the file read whole, or the saved layout.
Result<print::Layout> layoutNamed(const QString& nameOrFile, const station::LayoutStore& store);

} // namespace cli
