#include "platform/db/embedded/Extensions.h"

#include "platform/db/embedded/ServerInternal.h"

#include <QHash>
#include <QReadWriteLock>

namespace orra::embedded {

namespace {

// Procedure and table names compare as SQLite compares table names.
QString procedureKey(const QString& name) { return name.trimmed().toLower(); }

struct Registry {
    QReadWriteLock lock;
    QHash<QString, ProcedureHandler> procedures;
    QHash<QString, QString> schemas;
    QHash<QString, RowWriteGuard> guards;   // by folded table name
    QHash<QString, QString> guardNames;     // folded -> as registered
};

Registry& registry()
{
    static Registry r;
    return r;
}

// Text compared as the server compares it: without trailing blanks.
QString withoutTrailingBlanks(QString s)
{
    while (s.endsWith(u' ')) s.chop(1);
    return s;
}

bool isNumber(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Double:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

bool sameValue(const QVariant& a, const QVariant& b)
{
    if (a.isNull() || b.isNull()) return a.isNull() == b.isNull();
    if (a.typeId() == QMetaType::QByteArray || b.typeId() == QMetaType::QByteArray)
        return a.toByteArray() == b.toByteArray();
    if (isNumber(a) && isNumber(b)) return a.toDouble() == b.toDouble();
    return withoutTrailingBlanks(a.toString()) == withoutTrailingBlanks(b.toString());
}

QVariant valueOf(const QStringList& columns, const QList<QVariant>& row, const QString& column)
{
    const qsizetype i = columns.indexOf(column, Qt::CaseInsensitive);
    return i >= 0 && i < row.size() ? row.at(i) : QVariant();
}

}   // namespace

QVariant RowWrite::oldValue(const QString& column) const { return valueOf(columns, before, column); }

QVariant RowWrite::newValue(const QString& column) const { return valueOf(columns, after, column); }

bool RowWrite::changes(const QString& column) const
{
    return action == Action::Update && !sameValue(oldValue(column), newValue(column));
}

QString RowWrite::verb() const
{
    switch (action) {
    case Action::Insert:
        return QStringLiteral("INSERT");
    case Action::Update:
        return QStringLiteral("UPDATE");
    case Action::Delete:
        break;
    }
    return QStringLiteral("DELETE");
}

void registerRowWriteGuard(const QString& table, RowWriteGuard guard)
{
    const QString key = procedureKey(table);
    if (key.isEmpty() || !guard) detail::fail(QStringLiteral("'%1' cannot be given a row guard.").arg(table));
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.guards.insert(key, std::move(guard));
    r.guardNames.insert(key, table.trimmed());
}

void unregisterRowWriteGuard(const QString& table)
{
    Registry& r = registry();
    const QWriteLocker locker(&r.lock);
    r.guards.remove(procedureKey(table));
    r.guardNames.remove(procedureKey(table));
}

RowWriteGuard findRowWriteGuard(const QString& table)
{
    Registry& r = registry();
    const QReadLocker locker(&r.lock);
    return r.guards.value(procedureKey(table));
}

QStringList rowWriteGuardTables()
{
    Registry& r = registry();
    const QReadLocker locker(&r.lock);
    return r.guardNames.values();
}

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
