#include "platform/db/embedded/functions/ShapedResults.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <sqlite3.h>

#include <list>
#include <memory>
#include <vector>

namespace orra::embedded {

namespace {

// Closes the open elements (or objects) of the last column's path that the next column's path
// parts does not share; gives how many stay open.
template <class Node>
size_t keepCommonPath(std::vector<Node*>& chain, std::vector<QString>& chainNames, const QStringList& parts)
{
    size_t common = 0;
    while (common < chain.size() && common < size_t(parts.size()) && chainNames[common] == parts[qsizetype(common)])
        ++common;
    chain.resize(common);
    chainNames.resize(common);
    return common;
}

// The shape the translator writes: {"mode": "xml" | "json" | "json-auto", "row", "root",
// "xsinil", "nulls", "bare", "names": […], "kinds": […]}. A kind says how a column's value is
// written: s text, n number, f float, b bit, x xml, j JSON, y binary, u by its SQLite type.
struct Shape {
    QString mode;
    QString row;
    bool root = false;
    QString rootName;
    bool xsinil = false;
    bool elements = false;
    bool nulls = false;
    bool bare = false;
    QStringList names;
    QString kinds;
};

struct Value {
    bool null = true;
    QChar kind;
    QString text;
};

struct ShapedRows {
    bool started = false;
    Shape shape;
    std::vector<std::vector<Value>> rows;
};

QString textOf(sqlite3_value* v)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(v)), sqlite3_value_bytes(v));
}

