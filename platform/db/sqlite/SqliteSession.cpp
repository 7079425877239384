#include "platform/db/sqlite/SqliteSession.h"

#include "platform/db/Decimal.h"
#include "platform/host/ErrorNumbers.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QUuid>
#include <sqlite3.h>

#include <cerrno>
#include <cstring>
#include <iterator>
#include <sys/mman.h>
#include <limits>

namespace orra::db::sqlite {

namespace {

// How a column's cells are read: decided once per column from its declared type.
using Reader = ValueKind;

Reader readerFor(const ColumnType& t) { return t.known ? valueKindOf(t.type) : ValueKind::Dynamic; }

bool digits(const char* p, int n, int& out)
{
    int v = 0;
    for (int i = 0; i < n; ++i) {
        if (p[i] < '0' || p[i] > '9') return false;
        v = v * 10 + (p[i] - '0');
    }
    out = v;
    return true;
}

// "yyyy-MM-dd", "yyyy-MM-dd HH:mm[:ss[.fff]]" (or 'T'), "HH:mm[:ss[.fff]]".
bool parseDate(const char* s, int n, QDate& d)
{
    int y, m, day;
    if (n < 10 || s[4] != '-' || s[7] != '-' || !digits(s, 4, y) || !digits(s + 5, 2, m) || !digits(s + 8, 2, day))
        return false;
    d = QDate(y, m, day);
    return d.isValid();
}

bool parseTime(const char* s, int n, QTime& t)
{
    int h, mi, sec = 0, ms = 0;
    if (n < 5 || s[2] != ':' || !digits(s, 2, h) || !digits(s + 3, 2, mi)) return false;
    int pos = 5;
    if (n > pos) {
        if (s[pos] != ':' || n < pos + 3 || !digits(s + pos + 1, 2, sec)) return false;
        pos += 3;
        if (n > pos) {
            if (s[pos] != '.') return false;
            ++pos;
            int frac = 0, count = 0;
            while (pos < n && s[pos] >= '0' && s[pos] <= '9') {
                if (count < 3) {
                    frac = frac * 10 + (s[pos] - '0');
                    ++count;
                }
                ++pos;
            }
            if (pos != n || count == 0) return false;
            while (count++ < 3) frac *= 10;
            ms = frac;
        }
    }
    t = QTime(h, mi, sec, ms);
    return t.isValid();
}

bool parseDateTime(const char* s, int n, QDateTime& out)
{
    QDate d;
    if (!parseDate(s, n, d)) return false;
    QTime t(0, 0);
    if (n > 10) {
        if ((s[10] != ' ' && s[10] != 'T') || !parseTime(s + 11, n - 11, t)) return false;
    }
    out = QDateTime(d, t, Qt::UTC);
    return true;
}

inline QString columnText(sqlite3_stmt* st, int i)
{
    const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
    const int n = sqlite3_column_bytes(st, i);
    return QString::fromUtf8(t, n);
}

// A text cell built in place: QVariant has no constructor that takes a QString by move, and
// the copy would cost a reference count round trip per cell.
inline QVariant textVariant(sqlite3_stmt* st, int i)
{
    QVariant v{QMetaType::fromType<QString>()};
    *static_cast<QString*>(v.data()) = columnText(st, i);
    return v;
}

inline QByteArray columnBlob(sqlite3_stmt* st, int i)
{
    const void* b = sqlite3_column_blob(st, i);
    const int n = sqlite3_column_bytes(st, i);
    return QByteArray(static_cast<const char*>(b), n);
}

QVariant readCell(sqlite3_stmt* st, int i, Reader reader, int scale)
{
    const int storage = sqlite3_column_type(st, i);
    if (storage == SQLITE_NULL) return QVariant();
    switch (reader) {
    case Reader::Exact:
        if (storage == SQLITE_INTEGER) {
            if (const auto d = Decimal::fromInteger(sqlite3_column_int64(st, i)).tryRescaled(scale))
                return decimalVariant(*d);
        } else if (storage == SQLITE_FLOAT) {
            if (const auto d = Decimal::fromDouble(sqlite3_column_double(st, i), scale)) return decimalVariant(*d);
        } else if (storage == SQLITE_TEXT || storage == SQLITE_BLOB) {
            // the embedded server keeps digits beyond a double's as the bytes of their text
            if (const auto parsed = Decimal::parse(columnText(st, i)))
                if (const auto d = parsed->tryRescaled(scale)) return decimalVariant(*d);
        }
        break;
    case Reader::Int32:
        if (storage == SQLITE_INTEGER) {
            const sqlite3_int64 v = sqlite3_column_int64(st, i);
            if (v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max()) return QVariant(int(v));
            return QVariant(qlonglong(v));
        }
        break;
    case Reader::Int64:
        if (storage == SQLITE_INTEGER) return QVariant(qlonglong(sqlite3_column_int64(st, i)));
        break;
    case Reader::Bool:
        if (storage == SQLITE_INTEGER) return QVariant(sqlite3_column_int64(st, i) != 0);
        if (storage == SQLITE_FLOAT) return QVariant(sqlite3_column_double(st, i) != 0.0);
        break;
    case Reader::Real:
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) return QVariant(sqlite3_column_double(st, i));
        if (storage == SQLITE_TEXT) {
            bool ok = false;
            const double d = columnText(st, i).trimmed().toDouble(&ok);
            if (ok) return QVariant(d);
        }
        break;
    case Reader::Text:
        if (storage != SQLITE_BLOB) return textVariant(st, i);
        break;
    case Reader::Blob:
        return QVariant(columnBlob(st, i));
    case Reader::DateTime:
    case Reader::Date:
    case Reader::Time:
        if (storage == SQLITE_TEXT) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
            const int n = sqlite3_column_bytes(st, i);
            if (reader == Reader::DateTime) {
                QDateTime dt;
                if (parseDateTime(t, n, dt)) return QVariant(dt);
            } else if (reader == Reader::Date) {
                QDate d;
                if (n == 10 && parseDate(t, n, d)) return QVariant(d);
                QDateTime dt;
                if (parseDateTime(t, n, dt)) return QVariant(dt.date());
            } else {
                QTime tm;
                if (parseTime(t, n, tm)) return QVariant(tm);
            }
        }
        break;
    case Reader::Guid:
        if (storage == SQLITE_BLOB && sqlite3_column_bytes(st, i) == 16)
            return QVariant(QUuid::fromRfc4122(columnBlob(st, i)).toString(QUuid::WithBraces).toUpper());
        if (storage == SQLITE_TEXT) {
            QString s = columnText(st, i);
            if (s.size() == 36) s = u'{' + s + u'}';
            return QVariant(s.toUpper());
        }
        break;
    case Reader::Dynamic:
        break;
    }
    // values the declared type does not describe keep their own storage class
    switch (storage) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(st, i)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(st, i));
    case SQLITE_BLOB:
        return QVariant(columnBlob(st, i));
    default:
        return textVariant(st, i);
    }
}

