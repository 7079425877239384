// The record pickers, on their own and behind the criteria control's row buttons.
#include "criteria/frmMultiSelectRecord.h"
#include "criteria/frmSelectRecord.h"
#include "criteria/rptCriteria.h"
#include "platform/host/Error.h"
#include "platform/widgets/FlexGrid.h"

#include "TestSupport.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace orra;

namespace {

QStringList columnTexts(QTreeWidget* lv, int col)
{
    QStringList out;
    for (int i = 0; i < lv->topLevelItemCount(); ++i) out << lv->topLevelItem(i)->text(col);
    return out;
}

QStringList selectedTexts(QTreeWidget* lv)
{
    QStringList out;
    for (int i = 0; i < lv->topLevelItemCount(); ++i)
        if (lv->topLevelItem(i)->isSelected()) out << lv->topLevelItem(i)->text(0);
    return out;
}

}   // namespace

TEST(frmSelectRecord, ShowsTheRowsAndReturnsTheChosenOne)
{
    test::SampleDatabase db;
    frmSelectRecord f;
    EXPECT_EQ(f.cmdOk()->text(), QStringLiteral("&Tamam "));
    EXPECT_EQ(f.cmdCancel()->text(), QStringLiteral("&İptal"));
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by code");
    f.ReturnField = QStringLiteral("code");
    f.OptField1 = QStringLiteral("name");
    f.OptField2 = QStringLiteral("REGION");
    f.ReturnValue = QStringLiteral("C");
    bool checked = false;
    test::onNextModal([&](QWidget* w) {
        EXPECT_EQ(w, &f);
        QTableWidget* dg = f.dg();
        EXPECT_EQ(dg->rowCount(), 4);
        EXPECT_EQ(dg->columnCount(), 3);
        EXPECT_EQ(dg->horizontalHeaderItem(1)->text(), QStringLiteral("name"));
        EXPECT_EQ(dg->item(1, 1)->text(), QStringLiteral("Bursa"));
        EXPECT_EQ(dg->currentRow(), 2);   // the current value's row
        // Choose Bursa with the keyboard and confirm with Enter.
        QTest::keyClick(dg, Qt::Key_Up);
        QTest::keyClick(dg, Qt::Key_Return);
        checked = true;
    });
    f.exec();
    ASSERT_TRUE(checked);
    EXPECT_TRUE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("B"));
    EXPECT_EQ(f.OptField1Val.toString(), QStringLiteral("Bursa"));
    EXPECT_EQ(f.OptField2Val.toString(), QStringLiteral("West"));
}

TEST(frmSelectRecord, NoMatchingRowMeansNoChoice)
{
    test::SampleDatabase db;
    frmSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name from city");
    f.ReturnField = QStringLiteral("code");
    f.ReturnValue = QStringLiteral("Z");
    test::onNextModal([&](QWidget*) {
        EXPECT_TRUE(f.dg()->selectionModel()->selectedRows().isEmpty());
        // Enter with Ctrl held does nothing.
        QTest::keyClick(f.dg(), Qt::Key_Return, Qt::ControlModifier);
        EXPECT_TRUE(f.isVisible());
        f.cmdOk()->click();
    });
    f.exec();
    EXPECT_FALSE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("Z"));
}

TEST(frmSelectRecord, EscapeCancels)
{
    test::SampleDatabase db;
    frmSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code from city");
    f.ReturnField = QStringLiteral("code");
    f.ReturnValue = QStringLiteral("A");
    test::onNextModal([&](QWidget*) { QTest::keyClick(f.dg(), Qt::Key_Escape); });
    EXPECT_EQ(f.exec(), QDialog::Rejected);
    EXPECT_FALSE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("A"));
}

