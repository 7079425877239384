#pragma once
// libxlsxwriter writes each number with 16 significant digits ("%.16G"), so the double that is
// closest to 76493.74 appears in the sheet as 76493.74000000001: the same number to any reader,
// but not the text the value was. This pass rewrites the number cells of a finished workbook's
// sheets in the shortest form that reads back as the same double ("76493.74").

#include <QString>
#include <string>

namespace orra::spreadsheet {

// Sheets up to this size (their XML: about 10,000 rows of ten columns, a quarter of a second)
// are rewritten; larger ones keep the 16-digit texts, which read back as the same numbers,
// rather than pay for compressing the whole sheet a second time.
constexpr qint64 kShortestNumbersMaxSheetBytes = qint64(4) << 20;

// The sheet XML with every number cell's value (a <c> without a t attribute) in its shortest
// form; other cells and text are left as they are.
std::string shortestNumberCells(const std::string& sheetXml);

// Applies shortestNumberCells to every sheet of the workbook at path, in place. Sheets larger
// than maxSheetBytes are left as they are. False when the workbook could not be rewritten
// (it is then unchanged).
bool rewriteShortestNumbers(const QString& path, qint64 maxSheetBytes = kShortestNumbersMaxSheetBytes);

}   // namespace orra::spreadsheet
