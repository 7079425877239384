#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/ObjectCatalog.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/ObjectNames.h"
#include "platform/db/embedded/translator/Rewriting.h"

#include "platform/host/Error.h"

#include <QSet>

// Stored procedures: create, alter and drop keep their T-SQL text in the database; a call
// translates the text once (cached by it), gives the parameters their arguments, defaults or
// NULL as CAST converts to their types, and runs the body with its own variables on the
// caller's session and rights. Its result sets and messages reach the caller in order; OUTPUT
// parameters and the return status go back into the caller's variables.

namespace orra::embedded {

using db::ProviderError;
using db::ProviderFailure;
using db::ResultSet;

namespace {

constexpr int kMaxNesting = 32;

QString shownName(const QString& schema, const QString& name)
{
    return schema.isEmpty() ? name : schema + u'.' + name;
}

const QList<db::Parameter>& noParameters()
{
    static const QList<db::Parameter> none;
    return none;
}

}   // namespace

sqlite3_value* EmbeddedBackend::convertedValue(const QString& query, const std::function<void(sqlite3_stmt*)>& bind)
{
    sqlite3_stmt* s = prepare(query);
    const StatementReset reset(s);
    bind(s);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) m_session.raise(rc);
    sqlite3_value* v = sqlite3_column_value(s, 0);
    return sqlite3_value_type(v) == SQLITE_NULL ? nullptr : sqlite3_value_dup(v);
}

qlonglong EmbeddedBackend::procedureStatus(const QString& query, Run& run)
{
    sqlite3_stmt* s = prepare(query);
    const StatementReset reset(s);
    bindParameters(s, run);
    const int rc = sqlite3_step(s);
    if (rc != SQLITE_ROW) m_session.raise(rc);
    if (sqlite3_column_type(s, 0) == SQLITE_NULL) {   // a warning, and status 0
        ProviderError warning;
        warning.sqlState = QStringLiteral("01000");
        warning.description = QStringLiteral("The '%1' procedure attempted to return a status of NULL, which is not "
                                             "allowed. A status of 0 will be returned instead.")
                                  .arg(run.procedure);
        run.result.addMessage(warning);
        return 0;
    }
    return sqlite3_column_int64(s, 0);
}

void EmbeddedBackend::runModuleStatement(const ModuleStatement& st)
{
    // Procedures are made and dropped by the database's owners (db_owner members and sysadmin).
    const bool owner = m_rights.isOwner(QStringLiteral("main"));
    const SessionRights::Trusted trusted(m_rights);
    if (st.action == ModuleStatement::Action::Drop) {
        for (const auto& [schema, name] : st.names) {
            const std::optional<StoredModule> module = findModule(m_db, QStringLiteral("main"), schema, name);
            const bool exists = module && st.type.split(u',').contains(module->type);
            if (!exists && st.ifExists) continue;
            if (exists && owner && dropModule(m_db, schema, name, st.type)) continue;
            raise(QStringLiteral("42000"),
                QStringLiteral("Cannot drop the %1 '%2', because it does not exist or you do not have permission.")
                    .arg(st.type == u"P" ? QStringLiteral("procedure") : QStringLiteral("function"), shownName(schema, name)),
                3701);
        }
        return;
    }
    if (!owner)
        raise(QStringLiteral("42000"),
            QStringLiteral("CREATE %1 permission denied in database '%2'.")
                .arg(st.type == u"P" ? QStringLiteral("PROCEDURE") : QStringLiteral("FUNCTION"), m_database),
            262);
    const auto& [schema, name] = st.names.front();
    if (findProcedure(name) && translator::isDefaultSchema(schema))
        raise(QStringLiteral("42S01"), QStringLiteral("There is already an object named '%1' in the database.").arg(name),
            2714);
    const ModuleChange change = st.action == ModuleStatement::Action::Alter ? ModuleChange::Alter
        : st.action == ModuleStatement::Action::CreateOrAlter            ? ModuleChange::CreateOrAlter
                                                                          : ModuleChange::Create;
    try {
        if (!schema.isEmpty() && !hasSchema(m_db, schema))
            raise(QStringLiteral("42000"),
                QStringLiteral("The specified schema name \"%1\" either does not exist or you do not have permission to "
                               "use it.")
                    .arg(schema),
                2760);
        storeModule(m_db, StoredModule{schema, name, st.type, st.definition}, change);
    } catch (const orra::Error& e) {
        raise(e.number() == 208 ? QStringLiteral("42S02") : QStringLiteral("42S01"), e.description(), e.number());
    }
}

