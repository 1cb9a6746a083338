#include "DesignSystem/KVAccessibility.h"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QPointer>

namespace kestrivane {

namespace {

const char selectedProperty[] = "kvSelected";
const char labelProperty[] = "kvLabelledBy";

class AccessibleButton : public QAccessibleWidget {
public:
    explicit AccessibleButton(QWidget *widget, QAccessible::Role role = QAccessible::Button) : QAccessibleWidget(widget, role) {}

    QAbstractButton *button() const { return static_cast<QAbstractButton *>(object()); }

    QString text(QAccessible::Text kind) const override
    {
        switch (kind) {
        case QAccessible::Name: {
            QString name = widget()->accessibleName();
            if (name.isEmpty())
                name = button()->text();
            if (name.isEmpty())
                name = widget()->toolTip();
            return name;
        }
        case QAccessible::Description: {
            QString description = widget()->accessibleDescription();
            if (description.isEmpty())
                description = widget()->toolTip();
            return description == text(QAccessible::Name) ? QString() : description;
        }
        default:
            return QAccessibleWidget::text(kind);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            state.checkable = true;
            state.checked = button()->isChecked();
        }
        state.pressed = button()->isDown();
        if (const QVariant selected = widget()->property(selectedProperty); selected.isValid()) {
            state.selectable = true;
            state.selected = selected.toBool();
        }
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList{button()->isCheckable() ? toggleAction() : pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == pressAction() || name == toggleAction()) {
            if (button()->isEnabled())
                button()->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

    QStringList keyBindingsForAction(const QString &) const override { return {}; }

    QList<std::pair<QAccessibleInterface *, QAccessible::Relation>> relations(QAccessible::Relation match) const override
    {
        auto relations = QAccessibleWidget::relations(match);
        const auto label = widget()->property(labelProperty).value<QPointer<QWidget>>();
        if ((match & QAccessible::Label) && label) {
            if (QAccessibleInterface *labelInterface = QAccessible::queryAccessibleInterface(label.data()))
                relations.append({labelInterface, QAccessible::Label});
        }
        return relations;
    }
};

class AccessibleNamedView : public QAccessibleWidget {
public:
    AccessibleNamedView(QWidget *widget, QAccessible::Role role, const char *nameProperty)
        : QAccessibleWidget(widget, role), nameProperty_(nameProperty) {}

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty() && nameProperty_)
            return widget()->property(nameProperty_).toString();
        return QAccessibleWidget::text(kind);
    }

private:
    const char *nameProperty_;
};

// A widget with no view of its own: a window while it is a top level (the frameless windows, the
// tray panel), named by its title; else a plain container. Asked each time, since a widget made
// without a parent becomes a child only when a layout takes it.
class AccessiblePlainWidget : public QAccessibleWidget {
public:
    explicit AccessiblePlainWidget(QWidget *widget) : QAccessibleWidget(widget) {}

    QAccessible::Role role() const override { return widget()->isWindow() ? QAccessible::Window : QAccessible::Client; }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    auto *widget = qobject_cast<QWidget *>(object);
    if (!widget)
        return nullptr;
    if (className == u"QWidget")
        return new AccessiblePlainWidget(widget);
    // Every other painted button (window controls, segments, sidebar rows, the update card); Qt's
    // own buttons have views of their own and never get here. A checkable one stays a check box.
    if (className == u"QAbstractButton" && !static_cast<QAbstractButton *>(widget)->isCheckable())
        return new AccessibleButton(widget);
    if (!className.startsWith(QLatin1String("kestrivane::")))
        return nullptr;
    const QStringView name = QStringView(className).mid(12);
    if (name == u"KVButton" || name == u"KVFooterIconButton" || name == u"KVChromeIconButton")
        return new AccessibleButton(widget);
    if (name == u"CalendarSelectionSwitch")
        return new AccessibleButton(widget, QAccessible::CheckBox);
    if (name == u"KVSpinner")
        return new AccessibleNamedView(widget, QAccessible::ProgressBar, nullptr);
    if (name == u"KVTitleBar")
        return new AccessibleNamedView(widget, QAccessible::Heading, "title");
    if (name == u"KVIssueBanner")
        return new AccessibleNamedView(widget, QAccessible::AlertMessage, "title");
    return nullptr;
}

} // namespace

void KVAccessibility::setSelected(QWidget *control, bool selected)
{
    const QVariant before = control->property(selectedProperty);
    if (before.isValid() && before.toBool() == selected)
        return;
    control->setProperty(selectedProperty, selected);
    if (!QAccessible::isActive())
        return;
    QAccessible::State changed;
    changed.selected = true;
    QAccessibleStateChangeEvent event(control, changed);
    QAccessible::updateAccessibility(&event);
}

void KVAccessibility::setLabelledBy(QWidget *control, QWidget *label)
{
    install();
    control->setProperty(labelProperty, QVariant::fromValue(QPointer<QWidget>(label)));
}

void KVAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace kestrivane
