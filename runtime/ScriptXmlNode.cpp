#include "runtime/ScriptXmlNode.h"

#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/vbscript/Runtime.h"

#include <QStringList>

namespace orra {

namespace {

using vbs::Arguments;
using vbs::Variant;

QString key(const QString& name) { return vbs::foldCase(name); }

QString argText(const Arguments& a, size_t i)
{
    if (vbs::isMissing(a, i)) vbs::raise(kWrongArgumentCount);
    const Variant v = a[i].isObject() ? a[i].dereferenced() : a[i];
    return v.isNull() ? QString() : v.toString();
}

long argIndex(const Arguments& a, size_t i)
{
    if (vbs::isMissing(a, i)) vbs::raise(kWrongArgumentCount);
    const Variant v = a[i].isObject() ? a[i].dereferenced() : a[i];
    return v.toLong();
}

QString fromUtf8(const char* s) { return QString::fromUtf8(s); }

// A snapshot list of nodes: childNodes and attributes.
class NodeList : public vbs::Dispatch {
public:
    explicit NodeList(std::vector<Variant> items, bool named) : m_items(std::move(items)), m_named(named) {}
    QString typeName() const override
    {
        return m_named ? QStringLiteral("IXMLDOMNamedNodeMap") : QStringLiteral("IXMLDOMNodeList");
    }
    bool hasMember(const QString& n) const override
    {
        const QString k = key(n);
        return k == u"length" || k == u"item" || (m_named && k == u"getnameditem");
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        const QString k = key(name);
        if (k == u"length") return Variant::longValue(int32_t(m_items.size()));
        if (k.isEmpty() || k == u"item") {
            const long i = argIndex(args, 0);
            // Out of range gives Nothing, as the DOM's item() does.
            return i >= 0 && size_t(i) < m_items.size() ? m_items[size_t(i)] : Variant::nothing();
        }
        if (m_named && k == u"getnameditem") {
            const QString wanted = argText(args, 0);
            for (const Variant& v : m_items) {
                Arguments none;
                if (v.rawObject()->getProperty(QStringLiteral("name"), none).toString() == wanted) return v;
            }
            return Variant::nothing();
        }
        return Dispatch::getProperty(name, args);
    }
    std::vector<Variant> enumerate() override { return m_items; }

private:
    std::vector<Variant> m_items;
    bool m_named;
};

class XmlNodeObject : public vbs::Dispatch {
public:
    XmlNodeObject(std::shared_ptr<xml::Document> owner, xml::Node node) : m_owner(std::move(owner)), m_node(node) {}
    XmlNodeObject(std::shared_ptr<xml::Document> owner, xml::Node element, xml::Attribute attribute)
        : m_owner(std::move(owner)), m_node(element), m_attribute(attribute)
    {
    }

    xml::Node node() const { return m_attribute ? xml::Node() : m_node; }

    QString typeName() const override
    {
        if (m_attribute) return QStringLiteral("IXMLDOMAttribute");
        switch (m_node.type()) {
        case pugi::node_element:
            return QStringLiteral("IXMLDOMElement");
        case pugi::node_cdata:
            return QStringLiteral("IXMLDOMCDATASection");
        case pugi::node_pcdata:
            return QStringLiteral("IXMLDOMText");
        case pugi::node_document:
            return QStringLiteral("DOMDocument");
        default:
            return QStringLiteral("IXMLDOMNode");
        }
    }

    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {"nodename", "nodetype", "nodevalue", "text", "xml", "attributes",
            "getattribute", "setattribute", "removeattribute", "childnodes", "firstchild", "lastchild",
            "previoussibling", "nextsibling", "parentnode", "haschildnodes", "name", "value"};
        return names.contains(key(n));
    }

    Variant getProperty(const QString& name, Arguments& args) override
    {
        const QString k = key(name);
        if (m_attribute) return attributeProperty(k, name, args);
        // node.childNodes(i), node.attributes(i): the arguments go to the list's default member.
        if ((k == u"attributes" || k == u"childnodes") && !args.empty()) {
            Arguments none;
            const Variant list = getProperty(name, none);
            if (!list.isObject() || !list.rawObject()) vbs::raise(kObjectRequired);
            return list.rawObject()->getProperty(QString(), args);
        }
        if (k == u"nodename") return Variant::string(nodeName());
        if (k == u"nodetype") return Variant::longValue(nodeType());
        if (k == u"nodevalue") return isTextNode() ? Variant::string(fromUtf8(m_node.value())) : Variant::null();
        if (k == u"text") return Variant::string(textOf(m_node));
        if (k == u"xml")
            return Variant::string(m_node.type() == pugi::node_document ? m_owner->xml() : xml::outerXml(m_node));
        if (k == u"attributes") {
            if (m_node.type() != pugi::node_element) return Variant::null();
            std::vector<Variant> items;
            for (xml::Attribute a = m_node.first_attribute(); a; a = a.next_attribute())
                items.push_back(Variant::object(std::make_shared<XmlNodeObject>(m_owner, m_node, a)));
            return Variant::object(std::make_shared<NodeList>(std::move(items), true));
        }
        if (k == u"getattribute") {
            const QString attributeName = argText(args, 0);
            requireElement();
            return xml::hasAttribute(m_node, attributeName) ? Variant::string(xml::attribute(m_node, attributeName))
                                                            : Variant::null();
        }
        if (k == u"childnodes") {
            std::vector<Variant> items;
            for (xml::Node c = m_node.first_child(); c; c = c.next_sibling())
                items.push_back(ScriptXmlNode(m_owner, c));
            return Variant::object(std::make_shared<NodeList>(std::move(items), false));
        }
        if (k == u"firstchild") return ScriptXmlNode(m_owner, m_node.first_child());
        if (k == u"lastchild") return ScriptXmlNode(m_owner, m_node.last_child());
        if (k == u"previoussibling") return ScriptXmlNode(m_owner, m_node.previous_sibling());
        if (k == u"nextsibling") return ScriptXmlNode(m_owner, m_node.next_sibling());
        if (k == u"parentnode") return ScriptXmlNode(m_owner, m_node.parent());
        if (k == u"haschildnodes") return Variant::boolean(bool(m_node.first_child()));
        if (k == u"setattribute" || k == u"removeattribute") return call(name, args);
        return Dispatch::getProperty(name, args);
    }

