#include "platform/db/embedded/translator/InlineFunctions.h"

#include "platform/db/embedded/TsqlTranslator.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/FunctionHeader.h"
#include "platform/db/embedded/translator/Rewriting.h"
#include "platform/db/embedded/translator/TokenCursor.h"

namespace orra::embedded::translator {

namespace {

// Whether the token before i leads a table source: from, join, apply, or a comma of a from
// clause.
bool atSource(const std::vector<Token>& T, size_t i)
{
    if (i == 0) return false;
    const Token& p = T[i - 1];
    if (isOneOf(p, {"from", "join", "apply"})) return true;
    if (!p.isSymbol(",")) return false;
    int depth = 0;
    for (size_t k = i - 1; k-- > 0;) {
        const Token& t = T[k];
        if (t.isSymbol(")")) {
            ++depth;
        } else if (t.isSymbol("(")) {
            if (depth == 0) return false;
            --depth;
        } else if (depth == 0 && isOneOf(t, {"select", "where", "group", "order", "having", "set", "values", "on"})) {
            return false;
        } else if (depth == 0 && isOneOf(t, {"from", "join", "apply"})) {
            return true;
        }
    }
    return false;
}

// Whether the token at i begins an alias of the source before it.
bool aliasAt(const std::vector<Token>& T, size_t i)
{
    if (i >= T.size()) return false;
    const Token& t = T[i];
    if (t.kind == TokenKind::QuotedName || t.is("as")) return true;
    return t.kind == TokenKind::Word && !isExpressionBoundary(t) && !t.text.startsWith(u'@')
        && !isOneOf(t, {"left", "right", "inner", "outer", "full", "cross", "join", "where", "pivot", "unpivot",
                          "option", "for", "apply", "group", "order", "having", "on", "with"});
}

QString sourceBetween(const QString& text, const std::vector<Token>& T, size_t b, size_t e)
{
    const int from = T[b].pos;
    const int to = e < T.size() ? T[e].pos : int(text.size());
    return text.mid(from, to - from).trimmed();
}

// A declared type as the parameter's declaration reads it: a character or binary type without a
// length is one long.
QString parameterType(const QString& definition, const std::vector<Token>& D, const FunctionParameter& p)
{
    const QString type = sourceBetween(definition, D, p.typeBegin, p.typeEnd);
    const bool unsized = p.typeEnd - p.typeBegin == 1
        && isOneOf(D[p.typeBegin], {"char", "varchar", "nchar", "nvarchar", "binary", "varbinary"});
    return unsized ? type + QStringLiteral("(1)") : type;
}

}   // namespace

InlineExpansion expandInlineFunctions(
    const QString& text, const std::vector<Token>& T, const QString& currentDatabase, const Schema& schema)
{
    InlineExpansion x;
    // A module's own definition is kept as written.
    const TokenCursor lead(T, 0);
    if (lead.atAny({"create", "alter"})
        && (lead.atAny({"function", "procedure", "proc"}, 1) || (lead.at("or", 1) && lead.at("alter", 2))))
        return x;
    QString out;
    int copied = 0;
    for (size_t i = 0; i < T.size(); ++i) {
        if (!T[i].isName() || !atSource(T, i)) continue;
        const ObjectName name = readObjectName(T, i, T.size());
        if (name.parts == 0 || name.end >= T.size() || !T[name.end].isSymbol("(")) continue;
        if (!name.database.isEmpty() && foldName(name.database) != foldName(currentDatabase)) continue;
        QString type;
        const QString definition = schema.moduleDefinition(QStringLiteral("main"), name.schema, name.object, type);
        if (type != u"IF") continue;
        const QString written = name.schema.isEmpty() ? name.object : name.schema + u'.' + name.object;
        const LexResult lex = tokenize(definition);
        const std::vector<Token>& D = lex.tokens;
        const FunctionHeader h = readFunctionHeader(D, 0);
        if (!h.ok() || h.body + 1 >= D.size()) continue;
        // the arguments
        const size_t open = name.end;
        size_t close = open;
        std::vector<std::pair<size_t, size_t>> args;
        int depth = 0;
        size_t argStart = open + 1;
        for (size_t k = open; k < T.size(); ++k) {
            if (T[k].isSymbol("(")) {
                ++depth;
            } else if (T[k].isSymbol(")")) {
                if (--depth == 0) {
                    if (k > open + 1) args.push_back({argStart, k});
                    close = k;
                    break;
                }
            } else if (depth == 1 && T[k].isSymbol(",")) {
                args.push_back({argStart, k});
                argStart = k + 1;
            }
        }
        if (close == open) continue;
        if (args.size() != h.parameters.size()) {
            x.error = args.size() < h.parameters.size()
                ? QStringLiteral("An insufficient number of arguments were supplied for the procedure or function %1.")
                      .arg(written)
                : QStringLiteral("Procedure or function %1 has too many arguments specified.").arg(written);
            x.errorNumber = args.size() < h.parameters.size() ? 313 : 8144;
            x.errorPosition = T[i].pos;
            return x;
        }
        // the query, with each parameter replaced by its argument
        size_t bodyStart = h.body + 1;   // after return
        // return (select …): the select inside the parentheses
        if (D[bodyStart].isSymbol("(")) {
            size_t last = D.size();
            while (last > bodyStart && D[last - 1].isSymbol(";")) --last;
            if (last > bodyStart + 1 && D[last - 1].isSymbol(")")) {
                int level = 0;
                size_t k = bodyStart;
                for (; k < last; ++k) {
                    if (D[k].isSymbol("(")) ++level;
                    else if (D[k].isSymbol(")") && --level == 0) break;
                }
                if (k == last - 1) ++bodyStart;
            }
        }
        QString query;
        int bodyCopied = D[bodyStart].pos;
        for (size_t k = bodyStart; k < D.size(); ++k) {
            if (D[k].kind != TokenKind::Word || !D[k].text.startsWith(u'@')) continue;
            size_t p = 0;
            while (p < h.parameters.size() && h.parameters[p].name.compare(D[k].text, Qt::CaseInsensitive) != 0) ++p;
            if (p == h.parameters.size()) continue;
            const FunctionParameter& param = h.parameters[p];
            const auto [ab, ae] = args[p];
            QString value = sourceBetween(text, T, ab, ae);
            if (ae == ab + 1 && T[ab].is("default")) {
                if (!param.hasDefault()) {
                    x.error = QStringLiteral(
                        "An insufficient number of arguments were supplied for the procedure or function %1.")
                                  .arg(written);
                    x.errorNumber = 313;
                    x.errorPosition = T[ab].pos;
                    return x;
                }
                value = sourceBetween(definition, D, param.defaultBegin, param.defaultEnd);
            }
            query += definition.mid(bodyCopied, D[k].pos - bodyCopied);
            query += QStringLiteral("CAST((%1) AS %2)").arg(value, parameterType(definition, D, param));
            bodyCopied = D[k].pos + int(D[k].text.size());
        }
        query += definition.mid(bodyCopied);
        query = query.trimmed();
        while (query.endsWith(u';')) query = query.chopped(1).trimmed();
        if (bodyStart > h.body + 1 && query.endsWith(u')')) query.chop(1);   // the parenthesis closing the select
        out += text.mid(copied, T[i].pos - copied);
        out += u'(' + query + u'\n' + u')';
        if (!aliasAt(T, close + 1)) out += QStringLiteral(" AS [%1]").arg(QString(name.object).replace(u']', QStringLiteral("]]")));
        copied = close + 1 < T.size() ? T[close + 1].pos : int(text.size());
        if (close + 1 < T.size()) out += u' ';
        i = close;
    }
    if (copied == 0) return x;
    out += text.mid(copied);
    x.text = out;
    return x;
}

}   // namespace orra::embedded::translator
