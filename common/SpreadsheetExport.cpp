#include "common/SpreadsheetExport.h"

#include "platform/db/Decimal.h"

#include "platform/spreadsheet/Desktop.h"
#include "platform/host/AtomicFile.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/UserInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <cmath>
#include <vector>

namespace orra {
namespace {

using spreadsheet::SheetWriter;

const QString kDate = QStringLiteral("dd.mm.yyyy");
const QString kDateTime = QStringLiteral("dd.mm.yyyy hh:mm");
const QString kMoney = QStringLiteral("#,##0.00");
const QString kTime = QStringLiteral("hh:mm:ss");
const QString kGeneral = QStringLiteral("General");

// Longest name a sheet may have.
constexpr int kMaxSheetNameLength = 31;

// Widest text a number can show under "General" (Excel's 11 characters and a sign).
constexpr int kGeneralNumberMaxWidth = 12;

int digitsOf(double absValue)
{
    int d = 1;
    for (double p = 10; absValue >= p && d < 309; p *= 10) ++d;
    return d;
}

// Characters of a number under "General": up to ten significant digits, Excel's 11 characters.
int generalWidth(double v)
{
    const double a = std::fabs(v);
    const int sign = v < 0 ? 1 : 0;
    if (a != 0 && (a >= 1e11 || a < 1e-4)) return 11 + sign;   // exponent form, "1.23457E+11"
    if (a == std::floor(a)) return digitsOf(a) + sign;
    const int intDigits = digitsOf(a);
    int decimals = 1;
    for (double scaled = a * 10; decimals < 10 - intDigits && std::fabs(scaled - std::round(scaled)) > 1e-9 * scaled;
         scaled *= 10)
        ++decimals;
    return std::min(11, intDigits + 1 + decimals) + sign;
}

// Characters of a number under "#,##0.00".
int moneyWidth(double v)
{
    const double a = std::fabs(std::round(v * 100) / 100);
    const int d = digitsOf(a);
    return d + (d - 1) / 3 + 3 + (v < 0 ? 1 : 0);
}

struct Column {
    int format = 0;
    bool money = false;
    bool dateFormat = false;   // the column's own format shows dates
    int dateFormatWidth = 0;
    int width = 0;   // widest content in characters
};

class Formats {
public:
    explicit Formats(SheetWriter& w) : m_writer(w) {}
    int get(const QString& code)
    {
        for (const auto& [c, h] : m_handles)
            if (c == code) return h;
        const int h = m_writer.addNumberFormat(code);
        m_handles.emplace_back(code, h);
        return h;
    }

private:
    SheetWriter& m_writer;
    std::vector<std::pair<QString, int>> m_handles;
};

bool isNumberType(int typeId)
{
    switch (typeId) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Double:
    case QMetaType::Float:
        return true;
    default:
        return false;
    }
}

}   // namespace

QString ExportNumberFormat(db::DataType type)
{
    switch (type) {
    case db::DataType::Date:
    case db::DataType::DBDate:
        return kDate;
    case db::DataType::DBTimeStamp:
        return kDateTime;
    case db::DataType::Double:
    case db::DataType::Currency:
        return kMoney;
    default:
        return kGeneral;
    }
}

