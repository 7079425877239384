#include "runtime/clsScriptShare.h"

#include "common/DataSources.h"
#include "common/QueryDocument.h"
#include "common/SpreadsheetExport.h"
#include "common/StoredPassword.h"
#include "platform/db/Types.h"
#include "platform/host/Error.h"
#include "platform/host/ErrorNumbers.h"
#include "platform/vbscript/Runtime.h"
#include "platform/ado/AdoObjects.h"
#include "runtime/DocOrra.h"
#include "runtime/ScriptXmlNode.h"

#include <QStringList>

namespace orra {

namespace {

using vbs::Arguments;
using vbs::Variant;

QString key(const QString& name) { return vbs::foldCase(name); }

Variant valueOf(const Arguments& a, size_t i) { return a[i].isObject() ? a[i].dereferenced() : a[i]; }

// A required text argument (Null reads as "").
QString requiredText(const Arguments& a, size_t i)
{
    if (vbs::isMissing(a, i)) vbs::raise(kWrongArgumentCount);
    const Variant v = valueOf(a, i);
    return v.isNull() ? QString() : v.toString();
}

// An optional text argument: its default when omitted.
QString optionalText(const Arguments& a, size_t i, const QString& def)
{
    if (vbs::isMissing(a, i)) return def;
    const Variant v = valueOf(a, i);
    return v.isNull() ? QString() : v.toString();
}

db::Recordset& recordsetArgument(const Arguments& a, size_t i)
{
    if (vbs::isMissing(a, i)) vbs::raise(kWrongArgumentCount);
    db::RecordsetPtr rs = vbs::ado::recordsetOf(a[i]);
    if (!rs) vbs::raise(a[i].isObject() ? kTypeMismatch : kObjectRequired);
    return *rs;
}

db::Connection& connectionArgument(const Arguments& a, size_t i)
{
    if (vbs::isMissing(a, i)) vbs::raise(kWrongArgumentCount);
    std::shared_ptr<db::Connection> c = vbs::ado::connectionOf(a[i]);
    if (!c) vbs::raise(a[i].isObject() ? kTypeMismatch : kObjectRequired);
    return *c;
}

}   // namespace

DocOrra& clsScriptShare::parent() const
{
    if (!m_parent)
        throw Error(
            kObjectNotSet, kScriptShareSource, QStringLiteral("Object variable or With block variable not set"));
    return *m_parent;
}

// ---------------------------------------------------------------- members

void clsScriptShare::RunFrom(const QString& ID)
{
    DocOrra& p = parent();
    p.GoToID = ID;
    p.PauseAtEvent = DocOrra::enPauseAtEvent_Nothing;
    p.runConnection().execute(QStringLiteral("update #Int set Err=2"));
    // The element's answers go, so that its prompt is asked again when the run gets there.
    p.RemoveFromChain(ID);
}

void clsScriptShare::setReturnRecordSet(bool vData) { parent().flagReturnRecordSet = vData; }

bool clsScriptShare::ReturnRecordSet() const { return parent().flagReturnRecordSet; }

int clsScriptShare::DocID() const { return parent().OrraID; }

xml::Node clsScriptShare::Item(const QString& ID) const
{
    XmlDocumentPtr document = parent().XMLDOMDocument();
    if (!document) return xml::Node();
    return FindElementByAttribute(document->documentElement(), QStringLiteral("ID"), ID);
}

QString clsScriptShare::ExportExcel(db::Recordset& rs, const QString& TemplateName, const QString& SheetName)
{
    ExportOptions options;
    options.templatePath = TemplateName;
    options.sheetName = SheetName;
    options.formatColumns = false;
    // The data range ends one row above the sheet's last.
    options.maxRows = spreadsheet::kMaxRows - 2;
    const QString path = ExportRecordset(rs, options).path;
    if (const auto& told = parent().host().workbookWritten) told(path);
    return path;
}

QString clsScriptShare::ExportToText(db::Recordset& rs, const QString& FileName, const QString& ColDelimiter,
    const QString& RowDelimiter, const QString& NullExprString)
{
    // A statement that returned no rows gives a closed recordset: that is no result to write.
    if (!rs.isOpen())
        throw Error(db::kObjectClosed, QStringLiteral("ADODB.Recordset"),
            QStringLiteral("Operation is not allowed when the object is closed."));
    return ExportRecordsetToText(rs, FileName, ColDelimiter, RowDelimiter, NullExprString);
}

db::ConnectionPtr clsScriptShare::MakeConnection(db::Connection& con, const QString& Server)
{
    // The server name is bound, never pasted into the statement; the registry database is a
    // setting, not script text.
    const std::optional<RegisteredServer> row = ReadRegisteredServer(con, Server);
    if (!row)
        throw Error(kSystemError, kScriptShareSource, Server + QStringLiteral(" verikaynağı ile bağlantı kurulamıyor"));

    auto connection = std::make_shared<db::Connection>();
    if (row->userName.isEmpty())
        connection->open(DataSourceConnectionText(Server, QString(), true));
    else
        connection->open(DataSourceConnectionText(Server, QString(), false), row->userName,
            DecodePassword(row->userPwd, kStoredPasswordKey));
    connection->setCommandTimeout(0);
    return connection;
}

void clsScriptShare::setParameter(const QString& ID, const QString& vData)
{
    xml::Node p = parent().GetChainParameter(ID);
    if (!p)
        throw Error(kSystemError, kScriptShareSource,
            QStringLiteral("Could not found parameter '") + ID + QStringLiteral("' in the parameter chain"));
    xml::setAttribute(p, QStringLiteral("Value"), vData);
}

// ---------------------------------------------------------------- script access

bool clsScriptShare::hasMember(const QString& name) const
{
    static const QStringList names = {
        "runfrom", "returnrecordset", "docid", "item", "exportexcel", "exporttotext", "makeconnection", "parameter"};
    return names.contains(key(name));
}

Variant clsScriptShare::getProperty(const QString& name, Arguments& args)
{
    const QString k = key(name);
    if (k == u"returnrecordset") return Variant::boolean(ReturnRecordSet());
    if (k == u"docid") return Variant::longValue(DocID());
    if (k == u"item") {
        const QString id = requiredText(args, 0);
        return ScriptXmlNode(parent().XMLDOMDocument(), Item(id));
    }
    if (k == u"makeconnection") {
        db::Connection& con = connectionArgument(args, 0);
        const QString server = requiredText(args, 1);
        return Variant::object(vbs::ado::wrapConnection(MakeConnection(con, server)));
    }
    if (k == u"runfrom" || k == u"exportexcel" || k == u"exporttotext") return call(name, args);
    return Dispatch::getProperty(name, args);
}

Variant clsScriptShare::call(const QString& name, Arguments& args)
{
    const QString k = key(name);
    if (k == u"runfrom") {
        RunFrom(requiredText(args, 0));
        return Variant();
    }
    if (k == u"exportexcel") {
        db::Recordset& rs = recordsetArgument(args, 0);
        ExportExcel(rs, optionalText(args, 1, QString()), optionalText(args, 2, QString()));
        return Variant();
    }
    if (k == u"exporttotext") {
        db::Recordset& rs = recordsetArgument(args, 0);
        ExportToText(rs, optionalText(args, 1, QString()), optionalText(args, 2, QStringLiteral(",")),
            optionalText(args, 3, QStringLiteral("\r\n")), optionalText(args, 4, QStringLiteral("NULL")));
        return Variant();
    }
    if (k == u"returnrecordset" || k == u"docid" || k == u"item" || k == u"makeconnection")
        return getProperty(name, args);
    return Dispatch::call(name, args);
}

void clsScriptShare::putProperty(const QString& name, Arguments& args, const Variant& value)
{
    const QString k = key(name);
    const Variant v = value.isObject() ? value.dereferenced() : value;
    if (k == u"returnrecordset" && args.empty()) {
        setReturnRecordSet(v.toBool());
        return;
    }
    if (k == u"parameter") {
        const QString id = requiredText(args, 0);
        setParameter(id, v.isNull() ? QString() : v.toString());
        return;
    }
    Dispatch::putProperty(name, args, value);
}

}   // namespace orra
