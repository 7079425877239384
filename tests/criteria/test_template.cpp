// The criteria control's template path: placeholders in a query template become criteria and
// take the collected values back; and the two text functions it is built on.
#include "criteria/StrFunctions.h"
#include "criteria/rptCriteria.h"
#include "platform/host/Error.h"
#include "platform/widgets/FlexGrid.h"

#include "TestSupport.h"

#include <QToolButton>
#include <gtest/gtest.h>

using namespace orra;
using namespace orra::criteria;

TEST(ExtractDelimited, PiecesBetweenDelimitersInOrder)
{
    EXPECT_EQ(ExtractDelimited("select 1", "<%", "%>"), QStringList{""});
    EXPECT_EQ(ExtractDelimited("a <%x;y%> b <%z%> c", "<%", "%>"), (QStringList{"x;y", "z"}));
    EXPECT_EQ(ExtractDelimited("<%%>", "<%", "%>"), QStringList{""});
    // An opening without its close keeps only the first piece found.
    EXPECT_EQ(ExtractDelimited("<%a%> <%b%> <%c", "<%", "%>"), QStringList{"a"});
    EXPECT_EQ(ExtractDelimited("only <%open", "<%", "%>"), QStringList{""});
    // Case-sensitive delimiters.
    EXPECT_EQ(ExtractDelimited("[[A]] [[b]]", "[[", "]]"), (QStringList{"A", "b"}));
}

TEST(ExtractDelimited, MoreThan32767PiecesOverflow)
{
    QString text;
    for (int i = 0; i < 32768; ++i) text += "<%x%>";
    try {
        ExtractDelimited(text, "<%", "%>");
        ADD_FAILURE() << "no overflow";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 6);
    }
    text.chop(5);
    EXPECT_EQ(ExtractDelimited(text, "<%", "%>").size(), 32767);
}

TEST(SplitGrouped, BracesGroupFieldsThatHoldTheSeparator)
{
    EXPECT_EQ(SplitGrouped("A;Amount;text;5;", ';'), (QStringList{"A", "Amount", "text", "5", ""}));
    EXPECT_EQ(SplitGrouped("{x;y};z", ';'), (QStringList{"x;y", "z"}));
    EXPECT_EQ(SplitGrouped("a{x;y};z", ';'), (QStringList{"a{x;y}", "z"}));         // text before the brace
    EXPECT_EQ(SplitGrouped("{a;b}{c;d};e", ';'), (QStringList{"a;b}{c;d", "e"}));   // two groups side by side
    EXPECT_EQ(SplitGrouped("{a;{b;c}};d", ';'), (QStringList{"a;{b;c}", "d"}));     // nesting
    EXPECT_EQ(SplitGrouped(" a ; b ", ';'), (QStringList{" a ", " b "}));           // not trimmed
    EXPECT_EQ(SplitGrouped("a;{b;c", ';'), QStringList{"a"});                       // unbalanced: dropped
}

namespace {

class Template : public ::testing::Test {
protected:
    test::SampleDatabase db;
    test::MessageRecorder ui;
    rptCriteria c;
    void SetUp() override { c.SetCon(db.connection); }
    QString cell(int row, int col = 1) const { return c.grdCriteria()->textMatrix(row, col); }
};

}   // namespace

TEST_F(Template, OnePlaceholderBecomesARowAndTakesItsValueBack)
{
    c.setSQLTxt("select * from t where amount > <%A;Amount;text;5;%> order by 1");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 1);
    EXPECT_EQ(c.grdCriteria()->rows(), 2);
    EXPECT_EQ(cell(1, 0), "Amount");
    EXPECT_EQ(cell(1), "5");
    EXPECT_EQ(c.GetCriteriaArray(0)->ID.toString(), "A");
    EXPECT_EQ(c.GetCriteriaArray(0)->Tip, "text");
    EXPECT_TRUE(c.grdCriteria()->isEnabled());
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetRunableSQL(), "select * from t where amount > 5 order by 1");
    EXPECT_EQ(c.SQLTxt(), "select * from t where amount > <%A;Amount;text;5;%> order by 1");
}

TEST_F(Template, WithoutPlaceholdersOneEmptyRowAndTheTextUnchanged)
{
    c.setSQLTxt("select name from city");
    c.SetGrdCriteria();
    EXPECT_EQ(c.CriteriaCount(), 0);
    EXPECT_EQ(c.grdCriteria()->rows(), 2);
    EXPECT_EQ(cell(1), "");
    EXPECT_EQ(c.criterionOfRow(1), 0);
    test::showActive(&c);
    c.grdCriteria()->setCurrentCell(1, 1);
    EXPECT_EQ(c.activeEditor(), nullptr);
    EXPECT_EQ(c.GetRunableSQL(), "select name from city");
}

