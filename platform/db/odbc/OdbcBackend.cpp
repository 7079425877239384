#include "platform/db/odbc/OdbcBackend.h"

#include "platform/db/Connection.h"
#include "platform/db/Decimal.h"
#include "platform/db/ServerConnectionText.h"
#include "platform/db/embedded/Server.h"

#include <QDate>
#include <QFileInfo>
#include <QStringList>
#include <QDateTime>
#include <QTime>
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace orra::db::odbc {

static_assert(sizeof(SQLWCHAR) == sizeof(char16_t), "unixODBC with 16-bit SQLWCHAR expected");

namespace {

const QString kSource = QStringLiteral("ODBC");

SQLWCHAR* w(const QString& s)
{
    return reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(reinterpret_cast<const char16_t*>(s.utf16())));
}

QString fromW(const SQLWCHAR* p, qsizetype chars) { return QString(reinterpret_cast<const QChar*>(p), chars); }

bool isWarningState(const QString& state) { return state.startsWith(u"01"); }

// The names of the drivers registered with the driver manager (its odbcinst.ini).
QStringList registeredDrivers(SQLHENV env)
{
    QStringList names;
    SQLWCHAR name[512];
    SQLWCHAR attributes[4096];
    SQLSMALLINT nameLength = 0, attributesLength = 0;
    for (SQLUSMALLINT direction = SQL_FETCH_FIRST;; direction = SQL_FETCH_NEXT) {
        const SQLRETURN rc = SQLDriversW(env, direction, name, SQLSMALLINT(std::size(name)), &nameLength, attributes,
            SQLSMALLINT(std::size(attributes)), &attributesLength);
        if (!SQL_SUCCEEDED(rc)) break;
        names.append(fromW(name, std::min<qsizetype>(nameLength, qsizetype(std::size(name)) - 1)));
    }
    return names;
}

// True when value, read as a path (or a "file:" name), lies inside the embedded servers'
// folder: a driver that opens files (the SQLite one) must not reach their databases.
bool namesServerFile(QString value)
{
    value = value.trimmed();
    if (value.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) value = value.mid(5).section(u'?', 0, 0);
    if (value.isEmpty()) return false;
    const QString root = QFileInfo(embedded::serversRoot()).canonicalFilePath();
    if (root.isEmpty()) return false;
    QFileInfo file(value);
    // a file that is not there yet would be made in its folder
    QString where = file.exists() ? file.canonicalFilePath() : QFileInfo(file.absolutePath()).canonicalFilePath();
    return !where.isEmpty() && (where == root || where.startsWith(root + u'/'));
}

[[noreturn]] void refuseText(const QString& description)
{
    throw ProviderFailure{{ProviderError{-1, QStringLiteral("IM002"), description, kSource, 0}}};
}

// A connection text may come from a script or a document: it names a registered driver, and
// nothing in it makes the driver manager or a driver load or write a file of its choosing.
void checkConnectionText(SQLHENV env, const ConnectionString& cs)
{
    for (const char* key : {"FILEDSN", "SAVEFILE", "LoadExt"})
        if (cs.contains(QLatin1String(key)))
            refuseText(QStringLiteral("The connection text may not name a file with '%1='.").arg(QLatin1String(key)));
    for (const auto& item : cs.items())
        if (namesServerFile(item.second))
            refuseText(QStringLiteral("The connection text names a file of the embedded servers ('%1'): they are "
                                      "reached by their server's name.")
                           .arg(item.second));
    if (!cs.contains(QStringLiteral("Driver"))) return;
    QString driver = resolveDriverName(cs.value(QStringLiteral("Driver")));
    while (driver.size() >= 2 && driver.front() == u'{' && driver.back() == u'}')
        driver = driver.mid(1, driver.size() - 2).trimmed();
    if (driver.contains(u'/') || driver.contains(u'\\'))
        refuseText(QStringLiteral("The ODBC driver '%1' is named by a path: a driver is named as it is registered "
                                  "with the ODBC driver manager, never by its library.")
                       .arg(driver));
    if (!registeredDrivers(env).contains(driver, Qt::CaseInsensitive))
        refuseText(QStringLiteral("The ODBC driver '%1' is not registered with the ODBC driver manager.").arg(driver));
}

QList<ProviderError> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool allMessages);

}   // namespace

