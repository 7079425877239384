#pragma once
// The editor window's ad-hoc SQL on the embedded server: a document window in the main window
// whose run connection is a connection of the test's own to the catalogue database, which
// holds a small table t (a int, b varchar(10), c decimal(10,2)).

#include "EditorFixture.h"

#include "designer/editor/AdHocSql.h"
#include "designer/editor/ResultGridModel.h"

#include <QPlainTextEdit>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

namespace orra::test {

class AdHocTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        addDocument(1, 1, QStringLiteral("Adhoc"),
            QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[d]]>"
                           "<Block ID=\"B0.0\" Name=\"b\"><![CDATA[select 1]]></Block></Document>"));
        admin->execute(QStringLiteral("create table t (a int, b varchar(10), c decimal(10,2))"));
        admin->execute(QStringLiteral("insert into t values (1, 'one', 1.50)"));
        admin->execute(QStringLiteral("insert into t values (2, 'two', null)"));
        admin->execute(QStringLiteral("insert into t values (3, null, 3.25)"));
        run = std::shared_ptr<db::Connection>(connect(QStringLiteral("sa"), QStringLiteral("secret")));
        w = openInMain(1);
        ASSERT_TRUE(w);
        w->setAdHocRunSource({[this] { return run; }, {}});
        QObject::connect(w->adHocSql(), &morvane::AdHocSql::ExecutionStateChanged, w, [this](int state) {
            states << state;
            panels << main->panelText(QStringLiteral("State"));
        });
    }

    // Runs sql and lets the event loop turn until the window is idle again; false on time-out.
    bool execute(const QString& sql, int msecs = 20000)
    {
        w->ExecuteEditorSQL(sql);
        return waitIdle(msecs);
    }
    bool waitIdle(int msecs = 20000)
    {
        return QTest::qWaitFor([this] { return w->ExecutionState() == 0; }, msecs);
    }

    QTabWidget* tab() const { return w->findChild<QTabWidget*>(QStringLiteral("dbgTab")); }
    QTableView* grid() const { return w->findChild<QTableView*>(QStringLiteral("dbgGrid")); }
    QPlainTextEdit* box(const char* name) const { return w->findChild<QPlainTextEdit*>(QLatin1String(name)); }
    // The views' texts with the line breaks as the text boxes keep them.
    QString text(const char* name) const { return box(name)->toPlainText(); }
    morvane::ResultGridModel* model() const { return w->adHocSql()->gridModel(); }
    QString selectedTab() const { return tab()->tabBar()->tabData(tab()->currentIndex()).toString(); }
    // The grid as "name|name" then "cell|cell" lines.
    QStringList gridLines() const
    {
        QStringList lines;
        QStringList header;
        for (int c = 0; c < model()->columnCount(); ++c) header << model()->headerData(c, Qt::Horizontal).toString();
        lines << header.join(QLatin1Char('|'));
        for (int r = 0; r < model()->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < model()->columnCount(); ++c) row << model()->data(model()->index(r, c)).toString();
            lines << row.join(QLatin1Char('|'));
        }
        return lines;
    }
    static QString hyphens() { return QString(35, QLatin1Char('-')); }

    std::shared_ptr<db::Connection> run;
    morvane::frmOrraDevelopment* w = nullptr;
    QList<int> states;
    QStringList panels;
};

}   // namespace orra::test
