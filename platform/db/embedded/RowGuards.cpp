#include "platform/db/embedded/RowGuards.h"

#include "platform/db/Connection.h"
#include "platform/db/embedded/Authorizer.h"
#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/Extensions.h"
#include "platform/db/embedded/ServerInternal.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/host/Error.h"

#include <sqlite3.h>

namespace orra::embedded {

namespace {

// The name of a table of main as it is spelled there; empty when there is none.
QString tableOfMain(sqlite3* db, const QString& name)
{
    const PreparedStatement st(
        db, "select name from main.sqlite_master where type = 'table' and name = ? collate nocase");
    if (!st.ok()) return QString();
    const QByteArray n = name.toUtf8();
    sqlite3_bind_text(st, 1, n.constData(), int(n.size()), SQLITE_TRANSIENT);
    return sqlite3_step(st) == SQLITE_ROW ? columnText(st, 0) : QString();
}

QStringList columnsOf(sqlite3* db, const QString& table)
{
    QStringList columns;
    const PreparedStatement st(
        db, QStringLiteral("select name from pragma_table_info(%1, 'main')").arg(literal(table)));
    while (st.ok() && sqlite3_step(st) == SQLITE_ROW) columns << columnText(st, 0);
    return columns;
}

QString rowValues(const char* row, const QStringList& columns)
{
    QStringList values;
    for (const QString& c : columns) values << QLatin1String(row) + u'.' + quoted(c);
    return values.join(u',');
}

QVariant valueOf(sqlite3_value* v)
{
    switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_value_int64(v)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_value_double(v));
    case SQLITE_TEXT:
        return QVariant(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v)));
    case SQLITE_BLOB:
        return QVariant(QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v)));
    default:
        return QVariant();
    }
}

// A guard's reads, as a connection: T-SQL text run inside the statement being checked.
class NestedBackend final : public db::Backend {
public:
    explicit NestedBackend(EmbeddedBackend& outer) : m_outer(outer) {}
    void open(const db::ConnectionString&, const QString&, const QString&) override {}
    void close() override {}
    bool isOpen() const override { return m_outer.isOpen(); }
    db::ExecuteResult execute(const QString& sql, const QList<db::Parameter>& params) override
    {
        return m_outer.runNested(sql, params);
    }
    void beginTransaction() override { refuse(); }
    void commit() override { refuse(); }
    void rollback() override { refuse(); }
    void cancel() override { m_outer.cancel(); }
    QString property(const QString& name) const override { return m_outer.property(name); }
    QString name() const override { return m_outer.name(); }

private:
    [[noreturn]] static void refuse()
    {
        throw db::ProviderFailure{{db::ProviderError{
            -50000, QStringLiteral("42000"), QStringLiteral("A row guard may only read."), detail::kSource, 50000}}};
    }
    EmbeddedBackend& m_outer;
};

// The refusal of a guard, carried out of it to the SQL function.
struct Refusal {
    long number;
    QString message;
};

class GuardSession final : public RowWriteSession {
public:
    GuardSession(EmbeddedBackend& backend, const RowWrite& row) : m_backend(backend), m_row(row) {}
    db::Connection& connection() override { return m_backend.nestedConnection(); }
    int spid() const override { return m_backend.spid(); }
    QString loginTime() const override { return m_backend.loginTime(); }
    QString login() const override { return m_backend.login(); }
    QByteArray loginSid() const override { return m_backend.loginSid(); }
    QVariantHash& transactionMemory() override { return m_backend.guardMemory(); }
    [[noreturn]] void deny() override
    {
        throw Refusal{229,
            QStringLiteral("The %1 permission was denied on the object '%2', database '%3', schema 'dbo'.")
                .arg(m_row.verb(), m_row.table, m_backend.database())};
    }

private:
    EmbeddedBackend& m_backend;
    const RowWrite& m_row;
};

