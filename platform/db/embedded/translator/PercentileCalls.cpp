// PERCENTILE_CONT and PERCENTILE_DISC:
//     percentile_cont(p) within group (order by x [asc|desc]) over ([partition by …])
// become SQLite window functions over the partition, orra_percentile_cont(p, x, descending)
// over (…); the OVER clause that follows is translated as any other.

#include "platform/db/embedded/translator/TranslationContext.h"

namespace orra::embedded::translator {

bool TranslationContext::percentileCall(Vec& out, size_t& i, size_t e)
{
    const Token& t = m_tokens[i];
    if (!t.is("percentile_cont") && !t.is("percentile_disc")) return false;
    const QString name = t.text.toLower();
    const size_t close = matching(i + 1, e);
    if (close >= e) {
        fail(near(e), 102, e);
        return true;
    }
    const size_t within = close + 1;
    if (!(within + 4 < e && m_tokens[within].is("within") && m_tokens[within + 1].is("group")
            && m_tokens[within + 2].isSymbol("(") && m_tokens[within + 3].is("order") && m_tokens[within + 4].is("by"))) {
        fail(QStringLiteral("The function '%1' must have a WITHIN GROUP clause.").arg(name), 10754, i);
        return true;
    }
    const size_t groupEnd = matching(within + 2, e);
    if (groupEnd >= e) {
        fail(near(e), 102, e);
        return true;
    }
    size_t keyEnd = groupEnd;
    bool descending = false;
    if (m_tokens[keyEnd - 1].is("asc") || m_tokens[keyEnd - 1].is("desc")) {
        descending = m_tokens[keyEnd - 1].is("desc");
        --keyEnd;
    }
    const size_t keyBegin = within + 5;
    if (keyBegin >= keyEnd) {
        fail(near(keyEnd), 102, keyEnd);
        return true;
    }
    if (const size_t comma = firstAtTopLevel(keyBegin, keyEnd, [](const Token& k) { return k.isSymbol(","); });
        comma < keyEnd) {
        fail(near(comma), 102, comma);
        return true;
    }
    // Over the whole partition only: no ORDER BY, no frame.
    const size_t over = groupEnd + 1;
    if (!(over + 1 < e && m_tokens[over].is("over") && m_tokens[over + 1].isSymbol("("))) {
        fail(QStringLiteral("The function '%1' must have an OVER clause.").arg(name), 10753, i);
        return true;
    }
    const size_t overEnd = matching(over + 1, e);
    if (const size_t order = firstAtTopLevel(over + 2, overEnd, [](const Token& k) {
            return k.is("order") || k.is("rows") || k.is("range");
        });
        order < overEnd) {
        fail(near(order), 102, order);
        return true;
    }
    const auto args = splitTop(i + 2, close, [&](size_t k) { return m_tokens[k].isSymbol(","); });
    if (args.size() != 1 || args[0].first >= args[0].second) {
        fail(QStringLiteral("The %1 function requires 1 argument(s).").arg(name), 174, i);
        return true;
    }
    const Vec fraction = normalize(args[0].first, args[0].second);
    const Vec key = normalize(keyBegin, keyEnd);
    if (failed()) return true;
    out.push_back(NT{t, t.is("percentile_cont") ? QStringLiteral("orra_percentile_cont") : QStringLiteral("orra_percentile_disc")});
    out.push_back(symbol("("));
    out.insert(out.end(), fraction.begin(), fraction.end());
    out.push_back(symbol(","));
    out.insert(out.end(), key.begin(), key.end());
    out.push_back(symbol(","));
    out.push_back(number(descending ? QStringLiteral("1") : QStringLiteral("0")));
    out.push_back(symbol(")"));
    i = groupEnd;
    return true;
}

}   // namespace orra::embedded::translator
