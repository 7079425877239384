// A call of a user-defined scalar function (orra_udf('schema', 'name', arguments…)): the function's body,
// translated once from its stored definition, runs with its own variables while the statement
// that calls it is stepping; its result is the RETURN value, converted to the declared type.
#include "platform/db/embedded/BatchErrors.h"
#include "platform/db/embedded/BatchRun.h"
#include "platform/db/embedded/ConnectionSchema.h"
#include "platform/db/embedded/ObjectCatalog.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/SqliteValues.h"

namespace orra::embedded {

namespace {

// How deeply functions may call functions, as the server limits nesting.
constexpr int kMaxFunctionNesting = 32;

}   // namespace

void EmbeddedBackend::callFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* self = static_cast<EmbeddedBackend*>(sqlite3_user_data(ctx));
    self->runFunction(ctx, argc, argv);
}

void EmbeddedBackend::runFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    const auto textOf = [&](int a) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(argv[a]));
        return QString::fromUtf8(t ? t : "");
    };
    const QString schema = textOf(0);
    const QString name = schema.isEmpty() ? textOf(1) : schema + u'.' + textOf(1);
    if (m_nestLevel >= kMaxFunctionNesting) {
        resultError(ctx, QStringLiteral("Maximum stored procedure, function, trigger, or view nesting level exceeded "
                                        "(limit 32)."));
        return;
    }
    std::optional<StoredModule> module;
    {
        const SessionRights::Trusted trusted(m_rights);   // the server reads its own store
        module = findModule(m_db, QStringLiteral("main"), schema, textOf(1));
    }
    if (!module || module->type != u"FN") {
        resultError(ctx, QStringLiteral("Invalid object name '%1'.").arg(name));
        return;
    }
    const std::shared_ptr<const Translation> tr =
        translateCached(module->definition, m_database, m_schema.get(), TextKind::Function);
    if (!tr->error.isEmpty() || tr->returnSlot < 0) {
        resultError(ctx, tr->error);
        return;
    }
    const QList<db::Parameter> none;
    Run run;
    run.params = &none;
    run.variables.resize(size_t(tr->variables));
    for (int a = 2; a < argc && size_t(a - 2) < run.variables.size(); ++a)
        if (sqlite3_value_type(argv[a]) != SQLITE_NULL) run.variables[size_t(a - 2)].reset(sqlite3_value_dup(argv[a]));
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(++d) {}
        ~Depth() { --n; }
    } depth(m_functionDepth), level(m_nestLevel);
    if (m_functionStatements.size() < size_t(m_functionDepth)) m_functionStatements.resize(size_t(m_functionDepth));
    Run* const outer = std::exchange(m_run, &run);
    try {
        runList(tr->statements, run);
        endBatch(run);
        m_run = outer;
    } catch (db::ProviderFailure& f) {
        endBatch(run);
        m_run = outer;
        if (f.errors.isEmpty()) {
            resultError(ctx, QStringLiteral("The function %1 failed.").arg(name));
            return;
        }
        toServerError(f.errors.first());
        m_functionError = f.errors.first();
        resultError(ctx, f.errors.first().description);
        return;
    }
    sqlite3_value* result = run.variables[size_t(tr->returnSlot)].get();
    if (result)
        sqlite3_result_value(ctx, result);
    else
        sqlite3_result_null(ctx);
}

void EmbeddedBackend::registerModuleFunctions()
{
    sqlite3_create_function(m_db, "orra_udf", -1, SQLITE_UTF8, this, &EmbeddedBackend::callFunction, nullptr, nullptr);
}

}   // namespace orra::embedded
