#include "goods/goodscsv.h"

#include "csv/reader.h"
#include "csv/writer.h"
#include "platform/readfile.h"

#include <QFile>

namespace goods {

namespace {

// The kind's word in the file.
QString kindText(MatchBy by)
{
    return by == MatchBy::ProductCode ? QStringLiteral("商品コード") : QStringLiteral("商品名");
}

std::optional<MatchBy> kindOf(const QString& text)
{
    const QString t = text.trimmed();
    if (t == kindText(MatchBy::ProductCode))
        return MatchBy::ProductCode;
    if (t == kindText(MatchBy::ListName))
        return MatchBy::ListName;
    return std::nullopt;
}

} // namespace

QStringList csvHeadings()
{
    return {QStringLiteral("種類"), QStringLiteral("一覧の値"), QStringLiteral("送り状の品名")};
}

Result<void> writeCsv(const QList<GoodsName>& rows, QIODevice& device, csv::Encoding encoding)
{
    csv::Writer writer(device, encoding);
    const auto put = [&](const QStringList& fields) -> Result<void> {
        switch (writer.write(fields)) {
        case csv::Writer::Result::Written:
            return {};
        case csv::Writer::Result::Unwritable:
            return fail(QStringLiteral("「%1」の文字には、選んだ文字コードで書けないものがあります。"
                                       "UTF-8で書き出してください。")
                            .arg(fields.join(QStringLiteral("、"))));
        case csv::Writer::Result::DeviceFailed:
            break;
        }
        return fail(QStringLiteral("ファイルに書き込めませんでした：%1").arg(writer.errorText()));
    };
    if (Result<void> headed = put(csvHeadings()); !headed)
        return headed;
    for (const GoodsName& row : rows)
        if (Result<void> written = put({kindText(row.by), row.match, row.shortName}); !written)
            return written;
    return {};
}

Result<QList<GoodsName>> readCsv(const QString& path)
{
    QFile file(path);
    QString systemError;
    if (const platform::FileKind kind = platform::openRegularFile(file, &systemError, QIODevice::ReadOnly);
        kind != platform::FileKind::Regular)
        return fail(platform::notReadableText(kind, path, QStringLiteral("品名の置き換えのファイル"), systemError));
    csv::Reader reader(file);
    if (!reader.start())
        return fail(QStringLiteral("「%1」: %2").arg(path, reader.errorText()));
    csv::Record record;
    if (reader.next(record) != csv::Reader::Step::Record)
        return fail(QStringLiteral("「%1」には見出しの行がありません。").arg(path));
    QList<int> columns;
    for (const QString& heading : csvHeadings()) {
        const qsizetype column = record.fields.indexOf(heading);
        if (column < 0)
            return fail(QStringLiteral("「%1」の見出しに「%2」の列がありません。見出しは %3 にしてください。")
                            .arg(path, heading, csvHeadings().join(QStringLiteral("、"))));
        columns << int(column);
    }
    QList<GoodsName> rows;
    for (;;) {
        const csv::Reader::Step step = reader.next(record);
        if (step == csv::Reader::Step::End)
            break;
        if (step == csv::Reader::Step::Failed)
            return fail(QStringLiteral("「%1」: %2").arg(path, reader.errorText()));
        if (record.badColumn >= 0)
            return fail(QStringLiteral("「%1」: %2").arg(path, record.problem));
        const auto cell = [&](int i) {
            return csv::Writer::withoutFormulaGuard(record.fields.value(columns[i])).trimmed();
        };
        if (cell(0).isEmpty() && cell(1).isEmpty() && cell(2).isEmpty())
            continue;
        const std::optional<MatchBy> by = kindOf(cell(0));
        if (!by)
            return fail(QStringLiteral("「%1」の%2行目、「種類」の「%3」は「商品コード」か「商品名」にしてください。")
                            .arg(path)
                            .arg(record.line)
                            .arg(cell(0)));
        if (cell(1).isEmpty() || cell(2).isEmpty())
            return fail(QStringLiteral("「%1」の%2行目に「%3」がありません。")
                            .arg(path)
                            .arg(record.line)
                            .arg(cell(1).isEmpty() ? csvHeadings()[1] : csvHeadings()[2]));
        rows.append({0, *by, cell(1), cell(2)});
    }
    return rows;
}

} // namespace goods
