#pragma once
// Writers of the row checksums of documents and categories: the stored value is recomputed
// from the row as "select *" reads it, so that the verifiers (document load, permissions)
// accept exactly what the system wrote.

#include "platform/db/Connection.h"

#include <QString>

namespace orra {

// Recomputes and stores the CheckSum of document id in catalogueDatabase..tbOrraSQL.
// False (nothing written) when the row cannot be read; other errors are reported through the
// user interface (headless: thrown) and give false.
bool UpdateDocumentCheckSum(db::Connection& catalogue, const QString& catalogueDatabase, long id);
// The same for catalogueDatabase..tbOrraCategory.
bool UpdateCategoryCheckSum(db::Connection& catalogue, const QString& catalogueDatabase, long id);

}   // namespace orra