// Types an expression column by its values: integers (int when every value fits), double
// when any value is a float, text (defined size = the longest value), binary.
void typeByValues(ResultSet& rs, size_t col)
{
    const size_t cols = rs.fields.size();
    const size_t rows = cols ? rs.values.size() / cols : 0;
    bool anyInt = false, anyReal = false, anyText = false, anyBlob = false, allFit = true;
    long longest = 0;
    for (size_t r = 0; r < rows; ++r) {
        const QVariant& v = rs.values[r * cols + col];
        switch (v.typeId()) {
        case QMetaType::LongLong: {
            anyInt = true;
            const qlonglong x = v.toLongLong();
            if (x < std::numeric_limits<int>::min() || x > std::numeric_limits<int>::max()) allFit = false;
            break;
        }
        case QMetaType::Double:
            anyReal = true;
            break;
        case QMetaType::QByteArray:
            anyBlob = true;
            longest = std::max<long>(longest, long(v.toByteArray().size()));
            break;
        case QMetaType::QString:
            anyText = true;
            longest = std::max<long>(longest, long(static_cast<const QString*>(v.constData())->size()));
            break;
        default:
            break;
        }
    }
    FieldInfo& f = rs.fields[col];
    if (anyText || (anyBlob && (anyInt || anyReal))) {
        f.type = DataType::VarChar;
        f.definedSize = std::max<long>(longest, 1);
        // mixed columns read as text throughout
        for (size_t r = 0; r < rows; ++r) {
            QVariant& v = rs.values[r * cols + col];
            if (v.isValid() && v.typeId() != QMetaType::QString)
                v = QVariant(Recordset::valueText(v, DataType::VarChar));
        }
    } else if (anyBlob) {
        f.type = DataType::VarBinary;
        f.definedSize = std::max<long>(longest, 1);
    } else if (anyReal) {
        f.type = DataType::Double;
        f.definedSize = 8;
        for (size_t r = 0; r < rows; ++r) {
            QVariant& v = rs.values[r * cols + col];
            if (v.typeId() == QMetaType::LongLong) v = QVariant(double(v.toLongLong()));
        }
    } else if (anyInt && !allFit) {
        f.type = DataType::BigInt;
        f.definedSize = 8;
    } else if (anyInt) {
        f.type = DataType::Integer;
        f.definedSize = 4;
        for (size_t r = 0; r < rows; ++r) {
            QVariant& v = rs.values[r * cols + col];
            if (v.typeId() == QMetaType::LongLong) v = QVariant(int(v.toLongLong()));
        }
    } else {
        // no value at all: a NULL expression
        f.type = DataType::Integer;
        f.definedSize = 4;
    }
}

