#pragma once
// The script bridge: the object that scripts of a run know as "ScriptShare" (its members are
// callable without the name). Through it a script steers the running document, reads its
// elements, exports recordsets and opens connections to registered data servers. It keeps no
// state of its own: every member reads or changes the engine at the moment it is called.
//
// Members, in slot order:
//   RunFrom ID                      restart the run at element ID (RunDocument returns 2)
//   ReturnRecordSet [= flag]        the engine's flagReturnRecordSet
//   DocID                           the engine's OrraID
//   Item(ID)                        the element ID of the expanded document (an XML node
//                                   object), or Nothing; the root "B0" is never found
//   ExportExcel rs, [template], [sheet]     the recordset into a workbook, without formats
//   ExportToText rs, [file], [col], [row], [null]   the recordset into a text file
//   MakeConnection(con, server)     a new open connection to a registered data server
//   Parameter(ID) = value           the value of parameter ID in the parameter chain
// Errors go back to the calling script: none is trapped here.

#include "platform/db/Connection.h"
#include "platform/db/Recordset.h"
#include "platform/vbscript/Dispatch.h"
#include "common/Xml.h"

#include <QPointer>
#include <QString>

namespace orra {

class DocOrra;

class clsScriptShare : public vbs::Dispatch {
public:
    // Binds the object to its engine; called before the object is handed to the script engine.
    void SetParent(DocOrra* parent) { m_parent = parent; }

    void RunFrom(const QString& ID);
    void setReturnRecordSet(bool vData);
    bool ReturnRecordSet() const;
    int DocID() const;
    xml::Node Item(const QString& ID) const;
    // The workbook's path.
    QString ExportExcel(
        db::Recordset& rs, const QString& TemplateName = QString(), const QString& SheetName = QString());
    // The file's path.
    QString ExportToText(db::Recordset& rs, const QString& FileName = QString(),
        const QString& ColDelimiter = QStringLiteral(","), const QString& RowDelimiter = QStringLiteral("\r\n"),
        const QString& NullExprString = QStringLiteral("NULL"));
    db::ConnectionPtr MakeConnection(db::Connection& con, const QString& Server);
    void setParameter(const QString& ID, const QString& vData);

    // vbs::Dispatch
    QString typeName() const override { return QStringLiteral("clsScriptShare"); }
    bool hasMember(const QString& name) const override;
    vbs::Variant getProperty(const QString& name, vbs::Arguments& args) override;
    void putProperty(const QString& name, vbs::Arguments& args, const vbs::Variant& value) override;
    vbs::Variant call(const QString& name, vbs::Arguments& args) override;

private:
    DocOrra& parent() const;

    QPointer<DocOrra> m_parent;
};

// Source of the errors the bridge raises itself.
inline const QString kScriptShareSource = QStringLiteral("Tavrel::clsScriptShare");

}   // namespace orra
