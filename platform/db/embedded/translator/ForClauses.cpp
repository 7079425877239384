// select … FOR XML PATH | FOR JSON PATH | FOR JSON AUTO: the select's rows shaped into one text.
//
//     (select ',' + Name from T order by Name for xml path(''))
// becomes
//     (select orra_shaped('{…shape…}', "orra_0") from (select ',' + Name as "orra_0" from T order by Name))
// The inner select keeps its clauses (its order too: SQLite keeps a derived table's ORDER BY
// for the aggregate over it); each column goes to the aggregate as the text the server writes
// for its type (dates in ISO 8601, money with four decimals), with its name and kind in the
// shape. At the top of a select statement the one column is named as the server names it.
// RAW, AUTO and EXPLICIT XML and FOR BROWSE are refused by name.

#include "platform/db/embedded/functions/DateFunctions.h"
#include "platform/db/embedded/translator/ExpressionRewrites.h"
#include "platform/db/embedded/translator/ExpressionTyping.h"
#include "platform/db/embedded/translator/Rewriters.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace orra::embedded::translator {

namespace {

const QString kXmlColumn = QStringLiteral("XML_F52E2B61-18A1-11d1-B105-00805F49916B");
const QString kJsonColumn = QStringLiteral("JSON_F52E2B61-18A1-11d1-B105-00805F49916B");
// Identity functions that mark a shaped subquery's value: xml (TYPE) or JSON, inserted into
// an enclosing shape as it is rather than as text.
const char* const kXmlTyped = "orra_xml_typed";
const char* const kJsonTyped = "orra_json_typed";

struct Shape {
    bool json = false;
    bool autoMode = false;   // FOR JSON AUTO
    QString row = QStringLiteral("row");
    bool root = false;
    QString rootName;
    bool type = false;
    bool xsinil = false;
    bool raw = false;        // FOR XML RAW, AUTO: a column an attribute of the row's element
    bool xmlAuto = false;    // FOR XML AUTO: the element named by the table
    bool elements = false;   // … or its subelement
    bool includeNulls = false;
    bool withoutArray = false;
};

QString unquoted(const Token& t)
{
    if (t.kind != TokenKind::String) return t.text;
    QString s = t.text;
    if (s.size() >= 2 && s.startsWith(u'\'') && s.endsWith(u'\'')) s = s.mid(1, s.size() - 2);
    return s.replace(QStringLiteral("''"), QStringLiteral("'"));
}

QString sqlText(const QString& s)
{
    QString q = s;
    return u'\'' + q.replace(u'\'', QStringLiteral("''")) + u'\'';
}

class ForClauseRewriter {
public:
    ForClauseRewriter(TranslationContext& ctx, Vec& v) : m_ctx(ctx), m_v(v), m_typer(ctx) {}

    // Every FOR clause of the statement, innermost first; true when the statement's own
    // select had one.
    bool rewriteAll()
    {
        bool top = false;
        for (int guard = 0; guard < 256 && !m_ctx.failed(); ++guard) {
            const size_t at = nextClause();
            if (at >= m_v.size()) break;
            if (!rewriteAt(at, top)) break;
        }
        rewriteValueCalls();
        return top && !m_ctx.failed();
    }

private:
    size_t nextClause() const
    {
        for (size_t k = 0; k + 1 < m_v.size(); ++k)
            if (m_v[k].t.is("for") && isOneOf(m_v[k + 1].t, {"xml", "json", "browse"})) return k;
        return m_v.size();
    }

    void fail(const QString& message, size_t at) { m_ctx.fail(message, 102, tokenIndexOr(at)); }

    size_t tokenIndexOr(size_t at) const
    {
        const size_t k = at < m_v.size() ? tokenIndex(m_v[at]) : m_ctx.size();
        return k < m_ctx.size() ? k : 0;
    }

