#pragma once
// Comparisons with ALL, SOME and ANY of a subquery's values (x > ALL (select …)), which SQLite
// has no form for, written as counts of the values that hold or fail the comparison before the text is translated, so
// that the comparison inside goes through the translator as any other comparison does.

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <vector>

namespace orra::embedded::translator {

// The text (tokens T) with its quantified comparisons rewritten; empty when it has none. Each
// rewritten comparison keeps the lines it took, so the line numbers of what follows stay.
QString rewriteQuantifiedComparisons(const QString& text, const std::vector<Token>& T);

}   // namespace orra::embedded::translator
