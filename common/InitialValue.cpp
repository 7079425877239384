#include "common/InitialValue.h"

#include "platform/db/Recordset.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

namespace orra {

QString EvaluateInitialValue(db::Connection* connection, const QString& initialValue, const QString& source)
{
    QString sql;
    if (initialValue.size() > 6 && initialValue.left(6).toLower() == QLatin1String("select"))
        sql = initialValue;
    else if (initialValue.size() > 4 && initialValue.left(4).toLower() == QLatin1String("sql:"))
        sql = QStringLiteral("set nocount on ") + initialValue.mid(4) + QStringLiteral(" set nocount off ");
    else
        return initialValue;

    if (!connection || !connection->isOpen())
        throw Error(db::kConnectionUnusable, source,
            QStringLiteral("The connection cannot be used to perform this operation. "
                           "It is either closed or invalid in this context."));
    db::RecordsetPtr rs = connection->execute(sql);
    // The first result set that has rows is the answer ("set nocount" statements have none).
    while (rs && !rs->isOpen() && rs->NextRecordset()) {
    }
    if (!rs || !rs->isOpen() || rs->fieldCount() < 1 || rs->isBOF() || rs->isEOF())
        throw Error(db::kNoCurrentRecord, source,
            QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                           "Requested operation requires a current record."));
    const QVariant& v = rs->value(0);
    if (db::isNull(v)) throw Error(kInvalidUseOfNull, source, QStringLiteral("Invalid use of Null"));
    return db::Recordset::valueText(v, rs->field(0).type);
}

}   // namespace orra
