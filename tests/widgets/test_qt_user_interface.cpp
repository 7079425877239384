#include "platform/widgets/LogOnDialog.h"
#include "platform/widgets/QtUserInterface.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>

using namespace orra;

namespace {

class QtUi : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_widgets";
        static char* argv[] = {name, nullptr};
        if (!qApp) new QApplication(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Morvane"));
    }
};

// Runs f on the next modal dialog once it is shown.
void whenModal(std::function<void(QWidget*)> f)
{
    // Each pending timer holds the poll; the poll holds no reference to itself.
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [f, weak = std::weak_ptr<std::function<void()>>(poll)] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            f(w);
            return;
        }
        if (auto self = weak.lock()) QTimer::singleShot(10, [self] { (*self)(); });
    };
    QTimer::singleShot(0, [poll] { (*poll)(); });
}

}   // namespace

TEST_F(QtUi, MessageBoxHasTheStylesButtonsDefaultAndAnswer)
{
    QtUserInterface ui;
    QString seenText, seenTitle;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int buttons = 0;
    QMessageBox::StandardButton def = QMessageBox::NoButton;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        ASSERT_TRUE(box);
        seenText = box->text();
        seenTitle = box->windowTitle();
        icon = box->icon();
        buttons = int(box->buttons().size());
        def = box->standardButton(box->defaultButton());
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(ui.messageBox("Delete it?", vbYesNo | vbQuestion | vbDefaultButton2), vbYes);
    EXPECT_EQ(seenText, "Delete it?");
    EXPECT_EQ(seenTitle, "Morvane");
    EXPECT_EQ(icon, QMessageBox::Question);
    EXPECT_EQ(buttons, 2);
    EXPECT_EQ(def, QMessageBox::No);

    whenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Cancel)->click(); });
    EXPECT_EQ(ui.messageBox("Save?", vbYesNoCancel, "Title"), vbCancel);
    whenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->button(QMessageBox::Retry)->click(); });
    EXPECT_EQ(ui.messageBox("Again?", vbAbortRetryIgnore), vbRetry);
    whenModal([](QWidget* w) { qobject_cast<QMessageBox*>(w)->reject(); });   // Esc in an OK box
    EXPECT_EQ(ui.messageBox("Done"), vbOK);
}

TEST_F(QtUi, InputBoxTellsCancelFromEmpty)
{
    QtUserInterface ui;
    QString label;
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<QInputDialog*>(w);
        ASSERT_TRUE(d);
        label = d->labelText();
        EXPECT_EQ(d->textValue(), "default");
        d->setTextValue("typed");
        d->accept();
    });
    bool cancelled = true;
    EXPECT_EQ(ui.inputBox("Key:", "Key", "default", &cancelled), "typed");
    EXPECT_FALSE(cancelled);
    EXPECT_EQ(label, "Key:");

    whenModal([](QWidget* w) { qobject_cast<QInputDialog*>(w)->reject(); });
    EXPECT_EQ(ui.inputBox("Key:", "Key", "default", &cancelled), "");
    EXPECT_TRUE(cancelled);
}

TEST_F(QtUi, ReportErrorShowsABoxTitledWithTheSource)
{
    QtUserInterface ui;
    QString title, text;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        title = box->windowTitle();
        text = box->text();
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Ok)->click();
    });
    EXPECT_NO_THROW(ui.reportError(-1, "DocOrra::LoadDocument", "Document not found"));
    EXPECT_EQ(title, "DocOrra::LoadDocument");
    EXPECT_EQ(text, "Document not found");
}

TEST_F(QtUi, LogOnDialogAnswersTheRequest)
{
    QtUserInterface ui;
    LogOnRequest request;
    request.server = "demo";
    request.database = "catalogue";
    request.message = "Login failed for user 'sa'.";
    bool messageShown = false, passwordHidden = false;
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<LogOnDialog*>(w);
        ASSERT_TRUE(d);
        messageShown = d->findChild<QLabel*>("message")->text() == "Login failed for user 'sa'.";
        EXPECT_EQ(d->findChild<QLineEdit*>("server")->text(), "demo");
        EXPECT_EQ(d->findChild<QLineEdit*>("database")->text(), "catalogue");
        passwordHidden = d->findChild<QLineEdit*>("password")->echoMode() == QLineEdit::Password;
        d->findChild<QLineEdit*>("login")->setText("sa");
        d->findChild<QLineEdit*>("password")->setText("s;e}cret");
        d->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok)->click();
    });
    ASSERT_TRUE(ui.logOn(request));
    EXPECT_TRUE(messageShown);
    EXPECT_TRUE(passwordHidden);
    EXPECT_EQ(request.server, "demo");
    EXPECT_EQ(request.database, "catalogue");
    EXPECT_FALSE(request.trusted);
    EXPECT_EQ(request.login, "sa");
    EXPECT_EQ(request.password, "s;e}cret");
}

TEST_F(QtUi, TrustedLogOnTakesNoLogin)
{
    QtUserInterface ui;
    LogOnRequest request;
    request.server = "demo";
    request.login = "old";
    bool loginDisabled = false;
    whenModal([&](QWidget* w) {
        auto* d = qobject_cast<LogOnDialog*>(w);
        d->findChild<QCheckBox*>("trusted")->setChecked(true);
        loginDisabled =
            !d->findChild<QLineEdit*>("login")->isEnabled() && !d->findChild<QLineEdit*>("password")->isEnabled();
        d->accept();
    });
    ASSERT_TRUE(ui.logOn(request));
    EXPECT_TRUE(loginDisabled);
    EXPECT_TRUE(request.trusted);
    EXPECT_TRUE(request.login.isEmpty());
}

TEST_F(QtUi, CancelledLogOnLeavesTheRequest)
{
    QtUserInterface ui;
    LogOnRequest request;
    request.server = "demo";
    request.login = "sa";
    whenModal([](QWidget* w) {
        auto* d = qobject_cast<LogOnDialog*>(w);
        d->findChild<QLineEdit*>("login")->setText("changed");
        d->findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Cancel)->click();
    });
    EXPECT_FALSE(ui.logOn(request));
    EXPECT_EQ(request.login, "sa");
}

TEST_F(QtUi, LogOnNeedsAServerName)
{
    LogOnRequest request;
    LogOnDialog d(request);
    auto* ok = d.findChild<QDialogButtonBox*>("buttons")->button(QDialogButtonBox::Ok);
    EXPECT_FALSE(ok->isEnabled());
    d.findChild<QLineEdit*>("server")->setText("demo");
    EXPECT_TRUE(ok->isEnabled());
    EXPECT_TRUE(d.findChild<QLabel*>("message")->isHidden());
}
