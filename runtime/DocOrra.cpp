#include "runtime/DocOrra.h"

#include "common/Crc32.h"
#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "common/QueryDocument.h"
#include "common/RecordsetOpener.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/host/MemoryReserve.h"
#include "platform/host/UserInterface.h"
#include "runtime/ParameterPrompt.h"
#include "runtime/ScriptHost.h"
#include "platform/text/RegExp.h"

#include <new>

namespace orra {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kID = QStringLiteral("ID");
const QString kName = QStringLiteral("Name");

// The process's script-host factory: the real script engine until a host or a test installs
// another. Made at first use, so no static initialiser of another file has to run first.
DocOrraScriptHostFactory& processScriptHostFactory()
{
    static DocOrraScriptHostFactory factory = &InitScriptEngine;
    return factory;
}

// VB's Trim: blanks only.
QString vbTrim(const QString& s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s.at(b) == QLatin1Char(' ')) ++b;
    while (e > b && s.at(e - 1) == QLatin1Char(' ')) --e;
    return s.mid(b, e - b);
}

QString idOf(xml::Node n) { return xml::attribute(n, kID); }

// The placeholders of a text: every match of "<\$[^<]*%>" (case ignored, all matches), in
// order, through the VBScript-style regular expression.
QStringList FindPlaceholders(const QString& text)
{
    QStringList out;
    if (!text.contains(QLatin1String("<$")))   // the pattern cannot match without it
        return out;
    RegExp re;
    re.pattern = QStringLiteral("<\\$[^<]*%>");
    re.ignoreCase = true;
    re.global = true;
    for (const RegExpMatch& m : re.execute(text)) out.append(m.value);
    return out;
}

Error asError(const std::exception& e) { return Error(kSystemError, QString(), QString::fromLocal8Bit(e.what())); }

}   // namespace

// Thrown through the element runs when the host changed the run from inside an event (a
// nested RunDocument, a new document or chain), or asked it to stop: the outer run stops
// without touching the state the change replaced.
struct DocOrra::RunUnwound {
    enum Why { Replaced, NestedRun, Stopped } why = Replaced;
};

// One RunDocument under way. When the outermost one has unwound, a stop request is forgotten
// and an EndExecution that came during the run is carried out.
struct DocOrra::RunScope {
    DocOrra& engine;
    explicit RunScope(DocOrra& e) : engine(e)
    {
        if (engine.m_runDepth.fetch_add(1) == 0)
            engine.m_stopRequested = false;   // a request that came before the run is not kept
    }
    ~RunScope()
    {
        if (engine.m_runDepth.fetch_sub(1) == 1) engine.finishRun();
    }
};

// Marks what the host is doing while it has the thread, so that a RunDocument it calls can be
// told apart: from an event handler it continues the run, from the host's event loop it would
// start a second run inside the first.
struct DocOrra::TurnScope {
    DocOrra& engine;
    HostTurn outer;
    TurnScope(DocOrra& e, HostTurn kind) : engine(e), outer(e.m_hostTurn) { engine.m_hostTurn = kind; }
    ~TurnScope() { engine.m_hostTurn = outer; }
};

const QString kRunConnectionGone =
    QStringLiteral("The run connection (Orra_Con) was set to Nothing: the run cannot go on");

DocOrra::DocOrra(QObject* parent) : DocOrra(RunHost(), parent) {}

DocOrra::DocOrra(RunHost host, QObject* parent)
    : QObject(parent), m_host(std::move(host)), m_orraCon(std::make_shared<db::Connection>()),
      m_document(std::make_shared<xml::Document>()), m_chain(std::make_unique<xml::Document>())
{
}

DocOrra::~DocOrra() = default;

DocOrraScriptHostFactory DocOrra::setScriptHostFactory(DocOrraScriptHostFactory factory)
{
    DocOrraScriptHostFactory old = std::move(processScriptHostFactory());
    processScriptHostFactory() = std::move(factory);
    return old;
}

void DocOrra::setOrra_Con(db::ConnectionPtr connection) { m_orraCon = std::move(connection); }

void DocOrra::setXMLDOMDocument(XmlDocumentPtr document)
{
    m_document = std::move(document);
    ++m_generation;
}

bool DocOrra::hasChildNodes() const { return m_document && !m_document->node().first_child().empty(); }

// ---------------------------------------------------------------- error convention

bool DocOrra::handleError(Error& error, const QString& name, int style, const QString& title)
{
    if (flagShowErrorMessages) {
        m_host.userInterface().messageBox(error.description(), style, title);
        return false;
    }
    error.setSource(name);
    throw error;
}

template <typename F>
auto DocOrra::trapped(const QString& name, int style, const QString& title, F body, decltype(body()) failure)
    -> decltype(body())
{
    try {
        return body();
    } catch (Error& e) {
        handleError(e, name, style, title);
    } catch (RunUnwound&) {
        throw;
    } catch (const std::bad_alloc&) {
        // The memory of what failed is given back by now; the reserve leaves room to report it.
        releaseMemoryReserve();
        Error err(kOutOfMemory, QString(), QStringLiteral("Out of memory"));
        handleError(err, name, style, title);
    } catch (const std::exception& e) {
        Error err = asError(e);
        handleError(err, name, style, title);
    }
    return failure;
}

template <typename F> float DocOrra::trappedRun(const QString& name, F body)
{
    return trapped(
        name, vbCritical, name,
        [&]() -> float {
            try {
                return body();
            } catch (const std::exception&) {
                // The host stopped the run and then, say, closed the run connection: what fails
                // now fails because of the stop.
                unwindIfStopped();
                throw;
            }
        },
        -1.0f);
}

// ---------------------------------------------------------------- loading

