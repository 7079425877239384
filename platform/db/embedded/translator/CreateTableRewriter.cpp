#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/ConstraintMessages.h"
#include "platform/db/embedded/IdentityColumns.h"
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/Rewriters.h"
#include "platform/db/embedded/translator/TokenCursor.h"
#include "platform/db/embedded/translator/TypedConversions.h"
#include "platform/db/embedded/functions/DateFunctions.h"

#include <algorithm>
#include <optional>

namespace orra::embedded::translator {

namespace {

bool isConstraintWord(const Token& t) { return isOneOf(t, {"constraint", "primary", "unique", "foreign", "check"}); }


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

// The name of the primary key the identity column carries, declared on the column or by a table
// constraint of that column alone (PK__T when unnamed); empty when it carries none.
QString identityKeyName(const std::vector<Vec>& defs, const QString& identity, const QString& table)
{
    if (identity.isEmpty()) return {};
    const QString unnamed = QStringLiteral("PK__") + table;
    for (const Vec& d : defs) {
        if (d.size() < 2) continue;
        if (isConstraintWord(d[0].t)) {
            if (restatesIdentityKey(d, identity)) return d[0].t.is("constraint") ? d[1].t.text : unnamed;
        } else if (sameName(d[0].t.text, identity)) {
            for (size_t k = 1; k + 1 < d.size(); ++k)
                if (d[k].t.is("primary") && d[k + 1].t.is("key"))
                    return k >= 2 && d[k - 2].t.is("constraint") ? d[k - 1].t.text : unnamed;
        }
    }
    return {};
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
// accepted without trimming it). The length rule goes into last: it ends the column's
// definition, as SQLite gives a constraint's name to every constraint after it in the column.
void textColumnRules(Vec& r, Vec& last, const Vec& d, size_t& k, const QString& type, const QString& length)
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
        last.push_back(raw(QStringLiteral("CONSTRAINT \"String or binary data would be truncated.\" "
                                       "CHECK (length(%1) <= %2 OR length(rtrim(%1)) <= %2)")
                            .arg(quoteName(d[0].t.text))
                            .arg(n)));
}

// The column's type as SQLite takes it; k moves past it. The identity column becomes
// SQLite's autoincrementing key; when the table's primary key is declared on it, the key keeps
// its name and the mark that tells it from SQLite's own.
void columnType(Vec& r, Vec& last, const Vec& d, size_t& k, bool isIdentity, bool autoincrement, const QString& keyName)
{
    if (isIdentity) {
        QString key = QStringLiteral("INTEGER PRIMARY KEY");
        if (!keyName.isEmpty()) key = QStringLiteral("INTEGER CONSTRAINT %1 PRIMARY KEY").arg(quoteName(keyName));
        if (autoincrement) key += QStringLiteral(" AUTOINCREMENT");
        if (!keyName.isEmpty()) key += u' ' + QString::fromLatin1(kPrimaryKeyMark);
        r.push_back(raw(key));
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
    if (isTextType(type))
        textColumnRules(r, last, d, k, type, length);
    else if (type.compare(QLatin1String("datetimeoffset"), Qt::CaseInsensitive) == 0)
        r.push_back(raw(QStringLiteral("COLLATE ") + QLatin1String(dates::kInstantCollation)));
}

// The type of the column definition d as written ("decimal(18,4)"); empty for a computed column.
QString declaredType(const Vec& d)
{
    if (d.size() < 2 || d[1].t.is("as")) return {};
    QString type = d[1].t.text;
    if (d.size() > 2 && d[2].t.isSymbol("("))
        for (size_t k = 2; k < d.size(); ++k) {
            type += d[k].t.text;
            if (d[k].t.isSymbol(")")) break;
        }
    return type;
}

// default 0 | default (0) | default ((0)) | default getdate(): a lone literal stays bare (as
// ALTER TABLE … ADD needs it), any other expression goes in parentheses; k moves past it. A
// default of a column whose values are converted on their way in (see WriteConversions.cpp)
// is converted as well.
void defaultValue(Vec& r, const Vec& d, size_t& k, const StoredConversion& conversion, const SqlType& folded)
{
    size_t b = k + 1;
    size_t e = b;
    while (e < d.size() && !isOneOf(d[e].t, {"constraint", "not", "null", "primary", "unique", "check", "references",
                                            "collate", "identity", "foreign"})) {
        if (d[e].t.isSymbol("(")) e = closeOf(d, e, d.size());
        ++e;
    }
    e = std::min(e, d.size());
    while (e - b >= 2 && d[b].t.isSymbol("(") && closeOf(d, b, e) == e - 1) {
        ++b;
        --e;
    }
    const bool literal = (e - b == 1 && (d[b].t.kind == TokenKind::Number || d[b].t.kind == TokenKind::String || d[b].t.is("null")))
        || (e - b == 2 && (d[b].t.isSymbol("-") || d[b].t.isSymbol("+")) && d[b + 1].t.kind == TokenKind::Number);
    r.push_back(d[k]);
    if (e - b == 1 && folded.kind != SqlType::Kind::Unknown) {
        if (const std::optional<QString> value = storedLiteral(folded, d[b].t)) {
            r.push_back(raw(*value));
            k = e - 1;
            while (k + 1 < d.size() && d[k + 1].t.isSymbol(")")) ++k;
            return;
        }
    }
    const bool converted = !conversion.isEmpty() && !(e - b == 1 && d[b].t.is("null"));
    if (!literal || converted) r.push_back(symbol("("));
    if (converted) r.push_back(raw(conversion.before));
    append(r, d, b, e);
    if (converted) r.push_back(raw(conversion.after));
    if (!literal || converted) r.push_back(symbol(")"));
    k = e - 1;
    while (k + 1 < d.size() && d[k + 1].t.isSymbol(")")) ++k;   // the parentheses stripped above
}

// name as expression [persisted]: SQLite's generated column, stored when persisted. A column
// added to a table is computed as it is read (SQLite adds no stored one; its values are the same).
Vec computedColumn(const Vec& d, bool added)
{
    Vec r{d[0], word("AS"), symbol("(")};
    size_t e = d.size();
    const bool persisted = e > 2 && d[e - 1].t.is("persisted");
    if (persisted) --e;
    append(r, d, 2, e);
    r.push_back(symbol(")"));
    r.push_back(word(persisted && !added ? "STORED" : "VIRTUAL"));
    return r;
}

// The definition as SQLite takes it; its default is converted to the column's type as the
// value is written, or (added: ALTER TABLE … ADD, whose default SQLite takes as a constant
// only) a literal is converted here.
Vec columnDefinition(
    const Vec& d, const QString& identity, bool added = false, bool autoincrement = true, const QString& keyName = {})
{
    if (d.size() > 2 && d[1].t.is("as")) return computedColumn(d, added);
    const SqlType type = SqlType::fromDeclared(declaredType(d));
    const StoredConversion conversion = added ? StoredConversion{} : storedConversion(type);
    Vec r;
    r.push_back(d[0]);
    size_t k = 1;
    const bool isIdentity = sameName(d[0].t.text, identity);
    Vec last;
    columnType(r, last, d, k, isIdentity, autoincrement, keyName);
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
        if (isIdentity && n.t.is("constraint") && k + 3 < d.size() && d[k + 2].t.is("primary") && d[k + 3].t.is("key")) {
            k += 3;   // the key's name goes with the key, in the type
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
        if (n.t.is("default")) {
            defaultValue(r, d, k, conversion, added ? type : SqlType{});
            continue;
        }
        r.push_back(n);
    }
    r.insert(r.end(), last.begin(), last.end());
    return r;
}

// The table's identity column as declared; invalid is the server's error when its seed or
// increment is not a whole number (2752, 2753; an increment of 0 too).
struct DeclaredIdentity {
    QString column;   // empty: none
    qlonglong seed = 1;
    qlonglong increment = 1;
    long invalid = 0;
    bool autoincrement() const { return isAutoincrement(seed, increment); }
};

// identity(seed, increment) of the identity column: (1, 1) when not written.
DeclaredIdentity identitySeed(const std::vector<Vec>& defs, const QString& identity)
{
    DeclaredIdentity declared{identity};
    for (const Vec& d : defs) {
        if (d.empty() || !sameName(d[0].t.text, identity)) continue;
        for (size_t k = 1; k + 1 < d.size(); ++k) {
            if (!d[k].t.is("identity") || !d[k + 1].t.isSymbol("(")) continue;
            QString parts[2];
            int part = 0;
            for (size_t j = k + 2; j < d.size() && !d[j].t.isSymbol(")") && part < 2; ++j) {
                if (d[j].t.isSymbol(","))
                    ++part;
                else
                    parts[part] += d[j].t.text;
            }
            bool seedOk = false;
            bool incrementOk = false;
            declared.seed = parts[0].toLongLong(&seedOk);
            declared.increment = parts[1].toLongLong(&incrementOk);
            declared.invalid = !seedOk ? 2752 : (!incrementOk || declared.increment == 0) ? 2753 : 0;
            return declared;
        }
    }
    return declared;
}

// The columns as declared: name, type as written, whether an insert without a column list
// fills them.
std::vector<DeclaredColumn> declaredColumns(const std::vector<Vec>& defs, const QString& identity)
{
    std::vector<DeclaredColumn> columns;
    for (const Vec& d : defs) {
        if (d.size() < 2 || !d[0].t.isName() || isConstraintWord(d[0].t)) continue;
        DeclaredColumn c{d[0].t.text, declaredType(d), false};
        c.inserted = !c.type.isEmpty() && !sameName(c.name, identity);
        columns.push_back(std::move(c));
    }
    return columns;
}

// The columns of the table's primary key, declared on the column or as a table constraint.
QStringList primaryKeyColumns(const std::vector<Vec>& defs)
{
    QStringList columns;
    for (const Vec& d : defs) {
        for (size_t k = 0; k + 1 < d.size(); ++k) {
            if (!d[k].t.is("primary") || !d[k + 1].t.is("key")) continue;
            if (!isConstraintWord(d[0].t)) {
                columns << d[0].t.text;
                break;
            }
            size_t open = k + 2;
            while (open < d.size() && !d[open].t.isSymbol("(")) ++open;
            for (size_t j = open + 1; j < d.size() && !d[j].t.isSymbol(")"); ++j)
                if (d[j].t.isName() && (d[j - 1].t.isSymbol("(") || d[j - 1].t.isSymbol(","))) columns << d[j].t.text;
            break;
        }
    }
    return columns;
}

// A column of the primary key whose nullability is not written is NOT NULL, as on the server.
Vec keyNotNull(Vec d, const QStringList& key)
{
    if (d.empty() || isConstraintWord(d[0].t)) return d;
    bool inKey = false;
    for (const QString& c : key) inKey = inKey || sameName(c, d[0].t.text);
    if (!inKey) return d;
    for (const NT& n : d)
        if (n.t.is("null")) return d;
    d.push_back(word("not"));
    d.push_back(word("null"));
    return d;
}

// The identity column is SQLite's integer key, so a primary key of other columns beside it is
// kept as a unique key (named PK__T when unnamed) followed by kPrimaryKeyMark, which the
// server's messages read as the primary key it is.
Vec keyAsUnique(const Vec& r, const QString& table)
{
    Vec out;
    const bool named = !r.empty() && r[0].t.is("constraint");
    for (size_t k = 0; k < r.size(); ++k) {
        if (!(r[k].t.is("primary") && k + 1 < r.size() && r[k + 1].t.is("key"))) {
            out.push_back(r[k]);
            continue;
        }
        if (!named && !(k >= 2 && r[k - 2].t.is("constraint")))
            out.push_back(raw(QStringLiteral("CONSTRAINT ") + quoteName(QStringLiteral("PK__") + table)));
        out.push_back(word("UNIQUE"));
        size_t end = k + 2;
        if (end < r.size() && r[end].t.isSymbol("(")) {
            const size_t close = closeOf(r, end, r.size());
            for (; end <= close && end < r.size(); ++end) out.push_back(r[end]);
        }
        out.push_back(raw(QString::fromLatin1(kPrimaryKeyMark)));
        k = end - 1;
    }
    return out;
}

// create table T (…): identity columns, text collation, temp tables, server clauses. Anything
// after the parenthesis (on [PRIMARY], textimage_on …) is storage detail and goes. The table's
// columns become known to the rest of the batch through declareIn.
DeclaredIdentity rewriteDefinitions(Vec& v, TranslationContext* declareIn, bool counting)
{
    const NT name = v[2];
    if (!RewriteCursor(v, 3).atSymbol("(")) return {};
    const std::optional<std::vector<Vec>> defs = definitions(v, 3);
    if (!defs) return {};
    const QString identity = identityColumn(*defs);
    if (declareIn) {
        QString database = QStringLiteral("temp");
        if (!name.t.text.startsWith(u'#'))
            database = name.out.contains(u'.') ? name.out.section(u'.', 0, 0).remove(u'"') : QStringLiteral("main");
        declareIn->declareTable(database, name.t.text, declaredColumns(*defs, identity), name.t.pos);
    }
    const DeclaredIdentity declared = identitySeed(*defs, identity);
    const bool autoincrement = !counting || declared.autoincrement();
    Vec out(v.begin(), v.begin() + 2);
    if (name.t.text.startsWith(u'#')) out.insert(out.begin() + 1, word("temp"));
    out.push_back(name);
    out.push_back(symbol("("));
    bool first = true;
    const QStringList key = primaryKeyColumns(*defs);
    const bool keyBesideIdentity =
        !identity.isEmpty() && !key.isEmpty() && !(key.size() == 1 && sameName(key.front(), identity));
    const QString identityKey = identityKeyName(*defs, identity, name.t.text);
    for (const Vec& d : *defs) {
        if (d.empty()) continue;
        Vec r;
        if (isConstraintWord(d[0].t)) {
            if (restatesIdentityKey(d, identity)) continue;
            r = tableConstraint(d);
        } else {
            r = columnDefinition(keyNotNull(d, key), identity, false, autoincrement, identityKey);
        }
        if (keyBesideIdentity) r = keyAsUnique(r, name.t.text);
        if (!first) out.push_back(symbol(","));
        first = false;
        out.insert(out.end(), r.begin(), r.end());
    }
    out.push_back(symbol(")"));
    v = out;
    return declared;
}

// The SQLite schema of the table a create table names.
QString databaseOf(const NT& name)
{
    if (name.t.text.startsWith(u'#')) return QStringLiteral("temp");
    return name.out.contains(u'.') ? name.out.section(u'.', 0, 0).remove(u'"') : QStringLiteral("main");
}

// Whether the identity declared has a seed or increment the server cannot count with.
bool identityInvalid(const Vec& v)
{
    if (!RewriteCursor(v, 3).atSymbol("(")) return false;
    const std::optional<std::vector<Vec>> defs = definitions(v, 3);
    return defs && identitySeed(*defs, identityColumn(*defs)).invalid != 0;
}

}   // namespace

SqlStatement rewriteCreateTable(Vec v, TranslationContext* declareIn, QStringList* counting)
{
    const NT name = v.size() > 2 ? v[2] : NT{};
    const DeclaredIdentity identity = rewriteDefinitions(v, declareIn, counting && !identityInvalid(v));
    if (counting && !identity.column.isEmpty() && !identity.autoincrement() && !identity.invalid)
        *counting = countedIdentityStatements(databaseOf(name), name.t.text, identity.column, identity.seed, identity.increment);
    return finishedStatement(v);
}

Statement rewriteCreateTable(TranslationContext& ctx, Vec v, size_t at)
{
    const NT name = v[2];
    const DeclaredIdentity identity = rewriteDefinitions(v, &ctx, true);
    if (identity.invalid) {
        ctx.fail(QStringLiteral("Identity column '%1' contains invalid %2.")
                     .arg(identity.column, identity.invalid == 2752 ? QStringLiteral("SEED") : QStringLiteral("INCREMENT")),
            identity.invalid, at);
        return {};
    }
    SqlStatement create = finishedStatement(v);
    if (identity.column.isEmpty() || identity.autoincrement()) return {create};
    // Any other seed or increment: the server counts the identity (see IdentityColumns.h).
    BlockStatement block;
    block.body.push_back({create});
    for (const QString& sql :
        countedIdentityStatements(databaseOf(name), name.t.text, identity.column, identity.seed, identity.increment)) {
        SqlStatement s;
        s.sql = sql;
        block.body.push_back({s});
    }
    return {block};
}

}   // namespace orra::embedded::translator

namespace orra::embedded::translator {

namespace {

// alter table T [with check|nocheck] add constraint … | drop constraint N | [with check] check
// constraint …: the table made anew with the constraint changed (see ConstraintChange).
std::optional<Statement> constraintChanges(TranslationContext& ctx, const Vec& v, size_t at)
{
    RewriteCursor c(v, 3);
    const NT& name = v[2];
    ConstraintChange base;
    base.table = name.t.text;
    base.schema = name.t.text.startsWith(u'#') ? QStringLiteral("temp")
        : name.out.contains(u'.')             ? name.out.section(u'.', 0, 0).remove(u'"')
                                              : QStringLiteral("main");
    base.display = QStringLiteral("dbo.") + name.t.text;
    if (c.at("with") && c.atAny({"check", "nocheck"}, 1)) {
        base.check = c.at("check", 1);
        c.skip(2);
    }
    // check constraint …: the constraints are never disabled here, so enabling them changes nothing
    if (c.at("check") && c.at("constraint", 1)) return Statement{BlockStatement{}};
    if (c.at("nocheck") && c.at("constraint", 1)) {
        ctx.fail(QStringLiteral("The embedded server does not run 'alter table … nocheck constraint': its constraints "
                                "are always checked."),
            102, at);
        return Statement{};
    }
    const bool add = c.at("add") && c.peek(1) && isConstraintWord(*c.peek(1));
    const bool addDefault = c.at("add") && c.at("default", 1);
    const bool drop = c.at("drop") && c.at("constraint", 1);
    if (!add && !addDefault && !drop) return std::nullopt;
    BlockStatement block;
    size_t start = c.position() + (drop ? 2 : 1);
    if (drop && start < v.size() && v[start].t.is("if") && start + 1 < v.size() && v[start + 1].t.is("exists")) start += 2;
    for (size_t k = start; k <= v.size(); ++k) {
        if (k < v.size() && v[k].t.isSymbol("(")) {
            k = closeOf(v, k, v.size());
            continue;
        }
        if (k < v.size() && !v[k].t.isSymbol(",")) continue;
        Vec d(v.begin() + long(start), v.begin() + long(k));
        start = k + 1;
        if (d.empty()) continue;
        ConstraintChange change = base;
        change.add = !drop;
        if (drop) {
            if (d[0].t.is("constraint") && d.size() > 1) d.erase(d.begin());
            change.name = d[0].t.text;
            block.body.push_back({change});
            continue;
        }
        size_t body = 0;
        if (d[0].t.is("constraint") && d.size() > 2) {
            change.name = d[1].t.text;
            body = 2;
        }
        if (d[body].t.is("default")) {
            const size_t forAt = topLevel(d, body, {"for"});
            if (forAt + 1 >= d.size()) {
                ctx.fail(ctx.near(at), 102, at);
                return Statement{};
            }
            change.defaultColumn = d[forAt + 1].t.text;
            Vec def;
            if (!change.name.isEmpty()) def = {d[0], d[1]};
            def.push_back(word("default"));
            def.push_back(symbol("("));
            def.insert(def.end(), d.begin() + long(body) + 1, d.begin() + long(forAt));
            def.push_back(symbol(")"));
            change.definition = render(rewriteExpressions(def));
        } else {
            const Vec def = tableConstraint(d);
            change.definition = render(rewriteExpressions(def));
        }
        block.body.push_back({change});
    }
    if (block.body.size() == 1) return block.body.front();
    return Statement{block};
}

}   // namespace

// alter table T add column definitions | drop column names: one SQLite statement a column;
// constraints added or dropped by the table made anew.
Statement rewriteAlterTable(TranslationContext& ctx, Vec v, size_t at)
{
    if (std::optional<Statement> s = constraintChanges(ctx, v, at)) return std::move(*s);
    RewriteCursor c(v, 3);
    const bool add = c.at("add");
    const bool dropColumn = c.at("drop") && c.at("column", 1);
    if (!add && !dropColumn) return {finishedStatement(v)};
    const size_t from = dropColumn ? 5 : 4;
    BlockStatement block;
    size_t start = from;
    for (size_t k = from; k <= v.size(); ++k) {
        if (k < v.size() && v[k].t.isSymbol("(")) {
            k = closeOf(v, k, v.size());
            continue;
        }
        if (k < v.size() && !v[k].t.isSymbol(",")) continue;
        const Vec d(v.begin() + long(start), v.begin() + long(k));
        start = k + 1;
        if (d.empty()) continue;
        if (add && isConstraintWord(d[0].t)) {
            ctx.fail(QStringLiteral("The embedded server adds columns and constraints in separate 'alter table' "
                                    "statements."),
                102, at);
            return {};
        }
        if (add && std::any_of(d.begin(), d.end(), [](const NT& n) { return n.t.is("identity"); })) {
            // its rows would be left without values: the table is made anew with it instead
            ctx.fail(QStringLiteral("The embedded server does not add an identity column to a table that exists: make "
                                    "the table anew with it ('create table' with the column, then 'insert … select')."),
                102, at);
            return {};
        }
        Vec out{v[0], v[1], v[2], word(add ? "add" : "drop"), word("column")};
        if (add) {
            const Vec r = columnDefinition(d, QString(), true);
            out.insert(out.end(), r.begin(), r.end());
        } else {
            out.insert(out.end(), d.begin(), d.end());
        }
        block.body.push_back({finishedStatement(out)});
    }
    if (block.body.size() == 1) return block.body.front();
    return {block};
}

}   // namespace orra::embedded::translator
