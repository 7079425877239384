// The desktop parameter prompt: the form on its own, and a real run of a document whose block
// asks one parameter of each type, answered through the form's widgets.
#include "criteria/CriteriaValues.h"
#include "criteria/frmMultiSelectRecord.h"
#include "criteria/frmSelectRecord.h"
#include "criteria/rptCriteria.h"
#include "platform/widgets/FlexGrid.h"
#include "runtime/prompt/frmRunBlock.h"
#include "tests/runtime/EngineFixture.h"

#include "TestSupport.h"

#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

using namespace orra;

namespace {

PromptCriterion criterion(const QString& id, const QString& caption, const QString& type,
    const QString& initial = QString(), const QString& optional = QString())
{
    PromptCriterion c;
    c.ID = id;
    c.Aciklama = caption;
    c.Tip = type;
    c.InitialDeger = initial;
    c.OptionalParam = optional;
    c.Name = caption;
    return c;
}

QStringList answerTexts(const QList<PromptAnswer>& answers)
{
    QStringList out;
    for (const PromptAnswer& a : answers) out << a.ID + QLatin1Char('=') + a.Value;
    return out;
}

class Prompt : public ::testing::Test {
protected:
    test::SampleDatabase db;
    test::MessageRecorder ui;
    RunBlockPrompt prompt;
};

}   // namespace

TEST_F(Prompt, FormCaptionsAndLayout)
{
    frmRunBlock form;
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Form1"));
    // A screen reader names the prompt and its grid by what they ask, not by the caption.
    EXPECT_EQ(form.accessibleName(), QStringLiteral("Parametreler"));
    EXPECT_EQ(form.rptCriteria1()->grdCriteria()->accessibleName(), QStringLiteral("Kriterler"));
    EXPECT_EQ(form.cmdRun()->text(), QStringLiteral("Tamam"));
    EXPECT_EQ(form.cmdCancel()->text(), QStringLiteral("İptal"));
    EXPECT_FALSE(form.IsOK);
    EXPECT_TRUE(form.cmdRun()->isEnabled());
    form.resize(500, 400);
    test::showActive(&form);
    // The control fills the form above the buttons; the buttons sit at the bottom right,
    // "Tamam" left of "İptal", also after a resize.
    for (QSize size : {QSize(500, 400), QSize(900, 600)}) {
        form.resize(size);
        QTest::qWait(20);
        const QRect control = form.rptCriteria1()->geometry();
        const QRect run = form.cmdRun()->geometry();
        const QRect cancel = form.cmdCancel()->geometry();
        EXPECT_LT(control.bottom(), run.top());
        EXPECT_LT(run.right(), cancel.left());
        EXPECT_EQ(run.top(), cancel.top());
        EXPECT_GT(cancel.right(), form.width() - 30);
        EXPECT_GT(cancel.bottom(), form.height() - 30);
        EXPECT_GT(control.width(), form.width() - 40);
    }
    form.cmdCancel()->click();
}

TEST_F(Prompt, NotShownWhenNobodyNeedsToAnswer)
{
    PromptRequest r;
    r.title = QStringLiteral("Quiet");
    r.connection = db.connection;
    r.criteria << criterion("F1", "Count", "fact", "select count(*) from city")
               << criterion("H1", "Heading", "htext", "shown") << criterion("F2", "Fixed", "fact", "x");
    r.mustShow = false;
    bool shown = false;
    QPointer<QTimer> watch = test::onNextModal([&](QWidget* w) {
        shown = true;
        static_cast<QDialog*>(w)->reject();
    });
    QList<PromptAnswer> answers;
    EXPECT_TRUE(prompt.ask(r, answers));
    delete watch.data();
    EXPECT_FALSE(shown);
    EXPECT_EQ(answerTexts(answers), (QStringList{"F1=4", "H1=", "F2=x"}));
}

