#include "platform/db/embedded/translator/TranslationContext.h"

#include "platform/db/embedded/functions/StringFunctions.h"
#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/SqliteNames.h"
#include "platform/db/embedded/translator/TypedConversions.h"

#include <algorithm>

namespace orra::embedded::translator {

TranslationContext::TranslationContext(const std::vector<Token>& tokens, int textLength,
    const QString& currentDatabase, Translation& translation, const Schema* schema)
    : m_tokens(tokens), m_textLength(textLength), m_current(foldName(currentDatabase)), m_translation(translation),
      m_schema(schema), m_batchSchema(schema)
{
}

QString TranslationContext::schemaName(const QString& database) const
{
    if (database.isEmpty() || foldName(database) == m_current) return QStringLiteral("main");
    return database;
}

void TranslationContext::fail(const QString& message, size_t at)
{
    if (failed()) return;
    m_translation.error = message;
    m_translation.errorPosition = at < m_tokens.size() ? m_tokens[at].pos : m_textLength;
}

void TranslationContext::fail(const QString& message, long number, size_t at)
{
    if (failed()) return;
    fail(message, at);
    m_translation.errorNumber = number;
}

QString TranslationContext::near(size_t i) const
{
    if (i >= m_tokens.size()) return QStringLiteral("Incorrect syntax near the end of the statement.");
    return QStringLiteral("Incorrect syntax near '%1'.").arg(m_tokens[i].text);
}

const Variable* TranslationContext::variable(const QString& name) const
{
    const QString folded = foldName(name);
    for (const Variable& v : m_variables)
        if (v.name == folded) return &v;
    return nullptr;
}

const Variable& TranslationContext::declareVariable(const QString& name, size_t typeBegin, size_t typeEnd)
{
    m_variables.push_back(Variable{foldName(name), m_translation.variables++, typeBegin, typeEnd, QString()});
    return m_variables.back();
}

const Variable& TranslationContext::declareTableVariable(const QString& name)
{
    m_variables.push_back(Variable{foldName(name), -1, 0, 0, u'#' + m_tableVariableScope + foldName(name)});
    return m_variables.back();
}

Vec TranslationContext::convertedTo(const Variable& v, const Vec& expr, size_t sourceBegin, size_t sourceEnd)
{
    Vec out;
    emitConversion(out, expr, v.typeBegin, v.typeEnd, 1, sourceBegin, sourceEnd);
    return out;
}

SqlType TranslationContext::assignedType(const Variable& v, const QString& op, size_t b, size_t e) const
{
    if (b >= e || e > m_tokens.size()) return {};
    const SqlType x = ExpressionTyper(*this).typeOf(b, e);
    if (op.isEmpty() || op == u"=") return x;
    QString declared;
    for (size_t k = v.typeBegin; k < v.typeEnd; ++k) declared += m_tokens[k].text;
    return arithmeticType(op.front(), SqlType::fromDeclared(declared), x);
}

Vec TranslationContext::convertedTo(const Variable& v, const Vec& expr, const SqlType& source)
{
    Vec out;
    emitConversion(out, expr, v.typeBegin, v.typeEnd, 1, 0, 0, -1, {}, &source);
    return out;
}

Vec TranslationContext::convertedTo(const QString& declared, const Vec& expr, size_t sourceBegin, size_t sourceEnd)
{
    Vec out;
    emitConversion(out, expr, declared, 0, 0, 30, sourceBegin, sourceEnd, -1, {});
    return out;
}

int TranslationContext::lineOf(size_t i) const
{
    const int pos = i < m_tokens.size() ? m_tokens[i].pos : m_textLength;
    return int(std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), pos) - m_lineStarts.begin()) + 1;
}

size_t TranslationContext::matching(size_t open, size_t end) const
{
    int depth = 0;
    for (size_t i = open; i < end; ++i) {
        if (m_tokens[i].isSymbol("("))
            ++depth;
        else if (m_tokens[i].isSymbol(")")) {
            if (--depth == 0) return i;
        }
    }
    return end;
}

size_t TranslationContext::groupEnd(size_t i, size_t e) const
{
    if (m_tokens[i].isSymbol("(")) return std::min(matching(i, e), e);
    int cases = 0;
    int depth = 0;
    for (size_t k = i; k < e; ++k) {
        if (m_tokens[k].isSymbol("("))
            ++depth;
        else if (m_tokens[k].isSymbol(")"))
            --depth;
        else if (depth == 0 && m_tokens[k].is("case"))
            ++cases;
        else if (depth == 0 && m_tokens[k].is("end") && --cases == 0)
            return k;
    }
    return e;
}

