#include "common/SpreadsheetExport.h"
#include "platform/spreadsheet/Desktop.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"
#include "tests/spreadsheet/XlsxTestReader.h"
#include "tests/support/RecordingUserInterface.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <xlsxwriter.h>

using namespace orra;
using orra::db::DataType;
using orra::testing::XlsxTestReader;

namespace {

class EnvGuard {
public:
    explicit EnvGuard(const char* name) : m_name(name), m_set(qEnvironmentVariableIsSet(name)), m_value(qgetenv(name))
    {
    }
    ~EnvGuard() { m_set ? qputenv(m_name, m_value) : qunsetenv(m_name); }

private:
    const char* m_name;
    bool m_set;
    QByteArray m_value;
};

db::FieldInfo field(const QString& name, DataType type)
{
    db::FieldInfo f;
    f.name = name;
    f.type = type;
    return f;
}

db::Recordset recordset(std::vector<db::FieldInfo> fields, const std::vector<std::vector<QVariant>>& rows)
{
    db::ResultSet s;
    s.fields = std::move(fields);
    s.hasRows = true;
    for (const auto& r : rows) s.values.insert(s.values.end(), r.begin(), r.end());
    return db::Recordset({s});
}

// What a sheet stores as the width of a column of w characters.
double stored(double w) { return int((int(w * 7 + 0.5) + 5) / 7.0 * 256.0) / 256.0; }

class SpreadsheetExport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        qputenv("ORRA_EXPORT_DIR", QFile::encodeName(m_dir.path()));
        m_previousUi = setUserInterface(&m_ui);
        spreadsheet::setDesktopOpener([this](const QString& p) {
            m_opened << p;
            return true;
        });
    }
    void TearDown() override
    {
        setUserInterface(m_previousUi);
        spreadsheet::setDesktopOpener({});
    }
    QTemporaryDir m_dir;
    EnvGuard m_exportDir{"ORRA_EXPORT_DIR"};
    EnvGuard m_noOpen{"ORRA_NO_OPEN"};
    test::RecordingUserInterface m_ui;
    UserInterface* m_previousUi = nullptr;
    QStringList m_opened;
};

}   // namespace

TEST_F(SpreadsheetExport, NumberFormatsByType)
{
    EXPECT_EQ(ExportNumberFormat(DataType::Date), "dd.mm.yyyy");
    EXPECT_EQ(ExportNumberFormat(DataType::DBDate), "dd.mm.yyyy");
    EXPECT_EQ(ExportNumberFormat(DataType::DBTimeStamp), "dd.mm.yyyy hh:mm");
    EXPECT_EQ(ExportNumberFormat(DataType::Double), "#,##0.00");
    EXPECT_EQ(ExportNumberFormat(DataType::Currency), "#,##0.00");
    for (DataType t : {DataType::Integer, DataType::BigInt, DataType::Single, DataType::Numeric, DataType::VarChar,
             DataType::Boolean, DataType::DBTime, DataType::Guid})
        EXPECT_EQ(ExportNumberFormat(t), "General");
}

TEST_F(SpreadsheetExport, EmptyRecordsetGivesHeaderOnlyFormattedAndFitted)
{
    auto rs = recordset({field("Müşteri", DataType::VarChar), field("Tutar", DataType::Currency),
                            field("Tarih", DataType::DBTimeStamp)},
        {});
    const ExportResult r = ExportRecordsetToExcel(rs);
    EXPECT_TRUE(r.path.startsWith(m_dir.path() + "/Report-"));
    EXPECT_EQ(r.rowsWritten, 0);
    EXPECT_EQ(r.rowsLeft, 0);
    EXPECT_TRUE(r.warning.isEmpty());
    XlsxTestReader x(r.path);
    auto cells = x.cells();
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_EQ(cells["A1"].text, QStringLiteral("Müşteri"));
    EXPECT_EQ(cells["B1"].text, "Tutar");
    EXPECT_EQ(cells["C1"].text, "Tarih");
    auto cols = x.columns();
    EXPECT_EQ(cols[1].numberFormat, "General");
    EXPECT_EQ(cols[2].numberFormat, "#,##0.00");
    EXPECT_EQ(cols[3].numberFormat, "dd.mm.yyyy hh:mm");
    EXPECT_DOUBLE_EQ(cols[1].width, stored(8));   // "Müşteri" + 1
    EXPECT_DOUBLE_EQ(cols[2].width, stored(6));
}

