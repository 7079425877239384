#include "platform/ado/AdoObjects.h"

#include "platform/db/Decimal.h"
#include "platform/host/Error.h"
#include "platform/vbscript/Runtime.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <utility>

namespace orra::vbs::ado {

namespace {

// An ActiveConnection given as an object is that connection; given as text, a new connection
// opened with it.
DispatchPtr connectionFrom(const Variant& value)
{
    if (value.isObject()) return value.rawObject();
    DispatchPtr connection = wrapConnection(std::make_shared<db::Connection>());
    Arguments a{Variant::string(value.toString())};
    connection->call(QStringLiteral("Open"), a);
    return connection;
}

const QString kConnectionSource = QStringLiteral("ADODB.Connection");
const QString kRecordsetSource = QStringLiteral("ADODB.Recordset");
const QString kCommandSource = QStringLiteral("ADODB.Command");

[[noreturn]] void adoError(long number, const QString& source, const QString& text)
{
    throw orra::Error(number, source, text);
}

[[noreturn]] void closedError(const QString& source)
{
    adoError(db::kObjectClosed, source, QStringLiteral("Operation is not allowed when the object is closed."));
}

QString key(const QString& name) { return foldCase(name); }

QString text(const Arguments& a, size_t i, const QString& def = QString())
{
    if (isMissing(a, i)) return def;
    const Variant v = a[i].isObject() ? a[i].dereferenced() : a[i];
    return v.isNull() ? def : v.toString();
}

class ConnectionObject;

class PropertyObject : public Dispatch {
public:
    PropertyObject(QString name, Variant value) : m_name(std::move(name)), m_value(std::move(value)) {}
    QString typeName() const override { return QStringLiteral("Property"); }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k.isEmpty() || k == u"value") return m_value;
        if (k == u"name") return Variant::string(m_name);
        return Dispatch::getProperty(name, args);
    }

private:
    QString m_name;
    Variant m_value;
};

class FieldObject : public Dispatch {
public:
    FieldObject(db::RecordsetPtr rs, int index) : m_rs(std::move(rs)), m_index(index) {}
    QString typeName() const override { return QStringLiteral("Field"); }
    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {"name", "value", "type", "definedsize", "precision", "numericscale",
            "actualsize", "originalvalue", "underlyingvalue"};
        return names.contains(key(n));
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (!m_rs->isOpen()) closedError(kRecordsetSource);
        const db::FieldInfo& f = m_rs->field(m_index);
        if (k.isEmpty() || k == u"value" || k == u"originalvalue" || k == u"underlyingvalue")
            return toVariant(m_rs->value(m_index), f.type);
        if (k == u"name") return Variant::string(f.name);
        if (k == u"type") return Variant::longValue(int(f.type));
        if (k == u"definedsize") return Variant::longValue(int32_t(f.definedSize));
        if (k == u"precision") return Variant::byte(uint8_t(f.precision));
        if (k == u"numericscale") return Variant::byte(uint8_t(f.numericScale));
        if (k == u"actualsize") {
            const QVariant& v = m_rs->value(m_index);
            if (db::isNull(v)) return Variant::longValue(0);
            return Variant::longValue(int32_t(db::Recordset::valueText(v, f.type).size()));
        }
        return Dispatch::getProperty(name, args);
    }

private:
    db::RecordsetPtr m_rs;
    int m_index;
};

int fieldIndexOf(const db::Recordset& rs, const Variant& which0)
{
    const Variant which = which0.isObject() ? which0.dereferenced() : which0;
    int index;
    if (which.isString())
        index = rs.fieldIndex(which.rawString());
    else
        index = int(which.toLong());
    if (index < 0 || index >= rs.fieldCount())
        adoError(db::kItemNotFound, kRecordsetSource,
            QStringLiteral("Item cannot be found in the collection corresponding to the requested name or ordinal."));
    return index;
}