TEST_F(Prompt, ShownAnsweredAndCollected)
{
    PromptRequest r;
    r.title = QStringLiteral("Sales by city");
    r.connection = db.connection;
    r.criteria << criterion("P1", "Name", "text", "Ali") << criterion("P2", "Fixed", "fact", "f")
               << criterion("P3", "Region", "combo", "West", "select distinct region from city order by region");
    r.mustShow = true;
    QString title;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        title = form->windowTitle();
        rptCriteria* c = form->rptCriteria1();
        EXPECT_EQ(c->CriteriaCount(), 3);
        EXPECT_EQ(c->connection(), db.connection);
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaText());   // the first row is ready to type in
        QTest::keyClicks(c->grdCriteriaText(), QStringLiteral("Veli"));
        QTest::keyClick(c->grdCriteriaText(), Qt::Key_Down);
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaCombo());
        QTest::keyClick(c->grdCriteria(), Qt::Key_Return);
        c->grdCriteriaCombo()->lineEdit()->selectAll();
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("North"));
        // "Tamam" straight from the list editor: its text is taken as the focus leaves it.
        QTest::mouseClick(form->cmdRun(), Qt::LeftButton);
    });
    QList<PromptAnswer> answers;
    EXPECT_TRUE(prompt.ask(r, answers));
    EXPECT_EQ(title, QStringLiteral("Sales by city"));
    EXPECT_EQ(answerTexts(answers), (QStringList{"P1=Veli", "P2=f", "P3=North"}));
}

TEST_F(Prompt, CancelAnswersNothing)
{
    PromptRequest r;
    r.title = QStringLiteral("Ask");
    r.criteria << criterion("P1", "Name", "text", "Ali");
    r.mustShow = true;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        QTest::keyClicks(form->rptCriteria1()->grdCriteriaText(), QStringLiteral("changed"));
        form->cmdCancel()->click();
    });
    QList<PromptAnswer> answers;
    EXPECT_FALSE(prompt.ask(r, answers));
    EXPECT_TRUE(answers.isEmpty());
}

TEST_F(Prompt, FailingInitialValueIsThatError)
{
    PromptRequest r;
    r.title = QStringLiteral("Ask");
    r.connection = db.connection;
    r.criteria << criterion("P1", "Name", "text", "Ali") << criterion("P2", "Broken", "fact", "select x from nowhere");
    r.mustShow = true;
    bool shown = false;
    QPointer<QTimer> watch = test::onNextModal([&](QWidget* w) {
        shown = true;
        static_cast<QDialog*>(w)->reject();
    });
    QList<PromptAnswer> answers;
    try {
        prompt.ask(r, answers);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.description().contains(QStringLiteral("nowhere"))) << e.description().toStdString();
    }
    delete watch.data();
    EXPECT_FALSE(shown);
    EXPECT_TRUE(answers.isEmpty());
}

// ---------------------------------------------------------------- keyboard and reading

TEST_F(Prompt, CtrlEnterSubmitsFromAnEditorWhileEnterKeepsItsGridMeaning)
{
    PromptRequest r;
    r.title = QStringLiteral("Keys");
    r.connection = db.connection;
    r.criteria << criterion("P1", "Name", "text", "Ali") << criterion("P2", "Code", "text", "X");
    r.mustShow = true;
    bool stillOpenAfterEnter = false;
    bool runIsDefault = false;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        runIsDefault = form->cmdRun()->isDefault();
        rptCriteria* c = form->rptCriteria1();
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaText());
        QTest::keyClicks(c->grdCriteriaText(), QStringLiteral("Veli"));
        // Enter stores the cell and gives the focus to the grid; Enter there opens the editor
        // again. Neither submits.
        QTest::keyClick(c->grdCriteriaText(), Qt::Key_Return);
        QTest::keyClick(c->grdCriteria(), Qt::Key_Return);
        stillOpenAfterEnter = form->isVisible() && c->grdCriteriaText()->hasFocus();
        QTest::keyClick(c->grdCriteriaText(), Qt::Key_End);
        QTest::keyClicks(c->grdCriteriaText(), QStringLiteral("!"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return, Qt::ControlModifier);
    });
    QList<PromptAnswer> answers;
    EXPECT_TRUE(prompt.ask(r, answers));
    EXPECT_TRUE(runIsDefault);
    EXPECT_TRUE(stillOpenAfterEnter);
    EXPECT_EQ(answerTexts(answers), (QStringList{"P1=Veli!", "P2=X"}));
}

