#pragma once
// What a host lends the engines it creates: its user interface (message boxes, input boxes and
// the yield to its event loop, also for the run's scripts), its parameter prompt and the maker
// of a run's script engine. Each DocOrra keeps its own RunHost, so two engines in one process
// (the designer debugging two documents) answer to different hosts.
//
// What a host leaves unset is the process's: orra::userInterface(), orra::parameterPrompt()
// and DocOrra's process-wide script-host factory (the real script engine unless a host or a
// test installed another), each looked up when it is used. A RunHost given nothing therefore
// behaves exactly as the process does.
//
// The user interface and the prompt are not owned: they must outlive the engines given them.

#include <QString>
#include <functional>
#include <memory>

namespace orra {

class DocOrra;
class DocOrraScriptHost;
class ParameterPrompt;
class UserInterface;

// Makes the script engine of one prepared run.
using DocOrraScriptHostFactory = std::function<std::unique_ptr<DocOrraScriptHost>(DocOrra&)>;

struct RunHost {
    UserInterface* ui = nullptr;                  // nullptr: the process's
    ParameterPrompt* prompt = nullptr;            // nullptr: the process's
    DocOrraScriptHostFactory scriptHostFactory;   // empty: the process's
    // Told the path of each workbook a script's ExportExcel has written (a headless host prints
    // it, since nothing shows the workbook); empty: nobody is told.
    std::function<void(const QString& path)> workbookWritten;

    // The user interface and the prompt in force now.
    UserInterface& userInterface() const;
    ParameterPrompt& parameterPrompt() const;
};

}   // namespace orra
