#include "platform/widgets/AccessibleToolButtons.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QToolBar>
#include <QToolButton>

namespace orra {
namespace {

class AccessibleToggleToolButton : public QAccessibleWidget {
public:
    explicit AccessibleToggleToolButton(QToolButton* button) : QAccessibleWidget(button, QAccessible::CheckBox) {}

    QToolButton* button() const { return static_cast<QToolButton*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !s.isEmpty()) return s;
        s = button()->text();
        s.remove(QLatin1Char('&'));
        return s.isEmpty() ? button()->toolTip() : s;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled()) names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name == toggleAction()) {
            if (widget()->isEnabled()) button()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

QAccessibleInterface* twoStateToolButtons(const QString& className, QObject* object)
{
    if (className != QLatin1String("QToolButton")) return nullptr;
    auto* button = qobject_cast<QToolButton*>(object);
    if (!button || !button->defaultAction() || !button->defaultAction()->isCheckable()) return nullptr;
    return new AccessibleToggleToolButton(button);
}

}   // namespace

void makeToggleButtonsClick(QToolBar* toolbar)
{
    static const bool installed = [] {
        QAccessible::installFactory(&twoStateToolButtons);
        return true;
    }();
    (void)installed;
    for (QAction* action : toolbar->actions()) {
        if (!action->isCheckable()) continue;
        QWidget* button = toolbar->widgetForAction(action);
        if (!button) continue;
        QAccessibleInterface* made = QAccessible::queryAccessibleInterface(button);
        if (made && !dynamic_cast<AccessibleToggleToolButton*>(made))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
}

}   // namespace orra