TEST_F(Prompt, EscapeInAnEditorRevertsTheCellAndEscapeOnTheGridCancels)
{
    PromptRequest r;
    r.title = QStringLiteral("Escape");
    r.connection = db.connection;
    r.criteria << criterion("P1", "Name", "text", "Ali") << criterion("P2", "Day", "date", "20250102");
    r.mustShow = true;
    QStringList afterEscape;
    bool openAfterFirstEscape = false;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        rptCriteria* c = form->rptCriteria1();
        FlexGrid* grid = c->grdCriteria();
        QTest::keyClicks(c->grdCriteriaText(), QStringLiteral("typed"));
        QTest::keyClick(c->grdCriteriaText(), Qt::Key_Escape);
        openAfterFirstEscape = form->isVisible();
        afterEscape << grid->textMatrix(1, 1) << QString::number(c->grdCriteriaText()->isVisible());
        // The date editor: a changed day, then Escape, leaves the cell's date.
        QTest::keyClick(grid, Qt::Key_Down);
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaDate());
        QTest::keyClick(grid, Qt::Key_Return);
        c->grdCriteriaDate()->setDate(QDate(2030, 5, 6));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        afterEscape << grid->textMatrix(2, 1);
        // Escape with no editor open cancels the prompt.
        QTest::keyClick(grid, Qt::Key_Escape);
    });
    QList<PromptAnswer> answers;
    EXPECT_FALSE(prompt.ask(r, answers));
    EXPECT_TRUE(openAfterFirstEscape);
    EXPECT_EQ(afterEscape, (QStringList{"Ali", "0", criteria::dateCellText(QDate(2025, 1, 2))}));
    EXPECT_TRUE(answers.isEmpty());
}

TEST_F(Prompt, DatesShowInTheShortFormAndReachTheEngineAsYyyymmdd)
{
    PromptRequest r;
    r.title = QStringLiteral("Dates");
    r.connection = db.connection;
    r.criteria << criterion("D1", "From query", "date", "2025-12-31 12:00:00")
               << criterion("D2", "Compact", "date", "20251215") << criterion("D3", "None", "date", "18991230")
               << criterion("D4", "Empty", "date", "");
    r.mustShow = true;
    QStringList cells;
    QString editorFormat, emptyEditorText;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        rptCriteria* c = form->rptCriteria1();
        for (int row = 1; row <= 4; ++row) cells << c->grdCriteria()->textMatrix(row, 1);
        editorFormat = c->grdCriteriaDate()->displayFormat();
        QTest::keyClick(c->grdCriteria(), Qt::Key_Down);
        QTest::keyClick(c->grdCriteria(), Qt::Key_Down);
        QTest::keyClick(c->grdCriteria(), Qt::Key_Return);   // the editor over "no date"
        emptyEditorText = c->grdCriteriaDate()->text().trimmed();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        form->cmdRun()->click();
    });
    QList<PromptAnswer> answers;
    EXPECT_TRUE(prompt.ask(r, answers));
    EXPECT_EQ(cells,
        (QStringList{criteria::dateCellText(QDate(2025, 12, 31)), criteria::dateCellText(QDate(2025, 12, 15)),
            QString(), QString()}));
    EXPECT_EQ(editorFormat, criteria::dateCellFormat());
    EXPECT_EQ(emptyEditorText, QString());
    EXPECT_EQ(answerTexts(answers), (QStringList{"D1=20251231", "D2=20251215", "D3=", "D4="}));
}

