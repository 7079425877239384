#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/Cursors.h"
#include "platform/db/embedded/ColumnTypes.h"
#include "platform/db/embedded/ConstraintMessages.h"
#include "platform/db/embedded/ExpressionFunctions.h"
#include "platform/db/embedded/functions/ScalarFunctions.h"
#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/functions/BinaryConversions.h"
#include "platform/db/embedded/functions/ExactNumbers.h"
#include "platform/db/embedded/FixedWidthPadding.h"
#include "platform/db/embedded/NullKeys.h"
#include "platform/db/embedded/ObjectCatalog.h"
#include "platform/db/embedded/functions/AppliedRows.h"
#include "platform/db/embedded/functions/StatisticalAggregates.h"
#include "platform/db/embedded/functions/JsonFunctions.h"
#include "platform/db/embedded/functions/ShapedResults.h"
#include "platform/db/embedded/functions/StringFunctions.h"
#include "platform/db/embedded/RowGuards.h"
#include "platform/db/embedded/functions/DateFunctions.h"

#include "platform/db/Connection.h"
#include "platform/db/Decimal.h"
#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/ExactTyping.h"
#include "platform/db/embedded/Server.h"
#include "platform/db/embedded/ServerInternal.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/ObjectNames.h"
#include "platform/db/embedded/translator/TypedRewrites.h"
#include "platform/db/sqlite/SqliteSession.h"
#include "platform/host/Error.h"
#include "platform/db/embedded/SqliteValues.h"

#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <optional>

#include <optional>
#include <QSet>
#include <QUrl>

#include <sqlite3.h>

#include <cerrno>
#include <csignal>
#include <cmath>
#include <unistd.h>

namespace orra::embedded {

using db::ExecuteResult;
using db::ProviderError;
using db::ProviderFailure;
using db::ResultSet;

std::unique_ptr<db::Backend> EmbeddedBackend::claim(const db::ConnectionString& cs)
{
    const QString server = cs.server();
    if (server.isEmpty() || !isEmbeddedServer(server)) return nullptr;
    return std::make_unique<EmbeddedBackend>();
}

namespace {

qint64 processStart(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray s = f.readAll();
    const qsizetype close = s.lastIndexOf(')');
    if (close < 0) return 0;
    const QList<QByteArray> parts = s.mid(close + 2).split(' ');
    // Field 22 of the line is the 20th after the command name.
    return parts.size() > 19 ? parts.at(19).toLongLong() : 0;
}

bool processAlive(qint64 pid, qint64 start)
{
    if (pid <= 0) return false;
    if (::kill(pid_t(pid), 0) != 0 && errno != EPERM) return false;
    const qint64 now = processStart(pid);
    return now == 0 || start == 0 || now == start;
}

// The time now as a datetime holds it (rounded to its 1/300 s): the log-on time identifies a
// session, and the datetime columns that keep it round every value they take.
QString nowText()
{
    const QDateTime now = QDateTime::currentDateTime();
    dates::Value v;
    v.day = now.date().toJulianDay();
    v.ticks = qint64(now.time().msecsSinceStartOfDay()) * 10'000;
    const dates::Type datetime{dates::Kind::DateTime, 3};
    dates::fit(v, datetime);
    return dates::canonical(v, datetime);
}

EmbeddedBackend* self(sqlite3_context* ctx) { return static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx)); }

void fnSuserSid(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    EmbeddedBackend* b = self(ctx);
    QByteArray sid = b->loginSid();
    if (argc == 1) {
        if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
            sqlite3_result_null(ctx);
            return;
        }
        sid = detail::findLogin(b->masterHandle(), textOf(argv[0]).trimmed()).sid;
        if (sid.isEmpty()) {
            sqlite3_result_null(ctx);
            return;
        }
    }
    sqlite3_result_blob(ctx, sid.constData(), int(sid.size()), SQLITE_TRANSIENT);
}

void fnSuserSname(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    EmbeddedBackend* b = self(ctx);
    if (argc == 0) {
        resultText(ctx, b->login());
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QByteArray sid(static_cast<const char*>(sqlite3_value_blob(argv[0])), sqlite3_value_bytes(argv[0]));
    const detail::LoginRow r = detail::findLoginBySid(b->masterHandle(), sid);
    if (r.found)
        resultText(ctx, r.name);
    else
        sqlite3_result_null(ctx);
}

void fnUserName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    EmbeddedBackend* b = self(ctx);
    if (argc == 0) {
        resultText(ctx, b->userName());
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const PreparedStatement st(b->handle(), "select name from main.sysusers where uid = ?");
    if (!st.ok()) {
        sqlite3_result_error(ctx, sqlite3_errmsg(b->handle()), -1);
        return;
    }
    sqlite3_bind_int64(st, 1, sqlite3_value_int64(argv[0]));
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
    else
        sqlite3_result_null(ctx);
}

void fnUserId(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    EmbeddedBackend* b = self(ctx);
    if (argc == 0) {
        sqlite3_result_int(ctx, b->userId());
        return;
    }
    const PreparedStatement st(b->handle(), "select uid from main.sysusers where name = ?");
    if (!st.ok()) {
        sqlite3_result_error(ctx, sqlite3_errmsg(b->handle()), -1);
        return;
    }
    sqlite3_bind_value(st, 1, argv[0]);
    if (sqlite3_step(st) == SQLITE_ROW)
        sqlite3_result_value(ctx, sqlite3_column_value(st, 0));
    else
        sqlite3_result_null(ctx);
}

void resultVariant(sqlite3_context* ctx, const QVariant& v)
{
    if (!v.isValid())
        sqlite3_result_null(ctx);
    else if (v.typeId() == QMetaType::QString)
        resultText(ctx, v.toString());
    else
        sqlite3_result_int64(ctx, v.toLongLong());
}

void fnDbName(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc == 0) return resultText(ctx, self(ctx)->database());
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    resultVariant(ctx, self(ctx)->databaseName(sqlite3_value_int64(argv[0])));
}

void fnDbId(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    if (argc > 0 && sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString name = argc == 0
        ? self(ctx)->database()
        : QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
    resultVariant(ctx, self(ctx)->databaseId(name));
}

void fnSpid(sqlite3_context* ctx, int, sqlite3_value**) { sqlite3_result_int(ctx, self(ctx)->spid()); }

void fnServerName(sqlite3_context* ctx, int, sqlite3_value**) { resultText(ctx, self(ctx)->server()); }

void fnTranCount(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_int(ctx, self(ctx)->transactionCount());
}

void fnTransactionState(sqlite3_context* ctx, int, sqlite3_value**)
{
    sqlite3_result_int(ctx, self(ctx)->transactionState());
}

template <QVariant (EmbeddedBackend::*Value)() const>
void fnIdentity(sqlite3_context* ctx, int, sqlite3_value**)
{
    const QVariant v = (self(ctx)->*Value)();
    if (!v.isValid())
        sqlite3_result_null(ctx);
    else
        sqlite3_result_int64(ctx, v.toLongLong());
}

void fnLen(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    QString s = textOf(argv[0]);
    while (s.endsWith(u' ')) s.chop(1);
    sqlite3_result_int64(ctx, s.size());
}

void fnVarchar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int n = sqlite3_value_int(argv[1]);
    resultText(ctx, textOf(argv[0]).left(n));
}

void fnChar(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const int n = sqlite3_value_int(argv[1]);
    resultText(ctx, textOf(argv[0]).left(n).leftJustified(n, u' '));
}

void fnInt(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    const int t = sqlite3_value_type(argv[0]);
    if (t == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    if (t == SQLITE_INTEGER) {
        sqlite3_result_int64(ctx, sqlite3_value_int64(argv[0]));
        return;
    }
    if (t == SQLITE_FLOAT) {
        sqlite3_result_int64(ctx, qint64(std::trunc(sqlite3_value_double(argv[0]))));
        return;
    }
    const QString s = textOf(argv[0]).trimmed();
    bool ok = false;
    const qlonglong v = s.toLongLong(&ok);
    if (!ok) {
        const QString msg =
            QStringLiteral("Conversion failed when converting the varchar value '%1' to data type int.").arg(s);
        sqlite3_result_error(ctx, msg.toUtf8().constData(), -1);
        return;
    }
    sqlite3_result_int64(ctx, v);
}

}   // namespace


EmbeddedBackend::EmbeddedBackend() : m_session(nullptr, detail::kSource) {}

EmbeddedBackend::~EmbeddedBackend() { close(); }

QString EmbeddedBackend::name() const { return detail::kSource; }

void EmbeddedBackend::raise(const QString& state, const QString& message, long native) const
{
    ProviderError e;
    e.number = native ? -native : -1;
    e.nativeError = native;
    e.sqlState = state;
    e.description = message;
    e.source = detail::kSource;
    throw ProviderFailure{{e}};
}

