#include "app/desktop/messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

namespace desktop {

MsgAnswer QtMessageBox::show(QWidget* parent, const Message& message)
{
    QMessageBox box(parent);
    box.setText(message.text);
    box.setWindowTitle(message.caption.value_or(m_title));
    switch (message.icon) {
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    }
    if (message.buttons == MsgButtons::YesNo || message.buttons == MsgButtons::YesNoCancel) {
        const bool cancel = message.buttons == MsgButtons::YesNoCancel;
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No |
                               (cancel ? QMessageBox::Cancel : QMessageBox::NoButton));
        box.setDefaultButton(message.defaultButton == MsgAnswer::No       ? QMessageBox::No
                             : message.defaultButton == MsgAnswer::Cancel ? QMessageBox::Cancel
                                                                          : QMessageBox::Yes);
        box.setEscapeButton(cancel ? QMessageBox::Cancel : QMessageBox::No);
        box.button(QMessageBox::Yes)->setText(message.yesText.isEmpty() ? QStringLiteral("はい(&Y)") : message.yesText);
        box.button(QMessageBox::No)->setText(message.noText.isEmpty() ? QStringLiteral("いいえ(&N)") : message.noText);
        if (cancel)
            box.button(QMessageBox::Cancel)
                ->setText(message.cancelText.isEmpty() ? QStringLiteral("キャンセル") : message.cancelText);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int r = box.exec();
    if (message.buttons == MsgButtons::YesNo)
        return r == QMessageBox::Yes ? MsgAnswer::Yes : MsgAnswer::No;
    if (message.buttons == MsgButtons::YesNoCancel)
        return r == QMessageBox::Yes ? MsgAnswer::Yes : r == QMessageBox::No ? MsgAnswer::No : MsgAnswer::Cancel;
    return MsgAnswer::Ok;
}

void warn(MessageBox& box, QWidget* parent, const QString& text)
{
    box.show(parent, {text, MsgIcon::Warning, MsgButtons::Ok, MsgAnswer::Ok, std::nullopt});
}

void inform(MessageBox& box, QWidget* parent, const QString& text)
{
    box.show(parent, {text, MsgIcon::Information, MsgButtons::Ok, MsgAnswer::Ok, std::nullopt});
}

void beep() { QApplication::beep(); }

} // namespace desktop
