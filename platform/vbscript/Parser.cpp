#include "platform/vbscript/Parser.h"

#include "platform/vbscript/Runtime.h"

#include <QSet>
#include <QStringList>
#include <cmath>

namespace orra::vbs {

namespace {

enum class T : uint8_t {
    Eof,
    Eol,
    Word,
    Int,
    Float,
    Str,
    DateLit,
    Amp,
    Plus,
    Minus,
    Star,
    Slash,
    Backslash,
    Caret,
    Eq,
    Ne,
    Lt,
    Gt,
    Le,
    Ge,
    LParen,
    RParen,
    Comma,
    Dot,
};

struct Token {
    T t = T::Eof;
    QString text;   // words: as written
    QString key;    // words: folded
    Variant val;
    int line = 1, col = 1;
    bool colon = false;   // Eol made by ':'
    bool spaceBefore = false;
};

class CompileError {
public:
    long number;
    int line, col;
};

constexpr int kMaxTreeDepth = 1000;   // operators in one chain (a + b + c ...)

[[noreturn]] void fail(long number, int line, int col) { throw CompileError{number, line, col}; }

// ----------------------------------------------------------------------------- lexer

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
                t.t = T::Eq;
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
        if (t.key == u"rem" && (m_i >= n || m_s[m_i].isSpace() || m_s[m_i] == u':')) {
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
        double d = text.toDouble(&ok);
        if (!ok || !std::isfinite(d)) fail(kInvalidNumber, t.line, t.col);
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
        if (v <= 0xFFFF && !longSuffix)
            t.val = Variant::integer(int16_t(uint16_t(v)));
        else
            t.val = Variant::longValue(int32_t(uint32_t(v)));
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

// ----------------------------------------------------------------------------- parser

bool isReserved(const QString& k)
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
    return set.contains(k);
}

class Parser {
public:
    Parser(std::vector<Token> toks, const ParseOptions& opt, Program& prog)
        : m_t(std::move(toks)), m_opt(opt), m_prog(prog)
    {
    }

    void parseAll()
    {
        m_prog.top = std::make_unique<Proc>();
        m_prog.top->name = QStringLiteral("<global>");
        if (m_opt.expressionOnly) {
            skipEols();
            m_prog.expression = parseExpr();
            skipEols();
            if (cur().t != T::Eof) fail(kExpectedEndOfStatement, cur().line, cur().col);
            finishTop();
            return;
        }
        m_prog.body = parseBlock({}, true);
        if (cur().t != T::Eof) fail(kExpectedStatement, cur().line, cur().col);
        finishTop();
    }

private:
    // -- token helpers
    const Token& cur() const { return m_t[m_p]; }
    const Token& peek(int k = 1) const { return m_t[std::min(m_p + k, m_t.size() - 1)]; }
    void next()
    {
        if (m_p + 1 < m_t.size()) ++m_p;
    }
    bool isWord(const char16_t* k) const { return cur().t == T::Word && cur().key == k; }
    bool isWordAt(size_t k, const char16_t* w) const
    {
        const Token& t = peek(int(k));
        return t.t == T::Word && t.key == w;
    }
    bool accept(T t)
    {
        if (cur().t == t) {
            next();
            return true;
        }
        return false;
    }
    bool acceptWord(const char16_t* k)
    {
        if (isWord(k)) {
            next();
            return true;
        }
        return false;
    }
    void expect(T t, long err)
    {
        if (!accept(t)) fail(err, cur().line, cur().col);
    }
    void expectWord(const char16_t* k, long err)
    {
        if (!acceptWord(k)) fail(err, cur().line, cur().col);
    }
    void skipEols()
    {
        while (cur().t == T::Eol) next();
    }
    bool atEos() const { return cur().t == T::Eol || cur().t == T::Eof || (m_singleLine && isWord(u"else")); }
    void endOfStatement()
    {
        if (m_singleLine && isWord(u"else")) return;
        if (cur().t != T::Eol && cur().t != T::Eof) fail(kExpectedEndOfStatement, cur().line, cur().col);
    }
    QString identifier(QString* key = nullptr)
    {
        if (cur().t != T::Word || isReserved(cur().key)) fail(kExpectedIdentifier, cur().line, cur().col);
        QString s = cur().text;
        if (key) *key = cur().key;
        next();
        return s;
    }
    struct DepthGuard {
        Parser& p;
        explicit DepthGuard(Parser& p) : p(p)
        {
            if (++p.m_depth > p.m_opt.maxDepth) fail(kOutOfStackSpace, p.cur().line, p.cur().col);
        }
        ~DepthGuard() { --p.m_depth; }
    };

    ExprPtr make(ExprKind k, const Token& at)
    {
        auto e = std::make_unique<Expr>(k);
        e->line = at.line;
        e->column = at.col;
        return e;
    }
    StmtPtr makeStmt(StmtKind k, const Token& at)
    {
        auto s = std::make_unique<Stmt>(k);
        s->line = at.line;
        s->column = at.col;
        return s;
    }

    // -- blocks and statements

    // Parses statements until one of the end words (checked at a statement start).
    Block parseBlock(std::initializer_list<const char16_t*> ends, bool topLevel = false)
    {
        DepthGuard g(*this);
        Block b;
        for (;;) {
            skipEols();
            if (cur().t == T::Eof) return b;
            for (auto e : ends)
                if (isWord(e)) return b;
            if (!topLevel && isWord(u"end")) return b;
            if (!topLevel && (isWord(u"next") || isWord(u"loop") || isWord(u"wend"))) return b;
            parseStatementInto(b, topLevel);
        }
    }

