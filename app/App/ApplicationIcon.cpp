#include "App/ApplicationIcon.h"

#include "Support/BundleInfo.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QSvgRenderer>

namespace kestrivane {

QImage ApplicationIcon::image(AppBuildChannel channel, int side)
{
    QSvgRenderer renderer(BundleInfo::resourceRoot + QStringLiteral("/Kestrivane.svg"));
    if (!renderer.isValid())
        return {};
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
    }
    return channel.isRelease() ? image : withDevBadge(image);
}

QIcon ApplicationIcon::icon(AppBuildChannel channel)
{
    QIcon icon;
    for (const int side : {16, 32, 48, 64, 128, 256}) {
        const QImage picture = image(channel, side);
        if (!picture.isNull())
            icon.addPixmap(QPixmap::fromImage(picture));
    }
    return icon;
}

QImage ApplicationIcon::withDevBadge(const QImage &source)
{
    QImage badged = source.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qreal width = badged.width() / badged.devicePixelRatio();
    const qreal height = badged.height() / badged.devicePixelRatio();
    // 44 % × 20 % of the icon, 8 % from the right edge and 9 % from the bottom.
    const qreal w = 0.44 * width;
    const qreal h = 0.20 * height;
    const QRectF badge(width - w - 0.08 * width, height - 0.09 * height - h, w, h);

    QPainter painter(&badged);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath path;
    path.addRoundedRect(badge, 0.36 * h, 0.36 * h);
    painter.fillPath(path, QColor(255, 149, 0));
    QFont font = QGuiApplication::font();
    font.setPixelSize(std::max(1, qRound(0.48 * h)));
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(badge, Qt::AlignCenter, QStringLiteral("DEV"));
    return badged;
}

} // namespace kestrivane
