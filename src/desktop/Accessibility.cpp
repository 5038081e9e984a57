#include "Accessibility.h"

#include "ListBox.h"
#include "ListBoxAccessible.h"

#include <QAccessibleWidget>

namespace drovane {

namespace {

const char kRoleProperty[] = "drovaneAccessibleRole";

QAccessibleInterface* interfaceFor(const QString& className, QObject* object) {
    if (!object || !object->isWidgetType() ||
        className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    auto* widget = static_cast<QWidget*>(object);
    if (auto* box = qobject_cast<ListBox*>(widget))
        return new ListBoxAccessible(box);
    const QVariant role = widget->property(kRoleProperty);
    if (widget->isWindow() && role.isValid())
        return new QAccessibleWidget(widget, QAccessible::Role(role.toInt()));
    return nullptr;
}

} // namespace

void installAccessibility() {
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
}

void setAccessibleWindowRole(QWidget* window, QAccessible::Role role) {
    installAccessibility();
    window->setProperty(kRoleProperty, int(role));
}

} // namespace drovane
