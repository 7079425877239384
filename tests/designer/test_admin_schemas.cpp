// The call schema manager on an embedded catalogue: the parameter tree of a three-level include
// chain (bound, "fact" and "htext" parameters left out), schemas created with the identity of
// their own row and the next SchemaID, values and descriptions written bound in one
// transaction, the row "*" that never overwrites the schema shown, questions before switching,
// closing and deleting, and stored values whose parameter is gone.

#include "AdminTestSupport.h"

#include "designer/catalogue/frmCallSchema.h"
#include "platform/widgets/KeyedTree.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTreeWidget>

using namespace orra;
using namespace morvane;

namespace {

constexpr long kTop = 23;

class AdminSchemas : public test::AdminTest {
protected:
    void SetUp() override
    {
        AdminTest::SetUp();
        addCategory(1, 0, QStringLiteral("Sales"));
        addDocument(21, 1, QStringLiteral("Leaf"),
            QStringLiteral("<Document ID=\"B0\"><Parameter ID=\"B0.P_X\" Name=\"X\" Type=\"text\"/>"
                           "<Parameter ID=\"B0.P_F\" Name=\"F\" Type=\"fact\"/>"
                           "<Block ID=\"B0.0\" Name=\"leafblock\"><![CDATA[select 1]]></Block></Document>"));
        addDocument(22, 1, QStringLiteral("Middle"),
            QStringLiteral("<Document ID=\"B0\"><Parameter ID=\"B0.P_M\" Name=\"M\" Behaviour=\"static\"/>"
                           "<Parameter ID=\"B0.P_H\" Name=\"H\" Type=\"htext\"/>"
                           "<Block ID=\"B0.0\" Name=\"mid\"><Include ID=\"B0.0.I0\" Name=\"Include:Leaf\" "
                           "DocID=\"21\"/></Block></Document>"));
        addDocument(kTop, 1, QStringLiteral("Top"),
            QStringLiteral(
                "<Document ID=\"B0\"><Parameter ID=\"B0.P_T\" Name=\"T\"/><Block ID=\"B0.0\" Name=\"empty\"/>"
                "<Include ID=\"B0.I0\" Name=\"Include:Middle\" DocID=\"22\"><Inheritance PID=\"B0.P_M\" "
                "RID=\"B0.P_T\"/></Include>"
                "</Document>"));
        // Schemas of another document, so that identities and SchemaIDs differ.
        admin->execute(QStringLiteral(
            "insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (21, 1, 'a', null)"));
        admin->execute(QStringLiteral(
            "insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (21, 2, 'b', null)"));
    }

    std::unique_ptr<frmCallSchema> open(long doc = kTop)
    {
        auto d = std::make_unique<frmCallSchema>();
        d->DocID = doc;
        d->show();
        return d;
    }
    static QStringList rowTexts(frmCallSchema& d)
    {
        QStringList texts;
        for (int i = 0; i < d.lvSchema()->topLevelItemCount(); ++i) texts << d.lvSchema()->topLevelItem(i)->text(0);
        return texts;
    }
    // Ends a label edit of the row as the list does.
    static void typeRowName(QTreeWidgetItem* row, const QString& text) { row->setText(0, text); }

    QStringList details(long schemaRowId)
    {
        QStringList out;
        db::RecordsetPtr rs = admin->execute(
            QStringLiteral("select ParamID, ParamVal from tbOrraCallSchemaDetail where ParentID=%1 order by ParamID")
                .arg(schemaRowId));
        for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext())
            out << rs->value(0).toString() + QLatin1Char('=')
                    + (rs->value(1).isNull() ? QStringLiteral("NULL") : rs->value(1).toString());
        return out;
    }
    long schemaRowId(long schemaId)
    {
        return long(scalar(*admin,
            QStringLiteral("select ID from tbOrraCallSchema where DocID=%1 and SchemaID=%2").arg(kTop).arg(schemaId))
                        .toLongLong());
    }
};