QString TranslationContext::databaseRef(const QString& database)
{
    const QString db = foldName(database);
    if (database.isEmpty() || db == m_current) return QStringLiteral("main");
    bool known = false;
    for (const QString& d : std::as_const(m_translation.databases))
        if (foldName(d) == db) known = true;
    if (!known) m_translation.databases.append(database);
    return quoteName(database);
}

NT TranslationContext::tableRef(const QString& database, const QString& schema, const QString& object)
{
    NT n;
    n.t.kind = TokenKind::QuotedName;
    n.t.text = storedName(schema, object);
    if (object.startsWith(u'#')) {   // tempdb..#T, dbo.#T: the session's temporary table
        n.t.kind = TokenKind::Word;
        n.t.text = object;
        n.out = quoteName(object);
        return n;
    }
    n.out = databaseRef(database) + u'.' + quoteName(n.t.text);
    return n;
}

namespace {

// A numeric literal as SQLite reads it with the server's value: an integer beyond int is a
// decimal (so that 2147483649 / 2 does not divide as integers), and digits beyond what a double
// keeps exactly travel as the bytes of their text (see functions/ExactNumbers.h).
QString exactNumber(const QString& literal)
{
    if (literal.contains(u'e', Qt::CaseInsensitive)) return literal;
    int significant = 0;
    bool leading = true;
    for (const QChar c : literal) {
        if (!c.isDigit()) continue;
        if (leading && c == u'0') continue;
        leading = false;
        ++significant;
    }
    if (significant > 15) return QStringLiteral("X'") + QString::fromLatin1(literal.toLatin1().toHex()) + u'\'';
    if (!literal.contains(u'.')) {
        bool ok = false;
        const qlonglong v = literal.toLongLong(&ok);
        if (ok && v > 2147483647LL) return literal + QStringLiteral(".0");
    }
    return literal;
}

bool endsName(const Vec& v)
{
    if (v.empty()) return false;
    const NT& b = v.back();
    return (b.t.isName() && !isExpressionBoundary(b.t)) || b.t.isSymbol(")");
}

// @@identity and the other server values, as SQLite functions; nullptr for one the server
// does not know.
const char* serverValueFunction(const Token& t)
{
    const QString v = t.text.mid(2).toLower();
    if (v == u"identity") return "orra_identity";
    if (v == u"spid") return "orra_spid";
    if (v == u"version") return "orra_version";
    if (v == u"servername") return "orra_servername";
    if (v == u"rowcount") return "orra_rowcount";
    if (v == u"error") return "orra_error";
    if (v == u"trancount") return "orra_trancount";
    if (v == u"datefirst") return "orra_datefirst";
    if (v == u"language") return "orra_language";
    if (v == u"nestlevel") return "orra_nestlevel";
    if (v == u"fetch_status") return "orra_fetch_status";
    if (v == u"cursor_rows") return "orra_cursor_rows";
    return nullptr;
}

// The server's functions under the names the embedded server gives them.
const char* mappedFunction(const Token& t)
{
    static const struct {
        const char* from;
        const char* to;
    } functions[] = {
        {"isnull", "ifnull"},
        {"suser_sid", "orra_suser_sid"},
        {"suser_sname", "orra_suser_sname"},
        {"user_name", "orra_user_name"},
        {"db_name", "orra_db_name"},
        {"db_id", "orra_db_id"},
        {"log", "orra_log"},
        {"square", "orra_square"},
        {"round", "orra_round"},
        {"atn2", "orra_atn2"},
        {"cot", "orra_cot"},
        {"rand", "orra_rand"},
        {"choose", "orra_choose"},
        {"greatest", "orra_greatest"},
        {"least", "orra_least"},
        {"newid", "orra_newid"},
        {"host_name", "orra_host_name"},
        {"app_name", "orra_app_name"},
        {"count_big", "count"},
        {"xact_state", "orra_xact_state"},
        {"object_name", "orra_object_name"},
        {"object_schema_name", "orra_object_schema_name"},
        {"len", "orra_len"},
        {"scope_identity", "orra_scope_identity"},
        {"ident_current", "orra_ident_current"},
        {"ident_seed", "orra_ident_seed"},
        {"ident_incr", "orra_ident_incr"},
        {"object_id", "orra_object_id"},
        {"user_id", "orra_user_id"},
        {"suser_name", "orra_suser_sname"},
        {"json_value", "orra_json_value"},
        {"schema_id", "orra_schema_id"},
        {"schema_name", "orra_schema_name"},
        {"col_name", "orra_col_name"},
        {"col_length", "orra_col_length"},
        {"json_query", "orra_json_query"},
    };
    for (const auto& f : functions)
        if (t.is(f.from)) return f.to;
    return nullptr;
}

}   // namespace

