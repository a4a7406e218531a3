#pragma once
// 「位置合わせ印刷」: the alignment sheet printed at the window's offsets,
// and what was read on it typed in; the offsets it gives are shown as they
// are typed, with the difference between the sheet's two places.
#include "adjust/alignment.h"

#include <QDialog>
#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class WaybillWindow;
struct Services;

class AlignmentDialog final : public QDialog {
    Q_OBJECT
public:
    AlignmentDialog(WaybillWindow& window, Services& services, QWidget* parent = nullptr);

    QPushButton& printButton() { return *m_print; }
    // ①'s left-right and up-down, then ②'s.
    QLineEdit& readingField(int index) { return *m_reading[size_t(index)]; }
    QPushButton& applyButton() { return *m_apply; }
    QString resultText() const;

public slots:
    // Prints the sheet at the window's offsets; told as 印刷 tells.
    void printSheet();

signals:
    // 「ズレを直す」: the offsets the window takes and saves.
    void offsetsRead(const adjust::AlignmentOutcome& outcome);
    // 「用紙レイアウト…」: where the sheet's places (and every text) come from.
    void layoutsAsked();

private:
    void showOutcome();
    std::optional<adjust::AlignmentReading> reading() const;

    WaybillWindow& m_window;
    Services& m_services;
    // The offsets the sheet was printed with in this dialog; else the window's.
    std::optional<print::PrintOffsets> m_sheetOffsets;
    std::optional<adjust::AlignmentOutcome> m_outcome;
    QLabel* m_offsets;
    QPushButton* m_print;
    std::array<QLineEdit*, 4> m_reading{};
    QLabel* m_result;
    QPushButton* m_apply;
};

} // namespace app