QList<ProviderError> OdbcBackend::diagnostics(short handleType, void* handle, bool succeededWithInfo)
{
    return odbc::diagnostics(handleType, handle, succeededWithInfo);
}

namespace {

// Every diagnostic record of a handle.
QList<ProviderError> diagnostics(SQLSMALLINT handleType, SQLHANDLE handle, bool allMessages)
{
    QList<ProviderError> out;
    if (!handle) return out;
    for (SQLSMALLINT rec = 1;; ++rec) {
        SQLWCHAR state[8] = {};
        SQLINTEGER native = 0;
        std::vector<SQLWCHAR> msg(1024);
        SQLSMALLINT len = 0;
        SQLRETURN rc =
            SQLGetDiagRecW(handleType, handle, rec, state, &native, msg.data(), SQLSMALLINT(msg.size()), &len);
        if (rc == SQL_NO_DATA || !SQL_SUCCEEDED(rc)) break;
        if (len >= SQLSMALLINT(msg.size())) {
            msg.resize(size_t(len) + 1);
            rc = SQLGetDiagRecW(handleType, handle, rec, state, &native, msg.data(), SQLSMALLINT(msg.size()), &len);
            if (!SQL_SUCCEEDED(rc)) break;
        }
        ProviderError e;
        e.sqlState = fromW(state, 5);
        e.nativeError = native;
        e.description = fromW(msg.data(), std::min<qsizetype>(len, qsizetype(msg.size()) - 1));
        e.source = kSource;
        if (allMessages || isWarningState(e.sqlState))
            e.number = 0;
        else
            e.number = native > 0 ? -long(native) : (native < 0 ? long(native) : -1);
        out.append(e);
    }
    // a failed call whose records are all of class "01" still failed: they are its errors
    if (!allMessages && std::all_of(out.begin(), out.end(), [](const ProviderError& e) { return e.number == 0; }))
        for (auto& e : out)
            e.number = e.nativeError > 0 ? -long(e.nativeError) : (e.nativeError < 0 ? long(e.nativeError) : -1);
    return out;
}

[[noreturn]] void raiseDiag(
    SQLSMALLINT handleType, SQLHANDLE handle, const QString& fallbackState, const QString& fallbackText)
{
    ProviderFailure f{diagnostics(handleType, handle, false)};
    bool anyError = false;
    for (const auto& e : f.errors) anyError = anyError || e.number != 0;
    if (!anyError) {
        ProviderError e;
        e.number = -1;
        e.sqlState = fallbackState;
        e.description = fallbackText;
        e.source = kSource;
        f.errors.append(e);
    }
    throw f;
}

ProviderError cancelledError()
{
    ProviderError e;
    e.number = -1;
    e.sqlState = QStringLiteral("HY008");
    e.description = QStringLiteral("Operation canceled");
    e.source = kSource;
    return e;
}

[[noreturn]] void raiseCancelled() { throw ProviderFailure{{cancelledError()}}; }

DataType mapType(SQLSMALLINT sqlType, SQLULEN size, const QString& typeName, long& definedSize)
{
    const QString tn = typeName.toLower();
    // Exact types by their name too: some drivers describe them as text or double.
    if (tn == u"money" || tn == u"smallmoney") {
        definedSize = 8;
        return DataType::Currency;
    }
    if (tn == u"decimal" || tn == u"numeric") {
        definedSize = 19;
        return DataType::Numeric;
    }
    switch (sqlType) {
    case SQL_INTEGER:
        definedSize = 4;
        return DataType::Integer;
    case SQL_SMALLINT:
        definedSize = 2;
        return DataType::SmallInt;
    case SQL_TINYINT:
        definedSize = 1;
        return DataType::TinyInt;
    case SQL_BIGINT:
        definedSize = 8;
        return DataType::BigInt;
    case SQL_BIT:
        definedSize = 2;
        return DataType::Boolean;
    case SQL_DOUBLE:
    case SQL_FLOAT:
        definedSize = 8;
        return DataType::Double;
    case SQL_REAL:
        definedSize = 4;
        return DataType::Single;
    case SQL_NUMERIC:
    case SQL_DECIMAL:
        if (tn == u"money" || tn == u"smallmoney") {
            definedSize = 8;
            return DataType::Currency;
        }
        definedSize = 19;
        return DataType::Numeric;
    case SQL_CHAR:
        definedSize = long(size);
        return DataType::Char;
    case SQL_VARCHAR:
        if (size == 0 || size > 8000) {
            definedSize = 2147483647;
            return DataType::LongVarChar;
        }
        definedSize = long(size);
        return DataType::VarChar;
    case SQL_LONGVARCHAR:
        definedSize = 2147483647;
        return DataType::LongVarChar;
    case SQL_WCHAR:
        definedSize = long(size);
        return DataType::WChar;
    case SQL_WVARCHAR:
        if (size == 0 || size > 4000) {
            definedSize = 1073741823;
            return DataType::LongVarWChar;
        }
        definedSize = long(size);
        return DataType::VarWChar;
    case SQL_WLONGVARCHAR:
        definedSize = 1073741823;
        return DataType::LongVarWChar;
    case SQL_TYPE_DATE:
    case SQL_DATE:
        definedSize = 6;
        return DataType::DBDate;
    case SQL_TYPE_TIME:
    case SQL_TIME:
        definedSize = 6;
        return DataType::DBTime;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP:
        definedSize = 16;
        return DataType::DBTimeStamp;
    case SQL_BINARY:
        definedSize = long(size);
        return DataType::Binary;
    case SQL_VARBINARY:
        if (size == 0 || size > 8000) {
            definedSize = 2147483647;
            return DataType::LongVarBinary;
        }
        definedSize = long(size);
        return DataType::VarBinary;
    case SQL_LONGVARBINARY:
        definedSize = 2147483647;
        return DataType::LongVarBinary;
    case SQL_GUID:
        definedSize = 16;
        return DataType::Guid;
    default:
        definedSize = long(size);
        return DataType::VarChar;
    }
}

// money is 19 digits, smallmoney 10.
int definedPrecisionOfMoney(SQLULEN size) { return size > 0 && size <= 10 ? 10 : 19; }

// Reads a long text or binary value in pieces. Returns false for NULL.
template <typename Unit> bool readLong(SQLHSTMT stmt, SQLUSMALLINT col, SQLSMALLINT cType, std::vector<Unit>& out)
{
    out.clear();
    Unit buf[4096];
    const size_t terminator = cType == SQL_C_BINARY ? 0 : 1;
    for (;;) {
        SQLLEN ind = 0;
        const SQLRETURN rc = SQLGetData(stmt, col, cType, buf, sizeof buf, &ind);
        if (rc == SQL_NO_DATA) return true;
        if (!SQL_SUCCEEDED(rc))
            raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("HY000"), QStringLiteral("SQLGetData failed"));
        if (ind == SQL_NULL_DATA) return false;
        const size_t capacity = sizeof buf / sizeof(Unit) - terminator;
        size_t got;
        if (rc == SQL_SUCCESS_WITH_INFO && (ind == SQL_NO_TOTAL || size_t(ind) / sizeof(Unit) > capacity))
            got = capacity;   // truncated: more follows
        else
            got = size_t(ind) / sizeof(Unit);
        out.insert(out.end(), buf, buf + got);
        if (rc == SQL_SUCCESS) return true;
        if (got < capacity) return true;
    }
}

