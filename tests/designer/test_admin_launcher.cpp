// The administration dialogs together with the launcher dornel, run as a process on the same
// embedded server: a data server registered through the dialog (its password stored) and then
// used by a run, call schemas made in the schema manager and then named by /schemaid:, and
// rights granted or denied in the permissions dialog deciding whether a second login can run.

#include "AdminTestSupport.h"

#include "common/Permissions.h"
#include "common/StoredPassword.h"
#include "designer/catalogue/AdministrationCommands.h"
#include "designer/catalogue/frmCallSchema.h"
#include "designer/catalogue/frmProperties.h"
#include "designer/catalogue/frmRegister.h"
#include "designer/catalogue/frmUsers.h"
#include "designer/shell/DesignerState.h"
#include "launcher/Dornel.h"
#include "tests/spreadsheet/XlsxTestReader.h"

#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTreeWidget>

using namespace orra;
using namespace morvane;
using orra::testing::XlsxTestReader;

namespace {

constexpr long kDoc = 40;

class AdminLauncher : public test::AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        qputenv("ORRA_REGISTRY_DB", "mat");
        ASSERT_TRUE(QDir().mkpath(m_dir.filePath(QStringLiteral("export"))));
        bob = addUser(QStringLiteral("bob"));
        embedded::createUser(server(), QStringLiteral("mat"), QStringLiteral("bob"), QStringLiteral("bob"));
        addCategory(1, 0, QStringLiteral("Reports"));
        addDocument(kDoc, 1, QStringLiteral("Who"),
            QStringLiteral("<Document ID=\"B0\" Server=\"permsrv\"><![CDATA[who]]>"
                           "<Block ID=\"B0.0\" Name=\"b\"><![CDATA[select user_name() U, '<$Who%>' W into #Report]]>"
                           "<Parameter ID=\"B0.0.P_Who\" Name=\"Who\" Caption=\"Who\" DefaultValue=\"\" Type=\"text\" "
                           "Source=\"\"/>"
                           "</Block></Document>"));
    }
    void TearDown() override
    {
        qunsetenv("ORRA_REGISTRY_DB");
        AdminTest::TearDown();
    }

    struct Run {
        int exitCode = -1;
        QString out, err;
    };
    Run dornel(const QString& login, const QString& password, const QString& more = QString())
    {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORRA_SERVERS"), m_dir.path());
        env.insert(QStringLiteral("ORRA_EXPORT_DIR"), m_dir.filePath(QStringLiteral("export")));
        env.insert(QStringLiteral("ORRA_LOG_DIR"), m_dir.path());
        env.insert(QStringLiteral("ORRA_NO_OPEN"), QStringLiteral("1"));
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        p.setProcessEnvironment(env);
        QStringList args{QStringLiteral("/server:permsrv"), QStringLiteral("/db:cat"),
            QStringLiteral("/docid:%1").arg(kDoc), QStringLiteral("/userid:") + login,
            QStringLiteral("/pwd:") + password};
        if (!more.isEmpty()) args << more;
        p.start(QString::fromUtf8(ORRA_BINARY_DIR) + QStringLiteral("/launcher/dornel"), args);
        EXPECT_TRUE(p.waitForFinished(60000));
        Run r;
        r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    QStringList exported() const
    {
        return QDir(m_dir.filePath(QStringLiteral("export"))).entryList({QStringLiteral("*.xlsx")}, QDir::Files);
    }
    std::map<std::string, orra::testing::XlsxCell> cells(const Run& r) { return XlsxTestReader(r.out).cells(); }

    // Registers the data server through the dialog as an administrator types it.
    bool registerServer(const QString& userName, const QString& password, const QString& key)
    {
        frmRegister dialog;
        dialog.show();
        dialog.txtServer()->setText(server());
        dialog.txtDatabase()->setText(database());
        dialog.txtUserName()->setText(userName);
        dialog.txtUserPwd()->setText(password);
        scripted.inputs.enqueue(key);
        return dialog.cmdRegister_Click();
    }
    QVariant registryValue(const QString& column)
    {
        return scalar(
            *admin, QStringLiteral("select %1 from mat..tbOrraConnections where Server='permsrv'").arg(column));
    }

    long bob = 0;
};