    void parseStatementInto(Block& b, bool topLevel)
    {
        const Token& t = cur();
        if (t.t == T::Word) {
            const QString& k = t.key;
            bool isPublic = k == u"public", isPrivate = k == u"private";
            if (isPublic || isPrivate) {
                if (isWordAt(1, u"sub") || isWordAt(1, u"function") || isWordAt(1, u"property")
                    || isWordAt(1, u"default") || isWordAt(1, u"const")) {
                    next();
                    if (isWord(u"const")) {
                        b.push_back(parseConst());
                        return;
                    }
                    parseProcDecl(isPublic, nullptr);
                    return;
                }
                if (isWordAt(1, u"class")) fail(kExpectedStatement, t.line, t.col);
                next();
                b.push_back(parseDim(t));
                return;
            }
            if (k == u"sub" || k == u"function") {
                parseProcDecl(true, nullptr);
                return;
            }
            if (k == u"property") {
                if (!m_class) fail(kMustBeInsideClass, t.line, t.col);
                parseProcDecl(true, nullptr);
                return;
            }
            if (k == u"class") {
                if (!topLevel || m_proc) fail(kExpectedStatement, t.line, t.col);
                parseClass();
                return;
            }
        }
        b.push_back(parseStatement());
        if (!m_singleLine) endOfStatement();
    }

    StmtPtr parseStatement()
    {
        DepthGuard g(*this);
        const Token t = cur();
        if (t.t == T::Word) {
            const QString& k = t.key;
            if (k == u"dim") {
                next();
                return parseDim(t);
            }
            if (k == u"redim") return parseReDim();
            if (k == u"const") return parseConst();
            if (k == u"if") return parseIf();
            if (k == u"for") return parseFor();
            if (k == u"do") return parseDo();
            if (k == u"while") return parseWhile();
            if (k == u"select") return parseSelect();
            if (k == u"with") return parseWith();
            if (k == u"set") return parseSet();
            if (k == u"call") return parseCall();
            if (k == u"exit") return parseExit();
            if (k == u"on") return parseOnError();
            if (k == u"erase") return parseErase();
            if (k == u"option") {
                next();
                expectWord(u"explicit", kSyntaxError);
                m_prog.optionExplicit = true;
                return makeStmt(StmtKind::OptionExplicit, t);
            }
            if (k == u"next") fail(kUnexpectedNext, t.line, t.col);
            if (k == u"loop") fail(kLoopWithoutDo, t.line, t.col);
            if (k == u"sub" || k == u"function" || k == u"class" || k == u"property")
                fail(kExpectedStatement, t.line, t.col);
            if (k == u"end" || k == u"else" || k == u"elseif" || k == u"wend" || k == u"case")
                fail(kExpectedStatement, t.line, t.col);
            if (isReserved(k) && k != u"me" && k != u"new") fail(kExpectedStatement, t.line, t.col);
        } else if (t.t != T::Dot) {
            fail(kExpectedStatement, t.line, t.col);
        }
        return parseAssignOrCall();
    }

    StmtPtr parseDim(const Token& at)
    {
        auto s = makeStmt(StmtKind::Dim, at);
        do {
            const Token& nt = cur();
            DimItem d;
            d.name = identifier(&d.key);
            if (accept(T::LParen)) {
                d.isArray = true;
                if (!accept(T::RParen)) {
                    do {
                        d.dims.push_back(parseIntegerConstant());
                    } while (accept(T::Comma));
                    expect(T::RParen, kExpectedCloseParen);
                }
            }
            declareVariable(d, nt);
            s->dims.push_back(std::move(d));
        } while (accept(T::Comma));
        return s;
    }

    ExprPtr parseIntegerConstant()
    {
        const Token& t = cur();
        bool neg = false;
        if (t.t == T::Minus) {
            neg = true;
            next();
        }
        if (cur().t != T::Int) fail(kExpectedIntegerConstant, cur().line, cur().col);
        auto e = make(ExprKind::Literal, cur());
        long v = long(cur().val.rawInt());
        e->value = Variant::fromInteger(neg ? -v : v);
        next();
        return e;
    }

    void declareVariable(DimItem& d, const Token& at)
    {
        if (m_proc) {
            if (m_proc->locals.contains(d.key)) fail(kNameRedefined, at.line, at.col);
            m_proc->locals.insert(d.key, m_proc->slotCount++);
            if (d.isArray) m_proc->arrayLocals.push_back(&d);   // address fixed once moved? see fix-up
        }
    }

    StmtPtr parseReDim()
    {
        auto s = makeStmt(StmtKind::ReDim, cur());
        next();
        if (acceptWord(u"preserve")) s->preserve = true;
        do {
            DimItem d;
            const Token& nt = cur();
            d.name = identifier(&d.key);
            auto id = make(ExprKind::Ident, nt);
            id->name = d.name;
            id->key = d.key;
            noteIdent(id.get());
            d.target = std::move(id);
            expect(T::LParen, kExpectedOpenParen);
            do {
                d.dims.push_back(parseExpr());
            } while (accept(T::Comma));
            expect(T::RParen, kExpectedCloseParen);
            // ReDim of an undeclared name inside a procedure declares a local.
            if (m_proc && !m_proc->locals.contains(d.key) && !m_opt.context) {
                if (!m_class || !m_class->fieldIndex.contains(d.key)) m_redimDeclares.push_back(d.key);
            }
            s->dims.push_back(std::move(d));
        } while (accept(T::Comma));
        return s;
    }