TEST_F(SpreadsheetExport, StartsAtTheCurrentRowAndLeavesTheRecordsetAtEof)
{
    std::vector<std::vector<QVariant>> rows;
    for (int i = 1; i <= 5; ++i) rows.push_back({i, QStringLiteral("row %1").arg(i)});
    auto rs = recordset({field("No", DataType::Integer), field("Name", DataType::VarChar)}, rows);
    rs.MoveNext();
    rs.MoveNext();   // at row 3
    const ExportResult r = ExportRecordsetToExcel(rs);
    EXPECT_EQ(r.rowsWritten, 3);
    EXPECT_TRUE(rs.isEOF());
    auto cells = XlsxTestReader(r.path).cells();
    EXPECT_DOUBLE_EQ(cells["A2"].number, 3);
    EXPECT_EQ(cells["B2"].text, "row 3");
    EXPECT_DOUBLE_EQ(cells["A4"].number, 5);
    EXPECT_EQ(cells.count("A5"), 0u);
}

TEST_F(SpreadsheetExport, EveryTypeGroupKeepsItsCellTypeAndFormat)
{
    const QDateTime stamp(QDate(2024, 3, 5), QTime(14, 30));
    const QUuid guid = QUuid::fromString(QStringLiteral("{67c8770b-44f1-410a-ab9a-f9b5446f13ee}"));
    auto rs = recordset(
        {field("small", DataType::SmallInt), field("int", DataType::Integer), field("big", DataType::BigInt),
            field("tiny", DataType::TinyInt), field("single", DataType::Single), field("double", DataType::Double),
            field("money", DataType::Currency), field("numeric", DataType::Numeric), field("bit", DataType::Boolean),
            field("date", DataType::Date), field("dbdate", DataType::DBDate), field("time", DataType::DBTime),
            field("stamp", DataType::DBTimeStamp), field("text", DataType::VarChar), field("wtext", DataType::VarWChar),
            field("guid", DataType::Guid), field("bin", DataType::VarBinary)},
        {{QVariant(short(-7)), 42, QVariant(qint64(9007199254740993LL)), QVariant(uchar(200)), QVariant(1.5f),
             1234567.891, 1234.5, 0.125, true, QVariant(QDateTime(QDate(2024, 1, 15), QTime(0, 0))),
             QVariant(QDate(2024, 1, 15)), QVariant(QTime(6, 0)), QVariant(stamp), QStringLiteral("00123"),
             QStringLiteral("İstanbul"), QVariant(guid.toString(QUuid::WithBraces).toUpper()),
             QVariant(QByteArray("AB"))},
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), false,
                QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()}});
    const ExportResult r = ExportRecordsetToExcel(rs);
    XlsxTestReader x(r.path);
    auto c = x.cells();

    EXPECT_EQ(c["A2"].type, "n");
    EXPECT_DOUBLE_EQ(c["A2"].number, -7);
    EXPECT_EQ(c["A2"].numberFormat, "General");
    EXPECT_DOUBLE_EQ(c["B2"].number, 42);
    EXPECT_DOUBLE_EQ(c["C2"].number, 9007199254740992.0);   // a sheet holds doubles
    EXPECT_DOUBLE_EQ(c["D2"].number, 200);
    EXPECT_DOUBLE_EQ(c["E2"].number, 1.5);
    EXPECT_EQ(c["E2"].numberFormat, "General");
    EXPECT_DOUBLE_EQ(c["F2"].number, 1234567.891);
    EXPECT_EQ(c["F2"].numberFormat, "#,##0.00");
    EXPECT_DOUBLE_EQ(c["G2"].number, 1234.5);
    EXPECT_EQ(c["G2"].numberFormat, "#,##0.00");
    EXPECT_DOUBLE_EQ(c["H2"].number, 0.125);
    EXPECT_EQ(c["H2"].numberFormat, "General");
    EXPECT_EQ(c["I2"].type, "b");
    EXPECT_EQ(c["I2"].number, 1);
    EXPECT_EQ(c["I3"].type, "b");
    EXPECT_EQ(c["I3"].number, 0);
    EXPECT_DOUBLE_EQ(c["J2"].number, 45306);
    EXPECT_EQ(c["J2"].numberFormat, "dd.mm.yyyy");
    EXPECT_DOUBLE_EQ(c["K2"].number, 45306);
    EXPECT_EQ(c["K2"].numberFormat, "dd.mm.yyyy");
    EXPECT_DOUBLE_EQ(c["L2"].number, 0.25);
    EXPECT_EQ(c["L2"].numberFormat, "hh:mm:ss");   // a time shows as a time
    EXPECT_DOUBLE_EQ(c["M2"].number, 45356 + 14.5 / 24);
    EXPECT_EQ(c["M2"].numberFormat, "dd.mm.yyyy hh:mm");
    EXPECT_EQ(c["N2"].type, "inlineStr");
    EXPECT_EQ(c["N2"].text, "00123");   // text stays text
    EXPECT_EQ(c["O2"].text, QStringLiteral("İstanbul"));
    EXPECT_EQ(c["P2"].text, "{67C8770B-44F1-410A-AB9A-F9B5446F13EE}");
    EXPECT_EQ(c["Q2"].type, "inlineStr");
    // NULL is an empty cell: row 3 holds only the Boolean.
    for (const char* ref : {"A3", "B3", "F3", "J3", "M3", "N3", "Q3"}) EXPECT_EQ(c.count(ref), 0u) << ref;

    auto cols = x.columns();
    EXPECT_EQ(cols[6].numberFormat, "#,##0.00");
    EXPECT_EQ(cols[13].numberFormat, "dd.mm.yyyy hh:mm");
    EXPECT_DOUBLE_EQ(cols[6].width, stored(13));    // "1,234,567.89" + 1
    EXPECT_DOUBLE_EQ(cols[13].width, stored(17));   // "dd.mm.yyyy hh:mm" + 1
    EXPECT_DOUBLE_EQ(cols[16].width, stored(39));   // the GUID + 1
    EXPECT_DOUBLE_EQ(cols[3].width, stored(12));    // "9.00720E+15" + 1
}

