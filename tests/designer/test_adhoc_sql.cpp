// Ad-hoc SQL of the editor window: results in grid and text style, batches with several result
// sets and messages, errors, cancel on the server, the execution states.

#include "AdHocFixture.h"

#include "designer/shell/EditorOptions.h"
#include "platform/db/Backend.h"
#include "platform/widgets/RichTextBox.h"

#include <QAction>
#include <QElapsedTimer>
#include <QTimer>

namespace orra::test {
namespace {

using AdHocSqlTest = AdHocTest;
using orra::RichTextBox;

const QString kLongQuery =
    QStringLiteral("with c(x) as (select 1 union all select x + 1 from c where x < 2000000000) select count(*) from c "
                   "option (maxrecursion 0)");

TEST_F(AdHocSqlTest, SelectInGridStyleShowsTheRowsUnderTheirColumnNames)
{
    ASSERT_TRUE(execute(QStringLiteral("select a, b, c from t order by a")));
    EXPECT_EQ(gridLines(), (QStringList{"a|b|c", "1|one|1.5", "2|two|", "3||3.25"}));
    EXPECT_EQ(model()->headerData(1, Qt::Vertical).toInt(), 2);
    EXPECT_EQ(text("dbgMessage"), QString());
    EXPECT_EQ(selectedTab(), "Result");
    EXPECT_TRUE(tab()->isVisible());
    EXPECT_TRUE(w->ResultPaneVisible());
    EXPECT_TRUE(grid()->isVisible());
    EXPECT_FALSE(box("dbgText")->isVisible());
    EXPECT_TRUE(main->toolbarButton(QStringLiteral("ShowResultPane"))->isChecked());
    // Numbers keep to the right of their cells.
    EXPECT_EQ(model()->data(model()->index(0, 0), Qt::TextAlignmentRole).toInt() & Qt::AlignRight, int(Qt::AlignRight));
    EXPECT_EQ(model()->data(model()->index(0, 1), Qt::TextAlignmentRole).toInt() & Qt::AlignLeft, int(Qt::AlignLeft));
    EXPECT_EQ(main->panelText(QStringLiteral("State")), QString());
}

TEST_F(AdHocSqlTest, SelectInTextStyleWritesHeaderRowsAndRule)
{
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    ASSERT_TRUE(execute(QStringLiteral("select a, b, c from t order by a")));
    EXPECT_EQ(text("dbgText"), "a\tb\tc\t\n1\tone\t1.5\n2\ttwo\tNULL\n3\tNULL\t3.25\n" + hyphens() + "\n");
    EXPECT_EQ(selectedTab(), "Result");
    EXPECT_TRUE(box("dbgText")->isVisible());
    EXPECT_FALSE(grid()->isVisible());
    // The grid is cleared in either style.
    EXPECT_EQ(model()->columnCount(), 0);
    EXPECT_EQ(model()->rowCount(), 0);
}

TEST_F(AdHocSqlTest, TextStyleBatchOfThreeStatementsShowsBothResultSets)
{
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    ASSERT_TRUE(execute(QStringLiteral("select 1 as a, null as b\nupdate t set b = 'x' where a = 2\nselect 'z' as c")));
    EXPECT_EQ(text("dbgText"), "a\tb\t\n1\tNULL\n" + hyphens() + "\nc\t\nz\n" + hyphens() + "\n");
    EXPECT_EQ(scalar(*admin, QStringLiteral("select b from t where a = 2")).toString(), "x");
    // A statement without rows alone leaves the text empty, the "Result" tab selected.
    ASSERT_TRUE(execute(QStringLiteral("update t set b = 'y' where a = 2")));
    EXPECT_EQ(text("dbgText"), QString());
    EXPECT_EQ(selectedTab(), "Result");
    // Columns without rows: the header line and the rule only.
    ASSERT_TRUE(execute(QStringLiteral("select a, b from t where a > 10")));
    EXPECT_EQ(text("dbgText"), "a\tb\t\n" + hyphens() + "\n");
}

TEST_F(AdHocSqlTest, BatchWithTwoResultSetsAndAMessage)
{
    const QString batch = QStringLiteral("print 'counted ' + cast(3 as varchar(5))\n"
                                         "select a from t where a < 3 order by a\n"
                                         "select 'z' as c");
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    ASSERT_TRUE(execute(batch));
    EXPECT_EQ(text("dbgMessage"), "\ncounted 3\n\n");
    EXPECT_EQ(text("dbgText"), "a\t\n1\n2\n" + hyphens() + "\nc\t\nz\n" + hyphens() + "\n");
    EXPECT_EQ(selectedTab(), "Result");
    ASSERT_EQ(run->errors().size(), 1);
    EXPECT_EQ(run->errors()[0].number, 0);
    EXPECT_EQ(run->errors()[0].sqlState, "01000");

    // The grid shows the first result set only.
    w->ChangeResultStyle(QStringLiteral("ResultInGrid"));
    ASSERT_TRUE(execute(batch + QStringLiteral("\nselect 5 as d")));
    EXPECT_EQ(gridLines(), (QStringList{"a", "1", "2"}));
    EXPECT_EQ(text("dbgMessage"), "\ncounted 3\n\n");
    // A leading statement without rows leaves the grid to the first set that has rows.
    ASSERT_TRUE(execute(QStringLiteral("update t set b = 'q' where a = 3\nselect b from t where a = 3")));
    EXPECT_EQ(gridLines(), (QStringList{"b", "q"}));
}

TEST_F(AdHocSqlTest, ErrorIsShownWithItsNumberInMessageAndNoRows)
{
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    ASSERT_TRUE(execute(QStringLiteral("select a from t\nselect * from nowhere")));
    ASSERT_FALSE(run->errors().isEmpty());
    const db::ProviderError e = run->errors().last();
    EXPECT_EQ(e.sqlState, "42S02");
    EXPECT_LT(e.number, 0);
    EXPECT_EQ(text("dbgMessage"), QString::number(e.number) + ":\n" + e.description + "\n\n");
    EXPECT_TRUE(e.description.contains(QStringLiteral("nowhere"))) << e.description.toStdString();
    // No rows, although the first statement returned some; "Message" brought forward.
    EXPECT_EQ(text("dbgText"), QString());
    EXPECT_EQ(selectedTab(), "Message");
    EXPECT_TRUE(box("dbgMessage")->isVisible());
    EXPECT_TRUE(tab()->isVisible());
    EXPECT_EQ(w->ExecutionState(), 0);

    // The messages sent before the error come ahead of it.
    ASSERT_TRUE(execute(QStringLiteral("print 'before'\nselect * from nowhere")));
    EXPECT_EQ(text("dbgMessage"), "\nbefore\n\n" + QString::number(e.number) + ":\n" + e.description + "\n\n");

    // A statement the server refuses to read is a failure too.
    w->ChangeResultStyle(QStringLiteral("ResultInGrid"));
    ASSERT_TRUE(execute(QStringLiteral("select from where")));
    EXPECT_TRUE(text("dbgMessage").contains(QStringLiteral(":\n"))) << text("dbgMessage").toStdString();
    EXPECT_EQ(run->errors().value(0).sqlState, "42000");
    EXPECT_EQ(selectedTab(), "Message");
    EXPECT_EQ(model()->columnCount(), 0);
}

// A backend whose every statement fails as SQL Server's ODBC driver reports it.
class DriverErrorBackend : public db::Backend {
public:
    void open(const db::ConnectionString&, const QString&, const QString&) override { m_open = true; }
    void close() override { m_open = false; }
    bool isOpen() const override { return m_open; }
    db::ExecuteResult execute(const QString&, const QList<db::Parameter>&) override
    {
        db::ProviderError info;
        info.sqlState = QStringLiteral("01000");
        info.description = QStringLiteral("[Microsoft][ODBC SQL Server Driver][SQL Server]Starting");
        db::ProviderError e;
        e.number = -2147217865;
        e.sqlState = QStringLiteral("42S02");
        e.nativeError = 208;
        e.description = QStringLiteral("[Microsoft][ODBC SQL Server Driver][SQL Server]Invalid object name 'x'.");
        throw db::ProviderFailure{{info, e}};
    }
    void beginTransaction() override {}
    void commit() override {}
    void rollback() override {}
    void cancel() override {}
    QString property(const QString&) const override { return {}; }

private:
    bool m_open = false;
};

TEST_F(AdHocSqlTest, ProviderTextsAreShownWithoutTheDriverPrefix)
{
    db::registerBackend(
        QStringLiteral("drivererror"), [](const db::ConnectionString& cs) -> std::unique_ptr<db::Backend> {
            if (cs.value(QStringLiteral("Driver")).contains(QLatin1String("DriverError")))
                return std::make_unique<DriverErrorBackend>();
            return nullptr;
        });
    auto con = std::make_shared<db::Connection>();
    con->open(QStringLiteral("Driver={DriverError};Server=x"));
    w->setAdHocRunSource({[con] { return con; }, {}});
    ASSERT_TRUE(execute(QStringLiteral("select * from x")));
    EXPECT_EQ(text("dbgMessage"), "\nStarting\n\n-2147217865:\nInvalid object name 'x'.\n\n");
    EXPECT_EQ(con->errors().value(1).sqlState, "42S02");
    EXPECT_EQ(selectedTab(), "Message");
}

TEST_F(AdHocSqlTest, EscCancelsTheStatementOnTheServerAndTheConnectionStaysUsable)
{
    // The window keeps turning its event loop while the statement runs.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    w->ExecuteEditorSQL(kLongQuery);
    EXPECT_EQ(w->ExecutionState(), 2);
    EXPECT_EQ(main->panelText(QStringLiteral("State")), "Executing...");
    // F5 again while it runs does nothing.
    w->ExecuteEditorSQL(QStringLiteral("select 1 as again"));
    // A loaded machine (sanitizers, parallel tests) turns the loop slower; wait for the ticks.
    QTest::qWait(300);
    for (int i = 0; i < 250 && ticks <= 5; ++i) QTest::qWait(20);
    EXPECT_GT(ticks, 5);
    EXPECT_EQ(w->ExecutionState(), 2);
    EXPECT_EQ(main->panelText(QStringLiteral("State")), "Executing...");

    clock.restart();
    EXPECT_TRUE(w->CancelEditorSQL());
    EXPECT_EQ(main->panelText(QStringLiteral("State")), "Getting Results...");
    ASSERT_TRUE(waitIdle(5000));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(states, (QList<int>{2, 4, 3, 3, 0}));
    EXPECT_EQ(panels, (QStringList{"Executing...", "Canceling...", "Getting Results...", "Getting Results...", ""}));
    // The cancelled statement is reported as the failure it is.
    ASSERT_FALSE(run->errors().isEmpty());
    EXPECT_EQ(run->errors()[0].sqlState, "HY008");
    EXPECT_EQ(text("dbgMessage"), QString::number(run->errors()[0].number) + ":\nOperation canceled\n\n");
    EXPECT_EQ(selectedTab(), "Message");

    // Esc with nothing executing does nothing.
    EXPECT_FALSE(w->CancelEditorSQL());
    states.clear();
    ASSERT_TRUE(execute(QStringLiteral("select 5 as n")));
    EXPECT_EQ(gridLines(), (QStringList{"n", "5"}));
    EXPECT_EQ(states, (QList<int>{2, 3, 0}));
    EXPECT_EQ(selectedTab(), "Result");
}

TEST_F(AdHocSqlTest, StatePanelFollowsEveryExecution)
{
    ASSERT_TRUE(execute(QStringLiteral("select 1 as a")));
    EXPECT_EQ(states, (QList<int>{2, 3, 0}));
    EXPECT_EQ(panels, (QStringList{"Executing...", "Getting Results...", ""}));

    // Text style: the state stays "Getting Results..." while the rows are appended a thousand
    // at a time, with the event loop turning between the chunks.
    admin->execute(QStringLiteral("create table big (n int)"));
    admin->beginTrans();
    for (int n = 1; n <= 2500; ++n) admin->execute(QStringLiteral("insert into big values (?)"), {n});
    admin->commitTrans();
    w->ChangeResultStyle(QStringLiteral("ResultInText"));
    states.clear();
    panels.clear();
    int turnsWhileGettingResults = 0;
    QTimer probe;
    int cancelled = 0;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (w->ExecutionState() != 3) return;
        ++turnsWhileGettingResults;
        cancelled += w->CancelEditorSQL();   // Esc while getting results does not cancel
    });
    probe.start(0);
    ASSERT_TRUE(execute(QStringLiteral("select n from big order by n")));
    probe.stop();
    EXPECT_EQ(states, (QList<int>{2, 3, 0}));
    EXPECT_GE(turnsWhileGettingResults, 2);
    EXPECT_EQ(cancelled, 0);
    const QStringList lines = text("dbgText").split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 2503);   // header, 2500 rows, rule, and the empty end
    EXPECT_EQ(lines[0], "n\t");
    for (int i = 1; i <= 2500; ++i) ASSERT_EQ(lines[i], QString::number(i)) << i;
    EXPECT_EQ(lines[2501], hyphens());
}

