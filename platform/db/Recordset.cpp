#include "platform/db/Recordset.h"

#include "platform/db/Decimal.h"
#include "platform/host/Error.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <QUuid>
#include <charconv>
#include <cmath>

namespace orra::db {

namespace {

const QString kSource = QStringLiteral("Recordset");

[[noreturn]] void raiseNoCurrentRecord()
{
    throw Error(kNoCurrentRecord, kSource,
        QStringLiteral("Either BOF or EOF is True, or the current record has been deleted. "
                       "Requested operation requires a current record."));
}

[[noreturn]] void raiseNotFound()
{
    throw Error(kItemNotFound, kSource,
        QStringLiteral("Item cannot be found in the collection corresponding to the "
                       "requested name or ordinal."));
}

[[noreturn]] void raiseClosed()
{
    throw Error(kObjectClosed, kSource, QStringLiteral("Operation is not allowed when the object is closed."));
}

// printf's %G with the given precision, but independent of the C locale.
QString formatGeneral(double d, int precision)
{
    if (d == 0) return QStringLiteral("0");
    if (std::isnan(d)) return QStringLiteral("NaN");
    if (std::isinf(d)) return d > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity");
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
    QString s = QString::fromLatin1(buf, int(r.ptr - buf));
    const qsizetype e = s.indexOf(u'e');
    if (e >= 0) s[e] = u'E';
    return s;
}

}   // namespace

int ResultSet::columnIndex(const QString& name) const
{
    for (size_t c = 0; c < fields.size(); ++c)
        if (fields[c].name.compare(name, Qt::CaseInsensitive) == 0) return int(c);
    return -1;
}

Recordset::Recordset(std::vector<ResultSet> sets) : m_sets(std::move(sets)) {}

const ResultSet* Recordset::current() const
{
    if (m_closed || m_set >= m_sets.size()) return nullptr;
    return &m_sets[m_set];
}

int Recordset::state() const
{
    const ResultSet* rs = current();
    return rs && rs->hasRows ? 1 : 0;
}

void Recordset::close() { m_closed = true; }

void Recordset::checkOpen() const
{
    if (state() != 1) raiseClosed();
}

bool Recordset::isBOF() const
{
    checkOpen();
    return m_row < 0 || current()->rowCount() == 0;
}

bool Recordset::isEOF() const
{
    checkOpen();
    const long n = current()->rowCount();
    return m_row >= n || n == 0;
}

void Recordset::MoveFirst()
{
    checkOpen();
    if (current()->rowCount() == 0) raiseNoCurrentRecord();
    m_row = 0;
}

void Recordset::MoveLast()
{
    checkOpen();
    const long n = current()->rowCount();
    if (n == 0) raiseNoCurrentRecord();
    m_row = n - 1;
}

void Recordset::MoveNext()
{
    checkOpen();
    const long n = current()->rowCount();
    if (m_row >= n) raiseNoCurrentRecord();
    ++m_row;
}

void Recordset::MovePrevious()
{
    checkOpen();
    if (m_row < 0 || current()->rowCount() == 0) raiseNoCurrentRecord();
    --m_row;
}

void Recordset::Move(long n) { Move(n, FromCurrent); }

void Recordset::Move(long n, MoveStart start)
{
    checkOpen();
    const long count = current()->rowCount();
    long from = m_row;
    switch (start) {
    case FromFirst:
        if (count == 0) raiseNoCurrentRecord();
        from = 0;
        break;
    case FromLast:
        if (count == 0) raiseNoCurrentRecord();
        from = count - 1;
        break;
    case FromCurrent:
        if (n == 0) return;
        if (count == 0 || (m_row < 0 && n < 0) || (m_row >= count && n > 0)) raiseNoCurrentRecord();
        break;
    }
    long target = from + n;
    if (target < 0)
        target = -1;
    else if (target > count)
        target = count;
    m_row = target;
}

long Recordset::RecordCount() const
{
    const ResultSet* rs = current();
    if (!rs || !rs->hasRows) return -1;
    return rs->rowCount();
}

long Recordset::AbsolutePosition() const
{
    checkOpen();
    const long n = current()->rowCount();
    if (m_row < 0 || n == 0) return -2;
    if (m_row >= n) return -3;
    return m_row + 1;
}

int Recordset::fieldCount() const
{
    const ResultSet* rs = current();
    if (!rs || !rs->hasRows) return 0;
    return int(rs->fields.size());
}

const FieldInfo& Recordset::field(int index) const
{
    checkOpen();
    const ResultSet* rs = current();
    if (index < 0 || size_t(index) >= rs->fields.size()) raiseNotFound();
    return rs->fields[size_t(index)];
}

int Recordset::fieldIndex(const QString& name) const
{
    const ResultSet* rs = current();
    if (!rs || !rs->hasRows) return -1;
    return rs->columnIndex(name);
}

const QVariant& Recordset::value(int index) const
{
    checkOpen();
    const ResultSet* rs = current();
    const size_t cols = rs->fields.size();
    if (index < 0 || size_t(index) >= cols) raiseNotFound();
    if (m_row < 0 || m_row >= rs->rowCount()) raiseNoCurrentRecord();
    return rs->values[size_t(m_row) * cols + size_t(index)];
}

const QVariant& Recordset::value(const QString& name) const
{
    checkOpen();
    const int i = fieldIndex(name);
    if (i < 0) raiseNotFound();
    return value(i);
}

bool Recordset::NextRecordset()
{
    if (m_closed || m_set >= m_sets.size()) {
        m_closed = true;
        return false;
    }
    // release the rows of the set we leave
    m_sets[m_set] = ResultSet();
    ++m_set;
    m_row = 0;
    if (m_set >= m_sets.size()) {
        m_closed = true;
        return false;
    }
    if (!m_sets[m_set].errors.isEmpty()) {
        const ProviderError& e = m_sets[m_set].errors.first();
        throw Error(e.number, e.source.isEmpty() ? kSource : e.source, e.description);
    }
    return true;
}

long Recordset::recordsAffected() const
{
    const ResultSet* rs = current();
    return rs ? rs->recordsAffected : -1;
}

QString Recordset::GetString(
    const QString& colDelimiter, const QString& rowDelimiter, const QString& nullExpr, long numRows)
{
    checkOpen();
    const ResultSet* rs = current();
    const long count = rs->rowCount();
    if (m_row < 0 || m_row >= count) raiseNoCurrentRecord();
    const size_t cols = rs->fields.size();
    long end = count;
    if (numRows >= 0 && m_row + numRows < count) end = m_row + numRows;
    QString out;
    out.reserve(qsizetype(end - m_row) * qsizetype(cols) * 8);
    for (long r = m_row; r < end; ++r) {
        const QVariant* row = rs->values.data() + size_t(r) * cols;
        for (size_t c = 0; c < cols; ++c) {
            if (c > 0) out += colDelimiter;
            const QVariant& v = row[c];
            if (!v.isValid())
                out += nullExpr;
            else if (v.typeId() == QMetaType::QString)
                out += *static_cast<const QString*>(v.constData());
            else
                out += valueText(v, rs->fields[c].type);
        }
        out += rowDelimiter;
    }
    m_row = end;
    return out;
}

QString Recordset::valueText(const QVariant& v, DataType type)
{
    if (!v.isValid()) return QString();
    if (const auto d = decimalOf(v)) return d->toText();
    switch (v.typeId()) {
    case QMetaType::QString:
        return v.toString();
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::SChar:
    case QMetaType::Char:
        return QString::number(v.toLongLong());
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UChar:
        return QString::number(v.toULongLong());
    case QMetaType::Float:
        return formatGeneral(double(v.toFloat()), 7);
    case QMetaType::Double: {
        double d = v.toDouble();
        if (type == DataType::Single) return formatGeneral(double(float(d)), 7);
        if (type == DataType::Currency) d = std::round(d * 10000.0) / 10000.0;
        return formatGeneral(d, 15);
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("yyyy-MM-dd"));
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (type == DataType::DBTime) return dt.time().toString(QStringLiteral("HH:mm:ss"));
        if (dt.time() == QTime(0, 0) || type == DataType::DBDate)
            return dt.date().toString(QStringLiteral("yyyy-MM-dd"));
        return dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QByteArray: {
        const QByteArray b = v.toByteArray();
        QString s;
        s.reserve((b.size() + 1) / 2);
        for (qsizetype i = 0; i < b.size(); i += 2) {
            const auto lo = uchar(b[i]);
            const auto hi = i + 1 < b.size() ? uchar(b[i + 1]) : uchar(0);
            s += QChar(char16_t(lo | (hi << 8)));
        }
        return s;
    }
    case QMetaType::QUuid:
        return v.toUuid().toString(QUuid::WithBraces).toUpper();
    default:
        return v.toString();
    }
}

}   // namespace orra::db
