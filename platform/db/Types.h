#pragma once
// Column types and provider errors of the database layer, numbered as ADO numbers them,
// because stored code (scripts, exports) reads the numbers.

#include <QString>
#include <QVariant>

namespace orra::db {

// ADO DataTypeEnum values that the backends produce.
enum class DataType : int {
    Empty = 0,
    SmallInt = 2,
    Integer = 3,
    Single = 4,
    Double = 5,
    Currency = 6,
    Date = 7,
    Boolean = 11,
    Variant = 12,
    TinyInt = 17,   // SQL Server tinyint is unsigned: adUnsignedTinyInt
    BigInt = 20,
    Guid = 72,
    Binary = 128,
    Char = 129,
    WChar = 130,
    Numeric = 131,
    DBDate = 133,
    DBTime = 134,
    DBTimeStamp = 135,
    VarChar = 200,
    LongVarChar = 201,
    VarWChar = 202,
    LongVarWChar = 203,
    VarBinary = 204,
    LongVarBinary = 205,
};

// Groups the export and the checksum care about.
bool isIntegerType(DataType t);
bool isNumericType(DataType t);   // integers, floats, currency, numeric
bool isTextType(DataType t);
bool isDateType(DataType t);
bool isBinaryType(DataType t);
bool isExactType(DataType t);   // currency and numeric: values are Decimal

// How a backend reads a column of a given type into a QVariant. Dynamic: by each value's own
// storage (a column whose type the backend does not know); valueKindOf never gives it.
// Exact: a Decimal (Decimal.h) at the column's scale (money and smallmoney 4, decimal its own).
enum class ValueKind { Int32, Int64, Bool, Real, Text, Blob, DateTime, Date, Time, Guid, Dynamic, Exact };
ValueKind valueKindOf(DataType t);

// One entry of a connection's error list, as ADO's Errors collection holds it.
// number < 0 for errors, 0 for informational messages (PRINT, "changed database context").
struct ProviderError {
    long number = 0;
    QString sqlState;
    QString description;
    QString source;
    long nativeError = 0;
    // How many result sets of the batch came before this message or error (-1: not known), so
    // that a client shows it in its place among them.
    int resultSet = -1;
};

// A value bound to a "?" marker of a statement. NULL is an invalid QVariant.
using Parameter = QVariant;

// Field values: an invalid QVariant is NULL; text is QString, integers int (integer, smallint,
// tinyint) or qlonglong (bigint, and any value too large for int), floats double, numeric and
// currency (money, smallmoney, decimal, numeric) Decimal (Decimal.h) at the column's scale,
// bit bool, date-times QDateTime, dates QDate, times QTime, binary QByteArray, GUIDs
// QString "{…}". Date-times are wall-clock values without a zone, as the server stores them:
// they carry Qt::UTC so that no time-zone rule (a daylight-saving gap) can shift them; read
// their date() and time(), never convert them to local time.
inline bool isNull(const QVariant& v) { return !v.isValid(); }

}   // namespace orra::db
