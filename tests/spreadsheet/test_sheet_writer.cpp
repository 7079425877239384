#include "platform/spreadsheet/Desktop.h"
#include "platform/spreadsheet/SheetWriter.h"
#include "platform/spreadsheet/ShortestNumbers.h"
#include "platform/host/Error.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>
#include <xlsxwriter.h>

using namespace orra;
using namespace orra::spreadsheet;
using orra::testing::XlsxTestReader;

namespace {

// Restores an environment variable when the test ends.
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

// A two-sheet template made with libxlsxwriter directly: "Cover" and "Data".
QString makeTemplate(const QString& dir)
{
    const QString path = dir + "/template.xlsx";
    lxw_workbook* wb = workbook_new(QFile::encodeName(path).constData());
    lxw_worksheet* cover = workbook_add_worksheet(wb, "Cover");
    worksheet_write_string(cover, 0, 0, "Monthly report", nullptr);
    lxw_worksheet* data = workbook_add_worksheet(wb, "Data");
    worksheet_write_string(data, 0, 0, "old header", nullptr);
    worksheet_write_string(data, 0, 4, "kept", nullptr);
    worksheet_write_number(data, 2, 1, 99, nullptr);
    worksheet_write_number(data, 6, 0, 7, nullptr);
    worksheet_write_formula(data, 9, 0, "=SUM(B2:B3)", nullptr);
    worksheet_set_column(data, 4, 4, 30, nullptr);
    EXPECT_EQ(workbook_close(wb), LXW_NO_ERROR);
    return path;
}

}   // namespace

TEST(ExcelSerial, FollowsTheNineteenHundredDateSystem)
{
    EXPECT_DOUBLE_EQ(excelSerial(1900, 1, 1), 1);
    EXPECT_DOUBLE_EQ(excelSerial(1900, 2, 28), 59);
    EXPECT_DOUBLE_EQ(excelSerial(1900, 3, 1), 61);   // 60 is the fictitious 29 February
    EXPECT_DOUBLE_EQ(excelSerial(2024, 1, 1), 45292);
    EXPECT_DOUBLE_EQ(excelSerial(2024, 1, 15, 12 * 3600 * 1000), 45306.5);
    EXPECT_TRUE(std::isnan(excelSerial(1899, 12, 31)));
}

TEST(StreamingSheetWriter, WritesTypedCellsFormatsAndWidths)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/out.xlsx";
    auto w = SheetWriter::create(path);
    const int money = w->addNumberFormat("#,##0.00");
    const int date = w->addNumberFormat("dd.mm.yyyy");
    EXPECT_EQ(w->addNumberFormat("General"), 0);
    w->writeString(0, 0, QStringLiteral("Ad"));
    w->writeString(0, 1, QStringLiteral("Tutar"));
    w->writeString(0, 2, QStringLiteral("Gün"));
    w->writeString(0, 3, QStringLiteral("Var"));
    w->writeString(1, 0, QStringLiteral("Şükrü & <Ortak>"));
    w->writeNumber(1, 1, 1234.5, money);
    w->writeNumber(1, 2, excelSerial(2024, 1, 15), date);
    w->writeBoolean(1, 3, true);
    w->writeUtf8(2, 0, QByteArray("ı\x01x"));
    w->setColumn(0, 17.5, 0);
    w->setColumn(1, 9, money);
    w->close();

    XlsxTestReader r(path);
    auto cells = r.cells();
    EXPECT_EQ(cells["A1"].text, "Ad");
    EXPECT_EQ(cells["C1"].text, QStringLiteral("Gün"));
    EXPECT_EQ(cells["A2"].text, QStringLiteral("Şükrü & <Ortak>"));
    EXPECT_EQ(cells["B2"].type, "n");
    EXPECT_DOUBLE_EQ(cells["B2"].number, 1234.5);
    EXPECT_EQ(cells["B2"].numberFormat, "#,##0.00");
    EXPECT_DOUBLE_EQ(cells["C2"].number, 45306);
    EXPECT_EQ(cells["C2"].numberFormat, "dd.mm.yyyy");
    EXPECT_EQ(cells["D2"].type, "b");
    EXPECT_EQ(cells["D2"].number, 1);
    EXPECT_TRUE(cells["A3"].text.startsWith(QStringLiteral("ı")));
    EXPECT_EQ(cells.count("B3"), 0u);
    auto cols = r.columns();
    EXPECT_DOUBLE_EQ(cols[1].width, 18.28515625);   // 17.5 characters with padding
    EXPECT_EQ(cols[2].numberFormat, "#,##0.00");
}

