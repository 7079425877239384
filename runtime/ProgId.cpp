#include "runtime/ProgId.h"

#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "runtime/DocOrra.h"

namespace orra {

std::unique_ptr<QObject> CreateObject(const QString& progId)
{
    if (progId.trimmed().compare(QLatin1String("Tavrel.DocOrra"), Qt::CaseInsensitive) == 0)
        return std::make_unique<DocOrra>();
    throw Error(kCannotCreateObject, QString(), QStringLiteral("ActiveX component can't create object"));
}

}   // namespace orra