    Variant call(const QString& name, Arguments& args) override
    {
        const QString k = key(name);
        if (!m_attribute && k == u"setattribute") {
            const QString attributeName = argText(args, 0);
            const QString value = argText(args, 1);
            requireElement();
            xml::setAttribute(m_node, attributeName, value);
            return Variant();
        }
        if (!m_attribute && k == u"removeattribute") {
            const QString attributeName = argText(args, 0);
            requireElement();
            xml::removeAttribute(m_node, attributeName);
            return Variant();
        }
        return getProperty(name, args);
    }

    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        const QString k = key(name);
        const QString v = value.isNull() ? QString() : value.toString();
        if (m_attribute) {
            if (k == u"value" || k == u"nodevalue" || k == u"text") {
                m_attribute.set_value(v.toUtf8().constData());
                return;
            }
            return Dispatch::putProperty(name, args, value);
        }
        if (k == u"nodevalue" && isTextNode()) {
            m_node.set_value(v.toUtf8().constData());
            return;
        }
        if (k == u"text") {
            if (isTextNode()) {
                m_node.set_value(v.toUtf8().constData());
                return;
            }
            if (m_node.type() == pugi::node_element) {
                // As the DOM does: the children give way to one text node.
                while (m_node.first_child()) m_node.remove_child(m_node.first_child());
                m_node.append_child(pugi::node_pcdata).set_value(v.toUtf8().constData());
                return;
            }
        }
        Dispatch::putProperty(name, args, value);
    }

private:
    bool isTextNode() const { return m_node.type() == pugi::node_cdata || m_node.type() == pugi::node_pcdata; }

    void requireElement() const
    {
        if (m_node.type() != pugi::node_element) vbs::raise(kMemberNotSupported);
    }

    QString nodeName() const
    {
        switch (m_node.type()) {
        case pugi::node_element:
            return fromUtf8(m_node.name());
        case pugi::node_cdata:
            return QStringLiteral("#cdata-section");
        case pugi::node_pcdata:
            return QStringLiteral("#text");
        case pugi::node_comment:
            return QStringLiteral("#comment");
        case pugi::node_document:
            return QStringLiteral("#document");
        case pugi::node_pi:
        case pugi::node_declaration:
            return fromUtf8(m_node.name());
        default:
            return QString();
        }
    }

    int nodeType() const
    {
        switch (m_node.type()) {
        case pugi::node_element:
            return 1;
        case pugi::node_pcdata:
            return 3;
        case pugi::node_cdata:
            return 4;
        case pugi::node_pi:
        case pugi::node_declaration:
            return 7;
        case pugi::node_comment:
            return 8;
        case pugi::node_document:
            return 9;
        default:
            return 0;
        }
    }

    // The DOM's text: the text of every text and CDATA node below, in document order.
    static QString textOf(xml::Node n)
    {
        if (n.type() == pugi::node_cdata || n.type() == pugi::node_pcdata) return fromUtf8(n.value());
        QString out;
        for (xml::Node c = n.first_child(); c; c = c.next_sibling()) {
            if (c.type() == pugi::node_comment || c.type() == pugi::node_pi || c.type() == pugi::node_declaration)
                continue;
            out += textOf(c);
        }
        return out;
    }

    Variant attributeProperty(const QString& k, const QString& name, Arguments& args)
    {
        if (k == u"name" || k == u"nodename") return Variant::string(fromUtf8(m_attribute.name()));
        if (k.isEmpty() || k == u"value" || k == u"nodevalue" || k == u"text")
            return Variant::string(fromUtf8(m_attribute.value()));
        if (k == u"nodetype") return Variant::longValue(2);
        if (k == u"xml") {
            QString value = fromUtf8(m_attribute.value());
            value.replace(QLatin1Char('&'), QLatin1String("&amp;"));
            value.replace(QLatin1Char('"'), QLatin1String("&quot;"));
            value.replace(QLatin1Char('<'), QLatin1String("&lt;"));
            return Variant::string(fromUtf8(m_attribute.name()) + QStringLiteral("=\"") + value + QLatin1Char('"'));
        }
        if (k == u"parentnode") return Variant::nothing();
        return Dispatch::getProperty(name, args);
    }

    std::shared_ptr<xml::Document> m_owner;
    xml::Node m_node;
    xml::Attribute m_attribute;
};

}   // namespace

Variant ScriptXmlNode(std::shared_ptr<xml::Document> owner, xml::Node node)
{
    if (!node) return Variant::nothing();
    return Variant::object(std::make_shared<XmlNodeObject>(std::move(owner), node));
}

xml::Node ScriptXmlNodeOf(const Variant& value)
{
    if (!value.isObject()) return xml::Node();
    auto o = std::dynamic_pointer_cast<XmlNodeObject>(value.rawObject());
    return o ? o->node() : xml::Node();
}

}   // namespace orra