void EmbeddedBackend::open(const db::ConnectionString& cs, const QString& user, const QString& password)
{
    close();
    const QString server = cs.server();
    QString database = cs.valueOf({"Database", "Initial Catalog"}).trimmed();
    if (database.isEmpty()) database = QStringLiteral("master");
    if (!isEmbeddedServer(server))
        raise(QStringLiteral("08001"), QStringLiteral("The server '%1' does not exist.").arg(server), 17);
    const bool trusted = cs.trusted();
    QString login = user.isEmpty() ? cs.valueOf({"UID", "User ID", "User"}) : user;
    const QString pwd = (user.isEmpty() && password.isEmpty()) ? cs.valueOf({"PWD", "Password"}) : password;
    if (trusted) login = osUserName();
    detail::keepServerPrivate(serverFolder(server));
    try {
        m_master = detail::openFile(serverFolder(server) + QStringLiteral("/master.db"), false);
    } catch (const orra::Error& e) {
        raise(QStringLiteral("08001"), e.description(), 17);
    }
    auto loginFailed = [&]() {
        ProviderError e;
        e.number = -18456;
        e.nativeError = 18456;
        e.sqlState = QStringLiteral("28000");
        e.description = QStringLiteral("Login failed for user '%1'.").arg(login);
        e.source = detail::kSource;
        detail::closeFile(m_master);
        m_master = nullptr;
        throw ProviderFailure{{e}};
    };
    detail::LoginRow row;
    try {
        row = detail::findLogin(m_master, login);
    } catch (const orra::Error& e) {
        detail::closeFile(m_master);
        m_master = nullptr;
        raise(QStringLiteral("08001"), e.description(), 17);
    }
    if (!row.found) loginFailed();
    if (trusted ? !row.trusted : (row.trusted || !verifyPassword(row.passwordHash, pwd))) loginFailed();
    auto cannotOpen = [&](const QString& cause = QString()) {
        ProviderError a;
        a.number = -4060;
        a.nativeError = 4060;
        a.sqlState = QStringLiteral("42000");
        a.description = cause.isEmpty()
            ? QStringLiteral("Cannot open database \"%1\" requested by the login. The login failed.").arg(database)
            : QStringLiteral("Cannot open database \"%1\" requested by the login. %2").arg(database, cause);
        a.source = detail::kSource;
        ProviderError b;
        b.number = -18456;
        b.nativeError = 18456;
        b.sqlState = QStringLiteral("28000");
        b.description = QStringLiteral("Login failed for user '%1'.").arg(row.name);
        b.source = detail::kSource;
        m_schema.reset();
        if (m_db) detail::closeFile(m_db);
        m_db = nullptr;
        detail::closeFile(m_master);
        m_master = nullptr;
        if (!cause.isEmpty()) throw ProviderFailure{{a}};   // the login itself was fine
        throw ProviderFailure{{a, b}};
    };
    if (!databaseExists(server, database)) cannotOpen();
    // master is read by its sessions, written only by the server's own handle: a session's
    // transaction there never holds up a log-on.
    const bool isMaster = foldName(database) == foldName(QStringLiteral("master"));
    try {
        m_db = detail::openFile(databaseFile(server, database), false, isMaster);
    } catch (const orra::Error& e) {
        cannotOpen(e.description());
    }
    m_login = row.name;
    m_sid = row.sid;
    m_sysadmin = row.sysadmin;
    // The database user of the login: dbo for the administrator and the owner.
    {
        {
            const PreparedStatement st(m_db, "select uid, name from sysusers where sid = ?");
            if (!st.ok()) cannotOpen();
            sqlite3_bind_blob(st, 1, m_sid.constData(), int(m_sid.size()), SQLITE_TRANSIENT);
            const int rc = sqlite3_step(st);
            // A user table that could not be read is no missing user.
            if (rc != SQLITE_ROW && rc != SQLITE_DONE) cannotOpen(QString::fromUtf8(sqlite3_errmsg(m_db)));
            if (rc == SQLITE_ROW) {
                m_uid = sqlite3_column_int(st, 0);
                m_userName = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            }
        }
        if (m_uid < 0 && m_sysadmin) {
            m_uid = 1;
            m_userName = QStringLiteral("dbo");
        }
        if (m_uid < 0) cannotOpen();
    }
    m_server = server;
    enterDatabase(database);
    registerSession();
}

// The session's database is m_db (opened, its user found): its name, rights, functions and guards.
void EmbeddedBackend::enterDatabase(const QString& database)
{
    // Database name as the server spells it (the file's name).
    const QString file = databaseFile(m_server, database);
    m_database = QFileInfo(file).completeBaseName();
    m_rights.reset();
    m_rights.setDatabaseName(m_database);
    m_rights.setSysadmin(m_sysadmin);
    m_rights.setOwner(QStringLiteral("main"), m_sysadmin || ownsDatabase(QStringLiteral("main"), m_uid));
    m_rights.install(m_db);
    m_session.attach(m_db);
    registerFunctions();
    {
        const SessionRights::Trusted trusted(m_rights);   // the server's own upgrade of an older file
        keepNullKeysOfOlderDatabase(m_db);
    }
    // The rows of guarded tables are checked for everyone but the database's owners.
    if (!m_rights.isOwner(QStringLiteral("main"))) {
        try {
            const SessionRights::Trusted trusted(m_rights);
            m_guardedColumns = installRowGuards(m_db);
        } catch (const orra::Error& e) {
            close();
            raise(QStringLiteral("08001"), e.description(), 17);
        }
        QSet<QString> guarded;
        for (auto it = m_guardedColumns.constBegin(); it != m_guardedColumns.constEnd(); ++it) guarded.insert(it.key());
        m_rights.setGuardedTables(guarded);
    }
}

void EmbeddedBackend::useDatabase(const QString& name)
{
    if (foldName(name) == foldName(m_database)) return;
    if (!databaseExists(m_server, name))
        raise(QStringLiteral("42000"),
            QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.").arg(name), 911);
    // The temporary tables and the transaction live in the database file's connection.
    if (!sqlite3_get_autocommit(m_db))
        raise(QStringLiteral("25000"),
            QStringLiteral("The embedded server changes the database only outside a transaction: USE %1 is refused.")
                .arg(name),
            3902);
    {
        const PreparedStatement st(m_db, "select 1 from temp.sqlite_master where type = 'table'");
        if (st.ok() && sqlite3_step(st) == SQLITE_ROW)
            raise(QStringLiteral("42000"),
                QStringLiteral("The embedded server changes the database only while the session holds no temporary "
                               "table: USE %1 is refused.")
                    .arg(name),
                3902);
    }
    const bool isMaster = foldName(name) == foldName(QStringLiteral("master"));
    sqlite3* db = nullptr;
    try {
        db = detail::openFile(databaseFile(m_server, name), false, isMaster);
    } catch (const orra::Error& e) {
        raise(QStringLiteral("42000"), e.description(), 911);
    }
    int uid = -1;
    QString userName;
    {
        const PreparedStatement st(db, "select uid, name from sysusers where sid = ?");
        if (st.ok()) {
            sqlite3_bind_blob(st, 1, m_sid.constData(), int(m_sid.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(st) == SQLITE_ROW) {
                uid = sqlite3_column_int(st, 0);
                userName = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 1)));
            }
        }
    }
    if (uid < 0 && m_sysadmin) {
        uid = 1;
        userName = QStringLiteral("dbo");
    }
    if (uid < 0) {
        detail::closeFile(db);
        raise(QStringLiteral("08004"),
            QStringLiteral("The server principal \"%1\" is not able to access the database \"%2\" under the current "
                           "security context.")
                .arg(m_login, name),
            916);
    }
    // What belongs to the database left goes with it.
    m_nestedConnection.reset();
    for (sqlite3_stmt* st : std::as_const(m_nestedStatements)) sqlite3_finalize(st);
    m_nestedStatements.clear();
    m_guardedColumns.clear();
    m_guardMemory.clear();
    for (sqlite3_stmt* st : std::as_const(m_statements)) sqlite3_finalize(st);
    m_statements.clear();
    m_insertColumns.clear();
    m_exactTypes.clear();
    m_schema.reset();
    m_attached.clear();
    m_session.detach();
    detail::closeFile(m_db);
    m_db = db;
    m_uid = uid;
    m_userName = userName;
    enterDatabase(name);
    const PreparedStatement st(m_master, "update sysprocesses set dbname = ? where spid = ? and login_time = ?");
    if (st.ok()) {
        const QByteArray dbname = m_database.toUtf8();
        const QByteArray time = m_loginTime.toUtf8();
        sqlite3_bind_text(st, 1, dbname.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 2, m_spid);
        sqlite3_bind_text(st, 3, time.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_step(st);
    }
}

namespace {

// USE db as the batch's first statement: the database it names, and where the rest begins
// (-1 when the batch does not begin so).
int leadingUse(const QString& sql, QString& database)
{
    const LexResult lex = tokenize(sql);
    const auto& t = lex.tokens;
    if (!lex.error.isEmpty() || t.size() < 2 || !t[0].is("use") || !t[1].isName()) return -1;
    if (t.size() > 2 && t[2].isSymbol(".")) return -1;
    database = t[1].text;
    size_t next = 2;
    if (next < t.size() && t[next].isSymbol(";")) ++next;
    return next < t.size() ? t[next].pos : int(sql.size());
}

}   // namespace