using Reader = ValueKind;

Reader readerFor(DataType t) { return valueKindOf(t); }

QVariant readCell(SQLHSTMT stmt, SQLUSMALLINT col, Reader reader, int scale)
{
    SQLLEN ind = 0;
    auto check = [&](SQLRETURN rc) {
        if (!SQL_SUCCEEDED(rc))
            raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("HY000"), QStringLiteral("SQLGetData failed"));
    };
    switch (reader) {
    case Reader::Int32:
    case Reader::Int64: {
        SQLBIGINT v = 0;
        check(SQLGetData(stmt, col, SQL_C_SBIGINT, &v, sizeof v, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        if (reader == Reader::Int32 && v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max())
            return QVariant(int(v));
        return QVariant(qlonglong(v));
    }
    case Reader::Bool: {
        unsigned char v = 0;
        check(SQLGetData(stmt, col, SQL_C_BIT, &v, sizeof v, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        return QVariant(v != 0);
    }
    case Reader::Exact: {
        // as text, so that no digit goes through a double
        std::vector<SQLWCHAR> chars;
        if (!readLong(stmt, col, SQL_C_WCHAR, chars)) return QVariant();
        const QString s = fromW(chars.data(), qsizetype(chars.size()));
        if (const auto parsed = Decimal::parse(s))
            if (const auto d = scale < 0 ? parsed : parsed->tryRescaled(scale)) return decimalVariant(*d);
        bool ok = false;
        const double v = s.trimmed().toDouble(&ok);
        return ok ? QVariant(v) : QVariant(s);
    }
    case Reader::Real: {
        double v = 0;
        check(SQLGetData(stmt, col, SQL_C_DOUBLE, &v, sizeof v, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        return QVariant(v);
    }
    case Reader::Date: {
        SQL_DATE_STRUCT d{};
        check(SQLGetData(stmt, col, SQL_C_TYPE_DATE, &d, sizeof d, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        return QVariant(QDate(d.year, d.month, d.day));
    }
    case Reader::Time: {
        SQL_TIME_STRUCT t{};
        check(SQLGetData(stmt, col, SQL_C_TYPE_TIME, &t, sizeof t, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        return QVariant(QTime(t.hour, t.minute, t.second));
    }
    case Reader::DateTime: {
        SQL_TIMESTAMP_STRUCT t{};
        check(SQLGetData(stmt, col, SQL_C_TYPE_TIMESTAMP, &t, sizeof t, &ind));
        if (ind == SQL_NULL_DATA) return QVariant();
        return QVariant(QDateTime(
            QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second, int(t.fraction / 1000000)), Qt::UTC));
    }
    case Reader::Blob: {
        std::vector<char> bytes;
        if (!readLong(stmt, col, SQL_C_BINARY, bytes)) return QVariant();
        return QVariant(QByteArray(bytes.data(), qsizetype(bytes.size())));
    }
    case Reader::Text:
    case Reader::Dynamic:   // the driver always names a type: read what it does not map as text
    case Reader::Guid: {
        std::vector<SQLWCHAR> chars;
        if (!readLong(stmt, col, SQL_C_WCHAR, chars)) return QVariant();
        QString s = fromW(chars.data(), qsizetype(chars.size()));
        if (reader == Reader::Guid) {
            if (s.size() == 36) s = u'{' + s + u'}';
            s = s.toUpper();
        }
        return QVariant(s);
    }
    }
    return QVariant();
}

// Buffers for bound parameters: they must stay put until the statement has run.
struct ParamBuffer {
    SQLLEN ind = 0;
    SQLBIGINT i = 0;
    double d = 0;
    unsigned char bit = 0;
    SQL_TIMESTAMP_STRUCT ts{};
    SQL_DATE_STRUCT date{};
    QString text;
    QByteArray bytes;
};

void bindParameter(SQLHSTMT stmt, SQLUSMALLINT index, const QVariant& v, ParamBuffer& b)
{
    SQLRETURN rc;
    if (const auto d = decimalOf(v)) {
        // exact: as its digits, typed decimal(38, scale)
        b.text = d->toString();
        b.ind = SQLLEN(b.text.size()) * SQLLEN(sizeof(SQLWCHAR));
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_DECIMAL, 38, SQLSMALLINT(d->scale()),
            w(b.text), b.ind, &b.ind);
        if (!SQL_SUCCEEDED(rc))
            raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("07009"), QStringLiteral("Parameter binding failed"));
        return;
    }
    switch (v.isValid() ? v.typeId() : QMetaType::UnknownType) {
    case QMetaType::UnknownType:
        b.ind = SQL_NULL_DATA;
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 1, 0, nullptr, 0, &b.ind);
        break;
    case QMetaType::Bool:
        b.bit = v.toBool() ? 1 : 0;
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &b.bit, 0, &b.ind);
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
    case QMetaType::UChar: {
        b.i = v.toLongLong();
        const bool fits = b.i >= std::numeric_limits<int>::min() && b.i <= std::numeric_limits<int>::max();
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_SBIGINT, fits ? SQL_INTEGER : SQL_BIGINT,
            fits ? 10 : 19, 0, &b.i, 0, &b.ind);
        break;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        b.d = v.toDouble();
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 15, 0, &b.d, 0, &b.ind);
        break;
    case QMetaType::QByteArray:
        b.bytes = v.toByteArray();
        b.ind = SQLLEN(b.bytes.size());
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_BINARY, SQL_VARBINARY,
            SQLULEN(std::max<qsizetype>(b.bytes.size(), 1)), 0, b.bytes.data(), b.ind, &b.ind);
        break;
    case QMetaType::QDate: {
        const QDate d = v.toDate();
        b.date = SQL_DATE_STRUCT{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day())};
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &b.date, 0, &b.ind);
        break;
    }
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        const QDate d = dt.date();
        const QTime t = dt.time();
        b.ts = SQL_TIMESTAMP_STRUCT{SQLSMALLINT(d.year()), SQLUSMALLINT(d.month()), SQLUSMALLINT(d.day()),
            SQLUSMALLINT(t.hour()), SQLUSMALLINT(t.minute()), SQLUSMALLINT(t.second()),
            SQLUINTEGER(t.msec()) * 1000000u};
        rc = SQLBindParameter(
            stmt, index, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 23, 3, &b.ts, 0, &b.ind);
        break;
    }
    default: {
        b.text = v.toString();
        b.ind = SQLLEN(b.text.size()) * SQLLEN(sizeof(SQLWCHAR));
        rc = SQLBindParameter(stmt, index, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR,
            SQLULEN(std::max<qsizetype>(b.text.size(), 1)), 0, w(b.text), b.ind, &b.ind);
        break;
    }
    }
    if (!SQL_SUCCEEDED(rc))
        raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("07009"), QStringLiteral("Parameter binding failed"));
}