    // The batch token a normalised one came from; npos for one the translator made.
    size_t tokenIndex(const NT& n) const
    {
        const auto& T = m_ctx.tokens();
        auto it = std::lower_bound(T.begin(), T.end(), n.t.pos, [](const Token& t, int pos) { return t.pos < pos; });
        if (it == T.end() || it->pos != n.t.pos || it->text != n.t.text || it->kind != n.t.kind) return size_t(-1);
        return size_t(it - T.begin());
    }

    SqlType typeOf(size_t x, size_t y) const
    {
        // the batch's tokens between the ones around the item, when those are the batch's own
        // (the item's own may have been rewritten: cast(1 as bit) is orra_int(1))
        const size_t before = x > 0 ? tokenIndex(m_v[x - 1]) : size_t(-1);
        const size_t after = y < m_v.size() ? tokenIndex(m_v[y]) : size_t(-1);
        if (before != size_t(-1) && after != size_t(-1) && before + 1 < after) return m_typer.typeOf(before + 1, after);
        size_t b = size_t(-1), e = size_t(-1);
        for (size_t k = x; k < y && b == size_t(-1); ++k) b = tokenIndex(m_v[k]);
        for (size_t k = y; k-- > x && e == size_t(-1);) e = tokenIndex(m_v[k]);
        if (b == size_t(-1) || e == size_t(-1) || e < b) return {};
        return m_typer.typeOf(b, e + 1);
    }

    // FOR XML … | FOR JSON … in [at, end): the shape, or false (with the error).
    bool readClause(size_t at, size_t end, Shape& s)
    {
        size_t k = at + 1;
        const Token& form = m_v[k].t;
        if (form.is("browse")) {
            fail(QStringLiteral("The embedded server does not run FOR BROWSE."), at);
            return false;
        }
        s.json = form.is("json");
        ++k;
        if (k >= end) {
            fail(m_ctx.near(tokenIndexOr(at + 1)), at + 1);
            return false;
        }
        const Token& mode = m_v[k].t;
        if (s.json && isOneOf(mode, {"path", "auto"})) {
            s.autoMode = mode.is("auto");
        } else if (!s.json && isOneOf(mode, {"path", "raw"})) {
            s.raw = mode.is("raw");
            if (k + 3 < end && m_v[k + 1].t.isSymbol("(") && m_v[k + 2].t.kind == TokenKind::String
                && m_v[k + 3].t.isSymbol(")")) {
                s.row = unquoted(m_v[k + 2].t);
                k += 3;
            }
        } else if (!s.json && mode.is("auto")) {
            s.raw = s.xmlAuto = true;
        } else if (!s.json && mode.is("explicit")) {
            fail(QStringLiteral("The embedded server does not run FOR XML %1.").arg(mode.text.toUpper()), at);
            return false;
        } else {
            fail(m_ctx.near(tokenIndexOr(k)), k);
            return false;
        }
        ++k;
        while (k < end) {
            if (!m_v[k].t.isSymbol(",") || k + 1 >= end) {
                fail(m_ctx.near(tokenIndexOr(k)), k);
                return false;
            }
            const Token& d = m_v[++k].t;
            const size_t directive = k++;
            if (d.is("root")) {
                s.root = true;
                s.rootName = QStringLiteral("root");
                if (k + 2 < end && m_v[k].t.isSymbol("(") && m_v[k + 1].t.kind == TokenKind::String
                    && m_v[k + 2].t.isSymbol(")")) {
                    s.rootName = unquoted(m_v[k + 1].t);
                    k += 3;
                }
            } else if (!s.json && d.is("type")) {
                s.type = true;
            } else if (!s.json && d.is("binary") && k < end && m_v[k].t.is("base64")) {
                ++k;   // binary values are base64 text in every mode
            } else if (!s.json && d.is("elements")) {
                s.elements = true;
                if (k < end && m_v[k].t.is("xsinil")) {
                    s.xsinil = true;
                    ++k;
                } else if (k < end && m_v[k].t.is("absent")) {
                    ++k;
                }
            } else if (s.json && d.is("include_null_values")) {
                s.includeNulls = true;
            } else if (s.json && d.is("without_array_wrapper")) {
                s.withoutArray = true;
            } else if (!s.json && isOneOf(d, {"xmldata", "xmlschema"})) {
                fail(QStringLiteral("The embedded server does not run the FOR XML directive %1.").arg(d.text.toUpper()),
                    directive);
                return false;
            } else {
                fail(m_ctx.near(tokenIndexOr(directive)), directive);
                return false;
            }
        }
        return true;
    }