class FieldsObject : public Dispatch {
public:
    explicit FieldsObject(db::RecordsetPtr rs) : m_rs(std::move(rs)) {}
    QString typeName() const override { return QStringLiteral("Fields"); }
    bool hasMember(const QString& n) const override
    {
        QString k = key(n);
        return k == u"count" || k == u"item";
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (!m_rs->isOpen()) closedError(kRecordsetSource);
        if (k == u"count") return Variant::longValue(m_rs->fieldCount());
        if ((k.isEmpty() || k == u"item") && args.size() == 1)
            return Variant::object(std::make_shared<FieldObject>(m_rs, fieldIndexOf(*m_rs, args[0])));
        return Dispatch::getProperty(name, args);
    }
    std::vector<Variant> enumerate() override
    {
        if (!m_rs->isOpen()) closedError(kRecordsetSource);
        std::vector<Variant> out;
        for (int i = 0; i < m_rs->fieldCount(); ++i)
            out.push_back(Variant::object(std::make_shared<FieldObject>(m_rs, i)));
        return out;
    }

private:
    db::RecordsetPtr m_rs;
};

class RecordsetObject : public Dispatch {
public:
    RecordsetObject() = default;
    explicit RecordsetObject(db::RecordsetPtr rs, DispatchPtr connection = nullptr)
        : m_rs(std::move(rs)), m_connection(std::move(connection))
    {
    }
    QString typeName() const override { return QStringLiteral("Recordset"); }
    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {"open", "close", "state", "eof", "bof", "movefirst", "movenext",
            "moveprevious", "movelast", "move", "recordcount", "absoluteposition", "fields", "getstring",
            "nextrecordset", "activeconnection", "cursorlocation", "cursortype", "locktype", "source"};
        return names.contains(key(n));
    }
    db::RecordsetPtr recordset() const { return m_rs; }

    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k == u"state") return Variant::longValue(m_rs ? m_rs->state() : 0);
        if (k == u"open") {
            open(args);
            return Variant();
        }
        if (k == u"cursorlocation") return Variant::longValue(3);   // adUseClient
        if (k == u"cursortype") return Variant::longValue(3);       // adOpenStatic
        if (k == u"locktype") return Variant::longValue(1);         // adLockReadOnly
        if (k == u"source") return Variant::string(m_source);
        if (k == u"activeconnection") return m_connection ? Variant::object(m_connection) : Variant::nothing();
        if (k == u"close") {
            if (!m_rs || !m_rs->isOpen()) closedError(kRecordsetSource);
            m_rs->close();
            return Variant();
        }
        if (!m_rs || !m_rs->isOpen()) {
            if (hasMember(name) || k.isEmpty()) closedError(kRecordsetSource);
            return Dispatch::getProperty(name, args);
        }
        db::Recordset& rs = *m_rs;
        if (k == u"eof") return Variant::boolean(rs.isEOF());
        if (k == u"bof") return Variant::boolean(rs.isBOF());
        if (k == u"recordcount") return Variant::longValue(int32_t(rs.RecordCount()));
        if (k == u"absoluteposition") return Variant::longValue(int32_t(rs.AbsolutePosition()));
        static const std::pair<QStringView, void (db::Recordset::*)()> kMoves[] = {
            {u"movefirst", &db::Recordset::MoveFirst},
            {u"movenext", &db::Recordset::MoveNext},
            {u"moveprevious", &db::Recordset::MovePrevious},
            {u"movelast", &db::Recordset::MoveLast},
        };
        for (const auto& [method, move] : kMoves)
            if (k == method) {
                (rs.*move)();
                return Variant();
            }
        if (k == u"move") {
            if (args.empty()) raise(kWrongArgumentCount);
            rs.Move(args[0].toLong());
            return Variant();
        }
        if (k == u"fields" || k.isEmpty()) {
            auto fields = std::make_shared<FieldsObject>(m_rs);
            if (args.empty()) return Variant::object(fields);
            return fields->getProperty(QString(), args);
        }
        if (k == u"getstring") {
            if (!isMissing(args, 0) && args[0].toLong() != 2) raise(kInvalidProcedureCall);   // only adClipString
            long rows = isMissing(args, 1) ? -1 : args[1].toLong();
            QString colDelim = text(args, 2, QStringLiteral("\t"));
            QString rowDelim = text(args, 3, QStringLiteral("\r"));
            QString nullExpr = text(args, 4);
            return Variant::string(rs.GetString(colDelim, rowDelim, nullExpr, rows));
        }
        if (k == u"nextrecordset") {
            if (!rs.NextRecordset()) return Variant::nothing();
            return Variant::object(shared_from_this());
        }
        return Dispatch::getProperty(name, args);
    }

    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        QString k = key(name);
        if (k == u"cursorlocation" || k == u"cursortype" || k == u"locktype") return;   // always client-side, static
        if (k == u"source") {
            m_source = value.toString();
            return;
        }
        if (k == u"activeconnection") {
            setConnection(value);
            return;
        }
        Dispatch::putProperty(name, args, value);
    }

    void setProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        if (key(name) == u"activeconnection") {
            setConnection(value);
            return;
        }
        Dispatch::setProperty(name, args, value);
    }