bool DocOrra::CheckRow(QString* documentXml)
{
    bool failed = false;
    db::RecordsetPtr rs = OpenRecordset(
        m_docCon.get(), QStringLiteral("select * from tbOrraSQL where ID=") + QString::number(OrraID), failed);
    if (failed || !rs) throw Error(kDocumentNotLoaded, QString(), QStringLiteral("Error loading document"));
    if (!rs->isOpen() || rs->isEOF())
        throw Error(kDocumentNotFound, QString(), QStringLiteral("Could not found document"));

    qint64 stored = 0;
    QString name;
    QString text;
    for (int i = 0; i < rs->fieldCount(); ++i) {
        const QString fieldName = rs->field(i).name;
        const QVariant& v = rs->value(i);
        if (fieldName == QLatin1String("CheckSum")) {
            stored = v.isValid() && !v.isNull() ? v.toLongLong() : 0;
            continue;
        }
        const QString valueText =
            v.isValid() && !v.isNull() ? db::Recordset::valueText(v, rs->field(i).type) : QString();
        if (fieldName == QLatin1String("Name")) name = valueText;
        if (fieldName == QLatin1String("SQLtxt") && documentXml) {
            const QVariant& x = rs->value(QStringLiteral("SQLTxt"));
            *documentXml = x.isValid() && !x.isNull() ? x.toString() : QString();
        }
    }
    if (qint64(RowCheckSum(*rs)) != stored)
        throw Error(
            kSystemError, QString(), QStringLiteral("CheckSum Value is wrong for Document Name: '") + vbTrim(name));
    return true;
}

bool DocOrra::LoadDocument()
{
    return trapped(
        QStringLiteral("DocOrra::LoadDocument"), vbCritical, QStringLiteral("DocOrra::LoadDocument"),
        [&]() -> bool {
            if (OrraID == 0) throw Error(kSystemError, QString(), QStringLiteral("No Document ID defined"));
            if (!m_docCon || m_docCon->state() == 0)
                throw Error(kSystemError, QString(), QStringLiteral("Document connection missing or couldn't be open"));
            if (!HasDocPermission(m_docCon.get(), OrraID, 0, rightEdit, &m_host.userInterface()))
                throw Error(kSystemError, QString(), QStringLiteral("User does not have permission to load document"));
            QString documentXml;
            CheckRow(&documentXml);
            return LoadXML(documentXml);
        },
        false);
}

bool DocOrra::LoadXML(QString& strXML)
{
    return trapped(
        QStringLiteral("DocOrra::LoadXML"), vbCritical, QStringLiteral("DocOrra::LoadXML"),
        [&]() -> bool {
            if (!m_document) m_document = std::make_shared<xml::Document>();
            ++m_generation;
            if (!m_document->loadXML(strXML)) {
                const xml::ParseError& pe = m_document->parseError();
                throw Error(kSystemError, QString(),
                    QStringLiteral("Could not parse the document: %1 (line %2, column %3)")
                        .arg(pe.reason)
                        .arg(pe.line)
                        .arg(pe.linepos));
            }
            return true;
        },
        false);
}

QVariant DocOrra::DocumentDescription()
{
    return trapped(
        QStringLiteral("DocOrra::DocumentDescription"), vbOKOnly, QStringLiteral("DocOrra::DocumentDescription"),
        [&]() -> QVariant {
            xml::Node root = m_document ? m_document->documentElement() : xml::Node();
            if (!root)
                throw Error(kObjectNotSet, QString(), QStringLiteral("Object variable or With block variable not set"));
            QString text = xml::nodeText(root.first_child());
            text.replace(QLatin1Char('\n'), kCrLf);
            return QVariant(text);
        },
        QVariant());
}

bool DocOrra::CheckDocument()
{
    return trapped(
        QStringLiteral("DocOrra::PrepareforExecution"), vbCritical, QStringLiteral("DocOrra::PrepareforExecution"),
        [&]() -> bool { return CheckRow(nullptr); }, false);
}

void DocOrra::Expand()
{
    if (!HasDocPermission(m_docCon.get(), OrraID, 0, rightEdit, &m_host.userInterface()))
        throw Error(kSystemError, QString(), QStringLiteral("User does not have permission to load document"));
    if (!CheckDocument()) return;
    ExpandIncludes(m_docCon.get(), m_document->documentElement(), OrraID);
}

// ---------------------------------------------------------------- run life cycle

bool DocOrra::PrepareforExecution()
{
    return trapped(
        QStringLiteral("DocOrra::PrepareforExecution"), vbCritical, QStringLiteral("DocOrra::PrepareforExecution"),
        [&]() -> bool {
            // A new preparation would replace the script engine and the chain under the run.
            if (IsRunning())
                throw Error(kSystemError, QString(),
                    QStringLiteral("The document is running: it cannot be prepared again before the run has ended"));
            if (!HasDocPermission(m_docCon.get(), OrraID, 0, rightExecute, &m_host.userInterface()))
                throw Error(kSystemError, QString(), QStringLiteral("User does not have permission to run document"));
            // A "#Int" left in the session by an earlier run that was never ended is dropped first.
            if (m_orraCon && m_orraCon->isOpen()) {
                try {
                    m_orraCon->execute(QStringLiteral("drop table #Int"));
                } catch (const Error&) {
                }
            }
            ExecuteSQL(QStringLiteral("create table #Int (Err smallint) insert into #Int select 0"));
            ++m_generation;
            m_stations.clear();
            m_chain = std::make_unique<xml::Document>();
            xml::appendElement(m_chain->node(), QStringLiteral("Document"));
            m_currentEntry = m_chain->documentElement();
            replaceScriptEngine(nullptr);
            const DocOrraScriptHostFactory& makeScriptHost =
                m_host.scriptHostFactory ? m_host.scriptHostFactory : processScriptHostFactory();
            if (makeScriptHost) replaceScriptEngine(makeScriptHost(*this));
            return true;
        },
        false);
}

