#pragma once
// Names of tables, views, procedures and functions as the server resolves them: one-, two- and
// three-part names in any quoting (T, dbo.T, Sales.T, db.dbo.T, db..T). An object of the
// default schema dbo is kept under its bare name; one of another schema under "schema.name",
// so that the catalogue's tables and everything made before schemas keep their names.

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <vector>

namespace orra::embedded::translator {

struct ObjectName {
    QString database;   // empty: the connection's database
    QString schema;     // empty: the default schema
    QString object;
    int parts = 0;      // parts written, empty ones included (db..T has three)
    size_t end = 0;     // the token after the name
};

// The dotted name that begins at tokens[i] (a name, or the dot of "..T"); parts is 0 when
// there is none. At most three parts are read.
ObjectName readObjectName(const std::vector<Token>& tokens, size_t i, size_t e);

// Whether a schema name is the default schema (empty or dbo, any case).
bool isDefaultSchema(const QString& schema);

// The name an object of the schema is stored under in its database.
QString storedName(const QString& schema, const QString& object);

// The same from the text of a name as OBJECT_ID and EXEC take it ('[Sales].[T]', 'db..T').
ObjectName parseObjectName(const QString& text);

}   // namespace orra::embedded::translator
