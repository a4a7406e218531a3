#pragma once
// The stack of pre-printed forms in the printer: its carrier and the number
// on the next form, typed or read by a barcode scanner that types; a new
// stack loaded (伝票を入れ替える) and a torn form skipped (1枚飛ばす).
#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace app {

class WaybillWindow;
struct Services;

class FormStackWindow final : public QWidget {
    Q_OBJECT
public:
    FormStackWindow(WaybillWindow& window, Services& services);

    QComboBox& carrierChoice() { return *m_carrier; }
    QLineEdit& numberField() { return *m_number; }
    // ご依頼主が印刷済み: the forms of this printer carry the sender.
    QCheckBox& senderPrePrintedChoice() { return *m_senderPrePrinted; }
    QString currentText() const;
    QString ruleText() const;

public slots:
    // 伝票を入れ替える: the carrier and number entered become the queue's
    // stack; false (and the reason told) when the number is refused.
    bool replaceStack();
    // 1枚飛ばす: asks, naming the next form's number; then that form is
    // recorded as spoiled and the stack moves on. False when not skipped.
    bool skipForm();
    // Shows the queue's stack as the settings file holds it now.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    WaybillWindow& m_window;
    Services& m_services;
    QLabel* m_queue;
    QComboBox* m_carrier;
    QLineEdit* m_number;
    QCheckBox* m_senderPrePrinted;
    QLabel* m_rule;
    QLabel* m_current;
    QPushButton* m_replace;
    QPushButton* m_skip;
};

// One line for the main window: the next form's carrier and number, or why
// there is none.
QString nextFormLine(Services& services);

// Opens the stack window, or brings the open one to the front.
FormStackWindow* showFormStack(WaybillWindow& window, Services& services);

} // namespace app
