#include "platform/db/embedded/Authorizer.h"

#include "platform/db/embedded/Extensions.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <sqlite3.h>

namespace orra::embedded {

namespace {

QString text(const char* s) { return s ? QString::fromUtf8(s) : QString(); }

bool isTemp(const QString& schema) { return schema.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0; }

// SQL functions that reach outside the database: never from client text.
bool isForbiddenFunction(const QString& name)
{
    static const char* const names[] = {"load_extension", "fts3_tokenizer", "readfile", "writefile", "edit", "fts5"};
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

bool isGuardTrigger(const QString& name)
{
    return name.startsWith(QLatin1String(kGuardTriggerPrefix), Qt::CaseInsensitive);
}

}   // namespace

bool isServerTable(const QString& table)
{
    static const char* const names[] = {"sysusers", "sysmembers", "syslogins", "sysprocesses", "sysschemas", "sysmodules", "sysdatabases"};
    for (const char* n : names)
        if (table.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

void SessionRights::install(sqlite3* db)
{
    sqlite3_set_authorizer(db, &SessionRights::authorize, this);
    // No writable schema, no writes to shadow tables, even if a pragma slipped through.
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
}

void SessionRights::reset()
{
    m_guarded.clear();
    m_updated.clear();
    m_database.clear();
    m_denial.clear();
    m_sysadmin = false;
    m_trusted = 0;
    m_owner.clear();
}

void SessionRights::setOwner(const QString& schema, bool owner) { m_owner.insert(foldName(schema), owner); }

bool SessionRights::isOwner(const QString& schema) const
{
    return m_sysadmin || m_owner.value(foldName(schema), false);
}

QString SessionRights::databaseOf(const QString& schema) const
{
    return schema.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0 || schema.isEmpty() ? m_database : schema;
}

int SessionRights::deny(long number, const QString& message) const
{
    m_denial = message;
    m_denialNumber = number;
    return SQLITE_DENY;
}

int SessionRights::authorize(
    void* self, int action, const char* a, const char* b, const char* schema, const char* trigger)
{
    const auto* r = static_cast<const SessionRights*>(self);
    if (r->m_trusted > 0) return SQLITE_OK;
    return r->decide(action, text(a), text(b), text(schema), text(trigger));
}

int SessionRights::decide(
    int action, const QString& a, const QString& b, const QString& schema, const QString& trigger) const
{
    const auto writeDenied = [&](const char* what) {
        return deny(229,
            QStringLiteral("The %1 permission was denied on the object '%2', database '%3', schema 'dbo'.")
                .arg(QLatin1String(what), a, databaseOf(schema)));
    };
    const auto createDenied = [&](const char* what, const QString& db) {
        return deny(
            262, QStringLiteral("%1 permission denied in database '%2'.").arg(QLatin1String(what), databaseOf(db)));
    };
    const auto cannot = [&](const char* verb, const char* kind, const QString& name) {
        return deny(3701,
            QStringLiteral("Cannot %1 the %2 '%3', because it does not exist or you do not have permission.")
                .arg(QLatin1String(verb), QLatin1String(kind), name));
    };
    switch (action) {
    case SQLITE_SELECT:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:   // the server's own, around a statement it runs in steps (MERGE)
    case SQLITE_RECURSIVE:
        return SQLITE_OK;
    case SQLITE_READ:
        // a: table, b: column
        if (a.compare(QLatin1String("syslogins"), Qt::CaseInsensitive) == 0
            && b.compare(QLatin1String("password_hash"), Qt::CaseInsensitive) == 0 && !m_sysadmin)
            return SQLITE_IGNORE;
        return SQLITE_OK;
    case SQLITE_FUNCTION:
        // b: function name
        if (isForbiddenFunction(b)
            || (b.compare(QLatin1String(kGuardFunction), Qt::CaseInsensitive) == 0 && !isGuardTrigger(trigger)))
            return deny(195, QStringLiteral("'%1' is not a recognized built-in function name.").arg(b));
        return SQLITE_OK;
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE: {
        // a: table (b: the column an update sets)
        if (action == SQLITE_UPDATE && trigger.isEmpty()) m_updated.push_back({schema, a, b});
        const char* what = action == SQLITE_INSERT ? "INSERT" : action == SQLITE_UPDATE ? "UPDATE" : "DELETE";
        if (isServerTable(a)) return writeDenied(what);
        // A guarded table: its owners write it; others only where the guard triggers check.
        if (!isTemp(schema) && !isOwner(schema) && findRowWriteGuard(a)) {
            const bool main = schema.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0;
            if (!main || !m_guarded.contains(foldName(a))) return writeDenied(what);
        }
        // sqlite_master changes under DDL, which is checked on its own; sqlite_sequence (the
        // identity counters) only by those who may drop tables, and by the server's trigger
        // that counts an identity (see IdentityColumns.h).
        if (a.compare(QLatin1String("sqlite_sequence"), Qt::CaseInsensitive) == 0 && !isTemp(schema)
            && !isOwner(schema) && !trigger.startsWith(QLatin1String("orra_identity$")))
            return writeDenied(what);
        return SQLITE_OK;
    }
    case SQLITE_CREATE_TEMP_TABLE:
    case SQLITE_CREATE_TEMP_INDEX:
    case SQLITE_CREATE_TEMP_VIEW:
    case SQLITE_CREATE_TEMP_TRIGGER:
    case SQLITE_DROP_TEMP_TABLE:
    case SQLITE_DROP_TEMP_INDEX:
    case SQLITE_DROP_TEMP_VIEW:
    case SQLITE_DROP_TEMP_TRIGGER:
        // No temporary table or view that would stand in for a server's table in the session's
        // unqualified names, and no temporary trigger on one (it may name another database's);
        // the guard triggers are the server's alone.
        if (isServerTable(a) || isServerTable(b)
            || ((action == SQLITE_CREATE_TEMP_TRIGGER || action == SQLITE_DROP_TEMP_TRIGGER) && isGuardTrigger(a)))
            return createDenied(action == SQLITE_CREATE_TEMP_VIEW ? "CREATE VIEW"
                    : action == SQLITE_CREATE_TEMP_TRIGGER        ? "CREATE TRIGGER"
                                                                  : "CREATE TABLE",
                schema);
        return SQLITE_OK;
    case SQLITE_CREATE_TABLE:
        if (isTemp(schema) && isServerTable(a)) return createDenied("CREATE TABLE", schema);
        if (isTemp(schema) || isOwner(schema)) return SQLITE_OK;
        return createDenied("CREATE TABLE", schema);
    case SQLITE_CREATE_VIEW:
        if (isTemp(schema) && isServerTable(a)) return createDenied("CREATE VIEW", schema);
        if (isTemp(schema) || isOwner(schema)) return SQLITE_OK;
        return createDenied("CREATE VIEW", schema);
    case SQLITE_DROP_VIEW:
        if (isTemp(schema) || isOwner(schema)) return SQLITE_OK;
        return cannot("drop", "view", a);
    case SQLITE_DROP_TABLE:
        if (isTemp(schema) || (isOwner(schema) && !isServerTable(a))) return SQLITE_OK;
        return cannot("drop", "table", a);
    case SQLITE_CREATE_INDEX:
    case SQLITE_CREATE_TRIGGER:
        // a: index or trigger, b: its table
        if (isTemp(schema) || (isOwner(schema) && !isServerTable(b))) return SQLITE_OK;
        return createDenied(action == SQLITE_CREATE_INDEX ? "CREATE INDEX" : "CREATE TRIGGER", schema);
    case SQLITE_REINDEX:
        // a: index. CREATE INDEX fills the new index through this check; an owner's own work.
        if (isTemp(schema) || isOwner(schema)) return SQLITE_OK;
        return createDenied("CREATE INDEX", schema);
    case SQLITE_PRAGMA:
        // a: pragma, b: its argument. ALTER TABLE … ADD of a column with a check runs a quick
        // check of the table; no pragma of a client reaches SQLite.
        if (a.compare(QLatin1String("quick_check"), Qt::CaseInsensitive) == 0 && !b.isEmpty()
            && (isTemp(schema) || isOwner(schema)))
            return SQLITE_OK;
        return deny(15247, QStringLiteral("User does not have permission to perform this action."));
    case SQLITE_DROP_INDEX:
    case SQLITE_DROP_TRIGGER:
        if (isTemp(schema) || (isOwner(schema) && !isServerTable(b))) return SQLITE_OK;
        return cannot("drop", action == SQLITE_DROP_INDEX ? "index" : "trigger", a);
    case SQLITE_ALTER_TABLE:
        // a: database, b: table
        if (isTemp(a) || (isOwner(a) && !isServerTable(b))) return SQLITE_OK;
        return cannot("alter", "table", b);
    default:
        // attach, detach, pragma, vacuum, analyze, reindex, virtual tables, savepoints …
        return deny(15247, QStringLiteral("User does not have permission to perform this action."));
    }
}

}   // namespace orra::embedded
