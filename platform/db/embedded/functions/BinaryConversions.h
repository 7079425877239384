#pragma once
// SQL functions for the conversions whose result depends on the source's T-SQL type (which
// the translator knows, see translator/TypedConversions.h):
//   orra_to_binary(x, length, fixed, source, style)   binary(n) / varbinary(n|max): strings by
//       their bytes (padded and truncated on the right, styles 1 and 2 read hexadecimal text),
//       numbers by their bytes, big-endian (padded and truncated on the left)
//   orra_from_binary(x, target)                     binary to tinyint … bigint, money, smallmoney,
//       decimal, datetime and smalldatetime (converting a value to binary of a length that
//       holds it and back gives the value again)
//   orra_binary_text(x, length, style, national)    binary to text: style 0 the bytes as
//       characters, 1 "0x" and hexadecimal digits, 2 the digits alone
//   orra_exact_text(x, scale, style, money)         money and decimal as text (money styles 0, 1, 2)
// Source and target codes are the ByteSource values.

struct sqlite3;

namespace orra::embedded {

enum ByteSource {
    kUnknownBytes = 0,   // by the value's storage class
    // 1, 2, 4, 8: an integer of that many bytes
    kVarcharBytes = 10,
    kNVarcharBytes = 11,
    kBinaryBytes = 12,
    kMoneyBytes = 13,
    kSmallMoneyBytes = 14,
    kFloatBytes = 15,
    kRealBytes = 16,
    // datetime: days since 1900-01-01 and 1/300 seconds since midnight, 4 bytes each;
    // smalldatetime: days and minutes, 2 bytes each
    kDateTimeBytes = 17,
    kSmallDateTimeBytes = 18,
    // decimal(p,s) is kDecimalBytes + 100 * p + s: precision, scale and sign bytes, then the
    // value's units little-endian in the bytes the precision takes (4, 8, 12 or 16)
    kDecimalBytes = 1000,
};

void registerBinaryConversionFunctions(sqlite3* db);

}   // namespace orra::embedded
