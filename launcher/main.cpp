// dornel: runs one catalogue document from the command line and exports its result.
// With a display it is a desktop host (message boxes and the parameter prompt are shown): the
// desktop module is loaded then, and only then. Without one (none named, or none that can be
// opened) nothing ever waits for a person.

#include "catalogue/EmbeddedCatalogue.h"
#include "launcher/DisplayProbe.h"
#include "launcher/Dornel.h"

#include <QCoreApplication>
#include <QStringList>
#include <dlfcn.h>
#include <filesystem>
#include <memory>

namespace {

// Starts the desktop and fills in the host that its engine is lent.
using StartFn = QCoreApplication* (*)(int*, char**, orra::RunHost*);
using StopFn = void (*)();

// The desktop module beside the program (the build tree), else in the installation's library
// folder; null when it is not there (a build without widgets).
void* loadDesktopModule()
{
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return nullptr;
    for (const auto& folder : {self.parent_path(), self.parent_path() / ORRA_LIBS_FROM_PROGRAM}) {
        const auto module = folder / "libdornel_desktop.so";
        if (!std::filesystem::exists(module, ec)) continue;
        return dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    return nullptr;
}

}   // namespace

int main(int argc, char** argv)
{
    orra::RunHost host;   // headless: the process's user interface and prompt
    QCoreApplication* app = nullptr;
    std::unique_ptr<QCoreApplication> headless;
    StopFn stop = nullptr;
    if (orra::launcher::desktopPresent()) {
        if (void* module = loadDesktopModule()) {
            auto start = reinterpret_cast<StartFn>(dlsym(module, "orra_dornel_desktop_start"));
            stop = reinterpret_cast<StopFn>(dlsym(module, "orra_dornel_desktop_stop"));
            if (start && stop) app = start(&argc, argv, &host);
        }
    }
    if (!app) {
        headless = std::make_unique<QCoreApplication>(argc, argv);
        app = headless.get();
        stop = nullptr;
    }
    QCoreApplication::setApplicationName(QStringLiteral("Dornel"));
    orra::catalogue::registerEmbeddedCatalogue();
    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    const int status = orra::launcher::RunLauncher(QStringLiteral("dornel ") + args.join(QLatin1Char(' ')), host);
    if (stop) stop();
    return status;
}
