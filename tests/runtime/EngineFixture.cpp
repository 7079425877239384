#include "tests/runtime/EngineFixture.h"

#include "common/CatalogueChecksums.h"
#include "platform/db/Recordset.h"
#include "tests/runtime/TestServer.h"

namespace orra::test {

namespace {
QString esc(const QString& s)
{
    QString r = s;
    r.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    r.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    r.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    r.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return r;
}

QString rowText(db::Recordset& rs)
{
    QStringList cells;
    for (int i = 0; i < rs.fieldCount(); ++i) {
        const QVariant& v = rs.value(i);
        cells.append(
            v.isValid() && !v.isNull() ? db::Recordset::valueText(v, rs.field(i).type) : QStringLiteral("NULL"));
    }
    return cells.join(QLatin1Char('|'));
}
}   // namespace

EventRecorder::EventRecorder(DocOrra& engine)
{
    auto one = [this](const char* name) {
        return [this, name](QString& id) {
            events.append(QString::fromLatin1(name) + QLatin1Char(' ') + id);
            if (hook) hook(QString::fromLatin1(name), id);
        };
    };
    QObject::connect(&engine, &DocOrra::BeforeExecutionChildBlocks, one("BeforeExecutionChildBlocks"));
    QObject::connect(&engine, &DocOrra::BeforeExecutionBlock, one("BeforeExecutionBlock"));
    QObject::connect(&engine, &DocOrra::BeforeExecutionBlockSQL, one("BeforeExecutionBlockSQL"));
    QObject::connect(&engine, &DocOrra::AfterExecutionBlock, one("AfterExecutionBlock"));
    QObject::connect(&engine, &DocOrra::BeforeExecutionScript, one("BeforeExecutionScript"));
    QObject::connect(&engine, &DocOrra::AfterExecutionScript, one("AfterExecutionScript"));
    QObject::connect(&engine, &DocOrra::BeforeExecutionInclude, one("BeforeExecutionInclude"));
    QObject::connect(&engine, &DocOrra::AfterExecutionInclude, one("AfterExecutionInclude"));
    QObject::connect(&engine, &DocOrra::BeforeExecutionStation, one("BeforeExecutionStation"));
    QObject::connect(&engine, &DocOrra::ArrivetoStation, [this](QString& id, QString& name) {
        events.append(QStringLiteral("ArrivetoStation ") + id + QLatin1Char(' ') + name);
        if (hook) hook(QStringLiteral("ArrivetoStation"), id);
    });
    QObject::connect(&engine, &DocOrra::AfterExecutionStation, [this](QString& id, QString& newId) {
        events.append(QStringLiteral("AfterExecutionStation ") + id + QLatin1Char(' ') + newId);
        if (hook) hook(QStringLiteral("AfterExecutionStation"), id);
    });
    QObject::connect(&engine, &DocOrra::DocumentEnd, [this](db::RecordsetPtr& rs) {
        reportGiven = bool(rs);
        reportRows.clear();
        if (rs && rs->isOpen()) {
            for (; !rs->isEOF(); rs->MoveNext()) reportRows.append(rowText(*rs));
        }
        events.append(QStringLiteral("DocumentEnd ")
            + (rs ? QStringLiteral("rows=%1").arg(reportRows.size()) : QStringLiteral("nothing")));
        if (hook) hook(QStringLiteral("DocumentEnd"), QString());
    });
    QObject::connect(&engine, &DocOrra::AfterModifyClause, [this](QString& id, QString& clause) {
        clauses.append(id + QStringLiteral(": ") + clause);
        auto it = clauseRewrites.find(id);
        if (it != clauseRewrites.end()) clause = it->second;
    });
}

void EngineTest::SetUp()
{
    ASSERT_TRUE(m_dir.isValid());
    m_oldServers = qgetenv("ORRA_SERVERS");
    qputenv("ORRA_SERVERS", m_dir.path().toLocal8Bit());
    m_oldUi = setUserInterface(&m_ui);
    TestServer server = createTestServer(m_dir.path());
    m_doc = server.catalogue;
    m_run = server.data;
    m_doc->execute(QStringLiteral("insert into tbOrraCategory (ID, ParentID, Name, Type, Disabled, Owner, CheckSum) "
                                  "values (1, 0, 'Reports', 'T', 0, suser_sid(), 0)"));
    ASSERT_TRUE(UpdateCategoryCheckSum(*m_doc, QStringLiteral("Orra"), 1));
    m_run->execute(QStringLiteral("create table Trace (N int identity(1,1) primary key, Step varchar(200))"));
}

void EngineTest::TearDown()
{
    DocOrra::setScriptHostFactory(nullptr);
    setParameterPrompt(nullptr);
    setUserInterface(m_oldUi);
    m_doc.reset();
    m_run.reset();
    if (m_oldServers.isNull())
        qunsetenv("ORRA_SERVERS");
    else
        qputenv("ORRA_SERVERS", m_oldServers);
}

int EngineTest::addDocument(const QString& xml, const QString& name)
{
    const int id = m_nextId++;
    QString text = xml;
    text.replace(QLatin1Char('\''), QLatin1String("''"));
    const QString docName = name.isEmpty() ? QStringLiteral("Document-%1").arg(id) : name;
    m_doc->execute(QStringLiteral(
        "insert into tbOrraSQL (ID, CategoryID, Name, Description, Type, Disabled, SQLtxt, Owner, CheckSum) "
        "values (%1, 1, '%2', '', 'T', 0, '%3', suser_sid(), 0)")
                       .arg(id)
                       .arg(docName, text));
    db::RecordsetPtr rs = m_doc->execute(QStringLiteral("select * from tbOrraSQL where ID=%1").arg(id));
    const int32_t sum = RowCheckSum(*rs);
    m_doc->execute(QStringLiteral("update tbOrraSQL set CheckSum=%1 where ID=%2").arg(sum).arg(id));
    return id;
}

std::unique_ptr<DocOrra> EngineTest::engineFor(int id, bool prepare)
{
    auto engine = std::make_unique<DocOrra>();
    engine->flagShowErrorMessages = false;
    engine->setDoc_Con(m_doc);
    engine->OrraID = id;
    EXPECT_TRUE(engine->LoadDocument());
    engine->Expand();
    engine->setOrra_Con(m_run);
    if (prepare) {
        EXPECT_TRUE(engine->PrepareforExecution());
    }
    return engine;
}

QStringList EngineTest::column(const QString& sql)
{
    QStringList out;
    db::RecordsetPtr rs = m_run->execute(sql);
    for (; rs && rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const QVariant& v = rs->value(0);
        out.append(
            v.isValid() && !v.isNull() ? db::Recordset::valueText(v, rs->field(0).type) : QStringLiteral("NULL"));
    }
    return out;
}

QString documentXml(const QString& children)
{
    return QStringLiteral("<Document ID=\"B0\" Server=\"{FREE}\"><![CDATA[A test document]]>") + children
        + QStringLiteral("</Document>");
}

QString block(const QString& id, const QString& sql, const QString& children, const QString& name)
{
    return QStringLiteral("<Block ID=\"%1\" Name=\"%2\"><![CDATA[%3]]>%4</Block>")
        .arg(id, esc(name.isEmpty() ? QStringLiteral("Block ") + id : name), sql, children);
}

static QString parameter(const QString& owner, const QString& name, const QString& value, const QString& type)
{
    return QStringLiteral("<Parameter ID=\"%1.P_%2\" Name=\"%2\" Caption=\"%2\" DefaultValue=\"%3\" Type=\"%4\" "
                          "Source=\"\" ReturnCol=\"\" Prompt=\"\" SelectionType=\"\" Behaviour=\"dynamic\"/>")
        .arg(owner, name, esc(value), type);
}

QString factParameter(const QString& owner, const QString& name, const QString& value)
{
    return parameter(owner, name, value, QStringLiteral("fact"));
}

QString textParameter(const QString& owner, const QString& name, const QString& value)
{
    return parameter(owner, name, value, QStringLiteral("text"));
}

QString station(const QString& id, const QString& sql)
{
    return QStringLiteral("<Station ID=\"%1\" Name=\"Station %1\"><![CDATA[%2]]></Station>").arg(id, sql);
}

QString script(const QString& id, const QString& code)
{
    return QStringLiteral("<Script ID=\"%1\" Name=\"Script %1\" Language=\"VBScript\"><![CDATA[%2]]></Script>")
        .arg(id, code);
}

QString traceSql(const QString& step) { return QStringLiteral("insert into Trace (Step) values ('%1')").arg(step); }

}   // namespace orra::test
