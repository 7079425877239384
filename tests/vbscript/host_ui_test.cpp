// The script engine's own user interface: MsgBox and InputBox of an engine given one reach it,
// not the process's nor another engine's; an engine given none uses the process's.

#include "platform/host/UserInterface.h"
#include "platform/vbscript/ScriptEngine.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace orra::vbs;

namespace {

// Records every box as "title|style|text" and answers with its own values.
class AnsweringUI : public orra::HeadlessUserInterface {
public:
    AnsweringUI(int box, QString input) : boxAnswer(box), inputAnswer(std::move(input)) {}
    int boxAnswer;
    QString inputAnswer;
    QStringList shown;
    int yields = 0;
    int messageBox(const QString& text, int style, const QString& title) override
    {
        shown << title + QLatin1Char('|') + QString::number(style) + QLatin1Char('|') + text;
        return boxAnswer;
    }
    QString inputBox(const QString& prompt, const QString& title, const QString& defaultValue, bool* cancelled) override
    {
        shown << title + QStringLiteral("|input|") + prompt + QLatin1Char('=') + defaultValue;
        if (cancelled) *cancelled = false;
        return inputAnswer;
    }
    void processEvents() override { ++yields; }
};

// The number of the error code ends with; 0 when it ends well.
long errorNumberOf(ScriptEngine& e, const char* code)
{
    try {
        e.executeStatement(code);
    } catch (const ScriptError& error) {
        return error.number();
    }
    return 0;
}

struct ProcessUi {
    AnsweringUI ui{orra::vbOK, QStringLiteral("process")};
    ProcessUi() { orra::setUserInterface(&ui); }
    ~ProcessUi() { orra::setUserInterface(nullptr); }
};

}   // namespace

TEST(ScriptEngineUserInterface, EachEnginesBoxesReachItsOwnInterface)
{
    ProcessUi process;
    AnsweringUI first(orra::vbYes, QStringLiteral("Ada")), second(orra::vbNo, QStringLiteral("Bob"));
    ScriptEngine a, b;
    a.setUserInterface(&first);
    b.setUserInterface(&second);
    EXPECT_EQ(&a.userInterface(), &first);
    EXPECT_EQ(&b.userInterface(), &second);

    EXPECT_EQ(a.eval("MsgBox(\"Go on?\", vbYesNo + vbQuestion, \"A\")").rawInt(), 6);
    EXPECT_EQ(b.eval("MsgBox(\"Go on?\", vbYesNo, \"B\")").rawInt(), 7);
    EXPECT_EQ(a.eval("InputBox(\"Name?\", \"A\", \"x\")").toString(), "Ada");
    EXPECT_EQ(b.eval("InputBox(\"Name?\", \"B\")").toString(), "Bob");

    EXPECT_EQ(first.shown, (QStringList{"A|36|Go on?", "A|input|Name?=x"}));
    EXPECT_EQ(second.shown, (QStringList{"B|4|Go on?", "B|input|Name?="}));
    EXPECT_TRUE(process.ui.shown.isEmpty());
}

TEST(ScriptEngineUserInterface, AnEngineGivenNoneUsesTheProcesssAsItIsAtEachBox)
{
    ScriptEngine e;
    {
        ProcessUi process;
        EXPECT_EQ(&e.userInterface(), &process.ui);
        EXPECT_EQ(e.eval("InputBox(\"Name?\")").toString(), "process");
        e.executeStatement("MsgBox \"hello\"");
        EXPECT_EQ(process.ui.shown, (QStringList{"|input|Name?=", "|0|hello"}));
    }
    // Given one, then none again: back to the process's.
    AnsweringUI own(orra::vbOK, QString());
    e.setUserInterface(&own);
    e.executeStatement("MsgBox \"own\"");
    e.setUserInterface(nullptr);
    ProcessUi later;
    e.executeStatement("MsgBox \"later\"");
    EXPECT_EQ(own.shown, QStringList{"|0|own"});
    EXPECT_EQ(later.ui.shown, QStringList{"|0|later"});
}

TEST(ScriptEngineUserInterface, WithoutUiNoInterfaceIsReached)
{
    ProcessUi process;
    AnsweringUI own(orra::vbOK, QString());
    ScriptEngine e;
    e.setUserInterface(&own);
    e.setAllowUI(false);
    EXPECT_EQ(errorNumberOf(e, "MsgBox \"x\""), 70);   // Permission denied
    EXPECT_TRUE(own.shown.isEmpty());
    EXPECT_TRUE(process.ui.shown.isEmpty());
}

TEST(ScriptEngineUserInterface, AYieldHookReachesTheEnginesInterface)
{
    ProcessUi process;
    AnsweringUI own(orra::vbOK, QString());
    ScriptEngine e;
    e.setUserInterface(&own);
    // The host's stop button is pressed at its third turn.
    e.setYield([&e, &own] {
        e.userInterface().processEvents();
        if (own.yields == 3) e.requestCancel();
    });
    EXPECT_EQ(errorNumberOf(e, "Do\n  n = n + 1\nLoop"), kErrorCancelled);
    EXPECT_EQ(own.yields, 3);
    EXPECT_EQ(process.ui.yields, 0);
}
