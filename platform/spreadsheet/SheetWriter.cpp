#include "platform/spreadsheet/SheetWriter.h"

#include "platform/spreadsheet/ShortestNumbers.h"
#include "platform/host/Error.h"

#include <QDate>
#include <QFile>
#include <cmath>
#include <limits>
#include <vector>
#include <xlsxwriter.h>

namespace orra::spreadsheet {
namespace {

QString source() { return QStringLiteral("Workbook"); }

// A new workbook through libxlsxwriter in constant-memory mode.
class StreamingSheetWriter final : public SheetWriter {
public:
    explicit StreamingSheetWriter(const QString& path) : m_path(path)
    {
        lxw_workbook_options options{};
        options.constant_memory = LXW_TRUE;
        const QByteArray file = QFile::encodeName(path);
        m_workbook = workbook_new_opt(file.constData(), &options);
        if (!m_workbook)
            throw Error(kErrorWorkbook, source(), QStringLiteral("Cannot create the workbook %1").arg(path));
        m_sheet = workbook_add_worksheet(m_workbook, nullptr);
        if (!m_sheet) {
            lxw_workbook_free(m_workbook);
            m_workbook = nullptr;
            throw Error(kErrorWorkbook, source(), QStringLiteral("Cannot add a sheet to the workbook %1").arg(path));
        }
        m_formats.push_back(nullptr);   // General
        m_sheets.push_back(m_sheet);
    }

    ~StreamingSheetWriter() override
    {
        if (m_workbook) {
            // Not closed: drop what was written so far; no half-written workbook stays behind.
            lxw_workbook_free(m_workbook);
            QFile::remove(m_path);
        }
    }

    int addNumberFormat(const QString& code) override
    {
        if (code.isEmpty() || code.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0) return 0;
        lxw_format* f = workbook_add_format(m_workbook);
        format_set_num_format(f, code.toUtf8().constData());
        m_formats.push_back(f);
        return int(m_formats.size() - 1);
    }

    void setColumnCount(int) override {}

    void writeString(int row, int column, const QString& text, int format) override
    {
        if (text.size() > kMaxCellTextLength) {
            writeUtf8(row, column, text.left(kMaxCellTextLength).toUtf8(), format);
            return;
        }
        writeUtf8(row, column, text.toUtf8(), format);
    }

    void writeUtf8(int row, int column, const QByteArray& text, int format) override
    {
        if (text.size() > kMaxCellTextLength) {
            // The limit counts characters; only a long UTF-8 text can exceed it.
            const QString s = QString::fromUtf8(text);
            if (s.size() > kMaxCellTextLength) {
                writeUtf8(row, column, s.left(kMaxCellTextLength).toUtf8(), format);
                return;
            }
        }
        check(worksheet_write_string(m_sheet, lxw_row_t(row), lxw_col_t(column), text.constData(), formatOf(format)),
            row, column);
    }

    void writeNumber(int row, int column, double value, int format) override
    {
        check(worksheet_write_number(m_sheet, lxw_row_t(row), lxw_col_t(column), value, formatOf(format)), row, column);
    }

    void writeBoolean(int row, int column, bool value, int format) override
    {
        check(worksheet_write_boolean(m_sheet, lxw_row_t(row), lxw_col_t(column), value ? 1 : 0, formatOf(format)), row,
            column);
    }

    void setShortestNumbers(bool on) override { m_shortestNumbers = on; }

    void setColumn(int column, double width, int format) override
    {
        for (lxw_worksheet* sheet : m_sheets) {
            const lxw_error e = worksheet_set_column(
                sheet, lxw_col_t(column), lxw_col_t(column), width < 0 ? LXW_DEF_COL_WIDTH : width, formatOf(format));
            if (e != LXW_NO_ERROR) throw Error(kErrorWorkbook, source(), QString::fromUtf8(lxw_strerror(e)));
        }
    }

    QString sheetName() const override { return m_sheetName; }

    bool addSheet(const QString& name) override
    {
        const QByteArray n = name.toUtf8();
        lxw_worksheet* sheet = workbook_add_worksheet(m_workbook, n.constData());
        if (!sheet)
            throw Error(kErrorWorkbook, source(),
                QStringLiteral("Cannot add the sheet %1 to the workbook %2").arg(name, m_path));
        m_sheet = sheet;
        m_sheets.push_back(sheet);
        m_sheetName = name;
        return true;
    }

    void close() override
    {
        lxw_workbook* wb = m_workbook;
        m_workbook = nullptr;
        const lxw_error e = workbook_close(wb);
        if (e != LXW_NO_ERROR) {
            QFile::remove(m_path);
            throw Error(kErrorWorkbook, source(),
                QStringLiteral("Cannot write the workbook %1: %2").arg(m_path, QString::fromUtf8(lxw_strerror(e))));
        }
        // A workbook whose numbers keep their 16-digit text is still right: a failure here
        // changes nothing.
        if (m_shortestNumbers) rewriteShortestNumbers(m_path);
    }

private:
    lxw_format* formatOf(int handle) const
    {
        return handle > 0 && size_t(handle) < m_formats.size() ? m_formats[size_t(handle)] : nullptr;
    }
    void check(lxw_error e, int row, int column) const
    {
        if (e != LXW_NO_ERROR)
            throw Error(kErrorWorkbook, source(),
                QStringLiteral("Cannot write the cell at row %1, column %2: %3")
                    .arg(row + 1)
                    .arg(column + 1)
                    .arg(QString::fromUtf8(lxw_strerror(e))));
    }

    QString m_path;
    lxw_workbook* m_workbook = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    std::vector<lxw_worksheet*> m_sheets;
    QString m_sheetName = QStringLiteral("Sheet1");   // libxlsxwriter's name for the first sheet
    std::vector<lxw_format*> m_formats;
    bool m_shortestNumbers = false;
};

}   // namespace

std::unique_ptr<SheetWriter> SheetWriter::create(const QString& path)
{
    return std::make_unique<StreamingSheetWriter>(path);
}

double excelSerial(int year, int month, int day, qint64 msecsOfDay)
{
    const QDate d(year, month, day);
    if (!d.isValid() || year < 1900 || year > 9999) return std::numeric_limits<double>::quiet_NaN();
    // Day 1 is 1 January 1900; the 1900 system counts a 29 February 1900 that never was, so
    // from 1 March 1900 on the count is one higher than the days since 31 December 1899.
    qint64 days = QDate(1899, 12, 31).daysTo(d);
    if (d >= QDate(1900, 3, 1)) ++days;
    return double(days) + double(msecsOfDay) / 86400000.0;
}

}   // namespace orra::spreadsheet
