#include "DesignSystem/KVViewSupport.h"

#include <QApplication>
#include <QLayout>
#include <QPointer>
#include <QSet>
#include <QTextDocument>
#include <QWidget>

namespace kestrivane {

KVDeferredRefresh::KVDeferredRefresh(QObject *owner, std::function<void()> refresh)
    : QObject(owner), refresh_(std::move(refresh))
{
}

void KVDeferredRefresh::request()
{
    if (pending_)
        return;
    pending_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            pending_ = false;
            if (refresh_)
                refresh_();
        },
        Qt::QueuedConnection);
}

QString plainTextToolTip(const QString &text)
{
    if (!Qt::mightBeRichText(text))
        return text;
    return QStringLiteral("<p style=\"white-space:pre-wrap\">") + text.toHtmlEscaped() + QStringLiteral("</p>");
}

void clearLayout(QLayout *layout)
{
    if (!layout)
        return;
    while (QLayoutItem *item = layout->takeAt(0)) {
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        } else if (QLayout *child = item->layout()) {
            clearLayout(child);
        }
        delete item;
    }
}

namespace {

void collectTabStops(QWidget *widget, QWidget *root, QList<QWidget *> &stops, QSet<QWidget *> &seen);

void collectLayout(QLayout *layout, QWidget *root, QList<QWidget *> &stops, QSet<QWidget *> &seen)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *widget = item->widget())
            collectTabStops(widget, root, stops, seen);
        else if (QLayout *nested = item->layout())
            collectLayout(nested, root, stops, seen);
    }
}

void collectTabStops(QWidget *widget, QWidget *root, QList<QWidget *> &stops, QSet<QWidget *> &seen)
{
    if (seen.contains(widget) || (widget != root && widget->isWindow()))
        return;
    seen.insert(widget);
    if (widget != root && (widget->focusPolicy() & Qt::TabFocus) && !widget->focusProxy())
        stops << widget;
    if (QLayout *layout = widget->layout())
        collectLayout(layout, root, stops, seen);
    for (QObject *child : widget->children()) {
        if (child->isWidgetType())
            collectTabStops(static_cast<QWidget *>(child), root, stops, seen);
    }
}

void collectLaidOut(QLayout *layout, QWidget *parent, QList<QWidget *> &laidOut)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (QWidget *widget = item->widget()) {
            if (widget->parentWidget() == parent && !widget->isWindow())
                laidOut << widget;
        } else if (QLayout *nested = item->layout()) {
            collectLaidOut(nested, parent, laidOut);
        }
    }
}

void orderChildrenByLayout(QWidget *widget)
{
    QList<QWidget *> children;
    for (QObject *child : widget->children()) {
        if (child->isWidgetType() && !static_cast<QWidget *>(child)->isWindow())
            children << static_cast<QWidget *>(child);
    }
    if (QLayout *layout = widget->layout(); layout && children.size() > 1) {
        QList<QWidget *> wanted;
        collectLaidOut(layout, widget, wanted);
        const QSet<QWidget *> laidOut(wanted.cbegin(), wanted.cend());
        for (QWidget *child : std::as_const(children)) {
            if (!laidOut.contains(child))
                wanted << child;
        }
        // Raising moves a widget to the end of its parent's children: raised in the wanted order
        // from the first one out of place, they end up in that order.
        qsizetype first = 0;
        while (first < wanted.size() && wanted.at(first) == children.at(first))
            ++first;
        for (qsizetype i = first; i < wanted.size(); ++i)
            wanted.at(i)->raise();
    }
    for (QWidget *child : std::as_const(children))
        orderChildrenByLayout(child);
}

// Orders the roots under which a layout changed, once per turn.
class ChildOrderKeeper : public QObject {
public:
    static ChildOrderKeeper *shared()
    {
        static QPointer<ChildOrderKeeper> keeper;
        if (!keeper && qApp) {
            keeper = new ChildOrderKeeper(qApp);
            qApp->installEventFilter(keeper);
        }
        return keeper;
    }

    void keep(QWidget *root)
    {
        roots_.insert(root);
        connect(root, &QObject::destroyed, this, [this, root] {
            roots_.remove(root);
            pending_.remove(root);
        });
        request(root);
    }

protected:
    bool eventFilter(QObject *object, QEvent *event) override
    {
        if (event->type() == QEvent::LayoutRequest && object->isWidgetType()) {
            for (auto *widget = static_cast<QWidget *>(object); widget; widget = widget->parentWidget()) {
                if (roots_.contains(widget))
                    request(widget);
            }
        }
        return false;
    }

private:
    using QObject::QObject;

    void request(QWidget *root)
    {
        const bool idle = pending_.isEmpty();
        pending_.insert(root);
        if (idle)
            QMetaObject::invokeMethod(this, [this] { orderPending(); }, Qt::QueuedConnection);
    }

    void orderPending()
    {
        const QSet<QWidget *> roots = std::exchange(pending_, {});
        for (QWidget *root : roots)
            orderChildrenByLayout(root);
    }

    QSet<QWidget *> roots_;
    QSet<QWidget *> pending_;
};

} // namespace

void keepChildrenInLayoutOrder(QWidget *root)
{
    orderChildrenByLayout(root);
    if (ChildOrderKeeper *keeper = ChildOrderKeeper::shared())
        keeper->keep(root);
}

void orderTabFocusByLayout(QWidget *root)
{
    QList<QWidget *> stops;
    QSet<QWidget *> seen;
    collectTabStops(root, root, stops, seen);
    if (stops.isEmpty())
        return;
    // The ordered stops take the place of the one that comes first in the focus chain now, so Tab
    // from the root itself reaches the first of them.
    const QSet<QWidget *> stopSet(stops.cbegin(), stops.cend());
    QWidget *earliest = root->nextInFocusChain();
    while (earliest != root && !stopSet.contains(earliest))
        earliest = earliest->nextInFocusChain();
    if (earliest != root && earliest != stops.first())
        QWidget::setTabOrder(earliest, stops.first());
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops.at(i - 1), stops.at(i));
}

} // namespace kestrivane
