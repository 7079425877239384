#include "platform/db/embedded/translator/SqliteNames.h"

#include <QSet>

namespace orra::embedded::translator {

bool isSqliteOwnTable(const Token& t)
{
    if (!t.isName()) return false;
    return t.text.startsWith(QLatin1String("sqlite_"), Qt::CaseInsensitive)
        || t.text.startsWith(QLatin1String("pragma_"), Qt::CaseInsensitive)
        || t.text.compare(QLatin1String("json_each"), Qt::CaseInsensitive) == 0
        || t.text.compare(QLatin1String("json_tree"), Qt::CaseInsensitive) == 0;
}

bool isSqliteOnlyFunction(const Token& t)
{
    if (t.kind != TokenKind::Word) return false;
    static const QSet<QString> names{QStringLiteral("typeof"), QStringLiteral("randomblob"), QStringLiteral("zeroblob"),
        QStringLiteral("hex"), QStringLiteral("unhex"), QStringLiteral("quote"), QStringLiteral("printf"),
        QStringLiteral("instr"), QStringLiteral("glob"), QStringLiteral("likelihood"), QStringLiteral("likely"),
        QStringLiteral("unlikely"), QStringLiteral("substr"), QStringLiteral("ifnull"), QStringLiteral("total"),
        QStringLiteral("group_concat"), QStringLiteral("julianday"), QStringLiteral("strftime"),
        QStringLiteral("unixepoch"), QStringLiteral("timediff"), QStringLiteral("random"), QStringLiteral("changes"),
        QStringLiteral("last_insert_rowid"), QStringLiteral("total_changes"), QStringLiteral("load_extension"),
        QStringLiteral("length"), QStringLiteral("octet_length"), QStringLiteral("ceil"), QStringLiteral("ln"),
        QStringLiteral("log2"), QStringLiteral("mod"), QStringLiteral("trunc"), QStringLiteral("pow"),
        QStringLiteral("atan2"), QStringLiteral("acosh"), QStringLiteral("asinh"), QStringLiteral("atanh"),
        QStringLiteral("cosh"), QStringLiteral("sinh"), QStringLiteral("tanh"), QStringLiteral("match"),
        QStringLiteral("highlight"), QStringLiteral("snippet"), QStringLiteral("bm25"), QStringLiteral("like"),
        QStringLiteral("nth_value"), QStringLiteral("subtype")};
    const QString lower = t.text.toLower();
    if (builtinArity(lower)) return false;   // json_value and json_query are the server's
    return names.contains(lower) || lower.startsWith(QLatin1String("sqlite_"))
        || lower.startsWith(QLatin1String("orra_")) || lower.startsWith(QLatin1String("json"));
}

bool isSqliteDateFunction(const Token& t)
{
    return t.kind == TokenKind::Word && (t.is("date") || t.is("time") || t.is("datetime"));
}

namespace {

const BuiltinArity kBuiltins[] = {
    // mathematics
    {"abs", "abs", 1, 1},
    {"acos", "acos", 1, 1},
    {"asin", "asin", 1, 1},
    {"atan", "atan", 1, 1},
    {"atn2", "orra_atn2", 2, 2},
    {"ceiling", "ceiling", 1, 1},
    {"cos", "cos", 1, 1},
    {"cot", "orra_cot", 1, 1},
    {"degrees", "degrees", 1, 1},
    {"exp", "exp", 1, 1},
    {"floor", "floor", 1, 1},
    {"log", "orra_log", 1, 2},
    {"log10", "log10", 1, 1},
    {"pi", "pi", 0, 0},
    {"power", "power", 2, 2},
    {"radians", "radians", 1, 1},
    {"rand", "orra_rand", 0, 1},
    {"round", "orra_round", 2, 3},
    {"sign", "sign", 1, 1},
    {"sin", "sin", 1, 1},
    {"sqrt", "sqrt", 1, 1},
    {"square", "orra_square", 1, 1},
    {"tan", "tan", 1, 1},
    // logical
    {"choose", "orra_choose", 2, 254},
    {"isnull", "ifnull", 2, 2},
    {"nullif", "nullif", 2, 2},
    {"coalesce", "coalesce", 2, 254},
    {"iif", "iif", 3, 3},
    {"greatest", "orra_greatest", 1, 254},
    {"least", "orra_least", 1, 254},
    // aggregates and ranking
    {"avg", "avg", 1, 1},
    {"count", "count", 1, 1},
    {"count_big", "orra_count_big", 1, 1},
    {"max", "max", 1, 1},
    {"min", "min", 1, 1},
    {"sum", "sum", 1, 1},
    {"stdev", "stdev", 1, 1},
    {"stdevp", "stdevp", 1, 1},
    {"var", "var", 1, 1},
    {"varp", "varp", 1, 1},
    {"row_number", "row_number", 0, 0},
    {"rank", "rank", 0, 0},
    {"dense_rank", "dense_rank", 0, 0},
    {"ntile", "ntile", 1, 1},
    {"percent_rank", "percent_rank", 0, 0},
    {"cume_dist", "cume_dist", 0, 0},
    {"lag", "lag", 1, 3},
    {"lead", "lead", 1, 3},
    {"first_value", "first_value", 1, 1},
    {"last_value", "last_value", 1, 1},
    // the server's and the session's own
    {"db_name", "orra_db_name", 0, 1},
    {"db_id", "orra_db_id", 0, 1},
    {"user_name", "orra_user_name", 0, 1},
    {"user_id", "orra_user_id", 0, 1},
    {"suser_sname", "orra_suser_sname", 0, 1},
    {"suser_name", "orra_suser_sname", 0, 1},
    {"suser_sid", "orra_suser_sid", 0, 2},
    {"host_name", "orra_host_name", 0, 0},
    {"app_name", "orra_app_name", 0, 0},
    {"newid", "orra_newid", 0, 0},
    {"xact_state", "orra_xact_state", 0, 0},
    {"object_id", "orra_object_id", 1, 2},
    {"object_name", "orra_object_name", 1, 1},
    {"object_schema_name", "orra_object_schema_name", 1, 1},
    {"scope_identity", "orra_scope_identity", 0, 0},
    {"ident_current", "orra_ident_current", 1, 1},
    {"ident_seed", "orra_ident_seed", 1, 1},
    {"ident_incr", "orra_ident_incr", 1, 1},
    {"len", "orra_len", 1, 1},
    {"json_value", "orra_json_value", 2, 2},
    {"schema_id", "orra_schema_id", 0, 1},
    {"schema_name", "orra_schema_name", 0, 1},
    {"col_name", "orra_col_name", 2, 2},
    {"col_length", "orra_col_length", 2, 2},
    {"json_query", "orra_json_query", 1, 2},
};

}   // namespace

const BuiltinArity* builtinArity(const QString& name)
{
    for (const BuiltinArity& f : kBuiltins)
        if (name.compare(QLatin1String(f.tsql), Qt::CaseInsensitive) == 0) return &f;
    return nullptr;
}

const BuiltinArity* builtinAritySqlite(const QString& sqliteName)
{
    for (const BuiltinArity& f : kBuiltins)
        if (sqliteName.compare(QLatin1String(f.sqlite), Qt::CaseInsensitive) == 0) return &f;
    return builtinArity(sqliteName);
}

}   // namespace orra::embedded::translator
