#pragma once
// Where the program's own files are. Installed, they sit in the system's
// folders relative to the program: /usr/bin/horutea finds its data in
// /usr/share/horutea and its loadable modules in /usr/lib/<arch>/horutea,
// wherever the tree was unpacked. Run from its build folder, the program
// takes the data from the source tree it was built from.
#include <QString>

namespace platform {

// The installed data folder for a program in programFolder (…/bin gives
// …/share/horutea).
QString installedDataFolder(const QString& programFolder);
// The installed folder of the program's loadable modules (…/lib/<arch>/horutea).
QString installedModuleFolder(const QString& programFolder);

// True when the program in programFolder runs from an installation: its data
// folder is there. Such a program's folder belongs to the package manager and
// keeps no files of the user's, even when root could write into it.
bool runsInstalled(const QString& programFolder);

// A read-only data file by its path under the data folder
// ("postal/jp-postal-codes.bin"): the installed one when it exists, else the
// one under sourceDataFolder (empty: none) when it exists, else the installed
// path, so that a message names where the file belongs.
QString dataFilePath(const QString& relativePath, const QString& programFolder, const QString& sourceDataFolder);
// The same for the running program and the source tree this build knows, if
// any. Without an application object, the source tree's file.
QString dataFilePath(const QString& relativePath);

} // namespace platform
