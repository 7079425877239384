// The criteria control's model and grid: rows per type, initial values, collected values,
// the row buttons' places.
#include "criteria/rptCriteria.h"
#include "platform/host/Error.h"
#include "platform/widgets/FlexGrid.h"

#include "TestSupport.h"

#include <QComboBox>
#include <QHeaderView>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using namespace orra;

namespace {

QString cell(rptCriteria& c, int row, int col) { return c.grdCriteria()->textMatrix(row, col); }

// The row button sits just right of the value cell of its row, as tall as the row, square.
void expectButtonBeside(rptCriteria& c, int k, int row)
{
    QToolButton* b = c.grdCriteriaButton(k);
    ASSERT_NE(b, nullptr);
    const QRect r = c.grdCriteria()->cellRect(row, 1);
    EXPECT_EQ(b->geometry(), QRect(r.right() + 1, r.top(), r.height(), r.height())) << "button " << k << " row " << row;
}

}   // namespace

TEST(rptCriteria, StartsEmptyWithItsHeader)
{
    rptCriteria c;
    EXPECT_EQ(c.CriteriaCount(), 0);
    EXPECT_EQ(c.grdCriteria()->rows(), 1);
    EXPECT_EQ(c.grdCriteria()->cols(), 2);
    EXPECT_FALSE(c.grdCriteria()->isEnabled());
    EXPECT_EQ(cell(c, 0, 0), QStringLiteral("Alan"));
    EXPECT_EQ(cell(c, 0, 1), QStringLiteral("Değer"));
    EXPECT_TRUE(c.grdCriteria()->horizontalHeader()->font().bold());
    EXPECT_EQ(c.GetCriteriaArray(0), nullptr);
    EXPECT_EQ(c.GetCriteriaArray(-1), nullptr);
    // The row height is the list editor's height, header row included.
    EXPECT_EQ(c.grdCriteria()->uniformRowHeight(), c.grdCriteriaCombo()->height());
    EXPECT_EQ(c.grdCriteria()->horizontalHeader()->height(), c.grdCriteria()->uniformRowHeight());

    c.UnSetGrdCriteria();
    EXPECT_EQ(c.CriteriaCount(), 0);
    EXPECT_EQ(c.grdCriteria()->rows(), 1);
}

TEST(rptCriteria, OneRowPerTypeButFacts)
{
    rptCriteria c;
    c.AddCriteria(
        QStringLiteral("P1"), QStringLiteral("Name"), QStringLiteral("text"), QStringLiteral("Ali"), QString());
    c.AddCriteria(
        QStringLiteral("P2"), QStringLiteral("Hidden"), QStringLiteral("fact"), QStringLiteral("42"), QString());
    c.AddCriteria(QStringLiteral("P3"), QStringLiteral("City"), QStringLiteral("button"), QString(),
        QStringLiteral("select code from city;code;Cities;single"));
    c.AddCriteria(
        QStringLiteral("P4"), QStringLiteral("Section"), QStringLiteral("htext"), QStringLiteral("--"), QString());
    c.AddCriteria(QStringLiteral("P5"), QStringLiteral("Kind"), QStringLiteral("Combo"), QStringLiteral("x"),
        QStringLiteral("select 1"));
    c.AddCriteria(QStringLiteral("P6"), QStringLiteral("Day"), QStringLiteral("DATE"), QString(), QString());
    c.AddCriteria(
        QStringLiteral("P7"), QStringLiteral("Note"), QStringLiteral("memo"), QStringLiteral("free"), QString());

    EXPECT_EQ(c.CriteriaCount(), 7);
    EXPECT_TRUE(c.grdCriteria()->isEnabled());
    ASSERT_EQ(c.grdCriteria()->rows(), 7);   // header + six rows, the fact has none
    const QStringList prompts{"Name", "City", "Section", "Kind", "Day", "Note"};
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(cell(c, r, 0), prompts[r - 1]);
    EXPECT_EQ(cell(c, 1, 1), QStringLiteral("Ali"));
    EXPECT_EQ(cell(c, 3, 1), QStringLiteral("--"));

    const int expectedRows[] = {1, 2, 2, 3, 4, 5, 6};
    const char* types[] = {"text", "fact", "button", "htext", "combo", "date", "memo"};
    for (int i = 0; i < 7; ++i) {
        clsCriteriaPtr k = c.GetCriteriaArray(i);
        ASSERT_NE(k, nullptr);
        EXPECT_EQ(k->RowIndex, expectedRows[i]) << i;
        EXPECT_EQ(k->Tip, QString::fromLatin1(types[i])) << i;
        EXPECT_EQ(k->ID.toString(), QStringLiteral("P%1").arg(i + 1));
    }
    EXPECT_EQ(c.GetCriteriaArray(7), nullptr);
    for (int r = 1; r <= 6; ++r) EXPECT_EQ(c.criterionOfRow(r), r == 1 ? 0 : r);

    // The heading row's value cell has the button face; the others the window background.
    const QPalette pal = c.palette();
    EXPECT_EQ(c.grdCriteria()->cellBackColor(3, 1), pal.color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(c.grdCriteria()->cellBackColor(1, 1), pal.color(QPalette::Active, QPalette::Base));
    EXPECT_EQ(c.grdCriteria()->cellBackColor(2, 1), pal.color(QPalette::Active, QPalette::Base));
    // Prompts are fixed cells in the active colours, the first one too (added while the grid
    // was still disabled).
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(c.grdCriteria()->item(r, 0)->foreground().color(), pal.color(QPalette::Active, QPalette::ButtonText));
        EXPECT_EQ(c.grdCriteria()->item(r, 0)->background().color(), pal.color(QPalette::Active, QPalette::Button));
        EXPECT_FALSE(c.grdCriteria()->item(r, 0)->flags() & Qt::ItemIsSelectable);
    }

    EXPECT_EQ(c.rowButtonCount(), 1);
    EXPECT_EQ(c.grdCriteriaButton(1)->arrowType(), Qt::RightArrow);
    EXPECT_EQ(c.grdCriteriaButton(2), nullptr);

    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QStringLiteral("Ali"));
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("42"));
    EXPECT_EQ(c.GetCriteriaArray(2)->Value, QString());
    EXPECT_EQ(c.GetCriteriaArray(3)->Value, QString());   // htext collects "" whatever it shows
    EXPECT_EQ(c.GetCriteriaArray(4)->Value, QStringLiteral("x"));
    EXPECT_EQ(c.GetCriteriaArray(5)->Value, QString());
    EXPECT_EQ(c.GetCriteriaArray(6)->Value, QStringLiteral("free"));

    // The host may keep the objects it obtained after the control lets them go.
    clsCriteriaPtr kept = c.GetCriteriaArray(0);
    c.UnSetGrdCriteria();
    EXPECT_EQ(kept->Value, QStringLiteral("Ali"));
    EXPECT_EQ(c.CriteriaCount(), 0);
    EXPECT_EQ(c.grdCriteria()->rows(), 1);
    EXPECT_EQ(c.rowButtonCount(), 0);
    EXPECT_FALSE(c.grdCriteria()->isEnabled());
}

