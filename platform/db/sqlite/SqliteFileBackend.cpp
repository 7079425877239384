#include "platform/db/sqlite/SqliteFileBackend.h"

#include "platform/db/Connection.h"

#include <QFileInfo>
#include <sqlite3.h>

namespace orra::db::sqlite {

void openDatabaseFile(Connection& con, const QString& path, FileMode mode)
{
    ConnectionString cs;
    cs.set(QStringLiteral("Data Source"), path);
    if (mode == FileMode::Create) cs.set(QStringLiteral("Mode"), QStringLiteral("Create"));
    if (mode == FileMode::ReadOnly) cs.set(QStringLiteral("Mode"), QStringLiteral("ReadOnly"));
    con.open(std::make_unique<SqliteFileBackend>(), cs);
}

SqliteFileBackend::SqliteFileBackend() = default;

SqliteFileBackend::~SqliteFileBackend() { close(); }

void SqliteFileBackend::open(const ConnectionString& cs, const QString& user, const QString& password)
{
    Q_UNUSED(password);
    close();
    m_path = cs.value(QStringLiteral("Data Source")).trimmed();
    m_user = user.isEmpty() ? cs.valueOf({"UID", "User ID"}) : user;
    const QString mode = cs.value(QStringLiteral("Mode")).trimmed();
    int flags = SQLITE_OPEN_READWRITE;
    if (mode.compare(u"Create", Qt::CaseInsensitive) == 0)
        flags |= SQLITE_OPEN_CREATE;
    else if (mode.compare(u"ReadOnly", Qt::CaseInsensitive) == 0 || mode.compare(u"Read", Qt::CaseInsensitive) == 0)
        flags = SQLITE_OPEN_READONLY;
    if (m_path.isEmpty()) {
        ProviderError e;
        e.number = -SQLITE_CANTOPEN;
        e.sqlState = QStringLiteral("08001");
        e.description = QStringLiteral("No database file named (Data Source is empty)");
        e.source = name();
        throw ProviderFailure{{e}};
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(m_path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        ProviderError e;
        e.number = -long(rc & 0xff);
        e.nativeError = rc;
        e.sqlState = sqlStateFor(rc, QString());
        e.description = QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)) + QStringLiteral(": ") + m_path;
        e.source = name();
        sqlite3_close_v2(db);
        throw ProviderFailure{{e}};
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, 5000);
    m_db = db;
    m_session.attach(m_db);
    m_session.setSource(name());
    // a file that is not a database is refused now rather than at the first statement
    try {
        m_session.execute(QStringLiteral("select count(*) from sqlite_master"));
    } catch (...) {
        close();
        throw;
    }
}

void SqliteFileBackend::close()
{
    if (!m_db) return;
    m_session.detach();
    sqlite3_close_v2(m_db);
    m_db = nullptr;
}

ExecuteResult SqliteFileBackend::execute(const QString& sql, const QList<Parameter>& params)
{
    return m_session.execute(sql, params);
}

void SqliteFileBackend::beginTransaction() { m_session.execute(QStringLiteral("BEGIN")); }

void SqliteFileBackend::commit() { m_session.execute(QStringLiteral("COMMIT")); }

void SqliteFileBackend::rollback()
{
    // an interrupted or failed statement may already have ended the transaction
    if (m_db && sqlite3_get_autocommit(m_db)) return;
    m_session.execute(QStringLiteral("ROLLBACK"));
}

void SqliteFileBackend::cancel() { m_session.cancel(); }

QString SqliteFileBackend::property(const QString& name) const
{
    if (name.compare(u"Server Name", Qt::CaseInsensitive) == 0
        || name.compare(u"Data Source", Qt::CaseInsensitive) == 0)
        return QFileInfo(m_path).absoluteFilePath();
    if (name.compare(u"Current Catalog", Qt::CaseInsensitive) == 0) return QFileInfo(m_path).completeBaseName();
    if (name.compare(u"DBMS Name", Qt::CaseInsensitive) == 0) return QStringLiteral("SQLite");
    if (name.compare(u"DBMS Version", Qt::CaseInsensitive) == 0) return QString::fromLatin1(sqlite3_libversion());
    if (name.compare(u"User Name", Qt::CaseInsensitive) == 0) return m_user;
    return QString();
}

}   // namespace orra::db::sqlite
