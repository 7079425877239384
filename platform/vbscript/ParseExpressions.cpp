// Expressions: operator precedence, operands, member access and calls.
#include "platform/vbscript/ParserInternal.h"

namespace orra::vbs::parser {

ExprPtr Parser::parseExpr()
{
    DepthGuard g(*this);
    return parseBinary(0);
}

// Precedence levels, lowest first.
int Parser::levelOf(const Token& t, Op& op)
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
ExprPtr Parser::parseBinary(int minLevel)
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

// A sign binds tighter than ^: -2 ^ 2 is (-2) ^ 2, and so is the operand after ^.
ExprPtr Parser::parseSigned()
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

ExprPtr Parser::parseUnary()
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

ExprPtr Parser::parsePrimary()
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

ExprPtr Parser::parsePostfix(bool statementStart)
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
        // a parenthesised name is the callee itself: (f)(1) and (((f)))(1) call f
        if (cur().t == T::LParen && e->kind == ExprKind::Paren) {
            const Expr* inner = e->a.get();
            while (inner->kind == ExprKind::Paren) inner = inner->a.get();
            if (inner->kind == ExprKind::Ident || inner->kind == ExprKind::Member)
                while (e->kind == ExprKind::Paren) e = std::move(e->a);
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

}   // namespace orra::vbs::parser
