// Fuzzes the document loader, the document helpers and include expansion with arbitrary text.
// The input is split at '\x01' bytes: the first piece is the document being expanded (number
// 1), the next ones are the catalogue documents 2, 3, 4. Whatever the input, nothing may crash
// or hang, a loaded document must serialise to text that loads again to the same text, and
// every failure must be an orra::Error.

#include "common/IncludeExpansion.h"
#include "common/QueryDocument.h"
#include "common/Xml.h"
#include "platform/host/Error.h"

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

using namespace orra;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 64 * 1024) return 0;
    std::vector<QString> pieces;
    size_t start = 0;
    for (size_t i = 0; i <= size && pieces.size() < 4; ++i) {
        if (i == size || data[i] == 0x01) {
            pieces.push_back(QString::fromUtf8(reinterpret_cast<const char*>(data + start), qsizetype(i - start)));
            start = i + 1;
        }
    }

    xml::Document doc;
    if (!doc.loadXML(pieces[0])) {
        if (doc.parseError().errorCode == 0 || doc.parseError().line < 1) std::abort();
        return 0;
    }
    const QString text = doc.xml();
    {
        xml::Document again;
        if (!again.loadXML(text) || again.xml() != text) std::abort();
    }

    xml::Node root = doc.documentElement();
    (void)FindElementByAttribute(doc.node(), QStringLiteral("ID"), QStringLiteral("B0.0"));

    int lookups = 0;
    IncludeTextSource source = [&](long docID) {
        if (++lookups > 200) throw Error(-1, QStringLiteral("fuzz"), QStringLiteral("too many includes"));
        IncludedText t;
        if (docID >= 2 && docID <= 4 && size_t(docID - 1) < pieces.size()) {
            t.found = true;
            t.text = pieces[size_t(docID - 1)];
        }
        return t;
    };
    try {
        ExpandIncludes(source, root, 1);
    } catch (const Error&) {
    }
    RenumberElementIDs(root, QStringLiteral("B9"), QStringLiteral("B0"));
    RenameParameter(
        root, QStringLiteral("B9.P_A"), QStringLiteral("A"), QStringLiteral("B9.P_B"), QStringLiteral("B"), true);
    PrefixElementIDs(root, QStringLiteral("B0.I0"), QStringLiteral("|"));
    const QString expanded = doc.xml();
    xml::Document again;
    if (!again.loadXML(expanded) || again.xml() != expanded) std::abort();
    return 0;
}
