// Entry point of the parser: a token stream to a Program, compile errors to ScriptError.
#include "platform/vbscript/ParserInternal.h"

namespace orra::vbs {

namespace parser {

void Parser::parseAll()
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

}   // namespace parser

namespace {

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

using parser::CompileError;
using parser::Parser;
using parser::tokenize;

std::unique_ptr<Program> parseProgram(const QString& source, const ParseOptions& options)
{
    auto prog = std::make_unique<Program>();
    prog->source = source;
    try {
        Parser p(tokenize(source), options, *prog);
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