TEST_F(Prompt, LongTextsCanBeReadWholeAndWidenTheForm)
{
    const QString caption = QStringLiteral("The customer's trading name on the invoice");
    const QString value = QStringLiteral("Anatolian Textile Incorporated");
    PromptRequest r;
    r.title = QStringLiteral("Long");
    r.connection = db.connection;
    r.criteria << criterion("P1", caption, "text", value);
    r.mustShow = true;
    QStringList tips;
    int formWidth = 0, designWidth = 0, wanted = 0;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        FlexGrid* grid = form->rptCriteria1()->grdCriteria();
        tips << grid->item(0, 0)->toolTip() << grid->item(0, 1)->toolTip();
        formWidth = form->width();
        designWidth = frmRunBlock().width();
        wanted = grid->fontMetrics().horizontalAdvance(value);
        form->cmdCancel()->click();
    });
    QList<PromptAnswer> answers;
    EXPECT_FALSE(prompt.ask(r, answers));
    EXPECT_EQ(tips, (QStringList{caption, value}));
    EXPECT_GT(formWidth, designWidth);
    // The value column (two fifths of the grid) holds the whole value.
    EXPECT_GE(formWidth * 2 / 5, wanted);
}

TEST_F(Prompt, AFailingListReportsOverTheVisiblePrompt)
{
    PromptRequest r;
    r.title = QStringLiteral("List");
    r.connection = db.connection;
    r.criteria << criterion("P1", "Region", "combo", "West", "select region from nowhere");
    r.mustShow = true;
    QPointer<frmRunBlock> form;
    bool visibleAtMessage = false;
    class VisibilityRecorder : public test::MessageRecorder {
    public:
        std::function<void()> onMessage;
        int messageBox(const QString& text, int buttons, const QString& title) override
        {
            if (onMessage) onMessage();
            return MessageRecorder::messageBox(text, buttons, title);
        }
    } recorder;
    recorder.onMessage = [&] { visibleAtMessage = form && form->isVisible(); };
    test::onNextModal([&](QWidget* w) {
        form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form.data(), nullptr);
        QTest::qWait(30);
        form->cmdCancel()->click();
    });
    // The form is looked for before it is shown, so that the message can tell whether it was.
    QTimer::singleShot(0, [&] {
        for (QWidget* top : QApplication::topLevelWidgets())
            if (auto* f = qobject_cast<frmRunBlock*>(top)) form = f;
    });
    QList<PromptAnswer> answers;
    EXPECT_FALSE(prompt.ask(r, answers));
    ASSERT_EQ(recorder.messages.size(), 1);
    EXPECT_TRUE(recorder.messages.first().contains(QStringLiteral("nowhere")));
    EXPECT_TRUE(visibleAtMessage);
}

TEST_F(Prompt, MessagesGoToTheUserInterfaceOfTheHostThatAsks)
{
    test::MessageRecorder host(false);   // the host's own, not the process's
    PromptRequest r;
    r.title = QStringLiteral("List");
    r.connection = db.connection;
    r.userInterface = &host;
    r.criteria << criterion("P1", "Region", "combo", "West", "select region from nowhere");
    r.mustShow = true;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        QTest::qWait(30);
        form->cmdCancel()->click();
    });
    QList<PromptAnswer> answers;
    EXPECT_FALSE(prompt.ask(r, answers));
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains(QStringLiteral("nowhere")));
    EXPECT_TRUE(ui.messages.isEmpty());
}

// ---------------------------------------------------------------- a real run

