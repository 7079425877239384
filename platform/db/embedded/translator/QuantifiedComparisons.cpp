#include "platform/db/embedded/translator/QuantifiedComparisons.h"

#include "platform/db/embedded/translator/Rewriting.h"

namespace orra::embedded::translator {

namespace {

bool isComparison(const Token& t)
{
    return t.kind == TokenKind::Symbol
        && (t.text == u"=" || t.text == u"<" || t.text == u">" || t.text == u"<=" || t.text == u">="
            || t.text == u"<>" || t.text == u"!=" || t.text == u"!<" || t.text == u"!>");
}

// The parenthesis that closes the one at open, or T.size().
size_t closing(const std::vector<Token>& T, size_t open)
{
    int depth = 0;
    for (size_t i = open; i < T.size(); ++i) {
        if (T[i].isSymbol("(")) ++depth;
        else if (T[i].isSymbol(")") && --depth == 0) return i;
    }
    return T.size();
}

// The first token of the scalar expression that ends before the comparison operator at k: the
// comparison binds more loosely than any operator of its operand, so the operand reaches back
// to an opening parenthesis, a comma, a logical operator or the clause that holds it.
size_t leftOperand(const std::vector<Token>& T, size_t k)
{
    size_t b = k;
    while (b > 0) {
        const Token& t = T[b - 1];
        if (t.isSymbol(")")) {
            int depth = 0;
            size_t j = b - 1;
            for (;; --j) {
                if (T[j].isSymbol(")")) ++depth;
                if (T[j].isSymbol("(") && --depth == 0) break;
                if (j == 0) return k;
            }
            b = j;
        } else if (t.is("end")) {
            int depth = 0;
            size_t j = b - 1;
            for (;; --j) {
                if (T[j].is("end")) ++depth;
                if (T[j].is("case") && --depth == 0) break;
                if (j == 0) return k;
            }
            b = j;
        } else if (t.isSymbol("(") || t.isSymbol(",") || t.isSymbol(";") || isComparison(t)) {
            break;
        } else if (t.kind == TokenKind::Word && !t.is("null") && (isExpressionBoundary(t) || isStatementWord(t))) {
            break;
        } else {
            --b;
        }
    }
    return b;
}

// Tokens [b, e) written out on one line, without the comments and line ends between them.
QString oneLine(const std::vector<Token>& T, size_t b, size_t e)
{
    QString out;
    for (size_t i = b; i < e; ++i) {
        if (i > b) out += u' ';
        const Token& t = T[i];
        if (t.kind == TokenKind::QuotedName)
            out += u'[' + QString(t.text).replace(u']', QStringLiteral("]]")) + u']';
        else if (t.kind == TokenKind::String && t.national)
            out += u'N' + t.text;
        else
            out += t.text;
    }
    return out;
}

}   // namespace

QString rewriteQuantifiedComparisons(const QString& text, const std::vector<Token>& T)
{
    QString out;
    int copied = 0;
    for (size_t k = 1; k + 3 < T.size(); ++k) {
        if (!isComparison(T[k]) || !isOneOf(T[k + 1], {"all", "any", "some"}) || !T[k + 2].isSymbol("(")) continue;
        if (!T[k + 3].is("select") && !T[k + 3].is("with") && !T[k + 3].isSymbol("(")) continue;
        const size_t b = leftOperand(T, k);
        const size_t close = closing(T, k + 2);
        if (b == k || close >= T.size() || T[b].pos < copied) continue;
        const QString x = oneLine(T, b, k), op = T[k].text, query = oneLine(T, k + 3, close);
        // Each pair (x, value) compared; the result is TRUE or FALSE, never unknown: ALL holds
        // when every comparison is TRUE (so also for no values), SOME and ANY when one is. The
        // pairs are counted rather than tested with EXISTS, where SQLite refuses an aggregate of
        // the outer query (having sum(x) > all (…)).
        const QString value = QStringLiteral("[quantified values].[quantified value]");
        const QString values = QStringLiteral("(%1) as [quantified values] ([quantified value])").arg(query);
        const QString test = T[k + 1].is("all")
            ? QStringLiteral("(select count(*) from %1 where not ((%2) %3 %4) or (%2) is null or %4 is null) = 0")
                  .arg(values, x, op, value)
            : QStringLiteral("(select count(*) from %1 where (%2) %3 %4) > 0").arg(values, x, op, value);
        const int from = T[b].pos, to = T[close].pos + 1;
        out += text.mid(copied, from - copied);
        out += test;
        out += QString(text.mid(from, to - from).count(u'\n'), u'\n');
        copied = to;
        k = close;
    }
    if (copied == 0) return {};
    out += text.mid(copied);
    return out;
}

}   // namespace orra::embedded::translator
