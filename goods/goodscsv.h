#pragma once
// The goods table as a CSV file, to keep, to edit in a spreadsheet and to
// read back: one row per entry, 種類 (商品コード or 商品名), 一覧の値 (the code
// or the list's name) and 送り状の品名 (the short name). Written in UTF-8 with
// the mark spreadsheets know it by, or in CP932; read in either.
#include "common/result.h"
#include "csv/encoding.h"
#include "goods/goodstable.h"

#include <QIODevice>

namespace goods {

QStringList csvHeadings();

// Every row, after the heading row; fails naming a text the encoding cannot
// hold (nothing is then worth keeping) or the device's fault.
Result<void> writeCsv(const QList<GoodsName>& rows, QIODevice& device, csv::Encoding encoding);

// The rows of a file written so (or typed in a spreadsheet under the same
// headings, in any order); fails naming the file, the line and the column
// of the first row that cannot be read, and takes none.
Result<QList<GoodsName>> readCsv(const QString& path);

} // namespace goods