// Grows the cell buffer. Large buffers are asked to be backed by huge pages before they are
// first written: filling hundreds of megabytes page by page is the main cost of buffering a
// large result.
void grow(std::vector<QVariant>& values, size_t capacity)
{
    std::vector<QVariant> next;
    next.reserve(capacity);
    constexpr size_t kHuge = size_t(2) << 20;
    const size_t bytes = capacity * sizeof(QVariant);
    if (bytes >= 4 * kHuge) {
        const auto begin = reinterpret_cast<uintptr_t>(next.data());
        const uintptr_t first = (begin + kHuge - 1) & ~(kHuge - 1);
        const uintptr_t last = (begin + bytes) & ~(kHuge - 1);
        if (last > first) madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
    next.insert(next.end(), std::make_move_iterator(values.begin()), std::make_move_iterator(values.end()));
    values.swap(next);
}

struct StatementGuard {
    sqlite3_stmt* stmt;
    ~StatementGuard() { sqlite3_finalize(stmt); }
};

// A time of day with its fraction of seconds (scale digits, 7 when the declaration gives none)
// after a text of `whole` characters.
void fractionOfSeconds(ColumnType& t, int whole, long scale)
{
    t.numericScale = scale >= 0 && scale <= 7 ? int(scale) : 7;
    t.precision = whole + (t.numericScale > 0 ? 1 + t.numericScale : 0);
}

}   // namespace