QStringList EmbeddedBackend::guardedColumns(const QString& table) const
{
    return m_guardedColumns.value(foldName(table));
}

void EmbeddedBackend::registerFunctions()
{
    struct F {
        const char* name;
        int args;
        void (*fn)(sqlite3_context*, int, sqlite3_value**);
        bool deterministic;
    };
    static const F functions[] = {
        {"orra_suser_sid", 0, fnSuserSid, false},
        {"orra_suser_sid", 1, fnSuserSid, false},
        {"orra_suser_sname", 0, fnSuserSname, false},
        {"orra_suser_sname", 1, fnSuserSname, false},
        {"orra_user_name", 0, fnUserName, false},
        {"orra_user_name", 1, fnUserName, false},
        {"orra_user_id", 0, fnUserId, false},
        {"orra_user_id", 1, fnUserId, false},
        {"orra_db_name", 0, fnDbName, false},
        {"orra_db_name", 1, fnDbName, false},
        {"orra_db_id", 0, fnDbId, false},
        {"orra_db_id", 1, fnDbId, false},
        {"orra_spid", 0, fnSpid, false},
        {"orra_servername", 0, fnServerName, false},
        {"orra_trancount", 0, fnTranCount, false},
        {"orra_xact_state", 0, fnTransactionState, false},
        {"orra_identity", 0, fnIdentity<&EmbeddedBackend::identity>, false},
        {"orra_scope_identity", 0, fnIdentity<&EmbeddedBackend::scopeIdentity>, false},
        {"orra_len", 1, fnLen, true},
        {"orra_varchar", 2, fnVarchar, true},
        {"orra_char", 2, fnChar, true},
        {"orra_int", 1, fnInt, true},
        {kGuardFunction, -1, rowGuardFunction, false},
    };
    for (const F& f : functions)
        sqlite3_create_function_v2(m_db, f.name, f.args, SQLITE_UTF8 | (f.deterministic ? SQLITE_DETERMINISTIC : 0),
            this, f.fn, nullptr, nullptr, nullptr);
    registerRowCountFunction(m_db, &m_rowCountState);
    registerExpressionFunctions(m_db);
    registerScalarFunctions(m_db);
    registerObjectFunctions(m_db, &m_rights);
    registerIdentityFunctions(m_db, &m_identityInsert);
    registerStatisticalAggregates(m_db);
    registerAppliedRows(m_db);
    registerStringFunctions(m_db);
    registerJsonFunctions(m_db);
    registerShapedResults(m_db);
    registerExactNumberFunctions(m_db);
    registerBinaryConversionFunctions(m_db);
    dates::registerDateFunctions(m_db, &m_dateSettings);
    m_schema = std::make_unique<ConnectionSchema>(m_db, m_rights);
    registerBatchFunctions();
    registerCursorFunctions();
    registerModuleFunctions();
}

void EmbeddedBackend::registerSession()
{
    // A process number unique among the live sessions of the server, across processes.
    // Nothing of a failed registration stays: its statements and its transaction end before
    // the connection closes.
    const QString failure = tryRegisterSession();
    if (!failure.isEmpty()) {
        close();
        raise(QStringLiteral("08001"), failure, 17);
    }
}

QString EmbeddedBackend::tryRegisterSession()
{
    auto fail = [&](const char* what) {
        const QString noRoom = db::sqlite::noRoomMessage(m_master, sqlite3_extended_errcode(m_master));
        return QStringLiteral("Cannot register the session (%1): %2")
            .arg(QLatin1String(what), noRoom.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(m_master)) : noRoom);
    };
    WriteTransaction transaction(m_master);
    if (transaction.beginRc() != SQLITE_OK) return fail("begin");
    QSet<int> used;
    {
        const PreparedStatement st(m_master, "select spid, pid, process_start from sysprocesses");
        QList<int> dead;
        while (st.get() && sqlite3_step(st) == SQLITE_ROW) {
            const int spid = sqlite3_column_int(st, 0);
            const qint64 pid = sqlite3_column_int64(st, 1);
            const qint64 start = sqlite3_column_int64(st, 2);
            if (pid != qint64(::getpid()) && !processAlive(pid, start))
                dead.append(spid);
            else
                used.insert(spid);
        }
        for (int spid : std::as_const(dead)) {
            const QByteArray sql = QByteArray("delete from sysprocesses where spid = ") + QByteArray::number(spid);
            sqlite3_exec(m_master, sql.constData(), nullptr, nullptr, nullptr);
        }
    }
    int spid = 51;
    while (used.contains(spid)) ++spid;
    m_loginTime = nowText();
    const PreparedStatement st(m_master,
        "insert into sysprocesses (spid, pid, process_start, loginame, dbname, login_time) "
        "values (?, ?, ?, ?, ?, ?)");
    if (!st.ok()) return fail("insert");
    const QByteArray login = m_login.toUtf8();
    const QByteArray dbname = m_database.toUtf8();
    const QByteArray time = m_loginTime.toUtf8();
    sqlite3_bind_int(st, 1, spid);
    sqlite3_bind_int64(st, 2, ::getpid());
    sqlite3_bind_int64(st, 3, processStart(::getpid()));
    sqlite3_bind_text(st, 4, login.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 5, dbname.constData(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 6, time.constData(), -1, SQLITE_TRANSIENT);
    if (sqlite3_step(st) != SQLITE_DONE) return fail("insert");
    sqlite3_reset(st);
    if (transaction.commit() != SQLITE_OK) return fail("commit");
    m_spid = spid;
    return {};
}

void EmbeddedBackend::unregisterSession()
{
    if (!m_master || m_spid == 0) return;
    {
        const PreparedStatement st(m_master, "delete from sysprocesses where spid = ? and login_time = ?");
        if (st.ok()) {
            const QByteArray time = m_loginTime.toUtf8();
            sqlite3_bind_int(st, 1, m_spid);
            sqlite3_bind_text(st, 2, time.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
        }
    }
    m_spid = 0;
}

bool EmbeddedBackend::sessionAlive(int spid, const QString& loginTime) const
{
    const PreparedStatement st(
        m_master, "select pid, process_start from sysprocesses where spid = ? and login_time = ?");
    if (!st.ok()) return false;
    const QByteArray time = loginTime.toUtf8();
    sqlite3_bind_int(st, 1, spid);
    sqlite3_bind_text(st, 2, time.constData(), -1, SQLITE_TRANSIENT);
    bool alive = false;
    if (sqlite3_step(st) == SQLITE_ROW) {
        const qint64 pid = sqlite3_column_int64(st, 0);
        alive = pid == qint64(::getpid()) || processAlive(pid, sqlite3_column_int64(st, 1));
    }
    return alive;
}

void EmbeddedBackend::close()
{
    m_globalCursors.clear();   // their tables end with the connection
    m_lastOpened.reset();
    m_nestedConnection.reset();
    for (sqlite3_stmt* st : std::as_const(m_nestedStatements)) sqlite3_finalize(st);
    m_nestedStatements.clear();
    for (const auto& level : m_functionStatements)
        for (sqlite3_stmt* st : level) sqlite3_finalize(st);
    m_functionStatements.clear();
    m_guardedColumns.clear();
    m_guardMemory.clear();
    m_procedure.clear();
    for (sqlite3_stmt* st : std::as_const(m_statements)) sqlite3_finalize(st);
    m_statements.clear();
    m_insertColumns.clear();
    m_exactTypes.clear();
    m_schema.reset();
    m_attached.clear();
    unregisterSession();
    m_session.detach();
    if (m_db) detail::closeFile(m_db);
    if (m_master) detail::closeFile(m_master);
    m_db = nullptr;
    m_master = nullptr;
    m_rights.reset();
    m_uid = -1;
    m_identity = QVariant();
    m_scopeIdentity = QVariant();
    m_identityInsert.clear();
    m_identityInsertSchema.clear();
    m_noCount = false;
    m_rowCount = 0;
    m_dateSettings = dates::Settings();
    m_xactAbort = false;
}

QString EmbeddedBackend::property(const QString& name) const
{
    if (name.compare(QLatin1String("Server Name"), Qt::CaseInsensitive) == 0) return m_server;
    if (name.compare(QLatin1String("Current Catalog"), Qt::CaseInsensitive) == 0) return m_database;
    if (name.compare(QLatin1String("DBMS Name"), Qt::CaseInsensitive) == 0) return detail::kSource;
    if (name.compare(QLatin1String("User Name"), Qt::CaseInsensitive) == 0) return m_login;
    return QString();
}

void EmbeddedBackend::cancel() { m_session.cancel(); }

void EmbeddedBackend::beginTransaction() { execute(QStringLiteral("begin transaction"), {}); }

void EmbeddedBackend::commit() { execute(QStringLiteral("commit transaction"), {}); }

void EmbeddedBackend::rollback() { execute(QStringLiteral("rollback transaction"), {}); }

sqlite3_stmt* EmbeddedBackend::prepare(const QString& sql)
{
    // A guard's reads run while a statement of the session is stepping: they keep their own
    // statements, so that none of them resets one that is running.
    QHash<QString, sqlite3_stmt*>& cache = m_nested > 0 ? m_nestedStatements
        : m_functionDepth > 0                           ? m_functionStatements[size_t(m_functionDepth - 1)]
                                                        : m_statements;
    // A statement prepared before the catalogue changed tells the columns it had then until it
    // steps (select * of an altered table): those of the session are made anew.
    if (&cache == &m_statements && m_statementsCatalogue != m_catalogueChanges) {
        for (sqlite3_stmt* s : std::as_const(cache)) sqlite3_finalize(s);
        cache.clear();
        m_statementsCatalogue = m_catalogueChanges;
    }
    auto it = cache.constFind(sql);
    if (it != cache.constEnd()) return it.value();
    if (sql.contains(QLatin1String("orra_apply_rows:")))
        for (const QString& table : appliedRowsTablesIn(sql))
            if (!m_appliedRowsTables.contains(table)) {
                registerAppliedRowsTable(m_db, table);
                m_appliedRowsTables.insert(table);
            }
    const QByteArray text = sql.toUtf8();
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    // An insert whose values cannot break the target's length rules is made without them (the
    // server's own switch, set around the prepare alone: the session's rights still apply to
    // the statement). Should SQLite make it anew later, it does so with the rules again.
    const bool lengthsFit = sql.endsWith(QLatin1String(translator::kLengthsFit));
    auto ignoreChecks = [&](bool ignore) {
        const SessionRights::Trusted trusted(m_rights);
        sqlite3_exec(m_db, ignore ? "PRAGMA ignore_check_constraints = ON" : "PRAGMA ignore_check_constraints = OFF",
            nullptr, nullptr, nullptr);
    };
    if (lengthsFit) ignoreChecks(true);
    m_rights.takeUpdatedColumns();   // those of this statement alone
    const int rc = sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &st, &tail);
    if (lengthsFit) ignoreChecks(false);
    if (rc != SQLITE_OK) m_session.raise(rc);
    if (!st) return nullptr;
    refuseIdentityUpdate(st);
    if (m_nested > 0 && !sqlite3_stmt_readonly(st)) {
        sqlite3_finalize(st);
        raise(QStringLiteral("42000"), QStringLiteral("A row guard may only read."), 50000);
    }
    if (cache.size() > 200) {
        for (sqlite3_stmt* s : std::as_const(cache)) sqlite3_finalize(s);
        cache.clear();
    }
    cache.insert(sql, st);
    return st;
}

