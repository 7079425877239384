#include "designer/shell/Startup.h"

#include "common/CommandLine.h"
#include "common/Connections.h"
#include "designer/shell/DesignerState.h"
#include "designer/shell/SettingsStore.h"
#include "designer/shell/frmMDIMain.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

namespace morvane {
namespace {

orra::Error parameterError(const char* which)
{
    return orra::Error(
        -1, QStringLiteral("Morvane"), QStringLiteral("Hatalı parametre girisi\r\nParametre:") + QLatin1String(which));
}

// The value of a "server:NAME" piece: the trimmed piece, split on ":", must give two parts.
QString optionValue(const QString& piece, const char* which)
{
    const QStringList parts = piece.trimmed().split(QLatin1Char(':'));
    if (parts.size() != 2) throw parameterError(which);
    return parts[1];
}

}   // namespace

CommandLineOptions ReadCommandLine(const QString& commandLine)
{
    CommandLineOptions options;
    const QStringList pieces = commandLine.split(QLatin1Char('/'));
    for (qsizetype i = 1; i < pieces.size(); ++i) {
        const QString lower = pieces[i].toLower();
        const QString trimmed = lower.trimmed();
        if (trimmed == QLatin1String("trustedconnection") || trimmed == QLatin1String("tc")) {
            options.trusted = true;
        } else if (trimmed == QLatin1String("skipcheckversion") || trimmed == QLatin1String("scv")) {
            // accepted; the version check is gone
        } else if (lower.startsWith(QLatin1String("server"))) {
            options.server = optionValue(pieces[i], "server");
        } else if (lower.startsWith(QLatin1String("database"))) {
            options.database = optionValue(pieces[i], "database");
        }
    }
    return options;
}

int Main(const QStringList& arguments)
{
    try {
        const CommandLineOptions options = ReadCommandLine(orra::CleanCommandLine(arguments.join(QLatin1Char(' '))));
        QString server = options.server;
        QString database = options.database;
        if (server.isEmpty()) server = GetSetting(QStringLiteral("Main Settings"), QStringLiteral("Server"));
        if (database.isEmpty()) database = GetSetting(QStringLiteral("Main Settings"), QStringLiteral("Database"));
        const bool prompt = !(options.trusted && !server.isEmpty() && !database.isEmpty());

        if (!orra::OpenMainConnection(prompt, server, database)) return 1;
        const orra::db::ConnectionPtr connection = orra::mainConnection();
        setCatalogueServerName(connection->property(QStringLiteral("Server Name")));
        setCatalogueDatabaseName(connection->property(QStringLiteral("Current Catalog")));

        orra::ResetConnectionCache();

        auto* main = new frmMDIMain;
        main->MDIForm_Load();
        main->UpdatePanelUser(*connection);
        main->setPanelText(QStringLiteral("Server"), catalogueServerName());
        main->show();
        return 0;
    } catch (const orra::Error& e) {
        orra::userInterface().messageBox(e.description(), orra::vbOKOnly);
    } catch (const std::exception& e) {
        orra::userInterface().messageBox(QString::fromLocal8Bit(e.what()), orra::vbOKOnly);
    }
    if (frmMDIMain* main = frmMDIMain::instance()) delete main;
    return 1;
}

}   // namespace morvane
