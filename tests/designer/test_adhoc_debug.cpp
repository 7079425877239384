// Ad-hoc SQL in debug mode: it runs on the paused run's own connection, the run is not resumed
// while it runs, and stopping debug mode ends it before the connection closes.

#include "DebuggerFixture.h"

#include "designer/editor/ResultGridModel.h"

#include <QElapsedTimer>
#include <QTest>

namespace orra::test {
namespace {

class AdHocDebugTest : public DebuggerTest {
protected:
    bool waitIdle(morvane::frmOrraDevelopment* w, int msecs = 20000)
    {
        return QTest::qWaitFor([w] { return w->ExecutionState() == 0; }, msecs);
    }
};

const QString kLongQuery =
    QStringLiteral("with c(x) as (select 1 union all select x + 1 from c where x < 2000000000) select count(*) from c "
                   "option (maxrecursion 0)");

TEST_F(AdHocDebugTest, RunsOnThePausedRunsConnectionAndHoldsTheRunBack)
{
    morvane::frmOrraDevelopment* w = openSample();
    ASSERT_NE(w, nullptr);
    // Outside debug mode there is no run connection: nothing runs.
    w->ExecuteEditorSQL(QStringLiteral("select 1 as a"));
    EXPECT_EQ(w->ExecutionState(), 0);
    EXPECT_EQ(w->adHocSql()->gridModel()->columnCount(), 0);

    select(w, QStringLiteral("B0.1.0"));
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    ASSERT_TRUE(w->DebugMode());
    ASSERT_EQ(traceRows(), QStringList{QStringLiteral("outer")});

    // #Report exists only on the run's connection, made by the run's first block.
    w->ExecuteEditorSQL(QStringLiteral("insert into #Report values ('adhoc', 7)\nselect Step, N from #Report"));
    ASSERT_TRUE(waitIdle(w));
    morvane::ResultGridModel* model = w->adHocSql()->gridModel();
    ASSERT_EQ(model->columnCount(), 2);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->cellText(0, 0), "adhoc");
    EXPECT_EQ(model->cellText(0, 1), "7");

    // While a statement runs, Continue does not resume the run on the same connection.
    w->ExecuteEditorSQL(kLongQuery);
    QTest::qWait(100);
    trigger("mnuDebugContinue");
    EXPECT_EQ(traceRows(), QStringList{QStringLiteral("outer")});
    EXPECT_EQ(w->ExecutionState(), 2);
    // Stop ends the statement before the run connection is closed.
    QElapsedTimer clock;
    clock.start();
    trigger("mnuDebugStop");
    EXPECT_FALSE(w->DebugMode());
    EXPECT_EQ(w->ExecutionState(), 0);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(main->panelText(QStringLiteral("State")), QString());
    QTest::qWait(100);
    EXPECT_EQ(w->ExecutionState(), 0);
}

}   // namespace
}   // namespace orra::test
