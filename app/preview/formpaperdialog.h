#pragma once
// Setting the continuous form's size once: width and length in millimetres
// or inches (fractions like 4 1/2 in allowed), with a warning, as it is
// typed, when the length is not one the printer feeds exactly.
#include "paper/formpaper.h"

#include <QDialog>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class FormPaperDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FormPaperDialog(std::optional<paper::FormPaper> current, QWidget* parent = nullptr);

    // After OK: the size set, or nothing for the printer's own paper.
    std::optional<paper::FormPaper> chosen() const { return m_chosen; }
    QLineEdit& widthField() const { return *m_width; }
    QLineEdit& lengthField() const { return *m_length; }
    QString verdictText() const;

private:
    void check();

    QLineEdit* m_width;
    QLineEdit* m_length;
    QLabel* m_verdict;
    QPushButton* m_ok;
    std::optional<paper::FormPaper> m_chosen;
};

// "4.25 in is fed as 4 1/3 in: every following form 2.1 mm lower …", or
// empty when the length feeds exactly.
QString feedWarning(double lengthMm);

} // namespace app
