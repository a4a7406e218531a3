#include "csv/encoding.h"

namespace csv {

namespace {

// ICU's name for Microsoft's code page 932; Qt hands it to ICU.
constexpr char kCp932Name[] = "windows-31j";

// Each field converts on its own; a U+FEFF at a field's start is text (the
// file's byte-order mark is skipped before any field is read).
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

// Qt 6.4 keeps the error mark of an ICU converter through resetState(), and
// a moved ICU converter no longer reports errors at all; so a converter that
// met an error is destroyed and a fresh one built in its place.

FieldDecoder::FieldDecoder(Encoding encoding) : m_encoding(encoding)
{
    renew();
}

void FieldDecoder::renew()
{
    m_decoder.reset();
    if (m_encoding == Encoding::Utf8)
        m_decoder.emplace(QStringConverter::Utf8, kStandAlone);
    else
        m_decoder.emplace(kCp932Name, kStandAlone);
}

QString FieldDecoder::decode(const QByteArray& bytes, bool& invalid)
{
    QString text = m_decoder->decode(bytes);
    invalid = m_decoder->hasError();
    if (invalid)
        renew();
    return text;
}

FieldEncoder::FieldEncoder(Encoding encoding) : m_encoding(encoding)
{
    renew();
}

void FieldEncoder::renew()
{
    m_encoder.reset();
    if (m_encoding == Encoding::Utf8)
        m_encoder.emplace(QStringConverter::Utf8, kStandAlone);
    else
        m_encoder.emplace(kCp932Name, kStandAlone);
}

bool FieldEncoder::encodes(const QString& text, QByteArray& bytes)
{
    bytes = m_encoder->encode(text);
    if (!m_encoder->hasError())
        return true;
    renew();
    return false;
}

std::optional<QByteArray> FieldEncoder::encode(const QString& text, QString& missing)
{
    missing.clear();
    QByteArray bytes;
    if (encodes(text, bytes))
        return bytes;
    // Find the characters themselves, one code point at a time, so that the
    // user can be told which ones to replace.
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype length = (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ? 2 : 1;
        const QString character = text.mid(i, length);
        if (!encodes(character, bytes) && !missing.contains(character))
            missing += character;
        i += length;
    }
    if (missing.isEmpty())
        missing = text; // the encoder failed on the whole only; name the whole text
    return std::nullopt;
}

} // namespace csv
