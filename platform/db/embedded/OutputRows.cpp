#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"

// OUTPUT: while the change runs, temporary triggers on the changed table note each row it
// inserts, updates or deletes (kOutputRows: the action and the row, in the order they came)
// and the old values of the rows updated or deleted (kOutputDeleted, under the row's number).
// The outputs then read inserted as the table holds the row once the statement is done, and
// deleted as it was before. A row that the server's own triggers write again (padding, the
// identity) is noted once: only the statement's own kind of change is noted, once per row.
// These temporary triggers come before the server's own on the table (SQLite runs a table's
// triggers newest first, temporary ones before the others), so a row the identity trigger
// renumbers after its insert is followed to its number.

namespace orra::embedded {

namespace {

const char* const kTriggerPrefix = "orra output ";

}   // namespace

class EmbeddedBackend::OutputCapture {
public:
    OutputCapture(EmbeddedBackend& backend, const OutputStatement& st) : m_backend(backend)
    {
        m_merge = st.verb == u"merge";
        m_kind = st.verb.toUtf8();
        const SessionRights::Trusted trusted(backend.m_rights);
        sqlite3* db = backend.m_db;
        const bool temp = st.schema == u"temp";
        const QString on = temp ? quoted(st.table) : quoted(st.schema) + u'.' + quoted(st.table);
        // the table's columns as declared, computed ones too
        QStringList names, declarations;
        {
            const PreparedStatement columns(db,
                QStringLiteral("select name, type from pragma_table_xinfo(?1, ?2) where hidden in (0, 2, 3) order by cid"));
            const QByteArray table = st.table.toUtf8(), schema = st.schema.toUtf8();
            sqlite3_bind_text(columns, 1, table.constData(), int(table.size()), SQLITE_TRANSIENT);
            sqlite3_bind_text(columns, 2, schema.constData(), int(schema.size()), SQLITE_TRANSIENT);
            while (sqlite3_step(columns) == SQLITE_ROW) {
                const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, 0)));
                const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(columns, 1)));
                names << quoted(name);
                declarations << quoted(name) + u' ' + type;
            }
        }
        QStringList old;
        for (const QString& n : names) old << QStringLiteral("old.") + n;
        const QString rows = quoted(QLatin1String(kOutputRows)), deleted = quoted(QLatin1String(kOutputDeleted));
        const QString keepOld = QStringLiteral("insert or ignore into %1 (rowid, %2) values (old.rowid, %3);")
                                    .arg(deleted, names.join(u','), old.join(u','));
        const auto note = [&](const char* action, const char* row) {
            return QStringLiteral("insert or ignore into %1 (\"$action\", r) values ('%2', %3.rowid);")
                .arg(rows, QLatin1String(action), QLatin1String(row));
        };
        const auto trigger = [&](const char* name, const char* when, const char* kind, const QString& body) {
            return QStringLiteral("create temp trigger %1 %2 on %3 when orra_output_kind() = '%4' begin %5 end")
                .arg(quoted(QLatin1String(kTriggerPrefix) + QLatin1String(name)), QLatin1String(when), on,
                    QLatin1String(kind), body);
        };
        const QStringList setup{
            QStringLiteral("create temp table %1 (seq integer primary key, \"$action\" text, r integer, unique (\"$action\", r))")
                .arg(rows),
            QStringLiteral("create temp table %1 (%2)").arg(deleted, declarations.join(u',')),
            trigger("insert", "after insert", "insert", note("INSERT", "new")),
            // the server's identity trigger gives an inserted row its number after the insert
            trigger("moved", "after update", "insert",
                QStringLiteral("update %1 set r = new.rowid where \"$action\" = 'INSERT' and r = old.rowid;").arg(rows)),
            trigger("old", "before update", "update", keepOld),
            trigger("update", "after update", "update", note("UPDATE", "new")),
            trigger("delete", "after delete", "delete", keepOld + note("DELETE", "old")),
        };
        drop();
        for (const QString& sql : setup)
            if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                const QString message = QString::fromUtf8(sqlite3_errmsg(db));
                drop();
                backend.raise(QStringLiteral("42000"), message, 0);
            }
        backend.m_output = this;
    }

    ~OutputCapture()
    {
        m_backend.m_output = nullptr;
        const SessionRights::Trusted trusted(m_backend.m_rights);
        drop();
    }
    OutputCapture(const OutputCapture&) = delete;
    OutputCapture& operator=(const OutputCapture&) = delete;

    // A merge runs as several statements: each notes the rows of its own kind of change.
    void follow(const QString& sql)
    {
        if (!m_merge) return;
        for (const char* kind : {"insert", "update", "delete"})
            if (sql.startsWith(QLatin1String(kind), Qt::CaseInsensitive)) m_kind = kind;
    }
    const QByteArray& kind() const { return m_kind; }

private:
    void drop()
    {
        for (const char* name : {"insert", "moved", "old", "update", "delete"})
            sqlite3_exec(m_backend.m_db,
                QStringLiteral("drop trigger if exists temp.%1")
                    .arg(quoted(QLatin1String(kTriggerPrefix) + QLatin1String(name)))
                    .toUtf8()
                    .constData(),
                nullptr, nullptr, nullptr);
        for (const char* table : {kOutputRows, kOutputDeleted})
            sqlite3_exec(m_backend.m_db,
                QStringLiteral("drop table if exists temp.%1").arg(quoted(QLatin1String(table))).toUtf8().constData(),
                nullptr, nullptr, nullptr);
    }

    EmbeddedBackend& m_backend;
    bool m_merge = false;
    QByteArray m_kind;
};

void EmbeddedBackend::registerOutputFunction()
{
    // the kind of change the running statement makes, while an OUTPUT notes rows
    sqlite3_create_function_v2(m_db, "orra_output_kind", 0, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value**) {
            const OutputCapture* c = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_output;
            if (!c) return sqlite3_result_null(ctx);
            sqlite3_result_text(ctx, c->kind().constData(), int(c->kind().size()), SQLITE_TRANSIENT);
        },
        nullptr, nullptr, nullptr);
}

void EmbeddedBackend::followOutput(const QString& sql)
{
    if (m_output) m_output->follow(sql);
}

void EmbeddedBackend::runOutput(const OutputStatement& st, Run& run)
{
    if (m_output)
        raise(QStringLiteral("42000"), QStringLiteral("The embedded server does not run an OUTPUT clause inside another."), 0);
    // The change and what its outputs write are one: both happen or neither.
    WriteTransaction transaction(m_db);
    if (transaction.beginRc() != SQLITE_OK) m_session.raise(transaction.beginRc());
    const OutputCapture capture(*this, st);
    bool handsRows = false;
    for (const SqlStatement& o : st.outputs) handsRows = handsRows || o.returnsRows;
    // The rows handed back stand for the change's own count; an output into a table counts nothing.
    struct NoCount {
        bool& on;
        bool was;
        ~NoCount() { on = was; }
    };
    {
        const NoCount quiet{m_noCount, m_noCount};
        m_noCount = m_noCount || handsRows;
        for (const Statement& change : st.change) runStatement(change, run);
    }
    const long changed = run.rowCount;
    for (const SqlStatement& o : st.outputs) {
        const NoCount quiet{m_noCount, m_noCount};
        if (!o.returnsRows) m_noCount = true;
        runSql(o, run);
    }
    run.rowCount = changed;
    if (transaction.commit() != SQLITE_OK) m_session.raise(sqlite3_errcode(m_db));
}

}   // namespace orra::embedded