ResultSet EmbeddedBackend::query(const QString& sql, const QList<QVariant>& args)
{
    sqlite3_stmt* st = prepare(sql);
    ResultSet rs;
    {
        const StatementReset reset(st);
        for (int i = 0; i < args.size(); ++i) db::sqlite::SqliteSession::bind(st, i + 1, args.at(i));
        rs = m_session.run(st);
    }
    padFixedWidth(rs);
    return rs;
}

void EmbeddedBackend::padFixedWidth(ResultSet& rs) const
{
    const size_t cols = rs.fields.size();
    for (size_t c = 0; c < cols; ++c) {
        const db::FieldInfo& f = rs.fields[c];
        if ((f.type != db::DataType::Char && f.type != db::DataType::WChar) || f.definedSize <= 0) continue;
        for (size_t i = c; i < rs.values.size(); i += cols) {
            QVariant& v = rs.values[i];
            if (v.typeId() == QMetaType::QString) {
                QString s = v.toString();
                if (s.size() < f.definedSize) {
                    v = s.leftJustified(f.definedSize, u' ');
                } else if (s.size() > f.definedSize) {
                    // Blanks beyond the width were stored but are not part of the value.
                    while (s.size() > f.definedSize && s.endsWith(u' ')) s.chop(1);
                    v = s;
                }
            }
        }
    }
}

void EmbeddedBackend::attachDatabases(const QStringList& names)
{
    for (const QString& name : names) {
        bool done = false;
        for (const QString& a : std::as_const(m_attached))
            if (foldName(a) == foldName(name)) done = true;
        if (done) continue;
        if (!databaseExists(m_server, name))
            raise(QStringLiteral("42000"),
                QStringLiteral("Database '%1' does not exist. Make sure that the name is entered correctly.").arg(name),
                911);
        if (!sqlite3_get_autocommit(m_db))
            raise(QStringLiteral("42000"),
                QStringLiteral("Database '%1' cannot be reached for the first time inside a transaction.").arg(name),
                3902);
        const SessionRights::Trusted trusted(m_rights);
        const QString sql =
            QStringLiteral("ATTACH DATABASE ? AS \"%1\"").arg(QString(name).replace(u'"', QStringLiteral("\"\"")));
        int rc;
        {
            const PreparedStatement st(m_db, sql);
            rc = st.rc();
            if (rc == SQLITE_OK) {
                // master only for reading (see open); the others as they are.
                const QUrl url = QUrl::fromLocalFile(databaseFile(m_server, name));
                const bool isMaster = foldName(name) == foldName(QStringLiteral("master"));
                const QByteArray file = isMaster ? url.toEncoded() + "?mode=ro" : QFile::encodeName(url.toLocalFile());
                sqlite3_bind_text(st, 1, file.constData(), -1, SQLITE_TRANSIENT);
                rc = sqlite3_step(st);
            }
        }
        if (rc != SQLITE_DONE) m_session.raise(rc);
        // The login must have a user in that database (the administrator is dbo everywhere).
        bool owner = m_sysadmin;
        if (!m_sysadmin) {
            const QString check = QStringLiteral("select uid from \"%1\".sysusers where sid = ?")
                                      .arg(QString(name).replace(u'"', QStringLiteral("\"\"")));
            bool ok = false;
            int uid = -1;
            {
                const PreparedStatement q(m_db, check);
                if (q.ok()) {
                    sqlite3_bind_blob(q, 1, m_sid.constData(), int(m_sid.size()), SQLITE_TRANSIENT);
                    ok = sqlite3_step(q) == SQLITE_ROW;
                    if (ok) uid = sqlite3_column_int(q, 0);
                }
            }
            if (ok) owner = ownsDatabase(name, uid);
            if (!ok) {
                const QString detach = QStringLiteral("DETACH DATABASE \"%1\"").arg(name);
                sqlite3_exec(m_db, detach.toUtf8().constData(), nullptr, nullptr, nullptr);
                raise(QStringLiteral("08004"),
                    QStringLiteral("The server principal \"%1\" is not able to access the database \"%2\" under the "
                                   "current security context.")
                        .arg(m_login, name),
                    916);
            }
        }
        m_rights.setOwner(name, owner);
        m_attached.append(name);
    }
}

// dbo, or a member (directly or through roles) of the database's db_owner role.
bool EmbeddedBackend::ownsDatabase(const QString& schema, int uid)
{
    if (uid == 1) return true;
    if (uid < 0) return false;
    const SessionRights::Trusted trusted(m_rights);
    const QString sql =
        QStringLiteral("with recursive r(uid) as (select ? union select m.groupuid from \"%1\".sysmembers m "
                       "join r on m.memberuid = r.uid) select 1 from r where uid = %2")
            .arg(QString(schema).replace(u'"', QStringLiteral("\"\"")))
            .arg(kDbOwnerRole);
    const PreparedStatement q(m_db, sql);
    if (!q.ok()) return false;
    sqlite3_bind_int(q, 1, uid);
    return sqlite3_step(q) == SQLITE_ROW;
}

