#include "App/ApplicationIcon.h"

#include "DesignSystem/KestrivaneAppIconView.h"

#include <QFile>
#include <QPainter>
#include <QResource>

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

QIcon ApplicationIcon::bundled()
{
    QIcon icon;
    for (const int side : bundledSides) {
        const QByteArray pixels = QResource(QStringLiteral(":/bundle/AppIcon/%1.argb32").arg(side)).uncompressedData();
        if (pixels.size() != qsizetype(side) * side * 4)
            continue;
        const QImage image(reinterpret_cast<const uchar *>(pixels.constData()), side, side, QImage::Format_ARGB32_Premultiplied);
        icon.addPixmap(QPixmap::fromImage(image.copy()));
    }
    return icon;
}

bool ApplicationIcon::writeBundled(const QImage &image, const QString &file)
{
    const QImage pixels = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (int y = 0; y < pixels.height(); ++y) {
        const auto *line = reinterpret_cast<const char *>(pixels.constScanLine(y));
        if (out.write(line, qint64(pixels.width()) * 4) != qint64(pixels.width()) * 4)
            return false;
    }
    return true;
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
