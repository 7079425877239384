// Source text to tokens; also the reserved words, which no name may take.
#include "platform/vbscript/ParserInternal.h"

#include <QSet>
#include <QStringList>
#include <cmath>

namespace orra::vbs::parser {

namespace {

class Lexer {
public:
    explicit Lexer(const QString& s) : m_s(s) {}

    std::vector<Token> run()
    {
        std::vector<Token> out;
        const int n = int(m_s.size());
        bool space = false;
        while (m_i < n) {
            QChar c = m_s[m_i];
            char16_t u = c.unicode();
            if (u == ' ' || u == '\t' || u == 0xA0 || u == 0xFEFF) {
                ++m_i;
                space = true;
                continue;
            }
            if (u == '\r' || u == '\n') {
                pushEol(out, false);
                if (u == '\r' && m_i + 1 < n && m_s[m_i + 1] == u'\n') ++m_i;
                ++m_i;
                newLine();
                space = false;
                continue;
            }
            Token t;
            t.line = m_line;
            t.col = m_i - m_lineStart + 1;
            t.spaceBefore = space;
            space = false;
            if (u == '\'') {
                skipComment();
                continue;
            }
            if (u == '_') {
                // line continuation: '_' followed by blanks and a line end
                int j = m_i + 1;
                while (j < n && (m_s[j] == u' ' || m_s[j] == u'\t')) ++j;
                if (j >= n || m_s[j] == u'\r' || m_s[j] == u'\n') {
                    if (j < n) {
                        if (m_s[j] == u'\r' && j + 1 < n && m_s[j + 1] == u'\n') ++j;
                        m_i = j + 1;
                        newLine();
                    } else
                        m_i = j;
                    space = true;
                    continue;
                }
                fail(kInvalidCharacter, t.line, t.col);
            }
            if (c.isLetter() || u == '[') {
                word(out, t);
                continue;
            }
            if (c.isDigit()
                || (u == '.' && m_i + 1 < n && m_s[m_i + 1].isDigit()
                    && (out.empty() || !isValueEnd(out.back()) || t.spaceBefore))) {
                number(t);
                out.push_back(std::move(t));
                continue;
            }
            if (u == '"') {
                string(t);
                out.push_back(std::move(t));
                continue;
            }
            if (u == '#') {
                dateLiteral(t);
                out.push_back(std::move(t));
                continue;
            }
            if (u == '&' && m_i + 1 < n) {
                char16_t k = m_s[m_i + 1].toUpper().unicode();
                if ((k == 'H' && m_i + 2 < n && isHex(m_s[m_i + 2]))
                    || (k == 'O' && m_i + 2 < n && m_s[m_i + 2].isDigit()) || (m_s[m_i + 1].isDigit())) {
                    radixNumber(t);
                    out.push_back(std::move(t));
                    continue;
                }
            }
            ++m_i;
            switch (u) {
            case ':':
                pushEol(out, true);
                continue;
            case '&':
                t.t = T::Amp;
                break;
            case '+':
                t.t = T::Plus;
                break;
            case '-':
                t.t = T::Minus;
                break;
            case '*':
                t.t = T::Star;
                break;
            case '/':
                t.t = T::Slash;
                break;
            case '\\':
                t.t = T::Backslash;
                break;
            case '^':
                t.t = T::Caret;
                break;
            case '=':
                // => and =< are the same operators as >= and <=
                t.t = T::Eq;
                if (m_i < n && m_s[m_i] == u'>') {
                    t.t = T::Ge;
                    ++m_i;
                } else if (m_i < n && m_s[m_i] == u'<') {
                    t.t = T::Le;
                    ++m_i;
                }
                break;
            case '(':
                t.t = T::LParen;
                break;
            case ')':
                t.t = T::RParen;
                break;
            case ',':
                t.t = T::Comma;
                break;
            case '.':
                t.t = T::Dot;
                break;
            case '<':
                t.t = T::Lt;
                if (m_i < n && m_s[m_i] == u'>') {
                    t.t = T::Ne;
                    ++m_i;
                } else if (m_i < n && m_s[m_i] == u'=') {
                    t.t = T::Le;
                    ++m_i;
                }
                break;
            case '>':
                t.t = T::Gt;
                if (m_i < n && m_s[m_i] == u'=') {
                    t.t = T::Ge;
                    ++m_i;
                } else if (m_i < n && m_s[m_i] == u'<') {   // >< is <>
                    t.t = T::Ne;
                    ++m_i;
                }
                break;
            default:
                fail(kInvalidCharacter, t.line, t.col);
            }
            out.push_back(std::move(t));
        }
        pushEol(out, false);
        Token e;
        e.t = T::Eof;
        e.line = m_line;
        e.col = m_i - m_lineStart + 1;
        out.push_back(e);
        return out;
    }

private:
    static bool isHex(QChar c) { return c.isDigit() || (c.toLower() >= u'a' && c.toLower() <= u'f'); }
    static bool isValueEnd(const Token& t)
    {
        return t.t == T::Word || t.t == T::RParen || t.t == T::Int || t.t == T::Float || t.t == T::Str;
    }
    void newLine()
    {
        ++m_line;
        m_lineStart = m_i;
    }
    void pushEol(std::vector<Token>& out, bool colon)
    {
        Token t;
        t.t = T::Eol;
        t.colon = colon;
        t.line = m_line;
        t.col = m_i - m_lineStart + 1;
        out.push_back(t);
    }
    void skipComment()
    {
        while (m_i < m_s.size() && m_s[m_i] != u'\r' && m_s[m_i] != u'\n') ++m_i;
    }
    void word(std::vector<Token>& out, Token& t)
    {
        const int n = int(m_s.size());
        if (m_s[m_i] == u'[') {
            int j = m_i + 1;
            while (j < n && m_s[j] != u']' && m_s[j] != u'\n' && m_s[j] != u'\r') ++j;
            if (j >= n || m_s[j] != u']') fail(kExpectedCloseBracket, t.line, t.col);
            t.text = m_s.mid(m_i + 1, j - m_i - 1);
            m_i = j + 1;
        } else {
            int j = m_i;
            while (j < n && (m_s[j].isLetterOrNumber() || m_s[j] == u'_')) ++j;
            t.text = m_s.mid(m_i, j - m_i);
            m_i = j;
        }
        if (t.text.size() > 255) fail(kIdentifierTooLong, t.line, t.col);
        t.t = T::Word;
        t.key = foldCase(t.text);
        // after a dot every word is a member name (obj.Rem)
        const bool member = !out.empty() && out.back().t == T::Dot;
        if (t.key == u"rem" && !member && (m_i >= n || m_s[m_i].isSpace() || m_s[m_i] == u':')) {
            skipComment();
            return;
        }
        // A type suffix is not VBScript, but a trailing '$' in function names (Left$) is tolerated.
        if (m_i < n && m_s[m_i] == u'$') {
            ++m_i;
        }
        out.push_back(std::move(t));
    }
    void number(Token& t)
    {
        const int n = int(m_s.size());
        int j = m_i;
        bool isFloat = false;
        while (j < n && m_s[j].isDigit()) ++j;
        if (j < n && m_s[j] == u'.') {
            isFloat = true;
            ++j;
            while (j < n && m_s[j].isDigit()) ++j;
        }
        if (j < n && (m_s[j] == u'e' || m_s[j] == u'E')) {
            int k = j + 1;
            if (k < n && (m_s[k] == u'+' || m_s[k] == u'-')) ++k;
            if (k < n && m_s[k].isDigit()) {
                isFloat = true;
                j = k;
                while (j < n && m_s[j].isDigit()) ++j;
            }
        }
        QString text = m_s.mid(m_i, j - m_i);
        m_i = j;
        if (m_i < n && (m_s[m_i].isLetter() || m_s[m_i] == u'_')) fail(kInvalidNumber, t.line, t.col);
        bool ok = false;
        if (!isFloat) {
            qlonglong v = text.toLongLong(&ok);
            if (ok) {
                t.t = T::Int;
                if (v <= 32767)
                    t.val = Variant::integer(int16_t(v));
                else if (v <= 2147483647LL)
                    t.val = Variant::longValue(int32_t(v));
                else
                    t.val = Variant::dbl(double(v));
                return;
            }
        }
        // too small a number is 0 (1e-400); too large is an error
        const QByteArray latin = text.toLatin1();
        const double d = std::strtod(latin.constData(), nullptr);
        if (!std::isfinite(d)) fail(kInvalidNumber, t.line, t.col);
        t.t = T::Float;
        t.val = Variant::dbl(d);
    }
    void radixNumber(Token& t)
    {
        const int n = int(m_s.size());
        int base = 8;
        m_i += 1;
        if (m_s[m_i].toUpper() == u'H') {
            base = 16;
            ++m_i;
        } else if (m_s[m_i].toUpper() == u'O') {
            ++m_i;
        }
        uint64_t v = 0;
        int start = m_i;
        while (m_i < n) {
            int d = -1;
            QChar c = m_s[m_i];
            if (c.isDigit())
                d = c.digitValue();
            else if (base == 16 && isHex(c))
                d = c.toLower().unicode() - 'a' + 10;
            if (d < 0 || d >= base) break;
            v = v * base + d;
            if (v > 0xFFFFFFFFull) fail(kInvalidNumber, t.line, t.col);
            ++m_i;
        }
        if (m_i == start) fail(kInvalidNumber, t.line, t.col);
        bool longSuffix = false;
        if (m_i < n && m_s[m_i] == u'&') {
            ++m_i;
            longSuffix = true;
        }
        t.t = T::Int;
        if (v <= 0xFFFF && !longSuffix) {
            t.val = Variant::integer(int16_t(uint16_t(v)));
            return;
        }
        // 32 bits; with the '&' suffix a value that fits is still an Integer (&h10& is 16)
        const int32_t x = int32_t(uint32_t(v));
        t.val = longSuffix && x >= -32768 && x <= 32767 ? Variant::integer(int16_t(x)) : Variant::longValue(x);
    }
    void string(Token& t)
    {
        const int n = int(m_s.size());
        QString r;
        ++m_i;
        for (;;) {
            if (m_i >= n || m_s[m_i] == u'\n' || m_s[m_i] == u'\r') fail(kUnterminatedString, t.line, t.col);
            if (m_s[m_i] == u'"') {
                if (m_i + 1 < n && m_s[m_i + 1] == u'"') {
                    r += u'"';
                    m_i += 2;
                    continue;
                }
                ++m_i;
                break;
            }
            r += m_s[m_i++];
        }
        t.t = T::Str;
        t.val = Variant::string(r);
    }
    void dateLiteral(Token& t)
    {
        const int n = int(m_s.size());
        int j = m_i + 1;
        while (j < n && m_s[j] != u'#' && m_s[j] != u'\n' && m_s[j] != u'\r') ++j;
        if (j >= n || m_s[j] != u'#') fail(kInvalidCharacter, t.line, t.col);
        double d;
        if (!parseDate(m_s.mid(m_i + 1, j - m_i - 1), d)) fail(kInvalidCharacter, t.line, t.col);
        m_i = j + 1;
        t.t = T::DateLit;
        t.val = Variant::date(d);
    }

    const QString& m_s;
    int m_i = 0;
    int m_line = 1;
    int m_lineStart = 0;
};

}   // namespace

std::vector<Token> tokenize(const QString& source)
{
    Lexer lex(source);
    return lex.run();
}

bool isReserved(const QString& key)
{
    static const QStringList words = {
        "and",
        "byref",
        "byval",
        "call",
        "case",
        "class",
        "const",
        "dim",
        "do",
        "each",
        "else",
        "elseif",
        "empty",
        "end",
        "eqv",
        "erase",
        "exit",
        "false",
        "for",
        "function",
        "if",
        "imp",
        "in",
        "is",
        "loop",
        "me",
        "mod",
        "new",
        "next",
        "not",
        "nothing",
        "null",
        "on",
        "option",
        "or",
        "private",
        "public",
        "redim",
        "select",
        "set",
        "sub",
        "then",
        "to",
        "true",
        "until",
        "wend",
        "while",
        "with",
        "xor",
        "goto",
        "let",
        "resume",
    };
    static const QSet<QString> set(words.begin(), words.end());
    return set.contains(key);
}

}   // namespace orra::vbs::parser