TEST(rptCriteria, TypeWithBlanksAndCapitalsIsOneType)
{
    rptCriteria c;
    c.AddCriteria(
        QStringLiteral("F"), QStringLiteral("Fixed"), QStringLiteral(" Fact"), QStringLiteral("fixed"), QString());
    c.AddCriteria(
        QStringLiteral("T"), QStringLiteral("Typed"), QStringLiteral("Text "), QStringLiteral("typed"), QString());
    c.AddCriteria(
        QStringLiteral("H"), QStringLiteral("Head"), QStringLiteral(" HTEXT "), QStringLiteral("shown"), QString());
    EXPECT_EQ(c.GetCriteriaArray(0)->Tip, QStringLiteral("fact"));
    EXPECT_EQ(c.GetCriteriaArray(1)->Tip, QStringLiteral("text"));
    ASSERT_EQ(c.grdCriteria()->rows(), 3);   // the fact takes no row
    EXPECT_EQ(cell(c, 1, 0), QStringLiteral("Typed"));
    EXPECT_EQ(c.GetCriteriaArray(1)->RowIndex, 1);
    EXPECT_EQ(c.grdCriteria()->cellBackColor(2, 1), c.palette().color(QPalette::Active, QPalette::Button));

    c.grdCriteria()->setTextMatrix(1, 1, QStringLiteral("edited"));
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QStringLiteral("fixed"));
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("edited"));
    EXPECT_EQ(c.GetCriteriaArray(2)->Value, QString());
}

TEST(rptCriteria, InitialValuesByQuery)
{
    test::SampleDatabase db;
    rptCriteria c;
    c.SetCon(db.connection);
    EXPECT_EQ(c.connection(), db.connection);
    c.AddCriteria(1, QStringLiteral("City"), QStringLiteral("text"),
        QStringLiteral("select name from city where code = 'C'"), QString());
    c.AddCriteria(
        2, QStringLiteral("Count"), QStringLiteral("fact"), QStringLiteral("Select count(*) from city"), QString());
    c.AddCriteria(3, QStringLiteral("Plain"), QStringLiteral("text"), QStringLiteral("select"), QString());
    EXPECT_EQ(cell(c, 1, 1), QStringLiteral("Corum"));
    EXPECT_EQ(c.GetCriteriaArray(0)->InitialDeger, QStringLiteral("Corum"));
    EXPECT_EQ(c.GetCriteriaArray(1)->InitialDeger, QStringLiteral("4"));
    EXPECT_EQ(cell(c, 2, 1), QStringLiteral("select"));
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("4"));
    EXPECT_EQ(c.GetCriteriaArray(0)->ID.toInt(), 1);
}

