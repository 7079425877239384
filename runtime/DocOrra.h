#pragma once
// DocOrra: the run-time engine. A host lends it a catalogue connection (Doc_Con) and a run
// connection (Orra_Con), gives it a query document (LoadDocument + Expand, or an expanded DOM
// through setXMLDOMDocument), prepares a run, calls RunDocument until the run ends and closes it
// with EndExecution. The engine reports every step through its signals, which are delivered
// synchronously (connect them with direct connections): a handler may set Statu to pause the
// run, change the text of AfterModifyClause, or call RunDocument again from inside the event.
//
// Stopping a run: RequestStop (any thread) or EndExecution (the host's thread), called while
// RunDocument is under way, make the run stop at its next turn to the host: right after the
// event handler, yield, prompt or script box in which the request was made returns, and for a
// running script at its next statement. No further event is raised and RunDocument returns -1
// without an error message. EndExecution also drops the temporary tables and releases the
// script engine, but only once the outermost RunDocument has unwound, never under the code that
// is executing. RunDocument may be called again during a run only from inside one of the
// run's own events; IsRunning tells whether a run is under way.
//
// Errors: each public operation either shows the error through the host's user interface
// (flagShowErrorMessages, the default) and returns its failure value, or sets its own name as
// the error's source and throws the orra::Error to the host.
//
// The engine never touches a widget: message boxes and the yield to the host's event loop go
// through its host's user interface, the parameter prompt through its host's prompt (a
// RunHost, runtime/RunHost.h; without one, the process's orra::userInterface() and
// orra::parameterPrompt()).

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/host/Error.h"
#include "common/Xml.h"
#include "runtime/RunHost.h"
#include "runtime/clsStation.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVariant>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace orra {

class DocOrra;

// What RunDocument returns. A script may also leave any other value of 1 or more in "#Int",
// which ends the call as a pause does; a negative value other than Stopped counts as finished.
namespace RunResult {
inline constexpr float Finished = 0;           // the document ran to its end
inline constexpr float Paused = 1;             // paused at an event or a station: resume with GoToID
inline constexpr float Stopped = -1;           // cancelled, stopped by the host, or ended by an error
inline constexpr float RestartRequested = 2;   // a script asked to go on from another element: call again
}   // namespace RunResult

// The script engine of one run: the host's factory makes it, else the process's (the real
// script engine, ScriptHost, unless DocOrra::setScriptHostFactory installed another); without
// a factory, Script elements are refused.
class DocOrraScriptHost {
public:
    virtual ~DocOrraScriptHost() = default;
    // Runs code in the run's one global script scope. Throws orra::Error on a script error,
    // or Ended (below).
    virtual void ExecuteStatement(const QString& code) = 0;
    // Thread-safe: stops the script that is running now; nothing when none runs.
    virtual void RequestCancel() {}
    // Thrown by ExecuteStatement when the script's end is already settled with the host: its
    // error was shown in the script engine's own box, or the host asked it to stop. The
    // script's element then ends the run with -1 and reports nothing more.
    struct Ended {};
};

using XmlDocumentPtr = std::shared_ptr<xml::Document>;

class DocOrra : public QObject {
    Q_OBJECT
public:
    enum enDocStatu { enDocStatuRunning = 0, enDocStatuPaused = 1 };
    Q_ENUM(enDocStatu)
    enum enPauseAtEvent {
        enPauseAtEvent_Nothing = 0,
        enPauseAtEvent_BeforeExecutionChildBlocks = 1,
        enPauseAtEvent_BeforeExecutionBlock = 2,
        enPauseAtEvent_BeforeExecutionBlockSQL = 3,
        enPauseAtEvent_AfterExecutionBlock = 4,
        enPauseAtEvent_BeforeExecutionScript = 5,
        enPauseAtEvent_AfterExecutionScript = 6,
        enPauseAtEvent_BeforeExecutionInclude = 7,
        enPauseAtEvent_AfterExecutionInclude = 8,
    };
    Q_ENUM(enPauseAtEvent)

    Q_PROPERTY(int OrraID MEMBER OrraID)
    Q_PROPERTY(enDocStatu Statu MEMBER Statu)
    Q_PROPERTY(bool flagShowErrorMessages MEMBER flagShowErrorMessages)
    Q_PROPERTY(bool flagReturnRecordSet MEMBER flagReturnRecordSet)
    Q_PROPERTY(bool flagReturnModifiedClause MEMBER flagReturnModifiedClause)
    Q_PROPERTY(QString GoToID MEMBER GoToID)
    Q_PROPERTY(enPauseAtEvent PauseAtEvent MEMBER PauseAtEvent)
    Q_PROPERTY(bool hasChildNodes READ hasChildNodes)
    Q_PROPERTY(QVariant DocumentDescription READ DocumentDescription)
    Q_PROPERTY(bool IsRunning READ IsRunning)

