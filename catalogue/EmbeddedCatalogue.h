#pragma once
// The catalogue on the embedded server: its two stored procedures, the schemas of the
// catalogue database and of the registry database "mat", and the making of servers and
// catalogues with them.
//
// A program (and a test fixture) calls registerEmbeddedCatalogue() once before it connects to
// an embedded server or makes one:
//   orra::catalogue::registerEmbeddedCatalogue();
//   orra::catalogue::createEmbeddedServer("demo", "sa", "secret");        // master + mat
//   orra::catalogue::createEmbeddedCatalogue("demo", "catalogue");        // the catalogue tables
//
// Failures are orra::Error (source "Embedded SQL Server"), as those of the server's own
// administration (platform/db/embedded/Server.h).

#include <QString>

namespace orra::catalogue {

// The names under which the schemas are registered with the embedded server.
inline constexpr char16_t kCatalogueSchema[] = u"catalogue";
inline constexpr char16_t kRegistrySchema[] = u"registry";
// The registry database every server is made with (tbOrraConnections).
inline constexpr char16_t kRegistryDatabase[] = u"mat";

// Registers sp_Orra_GetDocumentsAndCategories, sp_UserLock, the two schemas and the guards on
// the catalogue's rows (CatalogueGuards.h) with the embedded server of this process. Calling it
// again changes nothing.
void registerEmbeddedCatalogue();

// Makes a new embedded server (see orra::embedded::createServer) with the registry database
// "mat" and, when catalogue is not empty, a catalogue database of that name.
void createEmbeddedServer(const QString& server, const QString& adminLogin = QString(),
    const QString& adminPassword = QString(), const QString& catalogue = QString());

// Makes the catalogue tables in `database` (creating the database first when it is missing).
void createEmbeddedCatalogue(const QString& server, const QString& database);

// The schemas as the embedded server creates them (SQLite text).
QString catalogueSchema();
QString registrySchema();

}   // namespace orra::catalogue