struct StatementHandle {
    SQLHSTMT stmt = nullptr;
    std::mutex& mutex;
    void*& slot;
    StatementHandle(SQLHDBC dbc, std::mutex& m, void*& running) : mutex(m), slot(running)
    {
        if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt)))
            raiseDiag(SQL_HANDLE_DBC, dbc, QStringLiteral("HY001"), QStringLiteral("Cannot allocate a statement"));
        std::lock_guard lock(mutex);
        slot = stmt;
    }
    ~StatementHandle()
    {
        {
            std::lock_guard lock(mutex);
            slot = nullptr;
        }
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
    }
};

}   // namespace

OdbcBackend::OdbcBackend() = default;

OdbcBackend::~OdbcBackend() { close(); }

QString OdbcBackend::driverConnectionText(const ConnectionString& source, const QString& user, const QString& password)
{
    auto is = [](const QString& key, const char* name) {
        return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    };
    ConnectionString cs;
    // A text in the manner of an OLE DB provider names no driver: SQL Server's is meant.
    if (!source.contains(QStringLiteral("Driver")) && !source.contains(QStringLiteral("DSN")))
        cs.set(QStringLiteral("Driver"), resolveDriverName(QStringLiteral("SQL Server")));
    bool sawUid = false, sawPwd = false;
    for (const auto& [key, value] : source.items()) {
        QString k = key;
        QString v = value;
        if (is(k, "Provider") || is(k, "Persist Security Info") || is(k, "OLE DB Services") || is(k, "Prompt")
            || is(k, "Initial File Name"))
            continue;
        if (is(k, "Driver"))
            v = resolveDriverName(v);
        else if (ConnectionString::isServerKey(k)) {
            // One Server, the one the text names.
            if (cs.contains(QStringLiteral("Server"))) continue;
            k = QStringLiteral("Server");
            v = source.server();
        } else if (is(k, "Integrated Security")) {
            if (!source.trusted() || source.contains(QStringLiteral("Trusted_Connection"))) continue;
            k = QStringLiteral("Trusted_Connection");
            v = QStringLiteral("Yes");
        } else if (is(k, "Initial Catalog") && !source.contains(QStringLiteral("Database")))
            k = QStringLiteral("Database");
        else if (is(k, "UID") || is(k, "User ID")) {
            k = QStringLiteral("UID");
            sawUid = true;
            if (!user.isEmpty()) v = user;
        } else if (is(k, "PWD") || is(k, "Password")) {
            k = QStringLiteral("PWD");
            sawPwd = true;
            if (!password.isEmpty()) v = password;
        }
        cs.set(k, v);
    }
    if (!sawUid && !user.isEmpty()) cs.set(QStringLiteral("UID"), user);
    if (!sawPwd && !password.isEmpty()) cs.set(QStringLiteral("PWD"), password);
    // the driver name is always braced, as drivers expect
    QString text;
    for (const auto& [key, value] : cs.items()) {
        text += key;
        text += u'=';
        if (is(key, "Driver")) {
            QString d = value;
            d.replace(QStringLiteral("}"), QStringLiteral("}}"));
            text += u'{' + d + u'}';
        } else {
            text += ConnectionString::quoteValue(value);
        }
        text += u';';
    }
    return text;
}