bool TranslationContext::isOdbcDateEscape(size_t i, size_t e) const
{
    return i + 3 < e && m_tokens[i].isSymbol("{") && m_tokens[i + 3].isSymbol("}")
        && (m_tokens[i + 1].is("d") || m_tokens[i + 1].is("t") || m_tokens[i + 1].is("ts"))
        && m_tokens[i + 2].kind == TokenKind::String;
}

Vec TranslationContext::normalize(size_t b, size_t e)
{
    const std::vector<Token>& T = m_tokens;
    Vec out;
    for (size_t i = b; i < e; ++i) {
        const Token& t = T[i];
        // SQLite's own names are no names of the server's.
        if (isSqliteOwnTable(t)) {
            fail(QStringLiteral("Invalid object name '%1'.").arg(t.text), 208, i);
            return out;
        }
        if (i + 1 < e && T[i + 1].isSymbol("(") && isSqliteOnlyFunction(t) && !(i > b && T[i - 1].isSymbol("."))) {
            fail(QStringLiteral("'%1' is not a recognized built-in function name.").arg(t.text), 195, i);
            return out;
        }
        if (i + 1 < e && T[i + 1].isSymbol("(") && !(i > 0 && T[i - 1].isSymbol(".")) && !namesObject(i)
            && !builtinCallFits(i, e))
            return out;
        // {d '…'}, {t '…'}, {ts '…'}: the ODBC escapes stand for datetime values
        if (isOdbcDateEscape(i, e)) {
            out.push_back(NT{t, QLatin1String(dates::kToDate) + u'('});
            out.push_back(NT{T[i + 2], T[i + 2].text});
            out.push_back(NT{T[i + 3], QStringLiteral(", 'datetime', -1, 121)")});
            i += 3;
            continue;
        }
        // Table hints: T (nolock), T x with (nolock, rowlock) …
        if (t.isSymbol("(") && i + 1 < e && isHintWord(T[i + 1])) {
            size_t j = i + 1;
            while (j < e && isHintWord(T[j])) {
                ++j;
                if (j < e && T[j].isSymbol(",")) ++j;
            }
            if (j < e && T[j].isSymbol(")") && (endsName(out) || (!out.empty() && out.back().t.is("with")))) {
                if (!out.empty() && out.back().t.is("with")) out.pop_back();
                i = j;
                continue;
            }
        }
        // Two- and three-part names of tables, views and the server's information schema.
        if ((t.isName() && !isExpressionBoundary(t) && (out.empty() || !out.back().t.isSymbol(".")))
            || (t.isSymbol(".") && !endsName(out))) {
            const ObjectName name = readObjectName(T, i, e);
            if (name.parts >= 2 && userFunctionCall(out, name, i, e)) {
                if (failed()) return out;
                continue;
            }
            if (name.parts >= 2 && objectReference(out, name)) {
                i = name.end - 1;
                continue;
            }
        }
        if (t.kind == TokenKind::Word && t.text.startsWith(QStringLiteral("@@"))) {
            const char* fn = serverValueFunction(t);
            if (!fn) {
                fail(QStringLiteral("Incorrect syntax near '%1'.").arg(t.text), i);
                return out;
            }
            out.push_back(word(fn));
            out.push_back(symbol("("));
            out.push_back(symbol(")"));
            continue;
        }
        if (t.kind == TokenKind::Word && t.text.startsWith(u'@')) {
            const Variable* var = variable(t.text);
            if (!var) {
                // Where a table goes, the name is a table variable's.
                if (i > 0 && isOneOf(T[i - 1], {"from", "join", "into", "update", "table", "insert", "delete"}))
                    fail(QStringLiteral("Must declare the table variable \"%1\".").arg(t.text), 1087, i);
                else
                    fail(QStringLiteral("Must declare the scalar variable \"%1\".").arg(t.text), 137, i);
                return out;
            }
            NT n;
            n.t = t;
            if (var->slot >= 0) {
                n.out = QStringLiteral(":v%1").arg(var->slot);
            } else {   // a table variable reads as its temporary table
                n.t.text = var->table;
                n.out = quoteName(var->table);
            }
            out.push_back(n);
            continue;
        }
        if (t.kind == TokenKind::Word && i + 1 < e && T[i + 1].isSymbol("(") && !namesObject(i) && functionCall(out, i, e))
            continue;
        if (t.is("current_timestamp")) {
            out.insert(out.end(), {word("orra_getdate"), symbol("("), symbol(")")});
            continue;
        }
        // the login's and the database user's names
        if (t.is("system_user") || t.is("current_user") || t.is("session_user")) {
            out.insert(out.end(), {word(t.is("system_user") ? "orra_suser_sname" : "orra_user_name"), symbol("("), symbol(")")});
            continue;
        }
        if (t.is("like")) markLikeSubject(out);
        NT n;
        n.t = t;
        if (t.kind == TokenKind::Number && t.text.startsWith(u'$')) {   // $12.50 is money
            out.insert(out.end(), {word("cast"), symbol("("), number(t.text.mid(1)), word("as"), word("money"), symbol(")")});
            continue;
        }
        if (isBinaryLiteral(t)) {
            n.out = QStringLiteral("X'") + binaryDigits(t) + u'\'';
            out.push_back(n);
            continue;
        }
        if (t.kind == TokenKind::Number) {
            n.out = exactNumber(t.text);
            // a sign before digits kept as text belongs to the text (-922337203685477.5808)
            const bool unary = !out.empty() && out.back().t.isSymbol("-")
                && (out.size() == 1 || (out[out.size() - 2].t.kind == TokenKind::Symbol && !out[out.size() - 2].t.isSymbol(")"))
                    || (out[out.size() - 2].t.kind == TokenKind::Word && isExpressionBoundary(out[out.size() - 2].t)));
            if (unary && n.out.startsWith(QLatin1String("X'"))) {
                out.pop_back();
                n.out = exactNumber(u'-' + t.text);
            }
            out.push_back(n);
            continue;
        }
        if (t.kind == TokenKind::QuotedName || (t.kind == TokenKind::Word && t.text.startsWith(u'#'))
            || (t.kind == TokenKind::Word && isSqliteOnlyKeyword(t)))
            n.out = quoteName(t.text);
        else if (t.isSymbol("!<") || t.isSymbol("!>"))   // not less than, not greater than
            n.out = t.text == u"!<" ? QStringLiteral(">=") : QStringLiteral("<=");
        else
            n.out = t.text;
        out.push_back(n);
    }
    return out;
}

