#pragma once
// The script engine: a VBScript interpreter offering what a host needs of a script control.
//
//   ScriptEngine e;
//   e.addObject("OrraCon", connectionObject, false);
//   e.addObject("ScriptShare", shareObject, true);   // members callable without the name
//   e.executeStatement("Dim n: n = 1");               // one global scope per instance
//   e.executeStatement("MsgBox n + 1");
//   Variant v = e.eval("n * 2");
//
// Errors: executeStatement and eval throw ScriptError (an orra::Error) carrying the report
// {number, source, description, line, column, text}; the same report stays in lastError()
// until the next call. A syntax error's source contains "compilation", a run-time error's
// "runtime". Errors raised inside host objects as orra::Error keep their number, source and
// description.
//
// Threads: the engine runs on the thread that calls it; only requestCancel() may be called
// from another thread. A cancelled or timed-out script ends with kErrorCancelled, which
// On Error Resume Next does not trap.

#include "platform/host/Error.h"
#include "platform/vbscript/Dispatch.h"
#include "platform/vbscript/Variant.h"

#include <QString>
#include <functional>
#include <memory>

namespace orra {
class UserInterface;
}

namespace orra::vbs {

struct ErrorReport {
    long number = 0;
    QString source;
    QString description;
    int line = 0;     // 1-based line within the code passed to executeStatement/eval; 0 unknown
    int column = 0;   // 1-based column (compilation errors); 0 unknown
    QString text;     // the offending source line (compilation errors)
    // What Err.Description reads when the description above names the offending identifier
    // ("Variable is undefined" against "Variable is undefined: 'b'"); empty: the same text.
    QString errDescription;
};

// Source texts of the two kinds of error.
inline const char* const kCompilationErrorSource = "Microsoft VBScript compilation error";
inline const char* const kRuntimeErrorSource = "Microsoft VBScript runtime error";
// Number of the error that ends a cancelled or timed-out script (E_ABORT).
constexpr long kErrorCancelled = long(int32_t(0x80004004));

class ScriptError : public orra::Error {
public:
    explicit ScriptError(ErrorReport report)
        : orra::Error(report.number, report.source, report.description), m_report(std::move(report))
    {
    }
    const ErrorReport& report() const noexcept { return m_report; }

private:
    ErrorReport m_report;
};

class Interpreter;

class ScriptEngine {
public:
    ScriptEngine();
    ~ScriptEngine();
    ScriptEngine(const ScriptEngine&) = delete;
    ScriptEngine& operator=(const ScriptEngine&) = delete;

    // Only "VBScript" (any case) is accepted; anything else throws orra::Error 5.
    void setLanguage(const QString& language);
    QString language() const;

    // Milliseconds a single executeStatement/eval may run; -1 (the default) for no limit.
    void setTimeout(long milliseconds);
    long timeout() const;

    // Whether MsgBox and InputBox may reach the user interface (userInterface() below).
    // Without UI a MsgBox raises 70 ("Permission denied").
    void setAllowUI(bool allow);
    bool allowUI() const;

    // The user interface of this engine's host (not owned): MsgBox and InputBox go there, and a
    // host's yield hook lets its event loop run through it. nullptr (the default): the
    // process's, orra::userInterface(), looked up at each use.
    void setUserInterface(orra::UserInterface* ui);
    orra::UserInterface& userInterface() const;

    // Thread-safe: asks the running script to stop; honoured within milliseconds (checked at
    // every loop turn and procedure call). A request made while nothing runs ends the next run.
    void requestCancel();

    // Called now and then (about every 50 ms) while a script runs, on the script's thread: a
    // host lets its event loop run there, so that a stop request (requestCancel) can arrive
    // while a long script keeps the thread busy. An empty function turns it off.
    void setYield(std::function<void()> hook);

    // Makes the classes that CreateObject offers beyond the engine's own (Scripting.Dictionary,
    // VBScript.RegExp): the factory gets the program identifier as the script wrote it and
    // returns nullptr for one it does not know. Without a factory, or when it returns nullptr,
    // CreateObject raises 429 ("ActiveX component can't create object").
    using ObjectFactory = std::function<DispatchPtr(const QString& progId)>;
    void setObjectFactory(ObjectFactory factory);

    // Makes an object known to scripts by name; with membersGlobal its members are callable
    // without the name. Names are case-insensitive; adding a name twice throws orra::Error 457.
    void addObject(const QString& name, DispatchPtr object, bool membersGlobal = false);

    // Runs statements in the global scope; globals, subs, functions and classes persist.
    void executeStatement(const QString& code);

    // Evaluates one expression in the global scope.
    Variant eval(const QString& expression);

    // Forgets all code, globals and added objects (the language and settings stay).
    void reset();

    // The report of the last failed call (number 0 after a successful one).
    const ErrorReport& lastError() const;

    // The interpreter (for the engine's own tools; hosts need not use it).
    Interpreter& interpreter();

private:
    std::unique_ptr<Interpreter> m_interp;
    ErrorReport m_lastError;
};

}   // namespace orra::vbs