TEST(StreamingSheetWriter, ExactNumbersKeepTheirOwnDigitsWhenAskedFor)
{
    QTemporaryDir dir;
    for (const bool shortest : {false, true}) {
        const QString path = dir.filePath(shortest ? "shortest.xlsx" : "plain.xlsx");
        auto w = SheetWriter::create(path);
        w->setShortestNumbers(shortest);
        const int money = w->addNumberFormat("#,##0.00");
        w->writeString(0, 0, QStringLiteral("76493.74"));
        w->writeNumber(1, 0, 76493.74, money);
        w->writeNumber(2, 0, 99132.07);
        w->writeNumber(3, 0, 12);
        w->writeBoolean(4, 0, true);
        w->close();
        XlsxTestReader r(path);
        auto cells = r.cells();
        // the same double either way; only its text differs
        EXPECT_EQ(cells["A2"].number, 76493.74);
        EXPECT_EQ(cells["A3"].number, 99132.07);
        EXPECT_EQ(cells["A2"].text, shortest ? "76493.74" : "76493.74000000001");
        EXPECT_EQ(cells["A3"].text, shortest ? "99132.07" : "99132.07000000001");
        EXPECT_EQ(cells["A4"].text, "12");
        EXPECT_EQ(cells["A1"].text, "76493.74");
        EXPECT_EQ(cells["A5"].type, "b");
        EXPECT_EQ(cells["A2"].numberFormat, "#,##0.00");
    }
}

TEST(ShortestNumbers, RewritesOnlyTheValuesOfNumberCells)
{
    const std::string xml =
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>76493.74000000001</v></c><c r=\"B1\" t=\"s\"><v>3</v></c>"
        "<c r=\"C1\"><f>A1*2</f><v>152987.4800000000</v></c><c r=\"D1\" s=\"2\"/><c r=\"E1\"><v>1E+20</v></c>"
        "<c r=\"F1\" t=\"inlineStr\"><is><t>0.10000000000000001</t></is></c><c r=\"G1\"><v>-0.3</v></c></row>";
    EXPECT_EQ(shortestNumberCells(xml),
        "<row r=\"1\"><c r=\"A1\" s=\"1\"><v>76493.74</v></c><c r=\"B1\" t=\"s\"><v>3</v></c>"
        "<c r=\"C1\"><f>A1*2</f><v>152987.4800000000</v></c><c r=\"D1\" s=\"2\"/><c r=\"E1\"><v>1e+20</v></c>"
        "<c r=\"F1\" t=\"inlineStr\"><is><t>0.10000000000000001</t></is></c><c r=\"G1\"><v>-0.3</v></c></row>");
}

TEST(StreamingSheetWriter, CutsTextsAtTheCellLimit)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/long.xlsx";
    auto w = SheetWriter::create(path);
    w->writeString(0, 0, QString(40000, QLatin1Char('a')));
    w->writeUtf8(1, 0, QByteArray(40000, 'b'));
    w->close();
    auto cells = XlsxTestReader(path).cells();
    EXPECT_EQ(cells["A1"].text.size(), kMaxCellTextLength);
    EXPECT_EQ(cells["A2"].text, QString(kMaxCellTextLength, QLatin1Char('b')));
}

TEST(StreamingSheetWriter, RefusesARowBeforeTheCurrentOne)
{
    QTemporaryDir dir;
    auto w = SheetWriter::create(dir.path() + "/order.xlsx");
    w->writeNumber(5, 0, 1);
    EXPECT_THROW(w->writeNumber(2, 0, 1), Error);
}