    struct Item {
        size_t b = 0, e = 0;   // the expression
        QString name;          // its column name ("" when it has none)
        bool aliased = false;
        Vec column;            // a column of a star: its name as SQLite takes it, with its declared type
        SqlType type;
    };

    Item itemAt(size_t x, size_t y) const
    {
        const auto& last = m_v[y - 1].t;
        if (y - x >= 2 && m_v[y - 2].t.is("as") && (last.isName() || last.kind == TokenKind::String))
            return {x, y - 2, unquoted(last), true, {}, {}};
        // expression 'alias' or expression alias
        if (y - x >= 2 && !m_v[y - 2].t.isSymbol(".") && endsOperand(m_v[y - 2].t)
            && (last.kind == TokenKind::String || (last.isName() && !isExpressionBoundary(last))))
            return {x, y - 1, unquoted(last), true, {}, {}};
        return {x, y, itemName(m_v, x, y), false, {}, {}};
    }

    // The kind of value the shape's aggregate takes for an item, and the item as that value.
    QString valueOf(const Item& it, Vec& out) const
    {
        const Vec expr = !it.column.empty() ? it.column : Vec(m_v.begin() + long(it.b), m_v.begin() + long(it.e));
        // a shaped value, with the collation a text takes for its comparisons or not
        size_t valueEnd = it.e;
        if (valueEnd > it.b + 1 && m_v[valueEnd - 1].out.startsWith(QLatin1String("COLLATE "), Qt::CaseInsensitive))
            --valueEnd;
        if (it.column.empty() && !expr.empty() && (expr.front().t.is(kXmlTyped) || expr.front().t.is(kJsonTyped))
            && closeOf(m_v, it.b + 1, valueEnd) == valueEnd - 1) {
            out = expr;
            return expr.front().t.is(kXmlTyped) ? QStringLiteral("x") : QStringLiteral("j");
        }
        const SqlType t = !it.column.empty() ? it.type : typeOf(it.b, it.e);
        auto wrap = [&](const char* fn, const QString& args) {
            out = {word(fn), symbol("(")};
            out.insert(out.end(), expr.begin(), expr.end());
            out.push_back(raw(QStringLiteral(", ") + args));
            out.push_back(symbol(")"));
        };
        using K = SqlType::Kind;
        if (t.isExact()) {
            // money as style 2 writes it: four decimals
            wrap("orra_exact_text", QStringLiteral("%1, %2, %3").arg(t.scale).arg(t.isMoney() ? 2 : 0).arg(t.isMoney() ? 1 : 0));
            return QStringLiteral("n");
        }
        if (t.isDateOrTime()) {
            wrap(dates::kDateText, QStringLiteral("126, '%1'").arg(t.declaration()));
            return QStringLiteral("s");
        }
        out = expr;
        if (t.isApproximate()) return QStringLiteral("f");
        if (t.kind == K::Bit) return QStringLiteral("b");
        if (t.isInteger()) return QStringLiteral("n");
        if (t.kind == K::Binary) return QStringLiteral("y");
        if (t.isString() || t.kind == K::Guid) return QStringLiteral("s");
        return QStringLiteral("u");
    }

