#include "common/Connections.h"

#include "common/DataSources.h"
#include "common/StoredPassword.h"
#include "platform/db/ConnectionString.h"
#include "platform/db/ServerConnectionText.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <mutex>

namespace orra {
namespace {

std::mutex g_mutex;
db::ConnectionPtr g_main;
QList<QPair<QString, QString>> g_cache{{QString(), QString()}};

void showError(const QString& description) { userInterface().messageBox(description, vbOKOnly); }

// Runs body; any error is shown in a box and turns into false.
template <typename F> bool shown(F&& body)
{
    try {
        return body();
    } catch (const Error& e) {
        showError(e.description());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

db::ConnectionPtr openConnection(const QString& text)
{
    auto c = std::make_shared<db::Connection>();
    c->open(text);
    c->setCommandTimeout(0);
    return c;
}

// Asks the host for the log-on; throws when it cannot be asked or was cancelled.
void askLogOn(LogOnRequest& request)
{
    UserInterface& ui = userInterface();
    if (!ui.logOn(request)) {
        if (!ui.interactive())
            throw Error(kSystemError, QStringLiteral("Connections"),
                QStringLiteral("Cannot log on to the server %1: this run has no one to ask for the login.")
                    .arg(request.server));
        throw Error(kSystemError, QStringLiteral("Connections"),
            QStringLiteral("The log-on to the server %1 was cancelled.").arg(request.server));
    }
}

// A data server's log-on starts from what the designer knows of that server: the database of
// its registry row (else the login's default database would be used, where the documents'
// tables are not) and the catalogue log-on's choice between the operating-system user and a
// SQL login, with that login. The registry is a help here: when it cannot be read, the fields stay empty.
void prefillServerLogOn(LogOnRequest& request)
{
    const db::ConnectionPtr catalogue = mainConnection();
    if (!catalogue) return;
    const db::ConnectionString logOn = db::ConnectionString::parse(catalogue->connectionString());
    request.trusted = logOn.trusted();
    if (!request.trusted) request.login = logOn.valueOf({"UID", "User ID"});
    try {
        if (const std::optional<RegisteredServer> row = ReadRegisteredServer(*catalogue, request.server))
            request.database = row->database;
    } catch (const Error&) {
    }
}

QVariant text(const QString& s) { return QVariant(s.isNull() ? QStringLiteral("") : s); }

}   // namespace

std::uint32_t DisabledItemColor() { return 0xFFFF6464u; }

QString LogOnConnectionText(const LogOnRequest& request, bool persistSecurityInfo)
{
    db::ServerLogOn logOn;
    logOn.server = request.server;
    logOn.database = request.database;
    logOn.trusted = request.trusted;
    logOn.login = request.login;
    logOn.password = request.password;
    logOn.persistSecurityInfo = persistSecurityInfo;
    return db::ServerConnectionText(logOn);
}

db::ConnectionPtr mainConnection()
{
    std::lock_guard lock(g_mutex);
    return g_main;
}

void setMainConnection(db::ConnectionPtr connection)
{
    std::lock_guard lock(g_mutex);
    g_main = std::move(connection);
}

bool OpenMainConnection(bool prompt, const QString& server, const QString& database)
{
    return shown([&] {
        LogOnRequest request;
        request.server = server;
        request.database = database;
        request.trusted = true;
        if (prompt) {
            request.trusted = false;
            askLogOn(request);
        }
        setMainConnection(openConnection(LogOnConnectionText(request, false)));
        return true;
    });
}

void ResetConnectionCache()
{
    std::lock_guard lock(g_mutex);
    g_cache = {{QString(), QString()}};
}

QList<QPair<QString, QString>> connectionCacheEntries()
{
    std::lock_guard lock(g_mutex);
    return g_cache;
}

db::ConnectionPtr OpenServerConnectionWithLogin(const QString& serverName)
{
    db::ConnectionPtr result;
    shown([&] {
        LogOnRequest request;
        request.server = serverName;
        prefillServerLogOn(request);
        askLogOn(request);
        // The text keeps the password, so that the connection cache can open it again.
        result = openConnection(LogOnConnectionText(request, true));
        return true;
    });
    return result;
}

bool GetServerConnection(const QString& serverName, db::ConnectionPtr& connection, bool noCache)
{
    if (!noCache) {
        QString cached;
        bool found = false;
        {
            std::lock_guard lock(g_mutex);
            for (const auto& entry : g_cache) {
                if (entry.first == serverName) {   // letter case counts
                    cached = entry.second;
                    found = true;
                    break;
                }
            }
        }
        if (found) {
            const bool ok = shown([&] {
                connection = openConnection(cached);
                return true;
            });
            if (!ok) {
                // The remembered log-on no longer works: forget it, so the next call asks again.
                std::lock_guard lock(g_mutex);
                for (qsizetype i = 0; i < g_cache.size(); ++i) {
                    if (g_cache[i].first == serverName && g_cache[i].second == cached) {
                        g_cache.removeAt(i);
                        break;
                    }
                }
            }
            return ok;
        }
    }
    db::ConnectionPtr c = OpenServerConnectionWithLogin(serverName);
    if (!c) return false;
    connection = c;
    if (!noCache) {
        std::lock_guard lock(g_mutex);
        g_cache.append({serverName, c->connectionString()});
    }
    return true;
}

// The registry table, in registryDatabase when one is named, else in the connection's current
// database.
static QString registryTable(const QString& registryDatabase)
{
    return registryDatabase.isEmpty() ? QStringLiteral("tbOrraConnections")
                                      : registryDatabase + QStringLiteral("..tbOrraConnections");
}

bool SaveServerConnection(const QString& server, const QString& ip, const QString& database, const QString& userName,
    const QString& password, const QString& key, const QString& registryDatabase)
{
    if (key.isEmpty()) return false;
    try {
        const db::ConnectionPtr con = mainConnection();
        if (!con || !con->isOpen()) return false;
        const QString stored = ScramblePassword(password, key);
        const QString table = registryTable(registryDatabase);
        db::RecordsetPtr rs =
            con->execute(QStringLiteral("select count(*) x from %1 where Server=?").arg(table), {text(server)});
        if (!rs || !rs->isOpen() || rs->isEOF()) return false;
        if (rs->value(0).toLongLong() > 0) {
            con->execute(QStringLiteral("update %1 set [Database]=?, IP=?, UserName=?, UserPwd=? "
                                        "where Server=?")
                             .arg(table),
                {text(database), text(ip), text(userName), text(stored), text(server)});
        } else {
            con->execute(QStringLiteral("insert into %1 (Server, IP, [Database], UserName, UserPwd) "
                                        "values (?, ?, ?, ?, ?)")
                             .arg(table),
                {text(server), text(ip), text(database), text(userName), text(stored)});
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool DeleteServerConnection(const QString& server, const QString& registryDatabase)
{
    try {
        const db::ConnectionPtr con = mainConnection();
        if (!con || !con->isOpen()) return false;
        con->execute(
            QStringLiteral("delete from %1 where Server=?").arg(registryTable(registryDatabase)), {text(server)});
        return true;
    } catch (...) {
        return false;
    }
}

}   // namespace orra
