#include "catalogue/CatalogueProcedures.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QXmlStreamReader>

#include <vector>

namespace orra::catalogue {

using db::ResultSet;
using embedded::ProcedureArguments;
using embedded::ProcedureSession;

namespace {

// One column of a result set, found by its name (the server's error when there is none).
class Column {
public:
    Column(ProcedureSession& session, const ResultSet& rows, const QString& name)
        : m_rows(rows), m_index(rows.columnIndex(name))
    {
        if (m_index < 0)
            session.raise(QStringLiteral("42S22"), QStringLiteral("Invalid column name '%1'.").arg(name), 207);
    }
    const QVariant& operator[](long row) const { return m_rows.value(row, m_index); }

private:
    const ResultSet& m_rows;
    int m_index;
};

// A result set with the fields of from and the rows of it that rows names, in that order.
ResultSet pickRows(const ResultSet& from, const std::vector<long>& rows)
{
    ResultSet picked;
    picked.fields = from.fields;
    picked.hasRows = true;
    const int columns = int(from.fields.size());
    picked.values.reserve(rows.size() * size_t(columns));
    for (long r : rows)
        for (int c = 0; c < columns; ++c) picked.values.push_back(from.value(r, c));
    return picked;
}

// The rows of categories in the order the designer builds its tree: every category after
// its parent, breadth-first from the top categories (top == 0) or from category top. With
// top == 0, rows whose parent is missing (or that form a loop) come last, so nothing is hidden.
std::vector<long> parentsFirst(ProcedureSession& session, const ResultSet& categories, qint64 top)
{
    const Column id(session, categories, QStringLiteral("ID"));
    const Column parentId(session, categories, QStringLiteral("ParentID"));
    const long n = categories.rowCount();
    QHash<qint64, QList<long>> children;
    children.reserve(n);
    for (long r = 0; r < n; ++r) children[parentId[r].toLongLong()].append(r);
    std::vector<long> order;
    order.reserve(size_t(n));
    std::vector<char> placed(size_t(n), 0);
    QList<qint64> queue;
    if (top == 0) {
        queue.append(0);
    } else {
        for (long r = 0; r < n; ++r)
            if (id[r].toLongLong() == top) {
                order.push_back(r);
                placed[size_t(r)] = 1;
                queue.append(top);
            }
    }
    for (qsizetype q = 0; q < queue.size(); ++q) {
        const auto it = children.constFind(queue.at(q));
        if (it == children.constEnd()) continue;
        for (long r : it.value()) {
            if (placed[size_t(r)]) continue;
            placed[size_t(r)] = 1;
            order.push_back(r);
            queue.append(id[r].toLongLong());
        }
    }
    if (top == 0) {
        for (long r = 0; r < n; ++r)
            if (!placed[size_t(r)]) order.push_back(r);
    }
    return order;
}

}   // namespace

// Two result sets: the documents (CatID, DocID, DocName, DocDisabled), then the categories
// (ID, ParentID, Name, Disabled) with every category after its parent. The one parameter,
// @CategoryID (default 0), limits both to the subtree of that category; 0 lists everything.
void documentsAndCategories(const ProcedureArguments& arguments, ProcedureSession& session)
{
    if (arguments.size() > 1)
        session.raise(QStringLiteral("42000"),
            QStringLiteral("Procedure or function sp_Orra_GetDocumentsAndCategories has too many arguments specified."),
            8144);
    qint64 top = 0;
    if (!arguments.empty() && !arguments[0].isDefault && arguments[0].value.isValid())
        top = arguments[0].value.toLongLong();
    ResultSet documents = session.query(
        QStringLiteral("select CategoryID CatID, ID DocID, Name DocName, Disabled DocDisabled from main.tbOrraSQL"));
    const ResultSet categories =
        session.query(QStringLiteral("select ID, ParentID, Name, Disabled from main.tbOrraCategory"));
    const std::vector<long> order = parentsFirst(session, categories, top);
    if (top != 0) {
        QSet<qint64> listed;
        const Column id(session, categories, QStringLiteral("ID"));
        for (long r : order) listed.insert(id[r].toLongLong());
        const Column categoryOf(session, documents, QStringLiteral("CatID"));
        std::vector<long> kept;
        for (long r = 0; r < documents.rowCount(); ++r)
            if (listed.contains(categoryOf[r].toLongLong())) kept.push_back(r);
        documents = pickRows(documents, kept);
    }
    session.addResult(std::move(documents));
    session.addResult(pickRows(categories, order));
}

// sp_UserLock '<Document><Program Name=".." DB=".."/><Parameter Name="DocID" Value="n"/></Document>', mode
// Mode 0 takes the lock of the document for this session: refused with an error naming the
// holder while another live session holds it; a lock left by a session that has ended is
// taken over. Mode 1 releases the lock if this session holds it.
void userLock(const ProcedureArguments& arguments, ProcedureSession& session)
{
    if (arguments.size() != 2 || arguments[0].isDefault || arguments[1].isDefault)
        session.raise(QStringLiteral("42000"),
            QStringLiteral("Procedure or function 'sp_UserLock' expects parameters '@LockXml' and '@Mode'."), 201);
    const QString xml = arguments[0].value.toString();
    const int mode = arguments[1].value.toInt();
    QString program;
    QString docText;
    QXmlStreamReader r(xml);
    while (!r.atEnd()) {
        if (r.readNext() != QXmlStreamReader::StartElement) continue;
        if (r.name() == QLatin1String("Program"))
            program = r.attributes().value(QLatin1String("Name")).toString();
        else if (r.name() == QLatin1String("Parameter")
            && r.attributes().value(QLatin1String("Name")).toString() == QLatin1String("DocID"))
            docText = r.attributes().value(QLatin1String("Value")).toString();
    }
    bool ok = false;
    const qint64 docId = docText.trimmed().toLongLong(&ok);
    if (r.hasError() || !ok)
        session.raise(
            QStringLiteral("42000"), QStringLiteral("sp_UserLock: the lock information is not valid."), 50000);
    session.inWriteTransaction([&] {
        if (mode == 1) {
            session.query(QStringLiteral("delete from main.tbOrraLocks where DocID = ? and SPID = ? and LoginTime = ?"),
                {docId, session.spid(), session.loginTime()});
            return;
        }
        const ResultSet held = session.query(
            QStringLiteral(
                "select SPID, cast(LoginTime as text) LoginTime, LoginName, Program, cast(LockTime as text) LockTime "
                "from main.tbOrraLocks where DocID = ?"),
            {docId});
        if (held.rowCount() > 0) {
            const int spid = Column(session, held, QStringLiteral("SPID"))[0].toInt();
            const QString time = Column(session, held, QStringLiteral("LoginTime"))[0].toString();
            const bool mine = spid == session.spid() && time == session.loginTime();
            if (!mine && session.sessionAlive(spid, time)) {
                const QString holder = Column(session, held, QStringLiteral("LoginName"))[0].toString().trimmed();
                const QString prog = Column(session, held, QStringLiteral("Program"))[0].toString().trimmed();
                const QString since = Column(session, held, QStringLiteral("LockTime"))[0].toString().left(19);
                session.raise(QStringLiteral("42000"),
                    QStringLiteral("The document %1 is locked by '%2' (process %3%4) since %5.")
                        .arg(docId)
                        .arg(holder)
                        .arg(spid)
                        .arg(prog.isEmpty() ? QString() : QStringLiteral(", ") + prog)
                        .arg(since),
                    50000);
            }
            session.query(QStringLiteral("delete from main.tbOrraLocks where DocID = ?"), {docId});
        }
        const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        session.query(
            QStringLiteral("insert into main.tbOrraLocks (DocID, SPID, LoginTime, LoginName, Program, LockTime) "
                           "values (?, ?, ?, ?, ?, ?)"),
            {docId, session.spid(), session.loginTime(), session.login(), program, now});
    });
}

}   // namespace orra::catalogue