TEST(rptCriteria, FailingInitialValueAddsNothing)
{
    test::SampleDatabase db;
    rptCriteria c;
    c.SetCon(db.connection);
    c.AddCriteria(1, QStringLiteral("First"), QStringLiteral("text"), QStringLiteral("one"), QString());
    for (const char* bad :
        {"select n from numbers where n is null", "select broken syntax from", "select n from numbers where n > 99"}) {
        EXPECT_THROW(c.AddCriteria(2, QStringLiteral("Bad"), QStringLiteral("button"), QString::fromLatin1(bad),
                         QStringLiteral("q;f;c;single")),
            Error)
            << bad;
        EXPECT_EQ(c.CriteriaCount(), 1);
        EXPECT_EQ(c.grdCriteria()->rows(), 2);
        EXPECT_EQ(c.rowButtonCount(), 0);
        EXPECT_EQ(c.GetCriteriaArray(1), nullptr);
    }
    c.AddCriteria(3, QStringLiteral("Next"), QStringLiteral("text"), QStringLiteral("two"), QString());
    EXPECT_EQ(c.GetCriteriaArray(1)->RowIndex, 2);
    EXPECT_EQ(cell(c, 2, 0), QStringLiteral("Next"));
}

TEST(rptCriteria, DateValuesCollectAsEightDigits)
{
    rptCriteria c;
    c.AddCriteria(1, QStringLiteral("From"), QStringLiteral("date"), QStringLiteral("20240131"), QString());
    c.AddCriteria(2, QStringLiteral("To"), QStringLiteral("date"), QString(), QString());
    c.AddCriteria(3, QStringLiteral("On"), QStringLiteral("date"), QStringLiteral("2023-07-04"), QString());
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QStringLiteral("20240131"));
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QString());
    EXPECT_EQ(c.GetCriteriaArray(2)->Value, QStringLiteral("20230704"));
}

TEST(rptCriteria, ColumnsKeepTheirProportionsAndButtonsTheirRows)
{
    rptCriteria c;
    c.resize(500, 300);
    c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    c.AddCriteria(2, QStringLiteral("Fact"), QStringLiteral("fact"), QStringLiteral("f"), QString());
    c.AddCriteria(3, QStringLiteral("Pick"), QStringLiteral("button"), QString(), QStringLiteral("q;f;c;s"));
    c.AddCriteria(4, QStringLiteral("Pick 2"), QStringLiteral("button"), QString(), QStringLiteral("q;f;c;s"));
    test::showActive(&c);
    EXPECT_EQ(c.GetCriteriaArray(2)->RowIndex, 2);
    expectButtonBeside(c, 1, 2);
    expectButtonBeside(c, 2, 3);

    auto checkColumns = [&] {
        const int rh = c.grdCriteria()->uniformRowHeight();
        const int w = c.grdCriteria()->contentsRect().width() - 2 * rh;
        EXPECT_EQ(c.grdCriteria()->colWidth(0), qRound(w * 3.0 / 5.0));
        EXPECT_EQ(c.grdCriteria()->colWidth(1), qRound(w * 2.0 / 5.0));
    };
    checkColumns();

    c.resize(800, 200);
    QTest::qWait(20);
    checkColumns();
    expectButtonBeside(c, 1, 2);
    expectButtonBeside(c, 2, 3);
    EXPECT_TRUE(c.grdCriteriaButton(1)->isVisible());
    // The button fits inside the grid's visible area.
    EXPECT_LE(c.grdCriteriaButton(1)->geometry().right(), c.grdCriteria()->viewport()->width());
}

TEST(rptCriteria, ButtonsFollowTheirRowsWhenTheGridScrolls)
{
    rptCriteria c;
    c.resize(400, 160);
    for (int i = 1; i <= 30; ++i)
        c.AddCriteria(i, QStringLiteral("Row %1").arg(i),
            i % 5 == 0 ? QStringLiteral("button") : QStringLiteral("text"), QString(), QStringLiteral("q;f;c;s"));
    test::showActive(&c);
    ASSERT_EQ(c.rowButtonCount(), 6);
    c.grdCriteria()->verticalScrollBar()->setValue(10);
    QTest::qWait(20);
    for (int k = 1; k <= 6; ++k) expectButtonBeside(c, k, 5 * k);
    EXPECT_GT(c.grdCriteria()->topRow(), 1);
}
