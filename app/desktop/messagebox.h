#pragma once
// The program's modal message boxes, behind a seam so tests can answer them.
#include <QString>
#include <optional>

class QWidget;

namespace desktop {

enum class MsgIcon { Information, Warning, Question, Critical };
enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };

struct Message {
    QString text;
    MsgIcon icon = MsgIcon::Information;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::Ok;
    std::optional<QString> caption; // none: the application's title
    // With YesNo and YesNoCancel, the buttons' own words where はい/いいえ
    // would not say what they do (このまま印刷／戻る); empty: はい and いいえ.
    // YesNoCancel is for two ways on and a way back (キャンセル, or
    // cancelText), which Escape and closing the box also take.
    QString yesText;
    QString noText;
    QString cancelText;
};

class MessageBox {
public:
    virtual ~MessageBox() = default;
    virtual MsgAnswer show(QWidget* parent, const Message& message) = 0;
};

// QMessageBox, modal; a message without caption shows applicationTitle.
class QtMessageBox final : public MessageBox {
public:
    explicit QtMessageBox(QString applicationTitle) : m_title(std::move(applicationTitle)) {}
    MsgAnswer show(QWidget* parent, const Message& message) override;

private:
    QString m_title;
};

// One-line calls for the common cases: a warning or a notice with OK only
// and the application's title.
void warn(MessageBox& box, QWidget* parent, const QString& text);
void inform(MessageBox& box, QWidget* parent, const QString& text);

// Platform beep for input the program refuses without a message.
void beep();

} // namespace desktop