TEST_F(SpreadsheetExport, ScriptVariantHasNoColumnFormatsButDatesStayDates)
{
    auto rs = recordset(
        {field("amount", DataType::Double), field("day", DataType::Date)}, {{2.5, QVariant(QDate(2024, 1, 15))}});
    ExportOptions o;
    o.formatColumns = false;
    const ExportResult r = ExportRecordset(rs, o);
    XlsxTestReader x(r.path);
    auto c = x.cells();
    EXPECT_EQ(c["A2"].numberFormat, "General");
    EXPECT_EQ(c["B2"].numberFormat, "dd.mm.yyyy");
    EXPECT_TRUE(x.columns().empty());
}

TEST_F(SpreadsheetExport, RowsBeyondASheetContinueOnNumberedSheetsAndSaySoOnce)
{
    std::vector<std::vector<QVariant>> rows;
    for (int i = 1; i <= 8; ++i) rows.push_back({i});
    auto rs = recordset({field("n", DataType::Integer)}, rows);
    ExportOptions o;
    o.maxRows = 3;
    const ExportResult r = ExportRecordset(rs, o);
    EXPECT_EQ(r.rowsWritten, 8);
    EXPECT_EQ(r.rowsLeft, 0);
    EXPECT_EQ(r.sheets, (QStringList{"Sheet1", "Sheet1 (2)", "Sheet1 (3)"}));
    EXPECT_EQ(r.warning,
        "The result has 8 rows, more than a sheet holds (3): they continue on the sheets "
        "\"Sheet1 (2)\", \"Sheet1 (3)\" of the same workbook.");
    ASSERT_EQ(m_ui.boxes.size(), 1);
    EXPECT_EQ(m_ui.boxes[0].text, r.warning);
    EXPECT_EQ(m_ui.boxes[0].style, vbOKOnly | vbExclamation);
    EXPECT_TRUE(rs.isEOF());
    XlsxTestReader x(r.path);
    EXPECT_EQ(x.sheetNames(), (QStringList{"Sheet1", "Sheet1 (2)", "Sheet1 (3)"}));
    auto first = x.cells("Sheet1");
    EXPECT_DOUBLE_EQ(first["A4"].number, 3);
    EXPECT_EQ(first.count("A5"), 0u);
    auto second = x.cells("Sheet1 (2)");
    EXPECT_EQ(second["A1"].text, "n");
    EXPECT_DOUBLE_EQ(second["A2"].number, 4);
    EXPECT_DOUBLE_EQ(second["A4"].number, 6);
    auto third = x.cells("Sheet1 (3)");
    EXPECT_DOUBLE_EQ(third["A3"].number, 8);
    EXPECT_EQ(third.count("A4"), 0u);
    // Every sheet has the column's width and format.
    EXPECT_EQ(x.columns("Sheet1 (3)").size(), 1u);
}