const QString kT = QStringLiteral("B0.P_T");
const QString kX = QStringLiteral("B0.I0|B0.0.I0|B0.P_X");

TEST_F(AdminSchemas, TheTreeShowsThePromptParametersOfTheIncludeChain)
{
    auto d = open();
    EXPECT_EQ(d->windowTitle(), QStringLiteral("Schemas"));
    KeyedTree* tree = d->tvDocument();
    ASSERT_EQ(tree->topLevelItemCount(), 1);
    QTreeWidgetItem* root = tree->topLevelItem(0);
    EXPECT_EQ(root->text(0), QStringLiteral("Document"));
    EXPECT_EQ(KeyedTree::key(root), QStringLiteral("B0"));
    EXPECT_EQ(d->ParameterKeys(), (QStringList{kT, kX}));
    ASSERT_EQ(root->childCount(), 2);   // T, then the include; the empty block is not shown
    EXPECT_EQ(root->child(0)->text(0), QStringLiteral("T:NULL"));
    EXPECT_EQ(root->child(0)->background(0).color(), QColor(255, 255, 0));
    QTreeWidgetItem* middle = root->child(1);
    EXPECT_EQ(middle->text(0), QStringLiteral("Include:Middle"));
    EXPECT_EQ(KeyedTree::image(middle), QStringLiteral("Include"));
    EXPECT_EQ(KeyedTree::tag(middle).toString(), QStringLiteral("Include"));
    // M is bound by the Inheritance, H is "htext": only the block with the nested include.
    ASSERT_EQ(middle->childCount(), 1);
    QTreeWidgetItem* mid = middle->child(0);
    EXPECT_EQ(mid->text(0), QStringLiteral("mid"));
    EXPECT_EQ(KeyedTree::tag(mid).toString(), QStringLiteral("IBlock"));
    EXPECT_EQ(KeyedTree::image(mid), QStringLiteral("IBlock"));
    EXPECT_EQ(KeyedTree::selectedImage(mid), QStringLiteral("SBlock"));
    EXPECT_FALSE(mid->icon(0).isNull());
    EXPECT_EQ(KeyedTree::image(root->child(0)), QStringLiteral("Parameter"));
    ASSERT_EQ(mid->childCount(), 1);
    EXPECT_EQ(mid->child(0)->text(0), QStringLiteral("Include:Leaf"));
    ASSERT_EQ(mid->child(0)->childCount(), 1);   // X; F is "fact"; leafblock has no parameter
    EXPECT_EQ(mid->child(0)->child(0)->text(0), QStringLiteral("X:NULL"));
    EXPECT_EQ(rowTexts(*d), QStringList{"*"});
    EXPECT_FALSE(d->tvDocument()->isEnabled());   // the row "*" is selected
    EXPECT_TRUE(scripted.messages.isEmpty()) << scripted.messages.join('|').toStdString();
}

TEST_F(AdminSchemas, ANewSchemaTakesItsOwnRowsIdentityAndTheNextSchemaID)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("Weekly"));
    EXPECT_EQ(rowTexts(*d), (QStringList{"Weekly", "*"}));
    const long id = schemaRowId(1);
    ASSERT_GT(id, 0);
    EXPECT_EQ(d->CurrentSchemaID(), id);
    EXPECT_EQ(d->lvSchema()->topLevelItem(0)->text(1), QStringLiteral("1"));
    EXPECT_EQ(details(id), (QStringList{kX + "=NULL", kT + "=NULL"}));
    EXPECT_TRUE(d->tvDocument()->isEnabled());
    EXPECT_EQ(
        scalar(*admin, QStringLiteral("select Name from tbOrraCallSchema where ID=%1").arg(id)).toString().trimmed(),
        QStringLiteral("Weekly"));

    typeRowName(d->lvSchema()->topLevelItem(1), QStringLiteral("O'Brien's"));
    EXPECT_EQ(d->CurrentSchemaID(), schemaRowId(2));
    EXPECT_NE(schemaRowId(2), id);
    EXPECT_EQ(rowTexts(*d), (QStringList{"Weekly", "O'Brien's", "*"}));
    EXPECT_EQ(long(scalar(*admin, QStringLiteral("select count(*) from tbOrraCallSchema where DocID=%1").arg(kTop))
                       .toLongLong()),
        2);

    // An empty name creates nothing.
    typeRowName(d->lvSchema()->topLevelItem(2), QString());
    EXPECT_EQ(scripted.last(), QStringLiteral("Must be a valid name"));
    EXPECT_EQ(rowTexts(*d), (QStringList{"Weekly", "O'Brien's", "*"}));
}

