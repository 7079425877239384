#include "platform/host/Error.h"
#include "platform/host/UserInterface.h"

#include <gtest/gtest.h>

using namespace orra;

TEST(HeadlessUserInterface, MessageBoxesTakeTheDefaultButtonAndErrorsAreThrown)
{
    UserInterface& ui = userInterface();
    EXPECT_FALSE(ui.interactive());
    EXPECT_EQ(ui.messageBox("hello"), vbOK);
    EXPECT_EQ(ui.messageBox("sure?", vbYesNo), vbYes);
    EXPECT_EQ(ui.messageBox("sure?", vbYesNo + vbDefaultButton2), vbNo);
    EXPECT_EQ(ui.messageBox("sure?", vbYesNoCancel + vbDefaultButton3), vbCancel);
    bool cancelled = true;
    EXPECT_EQ(ui.inputBox("Name?", "T", "abc", &cancelled), "abc");
    EXPECT_FALSE(cancelled);
    LogOnRequest request;
    EXPECT_FALSE(ui.logOn(request));
    try {
        ui.reportError(-1, "Src", "Permission Denied");
        FAIL() << "headless reportError must throw";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.source(), "Src");
        EXPECT_EQ(e.description(), "Permission Denied");
    }
}

namespace {
struct Recording : HeadlessUserInterface {
    bool interactive() const override { return true; }
    void reportError(long, const QString&, const QString& d, const QString&) override { shown = d; }
    QString shown;
};
}   // namespace

TEST(HeadlessUserInterface, AnInstalledInterfaceReplacesTheHeadlessOneUntilRemoved)
{
    Recording rec;
    setUserInterface(&rec);
    userInterface().reportError(5, "x", "shown in a box");
    EXPECT_EQ(rec.shown, "shown in a box");
    setUserInterface(nullptr);
    EXPECT_FALSE(userInterface().interactive());
}
