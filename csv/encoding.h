#pragma once
// The two text encodings an order list arrives in: UTF-8 (with or without a
// byte-order mark) and the Japanese Windows code page CP932, which spreadsheets
// in Japan save as "Shift_JIS". CP932 is Microsoft's extension of Shift_JIS:
// it has ㈱, ① and the NEC/IBM kanji, and maps 0x8160 to ～ (U+FF5E) where
// plain Shift_JIS has 〜 (U+301C).
#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>
#include <optional>

namespace csv {

enum class Encoding { Utf8, Cp932 };

// What the user sees in a choice of encodings and in messages.
QString displayName(Encoding encoding);

// What the first bytes of a file say about it.
struct Detection {
    Encoding encoding = Encoding::Utf8;
    qint64 bomBytes = 0;  // bytes of a UTF-8 byte-order mark to skip
    QString refusal;      // non-empty: the file is not CSV text at all, and why
};

// Settles the encoding from a sample of the file's first bytes: a UTF-8
// byte-order mark; else UTF-8 when the sample is valid UTF-8 (a multi-byte
// character cut off at the sample's end counts as valid); else CP932.
// `sampleIsWholeFile` makes a cut-off character at the end count as invalid.
// Refuses UTF-16 files, ZIP containers (.xlsx) and binary data.
Detection detect(const QByteArray& sample, bool sampleIsWholeFile);

// Turns one field's bytes into text. Each call stands alone: a character cut
// off at the end of the bytes is an error, not carried into the next call.
// Neither converter may be copied or moved: Qt's ICU converters stop
// reporting errors once moved.
class FieldDecoder {
public:
    explicit FieldDecoder(Encoding encoding);
    FieldDecoder(const FieldDecoder&) = delete;
    FieldDecoder& operator=(const FieldDecoder&) = delete;
    // false when this system cannot convert the encoding at all
    bool isUsable() const { return m_decoder->isValid(); }
    // Sets `invalid` when some bytes are not characters of the encoding; the
    // text then holds substitutes for them.
    QString decode(const QByteArray& bytes, bool& invalid);

private:
    void renew();

    Encoding m_encoding;
    std::optional<QStringDecoder> m_decoder;
};

class FieldEncoder {
public:
    explicit FieldEncoder(Encoding encoding);
    FieldEncoder(const FieldEncoder&) = delete;
    FieldEncoder& operator=(const FieldEncoder&) = delete;
    bool isUsable() const { return m_encoder->isValid(); }
    // The bytes of `text`, or nothing when the encoding cannot hold every
    // character; `missing` then lists the characters it lacks, once each.
    std::optional<QByteArray> encode(const QString& text, QString& missing);

private:
    bool encodes(const QString& text, QByteArray& bytes);
    void renew();

    Encoding m_encoding;
    std::optional<QStringEncoder> m_encoder;
};

} // namespace csv
