// The string functions in SQLite's terms: the named ones by the table of string functions
// (with SQL Server's check of the argument count), and the forms with their own syntax —
// TRIM([LEADING|TRAILING|BOTH] [characters FROM] s), STRING_AGG(…) WITHIN GROUP (ORDER BY …),
// STRING_SPLIT as a table, TRY_CAST, TRY_CONVERT, PARSE and TRY_PARSE.

#include "platform/db/embedded/functions/StringFunctions.h"
#include "platform/db/embedded/translator/TranslationContext.h"
#include "platform/db/embedded/translator/TypedConversions.h"

namespace orra::embedded::translator {

namespace {

NT textLiteral(const QString& text)
{
    NT n = raw(u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\'');
    n.t.kind = TokenKind::String;
    n.t.text = n.out;
    return n;
}

bool isDateOrTimeType(const QString& type)
{
    for (const char* name : {"date", "time", "datetime", "smalldatetime", "datetime2", "datetimeoffset"})
        if (type == QLatin1String(name)) return true;
    return false;
}

// "x, orra_collation_probe(x) = x" (with the leading x when withValue).
void appendCollationProbe(Vec& out, const Vec& x, bool withValue)
{
    if (withValue) {
        out.insert(out.end(), x.begin(), x.end());
        out.push_back(symbol(","));
    }
    out.push_back(word("orra_collation_probe"));
    out.push_back(symbol("("));
    out.insert(out.end(), x.begin(), x.end());
    out.push_back(symbol(")"));
    out.push_back(symbol("="));
    out.insert(out.end(), x.begin(), x.end());
}

// Whether the function (the server's name, any case) reads its argument at position as a text.
bool readsTextAt(const Token& fn, size_t position)
{
    if (fn.is("concat") || fn.is("concat_ws") || fn.is("trim")) return true;
    if (fn.is("string_agg") || fn.is("charindex") || fn.is("patindex") || fn.is("difference") || fn.is("ltrim")
        || fn.is("rtrim") || fn.is("quotename"))
        return position < 2;
    if (fn.is("replace") || fn.is("translate")) return position < 3;
    if (fn.is("stuff")) return position == 0 || position == 3;
    for (const char* name : {"left", "right", "substring", "len", "reverse", "replicate", "upper", "lower", "soundex",
             "ascii", "unicode"})
        if (fn.is(name)) return position == 0;
    return false;
}

}   // namespace

// The type of the expression in tokens [b, e) when, read as a text, it must be converted first:
// a number other than an integer (SQLite's text of money 2 is 2.0, the server's 2.00) or a date;
// Unknown when SQLite's text of its values is the server's.
SqlType TranslationContext::convertedToText(size_t b, size_t e) const
{
    if (!schema()) return {};
    const SqlType source = ExpressionTyper(*this).typeOf(b, e);
    return source.isDateOrTime() || source.isExact() || source.isApproximate() ? source : SqlType{};
}

Vec TranslationContext::textArgument(size_t b, size_t e)
{
    Vec v = normalize(b, e);
    const SqlType source = convertedToText(b, e);
    if (source.kind != SqlType::Kind::Unknown && !failed())
        wrapConversion(v, 0, v.size(), storedConversion(SqlType::fromDeclared(QStringLiteral("varchar(8000)")), source));
    return v;
}

// A (qualified) column, or an expression with COLLATE: a text with a collation of its own.
bool TranslationContext::hasCollation(size_t b, size_t e) const
{
    if (firstAtTopLevel(b, e, [](const Token& tok) { return tok.is("collate"); }) < e) return true;
    for (size_t k = b; k < e; ++k) {
        const bool name = (k - b) % 2 == 0;
        const Token& tok = m_tokens[k];
        if (name ? !(tok.isName() && !isExpressionBoundary(tok) && !tok.text.startsWith(u'@')) : !tok.isSymbol("."))
            return false;
    }
    return e > b && (e - b) % 2 == 1;
}

// Before LIKE: a column or literal subject (with its COLLATE, if any) becomes
// orra_like_subject(subject, probe), which hands the subject's collation (Unicode or not, its
// case rules) to the like() that follows.
void TranslationContext::markLikeSubject(Vec& out)
{
    size_t end = out.size();
    if (end > 0 && out[end - 1].t.is("not")) --end;
    auto isColumnName = [](const NT& n) {
        return n.t.isName() && !isExpressionBoundary(n.t) && !n.t.text.startsWith(u'@');
    };
    size_t b = end;
    if (b >= 2 && out[b - 2].t.is("collate") && out[b - 1].t.isName()) b -= 2;
    const size_t operandEnd = b;
    if (b > 0 && out[b - 1].t.kind == TokenKind::String) {
        --b;
    } else if (b > 0 && isColumnName(out[b - 1])) {
        --b;
        while (b >= 2 && out[b - 1].t.isSymbol(".") && isColumnName(out[b - 2])) b -= 2;
    }
    if (b == operandEnd) return;
    if (b > 0 && (out[b - 1].t.isSymbol(".") || isColumnName(out[b - 1]) || out[b - 1].t.kind == TokenKind::String))
        return;
    const Vec x(out.begin() + long(b), out.begin() + long(end));
    Vec marked;
    marked.push_back(word("orra_like_subject"));
    marked.push_back(symbol("("));
    appendCollationProbe(marked, x, true);
    marked.push_back(symbol(")"));
    out.erase(out.begin() + long(b), out.begin() + long(end));
    out.insert(out.begin() + long(b), marked.begin(), marked.end());
}

QString TranslationContext::tokenText(size_t b, size_t e) const
{
    QString s;
    for (size_t k = b; k < e; ++k) {
        if (k > b) s += u' ';
        s += m_tokens[k].text;
    }
    return s;
}

// "select <conversion of ?>" as CAST or CONVERT of the same type (and style) translate it.
QString TranslationContext::conversionOfParameter(const QString& tsql, size_t at)
{
    const Translation t = translate(tsql, m_current);
    if (!t.error.isEmpty() || t.statements.size() != 1 || !t.statements[0].is<SqlStatement>()) {
        fail(t.error.isEmpty() ? near(at) : t.error, t.errorNumber, at);
        return QString();
    }
    return t.statements[0].as<SqlStatement>()->sql;
}

bool TranslationContext::stringFunctionCall(Vec& out, size_t& i, size_t e)
{
    const Token& t = m_tokens[i];
    const size_t open = i + 1;
    const size_t close = matching(open, e);
    if (close >= e) return false;
    const auto args = close == open + 1
        ? std::vector<std::pair<size_t, size_t>>{}
        : splitTop(open + 1, close, [&](size_t k) { return m_tokens[k].isSymbol(","); });
    // an argument read as text: as textArgument gives it
    auto argument = [&](std::pair<size_t, size_t> range) {
        for (size_t a = 0; a < args.size(); ++a)
            if (args[a] == range && readsTextAt(t, a)) return textArgument(range.first, range.second);
        return normalize(range.first, range.second);
    };
    auto emitArgs = [&](const std::vector<std::pair<size_t, size_t>>& list) {
        for (size_t a = 0; a < list.size(); ++a) {
            if (a > 0) out.push_back(symbol(","));
            const Vec v = argument(list[a]);
            out.insert(out.end(), v.begin(), v.end());
        }
    };

    if (t.is("trim")) {
        size_t k = open + 1;
        const char* side = "0";
        if (k < close && (m_tokens[k].is("leading") || m_tokens[k].is("trailing") || m_tokens[k].is("both"))) {
            side = m_tokens[k].is("leading") ? "1" : m_tokens[k].is("trailing") ? "2" : "0";
            ++k;
        }
        const size_t from = firstAtTopLevel(k, close, [](const Token& tok) { return tok.is("from"); });
        const bool fromMissing = from < close && (from == k || from + 1 >= close);
        if (fromMissing || k >= close) {
            fail(near(from < close ? from : close), 102, from < close ? from : close);
            return true;
        }
        out.push_back(word("orra_trim"));
        out.push_back(symbol("("));
        out.push_back(number(QString::fromLatin1(side)));
        out.push_back(symbol(","));
        if (from < close) {
            const Vec chars = textArgument(k, from);
            out.insert(out.end(), chars.begin(), chars.end());
        } else {
            out.push_back(word("null"));
        }
        out.push_back(symbol(","));
        const Vec s = textArgument(from < close ? from + 1 : k, close);
        out.insert(out.end(), s.begin(), s.end());
        out.push_back(symbol(")"));
        i = close;
        return true;
    }

    if (t.is("string_agg")) {
        if (args.size() != 2) {
            fail(QStringLiteral("The string_agg function requires 2 argument(s)."), 174, i);
            return true;
        }
        // the result of an ordinary text (a number's is nvarchar(4000)) ends at 8,000 bytes
        const SqlType input = schema() ? ExpressionTyper(*this).typeOf(args[0].first, args[0].second) : SqlType{};
        const bool limited = input.kind != SqlType::Kind::Unknown && input.kind != SqlType::Kind::Null && input.length >= 0;
        out.push_back(word(!limited                                   ? "orra_string_agg"
                               : input.kind == SqlType::Kind::Text ? "orra_string_agg_text"
                                                                     : "orra_string_agg_unicode"));
        out.push_back(symbol("("));
        emitArgs(args);
        size_t end = close;
        // WITHIN GROUP (ORDER BY key [ASC|DESC], …)
        if (close + 5 < e && m_tokens[close + 1].is("within") && m_tokens[close + 2].is("group")
            && m_tokens[close + 3].isSymbol("(") && m_tokens[close + 4].is("order") && m_tokens[close + 5].is("by")) {
            end = matching(close + 3, e);
            if (end >= e) {
                fail(near(e), 102, e);
                return true;
            }
            for (auto [x, y] : splitTop(close + 6, end, [&](size_t k) { return m_tokens[k].isSymbol(","); })) {
                bool descending = false;
                if (y > x && (m_tokens[y - 1].is("asc") || m_tokens[y - 1].is("desc"))) {
                    descending = m_tokens[y - 1].is("desc");
                    --y;
                }
                out.push_back(symbol(","));
                out.push_back(number(descending ? QStringLiteral("1") : QStringLiteral("0")));
                out.push_back(symbol(","));
                const Vec key = normalize(x, y);
                out.insert(out.end(), key.begin(), key.end());
            }
        }
        out.push_back(symbol(")"));
        i = end;
        return true;
    }

    if (t.is("string_split")) {
        if (args.size() < 2 || args.size() > 3) {
            fail(QStringLiteral("The string_split function requires 2 to 3 arguments."), 189, i);
            return true;
        }
        bool ordinal = false;
        if (args.size() == 3) {
            const auto [x, y] = args[2];
            const bool constant = y == x + 1 && (m_tokens[x].text == u"0" || m_tokens[x].text == u"1"
                || m_tokens[x].is("null"));
            if (!constant) {
                fail(near(x), 102, x);
                return true;
            }
            ordinal = m_tokens[x].text == u"1";
        }
        out.push_back(word(stringSplitTable(ordinal)));
        out.push_back(symbol("("));
        emitArgs({args[0], args[1]});
        out.push_back(symbol(")"));
        i = close;
        return true;
    }

    const bool tryCast = t.is("try_cast");
    const bool parse = t.is("parse") || t.is("try_parse");
    if (tryCast || parse) {
        // f(expression AS type [USING culture])
        const size_t as = firstAtTopLevel(open + 1, close, [](const Token& tok) { return tok.is("as"); });
        const size_t using_ = firstAtTopLevel(as, close, [](const Token& tok) { return tok.is("using"); });
        if (as >= close || as + 1 >= using_ || (tryCast && using_ < close)) {
            fail(near(as < close ? as : close), 102, as < close ? as : close);
            return true;
        }
        const QString type = tokenText(as + 1, using_);
        const QString conversion = conversionOfParameter(QStringLiteral("select cast(? as %1)").arg(type), as + 1);
        if (failed()) return true;
        const Vec value = normalize(open + 1, as);
        if (tryCast) {
            out.push_back(word("orra_try"));
            out.push_back(symbol("("));
            out.push_back(textLiteral(conversion));
            out.push_back(symbol(","));
            out.insert(out.end(), value.begin(), value.end());
            out.push_back(symbol(")"));
        } else {
            const QString base = m_tokens[as + 1].text.toLower();
            const char* kind = isDateOrTimeType(base) ? "2" : (base == u"money" || base == u"smallmoney") ? "1" : "0";
            out.push_back(word("orra_parse"));
            out.push_back(symbol("("));
            out.insert(out.end(), value.begin(), value.end());
            out.push_back(symbol(","));
            if (using_ < close) {
                const Vec culture = normalize(using_ + 1, close);
                out.insert(out.end(), culture.begin(), culture.end());
            } else {
                out.push_back(word("null"));
            }
            out.push_back(symbol(","));
            out.push_back(number(QString::fromLatin1(kind)));
            out.push_back(symbol(","));
            out.push_back(textLiteral(conversion));
            out.push_back(symbol(","));
            out.push_back(textLiteral(type));
            out.push_back(symbol(","));
            out.push_back(number(t.is("try_parse") ? QStringLiteral("1") : QStringLiteral("0")));
            out.push_back(symbol(")"));
        }
        i = close;
        return true;
    }

    if (t.is("try_convert")) {
        // try_convert(type, expression [, style])
        if (args.size() < 2 || args.size() > 3) {
            fail(near(close), 102, close);
            return true;
        }
        QString tsql = QStringLiteral("select convert(%1, ?").arg(tokenText(args[0].first, args[0].second));
        if (args.size() == 3) tsql += QStringLiteral(", ") + tokenText(args[2].first, args[2].second);
        const QString conversion = conversionOfParameter(tsql + u')', args[0].first);
        if (failed()) return true;
        out.push_back(word("orra_try"));
        out.push_back(symbol("("));
        out.push_back(textLiteral(conversion));
        out.push_back(symbol(","));
        const Vec value = normalize(args[1].first, args[1].second);
        out.insert(out.end(), value.begin(), value.end());
        out.push_back(symbol(")"));
        i = close;
        return true;
    }

    if (t.is("len") && args.size() == 1) {   // LEN is the server's own function otherwise (mappedFunction)
        const size_t at = out.size();
        out.push_back(NT{t, QStringLiteral("orra_len")});
        writeTextArguments(out, i, close, args);
        if (i == close) return true;
        out.resize(at);
        return false;
    }
    const StringFunction* f = findStringFunction(t.text);
    if (!f) return false;
    // charindex, patindex and replace with a collated argument compare in its collation: the
    // explicit COLLATE of either of the first two arguments first, else a column's.
    const bool replace = t.is("replace") && args.size() == 3;
    if (replace
        || ((t.is("charindex") || t.is("patindex")) && args.size() >= 2
            && args.size() <= (t.is("charindex") ? 3u : 2u))) {
        const auto explicitCollation = [&](std::pair<size_t, size_t> a) {
            return firstAtTopLevel(a.first, a.second, [](const Token& tok) { return tok.is("collate"); }) < a.second;
        };
        int collated = -1;
        for (int a = 0; a < 2 && collated < 0; ++a)
            if (explicitCollation(args[size_t(a)])) collated = a;
        for (int a = 0; a < 2 && collated < 0; ++a)
            if (hasCollation(args[size_t(a)].first, args[size_t(a)].second)) collated = a;
        if (collated >= 0) {
            out.push_back(word(t.is("charindex") ? "orra_charindex_in" : replace ? "orra_replace" : "orra_patindex"));
            out.push_back(symbol("("));
            emitArgs({args[0], args[1]});
            out.push_back(symbol(","));
            if (replace) {
                emitArgs({args[2]});
                out.push_back(symbol(","));
            } else if (t.is("charindex")) {
                if (args.size() == 3)
                    emitArgs({args[2]});
                else
                    out.push_back(word("null"));
                out.push_back(symbol(","));
            }
            appendCollationProbe(out, argument(args[size_t(collated)]), false);
            out.push_back(symbol(")"));
            i = close;
            return true;
        }
    }
    // upper(x), lower(x), datalength(x) of a column or a collated text: f(x, probe(x) = x), by
    // which the function learns the collation and the type of x.
    if ((t.is("upper") || t.is("lower") || t.is("datalength")) && args.size() == 1
        && hasCollation(args[0].first, args[0].second)) {
        const Vec x = argument(args[0]);
        out.push_back(word(f->sqlite));
        out.push_back(symbol("("));
        appendCollationProbe(out, x, true);
        out.push_back(symbol(")"));
        i = close;
        return true;
    }
    // char(n) and nchar(n) after a name declare a type (a column, a parameter), not a call.
    if ((t.is("char") || t.is("nchar")) && i > 0 && m_tokens[i - 1].kind == TokenKind::Word
        && (!isExpressionBoundary(m_tokens[i - 1]) || m_tokens[i - 1].is("as")))
        return false;
    long number = 0;
    const QString error = argumentCountError(*f, int(args.size()), number);
    if (!error.isEmpty()) {
        fail(error, number, i);
        return true;
    }
    if (t.is("replicate") && schema()) {
        // the result ends where its type does: 8,000 bytes, 4,000 Unicode characters, none for (max)
        const SqlType text = ExpressionTyper(*this).typeOf(args[0].first, args[0].second);
        const int longest = text.length < 0 ? -1 : text.kind == SqlType::Kind::NText ? 4000 : 8000;
        out.push_back(word(f->sqlite));
        out.push_back(symbol("("));
        const Vec v = textArgument(args[0].first, args[0].second);
        out.insert(out.end(), v.begin(), v.end());
        out.push_back(symbol(","));
        const Vec count = normalize(args[1].first, args[1].second);
        out.insert(out.end(), count.begin(), count.end());
        out.push_back(symbol(","));
        out.push_back(translator::number(QString::number(longest)));
        out.push_back(symbol(")"));
        i = close;
        return true;
    }
    out.push_back(word(f->sqlite));
    writeTextArguments(out, i, close, args);
    return true;
}

// The arguments of the call at i that the server reads as texts converted to text first: the
// whole call written (i then on its closing parenthesis), or nothing when none needs it.
void TranslationContext::writeTextArguments(Vec& out, size_t& i, size_t close, const std::vector<std::pair<size_t, size_t>>& args)
{
    bool converts = false;
    for (size_t a = 0; a < args.size() && !converts; ++a)
        converts = readsTextAt(m_tokens[i], a) && convertedToText(args[a].first, args[a].second).kind != SqlType::Kind::Unknown;
    if (!converts) return;
    out.push_back(symbol("("));
    for (size_t a = 0; a < args.size(); ++a) {
        if (a > 0) out.push_back(symbol(","));
        const Vec v = readsTextAt(m_tokens[i], a) ? textArgument(args[a].first, args[a].second)
                                                  : normalize(args[a].first, args[a].second);
        out.insert(out.end(), v.begin(), v.end());
    }
    out.push_back(symbol(")"));
    i = close;
}

}   // namespace orra::embedded::translator
