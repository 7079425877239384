#include "runtime/clsStation.h"

namespace orra {

std::unique_ptr<xml::Document> clsStation::chParam() const
{
    auto copy = std::make_unique<xml::Document>();
    for (xml::Node n = m_chParam.node().first_child(); n; n = n.next_sibling()) xml::appendCopy(copy->node(), n);
    return copy;
}

void clsStation::setChParam(const xml::Document& chain)
{
    m_chParam.clear();
    for (xml::Node n = chain.node().first_child(); n; n = n.next_sibling()) xml::appendCopy(m_chParam.node(), n);
}

}   // namespace orra
