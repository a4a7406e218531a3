#include "app/widgets/entryfield.h"

#include "app/desktop/ime.h"
#include "entry/textrules.h"

#include <QFontMetricsF>
#include <QInputMethodEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

// Applies the field's rules to every change; a change that would pass the
// limit is refused, so typing stops there.
class EntryRules final : public QValidator {
public:
    explicit EntryRules(EntryField& field) : QValidator(&field), m_field(field) {}

    State validate(QString& input, int& pos) const override
    {
        const int before = input.size();
        QString text = entry::flattenLineBreaks(input);
        if (m_field.kind() != EntryField::Kind::Text)
            text = entry::asciiNumerals(text);
        input = text;
        pos = std::min<int>(pos + int(input.size()) - before, int(input.size()));
        const int limit = m_field.characterLimit();
        if (limit > 0) {
            const bool fits = m_field.kind() == EntryField::Kind::PostalCode ? entry::fitsPostalCodeField(input, limit)
                                                                             : entry::characterCount(input) <= limit;
            if (!fits)
                return Invalid;
        }
        return Acceptable;
    }

private:
    EntryField& m_field;
};

} // namespace

namespace {

bool isKana(char16_t c)
{
    return (c >= 0x3041 && c <= 0x3096) || (c >= 0x30A1 && c <= 0x30FA) || c == 0x30FC || c == 0x309D || c == 0x309E;
}
bool isReadingText(const QString& text)
{
    return !text.isEmpty() &&
           std::all_of(text.cbegin(), text.cend(), [](QChar c) { return isKana(c.unicode()) || c.isSpace(); });
}

} // namespace

EntryField::EntryField(Kind kind, QWidget* parent) : QLineEdit(parent), m_kind(kind)
{
    setValidator(new EntryRules(*this));
    // An emptied field starts its reading afresh.
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) {
        if (text.isEmpty())
            m_conversions.clear();
    });
}

void EntryField::inputMethodEvent(QInputMethodEvent* event)
{
    // The kana of a composition is seen before the user converts it; what
    // is committed comes after, as the kanji chosen.
    const QString preedit = event->preeditString();
    if (isReadingText(preedit))
        m_composedKana = preedit;
    if (!event->commitString().isEmpty()) {
        const QString committed = event->commitString();
        m_conversions.append({committed, isReadingText(committed) ? committed : m_composedKana});
        m_composedKana.clear();
    }
    QLineEdit::inputMethodEvent(event);
}

QString EntryField::readingFromInputMethod() const
{
    // The text read from its start: each conversion where it stands in
    // turn, kana and blanks as themselves; anything else is not known.
    const QString text = this->text();
    QString reading;
    qsizetype at = 0;
    qsizetype next = 0;
    while (at < text.size()) {
        if (next < m_conversions.size() && !m_conversions[next].committed.isEmpty() &&
            text.mid(at).startsWith(m_conversions[next].committed)) {
            if (m_conversions[next].kana.isEmpty())
                return {};
            reading += m_conversions[next].kana;
            at += m_conversions[next].committed.size();
            ++next;
            continue;
        }
        const QChar c = text.at(at);
        if (!isKana(c.unicode()) && !c.isSpace())
            return {};
        reading += c;
        ++at;
    }
    return reading.trimmed();
}

void EntryField::setCharacterLimit(int limit) { m_limit = limit; }

void EntryField::setFieldText(const QString& text)
{
    QString rules = entry::flattenLineBreaks(text);
    if (m_kind != Kind::Text)
        rules = entry::asciiNumerals(rules);
    if (m_limit > 0 && !(m_kind == Kind::PostalCode && entry::fitsPostalCodeField(rules, m_limit)))
        rules = entry::leftCharacters(rules, m_limit);
    setText(rules);
}

bool EntryField::showsWhole(const QString& text) const
{
    QStyleOptionFrame option;
    initStyleOption(&option);
    // Qt keeps 2 pixels on either side of the text inside the contents, and
    // a pixel for the cursor after it.
    constexpr int kLineEditMarginPx = 2;
    const QMargins margins = textMargins();
    const int room = style()->subElementRect(QStyle::SE_LineEditContents, &option, this).width() - margins.left() -
                     margins.right() - 2 * kLineEditMarginPx;
    return std::ceil(QFontMetricsF(font()).horizontalAdvance(text)) + 1 <= room;
}

void EntryField::setFontWhenShown(const QFont& font)
{
    if (isVisible())
        setFont(font);
    else
        m_fontWhenShown = font;
}

void EntryField::showEvent(QShowEvent* event)
{
    if (m_fontWhenShown) {
        setFont(*m_fontWhenShown);
        m_fontWhenShown.reset();
    }
    QLineEdit::showEvent(event);
}

QVariant EntryField::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // The input method asks the focused field whether it takes composed
    // text; a field whose mode is off must say no, or the user composes
    // full-width digits into it.
    if (query == Qt::ImEnabled && desktop::imeMode(this) == desktop::ImeMode::Disabled)
        return false;
    return QLineEdit::inputMethodQuery(query);
}

} // namespace app
