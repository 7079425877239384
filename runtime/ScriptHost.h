#pragma once
// The script engine of a run: one VBScript engine per prepared run, with the run connection as
// "OrraCon", the catalogue connection as "DocCon" and the script bridge as "ScriptShare" (its
// members callable without the name). Globals that scripts define live for the whole run,
// across scripts and pauses.
//
// Errors of a script are reported once: with the engine's flagShowErrorMessages, in a box
// titled "Error in Script Engine" (description, "At line n", and for a compile error
// ", col c: [text]"), after which the script's element ends the run with -1; without it, the
// error itself (number and description as the script engine gave them) goes to the host.
//
// The script's message and input boxes, its error box and its yields go to the user interface
// of the engine's host (DocOrra::host) as it was when the run was prepared; a host that gave
// none gets the process's.
//
// While a script runs, the host's event loop gets a turn about every 50 ms (through
// UserInterface::processEvents), so that a desktop host's stop button can call
// DocOrra::RequestStop or DocOrra::EndExecution: the script then ends at its next statement,
// and the run stops.
//
// InitScriptEngine is the engine's default script-host factory, so every host (desktop or
// headless) runs scripts unless it installs another.

#include "runtime/DocOrra.h"

#include <QString>
#include <atomic>
#include <memory>

namespace orra {

namespace vbs {
class ScriptEngine;
struct ErrorReport;
}   // namespace vbs
class clsScriptShare;

class ScriptHost : public DocOrraScriptHost {
public:
    explicit ScriptHost(DocOrra& engine);
    ~ScriptHost() override;

    void ExecuteStatement(const QString& code) override;
    void RequestCancel() override;

    vbs::ScriptEngine& engine() { return *m_engine; }
    clsScriptShare& share() { return *m_share; }

    // The text of the "Error in Script Engine" box for an error report.
    static QString ErrorMessage(const vbs::ErrorReport& report);

private:
    DocOrra& m_owner;
    std::unique_ptr<vbs::ScriptEngine> m_engine;
    std::shared_ptr<clsScriptShare> m_share;
    std::atomic<bool> m_running{false};
};

// Prepares the script engine of a run (the engine's factory): no time limit, message and input
// boxes allowed, VBScript, and the three objects above taken from the engine as they are now.
std::unique_ptr<DocOrraScriptHost> InitScriptEngine(DocOrra& engine);

// Title of the box that shows a script's error.
inline const QString kScriptErrorTitle = QStringLiteral("Error in Script Engine");

}   // namespace orra