private:
    void setConnection(const Variant& value) { m_connection = connectionFrom(value); }

    void open(Arguments& args)
    {
        if (m_rs && m_rs->isOpen())
            adoError(
                db::kObjectOpen, kRecordsetSource, QStringLiteral("Operation is not allowed when the object is open."));
        if (!isMissing(args, 0)) m_source = text(args, 0);
        if (!isMissing(args, 1)) setConnection(args[1]);
        auto con = connectionOf(m_connection ? Variant::object(m_connection) : Variant());
        if (!con || !con->isOpen())
            adoError(db::kConnectionUnusable, kRecordsetSource,
                QStringLiteral("The connection cannot be used to perform this operation. It is either closed or "
                               "invalid in this context."));
        m_rs = con->execute(m_source);
    }

    db::RecordsetPtr m_rs;
    DispatchPtr m_connection;
    QString m_source;
};

class ErrorItem : public Dispatch {
public:
    explicit ErrorItem(db::ProviderError e) : m_e(std::move(e)) {}
    QString typeName() const override { return QStringLiteral("Error"); }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k.isEmpty() || k == u"description") return Variant::string(m_e.description);
        if (k == u"number") return Variant::longValue(int32_t(m_e.number));
        if (k == u"source") return Variant::string(m_e.source);
        if (k == u"sqlstate") return Variant::string(m_e.sqlState);
        if (k == u"nativeerror") return Variant::longValue(int32_t(m_e.nativeError));
        return Dispatch::getProperty(name, args);
    }

private:
    db::ProviderError m_e;
};

class ErrorsObject : public Dispatch {
public:
    explicit ErrorsObject(QList<db::ProviderError> list) : m_list(std::move(list)) {}
    QString typeName() const override { return QStringLiteral("Errors"); }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k == u"count") return Variant::longValue(int32_t(m_list.size()));
        if ((k.isEmpty() || k == u"item") && args.size() == 1) {
            long i = args[0].toLong();
            if (i < 0 || i >= m_list.size())
                adoError(db::kItemNotFound, kConnectionSource,
                    QStringLiteral(
                        "Item cannot be found in the collection corresponding to the requested name or ordinal."));
            return Variant::object(std::make_shared<ErrorItem>(m_list[i]));
        }
        return Dispatch::getProperty(name, args);
    }
    std::vector<Variant> enumerate() override
    {
        std::vector<Variant> out;
        for (const auto& e : m_list) out.push_back(Variant::object(std::make_shared<ErrorItem>(e)));
        return out;
    }

private:
    QList<db::ProviderError> m_list;
};

