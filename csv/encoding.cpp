#include "csv/encoding.h"

#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace csv {

namespace {

const iconv_t kNoIconv = iconv_t(-1);

// Each UTF-8 field converts on its own; a U+FEFF at a field's start is text
// (the file's byte-order mark is skipped before any field is read).
constexpr auto kStandAlone = QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;

int lineOfByte(const QByteArray& bytes, qsizetype index)
{
    int line = 1;
    for (qsizetype i = 0; i < index; ++i) {
        if (bytes[i] == '\n' || (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n')))
            ++line;
    }
    return line;
}

bool isControlByte(unsigned char c) { return c < 0x20 && c != '\t' && c != '\n' && c != '\r'; }

bool inRange(unsigned char c, unsigned char low, unsigned char high) { return c >= low && c <= high; }

// Multi-byte UTF-8 characters and bytes that are not part of one; a
// character cut off at the very end is forgiven unless `strictEnd`.
struct Utf8Census {
    qsizetype multiByte = 0;
    qsizetype invalid = 0;
};
Utf8Census utf8Census(const QByteArray& bytes, bool strictEnd)
{
    Utf8Census census;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        // The second byte's range excludes overlong forms and surrogates.
        int length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (inRange(c, 0xC2, 0xDF))
            length = 2;
        else if (inRange(c, 0xE0, 0xEF))
            length = 3, low = c == 0xE0 ? 0xA0 : 0x80, high = c == 0xED ? 0x9F : 0xBF;
        else if (inRange(c, 0xF0, 0xF4))
            length = 4, low = c == 0xF0 ? 0x90 : 0x80, high = c == 0xF4 ? 0x8F : 0xBF;
        bool valid = length > 0;
        int k = 1;
        for (; valid && k < length && i + k < n; ++k)
            valid = inRange(b[i + k], k == 1 ? low : 0x80, k == 1 ? high : 0xBF);
        if (valid && i + k == n && k < length) { // cut off by the end of the sample
            if (strictEnd)
                ++census.invalid;
            break;
        }
        if (valid) {
            ++census.multiByte;
            i += length;
        } else {
            ++census.invalid;
            ++i;
        }
    }
    return census;
}

// EUC-JP: every byte above ASCII in pairs of 0xA1–0xFE, or 0x8E before a
// half-width kana, or 0x8F before a pair. CP932 text of half-width kana
// alone can pair up the same way, but has no hiragana or katakana pair
// (0xA4, 0xA5 leads: 、 and ･ in it); CP932 text of second-level kanji
// alone (leads from 0xE0) can too, which is why a reader told the encoding
// is not refused on this guess.
bool looksLikeEucJp(const QByteArray& bytes, bool strictEnd)
{
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype pairs = 0;
    bool telling = false;
    for (qsizetype i = 0; i < n;) {
        const unsigned char c = b[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int length = 2;
        if (c == 0x8F)
            length = 3;
        else if (c != 0x8E && !inRange(c, 0xA1, 0xFE))
            return false;
        if (i + length > n)
            return !strictEnd && pairs > 0 && telling;
        for (int k = 1; k < length; ++k)
            if (!inRange(b[i + k], 0xA1, c == 0x8E ? 0xDF : 0xFE))
                return false;
        telling = telling || c == 0xA4 || c == 0xA5 || c >= 0xE0 || b[i + 1] >= 0xE0;
        ++pairs;
        i += length;
    }
    return pairs > 0 && telling;
}

// UTF-16 or UTF-32 without a byte-order mark: ASCII text in them is zero
// bytes in fixed places. The name, or empty.
QString wideEncodingOf(const QByteArray& sample)
{
    const qsizetype quads = sample.size() / 4;
    if (quads < 2)
        return {};
    qsizetype zeros[4] = {};
    for (qsizetype i = 0; i < quads * 4; ++i)
        zeros[i % 4] += sample[i] == '\0';
    const auto most = [&](int at) { return zeros[at] * 10 >= quads * 9; };
    const auto few = [&](int at) { return zeros[at] * 10 <= quads; };
    if (most(2) && most(3) && few(0))
        return QStringLiteral("UTF-32");
    if (most(0) && most(1) && few(3))
        return QStringLiteral("UTF-32");
    // Japanese characters in UTF-16 have no zero byte; the commas, digits and
    // line ends of a CSV file do.
    if (zeros[1] + zeros[3] >= quads / 2 && (zeros[0] + zeros[2]) * 10 <= zeros[1] + zeros[3])
        return QStringLiteral("UTF-16");
    if (zeros[0] + zeros[2] >= quads / 2 && (zeros[1] + zeros[3]) * 10 <= zeros[0] + zeros[2])
        return QStringLiteral("UTF-16");
    return {};
}

QString wideRefusal(const QString& name)
{
    return QStringLiteral(
               "このファイルは%1で保存されています。表計算ソフトで"
               "「CSV UTF-8（コンマ区切り）」か「CSV（コンマ区切り）」の形式で保存し直してから開いてください。")
        .arg(name);
}

} // namespace

QString displayName(Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift_JIS（CP932）");
}

Detection detect(const QByteArray& sample, bool sampleIsWholeFile)
{
    Detection result;
    // A file saved twice with a mark, or two files joined, carries two.
    while (sample.mid(result.bomBytes, 3) == QByteArrayView("\xEF\xBB\xBF"))
        result.bomBytes += 3;
    if (result.bomBytes > 0)
        return result;
    // UTF-32's little-endian mark begins with UTF-16's.
    if (sample.startsWith(QByteArrayView("\xFF\xFE\0\0", 4)) || sample.startsWith(QByteArrayView("\0\0\xFE\xFF", 4))) {
        result.refusal = wideRefusal(QStringLiteral("UTF-32"));
        return result;
    }
    if (sample.startsWith("\xFF\xFE") || sample.startsWith("\xFE\xFF")) {
        result.refusal = wideRefusal(QStringLiteral("UTF-16"));
        return result;
    }
    if (sample.startsWith("PK\x03\x04")) {
        result.refusal =
            QStringLiteral("このファイルはExcelのブック（.xlsx）などの、CSVではない形式です。表計算ソフトで"
                           "「CSV（コンマ区切り）」の形式で保存し直してから開いてください。");
        return result;
    }
    const qsizetype nul = sample.indexOf('\0');
    if (nul >= 0) {
        if (const QString wide = wideEncodingOf(sample); !wide.isEmpty()) {
            result.refusal = wideRefusal(wide);
            return result;
        }
        result.refusal = QStringLiteral("%1行目に文字ではないデータ（NULバイト）があります。CSVファイルではないか、"
                                        "壊れている可能性があります。CSV形式で保存し直したファイルを開いてください。")
                             .arg(lineOfByte(sample, nul));
        return result;
    }
    qsizetype controls = 0;
    qsizetype firstControl = -1;
    for (qsizetype i = 0; i < sample.size(); ++i) {
        if (isControlByte(static_cast<unsigned char>(sample[i]))) {
            if (firstControl < 0)
                firstControl = i;
            ++controls;
        }
    }
    // Text has hardly any control characters; compressed or binary data has
    // one in every eight bytes or so.
    if (controls >= 8 && controls * 40 > sample.size()) {
        result.refusal =
            QStringLiteral("このファイルは文字のファイルではないようです（%1行目から文字でないデータが続きます）。"
                           "CSV形式のファイルを開いてください。")
                .arg(lineOfByte(sample, firstControl));
        return result;
    }
    // A few bytes that are not UTF-8 among many UTF-8 characters are damage
    // (or a cell pasted from elsewhere), told on their own row: taking the
    // whole file for CP932 would misread every row.
    const Utf8Census census = utf8Census(sample, sampleIsWholeFile);
    if (census.invalid == 0 || census.multiByte >= 4 * census.invalid) {
        result.encoding = Encoding::Utf8;
        return result;
    }
    if (looksLikeEucJp(sample, sampleIsWholeFile)) {
        result.refusalIsEncodingGuess = true;
        result.encoding = Encoding::Cp932;
        result.refusal = QStringLiteral(
            "このファイルはEUC-JPで保存されているようです。読めるのはUTF-8とShift_JIS（CP932）です。"
            "エディタや表計算ソフトで、文字コードを「UTF-8」か「Shift_JIS」にして保存し直してから開いてください。");
        return result;
    }
    result.encoding = Encoding::Cp932;
    return result;
}

namespace {

// Runs iconv over all of `in`, growing `out` as needed. At a sequence the
// target cannot hold, or that is not valid in the source, calls
// onBad(pointer, bytes left) and skips as many bytes as it returns.
template <typename OnBad>
QByteArray runIconv(iconv_t cd, QByteArrayView in, qsizetype outGuess, const OnBad& onBad)
{
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    QByteArray out(qMax<qsizetype>(outGuess, 16), Qt::Uninitialized);
    char* from = const_cast<char*>(in.constData());
    size_t fromLeft = size_t(in.size());
    qsizetype used = 0;
    while (fromLeft > 0) {
        char* to = out.data() + used;
        size_t toLeft = size_t(out.size() - used);
        const size_t result = iconv(cd, &from, &fromLeft, &to, &toLeft);
        used = to - out.data();
        if (result != size_t(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // EILSEQ, or EINVAL for a sequence cut off at the end.
        const size_t skip = qMin(fromLeft, size_t(onBad(from, fromLeft, out, used)));
        from += skip;
        fromLeft -= skip;
    }
    out.resize(used);
    return out;
}

int utf8Length(unsigned char lead) { return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4; }

// Characters with an unpaired surrogate have no encoding at all.
QString loneSurrogates(const QString& text)
{
    QString lone;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            lone += text[i];
    }
    return lone;
}

void addOnce(QString& missing, const QString& character)
{
    if (!missing.contains(character))
        missing += character;
}

} // namespace

FieldDecoder::FieldDecoder(Encoding encoding) : m_encoding(encoding)
{
    if (encoding == Encoding::Cp932)
        m_cp932 = iconv_open("UTF-8", "CP932");
}

FieldDecoder::~FieldDecoder()
{
    if (m_cp932 && iconv_t(m_cp932) != kNoIconv)
        iconv_close(iconv_t(m_cp932));
}

bool FieldDecoder::isUsable() const { return m_encoding == Encoding::Utf8 || iconv_t(m_cp932) != kNoIconv; }

QString FieldDecoder::decode(QByteArrayView bytes, bool& invalid)
{
    invalid = false;
    // Both encodings are ASCII below 0x80, and most fields (numbers, codes,
    // empty ones) are.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
    if (m_encoding == Encoding::Utf8) {
        QStringDecoder decoder(QStringConverter::Utf8, kStandAlone);
        QString text = decoder.decode(bytes);
        invalid = decoder.hasError();
        return text;
    }
    // A CP932 character is at most two bytes, and three in UTF-8.
    const QByteArray utf8 = runIconv(iconv_t(m_cp932), bytes, bytes.size() * 3 / 2 + 4,
                                     [&](const char*, size_t, QByteArray& out, qsizetype& used) {
                                         invalid = true;
                                         if (out.size() - used < 3)
                                             out.resize(out.size() + 16);
                                         std::memcpy(out.data() + used, "\xEF\xBF\xBD", 3); // U+FFFD
                                         used += 3;
                                         return 1;
                                     });
    return QString::fromUtf8(utf8);
}

FieldEncoder::FieldEncoder(Encoding encoding) : m_encoding(encoding), m_readBack(encoding)
{
    if (encoding == Encoding::Cp932)
        m_cp932 = iconv_open("CP932", "UTF-8");
}

FieldEncoder::~FieldEncoder()
{
    if (m_cp932 && iconv_t(m_cp932) != kNoIconv)
        iconv_close(iconv_t(m_cp932));
}

bool FieldEncoder::isUsable() const { return m_encoding == Encoding::Utf8 || iconv_t(m_cp932) != kNoIconv; }

QByteArray FieldEncoder::toCp932(const QString& text, QString& missing)
{
    const QByteArray utf8 = text.toUtf8();
    return runIconv(iconv_t(m_cp932), utf8, utf8.size() + 4, [&](const char* at, size_t left, QByteArray&, qsizetype&) {
        const int length = qMin<int>(utf8Length(static_cast<unsigned char>(*at)), int(left));
        addOnce(missing, QString::fromUtf8(at, length));
        return length;
    });
}

std::optional<QByteArray> FieldEncoder::encode(const QString& text, QString& missing)
{
    missing = loneSurrogates(text);
    if (!missing.isEmpty())
        return std::nullopt;
    if (m_encoding == Encoding::Utf8)
        return text.toUtf8();
    QByteArray bytes = toCp932(text, missing);
    if (!missing.isEmpty())
        return std::nullopt;
    bool invalid = false;
    if (m_readBack.decode(bytes, invalid) == text)
        return bytes;
    // Some character was written as another one; find which.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size()) ? 2 : 1;
        const QString character = text.mid(i, length);
        QString none;
        if (m_readBack.decode(toCp932(character, none), invalid) != character)
            addOnce(missing, character);
        i += length;
    }
    if (missing.isEmpty())
        missing = text;
    return std::nullopt;
}

} // namespace csv
