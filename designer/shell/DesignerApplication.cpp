#include "designer/shell/DesignerApplication.h"

#include "platform/host/UserInterface.h"

namespace morvane {

void ShowSystemError(const orra::Error& error)
{
    orra::userInterface().messageBox(error.description(), orra::vbOKOnly | orra::vbExclamation, error.source());
}

void ShowSystemError(const std::exception& error)
{
    ShowSystemError(orra::Error(orra::kSystemError, QStringLiteral("Morvane"), QString::fromLocal8Bit(error.what())));
}

DesignerApplication::DesignerApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool DesignerApplication::notify(QObject* receiver, QEvent* event)
{
    // The innermost delivery that failed catches: the event it delivered is lost, nothing else.
    bool handled = false;
    RunGuarded([&] { handled = QApplication::notify(receiver, event); });
    return handled;
}

}   // namespace morvane
