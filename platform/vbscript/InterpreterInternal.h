#pragma once
// What the interpreter's statement and expression halves share.

#include "platform/vbscript/Ast.h"
#include "platform/vbscript/Runtime.h"

#include <cstdint>

namespace orra::vbs {

inline constexpr long kStackBudget = 3 * 1024 * 1024;   // bytes of machine stack the scripts may use

// An integer result in the subtype VBScript gives it: Integer, else Long, else Double.
inline Variant intFast(int64_t r, bool isLong)
{
    if (!isLong && r >= -32768 && r <= 32767) return Variant::integer(int16_t(r));
    if (r >= INT32_MIN && r <= INT32_MAX) return Variant::longValue(int32_t(r));
    return Variant::dbl(double(r));
}

// A member reached through something that is not an object, or Nothing: 424, naming the
// variable when the object expression is one.
[[noreturn]] inline void objectRequired(const Expr* base)
{
    if (base && base->kind == ExprKind::Ident) raiseNamed(kObjectRequired, base->name);
    raise(kObjectRequired);
}

}   // namespace orra::vbs