namespace {

QString esc(const QString& s)
{
    QString r = s;
    r.replace(QLatin1Char('&'), QLatin1String("&amp;"));
    r.replace(QLatin1Char('"'), QLatin1String("&quot;"));
    r.replace(QLatin1Char('<'), QLatin1String("&lt;"));
    r.replace(QLatin1Char('>'), QLatin1String("&gt;"));
    return r;
}

QString param(const QString& name, const QString& caption, const QString& type, const QString& value,
    const QString& source = QString(), const QString& returnCol = QString(), const QString& pickerCaption = QString(),
    const QString& selection = QString())
{
    return QStringLiteral("<Parameter ID=\"B0.0.P_%1\" Name=\"%1\" Caption=\"%2\" DefaultValue=\"%3\" Type=\"%4\" "
                          "Source=\"%5\" ReturnCol=\"%6\" Prompt=\"%7\" SelectionType=\"%8\" Behaviour=\"dynamic\"/>")
        .arg(name, esc(caption), esc(value), type, esc(source), returnCol, esc(pickerCaption), selection);
}

class PromptRun : public test::EngineTest {
protected:
    void SetUp() override
    {
        test::EngineTest::SetUp();
        setParameterPrompt(&m_prompt);
        m_run->execute(QStringLiteral("create table City (Code varchar(5), Name varchar(50))"));
        for (const char* row : {"('A', 'Adana')", "('B', 'Bursa')", "('C', 'Corum')", "('D', 'Denizli')"})
            m_run->execute(QStringLiteral("insert into City (Code, Name) values ") + QString::fromLatin1(row));
        // One parameter of each type; the block writes every value into the trace.
        const QString sql =
            test::traceSql(QStringLiteral("<$Name%>|<$Head%>|<$City%>|<$Code%>|<$Codes%>|<$Day%>|<$Count%>|<$Five%>"));
        m_doc = test::documentXml(test::block(QStringLiteral("B0.0"), sql,
            param("Name", "Customer name", "text", "Ali") + param("Head", "Filters", "htext", "")
                + param("City", "City", "combo", "select Name from City where Code = 'B'",
                    "select Name from City order by Name")
                + param("Code", "City code", "button", "A", "select Code, Name from City order by Code", "Code",
                    "Choose a city", "single")
                + param("Codes", "City codes", "Button", " A, ,C", "select Name, Code from City order by Code", "Code",
                    "Choose cities", "multi")
                + param("Day", "Day", "date", "20240131") + param("Count", "Count", "fact", "select count(*) from City")
                + param("Five", "Five", "FACT", "sql:select 5"),
            QStringLiteral("Sales report")));
    }

    RunBlockPrompt m_prompt;
    QString m_doc;
};

}   // namespace

TEST_F(PromptRun, EveryTypeAnsweredThroughTheFormReachesThePlaceholders)
{
    auto engine = engineFor(addDocument(m_doc));
    QStringList seen;
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        seen << form->windowTitle();
        rptCriteria* c = form->rptCriteria1();
        FlexGrid* grid = c->grdCriteria();
        ASSERT_EQ(grid->rows(), 7);   // header + six rows; the facts take none
        for (int r = 1; r <= 6; ++r) seen << grid->textMatrix(r, 0) + QLatin1Char('=') + grid->textMatrix(r, 1);

        // Row 1, text: type a new name and go down.
        QTest::keyClicks(c->grdCriteriaText(), QStringLiteral("Veli"));
        QTest::keyClick(c->grdCriteriaText(), Qt::Key_Down);
        // Row 2, heading: no editor; go down to the list.
        EXPECT_EQ(c->activeEditor(), nullptr);
        QTest::keyClick(grid, Qt::Key_Down);
        // Row 3, list: pick the last entry with the keyboard.
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaCombo());
        EXPECT_EQ(c->grdCriteriaCombo()->count(), 4);
        QTest::keyClick(grid, Qt::Key_Return);
        c->grdCriteriaCombo()->setCurrentIndex(3);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(grid->textMatrix(3, 1), QStringLiteral("Denizli"));
        // Row 4, single picker behind its row button: choose C.
        test::onNextModal([&](QWidget* p) {
            auto* picker = qobject_cast<frmSelectRecord*>(p);
            ASSERT_NE(picker, nullptr);
            seen << picker->windowTitle();
            EXPECT_EQ(picker->dg()->currentRow(), 0);   // the current value A
            QTest::keyClick(picker->dg(), Qt::Key_Down);
            QTest::keyClick(picker->dg(), Qt::Key_Down);
            QTest::keyClick(picker->dg(), Qt::Key_Return);
        });
        QTest::mouseClick(c->grdCriteriaButton(1), Qt::LeftButton);
        // Row 5, multi picker: A and C come pre-selected; add D.
        test::onNextModal([&](QWidget* p) {
            auto* picker = qobject_cast<frmMultiSelectRecord*>(p);
            ASSERT_NE(picker, nullptr);
            seen << picker->windowTitle();
            QTreeWidget* lv = picker->lv();
            const QRect d = lv->visualItemRect(lv->topLevelItem(3));
            QTest::mouseClick(lv->viewport(), Qt::LeftButton, Qt::ControlModifier, d.center());
            picker->cmdOk()->click();
        });
        QTest::mouseClick(c->grdCriteriaButton(2), Qt::LeftButton);
        // The offscreen platform does not hand the activation back when a picker closes.
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form));
        // Row 6, date: a new day typed into the editor.
        const QRect dayCell = grid->cellRect(6, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, dayCell.center());
        ASSERT_EQ(c->activeEditor(), c->grdCriteriaDate());
        QTest::keyClick(grid, Qt::Key_Return);
        c->grdCriteriaDate()->setSelectedSection(QDateTimeEdit::DaySection);
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("15"));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);

        QTest::mouseClick(form->cmdRun(), Qt::LeftButton);
    });
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    EXPECT_EQ(seen,
        (QStringList{"Sales report", "Customer name=Ali", "Filters=", "City=Bursa", "City code=A", "City codes= A, ,C",
            "Day=" + criteria::dateCellText(QDate(2024, 1, 31)), "Choose a city", "Choose cities"}));
    EXPECT_EQ(trace(), QStringList{"Veli||Denizli|C|A,C,D|20240115|4|5"});
}

