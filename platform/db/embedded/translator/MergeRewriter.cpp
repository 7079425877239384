// MERGE as the statements SQLite runs, in an order that keeps each action on the rows the
// statement found before it changed anything:
//   1. the target rows that match the source (temp.orra_merge_matched; a row that an UPDATE
//      would meet twice fails with error 8672);
//   2. WHEN NOT MATCHED BY SOURCE: update or delete the target rows not among them;
//   3. WHEN NOT MATCHED [BY TARGET]: insert the source rows that match no target row;
//   4. WHEN MATCHED: update or delete the matched rows;
//   5. a count of the rows the actions changed, as the statement's own row count;
// all under a savepoint, so that an action that fails undoes those before it.
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TypedConversions.h"
#include "platform/db/embedded/translator/TypedRewrites.h"

namespace orra::embedded::translator {

namespace {

struct Clause {
    enum class When { Matched, NotMatchedByTarget, NotMatchedBySource } when = When::Matched;
    size_t condBegin = 0, condEnd = 0;   // "and …", empty when none
    bool remove = false;                  // delete
    bool insert = false;
    size_t actionBegin = 0, actionEnd = 0;   // set list, or "(columns) values (…)"
};

const QString kMatched = QStringLiteral("temp.\"orra_merge_matched\"");
const QString kCount = QStringLiteral("temp.\"orra_merge_count\"");

class MergeRewriter {
public:
    MergeRewriter(TranslationContext& ctx, const Vec& v) : m_ctx(ctx), v(v) {}

    Statement rewrite()
    {
        size_t k = 1;
        if (k < v.size() && v[k].t.is("into")) ++k;
        if (k >= v.size() || !v[k].t.isName()) return fail(k);
        m_target = v[k];
        m_alias = v[k].t.text;
        ++k;
        if (k < v.size() && v[k].t.is("as")) ++k;
        if (k < v.size() && v[k].t.isName() && !v[k].t.is("using")) m_alias = v[k++].t.text;
        if (k >= v.size() || !v[k].t.is("using")) return fail(k);
        m_sourceBegin = ++k;
        const size_t on = topLevel(v, k, {"on"});
        if (on >= v.size()) return fail(v.size());
        m_sourceEnd = on;
        const size_t firstWhen = topLevel(v, on + 1, {"when"});
        if (firstWhen >= v.size()) return fail(v.size());
        m_onBegin = on + 1;
        m_onEnd = firstWhen;
        // the when clauses
        for (size_t w = firstWhen; w < v.size();) {
            Clause c;
            size_t i = w + 1;
            if (i < v.size() && v[i].t.is("matched")) {
                ++i;
            } else if (i + 1 < v.size() && v[i].t.is("not") && v[i + 1].t.is("matched")) {
                i += 2;
                c.when = Clause::When::NotMatchedByTarget;
                if (i + 1 < v.size() && v[i].t.is("by") && v[i + 1].t.is("target")) {
                    i += 2;
                } else if (i + 1 < v.size() && v[i].t.is("by") && v[i + 1].t.is("source")) {
                    i += 2;
                    c.when = Clause::When::NotMatchedBySource;
                }
            } else {
                return fail(i);
            }
            const size_t then = topLevel(v, i, {"then"});
            if (then >= v.size()) return fail(v.size());
            if (v[i].t.is("and")) {
                c.condBegin = i + 1;
                c.condEnd = then;
            } else if (then != i) {
                return fail(i);
            }
            size_t a = then + 1;
            size_t next = topLevel(v, a, {"when", "output", "option"});
            if (next < v.size() && !v[next].t.is("when")) {
                m_ctx.fail(QStringLiteral("The embedded server does not run MERGE with '%1'.").arg(v[next].t.text.toLower()),
                    0, m_ctx.size());
                return {};
            }
            if (a < v.size() && v[a].t.is("delete")) {
                c.remove = true;
            } else if (a < v.size() && v[a].t.is("update") && a + 1 < v.size() && v[a + 1].t.is("set")) {
                c.actionBegin = a + 2;
            } else if (a < v.size() && v[a].t.is("insert") && c.when == Clause::When::NotMatchedByTarget) {
                c.insert = true;
                c.actionBegin = a + 1;
            } else {
                return fail(a);
            }
            c.actionEnd = next;
            m_clauses.push_back(c);
            w = next;
        }
        if (m_ctx.failed()) return {};
        return statements();
    }

private:
    Statement fail(size_t at)
    {
        m_ctx.fail(at < v.size() ? QStringLiteral("Incorrect syntax near '%1'.").arg(v[at].t.text) : m_ctx.near(m_ctx.size()),
            102, m_ctx.size());
        return {};
    }

