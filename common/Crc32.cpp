#include "common/Crc32.h"

#include "platform/db/Recordset.h"
#include "platform/text/AnsiCodePage.h"

#include <zlib.h>

#include <algorithm>

namespace orra {

int32_t clsCrc32::GetCheckSum(const QString& str)
{
    const text::AnsiCodePage& cp = text::AnsiCodePage::system();
    // Converted and summed in slices, so that a long text needs no second copy of its size.
    constexpr qsizetype kSlice = 1 << 16;
    unsigned char bytes[kSlice];
    uLong crc = crc32(0L, Z_NULL, 0);
    for (qsizetype at = 0; at < str.size(); at += kSlice) {
        const qsizetype n = std::min(kSlice, str.size() - at);
        const QChar* chars = str.constData() + at;
        for (qsizetype i = 0; i < n; ++i) bytes[i] = cp.toByte(chars[i].unicode());
        crc = crc32(crc, bytes, static_cast<uInt>(n));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(crc));
}

int32_t ComputeCheckSum(const QString& text)
{
    clsCrc32 crc;
    return crc.GetCheckSum(text);
}

namespace {

// Binary values enter the text in hexadecimal ("0x" and two upper-case digits a byte), so
// that every byte counts: taken as UTF-16 characters, bytes outside the ANSI code page would
// all become the same question mark and a changed owner would keep the checksum.
QString binaryAsText(const QByteArray& bytes)
{
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
}

}   // namespace

QString RowCheckSumText(const db::Recordset& rs)
{
    QString text;
    for (int i = 0; i < rs.fieldCount(); ++i) {
        const db::FieldInfo& f = rs.field(i);
        if (f.name == QLatin1String("CheckSum")) continue;
        const QVariant& v = rs.value(i);
        if (db::isNull(v)) continue;
        if (db::isBinaryType(f.type) || v.typeId() == QMetaType::QByteArray)
            text += binaryAsText(v.toByteArray());
        else
            text += db::Recordset::valueText(v, f.type);
    }
    return text;
}

int32_t RowCheckSum(const db::Recordset& rs) { return ComputeCheckSum(RowCheckSumText(rs)); }

int32_t PermissionRowCheckSum(long objectId, long userId, long allow, long deny)
{
    return ComputeCheckSum(
        QString::number(objectId) + QString::number(userId) + QString::number(allow) + QString::number(deny));
}

}   // namespace orra
