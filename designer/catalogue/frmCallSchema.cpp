#include "designer/catalogue/frmCallSchema.h"

#include "common/IncludeExpansion.h"
#include "designer/catalogue/AdminSupport.h"
#include "designer/catalogue/CatalogueImages.h"
#include "platform/host/UserInterface.h"
#include "platform/widgets/KeyedTree.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QTreeWidget>

namespace morvane {

using orra::Error;
using orra::KeyedTree;
namespace xml = orra::xml;

namespace {
constexpr int kKeyRole = Qt::UserRole + 40;     // lvSchema: "K" & ID, or "New"
constexpr int kNameRole = Qt::UserRole + 41;    // lvSchema: the stored name; tvDocument: the parameter's name
constexpr int kValueRole = Qt::UserRole + 42;   // tvDocument: the value (invalid for NULL)
const QColor kNullColour(255, 255, 0);
const QColor kValueColour(255, 255, 255);
const QColor kDisabledValueText(96, 96, 96);
const QString kParameterTag = QStringLiteral("Parameter");
const QString kNewKey = QStringLiteral("New");

// The catalogue's images, with the keys of this tree that draw like one of them: elements of
// included documents ("I" first), selected states ("S" first), static parameters.
const orra::ImageList& schemaImages()
{
    static const orra::ImageList images = [] {
        orra::ImageList list = CatalogueImageList();
        for (const char* tag : {"Block", "Include", "Parameter"}) {
            const QString key = QString::fromLatin1(tag);
            list.add(QStringLiteral("I") + key, list.icon(key));
            list.add(QStringLiteral("S") + key, list.icon(key));
        }
        list.add(QStringLiteral("Parameter_static"), list.icon(QStringLiteral("Parameter")));
        return list;
    }();
    return images;
}
}   // namespace

frmCallSchema::frmCallSchema(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmCallSchema"));
    setWindowTitle(QStringLiteral("Schemas"));
    m_tree = new KeyedTree;
    m_tree->setObjectName(QStringLiteral("tvDocument"));
    m_tree->setAccessibleName(QStringLiteral("Parameters"));
    m_tree->setImageList(&schemaImages());
    // The parameters' values sit on fixed yellow and white: the disabled text stays dark enough
    // to be read on both.
    QPalette treePalette = m_tree->palette();
    treePalette.setColor(QPalette::Disabled, QPalette::Text, kDisabledValueText);
    m_tree->setPalette(treePalette);
    m_tree->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_schemas = new QTreeWidget;
    m_schemas->setObjectName(QStringLiteral("lvSchema"));
    m_schemas->setAccessibleName(QStringLiteral("Schemas"));
    m_schemas->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("SchemaID")});
    m_schemas->setRootIsDecorated(false);
    m_schemas->setEditTriggers(
        QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
    m_schemas->header()->resizeSection(0, 220);
    m_description = new QPlainTextEdit;
    m_description->setObjectName(QStringLiteral("txtDescription"));
    m_description->setAccessibleName(QStringLiteral("Description"));
    m_description->setTabChangesFocus(true);
    m_path = new QLineEdit;
    m_path->setObjectName(QStringLiteral("txtPath"));
    m_path->setAccessibleName(QStringLiteral("Path for Dornel"));
    m_path->setReadOnly(true);
    auto* descriptionLabel = new QLabel(QStringLiteral("Description"));
    descriptionLabel->setBuddy(m_description);
    auto* pathLabel = new QLabel(QStringLiteral("Path for Dornel"));
    pathLabel->setBuddy(m_path);

    auto* layout = new QGridLayout(this);
    layout->addWidget(m_tree, 0, 0, 5, 1);
    layout->addWidget(m_schemas, 0, 1);
    layout->addWidget(descriptionLabel, 1, 1);
    layout->addWidget(m_description, 2, 1);
    layout->addWidget(pathLabel, 3, 1);
    layout->addWidget(m_path, 4, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 1);
    resize(720, 440);

    m_schemas->installEventFilter(this);
    m_tree->installEventFilter(this);
    m_path->installEventFilter(this);
    connect(m_schemas, &QTreeWidget::itemChanged, this, &frmCallSchema::schemaRowEdited);
    connect(m_tree, &QTreeWidget::itemChanged, this, &frmCallSchema::treeItemEdited);
    connect(
        m_schemas, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* current, QTreeWidgetItem* previous) {
            if (m_updating || !current || current == m_currentRow) return;
            if (!SelectSchemaRow(current)) {
                // Stay on the row whose edits are still open.
                QSignalBlocker block(m_schemas);
                m_schemas->setCurrentItem(previous);
            }
        });
    connect(m_description, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_updating) m_changed = true;
    });
}

