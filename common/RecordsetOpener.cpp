#include "common/RecordsetOpener.h"

#include "platform/host/Error.h"

namespace orra {

db::RecordsetPtr OpenRecordset(db::Connection* connection, const QString& sqlText, bool& failed, int, int, int)
{
    failed = true;
    if (!connection || !connection->isOpen()) return nullptr;
    try {
        db::RecordsetPtr rs = connection->execute(sqlText);
        failed = false;
        return rs;
    } catch (const Error&) {
        return nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

}   // namespace orra
