#pragma once
// The program without its window: `horutea --help`, `--version`,
// `--lookup CODE` and `--batch FILE …`. A function, so the tests run the
// command line in-process and check its exit codes and messages.
#include "cli/exit.h"
#include "platform/files.h"

#include <QStringList>
#include <QTextStream>
#include <optional>

namespace cli {

// Whether these arguments (without the program's name) ask for a run without
// the window.
bool wantsCommandLine(const QStringList& arguments);

// Runs the command; the application object (QGuiApplication, for fonts and
// printers) must exist.
int run(const QStringList& arguments, const platform::Folders& folders, QTextStream& out, QTextStream& err);

QString usage();
QString versionText();

} // namespace cli
