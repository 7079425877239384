#pragma once
// The call schema manager "Schemas" of one document: the document's stored call schemas
// (lvSchema, then the row "*" that creates a new one), and for the schema shown its description
// and a value per prompt parameter in the tree of the document's parameters (tvDocument: its
// blocks and includes, expanded, with the parameters of included documents that the including
// one does not bind). A parameter node reads "name:value"; "NULL" is no value (yellow).
//
// Creating, renaming and deleting a schema write at once (deleting after a question); the
// values and the description are written by SaveSchema, in one transaction. Edits not yet saved
// are kept until the user decides: selecting another schema or closing asks whether to save
// them (Cancel stays). While the row "*" is selected nothing can be edited, so that a save can
// never overwrite the schema shown before. Every value typed reaches SQL bound.

#include "common/Xml.h"

#include <QDialog>
#include <QStringList>

class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace orra {
class KeyedTree;
}

namespace morvane {

class frmCallSchema : public QDialog {
    Q_OBJECT
public:
    explicit frmCallSchema(QWidget* parent = nullptr);
    ~frmCallSchema() override;

    long DocID = 0;

    orra::KeyedTree* tvDocument() const { return m_tree; }
    QTreeWidget* lvSchema() const { return m_schemas; }
    QPlainTextEdit* txtDescription() const { return m_description; }
    QLineEdit* txtPath() const { return m_path; }

    // Loads the document's parameter tree and its schemas (runs once, when first shown).
    void Activate();

    // The tbOrraCallSchema.ID of the schema shown; 0 while the row "*" is selected.
    long CurrentSchemaID() const { return m_currentSchema; }
    bool Changed() const { return m_changed; }
    // The keys of the parameter nodes in the tree's order.
    QStringList ParameterKeys() const { return m_parameterKeys; }
    QTreeWidgetItem* FindParameterNode(const QString& key) const;
    // A parameter's value; a null string for NULL.
    QString ParameterValue(const QString& key) const;

    // As the end of a label edit with text typed: "name:" in front is dropped, "NULL" is no value.
    bool SetParameterValue(const QString& key, const QString& typed);
    // As the Delete key on a parameter node: no value.
    bool ClearParameterValue(const QString& key);

    // Selects a row of lvSchema as a click does (asking first about unsaved edits); false when
    // the user chose to stay.
    bool SelectSchemaRow(QTreeWidgetItem* row);
    // The row of schema ID id, or the row "*" for "New".
    QTreeWidgetItem* SchemaRow(const QString& key) const;

    bool CreateSchema(const QString& name);
    bool RenameSchema(QTreeWidgetItem* row, const QString& name);
    // Asks, then deletes the schema of row with its values; false when kept.
    bool DeleteSchema(QTreeWidgetItem* row);
    // Writes the description and every value of the schema shown; false (after a message, the
    // edits kept) on a failure.
    bool SaveSchema();

public:
    // Closing: the window's close box, Esc.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LoadSchemaDocument();
    void BuildParameterTree(const QString& parentKey, orra::xml::Node element, bool inherited);
    void ListSchemas();
    void ClearSchemaValues();
    void LoadSchemaValues();
    void showValue(QTreeWidgetItem* node, const QVariant& value);
    void addNewRow();
    void schemaRowEdited(QTreeWidgetItem* row, int column);
    void treeItemEdited(QTreeWidgetItem* node, int column);
    void setEditingEnabled(bool on);
    bool resolveUnsaved();

    orra::KeyedTree* m_tree = nullptr;
    QTreeWidget* m_schemas = nullptr;
    QPlainTextEdit* m_description = nullptr;
    QLineEdit* m_path = nullptr;

    QStringList m_parameterKeys;
    long m_currentSchema = 0;
    QTreeWidgetItem* m_currentRow = nullptr;
    bool m_changed = false;
    bool m_updating = false;
    bool m_activated = false;
};

}   // namespace morvane
