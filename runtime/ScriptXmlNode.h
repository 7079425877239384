#pragma once
// Nodes of the running document as scripts see them, shaped like the XML DOM's nodes:
//   nodeName, nodeType, nodeValue, text, xml, attributes (length, item(i), getNamedItem(name)),
//   getAttribute(name), setAttribute(name, value), removeAttribute(name), childNodes (length,
//   item(i), For Each), firstChild, lastChild, previousSibling, nextSibling, parentNode,
//   hasChildNodes().
// An attribute node has name and value besides. Changes a script makes (setAttribute, text,
// nodeValue) go into the engine's document itself.

#include "common/Xml.h"
#include "platform/vbscript/Dispatch.h"

#include <memory>

namespace orra {

// The script object of node (Nothing for a null node). owner keeps the document alive while
// scripts hold the object.
vbs::Variant ScriptXmlNode(std::shared_ptr<xml::Document> owner, xml::Node node);

// The node behind a script object made by ScriptXmlNode (a null node for anything else).
xml::Node ScriptXmlNodeOf(const vbs::Variant& value);

}   // namespace orra