TEST(StreamingSheetWriter, AnUnclosedWorkbookLeavesNoFile)
{
    QTemporaryDir dir;
    const QString path = dir.path() + "/dropped.xlsx";
    {
        auto w = SheetWriter::create(path);
        w->writeNumber(0, 0, 1);
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(TemplateSheetWriter, FillsTheNamedSheetOfACopy)
{
    QTemporaryDir dir;
    const QString tpl = makeTemplate(dir.path());
    const QString path = dir.path() + "/filled.xlsx";
    auto w = SheetWriter::fromTemplate(path, tpl, QStringLiteral("data"));   // letter case ignored
    const int money = w->addNumberFormat("#,##0.00");
    w->setColumnCount(2);
    w->writeString(0, 0, QStringLiteral("Ad"));
    w->writeString(0, 1, QStringLiteral("Tutar"));
    w->writeString(1, 0, QStringLiteral(" boşluk "));
    w->writeNumber(1, 1, 10.25, money);
    w->writeString(2, 0, QStringLiteral("x"));   // B3 (template's 99) cleared: NULL there
    w->writeNumber(3, 1, 5, money);
    w->setColumn(1, 12, money);
    w->close();

    XlsxTestReader r(path);
    EXPECT_EQ(r.sheetNames(), (QStringList{"Cover", "Data"}));
    EXPECT_EQ(r.cells("Cover")["A1"].text, "Monthly report");
    auto cells = r.cells("Data");
    EXPECT_EQ(cells["A1"].text, "Ad");
    EXPECT_EQ(cells["B1"].text, "Tutar");
    EXPECT_EQ(cells["E1"].text, "kept");
    EXPECT_EQ(cells["A2"].text, QStringLiteral(" boşluk "));
    EXPECT_DOUBLE_EQ(cells["B2"].number, 10.25);
    EXPECT_EQ(cells["B2"].numberFormat, "#,##0.00");
    EXPECT_EQ(cells["A3"].text, "x");
    EXPECT_EQ(cells.count("B3"), 0u);
    EXPECT_DOUBLE_EQ(cells["B4"].number, 5);
    EXPECT_DOUBLE_EQ(cells["A7"].number, 7);   // rows the data does not reach stay
    auto cols = r.columns("Data");
    EXPECT_DOUBLE_EQ(cols[2].width, 12.7109375);   // 12 characters with padding, as stored
    EXPECT_EQ(cols[2].numberFormat, "#,##0.00");
    EXPECT_DOUBLE_EQ(cols[5].width, 30.7109375);   // the template's own column width stays
    // Rows in ascending order in the sheet XML, so the file is valid.
    const std::string xml = r.part("xl/worksheets/sheet2.xml");
    EXPECT_LT(xml.find("r=\"B2\""), xml.find("r=\"A3\""));
    EXPECT_LT(xml.find("r=\"B4\""), xml.find("r=\"A7\""));
    EXPECT_NE(xml.find("<f>SUM(B2:B3)</f>"), std::string::npos);   // formula cell stays
    EXPECT_NE(r.part("xl/workbook.xml").find("fullCalcOnLoad=\"1\""), std::string::npos);
}

TEST(TemplateSheetWriter, NumbersAreWrittenInTheirShortestExactForm)
{
    QTemporaryDir dir;
    const QString tpl = makeTemplate(dir.path());
    const QString path = dir.path() + "/numbers.xlsx";
    auto w = SheetWriter::fromTemplate(path, tpl, QStringLiteral("Data"));
    w->setColumnCount(1);
    w->writeNumber(1, 0, 76493.74, 0);
    w->writeNumber(2, 0, 0.1 + 0.2, 0);   // not 0.3: its own shortest form keeps it
    w->writeNumber(3, 0, -1e21, 0);
    w->close();
    auto cells = XlsxTestReader(path).cells("Data");
    EXPECT_EQ(cells["A2"].text, "76493.74");
    EXPECT_EQ(cells["A2"].number, 76493.74);
    EXPECT_EQ(cells["A3"].text, "0.30000000000000004");
    EXPECT_EQ(cells["A3"].number, 0.1 + 0.2);
    EXPECT_EQ(cells["A4"].number, -1e21);
}

TEST(TemplateSheetWriter, AnUnknownSheetIsAnErrorThatNamesIt)
{
    QTemporaryDir dir;
    const QString tpl = makeTemplate(dir.path());
    try {
        SheetWriter::fromTemplate(dir.path() + "/x.xlsx", tpl, QStringLiteral("Summary"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrorUnknownSheet);
        EXPECT_EQ(e.description(), "The template template.xlsx has no sheet named \"Summary\"");
    }
}

TEST(TemplateSheetWriter, AMissingTemplateIsAnErrorThatNamesIt)
{
    QTemporaryDir dir;
    try {
        SheetWriter::fromTemplate(dir.path() + "/x.xlsx", dir.path() + "/none.xltx", QStringLiteral("Data"));
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), kErrorWorkbook);
        EXPECT_TRUE(e.description().contains("none.xltx")) << e.what();
    }
}

TEST(Desktop, ExportPathsNeverRepeat)
{
    QTemporaryDir dir;
    EnvGuard guard("ORRA_EXPORT_DIR");
    qputenv("ORRA_EXPORT_DIR", QFile::encodeName(dir.path() + "/sub"));
    EXPECT_EQ(exportDirectory(), dir.path() + "/sub");
    const QString a = freeExportPath();
    EXPECT_TRUE(a.startsWith(dir.path() + "/sub/Report-"));
    EXPECT_TRUE(a.endsWith(".xlsx"));
    EXPECT_FALSE(QFile::exists(a));   // nothing is made under the name
    QFile taken(a);
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();
    const QString b = freeExportPath();
    EXPECT_NE(a, b);
    EXPECT_FALSE(QFile::exists(b));
}

TEST(Desktop, TheDefaultExportFolderIsTheUsersOwn)
{
    QTemporaryDir dir;
    EnvGuard g1("ORRA_EXPORT_DIR"), g2("XDG_STATE_HOME"), g3("HOME");
    qunsetenv("ORRA_EXPORT_DIR");
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path() + "/state"));
    EXPECT_EQ(exportDirectory(), dir.path() + "/state/orra");
    const QString a = freeExportPath();
    EXPECT_TRUE(a.startsWith(dir.path() + "/state/orra/Report-"));
    EXPECT_EQ(QFileInfo(dir.path() + "/state/orra").permissions() & (QFile::ReadOther | QFile::ReadGroup),
        QFile::Permissions());
    qunsetenv("XDG_STATE_HOME");
    qputenv("HOME", QFile::encodeName(dir.path() + "/home"));
    EXPECT_EQ(exportDirectory(), dir.path() + "/home/.local/state/orra");
    // Never a name that a link planted under a name to come takes.
    qputenv("ORRA_EXPORT_DIR", QFile::encodeName(dir.path() + "/x"));
    QDir().mkpath(dir.path() + "/x");
    const QString stem = "Report-" + QDateTime::currentDateTime().toString("yyyyMMdd-hhmmss");
    ASSERT_TRUE(QFile::link(dir.path() + "/victim", dir.path() + "/x/" + stem + ".xlsx"));
    const QString b = freeExportPath();
    EXPECT_FALSE(QFileInfo(b).isSymLink());
    EXPECT_FALSE(QFile::exists(dir.path() + "/victim"));
}