    // The select (its first token) whose FOR clause is at `at`, the end of that clause, and
    // whether it is the statement's own.
    bool enclosing(size_t at, size_t& select, size_t& end, bool& top) const
    {
        int depth = 0;
        for (size_t k = at; k-- > 0;) {
            if (m_v[k].t.isSymbol(")")) {
                ++depth;
            } else if (m_v[k].t.isSymbol("(")) {
                if (depth == 0) {
                    select = k + 1;
                    end = closeOf(m_v, k, m_v.size());
                    top = false;
                    return select < m_v.size() && m_v[select].t.is("select") && end < m_v.size();
                }
                --depth;
            }
        }
        if (!m_v[0].t.is("select") && !m_v[0].t.is("with")) return false;
        select = topLevel(m_v, 0, {"select"});
        end = m_v.size();
        top = true;
        return select < at;
    }

    bool rewriteAt(size_t at, bool& statementShaped)
    {
        size_t s = 0, end = 0;
        bool top = false;
        if (!enclosing(at, s, end, top)) {
            fail(m_ctx.near(tokenIndexOr(at)), at);
            return false;
        }
        Shape shape;
        if (!readClause(at, end, shape)) return false;
        const auto ranges = selectItems(m_v, s, at);
        std::vector<Item> items;
        for (auto [x, y] : ranges) {
            const Item it = itemAt(x, y);
            if (it.name == u"*" && !it.aliased) {
                if (!starColumns(s, at, x, y, items)) {
                    fail(QStringLiteral("The embedded server does not run FOR %1 over a select list with * of "
                                        "more than one table: name the columns.")
                             .arg(shape.json ? QStringLiteral("JSON") : QStringLiteral("XML")),
                        x);
                    return false;
                }
                continue;
            }
            if ((shape.json || shape.raw) && it.name.isEmpty()) {
                fail(QStringLiteral("The embedded server does not run %1 with a column without a name: give it an "
                                    "alias.")
                         .arg(clauseName(shape)),
                    x);
                return false;
            }
            items.push_back(it);
        }
        if (((shape.json && shape.autoMode) || shape.xmlAuto) && !autoFits(s, at, shape)) return false;

        // the shape: mode, names and kinds of the columns
        QJsonObject desc;
        desc[QStringLiteral("mode")] = shape.json ? (shape.autoMode ? QStringLiteral("json-auto") : QStringLiteral("json"))
            : shape.raw                           ? QStringLiteral("xml-raw")
                                                  : QStringLiteral("xml");
        desc[QStringLiteral("row")] = shape.row;
        if (shape.root) desc[QStringLiteral("root")] = shape.rootName;
        desc[QStringLiteral("xsinil")] = shape.xsinil;
        if (shape.raw) desc[QStringLiteral("elements")] = shape.elements;
        desc[QStringLiteral("nulls")] = shape.includeNulls;
        desc[QStringLiteral("bare")] = shape.withoutArray;
        QJsonArray names, kinds;

        Vec inner;
        append(inner, m_v, s, ranges.front().first);   // select [distinct] [top …]
        for (size_t n = 0; n < items.size(); ++n) {
            Vec value;
            kinds.append(valueOf(items[n], value));
            names.append(items[n].name);
            if (n > 0) inner.push_back(symbol(","));
            inner.insert(inner.end(), value.begin(), value.end());
            inner.push_back(word("as"));
            inner.push_back(raw(QStringLiteral("\"orra_%1\"").arg(n)));
        }
        desc[QStringLiteral("names")] = names;
        desc[QStringLiteral("kinds")] = kinds;
        if (!appendClauses(inner, ranges.back().second, at, items, shape)) return false;

        Vec shaped{symbol("("), word("select"), word("orra_shaped"), symbol("("),
            raw(sqlText(QString::fromUtf8(QJsonDocument(desc).toJson(QJsonDocument::Compact))))};
        for (size_t n = 0; n < items.size(); ++n) shaped.push_back(raw(QStringLiteral(", \"orra_%1\"").arg(n)));
        shaped.push_back(symbol(")"));
        if (top) shaped.push_back(raw(QStringLiteral("as ") + quoteName(shape.json ? kJsonColumn : kXmlColumn)));
        shaped.push_back(word("from"));
        shaped.push_back(symbol("("));
        shaped.insert(shaped.end(), inner.begin(), inner.end());
        shaped.push_back(symbol(")"));
        if (top) {
            // no rows, no result row
            shaped.push_back(raw(QStringLiteral("having count(*) > 0")));
            Vec whole(m_v.begin(), m_v.begin() + long(s));
            whole.insert(whole.end(), shaped.begin() + 1, shaped.end());
            m_v = std::move(whole);
            statementShaped = true;
            return true;
        }
        shaped.push_back(symbol(")"));
        if (shape.type || shape.json) {
            shaped.insert(shaped.begin(), {word(shape.json ? kJsonTyped : kXmlTyped), symbol("(")});
            shaped.push_back(symbol(")"));
        }
        m_v.erase(m_v.begin() + long(s - 1), m_v.begin() + long(end) + 1);
        m_v.insert(m_v.begin() + long(s - 1), shaped.begin(), shaped.end());
        return true;
    }