    StmtPtr parseErase()
    {
        auto s = makeStmt(StmtKind::Erase, cur());
        next();
        do {
            DimItem d;
            const Token& nt = cur();
            d.name = identifier(&d.key);
            auto id = make(ExprKind::Ident, nt);
            id->name = d.name;
            id->key = d.key;
            noteIdent(id.get());
            d.target = std::move(id);
            s->dims.push_back(std::move(d));
        } while (accept(T::Comma));
        return s;
    }

    StmtPtr parseConst()
    {
        auto s = makeStmt(StmtKind::Const, cur());
        next();
        do {
            DimItem d;
            const Token& nt = cur();
            d.name = identifier(&d.key);
            expect(T::Eq, kExpectedEquals);
            d.target = parseExpr();
            if (m_proc) {
                if (m_proc->locals.contains(d.key)) fail(kNameRedefined, nt.line, nt.col);
                m_proc->locals.insert(d.key, m_proc->slotCount++);
                auto id = make(ExprKind::Ident, nt);
                id->name = d.name;
                id->key = d.key;
                noteIdent(id.get());
                d.dims.push_back(std::move(id));   // the slot to write
            }
            s->dims.push_back(std::move(d));
        } while (accept(T::Comma));
        return s;
    }

    StmtPtr parseIf()
    {
        auto s = makeStmt(StmtKind::If, cur());
        next();
        s->conds.push_back(parseExpr());
        expectWord(u"then", kExpectedThen);
        if (cur().t != T::Eol || cur().colon) {
            // one-line form: statements up to the end of the line, optional Else part
            if (cur().t == T::Eol) fail(kExpectedStatement, cur().line, cur().col);
            bool saved = m_singleLine;
            m_singleLine = true;
            s->blocks.push_back(parseLineStatements());
            if (acceptWord(u"else")) {
                s->hasElse = true;
                s->blocks.push_back(parseLineStatements());
            }
            m_singleLine = saved;
            if (acceptWord(u"end")) expectWord(u"if", kExpectedIf);   // tolerated "If x Then y End If"
            return s;
        }
        s->blocks.push_back(parseBlock({u"else", u"elseif"}));
        for (;;) {
            if (acceptWord(u"elseif")) {
                s->conds.push_back(parseExpr());
                expectWord(u"then", kExpectedThen);
                if (cur().t != T::Eol) {
                    bool saved = m_singleLine;
                    m_singleLine = true;
                    Block blk = parseLineStatements();
                    m_singleLine = saved;
                    Block rest = parseBlock({u"else", u"elseif"});
                    for (auto& st : rest) blk.push_back(std::move(st));
                    s->blocks.push_back(std::move(blk));
                } else
                    s->blocks.push_back(parseBlock({u"else", u"elseif"}));
                continue;
            }
            if (acceptWord(u"else")) {
                s->hasElse = true;
                s->blocks.push_back(parseBlock({u"else", u"elseif"}));
                if (isWord(u"else") || isWord(u"elseif")) fail(kExpectedEnd, cur().line, cur().col);
            }
            break;
        }
        expectWord(u"end", kExpectedEnd);
        expectWord(u"if", kExpectedIf);
        return s;
    }

    // Statements of a one-line If: separated by ':' up to the line end or Else.
    Block parseLineStatements()
    {
        Block b;
        for (;;) {
            while (cur().t == T::Eol && cur().colon) next();
            if (cur().t == T::Eol || cur().t == T::Eof || isWord(u"else")) break;
            if (isWord(u"end") && isWordAt(1, u"if")) break;
            b.push_back(parseStatement());
            if (cur().t == T::Eol && cur().colon) continue;
            if (cur().t == T::Eol || cur().t == T::Eof || isWord(u"else")) break;
            if (isWord(u"end") && isWordAt(1, u"if")) break;
            fail(kExpectedEndOfStatement, cur().line, cur().col);
        }
        return b;
    }

    StmtPtr parseFor()
    {
        const Token at = cur();
        next();
        if (acceptWord(u"each")) {
            auto s = makeStmt(StmtKind::ForEach, at);
            s->target = identExpr();
            expectWord(u"in", kExpectedIn);
            s->value = parseExpr();
            endOfStatement();
            ++m_loopDepthFor;
            s->blocks.push_back(parseBlock({}));
            --m_loopDepthFor;
            expectWord(u"next", kExpectedNext);
            if (cur().t == T::Word && !isWord(u"else")) next();
            return s;
        }
        auto s = makeStmt(StmtKind::For, at);
        s->target = identExpr();
        expect(T::Eq, kExpectedEquals);
        s->value = parseExpr();
        expectWord(u"to", kExpectedTo);
        s->end = parseExpr();
        if (acceptWord(u"step")) s->step = parseExpr();
        endOfStatement();
        ++m_loopDepthFor;
        s->blocks.push_back(parseBlock({}));
        --m_loopDepthFor;
        expectWord(u"next", kExpectedNext);
        if (cur().t == T::Word && !isWord(u"else")) {
            if (cur().key != s->target->key) fail(kInvalidForControl, cur().line, cur().col);
            next();
        }
        return s;
    }

    ExprPtr identExpr()
    {
        const Token& t = cur();
        auto id = make(ExprKind::Ident, t);
        id->name = identifier(&id->key);
        noteIdent(id.get());
        return id;
    }

    StmtPtr parseDo()
    {
        auto s = makeStmt(StmtKind::Do, cur());
        next();
        if (isWord(u"while") || isWord(u"until")) {
            s->until = isWord(u"until");
            next();
            s->value = parseExpr();
        }
        endOfStatement();
        ++m_loopDepthDo;
        s->blocks.push_back(parseBlock({}));
        --m_loopDepthDo;
        expectWord(u"loop", kExpectedLoop);
        if (isWord(u"while") || isWord(u"until")) {
            if (s->value) fail(kExpectedEndOfStatement, cur().line, cur().col);
            s->until = isWord(u"until");
            next();
            s->value = parseExpr();
            s->condAtEnd = true;
        }
        return s;
    }

