#pragma once
// The two text encodings an order list arrives in: UTF-8 (with or without a
// byte-order mark) and the Japanese Windows code page CP932, which spreadsheets
// in Japan save as "Shift_JIS". CP932 is Microsoft's extension of Shift_JIS:
// it has ㈱, ① and the NEC/IBM kanji, and maps 0x8160 to ～ (U+FF5E) where
// plain Shift_JIS has 〜 (U+301C).
#include <QByteArray>
#include <QString>
#include <optional>

namespace csv {

enum class Encoding { Utf8, Cp932 };

// What the user sees in a choice of encodings and in messages.
QString displayName(Encoding encoding);

// What the first bytes of a file say about it.
struct Detection {
    Encoding encoding = Encoding::Utf8;
    qint64 bomBytes = 0; // bytes of UTF-8 byte-order marks to skip (a file may carry two)
    QString refusal;     // non-empty: the file is not CSV text we read, and why
    // The refusal is only a guess at the encoding (EUC-JP): a reader told
    // which encoding the file is in reads it as that.
    bool refusalIsEncodingGuess = false;
};

// Settles the encoding from a sample of the file's first bytes: a UTF-8
// byte-order mark; else UTF-8 when the sample is UTF-8 but for a few bytes
// (a damaged cell or one pasted from elsewhere, then refused on its own
// row; a multi-byte character cut off at the sample's end counts as valid);
// else CP932. `sampleIsWholeFile` makes a cut-off character at the end count
// as invalid. Refuses, naming them, UTF-16 and UTF-32 files (with or without
// a byte-order mark), EUC-JP, ZIP containers (.xlsx) and binary data.
Detection detect(const QByteArray& sample, bool sampleIsWholeFile);

// Turns one field's bytes into text. Each call stands alone: a character cut
// off at the end of the bytes is an error, not carried into the next call.
// CP932 goes through the C library's iconv, whose table is Microsoft's; the
// ICU table Qt would use swaps the control bytes 0x1A, 0x1C and 0x7F as IBM's
// code pages do.
class FieldDecoder {
public:
    explicit FieldDecoder(Encoding encoding);
    ~FieldDecoder();
    FieldDecoder(const FieldDecoder&) = delete;
    FieldDecoder& operator=(const FieldDecoder&) = delete;
    // false when this system cannot convert the encoding at all
    bool isUsable() const;
    // Sets `invalid` when some bytes are not characters of the encoding; the
    // text then holds U+FFFD for them.
    QString decode(QByteArrayView bytes, bool& invalid);

private:
    Encoding m_encoding;
    void* m_cp932 = nullptr; // iconv descriptor, CP932 to UTF-8
};

class FieldEncoder {
public:
    explicit FieldEncoder(Encoding encoding);
    ~FieldEncoder();
    FieldEncoder(const FieldEncoder&) = delete;
    FieldEncoder& operator=(const FieldEncoder&) = delete;
    bool isUsable() const;
    // The bytes of `text`, or nothing when the encoding cannot hold every
    // character; `missing` then lists the characters it lacks, once each.
    // A character that would come back as another one (CP932 writes 〜
    // U+301C as the byte pair of ～ U+FF5E) counts as missing: nothing is
    // ever replaced.
    std::optional<QByteArray> encode(const QString& text, QString& missing);

private:
    // CP932 bytes of `text`; the characters iconv refuses go to `missing`.
    QByteArray toCp932(const QString& text, QString& missing);

    Encoding m_encoding;
    void* m_cp932 = nullptr; // iconv descriptor, UTF-8 to CP932
    FieldDecoder m_readBack;
};

} // namespace csv