void DocOrra::dropRunTables(db::Connection* connection)
{
    if (!connection) return;
    for (const char* sql : {"drop table #Report", "drop table #Int"}) {
        try {
            connection->execute(QString::fromLatin1(sql));
        } catch (...) {
        }
    }
}

bool DocOrra::EndExecution()
{
    if (IsRunning()) {
        // Called from inside the run (an event handler, or a host command during a yield): the
        // run stops, and what is executing now is released only once it has unwound.
        if (!m_endRequested) {
            m_endRequested = true;
            m_endConnection = m_orraCon;
        }
        RequestStop();
        return false;
    }
    dropRunTables(m_orraCon.get());
    replaceScriptEngine(nullptr);
    return false;
}

void DocOrra::finishRun() noexcept
{
    m_stopRequested = false;
    if (!m_endRequested) return;
    m_endRequested = false;
    const db::ConnectionPtr connection = std::move(m_endConnection);
    m_endConnection.reset();
    dropRunTables(connection.get());
    replaceScriptEngine(nullptr);
}

float DocOrra::RunDocument()
{
    if (IsRunning()) {
        // A second run inside the first is refused unless it comes from one of the run's own
        // events, where it carries the same run on; a run that is stopping is not carried on.
        if (m_hostTurn != HostTurn::Event)
            return trapped(
                QStringLiteral("DocOrra::RunDocument"), vbOKOnly, QString(),
                [&]() -> float {
                    throw Error(kSystemError, QString(),
                        QStringLiteral("The document is already running: RunDocument can be called again "
                                       "only from inside one of the run's events"));
                },
                RunResult::Stopped);
        if (m_stopRequested) return RunResult::Stopped;
    }
    RunScope scope(*this);
    ++m_generation;
    ++m_runCount;
    float r = RunResult::Stopped;
    try {
        r = trapped(
            QStringLiteral("DocOrra::RunDocument"), vbOKOnly, QString(),
            [&]() -> float {
                try {
                    if (!HasDocPermission(m_docCon.get(), OrraID, 0, rightExecute, &m_host.userInterface()))
                        throw Error(
                            kSystemError, QString(), QStringLiteral("User does not have permission to run document"));
                    xml::Node root = m_document ? m_document->documentElement() : xml::Node();
                    if (!root)
                        throw Error(
                            kObjectNotSet, QString(), QStringLiteral("Object variable or With block variable not set"));
                    QString target = GoToID;
                    // Resuming at the root itself: it goes on after the event it paused at.
                    if (target == idOf(root)) target.clear();
                    const float result = RunBlock(root, target);
                    if (result < RunResult::Paused && result != RunResult::Stopped) {
                        auto end = std::make_shared<xml::Document>();
                        xml::Node station = xml::appendElement(end->node(), QStringLiteral("Station"));
                        xml::setAttribute(station, kID, QStringLiteral("DocEnd"));
                        xml::setAttribute(station, kName, QStringLiteral("Document End"));
                        ArriveToStation(station, end);
                        db::RecordsetPtr rs;
                        if (flagReturnRecordSet) {
                            db::Connection& connection = runConnection();
                            // A document that made no "#Report" simply has no result to hand over.
                            try {
                                rs = connection.execute(QStringLiteral("select * from #Report"));
                            } catch (const Error& e) {
                                // Memory running out is the run's error, not a missing result.
                                if (e.number() == kOutOfMemory) throw;
                                rs.reset();
                            }
                        }
                        TurnScope turn(*this, HostTurn::Event);
                        emit DocumentEnd(rs);
                    }
                    return result;
                } catch (const std::exception&) {
                    unwindIfStopped();
                    throw;
                }
            },
            RunResult::Stopped);
    } catch (RunUnwound& u) {
        if (u.why == RunUnwound::NestedRun) {
            // A handler ran the document on from inside an event: that nested run is the run.
            return m_lastRunResult;
        }
        if (u.why == RunUnwound::Stopped) {
            // The host asked for it: nothing to report.
            m_lastRunResult = RunResult::Stopped;
            return RunResult::Stopped;
        }
        Error e(kSystemError, QString(),
            QStringLiteral("The run was stopped: its document or parameter chain was replaced during an event"));
        r = trapped(
            QStringLiteral("DocOrra::RunDocument"), vbOKOnly, QString(), [&]() -> float { throw e; },
            RunResult::Stopped);
    }
    m_lastRunResult = r;
    return r;
}

void DocOrra::RequestStop()
{
    if (!IsRunning()) return;
    m_stopRequested = true;
    std::lock_guard<std::mutex> lock(m_scriptEngineMutex);
    if (DocOrraScriptHost* host = m_scriptEngine.get()) host->RequestCancel();
}

void DocOrra::replaceScriptEngine(std::unique_ptr<DocOrraScriptHost> engine)
{
    // A stop request from another thread may be reaching the old engine right now.
    {
        std::lock_guard<std::mutex> lock(m_scriptEngineMutex);
        m_scriptEngine.swap(engine);
    }
    engine.reset();
}

void DocOrra::unwindIfStopped()
{
    if (stopRequested()) throw RunUnwound{RunUnwound::Stopped};
}

db::Connection& DocOrra::runConnection()
{
    if (!m_orraCon) throw Error(kSystemError, QString(), kRunConnectionGone);
    return *m_orraCon;
}

// ---------------------------------------------------------------- stations