frmCallSchema::~frmCallSchema() = default;

void frmCallSchema::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_activated) Activate();
}

void frmCallSchema::Activate()
{
    m_activated = true;
    try {
        LoadSchemaDocument();
        ListSchemas();
    } catch (const Error& e) {
        admin::showError(e);
    }
}

// --- The parameter tree -------------------------------------------------------------------

void frmCallSchema::LoadSchemaDocument()
{
    m_updating = true;
    m_tree->clear();
    m_parameterKeys.clear();
    const QString db = admin::catalogueDb();
    orra::db::RecordsetPtr rs =
        admin::rows(QStringLiteral("select SQLTxt from %1..tbOrraSQL where ID=?").arg(db), {qlonglong(DocID)});
    if (!rs->isOpen() || rs->isEOF()) {
        m_updating = false;
        throw Error(orra::kSystemError, QStringLiteral("Morvane"),
            QStringLiteral("The document %1 is not in the catalogue.").arg(DocID));
    }
    xml::Document document;
    if (!document.loadXML(rs->value(0).toString())) {
        m_updating = false;
        throw Error(orra::kSystemError, QStringLiteral("Morvane"),
            QStringLiteral("The document %1 could not be read: %2").arg(DocID).arg(document.parseError().reason));
    }
    xml::Node root = document.documentElement();
    try {
        orra::ExpandIncludes(&admin::catalogue(), root, DocID, db);
    } catch (...) {
        m_updating = false;
        throw;
    }
    const QString rootKey = xml::attribute(root, QStringLiteral("ID"));
    QTreeWidgetItem* rootNode =
        m_tree->addNode(QString(), rootKey, QStringLiteral("Document"), QStringLiteral("Document"));
    KeyedTree::setTag(rootNode, QStringLiteral("Document"));
    BuildParameterTree(rootKey, root, false);
    rootNode->setExpanded(true);
    m_updating = false;
}

void frmCallSchema::BuildParameterTree(const QString& parentKey, xml::Node element, bool inherited)
{
    const std::vector<xml::Node> children = xml::childNodes(element);
    if (children.empty()) return;
    const bool embeddedDocument = inherited && xml::tagName(element) == QLatin1String("Document");
    for (xml::Node child : children) {
        if (!xml::isElement(child) || xml::tagName(child) != kParameterTag) continue;
        const QString id = xml::attribute(child, QStringLiteral("ID"));
        QString behaviour = xml::attribute(child, QStringLiteral("Behaviour"));
        if (!xml::hasAttribute(child, QStringLiteral("Behaviour"))) behaviour = QStringLiteral("dynamic");
        if (embeddedDocument) {
            // A parameter that the including document binds (an Inheritance with its ID as PID)
            // takes its value from there.
            bool bound = false;
            for (xml::Node binding : xml::childNodes(element.parent()))
                if (xml::isElement(binding) && xml::tagName(binding) == QLatin1String("Inheritance")
                    && xml::attribute(binding, QStringLiteral("PID")) == id)
                    bound = true;
            if (bound) continue;
        }
        const QString type = xml::attribute(child, QStringLiteral("Type"));
        if (type == QLatin1String("fact") || type == QLatin1String("htext")) continue;
        const QString name = xml::attribute(child, QStringLiteral("Name"));
        QTreeWidgetItem* node = m_tree->addNode(parentKey, id, name,
            behaviour == QLatin1String("static") ? QStringLiteral("Parameter_static") : QStringLiteral("Parameter"),
            QStringLiteral("SParameter"));
        KeyedTree::setTag(node, kParameterTag);
        node->setData(0, kNameRole, name);
        node->setFlags(node->flags() | Qt::ItemIsEditable);
        showValue(node, QVariant());
        m_parameterKeys << id;
    }
    for (xml::Node child : children) {
        if (!xml::isElement(child)) continue;
        const QString tag = xml::tagName(child);
        if (tag == QLatin1String("Block") || tag == QLatin1String("Include")) {
            const QString id = xml::attribute(child, QStringLiteral("ID"));
            const QString image = (inherited ? QStringLiteral("I") : QString()) + tag;
            QTreeWidgetItem* node = m_tree->addNode(
                parentKey, id, xml::attribute(child, QStringLiteral("Name")), image, QStringLiteral("S") + tag);
            KeyedTree::setTag(node, image);
            BuildParameterTree(id, child, inherited || tag == QLatin1String("Include"));
            if (node->childCount() > 0)
                node->setExpanded(true);
            else
                m_tree->removeNode(id);
        } else if (tag == QLatin1String("Document") && inherited) {
            BuildParameterTree(parentKey, child, true);
        }
    }
}

