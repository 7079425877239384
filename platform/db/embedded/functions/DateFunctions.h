#pragma once
// The server's date and time functions (DATEADD, DATEDIFF, DATEPART, DATENAME, DATETRUNC,
// SWITCHOFFSET, TODATETIMEOFFSET, EOMONTH, the
// FROMPARTS family, GETDATE and its kin, ISDATE, YEAR/MONTH/DAY) and the conversions to and
// from the date and time types, as SQLite functions over the values' canonical text. One
// table names them for the translator and registers them with SQLite.

#include "platform/db/embedded/functions/DateTimeValues.h"

#include <QString>
#include <QStringView>

struct sqlite3;

namespace orra::embedded::dates {

// A T-SQL function of this family as the translator maps it.
struct FunctionName {
    const char* tsql;       // "dateadd"
    const char* sqlite;     // "orra_dateadd"
    bool datePartFirst;     // its first argument is a date part keyword (month, mm …)
    const char* result;     // its result type when fixed ("int", "date"), else nullptr
    int minArgs;
    int maxArgs;
    // the translator adds the declared type of its date (the last argument) as one more
    // argument, where the value's text cannot tell it (datetime2(3) and datetime look alike)
    bool typedDate = false;
};
// The entry for a T-SQL function name (any case), or nullptr.
const FunctionName* functionNamed(QStringView name);

// The canonical name of a date part keyword or abbreviation ("mm" → "month"); empty when the
// word names none.
QString datePartNamed(QStringView word);

// SQLite's names of the conversions the translator emits:
//   orra_to_date(value, 'type', scale, style)       CAST/CONVERT to a date or time type
//   orra_date_text(value, style, 'source type')    the text of a date value for CAST/CONVERT
//                                                   to a character type ('' when not known)
inline constexpr const char* kToDate = "orra_to_date";
inline constexpr const char* kDateText = "orra_date_text";
//   orra_date_arith(a, b, op, 'type')              a + b or a - b (op 43 or 45) of datetime or
//                                                   smalldatetime values and numbers of days
inline constexpr const char* kDateArithmetic = "orra_date_arith";

// The collation of datetimeoffset columns and comparisons: values compare as instants on UTC.
inline constexpr const char* kInstantCollation = "DTO_UTC";

// Registers every function of the family on db; settings are the session's (they must
// outlive db), or nullptr for the server's own handles (the defaults).
void registerDateFunctions(sqlite3* db, Settings* settings);
// FORMAT (FormatFunction.cpp), registered with them.
void registerFormatFunction(sqlite3* db);

}   // namespace orra::embedded::dates
