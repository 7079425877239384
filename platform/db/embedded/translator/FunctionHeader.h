#pragma once
// The head of a function's definition, read from its tokens:
//   create [or alter] | alter function name ([@p [as] type [= default] [readonly], …])
//       returns type | table | @t table (…) [with …] [as] body

#include "platform/db/embedded/translator/ObjectNames.h"

#include <QString>
#include <vector>

namespace orra::embedded::translator {

struct FunctionParameter {
    QString name;   // as written, with its @
    size_t typeBegin = 0, typeEnd = 0;         // the declared type's tokens
    size_t defaultBegin = 0, defaultEnd = 0;   // the default's tokens; empty when none
    bool hasDefault() const { return defaultEnd > defaultBegin; }
};

struct FunctionHeader {
    size_t start = 0;      // create or alter
    bool create = false;   // create, or create or alter
    bool alter = false;    // alter, or create or alter
    ObjectName name;
    std::vector<FunctionParameter> parameters;
    QString type;                            // "FN", "IF", "TF"
    size_t returnBegin = 0, returnEnd = 0;   // FN: the declared type's tokens
    size_t body = 0;                         // the body's first token (after as)
    // Where the head cannot be read: the token, else npos.
    size_t errorAt = size_t(-1);
    bool ok() const { return errorAt == size_t(-1); }
};

// The head of the definition that begins at T[start].
FunctionHeader readFunctionHeader(const std::vector<Token>& T, size_t start);

}   // namespace orra::embedded::translator
