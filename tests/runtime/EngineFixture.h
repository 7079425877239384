#pragma once
// Shared set-up of the engine tests: an embedded server in a temporary folder with a catalogue
// database ("Orra") and a data database ("Data"), one catalogue connection and one run
// connection, documents inserted with their row checksums, and a recorder of the engine's
// signals.

#include "common/Crc32.h"
#include "platform/db/Connection.h"
#include "platform/host/UserInterface.h"
#include "runtime/DocOrra.h"
#include "runtime/ParameterPrompt.h"
#include "tests/support/RecordingUserInterface.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ostream>

// Readable failure output for texts.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace orra::test {

// Every signal of a DocOrra as one line: "BeforeExecutionBlock B0.1", "ArrivetoStation DocEnd Document End",
// "DocumentEnd rows=2", "DocumentEnd nothing". A hook per event name may act inside the event.
class EventRecorder {
public:
    explicit EventRecorder(DocOrra& engine);
    QStringList events;
    // Called with (event name, first argument) right after it is recorded.
    std::function<void(const QString& event, const QString& id)> hook;
    // Rows of the last DocumentEnd recordset (each row joined by '|'), if any.
    QStringList reportRows;
    bool reportGiven = false;
    // AfterModifyClause: a rewrite to apply to the clause text (by element ID).
    std::map<QString, QString> clauseRewrites;
    QStringList clauses;   // "ID: text" of each AfterModifyClause
};

// A desktop host's stop button: the script lets the event loop run now and then, and the
// handler asks for the stop on the same thread, at the given yield.
class StopButton : public RecordingUserInterface {
public:
    DocOrra* engine = nullptr;
    int stopAfter = 3;
    void processEvents() override
    {
        if (++yields == stopAfter && engine) engine->RequestStop();
    }
};

class EngineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Inserts a document row (owner: the current login) with its checksum; returns its ID.
    int addDocument(const QString& xml, const QString& name = QString());
    // A prepared engine for document id, loaded from the catalogue, errors thrown to the test.
    std::unique_ptr<DocOrra> engineFor(int id, bool prepare = true);
    // Values of a one-column query on the run connection, in order, as text.
    QStringList column(const QString& sql);
    // The rows of the Data..Trace table (what the blocks wrote), in insertion order.
    QStringList trace() { return column(QStringLiteral("select Step from Trace order by N")); }

    QTemporaryDir m_dir;
    QByteArray m_oldServers;
    db::ConnectionPtr m_doc;
    db::ConnectionPtr m_run;
    RecordingUserInterface m_ui;
    UserInterface* m_oldUi = nullptr;
    int m_nextId = 1;
};

// A document text: root with description and the given children.
QString documentXml(const QString& children);
// <Block ID=".." Name=".."><![CDATA[sql]]>children</Block>
QString block(
    const QString& id, const QString& sql, const QString& children = QString(), const QString& name = QString());
// A "fact" parameter (answered without a person) owned by owner.
QString factParameter(const QString& owner, const QString& name, const QString& value);
QString textParameter(const QString& owner, const QString& name, const QString& value);
QString station(const QString& id, const QString& sql = QString());
QString script(const QString& id, const QString& code);
// SQL that appends a step to Data..Trace.
QString traceSql(const QString& step);

}   // namespace orra::test
