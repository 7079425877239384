#include "platform/widgets/AccessibleComboBoxes.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QComboBox>

namespace orra {
namespace {

class AccessibleNamedComboBox : public QAccessibleWidget {
public:
    explicit AccessibleNamedComboBox(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QComboBox* combo() const { return static_cast<QComboBox*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) return combo()->accessibleName();
        if (t == QAccessible::Value) return combo()->currentText();
        return QAccessibleWidget::text(t);
    }

    // The list the drop-down opens is its one child, as with Qt's own drop-down.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override
    {
        return index == 0 ? QAccessible::queryAccessibleInterface(combo()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        return child && child->object() == combo()->view() ? 0 : -1;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = combo()->view()->isVisible();
        return s;
    }

    QStringList actionNames() const override
    {
        return QStringList{showMenuAction(), pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == showMenuAction() || name == pressAction()) {
            if (combo()->view()->isVisible())
                combo()->hidePopup();
            else
                combo()->showPopup();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

bool namedByLabel(const QComboBox* combo) { return !combo->isEditable() && !combo->accessibleName().isEmpty(); }

QAccessibleInterface* namedComboBoxes(const QString& className, QObject* object)
{
    if (className != QLatin1String("QComboBox")) return nullptr;
    auto* combo = qobject_cast<QComboBox*>(object);
    if (!combo || !namedByLabel(combo)) return nullptr;
    return new AccessibleNamedComboBox(combo);
}

}   // namespace

void nameComboBoxByItsLabel(QComboBox* combo)
{
    static const bool installed = [] {
        QAccessible::installFactory(&namedComboBoxes);
        return true;
    }();
    (void)installed;
    if (!combo || !namedByLabel(combo)) return;
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(combo);
    if (made && !dynamic_cast<AccessibleNamedComboBox*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

}   // namespace orra