    // The clauses after the select list [from, at): an ORDER BY key that names an item's alias
    // or its place orders by the item's expression (the item itself is now text).
    bool appendClauses(Vec& inner, size_t from, size_t at, const std::vector<Item>& items, const Shape& shape)
    {
        const size_t order = firstTopLevel(m_v, from, at, {"order"});
        // the selects a union, except or intersect adds: their columns written as the first's
        size_t k = from;
        for (size_t next; (next = firstTopLevel(m_v, k, order, {"select"})) < order; k = next) {
            append(inner, m_v, k, next);
            if (order < at) {
                fail(QStringLiteral("The embedded server does not run %1 over UNION, EXCEPT or INTERSECT with ORDER "
                                    "BY.")
                         .arg(clauseName(shape)),
                    order);
                return false;
            }
            const auto ranges = selectItems(m_v, next, order);
            append(inner, m_v, next, ranges.front().first);
            for (size_t n = 0; n < ranges.size(); ++n) {
                Vec value;
                valueOf(itemAt(ranges[n].first, ranges[n].second), value);
                if (n > 0) inner.push_back(symbol(","));
                inner.insert(inner.end(), value.begin(), value.end());
                inner.push_back(word("as"));
                inner.push_back(raw(QStringLiteral("\"orra_%1\"").arg(n)));
            }
            next = ranges.back().second;
        }
        append(inner, m_v, k, order);
        if (order >= at) return true;
        append(inner, m_v, order, order + 2);
        bool first = true;
        for (auto [x, y] : splitTopLevel(m_v, order + 2, at)) {
            if (!first) inner.push_back(symbol(","));
            first = false;
            size_t keyEnd = y;
            if (keyEnd > x && isOneOf(m_v[keyEnd - 1].t, {"asc", "desc"})) --keyEnd;
            const Item* named = nullptr;
            if (keyEnd == x + 1 && m_v[x].t.isName()) {
                for (const Item& it : items)
                    if (it.aliased && sameName(it.name, m_v[x].t.text)) named = &it;
            } else if (keyEnd == x + 1 && m_v[x].t.kind == TokenKind::Number) {
                const int place = m_v[x].t.text.toInt();
                if (place >= 1 && size_t(place) <= items.size()) named = &items[size_t(place) - 1];
            }
            if (!named) {
                append(inner, m_v, x, y);
                continue;
            }
            inner.push_back(symbol("("));
            if (!named->column.empty())
                inner.insert(inner.end(), named->column.begin(), named->column.end());
            else
                append(inner, m_v, named->b, named->e);
            inner.push_back(symbol(")"));
            append(inner, m_v, keyEnd, y);
        }
        return true;
    }

