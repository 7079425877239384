#include "common/Crc32.h"

#include "platform/db/Recordset.h"
#include "platform/text/AnsiCodePage.h"

namespace orra {

int32_t clsCrc32::GetCheckSum(const QString& str) {
    const uint32_t seed = BuildCrcTable(0xEDB88320u, 0xFFFFFFFFu);
    return static_cast<int32_t>(FinishCrc(UpdateCrc(str, seed)));
}

uint32_t clsCrc32::BuildCrcTable(uint32_t polynomial, uint32_t seed) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1u) ? (c >> 1) ^ polynomial : c >> 1;
        m_table[i] = c;
    }
    return seed;
}

uint32_t clsCrc32::UpdateCrc(const QString& text, uint32_t crc) const {
    const text::AnsiCodePage& cp = text::AnsiCodePage::system();
    for (const QChar ch : text) {
        const uint8_t b = cp.toByte(ch.unicode());
        crc = (crc >> 8) ^ m_table[(crc & 0xFFu) ^ b];
    }
    return crc;
}

int32_t ComputeCheckSum(const QString& text) {
    clsCrc32 crc;
    return crc.GetCheckSum(text);
}

namespace {

// Binary values enter the text in hexadecimal ("0x" and two upper-case digits a byte), so
// that every byte counts: taken as UTF-16 characters, bytes outside the ANSI code page would
// all become the same question mark and a changed owner would keep the checksum.
QString binaryAsText(const QByteArray& bytes) {
    return QStringLiteral("0x") + QString::fromLatin1(bytes.toHex().toUpper());
}

} // namespace

QString RowCheckSumText(const db::Recordset& rs) {
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

int32_t PermissionRowCheckSum(long objectId, long userId, long allow, long deny) {
    return ComputeCheckSum(QString::number(objectId) + QString::number(userId) + QString::number(allow) +
                           QString::number(deny));
}

} // namespace orra