TEST_F(Template, OnlyTheFirstPlaceholderOfAnIdIsReplacedButEveryReference)
{
    c.setSQLTxt("<%A;Amount;text;5;%> <%A;Again;text;6;%> <$A%>+<$A%>+<$A%>");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 2);
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetRunableSQL(), "5 6 5+5+5");   // the second "A" placeholder takes its own value
}

TEST_F(Template, AValueHoldingItsOwnReferenceIsPastedOnce)
{
    c.setSQLTxt("<%A;Amount;text;5;%> <$A%>, <$A%>");
    c.SetGrdCriteria();
    c.PopulateCriteriaValues();
    c.GetCriteriaArray(0)->Value = "<$A%>!";
    EXPECT_EQ(c.GetRunableSQL(), "<$A%>! <$A%>!, <$A%>!");
}

TEST_F(Template, IdsMatchWithTheirSeparatorAndCase)
{
    c.setSQLTxt("<%AB;Long;text;1;%> <%A;Short;text;2;%> <$a%> <$A%> <$AB%>");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 2);
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetRunableSQL(), "1 2 <$a%> 2 1");
}

TEST_F(Template, BracedOptionsFactsAndButtonsFindTheirRows)
{
    c.setSQLTxt("<%F;Count;FACT;select count(*) from city;%> <%C;City;button;B;"
                "{select code, name from city;code;Choose;single}%> <%H;Heading;htext;;%>");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 3);
    EXPECT_EQ(c.GetCriteriaArray(0)->InitialDeger, "4");   // the select ran
    EXPECT_EQ(c.GetCriteriaArray(1)->OptionalParam, "select code, name from city;code;Choose;single");
    EXPECT_EQ(c.grdCriteria()->rows(), 3);   // the fact takes no row
    EXPECT_EQ(c.GetCriteriaArray(1)->RowIndex, 1);
    EXPECT_EQ(c.GetCriteriaArray(2)->RowIndex, 2);
    EXPECT_EQ(cell(1, 0), "City");
    EXPECT_EQ(cell(2, 0), "Heading");
    ASSERT_EQ(c.rowButtonCount(), 1);
    test::showActive(&c);
    const QRect cellRect = c.grdCriteria()->cellRect(1, 1);
    EXPECT_EQ(c.grdCriteriaButton(1)->geometry().top(), cellRect.top());
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetRunableSQL(), "4 B ");
}

TEST_F(Template, EmptyPiecesMakeNeitherCriteriaNorRows)
{
    c.setSQLTxt("<%%> <%A;First;text;1;%> <% %> <%B;Second;text;2;%>");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 2);
    EXPECT_EQ(c.grdCriteria()->rows(), 3);
    EXPECT_EQ(c.GetCriteriaArray(1)->RowIndex, 2);
    EXPECT_EQ(c.criterionOfRow(2), 1);
    EXPECT_EQ(cell(2, 0), "Second");
}

TEST_F(Template, AnUnterminatedPlaceholderKeepsTheFirstPiece)
{
    c.setSQLTxt("<%A;First;text;1;%> <%B;Second;text;2;%> <%C;Third;text;3;");
    c.SetGrdCriteria();
    ASSERT_EQ(c.CriteriaCount(), 1);
    EXPECT_EQ(cell(1, 0), "First");
    // GetRunableSQL finds A's placeholder closed and leaves the rest.
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetRunableSQL(), "1 <%B;Second;text;2;%> <%C;Third;text;3;");
}

TEST_F(Template, ShortPlaceholderOrFailingValueFailsAndDisablesTheGrid)
{
    c.setSQLTxt("<%A;First;text;1;%> <%B;Second;text%>");
    try {
        c.SetGrdCriteria();
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), 9);
    }
    EXPECT_EQ(c.CriteriaCount(), 1);   // what was built stays
    EXPECT_FALSE(c.grdCriteria()->isEnabled());

    c.setSQLTxt("<%A;Broken;text;select x from nowhere;%>");
    EXPECT_THROW(c.SetGrdCriteria(), Error);
    EXPECT_FALSE(c.grdCriteria()->isEnabled());
}

TEST_F(Template, AnUnclosedPlaceholderOfACriterionGivesNothing)
{
    c.setSQLTxt("<%A;First;text;1;%>");
    c.SetGrdCriteria();
    c.PopulateCriteriaValues();
    c.setSQLTxt("x <%A;First;text;1;");
    EXPECT_EQ(c.GetRunableSQL(), "");
}
