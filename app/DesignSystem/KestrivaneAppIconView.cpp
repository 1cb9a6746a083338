#include "DesignSystem/KestrivaneAppIconView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVSymbols.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace kestrivane {

namespace {

// The tile's shape blurred (three box passes of the radius), in `color`, as an image of the
// tile grown by `margin` on each side.
QImage blurredShape(const QRectF &tile, qreal radius, qreal corner, qreal margin, const QColor &color, qreal dpr)
{
    const QSize size = (tile.size() + QSizeF(2 * margin, 2 * margin)).toSize() * dpr;
    QImage picture(size, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(dpr, dpr);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(QPointF(margin, margin), tile.size()), corner, corner);
        painter.fillPath(shape, Qt::black);
    }
    const int reach = std::max(1, qRound(radius * dpr / 2));
    const int w = picture.width();
    const int h = picture.height();
    std::vector<int> alpha(size_t(w) * h), scratch(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            alpha[size_t(y) * w + x] = qAlpha(reinterpret_cast<const QRgb *>(picture.constScanLine(y))[x]);
    // Each value becomes the mean of the 2·reach + 1 values around it along a row (or a column),
    // those beyond the edge counting as 0: a running sum over the line.
    const int count = 2 * reach + 1;
    const auto pass = [&](bool horizontal) {
        const int lines = horizontal ? h : w;
        const int length = horizontal ? w : h;
        const size_t step = horizontal ? 1 : size_t(w);
        const size_t lineStep = horizontal ? size_t(w) : 1;
        for (int line = 0; line < lines; ++line) {
            const int *in = alpha.data() + line * lineStep;
            int *out = scratch.data() + line * lineStep;
            int sum = 0;
            for (int i = 0; i < std::min(reach, length); ++i)
                sum += in[i * step];
            for (int i = 0; i < length; ++i) {
                if (i + reach < length)
                    sum += in[(i + reach) * step];
                if (i - reach - 1 >= 0)
                    sum -= in[(i - reach - 1) * step];
                out[i * step] = sum / count;
            }
        }
        alpha.swap(scratch);
    };
    for (int i = 0; i < 3; ++i) {
        pass(true);
        pass(false);
    }
    QImage shadow(size, QImage::Format_ARGB32_Premultiplied);
    for (int y = 0; y < h; ++y) {
        auto *line = reinterpret_cast<QRgb *>(shadow.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const qreal a = alpha[size_t(y) * w + x] / 255.0 * color.alphaF();
            line[x] = qPremultiply(qRgba(color.red(), color.green(), color.blue(), qRound(a * 255)));
        }
    }
    shadow.setDevicePixelRatio(dpr);
    return shadow;
}

} // namespace

void KestrivaneAppIcon::paintBadge(QPainter &painter, const QRectF &tile, ColorScheme scheme, const QString &badgeText,
                                   Badge badge)
{
    if (badgeText.isEmpty())
        return;
    const qreal unit = tile.width() / 48.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QRectF shape;
    QFont font = KVFont::system(7, KVFont::Weight::bold);
    if (badge == Badge::corner) {
        const qreal margin = shadowMargin * unit;
        const QRectF picture = tile.adjusted(-margin, -margin, margin, margin);
        const QSizeF size(0.44 * picture.width(), 0.20 * picture.height());
        shape = QRectF(QPointF(picture.right() - 0.08 * picture.width() - size.width(),
                               picture.bottom() - 0.09 * picture.height() - size.height()), size);
        font.setPixelSize(std::max(1, qRound(0.48 * size.height())));
    } else {
        font.setPixelSize(std::max(1, qRound(7 * unit)));
        const QFontMetricsF metrics(font);
        const QSizeF size(metrics.horizontalAdvance(badgeText) + 8 * unit, metrics.capHeight() + 4 * unit + 2 * unit);
        const QPointF centre = tile.center() + QPointF(10 * unit, 15 * unit);
        shape = QRectF(centre - QPointF(size.width() / 2, size.height() / 2), size);
    }
    const qreal radius = badge == Badge::corner ? 0.36 * shape.height() : shape.height() / 2;
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);
    painter.fillPath(path, KVSystemColor::orange(scheme));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(shape, Qt::AlignCenter, badgeText);
    painter.restore();
}

void KestrivaneAppIcon::paint(QPainter &painter, const QRectF &tile, ColorScheme scheme, AppBuildChannel channel, Badge badge,
                              bool withShadow)
{
    const bool dark = scheme == ColorScheme::dark;
    const qreal unit = tile.width() / 48.0;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QPainterPath shape;
    shape.addRoundedRect(tile, 11 * unit, 11 * unit);
    if (withShadow) {
        const qreal margin = shadowMargin * unit;
        const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QImage shadow = blurredShape(tile, 2 * unit, 11 * unit, margin, QColor::fromRgbF(0, 0, 0, dark ? 0.18 : 0.10),
                                           dpr * painter.worldTransform().m11());
        painter.drawImage(QRectF(tile.topLeft() + QPointF(-margin, -margin + 1 * unit),
                                 tile.size() + QSizeF(2 * margin, 2 * margin)), shadow);
    }
    QLinearGradient gradient(tile.topLeft(), tile.bottomRight());
    gradient.setColorAt(0, dark ? srgb(0.369, 0.361, 0.478) : srgb(0.243, 0.239, 0.298));
    gradient.setColorAt(1, srgb(0.176, 0.173, 0.227));
    painter.fillPath(shape, gradient);
    painter.setClipPath(shape, Qt::IntersectClip);
    const qreal bell = 24 * unit;
    KVSymbols::paint(painter, QRectF(tile.center().x() - bell / 2, tile.center().y() - bell / 2, bell, bell),
                     QStringLiteral("bell.fill"), Qt::white, KVFont::Weight::semibold);
    const std::optional<QString> badgeText = channel.badgeText();
    // The capsule is clipped with the tile; the corner badge lies over the whole picture.
    if (badgeText && badge == Badge::capsule)
        paintBadge(painter, tile, scheme, *badgeText, badge);
    painter.setClipping(false);
    painter.setPen(QPen(QColor::fromRgbF(1, 1, 1, dark ? 0.08 : 0.04), 0.5 * unit));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    if (badgeText && badge == Badge::corner)
        paintBadge(painter, tile, scheme, *badgeText, badge);
    painter.restore();
}

KestrivaneAppIconView::KestrivaneAppIconView(QWidget *parent) : QWidget(parent), buildChannel_(AppBuildChannel::current())
{
    setFixedSize(54, 54);
}

void KestrivaneAppIconView::setBuildChannel(AppBuildChannel channel)
{
    buildChannel_ = channel;
    update();
}

void KestrivaneAppIconView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const qreal side = std::min(width(), height()) * 48.0 / (48.0 + 2 * KestrivaneAppIcon::shadowMargin);
    const QRectF tile(QRectF(rect()).center() - QPointF(side / 2, side / 2), QSizeF(side, side));
    KestrivaneAppIcon::paint(painter, tile, colorScheme(this), buildChannel_);
}

} // namespace kestrivane
