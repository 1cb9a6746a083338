#include "App/ApplicationIcon.h"

#include "DesignSystem/KestrivaneAppIconView.h"

#include <QPainter>

namespace kestrivane {

namespace {

// The tile in a square of `side`, leaving room for its shadow.
QRectF tileIn(qreal side)
{
    const qreal tile = side * 48.0 / (48.0 + 2 * KestrivaneAppIcon::shadowMargin);
    return QRectF((side - tile) / 2, (side - tile) / 2, tile, tile);
}

} // namespace

QImage ApplicationIcon::image(AppBuildChannel channel, int side)
{
    if (side <= 0)
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    KestrivaneAppIcon::paint(painter, tileIn(side), ColorScheme::light, channel, KestrivaneAppIcon::Badge::corner);
    return image;
}

QIcon ApplicationIcon::icon(AppBuildChannel channel)
{
    QIcon icon;
    for (const int side : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(image(channel, side)));
    return icon;
}

QImage ApplicationIcon::withDevBadge(const QImage &source)
{
    QImage badged = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qreal side = std::min(badged.width(), badged.height()) / badged.devicePixelRatio();
    QPainter painter(&badged);
    KestrivaneAppIcon::paintBadge(painter, tileIn(side), ColorScheme::light, *AppBuildChannel(AppBuildChannel::dev).badgeText(),
                                  KestrivaneAppIcon::Badge::corner);
    return badged;
}

} // namespace kestrivane