class ConnectionObject : public Dispatch {
public:
    explicit ConnectionObject(std::shared_ptr<db::Connection> con) : m_con(std::move(con)) {}
    QString typeName() const override { return QStringLiteral("Connection"); }
    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {"open", "close", "execute", "begintrans", "committrans", "rollbacktrans",
            "state", "connectionstring", "commandtimeout", "connectiontimeout", "cursorlocation", "properties",
            "errors"};
        return names.contains(key(n));
    }
    std::shared_ptr<db::Connection> connection() const { return m_con; }

    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k == u"state") return Variant::longValue(m_con->state());
        if (k == u"connectionstring") return Variant::string(m_con->isOpen() ? m_con->connectionString() : m_text);
        if (k == u"commandtimeout") return Variant::longValue(m_con->commandTimeout());
        if (k == u"connectiontimeout") return Variant::longValue(m_connectionTimeout);
        if (k == u"cursorlocation") return Variant::longValue(3);
        if (k == u"errors") return Variant::object(std::make_shared<ErrorsObject>(m_con->errors()));
        if (k == u"open") {
            if (m_con->isOpen())
                adoError(db::kObjectOpen, kConnectionSource,
                    QStringLiteral("Operation is not allowed when the object is open."));
            QString t = text(args, 0, m_text);
            m_con->open(t, text(args, 1), text(args, 2));
            m_text = t;
            return Variant();
        }
        if (!m_con->isOpen()) {
            if (k == u"close" || k == u"execute" || k == u"begintrans" || k == u"committrans" || k == u"rollbacktrans"
                || k == u"properties")
                closedError(kConnectionSource);
            return Dispatch::getProperty(name, args);
        }
        if (k == u"close") {
            m_con->close();
            return Variant();
        }
        if (k == u"execute") {
            if (isMissing(args, 0)) raise(kWrongArgumentCount);
            long affected = -1;
            db::RecordsetPtr rs = m_con->execute(text(args, 0), {}, &affected);
            if (args.size() > 1 && !isMissing(args, 1)) args[1] = Variant::longValue(int32_t(affected));
            return Variant::object(std::make_shared<RecordsetObject>(rs, shared_from_this()));
        }
        if (k == u"begintrans") {
            m_con->beginTrans();
            return Variant::longValue(m_con->transactionLevel());
        }
        if (k == u"committrans") {
            m_con->commitTrans();
            return Variant();
        }
        if (k == u"rollbacktrans") {
            m_con->rollbackTrans();
            return Variant();
        }
        if (k == u"properties") {
            if (args.size() != 1) raise(kWrongArgumentCount);
            QString p = text(args, 0);
            return Variant::object(std::make_shared<PropertyObject>(p, Variant::string(m_con->property(p))));
        }
        return Dispatch::getProperty(name, args);
    }

    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        QString k = key(name);
        if (k == u"connectionstring") {
            if (m_con->isOpen())
                adoError(db::kObjectOpen, kConnectionSource,
                    QStringLiteral("Operation is not allowed when the object is open."));
            m_text = value.toString();
            return;
        }
        if (k == u"commandtimeout") {
            m_con->setCommandTimeout(int(value.toLong()));
            return;
        }
        if (k == u"connectiontimeout") {
            m_connectionTimeout = int(value.toLong());
            return;
        }
        if (k == u"cursorlocation") return;   // client-side always
        Dispatch::putProperty(name, args, value);
    }

private:
    std::shared_ptr<db::Connection> m_con;
    QString m_text;
    int m_connectionTimeout = 15;
};

class CommandObject : public Dispatch {
public:
    QString typeName() const override { return QStringLiteral("Command"); }
    bool hasMember(const QString& n) const override
    {
        static const QStringList names = {
            "activeconnection", "commandtext", "commandtype", "commandtimeout", "execute"};
        return names.contains(key(n));
    }
    Variant getProperty(const QString& name, Arguments& args) override
    {
        QString k = key(name);
        if (k == u"activeconnection") return m_connection ? Variant::object(m_connection) : Variant::nothing();
        if (k == u"commandtext") return Variant::string(m_text);
        if (k == u"commandtype") return Variant::longValue(m_type);
        if (k == u"commandtimeout") return Variant::longValue(m_timeout);
        if (k == u"execute") {
            if (!m_connection)
                adoError(db::kConnectionUnusable, kCommandSource,
                    QStringLiteral("The connection cannot be used to perform this operation. It is either closed or "
                                   "invalid in this context."));
            Arguments a{Variant::string(m_text)};
            if (!isMissing(args, 0)) a.push_back(args[0]);
            Variant rs = m_connection->getProperty(QStringLiteral("Execute"), a);
            if (!isMissing(args, 0) && a.size() > 1) args[0] = a[1];
            return rs;
        }
        return Dispatch::getProperty(name, args);
    }
    void putProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        QString k = key(name);
        if (k == u"commandtext")
            m_text = value.toString();
        else if (k == u"commandtype")
            m_type = int(value.toLong());
        else if (k == u"commandtimeout")
            m_timeout = int(value.toLong());
        else if (k == u"activeconnection")
            setProperty(name, args, value);
        else
            Dispatch::putProperty(name, args, value);
    }
    void setProperty(const QString& name, Arguments& args, const Variant& value) override
    {
        if (key(name) != u"activeconnection") {
            Dispatch::setProperty(name, args, value);
            return;
        }
        m_connection = connectionFrom(value);
    }