ExecuteResult EmbeddedBackend::execute(const QString& sql, const QList<db::Parameter>& params)
{
    if (!m_db) raise(QStringLiteral("08003"), QStringLiteral("Connection not open"), 0);
    m_session.resetCancel();
    QString text = sql;
    if (QString database; m_nested == 0 && leadingUse(sql, database) >= 0) {
        const int rest = leadingUse(sql, database);
        useDatabase(database);
        // the rest of the batch keeps its lines and offsets
        for (int i = 0; i < rest; ++i)
            if (text[i] != u'\n') text[i] = u' ';
        if (text.trimmed().isEmpty()) return {};
    }
    text = withTypedParameters(text, params);
    const std::shared_ptr<const Translation> tr = translateCached(text, m_database, m_schema.get());
    if (!tr->error.isEmpty()) raise(QStringLiteral("42000"), tr->error, tr->errorNumber);
    if (!tr->databases.isEmpty()) attachDatabases(tr->databases);
    Run run;
    run.params = &params;
    run.variables.resize(size_t(tr->variables));
    run.text = text;
    run.translation = tr;
    run.catalogueSeen = m_catalogueChanges;
    m_rights.clearDenial();
    m_scopeIdentity = QVariant();   // a batch is a scope of its own
    Run* const outer = std::exchange(m_run, &run);
    try {
        if (runList(tr->statements, run) == Flow::Goto)
            raise(QStringLiteral("42000"),
                QStringLiteral("The embedded server does not run a 'goto' into a block from outside it."), 102);
        if (doomed()) {   // the batch left its doomed transaction open: it ends here
            rollbackTransaction();
            ProviderError e;
            e.nativeError = 3998;
            e.number = -3998;
            e.sqlState = QStringLiteral("25000");
            e.description = QStringLiteral("Uncommittable transaction is detected at the end of the batch. The "
                                           "transaction is rolled back.");
            e.source = name();
            deliverError(ProviderFailure{{e}}, run);
        }
        m_doomed = false;
        endBatch(run);
        m_run = outer;
    } catch (ProviderFailure& f) {
        // SET XACT_ABORT ON, a doomed transaction or an error of severity 20 or more: the error
        // ends the transaction too.
        const bool endsTransaction = m_xactAbort || doomed() || (run.raised && run.raised->fatal);
        m_doomed = false;
        endBatch(run);
        m_run = outer;
        // SQLite says "not authorized"; the server names the right that is missing.
        if (!f.errors.isEmpty() && !m_rights.denial().isEmpty()
            && ((f.errors.first().nativeError & 0xff) == SQLITE_AUTH
                || f.errors.first().description.startsWith(QLatin1String("not authorized")))) {
            ProviderError& e = f.errors.first();
            e.description = m_rights.denial();
            e.nativeError = m_rights.denialNumber();
            e.number = -m_rights.denialNumber();
            e.sqlState = QStringLiteral("42000");
        }
        if (endsTransaction && !sqlite3_get_autocommit(m_db)) {
            try {
                rollbackTransaction();
            } catch (const ProviderFailure&) {   // the batch's own error is the one to tell
                sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            }
        }
        // The messages the batch sent before it failed reach the client ahead of the error.
        if (!run.result.messages.isEmpty()) f.errors = run.result.messages + f.errors;
        throw;
    }
    return std::move(run.result);
}

db::ExecuteResult EmbeddedBackend::runNested(const QString& sql, const QList<db::Parameter>& params)
{
    if (!m_db) raise(QStringLiteral("08003"), QStringLiteral("Connection not open"), 0);
    const std::shared_ptr<const Translation> tr = translateCached(sql, m_database, m_schema.get());
    if (!tr->error.isEmpty()) raise(QStringLiteral("42000"), tr->error, tr->errorNumber);
    if (!tr->databases.isEmpty())
        raise(QStringLiteral("42000"), QStringLiteral("A row guard reads only its own database."), 50000);
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(++d) {}
        ~Depth() { --n; }
    } depth(m_nested);
    Run run;
    run.params = &params;
    run.variables.resize(size_t(tr->variables));
    runList(tr->statements, run);
    endBatch(run);
    return std::move(run.result);
}

namespace {

// Statements after which the catalogue may differ: DDL, select … into, constraints, modules.
bool changesCatalogue(const Statement& st)
{
    if (const auto* sql = st.as<SqlStatement>()) {
        const QString& s = sql->sql;
        return !sql->intoTable.isEmpty() || s.startsWith(QLatin1String("create"), Qt::CaseInsensitive)
            || s.startsWith(QLatin1String("alter"), Qt::CaseInsensitive)
            || s.startsWith(QLatin1String("drop"), Qt::CaseInsensitive);
    }
    return st.is<ConstraintChange>() || st.is<ModuleStatement>() || st.is<CreateSchema>();
}

}   // namespace

Flow EmbeddedBackend::runStatement(const Statement& st, Run& run)
{
    // What the guards keep lasts as long as the transaction; outside one, a statement.
    if (m_nested == 0 && m_functionDepth == 0 && sqlite3_get_autocommit(m_db)) m_guardMemory.clear();
    if (m_nested > 0 && !st.as<SqlStatement>() && !st.as<IfStatement>() && !st.as<BlockStatement>())
        raise(QStringLiteral("42000"), QStringLiteral("A row guard may only read."), 50000);
    if (Flow flow; runBatchStatement(st, run, flow)) return flow;
    if (changesCatalogue(st)) ++m_catalogueChanges;
    if (const auto* sql = st.as<SqlStatement>()) {
        runSql(*sql, run);
    } else if (const auto* noCount = st.as<NoCountStatement>()) {
        m_noCount = noCount->on;
        run.rowCount = 0;
    } else if (const auto* option = st.as<SessionOption>()) {
        if (option->name == u"rowcount") {
            setRowCount(option->value, run);
        } else if (option->query) {
            SessionOption given = *option;
            given.value = valueOf(option->value, run).toString();
            setSessionOption(given);
        } else {
            setSessionOption(*option);
        }
    } else if (const auto* print = st.as<PrintStatement>()) {
        // The server's PRINT: an informational message (number 0, state 01000) with the
        // value's text; NULL prints an empty line.
        // The expression may read the batch's variables.
        sqlite3_stmt* const q = prepare(print->query);
        ResultSet rs;
        {
            const StatementReset reset(q);
            bindParameters(q, run);
            rs = m_session.run(q);
        }
        padFixedWidth(rs);
        ProviderError message;
        message.sqlState = QStringLiteral("01000");
        if (rs.rowCount() > 0 && !rs.fields.empty())
            message.description = db::Recordset::valueText(rs.values[0], rs.fields[0].type);
        run.result.addMessage(message);
        run.rowCount = 0;
    } else if (const auto* change = st.as<ConstraintChange>()) {
        runConstraintChange(*change, run);
    } else if (const auto* call = st.as<ProcedureCall>()) {
        runProcedure(*call, run);
    } else if (const auto* module = st.as<ModuleStatement>()) {
        runModuleStatement(*module);
        run.rowCount = 0;
    } else if (const auto* insertExec = st.as<InsertExec>()) {
        runInsertExec(*insertExec, run);
    } else if (const auto* output = st.as<OutputStatement>()) {
        runOutput(*output, run);
    } else {
        runAdministration(st, run);
    }
    return Flow::Next;
}

QVariant EmbeddedBackend::valueOf(const QString& query, Run& run)
{
    sqlite3_stmt* const q = prepare(query);
    ResultSet rs;
    {
        const StatementReset reset(q);
        bindParameters(q, run);
        rs = m_session.run(q);
    }
    run.rowCount = 0;
    return rs.rowCount() > 0 && !rs.fields.empty() ? rs.values[0] : QVariant();
}

void EmbeddedBackend::setRowCount(const QString& query, Run& run)
{
    m_rowCount = std::max(0LL, valueOf(query, run).toLongLong());
}

void EmbeddedBackend::setSessionOption(const SessionOption& option)
{
    dates::Settings& s = m_dateSettings;
    if (option.name == u"identity_insert") {
        setIdentityInsert(option.value.section(u':', 1), option.value.startsWith(QLatin1String("ON:")));
        return;
    }
    if (option.name == u"dateformat") {
        static const char* const orders[] = {"mdy", "dmy", "ymd", "ydm", "myd", "dym"};
        for (const char* o : orders)
            if (option.value.compare(QLatin1String(o), Qt::CaseInsensitive) == 0) {
                s.dateFormat = QString::fromLatin1(o);
                return;
            }
        raise(QStringLiteral("42000"), QStringLiteral("'%1' is not a valid date format.").arg(option.value), 2741);
    } else if (option.name == u"datefirst") {
        bool ok = false;
        const int n = option.value.toInt(&ok);
        if (!ok || n < 1 || n > 7)
            raise(QStringLiteral("42000"),
                QStringLiteral("'%1' is out of range for the datefirst option; it takes 1 to 7.").arg(option.value),
                2740);
        s.dateFirst = n;
    } else if (option.name == u"language") {
        const dates::Language* l = dates::languageNamed(option.value);
        if (!l)
            raise(QStringLiteral("42000"),
                QStringLiteral("'%1' is not an official language name.").arg(option.value), 2732);
        // a language brings its own date order and first weekday
        s.language = l;
        s.dateFormat = QString::fromLatin1(l->dateFormat);
        s.dateFirst = l->dateFirst;
    }
}

// set identity_insert T on|off: by the table's owners, for one table of the session at a time.
void EmbeddedBackend::setIdentityInsert(const QString& name, bool on)
{
    std::optional<StoredTable> table;
    {
        const SessionRights::Trusted trusted(m_rights);
        table = tableNamed(m_db, name);
    }
    const QString shown = translator::parseObjectName(name).object;
    if (!table || !(table->schema == u"temp" || m_rights.isOwner(table->schema)))
        raise(QStringLiteral("42S02"),
            QStringLiteral("Cannot find the object \"%1\" because it does not exist or you do not have permissions.")
                .arg(shown),
            1088);
    if (!insertColumns(table->schema, table->name).identity)
        raise(QStringLiteral("42000"),
            QStringLiteral("Table '%1' does not have the identity property. Cannot perform SET operation.").arg(shown),
            8106);
    const bool same = foldName(m_identityInsert) == foldName(table->name) && m_identityInsertSchema == table->schema;
    if (!on) {
        if (same) m_identityInsert.clear();
        return;
    }
    if (!m_identityInsert.isEmpty() && !same)
        raise(QStringLiteral("42000"),
            QStringLiteral("IDENTITY_INSERT is already ON for table '%1.dbo.%2'. Cannot perform SET operation for table "
                           "'%3'.")
                .arg(m_identityInsertSchema == u"main" ? m_database : m_identityInsertSchema, m_identityInsert, shown),
            8107);
    m_identityInsert = table->name;
    m_identityInsertSchema = table->schema;
}