    StmtPtr parseWhile()
    {
        auto s = makeStmt(StmtKind::While, cur());
        next();
        s->value = parseExpr();
        endOfStatement();
        s->blocks.push_back(parseBlock({}));
        expectWord(u"wend", kExpectedWend);
        return s;
    }

    StmtPtr parseSelect()
    {
        auto s = makeStmt(StmtKind::Select, cur());
        next();
        expectWord(u"case", kExpectedCase);
        s->value = parseExpr();
        endOfStatement();
        skipEols();
        while (acceptWord(u"case")) {
            if (acceptWord(u"else")) {
                s->hasElse = true;
                s->blocks.push_back(parseBlock({u"case"}));
                break;
            }
            std::vector<CaseItem> items;
            do {
                CaseItem it;
                if (acceptWord(u"is")) {
                    it.kind = CaseItem::Is;
                    switch (cur().t) {
                    case T::Eq:
                        it.op = Op::Eq;
                        break;
                    case T::Ne:
                        it.op = Op::Ne;
                        break;
                    case T::Lt:
                        it.op = Op::Lt;
                        break;
                    case T::Gt:
                        it.op = Op::Gt;
                        break;
                    case T::Le:
                        it.op = Op::Le;
                        break;
                    case T::Ge:
                        it.op = Op::Ge;
                        break;
                    default:
                        fail(kSyntaxError, cur().line, cur().col);
                    }
                    next();
                    it.a = parseConcatLevel();
                } else {
                    it.a = parseExpr();
                    if (acceptWord(u"to")) {
                        it.kind = CaseItem::Range;
                        it.b = parseExpr();
                    }
                }
                items.push_back(std::move(it));
            } while (accept(T::Comma));
            if (cur().t == T::Eol && cur().colon) next();
            s->cases.push_back(std::move(items));
            s->blocks.push_back(parseBlock({u"case"}));
        }
        expectWord(u"end", kExpectedEnd);
        expectWord(u"select", kExpectedSelect);
        return s;
    }

    StmtPtr parseWith()
    {
        auto s = makeStmt(StmtKind::With, cur());
        next();
        s->target = parseExpr();
        endOfStatement();
        ++m_withDepth;
        s->blocks.push_back(parseBlock({}));
        --m_withDepth;
        expectWord(u"end", kExpectedEnd);
        expectWord(u"with", kExpectedWith);
        return s;
    }

    StmtPtr parseSet()
    {
        auto s = makeStmt(StmtKind::SetAssign, cur());
        next();
        s->target = parsePostfix(true);
        checkAssignable(s->target.get());
        expect(T::Eq, kExpectedEquals);
        s->value = parseExpr();
        return s;
    }

    void checkAssignable(Expr* e)
    {
        if (e->kind != ExprKind::Ident && e->kind != ExprKind::Member && e->kind != ExprKind::Call)
            fail(kSyntaxError, e->line, e->column);
    }

    StmtPtr parseCall()
    {
        auto s = makeStmt(StmtKind::CallStmt, cur());
        next();
        ExprPtr target = parsePostfix(true);
        if (target->kind == ExprKind::Call) {
            s->args = std::move(target->args);
            s->hasArgs = true;
            s->target = std::move(target->a);
            markCallee(s->target.get());
        } else if (target->kind == ExprKind::Ident || target->kind == ExprKind::Member) {
            s->target = std::move(target);
            markCallee(s->target.get());
        } else
            fail(kExpectedIdentifier, s->line, s->column);
        return s;
    }

    void markCallee(Expr* e)
    {
        if (e->kind == ExprKind::Ident) e->isCallee = true;
    }

    StmtPtr parseExit()
    {
        auto s = makeStmt(StmtKind::Exit, cur());
        next();
        const Token& t = cur();
        if (isWord(u"do")) {
            if (!m_loopDepthDo) fail(kInvalidExit, t.line, t.col);
            s->exitKind = ExitKind::Do;
        } else if (isWord(u"for")) {
            if (!m_loopDepthFor) fail(kInvalidExit, t.line, t.col);
            s->exitKind = ExitKind::For;
        } else if (isWord(u"sub")) {
            if (!m_proc || m_proc->kind != ProcKind::Sub) fail(kInvalidExit, t.line, t.col);
            s->exitKind = ExitKind::Sub;
        } else if (isWord(u"function")) {
            if (!m_proc || m_proc->kind != ProcKind::Function) fail(kInvalidExit, t.line, t.col);
            s->exitKind = ExitKind::Function;
        } else if (isWord(u"property")) {
            if (!m_proc || m_proc->kind < ProcKind::PropertyGet) fail(kInvalidExit, t.line, t.col);
            s->exitKind = ExitKind::Property;
        } else
            fail(kInvalidExit, t.line, t.col);
        next();
        return s;
    }

    StmtPtr parseOnError()
    {
        auto s = makeStmt(StmtKind::OnError, cur());
        next();
        expectWord(u"error", kSyntaxError);
        if (acceptWord(u"resume")) {
            expectWord(u"next", kSyntaxError);
            s->resumeNext = true;
        } else if (acceptWord(u"goto")) {
            if (cur().t != T::Int || cur().val.rawInt() != 0) fail(kSyntaxError, cur().line, cur().col);
            next();
            s->resumeNext = false;
        } else
            fail(kSyntaxError, cur().line, cur().col);
        return s;
    }