ColumnType typeFromDeclared(const char* declared)
{
    ColumnType t;
    if (!declared || !*declared) return t;
    QString decl = QString::fromUtf8(declared).trimmed().toLower();
    // arguments "(n)" / "(p,s)" / "(max)"
    long a = -1, b = -1;
    bool isMax = false;
    const qsizetype open = decl.indexOf(u'(');
    if (open >= 0) {
        const qsizetype close = decl.indexOf(u')', open);
        const QString args = decl.mid(open + 1, close > open ? close - open - 1 : -1);
        const QStringList parts = args.split(u',');
        if (!parts.isEmpty()) {
            if (parts[0].trimmed() == u"max")
                isMax = true;
            else
                a = parts[0].trimmed().toLong();
        }
        if (parts.size() > 1) b = parts[1].trimmed().toLong();
        decl = decl.left(open).trimmed();
    }
    // words after the type name ("int primary key", "varchar collate …") do not matter here
    static const QStringList twoWord = {QStringLiteral("double precision"), QStringLiteral("unsigned big int")};
    QString name = decl.section(u' ', 0, 0);
    for (const auto& w : twoWord)
        if (decl.startsWith(w)) name = w;

    auto set = [&](DataType type, long size) {
        t.type = type;
        t.definedSize = size;
        t.known = true;
    };
    const long textMax = 2147483647;
    const long wideMax = 1073741823;
    if (name == u"int" || name == u"integer" || name == u"mediumint")
        set(DataType::Integer, 4);
    else if (name == u"smallint")
        set(DataType::SmallInt, 2);
    else if (name == u"tinyint")
        set(DataType::TinyInt, 1);
    else if (name == u"bigint" || name == u"unsigned big int" || name == u"int8")
        set(DataType::BigInt, 8);
    else if (name == u"bit" || name == u"boolean" || name == u"bool")
        set(DataType::Boolean, 2);
    else if (name == u"float" || name == u"double" || name == u"double precision")
        set(DataType::Double, 8);
    else if (name == u"real")
        set(DataType::Single, 4);
    else if (name == u"money" || name == u"smallmoney") {
        set(DataType::Currency, 8);
        t.precision = name == u"money" ? 19 : 10;
        t.numericScale = 4;
    } else if (name == u"numeric" || name == u"decimal") {
        set(DataType::Numeric, 19);
        t.precision = a > 0 ? int(a) : 18;
        t.numericScale = b >= 0 ? int(b) : 0;
    } else if (name == u"char" || name == u"character")
        set(DataType::Char, a > 0 ? a : 1);
    else if (name == u"varchar" || name == u"character varying" || name == u"varying")
        isMax ? set(DataType::LongVarChar, textMax) : set(DataType::VarChar, a > 0 ? a : 1);
    else if (name == u"text" || name == u"clob")
        set(DataType::LongVarChar, textMax);
    else if (name == u"nchar")
        set(DataType::WChar, a > 0 ? a : 1);
    else if (name == u"nvarchar")
        isMax ? set(DataType::LongVarWChar, wideMax) : set(DataType::VarWChar, a > 0 ? a : 1);
    else if (name == u"ntext")
        set(DataType::LongVarWChar, wideMax);
    else if (name == u"datetime" || name == u"smalldatetime" || name == u"datetime2" || name == u"timestamp") {
        set(DataType::DBTimeStamp, 16);
        // precision and scale as the server gives them: the text's length and its fraction digits
        if (name == u"datetime2") fractionOfSeconds(t, 19, a);
        if (name == u"datetime") fractionOfSeconds(t, 19, 3);
        if (name == u"smalldatetime") fractionOfSeconds(t, 19, 0);
    } else if (name == u"date") {
        set(DataType::DBDate, 6);
        t.precision = 10;
    } else if (name == u"time") {
        set(DataType::DBTime, 6);
        fractionOfSeconds(t, 8, a);
    }
    else if (name == u"binary")
        set(DataType::Binary, a > 0 ? a : 1);
    else if (name == u"varbinary")
        isMax ? set(DataType::LongVarBinary, textMax) : set(DataType::VarBinary, a > 0 ? a : 1);
    else if (name == u"image" || name == u"blob")
        set(DataType::LongVarBinary, textMax);
    else if (name == u"uniqueidentifier")
        set(DataType::Guid, 16);
    else if (name == u"sysname")
        set(DataType::VarWChar, 128);
    return t;
}

QString sqlStateFor(int resultCode, const QString& message)
{
    switch (resultCode & 0xff) {
    case SQLITE_INTERRUPT:
        return QStringLiteral("HY008");
    case SQLITE_CONSTRAINT:
        return QStringLiteral("23000");
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return QStringLiteral("HYT00");
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
        return QStringLiteral("08001");
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
        return QStringLiteral("42000");
    case SQLITE_TOOBIG:
        return QStringLiteral("22001");
    case SQLITE_MISMATCH:
        return QStringLiteral("22018");
    case SQLITE_RANGE:
        return QStringLiteral("07009");
    case SQLITE_ERROR:
        if (message.startsWith(u"no such table") || message.startsWith(u"no such view")) return QStringLiteral("42S02");
        if (message.startsWith(u"no such column")) return QStringLiteral("42S22");
        if (message.contains(u"already exists")) return QStringLiteral("42S01");
        if (message.contains(u"syntax error") || message.startsWith(u"incomplete input")
            || message.startsWith(u"unrecognized token"))
            return QStringLiteral("42000");
        return QStringLiteral("HY000");
    default:
        return QStringLiteral("HY000");
    }
}

SqliteSession::SqliteSession(sqlite3* db, QString source) : m_source(std::move(source))
{
    if (db) attach(db);
}

SqliteSession::~SqliteSession() { detach(); }

void SqliteSession::attach(sqlite3* db)
{
    detach();
    m_db = db;
    if (m_db) sqlite3_progress_handler(m_db, 1000, &SqliteSession::onProgress, this);
}

void SqliteSession::detach()
{
    if (m_db) sqlite3_progress_handler(m_db, 0, nullptr, nullptr);
    m_db = nullptr;
}

int SqliteSession::onProgress(void* self)
{
    return static_cast<SqliteSession*>(self)->m_cancel.load(std::memory_order_relaxed) ? 1 : 0;
}

void SqliteSession::cancel() { m_cancel.store(true); }

