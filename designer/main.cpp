// morvane: the designer. Start-up is morvane::Main (designer/shell/Startup.h); this file makes
// the application (the designer's error boundary), installs the desktop's user interface, registers the windows of the
// libraries above the shell, and runs the event loop while the main window lives.

#include "catalogue/EmbeddedCatalogue.h"
#include "designer/catalogue/frmpbOrra.h"
#include "designer/editor/ModHighlight.h"
#include "designer/editor/frmFindReplace.h"
#include "designer/editor/frmOrraDevelopment.h"
#include "designer/editor/frmtvDocument.h"
#include "designer/shell/DesignerApplication.h"
#include "designer/shell/DesignerFactories.h"
#include "designer/shell/Startup.h"
#include "designer/shell/ToolbarImages.h"
#include "designer/shell/frmOptions.h"
#include "platform/widgets/QtUserInterface.h"
#include "runtime/ParameterPrompt.h"
#include "runtime/RunHost.h"
#include "runtime/prompt/frmRunBlock.h"

int main(int argc, char* argv[])
{
    // Its event loop shows the errors that reach it and goes on.
    morvane::DesignerApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Orra"));
    QApplication::setApplicationName(QStringLiteral("Morvane"));
    // No display name: the desktop would add it to every caption, which are the program's own.
    QApplication::setWindowIcon(morvane::programIcon());

    orra::QtUserInterface ui;
    orra::setUserInterface(&ui);
    // Debug runs ask for parameter values with the criteria form.
    orra::RunBlockPrompt prompt;
    orra::setParameterPrompt(&prompt);

    // The catalogue's procedures and schemas on embedded servers.
    orra::catalogue::registerEmbeddedCatalogue();

    // Creators of the panes, document windows and dialogs of the catalogue and editor
    // libraries are registered here (morvane::setPaneCreator, setDocumentWindowCreator,
    // setDialogCreator) before the main window loads.
    morvane::RegisterCataloguePane();
    // Debug runs answer to the designer: its message boxes and its criteria form.
    morvane::frmOrraDevelopment::registerWindow(orra::RunHost{&ui, &prompt, {}});
    morvane::frmtvDocument::registerPane();
    morvane::frmFindReplace::registerDialog();
    morvane::frmOptions::setSampleColouring(morvane::HighlightOptionsSamples);

    const int status = morvane::Main(QApplication::arguments().mid(1));
    const int result = status == 0 ? app.exec() : status;
    orra::setParameterPrompt(nullptr);
    orra::setUserInterface(nullptr);
    return result;
}