TEST_F(AdminSchemas, ValuesAndDescriptionAreSavedBoundInOneTransaction)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("Weekly"));
    const long id = d->CurrentSchemaID();
    EXPECT_FALSE(d->Changed());
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("T:12:30")));   // the name typed in front is dropped
    EXPECT_EQ(d->FindParameterNode(kT)->text(0), QStringLiteral("T:12:30"));
    EXPECT_EQ(d->FindParameterNode(kT)->background(0).color(), QColor(255, 255, 255));
    ASSERT_TRUE(d->SetParameterValue(kX, QStringLiteral("O'Brien")));
    d->txtDescription()->setPlainText(QStringLiteral("it's weekly"));
    EXPECT_TRUE(d->Changed());
    ASSERT_TRUE(d->SaveSchema());
    EXPECT_FALSE(d->Changed());
    EXPECT_EQ(details(id), (QStringList{kX + "=O'Brien", kT + "=12:30"}));
    EXPECT_EQ(scalar(*admin, QStringLiteral("select Description from tbOrraCallSchema where ID=%1").arg(id))
                  .toString()
                  .trimmed(),
        QStringLiteral("it's weekly"));

    // "NULL" typed and the Delete key give no value.
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("NULL")));
    d->tvDocument()->setCurrentItem(d->FindParameterNode(kX));
    QTest::keyClick(d->tvDocument(), Qt::Key_Delete);
    EXPECT_EQ(d->FindParameterNode(kX)->text(0), QStringLiteral("X:NULL"));
    ASSERT_TRUE(d->SaveSchema());
    EXPECT_EQ(details(id), (QStringList{kX + "=NULL", kT + "=NULL"}));

    // A label edit in the tree ends the same way.
    QTreeWidgetItem* node = d->FindParameterNode(kT);
    node->setText(0, QStringLiteral("7"));
    EXPECT_EQ(node->text(0), QStringLiteral("T:7"));
    EXPECT_EQ(d->ParameterValue(kT), QStringLiteral("7"));
}

TEST_F(AdminSchemas, TheNewRowNeverOverwritesTheSchemaShown)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("Weekly"));
    const long id = d->CurrentSchemaID();
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("5")));
    ASSERT_TRUE(d->SaveSchema());

    ASSERT_TRUE(d->SelectSchemaRow(d->SchemaRow(QStringLiteral("New"))));
    EXPECT_EQ(d->CurrentSchemaID(), 0);
    EXPECT_FALSE(d->tvDocument()->isEnabled());
    EXPECT_FALSE(d->txtDescription()->isEnabled());
    EXPECT_EQ(d->FindParameterNode(kT)->text(0), QStringLiteral("T:NULL"));
    EXPECT_FALSE(d->SetParameterValue(kT, QStringLiteral("9")));
    ASSERT_TRUE(d->SaveSchema());
    d->reject();
    EXPECT_EQ(details(id), (QStringList{kX + "=NULL", kT + "=5"}));
    EXPECT_FALSE(d->isVisible());
}

