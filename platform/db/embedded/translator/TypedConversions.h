#pragma once
// Conversions that follow the source's T-SQL type and CONVERT's style (see
// functions/BinaryConversions.h): to and from binary and varbinary, money and decimal to text.

#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

// The conversion of expr (of type source) to the type named by declared ("varbinary(10)",
// "varchar(max)", …) with a CONVERT style (-1 for none). Either the whole conversion (true,
// written to out), or expr rewritten for the plain conversion that follows (false).
// style: CONVERT's style when written as a number (-1 for none); styleText: the SQL of a style
// given by an expression (a variable), which then stands for it.
bool typedConversion(Vec& out, Vec& expr, const SqlType& source, const QString& declared, int style,
    const QString& styleText = {});

}   // namespace orra::embedded::translator
