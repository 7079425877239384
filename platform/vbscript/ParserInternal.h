#pragma once
// The parser's own types, shared by its source files: tokens, the lexer's entry point and the
// recursive-descent Parser (statements, declarations and expressions live in separate files).

#include "platform/vbscript/Parser.h"
#include "platform/vbscript/Runtime.h"

#include <QHash>
#include <QString>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace orra::vbs::parser {

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

[[noreturn]] inline void fail(long number, int line, int col) { throw CompileError{number, line, col}; }

// Lexer.cpp
std::vector<Token> tokenize(const QString& source);
bool isReserved(const QString& key);

class Parser {
public:
    Parser(std::vector<Token> toks, const ParseOptions& opt, Program& prog)
        : m_t(std::move(toks)), m_opt(opt), m_prog(prog)
    {
    }

    void parseAll();

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
    // Property opens a declaration only with Get, Let or Set after it; else it is a name.
    bool isPropertyDeclAt(size_t k) const
    {
        return isWordAt(k, u"property")
            && (isWordAt(k + 1, u"get") || isWordAt(k + 1, u"let") || isWordAt(k + 1, u"set"));
    }
    // Default likewise only before Sub, Function or Property Get.
    bool isDefaultDeclAt(size_t k) const
    {
        return isWordAt(k, u"default")
            && (isWordAt(k + 1, u"sub") || isWordAt(k + 1, u"function") || isPropertyDeclAt(k + 1));
    }
    // "End Sub", "End If"... close a block even with no separator before them (x = 1 End Sub).
    bool atBlockEnd() const
    {
        if (!isWord(u"end")) return false;
        const Token& t = peek();
        if (t.t != T::Word) return false;
        const QString& k = t.key;
        return k == u"sub" || k == u"function" || k == u"property" || k == u"if" || k == u"select" || k == u"with"
            || k == u"class";
    }
    bool atEos() const
    {
        return cur().t == T::Eol || cur().t == T::Eof || (m_singleLine && isWord(u"else")) || atBlockEnd();
    }
    void endOfStatement()
    {
        if (m_singleLine && isWord(u"else")) return;
        if (atBlockEnd()) return;
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

    // ParseStatements.cpp
    // Parses statements until one of the end words (checked at a statement start).
    Block parseBlock(std::initializer_list<const char16_t*> ends, bool topLevel = false);
    void parseStatementInto(Block& b, bool topLevel);
    StmtPtr parseStatement();
    StmtPtr parseIf();
    // Statements of a one-line If: separated by ':' up to the line end or Else.
    Block parseLineStatements();
    StmtPtr parseFor();
    ExprPtr identExpr();
    StmtPtr parseDo();
    StmtPtr parseWhile();
    StmtPtr parseSelect();
    StmtPtr parseWith();
    StmtPtr parseSet();
    void checkAssignable(Expr* e);
    StmtPtr parseCall();
    void markCallee(Expr* e);
    StmtPtr parseExit();
    StmtPtr parseOnError();
    StmtPtr parseAssignOrCall();

    // ParseDeclarations.cpp: variables, constants, procedures, classes and name binding
    StmtPtr parseDim(const Token& at);
    ExprPtr parseIntegerConstant();
    void declareVariable(DimItem& d, const Token& at);
    StmtPtr parseReDim();
    StmtPtr parseErase();
    StmtPtr parseConst();
    void parseProcDecl(bool isPublic, ClassDef*);
    // Dim'd arrays are remembered by address; collect them again now that the tree is final.
    void fixArrayLocals(Block& b, Proc& p);
    void collectArrayDims(Block& b, Proc& p);
    void parseClass();
    void resolveProc(Proc& p, const ClassDef* cls);
    void resolveIdent(Expr* e, const Proc* p, const ClassDef* cls);
    void finishTop();
    void noteIdent(Expr* e);
    // Constants with a literal value are put in place of their names throughout their scope,
    // before or after the Const statement and whether or not it runs.
    void noteConstant(const DimItem& d);
    bool constantValue(const Expr& e, const QHash<QString, Variant>& known, Variant& out) const;
    void substituteConstants(const std::vector<Expr*>& idents, const QHash<QString, Variant>& consts);
    void noteWriteTarget(const Expr* e)
    {
        if (e && e->kind == ExprKind::Ident) m_writeTargets.insert(e);
    }

    // ParseExpressions.cpp
    ExprPtr parseExpr();
    // Precedence levels, lowest first.
    static int levelOf(const Token& t, Op& op);
    // Binary operators at level >= minLevel; Not sits between And (5) and comparisons (6).
    ExprPtr parseBinary(int minLevel);
    ExprPtr parseConcatLevel() { return parseBinary(7); }
    // A sign binds tighter than ^: -2 ^ 2 is (-2) ^ 2, and so is the operand after ^.
    ExprPtr parseSigned();
    ExprPtr parseUnary();
    ExprPtr parsePrimary();
    ExprPtr parsePostfix(bool statementStart);

    std::vector<Token> m_t;
    size_t m_p = 0;
    const ParseOptions& m_opt;
    Program& m_prog;
    Proc* m_proc = nullptr;
    ClassDef* m_class = nullptr;
    std::vector<Proc*> m_classProcs;
    std::vector<Expr*> m_topIdents;
    std::vector<QString> m_redimDeclares;
    QHash<QString, Variant> m_topConsts;
    std::unordered_map<const Proc*, QHash<QString, Variant>> m_procConsts;
    std::unordered_set<const Expr*> m_writeTargets;   // idents written (never replaced by a constant)
    ExprPtr m_injected;
    bool m_singleLine = false;
    int m_depth = 0;
    int m_loopDepthDo = 0, m_loopDepthFor = 0, m_withDepth = 0;
};

}   // namespace orra::vbs::parser