void OdbcBackend::open(const ConnectionString& cs, const QString& user, const QString& password)
{
    close();
    m_openMessages.clear();
    SQLHENV env = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
        ProviderError e{-1, QStringLiteral("HY001"), QStringLiteral("Cannot allocate an ODBC environment"), kSource, 0};
        throw ProviderFailure{{e}};
    }
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLHDBC dbc = nullptr;
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        ProviderError e{-1, QStringLiteral("HY001"), QStringLiteral("Cannot allocate an ODBC connection"), kSource, 0};
        throw ProviderFailure{{e}};
    }
    try {
        checkConnectionText(env, cs);
    } catch (const ProviderFailure&) {
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        throw;
    }
    const QString text = driverConnectionText(cs, user, password);
    SQLWCHAR out[1024];
    SQLSMALLINT outLen = 0;
    const SQLRETURN rc = SQLDriverConnectW(
        dbc, nullptr, w(text), SQL_NTS, out, SQLSMALLINT(std::size(out)), &outLen, SQL_DRIVER_NOPROMPT);
    if (!SQL_SUCCEEDED(rc)) {
        ProviderFailure f{diagnostics(SQL_HANDLE_DBC, dbc, false)};
        SQLFreeHandle(SQL_HANDLE_DBC, dbc);
        SQLFreeHandle(SQL_HANDLE_ENV, env);
        if (f.errors.isEmpty())
            f.errors.append(ProviderError{-1, QStringLiteral("08001"), QStringLiteral("Cannot connect"), kSource, 0});
        throw f;
    }
    if (rc == SQL_SUCCESS_WITH_INFO) m_openMessages = diagnostics(SQL_HANDLE_DBC, dbc, true);
    m_env = env;
    m_dbc = dbc;
}