QTreeWidgetItem* frmCallSchema::FindParameterNode(const QString& key) const
{
    QTreeWidgetItem* node = m_tree->node(key);
    return node && KeyedTree::tag(node).toString() == kParameterTag ? node : nullptr;
}

QString frmCallSchema::ParameterValue(const QString& key) const
{
    const QTreeWidgetItem* node = FindParameterNode(key);
    return node ? node->data(0, kValueRole).toString() : QString();
}

void frmCallSchema::showValue(QTreeWidgetItem* node, const QVariant& value)
{
    const bool updating = m_updating;
    m_updating = true;
    const bool isNull = !value.isValid() || value.isNull();
    node->setData(0, kValueRole, isNull ? QVariant() : QVariant(value.toString()));
    node->setText(0,
        node->data(0, kNameRole).toString() + QLatin1Char(':') + (isNull ? QStringLiteral("NULL") : value.toString()));
    node->setBackground(0, isNull ? kNullColour : kValueColour);
    m_updating = updating;
}

bool frmCallSchema::SetParameterValue(const QString& key, const QString& typed)
{
    QTreeWidgetItem* node = FindParameterNode(key);
    if (!node || !m_tree->isEnabled()) return false;
    QString value = typed;
    const QString prefix = node->data(0, kNameRole).toString() + QLatin1Char(':');
    if (value.startsWith(prefix)) value = value.mid(prefix.size());
    showValue(node, value == QLatin1String("NULL") ? QVariant() : QVariant(value));
    m_changed = true;
    return true;
}

bool frmCallSchema::ClearParameterValue(const QString& key)
{
    QTreeWidgetItem* node = FindParameterNode(key);
    if (!node || !m_tree->isEnabled()) return false;
    showValue(node, QVariant());
    m_changed = true;
    return true;
}

void frmCallSchema::treeItemEdited(QTreeWidgetItem* node, int column)
{
    if (m_updating || column != 0 || KeyedTree::tag(node).toString() != kParameterTag) return;
    SetParameterValue(KeyedTree::key(node), node->text(0));
}

void frmCallSchema::ClearSchemaValues()
{
    for (const QString& key : m_parameterKeys)
        if (QTreeWidgetItem* node = FindParameterNode(key)) showValue(node, QVariant());
}

// --- The schemas --------------------------------------------------------------------------

void frmCallSchema::ListSchemas()
{
    m_updating = true;
    m_schemas->clear();
    m_currentRow = nullptr;
    orra::db::RecordsetPtr rs = admin::rows(
        QStringLiteral("select ID, SchemaID, Name from %1..tbOrraCallSchema where DocID=? order by SchemaID")
            .arg(admin::catalogueDb()),
        {qlonglong(DocID)});
    for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const QString name = rs->value(2).toString().trimmed();
        auto* row = new QTreeWidgetItem(m_schemas, {name, QString::number(rs->value(1).toLongLong())});
        row->setData(0, kKeyRole, QStringLiteral("K") + QString::number(rs->value(0).toLongLong()));
        row->setData(0, kNameRole, name);
        row->setFlags(row->flags() | Qt::ItemIsEditable);
    }
    addNewRow();
    m_updating = false;
    QTreeWidgetItem* first = m_schemas->topLevelItem(0);
    {
        QSignalBlocker block(m_schemas);
        m_schemas->setCurrentItem(first);
    }
    SelectSchemaRow(first);
}

void frmCallSchema::addNewRow()
{
    auto* row = new QTreeWidgetItem(m_schemas, {QStringLiteral("*")});
    row->setData(0, kKeyRole, kNewKey);
    row->setData(0, kNameRole, QStringLiteral("*"));
    row->setFlags(row->flags() | Qt::ItemIsEditable);
}

QTreeWidgetItem* frmCallSchema::SchemaRow(const QString& key) const
{
    for (int i = 0; i < m_schemas->topLevelItemCount(); ++i)
        if (m_schemas->topLevelItem(i)->data(0, kKeyRole).toString() == key) return m_schemas->topLevelItem(i);
    return nullptr;
}

bool frmCallSchema::resolveUnsaved()
{
    if (!m_changed || m_currentSchema == 0) return true;
    const int answer =
        admin::askYesNoCancel(QStringLiteral("Current Schema changed, Do you want to save"), QStringLiteral("Save"));
    if (answer == orra::vbYes) return SaveSchema();
    if (answer == orra::vbNo) {
        m_changed = false;
        return true;
    }
    return false;
}

