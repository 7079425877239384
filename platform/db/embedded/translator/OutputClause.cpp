#include "platform/db/embedded/translator/OutputClause.h"

#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/FromClause.h"
#include "platform/db/embedded/translator/ResultTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {

// The refusals name the construct; no number of the server's fits a form it runs.
constexpr long kRefused = 0;

const char* const kRow = "\"orra output row\"";

bool isChangeWord(const Token& t) { return isOneOf(t, {"insert", "update", "delete", "merge"}); }

// The token that ends an output's select list.
bool endsOutputList(const Token& t)
{
    return t.isSymbol(";")
        || isOneOf(t, {"into", "from", "where", "values", "select", "default", "option", "output", "exec", "execute"});
}

// A synthetic token that stands for no token of the batch (the typed rewrites look tokens up
// by their place in the text).
NT synthetic(NT n)
{
    n.t.pos = -1;
    return n;
}

QString quoted(const QString& name) { return quoteName(name); }

// The rows the change made, as the output's select reads them.
QString capturedRows(const InsertTarget& target)
{
    const QString table = (target.schema == u"temp" ? QStringLiteral("temp") : quoted(target.schema)) + u'.'
        + quoted(target.name);
    return QStringLiteral("temp.%1 as %2 left join %3 as inserted on inserted.rowid = %2.r and %2.\"$action\" <> "
                          "'DELETE' left join temp.%4 as deleted on deleted.rowid = %2.r and %2.\"$action\" <> 'INSERT'")
        .arg(quoted(QLatin1String(kOutputRows)), QLatin1String(kRow), table, quoted(QLatin1String(kOutputDeleted)));
}

class OutputTranslator {
public:
    OutputTranslator(TranslationContext& ctx, const Token& verb) : m_ctx(ctx), m_verb(verb) {}

    // The statement that reads the rows for the clause, or nothing (with the error).
    std::optional<SqlStatement> translate(const OutputClause& c, const InsertTarget& target)
    {
        if (!checkReferences(c)) return std::nullopt;
        m_ctx.addOutputScope({c.at, c.end, target.schema, target.name});
        Vec items = m_ctx.normalize(c.at + 1, c.listEnd);
        if (m_ctx.failed()) return std::nullopt;
        for (size_t k = 0; k + 1 < items.size(); ++k)
            if (items[k].t.isSymbol("$") && items[k + 1].t.is("action")) {
                items[k] = raw(QLatin1String(kRow) + QStringLiteral(".\"$action\""));
                items.erase(items.begin() + long(k) + 1);
            }
        Vec v;
        if (c.into < c.end) {
            v.push_back(synthetic(word("insert")));
            const Vec into = m_ctx.normalize(c.into, c.end);
            v.insert(v.end(), into.begin(), into.end());
            if (m_ctx.failed()) return std::nullopt;
        }
        const size_t at = v.size();
        v.push_back(synthetic(word("select")));
        v.insert(v.end(), items.begin(), items.end());
        v.push_back(synthetic(word("from")));
        v.push_back(raw(capturedRows(target)));
        if (c.into < c.end) {
            v.push_back(raw(QStringLiteral("order by %1.seq").arg(QLatin1String(kRow))));
            rewriteByType(m_ctx, v);
            if (m_ctx.failed()) return std::nullopt;
            return rewriteInsert(std::move(v));
        }
        rewriteByType(m_ctx, v);
        if (m_ctx.failed()) return std::nullopt;
        SqlStatement s;
        s.returnsRows = true;
        s.unnamedColumns = nameResultColumns(v, at);
        s.columnTypes = columnTypes(c);
        s.typing = ResultTyper(m_ctx).type(c.at, c.listEnd, s.columnTypes, QStringLiteral(" from ") + capturedRows(target));
        v.push_back(raw(QStringLiteral(" order by %1.seq").arg(QLatin1String(kRow))));
        s.sql = render(rewriteExpressions(v));
        return s;
    }

private:
    // inserted and deleted as the statement has them; no column of another table.
    bool checkReferences(const OutputClause& c)
    {
        const auto& T = m_ctx.tokens();
        for (size_t k = c.at + 1; k < c.listEnd; ++k) {
            if (T[k].isSymbol("$") && k + 1 < c.listEnd && T[k + 1].is("action") && !m_verb.is("merge"))
                return refuse(QStringLiteral("$action is available only for the MERGE statement."), k);
            if (!T[k].isName() || k + 1 >= c.listEnd || !T[k + 1].isSymbol(".") || (k > 0 && T[k - 1].isSymbol(".")))
                continue;
            if (T[k].is("deleted") && m_verb.is("insert"))
                return refuse(QStringLiteral("DELETED cannot be used with the OUTPUT clause in the INSERT statement."), k);
            if (T[k].is("inserted") && m_verb.is("delete"))
                return refuse(QStringLiteral("INSERTED cannot be used with the OUTPUT clause in the DELETE statement."), k);
            if (isOneOf(T[k], {"inserted", "deleted"})) continue;
            size_t n = k;
            while (n + 2 < c.listEnd && T[n + 1].isSymbol(".") && T[n + 2].isName()) n += 2;
            if (n + 1 < c.listEnd && T[n + 1].isSymbol("(")) continue;   // a function of a schema
            return refuse(QStringLiteral("The embedded server does not run OUTPUT of the columns of the FROM clause's "
                                         "tables ('%1.%2'): it outputs inserted and deleted columns.")
                              .arg(T[k].text, k + 2 < c.listEnd ? T[k + 2].text : QString()),
                k);
        }
        return true;
    }

