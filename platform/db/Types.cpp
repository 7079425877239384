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
    return t == DataType::Date || t == DataType::DBDate || t == DataType::DBTime
        || t == DataType::DBTimeStamp;
}

bool isBinaryType(DataType t)
{
    return t == DataType::Binary || t == DataType::VarBinary || t == DataType::LongVarBinary;
}

} // namespace orra::db