bool frmCallSchema::SelectSchemaRow(QTreeWidgetItem* row)
{
    if (!row) return false;
    if (row != m_currentRow && !resolveUnsaved()) return false;
    m_currentRow = row;
    {
        QSignalBlocker block(m_schemas);
        m_schemas->setCurrentItem(row);
    }
    const QString key = row->data(0, kKeyRole).toString();
    const bool isNew = key == kNewKey;
    m_currentSchema = isNew ? 0 : key.mid(1).toLong();
    ClearSchemaValues();
    m_updating = true;
    m_description->clear();
    m_updating = false;
    if (!isNew) {
        try {
            LoadSchemaValues();
        } catch (const Error& e) {
            admin::showError(e);
        }
    }
    m_changed = false;
    setEditingEnabled(!isNew);
    return true;
}

void frmCallSchema::setEditingEnabled(bool on)
{
    m_tree->setEnabled(on);
    m_description->setEnabled(on);
}

void frmCallSchema::LoadSchemaValues()
{
    const QString db = admin::catalogueDb();
    const qlonglong id = m_currentSchema;
    m_updating = true;
    m_description->setPlainText(admin::scalar(
        QStringLiteral("select isnull(Description,'') from %1..tbOrraCallSchema where ID=?").arg(db), {id})
                                    .toString()
                                    .trimmed());
    m_updating = false;
    orra::db::RecordsetPtr rs = admin::rows(
        QStringLiteral("select ParamID, ParamVal from %1..tbOrraCallSchemaDetail where ParentID=?").arg(db), {id});
    QStringList missing;
    for (; rs->isOpen() && !rs->isEOF(); rs->MoveNext()) {
        const QString paramId = rs->value(0).toString();
        if (QTreeWidgetItem* node = FindParameterNode(paramId))
            showValue(node, rs->value(1));
        else if (!missing.contains(paramId))
            missing << paramId;
    }
    for (const QString& paramId : missing) {
        if (!admin::ask(QStringLiteral("Could not found '%1' parameter in the schema\r\n"
                                       "It may be deleted or type changed or an inheritance added\r\n"
                                       "Would you like do remove it from schema?")
                            .arg(paramId),
                QStringLiteral("Error")))
            continue;
        admin::catalogue().execute(
            QStringLiteral("delete from %1..tbOrraCallSchemaDetail where ParamID=? and ParentID in "
                           "(select ID from %1..tbOrraCallSchema where DocID=?)")
                .arg(db),
            {paramId, qlonglong(DocID)});
    }
}

bool frmCallSchema::CreateSchema(const QString& name)
{
    if (name.isEmpty()) {
        admin::say(QStringLiteral("Must be a valid name"));
        return false;
    }
    const QString db = admin::catalogueDb();
    qlonglong newId = 0, schemaId = 0;
    try {
        admin::Transaction transaction;
        schemaId = admin::scalar(
            QStringLiteral("select isnull(max(SchemaID),0)+1 NewID \r\nfrom %1..tbOrraCallSchema\r\nwhere DocID=?")
                .arg(db),
            {qlonglong(DocID)})
                       .toLongLong();
        // The identity is read in the insert's own batch: the row just written, never one that
        // another statement of the session (a trigger, another table) numbered later.
        newId =
            admin::scalar(QStringLiteral("insert into %1..tbOrraCallSchema (DocID, SchemaID, Name, Description) \r\n"
                                         "values (?, ?, ?, null)\r\nselect scope_identity() x")
                              .arg(db),
                {qlonglong(DocID), schemaId, name})
                .toLongLong();
        if (newId <= 0)
            throw Error(orra::kSystemError, QStringLiteral("Morvane"),
                QStringLiteral("The new schema's number could not be read."));
        for (const QString& key : m_parameterKeys)
            admin::catalogue().execute(
                QStringLiteral("insert into %1..tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal)\r\n"
                               "values (?, ?, null)")
                    .arg(db),
                {newId, key});
        transaction.commit();
    } catch (const Error& e) {
        admin::showError(e);
        return false;
    }
    QTreeWidgetItem* row = SchemaRow(kNewKey);
    m_updating = true;
    row->setText(0, name);
    row->setText(1, QString::number(schemaId));
    row->setData(0, kKeyRole, QStringLiteral("K") + QString::number(newId));
    row->setData(0, kNameRole, name);
    addNewRow();
    m_updating = false;
    m_currentRow = nullptr;
    SelectSchemaRow(row);
    return true;
}

