#include "platform/db/Types.h"

namespace orra::db {

bool isIntegerType(DataType t)
{
    switch (t) {
    case DataType::SmallInt:
    case DataType::Integer:
    case DataType::TinyInt:
    case DataType::BigInt:
        return true;
    default:
        return false;
    }
}

bool isNumericType(DataType t)
{
    switch (t) {
    case DataType::Single:
    case DataType::Double:
    case DataType::Currency:
    case DataType::Numeric:
        return true;
    default:
        return isIntegerType(t);
    }
}

bool isTextType(DataType t)
{
    switch (t) {
    case DataType::Char:
    case DataType::WChar:
    case DataType::VarChar:
    case DataType::LongVarChar:
    case DataType::VarWChar:
    case DataType::LongVarWChar:
        return true;
    default:
        return false;
    }
}

bool isDateType(DataType t)
{
    return t == DataType::Date || t == DataType::DBDate || t == DataType::DBTime || t == DataType::DBTimeStamp;
}

bool isBinaryType(DataType t)
{
    return t == DataType::Binary || t == DataType::VarBinary || t == DataType::LongVarBinary;
}

bool isExactType(DataType t) { return t == DataType::Currency || t == DataType::Numeric; }

ValueKind valueKindOf(DataType t)
{
    switch (t) {
    case DataType::Integer:
    case DataType::SmallInt:
    case DataType::TinyInt:
        return ValueKind::Int32;
    case DataType::BigInt:
        return ValueKind::Int64;
    case DataType::Boolean:
        return ValueKind::Bool;
    case DataType::Double:
    case DataType::Single:
        return ValueKind::Real;
    case DataType::Currency:
    case DataType::Numeric:
        return ValueKind::Exact;
    case DataType::Binary:
    case DataType::VarBinary:
    case DataType::LongVarBinary:
        return ValueKind::Blob;
    case DataType::DBTimeStamp:
    case DataType::Date:
        return ValueKind::DateTime;
    case DataType::DBDate:
        return ValueKind::Date;
    case DataType::DBTime:
        return ValueKind::Time;
    case DataType::Guid:
        return ValueKind::Guid;
    default:
        return ValueKind::Text;
    }
}

}   // namespace orra::db