// The name at i, before a parenthesis, names a table, a view, a routine or a common table
// expression (create table Log (…), insert into Count (…), from Log (nolock), on T (…) of an
// index): no call.
bool TranslationContext::namesObject(size_t i) const
{
    if (i == 0) return false;
    const Token& before = m_tokens[i - 1];
    if (isOneOf(before, {"from", "join", "apply"})) return !m_tokens[i].is("string_split");   // the one table function
    if (isOneOf(before,
            {"table", "into", "update", "references", "exec", "execute", "procedure", "proc", "function", "view",
                "merge", "with"}))
        return true;
    return before.is("on") && i >= 3 && m_tokens[i - 3].is("index");
}

// A call at i of a built-in function: SQLite's date, time and datetime are no functions of the
// server's (as type names they stay), and a function of the server's takes its own argument
// counts. False, the error set, when the call is refused.
bool TranslationContext::builtinCallFits(size_t i, size_t e)
{
    const Token& t = m_tokens[i];
    if (isSqliteDateFunction(t)) {
        const Token* before = i > 0 ? &m_tokens[i - 1] : nullptr;
        const bool typeName = before
            && ((before->kind == TokenKind::Word && (!isExpressionBoundary(*before) || before->is("as")))
                || (before->isSymbol("(") && i > 1 && (m_tokens[i - 2].is("convert") || m_tokens[i - 2].is("try_convert"))));
        if (typeName) return true;
        fail(QStringLiteral("'%1' is not a recognized built-in function name.").arg(t.text), 195, i);
        return false;
    }
    // Functions whose values are SQL Server's own and undocumented: nothing else stands in for them.
    if (!(i > 0 && m_tokens[i - 1].isSymbol("."))) {
        const char* what = isOneOf(t, {"checksum", "binary_checksum", "checksum_agg"}) ? "hash values"
            : isOneOf(t, {"type_id", "type_name"})                                   ? "numbers of its types"
                                                                                     : nullptr;
        if (what) {
            fail(QStringLiteral("The embedded server does not run %1: SQL Server's %2 are its own, and no others "
                                "would give them.")
                     .arg(t.text.toUpper(), QLatin1String(what)),
                0, i);
            return false;
        }
    }
    const BuiltinArity* f = builtinArity(t.text);
    if (!f) return true;
    const size_t close = matching(i + 1, e);
    if (close >= e) return true;
    int count = close == i + 2 ? 0 : 1;
    for (size_t k = i + 2; k < close; ++k) {
        if (m_tokens[k].isSymbol("(")) {
            k = matching(k, close);
            continue;
        }
        if (m_tokens[k].isSymbol(",")) ++count;
    }
    long number = 0;
    const QString error = argumentCountError(f->tsql, f->minArgs, f->maxArgs, count, number);
    if (error.isEmpty()) return true;
    fail(error, number, i);
    return false;
}