const EmbeddedBackend::InsertColumns& EmbeddedBackend::insertColumns(const QString& schema, const QString& table)
{
    const QString key = schema + u'.' + table.toLower();
    auto it = m_insertColumns.constFind(key);
    if (it != m_insertColumns.constEnd()) return it.value();
    const SessionRights::Trusted trusted(m_rights);
    InsertColumns found;
    found.identity = identityColumnOf(m_db, schema, table);
    if (found.identity) {
        const QString q = QStringLiteral("select name from \"%1\".pragma_table_info(?)")
                              .arg(QString(schema).replace(u'"', QStringLiteral("\"\"")));
        QStringList names;
        const PreparedStatement st(m_db, q);
        if (st.ok()) {
            const QByteArray n = table.toUtf8();
            sqlite3_bind_text(st, 1, n.constData(), -1, SQLITE_TRANSIENT);
            while (sqlite3_step(st) == SQLITE_ROW) {
                const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
                if (name != found.identity->column)
                    names.append(u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + u'"');
            }
        }
        found.columns = names.join(u',');
    }
    return m_insertColumns.insert(key, found).value();
}

void EmbeddedBackend::checkIdentityInsert(const SqlStatement& st, const QString& sql)
{
    const InsertColumns& target = insertColumns(st.insert.schema, st.insert.name);
    const bool on = !m_identityInsert.isEmpty() && foldName(m_identityInsert) == foldName(st.insert.name)
        && m_identityInsertSchema == st.insert.schema;
    if (!target.identity) return;
    const IdentityInsertError e =
        identityInsertError(*target.identity, sql, st.insert.table, st.insert.name, st.insert.columnsAt < 0, on);
    if (e.number) raise(QStringLiteral("23000"), e.message, e.number);
}

// An update may not set an identity column (8102), whatever rows it would reach.
void EmbeddedBackend::refuseIdentityUpdate(sqlite3_stmt* st)
{
    for (const SessionRights::UpdatedColumn& u : m_rights.takeUpdatedColumns()) {
        const std::optional<IdentityColumn>& identity = insertColumns(u.schema, u.table).identity;
        if (!identity || identity->column.compare(u.column, Qt::CaseInsensitive) != 0) continue;
        sqlite3_finalize(st);
        raise(QStringLiteral("42000"), QStringLiteral("Cannot update identity column '%1'.").arg(identity->column), 8102);
    }
}

void EmbeddedBackend::noteInsertedIdentity(const SqlStatement& st)
{
    const InsertColumns& target = insertColumns(st.insert.schema, st.insert.name);
    if (!target.identity) return;
    const bool on = !m_identityInsert.isEmpty() && foldName(m_identityInsert) == foldName(st.insert.name);
    if (target.identity->counted && !on) {
        const SessionRights::Trusted trusted(m_rights);
        if (const std::optional<qlonglong> last = lastIdentity(m_db, st.insert.schema, st.insert.name)) noteIdentity(*last);
        return;
    }
    noteIdentity(qlonglong(sqlite3_last_insert_rowid(m_db)));
}

// The column of a select … into that inherits its source's identity: a column read as it is
// from the identity column of the one table the select reads (no join, no union), once.
EmbeddedBackend::InheritedIdentity EmbeddedBackend::inheritedIdentity(sqlite3_stmt* sel, const QString& sql)
{
    InheritedIdentity found;
    static const QRegularExpression combined(QStringLiteral(R"(\b(join|union|apply)\b)"),
        QRegularExpression::CaseInsensitiveOption);
    if (combined.match(sql).hasMatch()) return found;
    QSet<QString> tables;
    for (int i = 0; i < sqlite3_column_count(sel); ++i) {
        const char* table = sqlite3_column_table_name(sel, i);
        const char* origin = sqlite3_column_origin_name(sel, i);
        const char* database = sqlite3_column_database_name(sel, i);
        if (!table || !origin || !database) continue;
        tables.insert(QString::fromUtf8(database) + u'.' + QString::fromUtf8(table));
        const InsertColumns& source = insertColumns(QString::fromUtf8(database), QString::fromUtf8(table));
        if (!source.identity || source.identity->column != QString::fromUtf8(origin)) continue;
        if (found.column >= 0) return {};   // listed more than once
        found.column = i;
        found.identity = *source.identity;
    }
    if (tables.size() > 1) return {};
    return found;
}

// select … into T: the table takes the names and declared types of the select's columns
// (text columns with the server's collation), then the rows.
long EmbeddedBackend::runSelectInto(const SqlStatement& st, Run& run, bool forCursor)
{
    sqlite3_stmt* sel = prepare(st.sql);
    const StatementReset reset(sel);
    bindParameters(sel, run);
    const int cols = sqlite3_column_count(sel);
    const QStringList computed = computedColumnTypes(st);
    QStringList defs;
    QStringList marks;
    // money and decimal expressions make columns of their type, holding values of their scale
    std::vector<std::optional<ExactType>> exact;
    {
        const SessionRights::Trusted trusted(m_rights);   // the server reads the schema itself
        exact = exactColumnTypes(m_db, sel, &m_exactTypes);
        for (int i = 0; i < cols && i < st.columnTypes.size(); ++i)
            if (!sqlite3_column_decltype(sel, i))
                if (const std::optional<ExactType> t = exactTypeOf(st.columnTypes[i])) exact[size_t(i)] = t;
    }
    const InheritedIdentity inherited = inheritedIdentity(sel, st.sql);
    for (int i = 0; i < cols; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(sel, i));
        const char* decl = sqlite3_column_decltype(sel, i);
        QString type = decl ? QString::fromUtf8(decl) : computed.value(i);
        if (i == inherited.column) {
            defs << u'"' + QString(name).replace(u'"', QStringLiteral("\"\"")) + QStringLiteral("\" INTEGER PRIMARY KEY")
                    + (inherited.identity.counted ? QString() : QStringLiteral(" AUTOINCREMENT"));
            marks << QStringLiteral("?");
            continue;
        }
        if (!decl && exact[size_t(i)]) type = exact[size_t(i)]->declaration();
        const QString base = type.section(u'(', 0, 0).trimmed().toLower();
        if (base == u"char" || base == u"varchar" || base == u"nchar" || base == u"nvarchar" || base == u"text"
            || base == u"ntext")
            type += QStringLiteral(" COLLATE ") + collationNameFor(QString(), base.startsWith(u'n'));
        else if (base == u"datetimeoffset")
            type += QStringLiteral(" COLLATE ") + QLatin1String(dates::kInstantCollation);
        const QString column = forCursor ? QStringLiteral("c%1").arg(i + 1) : name;
        defs << u'"' + QString(column).replace(u'"', QStringLiteral("\"\"")) + QStringLiteral("\" ") + type;
        marks << QStringLiteral("?");
    }
    const QString create = QStringLiteral("create table %1 (%2)").arg(st.intoTable, defs.join(QStringLiteral(", ")));
    std::optional<SessionRights::Trusted> serverTable;   // a cursor's rows are the server's own
    if (forCursor) serverTable.emplace(m_rights);
    char* err = nullptr;
    if (const int rc = sqlite3_exec(m_db, create.toUtf8().constData(), nullptr, nullptr, &err); rc != SQLITE_OK) {
        const QString msg = err ? QString::fromUtf8(err) : QString();
        sqlite3_free(err);
        if (rc == SQLITE_AUTH && !m_rights.denial().isEmpty())
            raise(QStringLiteral("42000"), m_rights.denial(), m_rights.denialNumber());
        const bool exists = msg.contains(QLatin1String("already exists"));
        raise(QStringLiteral("42S01"),
            exists ? QStringLiteral("There is already an object named '%1' in the database.")
                         .arg(st.intoTable.section(u'.', -1).remove(u'"'))
                   : msg,
            exists ? 2714 : 1);
    }
    m_insertColumns.clear();
    m_exactTypes.clear();
    // The inherited identity counts on from the values copied, as identity_insert would have it.
    const QString intoSchema = st.intoTable.section(u'.', 0, 0).remove(u'"');
    const QString intoName = st.intoTable.section(u'.', 1).mid(1).chopped(1).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    if (inherited.column >= 0 && inherited.identity.counted) {
        const QStringList counting = countedIdentityStatements(intoSchema, intoName,
            QString::fromUtf8(sqlite3_column_name(sel, inherited.column)), inherited.identity.seed,
            inherited.identity.increment);
        for (const QString& sql : counting)
            if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
                m_session.raise(sqlite3_errcode(m_db));
    }
    struct IdentityInsertDuringCopy {
        QString& on;
        QString before;
        ~IdentityInsertDuringCopy() { on = before; }
    } copying{m_identityInsert, m_identityInsert};
    if (inherited.column >= 0) m_identityInsert = intoName;
    const QString insert = QStringLiteral("insert into %1 values (%2)").arg(st.intoTable, marks.join(u','));
    const PreparedStatement ins(m_db, insert);
    if (!ins.ok()) m_session.raise(sqlite3_errcode(m_db));
    serverTable.reset();
    long rows = 0;
    int rc = SQLITE_DONE;
    while ((m_rowCount <= 0 || rows < m_rowCount) && (rc = sqlite3_step(sel)) == SQLITE_ROW) {
        for (int i = 0; i < cols; ++i) {
            if (exact[size_t(i)] && sqlite3_column_type(sel, i) == SQLITE_FLOAT) {
                if (const auto d = db::Decimal::fromDouble(sqlite3_column_double(sel, i), exact[size_t(i)]->scale)) {
                    sqlite3_bind_double(ins, i + 1, d->toDouble());
                    continue;
                }
            }
            sqlite3_bind_value(ins, i + 1, sqlite3_column_value(sel, i));
        }
        const int irc = sqlite3_step(ins);
        sqlite3_reset(ins);
        if (irc != SQLITE_DONE) m_session.raise(irc);
        if (inherited.column >= 0) noteIdentity(qlonglong(sqlite3_column_int64(sel, inherited.column)));
        ++rows;
    }
    if (rc != SQLITE_DONE && rc != SQLITE_ROW) m_session.raise(rc);
    if (forCursor) return rows;
    run.rowCount = rows;
    // The copied values are padded already; rows added later are padded by the triggers.
    padNewTable(create);
    if (!m_noCount) {
        ResultSet rs;
        rs.hasRows = false;
        rs.recordsAffected = rows;
        run.result.sets.push_back(std::move(rs));
    }
    return rows;
}

