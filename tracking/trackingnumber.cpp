#include "tracking/trackingnumber.h"

namespace tracking {

namespace {

// Full-width ASCII (！ to ～) as its half-width character; U+3000 as a blank.
char32_t halfWidth(char32_t c)
{
    if (c >= 0xFF01 && c <= 0xFF5E)
        return c - 0xFEE0;
    if (c == 0x3000)
        return U' ';
    return c;
}

// What people and input methods type between the groups of a number.
bool isSeparator(char32_t c)
{
    switch (c) {
    case U'-':
    case U'\u2010': // ‐ hyphen
    case U'\u2011': // non-breaking hyphen
    case U'\u2012': // figure dash
    case U'\u2013': // – en dash
    case U'\u2014': // — em dash
    case U'\u2015': // ― horizontal bar
    case U'\u2212': // − minus sign
    case U'\u30FC': // ー long vowel mark, what a kana input method gives for -
    case U'\uFF70': // ｰ half-width long vowel mark
    case U'\uFE63': // small hyphen-minus
        return true;
    default:
        return QChar::isSpace(c);
    }
}

// The start and stop characters of an NW-7 (Codabar) symbol: A, B, C or D
// (python-barcode codabar.py; tetsutalow.github.io barcode-nw7/README.md:
// 「NW-7はスタートストップキャラクタにA-Dの4通り」).
bool isCodabarStartStop(char32_t c) { return (c >= U'A' && c <= U'D') || (c >= U'a' && c <= U'd'); }

QString textOf(char32_t c) { return QString::fromUcs4(&c, 1); }

// The decimal digits plus one, same width; empty when they are all 9.
QString incremented(QString digits)
{
    for (qsizetype i = digits.size() - 1; i >= 0; --i) {
        if (digits[i] != QLatin1Char('9')) {
            digits[i] = QChar(digits[i].unicode() + 1);
            return digits;
        }
        digits[i] = QLatin1Char('0');
    }
    return {};
}

} // namespace

int serialMod7CheckDigit(qint64 serial) { return int(serial % 7); }

Result<TrackingNumber> TrackingNumber::read(Carrier carrier, const QString& typed)
{
    QList<char32_t> original;
    for (char32_t c : typed.toUcs4())
        original << c;
    // Blanks, an Enter or a Tab around the number, then the barcode's start
    // and stop letters; separators left inside are skipped below.
    qsizetype first = 0, last = original.size();
    while (first < last && isSeparator(halfWidth(original[first])))
        ++first;
    while (last > first && isSeparator(halfWidth(original[last - 1])))
        --last;
    const CarrierRow& row = carrierRow(carrier);
    if (row.digitsOnly && first < last && isCodabarStartStop(halfWidth(original[first])))
        ++first;
    if (row.digitsOnly && last > first && isCodabarStartStop(halfWidth(original[last - 1])))
        --last;

    QString digits;
    for (qsizetype i = first; i < last; ++i) {
        const char32_t c = halfWidth(original[i]);
        if (c >= U'0' && c <= U'9')
            digits += QChar(char16_t(c));
        else if (!isSeparator(c))
            return fail(
                QStringLiteral("伝票番号に数字でない文字「%1」があります。数字とハイフンだけで入力してください。%2")
                    .arg(textOf(original[i]),
                         !row.digitsOnly && isCodabarStartStop(c) && (i == first || i == last - 1)
                             ? QStringLiteral("バーコードリーダーが番号の前後に付けた文字なら、その文字を消してください"
                                              "（%1の番号は数字だけとは確かめられていないため、自動では外しません）。")
                                   .arg(carrierName(carrier))
                             : QString()));
    }
    if (digits.isEmpty())
        return fail(QStringLiteral("伝票番号が入っていません。"));

    const QString name = carrierName(carrier);
    if (row.checkRule == CheckRule::None) {
        if (digits.size() > kMaxUncheckedDigits)
            return fail(QStringLiteral("伝票番号が長すぎます（%1桁）。伝票に印刷された番号だけを入力してください。")
                            .arg(digits.size()));
        return TrackingNumber(carrier, digits, false);
    }
    if (digits.size() != row.digitCount)
        return fail(
            QStringLiteral(
                "%1の伝票番号は%2桁ですが、入力された番号は%3桁です。"
                "番号を伝票と見比べてください（桁数の違う伝票なら、運送会社に「その他」を選ぶと確かめずに受け付けます）。")
                .arg(name)
                .arg(row.digitCount)
                .arg(digits.size()));
    switch (row.checkRule) {
    case CheckRule::SerialMod7: {
        const int expected = serialMod7CheckDigit(digits.first(digits.size() - 1).toLongLong());
        if (digits.back().digitValue() != expected) {
            const TrackingNumber shown(carrier, digits, false);
            return fail(QStringLiteral("%1の伝票番号 %2 はチェック数字が合いません（最後の1桁は %3 のはずです）。"
                                       "番号を伝票と見比べてください。")
                            .arg(name, shown.display())
                            .arg(expected));
        }
        break;
    }
    case CheckRule::None:
        break;
    }
    return TrackingNumber(carrier, digits, true);
}

QString TrackingNumber::display() const
{
    if (m_digits.size() == 12)
        return m_digits.first(4) + QLatin1Char('-') + m_digits.sliced(4, 4) + QLatin1Char('-') + m_digits.sliced(8);
    return m_digits;
}

QString TrackingNumber::uncheckedNote() const
{
    if (m_verified)
        return {};
    if (m_carrier == Carrier::Other)
        return QStringLiteral(
                   "伝票番号 %1 は確かめずに受け付けました（運送会社「その他」）。伝票に印刷された番号と見比べてください。")
            .arg(display());
    return QStringLiteral(
               "%1の伝票番号は桁数とチェック数字の決まりが確かめられていないため、%2 は確かめずに受け付けました。"
               "伝票に印刷された番号と見比べてください。")
        .arg(carrierName(m_carrier), display());
}

Result<TrackingNumber> TrackingNumber::next() const
{
    const CarrierRow& row = carrierRow(m_carrier);
    switch (row.checkRule) {
    case CheckRule::SerialMod7: {
        const QString serial = incremented(m_digits.first(m_digits.size() - 1));
        if (serial.isEmpty())
            break;
        return TrackingNumber(m_carrier, serial + QString::number(serialMod7CheckDigit(serial.toLongLong())),
                              m_verified);
    }
    case CheckRule::None: {
        const QString following = incremented(m_digits);
        if (following.isEmpty())
            break;
        return TrackingNumber(m_carrier, following, m_verified);
    }
    }
    return fail(QStringLiteral("伝票番号 %1 の次の番号は桁があふれるため出せません。伝票を入れ替えてください。")
                    .arg(display()));
}

} // namespace tracking
