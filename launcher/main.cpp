// dornel: runs one catalogue document from the command line and exports its result.
// With a display it is a desktop host: message boxes and the parameter prompt are shown.
// Without one nothing ever waits for a person.

#include "launcher/Dornel.h"

#include <QCoreApplication>
#include <QStringList>
#include <memory>

#ifdef ORRA_DORNEL_DESKTOP
#include "platform/text/UserInterface.h"
#include "platform/widgets/QtUserInterface.h"
#include "runtime/ParameterPrompt.h"
#include "runtime/prompt/frmRunBlock.h"

#include <QApplication>
#endif

namespace {

bool displayPresent() {
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("offscreen")) return false;
    return qEnvironmentVariableIsSet("DISPLAY") || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv) {
    std::unique_ptr<QCoreApplication> app;
#ifdef ORRA_DORNEL_DESKTOP
    std::unique_ptr<orra::QtUserInterface> ui;
    std::unique_ptr<orra::RunBlockPrompt> prompt;
    if (displayPresent()) {
        app = std::make_unique<QApplication>(argc, argv);
        ui = std::make_unique<orra::QtUserInterface>();
        prompt = std::make_unique<orra::RunBlockPrompt>();
        orra::setUserInterface(ui.get());
        orra::setParameterPrompt(prompt.get());
    }
#endif
    if (!app) app = std::make_unique<QCoreApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Dornel"));
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const int status = orra::launcher::RunLauncher(QStringLiteral("dornel ") + args.join(QLatin1Char(' ')));
#ifdef ORRA_DORNEL_DESKTOP
    orra::setParameterPrompt(nullptr);
    orra::setUserInterface(nullptr);
#endif
    return status;
}
