// The desktop side of dornel, loaded only when a display is present so that headless runs
// never load the widget libraries: the application object, message boxes through Qt, and the
// parameter prompt over the criteria control. They are the process's, and the host that start
// fills in lends them to the run's engine.

#include "platform/host/UserInterface.h"
#include "platform/widgets/QtUserInterface.h"
#include "runtime/ParameterPrompt.h"
#include "runtime/RunHost.h"
#include "runtime/prompt/frmRunBlock.h"

#include <QApplication>
#include <memory>

namespace {

struct Desktop {
    std::unique_ptr<QApplication> app;
    orra::QtUserInterface ui;
    orra::RunBlockPrompt prompt;
};

std::unique_ptr<Desktop> g_desktop;

}   // namespace

extern "C" Q_DECL_EXPORT QCoreApplication* orra_dornel_desktop_start(int* argc, char** argv, orra::RunHost* host)
{
    auto desktop = std::make_unique<Desktop>();
    desktop->app = std::make_unique<QApplication>(*argc, argv);
    orra::setUserInterface(&desktop->ui);
    orra::setParameterPrompt(&desktop->prompt);
    host->ui = &desktop->ui;
    host->prompt = &desktop->prompt;
    g_desktop = std::move(desktop);
    return g_desktop->app.get();
}

extern "C" Q_DECL_EXPORT void orra_dornel_desktop_stop()
{
    orra::setParameterPrompt(nullptr);
    orra::setUserInterface(nullptr);
    g_desktop.reset();
}