    explicit DocOrra(QObject* parent = nullptr);
    explicit DocOrra(RunHost host, QObject* parent = nullptr);
    ~DocOrra() override;

    // ---- public variables, in interface order ----
    int OrraID = 0;                                         // tbOrraSQL.ID of the document
    enDocStatu Statu = enDocStatuRunning;                   // set to paused inside an event handler to pause
    bool flagShowErrorMessages = true;                      // show errors and swallow them / throw them
    bool flagReturnRecordSet = true;                        // DocumentEnd carries "select * from #Report"
    bool flagReturnModifiedClause = false;                  // raise AfterModifyClause before each text runs
    QString GoToID;                                         // element at which the next RunDocument resumes
    enPauseAtEvent PauseAtEvent = enPauseAtEvent_Nothing;   // the event the run paused after

    // ---- properties and methods, in interface order ----
    db::ConnectionPtr Orra_Con() const { return m_orraCon; }
    void setOrra_Con(db::ConnectionPtr connection);
    db::ConnectionPtr Doc_Con() const { return m_docCon; }
    void setDoc_Con(db::ConnectionPtr connection) { m_docCon = std::move(connection); }
    // The document the engine runs; setting it keeps the host's object itself, not a copy.
    XmlDocumentPtr XMLDOMDocument() const { return m_document; }
    void setXMLDOMDocument(XmlDocumentPtr document);
    bool hasChildNodes() const;
    Q_INVOKABLE bool LoadDocument();
    // False when the text does not parse (the error names the parser's line and column).
    Q_INVOKABLE bool LoadXML(QString& strXML);
    bool LoadXML(const QString& strXML)
    {
        QString t = strXML;
        return LoadXML(t);
    }
    QVariant DocumentDescription();
    Q_INVOKABLE void Expand();
    Q_INVOKABLE bool PrepareforExecution();
    // Inside a run: a stop request whose drops and release wait until the run has unwound.
    Q_INVOKABLE bool EndExecution();
    // Refused (-1 and an error) when a run is under way and the call does not come from inside
    // one of its events.
    Q_INVOKABLE float RunDocument();
    Q_INVOKABLE bool RunStation();
    // The host's stop request (thread-safe): the run under way stops at its next turn to the
    // host, a running script at its next statement, and RunDocument returns -1. A statement
    // that is already executing on the run connection is not interrupted. Nothing happens,
    // and nothing is kept for a later run, when no run is under way.
    Q_INVOKABLE void RequestStop();
    // True while RunDocument is under way (also while it waits in an event, a prompt or a
    // script); false when the run has paused, ended or stopped.
    bool IsRunning() const { return m_runDepth.load() > 0; }
    QString GetRunableSQL(const QString& SQLTxt, bool& IsError);

    // What the host lends this engine. A new host answers from the next message, yield or
    // prompt on; the scripts of a run keep the user interface of the host that prepared it.
    const RunHost& host() const { return m_host; }
    void setHost(RunHost host) { m_host = std::move(host); }

    // The process's script-host factory, used by PrepareforExecution of every engine whose host
    // gives none: the real script engine (InitScriptEngine) until this installs another (an
    // empty one refuses Script elements). Returns the previous factory.
    static DocOrraScriptHostFactory setScriptHostFactory(DocOrraScriptHostFactory factory);

    // The parameter chain of the prepared run (read-only view, for hosts and tests).
    const xml::Document& ParameterChain() const { return *m_chain; }
    // The station stack, newest first.
    const QList<std::shared_ptr<clsStation>>& Stations() const { return m_stations; }

signals:
    // All arguments are passed by reference; deliver with direct connections.
    void BeforeExecutionChildBlocks(QString& BlockID);                       // 1
    void BeforeExecutionBlock(QString& BlockID);                             // 2
    void BeforeExecutionBlockSQL(QString& BlockID);                          // 3
    void AfterExecutionBlock(QString& BlockID);                              // 4
    void BeforeExecutionScript(QString& ScriptID);                           // 5
    void AfterExecutionScript(QString& ScriptID);                            // 6
    void BeforeExecutionInclude(QString& IncludeID);                         // 7
    void AfterExecutionInclude(QString& IncludeID);                          // 8
    void ArrivetoStation(QString& StationID, QString& StationName);          // 9
    void BeforeExecutionStation(QString& StationID);                         // 10
    void AfterExecutionStation(QString& StationID, QString& NewStationID);   // 11
    void DocumentEnd(orra::db::RecordsetPtr& rs);                            // 12
    void AfterModifyClause(QString& ElementID, QString& strClause);          // 13

private:
    friend class clsScriptShare;
    friend class ScriptHost;
    // For the script object: removes an element's chain entry (and what hangs under it), and
    // finds the chain's Parameter entry with an ID.
    void RemoveFromChain(const QString& ID);
    xml::Node GetChainParameter(const QString& ID);

