#pragma once
// The launcher's catalogue look-ups: the run connection of a document's server from the
// connection registry, a document number from a number or a "root\…" path, and a stored call
// schema applied to the document's parameters.

#include "common/DataSources.h"
#include "common/Xml.h"
#include "platform/db/Connection.h"

#include <QString>

namespace orra::launcher {

// The launcher's own error numbers.
inline constexpr long kErrorRunFailed = -100;   // "An Error occur while running Tavrel"
inline constexpr long kErrorNoSchema = -101;    // "No Schema found"

// The database that holds the connection registry (setting "Main Settings/RegistryDatabase",
// environment ORRA_REGISTRY_DB; "mat" by default), shared with the run-time library.
using orra::RegistryDatabase;

// A new open connection to a registered data server, owned by the caller. The server name is
// bound as a parameter; a server that the registry does not list throws
// Error(kSystemError, …, server + " verikaynağı ile bağlantı kurulamıyor").
db::ConnectionPtr OpenDataSourceConnection(db::Connection& catalogue, const QString& server);

// The connection text of a data server, with every value braced where it needs it so that a
// ";" in a name cannot add attributes.
using orra::DataSourceConnectionText;

// The document number of the "docid" option: a whole number, or "root\" (any case) followed by
// category names and the document name. Throws Error(-1) "document not found: <path>" for a
// path that names no document and for a text that is not a whole number.
long ResolveDocumentID(db::Connection& catalogue, const QString& text);

// Applies call schema schemaID of document docID to the Parameter elements of the expanded
// document: each listed parameter becomes Type "fact", with DefaultValue = the stored value
// unless it is NULL. Throws Error(-101, …, "No Schema found") when the schema does not exist.
void ApplyCallSchema(db::Connection& catalogue, xml::Document& document, long docID, long schemaID);

// Whole-number check of option values that go into SQL ("schemaid"); throws Error(kSystemError,
// "Hatalı parametre girişi -- schemaid") otherwise.
long ParseSchemaID(const QString& text);

}   // namespace orra::launcher
