#pragma once
// The print shift: reading what the user typed, and the two offset files
// that keep it between runs.
#include "common/result.h"
#include "platform/files.h"
#include "print/printjob.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace adjust {

inline const QString kHorizontalFileName = QStringLiteral("vanq_x01.txt");
inline const QString kVerticalFileName = QStringLiteral("vanq_y01.txt");

// The spin controls' range and step, in 0.1 mm.
constexpr int kOffsetMin = -1000;
constexpr int kOffsetMax = 1000;
constexpr int kOffsetStep = 10;
// A real offset file is a few bytes; anything longer is not an offset.
constexpr qint64 kMaxOffsetFileBytes = 4096;

enum class Axis { Horizontal, Vertical };
QString axisCaption(Axis axis); // 左右のズレ, 上下のズレ

// What an offset that cannot be read stops: a print, or the preview's page.
enum class OffsetUse { Print, Preview };

// An offset typed into its box, as the prints take it: a number within the
// spin range, fractions allowed. Otherwise the message says which offset is
// wrong and why, and what was stopped.
Result<float> offsetForPrint(const QString& text, Axis axis, OffsetUse use = OffsetUse::Print);
Result<print::PrintOffsets> offsetsForPrint(const QString& horizontalText, const QString& verticalText,
                                            OffsetUse use = OffsetUse::Print);

// Why save must refuse this text, or nothing: a save keeps only what the
// next start reads back unchanged, a whole number within the spin range.
std::optional<QString> refusalToSave(const QString& text, Axis axis);

// An offset file's bytes read by the start-up rules: the lines joined
// without their ends, read as a number, rounded half to even and kept within
// the spin range; an empty file is 0.
struct OffsetFromFile {
    int tenthMm = 0;
    QString problem; // empty, or why the file gave 0 or a clamped value
};
OffsetFromFile offsetFromFile(const platform::FileRead& file);

// The two offset files. Where they live is decided once at start-up and kept
// for the whole run: beside the program, or in the per-user data folder when
// the program's folder cannot be written or the per-user files are the ones
// saved last. Saving goes only there, so the next start reads what was saved.
class OffsetStore {
public:
    explicit OffsetStore(const platform::Folders& folders, platform::DeviceFilter saveFilter = {})
        : m_folders(folders), m_saveFilter(std::move(saveFilter))
    {}

    struct Loaded {
        int horizontalTenthMm = 0;
        int verticalTenthMm = 0;
        // Said once at start-up: the offsets that could not be read.
        QString problems;
    };
    // Decides the folder, creates missing files empty, reads both.
    Loaded startUp();

    QString folder() const { return m_folder; }
    QString horizontalPath() const { return platform::joinPath(m_folder, kHorizontalFileName); }
    QString verticalPath() const { return platform::joinPath(m_folder, kVerticalFileName); }

    // Both texts unchanged, each followed by CR LF. Refuses texts that would
    // not come back as saved; on any failure the message names the offsets
    // not saved, and earlier files stay as they were.
    Result<void> save(const QString& horizontalText, const QString& verticalText) const;

private:
    QString chooseFolder() const;
    const platform::Folders& m_folders;
    platform::DeviceFilter m_saveFilter;
    QString m_folder;
};

} // namespace adjust
