#include "runtime/ScriptHost.h"

#include "platform/host/UserInterface.h"
#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/ScriptEngine.h"
#include "platform/ado/AdoObjects.h"
#include "runtime/clsScriptShare.h"

namespace orra {

namespace {

vbs::DispatchPtr connectionObject(db::ConnectionPtr connection)
{
    // A connection the host has not lent yet reaches scripts as a closed one.
    return vbs::ado::wrapConnection(connection ? std::move(connection) : std::make_shared<db::Connection>());
}

}   // namespace

ScriptHost::ScriptHost(DocOrra& engine) : m_owner(engine), m_engine(std::make_unique<vbs::ScriptEngine>())
{
    m_engine->setTimeout(-1);
    m_engine->setAllowUI(true);
    m_engine->setLanguage(QStringLiteral("VBScript"));
    // The script's boxes and yields go to the user interface of the engine's host.
    m_engine->setUserInterface(engine.host().ui);
    m_engine->setObjectFactory(&vbs::ado::createObject);
    // A long script still lets the host's event loop run, so that its stop button works.
    vbs::ScriptEngine* script = m_engine.get();
    m_engine->setYield([script] { script->userInterface().processEvents(); });
    m_engine->addObject(QStringLiteral("OrraCon"), connectionObject(engine.Orra_Con()), false);
    m_engine->addObject(QStringLiteral("DocCon"), connectionObject(engine.Doc_Con()), false);
    m_share = std::make_shared<clsScriptShare>();
    m_share->SetParent(&engine);
    m_engine->addObject(QStringLiteral("ScriptShare"), m_share, true);
}

ScriptHost::~ScriptHost() = default;

QString ScriptHost::ErrorMessage(const vbs::ErrorReport& report)
{
    QString message = report.description + QStringLiteral("\r\rAt line ") + QString::number(report.line);
    if (report.source.contains(QLatin1String("compilation")))
        message += QStringLiteral(", col ") + QString::number(report.column) + QStringLiteral(": [") + report.text
            + QLatin1Char(']');
    return message;
}

void ScriptHost::ExecuteStatement(const QString& code)
{
    // A stop request that came while no script ran is not kept for this one.
    m_engine->interpreter().cancelRequested.store(false);
    m_running.store(true);
    try {
        m_engine->executeStatement(code);
    } catch (const Error& e) {
        m_running.store(false);
        // Cancelled, or failing because the host stopped the run (and perhaps closed the run
        // connection): the stop's, not the script's, and nothing to report.
        if (e.number() == vbs::kErrorCancelled || m_owner.stopRequested()) throw Ended{};
        if (m_owner.flagShowErrorMessages) {
            m_engine->userInterface().messageBox(ErrorMessage(m_engine->lastError()), vbCritical, kScriptErrorTitle);
            throw Ended{};
        }
        throw;
    }
    m_running.store(false);
}

void ScriptHost::RequestCancel()
{
    if (m_running.load()) m_engine->requestCancel();
}

std::unique_ptr<DocOrraScriptHost> InitScriptEngine(DocOrra& engine) { return std::make_unique<ScriptHost>(engine); }

}   // namespace orra
