#include "DesignSystem/KVFlowLayout.h"

#include <QStyle>
#include <QWidget>

namespace kestrivane {

KVFlowLayout::KVFlowLayout(int itemSpacing, int lineSpacing, QWidget *parent)
    : QLayout(parent), itemSpacing_(itemSpacing), lineSpacing_(lineSpacing)
{
}

KVFlowLayout::~KVFlowLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void KVFlowLayout::addItem(QLayoutItem *item)
{
    items_.append(item);
    invalidate();
}

int KVFlowLayout::count() const
{
    return int(items_.size());
}

QLayoutItem *KVFlowLayout::itemAt(int index) const
{
    return items_.value(index);
}

QLayoutItem *KVFlowLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    QLayoutItem *item = items_.takeAt(index);
    invalidate();
    return item;
}

int KVFlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize KVFlowLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem *item : items_) {
        if (item->isEmpty())
            continue;
        const QSize hint = item->sizeHint();
        width += hint.width() + (shown++ > 0 ? itemSpacing_ : 0);
        height = std::max(height, hint.height());
    }
    return QSize(width, height).grownBy(margins);
}

QSize KVFlowLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : items_) {
        if (!item->isEmpty())
            size = size.expandedTo(item->minimumSize());
    }
    return size.grownBy(contentsMargins());
}

void KVFlowLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int KVFlowLayout::arrange(const QRect &rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    // The lines: the items of each, with the widths they get.
    struct Placed {
        QLayoutItem *item;
        QSize size;
    };
    QList<QList<Placed>> lines;
    int x = 0;
    for (QLayoutItem *item : items_) {
        if (item->isEmpty())
            continue;
        QSize size = item->sizeHint().boundedTo(item->maximumSize()).expandedTo(item->minimumSize());
        // An item wider than the whole line gets the line.
        size.setWidth(std::min(size.width(), std::max(0, area.width())));
        if (lines.isEmpty() || (x > 0 && x + itemSpacing_ + size.width() > area.width())) {
            lines.append(QList<Placed>());
            x = 0;
        } else if (x > 0) {
            x += itemSpacing_;
        }
        lines.last().append({item, size});
        x += size.width();
    }
    int y = area.top();
    for (qsizetype index = 0; index < lines.size(); ++index) {
        int lineHeight = 0;
        for (const Placed &placed : lines[index])
            lineHeight = std::max(lineHeight, placed.size.height());
        if (apply) {
            const Qt::LayoutDirection direction = parentWidget() ? parentWidget()->layoutDirection() : Qt::LeftToRight;
            int left = area.left();
            for (const Placed &placed : lines[index]) {
                const QRect place(QPoint(left, y + (lineHeight - placed.size.height()) / 2), placed.size);
                placed.item->setGeometry(QStyle::visualRect(direction, area, place));
                left += placed.size.width() + itemSpacing_;
            }
        }
        y += lineHeight + (index + 1 < lines.size() ? lineSpacing_ : 0);
    }
    return y - area.top() + contentsMargins().top() + contentsMargins().bottom();
}

} // namespace kestrivane