TEST_F(SpreadsheetExport, AFullSheetHoldsEveryRowBelowTheHeaderAndTheNextRowGoesOn)
{
    const long total = spreadsheet::kMaxRows;   // one more than fits below the header
    db::ResultSet s;
    s.fields = {field("n", DataType::Integer)};
    s.hasRows = true;
    s.values.reserve(size_t(total));
    for (long i = 1; i <= total; ++i) s.values.emplace_back(int(i));
    db::Recordset rs({s});
    const ExportResult r = ExportRecordsetToExcel(rs);
    EXPECT_EQ(r.rowsWritten, 1048576);
    EXPECT_EQ(r.rowsLeft, 0);
    EXPECT_EQ(r.warning,
        "The result has 1048576 rows, more than a sheet holds (1048575): they continue on the sheet "
        "\"Sheet1 (2)\" of the same workbook.");
    XlsxTestReader x(r.path);
    const std::string xml = x.part("xl/worksheets/sheet1.xml");
    EXPECT_NE(xml.find("<c r=\"A1048576\"><v>1048575</v></c>"), std::string::npos);
    EXPECT_EQ(xml.find("A1048577"), std::string::npos);
    auto second = x.cells("Sheet1 (2)");
    EXPECT_DOUBLE_EQ(second["A2"].number, 1048576);
}

TEST_F(SpreadsheetExport, LongTextsAreCutAndReported)
{
    const struct {
        int texts;
        const char* warning;
    } cases[] = {
        {1, "1 text was longer than a cell holds and was cut to 32767 characters."},
        {2, "2 texts were longer than a cell holds and were cut to 32767 characters."},
    };
    for (const auto& c : cases) {
        std::vector<std::vector<QVariant>> rows(size_t(c.texts), {QString(40000, QLatin1Char('x'))});
        auto rs = recordset({field("memo", DataType::LongVarChar)}, rows);
        const ExportResult r = ExportRecordsetToExcel(rs);
        EXPECT_EQ(r.textsCut, c.texts);
        EXPECT_EQ(r.warning, c.warning);
        EXPECT_EQ(XlsxTestReader(r.path).cells()["A2"].text.size(), 32767);
    }
}

