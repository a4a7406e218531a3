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

bool isControlByte(unsigned char c)
{
    return c < 0x20 && c != '\t' && c != '\n' && c != '\r';
}

// True when every complete character of `bytes` is valid UTF-8; a character
// cut off at the very end is forgiven unless `strictEnd`.
bool isUtf8(const QByteArray& bytes, bool strictEnd)
{
    QStringDecoder decoder(QStringConverter::Utf8, strictEnd ? QStringConverter::Flag::Stateless : QStringConverter::Flag::Default);
    // decode() converts only when its result is taken.
    [[maybe_unused]] const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

} // namespace

QString displayName(Encoding encoding)
{
    return encoding == Encoding::Utf8 ? QStringLiteral("UTF-8") : QStringLiteral("Shift_JIS（CP932）");
}

Detection detect(const QByteArray& sample, bool sampleIsWholeFile)
{
    Detection result;
    if (sample.startsWith("\xEF\xBB\xBF")) {
        result.bomBytes = 3;
        return result;
    }
    if (sample.startsWith("\xFF\xFE") || sample.startsWith("\xFE\xFF")) {
        result.refusal = QStringLiteral("このファイルはUTF-16で保存されています。表計算ソフトで"
                                        "「CSV UTF-8（コンマ区切り）」か「CSV（コンマ区切り）」の形式で保存し直してから開いてください。");
        return result;
    }
    if (sample.startsWith("PK\x03\x04")) {
        result.refusal = QStringLiteral("このファイルはExcelのブック（.xlsx）などの、CSVではない形式です。表計算ソフトで"
                                        "「CSV（コンマ区切り）」の形式で保存し直してから開いてください。");
        return result;
    }
    const qsizetype nul = sample.indexOf('\0');
    if (nul >= 0) {
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
        result.refusal = QStringLiteral("このファイルは文字のファイルではないようです（%1行目から文字でないデータが続きます）。"
                                        "CSV形式のファイルを開いてください。")
                             .arg(lineOfByte(sample, firstControl));
        return result;
    }
    result.encoding = isUtf8(sample, sampleIsWholeFile) ? Encoding::Utf8 : Encoding::Cp932;
    return result;
}

namespace {

// Runs iconv over all of `in`, growing `out` as needed. At a sequence the
// target cannot hold, or that is not valid in the source, calls
// onBad(pointer, bytes left) and skips as many bytes as it returns.
template <typename OnBad>
QByteArray runIconv(iconv_t cd, const QByteArray& in, qsizetype outGuess, const OnBad& onBad)
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

int utf8Length(unsigned char lead)
{
    return lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
}

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

bool FieldDecoder::isUsable() const
{
    return m_encoding == Encoding::Utf8 || iconv_t(m_cp932) != kNoIconv;
}

QString FieldDecoder::decode(const QByteArray& bytes, bool& invalid)
{
    invalid = false;
    if (m_encoding == Encoding::Utf8) {
        QStringDecoder decoder(QStringConverter::Utf8, kStandAlone);
        QString text = decoder.decode(bytes);
        invalid = decoder.hasError();
        return text;
    }
    // CP932 is ASCII below 0x80, and most fields (numbers, codes) are.
    if (std::all_of(bytes.cbegin(), bytes.cend(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return QString::fromLatin1(bytes);
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

bool FieldEncoder::isUsable() const
{
    return m_encoding == Encoding::Utf8 || iconv_t(m_cp932) != kNoIconv;
}

QByteArray FieldEncoder::toCp932(const QString& text, QString& missing)
{
    const QByteArray utf8 = text.toUtf8();
    return runIconv(iconv_t(m_cp932), utf8, utf8.size() + 4,
                    [&](const char* at, size_t left, QByteArray&, qsizetype&) {
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