ExportResult ExportRecordset(db::Recordset& rs, const ExportOptions& options)
{
    const db::ResultSet* set = rs.current();
    if (!rs.isOpen() || !set)
        throw Error(db::kObjectClosed, QStringLiteral("ExportRecordsetToExcel"),
            QStringLiteral("Operation is not allowed when the object is closed."));

    ExportResult result;
    // The workbook is written beside its name and renamed into place once complete: a run
    // killed before then leaves no file under a report's name. A new name never replaces a
    // file that took it meanwhile; a given path replaces only the user's own plain file.
    const bool newName = options.path.isEmpty();
    AtomicFile file(newName ? spreadsheet::freeExportPath() : options.path,
        newName ? AtomicFile::Existing::Keep : AtomicFile::Existing::ReplaceOwn, spreadsheet::kErrorWorkbook,
        QStringLiteral("Workbook"));
    try {
        std::unique_ptr<SheetWriter> w = options.templatePath.isEmpty()
            ? SheetWriter::create(file.temporaryPath())
            : SheetWriter::fromTemplate(file.temporaryPath(), options.templatePath, options.sheetName);
        Formats formats(*w);
        result.sheets << w->sheetName();
        const int n = int(set->fields.size());
        w->setColumnCount(n);
        // money and decimal values go in as the numbers they are, in their own digits
        for (const db::FieldInfo& f : set->fields)
            if (db::isExactType(f.type)) w->setShortestNumbers(true);

        std::vector<Column> columns(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            const db::FieldInfo& f = set->fields[size_t(c)];
            Column& col = columns[size_t(c)];
            if (options.formatColumns) {
                const QString code = ExportNumberFormat(f.type);
                col.format = formats.get(code);
                col.money = code == kMoney;
                col.dateFormat = code == kDate || code == kDateTime;
                col.dateFormatWidth = int(code.size());
            }
            w->writeString(0, c, f.name);
            col.width = int(std::min<qsizetype>(f.name.size(), 255));
        }
        auto writeHeader = [&] {
            for (int c = 0; c < n; ++c) w->writeString(0, c, set->fields[size_t(c)].name);
        };

        // From the current row; a recordset before its first row starts at the first.
        if (rs.isBOF() && !rs.isEOF()) rs.MoveFirst();
        const long first = rs.isEOF() ? set->rowCount() : rs.currentRow();
        const long available = set->rowCount() - first;
        const long perSheet = std::max(1L, options.maxRows);
        long take = std::max(0L, available);
        const QVariant* values = set->values.data();
        // Rows beyond what a sheet holds continue on further sheets of the workbook, named
        // after the first and numbered.
        const QString firstSheet = w->sheetName();

        for (long r = 0; r < take; ++r) {
            if (r > 0 && r % perSheet == 0) {
                const QString suffix = QStringLiteral(" (%1)").arg(r / perSheet + 1);
                const QString name = firstSheet.left(kMaxSheetNameLength - int(suffix.size())) + suffix;
                if (!w->addSheet(name)) {
                    take = r;
                    break;
                }
                result.sheets << name;
                writeHeader();
            }
            const QVariant* row = values + size_t(first + r) * size_t(n);
            const int sheetRow = int(r % perSheet + 1);
            for (int c = 0; c < n; ++c) {
                const QVariant& v = row[c];
                if (!v.isValid()) continue;   // NULL: an empty cell
                Column& col = columns[size_t(c)];
                const int type = v.typeId();
                if (type == QMetaType::QString) {
                    const QString& s = *static_cast<const QString*>(v.constData());
                    if (s.size() > spreadsheet::kMaxCellTextLength) ++result.textsCut;
                    w->writeString(sheetRow, c, s, col.format);
                    col.width = std::max(col.width, int(std::min<qsizetype>(s.size(), 255)));
                } else if (type == QMetaType::Bool) {
                    const bool b = v.toBool();
                    w->writeBoolean(sheetRow, c, b, col.format);
                    col.width = std::max(col.width, b ? 4 : 5);
                } else if (isNumberType(type) || type == db::decimalMetaTypeId()) {
                    const double d = v.toDouble();
                    if (!std::isfinite(d)) {
                        w->writeString(
                            sheetRow, c, db::Recordset::valueText(v, set->fields[size_t(c)].type), col.format);
                        continue;
                    }
                    w->writeNumber(sheetRow, c, d, col.format);
                    if (col.money)
                        col.width = std::max(col.width, moneyWidth(d));
                    else if (col.dateFormat)
                        col.width = std::max(col.width, col.dateFormatWidth);
                    else if (col.width < kGeneralNumberMaxWidth)
                        col.width = std::max(col.width, generalWidth(d));
                } else if (type == QMetaType::QDateTime || type == QMetaType::QDate || type == QMetaType::QTime) {
                    double serial;
                    QString code;
                    if (type == QMetaType::QTime || set->fields[size_t(c)].type == db::DataType::DBTime) {
                        // A time of day alone (a time column may carry a date part of no meaning).
                        const QTime t = type == QMetaType::QTime ? v.toTime() : v.toDateTime().time();
                        serial = t.msecsSinceStartOfDay() / 86400000.0;
                        code = kTime;
                    } else {
                        const QDateTime dt =
                            type == QMetaType::QDate ? QDateTime(v.toDate(), QTime(0, 0)) : v.toDateTime();
                        const qint64 ms = dt.time().msecsSinceStartOfDay();
                        serial = spreadsheet::excelSerial(dt.date().year(), dt.date().month(), dt.date().day(), ms);
                        code = ms == 0 ? kDate : kDateTime;
                    }
                    if (std::isnan(serial)) {
                        // Before 1900: a sheet cannot hold it as a date, so it goes in as text.
                        const QString s = db::Recordset::valueText(v, set->fields[size_t(c)].type);
                        w->writeString(sheetRow, c, s, col.format);
                        col.width = std::max(col.width, int(s.size()));
                        continue;
                    }
                    // A date shows as a date: under the column's date format, else its own.
                    const int format = col.dateFormat ? col.format : formats.get(code);
                    w->writeNumber(sheetRow, c, serial, format);
                    col.width = std::max(col.width, int(col.dateFormat ? col.dateFormatWidth : code.size()));
                } else {
                    const QString s = db::Recordset::valueText(v, set->fields[size_t(c)].type);
                    if (s.size() > spreadsheet::kMaxCellTextLength) ++result.textsCut;
                    w->writeString(sheetRow, c, s, col.format);
                    col.width = std::max(col.width, int(std::min<qsizetype>(s.size(), 255)));
                }
            }
        }

        if (options.formatColumns) {
            for (int c = 0; c < n; ++c) {
                const Column& col = columns[size_t(c)];
                w->setColumn(c, std::min(spreadsheet::kMaxColumnWidth, double(std::max(col.width, 1) + 1)), col.format);
            }
        }
        w->close();

        while (!file.commit()) file.setPath(spreadsheet::freeExportPath());
        result.path = file.path();

        if (take > 0) rs.Move(take);
        result.rowsWritten = take;
        result.rowsLeft = std::max(0L, available - take);
    } catch (const Error& e) {
        // The writer knows only the temporary name: the user knows the workbook's.
        throw Error(e.number(), e.source(), QString(e.description()).replace(file.temporaryPath(), file.path()));
    }

    QStringList warnings;
    const auto quoted = [](const QStringList& names) {
        return QStringLiteral("\"") + names.join(QStringLiteral("\", \"")) + u'"';
    };
    if (result.sheets.size() == 2)
        warnings << QStringLiteral(
            "The result has %1 rows, more than a sheet holds (%2): they continue on the sheet %3 of the "
            "same workbook.")
                        .arg(result.rowsWritten)
                        .arg(options.maxRows)
                        .arg(quoted(result.sheets.mid(1)));
    else if (result.sheets.size() > 2)
        warnings << QStringLiteral(
            "The result has %1 rows, more than a sheet holds (%2): they continue on the sheets %3 "
            "of the same workbook.")
                        .arg(result.rowsWritten)
                        .arg(options.maxRows)
                        .arg(quoted(result.sheets.mid(1)));
    if (result.rowsLeft == 1)
        warnings << QStringLiteral("The sheet holds %1 rows of data: the last row of the result was not exported.")
                        .arg(options.maxRows);
    else if (result.rowsLeft > 1)
        warnings << QStringLiteral("The sheet holds %1 rows of data: the last %2 rows of the result were not exported.")
                        .arg(options.maxRows)
                        .arg(result.rowsLeft);
    if (result.textsCut == 1)
        warnings << QStringLiteral("1 text was longer than a cell holds and was cut to %1 characters.")
                        .arg(spreadsheet::kMaxCellTextLength);
    else if (result.textsCut > 1)
        warnings << QStringLiteral("%1 texts were longer than a cell holds and were cut to %2 characters.")
                        .arg(result.textsCut)
                        .arg(spreadsheet::kMaxCellTextLength);
    result.warning = warnings.join(QLatin1Char(' '));
    if (!result.warning.isEmpty()) userInterface().messageBox(result.warning, vbOKOnly | vbExclamation);

    if (options.open) result.opened = spreadsheet::openWithDesktop(result.path);
    return result;
}

