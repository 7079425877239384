#include "platform/db/embedded/ExactTyping.h"
#include "platform/db/embedded/SqliteHandles.h"

#include "platform/db/Decimal.h"
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/sqlite/SqliteSession.h"

#include <sqlite3.h>

#include <algorithm>

namespace orra::embedded {

namespace {

// The types that matter for exact results, in SQL Server's order of precedence (lowest first).
enum class Kind {
    Unknown,
    Other,
    Null,
    Text,
    Bit,
    TinyInt,
    SmallInt,
    Int,
    BigInt,
    SmallMoney,
    Money,
    Decimal,
    Real,
    Float
};

struct SqlType {
    Kind kind = Kind::Unknown;
    int p = 0;
    int s = 0;
};

bool isInteger(Kind k)
{
    return k == Kind::Bit || k == Kind::TinyInt || k == Kind::SmallInt || k == Kind::Int || k == Kind::BigInt;
}
bool isMoney(Kind k) { return k == Kind::Money || k == Kind::SmallMoney; }
bool isApprox(Kind k) { return k == Kind::Real || k == Kind::Float; }
bool isNumber(Kind k) { return isInteger(k) || isMoney(k) || k == Kind::Decimal || isApprox(k); }

SqlType decimal(int p, int s)
{
    // at most 38 digits: the whole part is kept, the scale gives way down to 6
    if (p > 38) {
        const int whole = p - s;
        s = std::max(38 - whole, std::min(s, 6));
        p = 38;
    }
    s = std::clamp(s, 0, 38);
    p = std::clamp(std::max(p, s), 1, 38);
    return {Kind::Decimal, p, s};
}

// Precision and scale of a type converted to decimal.
std::pair<int, int> digitsOf(const SqlType& t)
{
    switch (t.kind) {
    case Kind::Decimal:
        return {t.p, t.s};
    case Kind::Money:
        return {19, 4};
    case Kind::SmallMoney:
        return {10, 4};
    case Kind::BigInt:
        return {19, 0};
    case Kind::Int:
        return {10, 0};
    case Kind::SmallInt:
        return {5, 0};
    case Kind::TinyInt:
        return {3, 0};
    case Kind::Bit:
        return {1, 0};
    default:
        return {18, 0};
    }
}

SqlType fromDeclared(const QString& declaration)
{
    const db::sqlite::ColumnType t = db::sqlite::typeFromDeclared(declaration.toUtf8().constData());
    if (!t.known) return {Kind::Other};
    switch (t.type) {
    case db::DataType::Integer:
        return {Kind::Int};
    case db::DataType::SmallInt:
        return {Kind::SmallInt};
    case db::DataType::TinyInt:
        return {Kind::TinyInt};
    case db::DataType::BigInt:
        return {Kind::BigInt};
    case db::DataType::Boolean:
        return {Kind::Bit};
    case db::DataType::Double:
        return {Kind::Float};
    case db::DataType::Single:
        return {Kind::Real};
    case db::DataType::Currency:
        return {t.precision == 10 ? Kind::SmallMoney : Kind::Money, t.precision, 4};
    case db::DataType::Numeric:
        return decimal(t.precision, t.numericScale);
    default:
        return {db::isTextType(t.type) ? Kind::Text : Kind::Other};
    }
}

// The type of a + b, a - b, a * b, a / b, a % b.
SqlType arithmetic(const QString& op, const SqlType& a, const SqlType& b)
{
    if (a.kind == Kind::Null) return b;
    if (b.kind == Kind::Null) return a;
    if (a.kind == Kind::Unknown || b.kind == Kind::Unknown) return {Kind::Unknown};
    if (a.kind == Kind::Text && b.kind == Kind::Text) return {op == u"+" ? Kind::Text : Kind::Other};
    // text meets a number: converted to that number's type
    if (a.kind == Kind::Text) return isNumber(b.kind) ? b : SqlType{Kind::Other};
    if (b.kind == Kind::Text) return isNumber(a.kind) ? a : SqlType{Kind::Other};
    if (!isNumber(a.kind) || !isNumber(b.kind)) return {Kind::Other};
    if (isApprox(a.kind) || isApprox(b.kind)) return {Kind::Float};
    if (a.kind == Kind::Decimal || b.kind == Kind::Decimal) {
        const auto [p1, s1] = digitsOf(a);
        const auto [p2, s2] = digitsOf(b);
        if (op == u"*") return decimal(p1 + p2 + 1, s1 + s2);
        if (op == u"/") {
            const int s = std::max(6, s1 + p2 + 1);
            return decimal(p1 - s1 + s2 + s, s);
        }
        if (op == u"%") {
            const int s = std::max(s1, s2);
            return decimal(std::min(p1 - s1, p2 - s2) + s, s);
        }
        const int s = std::max(s1, s2);
        return decimal(std::max(p1 - s1, p2 - s2) + s + 1, s);
    }
    if (isMoney(a.kind) || isMoney(b.kind))
        return {a.kind == Kind::SmallMoney && b.kind == Kind::SmallMoney ? Kind::SmallMoney : Kind::Money};
    return a.kind >= b.kind ? a : b;
}

// The type of values that may come from either of two expressions (case, coalesce).
SqlType either(const SqlType& a, const SqlType& b)
{
    if (a.kind == Kind::Null) return b;
    if (b.kind == Kind::Null) return a;
    if (a.kind == Kind::Unknown || b.kind == Kind::Unknown) return {Kind::Unknown};
    if (a.kind == Kind::Decimal || b.kind == Kind::Decimal) {
        if (isApprox(a.kind) || isApprox(b.kind)) return {Kind::Float};
        if (!isNumber(a.kind) || !isNumber(b.kind)) return a.kind > b.kind ? a : b;
        const auto [p1, s1] = digitsOf(a);
        const auto [p2, s2] = digitsOf(b);
        const int s = std::max(s1, s2);
        return decimal(std::max(p1 - s1, p2 - s2) + s, s);
    }
    return a.kind >= b.kind ? a : b;
}

class Typer {
public:
    Typer(sqlite3* db, const QString& sql, const std::vector<Token>& tokens) : m_db(db), m_sql(sql), T(tokens) {}

