#include "platform/db/embedded/translator/ResultTyping.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"

#include <limits>

namespace orra::embedded::translator {

namespace {

TypeRule fixedType(const QString& type)
{
    TypeRule r;
    r.kind = TypeRule::Kind::Fixed;
    r.type = type;
    return r;
}

}   // namespace

// The declared type that a cast or convert names in [b, e), as the column will carry it;
// Unknown for the exact numeric types, whose values type the column.
TypeRule ResultTyper::namedType(size_t b, size_t e) const
{
    if (b >= e || T[b].kind != TokenKind::Word) return {};
    const QString name = T[b].text.toLower();
    if (name == u"decimal" || name == u"numeric" || name == u"money" || name == u"smallmoney") return {};
    QString type = name;
    for (size_t k = b + 1; k < e; ++k) type += T[k].text.toLower();
    if (type.endsWith(QStringLiteral("(max)")))
        type = name == u"varbinary" ? QStringLiteral("varbinary(max)") : QStringLiteral("text");
    else if ((name == u"varchar" || name == u"nvarchar") && b + 1 == e)
        type += QStringLiteral("(30)");
    return fixedType(type);
}

TypeRule ResultTyper::typeOf(size_t b, size_t e, QStringList& refs)
{
    if (b >= e) return {};
    // (select … for xml | json …)
    size_t shapedEnd = e;
    if (T[b].isSymbol("(")) {
        const QString shaped = shapedValueType(T, b, m_ctx.matching(b, e), shapedEnd);
        if (!shaped.isEmpty() && shapedEnd == e) return fixedType(shaped);
    }
    // ( expression )
    if (T[b].isSymbol("(") && m_ctx.matching(b, e) == e - 1) {
        if (b + 1 < e && T[b + 1].is("select")) return {};
        return typeOf(b + 1, e - 1, refs);
    }
    // Operands of binary arithmetic: the highest type by precedence.
    const auto operands = m_ctx.splitTop(b, e, [&](size_t k) {
        return k > b && T[k].kind == TokenKind::Symbol && endsOperand(T[k - 1])
            && (T[k].text == u"+" || T[k].text == u"-" || T[k].text == u"*" || T[k].text == u"/" || T[k].text == u"%"
                || T[k].text == u"&" || T[k].text == u"|" || T[k].text == u"^");
    });
    if (operands.size() > 1) {
        TypeRule r;
        r.kind = TypeRule::Kind::Promote;
        for (auto [x, y] : operands) r.args.push_back(typeOf(x, y, refs));
        return r;
    }
    if (T[b].isSymbol("-") || T[b].isSymbol("+")) return typeOf(b + 1, e, refs);
    const Token& t = T[b];
    if (e == b + 4 && m_ctx.isOdbcDateEscape(b, e)) return fixedType(QStringLiteral("datetime"));
    if (t.is("case")) {
        if (m_ctx.groupEnd(b, e) != e - 1) return {};
        TypeRule r;
        r.kind = TypeRule::Kind::Promote;
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
            // A result ends at the next when, else or end; then and else begin one.
            if (from != 0 && (T[k].is("when") || T[k].is("else") || T[k].is("end"))) {
                r.args.push_back(typeOf(from, k, refs));
                from = 0;
            }
            if (T[k].is("then") || T[k].is("else")) from = k + 1;
        }
        return r;
    }
    if (e == b + 1) {
        if (t.kind == TokenKind::Number) {
            if (isBinaryLiteral(t)) return fixedType(QStringLiteral("varbinary"));
            bool ok = false;
            const qlonglong n = t.text.toLongLong(&ok);
            if (ok && n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
                return fixedType(QStringLiteral("int"));
            return {};
        }
        if (t.kind == TokenKind::String)
            return fixedType((t.national ? QStringLiteral("nvarchar(%1)") : QStringLiteral("varchar(%1)"))
                                 .arg(std::max<qsizetype>(1, t.text.size() - 2)));
        if (t.is("null")) {
            TypeRule r;
            r.kind = TypeRule::Kind::Null;
            return r;
        }
        if (t.is("current_timestamp")) return fixedType(QStringLiteral("datetime"));
    }
    if (t.kind == TokenKind::Word && b + 1 < e && T[b + 1].isSymbol("(") && m_ctx.matching(b + 1, e) == e - 1)
        return functionType(t.text.toLower(), b + 2, e - 1, refs);
    // A column: a name, qualified or not.
    bool name = t.isName() && !t.text.startsWith(u'@');
    for (size_t k = b + 1; name && k < e; ++k) name = (k - b) % 2 == 1 ? T[k].isSymbol(".") : T[k].isName();
    if (name && (e - b) % 2 == 1 && !isExpressionBoundary(t)) {
        const Vec v = m_ctx.normalize(b, e);
        if (m_ctx.failed()) return {};
        TypeRule r;
        r.kind = TypeRule::Kind::Column;
        r.column = int(refs.size());
        refs << render(v);
        return r;
    }
    return {};
}

TypeRule ResultTyper::functionType(const QString& fn, size_t b, size_t e, QStringList& refs)
{
    const auto args = m_ctx.splitTop(b, e, [&](size_t k) { return T[k].isSymbol(","); });
    // An argument's type as the function's result (never the bare column rule, which
    // stands for a plain column that SQLite types itself).
    auto arg = [&](size_t i) {
        TypeRule r;
        r.kind = TypeRule::Kind::Promote;
        r.args.push_back(i < args.size() ? typeOf(args[i].first, args[i].second, refs) : TypeRule());
        return r;
    };
    if (fn == u"getdate" || fn == u"getutcdate" || fn == u"current_timestamp") return fixedType(QStringLiteral("datetime"));
    if (fn == u"sysdatetime" || fn == u"sysutcdatetime") return fixedType(QStringLiteral("datetime2(7)"));
    if (fn == u"cast") {
        const size_t as = m_ctx.firstAtTopLevel(b, e, [](const auto& tok) { return tok.is("as"); });
        return as < e ? namedType(as + 1, e) : TypeRule();
    }
    if (fn == u"convert") return args.size() >= 2 ? namedType(args[0].first, args[0].second) : TypeRule();
    if (fn == u"dateadd") return arg(2);
    if (fn == u"datetrunc")
        return args.size() == 2 && args[1].second == args[1].first + 1 && T[args[1].first].kind == TokenKind::String
            ? fixedType(QStringLiteral("datetime2(7)"))
            : arg(1);
    if (fn == u"datediff" || fn == u"datepart" || fn == u"year" || fn == u"month" || fn == u"day" || fn == u"len"
        || fn == u"datalength" || fn == u"charindex" || fn == u"patindex" || fn == u"count" || fn == u"grouping_id")
        return fixedType(QStringLiteral("int"));
    if (fn == u"grouping") return fixedType(QStringLiteral("tinyint"));
    if (fn == u"count_big") return fixedType(QStringLiteral("bigint"));
    if (TypeRule r = stringFunctionType(fn, b, e, refs); r.kind != TypeRule::Kind::Unknown) return r;
    // ROUND, ABS and POWER of a tinyint or smallint are int: the translator's typing of the call
    if (fn == u"round" || fn == u"abs" || fn == u"power") {
        const SqlType t = ExpressionTyper(m_ctx).typeOf(b - 2, e + 1);
        if (t.isNumber()) return fixedType(t.declaration());
    }
    if (fn == u"max" || fn == u"min" || fn == u"isnull" || fn == u"abs" || fn == u"round" || fn == u"floor"
        || fn == u"ceiling") {
        // max(distinct x)
        if (!args.empty() && args[0].first < args[0].second && T[args[0].first].is("distinct")) {
            TypeRule r;
            r.kind = TypeRule::Kind::Promote;
            r.args.push_back(typeOf(args[0].first + 1, args[0].second, refs));
            return r;
        }
        return arg(0);
    }
    if (fn == u"sum" || fn == u"avg") {
        TypeRule r;
        r.kind = TypeRule::Kind::Sum;
        if (!args.empty() && args[0].first < args[0].second && T[args[0].first].is("distinct"))
            r.args.push_back(typeOf(args[0].first + 1, args[0].second, refs));
        else
            r.args.push_back(arg(0));
        return r;
    }
    if (fn == u"coalesce") {
        TypeRule r;
        r.kind = TypeRule::Kind::Promote;
        for (size_t i = 0; i < args.size(); ++i) r.args.push_back(arg(i));
        return r;
    }
    return {};
}

// The result types of the string functions as the server's documentation gives them: fixed
// ones, the type of the text argument, and the conversions TRY_CAST, TRY_CONVERT and PARSE
// name.
TypeRule ResultTyper::stringFunctionType(const QString& fn, size_t b, size_t e, QStringList& refs)
{
    const auto args = m_ctx.splitTop(b, e, [&](size_t k) { return T[k].isSymbol(","); });
    auto textOf = [&](const char* type, size_t count) {
        TypeRule r;
        r.kind = TypeRule::Kind::Text;
        r.type = QString::fromLatin1(type);
        for (size_t i = 0; i < count && i < args.size(); ++i) r.args.push_back(typeOf(args[i].first, args[i].second, refs));
        return r;
    };
    if (fn == u"left" || fn == u"right" || fn == u"replicate" || fn == u"reverse" || fn == u"stuff"
        || fn == u"translate" || fn == u"upper" || fn == u"lower" || fn == u"ltrim" || fn == u"rtrim"
        || fn == u"replace")
        return textOf("", 1);
    if (fn == u"string_agg") return textOf("varchar(8000)", 1);
    if (fn == u"quotename") return fixedType(QStringLiteral("nvarchar(258)"));
    if (fn == u"json_value") return fixedType(QStringLiteral("nvarchar(4000)"));
    if (fn == u"schema_name" || fn == u"col_name") return fixedType(QStringLiteral("nvarchar(128)"));
    if (fn == u"col_length") return fixedType(QStringLiteral("smallint"));
    if (fn == u"schema_id") return fixedType(QStringLiteral("int"));
    if (fn == u"json_query") return fixedType(QStringLiteral("text"));
    if (fn == u"soundex") return fixedType(QStringLiteral("varchar(4)"));
    if (fn == u"char") return fixedType(QStringLiteral("char(1)"));
    if (fn == u"nchar") return fixedType(QStringLiteral("nchar(1)"));
    if (fn == u"ascii" || fn == u"unicode" || fn == u"difference" || fn == u"isnumeric")
        return fixedType(QStringLiteral("int"));
    if (fn == u"str") {
        const bool literal = args.size() > 1 && args[1].second == args[1].first + 1
            && T[args[1].first].kind == TokenKind::Number;
        return fixedType(QStringLiteral("varchar(%1)").arg(literal ? T[args[1].first].text : QStringLiteral("10")));
    }
    if (fn == u"try_cast" || fn == u"parse" || fn == u"try_parse") {
        const size_t as = m_ctx.firstAtTopLevel(b, e, [](const auto& tok) { return tok.is("as"); });
        const size_t using_ = m_ctx.firstAtTopLevel(as, e, [](const auto& tok) { return tok.is("using"); });
        return as < e ? namedType(as + 1, using_) : TypeRule();
    }
    if (fn == u"try_convert") return !args.empty() ? namedType(args[0].first, args[0].second) : TypeRule();
    return {};
}

// Rules for the result columns of the select in [b, e), and the probe their columns need.

ResultTyping ResultTyper::type(size_t b, size_t e, const QStringList& declared, const QString& fromClause)
{
    size_t i = b + 1;
    if (i < e && (T[i].is("distinct") || T[i].is("all"))) ++i;
    if (i < e && T[i].is("top")) {
        i = (i + 1 < e && T[i + 1].isSymbol("(")) ? m_ctx.matching(i + 1, e) + 1 : i + 2;
        if (i < e && T[i].is("percent")) ++i;
        if (i + 1 < e && T[i].is("with") && T[i + 1].is("ties")) i += 2;
    }
    const auto ends = [&](const Token& t) {
        if (t.is("group") && &t > T.data() && (&t - 1)->is("within")) return false;   // WITHIN GROUP of a call
        return isOneOf(t, {"from", "into", "where", "group", "having", "order", "union", "except", "intersect"});
    };
    const size_t listEnd = m_ctx.firstAtTopLevel(i, e, ends);
    const size_t from = m_ctx.firstAtTopLevel(i, e, [](const auto& tok) { return tok.is("from"); });
    QStringList refs;
    std::vector<TypeRule> rules;
    bool computed = false;
    for (auto [x, y] : m_ctx.splitTop(i, listEnd, [&](size_t k) { return T[k].isSymbol(","); })) {
        if (x >= y) return {};
        // alias = expression | expression [as] alias
        if (y - x > 2 && T[x].isName() && T[x + 1].isSymbol("="))
            x += 2;
        else if (y - x > 2 && T[y - 2].is("as"))
            y -= 2;
        else if (y - x > 1 && (T[y - 1].isName() || T[y - 1].kind == TokenKind::String) && !T[y - 1].is("end")
            && !isExpressionBoundary(T[y - 1]) && endsOperand(T[y - 2]) && !T[y - 2].isSymbol("."))
            y -= 1;
        if (T[x].isSymbol("*") || (y - x == 3 && T[y - 1].isSymbol("*")))
            return {};   // every column of a table: their own types
        TypeRule r = typeOf(x, y, refs);
        const QString known = declared.value(qsizetype(rules.size()));
        if (r.kind == TypeRule::Kind::Column && SqlType::fromDeclared(known).isDateOrTime()) {
            // A date column of a derived table, VALUES or a pivot has no declared type in
            // SQLite: it takes the one it has in the select that makes it.
            refs.removeLast();
            r = fixedType(known);
            computed = true;
        } else if (r.kind == TypeRule::Kind::Column) {
            // A plain column keeps its declared type without help.
            r = TypeRule();
        } else if (r.kind != TypeRule::Kind::Unknown) {
            computed = true;
        }
        rules.push_back(r);
    }
    if (!computed || m_ctx.failed()) return {};
    ResultTyping typing;
    typing.columns = std::move(rules);
    if (!refs.isEmpty() && from < e) {
        const size_t fromEnd = m_ctx.firstAtTopLevel(from + 1, e, [](const auto& tok) {
            return isOneOf(tok, {"where", "group", "having", "order", "union", "except", "intersect", "into"});
        });
        const Vec clause = m_ctx.normalize(from, fromEnd);
        typing.probe = QStringLiteral("select ") + refs.join(QStringLiteral(", ")) + u' ' + render(clause);
    } else if (!refs.isEmpty() && !fromClause.isEmpty()) {
        typing.probe = QStringLiteral("select ") + refs.join(QStringLiteral(", ")) + fromClause;
    }
    return typing;
}

}   // namespace orra::embedded::translator
