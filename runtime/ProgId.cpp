#include "runtime/ProgId.h"

#include "platform/text/Error.h"
#include "runtime/DocOrra.h"

namespace orra {

std::unique_ptr<QObject> CreateObject(const QString& progId)
{
    if (progId.trimmed().compare(QLatin1String("Tavrel.DocOrra"), Qt::CaseInsensitive) == 0)
        return std::make_unique<DocOrra>();
    throw Error(429, QString(), QStringLiteral("ActiveX component can't create object"));
}

} // namespace orra