    // The columns a star [x, y) of the select at s stands for when the select reads one table.
    bool starColumns(size_t s, size_t at, size_t x, size_t y, std::vector<Item>& items) const
    {
        const size_t from = firstTopLevel(m_v, s, at, {"from"});
        if (!m_ctx.schema() || from + 1 >= at || !m_v[from + 1].t.isName()) return false;
        const size_t stop = firstTopLevel(m_v, from + 1, at, {"where", "group", "having", "order", "union"});
        if (firstTopLevel(m_v, from + 1, stop, {"join", "apply"}) < stop || splitTopLevel(m_v, from + 1, stop).size() > 1)
            return false;
        const auto [database, table] = sqliteTableOf(m_v[from + 1]);
        const QStringList columns = m_ctx.schema()->columns(database, table);
        if (columns.isEmpty()) return false;
        for (const QString& c : columns) {
            Item it{x, y, c, false, {}, SqlType::fromDeclared(m_ctx.schema()->columnType(database, table, c))};
            if (y - x == 3) it.column = {m_v[x], symbol(".")};   // t.*
            it.column.push_back(raw(quoteName(c)));
            items.push_back(std::move(it));
        }
        return true;
    }

    static QString clauseName(const Shape& s)
    {
        return s.json ? (s.autoMode ? QStringLiteral("FOR JSON AUTO") : QStringLiteral("FOR JSON PATH"))
            : s.xmlAuto ? QStringLiteral("FOR XML AUTO")
            : s.raw     ? QStringLiteral("FOR XML RAW")
                        : QStringLiteral("FOR XML PATH");
    }

    // FOR JSON AUTO and FOR XML AUTO shape the rows of one table (the element named by its
    // alias or its name as written); over joined tables they nest, which the embedded server
    // does not do.
    bool autoFits(size_t s, size_t at, Shape& shape)
    {
        const size_t from = firstTopLevel(m_v, s, at, {"from"});
        if (from >= at) {
            fail(QStringLiteral("The embedded server does not run %1 without a table: use %2 PATH.")
                     .arg(clauseName(shape), shape.json ? QStringLiteral("FOR JSON") : QStringLiteral("FOR XML")),
                at);
            return false;
        }
        const size_t stop = firstTopLevel(m_v, from + 1, at, {"where", "group", "having", "order", "union"});
        const size_t join = firstTopLevel(m_v, from + 1, stop, {"join", "apply"});
        if (join < stop || splitTopLevel(m_v, from + 1, stop).size() > 1 || !m_v[from + 1].t.isName()) {
            fail(QStringLiteral("The embedded server does not run %1 over joined tables or derived tables: use %2 "
                                "PATH.")
                     .arg(clauseName(shape), shape.json ? QStringLiteral("FOR JSON") : QStringLiteral("FOR XML")),
                at);
            return false;
        }
        if (shape.xmlAuto) {
            // the alias, or the name as written (its parts without their quoting)
            size_t k = from + 2;
            if (k < stop && m_v[k].t.is("as")) ++k;
            if (k < stop && m_v[k].t.isName()) {
                shape.row = m_v[k].t.text;
            } else {
                // the written name follows the batch's own FROM
                const size_t fromToken = tokenIndex(m_v[from]);
                const size_t b = fromToken == size_t(-1) ? fromToken : fromToken + 1;
                size_t e = b;
                auto joined = [&](size_t x) { return m_ctx[x].isSymbol(".") || m_ctx[x + 1].isSymbol("."); };
                while (e != size_t(-1) && e + 1 < m_ctx.size() && joined(e)) ++e;
                QStringList parts;
                for (size_t i = b; b != size_t(-1) && i <= e && i < m_ctx.size(); ++i)
                    if (m_ctx[i].isName()) parts << m_ctx[i].text;
                shape.row = parts.isEmpty() ? sqliteTableOf(m_v[from + 1]).second : parts.join(u'.');
            }
        }
        return true;
    }