TEST_F(PromptRun, APickerThatFailsReportsToTheEnginesHost)
{
    const QString doc = test::documentXml(test::block(QStringLiteral("B0.0"),
        test::traceSql(QStringLiteral("<$Code%>")),
        param("Code", "City code", "button", "A", "select Code from NoSuchCity", "Code", "Choose a city", "single")));
    auto engine = engineFor(addDocument(doc));
    test::MessageRecorder host(false);   // the host's own, not the process's
    RunBlockPrompt hostPrompt;
    engine->setHost(RunHost{&host, &hostPrompt, {}});
    setParameterPrompt(nullptr);   // the process's prompt (headless) would refuse to ask
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        // The picker's query fails: its message, and no picker.
        QTest::mouseClick(form->rptCriteria1()->grdCriteriaButton(1), Qt::LeftButton);
        QTest::mouseClick(form->cmdCancel(), Qt::LeftButton);
    });
    try {
        engine->RunDocument();
        ADD_FAILURE() << "the run went on";
    } catch (const Error& e) {
        EXPECT_EQ(e.description(), QStringLiteral("Document Canceled"));
    }
    ASSERT_EQ(host.messages.size(), 1);
    EXPECT_TRUE(host.messages.first().contains(QStringLiteral("NoSuchCity"))) << host.messages.first().toStdString();
    EXPECT_TRUE(m_ui.boxes.isEmpty());
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(PromptRun, CancelStopsTheRunWithDocumentCanceled)
{
    auto engine = engineFor(addDocument(m_doc));
    test::onNextModal([&](QWidget* w) {
        auto* form = qobject_cast<frmRunBlock*>(w);
        ASSERT_NE(form, nullptr);
        QTest::mouseClick(form->cmdCancel(), Qt::LeftButton);
    });
    try {
        engine->RunDocument();
        ADD_FAILURE() << "the run went on";
    } catch (const Error& e) {
        EXPECT_EQ(e.number(), -1);
        EXPECT_EQ(e.description(), QStringLiteral("Document Canceled"));
    }
    EXPECT_TRUE(trace().isEmpty());
}

TEST_F(PromptRun, FactsAndHeadingsAloneShowNoForm)
{
    const QString doc =
        test::documentXml(test::block(QStringLiteral("B0.0"), test::traceSql(QStringLiteral("<$Count%>|<$Head%>")),
            param("Count", "Count", "fact", "select count(*) from City") + param("Head", "Heading", "htext", "x")));
    auto engine = engineFor(addDocument(doc));
    bool shown = false;
    QPointer<QTimer> watch = test::onNextModal([&](QWidget* w) {
        shown = true;
        static_cast<QDialog*>(w)->reject();
    });
    EXPECT_EQ(engine->RunDocument(), 0.0f);
    delete watch.data();
    EXPECT_FALSE(shown);
    EXPECT_EQ(trace(), QStringList{"4|"});
}
