#include "common/CatalogueChecksums.h"

#include "common/Crc32.h"
#include "common/RecordsetOpener.h"
#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

namespace orra {

namespace {

bool updateRowCheckSum(db::Connection& catalogue, const QString& table, long id)
{
    bool failed = false;
    db::RecordsetPtr rs = OpenRecordset(&catalogue, QStringLiteral("select * from %1 where ID=%2").arg(table).arg(id),
        failed, adUseClient, adLockReadOnly, adOpenStatic);
    if (failed || !rs || !rs->isOpen() || rs->isEOF()) return false;
    try {
        const int32_t sum = RowCheckSum(*rs);
        catalogue.execute(QStringLiteral("update %1 set CheckSum=%2 where ID=%3").arg(table).arg(sum).arg(id));
        return true;
    } catch (const Error& e) {
        userInterface().reportError(e.number(), e.source(), e.description());
        return false;
    }
}

}   // namespace

bool UpdateDocumentCheckSum(db::Connection& catalogue, const QString& catalogueDatabase, long id)
{
    return updateRowCheckSum(catalogue, catalogueDatabase + QStringLiteral("..tbOrraSQL"), id);
}

bool UpdateCategoryCheckSum(db::Connection& catalogue, const QString& catalogueDatabase, long id)
{
    return updateRowCheckSum(catalogue, catalogueDatabase + QStringLiteral("..tbOrraCategory"), id);
}

}   // namespace orra
