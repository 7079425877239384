// In-cell editing of the criteria control with real keys and clicks.
#include "criteria/CriteriaValues.h"
#include "criteria/rptCriteria.h"
#include "platform/widgets/FlexGrid.h"

#include "TestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace orra;

namespace {

class Editing : public ::testing::Test {
protected:
    void SetUp() override
    {
        c.SetCon(db.connection);
        c.resize(520, 320);
    }
    void show() { test::showActive(&c); }
    QString cell(int row) { return c.grdCriteria()->textMatrix(row, 1); }
    // Moves to a row the way a click on its value cell does.
    void clickRow(int row)
    {
        const QRect r = c.grdCriteria()->cellRect(row, 1);
        QTest::mouseClick(c.grdCriteria()->viewport(), Qt::LeftButton, {}, r.center());
    }
    void key(QWidget* w, Qt::Key k, Qt::KeyboardModifiers m = {}) { QTest::keyClick(w, k, m); }
    QWidget* focus() { return QApplication::focusWidget(); }

    test::SampleDatabase db;
    test::MessageRecorder ui;
    rptCriteria c;
};

}   // namespace

TEST_F(Editing, TextEditorOpensOverTheCellWithItsTextSelected)
{
    c.AddCriteria(1, QStringLiteral("Name"), QStringLiteral("text"), QStringLiteral("Ali"), QString());
    c.AddCriteria(2, QStringLiteral("Surname"), QStringLiteral("text"), QStringLiteral("Veli"), QString());
    show();
    // The first row is where the user starts.
    EXPECT_EQ(c.grdCriteria()->row(), 1);
    ASSERT_EQ(c.activeEditor(), c.grdCriteriaText());
    EXPECT_TRUE(c.grdCriteriaText()->isVisible());
    EXPECT_EQ(c.grdCriteriaText()->geometry(), c.grdCriteria()->cellRect(1, 1));
    EXPECT_EQ(c.grdCriteriaText()->text(), QStringLiteral("Ali"));
    EXPECT_EQ(c.grdCriteriaText()->selectedText(), QStringLiteral("Ali"));
    EXPECT_EQ(focus(), c.grdCriteriaText());
}

TEST_F(Editing, DownArrowStoresTheValueAndOpensTheNextRowsEditor)
{
    c.AddCriteria(1, QStringLiteral("Name"), QStringLiteral("text"), QStringLiteral("Ali"), QString());
    c.AddCriteria(2, QStringLiteral("Surname"), QStringLiteral("text"), QStringLiteral("Veli"), QString());
    show();
    QTest::keyClicks(c.grdCriteriaText(), QStringLiteral("Ayse"));   // replaces the selected text
    key(c.grdCriteriaText(), Qt::Key_Down);
    EXPECT_EQ(cell(1), QStringLiteral("Ayse"));
    EXPECT_EQ(c.grdCriteria()->row(), 2);
    ASSERT_EQ(c.activeEditor(), c.grdCriteriaText());
    EXPECT_TRUE(c.grdCriteriaText()->isVisible());
    EXPECT_EQ(c.grdCriteriaText()->geometry(), c.grdCriteria()->cellRect(2, 1));
    EXPECT_EQ(c.grdCriteriaText()->text(), QStringLiteral("Veli"));
    EXPECT_EQ(focus(), c.grdCriteriaText());

    QTest::keyClicks(c.grdCriteriaText(), QStringLiteral("Kaya"));
    key(c.grdCriteriaText(), Qt::Key_Up);
    EXPECT_EQ(cell(2), QStringLiteral("Kaya"));
    EXPECT_EQ(c.grdCriteria()->row(), 1);
    EXPECT_EQ(c.grdCriteriaText()->text(), QStringLiteral("Ayse"));

    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QStringLiteral("Ayse"));
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("Kaya"));
}

TEST_F(Editing, EnterStoresAndReturnsToTheGridThenEnterEditsAgain)
{
    c.AddCriteria(1, QStringLiteral("Name"), QStringLiteral("text"), QString(), QString());
    show();
    QTest::keyClicks(c.grdCriteriaText(), QStringLiteral("abc"));
    key(c.grdCriteriaText(), Qt::Key_Return);
    EXPECT_EQ(cell(1), QStringLiteral("abc"));
    EXPECT_FALSE(c.grdCriteriaText()->isVisible());
    EXPECT_EQ(c.activeEditor(), c.grdCriteriaText());   // still the row's editor
    EXPECT_EQ(focus(), c.grdCriteria());
    key(c.grdCriteria(), Qt::Key_Return);
    EXPECT_TRUE(c.grdCriteriaText()->isVisible());
    EXPECT_EQ(focus(), c.grdCriteriaText());
    EXPECT_EQ(c.grdCriteriaText()->text(), QStringLiteral("abc"));
}

