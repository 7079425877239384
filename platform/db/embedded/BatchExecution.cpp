#include "platform/db/embedded/BatchErrors.h"
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/ExpressionFunctions.h"
#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/functions/ExactNumbers.h"

#include <cstdlib>

// The batch interpreter: statements in order, if, while, goto, try … catch, variables kept as
// SQLite values and bound to the statements that read them, and SQL Server's handling of
// errors (a statement-terminating error ends its statement, others end the batch).

namespace orra::embedded {

using db::ProviderError;
using db::ProviderFailure;
using db::ResultSet;

namespace {

bool isCompound(const Statement& st)
{
    return st.is<IfStatement>() || st.is<WhileStatement>() || st.is<BlockStatement>() || st.is<TryCatchStatement>()
        || st.is<FlowStatement>();
}

// The index of the label in list, or -1.
qsizetype labelIn(const StatementList& list, const QString& label)
{
    for (size_t i = 0; i < list.size(); ++i) {
        const auto* f = list[i].as<FlowStatement>();
        if (f && f->kind == FlowStatement::Kind::Label && f->label == label) return qsizetype(i);
    }
    return -1;
}

}   // namespace

Flow EmbeddedBackend::runList(const StatementList& list, Run& run)
{
    for (size_t i = 0; i < list.size(); ++i) {
        // A compound statement keeps its branches; the statements in them are taken as they
        // are now when they run.
        const Statement& st = isCompound(list[i]) ? list[i] : current(list[i], run);
        Flow flow = Flow::Next;
        try {
            flow = runStatement(st, run);
            if (!isCompound(st) && !st.is<RaiseStatement>()) run.error = 0;   // RAISERROR sets its own
        } catch (ProviderFailure& failure) {
            if (!run.raised) noteError(failure, st, run);
            if (run.tryDepth > 0 || m_nested > 0 || m_functionDepth > 0 || m_xactAbort
                || !endsOnlyTheStatement(run.raised->number))
                throw;
            // The statement ends; the batch goes on with the next one.
            deliverError(failure, run);
            run.raised.reset();
            continue;
        }
        if (flow == Flow::Goto) {
            const qsizetype at = labelIn(list, run.gotoLabel);
            if (at < 0) return flow;
            i = size_t(at);
            continue;
        }
        if (flow != Flow::Next) return flow;
    }
    return Flow::Next;
}

const Statement& EmbeddedBackend::current(const Statement& st, Run& run)
{
    if (!run.translation) return st;
    if (run.catalogueSeen != m_catalogueChanges) translateAgain(st, run);
    if (st.order < 0 || size_t(st.order) >= run.statements.size()) return st;
    const Statement& now = *run.statements[size_t(st.order)];
    return now.node.index() == st.node.index() && now.at == st.at ? now : st;
}

void EmbeddedBackend::translateAgain(const Statement& next, Run& run)
{
    run.catalogueSeen = m_catalogueChanges;
    if (m_schema->version() == run.translation->schemaVersion) return;
    run.translation = translateCached(run.text, m_database, m_schema.get(), run.kind, next.at);
    // A text that no longer translates runs on as first translated: the statement that no
    // longer fits the catalogue fails when it runs.
    run.statements = run.translation->byOrder();
    if (!run.translation->databases.isEmpty()) attachDatabases(run.translation->databases);
    if (size_t(run.translation->variables) > run.variables.size())
        run.variables.resize(size_t(run.translation->variables));
}

bool EmbeddedBackend::runBatchStatement(const Statement& st, Run& run, Flow& flow)
{
    flow = Flow::Next;
    if (const auto* test = st.as<IfStatement>()) {
        const QString& condition = current(st, run).as<IfStatement>()->condition;
        flow = runList(holds(condition, run) ? test->thenBranch : test->elseBranch, run);
    } else if (const auto* block = st.as<BlockStatement>()) {
        flow = runList(block->body, run);
    } else if (const auto* loop = st.as<WhileStatement>()) {
        while (holds(current(st, run).as<WhileStatement>()->condition, run)) {
            const Flow f = runList(loop->body, run);
            if (f == Flow::Break) break;
            if (f == Flow::Return || f == Flow::Goto) {
                flow = f;
                break;
            }
        }
    } else if (const auto* a = st.as<Assignment>()) {
        runAssignment(*a, run);
    } else if (const auto* f = st.as<FlowStatement>()) {
        switch (f->kind) {
        case FlowStatement::Kind::Break:
            flow = Flow::Break;
            break;
        case FlowStatement::Kind::Continue:
            flow = Flow::Continue;
            break;
        case FlowStatement::Kind::Return:
            if (!f->value.isEmpty()) run.status = procedureStatus(f->value, run);
            flow = Flow::Return;
            break;
        case FlowStatement::Kind::Goto:
            run.gotoLabel = f->label;
            flow = Flow::Goto;
            break;
        case FlowStatement::Kind::Label:
            break;
        }
    } else if (const auto* tc = st.as<TryCatchStatement>()) {
        ++run.tryDepth;
        try {
            flow = runList(tc->tryBody, run);
            --run.tryDepth;
        } catch (ProviderFailure& failure) {
            --run.tryDepth;
            if (!run.raised) noteError(failure, st, run);
            // What no catch block takes: an error that ends the session's work, and a name that
            // did not resolve at this block's own level (as a compile error; one from a procedure
            // it called is taken).
            if (run.raised->fatal || run.raised->unresolved) throw;
            // XACT_ABORT dooms the transaction (RAISERROR's errors aside): the catch block may
            // read and roll it back.
            if (m_xactAbort && !run.raised->raiserror && !sqlite3_get_autocommit(m_db)) m_doomed = true;
            run.handling.push_back(*run.raised);
            run.error = run.raised->number;
            run.raised.reset();
            try {
                flow = runList(tc->catchBody, run);
            } catch (...) {
                run.handling.pop_back();
                throw;
            }
            run.handling.pop_back();
        }
    } else if (const auto* c = st.as<CursorStatement>()) {
        runCursorStatement(*c, run);
    } else if (const auto* r = st.as<RaiseStatement>()) {
        runRaise(*r, st.line, run);
    } else if (const auto* t = st.as<DeclareTable>()) {
        if (m_nestLevel > 0) {   // a procedure that calls itself would take its caller's table
            const PreparedStatement used(m_db, QStringLiteral("select 1 from temp.sqlite_master where name = ?"));
            const QByteArray name = t->table.mid(1, t->table.size() - 2).replace("\"\"", "\"").toUtf8();
            sqlite3_bind_text(used, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(used) == SQLITE_ROW)
                raise(QStringLiteral("42000"),
                    QStringLiteral("The embedded server does not run a procedure that calls itself while it holds a "
                                   "table variable."),
                    0);
        }
        const QString drop = QStringLiteral("drop table if exists temp.%1").arg(t->table);
        sqlite3_exec(m_db, drop.toUtf8().constData(), nullptr, nullptr, nullptr);
        SqlStatement create;
        create.sql = t->create;
        runSql(create, run);
        for (const QString& sql : t->identity) {
            SqlStatement counting;
            counting.sql = sql;
            runSql(counting, run);
        }
        if (!run.tables.contains(t->table)) run.tables.append(t->table);
        if (!m_tableVariables.contains(t->table)) m_tableVariables.append(t->table);
    } else if (const auto* transaction = st.as<TransactionStatement>()) {
        runTransaction(*transaction, run);
    } else if (const auto* x = st.as<XactAbortStatement>()) {
        m_xactAbort = x->on;
        run.rowCount = 0;
    } else {
        return false;
    }
    return true;
}

void EmbeddedBackend::bindParameters(sqlite3_stmt* statement, Run& run)
{
    const int n = sqlite3_bind_parameter_count(statement);
    for (int i = 1; i <= n; ++i) {
        const char* name = sqlite3_bind_parameter_name(statement, i);
        if (name && name[0] == ':' && name[1] == 'v') {
            const size_t slot = size_t(std::atoi(name + 2));
            sqlite3_value* v = slot < run.variables.size() ? run.variables[slot].get() : nullptr;
            if (v)
                sqlite3_bind_value(statement, i, v);
            else
                sqlite3_bind_null(statement, i);
            continue;
        }
        if (run.nextParam >= run.params->size())
            raise(QStringLiteral("07002"), QStringLiteral("No value given for one or more required parameters."), 0);
        const QVariant& param = run.params->at(run.nextParam++);
        if (const std::optional<db::Decimal> d = db::decimalOf(param))   // every digit, not a double's 15
            bindExact(statement, i, *d);
        else
            db::sqlite::SqliteSession::bind(statement, i, param);
    }
}

bool EmbeddedBackend::holds(const QString& condition, Run& run)
{
    sqlite3_stmt* s = prepare(condition);
    const StatementReset reset(s);
    bindParameters(s, run);
    const int rc = sqlite3_step(s);
    if (rc == SQLITE_ROW) return sqlite3_column_int(s, 0) == 1;
    if (rc != SQLITE_DONE) m_session.raise(rc);
    return false;
}

void EmbeddedBackend::runAssignment(const Assignment& a, Run& run)
{
    sqlite3_stmt* s = prepare(a.query);
    const StatementReset reset(s);
    bindParameters(s, run);
    long rows = 0;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ++rows;
        if (a.accumulates) continue;   // assigned as computed
        for (size_t c = 0; c < a.targets.size(); ++c) {
            sqlite3_value* v = sqlite3_column_value(s, int(c));
            run.variables[size_t(a.targets[c])].reset(sqlite3_value_type(v) == SQLITE_NULL ? nullptr : sqlite3_value_dup(v));
        }
        if (!a.lastRow) break;
    }
    if (rc != SQLITE_ROW && rc != SQLITE_DONE) m_session.raise(rc);
    run.rowCount = a.lastRow ? rows : 1;
}

