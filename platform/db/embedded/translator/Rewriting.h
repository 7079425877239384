#pragma once
// The vocabulary the statement rewriters share: a token with its SQLite text, the keyword
// classes of T-SQL, token makers and the rendering of a token list back to text.

#include "platform/db/embedded/TsqlLexer.h"

#include <QString>
#include <initializer_list>
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

QString render(const Vec& v);

}   // namespace orra::embedded::translator