// A function call at i: cast and convert become SQLite conversions (i then on their closing
// parenthesis), the server's functions take SQLite's names (i stays, the arguments follow).
// False for any other function.
bool TranslationContext::functionCall(Vec& out, size_t& i, size_t e)
{
    const Token& t = m_tokens[i];
    if (t.is("cast")) {
        const size_t close = matching(i + 1, e);
        const size_t as = firstAtTopLevel(i + 2, close, [](const Token& tok) { return tok.is("as"); });
        if (close < e && as < close) {
            emitConversion(out, normalize(i + 2, as), as + 1, close, 30, i + 2, as);
            i = close;
            return true;
        }
    }
    if (t.is("convert")) {
        const size_t close = matching(i + 1, e);
        const auto isComma = [](const Token& tok) { return tok.isSymbol(","); };
        const size_t comma = firstAtTopLevel(i + 2, close, isComma);
        if (close < e && comma < close) {
            // A style written as a number is kept for the conversions that follow one.
            const size_t exprEnd = firstAtTopLevel(comma + 1, close, isComma);
            int style = -1;
            QString styleText;   // a style given by a variable or another expression
            if (exprEnd + 2 == close && m_tokens[exprEnd + 1].kind == TokenKind::Number)
                style = m_tokens[exprEnd + 1].text.toInt();
            else if (exprEnd + 1 < close)
                styleText = render(normalize(exprEnd + 1, close));
            emitConversion(
                out, normalize(comma + 1, exprEnd), i + 2, comma, 30, comma + 1, exprEnd, style, styleText);
            i = close;
            return true;
        }
    }
    if (const dates::FunctionName* f = dates::functionNamed(t.text)) return dateFunctionCall(out, i, e, *f);
    if (stringFunctionCall(out, i, e)) return true;
    if (percentileCall(out, i, e)) return true;
    if (const char* to = mappedFunction(t)) {
        // the server's name stays on the token, for the rewrites by type
        out.push_back(NT{t, QString::fromLatin1(to)});
        return true;
    }
    return false;
}