    struct RunUnwound;
    struct RunScope;
    struct TurnScope;
    // What the host is doing when it has the thread during a run: handling one of the run's
    // events, or running its event loop (the yield before a block's SQL, a prompt, a script).
    enum class HostTurn { None, Event, Yield };
    // Gives the host a turn; afterwards the walk unwinds when the host stopped the run or (with
    // checkReplaced) changed it under the walk.
    template <typename F> void hostTurn(HostTurn kind, F turn, bool checkReplaced = true);
    void yieldToHost();
    void unwindIfStopped();
    bool stopRequested() const { return m_runDepth.load() > 0 && m_stopRequested.load(); }
    void finishRun() noexcept;
    void replaceScriptEngine(std::unique_ptr<DocOrraScriptHost> engine);
    static void dropRunTables(db::Connection* connection);
    // The run connection, or a clear error when the host has set it to nothing.
    db::Connection& runConnection();
    float RunBlock(xml::Node element, QString& target);
    float RunBlockBody(xml::Node element, QString& target, int entryPause);
    template <typename Restore> float RunChildren(xml::Node parent, QString& target, Restore restoreScope);
    float RunScript(xml::Node element, QString& target);
    float RunInclude(xml::Node element, QString& target);
    void ArriveToStation(xml::Node station, std::shared_ptr<xml::Document> owner);
    void ParameterPromptFor(xml::Node element, xml::Node parameterParent, xml::Node entry);
    void ExecuteSQL(const QString& sql);
    double ReadIntFlag();
    bool CheckRow(QString* documentXml);
    bool CheckDocument();
    bool paused() const { return Statu == enDocStatuPaused; }

    xml::Node ChainRoot(bool create);
    xml::Node ChainEntryFor(const QString& ID) const;
    xml::Node NearestAncestorEntry(xml::Node element);
    xml::Node EnsureChainEntry(xml::Node element);
    void RemoveChainEntry(xml::Node entry);
    xml::Node FindParameter(xml::Node entry, const QString& name) const;

    // Error convention: shows the error (style, title) and returns false, or rethrows it with
    // source = name.
    bool handleError(Error& error, const QString& name, int style, const QString& title);
    template <typename F>
    auto trapped(const QString& name, int style, const QString& title, F body, decltype(body()) failure)
        -> decltype(body());
    // An element run's trap: as trapped, but an error that comes while the run is stopping is
    // the stop's, not the element's.
    template <typename F> float trappedRun(const QString& name, F body);
    template <typename Emit> void raise(Emit emitter);

    RunHost m_host;
    db::ConnectionPtr m_orraCon;
    db::ConnectionPtr m_docCon;
    XmlDocumentPtr m_document;
    std::unique_ptr<xml::Document> m_chain;          // the parameter chain of the prepared run
    xml::Node m_currentEntry;                        // the scope in which placeholders are resolved
    QList<std::shared_ptr<clsStation>> m_stations;   // newest first
    std::unique_ptr<DocOrraScriptHost> m_scriptEngine;
    std::mutex m_scriptEngineMutex;             // guards m_scriptEngine against RequestStop from another thread
    int m_generation = 0;                       // bumped whenever the document, the chain or the run is replaced
    int m_runCount = 0;                         // RunDocument calls so far
    float m_lastRunResult = 0;                  // what the last RunDocument returned
    std::atomic<int> m_runDepth{0};             // RunDocument calls under way (nested ones too)
    std::atomic<bool> m_stopRequested{false};   // the run under way is to stop
    bool m_endRequested = false;                // EndExecution came during the run
    db::ConnectionPtr m_endConnection;          // the run connection when it came
    HostTurn m_hostTurn = HostTurn::None;
};

}   // namespace orra