TEST(Desktop, OpensOnlyWithADisplayAndWithoutNoOpen)
{
    EnvGuard g1("ORRA_NO_OPEN"), g2("DISPLAY"), g3("WAYLAND_DISPLAY"), g4("QT_QPA_PLATFORM");
    QStringList opened;
    setDesktopOpener([&](const QString& p) {
        opened << p;
        return true;
    });

    qputenv("ORRA_NO_OPEN", "1");
    qputenv("DISPLAY", ":0");
    qunsetenv("QT_QPA_PLATFORM");
    EXPECT_FALSE(desktopOpenAllowed());
    EXPECT_FALSE(openWithDesktop("/tmp/a.xlsx"));

    qunsetenv("ORRA_NO_OPEN");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    EXPECT_FALSE(openWithDesktop("/tmp/b.xlsx"));   // no display

    qputenv("DISPLAY", ":0");
    qputenv("QT_QPA_PLATFORM", "offscreen");
    EXPECT_FALSE(openWithDesktop("/tmp/c.xlsx"));   // off-screen platform

    qunsetenv("QT_QPA_PLATFORM");
    EXPECT_TRUE(openWithDesktop("/tmp/d.xlsx"));
    setDesktopOpener({});
    EXPECT_EQ(opened, QStringList{"/tmp/d.xlsx"});
}
