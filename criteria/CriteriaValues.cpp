#include "criteria/CriteriaValues.h"

#include "common/InitialValue.h"

#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"

#include <QDateTime>
#include <QLocale>

namespace orra::criteria {

namespace {

const QString kSource = QStringLiteral("rptCriteria");

db::Connection* requireConnection(db::Connection* connection)
{
    if (!connection || !connection->isOpen())
        throw Error(db::kConnectionUnusable, kSource,
            QStringLiteral("The connection cannot be used to perform this operation. "
                           "It is either closed or invalid in this context."));
    return connection;
}

// The recordset positioned on the first result set that is a row set.
db::RecordsetPtr runForRows(db::Connection* connection, const QString& sql)
{
    db::RecordsetPtr rs = requireConnection(connection)->execute(sql);
    while (rs && !rs->isOpen()) {
        if (!rs->NextRecordset()) break;
    }
    if (!rs || !rs->isOpen())
        throw Error(db::kObjectClosed, kSource, QStringLiteral("Operation is not allowed when the object is closed."));
    return rs;
}

QString fieldText(const db::Recordset& rs, int index)
{
    const QVariant& v = rs.value(index);
    if (db::isNull(v)) throw Error(kInvalidUseOfNull, kSource, QStringLiteral("Invalid use of Null"));
    return db::Recordset::valueText(v, rs.field(index).type);
}

}   // namespace

QString EvaluateInitialValue(db::Connection* connection, const QString& initialValue)
{
    return orra::EvaluateInitialValue(connection, initialValue, kSource);
}

QStringList FirstColumnTexts(db::Connection* connection, const QString& sql)
{
    db::RecordsetPtr rs = runForRows(connection, sql);
    QStringList out;
    if (rs->fieldCount() < 1) return out;
    for (; !rs->isEOF(); rs->MoveNext()) out << fieldText(*rs, 0);
    return out;
}

QDate noDate() { return QDate(1899, 12, 30); }

QString dateCellFormat()
{
    QString f = QLocale().dateFormat(QLocale::ShortFormat);
    if (!f.contains(QLatin1String("yyyy"))) f.replace(QLatin1String("yy"), QLatin1String("yyyy"));
    return f;
}

QString dateCellText(const QDate& date)
{
    return date.isValid() ? QLocale().toString(date, dateCellFormat()) : QString();
}

QString dateCellDisplay(const QString& value)
{
    if (value.trimmed().isEmpty()) return QString();
    const QDate d = parseDateCell(value);
    if (!d.isValid()) return value;
    return d <= noDate() ? QString() : dateCellText(d);
}

QDate parseDateCell(const QString& text)
{
    const QString t = text.trimmed();
    if (t.isEmpty()) return QDate();
    const QLocale loc;
    for (const QString& f : {dateCellFormat(), loc.dateFormat(QLocale::ShortFormat),
             loc.dateFormat(QLocale::LongFormat), QStringLiteral("yyyyMMdd"), QStringLiteral("yyyy-MM-dd")}) {
        const QDate d = loc.toDate(t, f);
        if (d.isValid()) return d;
    }
    // A date with its time, as a "select getdate()" initial value gives it.
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) dt = QDateTime::fromString(t, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    if (!dt.isValid()) dt = loc.toDateTime(t, QLocale::ShortFormat);
    if (!dt.isValid()) {
        // The short date followed by a time of any form.
        const int space = t.indexOf(QLatin1Char(' '));
        if (space > 0) return parseDateCell(t.left(space));
    }
    return dt.isValid() ? dt.date() : QDate();
}

QString collectedDateValue(const QString& cellText)
{
    if (cellText.isEmpty()) return QString();
    const QDate d = parseDateCell(cellText);
    return d.isValid() ? d.toString(QStringLiteral("yyyyMMdd")) : cellText;
}

PickerSpec parsePickerSpec(const QString& optionalParam)
{
    QStringList parts = optionalParam.split(QLatin1Char(';'));
    if (parts.size() < 4) throw Error(kSubscriptOutOfRange, kSource, QStringLiteral("Subscript out of range"));
    PickerSpec spec;
    const int n = parts.size();
    spec.multi = parts[n - 1].toLower() == QLatin1String("multi");
    spec.caption = parts[n - 2];
    spec.returnField = parts[n - 3];
    parts.resize(n - 3);
    spec.sql = parts.join(QLatin1Char(';'));
    return spec;
}

}   // namespace orra::criteria