    // The output's columns as the server types them: the changed table's declared types.
    QStringList columnTypes(const OutputClause& c) const
    {
        QStringList out;
        if (!m_ctx.schema()) return out;
        const auto& T = m_ctx.tokens();
        const ExpressionTyper typer(m_ctx);
        for (auto [x, y] : m_ctx.splitTop(c.at + 1, c.listEnd, [&](size_t k) { return T[k].isSymbol(","); })) {
            if (x >= y || T[y - 1].isSymbol("*")) return {};
            if (y - x > 2 && T[x].isName() && T[x + 1].isSymbol("="))
                x += 2;
            else if (y - x > 2 && T[y - 2].is("as"))
                y -= 2;
            else if (y - x > 1 && T[y - 1].isName() && !isExpressionBoundary(T[y - 1]) && endsOperand(T[y - 2])
                && !T[y - 2].isSymbol(".") && !T[y - 2].isSymbol("$"))
                y -= 1;
            out << typer.typeOf(x, y).declaration();
        }
        return out;
    }

    bool refuse(const QString& message, size_t at)
    {
        m_ctx.fail(message, kRefused, at);
        return false;
    }

    TranslationContext& m_ctx;
    const Token& m_verb;
};

}   // namespace

std::optional<InsertTarget> changedTable(const Vec& v)
{
    size_t i = v[0].t.is("with") ? topLevel(v, 1, {"insert", "update", "delete", "merge"}) : 0;
    if (i >= v.size()) return std::nullopt;
    const bool remove = v[i].t.is("delete"), update = v[i].t.is("update");
    ++i;
    if (i < v.size() && v[i].t.is("top")) {
        i = i + 1 < v.size() && v[i + 1].t.isSymbol("(") ? closeOf(v, i + 1, v.size()) + 1 : i + 2;
        if (i < v.size() && v[i].t.is("percent")) ++i;
    }
    if (i < v.size() && (v[i].t.is("into") || (remove && v[i].t.is("from")))) ++i;
    if (i >= v.size() || !v[i].t.isName()) return std::nullopt;
    const NT& target = v[i];
    if (update || remove) {
        // update t set … from T t …, delete t from T t …: the table the alias stands for
        const size_t from = topLevel(v, i + 1, {"from"});
        if (from < v.size()) {
            const size_t where = topLevel(v, from + 1, {"where"});
            const std::vector<FromItem> items = fromItems(v, from + 1, std::min(where, v.size()));
            const size_t hit = itemNamed(items, target);
            if (hit < items.size()) return targetTable(v[items[hit].begin]);
        }
    }
    return targetTable(target);
}