void DocOrra::ArriveToStation(xml::Node station, std::shared_ptr<xml::Document> owner)
{
    auto snapshot = std::make_shared<clsStation>();
    // The snapshot keeps its own copy of the station, so that leaving it later does not depend
    // on the document still holding that element (the host may load another one meanwhile).
    if (!owner) {
        owner = std::make_shared<xml::Document>();
        station = xml::appendCopy(owner->node(), station);
    }
    snapshot->Element = station;
    snapshot->ownedElement = std::move(owner);
    snapshot->setChParam(*m_chain);
    snapshot->scopeID = m_currentEntry ? idOf(m_currentEntry) : QString();
    QString id = idOf(station);
    QString name = xml::attribute(station, kName);
    // A station reached again before it was left replaces its older snapshot.
    for (qsizetype i = 0; i < m_stations.size(); ++i) {
        if (idOf(m_stations.at(i)->Element) == id) {
            m_stations.removeAt(i);
            break;
        }
    }
    m_stations.prepend(snapshot);
    // A handler may run the document on from here (the run then reports the station), but a
    // stop it asked for ends the run.
    hostTurn(
        HostTurn::Event, [&] { emit ArrivetoStation(id, name); }, false);
}

bool DocOrra::RunStation()
{
    return trapped(
        QStringLiteral("DocOrra::RunStation"), vbCritical, QStringLiteral("DocOrra::RunStation"),
        [&]() -> bool {
            // Nothing to leave: say so plainly instead of the collection's index error.
            if (m_stations.isEmpty())
                throw Error(kSystemError, QString(), QStringLiteral("There is no station to leave"));
            std::shared_ptr<clsStation> top = m_stations.first();
            QString oldID = idOf(top->Element);
            {
                QString id = oldID;
                emit BeforeExecutionStation(id);
            }
            if (oldID != QLatin1String("DocEnd")) {
                bool isError = false;
                QString sql = GetRunableSQL(xml::nodeText(top->Element.first_child()), isError);
                if (isError)
                    throw Error(kSystemError, QString(),
                        QStringLiteral("Could not parse sql") + kCrLf + QStringLiteral("ID:") + oldID + kCrLf
                            + QStringLiteral("Name:") + xml::attribute(top->Element, kName));
                if (flagReturnModifiedClause) {
                    QString id = oldID;
                    emit AfterModifyClause(id, sql);
                }
                if (!sql.isEmpty()) ExecuteSQL(sql);
            }
            m_stations.removeFirst();
            QString newID;
            ++m_generation;
            // The restored chain is the one the run had at the station now on top, so the scope
            // becomes that station's own entry in it: placeholders (and the next RunStation's SQL)
            // resolve as they did when the run stood there.
            QString scopeID;
            if (m_stations.isEmpty()) {
                m_chain = std::make_unique<xml::Document>();
                xml::appendElement(m_chain->node(), QStringLiteral("Document"));
            } else {
                newID = idOf(m_stations.first()->Element);
                m_chain = m_stations.first()->chParam();
                scopeID = m_stations.first()->scopeID;
            }
            m_currentEntry = scopeID.isEmpty() ? xml::Node() : ChainEntryFor(scopeID);
            if (!m_currentEntry) m_currentEntry = m_chain->documentElement();
            emit AfterExecutionStation(oldID, newID);
            return true;
        },
        false);
}

// ---------------------------------------------------------------- SQL

void DocOrra::ExecuteSQL(const QString& sql)
{
    if (!m_orraCon && IsRunning()) throw Error(kSystemError, QString(), kRunConnectionGone);
    if (!m_orraCon)
        throw Error(kObjectNotSet, QString(), QStringLiteral("Object variable or With block variable not set"));
    const db::ConnectionPtr connection = m_orraCon;
    auto stateLines = [](const QList<db::ProviderError>& errors) {
        QString message;
        for (const db::ProviderError& pe : errors)
            if (pe.number < 0) message += QStringLiteral("State:") + pe.sqlState + kCrLf + pe.description + kCrLf;
        return message;
    };
    db::RecordsetPtr rs;
    try {
        rs = connection->execute(sql);
    } catch (const Error& e) {
        const QString message = stateLines(connection->errors());
        throw Error(kSystemError, QString(), message.isEmpty() ? e.description() : message);
    }
    // A statement that failed after result sets came back fails the block as well.
    for (bool more = rs != nullptr; more;) {
        try {
            more = rs->NextRecordset();
        } catch (const Error& e) {
            const db::ResultSet* failed = rs->current();
            const QString message = failed ? stateLines(failed->errors) : QString();
            throw Error(kSystemError, QString(), message.isEmpty() ? e.description() : message);
        }
    }
}

double DocOrra::ReadIntFlag()
{
    db::RecordsetPtr rs = runConnection().execute(QStringLiteral("select Err from #Int"));
    if (!rs || !rs->isOpen())
        throw Error(
            db::kObjectClosed, QString(), QStringLiteral("Operation is not allowed when the object is closed."));
    const QVariant& v = rs->value(QStringLiteral("Err"));
    if (!v.isValid() || v.isNull()) throw Error(kInvalidUseOfNull, QString(), QStringLiteral("Invalid use of Null"));
    return v.toDouble();
}

QString DocOrra::GetRunableSQL(const QString& SQLTxt, bool& IsError)
{
    try {
        QString result = SQLTxt;
        for (const QString& match : FindPlaceholders(SQLTxt)) {
            if (match.isEmpty()) continue;
            const QString name = match.mid(2, match.size() - 4);
            xml::Node p = FindParameter(m_currentEntry, name);
            if (p) result.replace(match, xml::attribute(p, QStringLiteral("Value")), Qt::CaseSensitive);
        }
        IsError = false;
        return result;
    } catch (...) {
        IsError = true;
        return QString();
    }
}

// ---------------------------------------------------------------- parameter chain

xml::Node DocOrra::ChainRoot(bool create)
{
    xml::Node root = m_chain->documentElement();
    if (!root && create) root = xml::appendElement(m_chain->node(), QStringLiteral("Document"));
    return root;
}