TEST(frmSelectRecord, FailingQueryIsShownAndThePickerCloses)
{
    test::SampleDatabase db;
    test::MessageRecorder ui;
    frmSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code from nowhere");
    f.ReturnField = QStringLiteral("code");
    EXPECT_EQ(f.exec(), QDialog::Rejected);
    EXPECT_FALSE(f.IsOK);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages.first().contains(QStringLiteral("nowhere"))) << ui.messages.first().toStdString();
}

TEST(frmMultiSelectRecord, PreselectsTrimmedValuesAndReturnsThemWithoutBlanks)
{
    test::SampleDatabase db;
    frmMultiSelectRecord f;
    EXPECT_EQ(f.cmdOk()->text(), QStringLiteral("&Tamam "));
    EXPECT_EQ(f.cmdCancel()->text(), QStringLiteral("&İptal"));
    EXPECT_EQ(f.cmdClear()->text(), QStringLiteral("T&emizle"));
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by code");
    f.ReturnField = QStringLiteral("code");
    f.ReturnValue = QStringLiteral(" A, ,C");
    test::onNextModal([&](QWidget*) {
        EXPECT_EQ(selectedTexts(f.lv()), (QStringList{"A", "C"}));
        QTest::keyClick(f.lv(), Qt::Key_Return);
    });
    f.exec();
    EXPECT_TRUE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("A,C"));
}

TEST(frmMultiSelectRecord, ClearAndOkGiveTheEmptyList)
{
    test::SampleDatabase db;
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by code");
    f.ReturnField = QStringLiteral("code");
    f.ReturnValue = QStringLiteral("B,D");
    f.OptionalField1 = QStringLiteral("name");
    test::onNextModal([&](QWidget*) {
        EXPECT_EQ(selectedTexts(f.lv()).size(), 2);
        f.cmdClear()->click();
        EXPECT_TRUE(selectedTexts(f.lv()).isEmpty());
        QTest::keyClick(f.lv(), Qt::Key_Return, Qt::ControlModifier);   // nothing
        EXPECT_TRUE(f.isVisible());
        f.cmdOk()->click();
    });
    f.exec();
    EXPECT_TRUE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QString());
    EXPECT_EQ(f.OptionalField1Value.toString(), QString());
}

TEST(frmMultiSelectRecord, ChoosesWithClicksAndReturnsExtraColumns)
{
    test::SampleDatabase db;
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by code");
    f.ReturnField = QStringLiteral("code");
    f.OptionalField1 = QStringLiteral("NAME");
    f.OptionalField2 = QStringLiteral("2");
    test::onNextModal([&](QWidget*) {
        QTreeWidget* lv = f.lv();
        const QRect b = lv->visualItemRect(lv->topLevelItem(1));
        const QRect d = lv->visualItemRect(lv->topLevelItem(3));
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, {}, b.center());
        QTest::mouseClick(lv->viewport(), Qt::LeftButton, Qt::ControlModifier, d.center());
        EXPECT_EQ(selectedTexts(lv), (QStringList{"B", "D"}));
        f.cmdOk()->click();
    });
    f.exec();
    EXPECT_TRUE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("B,D"));
    EXPECT_EQ(f.OptionalField1Value.toString(), QStringLiteral("Bursa,Denizli"));
    EXPECT_EQ(f.OptionalField2Value.toString(), QStringLiteral("West,West"));
}

TEST(frmMultiSelectRecord, ReturnedColumnStandsFirstUnderItsOwnName)
{
    test::SampleDatabase db;
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select name, region, code from city order by code");
    f.ReturnField = QStringLiteral("code");
    f.ReturnValue = QStringLiteral("D");
    test::onNextModal([&](QWidget*) {
        QTreeWidget* lv = f.lv();
        EXPECT_EQ(lv->headerItem()->text(0), QStringLiteral("code"));
        EXPECT_EQ(lv->headerItem()->text(1), QStringLiteral("name"));
        EXPECT_EQ(lv->headerItem()->text(2), QStringLiteral("region"));
        EXPECT_EQ(columnTexts(lv, 0), (QStringList{"A", "B", "C", "D"}));
        EXPECT_EQ(columnTexts(lv, 1), (QStringList{"Adana", "Bursa", "Corum", "Denizli"}));
        f.cmdOk()->click();
    });
    f.exec();
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("D"));
}

