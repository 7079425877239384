#pragma once
// The dialog "Save As..": the catalogue's categories and documents in its own tree, the path of
// the chosen category and the document name. OK with a name that the chosen category already
// holds asks before it overwrites that document; the caller reads ObjectID (-1 for a new name,
// else the existing document), CategoryID and flagIsOK.

#include <QDialog>

class QLineEdit;
class QPushButton;
class QTreeWidgetItem;

namespace orra {
class ImageList;
class KeyedTree;
}   // namespace orra

namespace morvane {

class frmSaveAs : public QDialog {
    Q_OBJECT
public:
    explicit frmSaveAs(QWidget* parent = nullptr);
    ~frmSaveAs() override;

    // Set by the caller: the window's document and its category. Returned: -1 when the name
    // is new in the chosen category, else the ID of the document of that name; the category.
    long ObjectID = 0;
    long CategoryID = 0;
    // True after OK, false after Cancel.
    bool flagIsOK = false;

    orra::KeyedTree* tvOrra() const { return m_tvOrra; }
    QLineEdit* txtCategoryName() const { return m_txtCategoryName; }
    QLineEdit* txtDocumentName() const { return m_txtDocumentName; }
    QPushButton* cmdOK() const { return m_cmdOK; }
    QPushButton* cmdCancel() const { return m_cmdCancel; }

    // Fills the tree with the whole catalogue, selects the category CategoryID and takes the
    // name of document ObjectID into txtDocumentName (all its text selected). A failure is
    // shown and leaves what was filled.
    void Form_Activate();
    // A click on a node of the tree: a category gives the category path; a document gives its
    // category's path and its name.
    void NodeClick(QTreeWidgetItem* node);
    void cmdOK_Click();
    void cmdCancel_Click();
    // The ID of the document named exactly as txtDocumentName at the selected node, else -1.
    long ExistingDocumentID() const;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    orra::ImageList* m_images = nullptr;
    orra::KeyedTree* m_tvOrra = nullptr;
    QLineEdit* m_txtCategoryName = nullptr;
    QLineEdit* m_txtDocumentName = nullptr;
    QPushButton* m_cmdOK = nullptr;
    QPushButton* m_cmdCancel = nullptr;
};

}   // namespace morvane
