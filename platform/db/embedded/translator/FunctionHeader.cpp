#include "platform/db/embedded/translator/FunctionHeader.h"

#include "platform/db/embedded/translator/Rewriting.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

namespace {

bool isParameterName(const Token& t)
{
    return t.kind == TokenKind::Word && t.text.startsWith(u'@') && !t.text.startsWith(QLatin1String("@@"));
}

// The end of a parameter's type: before =, output, readonly, a comma or the closing parenthesis.
size_t typeEnd(const std::vector<Token>& T, size_t k, size_t e)
{
    int depth = 0;
    for (; k < e; ++k) {
        const Token& t = T[k];
        if (t.isSymbol("(")) {
            ++depth;
        } else if (t.isSymbol(")")) {
            if (depth == 0) break;
            --depth;
        } else if (depth == 0
            && (t.isSymbol("=") || t.isSymbol(",") || isOneOf(t, {"output", "out", "readonly", "as", "with", "returns"}))) {
            break;
        }
    }
    return k;
}

}   // namespace

FunctionHeader readFunctionHeader(const std::vector<Token>& T, size_t start)
{
    FunctionHeader h;
    h.start = start;
    TokenCursor c(T, start);
    const auto failAt = [&](size_t at) {
        h.errorAt = std::min(at, T.size());
        return h;
    };
    if (c.at("create") && c.at("or", 1)) {
        h.create = h.alter = true;
        c.skip(3);
    } else {
        h.create = c.at("create");
        h.alter = !h.create;
        c.skip();
    }
    c.skip();   // function
    h.name = readObjectName(T, c.position(), T.size());
    if (h.name.parts == 0) return failAt(c.position());
    c.seek(h.name.end);
    if (!c.matchSymbol("(")) return failAt(c.position());
    // the parameters
    while (!c.atEnd() && isParameterName(*c.peek())) {
        FunctionParameter p;
        p.name = c.peek()->text;
        c.skip();
        if (c.at("as")) c.skip();
        p.typeBegin = c.position();
        p.typeEnd = typeEnd(T, p.typeBegin, T.size());
        if (p.typeEnd == p.typeBegin) return failAt(p.typeBegin);
        c.seek(p.typeEnd);
        if (c.matchSymbol("=")) {
            p.defaultBegin = c.position();
            // a constant, NULL, or a negative number
            if (c.atSymbol("-") || c.atSymbol("+")) c.skip();
            if (c.atEnd()) return failAt(c.position());
            c.skip();
            p.defaultEnd = c.position();
        }
        if (c.at("readonly")) c.skip();
        h.parameters.push_back(p);
        if (!c.matchSymbol(",")) break;
    }
    if (!c.matchSymbol(")") || !c.match("returns") || c.atEnd()) return failAt(c.position());
    if (c.at("table")) {
        h.type = QStringLiteral("IF");
        c.skip();
    } else if (isParameterName(*c.peek()) && c.at("table", 1)) {
        h.type = QStringLiteral("TF");
        c.skip(2);
        if (!c.atSymbol("(")) return failAt(c.position());
        c.skipGroup();
    } else {
        h.type = QStringLiteral("FN");
        h.returnBegin = c.position();
        h.returnEnd = typeEnd(T, h.returnBegin, T.size());
        if (h.returnEnd == h.returnBegin) return failAt(h.returnBegin);
        c.seek(h.returnEnd);
    }
    // with schemabinding, returns null on null input, execute as …, recompile, encryption
    if (c.match("with")) {
        while (!c.atEnd() && !c.at("as") && !c.at("begin") && !c.at("return"))
            c.skip((c.at("execute") || c.at("exec")) && c.at("as", 1) ? 3 : 1);
    }
    if (!c.match("as") && !(c.at("begin") || c.at("return"))) return failAt(c.position());
    if (c.atEnd()) return failAt(c.position());
    h.body = c.position();
    return h;
}

}   // namespace orra::embedded::translator
