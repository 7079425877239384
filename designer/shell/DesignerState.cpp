#include "designer/shell/DesignerState.h"

namespace morvane {
namespace {
QString g_server;
QString g_database;
}   // namespace

QString catalogueServerName() { return g_server; }
void setCatalogueServerName(const QString& name) { g_server = name; }
QString catalogueDatabaseName() { return g_database; }
void setCatalogueDatabaseName(const QString& name) { g_database = name; }

}   // namespace morvane