// A call of the date family at i (i then on its closing parenthesis when the translator
// writes the whole call): a leading date part keyword becomes its name as text, and a
// string literal given to DATEADD is read as datetime, whose type the result then has.
bool TranslationContext::dateFunctionCall(Vec& out, size_t& i, size_t e, const dates::FunctionName& f)
{
    const size_t close = matching(i + 1, e);
    if (close < e) {
        const int count = close == i + 2 ? 0 : int(splitTop(i + 2, close, [&](size_t k) { return m_tokens[k].isSymbol(","); }).size());
        long number = 0;
        if (const QString error = argumentCountError(f.tsql, f.minArgs, f.maxArgs, count, number); !error.isEmpty()) {
            fail(error, number, i);
            return true;
        }
    }
    out.push_back(word(f.sqlite));
    if (!f.datePartFirst) return true;
    const auto isComma = [](const Token& tok) { return tok.isSymbol(","); };
    const size_t comma = firstAtTopLevel(i + 2, close, isComma);
    if (close >= e || comma >= close) {
        fail(near(close), 102, close);
        return true;
    }
    const QString part = comma == i + 3 ? dates::datePartNamed(m_tokens[i + 2].text) : QString();
    if (part.isEmpty() || m_tokens[i + 2].kind != TokenKind::Word) {
        fail(QStringLiteral("'%1' is not a recognized %2 option.")
                 .arg(m_tokens[i + 2].text, m_tokens[i].text.toLower()),
            155, i + 2);
        return true;
    }
    out.push_back(symbol("("));
    out.push_back(raw(u'\'' + part + u'\''));
    // A literal date of DATEPART, DATENAME and DATEDIFF is read as datetime2 (datetimeoffset
    // with an offset): a time alone then still has the date parts of 1900-01-01.
    const bool readsLiterals = qstrcmp(f.tsql, "dateadd") != 0;
    auto literalArgument = [&](size_t b, size_t end) {
        if (!readsLiterals || end != b + 1 || m_tokens[b].kind != TokenKind::String) return false;
        QString text = m_tokens[b].text;
        if (text.startsWith(u'N') || text.startsWith(u'n')) text = text.mid(1);
        const bool offset = dates::fromText(text.mid(1, text.size() - 2), dates::Type{dates::Kind::DateTimeOffset, 7},
            dates::Settings())
                                .hasOffset;
        out.insert(out.end(), {word(dates::kToDate), symbol("("), NT{m_tokens[b], m_tokens[b].text}, symbol(","),
                                  raw(offset ? QStringLiteral("'datetimeoffset'") : QStringLiteral("'datetime2'")),
                                  symbol(","), number(QStringLiteral("7")), symbol(","), word("null"), symbol(")")});
        return true;
    };
    const bool literalDate = qstrcmp(f.tsql, "dateadd") == 0 && close >= 2 && m_tokens[close - 1].kind == TokenKind::String
        && m_tokens[close - 2].isSymbol(",");
    const size_t argsEnd = literalDate ? close - 2 : close;
    for (size_t k = comma; k < argsEnd;) {
        const size_t next = firstAtTopLevel(k + 1, argsEnd, isComma);
        out.push_back(symbol(","));
        if (!literalArgument(k + 1, next)) {
            const Vec arg = normalize(k + 1, next);
            out.insert(out.end(), arg.begin(), arg.end());
        }
        k = next;
    }
    if (literalDate) {
        out.insert(out.end(), {symbol(","), word(dates::kToDate), symbol("("), NT{m_tokens[close - 1], m_tokens[close - 1].text},
            symbol(","), raw(QStringLiteral("'datetime'")), symbol(","), number(QStringLiteral("-1")), symbol(","),
            word("null"), symbol(","), number(QStringLiteral("1")), symbol(")")});
    }
    // The date's declared type goes with it where the value's text cannot tell it (datetime2(3)
    // reads as datetime, datetime2(0) as smalldatetime) and the type decides the result.
    if (f.typedDate) {
        const size_t date = literalDate ? close - 1 : splitTop(i + 2, close, [&](size_t k) { return m_tokens[k].isSymbol(","); }).back().first;
        const SqlType d = literalDate ? SqlType::fromDeclared(QStringLiteral("datetime")) : ExpressionTyper(*this).typeOf(date, close);
        out.push_back(symbol(","));
        out.push_back(raw(d.isDateOrTime() ? u'\'' + d.declaration() + u'\'' : QStringLiteral("null")));
    }
    out.push_back(symbol(")"));
    i = close;
    return true;
}

// The date or time type of the expression [b, e) when its form tells it (a conversion to one,
// a function of the date family with a fixed type); "-" when its form tells that it is no
// date (a literal, a server value, a function of another family); else empty.
QString TranslationContext::sourceDateType(size_t b, size_t e) const
{
    if (b + 1 == e
        && (m_tokens[b].kind == TokenKind::String || m_tokens[b].kind == TokenKind::Number
            || m_tokens[b].text.startsWith(QStringLiteral("@@"))))
        return QStringLiteral("-");
    if (b >= e || m_tokens[b].kind != TokenKind::Word || b + 1 >= e || !m_tokens[b + 1].isSymbol("(")
        || matching(b + 1, e) != e - 1)
        return QString();
    if (mappedFunction(m_tokens[b])) return QStringLiteral("-");
    auto typeAt = [&](size_t k, size_t end) {
        if (k >= end || !dates::typeNamed(m_tokens[k].text)) return QString();
        QString t = m_tokens[k].text.toLower();
        if (k + 3 < end && m_tokens[k + 1].isSymbol("(") && m_tokens[k + 3].isSymbol(")"))
            t += u'(' + m_tokens[k + 2].text + u')';
        return t;
    };
    if (m_tokens[b].is("cast")) {
        const size_t as = firstAtTopLevel(b + 2, e - 1, [](const Token& tok) { return tok.is("as"); });
        return typeAt(as + 1, e - 1);
    }
    if (m_tokens[b].is("convert")) return typeAt(b + 2, e - 1);
    if (const dates::FunctionName* f = dates::functionNamed(m_tokens[b].text); f && f->result) {
        const QString r = QString::fromLatin1(f->result);
        if (dates::typeNamed(r.section(u'(', 0, 0))) return r;
    }
    return QString();
}