TEST_F(SpreadsheetExport, TemplateWithANamedSheet)
{
    const QString tpl = m_dir.path() + "/tpl.xlsx";
    lxw_workbook* wb = workbook_new(QFile::encodeName(tpl).constData());
    lxw_worksheet* first = workbook_add_worksheet(wb, "Notes");
    worksheet_write_string(first, 0, 0, "read me", nullptr);
    lxw_worksheet* data = workbook_add_worksheet(wb, "Veri");
    worksheet_write_string(data, 0, 3, "Toplam", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

    auto rs = recordset({field("Ad", DataType::VarChar), field("Tutar", DataType::Currency)},
        {{QStringLiteral("a"), 10.0}, {QStringLiteral("b"), 20.5}});
    const ExportResult r = ExportRecordsetToExcel(rs, tpl, QStringLiteral("Veri"));
    XlsxTestReader x(r.path);
    EXPECT_EQ(x.cells("Notes")["A1"].text, "read me");
    auto c = x.cells("Veri");
    EXPECT_EQ(c["A1"].text, "Ad");
    EXPECT_EQ(c["D1"].text, "Toplam");
    EXPECT_EQ(c["A3"].text, "b");
    EXPECT_DOUBLE_EQ(c["B3"].number, 20.5);
    EXPECT_EQ(c["B3"].numberFormat, "#,##0.00");
    EXPECT_EQ(x.columns("Veri")[2].numberFormat, "#,##0.00");

    auto again = recordset({field("Ad", DataType::VarChar)}, {});
    try {
        ExportRecordsetToExcel(again, tpl, QStringLiteral("Sayfa9"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), "The template tpl.xlsx has no sheet named \"Sayfa9\"");
    }
    // The failed export leaves no file behind.
    EXPECT_EQ(QDir(m_dir.path()).entryList({"Report-*"}, QDir::Files).size(), 1);
}

TEST_F(SpreadsheetExport, TemplateRowsBeyondASheetContinueOnNewSheets)
{
    const QString tpl = m_dir.path() + "/tpl-more.xlsx";
    lxw_workbook* wb = workbook_new(QFile::encodeName(tpl).constData());
    worksheet_write_string(workbook_add_worksheet(wb, "Veri"), 0, 3, "Toplam", nullptr);
    worksheet_write_string(workbook_add_worksheet(wb, "Notes"), 0, 0, "read me", nullptr);
    ASSERT_EQ(workbook_close(wb), LXW_NO_ERROR);

    std::vector<std::vector<QVariant>> rows;
    for (int i = 1; i <= 5; ++i) rows.push_back({i, QDate(2025, 1, i)});
    auto rs = recordset({field("n", DataType::Integer), field("d", DataType::DBDate)}, rows);
    ExportOptions o;
    o.templatePath = tpl;
    o.sheetName = QStringLiteral("Veri");
    o.maxRows = 2;
    const ExportResult r = ExportRecordset(rs, o);
    EXPECT_EQ(r.rowsWritten, 5);
    EXPECT_EQ(r.rowsLeft, 0);
    EXPECT_EQ(r.sheets, (QStringList{"Veri", "Veri (2)", "Veri (3)"}));
    ASSERT_EQ(m_ui.boxes.size(), 1);
    XlsxTestReader x(r.path);
    EXPECT_EQ(x.sheetNames(), (QStringList{"Veri", "Notes", "Veri (2)", "Veri (3)"}));
    EXPECT_EQ(x.cells("Notes")["A1"].text, "read me");
    auto first = x.cells("Veri");
    EXPECT_EQ(first["D1"].text, "Toplam");
    EXPECT_DOUBLE_EQ(first["A3"].number, 2);
    auto third = x.cells("Veri (3)");
    EXPECT_EQ(third["B1"].text, "d");
    EXPECT_DOUBLE_EQ(third["A2"].number, 5);
    EXPECT_EQ(third["B2"].numberFormat, "dd.mm.yyyy");
    EXPECT_EQ(x.columns("Veri (2)")[2].numberFormat, "dd.mm.yyyy");
}

TEST_F(SpreadsheetExport, ExportsNeverOverwriteEachOther)
{
    auto a = recordset({field("x", DataType::Integer)}, {{1}});
    auto b = recordset({field("x", DataType::Integer)}, {{2}});
    const ExportResult r1 = ExportRecordsetToExcel(a);
    const ExportResult r2 = ExportRecordsetToExcel(b);
    EXPECT_NE(r1.path, r2.path);
    EXPECT_DOUBLE_EQ(XlsxTestReader(r1.path).cells()["A2"].number, 1);
    EXPECT_DOUBLE_EQ(XlsxTestReader(r2.path).cells()["A2"].number, 2);
}

TEST_F(SpreadsheetExport, HeadlessRunsNeverOpenAWindow)
{
    auto rs = recordset({field("x", DataType::Integer)}, {{1}});
    qputenv("ORRA_NO_OPEN", "1");
    EXPECT_FALSE(ExportRecordsetToExcel(rs).opened);
    EnvGuard display("DISPLAY"), wayland("WAYLAND_DISPLAY"), qpa("QT_QPA_PLATFORM");
    qunsetenv("ORRA_NO_OPEN");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    rs.MoveFirst();
    EXPECT_FALSE(ExportRecordsetToExcel(rs).opened);
    qputenv("DISPLAY", ":0");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    rs.MoveFirst();
    EXPECT_FALSE(ExportRecordsetToExcel(rs).opened);
    EXPECT_TRUE(m_opened.isEmpty());
    // With a display and no ORRA_NO_OPEN the workbook is handed to the desktop.
    qunsetenv("QT_QPA_PLATFORM");
    rs.MoveFirst();
    const ExportResult r = ExportRecordsetToExcel(rs);
    EXPECT_TRUE(r.opened);
    EXPECT_EQ(m_opened, QStringList{r.path});
}

TEST_F(SpreadsheetExport, AClosedRecordsetIsAnError)
{
    auto rs = recordset({field("x", DataType::Integer)}, {{1}});
    rs.close();
    try {
        ExportRecordsetToExcel(rs);
        FAIL();
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3704);
    }
}