xml::Node DocOrra::ChainEntryFor(const QString& ID) const { return FindElementByAttribute(m_chain->node(), kID, ID); }

xml::Node DocOrra::NearestAncestorEntry(xml::Node element)
{
    for (xml::Node a = element.parent(); a && xml::isElement(a); a = a.parent()) {
        xml::Node e = ChainEntryFor(idOf(a));
        if (e) return e;
        if (xml::hasTag(a, tags::Document)) return ChainRoot(true);
    }
    return ChainRoot(true);
}

xml::Node DocOrra::EnsureChainEntry(xml::Node element)
{
    const QString id = idOf(element);
    if (id == QLatin1String("B0")) {
        xml::Node root = ChainRoot(true);
        xml::setAttribute(root, kID, id);
        return root;
    }
    xml::Node parentEntry = NearestAncestorEntry(element);
    xml::Node entry = xml::appendElement(parentEntry, QStringLiteral("CHElement"));
    xml::setAttribute(entry, kID, id);
    return entry;
}

void DocOrra::RemoveChainEntry(xml::Node entry)
{
    if (!entry) return;
    // The current scope must never point into a removed subtree.
    for (xml::Node n = m_currentEntry; n; n = n.parent()) {
        if (n == entry) {
            m_currentEntry = xml::isElement(entry.parent()) ? entry.parent() : xml::Node();
            break;
        }
    }
    entry.parent().remove_child(entry);
}

xml::Node DocOrra::FindParameter(xml::Node entry, const QString& name) const
{
    const QByteArray wanted = name.toUtf8();
    for (xml::Node e = entry; e && xml::isElement(e); e = e.parent()) {
        for (xml::Node c = e.first_child(); c; c = c.next_sibling()) {
            if (xml::hasTag(c, tags::Parameter) && wanted == c.attribute("Name").value()) return c;
        }
        if (e == m_chain->documentElement()) break;
    }
    return xml::Node();
}

void DocOrra::RemoveFromChain(const QString& ID)
{
    xml::Node root = m_chain->documentElement();
    if (root && idOf(root) == ID) {
        RemoveChainEntry(root);
        return;
    }
    RemoveChainEntry(FindElementByAttribute(m_chain->node(), kID, ID));
}

xml::Node DocOrra::GetChainParameter(const QString& ID)
{
    xml::Node n = FindElementByAttribute(m_chain->node(), kID, ID);
    return xml::hasTag(n, tags::Parameter) ? n : xml::Node();
}

// ---------------------------------------------------------------- events

template <typename F> void DocOrra::hostTurn(HostTurn kind, F turn, bool checkReplaced)
{
    const int generation = m_generation;
    const int runs = m_runCount;
    {
        TurnScope scope(*this, kind);
        try {
            turn();
        } catch (const std::exception&) {
            // Failing because the host stopped the run or changed it under the walk: unwind.
            if (!stopRequested() && !(checkReplaced && generation != m_generation)) throw;
        }
    }
    if (checkReplaced && generation != m_generation)
        throw RunUnwound{runs != m_runCount ? RunUnwound::NestedRun : RunUnwound::Replaced};
    unwindIfStopped();
}

// Raises one of the run's events; when the handler changed the run under the walk (ran the
// document on, replaced the document or the chain) or stopped it, the walk unwinds.
template <typename Emit> void DocOrra::raise(Emit emitter) { hostTurn(HostTurn::Event, emitter); }

// Lets the host's event loop run (repaint, its stop button, commands).
void DocOrra::yieldToHost()
{
    hostTurn(HostTurn::Yield, [this] { m_host.userInterface().processEvents(); });
}

// ---------------------------------------------------------------- the walk

float DocOrra::RunBlock(xml::Node element, QString& target)
{
    const int entryPause = PauseAtEvent;
    const QString id = idOf(element);
    const QString trapName = QStringLiteral("DocOrra::RunBlock;") + id;
    return trappedRun(trapName, [&]() -> float { return RunBlockBody(element, target, entryPause); });
}