int EmbeddedBackend::transactionCount() const
{
    // SQLite ends a transaction on its own too (an error under xact_abort rolls it back).
    return sqlite3_get_autocommit(m_db) ? 0 : std::max(m_transactionCount, 1);
}

bool EmbeddedBackend::doomed() const { return m_doomed && !sqlite3_get_autocommit(m_db); }

int EmbeddedBackend::transactionState() const { return doomed() ? -1 : transactionCount() > 0 ? 1 : 0; }

void EmbeddedBackend::refuseWriteWhileDoomed() const
{
    if (doomed())
        raise(QStringLiteral("25000"),
            QStringLiteral("The current transaction cannot be committed and cannot support operations that write to "
                           "the log file. Roll back the transaction."),
            3930);
}

void EmbeddedBackend::runTransaction(const TransactionStatement& t, Run& run)
{
    const int count = transactionCount();
    if (count == 0) {   // (also when SQLite ended it on its own)
        m_savepoints.clear();
        m_transactionName.clear();
        m_doomed = false;
    }
    const auto exec = [&](const QString& sql) {
        if (const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
            m_session.raise(rc);
    };
    QString name = t.name;
    if (t.nameSlot >= 0 && size_t(t.nameSlot) < run.variables.size() && run.variables[size_t(t.nameSlot)])
        name = storedValueOf(run.variables[size_t(t.nameSlot)].get()).toString().left(32);
    run.rowCount = 0;
    switch (t.kind) {
    case TransactionStatement::Kind::Begin:
        // The write lock at once: two sessions that read and then write never meet a stale
        // snapshot (they wait for each other instead).
        if (count == 0) {
            exec(QStringLiteral("BEGIN IMMEDIATE"));
            m_transactionName = name;
        }
        m_transactionCount = count + 1;
        return;
    case TransactionStatement::Kind::Commit:
        if (count == 0)
            raise(QStringLiteral("25000"),
                QStringLiteral("The COMMIT TRANSACTION request has no corresponding BEGIN TRANSACTION."), 3902);
        refuseWriteWhileDoomed();
        if (count == 1) exec(QStringLiteral("COMMIT"));
        m_transactionCount = count - 1;
        return;
    case TransactionStatement::Kind::Save:
        if (count == 0)
            raise(QStringLiteral("25000"), QStringLiteral("Cannot issue SAVE TRANSACTION when there is no active "
                                                          "transaction."),
                628);
        refuseWriteWhileDoomed();
        // SQLite's names compare without regard to case, the server's savepoints with it: each
        // has a name of its own in SQLite.
        m_savepoints.append(name);
        exec(QStringLiteral("SAVEPOINT orra_savepoint_%1").arg(m_savepoints.size()));
        return;
    case TransactionStatement::Kind::Rollback:
        if (count == 0)
            raise(QStringLiteral("25000"),
                QStringLiteral("The ROLLBACK TRANSACTION request has no corresponding BEGIN TRANSACTION."), 3903);
        if (!name.isEmpty()) {
            // the latest savepoint of the name: back to it, the transaction goes on (its count too)
            if (const qsizetype at = m_savepoints.lastIndexOf(name); at >= 0) {
                if (doomed())
                    raise(QStringLiteral("25000"),
                        QStringLiteral("The current transaction cannot be committed and cannot be rolled back to a "
                                       "savepoint. Roll back the entire transaction."),
                        3931);
                rollbackKeepingTableVariables(QStringLiteral("ROLLBACK TO orra_savepoint_%1").arg(at + 1));
                m_savepoints.resize(at + 1);
                return;
            }
            if (name != m_transactionName)
                raise(QStringLiteral("25000"),
                    QStringLiteral("Cannot roll back %1. No transaction or savepoint of that name was found.").arg(name),
                    6401);
        }
        rollbackKeepingTableVariables(QStringLiteral("ROLLBACK"));
        m_doomed = false;
        m_transactionCount = 0;
        m_savepoints.clear();
        m_transactionName.clear();
        return;
    }
}

void EmbeddedBackend::rollbackKeepingTableVariables(const QString& rollback)
{
    struct Kept {
        QString table;       // quoted
        QStringList made;    // its create table statement, then those of its indexes and triggers
        std::vector<StoredValue> values;   // its rows, column after column
        int columns = 0;
        StoredValue count;   // its identity count
        bool counted = false;
    };
    const SessionRights::Trusted trusted(m_rights);
    std::vector<Kept> kept;
    for (const QString& table : std::as_const(m_tableVariables)) {
        Kept k;
        k.table = table;
        const QByteArray name = table.mid(1, table.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\"")).toUtf8();
        // SQLite keeps them without TEMP: as written here they are made in the temporary schema again
        const PreparedStatement objects(m_db, "select type, sql from temp.sqlite_master where tbl_name = ? and sql is "
                                              "not null order by type <> 'table'");
        sqlite3_bind_text(objects, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        while (sqlite3_step(objects) == SQLITE_ROW) {
            const QString type = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(objects, 0)));
            QString sql = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(objects, 1)));
            if (type == u"table")
                sql.replace(0, 12, QStringLiteral("CREATE TEMP TABLE"));
            else if (type == u"trigger")
                sql.replace(0, 14, QStringLiteral("CREATE TEMP TRIGGER"));
            else if (sql.startsWith(QLatin1String("CREATE UNIQUE INDEX ")))
                sql.insert(20, QStringLiteral("temp."));
            else
                sql.insert(13, QStringLiteral("temp."));
            k.made << sql;
        }
        if (k.made.isEmpty()) continue;
        const PreparedStatement rows(m_db, QStringLiteral("select * from temp.%1").arg(table));
        k.columns = sqlite3_column_count(rows);
        while (sqlite3_step(rows) == SQLITE_ROW)
            for (int c = 0; c < k.columns; ++c) k.values.emplace_back(sqlite3_value_dup(sqlite3_column_value(rows, c)));
        const PreparedStatement count(m_db, "select seq from temp.sqlite_sequence where name = ?");
        if (count.ok()) {
            sqlite3_bind_text(count, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(count) == SQLITE_ROW) {
                k.counted = true;
                k.count.reset(sqlite3_value_dup(sqlite3_column_value(count, 0)));
            }
        }
        kept.push_back(std::move(k));
    }
    if (const int rc = sqlite3_exec(m_db, rollback.toUtf8().constData(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
        m_session.raise(rc);
    const auto exec = [&](const QString& sql) {
        if (const int rc = sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
            m_session.raise(rc);
    };
    for (const Kept& k : kept) {
        // made anew: its rows go in before its triggers are there to change them
        exec(QStringLiteral("drop table if exists temp.%1").arg(k.table));
        exec(k.made.first());
        if (k.columns > 0 && !k.values.empty()) {
            QStringList marks;
            for (int c = 0; c < k.columns; ++c) marks << QStringLiteral("?");
            const PreparedStatement add(m_db, QStringLiteral("insert into temp.%1 values (%2)").arg(k.table, marks.join(u',')));
            if (!add.ok()) m_session.raise(add.rc());
            for (size_t r = 0; r < k.values.size(); r += size_t(k.columns)) {
                for (int c = 0; c < k.columns; ++c) sqlite3_bind_value(add, c + 1, k.values[r + size_t(c)].get());
                const int rc = sqlite3_step(add);
                sqlite3_reset(add);
                if (rc != SQLITE_DONE) m_session.raise(rc);
            }
        }
        for (qsizetype i = 1; i < k.made.size(); ++i) exec(k.made.at(i));
        if (k.counted) {
            // (the rollback may have taken the temporary schema's sqlite_sequence with it)
            exec(QStringLiteral("create table if not exists temp.\"orra_sequence$\" (n integer primary key "
                                "autoincrement); drop table temp.\"orra_sequence$\""));
            const QByteArray name = k.table.mid(1, k.table.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\"")).toUtf8();
            const PreparedStatement forget(m_db, "delete from temp.sqlite_sequence where name = ?");
            sqlite3_bind_text(forget, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            sqlite3_step(forget);
            const PreparedStatement count(m_db, "insert into temp.sqlite_sequence (name, seq) values (?, ?)");
            sqlite3_bind_text(count, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
            if (k.count)
                sqlite3_bind_value(count, 2, k.count.get());
            else
                sqlite3_bind_null(count, 2);
            sqlite3_step(count);
        }
    }
    if (!kept.empty()) {
        m_insertColumns.clear();
        m_exactTypes.clear();
    }
}

void EmbeddedBackend::runRaise(const RaiseStatement& r, int line, Run& run)
{
    BatchError e;
    if (r.query.isEmpty()) {   // throw; inside a catch block: the error being handled
        e = run.handling.back();
    } else {
        sqlite3_stmt* s = prepare(r.query);
        QVariantList values;
        {
            const StatementReset reset(s);
            bindParameters(s, run);
            const int rc = sqlite3_step(s);
            if (rc != SQLITE_ROW) m_session.raise(rc);
            for (int c = 0; c < sqlite3_column_count(s); ++c) values.append(storedValueOf(sqlite3_column_value(s, c)));
        }
        if (r.isThrow) {
            e.number = values.value(0).toLongLong();
            // THROW's message takes no conversions: %% stands for %
            e.message = values.value(1).toString().replace(QStringLiteral("%%"), QStringLiteral("%"));
            e.state = values.value(2).toInt();
            if (e.number < 50000)
                raise(QStringLiteral("42000"),
                    QStringLiteral("Error number %1 in the THROW statement is outside the valid range. Specify an "
                                   "error number in the valid range of 50000 to 2147483647.")
                        .arg(e.number),
                    35100);
        } else {
            e = raisedError(r, values);
        }
        e.line = line;
        e.procedure = run.procedure;
    }
    ProviderError p;
    p.number = -e.number;
    p.nativeError = e.number;
    p.sqlState = QStringLiteral("42000");
    p.description = e.message;
    p.source = name();
    run.rowCount = 0;
    if (!r.isThrow && e.severity <= 10) {   // an informational message
        p.number = 0;
        p.sqlState = QStringLiteral("01000");
        run.result.addMessage(p);
        run.error = r.setError ? e.number : 0;
        return;
    }
    run.raised = e;
    run.error = e.number;
    const ProviderFailure failure{{p}};
    // RAISERROR outside a try block ends no more than itself, whatever XACT_ABORT says.
    if (!r.isThrow && !e.fatal && run.tryDepth == 0 && m_nested == 0) {
        deliverError(failure, run);
        run.raised.reset();
        return;
    }
    throw failure;
}

BatchError EmbeddedBackend::raisedError(const RaiseStatement& r, const QVariantList& values) const
{
    BatchError e;
    const QVariant first = values.value(0);
    e.severity = std::clamp(values.value(1).toInt(), 0, 25);
    e.state = values.value(2).toInt() < 0 ? 1 : values.value(2).toInt();
    // Errors of the statement itself: severity 16, state 1.
    const auto fails = [](long number, const QString& message) {
        BatchError f;
        f.number = number;
        f.message = message;
        f.raiserror = true;
        return f;
    };
    if (e.severity > 18 && !(r.log && m_sysadmin))
        return fails(2754, QStringLiteral("Error severity levels greater than 18 can only be specified by members of "
                                          "the sysadmin role, using the WITH LOG option."));
    if (r.log && !m_sysadmin)
        return fails(2778, QStringLiteral("Only System Administrator can specify WITH LOG option for RAISERROR command."));
    e.fatal = e.severity >= 20;
    if (first.typeId() == QMetaType::LongLong) {   // a message number: sys.messages holds no user-defined ones
        const qlonglong id = first.toLongLong();
        if (id == 50000 || id < 13000)
            return fails(2732, QStringLiteral("Error number %1 is invalid. The number must be from 13000 through "
                                              "2147483647 and it cannot be 50000.")
                                   .arg(id));
        if (id < 50000)
            raise(QStringLiteral("42000"),
                QStringLiteral("The embedded server does not run RAISERROR of the system message %1: it keeps no "
                               "sys.messages. Raise a message text instead.")
                    .arg(id),
                102);
        e.number = r.setError ? long(id) : 18054;
        e.message = QStringLiteral("Error %1, severity %2, state %3 was raised, but no message with that error number "
                                   "was found in sys.messages. If error is larger than 50000, make sure the "
                                   "user-defined message is added using sp_addmessage.")
                        .arg(id)
                        .arg(e.severity)
                        .arg(e.state);
        e.severity = 16;
        e.state = 1;
        e.fatal = false;
        e.raiserror = true;
        return e;
    }
    int mismatch = 0;
    e.raiserror = true;
    e.number = 50000;
    e.message = formatRaisedMessage(first.toString(), values.mid(3), &mismatch);
    if (mismatch > 0)
        return fails(2786, QStringLiteral("The data type of substitution parameter %1 does not match the expected type "
                                          "of the format specification.")
                               .arg(mismatch));
    return e;
}

void EmbeddedBackend::noteError(ProviderFailure& failure, const Statement& st, Run& run)
{
    BatchError e;
    if (!failure.errors.isEmpty()) {
        ProviderError& p = failure.errors.first();
        if (m_functionError && m_functionError->description == p.description) {
            p.nativeError = m_functionError->nativeError;
            p.number = m_functionError->number;
            p.sqlState = m_functionError->sqlState;
        }
        m_functionError.reset();
        toServerError(p, st.text, m_database);
        e.number = p.nativeError;
        e.message = p.description;
    }
    e.severity = severityOf(e.number);
    e.unresolved = e.number == 208 || e.number == 207 || e.number == 209 || e.number == 4104;
    e.line = st.line;
    e.procedure = run.procedure;
    run.error = e.number;
    run.raised = e;
}

void EmbeddedBackend::deliverError(const ProviderFailure& failure, Run& run)
{
    ResultSet error;
    error.hasRows = false;
    error.errors = failure.errors;
    for (ProviderError& e : error.errors) e.resultSet = int(run.result.sets.size());
    run.result.sets.push_back(std::move(error));
    run.error = failure.errors.isEmpty() ? 0 : failure.errors.first().nativeError;
}

void EmbeddedBackend::endBatch(Run& run)
{
    endCursors(run);
    if (run.tables.isEmpty()) return;
    for (const QString& table : std::as_const(run.tables)) {
        const QString drop = QStringLiteral("drop table if exists temp.%1").arg(table);
        sqlite3_exec(m_db, drop.toUtf8().constData(), nullptr, nullptr, nullptr);
        m_tableVariables.removeAll(table);
    }
    run.tables.clear();
    m_insertColumns.clear();
    m_exactTypes.clear();
}

void EmbeddedBackend::registerBatchFunctions()
{
    using Fn = void (*)(sqlite3_context*, int, sqlite3_value**);
    // The error the innermost catch block handles; NULL outside one.
    static const auto handled = [](sqlite3_context* ctx) -> const BatchError* {
        const Run* r = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_run;
        return r && !r->handling.empty() ? &r->handling.back() : nullptr;
    };
    const struct {
        const char* name;
        Fn fn;
    } functions[] = {
        {"orra_rowcount",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                const Run* r = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_run;
                sqlite3_result_int64(ctx, r ? r->rowCount : 0);
            }},
        {"orra_error",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                const Run* r = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_run;
                sqlite3_result_int64(ctx, r ? r->error : 0);
            }},
        {"error_number",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                if (const BatchError* e = handled(ctx))
                    sqlite3_result_int64(ctx, e->number);
                else
                    sqlite3_result_null(ctx);
            }},
        {"error_severity",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                if (const BatchError* e = handled(ctx))
                    sqlite3_result_int(ctx, e->severity);
                else
                    sqlite3_result_null(ctx);
            }},
        {"error_state",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                if (const BatchError* e = handled(ctx))
                    sqlite3_result_int(ctx, e->state);
                else
                    sqlite3_result_null(ctx);
            }},
        {"error_line",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                if (const BatchError* e = handled(ctx))
                    sqlite3_result_int(ctx, e->line);
                else
                    sqlite3_result_null(ctx);
            }},
        {"error_message",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                if (const BatchError* e = handled(ctx)) {
                    const QByteArray u = e->message.toUtf8();
                    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_result_null(ctx);
                }
            }},
        // The procedure the error was raised in; NULL for a batch's own statements.
        {"error_procedure",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                const BatchError* e = handled(ctx);
                if (e && !e->procedure.isEmpty()) {
                    const QByteArray u = e->procedure.toUtf8();
                    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
                } else {
                    sqlite3_result_null(ctx);
                }
            }},
        {"orra_nestlevel",
            [](sqlite3_context* ctx, int, sqlite3_value**) {
                sqlite3_result_int(ctx, static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_nestLevel);
            }},
    };
    for (const auto& f : functions)
        sqlite3_create_function_v2(m_db, f.name, 0, SQLITE_UTF8, this, f.fn, nullptr, nullptr, nullptr);
    registerOutputFunction();
    // A view's recursion, under the limit of the statement that reads the view.
    sqlite3_create_function_v2(m_db, "orra_statement_recursion_level", 1, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            resultRecursionLevel(
                ctx, sqlite3_value_int64(argv[0]), static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_maxRecursion);
        },
        nullptr, nullptr, nullptr);
    // A variable assigned and read while the select that assigns it steps (select @s = @s + x
    // from t): orra_assign(slot, value) gives value. In an update (update … set @v = c = x)
    // orra_set(slot, result, value) gives result, what the column takes.
    const Fn assign = [](sqlite3_context* ctx, int argc, sqlite3_value** argv) {
        Run* r = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_run;
        const size_t slot = size_t(sqlite3_value_int64(argv[0]));
        sqlite3_value* value = argv[argc - 1];
        if (r && slot < r->variables.size())
            r->variables[slot].reset(sqlite3_value_type(value) == SQLITE_NULL ? nullptr : sqlite3_value_dup(value));
        sqlite3_result_value(ctx, argv[1]);
    };
    sqlite3_create_function_v2(m_db, "orra_assign", 2, SQLITE_UTF8, this, assign, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "orra_set", 3, SQLITE_UTF8, this, assign, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(m_db, "orra_variable", 1, SQLITE_UTF8, this,
        [](sqlite3_context* ctx, int, sqlite3_value** argv) {
            const Run* r = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx))->m_run;
            const size_t slot = size_t(sqlite3_value_int64(argv[0]));
            if (r && slot < r->variables.size() && r->variables[slot])
                sqlite3_result_value(ctx, r->variables[slot].get());
            else
                sqlite3_result_null(ctx);
        },
        nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