    Vec range(size_t b, size_t e) const { return Vec(v.begin() + long(b), v.begin() + long(e)); }
    Vec source() const { return range(m_sourceBegin, m_sourceEnd); }
    NT alias() const { return raw(quoteName(m_alias)); }

    static void add(Vec& out, const Vec& more) { out.insert(out.end(), more.begin(), more.end()); }

    static SqlStatement step(const QString& sql)
    {
        SqlStatement s;
        s.sql = sql;
        return s;
    }

    // The statement after it counts the rows this one changed. An insert names its target, whose
    // identity the server gives and checks.
    void counted(BlockStatement& block, Vec statement, bool insert = false)
    {
        SqlStatement s = finishedStatement(statement);
        if (insert) s.insert = targetTable(m_target);
        block.body.push_back({s});
        block.body.push_back({step(QStringLiteral("insert into %1 values (changes())").arg(kCount))});
    }

    Statement statements()
    {
        BlockStatement block;
        block.body.push_back({step(QStringLiteral("drop table if exists %1").arg(kMatched))});
        block.body.push_back({step(QStringLiteral("drop table if exists %1").arg(kCount))});
        block.body.push_back({step(QStringLiteral("create table %1 (n)").arg(kCount))});
        bool updates = false;
        for (const Clause& c : m_clauses) updates = updates || (c.when == Clause::When::Matched && !c.remove);
        // 1. the matched target rows
        {
            Vec m{raw(QStringLiteral("create table %1 as select").arg(kMatched)), alias(), raw(QStringLiteral(".rowid as r from")),
                m_target, word("as"), alias(), symbol(",")};
            add(m, source());
            m.push_back(word("where"));
            add(m, range(m_onBegin, m_onEnd));
            m.push_back(raw(QStringLiteral("group by")));
            m.push_back(alias());
            m.push_back(raw(QStringLiteral(".rowid")));
            if (updates) m.push_back(raw(QStringLiteral("having orra_merge_once(count(*))")));
            block.body.push_back({finishedStatement(m)});
        }
        // 2. not matched by source; 3. not matched by target; 4. matched
        for (const Clause::When when :
            {Clause::When::NotMatchedBySource, Clause::When::NotMatchedByTarget, Clause::When::Matched}) {
            Vec others;   // the conditions of the clauses of this kind before the current one
            for (const Clause& c : m_clauses) {
                if (c.when != when) continue;
                Vec where;
                if (c.condEnd > c.condBegin) {
                    where.push_back(symbol("("));
                    add(where, range(c.condBegin, c.condEnd));
                    where.push_back(symbol(")"));
                }
                if (!others.empty()) {
                    if (!where.empty()) where.push_back(word("and"));
                    where.push_back(word("not"));
                    where.push_back(symbol("("));
                    add(where, others);
                    where.push_back(symbol(")"));
                }
                if (c.condEnd > c.condBegin) {
                    if (!others.empty()) others.push_back(word("or"));
                    others.push_back(symbol("("));
                    add(others, range(c.condBegin, c.condEnd));
                    others.push_back(symbol(")"));
                }
                if (when == Clause::When::NotMatchedByTarget)
                    counted(block, insertOf(c, where), true);
                else
                    counted(block, changeOf(c, where, when == Clause::When::Matched));
            }
        }
        // 5. the rows changed
        SqlStatement total = step(QStringLiteral(
            "with recursive orra_merge_rows(i) as (select 1 where (select sum(n) from %1) > 0 union all "
            "select i + 1 from orra_merge_rows where i < (select sum(n) from %1)) "
            "insert into %1 select 0 from orra_merge_rows")
                                      .arg(kCount));
        total.dml = true;
        // All or nothing: a failing action undoes the ones before it, and its error goes on.
        TryCatchStatement atomic;
        atomic.tryBody.push_back({step(QStringLiteral("savepoint orra_merge"))});
        atomic.tryBody.insert(atomic.tryBody.end(), block.body.begin(), block.body.end());
        atomic.tryBody.push_back({step(QStringLiteral("release orra_merge"))});
        atomic.tryBody.push_back({total});
        atomic.catchBody.push_back({step(QStringLiteral("rollback to orra_merge"))});
        atomic.catchBody.push_back({step(QStringLiteral("release orra_merge"))});
        RaiseStatement again;
        again.isThrow = true;
        atomic.catchBody.push_back({again});
        return {atomic};
    }