float DocOrra::RunBlockBody(xml::Node element, QString& target, int entryPause)
{
    const QString id = idOf(element);
    const bool isRoot = id == QLatin1String("B0");
    const bool seeking = !target.isEmpty();
    const bool isBlock = xml::hasTag(element, tags::Block);
    bool ownEntry = false;
    double skip = 0;

    if (seeking) {
        xml::Node entry = isRoot ? ChainRoot(true) : ChainEntryFor(id);
        const bool answered = entry && !entry.child("Parameter").empty();
        if (!answered && !element.child("Parameter").empty() && FindElementByAttribute(element, kID, target)) {
            // The run resumes below a block whose answers are not in the chain (it has ended,
            // never ran here, or paused before its prompt): they are bound now, without events,
            // so that the elements below see their enclosing values.
            if (!entry || isRoot) entry = EnsureChainEntry(element);
            m_currentEntry = entry;
            ParameterPromptFor(element, element, entry);
            entry = isRoot ? ChainRoot(true) : ChainEntryFor(id);
        }
        ownEntry = bool(entry);
        m_currentEntry = entry ? entry : NearestAncestorEntry(element);
    } else {
        PauseAtEvent = enPauseAtEvent_Nothing;
        // The block already ran to its end before the pause: there is nothing left to do.
        if (entryPause == enPauseAtEvent_AfterExecutionBlock) return 0;
        xml::Node entry = isRoot ? ChainRoot(false) : ChainEntryFor(id);
        if (isRoot && entry && idOf(entry) != id) entry = xml::Node();
        if (entry && entryPause == enPauseAtEvent_Nothing) {
            RemoveChainEntry(entry);
            entry = xml::Node();
        }
        if (!entry) entry = EnsureChainEntry(element);
        ownEntry = true;
        m_currentEntry = entry;

        if (entryPause == enPauseAtEvent_Nothing) {
            QString arg = id;
            raise([&] { emit BeforeExecutionBlock(arg); });
            if (paused()) {
                PauseAtEvent = enPauseAtEvent_BeforeExecutionBlock;
                return 1;
            }
        }
        if (entryPause == enPauseAtEvent_Nothing || entryPause == enPauseAtEvent_BeforeExecutionBlock)
            ParameterPromptFor(element, element, entry);
        yieldToHost();

        if (isBlock
            && (entryPause == enPauseAtEvent_Nothing || entryPause == enPauseAtEvent_BeforeExecutionBlock
                || entryPause == enPauseAtEvent_BeforeExecutionBlockSQL)) {
            if (entryPause != enPauseAtEvent_BeforeExecutionBlockSQL) {
                QString arg = id;
                raise([&] { emit BeforeExecutionBlockSQL(arg); });
                if (paused()) {
                    PauseAtEvent = enPauseAtEvent_BeforeExecutionBlockSQL;
                    return 1;
                }
            }
            bool isError = false;
            QString sql = GetRunableSQL(xml::nodeText(xml::firstCDataChild(element)), isError);
            if (isError)
                throw Error(kSystemError, QString(),
                    QStringLiteral("Could not parse SQL") + kCrLf + QStringLiteral("Block ID:") + id + kCrLf
                        + QStringLiteral("Name:") + xml::attribute(element, kName));
            if (flagReturnModifiedClause) {
                QString arg = id;
                raise([&] { emit AfterModifyClause(arg, sql); });
            }
            ExecuteSQL(QStringLiteral("update #Int set Err=0"));
            if (!sql.isEmpty()) {
                ExecuteSQL(QStringLiteral("/*set nocount on*/ ") + sql);
                skip = ReadIntFlag();
            }
        }
    }

    // Finds this element's chain entry again (a script may have taken the chain apart).
    auto restoreScope = [&]() {
        xml::Node entry = isRoot ? ChainRoot(false) : ChainEntryFor(id);
        if (isRoot && entry && idOf(entry) != id && !seeking) entry = xml::Node();
        m_currentEntry = entry ? entry : NearestAncestorEntry(element);
    };

    if (skip == 0) {
        if (target.isEmpty()
            && (entryPause == enPauseAtEvent_Nothing || entryPause == enPauseAtEvent_BeforeExecutionBlock
                || entryPause == enPauseAtEvent_BeforeExecutionBlockSQL)) {
            QString arg = id;
            raise([&] { emit BeforeExecutionChildBlocks(arg); });
            if (paused()) {
                PauseAtEvent = enPauseAtEvent_BeforeExecutionChildBlocks;
                return 1;
            }
        }
        const float r = RunChildren(element, target, restoreScope);
        if (r != 0) return r;
    }

    // End step. Elements entered while seeking end normally once the target was found below them.
    if (target.isEmpty() && (seeking || entryPause != enPauseAtEvent_AfterExecutionBlock)) {
        if (ownEntry || !seeking) {
            xml::Node entry = isRoot ? ChainRoot(false) : ChainEntryFor(id);
            if (entry && (!isRoot || idOf(entry) == id || seeking)) RemoveChainEntry(entry);
        }
        QString arg = id;
        raise([&] { emit AfterExecutionBlock(arg); });
        if (paused()) {
            PauseAtEvent = enPauseAtEvent_AfterExecutionBlock;
            return 1;
        }
    }
    return 0;
}

template <typename Restore> float DocOrra::RunChildren(xml::Node parent, QString& target, Restore restoreScope)
{
    for (xml::Node child = parent.first_child(); child; child = child.next_sibling()) {
        if (!xml::isElement(child)) continue;
        float r = 0;
        bool ran = true;
        if (xml::hasTag(child, tags::Block)) {
            if (idOf(child) == target) target.clear();
            r = RunBlock(child, target);
        } else if (xml::hasTag(child, tags::Include)) {
            if (idOf(child) == target) target.clear();
            r = RunInclude(child, target);
        } else if (xml::hasTag(child, tags::Script)) {
            if (idOf(child) == target) target.clear();
            r = RunScript(child, target);
        } else if (xml::hasTag(child, tags::Station)) {
            ran = false;
            if (target.isEmpty()) {
                ArriveToStation(child, nullptr);
                return 1;
            }
            if (idOf(child) == target) target.clear();
        } else {
            ran = false;
        }
        if (ran) {
            if (r != 0) return r;
            restoreScope();
        }
    }
    return 0;
}

// ---------------------------------------------------------------- parameter prompt