TEST(frmMultiSelectRecord, HeaderClicksSortAndFlipTheOrder)
{
    test::SampleDatabase db;
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by name desc");
    f.ReturnField = QStringLiteral("code");
    test::onNextModal([&](QWidget*) {
        QTreeWidget* lv = f.lv();
        QHeaderView* h = lv->header();
        auto clickHeader = [&](int section) {
            const int x = h->sectionViewportPosition(section) + h->sectionSize(section) / 2;
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
        };
        EXPECT_EQ(columnTexts(lv, 0), (QStringList{"D", "C", "B", "A"}));
        clickHeader(1);   // name, ascending
        EXPECT_EQ(columnTexts(lv, 1), (QStringList{"Adana", "Bursa", "Corum", "Denizli"}));
        clickHeader(1);   // the same header again: descending
        EXPECT_EQ(columnTexts(lv, 1), (QStringList{"Denizli", "Corum", "Bursa", "Adana"}));
        clickHeader(0);   // another header keeps the order
        EXPECT_EQ(columnTexts(lv, 0), (QStringList{"D", "C", "B", "A"}));
        clickHeader(0);
        EXPECT_EQ(columnTexts(lv, 0), (QStringList{"A", "B", "C", "D"}));
        f.cmdCancel()->click();
    });
    f.exec();
    EXPECT_FALSE(f.IsOK);
}

TEST(frmMultiSelectRecord, UnreadableRowsFailTheLoad)
{
    test::SampleDatabase db;
    {
        frmMultiSelectRecord f;
        f.frmCon = db.connection;
        f.RsSQL = QStringLiteral("select code from city");
        f.ReturnField = QStringLiteral("missing");
        try {
            f.exec();
            FAIL() << "shown without its return field";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), 3265);
        }
        EXPECT_FALSE(f.IsOK);
    }
    {
        frmMultiSelectRecord f;
        f.frmCon = db.connection;
        f.RsSQL = QStringLiteral("select n from numbers");
        f.ReturnField = QStringLiteral("n");
        try {
            f.exec();
            FAIL() << "NULL key accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.description(), QStringLiteral("Invalid use of Null"));
        }
    }
    {
        frmMultiSelectRecord f;
        f.frmCon = db.connection;
        f.RsSQL = QStringLiteral("select x from nowhere");
        f.ReturnField = QStringLiteral("x");
        try {
            f.exec();
            FAIL() << "failing query shown";
        } catch (const Error& e) {
            EXPECT_TRUE(e.description().contains(QStringLiteral("nowhere")));
        }
    }
}

// ---------------------------------------------------------------- behind the row button

namespace {
class RowButton : public ::testing::Test {
protected:
    void SetUp() override
    {
        c.SetCon(db.connection);
        c.resize(520, 300);
    }
    void add(const QString& spec, const QString& value = QString())
    {
        c.AddCriteria(1, QStringLiteral("Text"), QStringLiteral("text"), QString(), QString());
        c.AddCriteria(2, QStringLiteral("City"), QStringLiteral("button"), value, spec);
        test::showActive(&c);
    }
    QString cell() { return c.grdCriteria()->textMatrix(2, 1); }
    test::SampleDatabase db;
    test::MessageRecorder ui;
    rptCriteria c;
};
}   // namespace

TEST_F(RowButton, SinglePickerChosen)
{
    add(QStringLiteral("select code, name from city order by code;code;Şehir seçin;single"), QStringLiteral("A"));
    QString title;
    int current = -1;
    test::onNextModal([&](QWidget* w) {
        auto* f = qobject_cast<frmSelectRecord*>(w);
        ASSERT_NE(f, nullptr);
        title = f->windowTitle();
        current = f->dg()->currentRow();
        f->dg()->selectRow(3);
        f->cmdOk()->click();
    });
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    EXPECT_EQ(title, QStringLiteral("Şehir seçin"));
    EXPECT_EQ(current, 0);
    EXPECT_EQ(cell(), QStringLiteral("D"));
    c.PopulateCriteriaValues();
    EXPECT_EQ(c.GetCriteriaArray(1)->Value, QStringLiteral("D"));
}

