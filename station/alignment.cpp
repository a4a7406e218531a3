#include "station/alignment.h"

namespace station {

OffsetsForRun offsetsForRun(Station& station, const QString& queue, const QString& layoutName)
{
    // The files are read (and made when missing) as at the window's start.
    const adjust::OffsetStore::Loaded files = station.offsets().startUp();
    if (const auto saved = station.printerOffsets().load(queue, layoutName))
        return {*saved, {}};
    return {{files.horizontalTenthMm, files.verticalTenthMm}, files.problems};
}

Result<void> saveOffsets(Station& station, const QString& queue, const QString& layoutName,
                         adjust::SavedOffsets offsets, bool windowsOwn)
{
    if (windowsOwn && station.offsets().folder().isEmpty())
        (void)station.offsets().startUp(); // where the files are is decided at a run's start
    if (windowsOwn)
        if (auto saved = station.offsets().save(QString::number(offsets.horizontalTenthMm),
                                                QString::number(offsets.verticalTenthMm));
            !saved)
            return saved;
    return station.printerOffsets().save(queue, layoutName, offsets);
}

} // namespace station
