#include "DesignSystem/KVSymbols.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "Support/BundleInfo.h"

#include <QCache>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

namespace kestrivane {

namespace KVSymbols {

namespace {

// Symbol names are dotted lower-case words; anything else (a path, an empty name) names nothing.
bool isSymbolName(const QString &name)
{
    static const QRegularExpression grammar(QStringLiteral("^[a-z0-9]+(\\.[a-z0-9]+)*$"));
    return grammar.match(name).hasMatch();
}

QString resourcePath(const QString &name)
{
    return BundleInfo::resourceRoot + QStringLiteral("/icons/") + name + QStringLiteral(".svg");
}

qreal strokeWidth(KVFont::Weight weight)
{
    switch (weight) {
    case KVFont::Weight::regular: return 1.5;
    case KVFont::Weight::medium: return 1.75;
    case KVFont::Weight::semibold: return 2;
    case KVFont::Weight::bold: return 2.25;
    }
    return 1.5;
}

// The SVG text with the weight's line width on every stroke that the icon marks as the symbol's
// own (stroke-width="var"); other strokes keep theirs.
QByteArray svgSource(const QString &name, KVFont::Weight weight)
{
    QFile file(resourcePath(name));
    if (!isSymbolName(name) || !file.open(QIODevice::ReadOnly))
        return {};
    QByteArray source = file.readAll();
    source.replace("stroke-width=\"var\"", "stroke-width=\"" + QByteArray::number(strokeWidth(weight)) + '"');
    return source;
}

} // namespace

bool exists(const QString &name)
{
    return isSymbolName(name) && QFile::exists(resourcePath(name));
}

QImage image(const QString &name, qreal size, const QColor &color, KVFont::Weight weight, qreal devicePixelRatio)
{
    if (size <= 0 || devicePixelRatio <= 0)
        return {};
    static QCache<QString, QImage> cache(400);
    const QString key = QStringLiteral("%1|%2|%3|%4|%5")
                            .arg(name)
                            .arg(size)
                            .arg(color.rgba64().toArgb32())
                            .arg(static_cast<int>(weight))
                            .arg(devicePixelRatio);
    if (QImage *cached = cache.object(key))
        return *cached;

    const QByteArray source = svgSource(name, weight);
    if (source.isEmpty())
        return {};
    QSvgRenderer renderer(source);
    if (!renderer.isValid())
        return {};
    const int side = std::max(1, qRound(size * devicePixelRatio));
    QImage picture(side, side, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    {
        QPainter painter(&picture);
        painter.setRenderHint(QPainter::Antialiasing);
        renderer.render(&painter, QRectF(0, 0, side, side));
        // Recolour: keep the icon's coverage, take the colour.
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(picture.rect(), color);
    }
    picture.setDevicePixelRatio(devicePixelRatio);
    cache.insert(key, new QImage(picture));
    return picture;
}

void paint(QPainter &painter, const QRectF &box, const QString &name, const QColor &color, KVFont::Weight weight)
{
    const qreal side = std::min(box.width(), box.height());
    if (side <= 0)
        return;
    const qreal dpr = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QImage picture = image(name, side, color, weight, dpr);
    if (picture.isNull())
        return;
    const QRectF target(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    painter.drawImage(target, picture);
}

} // namespace KVSymbols

KVSymbol::KVSymbol(QString name, qreal size, KVColorRef color, KVFont::Weight weight, QWidget *parent)
    : QWidget(parent), name_(std::move(name)), size_(size), color_(std::move(color)), weight_(weight),
      box_(qCeil(size), qCeil(size))
{
    setAttribute(Qt::WA_TranslucentBackground);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void KVSymbol::setName(const QString &name)
{
    if (name_ == name)
        return;
    name_ = name;
    update();
}

void KVSymbol::setColor(KVColorRef color)
{
    color_ = std::move(color);
    update();
}

void KVSymbol::setBoxSize(QSize size)
{
    box_ = size;
    updateGeometry();
}

QSize KVSymbol::sizeHint() const
{
    return box_;
}

void KVSymbol::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRectF box = QRectF(rect());
    const QRectF symbol(box.center().x() - size_ / 2, box.center().y() - size_ / 2, size_, size_);
    KVSymbols::paint(painter, symbol, name_, color_.resolve(this), weight_);
}

} // namespace kestrivane
