#include "platform/db/embedded/ExactTyping.h"
#include "platform/db/embedded/SqliteHandles.h"

#include "platform/db/Decimal.h"
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"

#include <sqlite3.h>

#include <algorithm>

namespace orra::embedded {

namespace {

using Kind = SqlType::Kind;

SqlType of(Kind k) { return SqlType{k}; }

class Typer {
public:
    Typer(sqlite3* db, const QString& sql, const std::vector<Token>& tokens) : m_db(db), m_sql(sql), T(tokens) {}

    // The type of each item of the select list of the select in [b, e) (T[b] is "select"),
    // with stars reported as untyped items and counted in stars.
    std::vector<SqlType> selectItems(size_t b, size_t e, std::vector<bool>* stars = nullptr)
    {
        size_t i = b + 1;
        while (i < e && (T[i].is("distinct") || T[i].is("all"))) ++i;
        // the list ends at FROM (or where the statement goes on without one)
        const size_t from = topLevel(i, e, [](const Token& t) { return t.is("from"); });
        const size_t listEnd = from < e ? from : topLevel(i, e, [](const Token& t) {
            return t.is("where") || t.is("group") || t.is("order") || t.is("limit") || t.is("union") || t.is("except")
                || t.is("intersect");
        });
        QString tail;
        if (from < e) {
            const size_t stop = topLevel(from, e, [](const Token& t) {
                return t.is("union") || t.is("except") || t.is("intersect") || t.is("order") || t.is("limit");
            });
            const int endPos = stop < T.size() ? T[stop].pos : int(m_sql.size());
            tail = m_sql.mid(T[from].pos, endPos - T[from].pos);
        }
        std::vector<std::pair<size_t, size_t>> items;
        size_t start = i;
        int depth = 0;
        for (size_t k = i; k < listEnd; ++k) {
            if (T[k].isSymbol("("))
                ++depth;
            else if (T[k].isSymbol(")"))
                --depth;
            else if (depth == 0 && T[k].isSymbol(",")) {
                items.emplace_back(start, k);
                start = k + 1;
            }
        }
        if (start < listEnd) items.emplace_back(start, listEnd);

        // First pass: the column references; then their declared types through one probe, and
        // the types of the columns of derived tables ("from (select …) t"), which SQLite does
        // not declare.
        std::vector<bool> star(items.size());
        std::vector<QString> names(items.size());
        Typer collect(m_db, m_sql, T);
        collect.m_collecting = true;
        for (size_t k = 0; k < items.size(); ++k) {
            auto& [ib, ie] = items[k];
            star[k] = ie > ib && T[ie - 1].isSymbol("*") && (ie - ib == 1 || T[ie - 2].isSymbol("."));
            const size_t full = ie;
            ie = withoutAlias(ib, ie);
            if (full > ib && T[full - 1].isName()) names[k] = T[full - 1].text;
            if (!star[k]) collect.expression(ib, ie);
        }
        if (m_names) *m_names = names;
        if (!collect.m_refs.isEmpty() && !tail.isEmpty()) {
            m_refTypes = probe(collect.m_refs, tail);
            resolveDerived(collect.m_refParts, from, e);
        }
        m_nextRef = 0;
        std::vector<SqlType> types;
        for (size_t k = 0; k < items.size(); ++k) {
            if (stars) stars->push_back(star[k]);
            types.push_back(star[k] ? SqlType{} : expression(items[k].first, items[k].second));
        }
        return types;
    }

private:
    template <class Pred> size_t topLevel(size_t from, size_t to, Pred pred) const
    {
        int depth = 0;
        for (size_t k = from; k < to; ++k) {
            if (T[k].isSymbol("("))
                ++depth;
            else if (T[k].isSymbol(")"))
                --depth;
            else if (depth == 0 && pred(T[k]))
                return k;
        }
        return to;
    }

