// Export of a large recordset to a workbook against a bare libxlsxwriter loop writing the
// same values, with the peak memory each adds.
//
//   bench_spreadsheet_export [rows]        (default 1,000,000 rows x 10 mixed columns)
//
// Each side runs in its own child process so that its peak resident size (VmHWM) is its own;
// the export's extra memory is its peak minus the resident size with the recordset built.

#include "common/SpreadsheetExport.h"
#include "platform/spreadsheet/SheetWriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xlsxwriter.h>

using namespace orra;
using orra::db::DataType;

namespace {

long statusKb(const char* key)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    char line[256];
    long v = 0;
    while (f && std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, std::strlen(key)) == 0) v = std::atol(line + std::strlen(key) + 1);
    if (f) std::fclose(f);
    return v;
}

void resetPeak()
{
    FILE* f = std::fopen("/proc/self/clear_refs", "w");
    if (f) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

double seconds(std::chrono::steady_clock::time_point a)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - a).count();
}

const char* kNames[10] = {
    "id", "customer", "amount", "price", "quantity", "created", "stamp", "active", "code", "ratio"};
const DataType kTypes[10] = {DataType::Integer, DataType::VarChar, DataType::Currency, DataType::Double,
    DataType::SmallInt, DataType::DBDate, DataType::DBTimeStamp, DataType::Boolean, DataType::VarChar,
    DataType::Numeric};

QVariant valueOf(long r, int c)
{
    switch (c) {
    case 0:
        return int(r + 1);
    case 1:
        return QStringLiteral("Müşteri %1 Ltd. Şti.").arg(r % 5000);
    case 2:
        return double((r * 7919) % 1000000) / 100.0;
    case 3:
        return 1.5 + double(r % 1000) / 7.0;
    case 4:
        return QVariant(short(r % 300));
    case 5:
        return QDate(2020, 1, 1).addDays(r % 1500);
    case 6:
        return QDateTime(QDate(2021, 6, 1).addDays(r % 900), QTime(int(r % 24), int(r % 60)));
    case 7:
        return (r % 3) == 0;
    case 8:
        return QStringLiteral("K-%1").arg(r % 100000, 6, 10, QLatin1Char('0'));
    default:
        return r % 11 == 0 ? QVariant() : QVariant(double(r % 997) / 13.0);
    }
}

db::ResultSet build(long rows)
{
    db::ResultSet s;
    s.hasRows = true;
    for (int c = 0; c < 10; ++c) {
        db::FieldInfo f;
        f.name = QString::fromLatin1(kNames[c]);
        f.type = kTypes[c];
        s.fields.push_back(f);
    }
    s.values.reserve(size_t(rows) * 10);
    for (long r = 0; r < rows; ++r)
        for (int c = 0; c < 10; ++c) s.values.push_back(valueOf(r, c));
    return s;
}