    // insert into T [(columns)] select values from source where no target row matches [and …]
    Vec insertOf(const Clause& c, const Vec& where) const
    {
        Vec out{word("insert"), word("into"), m_target};
        size_t k = c.actionBegin;
        QStringList columns;
        if (k < c.actionEnd && v[k].t.isSymbol("(")) {
            const size_t close = closeOf(v, k, c.actionEnd);
            add(out, range(k, close + 1));
            for (size_t n = k + 1; n < close; ++n)
                if (!v[n].t.isSymbol(",")) columns << v[n].t.text;
            k = close + 1;
        } else if (m_ctx.schema()) {
            const auto [database, table] = sqliteTableOf(m_target);
            columns = m_ctx.schema()->insertColumns(database, table);
            out.push_back(symbol("("));
            for (qsizetype n = 0; n < columns.size(); ++n) {
                if (n > 0) out.push_back(symbol(","));
                out.push_back(raw(quoteName(columns[n])));
            }
            out.push_back(symbol(")"));
        }
        if (k + 1 >= c.actionEnd || !v[k].t.is("values") || !v[k + 1].t.isSymbol("(")) return out;
        const size_t close = closeOf(v, k + 1, c.actionEnd);
        out.push_back(word("select"));
        const auto values = items(k + 2, close);
        for (size_t n = 0; n < values.size(); ++n) {
            if (n > 0) out.push_back(symbol(","));
            add(out, converted(n < size_t(columns.size()) ? columns[qsizetype(n)] : QString(), values[n].first,
                         values[n].second));
        }
        out.push_back(word("from"));
        add(out, source());
        out.push_back(raw(QStringLiteral("where not exists (select 1 from")));
        out.push_back(m_target);
        out.push_back(word("as"));
        out.push_back(alias());
        out.push_back(word("where"));
        add(out, range(m_onBegin, m_onEnd));
        out.push_back(symbol(")"));
        if (!where.empty()) {
            out.push_back(word("and"));
            add(out, where);
        }
        return out;
    }

