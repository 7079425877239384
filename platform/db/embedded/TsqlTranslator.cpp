#include "platform/db/embedded/TsqlTranslator.h"

#include "platform/db/Decimal.h"

#include "platform/db/embedded/Collation.h"
#include "platform/db/embedded/TsqlLexer.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/InlineFunctions.h"
#include "platform/db/embedded/translator/QuantifiedComparisons.h"
#include "platform/db/embedded/translator/StatementParser.h"

#include <QHash>
#include <algorithm>
#include <QMutex>

namespace orra::embedded {

QString foldName(const QString& name) { return turkishFold(name.trimmed()); }

namespace {

// The first token at which parentheses and case … end nest deeper than the translator takes,
// or tokens.size().
size_t tooDeep(const std::vector<Token>& tokens)
{
    std::vector<char> open;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const Token& t = tokens[i];
        if (t.isSymbol("(") || t.is("case")) {
            open.push_back(t.isSymbol("(") ? '(' : 'c');
            if (open.size() > size_t(translator::kMaxNesting)) return i;
        } else if ((t.isSymbol(")") && !open.empty() && open.back() == '(')
            || (t.is("end") && !open.empty() && open.back() == 'c')) {
            open.pop_back();
        }
    }
    return tokens.size();
}

// The statements of list (const or not) and those nested in them, in the order they are written.
template <class List, class Visit> void forEachStatement(List& list, const Visit& visit)
{
    for (auto& st : list) {
        visit(st);
        if (auto* test = std::get_if<IfStatement>(&st.node)) {
            forEachStatement(test->thenBranch, visit);
            forEachStatement(test->elseBranch, visit);
        } else if (auto* block = std::get_if<BlockStatement>(&st.node)) {
            forEachStatement(block->body, visit);
        } else if (auto* loop = std::get_if<WhileStatement>(&st.node)) {
            forEachStatement(loop->body, visit);
        } else if (auto* tc = std::get_if<TryCatchStatement>(&st.node)) {
            forEachStatement(tc->tryBody, visit);
            forEachStatement(tc->catchBody, visit);
        }
    }
}

}   // namespace

std::vector<const Statement*> Translation::byOrder() const
{
    std::vector<const Statement*> all;
    forEachStatement(statements, [&](const Statement& st) { all.push_back(&st); });
    return all;
}

Translation translate(
    const QString& written, const QString& currentDatabase, const Schema* schema, TextKind kind, int resumeAt)
{
    Translation tr;
    if (schema) tr.schemaVersion = schema->version();
    QString text = written;
    LexResult lex = tokenize(text);
    if (!lex.error.isEmpty()) {
        tr.error = lex.error;
        tr.errorPosition = lex.errorPosition;
        return tr;
    }
    // Calls of inline table-valued functions become their queries, those they call too.
    for (int depth = 0; schema; ++depth) {
        const translator::InlineExpansion x = translator::expandInlineFunctions(text, lex.tokens, currentDatabase, *schema);
        if (x.error.isEmpty() && x.text.isEmpty()) break;
        if (!x.error.isEmpty() || depth == translator::kMaxInlineNesting) {
            tr.error = x.error.isEmpty() ? QStringLiteral("Maximum stored procedure, function, trigger, or view nesting "
                                                          "level exceeded (limit 32).")
                                         : x.error;
            tr.errorNumber = x.error.isEmpty() ? 217 : x.errorNumber;
            tr.errorPosition = x.errorPosition;
            return tr;
        }
        text = x.text;
        lex = tokenize(text);
        if (!lex.error.isEmpty()) {
            tr.error = lex.error;
            tr.errorPosition = lex.errorPosition;
            return tr;
        }
    }
    // Comparisons with ALL, SOME or ANY, those inside the subqueries of others too.
    for (int depth = 0; depth < translator::kMaxNesting; ++depth) {
        const QString quantified = translator::rewriteQuantifiedComparisons(text, lex.tokens);
        if (quantified.isEmpty()) break;
        text = quantified;
        lex = tokenize(text);
        if (!lex.error.isEmpty()) {
            tr.error = lex.error;
            tr.errorPosition = lex.errorPosition;
            return tr;
        }
    }
    if (const size_t deep = tooDeep(lex.tokens); deep < lex.tokens.size()) {
        tr.error = translator::nestedTooDeeply();
        tr.errorNumber = translator::kNestedTooDeeply;
        tr.errorPosition = lex.tokens[deep].pos;
        return tr;
    }
    translator::TranslationContext context(lex.tokens, int(text.size()), currentDatabase, tr, schema);
    std::vector<int> lineStarts;
    for (qsizetype i = text.indexOf(u'\n'); i >= 0; i = text.indexOf(u'\n', i + 1)) lineStarts.push_back(int(i + 1));
    context.setLineStarts(std::move(lineStarts));
    context.setSource(text);
    context.setResumeAt(resumeAt);
    translator::StatementParser parser(context);
    tr.statements = kind == TextKind::Procedure ? parser.parseProcedure(tr.parameters, tr.procedure)
        : kind == TextKind::Function            ? parser.parseFunction()
                                                : parser.parseBatch();
    if (!tr.error.isEmpty()) tr.statements.clear();
    int order = 0;
    forEachStatement(tr.statements, [&](Statement& st) { st.order = order++; });
    return tr;
}

