#pragma once
// The text FOR XML PATH and FOR JSON PATH/AUTO make of a select's rows (see
// translator/ForClauses.cpp): the aggregate orra_shaped(shape, values…) over the rows in their
// order, the markers of a shaped value (orra_xml_typed, orra_json_typed) and the string value
// of an xml text (orra_xml_text, the xml method value('.', …)).

struct sqlite3;

namespace orra::embedded {

void registerShapedResults(sqlite3* db);

}   // namespace orra::embedded
