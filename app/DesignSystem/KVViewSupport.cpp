#include "DesignSystem/KVViewSupport.h"

#include <QLayout>
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

} // namespace

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
