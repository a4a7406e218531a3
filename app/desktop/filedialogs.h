#pragma once
// The program's file dialogs: Qt's own on every desktop, its list in
// Japanese whatever the system's language (dates, sizes, kinds), its
// columns as wide as their texts.
#include "csv/encoding.h"

#include <QString>
#include <optional>

class QFileDialog;
class QWidget;

namespace desktop {

// Sets a dialog up so; then exec() it (or show() it, as the tests do).
void prepareFileDialog(QFileDialog& dialog);

// The file chosen to open, or empty when cancelled.
QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& filters);
// The file chosen to save to, or empty; `chosenFilter` names the filter
// shown first and is set to the one chosen.
QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filters,
                     QString* chosenFilter);

// A CSV file to write and its encoding (UTF-8 with a BOM, or Shift_JIS/CP932),
// chosen in one dialog; ".csv" added to a name without a suffix. Nothing
// when cancelled.
struct CsvFileToWrite {
    QString path;
    csv::Encoding encoding;
};
std::optional<CsvFileToWrite> csvFileToWrite(QWidget* parent, const QString& caption, const QString& suggestedPath);

} // namespace desktop
