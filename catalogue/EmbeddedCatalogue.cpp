#include "catalogue/EmbeddedCatalogue.h"

#include "catalogue/CatalogueGuards.h"
#include "catalogue/CatalogueProcedures.h"
#include "platform/db/embedded/Extensions.h"
#include "platform/db/embedded/Server.h"

#include "CatalogueSchemas.h"

namespace orra::catalogue {

void registerEmbeddedCatalogue()
{
    embedded::registerDatabaseSchema(QString::fromUtf16(kCatalogueSchema), catalogueSchema());
    embedded::registerDatabaseSchema(QString::fromUtf16(kRegistrySchema), registrySchema());
    embedded::registerProcedure(QStringLiteral("sp_Orra_GetDocumentsAndCategories"), documentsAndCategories);
    embedded::registerProcedure(QStringLiteral("sp_UserLock"), userLock);
    registerCatalogueGuards();
}

void createEmbeddedServer(
    const QString& server, const QString& adminLogin, const QString& adminPassword, const QString& catalogue)
{
    QList<embedded::DatabaseLayout> layouts{
        {QString::fromUtf16(kRegistryDatabase), QString::fromUtf16(kRegistrySchema)}};
    if (!catalogue.isEmpty()) layouts.append({catalogue, QString::fromUtf16(kCatalogueSchema)});
    embedded::createServer(server, adminLogin, adminPassword, layouts);
}

void createEmbeddedCatalogue(const QString& server, const QString& database)
{
    embedded::applyDatabaseSchema(server, database, QString::fromUtf16(kCatalogueSchema));
}

QString catalogueSchema() { return QString::fromUtf8(kSchemaCatalogue); }

QString registrySchema() { return QString::fromUtf8(kSchemaMat); }

}   // namespace orra::catalogue
