#include "platform/db/embedded/TsqlTranslator.h"

#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/TsqlLexer.h"

#include <QHash>
#include <QMutex>

#include <limits>

namespace orra::embedded {

QString foldName(const QString& name)
{
    return turkishFold(name.trimmed());
}

namespace {

// A token after normalisation: the original token (for keyword tests) and its SQLite text.
struct NT {
    Token t;
    QString out;
};
using Vec = std::vector<NT>;

QString quoteName(const QString& name)
{
    QString q = name;
    q.replace(u'"', QStringLiteral("\"\""));
    return u'"' + q + u'"';
}

NT word(const char* text)
{
    NT n;
    n.t.kind = TokenKind::Word;
    n.t.text = QString::fromLatin1(text);
    n.out = n.t.text;
    return n;
}

NT symbol(const char* text)
{
    NT n;
    n.t.kind = TokenKind::Symbol;
    n.t.text = QString::fromLatin1(text);
    n.out = n.t.text;
    return n;
}

NT number(const QString& text)
{
    NT n;
    n.t.kind = TokenKind::Number;
    n.t.text = text;
    n.out = text;
    return n;
}

bool isOneOf(const Token& t, std::initializer_list<const char*> words)
{
    for (const char* w : words)
        if (t.is(w))
            return true;
    return false;
}

// Words that begin a statement and so end the one before (at parenthesis depth 0).
bool isStatementWord(const Token& t)
{
    return isOneOf(t, {"select", "insert", "update", "delete", "create", "drop", "alter", "truncate",
                       "exec", "execute", "if", "else", "begin", "end", "set", "declare", "print",
                       "while", "return", "use", "grant", "revoke", "commit", "rollback", "raiserror"});
}

bool isHintWord(const Token& t)
{
    return isOneOf(t, {"nolock", "readuncommitted", "readcommitted", "rowlock", "updlock", "holdlock",
                       "tablock", "tablockx", "paglock", "readpast", "xlock", "serializable",
                       "repeatableread", "nowait"});
}

// Words that SQLite reserves but T-SQL does not: as names they must be quoted for SQLite.
bool isSqliteOnlyKeyword(const Token& t)
{
    return isOneOf(t, {"nothing", "glob", "regexp", "notnull", "indexed", "limit", "returning",
                       "window", "filter", "autoincrement", "offset"});
}

bool isTextType(const QString& type)
{
    const QString t = type.toLower();
    return t == u"char" || t == u"varchar" || t == u"nchar" || t == u"nvarchar" || t == u"text"
        || t == u"ntext" || t == u"sysname";
}

// Words that cannot be part of an additive operand.
bool isExpressionBoundary(const NT& n)
{
    if (n.t.kind != TokenKind::Word)
        return false;
    return isOneOf(n.t, {"select", "from", "where", "and", "or", "not", "on", "as", "when", "then",
                         "else", "end", "set", "by", "order", "group", "having", "in", "is", "like",
                         "between", "exists", "union", "all", "distinct", "into", "values", "join",
                         "inner", "outer", "cross", "full", "top", "asc", "desc", "if", "begin",
                         "insert", "update", "delete", "create", "table", "drop", "exec", "execute",
                         "with", "escape", "collate", "over", "partition", "declare", "print",
                         "return", "while", "use", "limit", "temp", "rowid", "case", "default",
                         "primary", "key", "references", "constraint", "unique", "check",
                         "foreign", "cascade", "no", "action", "except", "intersect"});
}

// 0x0102: a binary value, not a number.
bool isBinaryLiteral(const Token& t)
{
    return t.kind == TokenKind::Number && t.text.size() >= 2 && (t.text[1] == u'x' || t.text[1] == u'X');
}

// The hexadecimal digits of a binary literal, whole bytes: an odd count takes a leading zero
// (0x102 is 0x0102); 0x alone is the empty value.
QString binaryDigits(const Token& t)
{
    QString hex = t.text.mid(2);
    if (hex.size() % 2)
        hex.prepend(u'0');
    return hex;
}

// How deeply blocks, conditions, parentheses and case expressions may nest: far beyond what
// a person writes, far below what the recursive rewriting can take on any thread's stack.
constexpr int kMaxNesting = 128;

QString nestedTooDeeply()
{
    return QStringLiteral("Some part of your SQL statement is nested too deeply. Rewrite the query or break it up "
                          "into smaller queries.");
}

// The deepest nesting of parentheses and case … end in a token list.
int expressionDepth(const std::vector<Token>& tokens)
{
    std::vector<char> open;
    int deepest = 0;
    for (const Token& t : tokens) {
        if (t.isSymbol("(") || t.is("case")) {
            open.push_back(t.isSymbol("(") ? '(' : 'c');
            deepest = std::max(deepest, int(open.size()));
            if (deepest > kMaxNesting)
                return deepest;
        } else if ((t.isSymbol(")") && !open.empty() && open.back() == '(')
                   || (t.is("end") && !open.empty() && open.back() == 'c')) {
            open.pop_back();
        }
    }
    return deepest;
}

class Translator {
public:
    Translator(const std::vector<Token>& tokens, const QString& currentDatabase, Translation& tr)
        : T(tokens), m_current(foldName(currentDatabase)), m_tr(tr)
    {
    }

    std::vector<Statement> parseList(bool untilEnd)
    {
        std::vector<Statement> list;
        while (p < T.size()) {
            if (T[p].isSymbol(";")) {
                ++p;
                continue;
            }
            if (untilEnd && T[p].is("end"))
                break;
            const bool batchStart = (p == 0);
            list.push_back(parseOne(batchStart));
            if (!m_tr.error.isEmpty())
                break;
        }
        return list;
    }

private:
    const std::vector<Token>& T;
    size_t p = 0;
    QString m_current;
    Translation& m_tr;
    int m_depth = 0;   // statements inside if and begin … end

    struct Nested {
        int& depth;
        explicit Nested(int& d) : depth(++d) {}
        ~Nested() { --depth; }
    };

    bool at(size_t i, const char* w) const { return i < T.size() && T[i].is(w); }
    bool atSym(size_t i, const char* s) const { return i < T.size() && T[i].isSymbol(s); }

    void fail(const QString& message)
    {
        if (m_tr.error.isEmpty())
            m_tr.error = message;
    }

    QString near(size_t i) const
    {
        if (i >= T.size())
            return QStringLiteral("Incorrect syntax near the end of the statement.");
        return QStringLiteral("Incorrect syntax near '%1'.").arg(T[i].text);
    }

    // ---- statement extents -------------------------------------------------------------

    size_t findEnd(size_t from) const
    {
        const Token& lead = T[from];
        bool allowSelect = lead.is("insert") || lead.is("with")
            || (lead.is("create") && (at(from + 1, "view")));
        bool allowSet = lead.is("update");
        if (lead.is("create")
            && (at(from + 1, "procedure") || at(from + 1, "proc") || at(from + 1, "function")
                || at(from + 1, "trigger")))
            return T.size();
        int depth = 0;
        int caseDepth = 0;
        size_t i = from + 1;
        for (; i < T.size(); ++i) {
            const Token& t = T[i];
            if (t.isSymbol("(")) {
                ++depth;
                continue;
            }
            if (t.isSymbol(")")) {
                if (depth == 0)
                    break;
                --depth;
                continue;
            }
            if (depth > 0)
                continue;
            if (t.isSymbol(";"))
                break;
            if (t.is("case")) {
                ++caseDepth;
                continue;
            }
            if (t.is("end") && caseDepth > 0) {
                --caseDepth;
                continue;
            }
            if (t.is("else") && caseDepth > 0)
                continue;
            if (t.is("values"))
                allowSelect = false;
            if (!isStatementWord(t))
                continue;
            const Token& prev = T[i - 1];
            if (t.is("select")
                && (prev.is("union") || prev.is("all") || prev.is("except") || prev.is("intersect")))
                continue;
            if (t.is("select") && allowSelect) {
                allowSelect = false;
                continue;
            }
            if ((t.is("exec") || t.is("execute")) && allowSelect && lead.is("insert")) {
                allowSelect = false;
                continue;
            }
            if (t.is("set") && allowSet) {
                allowSet = false;
                continue;
            }
            if (t.is("if") && lead.is("drop") && prev.is("table"))
                continue;
            break;
        }
        return i;
    }

    // ---- statements ----------------------------------------------------------------------