TEST_F(AdminSchemas, SwitchingAndClosingWithUnsavedValuesAsk)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("One"));
    typeRowName(d->lvSchema()->topLevelItem(1), QStringLiteral("Two"));
    const long one = schemaRowId(1), two = schemaRowId(2);
    ASSERT_EQ(d->CurrentSchemaID(), two);
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("2")));

    // Cancel stays on the schema with its edit.
    scripted.answers.enqueue(vbCancel);
    EXPECT_FALSE(d->SelectSchemaRow(d->lvSchema()->topLevelItem(0)));
    EXPECT_EQ(scripted.last(), QStringLiteral("Current Schema changed, Do you want to save"));
    EXPECT_EQ(scripted.titles.last(), QStringLiteral("Save"));
    EXPECT_EQ(d->CurrentSchemaID(), two);
    EXPECT_EQ(d->ParameterValue(kT), QStringLiteral("2"));

    // Yes saves and switches; each schema shows its own values.
    scripted.answers.enqueue(vbYes);
    d->lvSchema()->setCurrentItem(d->lvSchema()->topLevelItem(0));
    EXPECT_EQ(d->CurrentSchemaID(), one);
    EXPECT_EQ(d->ParameterValue(kT), QString());
    EXPECT_EQ(details(two), (QStringList{kX + "=NULL", kT + "=2"}));

    // No discards.
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("1")));
    scripted.answers.enqueue(vbNo);
    ASSERT_TRUE(d->SelectSchemaRow(d->lvSchema()->topLevelItem(1)));
    EXPECT_EQ(d->ParameterValue(kT), QStringLiteral("2"));
    EXPECT_EQ(details(one), (QStringList{kX + "=NULL", kT + "=NULL"}));

    // Closing: Cancel stays, Yes saves and closes.
    ASSERT_TRUE(d->SetParameterValue(kX, QStringLiteral("x")));
    scripted.answers.enqueue(vbCancel);
    d->reject();
    EXPECT_TRUE(d->isVisible());
    scripted.answers.enqueue(vbYes);
    d->reject();
    EXPECT_FALSE(d->isVisible());
    EXPECT_EQ(details(two), (QStringList{kX + "=x", kT + "=2"}));
}

TEST_F(AdminSchemas, DeleteAsksAndTakesTheValuesWithTheSchema)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("One"));
    typeRowName(d->lvSchema()->topLevelItem(1), QStringLiteral("Two"));
    const long two = schemaRowId(2);
    d->lvSchema()->setCurrentItem(d->lvSchema()->topLevelItem(1));
    scripted.answers.enqueue(vbNo);
    QTest::keyClick(d->lvSchema(), Qt::Key_Delete);
    EXPECT_EQ(scripted.last(), QStringLiteral("Two schema will be delete. Are you sure?"));
    EXPECT_EQ(rowTexts(*d), (QStringList{"One", "Two", "*"}));
    scripted.answers.enqueue(vbYes);
    QTest::keyClick(d->lvSchema(), Qt::Key_Delete);
    EXPECT_EQ(rowTexts(*d), (QStringList{"One", "*"}));
    EXPECT_TRUE(details(two).isEmpty());
    EXPECT_EQ(
        long(scalar(*admin, QStringLiteral("select count(*) from tbOrraCallSchema where ID=%1").arg(two)).toLongLong()),
        0);
    // The deleted schema's values are no longer shown: the first row is.
    EXPECT_EQ(d->CurrentSchemaID(), schemaRowId(1));
    // The row "*" cannot be deleted.
    d->lvSchema()->setCurrentItem(d->SchemaRow(QStringLiteral("New")));
    const int asked = scripted.messages.size();
    QTest::keyClick(d->lvSchema(), Qt::Key_Delete);
    EXPECT_EQ(scripted.messages.size(), asked);
    EXPECT_EQ(rowTexts(*d), (QStringList{"One", "*"}));

    // The next schema's number is the highest plus one.
    typeRowName(d->SchemaRow(QStringLiteral("New")), QStringLiteral("Three"));
    EXPECT_EQ(d->lvSchema()->topLevelItem(1)->text(1), QStringLiteral("2"));
}