QString noRoomCause(int resultCode, int systemError)
{
    const int primary = resultCode & 0xff;
    if (primary != SQLITE_FULL && primary != SQLITE_IOERR && primary != SQLITE_CANTOPEN) return QString();
    const QString system = QString::fromLocal8Bit(std::strerror(systemError));
    switch (systemError) {
    case ENOSPC:
        return QStringLiteral("the disk is full (%1)").arg(system);
    case EDQUOT:
        return QStringLiteral("the disk quota is used up (%1)").arg(system);
    case EFBIG:
        return QStringLiteral("the file has reached the largest size allowed (%1)").arg(system);
    default:
        return primary == SQLITE_FULL ? QStringLiteral("the disk is full") : QString();
    }
}

QString noRoomMessage(sqlite3* db, int resultCode)
{
    if (!db) return QString();
    const QString cause = noRoomCause(resultCode, sqlite3_system_errno(db));
    if (cause.isEmpty()) return QString();
    const char* file = sqlite3_db_filename(db, "main");
    return QStringLiteral("The database file '%1' cannot be written: %2.")
        .arg(file && *file ? QString::fromUtf8(file) : QStringLiteral("(temporary)"), cause);
}

ProviderError SqliteSession::error(int resultCode) const
{
    ProviderError e;
    e.number = -long(resultCode & 0xff);
    e.nativeError = resultCode;
    e.source = m_source;
    if ((resultCode & 0xff) == SQLITE_INTERRUPT) {
        e.description = QStringLiteral("Operation canceled");
    } else if ((resultCode & 0xff) == SQLITE_NOMEM) {
        // The run-time's own error: the statement fails, the process goes on.
        e.number = kOutOfMemory;
        e.description = QStringLiteral("Out of memory");
    } else {
        const char* msg = m_db ? sqlite3_errmsg(m_db) : sqlite3_errstr(resultCode);
        e.description = QString::fromUtf8(msg);
        // "disk I/O error" says nothing of a disk without room: name the cause and the file.
        const QString noRoom = noRoomMessage(m_db, resultCode);
        if (!noRoom.isEmpty()) e.description = noRoom;
        if (m_db) {
            const int ext = sqlite3_extended_errcode(m_db);
            if ((ext & 0xff) == (resultCode & 0xff)) e.nativeError = ext;
        }
    }
    e.sqlState = sqlStateFor(resultCode, e.description);
    return e;
}

void SqliteSession::raise(int resultCode) const { throw ProviderFailure{{error(resultCode)}}; }

void SqliteSession::raise(const QString& sqlState, const QString& description, long number) const
{
    ProviderError e;
    e.number = number;
    e.sqlState = sqlState;
    e.description = description;
    e.source = m_source;
    throw ProviderFailure{{e}};
}

