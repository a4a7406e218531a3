#include "orders/prefectures.h"

#include <QChar>
#include <QList>
#include <algorithm>
#include <array>

namespace orders {

namespace {

struct Prefecture {
    const char16_t* kanji;
    const char* romanised; // Hepburn, without long-vowel marks or suffix
};

// In the order of ISO 3166-2:JP (JP-01 to JP-47, the JIS X 0401 prefecture
// numbers); the romanised names as ISO 3166-2:JP lists them
// (www.iso.org/obp/ui/#iso:code:3166:JP, e.g. Tôkyô, Ôsaka, Hokkaidô),
// written here without the circumflexes or macrons, which are dropped from
// any text before it is compared.
constexpr Prefecture kPrefectures[] = {
    {u"北海道", "hokkaido"}, {u"青森県", "aomori"},      {u"岩手県", "iwate"},     {u"宮城県", "miyagi"},
    {u"秋田県", "akita"},    {u"山形県", "yamagata"},    {u"福島県", "fukushima"}, {u"茨城県", "ibaraki"},
    {u"栃木県", "tochigi"},  {u"群馬県", "gunma"},       {u"埼玉県", "saitama"},   {u"千葉県", "chiba"},
    {u"東京都", "tokyo"},    {u"神奈川県", "kanagawa"},  {u"新潟県", "niigata"},   {u"富山県", "toyama"},
    {u"石川県", "ishikawa"}, {u"福井県", "fukui"},       {u"山梨県", "yamanashi"}, {u"長野県", "nagano"},
    {u"岐阜県", "gifu"},     {u"静岡県", "shizuoka"},    {u"愛知県", "aichi"},     {u"三重県", "mie"},
    {u"滋賀県", "shiga"},    {u"京都府", "kyoto"},       {u"大阪府", "osaka"},     {u"兵庫県", "hyogo"},
    {u"奈良県", "nara"},     {u"和歌山県", "wakayama"},  {u"鳥取県", "tottori"},   {u"島根県", "shimane"},
    {u"岡山県", "okayama"},  {u"広島県", "hiroshima"},   {u"山口県", "yamaguchi"}, {u"徳島県", "tokushima"},
    {u"香川県", "kagawa"},   {u"愛媛県", "ehime"},       {u"高知県", "kochi"},     {u"福岡県", "fukuoka"},
    {u"佐賀県", "saga"},     {u"長崎県", "nagasaki"},    {u"熊本県", "kumamoto"},  {u"大分県", "oita"},
    {u"宮崎県", "miyazaki"}, {u"鹿児島県", "kagoshima"}, {u"沖縄県", "okinawa"},
};
static_assert(std::size(kPrefectures) == 47);

// Words a romanised prefecture may end with: the kanji suffixes in
// romaji, and the English word.
constexpr const char* kRomanisedSuffixes[] = {"prefecture", "pref", "ken", "fu", "to", "do"};

bool isLatin(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || (u >= 0x00C0 && u <= 0x024F) ||
           (u >= u'Ａ' && u <= u'Ｚ') || (u >= u'ａ' && u <= u'ｚ') || (u >= 0x0300 && u <= 0x036F);
}

// Letters only, small, without their marks (Ō and Ô are O), and the long
// vowels written out (ou, oo, uu) as one: Tôkyô, Toukyou and Tokyo are one key.
QString romanisedKey(QStringView text)
{
    QString key;
    for (QChar c : text.toString().normalized(QString::NormalizationForm_KD).toCaseFolded())
        if (c >= u'a' && c <= u'z')
            key += c;
    for (const char* longVowel : {"ou", "oo", "uu", "oh"})
        key.replace(QLatin1String(longVowel), QString(QLatin1Char(longVowel[0])));
    return key;
}

std::optional<QString> fromRomanised(QStringView text)
{
    // Built once: the table's names through the same key.
    static const std::array<QString, 47> keys = [] {
        std::array<QString, 47> built;
        for (size_t i = 0; i < built.size(); ++i)
            built[i] = romanisedKey(QString::fromLatin1(kPrefectures[i].romanised));
        return built;
    }();
    const QString key = romanisedKey(text);
    if (key.isEmpty())
        return std::nullopt;
    const auto find = [&](const QString& candidate) -> std::optional<QString> {
        for (size_t i = 0; i < keys.size(); ++i)
            if (keys[i] == candidate)
                return QString::fromUtf16(kPrefectures[i].kanji);
        return std::nullopt;
    };
    if (const auto whole = find(key))
        return whole;
    // Hokkaido is a name that ends in "do": the whole key first.
    for (const char* suffix : kRomanisedSuffixes) {
        const QLatin1String s(suffix);
        if (key.endsWith(s) && key.size() > s.size())
            if (const auto found = find(key.left(key.size() - s.size())))
                return found;
    }
    return std::nullopt;
}

std::optional<QString> fromCode(QStringView text)
{
    // JP-13, also full-width or in small letters; "13" alone is no code.
    const QString code = text.toString().normalized(QString::NormalizationForm_KC).toUpper();
    if (code.size() != 5 || !code.startsWith(QLatin1String("JP-")) || !code[3].isDigit() || !code[4].isDigit())
        return std::nullopt;
    const int number = QStringView(code).mid(3).toInt();
    if (number < 1 || number > int(std::size(kPrefectures)))
        return std::nullopt;
    return QString::fromUtf16(kPrefectures[number - 1].kanji);
}

std::optional<QString> fromKanji(QStringView text)
{
    for (const Prefecture& p : kPrefectures) {
        const QStringView name(p.kanji);
        // 北海道 has no suffix to leave out.
        const QStringView bare = name == u"北海道" ? name : name.chopped(1);
        if (text == name || text == bare)
            return name.toString();
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> prefectureName(QStringView text)
{
    const QStringView t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    if (const auto kanji = fromKanji(t))
        return kanji;
    if (const auto code = fromCode(t))
        return code;
    if (std::all_of(t.begin(), t.end(), [](QChar c) { return isLatin(c) || c.isSpace() || c == u'-' || c == u'.'; }))
        return fromRomanised(t);
    return std::nullopt;
}

QString prefectureAtStart(QStringView address)
{
    const QStringView t = address.trimmed();
    for (const Prefecture& p : kPrefectures)
        if (t.startsWith(QStringView(p.kanji)))
            return QString::fromUtf16(p.kanji);
    return {};
}

QString latinStart(QStringView address)
{
    const QStringView t = address.trimmed();
    qsizetype end = 0;
    while (end < t.size() && (isLatin(t[end]) || t[end] == u' ' || t[end] == u'-' || t[end] == u'.' || t[end] == u',' ||
                              t[end] == u'\u3000' || (end > 0 && t[end].isDigit())))
        ++end;
    const QStringView latin = t.left(end).trimmed();
    if (latin.isEmpty() || end >= t.size() || !std::any_of(latin.begin(), latin.end(), isLatin))
        return {};
    return latin.toString();
}

QString withKanjiPrefecture(const QString& address)
{
    const QString latin = latinStart(address);
    if (latin.isEmpty())
        return address;
    // "Tokyo, " or "Osaka-fu " before the Japanese text.
    QString name = latin;
    while (!name.isEmpty() && (name.back() == u',' || name.back() == u'-' || name.back().isSpace()))
        name.chop(1);
    const auto kanji = prefectureName(name);
    if (!kanji)
        return address;
    const QString rest = address.trimmed().mid(address.trimmed().indexOf(latin) + latin.size()).trimmed();
    // A prefecture written twice (Tokyo東京都…) is written once.
    return rest.startsWith(*kanji) ? rest : *kanji + rest;
}

} // namespace orders