void OdbcBackend::close()
{
    if (m_dbc) {
        SQLDisconnect(m_dbc);
        SQLFreeHandle(SQL_HANDLE_DBC, m_dbc);
        m_dbc = nullptr;
    }
    if (m_env) {
        SQLFreeHandle(SQL_HANDLE_ENV, m_env);
        m_env = nullptr;
    }
}

ExecuteResult OdbcBackend::execute(const QString& sql, const QList<Parameter>& params)
{
    try {
        return run(sql, params);
    } catch (ProviderFailure& f) {
        // whatever the driver said about an interrupted call, the caller asked for it
        if (m_cancel && (f.errors.isEmpty() || f.errors.front().sqlState != u"HY008"))
            f.errors.prepend(cancelledError());
        throw;
    }
}

ExecuteResult OdbcBackend::run(const QString& sql, const QList<Parameter>& params)
{
    if (!m_dbc) {
        ProviderError e{-1, QStringLiteral("08003"), QStringLiteral("Connection not open"), kSource, 0};
        throw ProviderFailure{{e}};
    }
    m_cancel = false;
    StatementHandle h(m_dbc, m_stmtMutex, m_stmt);
    SQLHSTMT stmt = h.stmt;
    std::vector<ParamBuffer> buffers(size_t(params.size()));
    for (qsizetype i = 0; i < params.size(); ++i)
        bindParameter(stmt, SQLUSMALLINT(i + 1), params[i], buffers[size_t(i)]);

    ExecuteResult result;
    SQLRETURN rc = SQLExecDirectW(stmt, w(sql), SQL_NTS);
    if (rc == SQL_ERROR || rc == SQL_INVALID_HANDLE || rc == SQL_NEED_DATA)
        raiseDiag(SQL_HANDLE_STMT, stmt, m_cancel ? QStringLiteral("HY008") : QStringLiteral("HY000"),
            m_cancel ? QStringLiteral("Operation canceled") : QStringLiteral("The statement failed"));
    for (;;) {
        if (rc == SQL_SUCCESS_WITH_INFO) result.messages += diagnostics(SQL_HANDLE_STMT, stmt, true);
        SQLSMALLINT cols = 0;
        if (rc != SQL_NO_DATA && !SQL_SUCCEEDED(SQLNumResultCols(stmt, &cols)))
            raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("HY000"), QStringLiteral("SQLNumResultCols failed"));
        ResultSet rs;
        if (cols == 0) {
            SQLLEN count = -1;
            if (rc != SQL_NO_DATA)
                SQLRowCount(stmt, &count);
            else
                count = 0;
            rs.recordsAffected = long(count);
        } else {
            rs.hasRows = true;
            rs.fields.resize(size_t(cols));
            std::vector<Reader> readers(static_cast<size_t>(cols), Reader::Text);
            std::vector<int> scales(static_cast<size_t>(cols), 0);
            for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(cols); ++c) {
                SQLWCHAR name[512];
                SQLSMALLINT nameLen = 0, sqlType = 0, digits = 0, nullable = 0;
                SQLULEN size = 0;
                if (!SQL_SUCCEEDED(SQLDescribeColW(
                        stmt, c, name, SQLSMALLINT(std::size(name)), &nameLen, &sqlType, &size, &digits, &nullable)))
                    raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("HY000"), QStringLiteral("SQLDescribeCol failed"));
                SQLWCHAR typeName[128] = {};
                SQLSMALLINT typeNameLen = 0;
                SQLColAttributeW(stmt, c, SQL_DESC_TYPE_NAME, typeName, sizeof typeName, &typeNameLen, nullptr);
                FieldInfo& f = rs.fields[c - 1];
                f.name = fromW(name, std::min<qsizetype>(nameLen, qsizetype(std::size(name)) - 1));
                f.type = mapType(sqlType, size, fromW(typeName, qsizetype(typeNameLen) / qsizetype(sizeof(SQLWCHAR))),
                    f.definedSize);
                if (f.type == DataType::Numeric) {
                    f.precision = std::clamp(int(size), 1, 38);
                    f.numericScale = std::clamp(int(digits), 0, f.precision);
                    // a driver that describes a decimal as something else gives no scale:
                    // each value keeps its own
                    if (sqlType != SQL_DECIMAL && sqlType != SQL_NUMERIC) f.numericScale = -1;
                } else if (f.type == DataType::Currency) {
                    f.precision = definedPrecisionOfMoney(size);
                    f.numericScale = 4;
                }
                readers[c - 1] = readerFor(f.type);
                scales[c - 1] = f.numericScale;
                f.numericScale = std::max(f.numericScale, 0);
            }
            for (;;) {
                if (m_cancel) raiseCancelled();
                const SQLRETURN frc = SQLFetch(stmt);
                if (frc == SQL_NO_DATA) break;
                if (!SQL_SUCCEEDED(frc))
                    raiseDiag(SQL_HANDLE_STMT, stmt, m_cancel ? QStringLiteral("HY008") : QStringLiteral("HY000"),
                        m_cancel ? QStringLiteral("Operation canceled") : QStringLiteral("SQLFetch failed"));
                if (frc == SQL_SUCCESS_WITH_INFO) result.messages += diagnostics(SQL_HANDLE_STMT, stmt, true);
                for (SQLUSMALLINT c = 1; c <= SQLUSMALLINT(cols); ++c)
                    rs.values.push_back(readCell(stmt, c, readers[c - 1], scales[c - 1]));
            }
        }
        result.sets.push_back(std::move(rs));
        if (m_cancel) raiseCancelled();
        rc = SQLMoreResults(stmt);
        if (rc == SQL_NO_DATA) break;
        if (!SQL_SUCCEEDED(rc))
            raiseDiag(SQL_HANDLE_STMT, stmt, QStringLiteral("HY000"), QStringLiteral("SQLMoreResults failed"));
    }
    return result;
}

