#pragma once
// The window's text field: a line edit whose text keeps to the rules of
// entry/textrules.h whichever way it arrives, whose length limit counts
// characters, and which, where the input method is off, tells the input
// method so when asked (a widget attribute alone does not reach it).
#include <QLineEdit>
#include <optional>

namespace app {

class EntryField final : public QLineEdit {
    Q_OBJECT
public:
    enum class Kind { Text, Numbers, PostalCode };
    explicit EntryField(Kind kind, QWidget* parent = nullptr);

    // 0: no limit. A postal code field takes one more for a hyphen after
    // its third digit.
    void setCharacterLimit(int limit);
    int characterLimit() const { return m_limit; }
    Kind kind() const { return m_kind; }
    // A text written by the program, kept to the limit as typing keeps it.
    void setFieldText(const QString& text);
    // Whether `text` shows whole, with room for the cursor, in the box's
    // size and font as they are.
    bool showsWhole(const QString& text) const;

    // A font the box takes when it is first shown, and keeps; until then it
    // has its own. A box that starts hidden then costs the window's first
    // paint nothing for a face no shown control draws with.
    void setFontWhenShown(const QFont& font);

    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

    // The reading of the text as the input method converted it: the kana
    // composed before each conversion, in the text's order, with kana and
    // blanks typed as they are. Empty where it cannot be known (a part
    // pasted, typed otherwise, or the text set by the program).
    QString readingFromInputMethod() const;

protected:
    void showEvent(QShowEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    Kind m_kind;
    int m_limit = 0;
    std::optional<QFont> m_fontWhenShown;
    // What the input method committed, each with the kana composed for it.
    struct Conversion {
        QString committed;
        QString kana;
    };
    QList<Conversion> m_conversions;
    QString m_composedKana; // the last composition that was kana alone
};

} // namespace app
