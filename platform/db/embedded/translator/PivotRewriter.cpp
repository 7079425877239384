// PIVOT and UNPIVOT as the derived tables they stand for.
//   source s pivot (agg(value) for col in ([a], [b])) p
// becomes
//   (select g…, agg(case when col = 'a' then value end) as "a", … from source s group by g…) p
// where g… are the source's other columns (the grouping columns); and
//   source s unpivot (value for col in (a, b)) u
// becomes the source's other columns with one row per listed column whose value is not NULL:
//   (select * from (select g…, k.name as "col", case k.i when 1 then "a" … end as "value"
//    from source s cross join (select 1 as i, 'a' as name union all …) k) where "value" is not null) u
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"

#include <QRegularExpression>

namespace orra::embedded::translator {

namespace {


// The name each item of the select list at s gives its column ("*" for a star, empty for an
// expression without an alias).
QStringList selectNames(const Vec& v, size_t s, size_t end)
{
    QStringList names;
    for (const auto& [x, y] : selectItems(v, s, end)) names << itemName(v, x, y);
    return names;
}

// 'text' as SQLite writes it, or a number as it is.
NT valueOf(const QString& text)
{
    static const QRegularExpression numeric(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?$"));
    if (numeric.match(text).hasMatch()) return number(text);
    return raw(u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'');
}

class PivotRewriter {
public:
    PivotRewriter(TranslationContext& ctx, Vec& v) : m_ctx(ctx), v(v) {}

    bool rewriteLast()
    {
        size_t p = v.size();
        for (size_t k = v.size(); k-- > 1;)
            if ((v[k].t.is("pivot") || v[k].t.is("unpivot")) && k + 1 < v.size() && v[k + 1].t.isSymbol("(")) {
                p = k;
                break;
            }
        if (p >= v.size()) return false;
        // the source: "(select …) [as] s", "T [as] s" or "T"
        size_t sourceBegin = p, sourceEnd = p;
        size_t k = p - 1;
        if (v[k].t.isName() && !v[k].t.isSymbol(")") && k > 0
            && (v[k - 1].t.is("as") || v[k - 1].t.isSymbol(")") || (v[k - 1].t.isName() && !isExpressionBoundary(v[k - 1].t)
                                                                       && !isOneOf(v[k - 1].t, {"join", "apply"})))) {
            --k;
            if (v[k].t.is("as")) --k;
        }
        QStringList columns;
        if (v[k].t.isSymbol(")")) {
            int depth = 0;
            size_t open = k;
            for (size_t j = k + 1; j-- > 0;) {
                if (v[j].t.isSymbol(")"))
                    ++depth;
                else if (v[j].t.isSymbol("(") && --depth == 0) {
                    open = j;
                    break;
                }
            }
            sourceBegin = open;
            if (open + 1 < k && v[open + 1].t.is("select")) columns = selectNames(v, open + 1, k);
        } else {
            sourceBegin = k;
            columns = tableColumns(v[k]);
        }
        for (const QString& c : columns)
            if (c.isEmpty() || c == u"*") columns.clear();
        if (columns.isEmpty()) {
            m_ctx.fail(QStringLiteral("The embedded server does not run '%1' over a source whose columns it cannot name: "
                                      "name them in a derived table.")
                           .arg(v[p].t.text.toLower()),
                0, m_ctx.size());
            return false;
        }
        const size_t open = p + 1;
        const size_t close = closeOf(v, open, v.size());
        size_t after = close + 1;
        if (after < v.size() && v[after].t.is("as")) ++after;
        if (close >= v.size() || after >= v.size() || !v[after].t.isName() || isExpressionBoundary(v[after].t)) {
            m_ctx.fail(m_ctx.near(m_ctx.size()), 102, m_ctx.size());
            return false;
        }
        const NT alias = v[after];
        const Vec source(v.begin() + long(sourceBegin), v.begin() + long(sourceEnd));
        Vec out = v[p].t.is("pivot") ? pivot(open, close, columns, source) : unpivot(open, close, columns, source);
        if (m_ctx.failed()) return false;
        out.push_back(word("as"));
        out.push_back(alias);
        v.erase(v.begin() + long(sourceBegin), v.begin() + long(after) + 1);
        v.insert(v.begin() + long(sourceBegin), out.begin(), out.end());
        return true;
    }

private:
    // The columns of a table named by the token n, from the schema.
    QStringList tableColumns(const NT& n) const
    {
        if (!m_ctx.schema()) return {};
        const auto [database, table] = sqliteTableOf(n);
        return m_ctx.schema()->columns(database, table);
    }

    void failSyntax(size_t at)
    {
        m_ctx.fail(at < v.size() ? QStringLiteral("Incorrect syntax near '%1'.").arg(v[at].t.text)
                                 : m_ctx.near(m_ctx.size()),
            102, m_ctx.size());
    }

    // The names of "in (a, b, …)" at k.
    QStringList inList(size_t& k, size_t close)
    {
        QStringList names;
        if (k + 1 >= close || !v[k].t.is("in") || !v[k + 1].t.isSymbol("(")) {
            failSyntax(k);
            return names;
        }
        const size_t listClose = closeOf(v, k + 1, close);
        for (size_t n = k + 2; n < listClose; ++n)
            if (!v[n].t.isSymbol(",")) names << v[n].t.text;
        k = listClose + 1;
        return names;
    }

    Vec pivot(size_t open, size_t close, const QStringList& columns, const Vec& source)
    {
        // agg(value …) for col in (…)
        size_t k = open + 1;
        if (k + 1 >= close || !v[k + 1].t.isSymbol("(")) {
            failSyntax(k);
            return {};
        }
        const size_t callOpen = k + 1;
        const size_t callClose = closeOf(v, callOpen, close);
        size_t argEnd = callOpen + 1;
        while (argEnd < callClose && !v[argEnd].t.isSymbol(",")) {
            if (v[argEnd].t.isSymbol("(")) argEnd = closeOf(v, argEnd, callClose);
            ++argEnd;
        }
        if (argEnd == callOpen + 1 || v[callOpen + 1].t.isSymbol("*")) {
            m_ctx.fail(QStringLiteral("Incorrect syntax near '*'."), 102, m_ctx.size());
            return {};
        }
        const QString value = v[argEnd - 1].t.text;
        k = callClose + 1;
        if (k + 1 >= close || !v[k].t.is("for") || !v[k + 1].t.isName()) {
            failSyntax(k);
            return {};
        }
        const NT column = v[k + 1];
        k += 2;
        const QStringList names = inList(k, close);
        if (m_ctx.failed()) return {};
        Vec out{symbol("("), word("select")};
        QStringList grouping;
        for (const QString& c : columns)
            if (!sameName(c, column.t.text) && !sameName(c, value)) grouping << c;
        for (const QString& g : grouping) {
            out.push_back(raw(quoteName(g)));
            out.push_back(symbol(","));
        }
        for (qsizetype n = 0; n < names.size(); ++n) {
            if (n > 0) out.push_back(symbol(","));
            out.insert(out.end(), v.begin() + long(open) + 1, v.begin() + long(callOpen) + 1);
            out.push_back(word("case"));
            out.push_back(word("when"));
            out.push_back(column);
            out.push_back(symbol("="));
            out.push_back(valueOf(names[n]));
            out.push_back(word("then"));
            out.insert(out.end(), v.begin() + long(callOpen) + 1, v.begin() + long(argEnd));
            out.push_back(word("end"));
            out.insert(out.end(), v.begin() + long(argEnd), v.begin() + long(callClose) + 1);
            out.push_back(word("as"));
            out.push_back(raw(quoteName(names[n])));
        }
        out.push_back(word("from"));
        out.insert(out.end(), source.begin(), source.end());
        if (!grouping.isEmpty()) {
            out.push_back(word("group"));
            out.push_back(word("by"));
            for (qsizetype n = 0; n < grouping.size(); ++n) {
                if (n > 0) out.push_back(symbol(","));
                out.push_back(raw(quoteName(grouping[n])));
            }
        }
        out.push_back(symbol(")"));
        return out;
    }

    Vec unpivot(size_t open, size_t close, const QStringList& columns, const Vec& source)
    {
        // value for col in (a, b, …)
        size_t k = open + 1;
        if (k + 2 >= close || !v[k].t.isName() || !v[k + 1].t.is("for") || !v[k + 2].t.isName()) {
            failSyntax(k);
            return {};
        }
        const QString value = v[k].t.text;
        const QString column = v[k + 2].t.text;
        k += 3;
        const QStringList names = inList(k, close);
        if (m_ctx.failed()) return {};
        for (const QString& c : columns)
            if (sameName(c, value) || sameName(c, column)) {
                m_ctx.fail(QStringLiteral("The column name \"%1\" specified in the UNPIVOT operator conflicts with the "
                                          "existing column name in the UNPIVOT argument.")
                               .arg(c),
                    0, m_ctx.size());
                return {};
            }
        QString cases = QStringLiteral("case orra_unpivot.i");
        QString keys;
        for (qsizetype n = 0; n < names.size(); ++n) {
            cases += QStringLiteral(" when %1 then %2").arg(n + 1).arg(quoteName(names[n]));
            keys += QStringLiteral("%1select %2%3, '%4'%5")
                        .arg(n > 0 ? QStringLiteral(" union all ") : QString())
                        .arg(n + 1)
                        .arg(n > 0 ? QString() : QStringLiteral(" as i"))
                        .arg(QString(names[n]).replace(u'\'', QStringLiteral("''")))
                        .arg(n > 0 ? QString() : QStringLiteral(" as name"));
        }
        cases += QStringLiteral(" end");
        QString head = QStringLiteral("(select * from (select ");
        for (const QString& c : columns)
            if (!names.contains(c, Qt::CaseInsensitive)) head += quoteName(c) + QStringLiteral(", ");
        head += QStringLiteral("orra_unpivot.name as %1, %2 as %3 from").arg(quoteName(column), cases, quoteName(value));
        Vec out{raw(head)};
        out.insert(out.end(), source.begin(), source.end());
        out.push_back(raw(QStringLiteral("cross join (%1) as orra_unpivot) where %2 is not null)")
                              .arg(keys, quoteName(value))));
        return out;
    }

    TranslationContext& m_ctx;
    Vec& v;
};

}   // namespace

std::pair<QString, QString> sqliteTableOf(const NT& n)
{
    QString out = n.out;
    QString database = n.t.text.startsWith(u'#') ? QStringLiteral("temp") : QStringLiteral("main");
    const qsizetype dot = out.indexOf(QStringLiteral("."));
    if (dot > 0 && !out.startsWith(u'"')) {
        database = out.left(dot);
        out = out.mid(dot + 1);
    } else if (out.startsWith(u'"') && out.contains(QStringLiteral("\".\""))) {
        const qsizetype q = out.indexOf(QStringLiteral("\".\""));
        database = out.mid(1, q - 1);
        out = out.mid(q + 2);
    }
    if (out.startsWith(u'"')) out = out.mid(1, out.size() - 2).replace(QStringLiteral("\"\""), QStringLiteral("\""));
    return {database, out};
}

void rewritePivot(TranslationContext& ctx, Vec& v)
{
    PivotRewriter r(ctx, v);
    for (int guard = 0; guard < 256 && !ctx.failed() && r.rewriteLast(); ++guard) {
    }
}

}   // namespace orra::embedded::translator
