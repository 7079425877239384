#include "catalogue/CatalogueGuards.h"

#include "common/IncludeExpansion.h"
#include "common/Permissions.h"
#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/db/embedded/Extensions.h"
#include "platform/host/UserInterface.h"

namespace orra::catalogue {

namespace {

using embedded::RowWrite;
using embedded::RowWriteSession;
using Action = RowWrite::Action;

long number(const QVariant& v) { return v.isNull() ? 0 : long(v.toLongLong()); }

// The rights are decided without a person: a failure of the decision (a row whose checksum
// is wrong) comes back as an error, which fails the write with its text.
UserInterface& noPerson()
{
    static HeadlessUserInterface ui;
    return ui;
}

bool docRight(RowWriteSession& s, long id, long right)
{
    return HasDocPermission(&s.connection(), id, 0, right, &noPerson());
}

bool categoryRight(RowWriteSession& s, long id, long right)
{
    return HasCategoryPermission(&s.connection(), id, 0, right, &noPerson());
}

// The first column of the first row of sql (one bound number); invalid when there is none.
QVariant scalar(RowWriteSession& s, const QString& sql, long id)
{
    db::RecordsetPtr rs = s.connection().execute(sql, {qlonglong(id)});
    if (!rs || !rs->isOpen() || rs->isEOF()) return QVariant();
    return rs->value(0);
}

bool documentExists(RowWriteSession& s, long id)
{
    return scalar(s, QStringLiteral("select 1 from tbOrraSQL where ID=?"), id).isValid();
}

bool categoryExists(RowWriteSession& s, long id)
{
    return scalar(s, QStringLiteral("select 1 from tbOrraCategory where ID=?"), id).isValid();
}

// The creator of a document or category, whose Owner nobody but the database's owners can
// write here, may do anything to it.
bool ownsObject(const char* table, RowWriteSession& s, long id)
{
    return scalar(s, QStringLiteral("select Owner from %1 where ID=?").arg(QLatin1String(table)), id).toByteArray()
        == s.loginSid();
}

void require(RowWriteSession& s, bool allowed)
{
    if (!allowed) s.deny();
}

// The columns that only the server's owners change, and the login as the owner of a new row.
void checkIdentity(const RowWrite& row, RowWriteSession& s)
{
    if (row.action == Action::Insert) require(s, row.newValue(QStringLiteral("Owner")).toByteArray() == s.loginSid());
    if (row.action == Action::Update)
        require(s, !row.changes(QStringLiteral("ID")) && !row.changes(QStringLiteral("Owner")));
}

// The rights the designer asks for each change of a document or category row.
struct ObjectRules {
    const char* table;
    const char* parentColumn;   // CategoryID / ParentID
    QStringList textColumns;
    long addRight;   // asked of the parent category
    long deleteRight;
    bool topLevelAllowed;   // a new row may have parent 0 (a top category)
    bool (*right)(RowWriteSession&, long, long);
};

QString changedKey(const ObjectRules& t, long id)
{
    return QStringLiteral("row:%1:%2").arg(QLatin1String(t.table)).arg(id);
}

// A document's text runs the text of every document it includes for whoever runs it: an
// include is added only by a writer who holds the Include right on that document, as the
// designer's drop asks. Includes the text had before are the earlier authors' and stay; a new
// document (also a copy) adds every include it holds.
void checkIncludes(const RowWrite& row, RowWriteSession& s)
{
    const QString column = QStringLiteral("SQLtxt");
    if (row.action == Action::Delete || (row.action == Action::Update && !row.changes(column))) return;
    const QString text = row.newValue(column).toString();
    QSet<long> added = IncludedDocumentIDs(text);
    if (row.action == Action::Update) added.subtract(IncludedDocumentIDs(row.oldValue(column).toString()));
    for (long included : std::as_const(added)) require(s, docRight(s, included, rightInclude));
}

void guardObject(const ObjectRules& t, const RowWrite& row, RowWriteSession& s)
{
    checkIdentity(row, s);
    const QString parentColumn = QLatin1String(t.parentColumn);
    const auto mayAddTo = [&](long parent) {
        return parent == 0 ? t.topLevelAllowed : categoryRight(s, parent, t.addRight);
    };
    if (row.action == Action::Insert) {
        require(s, mayAddTo(number(row.newValue(parentColumn))));
        s.transactionMemory().insert(changedKey(t, number(row.newValue(QStringLiteral("ID")))), true);
        return;
    }
    const long id = number(row.oldValue(QStringLiteral("ID")));
    if (row.action == Action::Delete) {
        require(s, t.right(s, id, t.deleteRight));
        return;
    }
    bool text = false;
    for (const QString& c : t.textColumns) text = text || row.changes(c);
    const bool moved = row.changes(parentColumn);
    if (text) require(s, t.right(s, id, rightChange));
    if (moved) {
        require(s, t.right(s, id, rightMove));
        const long parent = number(row.newValue(parentColumn));
        require(s, parent != 0 && mayAddTo(parent));
    }
    if (text || moved) {
        s.transactionMemory().insert(changedKey(t, id), true);
    } else if (row.changes(QStringLiteral("CheckSum"))) {
        // The checksum stamped on a row: after a change this transaction made to it (the row
        // does not match its old checksum then), by its owner, or with a right to change it.
        require(s,
            s.transactionMemory().contains(changedKey(t, id)) || ownsObject(t.table, s, id)
                || t.right(s, id, rightChange) || t.right(s, id, rightMove));
    }
}

const ObjectRules kDocuments{"tbOrraSQL", "CategoryID",
    {QStringLiteral("Name"), QStringLiteral("Description"), QStringLiteral("Type"), QStringLiteral("Disabled"),
        QStringLiteral("SQLtxt")},
    rightAddNewDocument, rightDelete, false, docRight};
const ObjectRules kCategories{"tbOrraCategory", "ParentID",
    {QStringLiteral("Name"), QStringLiteral("Type"), QStringLiteral("Disabled")}, rightAddNewCategory,
    rightDeleteCategory, true, categoryRight};

void guardDocument(const RowWrite& row, RowWriteSession& s)
{
    guardObject(kDocuments, row, s);
    checkIncludes(row, s);
}

// One row per include of the including document's stored text (ObjID includes RelObjID),
// written by the designer's save after the text and removed with the text's includes or the
// document: Dependencies and the refusal to delete an included document rely on them.
void guardRelation(const RowWrite& row, RowWriteSession& s)
{
    const QString column = QStringLiteral("ObjID");
    const long includer = number(row.action == Action::Insert ? row.newValue(column) : row.oldValue(column));
    if (row.action == Action::Update) s.deny();   // rewritten, never changed
    if (row.action == Action::Delete) {
        if (!documentExists(s, includer)) return;   // left behind by a deleted document
        require(s, docRight(s, includer, rightChange) || docRight(s, includer, rightDelete));
        return;
    }
    require(s, docRight(s, includer, rightChange));
    const QVariant text = scalar(s, QStringLiteral("select SQLtxt from tbOrraSQL where ID=?"), includer);
    require(s, IncludedDocumentIDs(text.toString()).contains(number(row.newValue(QStringLiteral("RelObjID")))));
}

// The two permission tables differ in their object's table and ID column.
struct PermissionTable {
    const char* idColumn;
    const char* objectTable;
    bool documents;
};

void guardPermissions(const PermissionTable& t, const RowWrite& row, RowWriteSession& s)
{
    const QString idColumn = QLatin1String(t.idColumn);
    auto mayManage = [&](long object) {
        return t.documents ? docRight(s, object, rightSecondaryOwner) : categoryRight(s, object, rightSecondaryOwner);
    };
    auto exists = [&](long object) { return t.documents ? documentExists(s, object) : categoryExists(s, object); };
    auto key = [&](const QVariant& object, const QVariant& uid) {
        return QStringLiteral("%1:%2:%3").arg(QLatin1String(t.objectTable)).arg(number(object)).arg(number(uid));
    };
    // The Secondary Owner bits of a row, Allow and Deny.
    auto ownerBits = [](const QVariant& allow, const QVariant& deny) {
        return QVariantList{
            qlonglong(number(allow) & rightSecondaryOwner), qlonglong(number(deny) & rightSecondaryOwner)};
    };

    if (row.action == Action::Delete) {
        const long object = number(row.oldValue(idColumn));
        if (!exists(object)) return;   // what a deleted document or category left behind
        require(s, mayManage(object));
        s.transactionMemory().insert(key(row.oldValue(idColumn), row.oldValue(QStringLiteral("UserId"))),
            ownerBits(row.oldValue(QStringLiteral("Allow")), row.oldValue(QStringLiteral("Deny"))));
        return;
    }
    const long object = number(row.newValue(idColumn));
    const QVariantList bits = ownerBits(row.newValue(QStringLiteral("Allow")), row.newValue(QStringLiteral("Deny")));
    const QVariantList none{qlonglong(0), qlonglong(0)};
    QVariantList before = none;
    if (row.action == Action::Update) {
        const long old = number(row.oldValue(idColumn));
        require(s, mayManage(old));
        before = ownerBits(row.oldValue(QStringLiteral("Allow")), row.oldValue(QStringLiteral("Deny")));
        if (old != object) before = none;
        require(s, old == object || mayManage(object));
    } else {
        const QString written = key(row.newValue(idColumn), row.newValue(QStringLiteral("UserId")));
        const QVariantHash& memory = s.transactionMemory();
        if (memory.contains(written))
            before = memory.value(written).toList();   // its delete in this transaction was allowed
        else
            require(s, mayManage(object));
    }
    if (bits != before) require(s, ownsObject(t.objectTable, s, object));
}

// The document a call schema belongs to; 0 when the schema is gone.
long schemaDocument(RowWriteSession& s, const QVariant& schemaId)
{
    return number(scalar(s, QStringLiteral("select DocID from tbOrraCallSchema where ID=?"), number(schemaId)));
}

void guardSchemaOf(long oldDoc, long newDoc, const RowWrite& row, RowWriteSession& s)
{
    if (row.action == Action::Delete) {
        if (oldDoc == 0 || !documentExists(s, oldDoc)) return;   // left behind by a deleted document
        require(s, docRight(s, oldDoc, rightChange) || docRight(s, oldDoc, rightDelete));
        return;
    }
    if (row.action == Action::Update) require(s, oldDoc != 0 && docRight(s, oldDoc, rightChange));
    require(s, newDoc != 0 && (newDoc == oldDoc || docRight(s, newDoc, rightChange)));
}

void guardCallSchema(const RowWrite& row, RowWriteSession& s)
{
    guardSchemaOf(number(row.oldValue(QStringLiteral("DocID"))), number(row.newValue(QStringLiteral("DocID"))), row, s);
}

void guardCallSchemaDetail(const RowWrite& row, RowWriteSession& s)
{
    const long oldDoc = row.action == Action::Insert ? 0 : schemaDocument(s, row.oldValue(QStringLiteral("ParentID")));
    const long newDoc = row.action == Action::Delete ? 0 : schemaDocument(s, row.newValue(QStringLiteral("ParentID")));
    guardSchemaOf(oldDoc, newDoc, row, s);
}

void guardLock(const RowWrite& row, RowWriteSession& s)
{
    if (row.procedure.compare(QLatin1String("sp_UserLock"), Qt::CaseInsensitive) == 0) return;
    // A lock row names its session by process number and log-in time.
    auto mine = [&](bool after) {
        const QVariant spid = after ? row.newValue(QStringLiteral("SPID")) : row.oldValue(QStringLiteral("SPID"));
        const QVariant time =
            after ? row.newValue(QStringLiteral("LoginTime")) : row.oldValue(QStringLiteral("LoginTime"));
        return number(spid) == s.spid() && time.toString() == s.loginTime();
    };
    if (row.action != Action::Insert) require(s, mine(false));
    if (row.action != Action::Delete) require(s, mine(true));
}

}   // namespace

void registerCatalogueGuards()
{
    using embedded::registerRowWriteGuard;
    registerRowWriteGuard(QStringLiteral("tbOrraSQL"), guardDocument);
    registerRowWriteGuard(QStringLiteral("tbOrraRelations"), guardRelation);
    registerRowWriteGuard(QStringLiteral("tbOrraCategory"),
        [](const RowWrite& row, RowWriteSession& s) { guardObject(kCategories, row, s); });
    registerRowWriteGuard(QStringLiteral("tbOrraDocPermissions"), [](const RowWrite& row, RowWriteSession& s) {
        guardPermissions({"OrraID", "tbOrraSQL", true}, row, s);
    });
    registerRowWriteGuard(QStringLiteral("tbOrraCategoryPermissions"), [](const RowWrite& row, RowWriteSession& s) {
        guardPermissions({"CategoryID", "tbOrraCategory", false}, row, s);
    });
    registerRowWriteGuard(QStringLiteral("tbOrraCallSchema"), guardCallSchema);
    registerRowWriteGuard(QStringLiteral("tbOrraCallSchemaDetail"), guardCallSchemaDetail);
    registerRowWriteGuard(QStringLiteral("tbOrraLocks"), guardLock);
}

}   // namespace orra::catalogue