TEST_F(Editing, ClickOnAnotherRowStoresIntoTheCellTheEditorCovered)
{
    c.AddCriteria(1, QStringLiteral("A"), QStringLiteral("text"), QStringLiteral("1"), QString());
    c.AddCriteria(2, QStringLiteral("B"), QStringLiteral("text"), QStringLiteral("2"), QString());
    c.AddCriteria(3, QStringLiteral("C"), QStringLiteral("text"), QStringLiteral("3"), QString());
    show();
    QTest::keyClicks(c.grdCriteriaText(), QStringLiteral("first"));
    clickRow(3);
    EXPECT_EQ(cell(1), QStringLiteral("first"));
    EXPECT_EQ(cell(3), QStringLiteral("3"));
    EXPECT_EQ(c.grdCriteria()->row(), 3);
    EXPECT_EQ(c.grdCriteriaText()->geometry(), c.grdCriteria()->cellRect(3, 1));
    // A click on the prompt column selects the row's value cell.
    const QRect prompt = c.grdCriteria()->cellRect(2, 0);
    QTest::mouseClick(c.grdCriteria()->viewport(), Qt::LeftButton, {}, prompt.center());
    EXPECT_EQ(c.grdCriteria()->row(), 2);
    EXPECT_EQ(c.grdCriteria()->col(), 1);
}

TEST_F(Editing, HeadingAndUnknownRowsShowNoEditor)
{
    c.AddCriteria(1, QStringLiteral("Heading"), QStringLiteral("htext"), QStringLiteral("--"), QString());
    c.AddCriteria(2, QStringLiteral("Other"), QStringLiteral("memo"), QStringLiteral("m"), QString());
    c.AddCriteria(3, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    show();
    EXPECT_EQ(c.grdCriteria()->row(), 1);
    EXPECT_EQ(c.activeEditor(), nullptr);
    key(c.grdCriteria(), Qt::Key_Return);
    EXPECT_EQ(c.activeEditor(), nullptr);
    key(c.grdCriteria(), Qt::Key_Down);
    EXPECT_EQ(c.grdCriteria()->row(), 2);
    EXPECT_EQ(c.activeEditor(), nullptr);
    key(c.grdCriteria(), Qt::Key_Down);
    EXPECT_EQ(c.activeEditor(), c.grdCriteriaText());
}

TEST_F(Editing, ListIsReadFromItsQueryAndKeepsFreeText)
{
    c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    c.AddCriteria(2, QStringLiteral("City"), QStringLiteral("combo"), QStringLiteral("Bursa"),
        QStringLiteral("select name from city order by name"));
    show();
    key(c.grdCriteriaText(), Qt::Key_Down);
    ASSERT_EQ(c.activeEditor(), c.grdCriteriaCombo());
    QComboBox* combo = c.grdCriteriaCombo();
    EXPECT_TRUE(combo->isVisible());
    // Announced by the criterion it edits, as its row shows it.
    EXPECT_EQ(combo->accessibleName(), QStringLiteral("City"));
    EXPECT_EQ(combo->lineEdit()->accessibleName(), QStringLiteral("City"));
    EXPECT_EQ(combo->geometry(), c.grdCriteria()->cellRect(2, 1));
    ASSERT_EQ(combo->count(), 4);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Adana"));
    EXPECT_EQ(combo->itemText(3), QStringLiteral("Denizli"));
    EXPECT_EQ(combo->currentText(), QStringLiteral("Bursa"));
    // Shown over the cell, the list takes the focus only on Enter (or a click).
    EXPECT_EQ(focus(), c.grdCriteria());
    key(c.grdCriteria(), Qt::Key_Return);
    ASSERT_TRUE(combo->isAncestorOf(focus()) || focus() == combo);
    combo->lineEdit()->selectAll();
    QTest::keyClicks(focus(), QStringLiteral("Zonguldak"));
    key(focus(), Qt::Key_Return);
    EXPECT_EQ(cell(2), QStringLiteral("Zonguldak"));
    EXPECT_FALSE(combo->isVisible());
    EXPECT_EQ(focus(), c.grdCriteria());

    // Entering again reads the list again (the query sees new rows).
    db.connection->execute(QStringLiteral("insert into city values ('E', 'Edirne', 'West')"));
    key(c.grdCriteria(), Qt::Key_Up);
    key(c.grdCriteria(), Qt::Key_Down);
    EXPECT_EQ(combo->count(), 5);
    EXPECT_EQ(combo->currentText(), QStringLiteral("Zonguldak"));
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("Zonguldak"));
}

