#include "platform/db/embedded/EmbeddedBackend.h"
#include "platform/db/embedded/Server.h"
#include "platform/db/embedded/SqliteHandles.h"
#include "platform/db/embedded/TsqlTranslator.h"

#include <QDir>

#include <algorithm>

// DB_ID and DB_NAME: the server's databases are numbered in master's sysdatabases, each number
// kept for its name. master is 1; the others take the next numbers in the order the server
// first sees them (those there at the first call by name), and a number is never given again.

namespace orra::embedded {

namespace {

// The numbers of the databases the server folder holds, by folded name; new ones numbered.
QHash<QString, std::pair<qlonglong, QString>> numberedDatabases(sqlite3* master, const QString& folder)
{
    sqlite3_exec(master,
        "create table if not exists sysdatabases (dbid integer primary key, name varchar(128) not null)", nullptr,
        nullptr, nullptr);
    QHash<QString, std::pair<qlonglong, QString>> known;
    const auto read = [&] {
        known.clear();
        const PreparedStatement st(master, "select dbid, name from sysdatabases");
        while (sqlite3_step(st) == SQLITE_ROW) {
            const QString name = columnText(st, 1);
            known.insert(foldName(name), {sqlite3_column_int64(st, 0), name});
        }
    };
    read();
    QStringList present;
    for (const QString& file : QDir(folder).entryList({QStringLiteral("*.db")}, QDir::Files)) present << file.chopped(3);
    std::sort(present.begin(), present.end(), [](const QString& a, const QString& b) {
        static const QString master = foldName(QStringLiteral("master"));
        const bool am = foldName(a) == master, bm = foldName(b) == master;
        return am != bm ? am : foldName(a) < foldName(b);
    });
    QStringList unnumbered;
    for (const QString& name : present)
        if (!known.contains(foldName(name))) unnumbered << name;
    if (unnumbered.isEmpty()) return known;
    {
        WriteTransaction transaction(master);
        const PreparedStatement insert(master, "insert into sysdatabases (name) values (?)");
        for (const QString& name : unnumbered) {
            const QByteArray u = name.toUtf8();
            // another session may have numbered it meanwhile
            const PreparedStatement seen(master, "select 1 from sysdatabases where name = ? collate nocase");
            sqlite3_bind_text(seen, 1, u.constData(), int(u.size()), SQLITE_TRANSIENT);
            if (sqlite3_step(seen) == SQLITE_ROW) continue;
            sqlite3_bind_text(insert, 1, u.constData(), int(u.size()), SQLITE_TRANSIENT);
            sqlite3_step(insert);
            sqlite3_reset(insert);
        }
        transaction.commit();
    }
    read();
    return known;
}

}   // namespace

QVariant EmbeddedBackend::databaseId(const QString& name)
{
    const auto numbered = numberedDatabases(m_master, serverFolder(m_server));
    const auto it = numbered.constFind(foldName(name));
    if (it == numbered.constEnd() || !databaseExists(m_server, name)) return {};
    return it->first;
}

QVariant EmbeddedBackend::databaseName(qlonglong id)
{
    const auto numbered = numberedDatabases(m_master, serverFolder(m_server));
    for (const auto& [number, name] : numbered)
        if (number == id && databaseExists(m_server, name)) return name;
    return {};
}

}   // namespace orra::embedded
