// A developer's viewer for the administration dialogs: shows one of them on an embedded server's
// catalogue (logged on as the operating-system user), so that it can be looked at on a desktop
// and read through the accessibility tree.
//
//   admin_dialog_viewer properties|permissions|users|schemas|dependencies|register SERVER DATABASE [ID] [category]

#include "common/Connections.h"
#include "designer/catalogue/frmCallSchema.h"
#include "designer/catalogue/frmDependencies.h"
#include "designer/catalogue/frmProperties.h"
#include "designer/catalogue/frmRegister.h"
#include "designer/catalogue/frmUsers.h"
#include "designer/shell/DesignerState.h"
#include "platform/db/embedded/Server.h"
#include "platform/widgets/QtUserInterface.h"

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: admin_dialog_viewer DIALOG SERVER DATABASE [ID] [category]\n");
        return 2;
    }
    orra::QtUserInterface ui;
    orra::setUserInterface(&ui);
    auto con = std::make_shared<orra::db::Connection>();
    con->open(orra::embedded::connectionText(args[1], args[2]));
    orra::setMainConnection(con);
    morvane::setCatalogueServerName(args[1]);
    morvane::setCatalogueDatabaseName(args[2]);
    const long id = args.size() > 3 ? args[3].toLong() : 0;
    const bool category = args.size() > 4 && args[4] == QLatin1String("category");

    QWidget* window = nullptr;
    const QString which = args[0];
    if (which == QLatin1String("properties") || which == QLatin1String("permissions")) {
        auto* d = new morvane::frmProperties;
        d->ObjectID = id;
        d->IsCategory = category;
        d->setWindowTitle(
            d->windowTitle() + QStringLiteral(" for ") + (args.size() > 5 ? args[5] : QString::number(id)));
        d->CTabMain()->setCurrentIndex(which == QLatin1String("permissions") ? 1 : 0);
        window = d;
    } else if (which == QLatin1String("users")) {
        window = new morvane::frmUsers;
    } else if (which == QLatin1String("schemas")) {
        auto* d = new morvane::frmCallSchema;
        d->DocID = id;
        d->txtPath()->setText(args.size() > 4 ? args[4] : QString());
        window = d;
    } else if (which == QLatin1String("dependencies")) {
        morvane::frmDependencies::instance(nullptr)->ShowFor(id, args.size() > 4 ? args[4] : QString::number(id));
        return app.exec();
    } else if (which == QLatin1String("register")) {
        window = new morvane::frmRegister;
    } else {
        std::fprintf(stderr, "unknown dialog\n");
        return 2;
    }
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
    return app.exec();
}
