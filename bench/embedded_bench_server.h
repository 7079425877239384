// A fresh embedded server with a catalogue in a temporary folder, opened as its administrator:
// the common start of the embedded server's benchmarks.
#pragma once

#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

#include <QTemporaryDir>

namespace orra::bench {

inline void openBenchServer(const QTemporaryDir& dir, db::Connection& c)
{
    qputenv("ORRA_SERVERS", dir.path().toUtf8());
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(QStringLiteral("bench"), QStringLiteral("sa"), QStringLiteral("pw"));
    catalogue::createEmbeddedCatalogue(QStringLiteral("bench"), QStringLiteral("catalogue"));
    c.open(embedded::connectionText(
        QStringLiteral("bench"), QStringLiteral("catalogue"), QStringLiteral("sa"), QStringLiteral("pw")));
}

}   // namespace orra::bench
