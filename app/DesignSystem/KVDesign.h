#pragma once

#include <QColor>
#include <QFont>

#include <functional>

class QWidget;

namespace kestrivane {

enum class ColorScheme { light, dark };

// A colour with its opacity multiplied by `factor`.
QColor withOpacity(QColor color, qreal factor);
// An sRGB colour from components in 0…1.
QColor srgb(qreal red, qreal green, qreal blue, qreal opacity = 1);

// The 26 named colours of one colour scheme.
struct KVPalette {
    QColor brand, brandDeep, brandSoft;
    QColor bell, bellSoft, bellInk;
    QColor window, popover, surface, surface2, surfaceHover;
    QColor fill1, fill2;
    QColor divider, dividerSoft, border;
    QColor text1, text2, text3, text4;
    QColor success, successSoft, warning, warningSoft, danger, dangerSoft;

    QColor accent() const { return brand; }

    static const KVPalette &light();
    static const KVPalette &dark();
};

// The design tokens: brand and status colours, corner radii, and the palette of a scheme.
namespace KVDesign {

QColor brand();
QColor brandDark();
QColor brandDeep();
QColor bell();
QColor bellDark();
QColor success();
QColor successDark();
QColor warning();
QColor warningDark();
QColor danger();
QColor dangerDark();

inline constexpr qreal chipCornerRadius = 4;
inline constexpr qreal buttonCornerRadius = 6;
inline constexpr qreal groupCornerRadius = 8;
inline constexpr qreal popoverCornerRadius = 10;
inline constexpr qreal windowCornerRadius = 12;
inline constexpr qreal panelCornerRadius = 10;

const KVPalette &palette(ColorScheme scheme);
QColor accent(ColorScheme scheme);
QColor bellAccent(ColorScheme scheme);
QColor successAccent(ColorScheme scheme);

} // namespace KVDesign

// The desktop's standard colours (orange, red, green, yellow, blue) and hierarchical foregrounds.
namespace KVSystemColor {
QColor orange(ColorScheme scheme);
QColor red(ColorScheme scheme);
QColor green(ColorScheme scheme);
QColor yellow(ColorScheme scheme);
QColor blue(ColorScheme scheme);
QColor primaryLabel(ColorScheme scheme);
QColor secondaryLabel(ColorScheme scheme);
} // namespace KVSystemColor

// The six tones of status pills and dots.
enum class KVStatusTone { neutral, accent, bell, success, warning, danger };
QColor foreground(KVStatusTone tone, const KVPalette &palette);
QColor background(KVStatusTone tone, const KVPalette &palette);

// A colour named the way a view names it: a palette field (optionally at an opacity), a tone's
// foreground or background, or a fixed colour. Resolved against the scheme at paint time.
class KVColorRef {
public:
    using Field = QColor KVPalette::*;
    KVColorRef() : resolve_([](ColorScheme) { return QColor(Qt::transparent); }) {}
    KVColorRef(Field field, qreal opacity = 1);
    static KVColorRef fixed(QColor color);
    static KVColorRef schemed(QColor light, QColor dark);
    static KVColorRef accent(qreal opacity = 1);
    static KVColorRef toneForeground(KVStatusTone tone);
    static KVColorRef toneBackground(KVStatusTone tone);
    static KVColorRef custom(std::function<QColor(ColorScheme)> resolve);

    QColor resolve(ColorScheme scheme) const { return resolve_(scheme); }
    // Resolved for the scheme `widget` is shown in.
    QColor resolve(const QWidget *widget) const;

private:
    std::function<QColor(ColorScheme)> resolve_;
};

// The named text styles and explicit sizes: the desktop's UI font at a pixel size and weight.
namespace KVFont {
enum class Weight { regular, medium, semibold, bold };
// The UI font at `pixelSize` logical pixels.
QFont system(qreal pixelSize, Weight weight = Weight::regular);
// The fixed-pitch font ("monospaced design").
QFont monospaced(qreal pixelSize, Weight weight = Weight::regular);
// The y of the baseline of `text` in `font` drawn on one line centred (Qt::AlignVCenter) in a box
// of `height`, from the box's top; the line's height counts the fallback fonts the text takes.
qreal centredBaseline(const QString &text, const QFont &font, qreal height);

QFont largeTitle();
QFont title();
QFont title2();
QFont title3();
QFont headline();
QFont body();
QFont callout();
QFont subheadline();
QFont footnote();
QFont caption();
QFont caption2();
} // namespace KVFont

} // namespace kestrivane
