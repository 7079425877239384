// create [unique] [clustered|nonclustered] index and drop index. An index name belongs to its
// table, as on the server (two tables may each have an index "City"): SQLite keeps it as
// "T.IX" in the table's database.
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

namespace {

// The SQLite schema part of a table reference ("main", "temp", "db") and the table's stored name.
struct TableOf {
    QString database;
    QString table;
};

TableOf tableOf(const NT& ref)
{
    if (ref.t.text.startsWith(u'#')) return {QStringLiteral("temp"), ref.t.text};
    const qsizetype quote = ref.out.indexOf(QStringLiteral(".\""));
    if (ref.t.kind == TokenKind::QuotedName && quote > 0 && ref.out.endsWith(quoteName(ref.t.text)))
        return {ref.out.left(quote), ref.t.text};
    return {QStringLiteral("main"), ref.t.text};
}

QString indexName(const TableOf& t, const QString& index)
{
    return t.database + u'.' + quoteName(t.table + u'.' + index);
}

}   // namespace

Statement rewriteIndexStatement(Vec v)
{
    RewriteCursor c(v);
    if (c.at("create")) {
        std::erase_if(v, [](const NT& n) { return n.t.is("clustered") || n.t.is("nonclustered"); });
        const size_t index = topLevel(v, 1, {"index"});
        if (index + 3 >= v.size() || !v[index + 2].t.is("on")) return {finishedStatement(v)};
        const TableOf table = tableOf(v[index + 3]);
        Vec out(v.begin(), v.begin() + long(index) + 1);
        out.push_back(raw(indexName(table, v[index + 1].t.text)));
        out.push_back(word("on"));
        out.push_back(raw(quoteName(table.table)));
        // The key columns and a filter stay; included columns and storage options go.
        for (size_t k = index + 4; k < v.size(); ++k) {
            if ((v[k].t.is("include") || v[k].t.is("with")) && k + 1 < v.size() && v[k + 1].t.isSymbol("(")) {
                k = closeOf(v, k + 1, v.size());
                continue;
            }
            if (v[k].t.is("on")) break;   // on [PRIMARY]
            out.push_back(v[k]);
        }
        return {finishedStatement(out)};
    }
    // drop index [if exists] IX on T [, …] | drop index T.IX [, …]
    size_t k = 2;
    const bool ifExists = c.at("if", 2) && c.at("exists", 3);
    if (ifExists) k = 4;
    BlockStatement block;
    for (size_t start = k; start <= v.size();) {
        size_t end = start;
        while (end < v.size() && !v[end].t.isSymbol(",")) ++end;
        const Vec item(v.begin() + long(start), v.begin() + long(end));
        SqlStatement s;
        if (item.size() == 3 && item[1].t.is("on")) {
            s.sql = QStringLiteral("drop index %1%2").arg(ifExists ? QStringLiteral("if exists ") : QString(),
                indexName(tableOf(item[2]), item[0].t.text));
        } else if (item.size() >= 3 && item[item.size() - 2].t.isSymbol(".")) {
            // [schema.]table.index
            NT table = item[item.size() - 3];
            if (item.size() == 5) table.t.text = storedName(item[0].t.text, table.t.text);
            s.sql = QStringLiteral("drop index %1%2").arg(ifExists ? QStringLiteral("if exists ") : QString(),
                indexName({QStringLiteral("main"), table.t.text}, item.back().t.text));
        } else {
            s.sql = render(v);   // not a form of the server's: SQLite says what is wrong
        }
        block.body.push_back({s});
        start = end + 1;
    }
    if (block.body.size() == 1) return block.body.front();
    return {block};
}

}   // namespace orra::embedded::translator