    size_t closeOf(size_t open, size_t e) const
    {
        int depth = 0;
        for (size_t k = open; k < e; ++k) {
            if (T[k].isSymbol("("))
                ++depth;
            else if (T[k].isSymbol(")") && --depth == 0)
                return k;
        }
        return e;
    }

    // The end of an item without its alias ("expr as name", "expr name").
    size_t withoutAlias(size_t b, size_t e) const
    {
        if (e - b >= 3 && T[e - 2].is("as") && T[e - 1].isName()) return e - 2;
        if (e - b >= 2 && T[e - 1].isName() && !isKeyword(T[e - 1])) {
            const Token& before = T[e - 2];
            const bool endsExpression = before.isSymbol(")") || before.kind == TokenKind::String
                || before.kind == TokenKind::Number || before.is("end")
                || (before.isName() && !before.is("case") && !before.is("else") && !before.is("then")
                    && !before.is("when") && !before.is("and") && !before.is("or") && !before.is("not")
                    && !before.is("distinct"));
            if (endsExpression) return e - 1;
        }
        return e;
    }

    // References that SQLite gives no declared type, when they name a column of a derived
    // table in [from, e): that column's type, found by typing the derived table's select.
    void resolveDerived(const std::vector<QStringList>& refParts, size_t from, size_t e)
    {
        struct Derived {
            QString alias;
            std::vector<QString> names;
            std::vector<SqlType> types;
        };
        if (std::none_of(
                m_refTypes.begin(), m_refTypes.end(), [](const SqlType& t) { return t.kind == Kind::Unknown; }))
            return;
        std::vector<Derived> derived;
        const size_t stop = topLevel(from, e, [](const Token& t) {
            return t.is("where") || t.is("group") || t.is("having") || t.is("union") || t.is("except")
                || t.is("intersect") || t.is("order") || t.is("limit");
        });
        for (size_t k = from + 1; k < stop; ++k) {
            if (!T[k].isSymbol("(") || k + 1 >= stop || !T[k + 1].is("select")) {
                if (T[k].isSymbol("(")) k = closeOf(k, stop);
                continue;
            }
            const size_t close = closeOf(k, stop);
            if (close >= stop) break;
            Derived d;
            size_t a = close + 1;
            if (a < stop && T[a].is("as")) ++a;
            if (a < stop && T[a].isName() && !isKeyword(T[a])) d.alias = T[a].text;
            Typer sub(m_db, m_sql, T);
            sub.m_names = &d.names;
            d.types = sub.selectItems(k + 1, close);
            derived.push_back(std::move(d));
            k = close;
        }
        if (derived.empty()) return;
        for (size_t r = 0; r < refParts.size() && r < m_refTypes.size(); ++r) {
            if (m_refTypes[r].kind != Kind::Unknown || refParts[r].isEmpty()) continue;
            const QString column = refParts[r].last();
            const QString table = refParts[r].size() > 1 ? refParts[r][refParts[r].size() - 2] : QString();
            for (const Derived& d : derived) {
                if (!table.isEmpty() && d.alias.compare(table, Qt::CaseInsensitive) != 0) continue;
                for (size_t n = 0; n < d.names.size() && n < d.types.size(); ++n)
                    if (d.names[n].compare(column, Qt::CaseInsensitive) == 0) m_refTypes[r] = d.types[n];
            }
        }
    }

    std::vector<SqlType> probe(const QStringList& refs, const QString& tail) const
    {
        std::vector<SqlType> out(size_t(refs.size()));
        const QByteArray text = (QStringLiteral("select ") + refs.join(QStringLiteral(", ")) + u' ' + tail).toUtf8();
        const PreparedStatement st(m_db, text.constData());
        if (st.ok() && st.get() && sqlite3_column_count(st) == int(refs.size())) {
            for (int i = 0; i < int(refs.size()); ++i) {
                const char* decl = sqlite3_column_decltype(st, i);
                if (decl) out[size_t(i)] = SqlType::fromDeclared(QString::fromUtf8(decl));
            }
        }
        return out;
    }

