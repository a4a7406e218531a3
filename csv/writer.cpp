#include "csv/writer.h"

#include <csv.h>

namespace csv {

Writer::Writer(QIODevice& device, Encoding encoding) : m_device(device), m_encoding(encoding), m_encoder(encoding) {}

namespace {

// What a spreadsheet runs as a formula, and the quote that guards it.
bool startsGuarded(QStringView field)
{
    if (field.isEmpty())
        return false;
    switch (field.front().unicode()) {
    case '=':
    case '+':
    case '-':
    case '@':
    case '\t':
    case '\r':
    case '\'':
        return true;
    default:
        return false;
    }
}

} // namespace

QString Writer::guardFormula(const QString& field) { return startsGuarded(field) ? QLatin1Char('\'') + field : field; }

QString Writer::withoutFormulaGuard(const QString& field)
{
    if (field.startsWith(QLatin1Char('\'')) && startsGuarded(QStringView(field).mid(1)))
        return field.mid(1);
    return field;
}

bool Writer::put(const QByteArray& bytes)
{
    // A device may take part of the bytes and fail on the rest.
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = m_device.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0) {
            m_errorText = QStringLiteral("ファイルに書き込めませんでした（%1）。").arg(m_device.errorString());
            return false;
        }
        done += n;
    }
    return true;
}

Writer::Result Writer::write(const QStringList& fields)
{
    m_unwritable.clear();
    if (!m_encoder.isUsable()) {
        m_errorText = QStringLiteral("この環境では%1の文字コードで書き出せません。").arg(displayName(m_encoding));
        return Result::DeviceFailed;
    }
    QByteArray line;
    for (qsizetype column = 0; column < fields.size(); ++column) {
        const QString text = guardFormula(fields[column]);
        QString missing;
        const std::optional<QByteArray> bytes = m_encoder.encode(text, missing);
        if (!bytes) {
            m_unwritable.append({int(column), fields[column], missing});
            continue;
        }
        if (column > 0)
            line += ',';
        // libcsv quotes the field and doubles the quotes inside it.
        const qsizetype start = line.size();
        line.resize(start + bytes->size() * 2 + 2);
        const size_t used =
            csv_write(line.data() + start, size_t(line.size() - start), bytes->constData(), size_t(bytes->size()));
        line.resize(start + qsizetype(used));
    }
    if (!m_unwritable.isEmpty())
        return Result::Unwritable;
    line += "\r\n";
    if (!m_begun && m_encoding == Encoding::Utf8)
        line.prepend("\xEF\xBB\xBF");
    if (!put(line))
        return Result::DeviceFailed;
    m_begun = true;
    return Result::Written;
}

} // namespace csv