void EmbeddedBackend::runStoredProcedure(const ProcedureCall& call, Run& caller)
{
    const QString written = shownName(call.schema, call.name);
    if (!call.database.isEmpty() && foldName(call.database) != foldName(m_database))
        raise(QStringLiteral("42000"),
            QStringLiteral("The embedded server does not run procedures of another database ('%1').").arg(call.database),
            2812);
    std::optional<StoredModule> module;
    {
        const SessionRights::Trusted trusted(m_rights);
        module = findModule(m_db, QStringLiteral("main"), call.schema, call.name);
    }
    if (!module || module->type != u"P")
        raise(QStringLiteral("42000"), QStringLiteral("Could not find stored procedure '%1'.").arg(written), 2812);
    if (m_nestLevel >= kMaxNesting)
        raise(QStringLiteral("42000"),
            QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded (limit 32)."),
            217);
    const std::shared_ptr<const Translation> tr =
        translateCached(module->definition, m_database, m_schema.get(), TextKind::Procedure);
    if (!tr->error.isEmpty()) raise(QStringLiteral("42000"), tr->error, tr->errorNumber);
    if (!tr->databases.isEmpty()) attachDatabases(tr->databases);
    const std::vector<ProcedureParameter>& parameters = tr->parameters;

    Run run;
    run.params = &noParameters();
    run.variables.resize(size_t(tr->variables));
    run.tryDepth = caller.tryDepth;
    run.handling = caller.handling;
    run.procedure = module->name;
    run.text = module->definition;
    run.kind = TextKind::Procedure;
    run.translation = tr;
    run.catalogueSeen = m_catalogueChanges;

    // The arguments, by position up to the first named one.
    std::vector<bool> given(parameters.size(), false);
    std::vector<qsizetype> target(call.arguments.size(), -1);
    size_t position = 0;
    for (size_t i = 0; i < call.arguments.size(); ++i) {
        const ProcedureArgument& a = call.arguments[i];
        const ArgumentVariable& variable = call.variables[i];
        size_t p = 0;
        if (!a.name.isEmpty()) {
            p = parameters.size();
            for (size_t k = 0; k < parameters.size(); ++k)
                if (foldName(parameters[k].name) == foldName(a.name)) p = k;
            if (p == parameters.size())
                raise(QStringLiteral("42000"),
                    QStringLiteral("%1 is not a parameter for procedure %2.").arg(a.name, module->name), 8145);
        } else {
            if (position < i)
                raise(QStringLiteral("42000"),
                    QStringLiteral("Must pass parameter number %1 and subsequent parameters as '@name = value'. After "
                                   "the form '@name = value' has been used, all subsequent parameters must be passed in "
                                   "the form '@name = value'.")
                        .arg(i + 1),
                    119);
            p = position++;
            if (p >= parameters.size())
                raise(QStringLiteral("42000"),
                    QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(module->name), 8144);
        }
        if (variable.output && !parameters[p].output)
            raise(QStringLiteral("42000"),
                QStringLiteral("The formal parameter \"%1\" was not declared as an OUTPUT parameter, but the actual "
                               "parameter passed in requested output.")
                    .arg(parameters[p].name),
                8162);
        target[i] = qsizetype(p);
        if (a.isDefault) continue;
        sqlite3_value* value = convertedValue(parameters[p].argumentQuery, [&](sqlite3_stmt* s) {
            if (variable.slot >= 0) {
                sqlite3_value* v = caller.variables[size_t(variable.slot)].get();
                if (v)
                    sqlite3_bind_value(s, 1, v);
                else
                    sqlite3_bind_null(s, 1);
            } else {
                db::sqlite::SqliteSession::bind(s, 1, a.value);
            }
        });
        run.variables[size_t(parameters[p].slot)].reset(value);
        given[p] = true;
    }
    for (size_t p = 0; p < parameters.size(); ++p) {
        if (given[p]) continue;
        if (parameters[p].defaultQuery.isEmpty())
            raise(QStringLiteral("42000"),
                QStringLiteral("Procedure or function '%1' expects parameter '%2', which was not supplied.")
                    .arg(module->name, parameters[p].name),
                201);
        run.variables[size_t(parameters[p].slot)].reset(convertedValue(parameters[p].defaultQuery, [](sqlite3_stmt*) {}));
    }

    const int transactionsBefore = transactionCount();
    // The body: its results join the caller's; the SET options it changes and the temporary
    // tables it makes last until it ends.
    QSet<QString> temporaryTables;
    {
        const SessionRights::Trusted trusted(m_rights);
        const PreparedStatement q(m_db, "select name from temp.sqlite_master where type = 'table'");
        while (q.ok() && sqlite3_step(q) == SQLITE_ROW)
            temporaryTables.insert(QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, 0))));
    }
    const bool noCount = m_noCount;
    const long rowCountLimit = m_rowCount;
    const bool xactAbort = m_xactAbort;
    const dates::Settings dateSettings = m_dateSettings;
    run.result = std::move(caller.result);
    Run* const outer = std::exchange(m_run, &run);
    ++m_nestLevel;
    const QVariant callerScopeIdentity = std::exchange(m_scopeIdentity, QVariant());   // a scope of its own
    const auto finish = [&] {
        --m_nestLevel;
        m_scopeIdentity = callerScopeIdentity;
        m_run = outer;
        caller.result = std::move(run.result);
        endBatch(run);
        const SessionRights::Trusted trusted(m_rights);
        QStringList made;
        {
            const PreparedStatement q(m_db, "select name from temp.sqlite_master where type = 'table'");
            while (q.ok() && sqlite3_step(q) == SQLITE_ROW) {
                const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(q, 0)));
                if (!temporaryTables.contains(name) && name.startsWith(u'#')) made.append(name);
            }
        }
        for (const QString& name : std::as_const(made)) {
            const QString drop =
                QStringLiteral("drop table if exists temp.\"%1\"").arg(QString(name).replace(u'"', QStringLiteral("\"\"")));
            sqlite3_exec(m_db, drop.toUtf8().constData(), nullptr, nullptr, nullptr);
        }
        if (!made.isEmpty()) {
            m_insertColumns.clear();
            m_exactTypes.clear();
        }
        m_noCount = noCount;
        m_rowCount = rowCountLimit;
        m_xactAbort = xactAbort;
        m_dateSettings = dateSettings;
    };
    try {
        if (runList(tr->statements, run) == Flow::Goto)
            raise(QStringLiteral("42000"),
                QStringLiteral("The embedded server does not run a 'goto' into a block from outside it."), 102);
    } catch (ProviderFailure&) {
        // The error goes on to the caller as the procedure raised it (its line, its name).
        if (run.raised) {
            caller.raised = run.raised;
            caller.raised->unresolved = false;   // the caller's catch blocks take it
        }
        finish();
        throw;
    }
    finish();
    caller.rowCount = run.rowCount;
    caller.error = run.error;

    // OUTPUT parameters and the status into the caller's variables, converted to their types.
    for (size_t i = 0; i < call.arguments.size(); ++i) {
        const ArgumentVariable& variable = call.variables[i];
        if (!variable.output || target[i] < 0) continue;
        sqlite3_value* value = run.variables[size_t(parameters[size_t(target[i])].slot)].get();
        caller.variables[size_t(variable.slot)].reset(convertedValue(variable.outputQuery, [&](sqlite3_stmt* s) {
            if (value)
                sqlite3_bind_value(s, 1, value);
            else
                sqlite3_bind_null(s, 1);
        }));
    }
    if (call.statusSlot >= 0)
        caller.variables[size_t(call.statusSlot)].reset(
            convertedValue(call.statusQuery, [&](sqlite3_stmt* s) { sqlite3_bind_int64(s, 1, run.status); }));
    // A procedure that leaves @@TRANCOUNT other than it found it says so; the caller goes on.
    if (const int after = transactionCount(); after != transactionsBefore)
        raise(QStringLiteral("25000"),
            QStringLiteral("Transaction count after EXECUTE indicates a mismatching number of BEGIN and COMMIT "
                           "statements. Previous count = %1, current count = %2.")
                .arg(transactionsBefore)
                .arg(after),
            266);
}

