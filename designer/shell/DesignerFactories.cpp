#include "designer/shell/DesignerFactories.h"

#include <QHash>

namespace morvane {
namespace {
WidgetCreator& documentCreator()
{
    static WidgetCreator creator;
    return creator;
}
QHash<QString, WidgetCreator>& paneCreators()
{
    static QHash<QString, WidgetCreator> creators;
    return creators;
}
QHash<QString, WidgetCreator>& dialogCreators()
{
    static QHash<QString, WidgetCreator> creators;
    return creators;
}
}   // namespace

void setDocumentWindowCreator(WidgetCreator creator) { documentCreator() = std::move(creator); }
const WidgetCreator& documentWindowCreator() { return documentCreator(); }

void setPaneCreator(const QString& formName, WidgetCreator creator)
{
    paneCreators().insert(formName, std::move(creator));
}

QWidget* createPane(const QString& formName, QWidget* parent)
{
    const auto it = paneCreators().constFind(formName);
    QWidget* pane = it != paneCreators().constEnd() && *it ? (*it)(parent) : new QWidget(parent);
    pane->setObjectName(formName);
    return pane;
}

void setDialogCreator(const QString& formName, WidgetCreator creator)
{
    dialogCreators().insert(formName, std::move(creator));
}

QWidget* createDialog(const QString& formName, QWidget* parent)
{
    const auto it = dialogCreators().constFind(formName);
    if (it == dialogCreators().constEnd() || !*it) return nullptr;
    QWidget* dialog = (*it)(parent);
    if (dialog) dialog->setObjectName(formName);
    return dialog;
}

}   // namespace morvane