    static QString tokenText(const Token& t)
    {
        if (t.kind == TokenKind::QuotedName) return u'"' + QString(t.text).replace(u'"', QStringLiteral("\"\"")) + u'"';
        return t.text;
    }

    // The type of the expression [b, e); Unknown when it is not read whole.
    SqlType expression(size_t b, size_t e)
    {
        size_t i = b;
        SqlType t = additive(i, e);
        return i == e ? t : SqlType{};
    }

    SqlType additive(size_t& i, size_t e)
    {
        SqlType t = multiplicative(i, e);
        while (i < e && (T[i].isSymbol("+") || T[i].isSymbol("-"))) {
            const QString op = T[i++].text;
            t = arithmeticType(op.at(0), t, multiplicative(i, e));
        }
        return t;
    }

    SqlType multiplicative(size_t& i, size_t e)
    {
        SqlType t = unary(i, e);
        while (i < e && (T[i].isSymbol("*") || T[i].isSymbol("/") || T[i].isSymbol("%"))) {
            const QString op = T[i++].text;
            t = arithmeticType(op.at(0), t, unary(i, e));
        }
        return t;
    }

    SqlType unary(size_t& i, size_t e)
    {
        if (i < e && (T[i].isSymbol("-") || T[i].isSymbol("+"))) {
            ++i;
            return unary(i, e);
        }
        return primary(i, e);
    }

    SqlType primary(size_t& i, size_t e)
    {
        if (i >= e) return {};
        const Token& t = T[i];
        if (t.kind == TokenKind::Number) {
            ++i;
            return SqlType::ofNumber(t.text);
        }
        if (t.kind == TokenKind::String) {
            ++i;
            return of(Kind::Text);
        }
        if (t.isSymbol("(")) {
            const size_t c = closeOf(i, e);
            if (c >= e) return {};
            SqlType inner;
            if (i + 1 < c && T[i + 1].is("select")) {
                Typer sub(m_db, m_sql, T);
                const std::vector<SqlType> items = sub.selectItems(i + 1, c);
                inner = items.empty() ? SqlType{} : items.front();
            } else {
                inner = expression(i + 1, c);
            }
            i = c + 1;
            return inner;
        }
        if (t.is("null")) {
            ++i;
            return of(Kind::Null);
        }
        if (t.is("case")) return caseExpression(i, e);
        if (t.isName() && i + 1 < e && T[i + 1].isSymbol("(")) return call(i, e);
        if (t.isName() && !isKeyword(t)) {
            QString ref = tokenText(t);
            QStringList parts{t.text};
            ++i;
            while (i + 1 < e && T[i].isSymbol(".") && T[i + 1].isName()) {
                ref += u'.' + tokenText(T[i + 1]);
                parts << T[i + 1].text;
                i += 2;
            }
            if (m_collecting) {
                m_refs << ref;
                m_refParts.push_back(parts);
                return {};
            }
            return m_nextRef < m_refTypes.size() ? m_refTypes[m_nextRef++] : SqlType{};
        }
        return {};
    }

    static bool isKeyword(const Token& t)
    {
        if (t.kind != TokenKind::Word) return false;
        static const char* words[] = {"select", "from", "where", "and", "or", "not", "is", "in", "like", "between",
            "exists", "when", "then", "else", "end", "as", "distinct", "over"};
        for (const char* w : words)
            if (t.is(w)) return true;
        return false;
    }