TEST_F(Editing, FailingListQueryIsReportedAndLeavesTheCell)
{
    c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    c.AddCriteria(2, QStringLiteral("Bad"), QStringLiteral("combo"), QStringLiteral("keep"),
        QStringLiteral("select x from nowhere"));
    show();
    key(c.grdCriteriaText(), Qt::Key_Down);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages.first().contains(QStringLiteral("nowhere"))) << ui.messages.first().toStdString();
    EXPECT_EQ(c.activeEditor(), nullptr);
    EXPECT_FALSE(c.grdCriteriaCombo()->isVisible());
    EXPECT_EQ(cell(2), QStringLiteral("keep"));
    EXPECT_EQ(c.grdCriteria()->row(), 2);
}

TEST_F(Editing, EmptyDateShowsNoDateAndStaysEmpty)
{
    c.AddCriteria(1, QStringLiteral("Day"), QStringLiteral("date"), QString(), QString());
    c.AddCriteria(2, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    show();
    ASSERT_EQ(c.activeEditor(), c.grdCriteriaDate());
    QDateEdit* date = c.grdCriteriaDate();
    EXPECT_EQ(date->accessibleName(), QStringLiteral("Day"));
    EXPECT_EQ(date->displayFormat(), criteria::dateCellFormat());
    EXPECT_EQ(date->date(), QDate(1899, 12, 30));
    EXPECT_EQ(date->text().trimmed(), QString());
    EXPECT_EQ(date->geometry(), c.grdCriteria()->cellRect(1, 1));
    key(c.grdCriteria(), Qt::Key_Return);   // focus into the date editor
    EXPECT_TRUE(date->isAncestorOf(focus()) || focus() == date);
    key(focus(), Qt::Key_Return);
    EXPECT_EQ(cell(1), QString());
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QString());
}

TEST_F(Editing, DateIsStoredAndDeleteMeansNoDate)
{
    c.AddCriteria(1, QStringLiteral("Day"), QStringLiteral("date"), QStringLiteral("20240131"), QString());
    c.AddCriteria(2, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    show();
    QDateEdit* date = c.grdCriteriaDate();
    ASSERT_EQ(c.activeEditor(), date);
    EXPECT_EQ(date->date(), QDate(2024, 1, 31));
    // The editor reads as the cell does: the user's short date form.
    EXPECT_EQ(date->text(), criteria::dateCellText(QDate(2024, 1, 31)));
    key(c.grdCriteria(), Qt::Key_Return);
    // Type a new day into the day section.
    date->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(focus(), QStringLiteral("15"));
    EXPECT_EQ(date->date(), QDate(2024, 1, 15));
    key(focus(), Qt::Key_Return);
    EXPECT_EQ(cell(1), criteria::dateCellText(QDate(2024, 1, 15)));
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QStringLiteral("20240115"));

    // Delete in the editor, then leave the cell: the cell empties and collects "".
    key(c.grdCriteria(), Qt::Key_Return);
    EXPECT_EQ(date->date(), QDate(2024, 1, 15));
    key(focus(), Qt::Key_Delete);
    EXPECT_EQ(date->date(), QDate(1899, 12, 30));
    EXPECT_EQ(date->text().trimmed(), QString());   // "no date" shows as an empty cell
    clickRow(2);
    EXPECT_EQ(cell(1), QString());
    EXPECT_EQ(c.activeEditor(), c.grdCriteriaText());
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(0)->Value, QString());
}

TEST_F(Editing, DateCellThatIsNoDateIsReported)
{
    c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
    c.AddCriteria(2, QStringLiteral("Day"), QStringLiteral("date"), QStringLiteral("someday"), QString());
    show();
    key(c.grdCriteriaText(), Qt::Key_Down);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages.first(), QStringLiteral("Type mismatch"));
    EXPECT_EQ(c.activeEditor(), nullptr);
    EXPECT_EQ(cell(2), QStringLiteral("someday"));
}

TEST_F(Editing, UnSetHidesTheEditor)
{
    c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QStringLiteral("x"), QString());
    show();
    ASSERT_TRUE(c.grdCriteriaText()->isVisible());
    c.UnSetGrdCriteria();
    EXPECT_FALSE(c.grdCriteriaText()->isVisible());
    EXPECT_EQ(c.activeEditor(), nullptr);
    EXPECT_EQ(c.grdCriteria()->rows(), 1);
}