void EmbeddedBackend::forgetStatement(const QString& sql)
{
    auto it = m_statements.find(sql);
    if (it != m_statements.end()) {
        sqlite3_finalize(it.value());
        m_statements.erase(it);
    }
}

void EmbeddedBackend::runSql(const SqlStatement& st, Run& run)
{
    if (st.sql.isEmpty()) return;
    if (!st.intoTable.isEmpty()) {
        if (m_nested > 0) raise(QStringLiteral("42000"), QStringLiteral("A row guard may only read."), 50000);
        refuseWriteWhileDoomed();
        runSelectInto(st, run);
        return;
    }
    QString sql = st.sql;
    followOutput(sql);
    if (!st.insert.name.isEmpty()) checkIdentityInsert(st, sql);
    if (st.insert.columnsAt >= 0) {
        const QString cols = insertColumns(st.insert.schema, st.insert.name).columns;
        if (!cols.isEmpty())
            sql = sql.left(st.insert.columnsAt) + QStringLiteral(" (") + cols + u')' + sql.mid(st.insert.columnsAt);
    }
    const bool ddl = sql.startsWith(QLatin1String("create"), Qt::CaseInsensitive)
        || sql.startsWith(QLatin1String("drop"), Qt::CaseInsensitive)
        || sql.startsWith(QLatin1String("alter"), Qt::CaseInsensitive);
    if (ddl) {
        m_insertColumns.clear();
        m_exactTypes.clear();
        const SessionRights::Trusted trusted(m_rights);
        if (const QString taken = moduleNamedBy(m_db, sql); !taken.isEmpty())
            raise(QStringLiteral("42S01"), QStringLiteral("There is already an object named '%1' in the database.").arg(taken),
                2714);
        if (const QString schema = missingSchema(m_db, sql); !schema.isEmpty())
            raise(QStringLiteral("42000"),
                QStringLiteral("The specified schema name \"%1\" either does not exist or you do not have permission to "
                               "use it.")
                    .arg(schema),
                2760);
    }
    struct RecursionLimit {
        int& limit;
        int before;
        ~RecursionLimit() { limit = before; }
    } recursion{m_maxRecursion, m_maxRecursion};
    m_maxRecursion = st.maxRecursion;
    std::optional<RowCountLimit> limit;
    if (st.dml && m_rowCount > 0 && m_nested == 0) {
        const SessionRights::Trusted trusted(m_rights);
        limit.emplace(m_db, m_rowCountState, sql, m_rowCount);
    }
    sqlite3_stmt* s = prepare(sql);
    if (!s) return;
    if (!sqlite3_stmt_readonly(s)) refuseWriteWhileDoomed();
    ResultSet rs;
    {
        // A schema change leaves no prepared statement pointing at the old schema, whether it
        // succeeds or fails (declared first: it finalizes after the reset below).
        const ForgetStatement forget{*this, ddl ? sql : QString()};
        const StatementReset reset(s);
        bindParameters(s, run);
        try {
            rs = m_session.run(s, computedColumnTypes(st), m_nested == 0 && m_rowCount > 0 ? m_rowCount : -1);
        } catch (ProviderFailure& failure) {
            rewordConstraintFailure(failure, sql, s);
            throw;
        }
    }
    if (ddl) {
        padNewTable(sql);
        keepIndexNullKeys(sql);
        // SQLite's own check of a column added with a constraint is no result of the statement
        rs.hasRows = false;
    }
    run.rowCount = rs.hasRows ? rs.rowCount() : std::max(rs.recordsAffected, 0L);
    if (!st.insert.name.isEmpty() && rs.recordsAffected > 0) noteInsertedIdentity(st);
    if (!st.restartsIdentity.name.isEmpty()) {
        const SessionRights::Trusted trusted(m_rights);
        restartIdentity(m_db, st.restartsIdentity.schema, st.restartsIdentity.name);
    }
    if (rs.hasRows) {
        // a float beyond its type's range (1e308 * 10): SQLite's infinity, the server's overflow
        for (const QVariant& v : rs.values)
            if (v.typeId() == QMetaType::Double && !std::isfinite(v.toDouble())) {
                ProviderError e;
                e.number = -SQLITE_ERROR;
                e.nativeError = SQLITE_ERROR;
                e.source = name();
                e.description = QStringLiteral("Arithmetic overflow error converting expression to data type float.");
                throw ProviderFailure{{e}};
            }
        if (!ddl && !applyTranslatedTypes(s, st.columnTypes, rs)) {
            const SessionRights::Trusted trusted(m_rights);
            applyExactTypes(m_db, s, rs, &m_exactTypes);
            applyTranslatedTypes(s, st.columnTypes, rs);
        }
        if (!ddl) applyTextTypes(st.columnTypes, rs);
        for (const int c : st.unnamedColumns)
            if (size_t(c) < rs.fields.size()) rs.fields[size_t(c)].name.clear();
        padFixedWidth(rs);
        rs.countShown = !m_noCount;
        run.result.sets.push_back(std::move(rs));
    } else if (st.dml && !m_noCount) {
        run.result.sets.push_back(std::move(rs));
    }
}

