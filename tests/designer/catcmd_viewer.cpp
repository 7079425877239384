// A developer's viewer for the Save As dialog: shows it on an embedded server's catalogue
// (logged on as the operating-system user) for the document DOCID, so that it can be looked at
// on a desktop and read through the accessibility tree.
//
//   catcmd_viewer SERVER DATABASE DOCID

#include "common/Connections.h"
#include "designer/catalogue/frmSaveAs.h"
#include "designer/shell/DesignerState.h"
#include "platform/db/embedded/Server.h"
#include "platform/widgets/QtUserInterface.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: catcmd_viewer SERVER DATABASE DOCID\n");
        return 2;
    }
    orra::QtUserInterface ui;
    orra::setUserInterface(&ui);
    auto con = std::make_shared<orra::db::Connection>();
    con->open(orra::embedded::connectionText(args[0], args[1]));
    orra::setMainConnection(con);
    morvane::setCatalogueServerName(args[0]);
    morvane::setCatalogueDatabaseName(args[1]);

    morvane::frmSaveAs dialog;
    dialog.ObjectID = args[2].toLong();
    const orra::db::RecordsetPtr rs =
        con->execute(QStringLiteral("select CategoryID from tbOrraSQL where ID=?"), {qlonglong(dialog.ObjectID)});
    dialog.CategoryID = rs && rs->isOpen() && !rs->isEOF() ? long(rs->value(0).toLongLong()) : 0;
    dialog.Form_Activate();
    dialog.show();
    return app.exec();
}