void DocOrra::ParameterPromptFor(xml::Node element, xml::Node parameterParent, xml::Node entry)
{
    const bool forInclude = xml::hasTag(element, tags::Include);
    PromptRequest request;
    request.element = element;
    request.parameterParent = parameterParent;
    request.title = xml::attribute(element, kName);
    request.connection = m_orraCon;
    request.userInterface = &m_host.userInterface();

    for (xml::Node p = parameterParent.first_child(); p; p = p.next_sibling()) {
        if (!xml::hasTag(p, tags::Parameter)) continue;
        PromptCriterion c;
        c.ID = idOf(p);
        c.Name = xml::attribute(p, kName);
        c.captionIsNull = !xml::hasAttribute(p, QStringLiteral("Caption"));
        c.Aciklama = xml::attribute(p, QStringLiteral("Caption"));
        // One type everywhere: blanks and capitals do not make another type.
        c.Tip = xml::attribute(p, QStringLiteral("Type")).trimmed().toLower();

        bool isError = false;
        c.InitialDeger = GetRunableSQL(xml::attribute(p, QStringLiteral("DefaultValue")), isError);
        if (isError)
            throw Error(kSystemError, QString(),
                QStringLiteral("Could not parse parameter default value") + kCrLf + QStringLiteral("ID:") + c.ID + kCrLf
                    + QStringLiteral("Name:") + c.Name);
        if (forInclude) {
            // An input binding fixes the value: the parameter becomes a fact and is not asked.
            xml::Node binding = FindElementByAttribute(element, QStringLiteral("PID"), c.ID);
            if (binding && xml::attribute(binding, QStringLiteral("Type")).toLower() != QLatin1String("output")) {
                c.Tip = QStringLiteral("fact");
                const QString rid = xml::attribute(binding, QStringLiteral("RID"));
                if (rid.startsWith(QLatin1Char('$'))) {
                    c.InitialDeger = rid.mid(1);
                } else {
                    xml::Node related = FindElementByAttribute(m_document->documentElement(), kID, rid);
                    const QString relatedName = xml::attribute(related, kName);
                    QString value;
                    if (related)
                        value = GetRunableSQL(QStringLiteral("<$") + relatedName + QStringLiteral("%>"), isError);
                    if (!related || isError)
                        throw Error(kSystemError, QString(),
                            QStringLiteral("Could not parse parameter related parameter name") + kCrLf
                                + QStringLiteral("ID:") + rid + kCrLf + QStringLiteral("Name:") + relatedName);
                    // A related parameter without an answer in the including block's scope would
                    // hand its own placeholder text on as the value, and the included document's
                    // SQL would run with a literal "<$Name%>" in it: refuse it by name instead.
                    if (!FindParameter(m_currentEntry, relatedName))
                        throw Error(kSystemError, QString(),
                            QStringLiteral("Related parameter has no value in the including block") + kCrLf
                                + QStringLiteral("ID:") + rid + kCrLf + QStringLiteral("Name:") + relatedName + kCrLf
                                + QStringLiteral("Included parameter ID:") + c.ID);
                    c.InitialDeger = value;
                }
            }
            if (flagReturnModifiedClause) {
                QString arg = c.ID;
                raise([&] { emit AfterModifyClause(arg, c.InitialDeger); });
            }
        }
        if (c.Tip == QLatin1String("combo") || c.Tip == QLatin1String("button")) {
            QString source = GetRunableSQL(xml::attribute(p, QStringLiteral("Source")), isError);
            if (isError)
                throw Error(kSystemError, QString(),
                    QStringLiteral("Could not parse parameter source") + kCrLf + QStringLiteral("ID:") + c.ID + kCrLf
                        + QStringLiteral("Name:") + c.Name);
            if (flagReturnModifiedClause) {
                QString arg = c.ID;
                raise([&] { emit AfterModifyClause(arg, source); });
            }
            if (c.Tip == QLatin1String("combo"))
                c.OptionalParam = source;
            else
                c.OptionalParam = source + QLatin1Char(';') + xml::attribute(p, QStringLiteral("ReturnCol"))
                    + QLatin1Char(';') + xml::attribute(p, QStringLiteral("Prompt")) + QLatin1Char(';')
                    + xml::attribute(p, QStringLiteral("SelectionType"));
        }
        if (!forInclude && flagReturnModifiedClause) {
            QString arg = c.ID;
            raise([&] { emit AfterModifyClause(arg, c.InitialDeger); });
        }
        // A block asks for everything but facts and headings; an include shows its headings too.
        c.needsAnswer = c.Tip != QLatin1String("fact") && (forInclude || c.Tip != QLatin1String("htext"));
        request.mustShow = request.mustShow || c.needsAnswer;
        request.criteria.append(c);
    }
    if (request.criteria.isEmpty()) return;

    // Lists, pickers and "select" values of the prompt read through the run connection.
    runConnection();
    QList<PromptAnswer> answers;
    bool confirmed = false;
    hostTurn(HostTurn::Yield, [&] { confirmed = m_host.parameterPrompt().ask(request, answers); });
    if (!confirmed) throw Error(kSystemError, QString(), QStringLiteral("Document Canceled"));
    for (const PromptAnswer& a : answers) {
        xml::Node declared = FindElementByAttribute(parameterParent, kID, a.ID);
        xml::Node chainParameter = xml::appendElement(entry, QStringLiteral("Parameter"));
        xml::setAttribute(chainParameter, kID, a.ID);
        xml::setAttribute(chainParameter, kName, xml::attribute(declared, kName));
        xml::setAttribute(chainParameter, QStringLiteral("Value"), a.Value);
    }
}

// ---------------------------------------------------------------- scripts and includes

float DocOrra::RunScript(xml::Node element, QString& target)
{
    const int entryPause = PauseAtEvent;
    const QString id = idOf(element);
    const QString trapName = QStringLiteral("DocOrra::RunScript;") + id;
    return trappedRun(trapName, [&]() -> float {
        if (!target.isEmpty()) return 0;
        PauseAtEvent = enPauseAtEvent_Nothing;
        float result = 0;
        if (entryPause == enPauseAtEvent_Nothing) {
            QString arg = id;
            raise([&] { emit BeforeExecutionScript(arg); });
            if (paused()) {
                PauseAtEvent = enPauseAtEvent_BeforeExecutionScript;
                return 1;
            }
        }
        if (entryPause == enPauseAtEvent_Nothing || entryPause == enPauseAtEvent_BeforeExecutionScript) {
            bool isError = false;
            QString code = GetRunableSQL(xml::nodeText(xml::lastCDataChild(element)), isError);
            if (isError)
                throw Error(kSystemError, QString(),
                    QStringLiteral("Could not parse script") + kCrLf + QStringLiteral("Script ID:") + id + kCrLf
                        + QStringLiteral("Name:") + xml::attribute(element, kName));
            if (flagReturnModifiedClause) {
                QString arg = id;
                raise([&] { emit AfterModifyClause(arg, code); });
            }
            if (!code.isEmpty()) {
                if (!m_scriptEngine)
                    throw Error(kSystemError, QString(),
                        QStringLiteral("Could not run script ") + id
                            + QStringLiteral(": no script engine is available to this run"));
                ExecuteSQL(QStringLiteral("update #Int set Err=0"));
                // The script's boxes and its yields let the host's event loop run.
                bool ended = false;
                hostTurn(HostTurn::Yield, [&] {
                    try {
                        m_scriptEngine->ExecuteStatement(code);
                    } catch (const DocOrraScriptHost::Ended&) {
                        ended = true;
                    }
                });
                if (ended) return -1.0f;   // already reported
                result = float(ReadIntFlag());
            }
        }
        if (target.isEmpty() && entryPause != enPauseAtEvent_AfterExecutionScript) {
            QString arg = id;
            raise([&] { emit AfterExecutionScript(arg); });
            if (paused()) {
                PauseAtEvent = enPauseAtEvent_AfterExecutionScript;
                result = 1;
            }
        }
        return result;
    });
}

