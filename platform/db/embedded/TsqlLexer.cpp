#include "platform/db/embedded/TsqlLexer.h"

namespace orra::embedded {

bool Token::is(const char* word) const
{
    if (kind != TokenKind::Word) return false;
    const qsizetype n = qsizetype(qstrlen(word));
    if (text.size() != n) return false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = text.at(i).unicode();
        char16_t w = char16_t(uchar(word[i]));
        const char16_t lc = (c >= 'A' && c <= 'Z') ? char16_t(c + 32) : c;
        const char16_t lw = (w >= 'A' && w <= 'Z') ? char16_t(w + 32) : w;
        if (lc != lw) return false;
    }
    return true;
}

static bool isWordStart(QChar c) { return c.isLetter() || c == u'_' || c == u'#' || c == u'@'; }

static bool isWordPart(QChar c) { return c.isLetterOrNumber() || c == u'_' || c == u'#' || c == u'@' || c == u'$'; }

// After the opening mark at `from`: the position just past the closing mark, where the closing
// mark doubled stands for itself; -1 when the text ends first. content, when given, receives
// what stands between the marks.
static qsizetype enclosedEnd(const QString& text, qsizetype from, QChar close, QString* content)
{
    const qsizetype n = text.size();
    for (qsizetype j = from; j < n;) {
        if (text.at(j) == close) {
            if (j + 1 >= n || text.at(j + 1) != close) return j + 1;
            if (content) *content += close;
            j += 2;
            continue;
        }
        if (content) *content += text.at(j);
        ++j;
    }
    return -1;
}

LexResult tokenize(const QString& text)
{
    LexResult r;
    const qsizetype n = text.size();
    qsizetype i = 0;
    bool space = false;
    auto push = [&](TokenKind k, QString t, qsizetype at) {
        Token tok;
        tok.kind = k;
        tok.text = std::move(t);
        tok.pos = int(at);
        tok.spaceBefore = space;
        r.tokens.push_back(std::move(tok));
        space = false;
    };
    while (i < n) {
        const QChar c = text.at(i);
        if (c.isSpace()) {
            space = true;
            ++i;
            continue;
        }
        // -- line comment
        if (c == u'-' && i + 1 < n && text.at(i + 1) == u'-') {
            while (i < n && text.at(i) != u'\n' && text.at(i) != u'\r') ++i;
            space = true;
            continue;
        }
        // /* block comment */, nested as the server nests them
        if (c == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
            int depth = 0;
            qsizetype j = i;
            while (j < n) {
                if (text.at(j) == u'/' && j + 1 < n && text.at(j + 1) == u'*') {
                    ++depth;
                    j += 2;
                } else if (text.at(j) == u'*' && j + 1 < n && text.at(j + 1) == u'/') {
                    --depth;
                    j += 2;
                    if (depth == 0) break;
                } else {
                    ++j;
                }
            }
            if (depth != 0) {
                r.error = QStringLiteral("Missing end comment mark '*/'.");
                r.errorPosition = int(i);
                return r;
            }
            i = j;
            space = true;
            continue;
        }
        const qsizetype start = i;
        // 'string' and N'string'
        if (c == u'\'' || ((c == u'N' || c == u'n') && i + 1 < n && text.at(i + 1) == u'\'')) {
            const qsizetype j = enclosedEnd(text, c == u'\'' ? i + 1 : i + 2, u'\'', nullptr);
            if (j < 0) {
                r.error = QStringLiteral("Unclosed quotation mark after the character string '%1'.")
                              .arg(text.mid(start + (c == u'\'' ? 1 : 2)));
                r.errorPosition = int(start);
                return r;
            }
            const qsizetype from = (c == u'\'') ? start : start + 1;
            push(TokenKind::String, text.mid(from, j - from), start);
            r.tokens.back().national = c != u'\'';
            i = j;
            continue;
        }
        if (c == u'[' || c == u'"') {
            // [name] and "name": the closing character doubled stands for itself.
            const QChar close = c == u'[' ? QChar(u']') : QChar(u'"');
            QString name;
            const qsizetype j = enclosedEnd(text, i + 1, close, &name);
            if (j < 0) {
                r.error =
                    QStringLiteral("Unclosed quotation mark after the character string '%1'.").arg(text.mid(start + 1));
                r.errorPosition = int(start);
                return r;
            }
            push(TokenKind::QuotedName, name, start);
            i = j;
            continue;
        }
        // $12.50, $-123.45: a money constant; the token keeps the $ and the sign after it.
        const qsizetype sign = c == u'$' && i + 1 < n && (text.at(i + 1) == u'-' || text.at(i + 1) == u'+') ? 1 : 0;
        const qsizetype digits = i + 1 + sign;
        const bool money = c == u'$' && digits < n
            && (text.at(digits).isDigit() || (text.at(digits) == u'.' && digits + 1 < n && text.at(digits + 1).isDigit()));
        if (money || c.isDigit() || (c == u'.' && i + 1 < n && text.at(i + 1).isDigit())) {
            qsizetype j = money ? digits : i;
            if (c == u'0' && j + 1 < n && (text.at(j + 1) == u'x' || text.at(j + 1) == u'X')) {
                j += 2;
                while (j < n && (text.at(j).isDigit() || QStringLiteral("abcdefABCDEF").contains(text.at(j)))) ++j;
            } else {
                while (j < n && text.at(j).isDigit()) ++j;
                if (j < n && text.at(j) == u'.') {
                    ++j;
                    while (j < n && text.at(j).isDigit()) ++j;
                }
                if (j < n && (text.at(j) == u'e' || text.at(j) == u'E')) {
                    qsizetype k = j + 1;
                    if (k < n && (text.at(k) == u'+' || text.at(k) == u'-')) ++k;
                    if (k < n && text.at(k).isDigit()) {
                        j = k;
                        while (j < n && text.at(j).isDigit()) ++j;
                    }
                }
            }
            push(TokenKind::Number, text.mid(i, j - i), start);
            i = j;
            continue;
        }
        if (isWordStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isWordPart(text.at(j))) ++j;
            push(TokenKind::Word, text.mid(i, j - i), start);
            i = j;
            continue;
        }
        // Two-character operators.
        if (i + 1 < n) {
            const QString two = text.mid(i, 2);
            static const char* twos[] = {"<=", ">=", "<>", "!=", "!<", "!>", "||", "+=", "-=", "*=", "/=", "::"};
            bool matched = false;
            for (const char* t : twos) {
                if (two == QLatin1String(t)) {
                    matched = true;
                    break;
                }
            }
            if (matched) {
                push(TokenKind::Symbol, two, start);
                i += 2;
                continue;
            }
        }
        push(TokenKind::Symbol, QString(c), start);
        ++i;
    }
    return r;
}

}   // namespace orra::embedded
