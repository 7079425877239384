// Calls of user-defined scalar functions in expressions: schema.f(arguments) becomes the
// server's orra_udf('schema', 'f', arguments), which runs the function's body for each call.
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/FunctionHeader.h"
#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

bool TranslationContext::userFunctionCall(Vec& out, const ObjectName& name, size_t& i, size_t e)
{
    if (!m_schema || name.parts < 2 || name.end >= e || !m_tokens[name.end].isSymbol("(") || atTablePosition(out))
        return false;
    if (!name.database.isEmpty() && foldName(name.database) != m_current) return false;
    const QString written = name.schema.isEmpty() ? QStringLiteral("dbo.") + name.object : name.schema + u'.' + name.object;
    QString type;
    const QString definition = m_schema->moduleDefinition(QStringLiteral("main"), name.schema, name.object, type);
    if (type != u"FN") {
        fail(QStringLiteral("Cannot find either column \"%1\" or the user-defined function or aggregate \"%2\", or the "
                            "name is ambiguous.")
                 .arg(name.schema.isEmpty() ? QStringLiteral("dbo") : name.schema, written),
            4121, i);
        return true;
    }
    const LexResult lex = tokenize(definition);
    const FunctionHeader h = readFunctionHeader(lex.tokens, 0);
    const size_t open = name.end;
    const size_t close = matching(open, e);
    if (close >= e) return false;
    std::vector<std::pair<size_t, size_t>> args;
    if (close > open + 1) args = splitTop(open + 1, close, [&](size_t k) { return m_tokens[k].isSymbol(","); });
    if (args.size() < h.parameters.size()) {
        fail(QStringLiteral("An insufficient number of arguments were supplied for the procedure or function %1.")
                 .arg(written),
            313, i);
        return true;
    }
    if (args.size() > h.parameters.size()) {
        fail(QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(written), 8144, i);
        return true;
    }
    out.push_back(word("orra_udf"));
    out.push_back(symbol("("));
    const auto literal = [](const QString& text) { return raw(u'\'' + QString(text).replace(u'\'', QStringLiteral("''")) + u'\''); };
    out.push_back(literal(name.schema));
    out.push_back(symbol(","));
    out.push_back(literal(name.object));
    for (size_t a = 0; a < args.size(); ++a) {
        out.push_back(symbol(","));
        const auto [b, ae] = args[a];
        if (ae == b + 1 && m_tokens[b].is("default")) {
            // the parameter's default: a constant of the definition
            const FunctionParameter& p = h.parameters[a];
            if (!p.hasDefault()) {
                fail(QStringLiteral("An insufficient number of arguments were supplied for the procedure or function "
                                    "%1.")
                         .arg(written),
                    313, b);
                return true;
            }
            QString constant;
            for (size_t k = p.defaultBegin; k < p.defaultEnd; ++k) constant += lex.tokens[k].text;
            out.push_back(raw(constant));
            continue;
        }
        const Vec arg = normalize(b, ae);
        if (failed()) return true;
        out.push_back(symbol("("));
        out.insert(out.end(), arg.begin(), arg.end());
        out.push_back(symbol(")"));
    }
    out.push_back(symbol(")"));
    i = close;
    return true;
}

}   // namespace orra::embedded::translator