TEST_F(RowButton, PickerCancelledLeavesTheCell)
{
    add(QStringLiteral("select code from city;code;Cities;single"), QStringLiteral("B"));
    test::onNextModal([&](QWidget* w) {
        auto* f = qobject_cast<frmSelectRecord*>(w);
        ASSERT_NE(f, nullptr);
        f->dg()->selectRow(0);
        f->cmdCancel()->click();
    });
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    EXPECT_EQ(cell(), QStringLiteral("B"));
    EXPECT_TRUE(ui.messages.isEmpty());
}

TEST_F(RowButton, MultiInCapitalsOpensTheMultiPickerWithWholeSql)
{
    add(QStringLiteral("select code, name from city where name <> 'x;y' order by code;code;Cities;MULTI"),
        QStringLiteral(" A, ,C"));
    QStringList preselected;
    test::onNextModal([&](QWidget* w) {
        auto* f = qobject_cast<frmMultiSelectRecord*>(w);
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(f->windowTitle(), QStringLiteral("Cities"));
        preselected = selectedTexts(f->lv());
        f->lv()->topLevelItem(1)->setSelected(true);
        f->cmdOk()->click();
    });
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    EXPECT_TRUE(ui.messages.isEmpty()) << ui.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(preselected, (QStringList{"A", "C"}));
    EXPECT_EQ(cell(), QStringLiteral("A,B,C"));
}

TEST_F(RowButton, TypedTextReachesThePickerAsItsCurrentValue)
{
    add(QStringLiteral("select code from city order by code;code;Cities;single"));
    // Type into the button row's text editor, then press its button without leaving the cell.
    QTest::keyClick(c.grdCriteriaText(), Qt::Key_Down);
    ASSERT_EQ(c.grdCriteria()->row(), 2);
    QTest::keyClicks(c.grdCriteriaText(), QStringLiteral("C"));
    int current = -1;
    test::onNextModal([&](QWidget* w) {
        auto* f = qobject_cast<frmSelectRecord*>(w);
        ASSERT_NE(f, nullptr);
        current = f->dg()->currentRow();
        f->cmdCancel()->click();
    });
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    EXPECT_EQ(current, 2);
    EXPECT_EQ(cell(), QStringLiteral("C"));
}

TEST_F(RowButton, BadSpecificationOrQueryIsReported)
{
    add(QStringLiteral("select code from city;code;Cities"));
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_EQ(ui.messages.first(), QStringLiteral("Subscript out of range"));
    EXPECT_EQ(cell(), QString());
}

TEST_F(RowButton, FailingMultiQueryIsReported)
{
    add(QStringLiteral("select x from nowhere;x;Cities;multi"), QStringLiteral("keep"));
    QTest::mouseClick(c.grdCriteriaButton(1), Qt::LeftButton);
    ASSERT_EQ(ui.messages.size(), 1);
    EXPECT_TRUE(ui.messages.first().contains(QStringLiteral("nowhere")));
    EXPECT_EQ(cell(), QStringLiteral("keep"));
}

// ---------------------------------------------------------------- numbers and widths

namespace {

// Prices under the Turkish locale: decimal comma, dot for thousands.
class NumberPickers : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_locale = QLocale();
        QLocale::setDefault(QLocale(QLocale::Turkish, QLocale::Turkey));
        for (const char* sql : {"create table prices (code text, price real, stock integer)",
                 "insert into prices values ('A', 115.26, 1200)", "insert into prices values ('B', 9, 35)",
                 "insert into prices values ('C', 1250.5, 4)"})
            db.connection->execute(QString::fromLatin1(sql));
    }
    void TearDown() override { QLocale::setDefault(m_locale); }
    test::SampleDatabase db;
    QLocale m_locale;
};

}   // namespace