void EmbeddedBackend::padNewTable(const QString& sql)
{
    static const QRegularExpression re(
        QStringLiteral(
            R"(^\s*(?:create|alter)\s+(temp\s+)?table\s+(?:if\s+not\s+exists\s+)?(?:("(?:[^"]|"")+"|\w+)\.)?("(?:[^"]|"")+"|[\w#]+))"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(sql);
    if (!m.hasMatch()) return;
    auto bare = [](QString n) {
        if (n.startsWith(u'"')) n = n.mid(1, n.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        return n;
    };
    const QString table = bare(m.captured(3));
    QString schema = m.captured(2).isEmpty() ? QStringLiteral("main") : bare(m.captured(2));
    if (!m.captured(1).isEmpty() || table.startsWith(u'#')) schema = QStringLiteral("temp");
    try {
        // The padding triggers are the server's own, whoever made the table.
        const SessionRights::Trusted trusted(m_rights);
        addFixedWidthPadding(m_db, schema, table);
    } catch (const orra::Error& e) {
        raise(QStringLiteral("42000"), e.description(), 0);
    }
    keepNullKeys(schema, table);
}

// create unique index and drop index (as SQLite runs them) change the unique keys of a table.
void EmbeddedBackend::keepIndexNullKeys(const QString& sql)
{
    static const QRegularExpression made(
        QStringLiteral(R"(^\s*create\s+unique\s+index\s+(\w+|"(?:[^"]|"")+")\.(?:"(?:[^"]|"")+")\s+on\s+("(?:[^"]|"")+"))"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression dropped(
        QStringLiteral(R"(^\s*drop\s+index\s+(?:if\s+exists\s+)?(\w+|"(?:[^"]|"")+")\.)"),
        QRegularExpression::CaseInsensitiveOption);
    auto bare = [](QString n) {
        if (n.startsWith(u'"')) n = n.mid(1, n.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
        return n;
    };
    if (const QRegularExpressionMatch m = made.match(sql); m.hasMatch())
        keepNullKeys(bare(m.captured(1)), bare(m.captured(2)));
    else if (const QRegularExpressionMatch d = dropped.match(sql); d.hasMatch())
        keepNullKeys(bare(d.captured(1)), QString());
}

// The companions of the table's unique indexes (NullKeys.h); a unique index just made over rows
// that repeat a key holding NULL goes again, with error 1505.
void EmbeddedBackend::keepNullKeys(const QString& schema, const QString& table)
{
    const SessionRights::Trusted trusted(m_rights);   // the companions are the server's own
    const std::optional<NullKeyRepeat> repeat = keepNullKeysUnique(m_db, schema, table);
    if (!repeat) return;
    const QString drop = QStringLiteral("drop index \"%1\".\"%2\"")
                             .arg(QString(schema).replace(u'"', QStringLiteral("\"\"")),
                                 QString(repeat->index).replace(u'"', QStringLiteral("\"\"")));
    sqlite3_exec(m_db, drop.toUtf8().constData(), nullptr, nullptr, nullptr);
    const QString object = table.startsWith(u'#') || table.contains(u'.') ? table : QStringLiteral("dbo.") + table;
    ConstraintMessage m =
        duplicateKeyMessage(m_db, schema, table, object, repeat->index.section(u'.', -1), repeat->sqliteMessage());
    addKeyValue(m);
    raise(QStringLiteral("23000"), m.text, m.number);
}

QStringList EmbeddedBackend::computedColumnTypes(const SqlStatement& st)
{
    QStringList types;
    if (!st.typing.columns.empty()) {
        const SessionRights::Trusted trusted(m_rights);
        types = resolveColumnTypes(m_db, st.typing);
    }
    // money and decimal expressions read as values of their type, whatever storage class each
    // value travels in (a double in one row, the text of a wider decimal in the next); whole
    // and approximate numbers are of their type too, not of their values' (a union of int and
    // bigint is bigint)
    for (qsizetype i = 0; i < st.columnTypes.size(); ++i) {
        const SqlType t = SqlType::fromDeclared(st.columnTypes[i]);
        if (!t.isNumber() || t.kind == SqlType::Kind::Bit) continue;
        while (types.size() <= i) types << QString();
        if (types[i].isEmpty()) types[i] = st.columnTypes[i];
    }
    return types;
}

void EmbeddedBackend::rewordConstraintFailure(ProviderFailure& failure, const QString& sql, sqlite3_stmt* statement)
{
    if (failure.errors.isEmpty() || failure.errors.first().sqlState != u"23000") return;
    const SessionRights::Trusted trusted(m_rights);   // the server reads its own schema
    ProviderError& e = failure.errors.first();
    ConstraintMessage m = serverConstraintMessage(m_db, m_database, sql, e.description);
    if (m.text.isEmpty()) return;
    if (m.number == 1505) addKeyValue(m);
    e.description = m.text;
    if (m.number == 2627 || m.number == 2601)
        if (const QString value = duplicateKeyValue(statement, m); !value.isEmpty())
            e.description += QStringLiteral(" The duplicate key value is (%1).").arg(value);
    e.nativeError = m.number;
    e.number = -m.number;
}

struct EmbeddedBackend::CallSession final : ProcedureSession {
    CallSession(EmbeddedBackend& backend, Run& run) : m_backend(backend), m_run(run) {}

    ResultSet query(const QString& sqliteText, const QList<QVariant>& args) override
    {
        return m_backend.query(sqliteText, args);
    }
    void inWriteTransaction(const std::function<void()>& work) override
    {
        WriteTransaction transaction(m_backend.m_db);
        if (transaction.beginRc() != SQLITE_OK) m_backend.m_session.raise(sqlite3_errcode(m_backend.m_db));
        work();
        if (transaction.commit() != SQLITE_OK) m_backend.m_session.raise(sqlite3_errcode(m_backend.m_db));
    }
    void addResult(ResultSet rows) override
    {
        rows.countShown = !m_backend.m_noCount;
        m_run.result.sets.push_back(std::move(rows));
    }
    void addMessage(const QString& text) override
    {
        ProviderError message;
        message.sqlState = QStringLiteral("01000");
        message.description = text;
        m_run.result.addMessage(message);
    }
    [[noreturn]] void raise(const QString& sqlState, const QString& message, long number) override
    {
        m_backend.raise(sqlState, message, number);
    }
    int spid() const override { return m_backend.m_spid; }
    QString loginTime() const override { return m_backend.m_loginTime; }
    QString login() const override { return m_backend.m_login; }
    bool sessionAlive(int spid, const QString& loginTime) const override
    {
        return m_backend.sessionAlive(spid, loginTime);
    }

private:
    EmbeddedBackend& m_backend;
    Run& m_run;
};

void EmbeddedBackend::runProcedure(const ProcedureCall& st, Run& run)
{
    if (st.name.compare(QLatin1String("sp_addrolemember"), Qt::CaseInsensitive) == 0) {
        runAdministration(Statement{st}, run);
        return;
    }
    // The registered procedures keep their place before those stored in the database.
    const ProcedureHandler handler = translator::isDefaultSchema(st.schema) ? findProcedure(st.name) : ProcedureHandler();
    if (!handler) {
        runStoredProcedure(st, run);
        return;
    }
    // Arguments that name variables pass their values; a registered procedure has no OUTPUT
    // parameter.
    ProcedureArguments arguments = st.arguments;
    for (size_t i = 0; i < arguments.size() && i < st.variables.size(); ++i) {
        if (st.variables[i].output)
            raise(QStringLiteral("42000"),
                QStringLiteral("The formal parameter \"%1\" was not declared as an OUTPUT parameter, but the actual "
                               "parameter passed in requested output.")
                    .arg(arguments[i].name.isEmpty() ? QStringLiteral("@%1").arg(i + 1) : arguments[i].name),
                8162);
        if (const int slot = st.variables[i].slot; slot >= 0) {
            sqlite3_value* v = run.variables[size_t(slot)].get();
            arguments[i].value = v ? storedValueOf(v) : QVariant();
        }
    }
    CallSession session(*this, run);
    // The guards know which procedure writes (sp_UserLock keeps the lock rows).
    const QString outer = std::exchange(m_procedure, st.name.trimmed());
    try {
        handler(arguments, session);
    } catch (...) {
        m_procedure = outer;
        throw;
    }
    m_procedure = outer;
    if (st.statusSlot >= 0)   // it ended without error: status 0
        run.variables[size_t(st.statusSlot)].reset(
            convertedValue(st.statusQuery, [](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, 0); }));
}

void EmbeddedBackend::runAdministration(const Statement& st, Run& run)
{
    Q_UNUSED(run);
    auto denied = [&](const QString& what) {
        raise(QStringLiteral("42000"),
            QStringLiteral("User does not have permission to perform this action (%1).").arg(what), 15247);
    };
    // db_owner (and sysadmin) manages the database's users and roles, through the server's
    // own statements: the only writes the server's tables take.
    const bool dbo = m_rights.isOwner(QStringLiteral("main"));
    const SessionRights::Trusted trusted(m_rights);
    try {
        if (const auto* database = st.as<CreateDatabase>()) {
            if (!m_sysadmin) denied(QStringLiteral("CREATE DATABASE"));
            createDatabase(m_server, database->name, m_login);
        } else if (const auto* login = st.as<CreateLogin>()) {
            if (!m_sysadmin) denied(QStringLiteral("CREATE LOGIN"));
            detail::insertLogin(m_master, login->name, login->password, false, false);
        } else if (const auto* user = st.as<CreateUser>()) {
            if (!dbo) denied(QStringLiteral("CREATE USER"));
            const detail::LoginRow l = detail::findLogin(m_master, user->login);
            if (!l.found)
                raise(QStringLiteral("42000"),
                    QStringLiteral("'%1' is not a valid login or you do not have permission.").arg(user->login), 15007);
            detail::insertUser(m_db, user->name, l.sid);
        } else if (const auto* schema = st.as<CreateSchema>()) {
            if (!dbo) denied(QStringLiteral("CREATE SCHEMA"));
            try {
                createSchema(m_db, schema->name);
            } catch (const orra::Error& e) {
                raise(QStringLiteral("42S01"), e.description(), e.number());
            }
        } else if (const auto* role = st.as<CreateRole>()) {
            if (!dbo) denied(QStringLiteral("CREATE ROLE"));
            detail::insertRole(m_db, role->name);
        } else if (const auto* call = st.as<ProcedureCall>()) {   // sp_addrolemember 'role', 'member'
            if (!dbo) denied(QStringLiteral("sp_addrolemember"));
            if (call->arguments.size() != 2)
                raise(QStringLiteral("42000"),
                    QStringLiteral(
                        "Procedure or function 'sp_addrolemember' expects parameters '@rolename' and '@membername'."),
                    201);
            detail::insertRoleMember(m_db, call->arguments[0].value.toString(), call->arguments[1].value.toString());
        }
    } catch (const orra::Error& e) {
        raise(QStringLiteral("42000"), e.description(), 15000);
    }
}

}   // namespace orra::embedded