TEST_F(AdminLauncher, ARegisteredServerIsUsedByARunWithItsStoredPassword)
{
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("secret"), kStoredPasswordKey));
    EXPECT_EQ(scripted.last(), QStringLiteral("Server registered succesfully"));
    EXPECT_EQ(registryValue(QStringLiteral("UserPwd")).toString(),
        ScramblePassword(QStringLiteral("secret"), kStoredPasswordKey));
    EXPECT_EQ(registryValue(QStringLiteral("[Database]")).toString(), database());

    Run r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/returnrecordset:on"));
    // No schema: the parameter cannot be asked headless.
    EXPECT_NE(r.exitCode, launcher::ExitFinished);
    admin->execute(
        QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (%1, 1, 's', null)")
            .arg(kDoc));
    admin->execute(QStringLiteral(
        "insert into tbOrraCallSchemaDetail select ID, 'B0.0.P_Who', 'x' from tbOrraCallSchema where DocID=%1")
                       .arg(kDoc));
    r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/schemaid:1"));
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(cells(r)["A2"].text, "dbo");   // the run's connection is the registered login's

    // Registering again with a wrong password updates the one row, and the run can no longer
    // open the data server.
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("wrong"), kStoredPasswordKey));
    EXPECT_EQ(scalar(*admin, QStringLiteral("select count(*) from mat..tbOrraConnections")).toLongLong(), 1);
    r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/schemaid:1"));
    EXPECT_EQ(r.exitCode, launcher::ExitConnectionFailed) << r.err.toStdString();
}

TEST_F(AdminLauncher, RegistrationRefusesAnEmptyServerAnEmptyKeyAndAKeyTheRunCannotRead)
{
    frmRegister dialog;
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Register Server"));
    EXPECT_EQ(dialog.txtUserPwd()->echoMode(), QLineEdit::Password);
    EXPECT_FALSE(dialog.cmdRegister_Click());   // no server: nothing asked, nothing said
    EXPECT_TRUE(scripted.prompts.isEmpty());
    EXPECT_TRUE(scripted.messages.isEmpty());

    dialog.txtServer()->setText(QStringLiteral("other"));
    dialog.txtUserPwd()->setText(QStringLiteral("pw"));
    EXPECT_FALSE(dialog.cmdRegister_Click());   // the key box cancelled
    EXPECT_EQ(scripted.prompts.last(), QStringLiteral("Key:|Key"));
    EXPECT_EQ(scripted.last(), QStringLiteral("Please input a valid key"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.txtServer()->text(), QStringLiteral("other"));

    scripted.inputs.enqueue(QStringLiteral("mykey"));
    EXPECT_FALSE(dialog.cmdRegister_Click());
    EXPECT_TRUE(scripted.last().startsWith(QStringLiteral("This key is not the one with which the run-time library")));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(scalar(*admin, QStringLiteral("select count(*) from mat..tbOrraConnections")).toLongLong(), 0);

    // A failed write is not reported as success: no catalogue connection.
    setMainConnection(nullptr);
    scripted.inputs.enqueue(kStoredPasswordKey);
    EXPECT_FALSE(dialog.cmdRegister_Click());
    EXPECT_EQ(scripted.last(),
        QStringLiteral("The server could not be registered: the connection registry could not be written."));
    EXPECT_TRUE(dialog.isVisible());
    setMainConnection(main);

    // Values reach SQL bound: quotes are stored as typed.
    dialog.txtServer()->setText(QStringLiteral("o'ther"));
    dialog.txtIP()->setText(QStringLiteral("10.0.0.1'; drop table x"));
    scripted.inputs.enqueue(kStoredPasswordKey);
    EXPECT_TRUE(dialog.cmdRegister_Click());
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(scalar(*admin, QStringLiteral("select IP from mat..tbOrraConnections where Server='o''ther'")).toString(),
        QStringLiteral("10.0.0.1'; drop table x"));
    // An empty user name is stored as such (Windows authentication).
    EXPECT_EQ(
        scalar(*admin, QStringLiteral("select UserName from mat..tbOrraConnections where Server='o''ther'")).toString(),
        QString());
}

TEST_F(AdminLauncher, UnRegisterAsksFirstAndSaysOnlyWhatHappened)
{
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("secret"), kStoredPasswordKey));
    scripted.messages.clear();

    mnuFileUnRegisterServer_Click();   // the name box cancelled: nothing
    EXPECT_EQ(scripted.prompts.last(),
        QStringLiteral("Please input Server Name that will be unregistered|UnRegister Server"));
    EXPECT_TRUE(scripted.messages.isEmpty());

    scripted.inputs.enqueue(QStringLiteral("nosuch"));
    mnuFileUnRegisterServer_Click();
    EXPECT_EQ(scripted.last(), QStringLiteral("The server 'nosuch' is not registered."));

    scripted.inputs.enqueue(server());
    scripted.answers.enqueue(vbNo);
    mnuFileUnRegisterServer_Click();
    EXPECT_EQ(scripted.last(), QStringLiteral("The server 'permsrv' will be unregistered. Are you sure?"));
    EXPECT_TRUE(registryValue(QStringLiteral("Server")).isValid());

    scripted.inputs.enqueue(server());
    scripted.answers.enqueue(vbYes);
    mnuFileUnRegisterServer_Click();
    EXPECT_EQ(scripted.last(), QStringLiteral("permsrv Unregistered succesfully"));
    EXPECT_FALSE(registryValue(QStringLiteral("Server")).isValid());
}