// The same values in the writer's own terms, written by hand: header, formats, cells.
void bareLoop(const db::ResultSet& s, const QString& path)
{
    lxw_workbook_options o{};
    o.constant_memory = LXW_TRUE;
    lxw_workbook* wb = workbook_new_opt(QFile::encodeName(path).constData(), &o);
    lxw_worksheet* ws = workbook_add_worksheet(wb, nullptr);
    lxw_format* money = workbook_add_format(wb);
    format_set_num_format(money, "#,##0.00");
    lxw_format* date = workbook_add_format(wb);
    format_set_num_format(date, "dd.mm.yyyy");
    lxw_format* stamp = workbook_add_format(wb);
    format_set_num_format(stamp, "dd.mm.yyyy hh:mm");
    lxw_format* fmt[10] = {nullptr, nullptr, money, money, nullptr, date, stamp, nullptr, nullptr, nullptr};
    for (int c = 0; c < 10; ++c) worksheet_write_string(ws, 0, lxw_col_t(c), kNames[c], nullptr);
    const long rows = s.rowCount();
    for (long r = 0; r < rows; ++r) {
        const QVariant* row = s.values.data() + r * 10;
        for (int c = 0; c < 10; ++c) {
            const QVariant& v = row[c];
            if (!v.isValid()) continue;
            switch (v.typeId()) {
            case QMetaType::QString:
                worksheet_write_string(ws, lxw_row_t(r + 1), lxw_col_t(c), v.toString().toUtf8().constData(), fmt[c]);
                break;
            case QMetaType::Bool:
                worksheet_write_boolean(ws, lxw_row_t(r + 1), lxw_col_t(c), v.toBool(), fmt[c]);
                break;
            case QMetaType::QDate:
            case QMetaType::QDateTime: {
                const QDateTime dt = v.toDateTime();
                const double serial = spreadsheet::excelSerial(
                    dt.date().year(), dt.date().month(), dt.date().day(), dt.time().msecsSinceStartOfDay());
                worksheet_write_number(ws, lxw_row_t(r + 1), lxw_col_t(c), serial, fmt[c]);
                break;
            }
            default:
                worksheet_write_number(ws, lxw_row_t(r + 1), lxw_col_t(c), v.toDouble(), fmt[c]);
            }
        }
    }
    workbook_close(wb);
}

// Runs one side in this (child) process and prints "seconds builtKb peakAddedKb".
int runSide(const char* side, long rows, const QString& dir)
{
    const long before = statusKb("VmRSS:");
    std::vector<db::ResultSet> sets;
    sets.push_back(build(rows));
    db::Recordset rs(std::move(sets));
    const db::ResultSet& s = *rs.current();
    const long built = statusKb("VmRSS:");
    resetPeak();
    const auto t0 = std::chrono::steady_clock::now();
    if (std::strcmp(side, "export") == 0) {
        ExportOptions o;
        o.open = false;
        o.path = dir + "/export.xlsx";
        const ExportResult r = ExportRecordset(rs, o);
        if (r.rowsWritten != rows) return 2;
    } else {
        bareLoop(s, dir + "/bare.xlsx");
    }
    const double t = seconds(t0);
    const long peak = statusKb("VmHWM:");
    std::printf("%f %ld %ld\n", t, built - before, peak - built);
    return 0;
}

struct Side {
    double seconds = 0;
    long recordsetKb = 0;
    long addedKb = 0;
};

Side spawn(const char* self, const char* side, long rows)
{
    int fds[2];
    if (pipe(fds) != 0) std::exit(1);
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        execl(self, self, "--side", side, std::to_string(rows).c_str(), nullptr);
        _exit(127);
    }
    close(fds[1]);
    char buf[256] = {};
    const ssize_t n = read(fds[0], buf, sizeof buf - 1);
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    Side s;
    if (n <= 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0
        || std::sscanf(buf, "%lf %ld %ld", &s.seconds, &s.recordsetKb, &s.addedKb) != 3) {
        std::fprintf(stderr, "%s side failed\n", side);
        std::exit(1);
    }
    return s;
}

}   // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--side") == 0) {
        QTemporaryDir dir;
        return runSide(argv[2], std::atol(argv[3]), dir.path());
    }
    const long rows = argc >= 2 ? std::atol(argv[1]) : 1000000;
    std::printf("%ld rows x 10 mixed columns\n", rows);
    const Side bare = spawn("/proc/self/exe", "bare", rows);
    const Side exp = spawn("/proc/self/exe", "export", rows);
    std::printf("bare libxlsxwriter loop: %.2f s, peak memory added %ld KiB\n", bare.seconds, bare.addedKb);
    std::printf("ExportRecordset:         %.2f s, peak memory added %ld KiB (recordset itself %ld KiB)\n", exp.seconds,
        exp.addedKb, exp.recordsetKb);
    std::printf("time ratio export/bare:  %.3f (target <= 1.3)\n", exp.seconds / bare.seconds);
    std::printf("memory added / recordset: %.3f (target <= 1.0)\n", double(exp.addedKb) / double(exp.recordsetKb));
    return 0;
}