void OdbcBackend::beginTransaction()
{
    const SQLRETURN rc = SQLSetConnectAttrW(
        m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), SQL_IS_UINTEGER);
    if (!SQL_SUCCEEDED(rc))
        raiseDiag(SQL_HANDLE_DBC, m_dbc, QStringLiteral("HYC00"), QStringLiteral("Transactions are not supported"));
}

void OdbcBackend::endTransaction(bool commit)
{
    const SQLRETURN rc = SQLEndTran(SQL_HANDLE_DBC, m_dbc, commit ? SQL_COMMIT : SQL_ROLLBACK);
    QList<ProviderError> errors;
    if (!SQL_SUCCEEDED(rc)) errors = diagnostics(SQL_HANDLE_DBC, m_dbc, false);
    SQLSetConnectAttrW(m_dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_ON), SQL_IS_UINTEGER);
    if (!SQL_SUCCEEDED(rc)) {
        if (errors.isEmpty())
            errors.append(ProviderError{
                -1, QStringLiteral("HY000"), QStringLiteral("The transaction could not end"), kSource, 0});
        throw ProviderFailure{errors};
    }
}

void OdbcBackend::commit() { endTransaction(true); }

void OdbcBackend::rollback() { endTransaction(false); }

void OdbcBackend::cancel()
{
    m_cancel = true;
    std::lock_guard lock(m_stmtMutex);
    if (m_stmt) SQLCancel(m_stmt);
}

