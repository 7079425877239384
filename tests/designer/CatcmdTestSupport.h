#pragma once
// What the catalogue command tests share: the catalogue fixture with a second login ("ann"),
// a user interface whose questions answer as the test says, the catalogue pane on the
// designer's catalogue connection, and a document window that keeps the editor's contract the
// commands rely on (DocID, OrraName, DocumentChanged, Document, SetNodeText, Save, the lock
// released when it closes).

#include "common/CatalogueChecksums.h"
#include "common/Crc32.h"
#include "common/Permissions.h"
#include "common/Xml.h"
#include "designer/catalogue/CatalogueCommands.h"
#include "designer/catalogue/frmpbOrra.h"
#include "tests/designer/CatalogueTestSupport.h"

#include <QHash>

Q_DECLARE_OPAQUE_POINTER(orra::xml::Document*)

namespace orra::test {

// Message boxes as RecordingUi; a question (Yes/No) is answered by the next of answers, else by
// defaultAnswer. The titles are kept.
class AnsweringUi : public RecordingUi {
public:
    int messageBox(const QString& text, int style, const QString& title) override
    {
        RecordingUi::messageBox(text, style, title);
        titles.append(title);
        if ((style & 7) == vbYesNo || (style & 7) == vbYesNoCancel)
            return answers.isEmpty() ? defaultAnswer : answers.takeFirst();
        return vbOK;
    }
    QList<int> answers;
    int defaultAnswer = vbYes;
    QStringList titles;
};

class CatcmdWindow : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int DocID MEMBER m_docId)
    Q_PROPERTY(QString OrraName MEMBER m_name)
    Q_PROPERTY(bool DocumentChanged MEMBER m_changed)
    Q_PROPERTY(orra::xml::Document* Document READ document)
public:
    explicit CatcmdWindow(QWidget* parent = nullptr) : QWidget(parent) { ++created; }
    ~CatcmdWindow() override { ++destroyed; }

    xml::Document* document() { return &m_doc; }

    Q_INVOKABLE bool LoadWindow()
    {
        db::RecordsetPtr rs = mainConnection()->execute(
            QStringLiteral("select SQLtxt, Name from tbOrraSQL where ID=?"), {qlonglong(m_docId)});
        if (!rs || rs->isEOF()) return false;
        m_name = rs->value(1).toString().trimmed();
        const QString text = rs->value(0).toString();
        if (text.isEmpty())
            m_doc.loadXML(QStringLiteral("<Document ID=\"0\" Name=\"%1\"/>").arg(m_name));
        else
            m_doc.loadXML(text);
        return true;
    }
    // Writes the document's XML into row DocID with its checksum, as the editor's Save does.
    Q_INVOKABLE bool Save()
    {
        ++saves;
        db::Connection& con = *mainConnection();
        con.execute(QStringLiteral("update tbOrraSQL set SQLtxt=? where ID=?"), {m_doc.xml(), qlonglong(m_docId)});
        const bool ok = UpdateDocumentCheckSum(con, QStringLiteral("cat"), m_docId);
        if (ok) m_changed = false;
        return ok;
    }
    Q_INVOKABLE bool SetNodeText(const QString& key, const QString& text)
    {
        nodeTexts.insert(key, text);
        return true;
    }

    int docId() const { return m_docId; }
    bool changed() const { return m_changed; }
    void setChanged(bool on) { m_changed = on; }
    QHash<QString, QString> nodeTexts;
    int saves = 0;

    static inline int created = 0;
    static inline int destroyed = 0;
    static inline int questions = 0;   // "Save Changes ?" asked on close

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (m_changed) ++questions;
        morvane::UnlockDocument(m_docId);
        event->accept();
    }

private:
    int m_docId = 0;
    QString m_name;
    bool m_changed = false;
    xml::Document m_doc;
};

class CatcmdTest : public DesignerCatalogueTest {
protected:
    void SetUp() override
    {
        DesignerCatalogueTest::SetUp();
        setUserInterface(&answering);
        CatcmdWindow::created = CatcmdWindow::destroyed = CatcmdWindow::questions = 0;
        morvane::setDocumentWindowCreator([](QWidget* parent) { return new CatcmdWindow(parent); });
        annUid = addUser(QStringLiteral("ann"));
        morvane::SetCopiedDocumentID(0);
    }
    void TearDown() override
    {
        pane.reset();
        morvane::setSaveAsDialogRunner(nullptr);
        morvane::setSaveFileAsker(nullptr);
        DesignerCatalogueTest::TearDown();
    }

    // The designer logs on as ann from now on.
    void logOnAsAnn()
    {
        main = shared(QStringLiteral("ann"), QStringLiteral("pw_ann"));
        setMainConnection(main);
    }

    morvane::frmpbOrra& loadPane()
    {
        pane = std::make_unique<morvane::frmpbOrra>();
        pane->resize(300, 400);
        return *pane;
    }
    QTreeWidgetItem* select(const QString& key)
    {
        QTreeWidgetItem* node = pane->tvOrra()->node(key);
        pane->tvOrra()->setCurrentItem(node);
        return node;
    }

    QVariant value(const QString& sql) { return scalar(*admin, sql); }
    QString name(const char* table, long id)
    {
        return value(QStringLiteral("select Name from %1 where ID=%2").arg(QLatin1String(table)).arg(id))
            .toString()
            .trimmed();
    }
    long count(const QString& sql) { return long(value(sql).toLongLong()); }

    // The stored checksum of the row equals the checksum of the row as read now.
    ::testing::AssertionResult checkSumHolds(const char* table, long id)
    {
        db::RecordsetPtr rs =
            admin->execute(QStringLiteral("select * from %1 where ID=%2").arg(QLatin1String(table)).arg(id));
        if (!rs || !rs->isOpen() || rs->isEOF())
            return ::testing::AssertionFailure() << table << " row " << id << " is missing";
        const long stored = long(rs->value(QStringLiteral("CheckSum")).toLongLong());
        const int32_t computed = RowCheckSum(*rs);
        if (stored != computed)
            return ::testing::AssertionFailure()
                << table << " row " << id << ": stored " << stored << ", computed " << computed;
        return ::testing::AssertionSuccess();
    }

    CatcmdWindow* openWindow(long id)
    {
        morvane::OpenDocumentWindow(id, name("tbOrraSQL", id));
        return qobject_cast<CatcmdWindow*>(morvane::FindDocumentWindow(id, QString(), false));
    }

    AnsweringUi answering;
    long annUid = 0;
    std::unique_ptr<morvane::frmpbOrra> pane;
};

}   // namespace orra::test
