#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

QString quoteName(const QString& name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

namespace {

NT make(TokenKind kind, const QString& text)
{
    NT n;
    n.t.kind = kind;
    n.t.text = text;
    n.out = text;
    return n;
}

}   // namespace

NT word(const char* text) { return make(TokenKind::Word, QString::fromLatin1(text)); }

NT symbol(const char* text) { return make(TokenKind::Symbol, QString::fromLatin1(text)); }

NT number(const QString& text) { return make(TokenKind::Number, text); }

NT operatorToken(const QString& op) { return make(TokenKind::Symbol, op); }

NT raw(const QString& text)
{
    NT n = make(TokenKind::Symbol, QStringLiteral("\x01"));
    n.out = text;
    return n;
}

bool isOneOf(const Token& t, std::initializer_list<const char*> words)
{
    for (const char* w : words)
        if (t.is(w)) return true;
    return false;
}

bool isStatementWord(const Token& t)
{
    return isOneOf(t,
        {"select", "insert", "update", "delete", "create", "drop", "alter", "truncate", "exec", "execute", "if", "else",
            "begin", "end", "set", "declare", "print", "while", "return", "use", "grant", "revoke", "commit",
            "rollback", "raiserror", "throw", "break", "continue", "goto", "merge", "open", "fetch", "close",
            "deallocate"});
}

bool isHintWord(const Token& t)
{
    return isOneOf(t,
        {"nolock", "readuncommitted", "readcommitted", "rowlock", "updlock", "holdlock", "tablock", "tablockx",
            "paglock", "readpast", "xlock", "serializable", "repeatableread", "nowait"});
}

bool isSqliteOnlyKeyword(const Token& t)
{
    return isOneOf(t,
        {"nothing", "glob", "regexp", "notnull", "indexed", "limit", "returning", "window", "filter", "autoincrement",
            "offset"});
}

bool isTextType(const QString& type)
{
    const QString t = type.toLower();
    return t == u"char" || t == u"varchar" || t == u"nchar" || t == u"nvarchar" || t == u"text" || t == u"ntext"
        || t == u"sysname";
}

bool isExpressionBoundary(const Token& t)
{
    if (t.kind != TokenKind::Word) return false;
    return isOneOf(t,
        {"select", "from", "where", "and", "or", "not", "on", "as", "when", "then", "else", "end", "set", "by", "order",
            "group", "having", "in", "is", "like", "between", "exists", "union", "all", "distinct", "into", "values",
            "join", "inner", "outer", "cross", "full", "top", "asc", "desc", "if", "begin", "insert", "update",
            "delete", "create", "table", "drop", "exec", "execute", "with", "escape", "collate", "over", "partition",
            "declare", "print", "return", "while", "use", "limit", "temp", "rowid", "case", "default", "primary", "key",
            "references", "constraint", "unique", "check", "foreign", "cascade", "no", "action", "except",
            "intersect"});
}

bool isBinaryLiteral(const Token& t)
{
    return t.kind == TokenKind::Number && t.text.size() >= 2 && (t.text[1] == u'x' || t.text[1] == u'X');
}

QString binaryDigits(const Token& t)
{
    QString hex = t.text.mid(2);
    if (hex.size() % 2) hex.prepend(u'0');
    return hex;
}

size_t topLevel(const Vec& v, size_t from, std::initializer_list<const char*> words)
{
    int depth = 0;
    int caseDepth = 0;
    for (size_t i = from; i < v.size(); ++i) {
        const Token& t = v[i].t;
        if (t.isSymbol("("))
            ++depth;
        else if (t.isSymbol(")"))
            --depth;
        else if (depth == 0) {
            if (t.is("case"))
                ++caseDepth;
            else if (t.is("end") && caseDepth > 0)
                --caseDepth;
            else if (caseDepth == 0 && isOneOf(t, words))
                return i;
        }
    }
    return v.size();
}

size_t firstTopLevel(const Vec& v, size_t from, size_t end, std::initializer_list<const char*> words)
{
    for (size_t k = from; k < end; ++k) {
        if (v[k].t.isSymbol("("))
            k = closeOf(v, k, end);
        else if (v[k].t.is("case"))
            k = caseEnd(v, k, end);
        else if (isOneOf(v[k].t, words))
            return k;
    }
    return end;
}

std::vector<std::pair<size_t, size_t>> splitTopLevel(const Vec& v, size_t b, size_t e)
{
    std::vector<std::pair<size_t, size_t>> parts;
    size_t start = b;
    for (size_t k = b; k < e; ++k) {
        if (v[k].t.isSymbol("(")) {
            k = closeOf(v, k, e);
        } else if (v[k].t.is("case")) {
            k = caseEnd(v, k, e);
        } else if (v[k].t.isSymbol(",")) {
            parts.emplace_back(start, k);
            start = k + 1;
        }
    }
    parts.emplace_back(start, e);
    return parts;
}

bool endsOperand(const Token& t)
{
    return t.kind == TokenKind::Number || t.kind == TokenKind::String || t.kind == TokenKind::QuotedName
        || t.isSymbol(")") || t.is("end") || (t.kind == TokenKind::Word && !isExpressionBoundary(t));
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

size_t closeOf(const Vec& v, size_t open, size_t end)
{
    int depth = 0;
    for (size_t i = open; i < end; ++i) {
        if (v[i].t.isSymbol("("))
            ++depth;
        else if (v[i].t.isSymbol(")") && --depth == 0)
            return i;
    }
    return end;
}

size_t caseEnd(const Vec& v, size_t at, size_t end)
{
    int depth = 0;
    int cases = 0;
    for (size_t i = at; i < end; ++i) {
        if (v[i].t.isSymbol("("))
            ++depth;
        else if (v[i].t.isSymbol(")"))
            --depth;
        else if (depth == 0 && v[i].t.is("case"))
            ++cases;
        else if (depth == 0 && v[i].t.is("end") && --cases == 0)
            return i;
    }
    return end;
}

void append(Vec& out, const Vec& v, size_t from, size_t to)
{
    out.insert(out.end(), v.begin() + long(from), v.begin() + long(to));
}

// Tokens [x1, y1) and [x2, y2) are the same expression: the same words and names whatever
// their case, the same literals and symbols.
bool sameExpression(const std::vector<Token>& T, size_t x1, size_t y1, size_t x2, size_t y2)
{
    if (y1 - x1 != y2 - x2) return false;
    for (size_t i = 0; i < y1 - x1; ++i) {
        const Token &a = T[x1 + i], &b = T[x2 + i];
        if (a.isName() && b.isName() ? !sameName(a.text, b.text) : (a.kind != b.kind || a.text != b.text)) return false;
    }
    return true;
}

// The column tokens [x, y) name, without its qualifiers; empty for any other expression.
QString columnNamed(const std::vector<Token>& T, size_t x, size_t y)
{
    for (size_t i = x; i < y; ++i)
        if ((i - x) % 2 == 0 ? !T[i].isName() || isExpressionBoundary(T[i]) : !T[i].isSymbol(".")) return {};
    return (y - x) % 2 == 1 ? T[y - 1].text : QString();
}

bool isAggregateName(const Token& t)
{
    return isOneOf(t, {"count", "count_big", "sum", "avg", "min", "max", "stdev", "stdevp", "var", "varp",
                          "string_agg", "checksum_agg", "grouping", "grouping_id"});
}

QString render(const Vec& v)
{
    QString s;
    s.reserve(int(v.size()) * 8);
    const NT* prev = nullptr;
    for (const NT& n : v) {
        if (prev) {
            const bool tight = prev->out == u"(" || prev->out == u"." || n.out == u")" || n.out == u"," || n.out == u"."
                || (n.out == u"(" && prev->t.kind == TokenKind::Word && !isExpressionBoundary(prev->t));
            if (!tight) s += u' ';
        }
        s += n.out;
        prev = &n;
    }
    return s;
}

}   // namespace orra::embedded::translator