void resultText(sqlite3_context* ctx, const QString& s)
{
    const QByteArray u = s.toUtf8();
    sqlite3_result_text(ctx, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

void resultError(sqlite3_context* ctx, const QString& message)
{
    const QByteArray u = message.toUtf8();
    sqlite3_result_error(ctx, u.constData(), int(u.size()));
}

Shape readShape(const QString& text)
{
    const QJsonObject o = QJsonDocument::fromJson(text.toUtf8()).object();
    Shape s;
    s.mode = o.value(QStringLiteral("mode")).toString();
    s.row = o.value(QStringLiteral("row")).toString();
    s.root = o.contains(QStringLiteral("root"));
    s.rootName = o.value(QStringLiteral("root")).toString();
    s.xsinil = o.value(QStringLiteral("xsinil")).toBool();
    s.elements = o.value(QStringLiteral("elements")).toBool();
    s.nulls = o.value(QStringLiteral("nulls")).toBool();
    s.bare = o.value(QStringLiteral("bare")).toBool();
    for (const QJsonValue& n : o.value(QStringLiteral("names")).toArray()) s.names.push_back(n.toString());
    for (const QJsonValue& k : o.value(QStringLiteral("kinds")).toArray()) s.kinds += k.toString().left(1);
    return s;
}

Value valueOf(sqlite3_value* v, QChar kind)
{
    Value r;
    const int type = sqlite3_value_type(v);
    if (type == SQLITE_NULL) return r;
    r.null = false;
    r.kind = kind;
    if (kind == u'u') r.kind = type == SQLITE_INTEGER || type == SQLITE_FLOAT ? u'f' : type == SQLITE_BLOB ? u'y' : u's';
    if (r.kind == u'f' && type != SQLITE_TEXT) {
        // the shortest text that reads back as the same double
        r.text = type == SQLITE_INTEGER ? QString::number(sqlite3_value_int64(v))
                                        : QString::number(sqlite3_value_double(v), 'g', QLocale::FloatingPointShortest);
        if (r.text.contains(u'e')) r.text.replace(QStringLiteral("e+"), QStringLiteral("E")).replace(u'e', u'E');
        return r;
    }
    if (r.kind == u'y' || type == SQLITE_BLOB) {
        r.kind = u'y';
        r.text = QString::fromLatin1(
            QByteArray(static_cast<const char*>(sqlite3_value_blob(v)), sqlite3_value_bytes(v)).toBase64());
        return r;
    }
    r.text = textOf(v);
    return r;
}

// ---- XML ------------------------------------------------------------------------------------

QString xmlEscaped(const QString& s, bool attribute)
{
    QString r;
    r.reserve(s.size());
    for (QChar c : s) {
        if (c == u'&')
            r += QLatin1String("&amp;");
        else if (c == u'<')
            r += QLatin1String("&lt;");
        else if (c == u'>')
            r += QLatin1String("&gt;");
        else if (attribute && c == u'"')
            r += QLatin1String("&quot;");
        else
            r += c;
    }
    return r;
}

const QLatin1String kXsiNamespace(" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"");

struct XmlNode {
    QString name;        // empty: markup already written (text)
    QString attributes;  // written: ' a="1"' …
    QString text;
    bool open = false;   // an element written with start and end tag even when empty
    bool declaresXsi = false;
    std::list<XmlNode> children;

    void write(QString& out) const
    {
        if (name.isEmpty()) {
            out += text;
            for (const XmlNode& c : children) c.write(out);
            return;
        }
        out += u'<' + name;
        if (declaresXsi) out += kXsiNamespace;
        out += attributes;
        if (children.empty() && !open) {
            out += QLatin1String(" />");
            return;
        }
        out += u'>';
        for (const XmlNode& c : children) c.write(out);
        out += QLatin1String("</") + name + u'>';
    }
};

XmlNode& textNode(XmlNode& parent, const QString& markup)
{
    XmlNode t;
    t.text = markup;
    parent.children.push_back(std::move(t));
    return parent.children.back();
}

// One row as FOR XML RAW and AUTO write it: each column an attribute of the row's element, or
// with ELEMENTS its subelement.
void xmlRawRow(const Shape& shape, const std::vector<Value>& row, QString& out)
{
    XmlNode top;
    top.name = shape.row;
    for (size_t i = 0; i < row.size(); ++i) {
        const Value& v = row[i];
        const QString name = i < size_t(shape.names.size()) ? shape.names[qsizetype(i)] : QString();
        if (v.null && !(shape.elements && shape.xsinil)) continue;
        const QString text = v.kind == u'x' ? v.text : xmlEscaped(v.text, !shape.elements);
        if (!shape.elements) {
            top.attributes += u' ' + name + QLatin1String("=\"") + text + u'"';
            continue;
        }
        XmlNode e;
        e.name = name;
        if (v.null) {
            e.attributes = QStringLiteral(" xsi:nil=\"true\"");
            top.declaresXsi = true;
        } else {
            e.open = true;
            if (!text.isEmpty()) textNode(e, text);
        }
        top.children.push_back(std::move(e));
    }
    top.write(out);
}

// One row as FOR XML PATH writes it: each column's name is the path of its value.
bool xmlRow(const Shape& shape, const std::vector<Value>& row, QString& out, bool& atomic, QString& error)
{
    XmlNode top;
    top.name = shape.row;
    std::vector<XmlNode*> chain;   // the elements the last column's path opened
    std::vector<QString> chainNames;
    if (!shape.row.isEmpty()) atomic = false;
    for (size_t i = 0; i < row.size(); ++i) {
        const Value& v = row[i];
        const QString name = i < size_t(shape.names.size()) ? shape.names[qsizetype(i)] : QString();
        QStringList parts = name.isEmpty() ? QStringList() : name.split(u'/');
        const QString leaf = parts.isEmpty() ? QString() : parts.takeLast();
        const bool element = !leaf.isEmpty() && leaf != u"*" && !leaf.startsWith(u'@') && !leaf.endsWith(u')');
        if (v.null && !(shape.xsinil && element)) continue;
        // a/@b then a: the value is the content of the element the path has open
        const size_t depth = size_t(parts.size());
        if (element && !v.null && chain.size() > depth && chainNames[depth] == leaf) {
            bool same = true;
            for (size_t p = 0; p < depth && same; ++p) same = chainNames[p] == parts[qsizetype(p)];
            if (same) {
                chain.resize(depth + 1);
                chainNames.resize(depth + 1);
                if (!v.text.isEmpty()) textNode(*chain.back(), v.kind == u'x' ? v.text : xmlEscaped(v.text, false));
                atomic = false;
                continue;
            }
        }
        const size_t common = keepCommonPath(chain, chainNames, parts);
        for (qsizetype p = qsizetype(common); p < parts.size(); ++p) {
            XmlNode& parent = chain.empty() ? top : *chain.back();
            XmlNode e;
            e.name = parts[p];
            parent.children.push_back(std::move(e));
            chain.push_back(&parent.children.back());
            chainNames.push_back(parts[p]);
            atomic = false;
        }
        XmlNode& target = chain.empty() ? top : *chain.back();
        const bool xml = v.kind == u'x';
        if (leaf.startsWith(u'@')) {
            if (target.name.isEmpty()) {
                error = QStringLiteral("FOR XML PATH cannot write the attribute '%1' without a row element.").arg(name);
                return false;
            }
            if (!target.children.empty()) {
                error = QStringLiteral("FOR XML PATH cannot write the attribute '%1' after the content of its "
                                       "element: name attributes first.")
                            .arg(name);
                return false;
            }
            target.attributes += u' ' + leaf.mid(1) + QLatin1String("=\"") + xmlEscaped(v.text, true) + u'"';
            continue;
        }
        if (element) {
            XmlNode e;
            e.name = leaf;
            if (v.null) {
                e.attributes = QStringLiteral(" xsi:nil=\"true\"");
                XmlNode& holder = !top.name.isEmpty() ? top : chain.empty() ? e : *chain.front();
                holder.declaresXsi = true;
            } else {
                e.open = true;
                if (!v.text.isEmpty()) textNode(e, xml ? v.text : xmlEscaped(v.text, false));
            }
            target.children.push_back(std::move(e));
            atomic = false;
        } else if (leaf == u"data()") {
            textNode(target, (atomic ? QStringLiteral(" ") : QString()) + (xml ? v.text : xmlEscaped(v.text, false)));
            atomic = true;
        } else if (leaf == u"comment()") {
            textNode(target, QLatin1String("<!--") + v.text + QLatin1String("-->"));
            atomic = false;
        } else if (leaf.startsWith(QLatin1String("processing-instruction(")) && leaf.endsWith(u')')) {
            textNode(target, QLatin1String("<?") + leaf.mid(23, leaf.size() - 24) + u' ' + v.text + QLatin1String("?>"));
            atomic = false;
        } else {
            // no name, *, node(), text(): the value as text (an xml value as its markup)
            textNode(target, xml ? v.text : xmlEscaped(v.text, false));
            atomic = false;
        }
    }
    top.write(out);
    return true;
}

// ---- JSON -----------------------------------------------------------------------------------

QString jsonEscaped(const QString& s)
{
    QString r;
    r.reserve(s.size() + 2);
    r += u'"';
    for (QChar c : s) {
        switch (c.unicode()) {
        case '"': r += QLatin1String("\\\""); break;
        case '\\': r += QLatin1String("\\\\"); break;
        case '/': r += QLatin1String("\\/"); break;
        case '\b': r += QLatin1String("\\b"); break;
        case '\f': r += QLatin1String("\\f"); break;
        case '\n': r += QLatin1String("\\n"); break;
        case '\r': r += QLatin1String("\\r"); break;
        case '\t': r += QLatin1String("\\t"); break;
        default:
            if (c.unicode() < 0x20)
                r += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                r += c;
        }
    }
    r += u'"';
    return r;
}

QString jsonValue(const Value& v)
{
    if (v.null) return QStringLiteral("null");
    switch (v.kind.unicode()) {
    case 'n':
    case 'f':
    case 'j': return v.text;
    case 'b': return v.text == u"0" ? QStringLiteral("false") : QStringLiteral("true");
    default: return jsonEscaped(v.text);
    }
}

struct JsonNode {
    QString key;
    QString value;   // written; empty for an object
    std::list<JsonNode> members;

    void write(QString& out) const
    {
        if (!value.isEmpty()) {
            out += value;
            return;
        }
        out += u'{';
        bool first = true;
        for (const JsonNode& m : members) {
            if (!first) out += u',';
            first = false;
            out += jsonEscaped(m.key) + u':';
            m.write(out);
        }
        out += u'}';
    }
    bool has(const QString& k) const
    {
        for (const JsonNode& m : members)
            if (m.key == k) return true;
        return false;
    }
};

QString conflict(const QString& name)
{
    return QStringLiteral("FOR JSON cannot write the property '%1' twice: give the columns different names.").arg(name);
}

// One row as FOR JSON writes it: PATH nests the parts of a dotted name, AUTO keeps it whole.
bool jsonRow(const Shape& shape, const std::vector<Value>& row, QString& out, QString& error)
{
    JsonNode top;
    std::vector<JsonNode*> chain;
    std::vector<QString> chainNames;
    const bool nests = shape.mode == u"json";
    for (size_t i = 0; i < row.size(); ++i) {
        const Value& v = row[i];
        if (v.null && !shape.nulls) continue;
        const QString name = i < size_t(shape.names.size()) ? shape.names[qsizetype(i)] : QString();
        QStringList parts = nests ? name.split(u'.') : QStringList{name};
        const QString leaf = parts.takeLast();
        const size_t common = keepCommonPath(chain, chainNames, parts);
        for (qsizetype p = qsizetype(common); p < parts.size(); ++p) {
            JsonNode& parent = chain.empty() ? top : *chain.back();
            if (parent.has(parts[p])) {
                error = conflict(name);
                return false;
            }
            JsonNode o;
            o.key = parts[p];
            parent.members.push_back(std::move(o));
            chain.push_back(&parent.members.back());
            chainNames.push_back(parts[p]);
        }
        JsonNode& target = chain.empty() ? top : *chain.back();
        if (target.has(leaf)) {
            error = conflict(name);
            return false;
        }
        JsonNode m;
        m.key = leaf;
        m.value = jsonValue(v);
        target.members.push_back(std::move(m));
    }
    top.write(out);
    return true;
}

// ---- the aggregate ---------------------------------------------------------------------------

void shapedStep(sqlite3_context* ctx, int argc, sqlite3_value** argv)
{
    auto* agg = static_cast<ShapedRows**>(sqlite3_aggregate_context(ctx, sizeof(ShapedRows*)));
    if (!agg) return sqlite3_result_error_nomem(ctx);
    if (!*agg) *agg = new ShapedRows;
    ShapedRows& a = **agg;
    if (!a.started) {
        a.started = true;
        a.shape = readShape(textOf(argv[0]));
    }
    std::vector<Value> row;
    row.reserve(size_t(argc - 1));
    for (int i = 1; i < argc; ++i)
        row.push_back(valueOf(argv[i], i - 1 < a.shape.kinds.size() ? a.shape.kinds[i - 1] : QChar(u'u')));
    a.rows.push_back(std::move(row));
}

void shapedFinal(sqlite3_context* ctx)
{
    auto* agg = static_cast<ShapedRows**>(sqlite3_aggregate_context(ctx, 0));
    std::unique_ptr<ShapedRows> a(agg ? *agg : nullptr);
    if (agg) *agg = nullptr;
    if (!a || a->rows.empty()) return sqlite3_result_null(ctx);
    const Shape& s = a->shape;
    QString out;
    QString error;
    if (s.mode == u"xml") {
        bool atomic = false;
        for (const auto& row : a->rows)
            if (!xmlRow(s, row, out, atomic, error)) return resultError(ctx, error);
    }
    if (s.mode == u"xml-raw") {
        for (const auto& row : a->rows) xmlRawRow(s, row, out);
    }
    if (s.mode.startsWith(u"xml")) {
        // rows that write nothing (their columns NULL) make no xml
        if (out.isEmpty() && !s.root) return sqlite3_result_null(ctx);
        if (s.root) out = u'<' + s.rootName + u'>' + out + QLatin1String("</") + s.rootName + u'>';
    } else {
        bool first = true;
        for (const auto& row : a->rows) {
            if (!first) out += u',';
            first = false;
            if (!jsonRow(s, row, out, error)) return resultError(ctx, error);
        }
        if (!s.bare) out = u'[' + out + u']';
        if (s.root) out = u'{' + jsonEscaped(s.rootName) + u':' + out + u'}';
    }
    resultText(ctx, out);
}

void passValue(sqlite3_context* ctx, int, sqlite3_value** argv) { sqlite3_result_value(ctx, argv[0]); }

// The string value of an xml text: its text nodes with the entities read.
void xmlText(sqlite3_context* ctx, int, sqlite3_value** argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    const QString x = textOf(argv[0]);
    QString r;
    r.reserve(x.size());
    for (qsizetype i = 0; i < x.size(); ++i) {
        const QChar c = x[i];
        if (c == u'<') {
            const bool comment = x.mid(i, 4) == QLatin1String("<!--");
            const qsizetype close = comment ? x.indexOf(QLatin1String("-->"), i) : x.indexOf(u'>', i);
            if (close < 0) break;
            i = close + (comment ? 2 : 0);
            continue;
        }
        if (c == u'&') {
            const qsizetype semi = x.indexOf(u';', i);
            const QString entity = semi > i ? x.mid(i + 1, semi - i - 1) : QString();
            QString decoded;
            if (entity == u"amp")
                decoded = QStringLiteral("&");
            else if (entity == u"lt")
                decoded = QStringLiteral("<");
            else if (entity == u"gt")
                decoded = QStringLiteral(">");
            else if (entity == u"quot")
                decoded = QStringLiteral("\"");
            else if (entity == u"apos")
                decoded = QStringLiteral("'");
            else if (entity.startsWith(u'#')) {
                bool ok = false;
                const uint code = entity.startsWith(QLatin1String("#x")) ? entity.mid(2).toUInt(&ok, 16)
                                                                         : entity.mid(1).toUInt(&ok, 10);
                if (ok) decoded = QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
            }
            if (!decoded.isEmpty()) {
                r += decoded;
                i = semi;
                continue;
            }
        }
        r += c;
    }
    resultText(ctx, r);
}

}   // namespace

void registerShapedResults(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    sqlite3_create_function_v2(db, "orra_shaped", -1, SQLITE_UTF8, nullptr, nullptr, shapedStep, shapedFinal, nullptr);
    sqlite3_create_function_v2(db, "orra_xml_typed", 1, flags, nullptr, passValue, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_json_typed", 1, flags, nullptr, passValue, nullptr, nullptr, nullptr);
    sqlite3_create_function_v2(db, "orra_xml_text", 1, flags, nullptr, xmlText, nullptr, nullptr, nullptr);
}

}   // namespace orra::embedded
