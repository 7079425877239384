#include "platform/db/embedded/functions/BinaryConversions.h"

#include "platform/db/embedded/functions/ExactNumbers.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <sqlite3.h>

#include <cstring>

namespace orra::embedded {

namespace {

QByteArray bigEndian(quint64 v, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = bytes - 1; i >= 0; --i) {
        out[i] = char(v & 0xff);
        v >>= 8;
    }
    return out;
}

QByteArray valueBytes(sqlite3_value* v)
{
    const auto* p = static_cast<const char*>(sqlite3_value_blob(v));
    return QByteArray(p, sqlite3_value_bytes(v));
}

QString valueText(sqlite3_value* v)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

// Characters of a varchar are one byte each (Latin-1; others become '?').
QByteArray varcharBytes(const QString& s)
{
    QByteArray out;
    out.reserve(s.size());
    for (const QChar c : s) out.append(c.unicode() < 0x100 ? char(c.unicode()) : '?');
    return out;
}

QByteArray nvarcharBytes(const QString& s)
{
    QByteArray out;
    out.reserve(s.size() * 2);
    for (const QChar c : s) {
        out.append(char(c.unicode() & 0xff));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

bool hexBytes(QString text, bool prefixed, QByteArray& out)
{
    if (prefixed) {
        if (!text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) return false;
        text = text.mid(2);
    }
    if (text.size() % 2 != 0) return false;
    for (const QChar c : text)
        if (!isxdigit(c.toLatin1())) return false;
    out = QByteArray::fromHex(text.toLatin1());
    return true;
}

const QDate kBaseDate(1900, 1, 1);

int decimalBytes(int precision) { return precision <= 9 ? 4 : precision <= 19 ? 8 : precision <= 28 ? 12 : 16; }

QByteArray decimalToBytes(sqlite3_value* v, int code)
{
    const int precision = (code - kDecimalBytes) / 100, scale = (code - kDecimalBytes) % 100;
    const auto d = readExact(v, scale);
    db::Decimal::Units units = d ? d->rescaled(scale).units() : 0;
    QByteArray out;
    out.append(char(precision));
    out.append(char(scale));
    out.append(char(units < 0 ? 0 : 1));
    if (units < 0) units = -units;
    for (int i = 0; i < decimalBytes(precision); ++i) {
        out.append(char(quint8(units & 0xff)));
        units >>= 8;
    }
    return out;
}

// The datetime (or smalldatetime) kept as text, as days and units of the day.
QByteArray dateTimeToBytes(const QString& text, bool small)
{
    const QDateTime t = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!t.isValid()) return {};
    const qint64 days = kBaseDate.daysTo(t.date());
    const int ms = t.time().msecsSinceStartOfDay() + (text.size() >= 23 ? text.mid(20, 3).toInt() : 0);
    if (small) return bigEndian(quint64(days), 2) + bigEndian(quint64(ms / 60000), 2);
    return bigEndian(quint64(days), 4) + bigEndian(quint64((qint64(ms) * 3 + 5) / 10), 4);
}

void fnToBinary(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int type = sqlite3_value_type(argv[0]);
    if (type == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int length = sqlite3_value_int(argv[1]);
    const bool fixed = sqlite3_value_int(argv[2]) != 0;
    int source = sqlite3_value_int(argv[3]);
    const int style = sqlite3_value_int(argv[4]);
    if (source == kUnknownBytes) {
        source = type == SQLITE_INTEGER ? (sqlite3_value_int64(argv[0]) == qint32(sqlite3_value_int64(argv[0])) ? 4 : 8)
            : type == SQLITE_FLOAT      ? kFloatBytes
            : type == SQLITE_BLOB       ? kBinaryBytes
                                        : kVarcharBytes;
    }
    QByteArray bytes;
    bool right = true;   // strings pad and truncate on the right, numbers on the left
    switch (source) {
    case 1:
    case 2:
    case 4:
    case 8:
        bytes = bigEndian(quint64(sqlite3_value_int64(argv[0])), source);
        right = false;
        break;
    case kMoneyBytes:
    case kSmallMoneyBytes: {
        const auto d = readExact(argv[0], 4);
        const qint64 units = d ? qint64(d->units()) : 0;
        bytes = bigEndian(quint64(units), source == kMoneyBytes ? 8 : 4);
        right = false;
        break;
    }
    case kFloatBytes:
    case kRealBytes: {
        if (source == kFloatBytes) {
            const double d = sqlite3_value_double(argv[0]);
            quint64 bits;
            std::memcpy(&bits, &d, sizeof bits);
            bytes = bigEndian(bits, 8);
        } else {
            const float f = float(sqlite3_value_double(argv[0]));
            quint32 bits;
            std::memcpy(&bits, &f, sizeof bits);
            bytes = bigEndian(bits, 4);
        }
        right = false;
        break;
    }
    case kBinaryBytes:
        bytes = valueBytes(argv[0]);
        break;
    case kDateTimeBytes:
    case kSmallDateTimeBytes:
        bytes = dateTimeToBytes(valueText(argv[0]), source == kSmallDateTimeBytes);
        right = false;
        break;
    default: {
        if (source > kDecimalBytes) {
            bytes = decimalToBytes(argv[0], source);
            right = false;
            break;
        }
        const QString text = valueText(argv[0]);
        if (style == 1 || style == 2) {
            if (!hexBytes(text, style == 1, bytes)) {
                sqlite3_result_error(ctx, "Error converting data type varchar to varbinary.", -1);
                return;
            }
        } else {
            bytes = source == kNVarcharBytes ? nvarcharBytes(text) : varcharBytes(text);
        }
        break;
    }
    }
    if (length >= 0 && bytes.size() > length)
        bytes = right ? bytes.left(length) : bytes.right(length);
    if (fixed && length >= 0 && bytes.size() < length) {
        const QByteArray zeros(length - bytes.size(), '\0');
        bytes = right ? bytes + zeros : zeros + bytes;
    }
    sqlite3_result_blob(ctx, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
}

void fnFromBinary(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray bytes = valueBytes(argv[0]);
    const int target = sqlite3_value_int(argv[1]);
    if (target >= kDecimalBytes) {
        // precision, scale, sign, units little-endian
        if (bytes.size() < 4) {
            sqlite3_result_error(ctx, "Error converting data type varbinary to numeric.", -1);
            return;
        }
        const int scale = quint8(bytes[1]);
        db::Decimal::Units units = 0;
        for (qsizetype i = std::min<qsizetype>(bytes.size(), 19); i-- > 3;) units = (units << 8) | quint8(bytes[i]);
        if (bytes[2] == 0) units = -units;
        resultExact(ctx, db::Decimal::fromUnits(units, std::min(scale, db::Decimal::kMaxScale)));
        return;
    }
    if (target == kDateTimeBytes || target == kSmallDateTimeBytes) {
        const bool small = target == kSmallDateTimeBytes;
        const int half = small ? 2 : 4;
        const QByteArray b = QByteArray(std::max<qsizetype>(0, 2 * half - bytes.size()), '\0') + bytes.right(2 * half);
        qint64 days = 0, part = 0;
        for (int i = 0; i < half; ++i) days = (days << 8) | quint8(b[i]);
        for (int i = half; i < 2 * half; ++i) part = (part << 8) | quint8(b[i]);
        if (!small) days = qint32(days);
        const qint64 ms = small ? part * 60000 : (part * 10 + 1) / 3;
        const QDateTime t(kBaseDate.addDays(days), QTime::fromMSecsSinceStartOfDay(int(ms % 86400000)));
        const QByteArray text = t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toUtf8();
        sqlite3_result_text(ctx, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        return;
    }
    const int size = target == kMoneyBytes ? 8 : target == kSmallMoneyBytes ? 4 : target;
    // the last bytes, big-endian, as a signed integer of the target's size
    quint64 v = 0;
    const qsizetype from = std::max<qsizetype>(0, bytes.size() - size);
    for (qsizetype i = from; i < bytes.size(); ++i) v = (v << 8) | quint8(bytes[i]);
    qint64 n;
    if (size == 8)
        n = qint64(v);
    else if (size == 1)
        n = qint64(quint8(v));   // tinyint is unsigned
    else {
        const int shift = 64 - size * 8;
        n = qint64(v << shift) >> shift;
    }
    if (target == kMoneyBytes || target == kSmallMoneyBytes)
        resultExact(ctx, db::Decimal::fromUnits(n, 4));
    else
        sqlite3_result_int64(ctx, n);
}

void fnBinaryText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray bytes = valueBytes(argv[0]);
    const int length = sqlite3_value_int(argv[1]);
    const int style = sqlite3_value_int(argv[2]);
    const bool national = sqlite3_value_int(argv[3]) != 0;
    QString text;
    if (style == 1 || style == 2) {
        // whole bytes only: the prefix takes room, and an odd character left is dropped
        qsizetype room = length < 0 ? bytes.size() * 2 : length - (style == 1 ? 2 : 0);
        if (room < 0) {
            sqlite3_result_text(ctx, "", 0, SQLITE_STATIC);
            return;
        }
        const qsizetype count = std::min<qsizetype>(bytes.size(), room / 2);
        text = (style == 1 ? QStringLiteral("0x") : QString()) + QString::fromLatin1(bytes.left(count).toHex().toUpper());
    } else if (national) {
        // two bytes to a UTF-16 character; an odd last byte is a character of its own, its
        // high byte zero (CAST(CAST(0x41 AS nvarchar) AS varbinary) is 0x4100)
        for (qsizetype i = 0; i < bytes.size(); i += 2)
            text += QChar(quint8(bytes[i]) | (i + 1 < bytes.size() ? quint8(bytes[i + 1]) << 8 : 0));
    } else {
        text = QString::fromLatin1(bytes);
    }
    resultText(ctx, text);
}

QString grouped(const QString& digits)
{
    QString out;
    const qsizetype n = digits.size();
    for (qsizetype i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += u',';
        out += digits[i];
    }
    return out;
}

void fnExactText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int scale = sqlite3_value_int(argv[1]);
    const int style = sqlite3_value_int(argv[2]);
    const bool money = sqlite3_value_int(argv[3]) != 0;
    // money: style 2 (and 126) four decimals, else two; commas with style 1
    const int shown = money ? (style == 2 || style == 126 ? 4 : 2) : scale;
    const std::optional<db::Decimal> d = readExact(argv[0], shown);
    if (!d) {
        sqlite3_result_value(ctx, argv[0]);
        return;
    }
    QString text = d->toString();
    if (money && style == 1) {
        const bool negative = text.startsWith(u'-');
        if (negative) text.remove(0, 1);
        const qsizetype point = text.indexOf(u'.');
        text = (negative ? QStringLiteral("-") : QString()) + grouped(text.left(point)) + text.mid(point);
    }
    resultText(ctx, text);
}

}   // namespace

void registerBinaryConversionFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    sqlite3_create_function_v2(db, "orra_to_binary", 5, flags, nullptr, fnToBinary, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_from_binary", 2, flags, nullptr, fnFromBinary, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_binary_text", 4, flags, nullptr, fnBinaryText, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_exact_text", 4, flags, nullptr, fnExactText, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