    // (select … for xml …, type).value('.', 'nvarchar(max)'): the text of the xml.
    void rewriteValueCalls()
    {
        for (size_t k = 0; k + 2 < m_v.size() && !m_ctx.failed(); ++k) {
            if (!m_v[k].t.is(kXmlTyped) || !m_v[k + 1].t.isSymbol("(")) continue;
            const size_t close = closeOf(m_v, k + 1, m_v.size());
            if (close + 2 >= m_v.size() || !m_v[close + 1].t.isSymbol(".")) continue;
            const Token& method = m_v[close + 2].t;
            const size_t open = close + 3;
            const bool valueCall = method.is("value") && open + 4 < m_v.size() && m_v[open].t.isSymbol("(")
                && m_v[open + 1].t.kind == TokenKind::String && m_v[open + 2].t.isSymbol(",")
                && m_v[open + 3].t.kind == TokenKind::String && m_v[open + 4].t.isSymbol(")");
            const QString path = valueCall ? unquoted(m_v[open + 1].t) : QString();
            const SqlType target = valueCall ? SqlType::fromDeclared(unquoted(m_v[open + 3].t)) : SqlType{};
            if (!valueCall || path != u"." || !target.isString()) {
                fail(QStringLiteral("The embedded server does not run the xml method %1(%2): only value('.', "
                                    "'nvarchar(max)') reads a FOR XML result.")
                         .arg(method.text, path.isEmpty() ? QString() : u'\'' + path + u'\''),
                    close + 2);
                return;
            }
            Vec text{word("orra_xml_text"), symbol("(")};
            text.insert(text.end(), m_v.begin() + long(k), m_v.begin() + long(close) + 1);
            text.push_back(symbol(")"));
            if (target.length > 0) {
                text.insert(text.begin(), {word("orra_varchar"), symbol("(")});
                text.push_back(raw(QStringLiteral(", %1)").arg(target.length)));
            }
            m_v.erase(m_v.begin() + long(k), m_v.begin() + long(open) + 5);
            m_v.insert(m_v.begin() + long(k), text.begin(), text.end());
        }
    }

    TranslationContext& m_ctx;
    Vec& m_v;
    ExpressionTyper m_typer;
};

}   // namespace

QString shapedValueType(const std::vector<Token>& T, size_t open, size_t close, size_t& end)
{
    if (close >= T.size() || open + 1 >= close || !T[open + 1].is("select")) return {};
    int depth = 0;
    bool shaped = false;
    for (size_t k = open + 1; k + 1 < close && !shaped; ++k) {
        if (T[k].isSymbol("("))
            ++depth;
        else if (T[k].isSymbol(")"))
            --depth;
        else if (depth == 0 && T[k].is("for") && isOneOf(T[k + 1], {"xml", "json"}))
            shaped = true;
    }
    if (!shaped) return {};
    end = close + 1;
    // .value('.', 'type')
    if (close + 7 < T.size() && T[close + 1].isSymbol(".") && T[close + 2].is("value") && T[close + 3].isSymbol("(")
        && T[close + 4].kind == TokenKind::String && T[close + 5].isSymbol(",")
        && T[close + 6].kind == TokenKind::String && T[close + 7].isSymbol(")")) {
        end = close + 8;
        return unquoted(T[close + 6]).toLower();
    }
    return QStringLiteral("nvarchar(max)");
}

bool rewriteForClauses(TranslationContext& ctx, Vec& v)
{
    bool any = false;
    for (size_t k = 0; k + 1 < v.size() && !any; ++k)
        any = v[k].t.is("for") && isOneOf(v[k + 1].t, {"xml", "json", "browse"});
    if (!any) return false;
    rewriteSelectForms(v);
    return ForClauseRewriter(ctx, v).rewriteAll();
}

SqlStatement shapedSelect(TranslationContext& ctx, Vec v)
{
    SqlStatement s;
    rewritePivot(ctx, v);
    if (ctx.failed()) return s;
    rewriteApply(ctx, v);
    if (ctx.failed()) return s;
    s.returnsRows = true;
    s.columnTypes = {QStringLiteral("nvarchar(max)")};
    TypeRule r;
    r.kind = TypeRule::Kind::Fixed;
    r.type = QStringLiteral("nvarchar(max)");
    s.typing.columns.push_back(r);
    s.sql = render(rewriteExpressions(v));
    return s;
}

}   // namespace orra::embedded::translator