    SqlType caseExpression(size_t& i, size_t e)
    {
        // case [operand] when … then r … [else r] end: the results decide
        size_t k = i + 1;
        int depth = 0, cases = 0;
        size_t resultStart = 0;
        bool inResult = false;
        SqlType type = of(Kind::Null);
        bool any = false;
        for (; k < e; ++k) {
            const Token& t = T[k];
            if (t.isSymbol("("))
                ++depth;
            else if (t.isSymbol(")"))
                --depth;
            if (depth != 0) continue;
            if (t.is("case")) {
                ++cases;
                continue;
            }
            if (cases > 0) {
                if (t.is("end")) --cases;
                continue;
            }
            if (t.is("when") || t.is("else") || t.is("end")) {
                if (inResult) {
                    type = commonType(type, expression(resultStart, k));
                    any = true;
                    inResult = false;
                }
                if (t.is("else")) {
                    inResult = true;
                    resultStart = k + 1;
                }
                if (t.is("end")) break;
            } else if (t.is("then")) {
                inResult = true;
                resultStart = k + 1;
            }
        }
        if (k >= e) return {};
        i = k + 1;
        return any ? type : SqlType{};
    }

    SqlType call(size_t& i, size_t e)
    {
        const QString name = T[i].text.toLower();
        const size_t open = i + 1;
        const size_t close = closeOf(open, e);
        if (close >= e) return {};
        i = close + 1;
        if (name == u"cast") {
            const size_t as = topLevel(open + 1, close, [](const Token& t) { return t.is("as"); });
            const SqlType inner = expression(open + 1, as);   // keeps the references in step
            (void)inner;
            if (as >= close) return {};
            QString declaration;
            for (size_t k = as + 1; k < close; ++k) declaration += T[k].text + u' ';
            return SqlType::fromDeclared(declaration);
        }
        std::vector<SqlType> args;
        size_t start = open + 1;
        int depth = 0;
        for (size_t k = open + 1; k <= close; ++k) {
            if (k == close || (depth == 0 && T[k].isSymbol(","))) {
                if (k > start) args.push_back(expression(start, k));
                start = k + 1;
                continue;
            }
            if (T[k].isSymbol("("))
                ++depth;
            else if (T[k].isSymbol(")"))
                --depth;
        }
        if (name == u"count") return of(Kind::Int);
        if (name == u"count_big") return of(Kind::BigInt);
        if (args.empty()) return {};
        const SqlType& a = args.front();
        if (name == u"ifnull") return a.kind == Kind::Null && args.size() > 1 ? args[1] : a;
        if (isTypedByArguments(name)) return typeByArguments(name, args);
        // exact a op b: orra_dec_op(operator's code, a, scale of a, b, scale of b, …)
        if (name == u"orra_dec_op" && args.size() == 8)
            return arithmeticType(QChar(T[open + 1].text.toInt()), args[1], args[3]);
        if (name == u"orra_add" && args.size() == 2) return arithmeticType(u'+', args[0], args[1]);
        // the divisor's own type: the wrapper only refuses a zero
        if (name == u"orra_divisor" && args.size() == 1) return a;
        if (name == u"total") return of(Kind::Float);
        return SqlType{};
    }

    sqlite3* m_db;
    const QString& m_sql;
    const std::vector<Token>& T;
    bool m_collecting = false;
    QStringList m_refs;
    std::vector<QStringList> m_refParts;   // each reference's names, for derived tables
    std::vector<SqlType> m_refTypes;
    std::vector<QString>* m_names = nullptr;   // where selectItems reports its items' names
    size_t m_nextRef = 0;
};

std::optional<ExactType> exactOf(const SqlType& t)
{
    switch (t.kind) {
    case Kind::Money:
        return ExactType{db::DataType::Currency, 19, 4};
    case Kind::SmallMoney:
        return ExactType{db::DataType::Currency, 10, 4};
    case Kind::Decimal:
        return ExactType{db::DataType::Numeric, t.precision, t.scale};
    default:
        return std::nullopt;
    }
}

}   // namespace

QString ExactType::declaration() const
{
    if (type == db::DataType::Currency) return precision == 10 ? QStringLiteral("smallmoney") : QStringLiteral("money");
    return QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale);
}

const ExactTypes* ExactTypeCache::find(const QString& sql) const
{
    const auto it = m_types.constFind(sql);
    return it == m_types.constEnd() ? nullptr : &it.value();
}

void ExactTypeCache::insert(const QString& sql, ExactTypes types)
{
    if (m_types.size() > 2000) m_types.clear();
    m_types.insert(sql, std::move(types));
}