    Statement parseOne(bool batchStart)
    {
        const Nested nested(m_depth);
        if (m_depth > kMaxNesting) {
            fail(nestedTooDeeply());
            m_tr.errorNumber = 191;
            p = T.size();
            return {};
        }
        const Token& t = T[p];
        if (t.is("if"))
            return parseIf();
        if (t.is("begin")) {
            if (at(p + 1, "tran") || at(p + 1, "transaction"))
                return transactionWord("begin");
            return parseBlock();
        }
        if (t.is("commit") || t.is("rollback"))
            return transactionWord(t.is("commit") ? "commit" : "rollback");
        if (t.is("set") && at(p + 1, "nocount") && (at(p + 2, "on") || at(p + 2, "off"))) {
            Statement s;
            s.kind = Statement::Kind::NoCount;
            s.flag = T[p + 2].is("on");
            p += 3;
            return s;
        }
        if (t.is("exec") || t.is("execute")) {
            ++p;
            return parseProcedure();
        }
        if (t.is("create")) {
            if (at(p + 1, "database"))
                return parseCreateDatabase();
            if (at(p + 1, "login"))
                return parseCreateLogin();
            if (at(p + 1, "user"))
                return parseCreateUser();
            if (at(p + 1, "role"))
                return parseCreateRole();
        }
        if (batchStart && t.kind == TokenKind::Word && !isStatementWord(t) && !t.is("with")
            && !t.text.startsWith(u'@') && looksLikeProcedureCall(p))
            return parseProcedure();
        if (t.is("else") || t.is("end")) {
            fail(QStringLiteral("Incorrect syntax near the keyword '%1'.").arg(t.text.toLower()));
            ++p;
            return {};
        }
        if (!isAllowedStatement(p)) {
            fail(QStringLiteral("The embedded server does not run '%1' statements.").arg(statementWords(p)));
            p = T.size();
            return {};
        }
        const size_t e = findEnd(p);
        Statement s = generic(p, std::max(e, p + 1));
        p = std::max(e, p + 1);
        return s;
    }

    // The statements handed on to SQLite: the T-SQL subset that the translator rewrites.
    // Anything else (attach, pragma, vacuum, triggers …) is refused here, before SQLite sees it.
    bool isAllowedStatement(size_t i) const
    {
        const Token& t = T[i];
        if (t.isSymbol("("))
            return true;
        if (isOneOf(t, {"select", "insert", "update", "delete", "with"}))
            return true;
        if (t.is("create"))
            return at(i + 1, "table") || at(i + 1, "view") || at(i + 1, "index")
                || ((at(i + 1, "unique") || at(i + 1, "clustered") || at(i + 1, "nonclustered"))
                    && (at(i + 2, "index") || at(i + 3, "index")));
        if (t.is("drop"))
            return at(i + 1, "table") || at(i + 1, "view") || at(i + 1, "index");
        if (t.is("alter") || t.is("truncate"))
            return at(i + 1, "table");
        return false;
    }

    QString statementWords(size_t i) const
    {
        QString words = T[i].text.toLower();
        if (isOneOf(T[i], {"create", "drop", "alter", "truncate"}) && i + 1 < T.size()
            && T[i + 1].kind == TokenKind::Word)
            words += u' ' + T[i + 1].text.toLower();
        return words;
    }

    // A statement that begins with a bare name is a procedure call when arguments (or
    // nothing) follow the name.
    bool looksLikeProcedureCall(size_t i) const
    {
        size_t k = i + 1;
        while (k + 1 < T.size() && T[k].isSymbol(".")) {
            while (k < T.size() && T[k].isSymbol("."))
                ++k;
            ++k;
        }
        if (k >= T.size())
            return true;
        const Token& n = T[k];
        if (n.kind == TokenKind::String || n.kind == TokenKind::Number || n.isSymbol("-") || n.isSymbol(";")
            || n.is("default") || n.is("null") || (n.kind == TokenKind::Word && n.text.startsWith(u'@')))
            return true;
        const QString lower = T[i].text.toLower();
        return lower.startsWith(QLatin1String("sp_")) || lower.startsWith(QLatin1String("xp_"));
    }

    Statement transactionWord(const char* what)
    {
        ++p;
        if (at(p, "tran") || at(p, "transaction") || at(p, "work"))
            ++p;
        if (p < T.size() && T[p].kind == TokenKind::Word && !isStatementWord(T[p]))
            ++p;   // a transaction name
        Statement s;
        // A transaction takes the write lock at once, so that two sessions that read and then
        // write never meet a stale snapshot (they wait for each other instead).
        s.sql = qstrcmp(what, "begin") == 0 ? QStringLiteral("BEGIN IMMEDIATE") : QString::fromLatin1(what).toUpper();
        return s;
    }

    Statement parseIf()
    {
        ++p;   // if
        size_t i = p;
        int depth = 0;
        for (; i < T.size(); ++i) {
            if (T[i].isSymbol("("))
                ++depth;
            else if (T[i].isSymbol(")"))
                --depth;
            else if (depth == 0 && isStatementWord(T[i]))
                break;
        }
        Statement s;
        s.kind = Statement::Kind::If;
        if (i == p || i >= T.size()) {
            fail(near(i));
            p = T.size();
            return s;
        }
        Vec cond = normalize(p, i);
        Vec q;
        q.push_back(word("select"));
        q.push_back(word("case"));
        q.push_back(word("when"));
        q.insert(q.end(), cond.begin(), cond.end());
        q.push_back(word("then"));
        q.push_back(number(QStringLiteral("1")));
        q.push_back(word("else"));
        q.push_back(number(QStringLiteral("0")));
        q.push_back(word("end"));
        s.sql = render(rewriteAdditions(q));
        p = i;
        s.thenBranch.push_back(parseOne(false));
        if (at(p, "else")) {
            ++p;
            if (p >= T.size()) {
                fail(near(p));
                return s;
            }
            s.elseBranch.push_back(parseOne(false));
        }
        return s;
    }

    Statement parseBlock()
    {
        ++p;   // begin
        Statement s;
        s.kind = Statement::Kind::Block;
        s.thenBranch = parseList(true);
        if (!at(p, "end")) {
            fail(QStringLiteral("Incorrect syntax near the keyword 'begin': 'end' expected."));
            return s;
        }
        ++p;
        return s;
    }

    static QVariant literalValue(const Token& t, bool negative)
    {
        if (t.kind == TokenKind::String) {
            QString v = t.text.mid(1, t.text.size() - 2);
            v.replace(QStringLiteral("''"), QStringLiteral("'"));
            return v;
        }
        if (isBinaryLiteral(t))
            return QByteArray::fromHex(binaryDigits(t).toLatin1());
        if (t.kind == TokenKind::Number) {
            bool ok = false;
            const qlonglong n = t.text.toLongLong(&ok);
            if (ok)
                return negative ? -n : n;
            const double d = t.text.toDouble(&ok);
            return negative ? -d : d;
        }
        return t.text;
    }

    Statement parseProcedure()
    {
        Statement s;
        s.kind = Statement::Kind::Procedure;
        if (p >= T.size() || !T[p].isName()) {
            fail(near(p));
            return s;
        }
        // The name may be qualified (D..sp, dbo.sp): the last part names the procedure.
        s.name = T[p].text;
        ++p;
        while (p + 1 < T.size() && atSym(p, ".")) {
            size_t k = p;
            while (atSym(k, "."))
                ++k;
            if (k < T.size() && T[k].isName()) {
                s.name = T[k].text;
                p = k + 1;
            } else {
                break;
            }
        }
        const size_t e = findEnd(p - 1);
        bool expectValue = true;
        while (p < e) {
            const Token& t = T[p];
            if (t.isSymbol(",")) {
                if (expectValue) {
                    fail(near(p));
                    return s;
                }
                expectValue = true;
                ++p;
                continue;
            }
            if (!expectValue) {
                fail(near(p));
                return s;
            }
            ProcedureArgument a;
            if (t.kind == TokenKind::Word && t.text.startsWith(u'@') && atSym(p + 1, "=")) {
                a.name = t.text;
                p += 2;
                if (p >= e) {
                    fail(near(p));
                    return s;
                }
            }
            bool negative = false;
            if (atSym(p, "-") && p + 1 < e && T[p + 1].kind == TokenKind::Number) {
                negative = true;
                ++p;
            }
            const Token& v = T[p];
            if (v.is("default"))
                a.isDefault = true;
            else if (v.is("null"))
                a.value = QVariant();
            else if (v.kind == TokenKind::Word && v.text.startsWith(u'@')) {
                fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(v.text));
                return s;
            } else
                a.value = literalValue(v, negative);
            ++p;
            if (at(p, "output") || at(p, "out"))
                ++p;
            s.arguments.push_back(a);
            expectValue = false;
        }
        p = e;
        return s;
    }

    QString nameAt(size_t i)
    {
        if (i >= T.size() || !T[i].isName()) {
            fail(near(i));
            return {};
        }
        return T[i].text;
    }

    Statement parseCreateDatabase()
    {
        Statement s;
        s.kind = Statement::Kind::CreateDatabase;
        s.name = nameAt(p + 2);
        const size_t e = findEnd(p);
        p = std::max(e, p + 3);
        return s;
    }

