// Statements and blocks: control flow, assignments and calls.
#include "platform/vbscript/ParserInternal.h"

namespace orra::vbs::parser {

// Parses statements until one of the end words (checked at a statement start).
Block Parser::parseBlock(std::initializer_list<const char16_t*> ends, bool topLevel)
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

void Parser::parseStatementInto(Block& b, bool topLevel)
{
    const Token& t = cur();
    if (t.t == T::Word) {
        const QString& k = t.key;
        bool isPublic = k == u"public", isPrivate = k == u"private";
        if (isPublic || isPrivate) {
            if (isWordAt(1, u"sub") || isWordAt(1, u"function") || isPropertyDeclAt(1) || isDefaultDeclAt(1)
                || isWordAt(1, u"const")) {
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
        if (isPropertyDeclAt(0)) {
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

StmtPtr Parser::parseStatement()
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
        if (k == u"stop") {   // a breakpoint: nothing to do without a debugger
            next();
            return makeStmt(StmtKind::Nop, t);
        }
        if (k == u"next") fail(kUnexpectedNext, t.line, t.col);
        if (k == u"loop") fail(kLoopWithoutDo, t.line, t.col);
        if (k == u"sub" || k == u"function" || k == u"class" || isPropertyDeclAt(0))
            fail(kExpectedStatement, t.line, t.col);
        if (k == u"end" || k == u"else" || k == u"elseif" || k == u"wend" || k == u"case")
            fail(kExpectedStatement, t.line, t.col);
        if (isReserved(k) && k != u"me" && k != u"new") fail(kExpectedStatement, t.line, t.col);
    } else if (t.t != T::Dot) {
        fail(kExpectedStatement, t.line, t.col);
    }
    return parseAssignOrCall();
}

StmtPtr Parser::parseIf()
{
    auto s = makeStmt(StmtKind::If, cur());
    next();
    s->conds.push_back(parseExpr());
    expectWord(u"then", kExpectedThen);
    if (cur().t != T::Eol || cur().colon) {
        // one-line form: statements up to the end of the line (maybe none: "If x Then :"), optional Else
        bool saved = m_singleLine;
        m_singleLine = true;
        s->blocks.push_back(parseLineStatements());
        if (acceptWord(u"else")) {
            s->hasElse = true;
            s->blocks.push_back(parseLineStatements());
        }
        m_singleLine = saved;
        if (isWord(u"end") && isWordAt(1, u"if")) {   // tolerated "If x Then y End If"
            next();
            next();
        }
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
Block Parser::parseLineStatements()
{
    Block b;
    for (;;) {
        while (cur().t == T::Eol && cur().colon) next();
        if (cur().t == T::Eol || cur().t == T::Eof || isWord(u"else")) break;
        if (atBlockEnd()) break;
        b.push_back(parseStatement());
        if (cur().t == T::Eol && cur().colon) continue;
        if (cur().t == T::Eol || cur().t == T::Eof || isWord(u"else")) break;
        if (atBlockEnd()) break;
        fail(kExpectedEndOfStatement, cur().line, cur().col);
    }
    return b;
}

StmtPtr Parser::parseFor()
{
    const Token at = cur();
    next();
    if (acceptWord(u"each")) {
        auto s = makeStmt(StmtKind::ForEach, at);
        s->target = identExpr();
        noteWriteTarget(s->target.get());
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
    noteWriteTarget(s->target.get());
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

ExprPtr Parser::identExpr()
{
    const Token& t = cur();
    auto id = make(ExprKind::Ident, t);
    id->name = identifier(&id->key);
    noteIdent(id.get());
    return id;
}

StmtPtr Parser::parseDo()
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

StmtPtr Parser::parseWhile()
{
    auto s = makeStmt(StmtKind::While, cur());
    next();
    s->value = parseExpr();
    endOfStatement();
    s->blocks.push_back(parseBlock({}));
    expectWord(u"wend", kExpectedWend);
    return s;
}

StmtPtr Parser::parseSelect()
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

StmtPtr Parser::parseWith()
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

StmtPtr Parser::parseSet()
{
    auto s = makeStmt(StmtKind::SetAssign, cur());
    next();
    s->target = parsePostfix(true);
    checkAssignable(s->target.get());
    noteWriteTarget(s->target.get());
    expect(T::Eq, kExpectedEquals);
    s->value = parseExpr();
    return s;
}

void Parser::checkAssignable(Expr* e)
{
    if (e->kind != ExprKind::Ident && e->kind != ExprKind::Member && e->kind != ExprKind::Call)
        fail(kSyntaxError, e->line, e->column);
}

StmtPtr Parser::parseCall()
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

void Parser::markCallee(Expr* e)
{
    if (e->kind == ExprKind::Ident) e->isCallee = true;
}

StmtPtr Parser::parseExit()
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

StmtPtr Parser::parseOnError()
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

StmtPtr Parser::parseAssignOrCall()
{
    const Token at = cur();
    ExprPtr target = parsePostfix(true);
    if (accept(T::Eq)) {
        checkAssignable(target.get());
        if (target->kind == ExprKind::Me) fail(kInvalidUseOfMe, at.line, at.col);
        noteWriteTarget(target.get());
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

}   // namespace orra::vbs::parser