TEST_F(AdHocSqlTest, WithoutARunConnectionNothingRunsAndThePaneIsCleared)
{
    ASSERT_TRUE(execute(QStringLiteral("select 1 as a")));
    EXPECT_EQ(model()->columnCount(), 1);
    w->ShowHideResultPane(false);
    box("dbgMessage")->setPlainText(QStringLiteral("old"));
    w->setAdHocRunSource({});
    states.clear();
    w->ExecuteEditorSQL(QStringLiteral("select 2 as b"));
    EXPECT_EQ(states, (QList<int>{2, 0}));
    EXPECT_EQ(text("dbgMessage"), QString());
    EXPECT_EQ(model()->columnCount(), 0);
    EXPECT_FALSE(tab()->isVisible());
    EXPECT_EQ(main->panelText(QStringLiteral("State")), QString());
}

TEST_F(AdHocSqlTest, TheRunsSubstitutionGivesTheTextThatRuns)
{
    QStringList asked;
    w->setAdHocRunSource({[this] { return run; },
        [&asked](const QString& sql, bool& isError) {
            asked << sql;
            isError = true;   // not consulted: the text runs anyway
            return QString(sql).replace(QStringLiteral("<$P1%>"), QStringLiteral("2"));
        }});
    ASSERT_TRUE(execute(QStringLiteral("select b from t where a = <$P1%>")));
    EXPECT_EQ(asked, QStringList{"select b from t where a = <$P1%>"});
    EXPECT_EQ(gridLines(), (QStringList{"b", "two"}));
}