TEST_F(SpreadsheetExport, TextExportToTheDefaultFile)
{
    EnvGuard temp("TEMP");
    qputenv("TEMP", QFile::encodeName(m_dir.path()));
    auto rs =
        recordset({field("Ad", DataType::VarChar), field("Tutar", DataType::Double), field("Gün", DataType::DBDate)},
            {{QStringLiteral("Şule"), 2.5, QVariant(QDate(2024, 1, 15))}, {QVariant(), 3.0, QVariant()}});
    const QString path = ExportRecordsetToText(rs);
    EXPECT_EQ(path, m_dir.path() + "/Report.txt");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(f.readAll()), QStringLiteral("Ad,Tutar,Gün\r\nŞule,2.5,2024-01-15\r\nNULL,3,NULL\r\n"));
    EXPECT_TRUE(rs.isEOF());
}

TEST_F(SpreadsheetExport, TextExportWithDelimitersAndNoRows)
{
    auto rs = recordset({field("a", DataType::Integer), field("b", DataType::Integer)}, {{1, QVariant()}});
    const QString path = m_dir.path() + "/out.txt";
    ExportRecordsetToText(rs, path, "\t", "\n", "-");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "a\tb\n1\t-\n");
    f.close();
    // At EOF already: the header alone, replacing the earlier file.
    ExportRecordsetToText(rs, path, "\t", "\n", "-");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "a\tb\n");
}

TEST_F(SpreadsheetExport, TextExportNeverWritesThroughALinkPlantedUnderItsName)
{
    // Another account's link named Report.txt in the shared temporary folder, pointing at the
    // user's own file: the export refuses it by name and leaves both the link and the file.
    EnvGuard temp("TEMP");
    qputenv("TEMP", QFile::encodeName(m_dir.path()));
    const QString victim = m_dir.path() + "/victim.txt";
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("mine");
    }
    ASSERT_TRUE(QFile::link(victim, m_dir.path() + "/Report.txt"));
    auto rs = recordset({field("a", DataType::Integer)}, {{1}});
    try {
        ExportRecordsetToText(rs);
        FAIL() << "the link was written through";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 75);
        EXPECT_TRUE(e.description().contains(m_dir.path() + "/Report.txt")) << e.what();
    }
    QFile f(victim);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "mine");
    EXPECT_TRUE(QFileInfo(m_dir.path() + "/Report.txt").isSymLink());
    // Nothing else is left in the folder.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 2);
}

TEST_F(SpreadsheetExport, TextExportReplacesNothingButAPlainFile)
{
    // A pipe under the name is left in place, and the script hears why.
    const QString path = m_dir.path() + "/out.txt";
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    auto rs = recordset({field("a", DataType::Integer)}, {{1}});
    try {
        ExportRecordsetToText(rs, path);
        FAIL() << "the pipe was replaced";
    } catch (const Error& e) {
        EXPECT_TRUE(e.description().contains(path)) << e.what();
    }
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(), 1);
}
