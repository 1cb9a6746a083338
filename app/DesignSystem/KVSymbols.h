#pragma once

#include "DesignSystem/KVDesign.h"

#include <QImage>
#include <QString>
#include <QWidget>

class QPainter;

namespace kestrivane {

// The application's symbols: one SVG per name in resources/icons/<name>.svg, drawn on a 24 × 24
// grid in black and recoloured when drawn. A name without an icon (or an empty one) draws nothing.
// Drawn small, a symbol is hinted like type: its strokes never thinner than a device pixel, its
// straight edges, curve extremes and stroke corners on the pixel grid, small dots whole pixels, so
// it reaches its full colour with crisp edges; under 16 device pixels an icon's <g class="small">
// shapes, where it has them, stand in for its <g class="large"> ones.
namespace KVSymbols {

// Whether an icon exists for `name`.
bool exists(const QString &name);
// The icon drawn in `color` in a `size` × `size` box, at `devicePixelRatio`; a null image for an
// unknown name. Stroked icons take the weight's line width.
QImage image(const QString &name, qreal size, const QColor &color, KVFont::Weight weight = KVFont::Weight::regular,
             qreal devicePixelRatio = 1);
// Draws the icon centred in `box` (a square of the box's smaller side), on the device's pixel grid.
void paint(QPainter &painter, const QRectF &box, const QString &name, const QColor &color,
           KVFont::Weight weight = KVFont::Weight::regular);

} // namespace KVSymbols

// A symbol "at" a font size: a square of that size, coloured at paint time.
class KVSymbol : public QWidget {
    Q_OBJECT

public:
    KVSymbol(QString name, qreal size, KVColorRef color, KVFont::Weight weight = KVFont::Weight::regular,
             QWidget *parent = nullptr);

    QString name() const { return name_; }
    void setName(const QString &name);
    void setColor(KVColorRef color);
    // The box the symbol is drawn in (default: the symbol's size).
    void setBoxSize(QSize size);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString name_;
    qreal size_;
    KVColorRef color_;
    KVFont::Weight weight_;
    QSize box_;
};

} // namespace kestrivane
