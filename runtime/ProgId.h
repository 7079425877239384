#pragma once
// Program identifiers of the run-time library: a host that drives the engine late-bound
// creates it by name ("Tavrel.DocOrra", compared without regard to case, as the system
// registry compared them).

#include <QObject>
#include <QString>
#include <memory>

namespace orra {

// A new object for progId, owned by the caller. Throws orra::Error 429 "ActiveX component
// can't create object" for a name the library does not serve.
std::unique_ptr<QObject> CreateObject(const QString& progId);

}   // namespace orra
