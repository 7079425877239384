#pragma once
// The catalogue's stored procedures as the embedded server runs them (registered by
// registerEmbeddedCatalogue()).

#include "platform/db/embedded/Extensions.h"

namespace orra::catalogue {

// sp_Orra_GetDocumentsAndCategories [@CategoryID]
void documentsAndCategories(const embedded::ProcedureArguments& arguments, embedded::ProcedureSession& session);

// sp_UserLock @LockXml, @Mode
void userLock(const embedded::ProcedureArguments& arguments, embedded::ProcedureSession& session);

}   // namespace orra::catalogue
