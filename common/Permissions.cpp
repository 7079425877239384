#include "common/Permissions.h"

#include "common/Crc32.h"
#include "common/RecordsetOpener.h"
#include "platform/db/Recordset.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <QSet>

#include <optional>

namespace orra {

namespace {

const QString kCrLf = QStringLiteral("\r\n");
const QString kSource = QStringLiteral("Tavrel");

// The texts that differ between the document side and the category side.
struct ObjectTexts {
    const char* objectTable;       // tbOrraSQL / tbOrraCategory
    const char* permissionTable;   // tbOrraDocPermissions / tbOrraCategoryPermissions
    const char* idColumn;          // OrraID / CategoryID
    const char* nameLabel;         // DocName / CategoryName
};

const ObjectTexts kDocTexts{"tbOrraSQL", "tbOrraDocPermissions", "OrraID", "DocName"};
const ObjectTexts kCategoryTexts{"tbOrraCategory", "tbOrraCategoryPermissions", "CategoryID", "CategoryName"};

QString num(long n) { return QString::number(n); }

// True when the recordset rs stands on a row.
bool hasRow(const db::RecordsetPtr& rs) { return rs && rs->isOpen() && !rs->isEOF(); }

// Moves past the results of a batch that returned no rows (row counts of its statements) to
// the first row set; false when there is none.
bool toFirstRowSet(const db::RecordsetPtr& rs)
{
    if (!rs) return false;
    while (!rs->isOpen())
        if (!rs->NextRecordset()) return false;
    return true;
}

// The first column of the first row of sql; an invalid QVariant when there is no row.
QVariant firstValue(db::Connection* connection, const QString& sql)
{
    db::RecordsetPtr rs = connection->execute(sql);
    if (!toFirstRowSet(rs) || !hasRow(rs) || rs->fieldCount() == 0) return QVariant();
    return rs->value(0);
}

QString trimmedText(const QVariant& v) { return db::isNull(v) ? QString() : v.toString().trimmed(); }

long numberOrZero(const QVariant& v) { return db::isNull(v) ? 0 : long(v.toLongLong()); }

// The current row's value of the column named exactly name (letter case counts, as the
// checksum rule tells CheckSum from any other column); invalid when there is none.
QVariant exactColumn(const db::Recordset& rs, const char* name)
{
    for (int i = 0; i < rs.fieldCount(); ++i)
        if (rs.field(i).name == QLatin1String(name)) return rs.value(i);
    return QVariant();
}

int permissionOfUser(db::Connection* connection, const ObjectTexts& t, long objectID, long uid, long rights)
{
    // The owner may do anything.
    const QString ownerSql = QStringLiteral("if exists(select 1 from %1 x (nolock) ").arg(QLatin1String(t.objectTable))
        + kCrLf + QStringLiteral("inner join sysusers s (nolock) on x.Owner=s.sid ") + kCrLf
        + QStringLiteral("where uid=") + num(uid) + QStringLiteral(" and x.ID=") + num(objectID)
        + QStringLiteral(") select 1 else select 0 ");
    if (numberOrZero(firstValue(connection, ownerSql)) == 1) return permissionAllowed;

    // The principal's own row.
    bool failed = false;
    db::RecordsetPtr rs = OpenRecordset(connection,
        QStringLiteral("select * from %1 (nolock) where %2=")
                .arg(QLatin1String(t.permissionTable), QLatin1String(t.idColumn))
            + num(objectID) + QStringLiteral(" and UserID=") + num(uid),
        failed);
    if (failed) return permissionDenied;
    if (!hasRow(rs)) return permissionNotSet;

    const long stored = numberOrZero(exactColumn(*rs, "CheckSum"));
    const long allow = numberOrZero(exactColumn(*rs, "Allow"));
    const long deny = numberOrZero(exactColumn(*rs, "Deny"));
    if (RowCheckSum(*rs) != int32_t(stored)) {
        const QString userName =
            trimmedText(firstValue(connection, QStringLiteral("select User_Name(") + num(uid) + QStringLiteral(")")));
        const QString objectName = trimmedText(firstValue(connection,
            QStringLiteral("select Name from %1 (nolock) where ID=").arg(QLatin1String(t.objectTable))
                + num(objectID)));
        throw Error(kSystemError, kSource,
            QStringLiteral("CheckSum Value is wrong for %1 %2: '")
                    .arg(QLatin1String(t.permissionTable), QLatin1String(t.nameLabel))
                + objectName + QStringLiteral("' UserName: '") + userName + QStringLiteral("'"));
    }
    if (deny & rights) return permissionDenied;
    if (allow & rights) return permissionAllowed;
    return permissionNotSet;
}

// The principal's own standing, then its roles': 0 denied, 1 allowed, 2 nothing decided.
int decisionWithRoles(db::Connection* connection, const ObjectTexts& t, long objectID, long uid, long rights)
{
    const int own = permissionOfUser(connection, t, objectID, uid, rights);
    if (own != permissionNotSet) return own;

    bool failed = false;
    db::RecordsetPtr roles = OpenRecordset(connection,
        QStringLiteral("select distinct s.UserID from %1 s (nolock)").arg(QLatin1String(t.permissionTable)) + kCrLf
            + QStringLiteral("inner join sysmembers m (nolock) on s.UserId=m.groupuid") + kCrLf
            + QStringLiteral("where m.memberuid=") + num(uid)
            + QStringLiteral(" and s.%1=").arg(QLatin1String(t.idColumn)) + num(objectID),
        failed);
    if (failed) return permissionDenied;
    if (!roles || !roles->isOpen()) return permissionNotSet;

    // Read every role id first: the checks below run statements on the same connection.
    QList<long> roleIds;
    for (; !roles->isEOF(); roles->MoveNext()) roleIds.append(numberOrZero(roles->value(0)));
    bool allowed = false;
    for (long role : roleIds) {
        const int d = permissionOfUser(connection, t, objectID, role, rights);
        if (d == permissionDenied) return permissionDenied;   // any role's denial wins
        if (d == permissionAllowed) allowed = true;
    }
    return allowed ? permissionAllowed : permissionNotSet;
}

// The category's row, checked against its checksum as permission rows are: its Owner and
// ParentID decide rights. Gives its ParentID (0 for a top category); nothing when there is no
// such row (nothing of it can then decide).
std::optional<long> verifiedCategoryParent(db::Connection* connection, long categoryID)
{
    db::RecordsetPtr rs =
        connection->execute(QStringLiteral("select * from tbOrraCategory (nolock) where ID=") + num(categoryID));
    if (!hasRow(rs)) return std::nullopt;
    if (RowCheckSum(*rs) != int32_t(numberOrZero(exactColumn(*rs, "CheckSum"))))
        throw Error(kSystemError, kSource,
            QStringLiteral("CheckSum Value is wrong for tbOrraCategory CategoryName: '")
                + trimmedText(exactColumn(*rs, "Name")) + QStringLiteral("'"));
    return numberOrZero(exactColumn(*rs, "ParentID"));
}

bool categoryChainAllows(db::Connection* connection, long categoryID, long uid, long rights)
{
    QSet<long> seen;
    long category = categoryID;
    for (;;) {
        if (seen.contains(category)) return false;   // a loop in the parent chain decides nothing
        seen.insert(category);
        const std::optional<long> parent = verifiedCategoryParent(connection, category);
        const int d = decisionWithRoles(connection, kCategoryTexts, category, uid, rights);
        if (d == permissionDenied) return false;
        if (d == permissionAllowed) return true;
        if (!parent) throw Error(kSystemError, kSource, QStringLiteral("Category %1 does not exist").arg(category));
        if (*parent == 0) return false;
        category = *parent;
    }
}

long resolveUid(db::Connection* connection, long uid) { return uid != 0 ? uid : CurrentUserUid(connection); }

bool docAllows(db::Connection* connection, long docID, long uid, long rights)
{
    uid = resolveUid(connection, uid);
    const int d = decisionWithRoles(connection, kDocTexts, docID, uid, rights);
    if (d == permissionDenied) return false;
    if (d == permissionAllowed) return true;

    db::RecordsetPtr rs =
        connection->execute(QStringLiteral("select CategoryID from tbOrraSQL (nolock) where ID=") + num(docID));
    if (!hasRow(rs)) throw Error(kSystemError, kSource, QStringLiteral("Document %1 does not exist").arg(docID));
    const QVariant category = rs->value(0);
    if (db::isNull(category)) return false;
    return categoryChainAllows(connection, long(category.toLongLong()), uid, rights);
}

// Runs a decision with every failure reported through the host and read as a denial.
template <typename F> bool reported(db::Connection* connection, UserInterface* ui, F&& decide)
{
    if (!connection || !connection->isOpen()) return false;
    UserInterface& host = userInterfaceOr(ui);
    try {
        return decide();
    } catch (const Error& e) {
        host.reportError(e.number(), e.source(), e.description());
    } catch (const std::exception& e) {
        host.reportError(kSystemError, kSource, QString::fromLocal8Bit(e.what()));
    }
    return false;
}

}   // namespace

long CurrentUserUid(db::Connection* connection)
{
    if (!connection || !connection->isOpen())
        throw Error(kSystemError, kSource, QStringLiteral("The catalogue connection is not open"));
    const QVariant v =
        firstValue(connection, QStringLiteral("select uid from sysusers (nolock) where sid=suser_sid()"));
    if (db::isNull(v))
        throw Error(kSystemError, kSource, QStringLiteral("The current login has no user in the catalogue database"));
    return long(v.toLongLong());
}

int DocPermissionOfUser(db::Connection* connection, long docID, long uid, long rights)
{
    if (!connection || !connection->isOpen()) return permissionDenied;
    return permissionOfUser(connection, kDocTexts, docID, uid, rights);
}

int CategoryPermissionOfUser(db::Connection* connection, long categoryID, long uid, long rights)
{
    if (!connection || !connection->isOpen()) return permissionDenied;
    verifiedCategoryParent(connection, categoryID);
    return permissionOfUser(connection, kCategoryTexts, categoryID, uid, rights);
}

bool HasDocPermission(db::Connection* connection, long docID, long uid, long rights, UserInterface* ui)
{
    return reported(connection, ui, [&] { return docAllows(connection, docID, uid, rights); });
}

bool HasCategoryPermission(db::Connection* connection, long categoryID, long uid, long rights, UserInterface* ui)
{
    return reported(connection, ui,
        [&] { return categoryChainAllows(connection, categoryID, resolveUid(connection, uid), rights); });
}

}   // namespace orra
