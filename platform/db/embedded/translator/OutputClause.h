#pragma once
// OUTPUT clauses of insert, update, delete and merge (see OutputStatement): the change is
// translated without them, and each becomes the statement that reads the rows it made.

#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

struct OutputClause {
    size_t verb = 0;              // the statement's insert, update, delete or merge
    size_t at = 0;                // the output keyword
    size_t listEnd = 0;           // the end of its select list
    size_t into = 0, end = 0;     // into target [(columns)]: [into, end); into == end when none
};

// The output clauses of the insert, update, delete or merge in [b, e); none for another
// statement, or (with the error) for one the server refuses.
std::vector<OutputClause> outputClauses(TranslationContext& ctx, size_t b, size_t e);
// The tokens [b, e) normalised, the clauses left out.
Vec normalizedWithout(TranslationContext& ctx, size_t b, size_t e, const std::vector<OutputClause>& clauses);
// The change (translated from v, the statement without its clauses) with its outputs.
Statement withOutput(TranslationContext& ctx, Statement change, const Vec& v, const std::vector<OutputClause>& clauses);

}   // namespace orra::embedded::translator
