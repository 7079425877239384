#pragma once
// Process-wide state of the designer that the start-up fills and every window reads: the names
// of record of the catalogue server and database (what the catalogue connection reports after
// the log-on). The catalogue connection itself is orra::mainConnection() (common/Connections.h).
// Catalogue tables are named catalogueDatabaseName() + "..tbOrraSQL" and the like.

#include <QString>

namespace morvane {

QString catalogueServerName();
void setCatalogueServerName(const QString& name);
QString catalogueDatabaseName();
void setCatalogueDatabaseName(const QString& name);

}   // namespace morvane
