#pragma once
// Writing one sheet of an .xlsx workbook, in place of spreadsheet automation. Two ways:
// a new workbook (libxlsxwriter in constant-memory mode: rows stream to disk as they are
// written, so memory does not grow with the sheet) and a copy of a template workbook with the
// data written into one of its sheets (libzip and the sheet's XML).
//
// Rows and columns are 0-based here; cells of a row must be written in ascending columns and
// rows in ascending order, as the streaming writer needs. Errors are orra::Error.

#include <QByteArray>
#include <QString>
#include <memory>

namespace orra::spreadsheet {

// The limits of a sheet.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
constexpr int kMaxCellTextLength = 32767;
// Widest column a sheet takes, in characters.
constexpr double kMaxColumnWidth = 255.0;

// Error numbers of the writer (Excel's own where one exists).
constexpr long kErrorWorkbook = 1004;    // the workbook could not be written or read
constexpr long kErrorUnknownSheet = 9;   // "Subscript out of range": no sheet of that name

class SheetWriter {
public:
    virtual ~SheetWriter() = default;

    // A new workbook with one sheet, written to path when close() is called.
    static std::unique_ptr<SheetWriter> create(const QString& path);
    // A copy of the workbook templatePath, written to path, whose sheet sheetName (compared
    // without regard to letter case, as sheet names are) receives the cells. A template that
    // cannot be read and an unknown sheet throw orra::Error naming the file or the sheet.
    static std::unique_ptr<SheetWriter> fromTemplate(
        const QString& path, const QString& templatePath, const QString& sheetName);

    // Registers a number format code ("dd.mm.yyyy", "#,##0.00"); returns its handle for the
    // write calls. Handle 0 is "General".
    virtual int addNumberFormat(const QString& code) = 0;

    // How many columns the data spans: in a template, the cells of these columns in every
    // row that is written are replaced (an empty value clears the template's cell).
    virtual void setColumnCount(int columns) = 0;

    virtual void writeString(int row, int column, const QString& text, int format = 0) = 0;
    // text is UTF-8.
    virtual void writeUtf8(int row, int column, const QByteArray& text, int format = 0) = 0;
    virtual void writeNumber(int row, int column, double value, int format = 0) = 0;
    virtual void writeBoolean(int row, int column, bool value, int format = 0) = 0;

    // Asks for number cells written in their shortest exact form (76493.74) rather than with
    // the 16 digits the streaming writer gives every number (76493.74000000001, the same
    // double); for sheets of exact values. The template writer always writes the shortest form.
    virtual void setShortestNumbers(bool on) { (void)on; }

    // Width in characters (as the sheet counts them) and the format of a whole column, on
    // every sheet that the writer has made.
    virtual void setColumn(int column, double width, int format = 0) = 0;

    // The name of the sheet being written.
    virtual QString sheetName() const = 0;
    // Continues on a new sheet named name, placed after the others; the writes that follow
    // go to it, from row 0. False when this kind of workbook cannot take further sheets.
    virtual bool addSheet(const QString& name)
    {
        Q_UNUSED(name);
        return false;
    }

    // Writes the workbook. Nothing is on disk (or only a partial file) before this succeeds.
    virtual void close() = 0;
};

// Excel's serial number of a date and time (1900 date system, including its fictitious
// 29 February 1900); NaN for a date before 1 January 1900 or after 9999, which a sheet
// cannot hold as a date.
double excelSerial(int year, int month, int day, qint64 msecsOfDay = 0);

}   // namespace orra::spreadsheet