bool frmCallSchema::RenameSchema(QTreeWidgetItem* row, const QString& name)
{
    const QString key = row->data(0, kKeyRole).toString();
    auto revert = [this, row] {
        m_updating = true;
        row->setText(0, row->data(0, kNameRole).toString());
        m_updating = false;
    };
    if (name.isEmpty()) {
        revert();
        admin::say(QStringLiteral("Must be a valid name"));
        return false;
    }
    try {
        admin::catalogue().execute(
            QStringLiteral("update %1..tbOrraCallSchema \r\nset Name=?\r\nwhere ID=?").arg(admin::catalogueDb()),
            {name, key.mid(1).toLongLong()});
    } catch (const Error& e) {
        revert();
        admin::showError(e);
        return false;
    }
    m_updating = true;
    row->setText(0, name);
    row->setData(0, kNameRole, name);
    m_updating = false;
    return true;
}

void frmCallSchema::schemaRowEdited(QTreeWidgetItem* row, int column)
{
    if (m_updating || column != 0) return;
    const QString text = row->text(0);
    if (row->data(0, kKeyRole).toString() == kNewKey) {
        if (text == QLatin1String("*")) return;
        if (text.isEmpty() || !CreateSchema(text)) {
            m_updating = true;
            row->setText(0, QStringLiteral("*"));
            m_updating = false;
            if (text.isEmpty()) admin::say(QStringLiteral("Must be a valid name"));
        }
        return;
    }
    RenameSchema(row, text);
}

bool frmCallSchema::DeleteSchema(QTreeWidgetItem* row)
{
    if (!row || row->data(0, kKeyRole).toString() == kNewKey) return false;
    if (!admin::ask(row->text(0) + QStringLiteral(" schema will be delete. Are you sure?"), QStringLiteral("Confirm")))
        return false;
    const long id = row->data(0, kKeyRole).toString().mid(1).toLong();
    try {
        admin::Transaction transaction;
        const QString db = admin::catalogueDb();
        admin::catalogue().execute(
            QStringLiteral("delete %1..tbOrraCallSchemaDetail where ParentID=?").arg(db), {qlonglong(id)});
        admin::catalogue().execute(
            QStringLiteral("delete %1..tbOrraCallSchema \r\nwhere ID=?").arg(db), {qlonglong(id)});
        transaction.commit();
    } catch (const Error& e) {
        admin::showError(e);
        return false;
    }
    const bool shown = row == m_currentRow;
    m_updating = true;
    delete row;
    m_updating = false;
    if (shown) {
        // The values shown belonged to the deleted schema: show the first row instead.
        m_currentRow = nullptr;
        m_changed = false;
        SelectSchemaRow(m_schemas->topLevelItem(0));
    }
    return true;
}

bool frmCallSchema::SaveSchema()
{
    if (m_currentSchema == 0) return true;
    const QString db = admin::catalogueDb();
    const qlonglong id = m_currentSchema;
    try {
        admin::Transaction transaction;
        admin::catalogue().execute(
            QStringLiteral("update %1..tbOrraCallSchema \r\nset Description=?\r\nwhere ID=?").arg(db),
            {m_description->toPlainText(), id});
        admin::catalogue().execute(QStringLiteral("delete %1..tbOrraCallSchemaDetail where ParentId=?").arg(db), {id});
        for (const QString& key : m_parameterKeys) {
            const QTreeWidgetItem* node = FindParameterNode(key);
            if (!node) continue;
            const QVariant value = node->data(0, kValueRole);
            admin::catalogue().execute(
                QStringLiteral(
                    "insert into %1..tbOrraCallSchemaDetail (ParentID, ParamID, ParamVal)\r\nvalues (?, ?, ?)")
                    .arg(db),
                {id, key, value});
        }
        transaction.commit();
    } catch (const Error& e) {
        admin::showError(e);
        return false;
    }
    m_changed = false;
    return true;
}

void frmCallSchema::reject()
{
    if (resolveUnsaved()) QDialog::reject();
}

bool frmCallSchema::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        if (watched == m_schemas) {
            DeleteSchema(m_schemas->currentItem());
            return true;
        }
        if (watched == m_tree) {
            if (QTreeWidgetItem* node = m_tree->currentItem()) ClearParameterValue(KeyedTree::key(node));
            return true;
        }
    }
    if (watched == m_path && event->type() == QEvent::FocusIn) m_path->selectAll();
    return QDialog::eventFilter(watched, event);
}

}   // namespace morvane
