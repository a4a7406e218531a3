#include "orders/values.h"

#include "entry/textrules.h"

#include <QRegularExpression>
#include <algorithm>
#include <optional>

namespace orders {

namespace {

bool isAsciiDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool isKanjiNumeral(QChar c) { return QStringView(u"〇一二三四五六七八九十百千").contains(c); }

bool isSeparator(QChar c) { return c == u' ' || c == u'-'; }

QString withoutLeadingSeparators(QString text)
{
    qsizetype i = 0;
    while (i < text.size() && isSeparator(text[i]))
        ++i;
    return text.mid(i);
}

// ISO 3166-2:JP (the JIS X 0401 prefecture numbers), JP-01 to JP-47 in order.
constexpr const char16_t* kPrefecturesByCode[] = {
    u"北海道", u"青森県", u"岩手県", u"宮城県",   u"秋田県", u"山形県",   u"福島県", u"茨城県", u"栃木県", u"群馬県",
    u"埼玉県", u"千葉県", u"東京都", u"神奈川県", u"新潟県", u"富山県",   u"石川県", u"福井県", u"山梨県", u"長野県",
    u"岐阜県", u"静岡県", u"愛知県", u"三重県",   u"滋賀県", u"京都府",   u"大阪府", u"兵庫県", u"奈良県", u"和歌山県",
    u"鳥取県", u"島根県", u"岡山県", u"広島県",   u"山口県", u"徳島県",   u"香川県", u"愛媛県", u"高知県", u"福岡県",
    u"佐賀県", u"長崎県", u"熊本県", u"大分県",   u"宮崎県", u"鹿児島県", u"沖縄県",
};

// --- The house number in an address -------------------------------------

// Words that end a number of an address (1丁目, 2番地, 3号) and marks that
// join two numbers (1-2, 3の4, 北1条西2丁目). A word may close the house
// number; a mark belongs to it only when another number follows.
struct Joiner {
    const char16_t* text;
    bool closes;
};
constexpr Joiner kJoiners[] = {
    {u"丁目", true}, {u"番地", true}, {u"号室", true}, {u"番", true},  {u"号", true},  {u"丁", true},
    {u"条", true},   {u"の", false},  {u"東", false},  {u"西", false}, {u"南", false}, {u"北", false},
};

// Length of the joiner at `at`, 0 when none; `closes` says which kind.
qsizetype joinerAt(const QString& text, qsizetype at, bool& closes)
{
    if (at >= text.size())
        return 0;
    if (entry::isHyphenKey(text[at].unicode())) {
        closes = false;
        return 1;
    }
    for (const Joiner& j : kJoiners) {
        const QStringView word(j.text);
        if (QStringView(text).mid(at, word.size()) == word) {
            closes = j.closes;
            return word.size();
        }
    }
    return 0;
}

struct Span {
    qsizetype start = -1;
    qsizetype end = -1;
    bool found() const { return start >= 0; }
};

// The first number of the address with its words and marks: the house
// number (番地), or the 丁目 it starts with. 六本木 or 四日市 are names, not
// numbers: kanji numerals count only before 丁目.
Span houseNumber(const QString& text)
{
    const qsizetype n = text.size();
    for (qsizetype start = 0; start < n; ++start) {
        qsizetype p = start;
        if (isKanjiNumeral(text[start])) {
            while (p < n && isKanjiNumeral(text[p]))
                ++p;
            if (QStringView(text).mid(p, 2) != u"丁目")
                continue;
        } else if (!entry::isDigit(text[start])) {
            continue;
        }
        for (;;) {
            while (p < n && entry::isDigit(text[p]))
                ++p;
            qsizetype q = p, end = p;
            bool onlyClosing = true, closes = false;
            while (const qsizetype length = joinerAt(text, q, closes)) {
                q += length;
                onlyClosing = onlyClosing && closes;
                if (onlyClosing)
                    end = q;
            }
            if (q > p && q < n && entry::isDigit(text[q])) {
                p = q;
                continue;
            }
            return {start, end};
        }
    }
    return {};
}

bool insideNumber(const QString& text, qsizetype at)
{
    if (at <= 0 || at >= text.size())
        return false;
    const QChar before = text[at - 1], after = text[at];
    return (entry::isDigit(before) && (entry::isDigit(after) || entry::isHyphenKey(after.unicode()))) ||
           (entry::isHyphenKey(before.unicode()) && entry::isDigit(after));
}

AddressLines cutAt(const QString& text, qsizetype at) { return {text.left(at).trimmed(), text.mid(at).trimmed()}; }

} // namespace

bool allAsciiDigits(QStringView text) { return !text.isEmpty() && std::all_of(text.begin(), text.end(), isAsciiDigit); }

QString cleanCell(const QString& cell)
{
    QString t = cell.trimmed();
    if (t.size() >= 3 && t.startsWith(QLatin1String("=\"")) && t.endsWith(u'"')) {
        t = t.mid(2, t.size() - 3);
        t.replace(QLatin1String("\"\""), QLatin1String("\""));
        t = t.trimmed();
    }
    if (t.startsWith(u'\''))
        t = t.mid(1).trimmed();
    return t;
}

QString joinName(const QString& familyName, const QString& givenName)
{
    QStringList parts;
    for (const QString& part : {familyName, givenName})
        if (const QString c = cleanCell(part); !c.isEmpty())
            parts << c;
    return parts.join(QLatin1Char(' '));
}

QString joinPostalCode(const QString& whole, const QString& first, const QString& second)
{
    const QString w = cleanCell(whole);
    if (!w.isEmpty())
        return w;
    QStringList parts;
    for (const QString& part : {first, second})
        if (const QString c = cleanCell(part); !c.isEmpty())
            parts << c;
    return parts.join(QLatin1Char('-'));
}

QString joinTelephone(const QStringList& parts)
{
    QStringList present;
    for (const QString& part : parts)
        if (const QString c = cleanCell(part); !c.isEmpty())
            present << c;
    return domesticTelephone(present.join(QLatin1Char('-')));
}

QString domesticTelephone(const QString& text)
{
    const QString given = cleanCell(text);
    if (given.isEmpty())
        return given;
    const QString f = entry::foldedNumberText(given);
    // 81 without a plus only where nothing else can be meant: followed by a
    // separator, or 81 and 9 or 10 digits (a domestic number starts with 0,
    // one that lost its 0 has 9 or 10 digits in all).
    static const QRegularExpression kBare81(QStringLiteral("^81[0-9]{9,10}$"));
    QString rest;
    if (f.startsWith(QLatin1String("+81")))
        rest = f.mid(3);
    else if (f.startsWith(QLatin1String("81")) &&
             ((f.size() > 2 && (isSeparator(f[2]) || f[2] == u'(')) || kBare81.match(f).hasMatch()))
        rest = f.mid(2);
    else
        return given;
    rest = withoutLeadingSeparators(rest);
    if (rest.startsWith(QLatin1String("(0)")))
        rest = withoutLeadingSeparators(rest.mid(3));
    if (!rest.startsWith(u'0'))
        rest.prepend(QLatin1Char('0'));
    static const QRegularExpression kDomestic(QStringLiteral("^[0-9][0-9 -]*[0-9]$"));
    const bool plainlyDomestic =
        rest.size() >= 2 && isAsciiDigit(rest.front()) && isAsciiDigit(rest.back()) &&
        std::all_of(rest.begin(), rest.end(), [](QChar c) { return isAsciiDigit(c) || isSeparator(c); });
    if (!plainlyDomestic && !kDomestic.match(rest).hasMatch())
        return given;
    QString out;
    int digits = 0;
    for (QChar c : rest) {
        if (isSeparator(c)) {
            if (!out.endsWith(u'-'))
                out += QLatin1Char('-');
        } else {
            out += c;
            ++digits;
        }
    }
    return digits == 10 || digits == 11 ? out : given;
}

QString prefectureOfCode(const QString& text)
{
    // A code is five characters, JP-nn, mostly in capitals.
    const QString code = text.trimmed();
    if (code.size() != 5)
        return text;
    int number = 0;
    if (code.startsWith(QLatin1String("JP-")) && allAsciiDigits(QStringView(code).mid(3))) {
        number = QStringView(code).mid(3).toInt();
    } else {
        static const QRegularExpression kCode(QStringLiteral("^JP-([0-9]{2})$"),
                                              QRegularExpression::CaseInsensitiveOption);
        const auto m = kCode.match(code);
        if (!m.hasMatch())
            return text;
        number = m.captured(1).toInt();
    }
    if (number < 1 || number > int(std::size(kPrefecturesByCode)))
        return text;
    return QString::fromUtf16(kPrefecturesByCode[number - 1]);
}

QString joinAddress(const QStringList& parts, QList<qsizetype>* breaks)
{
    QStringList kept;
    for (const QString& part : parts) {
        const QString c = cleanCell(part);
        if (c.isEmpty())
            continue;
        if (!kept.isEmpty() && c.startsWith(kept.join(QString())))
            kept.clear(); // the part repeats all before it
        else if (!kept.isEmpty() && c.startsWith(kept.last()))
            kept.removeLast(); // it repeats the part before it
        kept << c;
    }
    if (breaks) {
        breaks->clear();
        qsizetype at = 0;
        for (qsizetype i = 0; i + 1 < kept.size(); ++i)
            breaks->append(at += kept[i].size());
    }
    return kept.join(QString());
}

AddressLines splitAddress(const QString& address, const LineFits& fitsLine1, const QList<qsizetype>& breaks)
{
    const QString& t = address;
    if (t.trimmed().isEmpty())
        return {};
    if (!fitsLine1 || fitsLine1(t.trimmed()))
        return {t.trimmed(), {}};

    const Span number = houseNumber(t);
    QList<qsizetype> cuts;
    const auto consider = [&](qsizetype at) {
        if (at <= 0 || at >= t.size() || insideNumber(t, at) || cuts.contains(at))
            return;
        const AddressLines lines = cutAt(t, at);
        if (!lines.line1.isEmpty() && !lines.line2.isEmpty())
            cuts << at;
    };
    for (qsizetype i = 0; i < t.size(); ++i)
        if (t[i].isSpace())
            consider(i);
    for (qsizetype at : breaks)
        consider(at);
    if (number.found()) {
        consider(number.start);
        consider(number.end);
    }
    std::sort(cuts.begin(), cuts.end());
    if (cuts.isEmpty())
        return {t.trimmed(), {}};

    const auto fits = [&](qsizetype at) { return fitsLine1(cutAt(t, at).line1); };
    if (number.found()) {
        // After the house number, the building on line 2.
        if (cuts.contains(number.end) && fits(number.end))
            return cutAt(t, number.end);
        // Before it: the longest line 1 that fits.
        for (auto it = cuts.crbegin(); it != cuts.crend(); ++it)
            if (*it <= number.start && fits(*it))
                return cutAt(t, *it);
        if (cuts.contains(number.end))
            return cutAt(t, number.end);
        if (cuts.contains(number.start))
            return cutAt(t, number.start);
        return cutAt(t, cuts.last());
    }
    for (auto it = cuts.crbegin(); it != cuts.crend(); ++it)
        if (fits(*it))
            return cutAt(t, *it);
    return cutAt(t, cuts.last());
}

QString plainNumber(const QString& text)
{
    const QString given = cleanCell(text);
    if (given.isEmpty())
        return given;
    const QString ascii = entry::asciiNumerals(given);
    if (allAsciiDigits(ascii))
        return ascii;
    static const QRegularExpression kAmount(QStringLiteral("^([0-9]{1,3}(?:,[0-9]{3})+|[0-9]+)(?:\\.0+)?$"));
    const auto m = kAmount.match(ascii);
    if (!m.hasMatch())
        return given;
    return m.captured(1).remove(QLatin1Char(','));
}

QString moreItemsText(int count) { return QStringLiteral("ほか %1 点").arg(count); }

namespace {

// Whole numbers up to nine digits: their products and sums stay far inside
// 64 bits.
std::optional<qint64> wholeNumber(const QString& text)
{
    static const QRegularExpression kWhole(QStringLiteral("^[0-9]{1,9}$"));
    if (!(text.size() <= 9 && allAsciiDigits(text)) && !kWhole.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

std::optional<qint64> amountOf(const OrderItem& item)
{
    const auto quantity = wholeNumber(item.quantity);
    const auto price = wholeNumber(item.unitPrice);
    if (!quantity || !price)
        return std::nullopt;
    return *quantity * *price;
}

} // namespace

GoodsLines goodsLines(const QList<OrderItem>& items)
{
    GoodsLines result;
    const qsizetype lineCount = qsizetype(result.lines.size());
    if (items.isEmpty()) {
        result.total = waybill::Waybill{}.total;
        result.amountsComplete = true;
        return result;
    }
    bool complete = true;
    qint64 total = 0;
    const qsizetype single = items.size() <= lineCount ? items.size() : lineCount - 1;
    for (qsizetype i = 0; i < single; ++i) {
        const OrderItem& item = items[i];
        waybill::GoodsLine& line = result.lines[size_t(i)];
        line.description = item.description;
        line.productNumber = item.productNumber;
        line.quantity = item.quantity;
        line.unitPrice = item.unitPrice;
        const auto amount = amountOf(item);
        line.amount = amount ? QString::number(*amount) : QString();
        complete = complete && amount;
        total += amount.value_or(0);
    }
    if (items.size() > lineCount) {
        const QList<OrderItem> rest = items.mid(lineCount - 1);
        waybill::GoodsLine& line = result.lines.back();
        line.description = moreItemsText(int(rest.size()));
        line.productNumber.clear();
        line.unitPrice.clear();
        bool pieces = true, amounts = true;
        qint64 pieceSum = 0, amountSum = 0;
        for (const OrderItem& item : rest) {
            const auto quantity = wholeNumber(item.quantity);
            const auto amount = amountOf(item);
            pieces = pieces && quantity;
            amounts = amounts && amount;
            pieceSum += quantity.value_or(0);
            amountSum += amount.value_or(0);
        }
        line.quantity = pieces ? QString::number(pieceSum) : QString();
        line.amount = amounts ? QString::number(amountSum) : QString();
        complete = complete && amounts;
        total += amountSum;
    }
    result.amountsComplete = complete;
    result.total = complete ? QString::number(total) : QString();
    return result;
}

} // namespace orders