    // update T as t set … [from source where on and] t.rowid [not] in (matched) [and …], or the
    // delete of those rows
    Vec changeOf(const Clause& c, const Vec& where, bool matched) const
    {
        Vec picked{raw(QStringLiteral("rowid")), word(matched ? "in" : "not"),
            raw(matched ? QStringLiteral("(select r from %1)").arg(kMatched)
                        : QStringLiteral("in (select r from %1)").arg(kMatched))};
        if (c.remove) {
            Vec out{word("delete"), word("from"), m_target, word("where")};
            add(out, picked);
            if (!where.empty()) {
                // the rows that the clause's condition picks, with the source rows they match
                out.push_back(raw(QStringLiteral("and rowid in (select")));
                out.push_back(alias());
                out.push_back(raw(QStringLiteral(".rowid from")));
                out.push_back(m_target);
                out.push_back(word("as"));
                out.push_back(alias());
                if (matched) {
                    out.push_back(symbol(","));
                    add(out, source());
                }
                out.push_back(word("where"));
                if (matched) {
                    out.push_back(symbol("("));
                    add(out, range(m_onBegin, m_onEnd));
                    out.push_back(raw(QStringLiteral(") and")));
                }
                add(out, where);
                out.push_back(symbol(")"));
            }
            return out;
        }
        Vec out{word("update"), m_target, word("as"), alias(), word("set")};
        // set [t.]column = expression, …: SQLite names the column alone; the value is written
        // as the column's type converts it
        const auto assignments = items(c.actionBegin, c.actionEnd);
        for (size_t n = 0; n < assignments.size(); ++n) {
            const auto [b, e] = assignments[n];
            if (n > 0) out.push_back(symbol(","));
            size_t eq = b;
            while (eq < e && !v[eq].t.isSymbol("=")) ++eq;
            if (eq == b || eq >= e) {
                add(out, range(b, e));
                continue;
            }
            out.push_back(v[eq - 1]);
            out.push_back(symbol("="));
            add(out, converted(v[eq - 1].t.text, eq + 1, e));
        }
        if (matched) {
            out.push_back(word("from"));
            add(out, source());
            out.push_back(word("where"));
            out.push_back(symbol("("));
            add(out, range(m_onBegin, m_onEnd));
            out.push_back(raw(QStringLiteral(") and")));
        } else {
            out.push_back(word("where"));
        }
        out.push_back(alias());
        out.push_back(raw(QStringLiteral(".") + picked[0].out));
        out.insert(out.end(), picked.begin() + 1, picked.end());
        if (!where.empty()) {
            out.push_back(word("and"));
            add(out, where);
        }
        return out;
    }

    // The ranges between the top-level commas of [b, e).
    std::vector<std::pair<size_t, size_t>> items(size_t b, size_t e) const
    {
        std::vector<std::pair<size_t, size_t>> out;
        size_t start = b;
        for (size_t k = b; k < e; ++k) {
            if (v[k].t.isSymbol("("))
                k = closeOf(v, k, e);
            else if (v[k].t.is("case"))
                k = caseEnd(v, k, e);
            else if (v[k].t.isSymbol(",")) {
                out.emplace_back(start, k);
                start = k + 1;
            }
        }
        out.emplace_back(start, e);
        return out;
    }

    // The value [b, e) as a write into the target's column converts it.
    Vec converted(const QString& column, size_t b, size_t e) const
    {
        Vec out = range(b, e);
        if (!m_ctx.schema() || column.isEmpty()) return out;
        const auto [database, table] = sqliteTableOf(m_target);
        const SqlType type = SqlType::fromDeclared(m_ctx.schema()->columnType(database, table, column));
        const size_t k = indexOf(m_ctx, v[b].t), ke = b < e ? indexOf(m_ctx, v[e - 1].t) + 1 : k;
        const auto& T = m_ctx.tokens();
        const SqlType source =
            k < ke && ke <= T.size() ? writtenValueType(m_ctx, ExpressionTyper(m_ctx), type, k, ke) : SqlType{};
        const StoredConversion c = storedConversion(type, source);
        wrapConversion(out, 0, out.size(), c);
        return out;
    }

    TranslationContext& m_ctx;
    const Vec& v;
    NT m_target;
    QString m_alias;
    size_t m_sourceBegin = 0, m_sourceEnd = 0, m_onBegin = 0, m_onEnd = 0;
    std::vector<Clause> m_clauses;
};

}   // namespace

Statement rewriteMerge(TranslationContext& ctx, Vec v)
{
    rewriteSelectForms(v);
    return MergeRewriter(ctx, v).rewrite();
}

}   // namespace orra::embedded::translator
