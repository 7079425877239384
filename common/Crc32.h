#pragma once
// The row checksum kept in the CheckSum column of documents, categories and permission rows:
// CRC-32 (reflected polynomial EDB88320, all-ones start, final complement) over the ANSI
// bytes of a text, read as a signed 32-bit number.

#include <QString>
#include <cstdint>

namespace orra {
namespace db {
class Recordset;
}

class clsCrc32 {
public:
    // The signed 32-bit CRC-32 of str's bytes in the system's ANSI code page (zlib's crc32:
    // the same polynomial, start and final complement).
    int32_t GetCheckSum(const QString& str);
};

// ComputeCheckSum(text): the checksum of a text, as the writers and verifiers use it.
int32_t ComputeCheckSum(const QString& text);

// The checksum text of the current row of a recordset read with "select *": every column
// but the one named exactly "CheckSum", in column order; NULL contributes nothing; binary
// columns enter as "0x" followed by their bytes in upper-case hexadecimal.
QString RowCheckSumText(const db::Recordset& rs);
// ComputeCheckSum(RowCheckSumText(rs)).
int32_t RowCheckSum(const db::Recordset& rs);

// The checksum of a permission row, formed from its four numbers in decimal.
int32_t PermissionRowCheckSum(long objectId, long userId, long allow, long deny);

}   // namespace orra