ExportResult ExportRecordsetToExcel(db::Recordset& rs, const QString& templatePath, const QString& sheetName)
{
    ExportOptions options;
    options.templatePath = templatePath;
    options.sheetName = sheetName;
    return ExportRecordset(rs, options);
}

QString ExportRecordsetToText(db::Recordset& rs, const QString& fileName, const QString& colDelimiter,
    const QString& rowDelimiter, const QString& nullExpr)
{
    QString path = fileName;
    if (path.isEmpty()) {
        const QString temp = qEnvironmentVariable("TEMP");
        path = QDir(temp.isEmpty() ? QDir::tempPath() : temp).filePath(QStringLiteral("Report.txt"));
    }
    QStringList names;
    for (int i = 0; i < rs.fieldCount(); ++i) names << rs.field(i).name;

    // Written beside the file and renamed over it once complete; the name is never opened, so
    // a link planted under it (the default folder is shared) is refused, not followed.
    AtomicFile file(path, AtomicFile::Existing::ReplaceOwn, kPathFileAccessError, QStringLiteral("ExportToText"));
    file.write((names.join(colDelimiter) + rowDelimiter).toUtf8());
    // The body in slices, so that a large result never sits in memory twice.
    while (rs.isOpen() && !rs.isEOF()) file.write(rs.GetString(colDelimiter, rowDelimiter, nullExpr, 10000).toUtf8());
    file.commit();
    return path;
}

}   // namespace orra
