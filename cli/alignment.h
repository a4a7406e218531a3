#pragma once
// `horutea --alignment-sheet` prints the alignment sheet with the offsets
// saved for the printer; `horutea --alignment X Y [X2 Y2]` takes what was
// read on it and saves the offsets that put the print on the form.
#include "adjust/alignment.h"
#include "platform/files.h"

#include <QString>
#include <QTextStream>

namespace cli {

// The printer (empty: the window's), the PDF file instead of it, and the
// layout named or read from a file (empty: the printer's), as for --batch.
struct AlignmentRequest {
    QString queue;
    QString pdfPath;
    QString layout;
};

// Exit 0 when the sheet went to the printer or file, 2 when it could not.
int runAlignmentSheet(const AlignmentRequest& request, const platform::Folders& folders, QTextStream& out,
                      QTextStream& err);

// Exit 0 when the new offsets are saved (and said on out, with the
// difference between the places), 2 when they could not be.
int runAlignment(const adjust::AlignmentReading& reading, const AlignmentRequest& request,
                 const platform::Folders& folders, QTextStream& out, QTextStream& err);

} // namespace cli