    Statement parseCreateLogin()
    {
        Statement s;
        s.kind = Statement::Kind::CreateLogin;
        s.name = nameAt(p + 2);
        const size_t e = findEnd(p);
        for (size_t i = p + 3; i + 2 < e + 1 && i < T.size(); ++i) {
            if (T[i].is("password") && atSym(i + 1, "=") && i + 2 < T.size()
                && T[i + 2].kind == TokenKind::String) {
                s.password = literalValue(T[i + 2], false).toString();
                break;
            }
        }
        if (!(at(p + 3, "with") || at(p + 3, "from")))
            fail(QStringLiteral("A password must be given for a SQL login: create login %1 with password='…'.")
                     .arg(s.name));
        p = std::max(e, p + 3);
        return s;
    }

    Statement parseCreateUser()
    {
        Statement s;
        s.kind = Statement::Kind::CreateUser;
        s.name = nameAt(p + 2);
        s.login = s.name;
        const size_t e = findEnd(p);
        for (size_t i = p + 3; i + 1 < e; ++i) {
            if ((T[i].is("for") || T[i].is("from")) && at(i + 1, "login")) {
                s.login = nameAt(i + 2);
                break;
            }
        }
        p = std::max(e, p + 3);
        return s;
    }

    Statement parseCreateRole()
    {
        Statement s;
        s.kind = Statement::Kind::CreateRole;
        s.name = nameAt(p + 2);
        const size_t e = findEnd(p);
        p = std::max(e, p + 3);
        return s;
    }

    // ---- normalisation of a token range ---------------------------------------------------

    NT tableRef(const QString& database, const Token& name)
    {
        NT n;
        n.t = name;
        const QString db = foldName(database);
        if (database.isEmpty() || db == m_current) {
            n.out = name.text.startsWith(u'#') ? quoteName(name.text)
                                                : QStringLiteral("main.") + quoteName(name.text);
        } else {
            bool known = false;
            for (const QString& d : std::as_const(m_tr.databases))
                if (foldName(d) == db)
                    known = true;
            if (!known)
                m_tr.databases.append(database);
            n.out = quoteName(database) + u'.' + quoteName(name.text);
        }
        return n;
    }

    static bool endsName(const Vec& v)
    {
        if (v.empty())
            return false;
        const NT& b = v.back();
        return (b.t.isName() && !isExpressionBoundary(b)) || b.t.isSymbol(")");
    }

    size_t matching(size_t open, size_t end) const
    {
        int depth = 0;
        for (size_t i = open; i < end; ++i) {
            if (T[i].isSymbol("("))
                ++depth;
            else if (T[i].isSymbol(")")) {
                if (--depth == 0)
                    return i;
            }
        }
        return end;
    }

    // The first token in [from, to) outside any parentheses that pred accepts, or `to`.
    template <class Pred> size_t firstAtTopLevel(size_t from, size_t to, Pred pred) const
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

    // Emits the SQLite form of a T-SQL type conversion of expr.
    void emitConversion(Vec& out, Vec expr, size_t typeBegin, size_t typeEnd)
    {
        QString type;
        QString length;
        if (typeBegin < typeEnd)
            type = T[typeBegin].text.toLower();
        if (typeBegin + 2 < typeEnd && T[typeBegin + 1].isSymbol("("))
            length = T[typeBegin + 2].text.toLower();
        auto call = [&](const char* fn, const QString& arg) {
            out.push_back(word(fn));
            out.push_back(symbol("("));
            out.insert(out.end(), expr.begin(), expr.end());
            if (!arg.isEmpty()) {
                out.push_back(symbol(","));
                out.push_back(number(arg));
            }
            out.push_back(symbol(")"));
        };
        auto castTo = [&](const char* affinity) {
            out.push_back(word("cast"));
            out.push_back(symbol("("));
            out.insert(out.end(), expr.begin(), expr.end());
            out.push_back(word("as"));
            out.push_back(word(affinity));
            out.push_back(symbol(")"));
        };
        if (type == u"varchar" || type == u"nvarchar" || type == u"sysname") {
            if (length == u"max")
                castTo("text");
            else
                call("orra_varchar", length.isEmpty() ? QStringLiteral("30") : length);
        } else if (type == u"char" || type == u"nchar") {
            call("orra_char", length.isEmpty() ? QStringLiteral("30") : length);
        } else if (type == u"int" || type == u"bigint" || type == u"smallint" || type == u"tinyint"
                   || type == u"bit") {
            call("orra_int", QString());
        } else if (type == u"float" || type == u"real") {
            castTo("real");
        } else if (type == u"decimal" || type == u"numeric" || type == u"money"
                   || type == u"smallmoney") {
            // the type as written (NUMERIC affinity to SQLite), so that the result column
            // can be typed money or decimal(p,s)
            out.push_back(word("cast"));
            out.push_back(symbol("("));
            out.insert(out.end(), expr.begin(), expr.end());
            out.push_back(word("as"));
            for (size_t k = typeBegin; k < typeEnd; ++k) {
                NT n;
                n.t = T[k];
                n.out = T[k].text;
                out.push_back(n);
            }
            out.push_back(symbol(")"));
        } else if (type == u"text" || type == u"ntext") {
            castTo("text");
        } else if (type == u"datetime" || type == u"smalldatetime" || type == u"datetime2") {
            call("orra_datetime", QString());
        } else if (type == u"date") {
            call("orra_date", QString());
        } else if (type == u"time") {
            call("orra_time", QString());
        } else {
            // Not a type the subset knows: hand it on as written.
            out.push_back(word("cast"));
            out.push_back(symbol("("));
            out.insert(out.end(), expr.begin(), expr.end());
            out.push_back(word("as"));
            for (size_t k = typeBegin; k < typeEnd; ++k) {
                NT n;
                n.t = T[k];
                n.out = T[k].text;
                out.push_back(n);
            }
            out.push_back(symbol(")"));
        }
    }

