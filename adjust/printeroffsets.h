#pragma once
// The offsets saved for one printer queue and one layout, in the program's
// settings: each printer feeds a kind of form its own way. The two offset
// files stay the window's own (the offsets it starts with); these are
// written beside them whenever offsets are saved for a known queue, and a
// run that names another queue than the window's takes them from here.
#include "common/result.h"

#include <QString>
#include <optional>

namespace adjust {

struct SavedOffsets {
    int horizontalTenthMm = 0;
    int verticalTenthMm = 0;
    bool operator==(const SavedOffsets&) const = default;
};

class OffsetsByPrinter {
public:
    explicit OffsetsByPrinter(QString settingsFile) : m_settingsFile(std::move(settingsFile)) {}

    // Nothing for a PDF file (no queue), nothing saved, or a record that is
    // not two whole numbers within the spin range.
    std::optional<SavedOffsets> load(const QString& queue, const QString& layoutName) const;
    // Does nothing for a PDF file (no queue).
    Result<void> save(const QString& queue, const QString& layoutName, SavedOffsets offsets) const;

private:
    QString m_settingsFile;
};

} // namespace adjust