TEST_F(AdHocSqlTest, ClosingTheWindowWhileAStatementRunsCancelsIt)
{
    QElapsedTimer clock;
    clock.start();
    w->ExecuteEditorSQL(kLongQuery);
    QTest::qWait(100);
    w->setDocumentChanged(false);
    delete w->parentWidget();   // the sub-window with the editor window
    w = nullptr;
    EXPECT_LT(clock.elapsed(), 5000);
    QTest::qWait(50);
    // The connection stays usable.
    EXPECT_EQ(run->execute(QStringLiteral("select 7"))->value(0).toInt(), 7);
}

TEST_F(AdHocSqlTest, AbandonedExecutionEndsAtOnceAndShowsNothing)
{
    w->resultPane();
    box("dbgMessage")->setPlainText(QStringLiteral("kept"));
    QElapsedTimer clock;
    clock.start();
    w->ExecuteEditorSQL(kLongQuery);
    QTest::qWait(100);
    w->AbandonEditorSQL();
    EXPECT_EQ(w->ExecutionState(), 0);
    EXPECT_LT(clock.elapsed(), 5000);
    QTest::qWait(100);
    // The end of the cancelled statement is not shown; the window runs the next one.
    EXPECT_EQ(text("dbgMessage"), "kept");
    EXPECT_EQ(states, (QList<int>{2, 0}));
    EXPECT_EQ(main->panelText(QStringLiteral("State")), QString());
    run->close();
    ASSERT_TRUE(run->state() == 0);
    run = std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret")));
    ASSERT_TRUE(execute(QStringLiteral("select 8 as n")));
    EXPECT_EQ(gridLines(), (QStringList{"n", "8"}));
}

