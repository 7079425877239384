#include "DebuggerFixture.h"

#include "common/Connections.h"
#include "designer/shell/DesignerState.h"

namespace orra::test {

bool DebugUserInterface::logOn(LogOnRequest& request)
{
    logOnServers << request.server;
    logOnsAsked.push_back(request);
    if (onLogOn) onLogOn();
    if (refuseLogOn) return false;
    request.trusted = false;
    if (!answerAsAsked) request.database = QStringLiteral("cat");
    request.login = QStringLiteral("sa");
    request.password = QStringLiteral("secret");
    return true;
}

void DebugUserInterface::processEvents()
{
    ++yields;
    if (onYield) onYield();
}

int DebugUserInterface::messageBox(const QString& text, int style, const QString& title)
{
    const int answer = ScriptedUserInterface::messageBox(text, style, title);
    if (onMessage) onMessage(text);
    return answer;
}

void DebuggerTest::SetUp()
{
    EditorTest::SetUp();
    ASSERT_TRUE(exportDir.isValid());
    qputenv("ORRA_EXPORT_DIR", exportDir.path().toLocal8Bit());
    qputenv("ORRA_NO_OPEN", "1");
    morvane::setCatalogueServerName(server());
    orra::ResetConnectionCache();
    admin->execute(QStringLiteral("create table Trace (N int identity(1,1), Step varchar(50))"));
}

void DebuggerTest::TearDown()
{
    dui.onYield = nullptr;
    dui.onMessage = nullptr;
    orra::ResetConnectionCache();
    EditorTest::TearDown();
    qunsetenv("ORRA_EXPORT_DIR");
    qunsetenv("ORRA_NO_OPEN");
}

QString docXml(const QString& children, const QString& server)
{
    return QStringLiteral("<Document ID=\"B0\" Server=\"%1\"><![CDATA[A document]]>").arg(server) + children
        + QStringLiteral("</Document>");
}

QString blockXml(const QString& id, const QString& sql, const QString& children)
{
    return QStringLiteral("<Block ID=\"%1\" Name=\"Block %1\"><![CDATA[%2]]>%3</Block>").arg(id, sql, children);
}

QString scriptXml(const QString& id, const QString& code)
{
    return QStringLiteral("<Script ID=\"%1\" Name=\"Script %1\" Language=\"VBScript\"><![CDATA[%2]]></Script>")
        .arg(id, code);
}

QString traceInsert(const QString& step) { return QStringLiteral("insert into Trace (Step) values ('%1')").arg(step); }

void DebuggerTest::addSampleDocuments()
{
    addDocument(
        20, 1, QStringLiteral("Inner"), docXml(blockXml(QStringLiteral("B0.0"), traceInsert(QStringLiteral("inner")))));
    addDocument(10, 1, QStringLiteral("Main"),
        docXml(blockXml(QStringLiteral("B0.0"), QStringLiteral("create table #Report (Step varchar(20), N int)"))
            + blockXml(QStringLiteral("B0.1"), traceInsert(QStringLiteral("outer")),
                blockXml(QStringLiteral("B0.1.0"), traceInsert(QStringLiteral("nested")))
                    + scriptXml(QStringLiteral("B0.1.X0"),
                        QStringLiteral("OrraCon.Execute \"") + traceInsert(QStringLiteral("script"))
                            + QStringLiteral("\"")))
            + QStringLiteral("<Include ID=\"B0.I0\" Name=\"Include:Inner\" DocID=\"20\"/>")
            + blockXml(QStringLiteral("B0.2"),
                QStringLiteral("insert into #Report values ('last', 1) ") + traceInsert(QStringLiteral("last")))));
}

morvane::frmOrraDevelopment* DebuggerTest::openSample()
{
    addSampleDocuments();
    return openInMain(10);
}

morvane::frmOrraDevelopment* DebuggerTest::openSamplePausedAt(const QString& key)
{
    morvane::frmOrraDevelopment* w = openSample();
    if (!w || !node(w, key)) return nullptr;
    select(w, key);
    trigger("mnuDebugBreakPoint");
    trigger("mnuDebugStart");
    EXPECT_EQ(selectedKey(w), key);
    return w;
}

QStringList DebuggerTest::traceRows()
{
    QStringList rows;
    db::RecordsetPtr rs = admin->execute(QStringLiteral("select Step from Trace order by N"));
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) rows << rs->value(0).toString();
    return rows;
}

void DebuggerTest::trigger(const char* menuItem)
{
    QAction* a = main->menuItem(QLatin1String(menuItem));
    ASSERT_NE(a, nullptr) << menuItem;
    a->trigger();
}

bool DebuggerTest::enabled(const char* menuItem)
{
    QAction* a = main->menuItem(QLatin1String(menuItem));
    return a && a->isEnabled();
}

QTreeWidgetItem* DebuggerTest::node(morvane::frmOrraDevelopment* w, const QString& key)
{
    return w->documentTree()->node(key);
}

void DebuggerTest::select(morvane::frmOrraDevelopment* w, const QString& key)
{
    QTreeWidgetItem* n = node(w, key);
    ASSERT_NE(n, nullptr) << key.toStdString();
    w->tvDocument()->setCurrentItem(n);
    w->tvDocument_NodeClick(n);
}

QString DebuggerTest::selectedKey(morvane::frmOrraDevelopment* w)
{
    return morvane::DocumentTree::key(w->tvDocument()->currentItem());
}

}   // namespace orra::test