void SqliteSession::bind(sqlite3_stmt* stmt, int index, const QVariant& v)
{
    if (!v.isValid() || v.isNull()) {
        // a null QString/QByteArray is still a value: an empty text/blob
        if (v.typeId() == QMetaType::QString) {
            sqlite3_bind_text(stmt, index, "", 0, SQLITE_STATIC);
            return;
        }
        if (v.typeId() == QMetaType::QByteArray) {
            sqlite3_bind_zeroblob(stmt, index, 0);
            return;
        }
        if (!v.isValid()) {
            sqlite3_bind_null(stmt, index);
            return;
        }
    }
    if (const auto d = decimalOf(v)) {
        // stored as the server's NUMERIC affinity stores it: whole numbers as integers
        if (d->scale() == 0 || d->tryRescaled(0) == d) {
            const qlonglong n = d->toLongLong();
            if (Decimal::fromInteger(n) == *d) {
                sqlite3_bind_int64(stmt, index, n);
                return;
            }
        }
        sqlite3_bind_double(stmt, index, d->toDouble());
        return;
    }
    switch (v.typeId()) {
    case QMetaType::Bool:
        sqlite3_bind_int(stmt, index, v.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        sqlite3_bind_int64(stmt, index, v.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt, index, v.toDouble());
        break;
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        sqlite3_bind_blob(stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDate:
        sqlite3_bind_text(
            stmt, index, v.toDate().toString(QStringLiteral("yyyy-MM-dd")).toUtf8().constData(), -1, SQLITE_TRANSIENT);
        break;
    case QMetaType::QTime: {
        const QTime t = v.toTime();
        const QString s = t.toString(t.msec() ? QStringLiteral("HH:mm:ss.zzz") : QStringLiteral("HH:mm:ss"));
        sqlite3_bind_text(stmt, index, s.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        const QString s = dt.toString(
            dt.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz") : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        sqlite3_bind_text(stmt, index, s.toUtf8().constData(), -1, SQLITE_TRANSIENT);
        break;
    }
    default: {
        const QByteArray u = v.toString().toUtf8();
        sqlite3_bind_text(stmt, index, u.constData(), int(u.size()), SQLITE_TRANSIENT);
        break;
    }
    }
}

ResultSet SqliteSession::run(sqlite3_stmt* st, const QStringList& declaredTypes, long maxRows)
{
    ResultSet rs;
    const int cols = sqlite3_column_count(st);
    if (cols == 0) {
        const sqlite3_int64 before = sqlite3_total_changes64(m_db);
        for (;;) {
            const int rc = sqlite3_step(st);
            if (rc == SQLITE_DONE) break;
            if (rc != SQLITE_ROW) raise(rc);
        }
        rs.hasRows = false;
        if (!sqlite3_stmt_readonly(st))
            rs.recordsAffected = sqlite3_total_changes64(m_db) != before ? long(sqlite3_changes64(m_db)) : 0;
        return rs;
    }

    rs.hasRows = true;
    rs.fields.resize(size_t(cols));
    std::vector<Reader> readers(static_cast<size_t>(cols), Reader::Dynamic);
    std::vector<int> scales(static_cast<size_t>(cols), 0);
    for (int i = 0; i < cols; ++i) {
        FieldInfo& f = rs.fields[size_t(i)];
        f.name = QString::fromUtf8(sqlite3_column_name(st, i));
        const char* declared = sqlite3_column_decltype(st, i);
        QByteArray given;
        if (!declared && i < declaredTypes.size() && !declaredTypes.at(i).isEmpty()) {
            given = declaredTypes.at(i).toUtf8();
            declared = given.constData();
        }
        const ColumnType t = typeFromDeclared(declared);
        f.type = t.type;
        f.definedSize = t.definedSize;
        f.precision = t.precision;
        f.numericScale = t.numericScale;
        readers[size_t(i)] = readerFor(t);
        scales[size_t(i)] = t.numericScale;
    }

    rs.values.reserve(size_t(cols) * 64);
    for (long taken = 0; maxRows < 0 || taken < maxRows; ++taken) {
        const int rc = sqlite3_step(st);
        if (rc == SQLITE_DONE) break;
        if (rc != SQLITE_ROW) raise(rc);
        if (rs.values.capacity() - rs.values.size() < size_t(cols)) grow(rs.values, rs.values.capacity() * 2);
        for (int i = 0; i < cols; ++i) rs.values.emplace_back(readCell(st, i, readers[size_t(i)], scales[size_t(i)]));
    }
    for (int i = 0; i < cols; ++i)
        if (readers[size_t(i)] == Reader::Dynamic) typeByValues(rs, size_t(i));
    return rs;
}

ExecuteResult SqliteSession::execute(const QString& sql, const QList<Parameter>& params)
{
    if (!m_db) raise(QStringLiteral("08003"), QStringLiteral("Connection not open"));
    resetCancel();
    ExecuteResult result;
    const QByteArray text = sql.toUtf8();
    const char* p = text.constData();
    const char* end = p + text.size();
    qsizetype nextParam = 0;
    while (p < end) {
        if (cancelRequested()) raise(SQLITE_INTERRUPT);
        sqlite3_stmt* st = nullptr;
        const char* tail = nullptr;
        const int rc = sqlite3_prepare_v2(m_db, p, int(end - p), &st, &tail);
        if (rc != SQLITE_OK) {
            sqlite3_finalize(st);
            raise(rc);
        }
        p = tail ? tail : end;
        if (!st) continue;   // only blanks or comments were left
        StatementGuard guard{st};
        const int markers = sqlite3_bind_parameter_count(st);
        for (int i = 1; i <= markers; ++i) {
            if (nextParam >= params.size())
                raise(QStringLiteral("07002"),
                    QStringLiteral("COUNT field incorrect: the statement has more parameter markers "
                                   "than values were given (%1)")
                        .arg(params.size()));
            bind(st, i, params[nextParam++]);
        }
        result.sets.push_back(run(st));
    }
    if (nextParam < params.size())
        raise(QStringLiteral("07002"),
            QStringLiteral("COUNT field incorrect: %1 values were given for %2 parameter markers")
                .arg(params.size())
                .arg(nextParam));
    return result;
}

}   // namespace orra::db::sqlite