TEST_F(NumberPickers, MultiPickerShowsLocaleNumbersSortsByValueAndReturnsTheirOwnText)
{
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select price, code, stock from prices order by code");
    f.ReturnField = QStringLiteral("price");
    f.OptionalField1 = QStringLiteral("stock");
    QStringList shown, sorted;
    bool rightAligned = false;
    test::onNextModal([&](QWidget*) {
        QTreeWidget* lv = f.lv();
        shown = columnTexts(lv, 0) + columnTexts(lv, 2);
        rightAligned = (lv->topLevelItem(0)->textAlignment(0) & Qt::AlignRight) != 0;
        QHeaderView* h = lv->header();
        const int x = h->sectionViewportPosition(0) + h->sectionSize(0) / 2;
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, QPoint(x, h->height() / 2));
        sorted = columnTexts(lv, 0);
        lv->topLevelItem(0)->setSelected(true);   // 9
        lv->topLevelItem(2)->setSelected(true);   // 1250.5
        f.cmdOk()->click();
    });
    f.exec();
    EXPECT_EQ(shown, (QStringList{"115,26", "9", "1.250,5", "1.200", "35", "4"}));
    EXPECT_TRUE(rightAligned);
    EXPECT_EQ(sorted, (QStringList{"9", "115,26", "1.250,5"}));
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("9,1250.5"));
    EXPECT_EQ(f.OptionalField1Value.toString(), QStringLiteral("35,4"));
}

TEST_F(NumberPickers, SinglePickerFindsAndReturnsTheValueNotItsLocaleForm)
{
    frmSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, price from prices order by code");
    f.ReturnField = QStringLiteral("price");
    f.ReturnValue = QStringLiteral("1250.5");
    QString shown;
    int current = -1;
    test::onNextModal([&](QWidget*) {
        shown = f.dg()->item(2, 1)->text();
        current = f.dg()->currentRow();
        QTest::keyClick(f.dg(), Qt::Key_Up);
        QTest::keyClick(f.dg(), Qt::Key_Up);
        QTest::keyClick(f.dg(), Qt::Key_Return);
    });
    f.exec();
    EXPECT_EQ(shown, QStringLiteral("1.250,5"));
    EXPECT_EQ(current, 2);
    EXPECT_TRUE(f.IsOK);
    EXPECT_EQ(f.ReturnValue.toString(), QStringLiteral("115.26"));
}

TEST(frmMultiSelectRecord, ColumnsFitEveryRowUpToAMaximum)
{
    test::SampleDatabase db;
    db.connection->execute(QStringLiteral(
        "insert into city values ('E', 'Afyonkarahisar Merkez Ilcesi Ticaret ve Sanayi Odasi Bolgesi Uzun', 'West')"));
    frmMultiSelectRecord f;
    f.frmCon = db.connection;
    f.RsSQL = QStringLiteral("select code, name, region from city order by code");
    f.ReturnField = QStringLiteral("code");
    int nameWidth = 0, longest = 0, maximum = 0;
    test::onNextModal([&](QWidget*) {
        QTreeWidget* lv = f.lv();
        const QFontMetrics fm = lv->fontMetrics();
        nameWidth = lv->columnWidth(1);
        longest = fm.horizontalAdvance(QStringLiteral("Denizli"));
        maximum = fm.averageCharWidth() * 40 + fm.averageCharWidth() * 3;
        f.cmdCancel()->click();
    });
    f.exec();
    // Wider than the first record ("Adana") would make it, held at the maximum.
    EXPECT_GT(nameWidth, longest);
    EXPECT_LE(nameWidth, maximum);
    EXPECT_GT(nameWidth, maximum / 2);
}