TEST_F(AdminSchemas, RenamingWritesAtOnceAndRefusesAnEmptyName)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("One"));
    const long one = schemaRowId(1);
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("Bir'inci"));
    EXPECT_EQ(
        scalar(*admin, QStringLiteral("select Name from tbOrraCallSchema where ID=%1").arg(one)).toString().trimmed(),
        QStringLiteral("Bir'inci"));
    typeRowName(d->lvSchema()->topLevelItem(0), QString());
    EXPECT_EQ(scripted.last(), QStringLiteral("Must be a valid name"));
    EXPECT_EQ(d->lvSchema()->topLevelItem(0)->text(0), QStringLiteral("Bir'inci"));
}

TEST_F(AdminSchemas, AStoredValueOfAParameterThatIsGoneIsOfferedForRemoval)
{
    admin->execute(QStringLiteral(
        "insert into tbOrraCallSchema (DocID, SchemaID, Name, Description) values (%1, 1, 'Old', 'kept')")
                       .arg(kTop));
    const long id = schemaRowId(1);
    admin->execute(
        QStringLiteral("insert into tbOrraCallSchemaDetail values (%1, 'B0.P_T', '4'), (%1, 'B0.P_Gone', '1')")
            .arg(id));
    scripted.answers.enqueue(vbNo);
    auto d = open();
    EXPECT_EQ(d->CurrentSchemaID(), id);
    EXPECT_EQ(d->ParameterValue(kT), QStringLiteral("4"));
    EXPECT_EQ(d->ParameterValue(kX), QString());
    EXPECT_EQ(d->txtDescription()->toPlainText(), QStringLiteral("kept"));
    EXPECT_EQ(scripted.last(),
        QStringLiteral("Could not found 'B0.P_Gone' parameter in the schema\r\n"
                       "It may be deleted or type changed or an inheritance added\r\n"
                       "Would you like do remove it from schema?"));
    EXPECT_EQ(scripted.titles.last(), QStringLiteral("Error"));
    EXPECT_EQ(details(id), (QStringList{"B0.P_Gone=1", "B0.P_T=4"}));
    EXPECT_FALSE(d->Changed());
    d.reset();

    scripted.answers.enqueue(vbYes);
    d = open();
    EXPECT_EQ(details(id), QStringList{"B0.P_T=4"});
}

TEST_F(AdminSchemas, ADocumentWithoutPromptParametersShowsOnlyItsRoot)
{
    auto d = open(21 + 0);   // Leaf: X is a prompt parameter
    EXPECT_EQ(d->ParameterKeys(), QStringList{"B0.P_X"});
    addDocument(30, 1, QStringLiteral("Plain"),
        QStringLiteral("<Document ID=\"B0\"><Block ID=\"B0.0\" Name=\"b\"/></Document>"));
    auto plain = open(30);
    EXPECT_EQ(plain->tvDocument()->topLevelItem(0)->childCount(), 0);
    typeRowName(plain->lvSchema()->topLevelItem(0), QStringLiteral("Empty"));
    const long id = long(scalar(*admin, QStringLiteral("select ID from tbOrraCallSchema where DocID=30")).toLongLong());
    EXPECT_GT(id, 0);
    EXPECT_TRUE(details(id).isEmpty());
}

}   // namespace

namespace {

TEST_F(AdminSchemas, AFailedSaveRollsBackAndKeepsTheEdits)
{
    auto d = open();
    typeRowName(d->lvSchema()->topLevelItem(0), QStringLiteral("One"));
    const long id = d->CurrentSchemaID();
    ASSERT_TRUE(d->SetParameterValue(kT, QStringLiteral("3")));
    admin->execute(QStringLiteral("delete from tbOrraCallSchema where ID=%1").arg(id));   // gone under the dialog
    EXPECT_FALSE(d->SaveSchema());
    EXPECT_FALSE(scripted.messages.isEmpty());
    EXPECT_TRUE(d->Changed());
    EXPECT_EQ(d->ParameterValue(kT), QStringLiteral("3"));
    EXPECT_EQ(main->transactionLevel(), 0);
    EXPECT_TRUE(details(id).isEmpty());
}

}   // namespace
