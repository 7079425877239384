#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/translator/FunctionHeader.h"

#include "platform/db/embedded/translator/TranslationContext.h"

#include <algorithm>

namespace orra::embedded {

using Kind = SqlType::Kind;

bool SqlType::isInteger() const
{
    return kind == Kind::Bit || kind == Kind::TinyInt || kind == Kind::SmallInt || kind == Kind::Int
        || kind == Kind::BigInt;
}

std::pair<int, int> SqlType::digits() const
{
    switch (kind) {
    case Kind::Decimal:
        return {precision, scale};
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

SqlType SqlType::decimal(int p, int s)
{
    // At most 38 digits: the integral part is kept and the scale gives way, down to 6.
    if (p > 38) {
        const int whole = p - s;
        s = std::max(38 - whole, std::min(s, 6));
        p = 38;
    }
    s = std::clamp(s, 0, 38);
    SqlType t;
    t.kind = Kind::Decimal;
    t.precision = std::clamp(std::max(p, s), 1, 38);
    t.scale = s;
    return t;
}

SqlType SqlType::fromDeclared(const QString& declaration)
{
    const QString text = declaration.simplified().toLower();
    const qsizetype open = text.indexOf(u'(');
    const QString name = (open < 0 ? text : text.left(open)).trimmed().section(u' ', 0, 0);
    QStringList args;
    if (open >= 0) args = text.mid(open + 1).section(u')', 0, 0).split(u',');
    for (QString& a : args) a = a.trimmed();
    auto arg = [&](int i, int fallback) {
        bool ok = false;
        const int n = i < args.size() ? args[i].toInt(&ok) : 0;
        if (i < args.size() && args[i] == u"max") return -1;
        return ok ? n : fallback;
    };
    SqlType t;
    static const struct {
        const char* name;
        Kind kind;
    } names[] = {{"bit", Kind::Bit}, {"boolean", Kind::Bit}, {"tinyint", Kind::TinyInt},
        {"smallint", Kind::SmallInt}, {"int", Kind::Int}, {"integer", Kind::Int}, {"bigint", Kind::BigInt},
        {"smallmoney", Kind::SmallMoney}, {"money", Kind::Money}, {"decimal", Kind::Decimal},
        {"numeric", Kind::Decimal}, {"dec", Kind::Decimal}, {"real", Kind::Real}, {"float", Kind::Float},
        {"double", Kind::Float}, {"char", Kind::Text}, {"varchar", Kind::Text}, {"text", Kind::Text},
        {"nchar", Kind::NText}, {"nvarchar", Kind::NText}, {"ntext", Kind::NText}, {"sysname", Kind::NText},
        {"binary", Kind::Binary}, {"varbinary", Kind::Binary}, {"image", Kind::Binary},
        {"uniqueidentifier", Kind::Guid}, {"date", Kind::Date}, {"time", Kind::Time},
        {"smalldatetime", Kind::SmallDateTime}, {"datetime", Kind::DateTime}, {"datetime2", Kind::DateTime2},
        {"datetimeoffset", Kind::DateTimeOffset}};
    for (const auto& n : names)
        if (name == QLatin1String(n.name)) t.kind = n.kind;
    switch (t.kind) {
    case Kind::Decimal:
        return decimal(arg(0, 18), arg(1, 0));
    case Kind::Money:
    case Kind::SmallMoney:
        t.scale = 4;
        t.precision = t.kind == Kind::Money ? 19 : 10;
        return t;
    case Kind::Float:
        if (arg(0, 53) <= 24 && name == u"float") t.kind = Kind::Real;
        return t;
    case Kind::Text:
    case Kind::NText:
    case Kind::Binary:
        t.length = name == u"text" || name == u"ntext" || name == u"image" ? -1 : arg(0, 1);
        if (name == u"sysname") t.length = 128;
        return t;
    case Kind::Time:
    case Kind::DateTime2:
    case Kind::DateTimeOffset:
        t.scale = arg(0, 7);
        return t;
    default:
        return t;
    }
}

SqlType SqlType::ofNumber(const QString& literal)
{
    SqlType t;
    if (literal.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        t.kind = Kind::Binary;
        t.length = int(literal.size() - 1) / 2;
        return t;
    }
    if (literal.startsWith(u'$')) return fromDeclared(QStringLiteral("money"));   // $12.5
    if (literal.contains(u'e', Qt::CaseInsensitive)) {
        t.kind = Kind::Float;
        return t;
    }
    const qsizetype point = literal.indexOf(u'.');
    QString whole = point < 0 ? literal : literal.left(point);
    while (whole.size() > 1 && whole.startsWith(u'0')) whole.remove(0, 1);
    if (point < 0) {
        bool ok = false;
        const qlonglong v = whole.toLongLong(&ok);
        if (ok && v <= 2147483647) {
            t.kind = Kind::Int;
            return t;
        }
        return decimal(int(whole.size()), 0);
    }
    if (whole == u"0") whole.clear();
    const int s = int(literal.size() - point - 1);
    return decimal(std::max(1, int(whole.size()) + s), s);
}

QString SqlType::declaration() const
{
    auto sized = [&](const char* n) {
        return length < 0 ? QStringLiteral("%1(max)").arg(QLatin1String(n))
                          : QStringLiteral("%1(%2)").arg(QLatin1String(n)).arg(std::max(length, 1));
    };
    switch (kind) {
    case Kind::Unknown:
    case Kind::Null:
        return {};
    case Kind::Binary:
        return sized("varbinary");
    case Kind::Text:
        return sized("varchar");
    case Kind::NText:
        return sized("nvarchar");
    case Kind::Guid:
        return QStringLiteral("uniqueidentifier");
    case Kind::Bit:
        return QStringLiteral("bit");
    case Kind::TinyInt:
        return QStringLiteral("tinyint");
    case Kind::SmallInt:
        return QStringLiteral("smallint");
    case Kind::Int:
        return QStringLiteral("int");
    case Kind::BigInt:
        return QStringLiteral("bigint");
    case Kind::SmallMoney:
        return QStringLiteral("smallmoney");
    case Kind::Money:
        return QStringLiteral("money");
    case Kind::Decimal:
        return QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale);
    case Kind::Real:
        return QStringLiteral("real");
    case Kind::Float:
        return QStringLiteral("float");
    case Kind::Date:
        return QStringLiteral("date");
    case Kind::Time:
        return QStringLiteral("time(%1)").arg(scale);
    case Kind::SmallDateTime:
        return QStringLiteral("smalldatetime");
    case Kind::DateTime:
        return QStringLiteral("datetime");
    case Kind::DateTime2:
        return QStringLiteral("datetime2(%1)").arg(scale);
    case Kind::DateTimeOffset:
        return QStringLiteral("datetimeoffset(%1)").arg(scale);
    }
    return {};
}

SqlType arithmeticType(QChar op, const SqlType& a, const SqlType& b)
{
    if (a.kind == Kind::Null) return b;
    if (b.kind == Kind::Null) return a;
    if (a.kind == Kind::Unknown || b.kind == Kind::Unknown) return {};
    if (a.isString() && b.isString()) {
        if (op != u'+') return {};
        // a concatenation is as long as its parts together, up to 8,000 bytes
        SqlType t = commonType(a, b);
        if (a.length > 0 && b.length > 0) t.length = std::min(a.length + b.length, t.kind == Kind::NText ? 4000 : 8000);
        return t;
    }
    // text meets a number or a date: converted to its type
    if (a.isString()) return b.isNumber() || b.isDateOrTime() ? b : SqlType{};
    if (b.isString()) return a.isNumber() || a.isDateOrTime() ? a : SqlType{};
    if (!a.isNumber() || !b.isNumber()) return a.kind >= b.kind ? a : b;
    if (a.isApproximate() || b.isApproximate()) return {Kind::Float};
    if (a.kind == Kind::Decimal || b.kind == Kind::Decimal) {
        const auto [p1, s1] = a.digits();
        const auto [p2, s2] = b.digits();
        // Beyond 38 digits: multiplication and division keep up to 32 integral digits and at
        // least 6 of scale; addition and subtraction keep the whole integral part.
        auto product = [](int p, int s) {
            if (p <= 38) return SqlType::decimal(p, s);
            const int integral = p - s;
            if (integral < 32) return SqlType::decimal(38, std::min(s, 38 - integral));
            return SqlType::decimal(38, s < 6 ? s : 6);
        };
        if (op == u'*') return product(p1 + p2 + 1, s1 + s2);
        if (op == u'/') {
            const int s = std::max(6, s1 + p2 + 1);
            return product(p1 - s1 + s2 + s, s);
        }
        if (op == u'%') {
            const int s = std::max(s1, s2);
            return SqlType::decimal(std::min(p1 - s1, p2 - s2) + s, s);
        }
        const int s = std::max(s1, s2);
        const int integral = std::max(p1 - s1, p2 - s2);
        const int p = integral + s + 1;
        return p <= 38 ? SqlType::decimal(p, s) : SqlType::decimal(38, std::max(0, 38 - integral));
    }
    if (a.isMoney() || b.isMoney())
        return SqlType::fromDeclared(
            a.kind == Kind::SmallMoney && b.kind == Kind::SmallMoney ? QStringLiteral("smallmoney") : QStringLiteral("money"));
    return a.kind >= b.kind ? a : b;
}

bool isTypedByArguments(const QString& fn)
{
    static const QStringList names{QStringLiteral("sum"), QStringLiteral("avg"), QStringLiteral("min"),
        QStringLiteral("max"), QStringLiteral("abs"), QStringLiteral("round"), QStringLiteral("sign"),
        QStringLiteral("nullif"), QStringLiteral("ceiling"), QStringLiteral("floor"), QStringLiteral("power"),
        QStringLiteral("isnull"), QStringLiteral("coalesce"), QStringLiteral("iif"), QStringLiteral("first_value"),
        QStringLiteral("last_value"), QStringLiteral("lag"), QStringLiteral("lead")};
    return names.contains(fn);
}

SqlType typeByArguments(const QString& fn, const std::vector<SqlType>& args)
{
    auto arg = [&](size_t n) { return n < args.size() ? args[n] : SqlType{}; };
    auto of = [](Kind k) {
        return k == Kind::Money ? SqlType::fromDeclared(QStringLiteral("money")) : SqlType{k};
    };
    const SqlType a = arg(0);
    if (fn == u"sum" || fn == u"avg") {
        if (a.kind == Kind::Decimal) return SqlType::decimal(38, fn == u"avg" ? std::max(a.scale, 6) : a.scale);
        if (a.isMoney()) return of(Kind::Money);
        if (a.kind == Kind::BigInt) return a;
        if (a.isInteger()) return of(Kind::Int);
        if (a.isApproximate()) return of(Kind::Float);
        return {};
    }
    if ((fn == u"round" || fn == u"abs") && (a.kind == Kind::TinyInt || a.kind == Kind::SmallInt)) return of(Kind::Int);
    if (fn == u"abs" && a.kind == Kind::Decimal) return SqlType::decimal(38, a.scale);
    if (fn == u"abs" && a.kind == Kind::Bit) return of(Kind::Float);
    if ((fn == u"round" || fn == u"abs") && a.isMoney()) return of(Kind::Money);
    if (fn == u"min" || fn == u"max" || fn == u"abs" || fn == u"round" || fn == u"sign" || fn == u"nullif"
        || fn == u"first_value" || fn == u"last_value" || fn == u"lag" || fn == u"lead")
        return a;
    if (fn == u"ceiling" || fn == u"floor") return a.kind == Kind::Decimal ? SqlType::decimal(a.precision, 0) : a;
    if (fn == u"power") {
        if (a.kind == Kind::Decimal) return SqlType::decimal(38, a.scale);
        if (a.kind == Kind::TinyInt || a.kind == Kind::SmallInt) return of(Kind::Int);
        if (a.isMoney()) return of(Kind::Money);
        return a.isNumber() || a.kind == Kind::Unknown || a.kind == Kind::Null ? a : of(Kind::Float);
    }
    if (fn == u"isnull") return a.kind == Kind::Null ? arg(1) : a;
    if (fn == u"coalesce") {
        SqlType t = of(Kind::Null);
        for (const SqlType& x : args) t = commonType(t, x);
        return t;
    }
    if (fn == u"iif") return commonType(arg(1), arg(2));
    return {};
}

SqlType commonType(const SqlType& a, const SqlType& b)
{
    if (a.kind == Kind::Null || a.kind == Kind::Unknown) return b.kind == Kind::Null ? a : (a.kind == Kind::Null ? b : a);
    if (b.kind == Kind::Null) return a;
    if (b.kind == Kind::Unknown) return b;
    if (a.kind == Kind::Decimal || b.kind == Kind::Decimal) {
        if (a.isApproximate() || b.isApproximate()) return {Kind::Float};
        if (!a.isNumber() || !b.isNumber()) return a.kind > b.kind ? a : b;
        // The precision of a union: beyond 38 digits the scale gives way to the integral part.
        const auto [p1, s1] = a.digits();
        const auto [p2, s2] = b.digits();
        const int integral = std::max(p1 - s1, p2 - s2);
        const int s = std::min(std::max(s1, s2), std::max(0, 38 - integral));
        return SqlType::decimal(integral + s, s);
    }
    if ((a.kind == b.kind && a.kind == Kind::Binary) || (a.isString() && b.isString())) {
        // texts: the longer length, Unicode when either is
        SqlType t = a.kind >= b.kind ? a : b;
        t.length = a.length < 0 || b.length < 0 ? -1 : std::max(a.length, b.length);
        return t;
    }
    return a.kind >= b.kind ? a : b;
}

namespace translator {

namespace {

bool isClauseWord(const Token& t)
{
    return isOneOf(t, {"where", "group", "having", "order", "union", "except", "intersect", "option", "for"});
}

// A word that begins another statement (and so ends an expression's statement).
bool beginsStatement(const Token& t) { return isStatementWord(t) && !isOneOf(t, {"select", "end", "else"}); }

bool isJoinWord(const Token& t) { return isOneOf(t, {"join", "inner", "left", "right", "full", "cross", "outer"}); }

SqlType of(Kind k)
{
    SqlType t;
    t.kind = k;
    if (t.isMoney()) {
        t.precision = k == Kind::Money ? 19 : 10;
        t.scale = 4;
    }
    return t;
}

}   // namespace

struct ExpressionTyper::Source {
    QString alias;                                   // alias or bare table name
    QString database, table;                         // a table of a database
    std::vector<std::pair<QString, SqlType>> items;  // a derived table's columns
    bool derived = false;
    // pivot and unpivot: the table source they read, whose columns the tokens of their clause
    // [clauseBegin, clauseEnd) name
    std::vector<Source> input;
    size_t clauseBegin = 0, clauseEnd = 0;
};

ExpressionTyper::ExpressionTyper(const TranslationContext& ctx) : m_ctx(ctx), T(ctx.tokens()) {}

SqlType ExpressionTyper::typeOf(size_t b, size_t e) const
{
    if (b >= e || e > T.size()) return {};
    return expression(b, e);
}

// Additive and multiplicative operators at the top level, from the left.
SqlType ExpressionTyper::expression(size_t b, size_t e) const
{
    // The last top-level binary operator of the lowest precedence splits the expression.
    size_t split = e;
    int splitRank = 3;
    int depth = 0;
    for (size_t k = b; k < e; ++k) {
        const Token& t = T[k];
        if (t.isSymbol("(")) {
            ++depth;
            continue;
        }
        if (t.isSymbol(")")) {
            --depth;
            continue;
        }
        if (t.is("case") && depth == 0) {
            k = m_ctx.groupEnd(k, e);
            continue;
        }
        if (depth != 0 || t.kind != TokenKind::Symbol || k == b) continue;
        const Token& before = T[k - 1];
        const bool afterOperand = before.kind != TokenKind::Symbol || before.isSymbol(")");
        if (!afterOperand || (before.kind == TokenKind::Word && isExpressionBoundary(before) && !before.is("end")
                                 && !before.is("null")))
            continue;
        int rank = 0;
        if (t.text == u"+" || t.text == u"-" || t.text == u"&" || t.text == u"|" || t.text == u"^")
            rank = 1;
        else if (t.text == u"*" || t.text == u"/" || t.text == u"%")
            rank = 2;
        if (rank > 0 && rank <= splitRank) {
            split = k;
            splitRank = rank;
        }
    }
    if (split < e) {
        SqlType left = expression(b, split);
        SqlType right = expression(split + 1, e);
        // An integer constant meets a decimal with the precision of its own digits.
        auto constant = [&](size_t x, size_t y, SqlType& t, const SqlType& other) {
            if (y != x + 1 || T[x].kind != TokenKind::Number || t.kind != Kind::Int || other.kind != Kind::Decimal)
                return;
            QString digits = T[x].text;
            while (digits.size() > 1 && digits.startsWith(u'0')) digits.remove(0, 1);
            t = SqlType::decimal(int(digits.size()), 0);
        };
        constant(b, split, left, right);
        constant(split + 1, e, right, left);
        const QChar op = T[split].text.front();
        if (op == u'&' || op == u'|' || op == u'^') return left.kind >= right.kind ? left : right;
        return arithmeticType(op, left, right);
    }
    if (T[b].isSymbol("-") || T[b].isSymbol("+") || T[b].isSymbol("~")) return expression(b + 1, e);
    return primary(b, e);
}

SqlType ExpressionTyper::primary(size_t b, size_t e) const
{
    const Token& t = T[b];
    if (e == b + 2 && t.isSymbol("$") && T[b + 1].is("action") && m_ctx.outputScopeAt(b)) {
        SqlType action = of(Kind::NText);   // an output clause's $action
        action.length = 10;
        return action;
    }
    if (t.isSymbol("(")) {
        const size_t close = m_ctx.matching(b, e);
        size_t shapedEnd = e;
        if (const QString shaped = shapedValueType(T, b, close, shapedEnd); !shaped.isEmpty() && shapedEnd == e)
            return SqlType::fromDeclared(shaped);
        if (close != e - 1) return {};
        if (b + 1 < close && T[b + 1].is("select")) {
            const auto items = selectItems(b + 1);
            return items.empty() ? SqlType{} : items.front().second;
        }
        return expression(b + 1, close);
    }
    if (t.is("case")) return m_ctx.groupEnd(b, e) == e - 1 ? caseType(b, e) : SqlType{};
    if (e == b + 4 && m_ctx.isOdbcDateEscape(b, e)) return of(Kind::DateTime);
    if (e == b + 1) {
        if (t.kind == TokenKind::Number) return SqlType::ofNumber(t.text);
        if (t.kind == TokenKind::String) {
            // N'…' is nvarchar, '…' varchar
            SqlType s = of(t.national ? Kind::NText : Kind::Text);
            s.length = std::max<int>(1, int(t.text.size()) - 2);
            return s;
        }
        if (t.is("null")) return of(Kind::Null);
        if (t.is("current_timestamp")) return of(Kind::DateTime);
    }
    if (const SqlType f = userFunctionType(b, e); f.kind != Kind::Unknown) return f;
    if (t.kind == TokenKind::Word && b + 1 < e && T[b + 1].isSymbol("(")) {
        const size_t close = m_ctx.matching(b + 1, e);
        // name( … ) [within group ( … )] [over ( … )]
        size_t end = close + 1;
        if (end + 2 < e && T[end].is("within") && T[end + 1].is("group") && T[end + 2].isSymbol("("))
            end = m_ctx.matching(end + 2, e) + 1;
        if (end < e && T[end].is("over") && end + 1 < e && T[end + 1].isSymbol("("))
            end = m_ctx.matching(end + 1, e) + 1;
        return end == e ? call(b, close) : SqlType{};
    }
    return column(b, e);
}

// schema.f(…): a user-defined scalar function's declared return type.
SqlType ExpressionTyper::userFunctionType(size_t b, size_t e) const
{
    if (!m_ctx.schema() || !T[b].isName()) return {};
    const ObjectName name = readObjectName(T, b, e);
    if (name.parts < 2 || name.end >= e || !T[name.end].isSymbol("(") || m_ctx.matching(name.end, e) != e - 1) return {};
    QString type;
    const QString definition = m_ctx.schema()->moduleDefinition(QStringLiteral("main"), name.schema, name.object, type);
    if (type != u"FN") return {};
    const LexResult lex = tokenize(definition);
    const FunctionHeader h = readFunctionHeader(lex.tokens, 0);
    if (!h.ok()) return {};
    QString declared;
    for (size_t k = h.returnBegin; k < h.returnEnd; ++k) declared += lex.tokens[k].text;
    return SqlType::fromDeclared(declared);
}

SqlType ExpressionTyper::caseType(size_t b, size_t e) const
{
    SqlType type = of(Kind::Null);
    bool any = false;
    int depth = 0, cases = 0;
    size_t from = 0;
    for (size_t k = b + 1; k < e; ++k) {
        if (T[k].isSymbol("("))
            ++depth;
        else if (T[k].isSymbol(")"))
            --depth;
        if (depth != 0) continue;
        if (T[k].is("case")) {
            ++cases;
            continue;
        }
        if (T[k].is("end") && cases > 0) {
            --cases;
            continue;
        }
        if (cases != 0) continue;
        if (from != 0 && (T[k].is("when") || T[k].is("else") || T[k].is("end"))) {
            type = commonType(type, expression(from, k));
            any = true;
            from = 0;
        }
        if (T[k].is("then") || T[k].is("else")) from = k + 1;
    }
    return any ? type : SqlType{};
}

SqlType ExpressionTyper::callType(size_t i) const
{
    if (i + 1 >= T.size() || !T[i + 1].isSymbol("(")) return {};
    const size_t close = m_ctx.matching(i + 1, T.size());
    return close < T.size() ? call(i, close) : SqlType{};
}

SqlType ExpressionTyper::call(size_t i, size_t close) const
{
    const QString fn = T[i].text.toLower();
    const size_t b = i + 2;
    std::vector<std::pair<size_t, size_t>> args;
    if (b < close) args = m_ctx.splitTop(b, close, [&](size_t k) { return T[k].isSymbol(","); });
    auto arg = [&](size_t n) -> SqlType {
        if (n >= args.size() || args[n].first >= args[n].second) return {};
        size_t x = args[n].first;
        if (T[x].is("distinct") || T[x].is("all")) ++x;
        return typeOf(x, args[n].second);
    };
    auto tokensType = [&](size_t x, size_t y) {
        QString text;
        for (size_t k = x; k < y; ++k) text += T[k].text + (T[k].isSymbol("(") || T[k].isSymbol(",") ? "" : " ");
        SqlType t = SqlType::fromDeclared(text);
        // varchar without a length in a conversion is varchar(30)
        if ((t.isString() || t.kind == Kind::Binary) && y == x + 1 && t.length == 1) t.length = 30;
        return t;
    };
    if (fn == u"cast") {
        const size_t as = m_ctx.firstAtTopLevel(b, close, [](const Token& tok) { return tok.is("as"); });
        return as < close ? tokensType(as + 1, close) : SqlType{};
    }
    if (fn == u"convert" || fn == u"try_convert") return args.empty() ? SqlType{} : tokensType(args[0].first, args[0].second);
    if (fn == u"count" || fn == u"grouping_id") return of(Kind::Int);
    if (fn == u"grouping") return of(Kind::TinyInt);
    if (fn == u"count_big") return of(Kind::BigInt);
    if (fn == u"getdate" || fn == u"getutcdate") return of(Kind::DateTime);
    if (fn == u"newid" || fn == u"newsequentialid") return of(Kind::Guid);
    if (fn == u"sysdatetime") return SqlType::fromDeclared(QStringLiteral("datetime2(7)"));
    if (fn == u"percentile_cont") return of(Kind::Float);
    if (fn == u"percentile_disc") {
        // the type of the key of WITHIN GROUP (ORDER BY key [ASC|DESC])
        if (close + 5 >= T.size() || !T[close + 1].is("within") || !T[close + 3].isSymbol("(")) return {};
        size_t keyEnd = m_ctx.matching(close + 3, T.size());
        if (keyEnd >= T.size()) return {};
        if (T[keyEnd - 1].is("asc") || T[keyEnd - 1].is("desc")) --keyEnd;
        return typeOf(close + 6, keyEnd);
    }
    if (fn == u"schema_name" || fn == u"col_name") return SqlType::fromDeclared(QStringLiteral("nvarchar(128)"));
    if (fn == u"col_length") return of(Kind::SmallInt);
    if (fn == u"schema_id") return of(Kind::Int);
    if (fn == u"json_value") return SqlType::fromDeclared(QStringLiteral("nvarchar(4000)"));
    if (fn == u"json_query") return SqlType::fromDeclared(QStringLiteral("nvarchar(max)"));
    if (const dates::FunctionName* f = dates::functionNamed(fn); f && f->result)
        return SqlType::fromDeclared(QString::fromLatin1(f->result));
    if (fn == u"len" || fn == u"datalength" || fn == u"charindex" || fn == u"patindex" || fn == u"datediff"
        || fn == u"datepart" || fn == u"year" || fn == u"month" || fn == u"day" || fn == u"ascii"
        || fn == u"unicode")
        return of(Kind::Int);
    if (isTypedByArguments(fn)) {
        std::vector<SqlType> types;
        for (size_t n = 0; n < args.size(); ++n) types.push_back(arg(n));
        return typeByArguments(fn, types);
    }
    const SqlType a = arg(0);
    if (fn == u"choose" || fn == u"greatest" || fn == u"least") {
        SqlType t = of(Kind::Null);
        for (size_t n = fn == u"choose" ? 1 : 0; n < args.size(); ++n) t = commonType(t, arg(n));
        return t;
    }
    if (fn == u"dateadd") {
        const SqlType d = arg(2);
        return d.isString() ? of(Kind::DateTime) : d;
    }
    if (fn == u"datetrunc") {
        const SqlType d = arg(1);
        return d.isString() ? SqlType::fromDeclared(QStringLiteral("datetime2(7)")) : d;
    }
    if (fn == u"switchoffset" || fn == u"todatetimeoffset") {
        SqlType d = a.isDateOrTime() && a.kind != Kind::Date ? a : SqlType::fromDeclared(QStringLiteral("datetime2(7)"));
        if (d.kind == Kind::DateTime) d.scale = 3;
        d.kind = Kind::DateTimeOffset;
        return d;
    }
    if (fn == u"upper" || fn == u"lower" || fn == u"ltrim" || fn == u"rtrim" || fn == u"trim" || fn == u"left"
        || fn == u"right" || fn == u"substring" || fn == u"replace" || fn == u"reverse" || fn == u"stuff"
        || fn == u"replicate")
        return a.isString() ? a : SqlType{};
    if (fn == u"degrees" || fn == u"radians") return a.isInteger() && a.kind != Kind::Bit ? a : of(Kind::Float);
    if (fn == u"sqrt" || fn == u"exp" || fn == u"log" || fn == u"log10" || fn == u"sin" || fn == u"cos"
        || fn == u"tan" || fn == u"atan" || fn == u"rand" || fn == u"pi" || fn == u"square" || fn == u"atn2"
        || fn == u"cot" || fn == u"asin" || fn == u"acos")
        return of(Kind::Float);
    return {};
}

// A column named by the tokens [b, e): name, alias.name or longer.
SqlType ExpressionTyper::column(size_t b, size_t e) const
{
    if ((e - b) % 2 == 0 || m_columnDepth > 32) return {};
    struct Depth {
        int& n;
        explicit Depth(int& d) : n(++d) {}
        ~Depth() { --n; }
    } depth(m_columnDepth);
    for (size_t k = b; k < e; ++k) {
        const bool name = (k - b) % 2 == 0;
        if (name ? !T[k].isName() || (T[k].kind == TokenKind::Word && isExpressionBoundary(T[k]))
                 : !T[k].isSymbol("."))
            return {};
    }
    if (T[b].text.startsWith(u'@')) {
        // a variable: its declared type
        const Variable* v = e == b + 1 ? m_ctx.variable(T[b].text) : nullptr;
        if (!v || v->typeBegin >= v->typeEnd) return {};
        QString declared;
        for (size_t k = v->typeBegin; k < v->typeEnd; ++k) declared += T[k].text;
        return SqlType::fromDeclared(declared);
    }
    const QString name = T[e - 1].text;
    const QString qualifier = e - b >= 3 ? T[e - 3].text : QString();
    // an output clause's inserted.c and deleted.c: the changed table's column
    if (const auto* output = m_ctx.outputScopeAt(b);
        output && m_ctx.schema() && e - b == 3 && isOneOf(T[b], {"inserted", "deleted"})) {
        const Schema* schema = m_ctx.schema();
        SqlType t = SqlType::fromDeclared(schema->columnType(output->database, output->table, name));
        if (t.isString()) t.collation = schema->columnCollation(output->database, output->table, name);
        return t;
    }
    for (size_t s = enclosingSelect(b, 0); s < T.size(); s = s > 0 ? enclosingSelect(s - 1, 0) : T.size()) {
        for (const Source& pivoted : sourcesOf(s)) {
            // a column that a pivot's or unpivot's clause names is one of the table it reads
            const bool inClause = !pivoted.input.empty() && b >= pivoted.clauseBegin && b < pivoted.clauseEnd;
            const Source& src = inClause ? pivoted.input.front() : pivoted;
            if (!qualifier.isEmpty() && src.alias.compare(qualifier, Qt::CaseInsensitive) != 0) continue;
            if (src.derived) {
                for (const auto& [n, t] : src.items)
                    if (n.compare(name, Qt::CaseInsensitive) == 0) return t;
                continue;
            }
            if (!m_ctx.schema()) return {};
            const SqlType t = tableColumn(src, name);
            if (t.kind != Kind::Unknown) return t;
        }
    }
    return {};
}

SqlType ExpressionTyper::tableColumn(const Source& src, const QString& name) const
{
    const Schema* schema = m_ctx.schema();
    const QString declared = schema ? schema->columnType(src.database, src.table, name) : QString();
    if (declared.isEmpty()) return {};
    SqlType t = SqlType::fromDeclared(declared);
    if (t.isString()) t.collation = schema->columnCollation(src.database, src.table, name);
    return t;
}

// Every column of the source, in order (Unknown those that cannot be typed).
std::vector<std::pair<QString, SqlType>> ExpressionTyper::columnsOf(const Source& src) const
{
    if (src.derived) return src.items;
    std::vector<std::pair<QString, SqlType>> items;
    if (!m_ctx.schema()) return items;
    for (const QString& c : m_ctx.schema()->columns(src.database, src.table)) {
        items.emplace_back(c, tableColumn(src, c));
    }
    return items;
}

// The select whose clauses hold token i: the nearest "select" before i at the same level of
// parentheses or an outer one; T.size() when there is none.
size_t ExpressionTyper::enclosingSelect(size_t i, size_t floor) const
{
    int depth = 0;
    for (size_t k = i + 1; k-- > floor;) {
        if (T[k].isSymbol(")"))
            ++depth;
        else if (T[k].isSymbol("(")) {
            if (depth > 0) --depth;
        } else if (depth == 0 && T[k].is("select")) {
            return k;
        } else if (depth == 0 && (T[k].is("update") || T[k].is("delete"))) {
            // the update's or delete's own clauses resolve against its tables
            return k;
        } else if (depth == 0 && k < i && beginsStatement(T[k]) && !setOfUpdate(k)) {
            return T.size();
        }
    }
    return T.size();
}

// The "set" at k is the one of an update: update target [alias] [with (hints)] set …
bool ExpressionTyper::setOfUpdate(size_t k) const
{
    if (!T[k].is("set")) return false;
    int depth = 0;
    for (size_t j = k; j-- > 0 && k - j <= 16;) {
        if (T[j].isSymbol(")")) ++depth;
        if (T[j].isSymbol("(")) --depth;
        if (depth != 0) continue;
        if (T[j].is("update")) return true;
        if (T[j].isSymbol(";") || (T[j].kind == TokenKind::Word && isStatementWord(T[j]))) return false;
    }
    return false;
}

// The end of the select (or update, delete) at s: the parenthesis that closes around it or
// the statement's end.
size_t ExpressionTyper::selectEnd(size_t s) const
{
    int depth = 0;
    for (size_t k = s + 1; k < T.size(); ++k) {
        if (T[k].isSymbol("("))
            ++depth;
        else if (T[k].isSymbol(")")) {
            if (--depth < 0) return k;
        } else if (depth == 0 && (T[k].isSymbol(";") || (beginsStatement(T[k]) && !setOfUpdate(k))))
            return k;
        else if (depth == 0 && T[k].is("select") && !T[k - 1].is("union") && !T[k - 1].is("all")
            && !T[k - 1].is("except") && !T[k - 1].is("intersect"))
            return k;
    }
    return T.size();
}

std::vector<ExpressionTyper::Source> ExpressionTyper::sourcesOf(size_t select) const
{
    const size_t end = selectEnd(select);
    const bool update = T[select].is("update"), remove = T[select].is("delete");
    // delete [from] target …: the target is no from clause of its own
    const size_t after = remove && select + 1 < end && T[select + 1].is("from") ? select + 2 : select + 1;
    const size_t from = m_ctx.firstAtTopLevel(after, end, [](const Token& t) {
        return t.is("from") || isOneOf(t, {"union", "except", "intersect"});
    });
    if ((update || remove) && (from >= end || !T[from].is("from"))) {
        // update target set … / delete [from] target where …: the target alone
        const size_t stop = m_ctx.firstAtTopLevel(after, end, [](const Token& t) {
            return t.is("set") || t.is("where") || t.is("with") || t.is("output") || t.is("option");
        });
        return sourcesIn(after - 1, stop);
    }
    if (from >= end || !T[from].is("from")) return {};
    return sourcesIn(from, m_ctx.firstAtTopLevel(from + 1, end, [](const Token& t) { return isClauseWord(t); }));
}

// The tables and derived tables named by the tokens (from, stop) of a from clause.
// A name in a from clause that names a common table expression of the statement before it
// (with name [(columns)] as (select …)): its columns are those of its select.
void ExpressionTyper::commonTableExpression(Source& src, size_t from) const
{
    for (size_t j = from; j-- > 1;) {
        if (!T[j].isName() || !sameName(T[j].text, src.table) || !(T[j - 1].is("with") || T[j - 1].isSymbol(",")))
            continue;
        size_t a = j + 1;
        QStringList columns;
        if (a < from && T[a].isSymbol("(")) {
            const size_t close = m_ctx.matching(a, from);
            for (size_t c = a + 1; c < close; ++c)
                if (T[c].isName()) columns << T[c].text;
            a = close + 1;
        }
        if (a + 2 >= from || !T[a].is("as") || !T[a + 1].isSymbol("(") || !T[a + 2].is("select")) continue;
        src.derived = true;
        src.items = selectItems(a + 2);
        for (qsizetype c = 0; c < columns.size() && size_t(c) < src.items.size(); ++c) src.items[size_t(c)].first = columns[c];
        return;
    }
}

std::vector<ExpressionTyper::Source> ExpressionTyper::sourcesIn(size_t from, size_t stop) const
{
    std::vector<Source> out;
    size_t k = from + 1;
    while (k < stop) {
        Source src;
        if (T[k].isSymbol("(")) {
            const size_t close = m_ctx.matching(k, stop);
            if (close >= stop) break;
            if (k + 1 < close && T[k + 1].is("select")) {
                src.derived = true;
                src.items = selectItems(k + 1);
            } else if (k + 1 < close && T[k + 1].is("values")) {
                src.derived = true;
                for (const SqlType& t : valuesTypes(k + 1)) src.items.emplace_back(QString(), t);
            }
            k = close + 1;
        } else if (T[k].isName()) {
            // [database.[schema].]table, database..table, #table
            std::vector<QString> parts{T[k].text};
            ++k;
            while (k + 1 < stop && T[k].isSymbol(".")) {
                if (T[k + 1].isSymbol(".")) {
                    parts.push_back(QString());
                    ++k;
                    continue;
                }
                if (!T[k + 1].isName()) break;
                parts.push_back(T[k + 1].text);
                k += 2;
            }
            src.table = parts.back();
            const QString database = parts.size() >= 3 ? parts[parts.size() - 3] : QString();
            src.alias = src.table;
            // a table variable: the temporary table that holds its rows
            if (const Variable* tv = src.table.startsWith(u'@') ? m_ctx.variable(src.table) : nullptr; tv && !tv->table.isEmpty())
                src.table = tv->table;
            src.database = src.table.startsWith(u'#') ? QStringLiteral("temp") : m_ctx.schemaName(database);
            if (parts.size() == 1) commonTableExpression(src, from);
        } else {
            ++k;
            continue;
        }
        k = aliasOf(src, k, stop);
        // … pivot (…) [as] alias, unpivot (…) [as] alias: a table of their own columns
        while (k + 1 < stop && (T[k].is("pivot") || T[k].is("unpivot")) && T[k + 1].isSymbol("(")) {
            const size_t close = m_ctx.matching(k + 1, stop);
            if (close >= stop) break;
            Source turned;
            turned.derived = true;
            turned.clauseBegin = k + 2;
            turned.clauseEnd = close;
            turned.items = T[k].is("pivot") ? pivotColumns(src, k + 2, close) : unpivotColumns(src, k + 2, close);
            turned.input.push_back(std::move(src));
            src = std::move(turned);
            k = aliasOf(src, close + 1, stop);
        }
        // table hints, the join condition: up to the next item
        while (k < stop && !T[k].isSymbol(",") && !T[k].is("join") && !T[k].is("apply")) {
            if (T[k].isSymbol("(")) k = m_ctx.matching(k, stop);
            ++k;
        }
        ++k;
        out.push_back(std::move(src));
    }
    return out;
}

// [as] alias [(column, …)] after a table source at k: the source takes the alias, a derived
// table the names of the list; the token after them.
size_t ExpressionTyper::aliasOf(Source& src, size_t k, size_t stop) const
{
    if (k < stop && T[k].is("as")) ++k;
    const bool turns = k + 1 < stop && (T[k].is("pivot") || T[k].is("unpivot")) && T[k + 1].isSymbol("(");
    if (k < stop && T[k].isName() && !isJoinWord(T[k]) && !isExpressionBoundary(T[k]) && !T[k].is("on") && !turns) {
        src.alias = T[k].text;
        ++k;
    }
    if (src.derived && src.input.empty() && k < stop && T[k].isSymbol("(")) {
        const size_t close = m_ctx.matching(k, stop);
        size_t n = 0;
        for (size_t c = k + 1; c < close && c < stop; ++c)
            if (T[c].isName() && n < src.items.size()) src.items[n++].first = T[c].text;
        return close < stop ? close + 1 : stop;
    }
    return k;
}

// agg(value) for column in ([a], [b] …) in [b, e): the columns of input but value and column,
// then a, b … of the aggregate's type.
std::vector<std::pair<QString, SqlType>> ExpressionTyper::pivotColumns(const Source& input, size_t b, size_t e) const
{
    if (b + 1 >= e || !T[b + 1].isSymbol("(")) return {};
    const size_t callClose = m_ctx.matching(b + 1, e);
    if (callClose + 2 >= e || !T[callClose + 1].is("for")) return {};
    const QString value = T[callClose - 1].text, pivotColumn = T[callClose + 2].text;
    std::vector<std::pair<QString, SqlType>> items;
    SqlType valueType;
    for (const auto& [name, type] : columnsOf(input)) {
        if (sameName(name, value))
            valueType = type;
        else if (!sameName(name, pivotColumn))
            items.emplace_back(name, type);
    }
    const QString fn = T[b].text.toLower();
    SqlType result;
    if (fn == u"count")
        result = of(Kind::Int);
    else if (fn == u"count_big")
        result = of(Kind::BigInt);
    else if (isTypedByArguments(fn))
        result = typeByArguments(fn, {valueType});
    else if (fn == u"stdev" || fn == u"stdevp" || fn == u"var" || fn == u"varp")
        result = of(Kind::Float);
    const size_t in = callClose + 3;
    if (in + 1 >= e || !T[in].is("in") || !T[in + 1].isSymbol("(")) return items;
    for (size_t c = in + 2; c < e && !T[c].isSymbol(")"); ++c)
        if (!T[c].isSymbol(",")) items.emplace_back(T[c].text, result);
    return items;
}

// value for column in (a, b …) in [b, e): the columns of input but a, b …, then column (a
// column's name) and value (of the type of a, b …).
std::vector<std::pair<QString, SqlType>> ExpressionTyper::unpivotColumns(const Source& input, size_t b, size_t e) const
{
    if (b + 4 >= e || !T[b + 1].is("for") || !T[b + 3].is("in") || !T[b + 4].isSymbol("(")) return {};
    QStringList listed;
    for (size_t c = b + 5; c < e && !T[c].isSymbol(")"); ++c)
        if (!T[c].isSymbol(",")) listed << T[c].text;
    std::vector<std::pair<QString, SqlType>> items;
    SqlType value = of(Kind::Null);
    for (const auto& [name, type] : columnsOf(input)) {
        if (listed.contains(name, Qt::CaseInsensitive))
            value = commonType(value, type);
        else
            items.emplace_back(name, type);
    }
    items.emplace_back(T[b + 2].text, SqlType::fromDeclared(QStringLiteral("nvarchar(128)")));
    items.emplace_back(T[b].text, value.kind == Kind::Null ? SqlType{} : value);
    return items;
}

std::vector<std::vector<std::pair<size_t, size_t>>> ExpressionTyper::valuesRows(size_t at) const
{
    std::vector<std::vector<std::pair<size_t, size_t>>> rows;
    const size_t end = at > 0 && T[at - 1].isSymbol("(") ? m_ctx.matching(at - 1, T.size()) : T.size();
    for (size_t k = at + 1; k < end && T[k].isSymbol("(");) {
        const size_t close = m_ctx.matching(k, end);
        if (close >= end) break;
        rows.push_back(m_ctx.splitTop(k + 1, close, [&](size_t x) { return T[x].isSymbol(","); }));
        k = close + 1;
        if (k < end && T[k].isSymbol(",")) ++k;
    }
    return rows;
}

std::vector<SqlType> ExpressionTyper::valuesTypes(size_t at) const
{
    std::vector<SqlType> types;
    // rows that read the row they are applied to look their columns up among the sources,
    // these rows among them: there they are not typed again
    if (std::find(m_valuesTyped.begin(), m_valuesTyped.end(), at) != m_valuesTyped.end()) return types;
    m_valuesTyped.push_back(at);
    struct Done {
        std::vector<size_t>& typed;
        ~Done() { typed.pop_back(); }
    } done{m_valuesTyped};
    for (const auto& row : valuesRows(at)) {
        if (types.empty()) types.assign(row.size(), of(Kind::Null));
        if (row.size() != types.size()) return {};
        for (size_t n = 0; n < row.size(); ++n) types[n] = commonType(types[n], typeOf(row[n].first, row[n].second));
    }
    return types;
}

// A word after a select list: from, into or a clause's (the group of WITHIN GROUP is a call's).
bool ExpressionTyper::endsSelectList(const Token& t) const
{
    if (t.is("group") && &t > T.data() && (&t - 1)->is("within")) return false;
    return t.is("from") || t.is("into") || isClauseWord(t);
}

std::vector<SqlType> ExpressionTyper::selectTypes(size_t s) const
{
    std::vector<SqlType> types;
    const size_t end = selectEnd(s);
    const size_t listEnd = m_ctx.firstAtTopLevel(s + 1, end, [&](const Token& t) { return endsSelectList(t); });
    // select * over derived tables, values, pivots: their columns (a table's own types its columns)
    if (const auto star = starColumns(s)) {
        const auto sources = sourcesOf(s);
        if (std::none_of(sources.begin(), sources.end(), [](const Source& src) { return src.derived; })) return {};
        for (const auto& item : selectItems(s)) types.push_back(item.second);
        return types;
    }
    for (size_t k = s + 1; k < listEnd; ++k)
        if (T[k].isSymbol("*") && (T[k - 1].isSymbol(",") || T[k - 1].isSymbol(".") || T[k - 1].is("select")
                                      || T[k - 1].is("distinct")))
            return {};
    for (const auto& item : selectItems(s)) types.push_back(item.second);
    return types;
}

// The columns of a select list that is a star alone: those of every table source in order;
// nothing for another list or a source whose columns are not known.
std::optional<std::vector<std::pair<QString, SqlType>>> ExpressionTyper::starColumns(size_t s) const
{
    const auto ranges = selectItemRanges(s);
    if (ranges.size() != 1 || ranges[0].e != ranges[0].b + 1 || !T[ranges[0].b].isSymbol("*")) return std::nullopt;
    std::vector<std::pair<QString, SqlType>> items;
    const auto sources = sourcesOf(s);
    if (sources.empty()) return std::nullopt;
    for (const Source& src : sources) {
        const auto columns = columnsOf(src);
        if (columns.empty()) return std::nullopt;
        items.insert(items.end(), columns.begin(), columns.end());
    }
    return items;
}

std::vector<ExpressionTyper::Item> ExpressionTyper::selectItemRanges(size_t s) const
{
    std::vector<Item> items;
    const size_t end = selectEnd(s);
    size_t i = s + 1;
    if (i < end && (T[i].is("distinct") || T[i].is("all"))) ++i;
    if (i < end && T[i].is("top")) {
        i = (i + 1 < end && T[i + 1].isSymbol("(")) ? m_ctx.matching(i + 1, end) + 1 : i + 2;
        if (i < end && T[i].is("percent")) ++i;
        if (i + 1 < end && T[i].is("with") && T[i + 1].is("ties")) i += 2;
    }
    const size_t listEnd = m_ctx.firstAtTopLevel(i, end, [&](const Token& t) { return endsSelectList(t); });
    for (auto [x, y] : m_ctx.splitTop(i, listEnd, [&](size_t k) { return T[k].isSymbol(","); })) {
        if (x >= y) continue;
        QString name;
        if (y - x > 2 && T[x].isName() && T[x + 1].isSymbol("=")) {
            name = T[x].text;
            x += 2;
        } else if (y - x > 2 && T[y - 2].is("as")) {
            name = T[y - 1].text;
            y -= 2;
        } else if (y - x > 1 && (T[y - 1].isName() || T[y - 1].kind == TokenKind::String) && !T[y - 1].is("end")
            && !isExpressionBoundary(T[y - 1]) && !T[y - 2].isSymbol(".")
            && (T[y - 2].kind != TokenKind::Symbol || T[y - 2].isSymbol(")"))) {
            name = T[y - 1].text;
            y -= 1;
        } else if (T[y - 1].isName()) {
            name = T[y - 1].text;
        }
        items.push_back({name, x, y});
    }
    return items;
}

std::optional<QString> ExpressionTyper::sourceOfColumn(size_t s, const QString& column) const
{
    bool unknown = false;
    for (const Source& src : sourcesOf(s)) {
        const auto columns = columnsOf(src);
        if (columns.empty()) unknown = true;
        for (const auto& c : columns)
            if (sameName(c.first, column)) return src.alias;
    }
    if (unknown) return std::nullopt;
    return QString();
}

size_t ExpressionTyper::nextBranch(size_t s) const
{
    auto setOperator = [](const Token& t) { return isOneOf(t, {"union", "except", "intersect"}); };
    size_t end = selectEnd(s);
    size_t k = m_ctx.firstAtTopLevel(s + 1, end, setOperator);
    // a select in parentheses, ( query ) after an operator or opening the statement: the
    // operator after its parentheses
    while (k >= end && end < T.size() && T[end].isSymbol(")")) {
        size_t open = end;
        for (int depth = 0;; --open) {
            if (T[open].isSymbol(")")) ++depth;
            else if (T[open].isSymbol("(") && --depth == 0) break;
            if (open == 0) break;
        }
        const bool operand = open == 0 || T[open - 1].isSymbol(";") || setOperator(T[open - 1]) || T[open - 1].is("all");
        if (!operand || !T[open].isSymbol("(") || end + 1 >= T.size()) return T.size();
        k = end + 1;
        end = T.size();
        if (T[k].isSymbol(")")) end = k;   // the operand ends one more level of parentheses
        else if (!setOperator(T[k])) return T.size();
    }
    if (k >= end) return T.size();
    ++k;
    if (k < T.size() && (T[k].is("all") || T[k].is("distinct"))) ++k;
    while (k < T.size() && T[k].isSymbol("(")) ++k;   // union ( select … )
    return k < T.size() && T[k].is("select") ? k : T.size();
}

std::vector<std::pair<QString, SqlType>> ExpressionTyper::selectItems(size_t s) const
{
    std::vector<std::pair<QString, SqlType>> items;
    if (auto star = starColumns(s))
        items = std::move(*star);
    else
        for (const Item& item : selectItemRanges(s)) items.emplace_back(item.name, typeOf(item.b, item.e));
    // UNION, EXCEPT and INTERSECT: each column takes the type of its values in every branch
    // (a recursive common table expression's own reference inside them: its anchor's types)
    if (std::find(m_compounds.begin(), m_compounds.end(), s) != m_compounds.end()) return items;
    if (const size_t next = nextBranch(s); next < T.size()) {
        m_compounds.push_back(s);
        const auto others = selectItems(next);
        m_compounds.pop_back();
        if (others.size() != items.size()) return items;
        for (size_t n = 0; n < items.size(); ++n) items[n].second = commonType(items[n].second, others[n].second);
    }
    return items;
}

}   // namespace translator

}   // namespace orra::embedded