namespace {
struct Cache {
    QMutex mutex;
    QHash<QString, std::shared_ptr<const Translation>> map;
};
Cache& cache()
{
    static Cache c;
    return c;
}
}   // namespace

std::shared_ptr<const Translation> translateCached(
    const QString& text, const QString& currentDatabase, const Schema* schema, TextKind kind, int resumeAt)
{
    // The database as the server compares its names: two databases are one only when their
    // names fold alike.
    QString key = foldName(currentDatabase);
    key += QChar(0x1f);
    if (schema) key += schema->version();
    key += QChar(0x1f);
    if (kind == TextKind::Procedure) key += QChar(0x1e);
    if (kind == TextKind::Function) key += QChar(0x1d);
    if (resumeAt >= 0) key += QString::number(resumeAt) + QChar(0x1c);
    key += text;
    Cache& c = cache();
    {
        QMutexLocker lock(&c.mutex);
        auto it = c.map.constFind(key);
        if (it != c.map.constEnd()) return it.value();
    }
    auto t = std::make_shared<const Translation>(translate(text, currentDatabase, schema, kind, resumeAt));
    QMutexLocker lock(&c.mutex);
    if (c.map.size() > 4096) c.map.clear();
    c.map.insert(key, t);
    return t;
}

void clearTranslationCache()
{
    QMutexLocker lock(&cache().mutex);
    cache().map.clear();
}

QString withTypedParameters(const QString& text, const QList<QVariant>& params)
{
    auto typeOf = [](const QVariant& v) -> QString {
        if (const std::optional<db::Decimal> d = db::decimalOf(v)) {
            // decimal(p,s) of its own digits
            int digits = 1;
            for (db::Decimal::Units u = d->units() < 0 ? -d->units() : d->units(); u >= 10; u /= 10) ++digits;
            return QStringLiteral("decimal(%1,%2)").arg(std::min(std::max(digits, d->scale()), 38)).arg(d->scale());
        }
        switch (v.typeId()) {
        case QMetaType::QDateTime:
            return QStringLiteral("datetime");
        case QMetaType::QDate:
            return QStringLiteral("date");
        case QMetaType::QTime:
            return QStringLiteral("time");
        default:
            return {};
        }
    };
    if (std::none_of(params.begin(), params.end(), [&](const QVariant& v) { return !typeOf(v).isEmpty(); }))
        return text;
    const LexResult lex = tokenize(text);
    if (!lex.error.isEmpty()) return text;
    std::vector<std::pair<int, QString>> marks;   // offset of each typed marker, its type
    qsizetype next = 0;
    for (const Token& t : lex.tokens) {
        if (!t.isSymbol("?")) continue;
        if (next >= params.size()) break;
        if (QString type = typeOf(params[next++]); !type.isEmpty()) marks.emplace_back(t.pos, std::move(type));
    }
    QString out = text;
    for (auto m = marks.rbegin(); m != marks.rend(); ++m)
        out.replace(m->first, 1, QStringLiteral("cast(? as %1)").arg(m->second));
    return out;
}

}   // namespace orra::embedded