std::vector<OutputClause> outputClauses(TranslationContext& ctx, size_t b, size_t e)
{
    const auto& T = ctx.tokens();
    for (size_t k = b; k + 1 < e; ++k)
        if (T[k].isSymbol("(") && isChangeWord(T[k + 1])) {
            ctx.fail(QStringLiteral("The embedded server does not run %1 in a derived table (its OUTPUT rows as a "
                                    "table): output them INTO a table variable and read that.")
                         .arg(T[k + 1].text.toUpper()),
                kRefused, k + 1);
            return {};
        }
    size_t main = b;
    if (T[b].is("with")) main = ctx.firstAtTopLevel(b + 1, e, [](const Token& t) { return isChangeWord(t); });
    if (main >= e || !isChangeWord(T[main])) return {};
    std::vector<OutputClause> clauses;
    for (size_t k = main + 1; k < e;) {
        k = ctx.firstAtTopLevel(k, e, [](const Token& t) { return t.is("output"); });
        if (k >= e) break;
        if (T[k - 1].isSymbol(".") || (k + 1 < e && (T[k + 1].isSymbol(".") || T[k + 1].isSymbol("=")))) {
            ++k;   // a column named output
            continue;
        }
        OutputClause c;
        c.verb = main;
        c.at = k;
        c.listEnd = ctx.firstAtTopLevel(k + 1, e, endsOutputList);
        c.into = c.end = c.listEnd;
        if (c.listEnd == k + 1) {
            ctx.fail(ctx.near(c.listEnd), c.listEnd);
            return {};
        }
        const size_t next = c.listEnd < e && T[c.listEnd].is("into") ? ctx.firstAtTopLevel(c.listEnd + 1, e, endsOutputList) : c.listEnd;
        if (next < e && isOneOf(T[next], {"exec", "execute"})) {
            ctx.fail(QStringLiteral("The OUTPUT clause is not supported in INSERT statements that contain an EXECUTE "
                                    "statement."),
                kRefused, k);
            return {};
        }
        if (c.listEnd < e && T[c.listEnd].is("into")) {
            // [database.[schema].]table, database..table, @variable, #table
            size_t n = c.listEnd + 1;
            if (n < e && T[n].isName()) ++n;
            while (n + 1 < e && T[n].isSymbol(".")) {
                while (n < e && T[n].isSymbol(".")) ++n;
                if (n < e && T[n].isName()) ++n;
            }
            if (n + 1 < e && T[n].isSymbol("(") && T[n + 1].isName() && !T[n + 1].is("select"))
                n = ctx.matching(n, e) + 1;
            if (n == c.listEnd + 1) {
                ctx.fail(ctx.near(n), n);
                return {};
            }
            c.end = std::min(n, e);
        }
        clauses.push_back(c);
        k = c.end;
    }
    if (clauses.size() > 2 || (clauses.size() == 2 && (clauses[0].into < clauses[0].end) == (clauses[1].into < clauses[1].end))) {
        ctx.fail(QStringLiteral("A statement takes one OUTPUT clause and one OUTPUT … INTO clause."), kRefused,
            clauses.back().at);
        return {};
    }
    return clauses;
}

Vec normalizedWithout(TranslationContext& ctx, size_t b, size_t e, const std::vector<OutputClause>& clauses)
{
    Vec v;
    size_t from = b;
    for (const OutputClause& c : clauses) {
        const Vec part = ctx.normalize(from, c.at);
        v.insert(v.end(), part.begin(), part.end());
        from = c.end;
    }
    const Vec part = ctx.normalize(from, e);
    v.insert(v.end(), part.begin(), part.end());
    return v;
}

Statement withOutput(TranslationContext& ctx, Statement change, const Vec& v, const std::vector<OutputClause>& clauses)
{
    const std::optional<InsertTarget> target = changedTable(v);
    if (!target) {
        ctx.fail(ctx.near(clauses.front().at), clauses.front().at);
        return {};
    }
    OutputStatement s;
    s.verb = ctx[clauses.front().verb].text.toLower();
    s.schema = target->schema;
    s.table = target->name;
    OutputTranslator translator(ctx, ctx[clauses.front().verb]);
    for (const OutputClause& c : clauses) {
        std::optional<SqlStatement> output = translator.translate(c, *target);
        if (!output) return {};
        s.outputs.push_back(std::move(*output));
    }
    s.change.push_back(std::move(change));
    return {s};
}

}   // namespace orra::embedded::translator