    Vec normalize(size_t b, size_t e)
    {
        Vec out;
        for (size_t i = b; i < e; ++i) {
            const Token& t = T[i];
            // Table hints: T (nolock), T x with (nolock, rowlock) …
            if (t.isSymbol("(") && i + 1 < e && isHintWord(T[i + 1])) {
                size_t j = i + 1;
                while (j < e && isHintWord(T[j])) {
                    ++j;
                    if (j < e && T[j].isSymbol(","))
                        ++j;
                }
                if (j < e && T[j].isSymbol(")")
                    && (endsName(out) || (!out.empty() && out.back().t.is("with")))) {
                    if (!out.empty() && out.back().t.is("with"))
                        out.pop_back();
                    i = j;
                    continue;
                }
            }
            // ..table: the current database.
            if (t.isSymbol(".") && i + 2 < e && T[i + 1].isSymbol(".") && T[i + 2].isName()
                && !endsName(out)) {
                out.push_back(tableRef(QString(), T[i + 2]));
                i += 2;
                continue;
            }
            if (t.isName() && !(t.kind == TokenKind::Word && isExpressionBoundary(NT{t, QString()}))) {
                // D..table and D.dbo.table
                if (i + 3 < e + 0 && i + 3 < T.size() && T[i + 1].isSymbol(".") && T[i + 2].isSymbol(".")
                    && T[i + 3].isName() && i + 3 < e) {
                    out.push_back(tableRef(t.text, T[i + 3]));
                    i += 3;
                    continue;
                }
                if (i + 4 < e && T[i + 1].isSymbol(".") && T[i + 2].is("dbo") && T[i + 3].isSymbol(".")
                    && T[i + 4].isName()) {
                    out.push_back(tableRef(t.text, T[i + 4]));
                    i += 4;
                    continue;
                }
                if (t.is("dbo") && i + 2 < e && T[i + 1].isSymbol(".") && T[i + 2].isName()
                    && (out.empty() || !out.back().t.isSymbol("."))) {
                    out.push_back(tableRef(QString(), T[i + 2]));
                    i += 2;
                    continue;
                }
            }
            if (t.kind == TokenKind::Word && t.text.startsWith(QStringLiteral("@@"))) {
                const QString v = t.text.mid(2).toLower();
                const char* fn = nullptr;
                if (v == u"identity")
                    fn = "orra_identity";
                else if (v == u"spid")
                    fn = "orra_spid";
                else if (v == u"servername")
                    fn = "orra_servername";
                else if (v == u"rowcount")
                    fn = "changes";
                else if (v == u"trancount")
                    fn = "orra_trancount";
                if (!fn) {
                    fail(QStringLiteral("Incorrect syntax near '%1'.").arg(t.text));
                    return out;
                }
                out.push_back(word(fn));
                out.push_back(symbol("("));
                out.push_back(symbol(")"));
                continue;
            }
            if (t.kind == TokenKind::Word && t.text.startsWith(u'@')) {
                fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(t.text));
                return out;
            }
            if (t.kind == TokenKind::Word && i + 1 < e && T[i + 1].isSymbol("(")) {
                if (t.is("cast")) {
                    const size_t close = matching(i + 1, e);
                    const size_t as = firstAtTopLevel(i + 2, close, [](const auto& tok) { return tok.is("as"); });
                    if (close < e && as < close) {
                        emitConversion(out, normalize(i + 2, as), as + 1, close);
                        i = close;
                        continue;
                    }
                }
                if (t.is("convert")) {
                    const size_t close = matching(i + 1, e);
                    const auto isComma = [](const auto& tok) { return tok.isSymbol(","); };
                    const size_t comma = firstAtTopLevel(i + 2, close, isComma);
                    if (close < e && comma < close) {
                        // A third, style argument is dropped.
                        const size_t exprEnd = firstAtTopLevel(comma + 1, close, isComma);
                        emitConversion(out, normalize(comma + 1, exprEnd), i + 2, comma);
                        i = close;
                        continue;
                    }
                }
                static const struct { const char* from; const char* to; } functions[] = {
                    {"isnull", "ifnull"}, {"getdate", "orra_getdate"}, {"suser_sid", "orra_suser_sid"},
                    {"suser_sname", "orra_suser_sname"}, {"user_name", "orra_user_name"},
                    {"db_name", "orra_db_name"}, {"substring", "substr"}, {"len", "orra_len"},
                    {"scope_identity", "orra_identity"}, {"object_id", "orra_object_id"},
                    {"upper", "orra_upper"}, {"lower", "orra_lower"}, {"user_id", "orra_user_id"},
                    {"suser_name", "orra_suser_sname"},
                };
                bool mapped = false;
                for (const auto& f : functions) {
                    if (t.is(f.from)) {
                        out.push_back(word(f.to));
                        mapped = true;
                        break;
                    }
                }
                if (mapped)
                    continue;
            }
            NT n;
            n.t = t;
            if (isBinaryLiteral(t)) {
                n.out = QStringLiteral("X'") + binaryDigits(t) + u'\'';
                out.push_back(n);
                continue;
            }
            if (t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && t.text.startsWith(u'#'))
                || (t.kind == TokenKind::Word && isSqliteOnlyKeyword(t)))
                n.out = quoteName(t.text);
            else
                n.out = t.text;
            out.push_back(n);
        }
        return out;
    }

    // ---- generic statements --------------------------------------------------------------

    Statement generic(size_t b, size_t e)
    {
        Statement s;
        Vec v = normalize(b, e);
        if (!m_tr.error.isEmpty() || v.empty())
            return s;
        const Token& lead = v[0].t;
        if (lead.is("select")) {
            selectInto(v, s);
            typeSelectList(b, e, s);
        } else if (lead.is("insert")) {
            insertStatement(v, s);
            return s;
        } else if (lead.is("update")) {
            updateStatement(v);
            s.dml = true;
        } else if (lead.is("delete")) {
            deleteStatement(v);
            s.dml = true;
        } else if (lead.is("create") && v.size() > 2 && v[1].t.is("table")) {
            createTable(v);
        } else if (lead.is("create")) {
            for (size_t i = 0; i < v.size(); ++i)
                if (v[i].t.is("clustered") || v[i].t.is("nonclustered"))
                    v.erase(v.begin() + long(i--));
        } else if (lead.is("drop") && v.size() > 2 && v[1].t.is("table")) {
            for (NT& n : v)
                if (n.t.isWord() && n.t.text.startsWith(u'#'))
                    n.out = QStringLiteral("temp.") + quoteName(n.t.text);
        } else if (lead.is("truncate") && v.size() > 2 && v[1].t.is("table")) {
            v.erase(v.begin() + 1);
            v[0] = word("delete");
            v.insert(v.begin() + 1, word("from"));
        }
        s.sql = render(rewriteAdditions(v));
        return s;
    }

    // ---- types of computed result columns --------------------------------------------------

    // The end of the group that opens at i: the matching parenthesis or the case's end.
    size_t groupEnd(size_t i, size_t e) const
    {
        if (T[i].isSymbol("("))
            return std::min(matching(i, e), e);
        int cases = 0;
        int depth = 0;
        for (size_t k = i; k < e; ++k) {
            if (T[k].isSymbol("("))
                ++depth;
            else if (T[k].isSymbol(")"))
                --depth;
            else if (depth == 0 && T[k].is("case"))
                ++cases;
            else if (depth == 0 && T[k].is("end") && --cases == 0)
                return k;
        }
        return e;
    }

    // Splits [b, e) at top-level tokens that split accepts; the pieces in order.
    template <class Pred> std::vector<std::pair<size_t, size_t>> splitTop(size_t b, size_t e, Pred split) const
    {
        std::vector<std::pair<size_t, size_t>> parts;
        size_t start = b;
        for (size_t k = b; k < e; ++k) {
            if (T[k].isSymbol("(") || T[k].is("case")) {
                k = groupEnd(k, e);
                continue;
            }
            if (split(k)) {
                parts.push_back({start, k});
                start = k + 1;
            }
        }
        parts.push_back({start, e});
        return parts;
    }

    static bool endsOperand(const Token& t)
    {
        return t.kind == TokenKind::Number || t.kind == TokenKind::String || t.kind == TokenKind::QuotedName
            || t.isSymbol(")") || t.is("end") || (t.kind == TokenKind::Word && !isExpressionBoundary(NT{t, QString()}));
    }

    static TypeRule fixedType(const QString& type)
    {
        TypeRule r;
        r.kind = TypeRule::Kind::Fixed;
        r.type = type;
        return r;
    }

    // The declared type that a cast or convert names in [b, e), as the column will carry it;
    // Unknown for the exact numeric types, whose values type the column.
    TypeRule namedType(size_t b, size_t e) const
    {
        if (b >= e || T[b].kind != TokenKind::Word)
            return {};
        const QString name = T[b].text.toLower();
        if (name == u"decimal" || name == u"numeric" || name == u"money" || name == u"smallmoney")
            return {};
        QString type = name;
        for (size_t k = b + 1; k < e; ++k)
            type += T[k].text.toLower();
        if (type.endsWith(QStringLiteral("(max)")))
            type = name == u"varbinary" ? QStringLiteral("varbinary(max)") : QStringLiteral("text");
        else if ((name == u"varchar" || name == u"nvarchar") && b + 1 == e)
            type += QStringLiteral("(30)");
        return fixedType(type);
    }

    TypeRule typeOf(size_t b, size_t e, QStringList& refs)
    {
        if (b >= e)
            return {};
        // ( expression )
        if (T[b].isSymbol("(") && matching(b, e) == e - 1) {
            if (b + 1 < e && T[b + 1].is("select"))
                return {};
            return typeOf(b + 1, e - 1, refs);
        }
        // Operands of binary arithmetic: the highest type by precedence.
        const auto operands = splitTop(b, e, [&](size_t k) {
            return k > b && T[k].kind == TokenKind::Symbol && endsOperand(T[k - 1])
                && (T[k].text == u"+" || T[k].text == u"-" || T[k].text == u"*" || T[k].text == u"/"
                    || T[k].text == u"%" || T[k].text == u"&" || T[k].text == u"|" || T[k].text == u"^");
        });
        if (operands.size() > 1) {
            TypeRule r;
            r.kind = TypeRule::Kind::Promote;
            for (auto [x, y] : operands)
                r.args.push_back(typeOf(x, y, refs));
            return r;
        }
        if (T[b].isSymbol("-") || T[b].isSymbol("+"))
            return typeOf(b + 1, e, refs);
        const Token& t = T[b];
        if (t.is("case")) {
            if (groupEnd(b, e) != e - 1)
                return {};
            TypeRule r;
            r.kind = TypeRule::Kind::Promote;
            int depth = 0, cases = 0;
            size_t from = 0;
            for (size_t k = b + 1; k < e; ++k) {
                if (T[k].isSymbol("("))
                    ++depth;
                else if (T[k].isSymbol(")"))
                    --depth;
                if (depth != 0)
                    continue;
                if (T[k].is("case")) {
                    ++cases;
                    continue;
                }
                if (T[k].is("end") && cases > 0) {
                    --cases;
                    continue;
                }
                if (cases != 0)
                    continue;
                // A result ends at the next when, else or end; then and else begin one.
                if (from != 0 && (T[k].is("when") || T[k].is("else") || T[k].is("end"))) {
                    r.args.push_back(typeOf(from, k, refs));
                    from = 0;
                }
                if (T[k].is("then") || T[k].is("else"))
                    from = k + 1;
            }
            return r;
        }
        if (e == b + 1) {
            if (t.kind == TokenKind::Number) {
                if (isBinaryLiteral(t))
                    return fixedType(QStringLiteral("varbinary"));
                bool ok = false;
                const qlonglong n = t.text.toLongLong(&ok);
                if (ok && n >= std::numeric_limits<int>::min() && n <= std::numeric_limits<int>::max())
                    return fixedType(QStringLiteral("int"));
                return {};
            }
            if (t.kind == TokenKind::String)
                return fixedType(QStringLiteral("varchar(%1)").arg(std::max<qsizetype>(1, t.text.size() - 2)));
            if (t.is("null")) {
                TypeRule r;
                r.kind = TypeRule::Kind::Null;
                return r;
            }
            if (t.is("current_timestamp"))
                return fixedType(QStringLiteral("datetime"));
        }
        if (t.kind == TokenKind::Word && b + 1 < e && T[b + 1].isSymbol("(") && matching(b + 1, e) == e - 1)
            return functionType(t.text.toLower(), b + 2, e - 1, refs);
        // A column: a name, qualified or not.
        bool name = t.isName() && !t.text.startsWith(u'@');
        for (size_t k = b + 1; name && k < e; ++k)
            name = (k - b) % 2 == 1 ? T[k].isSymbol(".") : T[k].isName();
        if (name && (e - b) % 2 == 1 && !isExpressionBoundary(NT{t, QString()})) {
            const Vec v = normalize(b, e);
            if (!m_tr.error.isEmpty())
                return {};
            TypeRule r;
            r.kind = TypeRule::Kind::Column;
            r.column = int(refs.size());
            refs << render(v);
            return r;
        }
        return {};
    }

    TypeRule functionType(const QString& fn, size_t b, size_t e, QStringList& refs)
    {
        const auto args = splitTop(b, e, [&](size_t k) { return T[k].isSymbol(","); });
        // An argument's type as the function's result (never the bare column rule, which
        // stands for a plain column that SQLite types itself).
        auto arg = [&](size_t i) {
            TypeRule r;
            r.kind = TypeRule::Kind::Promote;
            r.args.push_back(i < args.size() ? typeOf(args[i].first, args[i].second, refs) : TypeRule());
            return r;
        };
        if (fn == u"getdate" || fn == u"getutcdate" || fn == u"sysdatetime" || fn == u"current_timestamp")
            return fixedType(QStringLiteral("datetime"));
        if (fn == u"cast") {
            const size_t as = firstAtTopLevel(b, e, [](const auto& tok) { return tok.is("as"); });
            return as < e ? namedType(as + 1, e) : TypeRule();
        }
        if (fn == u"convert")
            return args.size() >= 2 ? namedType(args[0].first, args[0].second) : TypeRule();
        if (fn == u"dateadd")
            return arg(2);
        if (fn == u"datediff" || fn == u"datepart" || fn == u"year" || fn == u"month" || fn == u"day" || fn == u"len"
            || fn == u"datalength" || fn == u"charindex" || fn == u"patindex" || fn == u"count")
            return fixedType(QStringLiteral("int"));
        if (fn == u"count_big")
            return fixedType(QStringLiteral("bigint"));
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
            for (size_t i = 0; i < args.size(); ++i)
                r.args.push_back(arg(i));
            return r;
        }
        return {};
    }

    // Rules for the result columns of the select in [b, e), and the probe their columns need.
    void typeSelectList(size_t b, size_t e, Statement& s)
    {
        size_t i = b + 1;
        if (i < e && (T[i].is("distinct") || T[i].is("all")))
            ++i;
        if (i < e && T[i].is("top")) {
            i += (i + 1 < e && T[i + 1].isSymbol("(")) ? 4 : 2;
            if (i < e && T[i].is("percent"))
                ++i;
        }
        const auto ends = [&](const Token& t) {
            return isOneOf(t, {"from", "into", "where", "group", "having", "order", "union", "except", "intersect"});
        };
        const size_t listEnd = firstAtTopLevel(i, e, ends);
        const size_t from = firstAtTopLevel(i, e, [](const auto& tok) { return tok.is("from"); });
        QStringList refs;
        std::vector<TypeRule> rules;
        bool computed = false;
        for (auto [x, y] : splitTop(i, listEnd, [&](size_t k) { return T[k].isSymbol(","); })) {
            if (x >= y)
                return;
            // alias = expression | expression [as] alias
            if (y - x > 2 && T[x].isName() && T[x + 1].isSymbol("="))
                x += 2;
            else if (y - x > 2 && T[y - 2].is("as"))
                y -= 2;
            else if (y - x > 1 && (T[y - 1].isName() || T[y - 1].kind == TokenKind::String) && !T[y - 1].is("end")
                     && !isExpressionBoundary(NT{T[y - 1], QString()}) && endsOperand(T[y - 2]) && !T[y - 2].isSymbol("."))
                y -= 1;
            if (T[x].isSymbol("*") || (y - x == 3 && T[y - 1].isSymbol("*")))
                return;   // every column of a table: their own types
            TypeRule r = typeOf(x, y, refs);
            if (r.kind == TypeRule::Kind::Column) {
                // A plain column keeps its declared type without help.
                r = TypeRule();
            } else if (r.kind != TypeRule::Kind::Unknown) {
                computed = true;
            }
            rules.push_back(r);
        }
        if (!computed || !m_tr.error.isEmpty())
            return;
        s.columnTypes = std::move(rules);
        if (!refs.isEmpty() && from < e) {
            const size_t fromEnd = firstAtTopLevel(from + 1, e, [](const auto& tok) {
                return isOneOf(tok, {"where", "group", "having", "order", "union", "except", "intersect", "into"});
            });
            const Vec clause = normalize(from, fromEnd);
            s.typeProbe = QStringLiteral("select ") + refs.join(QStringLiteral(", ")) + u' ' + render(clause);
        }
    }

    static size_t topLevel(const Vec& v, size_t from, std::initializer_list<const char*> words)
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

    void selectInto(Vec& v, Statement& s)
    {
        const size_t into = topLevel(v, 1, {"into", "from"});
        if (into < v.size() && v[into].t.is("into") && into + 1 < v.size()) {
            const NT target = v[into + 1];
            v.erase(v.begin() + long(into), v.begin() + long(into) + 2);
            if (target.t.text.startsWith(u'#'))
                s.intoTable = QStringLiteral("temp.") + quoteName(target.t.text);
            else if (!target.out.contains(u'.'))
                s.intoTable = QStringLiteral("main.") + quoteName(target.t.text);
            else
                s.intoTable = target.out;
            s.dml = true;
            s.returnsRows = false;
            return;
        }
        s.returnsRows = true;
    }

    void insertStatement(Vec& v, Statement& s)
    {
        s.dml = true;
        if (v.size() < 2)
            return;
        if (!v[1].t.is("into"))
            v.insert(v.begin() + 1, word("into"));
        if (v.size() < 3) {
            s.sql = render(v);
            return;
        }
        const NT& target = v[2];
        s.insertTable = target.out;
        s.insertName = target.t.text;
        if (target.t.text.startsWith(u'#'))
            s.insertSchema = QStringLiteral("temp");
        else if (target.out.startsWith(QStringLiteral("main.")) || !target.out.contains(u'.'))
            s.insertSchema = QStringLiteral("main");
        else
            s.insertSchema = target.out.left(target.out.indexOf(QStringLiteral("\".\""))).mid(1);
        bool columns = v.size() > 4 && v[3].t.isSymbol("(") && v[4].t.isName()
            && !v[4].t.is("select") && !v[4].t.is("values");
        Vec tail(v.begin() + 3, v.end());
        Vec head(v.begin(), v.begin() + 3);
        const QString h = render(head);
        const QString rest = render(rewriteAdditions(tail));
        s.sql = rest.isEmpty() ? h : h + u' ' + rest;
        if (!columns && !(v.size() > 3 && v[3].t.is("default")))
            s.insertColumnsAt = int(h.size());
    }

    // The from clause of update/delete: items "table [as] alias" joined by commas or joins.
    struct FromItem {
        size_t begin = 0, end = 0;   // token range of the item (table and alias)
        QString table;               // SQLite name of the table
        QString alias;               // alias or bare table name
        QString joinKind;            // "" for the first, "," or "inner"/"left"… for the others
        size_t onBegin = 0, onEnd = 0;   // the join condition range (after "on")
    };

    std::vector<FromItem> fromItems(const Vec& v, size_t from, size_t end)
    {
        std::vector<FromItem> items;
        size_t i = from;
        QString kind;
        while (i < end) {
            FromItem it;
            it.joinKind = kind;
            it.begin = i;
            if (i >= end || !v[i].t.isName())
                return {};
            it.table = v[i].out;
            it.alias = v[i].t.text;
            ++i;
            if (i < end && v[i].t.is("as"))
                ++i;
            if (i < end && v[i].t.isName() && !isOneOf(v[i].t, {"inner", "left", "right", "full", "cross", "join", "on", "where"})) {
                it.alias = v[i].t.text;
                ++i;
            }
            it.end = i;
            if (i < end && v[i].t.is("on")) {
                it.onBegin = ++i;
                int depth = 0;
                while (i < end) {
                    if (v[i].t.isSymbol("("))
                        ++depth;
                    else if (v[i].t.isSymbol(")"))
                        --depth;
                    else if (depth == 0
                             && isOneOf(v[i].t, {"inner", "left", "right", "full", "cross", "join"}))
                        break;
                    else if (depth == 0 && v[i].t.isSymbol(","))
                        break;
                    ++i;
                }
                it.onEnd = i;
            }
            items.push_back(it);
            if (i >= end)
                break;
            if (v[i].t.isSymbol(",")) {
                kind = QStringLiteral(",");
                ++i;
                continue;
            }
            kind.clear();
            while (i < end && isOneOf(v[i].t, {"inner", "left", "right", "full", "outer", "cross"})) {
                kind += v[i].t.text.toLower();
                ++i;
            }
            if (i < end && v[i].t.is("join")) {
                if (kind.isEmpty())
                    kind = QStringLiteral("inner");
                ++i;
                continue;
            }
            return {};
        }
        return items;
    }

    static NT raw(const QString& text)
    {
        NT n;
        n.t.kind = TokenKind::Symbol;
        n.t.text = QStringLiteral("\x01");
        n.out = text;
        return n;
    }

    // update t set t.C=… [from D..tb t [inner join …]] [where …]
    void updateStatement(Vec& v)
    {
        if (v.size() < 4)
            return;
        const size_t set = topLevel(v, 1, {"set"});
        if (set >= v.size())
            return;
        const size_t from = topLevel(v, set + 1, {"from"});
        const size_t where = topLevel(v, set + 1, {"where"});
        // Assignments: drop the qualifier of each target column ("t.Name=" → "Name=").
        Vec assignments;
        {
            const size_t end = std::min(from, where);
            bool start = true;
            int depth = 0;
            for (size_t i = set + 1; i < end; ++i) {
                const NT& n = v[i];
                if (start && i + 2 < end && n.t.isName() && v[i + 1].t.isSymbol(".")
                    && v[i + 2].t.isName()) {
                    i += 1;
                    start = false;
                    continue;
                }
                start = false;
                if (n.t.isSymbol("("))
                    ++depth;
                else if (n.t.isSymbol(")"))
                    --depth;
                else if (depth == 0 && n.t.isSymbol(","))
                    start = true;
                assignments.push_back(n);
            }
        }
        Vec out;
        const NT target = v[1];
        if (from >= v.size()) {
            out.push_back(word("update"));
            out.push_back(target);
            out.push_back(word("set"));
            out.insert(out.end(), assignments.begin(), assignments.end());
            out.insert(out.end(), v.begin() + long(where), v.end());
            v = out;
            return;
        }
        const size_t fromEnd = std::min(where, v.size());
        std::vector<FromItem> items = fromItems(v, from + 1, fromEnd);
        size_t hit = items.size();
        for (size_t k = 0; k < items.size(); ++k)
            if (QString::compare(items[k].alias, target.t.text, Qt::CaseInsensitive) == 0) {
                hit = k;
                break;
            }
        if (hit == items.size())
            return;   // not a shape of the subset: SQLite will say what is wrong
        const FromItem& t = items[hit];
        out.push_back(word("update"));
        out.push_back(raw(t.table));
        out.push_back(word("as"));
        out.push_back(raw(quoteName(t.alias)));
        out.push_back(word("set"));
        out.insert(out.end(), assignments.begin(), assignments.end());
        bool innerOnly = true;
        for (size_t k = 1; k < items.size(); ++k)
            if (items[k].joinKind != u"inner" && items[k].joinKind != u",")
                innerOnly = false;
        if (items.size() == 1) {
            out.insert(out.end(), v.begin() + long(where), v.end());
        } else if (hit == 0 && innerOnly) {
            out.push_back(word("from"));
            Vec conditions;
            for (size_t k = 1; k < items.size(); ++k) {
                if (k > 1)
                    out.push_back(symbol(","));
                out.insert(out.end(), v.begin() + long(items[k].begin), v.begin() + long(items[k].end));
                if (items[k].onEnd > items[k].onBegin) {
                    if (!conditions.empty())
                        conditions.push_back(word("and"));
                    conditions.push_back(symbol("("));
                    conditions.insert(conditions.end(), v.begin() + long(items[k].onBegin),
                                      v.begin() + long(items[k].onEnd));
                    conditions.push_back(symbol(")"));
                }
            }
            if (where < v.size()) {
                if (!conditions.empty())
                    conditions.push_back(word("and"));
                conditions.push_back(symbol("("));
                conditions.insert(conditions.end(), v.begin() + long(where) + 1, v.end());
                conditions.push_back(symbol(")"));
            }
            if (!conditions.empty()) {
                out.push_back(word("where"));
                out.insert(out.end(), conditions.begin(), conditions.end());
            }
        } else {
            // Other joins: pick the rows through their rowid.
            out.push_back(word("where"));
            out.push_back(raw(quoteName(t.alias) + QStringLiteral(".rowid")));
            out.push_back(word("in"));
            out.push_back(symbol("("));
            out.push_back(word("select"));
            out.push_back(raw(quoteName(t.alias) + QStringLiteral(".rowid")));
            out.insert(out.end(), v.begin() + long(from), v.end());
            out.push_back(symbol(")"));
        }
        v = out;
    }

    // delete tb where … | delete from tb … | delete d from … inner join … where …
    void deleteStatement(Vec& v)
    {
        if (v.size() < 2)
            return;
        if (v[1].t.is("from")) {
            // delete from T [alias] from … is not a shape the system uses; leave it to SQLite.
            return;
        }
        const NT target = v[1];
        const size_t from = topLevel(v, 2, {"from"});
        Vec out;
        out.push_back(word("delete"));
        out.push_back(word("from"));
        if (from >= v.size()) {
            out.push_back(target);
            out.insert(out.end(), v.begin() + 2, v.end());
            v = out;
            return;
        }
        const size_t where = topLevel(v, from + 1, {"where"});
        std::vector<FromItem> items = fromItems(v, from + 1, std::min(where, v.size()));
        QString table;
        QString alias;
        for (const FromItem& it : items)
            if (QString::compare(it.alias, target.t.text, Qt::CaseInsensitive) == 0) {
                table = it.table;
                alias = it.alias;
                break;
            }
        if (table.isEmpty()) {
            table = target.out;
            alias = target.t.text;
        }
        out.push_back(raw(table));
        out.push_back(word("where"));
        out.push_back(word("rowid"));
        out.push_back(word("in"));
        out.push_back(symbol("("));
        out.push_back(word("select"));
        out.push_back(raw(quoteName(alias) + QStringLiteral(".rowid")));
        out.insert(out.end(), v.begin() + long(from), v.end());
        out.push_back(symbol(")"));
        v = out;
    }

    // create table T (…): identity columns, text collation, temp tables, server clauses.
    void createTable(Vec& v)
    {
        NT& name = v[2];
        const bool temp = name.t.text.startsWith(u'#');
        // References to other tables must stay unqualified for SQLite's foreign keys.
        size_t open = 3;
        if (open >= v.size() || !v[open].t.isSymbol("("))
            return;
        // Split column definitions at top-level commas up to the matching parenthesis.
        std::vector<std::pair<size_t, size_t>> defs;
        int depth = 0;
        size_t start = open + 1;
        size_t close = v.size();
        for (size_t i = open; i < v.size(); ++i) {
            if (v[i].t.isSymbol("(")) {
                ++depth;
            } else if (v[i].t.isSymbol(")")) {
                if (--depth == 0) {
                    defs.push_back({start, i});
                    close = i;
                    break;
                }
            } else if (depth == 1 && v[i].t.isSymbol(",")) {
                defs.push_back({start, i});
                start = i + 1;
            }
        }
        if (close == v.size())
            return;
        QString identity;
        for (auto [b, e] : defs) {
            if (b < e && v[b].t.isName() && !isOneOf(v[b].t, {"constraint", "primary", "unique", "foreign", "check"})
                && b + 1 < e && v[b + 1].t.is("identity") == false) {
                for (size_t k = b + 1; k < e; ++k)
                    if (v[k].t.is("identity")) {
                        identity = v[b].t.text;
                        break;
                    }
            }
        }
        Vec out(v.begin(), v.begin() + 2);
        if (temp)
            out.insert(out.begin() + 1, word("temp"));
        out.push_back(name);
        out.push_back(symbol("("));
        bool first = true;
        for (auto [b, e] : defs) {
            Vec d(v.begin() + long(b), v.begin() + long(e));
            if (d.empty())
                continue;
            const bool constraint = isOneOf(d[0].t, {"constraint", "primary", "unique", "foreign", "check"});
            Vec r;
            if (constraint) {
                // Drop a primary key that only restates the identity column.
                size_t pk = d.size();
                for (size_t k = 0; k < d.size(); ++k)
                    if (d[k].t.is("primary"))
                        pk = k;
                if (pk < d.size() && !identity.isEmpty()) {
                    size_t k = pk + 2;
                    while (k < d.size() && !d[k].t.isSymbol("("))
                        ++k;
                    if (k + 2 < d.size() && d[k + 2].t.isSymbol(")")
                        && QString::compare(d[k + 1].t.text, identity, Qt::CaseInsensitive) == 0)
                        continue;
                }
                for (size_t k = 0; k < d.size(); ++k) {
                    if (d[k].t.is("clustered") || d[k].t.is("nonclustered"))
                        continue;
                    if (d[k].t.is("references") && k + 1 < d.size())
                        d[k + 1].out = quoteName(d[k + 1].t.text);
                    if (d[k].t.is("with") && k + 1 < d.size() && d[k + 1].t.isSymbol("(")) {
                        int dd = 0;
                        for (++k; k < d.size(); ++k) {
                            if (d[k].t.isSymbol("("))
                                ++dd;
                            else if (d[k].t.isSymbol(")") && --dd == 0)
                                break;
                        }
                        continue;
                    }
                    if (d[k].t.is("on") && k + 1 < d.size() && d[k + 1].t.is("primary")) {
                        ++k;
                        continue;
                    }
                    r.push_back(d[k]);
                }
            } else {
                r.push_back(d[0]);
                size_t k = 1;
                bool isIdentity = QString::compare(d[0].t.text, identity, Qt::CaseInsensitive) == 0;
                if (isIdentity) {
                    r.push_back(raw(QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")));
                    // skip the type
                    if (k < d.size())
                        ++k;
                    if (k < d.size() && d[k].t.isSymbol("(")) {
                        while (k < d.size() && !d[k].t.isSymbol(")"))
                            ++k;
                        ++k;
                    }
                } else if (k < d.size() && d[k].t.isName()) {
                    const QString type = d[k].t.text;
                    r.push_back(d[k]);
                    ++k;
                    if (k < d.size() && d[k].t.isSymbol("(")) {
                        if (k + 2 < d.size() && d[k + 1].t.is("max")) {
                            k += 3;
                        } else {
                            while (k < d.size() && !d[k].t.isSymbol(")"))
                                r.push_back(d[k++]);
                            if (k < d.size())
                                r.push_back(d[k++]);
                        }
                    }
                    if (isTextType(type)) {
                        if (k + 1 < d.size() && d[k].t.is("collate"))
                            k += 2;
                        r.push_back(word("COLLATE"));
                        r.push_back(word("TR_CI"));
                        // Values longer than the declared length are refused, as the server
                        // refuses them (trailing blanks aside).
                        const QString lower = type.toLower();
                        bool sized = false;
                        const int length = r.size() >= 5 && r[r.size() - 3].t.isSymbol(")")
                            ? r[r.size() - 4].t.text.toInt(&sized)
                            : 0;
                        if (sized && length > 0 && lower != u"text" && lower != u"ntext")
                            r.push_back(raw(QStringLiteral("CONSTRAINT \"String or binary data would be truncated.\" "
                                                           "CHECK (length(rtrim(%1)) <= %2)")
                                                .arg(quoteName(d[0].t.text))
                                                .arg(length)));
                    }
                }
                for (; k < d.size(); ++k) {
                    const NT& n = d[k];
                    if (n.t.is("clustered") || n.t.is("nonclustered"))
                        continue;
                    if (n.t.is("identity")) {
                        if (k + 1 < d.size() && d[k + 1].t.isSymbol("(")) {
                            while (k < d.size() && !d[k].t.isSymbol(")"))
                                ++k;
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
            }
            if (!first)
                out.push_back(symbol(","));
            first = false;
            out.insert(out.end(), r.begin(), r.end());
        }
        out.push_back(symbol(")"));
        // Anything after the parenthesis (on [PRIMARY], textimage_on …) is storage detail.
        v = out;
    }

    // ---- '+' on text ------------------------------------------------------------------------

    static bool isOperand(const NT& n)
    {
        switch (n.t.kind) {
        case TokenKind::Number:
        case TokenKind::String:
        case TokenKind::QuotedName:
            return true;
        case TokenKind::Word:
            return !isExpressionBoundary(n) || n.t.is("null");
        case TokenKind::Symbol:
            return n.t.text == u"." || n.t.text == u"*" || n.t.text == u"/" || n.t.text == u"%"
                || n.t.text == u"~" || n.t.text == u"?" || n.t.text == u"\x01";
        }
        return false;
    }

    static size_t closeOf(const Vec& v, size_t open, size_t end)
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

    static size_t caseEnd(const Vec& v, size_t at, size_t end)
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

    static NT opToken(const QString& op)
    {
        NT n;
        n.t.kind = TokenKind::Symbol;
        n.t.text = op;
        n.out = op;
        return n;
    }

    static void emitPlain(Vec& out, std::vector<Vec>& terms, const std::vector<QString>& ops)
    {
        for (size_t k = 0; k < terms.size(); ++k) {
            if (k > 0)
                out.push_back(opToken(ops[k - 1]));
            out.insert(out.end(), terms[k].begin(), terms[k].end());
        }
    }

    // Terms handed to one call: SQLite takes at most 127 arguments per function.
    static constexpr size_t kChainArguments = 100;

    // Emits the terms as arguments of one call: directly when few, else packed into
    // orra_list values (lists of lists when very many), which orra_add unpacks in order.
    static void emitPacked(Vec& out, std::vector<Vec>& terms, size_t from, size_t to)
    {
        const size_t count = to - from;
        if (count <= kChainArguments) {
            for (size_t k = from; k < to; ++k) {
                if (k > from)
                    out.push_back(symbol(","));
                out.insert(out.end(), terms[k].begin(), terms[k].end());
            }
            return;
        }
        size_t chunk = kChainArguments;
        while (count > chunk * kChainArguments)
            chunk *= kChainArguments;
        for (size_t k = from; k < to; k += chunk) {
            if (k > from)
                out.push_back(symbol(","));
            out.push_back(word("orra_list"));
            out.push_back(symbol("("));
            emitPacked(out, terms, k, std::min(to, k + chunk));
            out.push_back(symbol(")"));
        }
    }

    // Emits a chain t0 op1 t1 op2 t2 … that holds at least one '+', evaluated from the left as
    // the server does: each run of '+' becomes one orra_add call (text concatenation or
    // arithmetic by the values' types) and the other operators keep their place, so that
    // neither the nesting depth nor the translation time grows with the number of terms.
    static void emitChain(Vec& out, std::vector<Vec>& terms, const std::vector<QString>& ops)
    {
        struct Group {
            bool plus;
            size_t first, last;   // the terms after the left operand: [first, last)
        };
        std::vector<Group> groups;
        for (size_t k = 0; k < ops.size();) {
            if (ops[k] == u"+") {
                size_t m = k;
                while (m < ops.size() && ops[m] == u"+")
                    ++m;
                groups.push_back({true, k + 1, m + 1});
                k = m;
            } else {
                groups.push_back({false, k + 1, k + 2});
                ++k;
            }
        }
        for (auto g = groups.rbegin(); g != groups.rend(); ++g) {
            if (g->plus)
                out.push_back(word("orra_add"));
            out.push_back(symbol("("));
        }
        out.insert(out.end(), terms[0].begin(), terms[0].end());
        for (const Group& g : groups) {
            if (g.plus) {
                out.push_back(symbol(","));
                emitPacked(out, terms, g.first, g.last);
            } else {
                out.push_back(opToken(ops[g.first - 1]));
                out.insert(out.end(), terms[g.first].begin(), terms[g.first].end());
            }
            out.push_back(symbol(")"));
        }
    }

    // Rewrites a + b as orra_add(a, b) (text concatenation or arithmetic by the values'
    // types, as the server decides) over a token range; parenthesised groups and case
    // expressions are rewritten inside.
    static Vec rewriteRange(const Vec& v, size_t b, size_t e)
    {
        Vec out;
        // Segments between boundary tokens at this level.
        size_t i = b;
        while (i < e) {
            // One additive chain: operand (op operand)*
            std::vector<Vec> terms;
            std::vector<QString> ops;
            Vec term;
            bool expectOperand = true;
            size_t j = i;
            bool plus = false;
            while (j < e) {
                const NT& n = v[j];
                if (n.t.isSymbol("(")) {
                    const size_t c = closeOf(v, j, e);
                    Vec inner = rewriteRange(v, j + 1, std::min(c, e));
                    term.push_back(n);
                    term.insert(term.end(), inner.begin(), inner.end());
                    if (c < e)
                        term.push_back(v[c]);
                    j = c + 1;
                    expectOperand = false;
                    continue;
                }
                if (n.t.is("case")) {
                    const size_t c = caseEnd(v, j, e);
                    term.push_back(n);
                    Vec inner = rewriteRange(v, j + 1, std::min(c, e));
                    term.insert(term.end(), inner.begin(), inner.end());
                    if (c < e)
                        term.push_back(v[c]);
                    j = c + 1;
                    expectOperand = false;
                    continue;
                }
                if (n.t.kind == TokenKind::Symbol
                    && (n.t.text == u"+" || n.t.text == u"-" || n.t.text == u"&" || n.t.text == u"|")) {
                    if (expectOperand) {
                        // unary sign
                        term.push_back(n);
                        ++j;
                        continue;
                    }
                    terms.push_back(term);
                    term.clear();
                    ops.push_back(n.t.text);
                    if (n.t.text == u"+")
                        plus = true;
                    expectOperand = true;
                    ++j;
                    continue;
                }
                if (isOperand(n)) {
                    const bool atom = n.t.kind != TokenKind::Symbol;
                    if (atom && !term.empty()) {
                        const NT& last = term.back();
                        const bool joins = last.t.kind == TokenKind::Symbol && last.t.text != u")"
                            && last.t.text != u"\x01";
                        if (!joins)
                            break;   // two atoms in a row: an alias follows the expression
                    }
                    term.push_back(n);
                    expectOperand = false;
                    ++j;
                    continue;
                }
                break;
            }
            terms.push_back(term);
            if (plus && !expectOperand)
                emitChain(out, terms, ops);
            else
                emitPlain(out, terms, ops);
            if (j < e) {
                // A boundary token: copy it and go on.
                out.push_back(v[j]);
                ++j;
            }
            i = j;
        }
        return out;
    }

    // The operand that follows position i (a divisor): signs, then a parenthesised group, a
    // function call, a case expression or a (dotted) name or literal. Returns its end.
    static size_t operandEnd(const Vec& v, size_t i, size_t e)
    {
        while (i < e && v[i].t.kind == TokenKind::Symbol
               && (v[i].t.text == u"-" || v[i].t.text == u"+" || v[i].t.text == u"~"))
            ++i;
        if (i >= e)
            return e;
        if (v[i].t.isSymbol("("))
            return std::min(closeOf(v, i, e) + 1, e);
        if (v[i].t.is("case"))
            return std::min(caseEnd(v, i, e) + 1, e);
        if (v[i].t.kind == TokenKind::Symbol && v[i].t.text != u"\x01" && v[i].t.text != u"?")
            return i;   // not an operand: leave the text for SQLite to refuse
        ++i;
        if (i < e && v[i].t.isSymbol("(") && v[i - 1].t.kind == TokenKind::Word)
            return std::min(closeOf(v, i, e) + 1, e);
        while (i + 1 < e && v[i].t.isSymbol(".") && v[i + 1].t.kind != TokenKind::Symbol)
            i += 2;
        return i;
    }

    // Every divisor goes through orra_divisor, which refuses zero as the server does (SQLite
    // would give NULL).
    static Vec guardDivisors(const Vec& v, size_t b, size_t e)
    {
        Vec out;
        out.reserve(e - b);
        for (size_t i = b; i < e; ++i) {
            out.push_back(v[i]);
            if (!(v[i].t.isSymbol("/") || v[i].t.isSymbol("%")))
                continue;
            const size_t end = operandEnd(v, i + 1, e);
            if (end <= i + 1)
                continue;
            Vec inner = guardDivisors(v, i + 1, end);
            out.push_back(word("orra_divisor"));
            out.push_back(symbol("("));
            out.insert(out.end(), inner.begin(), inner.end());
            out.push_back(symbol(")"));
            i = end - 1;
        }
        return out;
    }

    // select [distinct] top N … becomes select [distinct] … limit N, the limit placed where
    // that select ends (its closing parenthesis, a union, or the end of the statement).
    static void rewriteTop(Vec& v)
    {
        for (size_t i = v.size(); i-- > 0;) {
            if (!v[i].t.is("select"))
                continue;
            size_t k = i + 1;
            if (k < v.size() && (v[k].t.is("distinct") || v[k].t.is("all")))
                ++k;
            if (k >= v.size() || !v[k].t.is("top"))
                continue;
            size_t countEnd = 0;
            NT count;
            if (k + 1 < v.size() && v[k + 1].t.kind == TokenKind::Number) {
                count = v[k + 1];
                countEnd = k + 2;
            } else if (k + 3 < v.size() && v[k + 1].t.isSymbol("(") && v[k + 2].t.kind == TokenKind::Number
                       && v[k + 3].t.isSymbol(")")) {
                count = v[k + 2];
                countEnd = k + 4;
            } else {
                continue;
            }
            if (countEnd < v.size() && (v[countEnd].t.is("percent") || v[countEnd].t.is("with")))
                continue;   // not in the subset: SQLite reports it
            int depth = 0;
            size_t end = v.size();
            for (size_t j = countEnd; j < v.size(); ++j) {
                const Token& t = v[j].t;
                if (t.isSymbol("(")) {
                    ++depth;
                } else if (t.isSymbol(")")) {
                    if (depth == 0) {
                        end = j;
                        break;
                    }
                    --depth;
                } else if (depth == 0 && isOneOf(t, {"union", "except", "intersect"})) {
                    end = j;
                    break;
                }
            }
            v.insert(v.begin() + long(end), {word("limit"), count});
            v.erase(v.begin() + long(k), v.begin() + long(countEnd));
        }
    }

    // The expression rewrites every statement goes through: top, divisors, '+' chains.
    static Vec rewriteAdditions(const Vec& input)
    {
        Vec v = input;
        bool top = false, divide = false, any = false;
        for (const NT& n : v) {
            if (n.t.isSymbol("+"))
                any = true;
            else if (n.t.isSymbol("/") || n.t.isSymbol("%"))
                divide = true;
            else if (n.t.is("top"))
                top = true;
        }
        if (top)
            rewriteTop(v);
        if (divide)
            v = guardDivisors(v, 0, v.size());
        if (!any)
            return v;
        return rewriteRange(v, 0, v.size());
    }

public:
    static QString render(const Vec& v)
    {
        QString s;
        s.reserve(int(v.size()) * 8);
        const NT* prev = nullptr;
        for (const NT& n : v) {
            if (prev) {
                const bool tight = prev->out == u"(" || prev->out == u"." || n.out == u")"
                    || n.out == u"," || n.out == u"."
                    || (n.out == u"(" && prev->t.kind == TokenKind::Word && !isExpressionBoundary(*prev));
                if (!tight)
                    s += u' ';
            }
            s += n.out;
            prev = &n;
        }
        return s;
    }
};

} // namespace

Translation translate(const QString& text, const QString& currentDatabase)
{
    Translation tr;
    LexResult lex = tokenize(text);
    if (!lex.error.isEmpty()) {
        tr.error = lex.error;
        return tr;
    }
    if (expressionDepth(lex.tokens) > kMaxNesting) {
        tr.error = nestedTooDeeply();
        tr.errorNumber = 191;
        return tr;
    }
    Translator t(lex.tokens, currentDatabase, tr);
    tr.statements = t.parseList(false);
    if (!tr.error.isEmpty())
        tr.statements.clear();
    return tr;
}

namespace {
struct Cache {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const Translation>> map;
};
Cache& cache()
{
    static Cache c;
    return c;
}
} // namespace

std::shared_ptr<const Translation> translateCached(const QString& text, const QString& currentDatabase)
{
    // The database as the server compares its names: two databases are one only when their
    // names fold alike.
    QString key = foldName(currentDatabase);
    key += QChar(0x1f);
    key += text;
    Cache& c = cache();
    {
        QMutexLocker lock(&c.mutex);
        auto it = c.map.constFind(key);
        if (it != c.map.constEnd())
            return it.value();
    }
    auto t = std::make_shared<const Translation>(translate(text, currentDatabase));
    QMutexLocker lock(&c.mutex);
    if (c.map.size() > 4096)
        c.map.clear();
    c.map.insert(key, t);
    return t;
}

void clearTranslationCache()
{
    QMutexLocker lock(&cache().mutex);
    cache().map.clear();
}

} // namespace orra::embedded
