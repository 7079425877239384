#pragma once
// One station snapshot: the Station element reached and a copy of the parameter chain at that
// moment. chParam keeps a deep copy when set and hands out a new deep copy each time it is read,
// so a snapshot never changes after it was taken.

#include <memory>
#include "common/Xml.h"

namespace orra {

class clsStation {
public:
    clsStation() = default;

    // The Station element (or the synthetic end station, which this snapshot then owns).
    xml::Node Element;

    std::unique_ptr<xml::Document> chParam() const;
    void setChParam(const xml::Document& chain);

    // Keeps a synthetic element alive (the "DocEnd" station, never part of the document).
    std::shared_ptr<xml::Document> ownedElement;

private:
    xml::Document m_chParam;
};

} // namespace orra
