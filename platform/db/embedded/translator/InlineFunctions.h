#pragma once
// Inline table-valued functions: a call in a from clause (from dbo.f(1, @x) as t, join, apply)
// stands for the function's query with its parameters replaced by the arguments, each
// converted to the parameter's type as CAST converts: "(select …) as t".

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <vector>

namespace orra::embedded {
class Schema;
}

namespace orra::embedded::translator {

// How deeply inline functions may call one another.
constexpr int kMaxInlineNesting = 32;

struct InlineExpansion {
    QString text;    // the text with the calls replaced; empty when it has none
    QString error;   // a call that cannot be expanded
    long errorNumber = 0;
    int errorPosition = -1;
};

// The calls of the connection database's inline functions in the text (tokens T), replaced once.
InlineExpansion expandInlineFunctions(
    const QString& text, const std::vector<Token>& T, const QString& currentDatabase, const Schema& schema);

}   // namespace orra::embedded::translator
