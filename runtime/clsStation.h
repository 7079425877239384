#pragma once
// One station snapshot: the Station element reached and a copy of the parameter chain at that
// moment. chParam keeps a deep copy when set and hands out a new deep copy each time it is read,
// so a snapshot never changes after it was taken.

#include <QString>
#include <memory>
#include "common/Xml.h"

namespace orra {

class clsStation {
public:
    clsStation() = default;

    // The Station element reached: a copy owned by this snapshot (also for the synthetic end
    // station), so it stays valid whatever happens to the document.
    xml::Node Element;

    std::unique_ptr<xml::Document> chParam() const;
    void setChParam(const xml::Document& chain);

    // The document that holds Element.
    std::shared_ptr<xml::Document> ownedElement;

    // ID of the chain entry in which the station stands (the entry of its block, or of the
    // included document that holds it): the scope of placeholders once this snapshot is the
    // chain again.
    QString scopeID;

private:
    xml::Document m_chParam;
};

}   // namespace orra