    // The type of each item of the select list of the select in [b, e) (T[b] is "select"),
    // with stars reported as items of Kind::Other and counted in stars.
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
            types.push_back(star[k] ? SqlType{Kind::Other} : expression(items[k].first, items[k].second));
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
        std::vector<SqlType> out(size_t(refs.size()), SqlType{Kind::Unknown});
        const QByteArray text = (QStringLiteral("select ") + refs.join(QStringLiteral(", ")) + u' ' + tail).toUtf8();
        const PreparedStatement st(m_db, text.constData());
        if (st.ok() && st.get() && sqlite3_column_count(st) == int(refs.size())) {
            for (int i = 0; i < int(refs.size()); ++i) {
                const char* decl = sqlite3_column_decltype(st, i);
                if (decl) out[size_t(i)] = fromDeclared(QString::fromUtf8(decl));
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
        return i == e ? t : SqlType{Kind::Unknown};
    }

    SqlType additive(size_t& i, size_t e)
    {
        SqlType t = multiplicative(i, e);
        while (i < e && (T[i].isSymbol("+") || T[i].isSymbol("-"))) {
            const QString op = T[i++].text;
            t = arithmetic(op, t, multiplicative(i, e));
        }
        return t;
    }

    SqlType multiplicative(size_t& i, size_t e)
    {
        SqlType t = unary(i, e);
        while (i < e && (T[i].isSymbol("*") || T[i].isSymbol("/") || T[i].isSymbol("%"))) {
            const QString op = T[i++].text;
            t = arithmetic(op, t, unary(i, e));
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

    SqlType number(const QString& text) const
    {
        if (text.contains(u'x', Qt::CaseInsensitive)) return {Kind::Other};
        if (text.contains(u'e', Qt::CaseInsensitive)) return {Kind::Float};
        const qsizetype point = text.indexOf(u'.');
        if (point < 0) {
            bool ok = false;
            const qlonglong v = text.toLongLong(&ok);
            if (ok && v <= 2147483647) return {Kind::Int};
            QString digits = text;
            while (digits.size() > 1 && digits.startsWith(u'0')) digits.remove(0, 1);
            return decimal(int(digits.size()), 0);
        }
        QString whole = text.left(point);
        while (!whole.isEmpty() && whole.startsWith(u'0')) whole.remove(0, 1);
        const int s = int(text.size() - point - 1);
        return decimal(std::max(1, int(whole.size()) + s), s);
    }

    SqlType primary(size_t& i, size_t e)
    {
        if (i >= e) return {Kind::Unknown};
        const Token& t = T[i];
        if (t.kind == TokenKind::Number) {
            ++i;
            return number(t.text);
        }
        if (t.kind == TokenKind::String) {
            ++i;
            return {Kind::Text};
        }
        if (t.isSymbol("(")) {
            const size_t c = closeOf(i, e);
            if (c >= e) return {Kind::Unknown};
            SqlType inner;
            if (i + 1 < c && T[i + 1].is("select")) {
                Typer sub(m_db, m_sql, T);
                const std::vector<SqlType> items = sub.selectItems(i + 1, c);
                inner = items.empty() ? SqlType{Kind::Unknown} : items.front();
            } else {
                inner = expression(i + 1, c);
            }
            i = c + 1;
            return inner;
        }
        if (t.is("null")) {
            ++i;
            return {Kind::Null};
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
                return {Kind::Unknown};
            }
            return m_nextRef < m_refTypes.size() ? m_refTypes[m_nextRef++] : SqlType{Kind::Unknown};
        }
        return {Kind::Unknown};
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
        SqlType type{Kind::Null};
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
                    type = either(type, expression(resultStart, k));
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
        if (k >= e) return {Kind::Unknown};
        i = k + 1;
        return any ? type : SqlType{Kind::Unknown};
    }

    SqlType call(size_t& i, size_t e)
    {
        const QString name = T[i].text.toLower();
        const size_t open = i + 1;
        const size_t close = closeOf(open, e);
        if (close >= e) return {Kind::Unknown};
        i = close + 1;
        if (name == u"cast") {
            const size_t as = topLevel(open + 1, close, [](const Token& t) { return t.is("as"); });
            const SqlType inner = expression(open + 1, as);   // keeps the references in step
            (void)inner;
            if (as >= close) return {Kind::Unknown};
            QString declaration;
            for (size_t k = as + 1; k < close; ++k) declaration += T[k].text + u' ';
            return fromDeclared(declaration);
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
        if (name == u"count") return {Kind::Int};
        if (name == u"count_big") return {Kind::BigInt};
        if (args.empty()) return {Kind::Other};
        const SqlType& a = args.front();
        if (name == u"sum") {
            if (a.kind == Kind::Decimal) return decimal(38, a.s);
            if (isMoney(a.kind)) return {Kind::Money};
            return a.kind == Kind::Bit || a.kind == Kind::TinyInt || a.kind == Kind::SmallInt ? SqlType{Kind::Int} : a;
        }
        if (name == u"avg") {
            if (a.kind == Kind::Decimal) return decimal(38, std::max(a.s, 6));
            if (isMoney(a.kind)) return {Kind::Money};
            return a;
        }
        if (name == u"min" || name == u"max" || name == u"abs" || name == u"round" || name == u"nullif"
            || name == u"sign")
            return a;
        if (name == u"ceiling" || name == u"floor") return a.kind == Kind::Decimal ? decimal(a.p, 0) : a;
        if (name == u"isnull" || name == u"ifnull") return a.kind == Kind::Null && args.size() > 1 ? args[1] : a;
        if (name == u"coalesce") {
            SqlType t{Kind::Null};
            for (const SqlType& x : args) t = either(t, x);
            return t;
        }
        // exact a op b: orra_dec_op(operator's code, a, scale of a, b, scale of b, …)
        if (name == u"orra_dec_op" && args.size() == 8)
            return arithmetic(QString(QChar(T[open + 1].text.toInt())), args[1], args[3]);
        if (name == u"orra_add" && args.size() == 2) return arithmetic(QStringLiteral("+"), args[0], args[1]);
        // the divisor's own type: the wrapper only refuses a zero
        if (name == u"orra_divisor" && args.size() == 1) return a;
        if (name == u"total") return {Kind::Float};
        return {Kind::Other};
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
        return ExactType{db::DataType::Numeric, t.p, t.s};
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
    return declaration.isEmpty() ? std::nullopt : exactOf(fromDeclared(declaration));
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
        const SqlType t = fromDeclared(declarations[c]);
        if (const std::optional<ExactType> exact = exactOf(t)) applyType(rs, size_t(c), *exact);
    }
    return all;
}

}   // namespace orra::embedded