QString OdbcBackend::property(const QString& name) const
{
    if (!m_dbc) return QString();
    auto info = [&](SQLUSMALLINT what) {
        SQLWCHAR buf[512] = {};
        SQLSMALLINT len = 0;
        if (!SQL_SUCCEEDED(SQLGetInfoW(m_dbc, what, buf, sizeof buf, &len))) return QString();
        return fromW(buf, std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(buf)) - 1));
    };
    if (name.compare(u"Server Name", Qt::CaseInsensitive) == 0) return info(SQL_SERVER_NAME);
    if (name.compare(u"Current Catalog", Qt::CaseInsensitive) == 0) {
        SQLWCHAR buf[512] = {};
        SQLINTEGER len = 0;
        if (SQL_SUCCEEDED(SQLGetConnectAttrW(m_dbc, SQL_ATTR_CURRENT_CATALOG, buf, sizeof buf, &len)) && len > 0)
            return fromW(buf, std::min<qsizetype>(len / qsizetype(sizeof(SQLWCHAR)), qsizetype(std::size(buf)) - 1));
        return info(SQL_DATABASE_NAME);
    }
    if (name.compare(u"DBMS Name", Qt::CaseInsensitive) == 0) return info(SQL_DBMS_NAME);
    if (name.compare(u"DBMS Version", Qt::CaseInsensitive) == 0) return info(SQL_DBMS_VER);
    if (name.compare(u"User Name", Qt::CaseInsensitive) == 0) return info(SQL_USER_NAME);
    return QString();
}

}   // namespace orra::db::odbc
