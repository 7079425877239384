#pragma once
// The export of a recordset to a spreadsheet: a new .xlsx workbook (or a copy of a template
// with the data in its named sheet), a header row of field names, the rows from the
// recordset's current one, cells of their true type (numbers as numbers, dates as dates,
// NULL as an empty cell), and, for the designer's and the launcher's export, number formats
// by field type and column widths fitted to the content. The workbook is written to the
// export folder (ORRA_EXPORT_DIR, else the user's own state folder) under a new name and shown with
// the desktop's default application when a display is present and ORRA_NO_OPEN is not set.
// The script bridge's ExportExcel is the same export without formats and widths.
//
// Also the text export of scripts (ExportToText).

#include "platform/db/Recordset.h"
#include "platform/spreadsheet/SheetWriter.h"

#include <QString>
#include <QStringList>

namespace orra {

struct ExportOptions {
    QString templatePath;        // a workbook to copy; empty: a new workbook
    QString sheetName;           // the template's sheet to fill
    bool formatColumns = true;   // number formats by field type and fitted column widths
    bool open = true;            // show the workbook when the desktop allows it
    QString path;                // where to write; empty: a new file in the export folder
    // Data rows a sheet takes: everything below the header row. More rows continue on
    // further sheets named after the first ("Sheet1 (2)", …), each with the header row again.
    long maxRows = spreadsheet::kMaxRows - 1;
};

struct ExportResult {
    QString path;           // the written workbook
    long rowsWritten = 0;   // data rows in the workbook
    QStringList sheets;     // the sheets written: the first, then those the rows continued on
    long rowsLeft = 0;      // rows of the recordset that did not fit into the workbook
    int textsCut = 0;       // texts longer than a cell holds, cut to its limit
    bool opened = false;    // handed to the desktop's application
    QString warning;        // what did not go into the sheet; empty when everything did
};

// Number formats by ADO type: date and database date "dd.mm.yyyy", database time stamp
// "dd.mm.yyyy hh:mm", double and currency "#,##0.00", every other type "General".
QString ExportNumberFormat(db::DataType type);

// Exports rs from its current row and leaves it after the last exported row (at EOF when
// everything fitted). A warning (rows or text that did not fit) is also shown through the
// process's user interface. Throws orra::Error: a closed recordset (3704), a template that
// cannot be read or has no such sheet, a workbook that cannot be written.
ExportResult ExportRecordset(db::Recordset& rs, const ExportOptions& options);

// The designer's and the launcher's export: formats and widths, a new workbook unless a
// template is given, shown when the desktop allows.
ExportResult ExportRecordsetToExcel(
    db::Recordset& rs, const QString& templatePath = QString(), const QString& sheetName = QString());

// Scripts' ExportToText: the field names joined by colDelimiter, rowDelimiter, then every
// remaining row as the recordset's GetString gives it (columns joined by colDelimiter, each
// row ended by rowDelimiter, NULL as nullExpr), written as UTF-8 to fileName, created or
// replaced. An empty fileName means "Report.txt" in the folder named by TEMP (else the
// temporary folder). Returns the file's path; throws orra::Error (75) when it cannot be written.
QString ExportRecordsetToText(db::Recordset& rs, const QString& fileName = QString(),
    const QString& colDelimiter = QStringLiteral(","), const QString& rowDelimiter = QStringLiteral("\r\n"),
    const QString& nullExpr = QStringLiteral("NULL"));

}   // namespace orra
