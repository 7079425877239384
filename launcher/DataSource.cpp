#include "launcher/DataSource.h"

#include "common/QueryDocument.h"
#include "common/StoredPassword.h"
#include "platform/db/ConnectionString.h"
#include "platform/host/Error.h"

namespace orra::launcher {

namespace {

const QString kSource = QStringLiteral("Dornel");

QString text(const QVariant& v) { return db::isNull(v) ? QString() : v.toString(); }

bool parseWholeNumber(const QString& s, long& out)
{
    bool ok = false;
    const qlonglong v = s.trimmed().toLongLong(&ok);
    if (!ok || v < INT32_MIN || v > INT32_MAX) return false;
    out = static_cast<long>(v);
    return true;
}

}   // namespace

db::ConnectionPtr OpenDataSourceConnection(db::Connection& catalogue, const QString& server)
{
    const std::optional<RegisteredServer> row = ReadRegisteredServer(catalogue, server);
    if (!row) throw Error(kSystemError, kSource, server + QStringLiteral(" verikaynağı ile bağlantı kurulamıyor"));

    auto connection = std::make_shared<db::Connection>();
    if (row->userName.isEmpty()) {
        connection->open(DataSourceConnectionText(server, row->database, true));
    } else {
        connection->open(
            DataSourceConnectionText(server, row->database, false), row->userName, DecodePassword(row->userPwd));
    }
    connection->setCommandTimeout(0);
    return connection;
}

long ResolveDocumentID(db::Connection& catalogue, const QString& text)
{
    long id = 0;
    if (text.size() < 5 || text.left(5).toLower() != QLatin1String("root\\")) {
        if (!parseWholeNumber(text, id))
            throw Error(kSystemError, kSource, QStringLiteral("document not found: ") + text);
        return id;
    }
    const QStringList names = text.mid(5).split(QLatin1Char('\\'));
    const auto notFound = [&] { return Error(kSystemError, kSource, QStringLiteral("document not found: ") + text); };
    long parent = 0;
    for (qsizetype i = 0; i + 1 < names.size(); ++i) {
        db::RecordsetPtr rs = catalogue.execute(
            QStringLiteral("select ID from tbOrraCategory where ParentID=? and Name=?"), {qlonglong(parent), names[i]});
        if (!rs->isOpen() || rs->isEOF()) throw notFound();
        parent = rs->value(0).toLongLong();
    }
    db::RecordsetPtr rs = catalogue.execute(
        QStringLiteral("select ID from tbOrraSQL where CategoryID=? and Name=?"), {qlonglong(parent), names.last()});
    if (names.last().isEmpty() || !rs->isOpen() || rs->isEOF()) throw notFound();
    return static_cast<long>(rs->value(0).toLongLong());
}

long ParseSchemaID(const QString& text)
{
    long id = 0;
    if (!parseWholeNumber(text, id))
        throw Error(kSystemError, kSource, QStringLiteral("Hatalı parametre girişi -- schemaid"));
    return id;
}

void ApplyCallSchema(db::Connection& catalogue, xml::Document& document, long docID, long schemaID)
{
    const QList<db::Parameter> keys{qlonglong(docID), qlonglong(schemaID)};
    db::RecordsetPtr rows =
        catalogue.execute(QStringLiteral("select ParamId,ParamVal from tbOrraCallSchemaDetail d (nolock)\r\n"
                                         "inner join tbOrraCallSchema b (nolock) on d.ParentId=b.ID\r\n"
                                         "where b.DocId=? and b.SchemaID=?"),
            keys);
    db::RecordsetPtr exists = catalogue.execute(
        QStringLiteral("if exists(select 1 from tbOrraCallSchema b\r\nwhere b.DocId=? and b.SchemaID=?) "
                       "select 1 else select 0"),
        keys);
    if (!exists->isOpen() || exists->isEOF() || exists->value(0).toInt() == 0)
        throw Error(kErrorNoSchema, kSource, QStringLiteral("No Schema found"));

    // Every Parameter element in document order (after expansion: with include prefixes).
    std::vector<xml::Node> parameters;
    for (const pugi::xpath_node& n : document.pugiDocument().select_nodes("//Parameter"))
        parameters.push_back(n.node());
    for (; rows->isOpen() && !rows->isEOF(); rows->MoveNext()) {
        const QString paramId = text(rows->value(0));
        const QVariant value = rows->value(1);
        for (xml::Node p : parameters) {
            if (xml::attribute(p, QStringLiteral("ID")) != paramId) continue;
            xml::setAttribute(p, QStringLiteral("Type"), QStringLiteral("fact"));
            if (!db::isNull(value)) xml::setAttribute(p, QStringLiteral("DefaultValue"), value.toString());
            break;
        }
    }
}

}   // namespace orra::launcher
