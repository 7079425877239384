#pragma once
// One station snapshot: the Station element reached and a copy of the parameter chain at that
// moment. chParam keeps a deep copy when set and hands out a new deep copy each time it is read,
// so a snapshot never changes after it was taken.

#include <memory>
#include <pugixml.hpp>

namespace orra {

class clsStation {
public:
    clsStation() = default;

    // The Station element (or the synthetic end station, which this snapshot then owns).
    pugi::xml_node Element;

    std::unique_ptr<pugi::xml_document> chParam() const;
    void setChParam(const pugi::xml_document& chain);

    // Keeps a synthetic element alive (the "DocEnd" station, never part of the document).
    std::shared_ptr<pugi::xml_document> ownedElement;

private:
    pugi::xml_document m_chParam;
};

} // namespace orra
