#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"

#include <optional>

namespace orra::embedded::translator {

namespace {

bool isConstraintWord(const Token& t) { return isOneOf(t, {"constraint", "primary", "unique", "foreign", "check"}); }

bool sameName(const QString& a, const QString& b) { return QString::compare(a, b, Qt::CaseInsensitive) == 0; }

// The column and table definitions between the parentheses that open at v[open], split at
// their top-level commas; nothing when the parenthesis is not closed.
std::optional<std::vector<Vec>> definitions(const Vec& v, size_t open)
{
    std::vector<Vec> defs;
    RewriteCursor c(v, open + 1);
    size_t start = c.position();
    while (!c.atEnd()) {
        if (c.atSymbol("(")) {
            c.skipGroup();
            continue;
        }
        if (c.atSymbol(")") || c.atSymbol(",")) {
            defs.emplace_back(v.begin() + long(start), v.begin() + long(c.position()));
            if (c.atSymbol(")")) return defs;
            c.skip();
            start = c.position();
            continue;
        }
        c.skip();
    }
    return std::nullopt;
}

// The column declared as identity (the last when several are), or empty.
QString identityColumn(const std::vector<Vec>& defs)
{
    QString identity;
    for (const Vec& d : defs) {
        if (d.size() < 2 || !d[0].t.isName() || isConstraintWord(d[0].t) || d[1].t.is("identity")) continue;
        for (size_t k = 2; k < d.size(); ++k)
            if (d[k].t.is("identity")) {
                identity = d[0].t.text;
                break;
            }
    }
    return identity;
}

// A primary key constraint that only restates the identity column, which is already the key.
bool restatesIdentityKey(const Vec& d, const QString& identity)
{
    if (identity.isEmpty()) return false;
    size_t pk = d.size();
    for (size_t k = 0; k < d.size(); ++k)
        if (d[k].t.is("primary")) pk = k;
    if (pk == d.size()) return false;
    size_t k = pk + 2;
    while (k < d.size() && !d[k].t.isSymbol("(")) ++k;
    return k + 2 < d.size() && d[k + 2].t.isSymbol(")") && sameName(d[k + 1].t.text, identity);
}

// A table constraint without the server's storage clauses; a referenced table stays
// unqualified for SQLite's foreign keys.
Vec tableConstraint(Vec d)
{
    Vec r;
    for (size_t k = 0; k < d.size(); ++k) {
        if (d[k].t.is("clustered") || d[k].t.is("nonclustered")) continue;
        if (d[k].t.is("references") && k + 1 < d.size()) d[k + 1].out = quoteName(d[k + 1].t.text);
        if (d[k].t.is("with") && k + 1 < d.size() && d[k + 1].t.isSymbol("(")) {
            RewriteCursor c(d, k + 1);
            k = c.skipGroup();
            continue;
        }
        if (d[k].t.is("on") && k + 1 < d.size() && d[k + 1].t.is("primary")) {
            ++k;
            continue;
        }
        r.push_back(d[k]);
    }
    return r;
}

// Text columns take the server's collation, and refuse values longer than their declared
// length as the server refuses them (trailing blanks aside; a value within the length is
// accepted without trimming it).
void textColumnRules(Vec& r, const Vec& d, size_t& k, const QString& type, const QString& length)
{
    QString declared;
    if (k + 1 < d.size() && d[k].t.is("collate")) {
        declared = d[k + 1].t.text;
        k += 2;
    }
    const QString lower = type.toLower();
    r.push_back(word("COLLATE"));
    NT collation = word("TR_CI");
    collation.t.text = collation.out = collationNameFor(declared, lower.startsWith(u'n'));
    r.push_back(collation);
    bool sized = false;
    const int n = length.toInt(&sized);
    if (sized && n > 0 && lower != u"text" && lower != u"ntext")
        r.push_back(raw(QStringLiteral("CONSTRAINT \"String or binary data would be truncated.\" "
                                       "CHECK (length(%1) <= %2 OR length(rtrim(%1)) <= %2)")
                            .arg(quoteName(d[0].t.text))
                            .arg(n)));
}

// The column's type as SQLite takes it; k moves past it. The identity column becomes
// SQLite's autoincrementing key.
void columnType(Vec& r, const Vec& d, size_t& k, bool isIdentity)
{
    if (isIdentity) {
        r.push_back(raw(QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")));
        if (k < d.size()) ++k;   // the declared type
        if (k < d.size() && d[k].t.isSymbol("(")) {
            while (k < d.size() && !d[k].t.isSymbol(")")) ++k;
            ++k;
        }
        return;
    }
    if (k >= d.size() || !d[k].t.isName()) return;
    const QString type = d[k].t.text;
    r.push_back(d[k++]);
    QString length;   // the last word of a closed size, as in varchar(30)
    if (k < d.size() && d[k].t.isSymbol("(")) {
        if (k + 2 < d.size() && d[k + 1].t.is("max")) {
            k += 3;   // (max): no limit
        } else {
            while (k < d.size() && !d[k].t.isSymbol(")")) r.push_back(d[k++]);
            if (k < d.size()) {
                length = r.back().t.text;
                r.push_back(d[k++]);
            }
        }
    }
    if (isTextType(type)) textColumnRules(r, d, k, type, length);
}

Vec columnDefinition(const Vec& d, const QString& identity)
{
    Vec r;
    r.push_back(d[0]);
    size_t k = 1;
    const bool isIdentity = sameName(d[0].t.text, identity);
    columnType(r, d, k, isIdentity);
    for (; k < d.size(); ++k) {
        const NT& n = d[k];
        if (n.t.is("clustered") || n.t.is("nonclustered")) continue;
        if (n.t.is("identity")) {
            if (k + 1 < d.size() && d[k + 1].t.isSymbol("(")) {
                while (k < d.size() && !d[k].t.isSymbol(")")) ++k;
            }
            continue;
        }
        if (isIdentity && n.t.is("primary") && k + 1 < d.size() && d[k + 1].t.is("key")) {
            ++k;
            continue;
        }
        if (n.t.is("collate") && k + 1 < d.size()) {
            ++k;
            continue;
        }
        if (n.t.is("references") && k + 1 < d.size()) {
            r.push_back(n);
            NT ref = d[++k];
            ref.out = quoteName(ref.t.text);
            r.push_back(ref);
            continue;
        }
        r.push_back(n);
    }
    return r;
}

// create table T (…): identity columns, text collation, temp tables, server clauses. Anything
// after the parenthesis (on [PRIMARY], textimage_on …) is storage detail and goes.
void rewriteDefinitions(Vec& v)
{
    const NT name = v[2];
    if (!RewriteCursor(v, 3).atSymbol("(")) return;
    const std::optional<std::vector<Vec>> defs = definitions(v, 3);
    if (!defs) return;
    const QString identity = identityColumn(*defs);
    Vec out(v.begin(), v.begin() + 2);
    if (name.t.text.startsWith(u'#')) out.insert(out.begin() + 1, word("temp"));
    out.push_back(name);
    out.push_back(symbol("("));
    bool first = true;
    for (const Vec& d : *defs) {
        if (d.empty()) continue;
        Vec r;
        if (isConstraintWord(d[0].t)) {
            if (restatesIdentityKey(d, identity)) continue;
            r = tableConstraint(d);
        } else {
            r = columnDefinition(d, identity);
        }
        if (!first) out.push_back(symbol(","));
        first = false;
        out.insert(out.end(), r.begin(), r.end());
    }
    out.push_back(symbol(")"));
    v = out;
}

}   // namespace

SqlStatement rewriteCreateTable(Vec v)
{
    rewriteDefinitions(v);
    return finishedStatement(v);
}

}   // namespace orra::embedded::translator