TEST_F(AdminLauncher, ASchemaMadeInTheDialogIsTheOneTheLauncherRunsWith)
{
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("secret"), kStoredPasswordKey));
    frmCallSchema d;
    d.DocID = kDoc;
    d.show();
    d.lvSchema()->topLevelItem(0)->setText(0, QStringLiteral("First"));
    ASSERT_TRUE(d.SetParameterValue(QStringLiteral("B0.0.P_Who"), QStringLiteral("Ayşe")));
    ASSERT_TRUE(d.SaveSchema());
    d.SchemaRow(QStringLiteral("New"))->setText(0, QStringLiteral("Second"));
    ASSERT_TRUE(d.SetParameterValue(QStringLiteral("B0.0.P_Who"), QStringLiteral("Barış")));
    ASSERT_TRUE(d.SaveSchema());

    Run r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/schemaid:1"));
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(cells(r)["B2"].text, "Ayşe");
    r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/schemaid:2"));
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(cells(r)["B2"].text, "Barış");
    r = dornel(QStringLiteral("sa"), QStringLiteral("secret"), QStringLiteral("/schemaid:3"));
    EXPECT_EQ(r.exitCode, launcher::ExitNoSchema);
}

TEST_F(AdminLauncher, ASecondLoginRunsOnlyWithTheRightsGrantedInTheDialog)
{
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("secret"), kStoredPasswordKey));
    admin->execute(
        QStringLiteral("insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (%1, 1, 's', null)")
            .arg(kDoc));
    admin->execute(QStringLiteral(
        "insert into tbOrraCallSchemaDetail select ID, 'B0.0.P_Who', 'x' from tbOrraCallSchema where DocID=%1")
                       .arg(kDoc));

    Run r = dornel(QStringLiteral("bob"), QStringLiteral("pw_bob"), QStringLiteral("/schemaid:1"));
    EXPECT_EQ(r.exitCode, launcher::ExitFailed) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains(QStringLiteral("User does not have permission"))) << r.err.toStdString();

    onModal = [](QDialog* dialog) {
        auto* picker = qobject_cast<frmUsers*>(dialog);
        for (int row = 0; picker && row < picker->fgUsers()->rowCount(); ++row)
            if (picker->fgUsers()->item(row, 1)->text() == QLatin1String("bob"))
                picker->fgUsers()->setCurrentCell(row, 0);
        if (picker) picker->cmdOK_Click();
        return 1;
    };
    frmProperties d;
    d.ObjectID = kDoc;
    d.show();
    d.cmdAdd_Click();
    ASSERT_TRUE(d.ClickCell(5, 1));   // Execute, and with it Edit
    ASSERT_TRUE(d.cmdApply_Click());
    r = dornel(QStringLiteral("bob"), QStringLiteral("pw_bob"), QStringLiteral("/schemaid:1"));
    ASSERT_EQ(r.exitCode, launcher::ExitFinished) << r.err.toStdString();
    EXPECT_EQ(cells(r)["A2"].text, "dbo");
    EXPECT_EQ(cells(r)["B2"].text, "x");
    const QStringList exportedBefore = exported();

    ASSERT_TRUE(d.ClickCell(5, 2));   // deny Execute: denies Edit too, so bob cannot even load it
    ASSERT_TRUE(d.cmdApply_Click());
    r = dornel(QStringLiteral("bob"), QStringLiteral("pw_bob"), QStringLiteral("/schemaid:1"));
    EXPECT_EQ(r.exitCode, launcher::ExitFailed);
    EXPECT_TRUE(r.err.contains(QStringLiteral("User does not have permission to load document")))
        << r.err.toStdString();

    ASSERT_TRUE(d.ClickCell(2, 2));   // Edit no longer denied: bob loads it but may not run it
    ASSERT_TRUE(d.cmdApply_Click());
    r = dornel(QStringLiteral("bob"), QStringLiteral("pw_bob"), QStringLiteral("/schemaid:1"));
    EXPECT_NE(r.exitCode, launcher::ExitFinished);
    EXPECT_TRUE(exported().isEmpty() || exportedBefore == exported());
    EXPECT_TRUE(r.err.contains(QStringLiteral("User does not have permission to run document"))) << r.err.toStdString();
}