namespace {

ExactTypes typesOf(sqlite3* db, sqlite3_stmt* select, const QString& sql)
{
    const int cols = sqlite3_column_count(select);
    ExactTypes out(size_t(std::max(cols, 0)));
    const LexResult lex = tokenize(sql);
    if (!lex.error.isEmpty() || lex.tokens.empty() || !lex.tokens.front().is("select")) return out;
    Typer typer(db, sql, lex.tokens);
    std::vector<bool> stars;
    const std::vector<SqlType> items = typer.selectItems(0, lex.tokens.size(), &stars);
    const long starCount = long(std::count(stars.begin(), stars.end(), true));
    if (starCount > 1 || (starCount == 0 && int(items.size()) != cols)) return out;
    // the column of each item: a star stands for every column the others leave
    const int starWidth = cols - int(items.size()) + 1;
    int c = 0;
    for (size_t k = 0; k < items.size() && c < cols; ++k) {
        if (stars[k]) {
            c += std::max(starWidth, 0);
            continue;
        }
        if (!sqlite3_column_decltype(select, c)) out[size_t(c)] = exactOf(items[k]);
        ++c;
    }
    return out;
}

}   // namespace

ExactTypes exactColumnTypes(sqlite3* db, sqlite3_stmt* select, ExactTypeCache* cache)
{
    const int cols = sqlite3_column_count(select);
    bool undeclared = false;
    for (int c = 0; c < cols; ++c) undeclared = undeclared || !sqlite3_column_decltype(select, c);
    if (!undeclared) return ExactTypes(size_t(std::max(cols, 0)));
    const QString sql = QString::fromUtf8(sqlite3_sql(select));
    if (cache) {
        if (const ExactTypes* known = cache->find(sql); known && known->size() == size_t(cols)) return *known;
    }
    ExactTypes types = typesOf(db, select, sql);
    if (cache) cache->insert(sql, types);
    return types;
}

namespace {

void applyType(db::ResultSet& rs, size_t c, const ExactType& t)
{
    const size_t cols = rs.fields.size();
    db::FieldInfo& f = rs.fields[c];
    f.type = t.type;
    f.definedSize = t.type == db::DataType::Currency ? 8 : 19;
    f.precision = t.precision;
    f.numericScale = t.scale;
    for (size_t i = c; i < rs.values.size(); i += cols) {
        QVariant& v = rs.values[i];
        // a value beyond a double's digits comes as the bytes of its decimal text
        if (v.typeId() == QMetaType::QByteArray) v = QString::fromLatin1(v.toByteArray());
        v = db::exactValue(v, t.scale);
    }
}

}   // namespace

void applyExactTypes(sqlite3* db, sqlite3_stmt* select, db::ResultSet& rs, ExactTypeCache* cache)
{
    const ExactTypes types = exactColumnTypes(db, select, cache);
    for (size_t c = 0; c < rs.fields.size() && c < types.size(); ++c)
        if (types[c]) applyType(rs, c, *types[c]);
}

std::optional<ExactType> exactTypeOf(const QString& declaration)
{
    return declaration.isEmpty() ? std::nullopt : exactOf(SqlType::fromDeclared(declaration));
}

bool applyTranslatedTypes(sqlite3_stmt* select, const QStringList& declarations, db::ResultSet& rs)
{
    const int cols = sqlite3_column_count(select);
    if (declarations.size() != cols || rs.fields.size() != size_t(cols)) return false;
    bool all = true;
    for (int c = 0; c < cols; ++c) {
        if (sqlite3_column_decltype(select, c)) continue;
        if (declarations[c].isEmpty()) {
            all = false;
            continue;
        }
        const SqlType t = SqlType::fromDeclared(declarations[c]);
        if (const std::optional<ExactType> exact = exactOf(t)) applyType(rs, size_t(c), *exact);
    }
    return all;
}

}   // namespace orra::embedded
