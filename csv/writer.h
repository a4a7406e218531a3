#pragma once
// Writes CSV that spreadsheets in Japan open as they are: UTF-8 with a
// byte-order mark (so that Excel does not take it for CP932), or CP932.
// Records end in CR LF and every field is quoted.
//
// A field that begins with = + - @ (or a tab or CR) would be run as a formula
// by a spreadsheet that opens the file, so it is written with a single quote
// ' in front; so is a field that begins with ' itself, so that the quote can
// be taken off again exactly where it was put (withoutFormulaGuard). A
// spreadsheet shows a telephone number written as -123 as '-123.
#include "csv/encoding.h"

#include <QIODevice>
#include <QStringList>

namespace csv {

// A field the chosen encoding cannot hold, such as 𠮷 in CP932.
struct UnwritableField {
    int column = 0; // from 0
    QString text;
    QString characters; // the characters the encoding lacks
};

class Writer {
public:
    Writer(QIODevice& device, Encoding encoding);

    enum class Result { Written, Unwritable, DeviceFailed };
    // Writes one record. When the encoding cannot hold a field, nothing of the
    // record is written and unwritable() lists the fields; no substitute
    // character ever goes into the file.
    Result write(const QStringList& fields);
    const QList<UnwritableField>& unwritable() const { return m_unwritable; }
    QString errorText() const { return m_errorText; }

    // The field as written: with a leading ' when a spreadsheet would run it,
    // or when it begins with ' already.
    static QString guardFormula(const QString& field);
    // The field as it was before guardFormula; for every text t,
    // withoutFormulaGuard(guardFormula(t)) == t.
    static QString withoutFormulaGuard(const QString& field);

private:
    bool put(const QByteArray& bytes);

    QIODevice& m_device;
    Encoding m_encoding;
    FieldEncoder m_encoder;
    bool m_begun = false;
    QList<UnwritableField> m_unwritable;
    QString m_errorText;
};

} // namespace csv