    StmtPtr parseAssignOrCall()
    {
        const Token at = cur();
        ExprPtr target = parsePostfix(true);
        if (accept(T::Eq)) {
            checkAssignable(target.get());
            if (target->kind == ExprKind::Me) fail(kInvalidUseOfMe, at.line, at.col);
            auto s = makeStmt(StmtKind::Assign, at);
            s->value = parseExpr();
            // s = s & x appends in place.
            if (target->kind == ExprKind::Ident && s->value->kind == ExprKind::Binary && s->value->op == Op::Concat
                && s->value->a->kind == ExprKind::Ident && s->value->a->key == target->key)
                s->kind = StmtKind::AppendAssign;
            s->target = std::move(target);
            return s;
        }
        auto s = makeStmt(StmtKind::CallStmt, at);
        if (atEos()) {
            if (target->kind == ExprKind::Call) {
                // name(x) as a statement: one argument in parentheses is passed by value
                if (target->args.size() > 1) fail(kParenthesesCallingSub, at.line, at.col);
                for (auto& a : target->args) {
                    if (a->kind == ExprKind::Missing) continue;
                    auto p = make(ExprKind::Paren, at);
                    p->a = std::move(a);
                    a = std::move(p);
                }
                s->args = std::move(target->args);
                s->hasArgs = true;
                s->target = std::move(target->a);
            } else
                s->target = std::move(target);
            if (s->target->kind != ExprKind::Ident && s->target->kind != ExprKind::Member
                && s->target->kind != ExprKind::Call)
                fail(kExpectedStatement, at.line, at.col);
            markCallee(s->target.get());
            return s;
        }
        // name args...  (the first argument may have begun with a parenthesis)
        ExprPtr first;
        if (target->kind == ExprKind::Call && target->args.size() == 1 && target->args[0]->kind != ExprKind::Missing
            && cur().t != T::Comma) {
            auto p = make(ExprKind::Paren, at);
            p->a = std::move(target->args[0]);
            m_injected = std::move(p);
            s->target = std::move(target->a);
            first = parseExpr();
        } else if (target->kind == ExprKind::Call && target->args.size() == 1 && cur().t == T::Comma) {
            auto p = make(ExprKind::Paren, at);
            p->a = std::move(target->args[0]);
            first = std::move(p);
            s->target = std::move(target->a);
        } else if (target->kind == ExprKind::Call) {
            fail(kParenthesesCallingSub, at.line, at.col);
        } else {
            s->target = std::move(target);
            first = cur().t == T::Comma ? make(ExprKind::Missing, cur()) : parseExpr();
        }
        markCallee(s->target.get());
        s->hasArgs = true;
        s->args.push_back(std::move(first));
        while (accept(T::Comma)) {
            if (cur().t == T::Comma || atEos())
                s->args.push_back(make(ExprKind::Missing, cur()));
            else
                s->args.push_back(parseExpr());
        }
        return s;
    }

    // -- procedures and classes