float DocOrra::RunInclude(xml::Node element, QString& target)
{
    const int entryPause = PauseAtEvent;
    const QString id = idOf(element);
    const QString trapName = QStringLiteral("DocOrra::RunInclude;") + id;
    return trappedRun(trapName, [&]() -> float {
        xml::Node embedded;
        for (xml::Node c = element.first_child(); c; c = c.next_sibling()) {
            if (xml::hasTag(c, tags::Document)) {
                embedded = c;
                break;
            }
        }
        if (!embedded)
            throw Error(kSystemError, QString(),
                QStringLiteral("Could not run include ") + id
                    + QStringLiteral(": the included document was not expanded"));
        const QString rootID = idOf(embedded);
        const bool seeking = !target.isEmpty();

        if (seeking) {
            xml::Node entry = ChainEntryFor(rootID);
            const bool answered = entry && !entry.child("Parameter").empty();
            if (!answered && FindElementByAttribute(embedded, kID, target)) {
                // The run resumes inside an include whose parameters were never bound here (it
                // has ended, never started, or paused before its prompt): they are bound now,
                // without events, so that the included elements and the output bindings find
                // their values.
                if (!entry) {
                    entry = xml::appendElement(ChainRoot(true), QStringLiteral("CHElement"));
                    xml::setAttribute(entry, kID, rootID);
                }
                ParameterPromptFor(element, embedded, entry);
                entry = ChainEntryFor(rootID);
            }
            m_currentEntry = entry ? entry : ChainRoot(true);
        } else {
            PauseAtEvent = enPauseAtEvent_Nothing;
            // The include already ran to its end before the pause: there is nothing left to do.
            if (entryPause == enPauseAtEvent_AfterExecutionInclude) return 0;
            xml::Node entry = ChainEntryFor(rootID);
            if (entry && entryPause == enPauseAtEvent_Nothing) {
                RemoveChainEntry(entry);
                entry = xml::Node();
            }
            if (!entry) {
                entry = xml::appendElement(ChainRoot(true), QStringLiteral("CHElement"));
                xml::setAttribute(entry, kID, rootID);
            }
            if (entryPause == enPauseAtEvent_Nothing) {
                QString arg = id;
                raise([&] { emit BeforeExecutionInclude(arg); });
                if (paused()) {
                    PauseAtEvent = enPauseAtEvent_BeforeExecutionInclude;
                    return 1;
                }
            }
            // The prompt resolves its values in the including block's scope.
            if (entryPause == enPauseAtEvent_Nothing || entryPause == enPauseAtEvent_BeforeExecutionInclude)
                ParameterPromptFor(element, embedded, entry);
            m_currentEntry = ChainEntryFor(rootID);
            yieldToHost();
        }

        auto restoreScope = [&]() {
            xml::Node entry = ChainEntryFor(rootID);
            m_currentEntry = entry ? entry : ChainRoot(true);
        };
        const float r = RunChildren(embedded, target, restoreScope);
        if (r != 0) return r;
        if (!target.isEmpty()) return 0;

        // Output bindings: the included parameter's final value goes to the including one.
        restoreScope();
        for (xml::Node b = element.first_child(); b; b = b.next_sibling()) {
            if (!xml::hasTag(b, tags::Inheritance)
                || xml::attribute(b, QStringLiteral("Type")).toLower() != QLatin1String("output"))
                continue;
            const QString pid = xml::attribute(b, QStringLiteral("PID"));
            const QString rid = xml::attribute(b, QStringLiteral("RID"));
            xml::Node source = FindElementByAttribute(m_currentEntry, kID, pid);
            xml::Node destination = FindElementByAttribute(ChainRoot(true), kID, rid);
            if (!source || !destination)
                throw Error(kSystemError, QString(),
                    QStringLiteral("Could not copy the output parameter ") + pid + QStringLiteral(" of include ") + id
                        + QStringLiteral(" to ") + rid + QStringLiteral(": ") + (source ? rid : pid)
                        + QStringLiteral(" is not in the parameter chain"));
            xml::setAttribute(destination, QStringLiteral("Value"), xml::attribute(source, QStringLiteral("Value")));
        }

        // End step. An include entered while seeking ends normally once the target was found in it.
        if (seeking || entryPause != enPauseAtEvent_AfterExecutionInclude) {
            RemoveChainEntry(ChainEntryFor(rootID));
            QString arg = id;
            raise([&] { emit AfterExecutionInclude(arg); });
            if (paused()) {
                PauseAtEvent = enPauseAtEvent_AfterExecutionInclude;
                return 1;
            }
        }
        return 0;
    });
}

}   // namespace orra
