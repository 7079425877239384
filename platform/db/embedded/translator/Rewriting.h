#pragma once
// The vocabulary the statement rewriters share: a token with its SQLite text, the keyword
// classes of T-SQL, token makers and the rendering of a token list back to text.

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <initializer_list>
#include <optional>
#include <utility>
#include <vector>

namespace orra::embedded::translator {

// A token after normalisation: the original token (for keyword tests) and its SQLite text.
struct NT {
    Token t;
    QString out;
};
using Vec = std::vector<NT>;

inline const Token& tokenOf(const Token& t) { return t; }
inline const Token& tokenOf(const NT& n) { return n.t; }

QString quoteName(const QString& name);

NT word(const char* text);
NT symbol(const char* text);
NT number(const QString& text);
NT operatorToken(const QString& op);
// Text emitted as it is (a name already quoted for SQLite, a clause the server adds).
NT raw(const QString& text);

bool isOneOf(const Token& t, std::initializer_list<const char*> words);
// Words that begin a statement and so end the one before (at parenthesis depth 0).
bool isStatementWord(const Token& t);
bool isHintWord(const Token& t);
// Words that SQLite reserves but T-SQL does not: as names they must be quoted for SQLite.
bool isSqliteOnlyKeyword(const Token& t);
bool isTextType(const QString& type);
// Words that cannot be part of an additive operand.
bool isExpressionBoundary(const Token& t);
// 0x0102: a binary value, not a number.
bool isBinaryLiteral(const Token& t);
// The hexadecimal digits of a binary literal, whole bytes: an odd count takes a leading zero
// (0x102 is 0x0102); 0x alone is the empty value.
QString binaryDigits(const Token& t);

// The first index in [from, v.size()) of one of words outside parentheses and case … end,
// or v.size().
size_t topLevel(const Vec& v, size_t from, std::initializer_list<const char*> words);
// The first index in [from, end) of one of words outside parentheses and case … end, or end.
size_t firstTopLevel(const Vec& v, size_t from, size_t end, std::initializer_list<const char*> words);
// [b, e) split at its commas outside parentheses and case … end: the pieces in order.
std::vector<std::pair<size_t, size_t>> splitTopLevel(const Vec& v, size_t b, size_t e);
// A token that can end an operand: a literal, a name, a closing parenthesis, the end of a case.
bool endsOperand(const Token& t);
// Names of the server compare without regard to case.
bool sameName(const QString& a, const QString& b);
// The parenthesis that closes the one at open, or end.
size_t closeOf(const Vec& v, size_t open, size_t end);
// The end that closes the case at `at`, or end.
size_t caseEnd(const Vec& v, size_t at, size_t end);

void append(Vec& out, const Vec& v, size_t from, size_t to);

// The clauses a call carries after its parentheses, within group (…) and over (…) or over w,
// belong to its operand: the index past them, from `at` just after the call (at when none).
template <class Tokens>
size_t pastCallClauses(const Tokens& v, size_t at, size_t end)
{
    auto close = [&](size_t open) {
        int depth = 0;
        for (size_t i = open; i < end; ++i) {
            if (tokenOf(v[i]).isSymbol("(")) ++depth;
            else if (tokenOf(v[i]).isSymbol(")") && --depth == 0) return i + 1;
        }
        return end;
    };
    for (;;) {
        if (at + 2 < end && tokenOf(v[at]).is("within") && tokenOf(v[at + 1]).is("group")
            && tokenOf(v[at + 2]).isSymbol("("))
            at = close(at + 2);
        else if (at + 1 < end && tokenOf(v[at]).is("over"))
            at = tokenOf(v[at + 1]).isSymbol("(") ? close(at + 1) : at + 2;
        else
            return at;
    }
}

// The parentheses opening at `open` (or the window name at it) close a call's over or within
// group clause: the index of the call's own closing parenthesis before the clause, else none.
template <class Tokens>
std::optional<size_t> callBeforeClause(const Tokens& v, size_t open)
{
    if (open >= 2 && tokenOf(v[open - 1]).is("over") && tokenOf(v[open - 2]).isSymbol(")")) return open - 2;
    if (open >= 3 && tokenOf(v[open - 1]).is("group") && tokenOf(v[open - 2]).is("within")
        && tokenOf(v[open - 3]).isSymbol(")"))
        return open - 3;
    return std::nullopt;
}

// Tokens [x1, y1) and [x2, y2) of T are the same expression: the same words and names whatever
// their case, the same literals and symbols.
bool sameExpression(const std::vector<Token>& T, size_t x1, size_t y1, size_t x2, size_t y2);
// The column tokens [x, y) of T name (a.b.c), without its qualifiers; empty for any other expression.
QString columnNamed(const std::vector<Token>& T, size_t x, size_t y);

// The name of an aggregate function (a call of it aggregates unless OVER follows).
bool isAggregateName(const Token& t);

QString render(const Vec& v);

}   // namespace orra::embedded::translator
