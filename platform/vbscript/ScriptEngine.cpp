#include "platform/vbscript/ScriptEngine.h"

#include "platform/vbscript/Interpreter.h"
#include "platform/vbscript/Runtime.h"
#include "platform/host/MemoryReserve.h"

#include <new>

namespace orra::vbs {

ScriptEngine::ScriptEngine() : m_interp(std::make_unique<Interpreter>()) {}

ScriptEngine::~ScriptEngine() = default;

void ScriptEngine::setLanguage(const QString& language)
{
    if (!equalNoCase(language.trimmed(), QStringLiteral("VBScript")))
        throw orra::Error(kInvalidProcedureCall, QStringLiteral("ScriptEngine"),
            QStringLiteral("Unsupported scripting language: ") + language);
}

QString ScriptEngine::language() const { return QStringLiteral("VBScript"); }

void ScriptEngine::setTimeout(long milliseconds) { m_interp->timeoutMs = milliseconds < 0 ? -1 : milliseconds; }
long ScriptEngine::timeout() const { return m_interp->timeoutMs; }
void ScriptEngine::setAllowUI(bool allow) { m_interp->allowUI = allow; }
bool ScriptEngine::allowUI() const { return m_interp->allowUI; }
void ScriptEngine::setUserInterface(orra::UserInterface* ui) { m_interp->userInterface = ui; }
orra::UserInterface& ScriptEngine::userInterface() const { return m_interp->ui(); }
void ScriptEngine::requestCancel() { m_interp->cancelRequested.store(true); }
void ScriptEngine::setYield(std::function<void()> hook) { m_interp->yieldHook = std::move(hook); }

void ScriptEngine::setObjectFactory(ObjectFactory factory) { m_interp->setObjectFactory(std::move(factory)); }

void ScriptEngine::addObject(const QString& name, DispatchPtr object, bool membersGlobal)
{
    try {
        m_interp->addObject(name, std::move(object), membersGlobal);
    } catch (const ScriptError& e) {
        m_lastError = e.report();
        throw;
    }
}

namespace {

// Runs f, turning every failure into a ScriptError with the full report.
template <typename F> auto guarded(Interpreter& in, ErrorReport& last, F f) -> decltype(f())
{
    last = ErrorReport();
    restoreMemoryReserve();
    ErrorReport r;
    try {
        return f();
    } catch (const ScriptError& e) {
        r = e.report();
        if (r.line == 0) r.line = in.currentLine();
    } catch (const orra::Error& e) {
        r.number = e.number();
        r.source = e.source();
        r.description = e.description();
        r.line = in.currentLine();
    } catch (const std::bad_alloc&) {
        // What the script holds still fills memory: the reserve makes room for the report.
        releaseMemoryReserve();
        r.number = kOutOfMemory;
        r.source = QString::fromLatin1(kRuntimeErrorSource);
        r.description = errorMessage(kOutOfMemory);
        r.line = in.currentLine();
    }
    last = r;
    throw ScriptError(std::move(r));
}

}   // namespace

void ScriptEngine::executeStatement(const QString& code)
{
    guarded(*m_interp, m_lastError, [&] {
        m_interp->executeGlobal(code);
        return 0;
    });
}

Variant ScriptEngine::eval(const QString& expression)
{
    return guarded(*m_interp, m_lastError, [&] { return m_interp->evalGlobal(expression); });
}

void ScriptEngine::reset()
{
    m_interp->reset();
    m_lastError = ErrorReport();
}

const ErrorReport& ScriptEngine::lastError() const { return m_lastError; }

Interpreter& ScriptEngine::interpreter() { return *m_interp; }

}   // namespace orra::vbs