// insert [into] T [(columns)] exec …: the procedure runs to its end; then the rows of every
// result set it gave go into T in one statement, "insert … select" from a temporary table that
// holds them as they came (converted to T's columns as such an insert converts). What the
// procedure gave besides rows (messages, counts, errors) reaches the client.
void EmbeddedBackend::runInsertExec(const InsertExec& st, Run& run)
{
    if (m_insertingExec)
        raise(QStringLiteral("42000"), QStringLiteral("An INSERT EXEC statement cannot be nested."), 8164);
    db::ExecuteResult saved = std::exchange(run.result, db::ExecuteResult());
    m_insertingExec = true;
    try {
        runProcedure(st.call, run);
    } catch (...) {
        m_insertingExec = false;
        for (const ProviderError& m : std::as_const(run.result.messages)) saved.addMessage(m);
        run.result = std::move(saved);
        throw;
    }
    m_insertingExec = false;
    db::ExecuteResult produced = std::exchange(run.result, std::move(saved));
    for (const ProviderError& m : std::as_const(produced.messages)) run.result.addMessage(m);
    std::vector<const ResultSet*> rowSets;
    size_t width = 0;
    for (ResultSet& rs : produced.sets) {
        if (rs.hasRows && !rs.fields.empty()) {
            if (width != 0 && rs.fields.size() != width)
                raise(QStringLiteral("21S01"),
                    QStringLiteral("Column name or number of supplied values does not match table definition."), 213);
            width = rs.fields.size();
            rowSets.push_back(&rs);
        } else {
            run.result.sets.push_back(std::move(rs));
        }
    }
    const QString rows = QStringLiteral("temp.") + translator::quoteName(QString::fromLatin1(kInsertExecRows));
    struct Staging {
        EmbeddedBackend& backend;
        QString table;
        ~Staging()
        {
            const SessionRights::Trusted trusted(backend.m_rights);
            sqlite3_exec(backend.m_db, ("drop table if exists " + table).toUtf8().constData(), nullptr, nullptr, nullptr);
        }
    } staging{*this, rows};
    {
        const SessionRights::Trusted trusted(m_rights);
        QStringList columns;
        QStringList marks;
        for (size_t c = 0; c < std::max<size_t>(width, 1); ++c) {
            columns << QStringLiteral("c%1").arg(c + 1);
            marks << QStringLiteral("?");
        }
        const QString make = QStringLiteral("drop table if exists %1; create table %1 (%2)").arg(rows, columns.join(u','));
        if (sqlite3_exec(m_db, make.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
            m_session.raise(sqlite3_errcode(m_db));
        const PreparedStatement add(m_db, QStringLiteral("insert into %1 values (%2)").arg(rows, marks.join(u',')));
        if (!add.ok()) m_session.raise(add.rc());
        for (const ResultSet* rs : rowSets) {
            for (long r = 0; r < rs->rowCount(); ++r) {
                for (size_t c = 0; c < width; ++c)
                    db::sqlite::SqliteSession::bind(add, int(c + 1), rs->values[size_t(r) * width + c]);
                const int rc = sqlite3_step(add);
                sqlite3_reset(add);
                if (rc != SQLITE_DONE) m_session.raise(rc);
            }
        }
    }
    if (rowSets.empty()) {   // nothing to insert: the statement affects no row
        run.rowCount = 0;
        if (!m_noCount) {
            ResultSet count;
            count.hasRows = false;
            count.recordsAffected = 0;
            run.result.sets.push_back(std::move(count));
        }
        return;
    }
    runSql(st.insert, run);
}

}   // namespace orra::embedded
