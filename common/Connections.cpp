#include "common/Connections.h"

#include "common/StoredPassword.h"
#include "platform/db/ConnectionString.h"
#include "platform/text/Error.h"
#include "platform/text/UserInterface.h"

#include <mutex>

namespace orra {
namespace {

std::mutex g_mutex;
db::ConnectionPtr g_main;
QList<QPair<QString, QString>> g_cache{{QString(), QString()}};

void showError(const QString& description) { userInterface().messageBox(description, vbOKOnly); }

// Runs body; any error is shown in a box and turns into false.
template <typename F>
bool shown(F&& body) {
    try {
        return body();
    } catch (const Error& e) {
        showError(e.description());
    } catch (const std::exception& e) {
        showError(QString::fromLocal8Bit(e.what()));
    }
    return false;
}

db::ConnectionPtr openConnection(const QString& text) {
    auto c = std::make_shared<db::Connection>();
    c->open(text);
    c->setCommandTimeout(0);
    return c;
}

// Asks the host for the log-on; throws when it cannot be asked or was cancelled.
void askLogOn(LogOnRequest& request) {
    UserInterface& ui = userInterface();
    if (!ui.logOn(request)) {
        if (!ui.interactive())
            throw Error(-1, QStringLiteral("Connections"),
                        QStringLiteral("Cannot log on to the server %1: this run has no one to ask for the login.")
                            .arg(request.server));
        throw Error(-1, QStringLiteral("Connections"),
                    QStringLiteral("The log-on to the server %1 was cancelled.").arg(request.server));
    }
}

// The connection text of what the log-on produced, over the given base text.
QString loggedOnText(const QString& baseText, const LogOnRequest& request) {
    db::ConnectionString cs = db::ConnectionString::parse(baseText);
    cs.set(QStringLiteral("Server"), request.server);
    if (!request.database.isEmpty()) cs.set(QStringLiteral("Database"), request.database);
    cs.remove(QStringLiteral("User ID"));
    cs.remove(QStringLiteral("Password"));
    if (request.trusted) {
        cs.remove(QStringLiteral("UID"));
        cs.remove(QStringLiteral("PWD"));
        cs.set(QStringLiteral("Trusted_Connection"), QStringLiteral("Yes"));
    } else {
        cs.remove(QStringLiteral("Trusted_Connection"));
        cs.set(QStringLiteral("UID"), request.login);
        cs.set(QStringLiteral("PWD"), request.password);
    }
    return cs.toString();
}

QVariant text(const QString& s) { return QVariant(s.isNull() ? QStringLiteral("") : s); }

} // namespace

std::uint32_t DisabledItemColor() { return 0xFFFF6464u; }

db::ConnectionPtr mainConnection() {
    std::lock_guard lock(g_mutex);
    return g_main;
}

void setMainConnection(db::ConnectionPtr connection) {
    std::lock_guard lock(g_mutex);
    g_main = std::move(connection);
}

bool OpenMainConnection(bool prompt, const QString& server, const QString& database) {
    return shown([&] {
        const QString base = QStringLiteral("Driver={SQL Server};Server=%1;Database=%2;")
                                 .arg(db::ConnectionString::quoteValue(server), db::ConnectionString::quoteValue(database));
        QString text = base + QStringLiteral("Trusted_Connection=Yes");
        if (prompt) {
            LogOnRequest request;
            request.server = server;
            request.database = database;
            askLogOn(request);
            text = loggedOnText(base, request);
        }
        setMainConnection(openConnection(text));
        return true;
    });
}

void ResetConnectionCache() {
    std::lock_guard lock(g_mutex);
    g_cache = {{QString(), QString()}};
}

QList<QPair<QString, QString>> connectionCacheEntries() {
    std::lock_guard lock(g_mutex);
    return g_cache;
}

db::ConnectionPtr OpenServerConnectionWithLogin(const QString& serverName) {
    db::ConnectionPtr result;
    shown([&] {
        const QString base = QStringLiteral("Driver={SQL Server};Server=%1;Persist Security Info=True;OLE DB Services=-4;")
                                 .arg(db::ConnectionString::quoteValue(serverName));
        LogOnRequest request;
        request.server = serverName;
        askLogOn(request);
        result = openConnection(loggedOnText(base, request));
        return true;
    });
    return result;
}

bool GetServerConnection(const QString& serverName, db::ConnectionPtr& connection, bool noCache) {
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
static QString registryTable(const QString& registryDatabase) {
    return registryDatabase.isEmpty() ? QStringLiteral("tbOrraConnections")
                                      : registryDatabase + QStringLiteral("..tbOrraConnections");
}

bool SaveServerConnection(const QString& server, const QString& ip, const QString& database,
                          const QString& userName, const QString& password, const QString& key,
                          const QString& registryDatabase) {
    if (key.isEmpty()) return false;
    try {
        const db::ConnectionPtr con = mainConnection();
        if (!con || !con->isOpen()) return false;
        const QString stored = ScramblePassword(password, key);
        const QString table = registryTable(registryDatabase);
        db::RecordsetPtr rs = con->execute(QStringLiteral("select count(*) x from %1 where Server=?").arg(table),
                                           {text(server)});
        if (!rs || !rs->isOpen() || rs->isEOF()) return false;
        if (rs->value(0).toLongLong() > 0) {
            con->execute(QStringLiteral("update %1 set [Database]=?, IP=?, UserName=?, UserPwd=? "
                                        "where Server=?").arg(table),
                         {text(database), text(ip), text(userName), text(stored), text(server)});
        } else {
            con->execute(QStringLiteral("insert into %1 (Server, IP, [Database], UserName, UserPwd) "
                                        "values (?, ?, ?, ?, ?)").arg(table),
                         {text(server), text(ip), text(database), text(userName), text(stored)});
        }
        return true;
    } catch (...) {
        return false;
    }
}

bool DeleteServerConnection(const QString& server, const QString& registryDatabase) {
    try {
        const db::ConnectionPtr con = mainConnection();
        if (!con || !con->isOpen()) return false;
        con->execute(QStringLiteral("delete from %1 where Server=?").arg(registryTable(registryDatabase)), {text(server)});
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace orra
