#pragma once
// Conversions that follow the source's T-SQL type and CONVERT's style (see
// functions/BinaryConversions.h): to and from binary and varbinary, money and decimal to text.

#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriting.h"

#include <optional>

namespace orra::embedded::translator {

// The conversion of expr (of type source) to the type named by declared ("varbinary(10)",
// "varchar(max)", …) with a CONVERT style (-1 for none). Either the whole conversion (true,
// written to out), or expr rewritten for the plain conversion that follows (false).
// style: CONVERT's style when written as a number (-1 for none); styleText: the SQL of a style
// given by an expression (a variable), which then stands for it.
bool typedConversion(Vec& out, Vec& expr, const SqlType& source, const QString& declared, int style,
    const QString& styleText = {});

// How a value written into a column or variable of type t is converted, as CAST(value AS t)
// converts it: the SQL before and after the value. Empty for a type whose values SQLite keeps
// as they come (text, floats …).
struct StoredConversion {
    QString before;
    QString after;
    bool isEmpty() const { return before.isEmpty(); }
};
StoredConversion storedConversion(const SqlType& t);
// The same for a value of type source: nothing when the value is already of a type t keeps as it
// is (an int into a bigint column); a date or a number written into a text column takes the
// text CAST gives it ('Apr 18 2006  9:58AM' for a datetime, "*" for 12 in varchar(1)).
StoredConversion storedConversion(const SqlType& t, const SqlType& source);
// A number of type source as text of type target (named name: "varchar", "nchar" …) as CAST
// makes it with a CONVERT style: the number's text, "*" or the overflow error when it is too long;
// for a source of Unknown type, the same judged by the value when it comes.
StoredConversion numberAsText(const SqlType& target, const SqlType& source, const QString& name, const QString& style);

// The tokens [b, e) of v with the conversion around them, as a call the rewrites that follow read.
void wrapConversion(Vec& v, size_t b, size_t e, const StoredConversion& c);

// Whether a value read from a column of type source is already what a column of type target
// keeps, so that copying it needs no conversion (datetime into datetime, smallmoney into money,
// decimal(10,2) into decimal(18,2) …).
bool storedAsIs(const SqlType& target, const SqlType& source);
// A literal (number or quoted text as SQLite writes it) converted to type t at translation, as
// the literal SQLite takes in its place; nothing when t keeps values as they come or the
// literal does not convert (the server's defaults for dates in the default date format).
std::optional<QString> storedLiteral(const SqlType& t, const Token& literal);

}   // namespace orra::embedded::translator