// Runs the guard of row; a refusal (or any failure of the guard) as the server's error.
Refusal check(EmbeddedBackend& backend, const RowWrite& row)
{
    try {
        const RowWriteGuard guard = findRowWriteGuard(row.table);
        GuardSession session(backend, row);
        if (!guard) session.deny();   // no longer guarded here: nobody but the owners writes it
        guard(row, session);
        return {0, QString()};
    } catch (const Refusal& r) {
        return r;
    } catch (const orra::Error& e) {
        return {50000, e.description()};
    } catch (const db::ProviderFailure& f) {
        if (f.errors.isEmpty()) return {50000, QStringLiteral("The row guard failed.")};
        const db::ProviderError& e = f.errors.first();
        return {e.nativeError ? e.nativeError : 50000, e.description};
    } catch (const std::exception& e) {
        return {50000, QString::fromLocal8Bit(e.what())};
    } catch (...) {
        return {50000, QStringLiteral("The row guard failed.")};
    }
}

}   // namespace

QHash<QString, QStringList> installRowGuards(sqlite3* db)
{
    QHash<QString, QStringList> guarded;
    for (const QString& registered : rowWriteGuardTables()) {
        const QString table = tableOfMain(db, registered);
        if (table.isEmpty()) continue;
        const QStringList columns = columnsOf(db, table);
        const QString prefix = QLatin1String(kGuardTriggerPrefix) + foldName(table);
        const QString call = QStringLiteral("begin select %1(%2, ").arg(QLatin1String(kGuardFunction), literal(table));
        const QString on = QStringLiteral(" on main.") + quoted(table) + u' ';
        detail::exec(db,
            QStringLiteral("create temp trigger ") + quoted(prefix + QStringLiteral("_insert"))
                + QStringLiteral(" before insert") + on + call + QStringLiteral("1, ") + rowValues("new", columns)
                + QStringLiteral("); end"));
        detail::exec(db,
            QStringLiteral("create temp trigger ") + quoted(prefix + QStringLiteral("_update"))
                + QStringLiteral(" before update") + on + call + QStringLiteral("2, ") + rowValues("old", columns)
                + u',' + rowValues("new", columns) + QStringLiteral("); end"));
        detail::exec(db,
            QStringLiteral("create temp trigger ") + quoted(prefix + QStringLiteral("_delete"))
                + QStringLiteral(" before delete") + on + call + QStringLiteral("3, ") + rowValues("old", columns)
                + QStringLiteral("); end"));
        guarded.insert(foldName(table), columns);
    }
    return guarded;
}

void rowGuardFunction(sqlite3_context* context, int argc, sqlite3_value** argv)
{
    auto* backend = static_cast<EmbeddedBackend*>(sqlite3_user_data(context));
    sqlite3_result_null(context);
    if (backend->rights().trusted()) return;   // the server's own statements
    RowWrite row;
    Refusal refusal{50000, QStringLiteral("The row guard was called wrongly.")};
    if (argc >= 2) {
        row.table = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])));
        row.columns = backend->guardedColumns(row.table);
        const int action = sqlite3_value_int(argv[1]);
        const int n = int(row.columns.size());
        const int rows = action == 2 ? 2 : 1;
        if (n > 0 && action >= 1 && action <= 3 && argc == 2 + rows * n) {
            row.action = action == 1 ? RowWrite::Action::Insert
                : action == 2        ? RowWrite::Action::Update
                                     : RowWrite::Action::Delete;
            QList<QVariant>& first = action == 1 ? row.after : row.before;
            for (int i = 0; i < n; ++i) first.append(valueOf(argv[2 + i]));
            if (action == 2)
                for (int i = 0; i < n; ++i) row.after.append(valueOf(argv[2 + n + i]));
            row.procedure = backend->procedure();
            refusal = check(*backend, row);
            if (refusal.message.isEmpty()) return;
        }
    }
    backend->rights().refuse(refusal.number, refusal.message);
    const QByteArray message = refusal.message.toUtf8();
    sqlite3_result_error(context, message.constData(), int(message.size()));
    sqlite3_result_error_code(context, SQLITE_AUTH);
}

db::Connection& EmbeddedBackend::nestedConnection()
{
    if (!m_nestedConnection) {
        m_nestedConnection = std::make_unique<db::Connection>();
        m_nestedConnection->open(std::make_unique<NestedBackend>(*this), db::ConnectionString());
        m_nestedConnection->setCommandTimeout(0);
    }
    return *m_nestedConnection;
}

}   // namespace orra::embedded
