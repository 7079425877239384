#pragma once
// An embedded server for the engine tests: server "enginetest" with the catalogue database
// "Orra" and the data database "Data", both opened as the administrator "sa".

#include "catalogue/EmbeddedCatalogue.h"
#include "platform/db/Connection.h"
#include "platform/db/embedded/Server.h"

namespace orra::test {

struct TestServer {
    db::ConnectionPtr catalogue;
    db::ConnectionPtr data;
};

inline const char* kTestServer = "enginetest";

inline db::ConnectionPtr openAs(const QString& database, const QString& login, const QString& password)
{
    auto c = std::make_shared<db::Connection>();
    c->open(embedded::connectionText(QString::fromLatin1(kTestServer), database, login, password));
    return c;
}

inline TestServer createTestServer(const QString&)
{
    const QString server = QString::fromLatin1(kTestServer);
    catalogue::registerEmbeddedCatalogue();
    catalogue::createEmbeddedServer(server, QStringLiteral("sa"), QStringLiteral("secret"));
    catalogue::createEmbeddedCatalogue(server, QStringLiteral("Orra"));
    embedded::createDatabase(server, QStringLiteral("Data"));
    TestServer s;
    s.catalogue = openAs(QStringLiteral("Orra"), QStringLiteral("sa"), QStringLiteral("secret"));
    s.data = openAs(QStringLiteral("Data"), QStringLiteral("sa"), QStringLiteral("secret"));
    return s;
}

}   // namespace orra::test
