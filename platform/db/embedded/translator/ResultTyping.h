#pragma once
// The types of a select's computed result columns, as the server types them, worked out from
// the select's own tokens: a rule per column and the probe whose declared types they read.

#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

class ResultTyper {
public:
    explicit ResultTyper(TranslationContext& ctx) : m_ctx(ctx), T(ctx.tokens()) {}

    // Rules for the result columns of the select in [b, e), and the probe their columns
    // need; empty when no column is computed. declared: the columns' types as the translator
    // typed them (resultTypes), which a plain date column takes.
    // fromClause (SQLite's text) is the probe's from clause when the select has none of its own
    // (an output clause's rows).
    ResultTyping type(size_t b, size_t e, const QStringList& declared = {}, const QString& fromClause = {});

private:
    TypeRule typeOf(size_t b, size_t e, QStringList& refs);
    TypeRule functionType(const QString& fn, size_t b, size_t e, QStringList& refs);
    TypeRule namedType(size_t b, size_t e) const;
    TypeRule stringFunctionType(const QString& fn, size_t b, size_t e, QStringList& refs);

    TranslationContext& m_ctx;
    const std::vector<Token>& T;
};

}   // namespace orra::embedded::translator
