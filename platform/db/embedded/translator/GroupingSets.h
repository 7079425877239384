#pragma once
// GROUP BY ROLLUP / CUBE / GROUPING SETS / WITH ROLLUP / WITH CUBE and the GROUPING and
// GROUPING_ID functions, written as one SQLite grouping (see GroupingSets.cpp).

#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

// Rewrites every query block of v (tokens of the batch normalised by ctx) that groups by
// grouping sets or reads the grouping functions; a form the server refuses fails ctx.
void rewriteGroupingSets(TranslationContext& ctx, Vec& v);

}   // namespace orra::embedded::translator