TEST_F(AdminLauncher, ExecuteRunsTheDocumentAsTheDesignersLogin)
{
    // The operating-system user may run what the category holds: the launcher must not fall
    // back on it.
    const QString os = embedded::osUserName();
    embedded::createLogin(server(), os, QString(), true);
    const long osUid = embedded::createUser(server(), database(), os, os);
    embedded::createUser(server(), QStringLiteral("mat"), os, os);
    allowCategory(1, osUid, rightEdit | rightExecute, 0);
    ASSERT_TRUE(registerServer(QStringLiteral("sa"), QStringLiteral("secret"), kStoredPasswordKey));
    addDocument(41, 1, QStringLiteral("Plain"),
        QStringLiteral("<Document ID=\"B0\" Server=\"permsrv\"><![CDATA[plain]]><Block ID=\"B0.0\" Name=\"b\">"
                       "<![CDATA[select 1 N into #Report]]></Block></Document>"));
    allowDoc(41, bob, rightEdit, rightExecute);   // bob may open it, not run it
    logOnAs(QStringLiteral("bob"), QStringLiteral("pw_bob"));
    setCatalogueServerName(server());
    setCatalogueDatabaseName(database());

    // In dornel's place: a script that runs it and records what it was given and how it ended.
    const QString record = m_dir.filePath(QStringLiteral("execute.txt"));
    const QString wrapper = m_dir.filePath(QStringLiteral("dornel-wrapper"));
    QFile script(wrapper);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(
        QStringLiteral("#!/bin/sh\n"
                       "if [ -n \"$ORRA_PASSWORD\" ]; then pw=given; else pw=none; fi\n"
                       "'%1/launcher/dornel' \"$@\" >/dev/null 2>'%2.err'\n"
                       "status=$?\n"
                       "printf '%s|%s|%s|%s\\n' \"$*\" \"$pw\" \"$status\" \"$(tr '\\n' ' ' < '%2.err')\" >> '%2'\n")
            .arg(QString::fromUtf8(ORRA_BINARY_DIR), record)
            .toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    qputenv("ORRA_DORNEL", wrapper.toUtf8());
    qputenv("ORRA_EXPORT_DIR", m_dir.filePath(QStringLiteral("export")).toUtf8());
    qputenv("ORRA_LOG_DIR", m_dir.path().toUtf8());
    qputenv("ORRA_NO_OPEN", "1");
    const auto runs = [&](int expected) {
        QStringList lines;
        for (int waited = 0; waited < 60000 && lines.size() < expected; waited += 100) {
            QTest::qWait(100);
            QFile f(record);
            if (f.open(QIODevice::ReadOnly))
                lines = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        }
        return lines;
    };

    ASSERT_TRUE(ExecuteDocument(41));
    QStringList lines = runs(1);
    ASSERT_EQ(lines.size(), 1);
    QStringList run = lines[0].split(QLatin1Char('|'));
    EXPECT_EQ(run[0], QStringLiteral("/Server:permsrv /DB:cat /docid:41 /userid:bob"));   // no password there
    EXPECT_EQ(run[1], QStringLiteral("given"));
    EXPECT_EQ(run[2].toInt(), launcher::ExitRunError);
    EXPECT_TRUE(run[3].contains(QStringLiteral("User does not have permission to run document")))
        << run[3].toStdString();
    EXPECT_TRUE(exported().isEmpty());

    // Granted the right, the same login runs it.
    admin->execute(QStringLiteral("delete tbOrraDocPermissions where OrraID=41"));
    allowDoc(41, bob, rightEdit | rightExecute, 0);
    ASSERT_TRUE(ExecuteDocument(41));
    lines = runs(2);
    ASSERT_EQ(lines.size(), 2);
    run = lines[1].split(QLatin1Char('|'));
    EXPECT_EQ(run[2].toInt(), launcher::ExitFinished) << run[3].toStdString();
    EXPECT_EQ(exported().size(), 1);
    for (const char* name : {"ORRA_DORNEL", "ORRA_EXPORT_DIR", "ORRA_LOG_DIR", "ORRA_NO_OPEN"}) qunsetenv(name);
}

}   // namespace