TEST_F(AdHocSqlTest, QueryTemplateAndEscInTheBlockEditorRunAndCancelOnTheRunConnection)
{
    morvane::editorOptions().QueryShortcuts[0] = QStringLiteral("select b from t where a = %s");
    morvane::editorOptions().QueryShortcuts[1] = kLongQuery;
    w->tvDocument_NodeClick(w->documentTree()->node(QStringLiteral("B0.0")));
    auto* sql = w->findChild<RichTextBox*>(QStringLiteral("txtBlockSQL"));
    ASSERT_TRUE(sql);
    sql->setText(QStringLiteral("where a = 2"));
    sql->setFocus();
    sql->setSelStart(10);
    sql->setSelLength(1);
    QTest::keyClick(sql, Qt::Key_1, Qt::ControlModifier);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(gridLines(), (QStringList{"b", "two"}));

    states.clear();
    QTest::keyClick(sql, Qt::Key_2, Qt::ControlModifier);
    EXPECT_EQ(w->ExecutionState(), 2);
    QTest::qWait(150);
    QTest::keyClick(sql, Qt::Key_Escape);
    ASSERT_TRUE(waitIdle(5000));
    EXPECT_EQ(states, (QList<int>{2, 4, 3, 3, 0}));
    EXPECT_EQ(run->errors().value(0).sqlState, "HY008");
    EXPECT_EQ(selectedTab(), "Message");
    // Esc with nothing running passes and changes nothing.
    states.clear();
    QTest::keyClick(sql, Qt::Key_Escape);
    EXPECT_TRUE(states.isEmpty());
}

}   // namespace
}   // namespace orra::test
