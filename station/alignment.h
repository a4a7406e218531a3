#pragma once
// The offsets of one printer and layout, with a window or without one:
// where a run that is not the window's finds them, and saving them as
// 「ズレ保存」 does, for that printer and layout too.
#include "adjust/printeroffsets.h"
#include "station/station.h"

namespace station {

struct OffsetsForRun {
    adjust::SavedOffsets offsets;
    // Said once: the offset files that could not be read (they gave 0).
    QString problems;
};

// Those saved for the queue and layout, else the offset files (the
// window's, which also stand for a PDF file).
OffsetsForRun offsetsForRun(Station& station, const QString& queue, const QString& layoutName);

// Saves offsets for the queue and layout; when they are the window's
// printer's (or a PDF file's), also into the two offset files, as
// 「ズレ保存」 does. On failure the message names what was not saved.
Result<void> saveOffsets(Station& station, const QString& queue, const QString& layoutName,
                         adjust::SavedOffsets offsets, bool windowsOwn);

} // namespace station
