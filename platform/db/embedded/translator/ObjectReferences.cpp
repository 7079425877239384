// Multi-part names in a statement: tables and views of other schemas and databases, and the
// server's information schema, as SQLite names them.
#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

namespace {

// The nearest clause word before out[end] at the same parenthesis depth (a token of out).
const Token* clauseOf(const Vec& out, size_t end)
{
    int depth = 0;
    for (size_t k = end; k-- > 0;) {
        const Token& t = out[k].t;
        if (t.isSymbol(")")) {
            ++depth;
        } else if (t.isSymbol("(")) {
            if (depth == 0) return nullptr;
            --depth;
        } else if (depth == 0
            && isOneOf(t, {"select", "from", "join", "where", "on", "group", "having", "order", "set", "values",
                           "into", "union", "apply"})) {
            return &t;
        }
    }
    return nullptr;
}

// After from, join, apply or a comma of a from clause: a table source that may take an alias.
bool atTableSource(const Vec& out)
{
    if (out.empty()) return false;
    const Token& p = out.back().t;
    if (isOneOf(p, {"from", "join", "apply"})) return true;
    if (!p.isSymbol(",")) return false;
    const Token* clause = clauseOf(out, out.size() - 1);
    return clause && isOneOf(*clause, {"from", "join", "apply"});
}

}   // namespace

bool atTablePosition(const Vec& out)
{
    if (atTableSource(out)) return true;
    if (out.empty()) return false;
    const Token& p = out.back().t;
    if (isOneOf(p, {"into", "update", "table", "view", "references", "using", "merge", "insert", "delete"}))
        return true;
    const size_t n = out.size();
    if (p.is("exists") && n >= 2 && out[n - 2].t.is("if")) return true;   // drop table if exists T
    if (p.is("on") && n >= 3 && out[n - 3].t.is("index")) return true;    // create index X on T
    // delete top (n) [percent] T, update top (n) [percent] T
    size_t close = p.is("percent") ? n - 2 : n - 1;
    if (close < n && out[close].t.isSymbol(")")) {
        int depth = 0;
        for (size_t k = close + 1; k-- > 0;) {
            if (out[k].t.isSymbol(")")) ++depth;
            if (out[k].t.isSymbol("(") && --depth == 0)
                return k >= 2 && out[k - 1].t.is("top") && isOneOf(out[k - 2].t, {"delete", "update"});
        }
    }
    return false;
}

namespace {

// Whether the token after a table source begins an alias.
bool aliasFollows(const std::vector<Token>& T, size_t i)
{
    if (i >= T.size()) return false;
    const Token& t = T[i];
    if (t.kind == TokenKind::QuotedName || t.is("as")) return true;
    if (t.kind != TokenKind::Word) return false;
    return !isExpressionBoundary(t)
        && !isOneOf(t, {"left", "right", "inner", "outer", "full", "cross", "join", "where", "pivot", "unpivot",
                          "option", "for", "apply", "group", "order", "having", "on", "tablesample"});
}

bool isInformationSchemaTables(const ObjectName& name)
{
    return name.schema.compare(QLatin1String("information_schema"), Qt::CaseInsensitive) == 0
        && name.object.compare(QLatin1String("tables"), Qt::CaseInsensitive) == 0;
}

}   // namespace

// INFORMATION_SCHEMA.TABLES of a database: one row per table and view of its users, schema
// and name as the server keeps them, TABLE_TYPE 'BASE TABLE' or 'VIEW'.
QString TranslationContext::informationSchemaTables(const QString& database)
{
    const QString db = databaseRef(database);
    const QString catalog = db == u"main" ? QStringLiteral("orra_db_name()") : u'\'' + database + u'\'';
    return QStringLiteral(
        "(select %1 as TABLE_CATALOG, "
        "(case when instr(name,'.')>0 then substr(name,1,instr(name,'.')-1) else 'dbo' end) collate TR_CI as "
        "TABLE_SCHEMA, "
        "(case when instr(name,'.')>0 then substr(name,instr(name,'.')+1) else name end) collate TR_CI as TABLE_NAME, "
        "(case type when 'view' then 'VIEW' else 'BASE TABLE' end) as TABLE_TYPE "
        "from %2.sqlite_master where type in ('table','view') and name not like 'sqlite\\_%' escape '\\' "
        "and name not in ('sysusers','sysmembers','syslogins','sysprocesses','sysmodules','sysschemas'))")
        .arg(catalog, db);
}

bool TranslationContext::objectReference(Vec& out, const ObjectName& name)
{
    const bool position = atTablePosition(out);
    const bool source = atTableSource(out);
    const bool sameDatabaseForm = name.parts == 3 && name.schema.isEmpty();   // db..T, ..T
    const bool dboForm = name.parts == 2 && name.schema.compare(QLatin1String("dbo"), Qt::CaseInsensitive) == 0
        && !(name.end < size() && m_tokens[name.end].isSymbol("("));
    if (position && isInformationSchemaTables(name)) {
        out.push_back(raw(informationSchemaTables(name.database)));
        if (!aliasFollows(m_tokens, name.end)) {
            out.push_back(word("as"));
            out.push_back(raw(QStringLiteral("TABLES")));
        }
        return true;
    }
    if (!(sameDatabaseForm || dboForm || position || (name.parts == 3 && isDefaultSchema(name.schema))))
        return false;
    out.push_back(tableRef(name.database, name.schema, name.object));
    // Sales.T answers to T, as the server lets its columns be named.
    if (source && !isDefaultSchema(name.schema) && !aliasFollows(m_tokens, name.end)) {
        out.push_back(word("as"));
        NT alias;
        alias.t.kind = TokenKind::QuotedName;
        alias.t.text = name.object;
        alias.out = quoteName(name.object);
        out.push_back(alias);
    }
    return true;
}

}   // namespace orra::embedded::translator