private:
    DispatchPtr m_connection;
    QString m_text;
    int m_type = 1;   // adCmdText
    int m_timeout = 30;
};

double oaDate(const QDate& d) { return double(d.toJulianDay() - 2415019); }
double oaTime(const QTime& t) { return double(t.msecsSinceStartOfDay() / 1000) / 86400.0; }

}   // namespace

Variant toVariant(const QVariant& v, db::DataType type)
{
    if (db::isNull(v)) return Variant::null();
    if (const auto d = db::decimalOf(v)) {
        // Currency holds money exactly, and any decimal that has no more than four places.
        qint64 scaled = 0;
        if (d->toCurrencyScaled(scaled) && (type == db::DataType::Currency || db::Decimal::fromUnits(scaled, 4) == *d))
            return Variant::currencyScaled(scaled);
        return Variant::dbl(d->toDouble());
    }
    switch (v.typeId()) {
    case QMetaType::QString:
        return Variant::string(v.toString());
    case QMetaType::Bool:
        return Variant::boolean(v.toBool());
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong: {
        qlonglong n = v.toLongLong();
        if (type == db::DataType::SmallInt && n >= -32768 && n <= 32767) return Variant::integer(int16_t(n));
        if (type == db::DataType::TinyInt && n >= 0 && n <= 255) return Variant::byte(uint8_t(n));
        if (type == db::DataType::Boolean) return Variant::boolean(n != 0);
        if (n >= INT32_MIN && n <= INT32_MAX) return Variant::longValue(int32_t(n));
        return Variant::dbl(double(n));
    }
    case QMetaType::Double:
    case QMetaType::Float:
        if (type == db::DataType::Currency) return Variant::currencyScaled(qRound64(v.toDouble() * 10000.0));
        if (type == db::DataType::Single) return Variant::single(v.toFloat());
        return Variant::dbl(v.toDouble());
    case QMetaType::QDateTime: {
        QDateTime dt = v.toDateTime();
        return Variant::date(combineDateTime(oaDate(dt.date()), oaTime(dt.time())));
    }
    case QMetaType::QDate:
        return Variant::date(oaDate(v.toDate()));
    case QMetaType::QTime:
        return Variant::date(oaTime(v.toTime()));
    case QMetaType::QByteArray: {
        QByteArray b = v.toByteArray();
        auto arr = std::make_shared<VariantArray>();
        arr->bounds.push_back({0, long(b.size())});
        for (char c : b) arr->data.push_back(Variant::byte(uint8_t(c)));
        return Variant::array(arr);
    }
    default:
        return Variant::string(v.toString());
    }
}

DispatchPtr wrapConnection(std::shared_ptr<db::Connection> connection)
{
    return std::make_shared<ConnectionObject>(std::move(connection));
}

DispatchPtr wrapRecordset(db::RecordsetPtr recordset)
{
    return std::make_shared<RecordsetObject>(std::move(recordset));
}

std::shared_ptr<db::Connection> connectionOf(const Variant& value)
{
    if (!value.isObject()) return nullptr;
    auto c = std::dynamic_pointer_cast<ConnectionObject>(value.rawObject());
    return c ? c->connection() : nullptr;
}

db::RecordsetPtr recordsetOf(const Variant& value)
{
    if (!value.isObject()) return nullptr;
    auto r = std::dynamic_pointer_cast<RecordsetObject>(value.rawObject());
    return r ? r->recordset() : nullptr;
}

DispatchPtr createObject(const QString& progId)
{
    QString k = key(progId.trimmed());
    if (k == u"adodb.connection") return wrapConnection(std::make_shared<db::Connection>());
    if (k == u"adodb.recordset") return std::make_shared<RecordsetObject>();
    if (k == u"adodb.command") return std::make_shared<CommandObject>();
    return nullptr;
}

}   // namespace orra::vbs::ado
