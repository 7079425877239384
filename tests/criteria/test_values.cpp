// Value rules of the criteria control that need no widget.
#include "criteria/CriteriaValues.h"
#include "platform/host/Error.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace orra;
using namespace orra::criteria;

TEST(CriteriaValues, PlainInitialValuesComeBackUnchanged)
{
    EXPECT_EQ(EvaluateInitialValue(nullptr, QStringLiteral("abc")), QStringLiteral("abc"));
    // Exactly "select" (6 characters) and "sql:" (4) are plain text, no query runs.
    EXPECT_EQ(EvaluateInitialValue(nullptr, QStringLiteral("select")), QStringLiteral("select"));
    EXPECT_EQ(EvaluateInitialValue(nullptr, QStringLiteral("sql:")), QStringLiteral("sql:"));
    EXPECT_EQ(EvaluateInitialValue(nullptr, QString()), QString());
}

TEST(CriteriaValues, SelectRunsOnTheConnectionWhateverItsCase)
{
    test::SampleDatabase db;
    EXPECT_EQ(EvaluateInitialValue(db.connection.get(), QStringLiteral("select name from city where code = 'B'")),
        QStringLiteral("Bursa"));
    EXPECT_EQ(EvaluateInitialValue(
                  db.connection.get(), QStringLiteral("SELECT n FROM numbers WHERE n IS NOT NULL ORDER BY n DESC")),
        QStringLiteral("7"));
}

TEST(CriteriaValues, SelectFailuresAreErrors)
{
    test::SampleDatabase db;
    try {
        EvaluateInitialValue(db.connection.get(), QStringLiteral("select n from numbers where n is null"));
        FAIL() << "NULL accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 94);
        EXPECT_EQ(e.description(), QStringLiteral("Invalid use of Null"));
    }
    try {
        EvaluateInitialValue(db.connection.get(), QStringLiteral("select n from numbers where n > 100"));
        FAIL() << "empty result accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3021);
    }
    EXPECT_THROW(EvaluateInitialValue(db.connection.get(), QStringLiteral("select nothing from nowhere")), Error);
    // No connection lent.
    try {
        EvaluateInitialValue(nullptr, QStringLiteral("select 1 as x"));
        FAIL() << "ran without a connection";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 3709);
    }
}

TEST(CriteriaValues, FirstColumnListsEveryRow)
{
    test::SampleDatabase db;
    EXPECT_EQ(FirstColumnTexts(db.connection.get(), QStringLiteral("select name, code from city order by code")),
        (QStringList{"Adana", "Bursa", "Corum", "Denizli"}));
    EXPECT_THROW(FirstColumnTexts(db.connection.get(), QStringLiteral("select n from numbers")), Error);
}

TEST(CriteriaValues, DateCellsKeepFourDigitYearsAndCollectAsYyyymmdd)
{
    const QDate d(2024, 1, 31);
    const QString cell = dateCellText(d);
    EXPECT_TRUE(cell.contains(QStringLiteral("2024"))) << cell.toStdString();
    EXPECT_EQ(parseDateCell(cell), d);
    EXPECT_EQ(collectedDateValue(cell), QStringLiteral("20240131"));
    EXPECT_EQ(parseDateCell(QStringLiteral("20240131")), d);
    EXPECT_EQ(parseDateCell(QStringLiteral("2024-01-31")), d);
    EXPECT_EQ(parseDateCell(QStringLiteral("2024-01-31 13:45:00")), d);
    EXPECT_EQ(collectedDateValue(QString()), QString());
    EXPECT_EQ(collectedDateValue(QStringLiteral("no date")), QStringLiteral("no date"));
    // A year before 2000 is not folded into the 1900s or 2000s by a two-digit form.
    EXPECT_EQ(parseDateCell(dateCellText(QDate(1987, 6, 5))), QDate(1987, 6, 5));
    EXPECT_EQ(parseDateCell(dateCellText(QDate(2087, 6, 5))), QDate(2087, 6, 5));
    EXPECT_EQ(noDate(), QDate(1899, 12, 30));
}

TEST(CriteriaValues, PickerSpecificationKeepsSemicolonsOfItsSql)
{
    PickerSpec s = parsePickerSpec(QStringLiteral("select code from city;code;Pick a city;single"));
    EXPECT_EQ(s.sql, QStringLiteral("select code from city"));
    EXPECT_EQ(s.returnField, QStringLiteral("code"));
    EXPECT_EQ(s.caption, QStringLiteral("Pick a city"));
    EXPECT_FALSE(s.multi);

    s = parsePickerSpec(QStringLiteral("select code from city where name <> 'a;b';code;Cities;MULTI"));
    EXPECT_EQ(s.sql, QStringLiteral("select code from city where name <> 'a;b'"));
    EXPECT_EQ(s.returnField, QStringLiteral("code"));
    EXPECT_EQ(s.caption, QStringLiteral("Cities"));
    EXPECT_TRUE(s.multi);

    EXPECT_FALSE(parsePickerSpec(QStringLiteral("q;f;c;multiple")).multi);
    try {
        parsePickerSpec(QStringLiteral("select 1;x;caption"));
        FAIL() << "three fields accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 9);
        EXPECT_EQ(e.description(), QStringLiteral("Subscript out of range"));
    }
}