// Emits the SQLite form of a T-SQL type conversion of expr; the source's tokens and CONVERT's
// style (-1 for none) when known.
void TranslationContext::emitConversion(Vec& out, const Vec& given, size_t typeBegin, size_t typeEnd,
    int defaultLength, size_t sourceBegin, size_t sourceEnd, int style, const QString& styleText,
    const SqlType* knownSource)
{
    QString declared;
    for (size_t k = typeBegin; k < typeEnd; ++k) declared += m_tokens[k].text;
    emitConversion(
        out, given, declared, typeBegin, typeEnd, defaultLength, sourceBegin, sourceEnd, style, styleText, knownSource);
}

void TranslationContext::emitConversion(Vec& out, const Vec& given, const QString& declared, size_t typeBegin,
    size_t typeEnd, int defaultLength, size_t sourceBegin, size_t sourceEnd, int style, const QString& styleText,
    const SqlType* knownSource)
{
    Vec expr = given;
    const SqlType source = knownSource  ? *knownSource
        : sourceBegin < sourceEnd ? ExpressionTyper(*this).typeOf(sourceBegin, sourceEnd)
                                  : SqlType{};
    // the byte layout of date, time, datetime2 and datetimeoffset values is not published: refused, never guessed
    auto unpublished = [](const SqlType& t) {
        return t.isDateOrTime() && t.kind != SqlType::Kind::DateTime && t.kind != SqlType::Kind::SmallDateTime;
    };
    const SqlType target = SqlType::fromDeclared(declared);
    if ((unpublished(source) && target.kind == SqlType::Kind::Binary)
        || (source.kind == SqlType::Kind::Binary && unpublished(target))) {
        fail(QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.")
                 .arg(source.declaration().section(u'(', 0, 0), declared.section(u'(', 0, 0).trimmed().toLower()),
            529, sourceBegin);
        return;
    }
    if (source.isDateOrTime() && (target.isNumber() || target.kind == SqlType::Kind::Bit)) {
        const QString from = source.declaration().section(u'(', 0, 0), to = declared.section(u'(', 0, 0).trimmed().toLower();
        if (source.kind != SqlType::Kind::DateTime && source.kind != SqlType::Kind::SmallDateTime) {
            fail(QStringLiteral("Explicit conversion from data type %1 to %2 is not allowed.").arg(from, to), 529,
                sourceBegin);
            return;
        }
        if (!target.isApproximate()) {
            // the server rounds these by rules it does not publish: refused, never guessed
            fail(QStringLiteral("The embedded server does not convert %1 to %2; convert it to float, whose value "
                                "counts the days from 1900-01-01, and that to %2.")
                     .arg(from, to),
                529, sourceBegin);
            return;
        }
        expr.insert(expr.begin(), {word("orra_days_since_1900"), symbol("(")});
        expr.push_back(symbol(")"));
    }
    if (typedConversion(out, expr, source, declared, style, styleText)) return;
    const QString defaultText = QString::number(defaultLength);
    const QString type = declared.section(u'(', 0, 0).trimmed().toLower();
    const QString length = declared.contains(u'(')
        ? declared.section(u'(', 1).section(u')', 0, 0).section(u',', 0, 0).trimmed().toLower()
        : QString();
    const NT styleArg = !styleText.isEmpty() ? raw(styleText) : style >= 0 ? number(QString::number(style)) : word("null");
    if (dates::typeNamed(type)) {
        // a string literal is read as the text it is, never as a value it looks like
        const bool literal = sourceEnd == sourceBegin + 1 && m_tokens[sourceBegin].kind == TokenKind::String;
        out.insert(out.end(), {word(dates::kToDate), symbol("(")});
        out.insert(out.end(), given.begin(), given.end());
        out.insert(out.end(), {symbol(","), raw(u'\'' + type + u'\''), symbol(","),
                                  number(length.isEmpty() ? QStringLiteral("-1") : length), symbol(","), styleArg});
        if (literal) out.insert(out.end(), {symbol(","), number(QStringLiteral("1"))});
        out.push_back(symbol(")"));
        return;
    }
    // A date value converted to text takes the style's form (SQL Server's default without one).
    const QString sourceType = source.isDateOrTime() ? source.declaration()
        : source.kind != SqlType::Kind::Unknown    ? QStringLiteral("-")
                                                   : sourceDateType(sourceBegin, sourceEnd);
    if (isTextType(type) && sourceType != u"-") {
        const Vec value = expr;   // a value of no known type is judged when it comes (see typedConversion)
        expr = {word(dates::kDateText), symbol("(")};
        expr.insert(expr.end(), value.begin(), value.end());
        expr.insert(expr.end(), {symbol(","), styleArg, symbol(","), raw(u'\'' + sourceType + u'\''), symbol(")")});
    }
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
    // The type as written: exact numerics (NUMERIC affinity to SQLite, so that the result
    // column can be typed money or decimal(p,s)) and types the subset does not know.
    auto castAsWritten = [&] {
        out.push_back(word("cast"));
        out.push_back(symbol("("));
        out.insert(out.end(), expr.begin(), expr.end());
        out.push_back(word("as"));
        if (typeBegin < typeEnd)
            for (size_t k = typeBegin; k < typeEnd; ++k) out.push_back(NT{m_tokens[k], m_tokens[k].text});
        else
            out.push_back(raw(declared));
        out.push_back(symbol(")"));
    };
    if (type == u"varchar" || type == u"nvarchar" || type == u"sysname") {
        if (length == u"max")
            castTo("text");
        else
            call("orra_varchar", type == u"sysname" ? QStringLiteral("128") : length.isEmpty() ? defaultText : length);
    } else if (type == u"char" || type == u"nchar") {
        call("orra_char", length.isEmpty() ? defaultText : length);
    } else if (type == u"int" || type == u"bigint" || type == u"smallint" || type == u"tinyint" || type == u"bit") {
        out.insert(out.end(), {word("orra_integer"), symbol("(")});
        out.insert(out.end(), expr.begin(), expr.end());
        out.insert(out.end(), {symbol(","), raw(u'\'' + type + u'\''), symbol(")")});
    } else if (type == u"float" || type == u"real") {
        out.insert(out.end(), {word("orra_float"), symbol("(")});
        out.insert(out.end(), expr.begin(), expr.end());
        out.insert(out.end(), {symbol(","),
                                  raw(source.kind == SqlType::Kind::NText ? QStringLiteral("'nvarchar'")
                                                                          : QStringLiteral("'varchar'")),
                                  symbol(","), raw(u'\'' + type + u'\''), symbol(")")});
    } else if (type == u"text" || type == u"ntext") {
        castTo("text");
    } else if (type == u"money" || type == u"smallmoney" || type == u"decimal" || type == u"numeric"
        || type == u"dec") {
        // exact: rounded to the type's scale, refused when too large for it
        const SqlType t = SqlType::fromDeclared(declared);
        call("orra_exact", QStringLiteral("%1, %2, %3")
                               .arg(t.kind == SqlType::Kind::Decimal ? t.precision : t.digits().first)
                               .arg(t.scale)
                               .arg(t.isMoney() ? 1 : 0));
    } else if (type == u"uniqueidentifier") {
        if (source.isNumber() || source.isDateOrTime()) {
            fail(QStringLiteral("Explicit conversion from data type %1 to uniqueidentifier is not allowed.")
                     .arg(source.declaration().section(u'(', 0, 0)),
                529, sourceBegin);
            return;
        }
        call("orra_guid", QString());
    } else if (isOneOf(m_tokens[typeBegin], {"xml", "sql_variant", "geography", "geometry", "hierarchyid"})) {
        // values the embedded server has no type for: refused, never kept as something else
        fail(QStringLiteral("The embedded server does not run the %1 data type.").arg(type), 0, typeBegin);
    } else if (SqlType::fromDeclared(declared).kind == SqlType::Kind::Unknown
        && !isOneOf(m_tokens[typeBegin], {"cursor", "table", "timestamp", "rowversion"})) {
        fail(QStringLiteral("Type %1 is not a defined system type.").arg(m_tokens[typeBegin].text), 243, typeBegin);
    } else {
        castAsWritten();
    }
}

}   // namespace orra::embedded::translator
