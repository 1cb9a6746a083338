#include "DesignSystem/KestrivaneAppIconView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVSymbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kestrivane {

void KestrivaneAppIcon::paint(QPainter &painter, const QRectF &tile, ColorScheme scheme, AppBuildChannel channel, bool withShadow)
{
    const bool dark = scheme == ColorScheme::dark;
    const qreal unit = tile.width() / 48.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath shape;
    shape.addRoundedRect(tile, 11 * unit, 11 * unit);
    if (withShadow) {
        painter.save();
        painter.translate(0, 1 * unit);
        painter.fillPath(shape, QColor::fromRgbF(0, 0, 0, dark ? 0.18 : 0.10));
        painter.restore();
    }
    QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
    gradient.setColorAt(0, dark ? srgb(0.369, 0.361, 0.478) : srgb(0.243, 0.239, 0.298));
    gradient.setColorAt(1, srgb(0.176, 0.173, 0.227));
    painter.fillPath(shape, gradient);
    painter.setClipPath(shape);
    const qreal bell = 24 * unit;
    KVSymbols::paint(painter, QRectF(tile.center().x() - bell / 2, tile.center().y() - bell / 2, bell, bell),
                     QStringLiteral("bell.fill"), Qt::white, KVFont::Weight::semibold);
    if (const std::optional<QString> badge = channel.badgeText()) {
        QFont font = KVFont::system(7, KVFont::Weight::bold);
        font.setPixelSize(std::max(1, qRound(7 * unit)));
        const QFontMetricsF metrics(font);
        const QSizeF size(metrics.horizontalAdvance(*badge) + 8 * unit, metrics.height() + 4 * unit);
        const QPointF centre = tile.center() + QPointF(10 * unit, 15 * unit);
        const QRectF capsule(centre - QPointF(size.width() / 2, size.height() / 2), size);
        QPainterPath path;
        path.addRoundedRect(capsule, capsule.height() / 2, capsule.height() / 2);
        painter.fillPath(path, KVSystemColor::orange(scheme));
        painter.setFont(font);
        painter.setPen(Qt::white);
        painter.drawText(capsule, Qt::AlignCenter, *badge);
    }
    painter.setClipping(false);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, dark ? 0.08 : 0.04), 0.5 * unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

KestrivaneAppIconView::KestrivaneAppIconView(QWidget *parent) : QWidget(parent), buildChannel_(AppBuildChannel::current())
{
    setFixedSize(48, 48);
}

void KestrivaneAppIconView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    KestrivaneAppIcon::paint(painter, QRectF(rect()).adjusted(0, 0, 0, -1), colorScheme(this), buildChannel_);
}

} // namespace kestrivane