    void parseProcDecl(bool isPublic, ClassDef*)
    {
        const Token at = cur();
        bool isDefault = false;
        if (acceptWord(u"default")) {
            if (!isPublic) fail(kDefaultMustBePublic, at.line, at.col);
            if (!m_class) fail(kMustBeInsideClass, at.line, at.col);
            isDefault = true;
        }
        if (m_proc) fail(kExpectedStatement, at.line, at.col);
        auto proc = std::make_shared<Proc>();
        proc->isPublic = isPublic;
        proc->isDefault = isDefault;
        proc->owner = m_class;
        proc->line = at.line;
        const char16_t* endWord;
        if (acceptWord(u"sub")) {
            proc->kind = ProcKind::Sub;
            endWord = u"sub";
        } else if (acceptWord(u"function")) {
            proc->kind = ProcKind::Function;
            endWord = u"function";
        } else if (acceptWord(u"property")) {
            if (!m_class) fail(kMustBeInsideClass, at.line, at.col);
            if (acceptWord(u"get"))
                proc->kind = ProcKind::PropertyGet;
            else if (acceptWord(u"let"))
                proc->kind = ProcKind::PropertyLet;
            else if (acceptWord(u"set"))
                proc->kind = ProcKind::PropertySet;
            else
                fail(kExpectedPropertyKind, cur().line, cur().col);
            endWord = u"property";
        } else
            fail(kExpectedStatement, at.line, at.col);
        if (isDefault && proc->kind != ProcKind::PropertyGet && proc->kind != ProcKind::Function
            && proc->kind != ProcKind::Sub)
            fail(kDefaultOnlyOnPropertyGet, at.line, at.col);
        proc->name = identifier(&proc->key);
        if (accept(T::LParen)) {
            if (!accept(T::RParen)) {
                do {
                    Param p;
                    if (acceptWord(u"byval"))
                        p.byRef = false;
                    else
                        acceptWord(u"byref");
                    const Token& pt = cur();
                    p.name = identifier(&p.key);
                    if (accept(T::LParen)) expect(T::RParen, kExpectedCloseParen);
                    if (proc->locals.contains(p.key)) fail(kNameRedefined, pt.line, pt.col);
                    proc->locals.insert(p.key, proc->slotCount++);
                    proc->params.push_back(p);
                } while (accept(T::Comma));
                expect(T::RParen, kExpectedCloseParen);
            }
        }
        if ((proc->kind == ProcKind::PropertyLet || proc->kind == ProcKind::PropertySet) && proc->params.empty())
            fail(kPropertyWithoutArgument, at.line, at.col);
        if (proc->kind == ProcKind::Function || proc->kind == ProcKind::PropertyGet) {
            proc->resultSlot = proc->slotCount++;
            if (!proc->locals.contains(proc->key)) proc->locals.insert(proc->key, proc->resultSlot);
        }
        endOfStatement();
        m_proc = proc.get();
        m_redimDeclares.clear();
        proc->body = parseBlock({});
        m_proc = nullptr;
        for (const QString& k : m_redimDeclares)
            if (!proc->locals.contains(k)) proc->locals.insert(k, proc->slotCount++);
        m_redimDeclares.clear();
        expectWord(u"end", kExpectedEnd);
        if (!acceptWord(endWord)) {
            long err = endWord == std::u16string_view(u"sub") ? kExpectedSub
                : endWord == std::u16string_view(u"function") ? kExpectedFunction
                                                              : kExpectedProperty;
            fail(err, cur().line, cur().col);
        }
        fixArrayLocals(proc->body, *proc);
        if (m_class) {
            ClassDef& c = *m_class;
            auto clash = [&](const QString& k) { return c.fieldIndex.contains(k) || c.methods.contains(k); };
            switch (proc->kind) {
            case ProcKind::Sub:
            case ProcKind::Function:
                if (clash(proc->key) || c.getters.contains(proc->key) || c.letters.contains(proc->key)
                    || c.setters.contains(proc->key))
                    fail(kNameRedefined, at.line, at.col);
                if (proc->key == u"class_initialize" || proc->key == u"class_terminate") {
                    if (!proc->params.empty()) fail(kClassEventWithArguments, at.line, at.col);
                    (proc->key == u"class_initialize" ? c.initialize : c.terminate) = proc;
                }
                c.methods.insert(proc->key, proc);
                break;
            case ProcKind::PropertyGet:
                if (clash(proc->key) || c.getters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
                c.getters.insert(proc->key, proc);
                break;
            case ProcKind::PropertyLet:
                if (clash(proc->key) || c.letters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
                c.letters.insert(proc->key, proc);
                break;
            case ProcKind::PropertySet:
                if (clash(proc->key) || c.setters.contains(proc->key)) fail(kNameRedefined, at.line, at.col);
                c.setters.insert(proc->key, proc);
                break;
            }
            if (isDefault) {
                if (!c.defaultMember.isEmpty() && c.defaultMember != proc->key)
                    fail(kMultipleDefaults, at.line, at.col);
                c.defaultMember = proc->key;
            }
            m_classProcs.push_back(proc.get());
        } else {
            resolveProc(*proc, nullptr);
            m_prog.procs.push_back(proc);
        }
    }

    // Dim'd arrays are remembered by address; collect them again now that the tree is final.
    void fixArrayLocals(Block& b, Proc& p)
    {
        p.arrayLocals.clear();
        collectArrayDims(b, p);
    }
    void collectArrayDims(Block& b, Proc& p)
    {
        for (auto& s : b) {
            if (s->kind == StmtKind::Dim)
                for (auto& d : s->dims)
                    if (d.isArray) p.arrayLocals.push_back(&d);
            for (auto& blk : s->blocks) collectArrayDims(blk, p);
        }
    }

    void parseClass()
    {
        const Token at = cur();
        next();
        auto cls = std::make_shared<ClassDef>();
        cls->name = identifier(&cls->key);
        endOfStatement();
        m_class = cls.get();
        m_classProcs.clear();
        for (;;) {
            skipEols();
            if (cur().t == T::Eof) fail(kExpectedEnd, cur().line, cur().col);
            if (isWord(u"end")) break;
            const Token t = cur();
            bool isPublic = true;
            if (acceptWord(u"public"))
                isPublic = true;
            else if (acceptWord(u"private"))
                isPublic = false;
            else if (acceptWord(u"dim"))
                isPublic = true;
            else if (!isWord(u"sub") && !isWord(u"function") && !isWord(u"property"))
                fail(kExpectedStatement, t.line, t.col);
            if (isWord(u"sub") || isWord(u"function") || isWord(u"property") || isWord(u"default")) {
                parseProcDecl(isPublic, cls.get());
                continue;
            }
            if (isWord(u"const")) fail(kExpectedStatement, t.line, t.col);
            do {
                ClassField f;
                f.isPublic = isPublic;
                const Token& ft = cur();
                f.name = identifier(&f.key);
                if (accept(T::LParen)) {
                    f.isArray = true;
                    if (!accept(T::RParen)) {
                        do {
                            f.dims.push_back(parseIntegerConstant());
                        } while (accept(T::Comma));
                        expect(T::RParen, kExpectedCloseParen);
                    }
                }
                if (cls->fieldIndex.contains(f.key)) fail(kNameRedefined, ft.line, ft.col);
                cls->fieldIndex.insert(f.key, int(cls->fields.size()));
                cls->fields.push_back(std::move(f));
            } while (accept(T::Comma));
            endOfStatement();
        }
        expectWord(u"end", kExpectedEnd);
        expectWord(u"class", kExpectedClass);
        for (Proc* p : m_classProcs) resolveProc(*p, cls.get());
        m_classProcs.clear();
        m_class = nullptr;
        m_prog.classes.push_back(cls);
    }

    void resolveProc(Proc& p, const ClassDef* cls)
    {
        for (Expr* e : p.idents) resolveIdent(e, &p, cls);
        p.idents.clear();
    }

    void resolveIdent(Expr* e, const Proc* p, const ClassDef* cls)
    {
        if (p) {
            auto it = p->locals.find(e->key);
            if (it != p->locals.end()) {
                bool ownName = e->key == p->key && p->resultSlot >= 0;
                if (!(ownName && e->isCallee)) {
                    e->bind = Bind::Local;
                    e->slot = it.value();
                    return;
                }
            }
        }
        if (cls) {
            auto f = cls->fieldIndex.find(e->key);
            if (f != cls->fieldIndex.end()) {
                e->bind = Bind::ClassField;
                e->slot = f.value();
                return;
            }
            if (cls->methods.contains(e->key) || cls->getters.contains(e->key) || cls->letters.contains(e->key)
                || cls->setters.contains(e->key)) {
                e->bind = Bind::ClassMember;
                return;
            }
        }
    }

    void finishTop()
    {
        // Top-level identifiers stay global unless this code runs inside a procedure (Execute).
        if (m_opt.context || m_opt.contextClass)
            for (Expr* e : m_topIdents) resolveIdent(e, m_opt.context, m_opt.contextClass);
        m_topIdents.clear();
    }

    void noteIdent(Expr* e)
    {
        if (m_proc)
            m_proc->idents.push_back(e);
        else
            m_topIdents.push_back(e);
    }

    // -- expressions

    ExprPtr parseExpr()
    {
        DepthGuard g(*this);
        return parseBinary(0);
    }

    // Precedence levels, lowest first.
    static int levelOf(const Token& t, Op& op)
    {
        switch (t.t) {
        case T::Eq:
            op = Op::Eq;
            return 6;
        case T::Ne:
            op = Op::Ne;
            return 6;
        case T::Lt:
            op = Op::Lt;
            return 6;
        case T::Gt:
            op = Op::Gt;
            return 6;
        case T::Le:
            op = Op::Le;
            return 6;
        case T::Ge:
            op = Op::Ge;
            return 6;
        case T::Amp:
            op = Op::Concat;
            return 7;
        case T::Plus:
            op = Op::Add;
            return 8;
        case T::Minus:
            op = Op::Sub;
            return 8;
        case T::Backslash:
            op = Op::IntDiv;
            return 10;
        case T::Star:
            op = Op::Mul;
            return 11;
        case T::Slash:
            op = Op::Div;
            return 11;
        case T::Word:
            if (t.key == u"imp") {
                op = Op::Imp;
                return 1;
            }
            if (t.key == u"eqv") {
                op = Op::Eqv;
                return 2;
            }
            if (t.key == u"xor") {
                op = Op::Xor;
                return 3;
            }
            if (t.key == u"or") {
                op = Op::Or;
                return 4;
            }
            if (t.key == u"and") {
                op = Op::And;
                return 5;
            }
            if (t.key == u"is") {
                op = Op::Is;
                return 6;
            }
            if (t.key == u"mod") {
                op = Op::Mod;
                return 9;
            }
            return -1;
        default:
            return -1;
        }
    }

    // Binary operators at level >= minLevel; Not sits between And (5) and comparisons (6).
    ExprPtr parseBinary(int minLevel)
    {
        DepthGuard g(*this);
        ExprPtr lhs;
        if (!m_injected && isWord(u"not") && minLevel <= 6) {
            const Token at = cur();
            next();
            auto u = make(ExprKind::Unary, at);
            u->op = Op::Not;
            u->a = parseBinary(6);
            lhs = std::move(u);
        } else
            lhs = parseUnary();
        for (;;) {
            Op op;
            int lvl = levelOf(cur(), op);
            if (lvl < 0 || lvl < minLevel) break;
            if (m_singleLine && isWord(u"else")) break;
            const Token at = cur();
            next();
            ExprPtr rhs = parseBinary(lvl + 1);
            auto b = make(ExprKind::Binary, at);
            b->op = op;
            b->depth = std::max(lhs->depth, rhs->depth) + 1;
            if (b->depth > kMaxTreeDepth) fail(kOutOfStackSpace, at.line, at.col);
            b->a = std::move(lhs);
            b->b = std::move(rhs);
            lhs = std::move(b);
        }
        return lhs;
    }

    ExprPtr parseConcatLevel() { return parseBinary(7); }

    // A sign binds tighter than ^: -2 ^ 2 is (-2) ^ 2, and so is the operand after ^.
    ExprPtr parseSigned()
    {
        DepthGuard g(*this);
        if (!m_injected && (cur().t == T::Minus || cur().t == T::Plus)) {
            const Token at = cur();
            next();
            auto u = make(ExprKind::Unary, at);
            u->op = at.t == T::Minus ? Op::Neg : Op::Plus;
            u->a = parseSigned();
            return u;
        }
        if (!m_injected && isWord(u"not")) return parseUnary();
        return parsePostfix(false);
    }

    ExprPtr parseUnary()
    {
        DepthGuard g(*this);
        if (!m_injected && isWord(u"not")) {
            // Not after an arithmetic operator: binds to its comparison-level operand
            const Token at = cur();
            next();
            auto u = make(ExprKind::Unary, at);
            u->op = Op::Not;
            u->a = parseBinary(6);
            return u;
        }
        ExprPtr base = parseSigned();
        while (cur().t == T::Caret) {
            const Token at = cur();
            next();
            ExprPtr rhs = parseSigned();
            auto b = make(ExprKind::Binary, at);
            b->op = Op::Pow;
            b->depth = std::max(base->depth, rhs->depth) + 1;
            if (b->depth > kMaxTreeDepth) fail(kOutOfStackSpace, at.line, at.col);
            b->a = std::move(base);
            b->b = std::move(rhs);
            base = std::move(b);
        }
        return base;
    }

    ExprPtr parsePrimary()
    {
        if (m_injected) return std::move(m_injected);
        const Token t = cur();
        switch (t.t) {
        case T::Int:
        case T::Float:
        case T::Str:
        case T::DateLit: {
            auto e = make(ExprKind::Literal, t);
            e->value = t.val;
            e->hardLiteral = true;
            next();
            return e;
        }
        case T::LParen: {
            next();
            auto e = make(ExprKind::Paren, t);
            e->a = parseExpr();
            expect(T::RParen, kExpectedCloseParen);
            return e;
        }
        case T::Dot: {
            if (!m_withDepth && !m_opt.context) fail(kSyntaxError, t.line, t.col);
            next();
            auto e = make(ExprKind::Member, cur());
            if (cur().t != T::Word) fail(kExpectedIdentifier, cur().line, cur().col);
            e->name = cur().text;
            e->key = cur().key;
            next();
            return e;
        }
        case T::Word: {
            const QString& k = t.key;
            if (k == u"true" || k == u"false") {
                auto e = make(ExprKind::Literal, t);
                e->value = Variant::boolean(k == u"true");
                next();
                return e;
            }
            if (k == u"empty") {
                auto e = make(ExprKind::Literal, t);
                next();
                return e;
            }
            if (k == u"null") {
                auto e = make(ExprKind::Literal, t);
                e->value = Variant::null();
                next();
                return e;
            }
            if (k == u"nothing") {
                auto e = make(ExprKind::Literal, t);
                e->value = Variant::nothing();
                next();
                return e;
            }
            if (k == u"me") {
                if (!m_class && !m_opt.contextClass) fail(kInvalidUseOfMe, t.line, t.col);
                next();
                return make(ExprKind::Me, t);
            }
            if (k == u"new") {
                next();
                auto e = make(ExprKind::New, t);
                e->name = identifier(&e->key);
                return e;
            }
            auto e = make(ExprKind::Ident, t);
            e->name = identifier(&e->key);
            noteIdent(e.get());
            return e;
        }
        default:
            break;
        }
        fail(kExpectedExpression, t.line, t.col);
    }

    ExprPtr parsePostfix(bool statementStart)
    {
        DepthGuard g(*this);
        ExprPtr e = parsePrimary();
        for (;;) {
            if (cur().t == T::Dot && !cur().spaceBefore) {
                next();
                if (cur().t != T::Word) fail(kExpectedIdentifier, cur().line, cur().col);
                auto m = make(ExprKind::Member, cur());
                m->name = cur().text;
                m->key = cur().key;
                m->depth = e->depth + 1;
                if (m->depth > kMaxTreeDepth) fail(kOutOfStackSpace, m->line, m->column);
                m->a = std::move(e);
                next();
                e = std::move(m);
                continue;
            }
            if (cur().t == T::LParen && e->kind != ExprKind::Literal && e->kind != ExprKind::Paren) {
                const Token at = cur();
                next();
                auto c = make(ExprKind::Call, at);
                if (!accept(T::RParen)) {
                    for (;;) {
                        if (cur().t == T::Comma)
                            c->args.push_back(make(ExprKind::Missing, cur()));
                        else if (cur().t == T::RParen) {
                            c->args.push_back(make(ExprKind::Missing, cur()));
                            break;
                        } else
                            c->args.push_back(parseExpr());
                        if (!accept(T::Comma)) break;
                    }
                    expect(T::RParen, kExpectedCloseParen);
                }
                if (e->kind == ExprKind::Ident) e->isCallee = true;
                c->depth = e->depth + 1;
                for (auto& arg : c->args) c->depth = std::max(c->depth, arg->depth + 1);
                if (c->depth > kMaxTreeDepth) fail(kOutOfStackSpace, at.line, at.col);
                c->a = std::move(e);
                e = std::move(c);
                continue;
            }
            break;
        }
        (void)statementStart;
        return e;
    }

    std::vector<Token> m_t;
    size_t m_p = 0;
    const ParseOptions& m_opt;
    Program& m_prog;
    Proc* m_proc = nullptr;
    ClassDef* m_class = nullptr;
    std::vector<Proc*> m_classProcs;
    std::vector<Expr*> m_topIdents;
    std::vector<QString> m_redimDeclares;
    ExprPtr m_injected;
    bool m_singleLine = false;
    int m_depth = 0;
    int m_loopDepthDo = 0, m_loopDepthFor = 0, m_withDepth = 0;
};

QString lineText(const QString& src, int line)
{
    int l = 1, i = 0;
    const int n = int(src.size());
    while (l < line && i < n) {
        if (src[i] == u'\r') {
            if (i + 1 < n && src[i + 1] == u'\n') ++i;
            ++l;
        } else if (src[i] == u'\n')
            ++l;
        ++i;
    }
    int j = i;
    while (j < n && src[j] != u'\r' && src[j] != u'\n') ++j;
    return src.mid(i, j - i);
}

}   // namespace

std::unique_ptr<Program> parseProgram(const QString& source, const ParseOptions& options)
{
    auto prog = std::make_unique<Program>();
    prog->source = source;
    try {
        Lexer lex(source);
        Parser p(lex.run(), options, *prog);
        p.parseAll();
    } catch (const CompileError& e) {
        ErrorReport r;
        r.number = e.number;
        r.source = QString::fromLatin1(e.number == kOutOfStackSpace ? kRuntimeErrorSource : kCompilationErrorSource);
        r.description = errorMessage(e.number);
        r.line = e.line;
        r.column = e.col;
        r.text = lineText(source, e.line);
        throw ScriptError(std::move(r));
    }
    return prog;
}

}   // namespace orra::vbs
