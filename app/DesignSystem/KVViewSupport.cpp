#include "DesignSystem/KVViewSupport.h"

#include <QLayout>
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

} // namespace kestrivane
