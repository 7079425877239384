#include "platform/db/embedded/Extensions.h"

#include "platform/db/embedded/ServerInternal.h"

#include <QHash>
#include <QReadWriteLock>

namespace orra::embedded {

namespace {

// Procedure names compare as SQLite compares table names.
QString procedureKey(const QString& name) { return name.trimmed().toLower(); }

struct Registry {
    QReadWriteLock lock;
    QHash<QString, ProcedureHandler> procedures;
    QHash<QString, QString> schemas;
};

Registry& registry()
{
    static Registry r;
    return r;
}

}   // namespace

void registerProcedure(const QString& name, ProcedureHandler handler)
{
    const QString key = procedureKey(name);
    if (key.isEmpty() || key == u"sp_addrolemember" || !handler)
        detail::fail(QStringLiteral("'%1' cannot be registered as a stored procedure.").arg(name));
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.procedures.insert(key, std::move(handler));
}

void unregisterProcedure(const QString& name)
{
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.procedures.remove(procedureKey(name));
}

ProcedureHandler findProcedure(const QString& name)
{
    Registry& r = registry();
    const QReadLocker locker(&r.lock);
    return r.procedures.value(procedureKey(name));
}

void registerDatabaseSchema(const QString& name, const QString& sqliteText)
{
    if (name.trimmed().isEmpty()) detail::fail(QStringLiteral("A database schema needs a name."));
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.schemas.insert(name.trimmed(), sqliteText);
}

void unregisterDatabaseSchema(const QString& name)
{
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.schemas.remove(name.trimmed());
}

QString databaseSchema(const QString& name)
{
    Registry& r = registry();
    const QReadLocker locker(&r.lock);
    const auto it = r.schemas.constFind(name.trimmed());
    if (it == r.schemas.constEnd())
        detail::fail(QStringLiteral("No database schema named '%1' is registered with the server.").arg(name));
    return it.value();
}

}   // namespace orra::embedded
