#include "DesignSystem/KVDesign.h"

#include "DesignSystem/ColorSchemeProvider.h"

#include <QApplication>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QTextLayout>

namespace kestrivane {

QColor withOpacity(QColor color, qreal factor)
{
    color.setAlphaF(std::clamp(color.alphaF() * factor, 0.0, 1.0));
    return color;
}

QColor srgb(qreal red, qreal green, qreal blue, qreal opacity)
{
    return QColor::fromRgbF(red, green, blue, opacity);
}

namespace KVDesign {

QColor brand() { return srgb(0.431, 0.424, 0.557); }
QColor brandDark() { return srgb(0.690, 0.682, 0.812); }
QColor brandDeep() { return srgb(0.369, 0.361, 0.478); }
QColor bell() { return srgb(0.761, 0.541, 0.000); }
QColor bellDark() { return srgb(0.941, 0.784, 0.341); }
QColor success() { return srgb(0.290, 0.545, 0.435); }
QColor successDark() { return srgb(0.435, 0.745, 0.588); }
QColor warning() { return srgb(0.769, 0.584, 0.416); }
QColor warningDark() { return srgb(0.839, 0.659, 0.478); }
QColor danger() { return srgb(0.769, 0.357, 0.357); }
QColor dangerDark() { return srgb(0.878, 0.478, 0.478); }

const KVPalette &palette(ColorScheme scheme)
{
    return scheme == ColorScheme::dark ? KVPalette::dark() : KVPalette::light();
}

QColor accent(ColorScheme scheme) { return palette(scheme).accent(); }
QColor bellAccent(ColorScheme scheme) { return palette(scheme).bell; }
QColor successAccent(ColorScheme scheme) { return palette(scheme).success; }

} // namespace KVDesign

const KVPalette &KVPalette::light()
{
    static const KVPalette palette{
        .brand = KVDesign::brand(),
        .brandDeep = KVDesign::brandDeep(),
        .brandSoft = srgb(0.910, 0.906, 0.941),
        .bell = KVDesign::bell(),
        .bellSoft = srgb(1.000, 0.957, 0.784),
        .bellInk = srgb(0.420, 0.318, 0.000),
        .window = srgb(0.969, 0.965, 0.980),
        .popover = srgb(0.969, 0.965, 0.980, 0.88),
        .surface = QColor(Qt::white),
        .surface2 = srgb(0.980, 0.980, 0.996),
        .surfaceHover = withOpacity(KVDesign::brand(), 0.06),
        .fill1 = srgb(0.243, 0.239, 0.298, 0.05),
        .fill2 = srgb(0.243, 0.239, 0.298, 0.09),
        .divider = srgb(0.867, 0.863, 0.902),
        .dividerSoft = srgb(0.918, 0.918, 0.941),
        .border = srgb(0.867, 0.863, 0.902),
        .text1 = srgb(0.243, 0.239, 0.298),
        .text2 = srgb(0.290, 0.286, 0.349),
        .text3 = srgb(0.420, 0.416, 0.478),
        .text4 = srgb(0.647, 0.643, 0.706),
        .success = KVDesign::success(),
        .successSoft = withOpacity(KVDesign::success(), 0.16),
        .warning = KVDesign::warning(),
        .warningSoft = withOpacity(KVDesign::warning(), 0.18),
        .danger = KVDesign::danger(),
        .dangerSoft = withOpacity(KVDesign::danger(), 0.14),
    };
    return palette;
}

const KVPalette &KVPalette::dark()
{
    const QColor white(Qt::white);
    const QColor ink = srgb(0.969, 0.965, 0.980);
    static const KVPalette palette{
        .brand = KVDesign::brandDark(),
        .brandDeep = srgb(0.784, 0.780, 0.878),
        .brandSoft = withOpacity(KVDesign::brandDark(), 0.18),
        .bell = KVDesign::bellDark(),
        .bellSoft = withOpacity(KVDesign::bellDark(), 0.16),
        .bellInk = KVDesign::bellDark(),
        .window = srgb(0.243, 0.239, 0.298),
        .popover = srgb(0.243, 0.239, 0.298, 0.84),
        .surface = srgb(0.290, 0.286, 0.349),
        .surface2 = srgb(0.267, 0.263, 0.310),
        .surfaceHover = withOpacity(white, 0.06),
        .fill1 = withOpacity(white, 0.07),
        .fill2 = withOpacity(white, 0.12),
        .divider = withOpacity(white, 0.10),
        .dividerSoft = withOpacity(white, 0.06),
        .border = withOpacity(white, 0.12),
        .text1 = ink,
        .text2 = withOpacity(ink, 0.85),
        .text3 = withOpacity(ink, 0.60),
        .text4 = withOpacity(ink, 0.35),
        .success = KVDesign::successDark(),
        .successSoft = withOpacity(KVDesign::successDark(), 0.20),
        .warning = KVDesign::warningDark(),
        .warningSoft = withOpacity(KVDesign::warningDark(), 0.20),
        .danger = KVDesign::dangerDark(),
        .dangerSoft = withOpacity(KVDesign::dangerDark(), 0.20),
    };
    return palette;
}

namespace KVSystemColor {
namespace {
QColor pick(ColorScheme scheme, QColor light, QColor dark) { return scheme == ColorScheme::dark ? dark : light; }
} // namespace
QColor orange(ColorScheme s) { return pick(s, srgb(1.000, 0.584, 0.000), srgb(1.000, 0.624, 0.039)); }
QColor red(ColorScheme s) { return pick(s, srgb(1.000, 0.231, 0.188), srgb(1.000, 0.271, 0.227)); }
QColor green(ColorScheme s) { return pick(s, srgb(0.204, 0.780, 0.349), srgb(0.188, 0.820, 0.345)); }
QColor yellow(ColorScheme s) { return pick(s, srgb(1.000, 0.800, 0.000), srgb(1.000, 0.839, 0.039)); }
QColor blue(ColorScheme s) { return pick(s, srgb(0.000, 0.478, 1.000), srgb(0.039, 0.518, 1.000)); }
QColor primaryLabel(ColorScheme s) { return pick(s, srgb(0, 0, 0, 0.85), srgb(1, 1, 1, 0.85)); }
QColor secondaryLabel(ColorScheme s) { return pick(s, srgb(0, 0, 0, 0.50), srgb(1, 1, 1, 0.55)); }
} // namespace KVSystemColor

QColor foreground(KVStatusTone tone, const KVPalette &palette)
{
    switch (tone) {
    case KVStatusTone::neutral: return palette.text2;
    case KVStatusTone::accent: return palette.accent();
    case KVStatusTone::bell: return palette.bellInk;
    case KVStatusTone::success: return palette.success;
    case KVStatusTone::warning: return palette.warning;
    case KVStatusTone::danger: return palette.danger;
    }
    return palette.text2;
}

QColor background(KVStatusTone tone, const KVPalette &palette)
{
    switch (tone) {
    case KVStatusTone::neutral: return palette.fill1;
    case KVStatusTone::accent: return palette.brandSoft;
    case KVStatusTone::bell: return palette.bellSoft;
    case KVStatusTone::success: return palette.successSoft;
    case KVStatusTone::warning: return palette.warningSoft;
    case KVStatusTone::danger: return palette.dangerSoft;
    }
    return palette.fill1;
}

KVColorRef::KVColorRef(Field field, qreal opacity)
    : resolve_([field, opacity](ColorScheme scheme) { return withOpacity(KVDesign::palette(scheme).*field, opacity); })
{
}

KVColorRef KVColorRef::fixed(QColor color)
{
    return custom([color](ColorScheme) { return color; });
}

KVColorRef KVColorRef::schemed(QColor light, QColor dark)
{
    return custom([light, dark](ColorScheme scheme) { return scheme == ColorScheme::dark ? dark : light; });
}

KVColorRef KVColorRef::accent(qreal opacity)
{
    return KVColorRef(&KVPalette::brand, opacity);
}

KVColorRef KVColorRef::toneForeground(KVStatusTone tone)
{
    return custom([tone](ColorScheme scheme) { return foreground(tone, KVDesign::palette(scheme)); });
}

KVColorRef KVColorRef::toneBackground(KVStatusTone tone)
{
    return custom([tone](ColorScheme scheme) { return background(tone, KVDesign::palette(scheme)); });
}

KVColorRef KVColorRef::custom(std::function<QColor(ColorScheme)> resolve)
{
    KVColorRef ref;
    ref.resolve_ = std::move(resolve);
    return ref;
}

QColor KVColorRef::resolve(const QWidget *widget) const
{
    return resolve_(colorScheme(widget));
}

namespace KVFont {

namespace {
QFont::Weight qtWeight(Weight weight)
{
    switch (weight) {
    case Weight::regular: return QFont::Normal;
    case Weight::medium: return QFont::Medium;
    case Weight::semibold: return QFont::DemiBold;
    case Weight::bold: return QFont::Bold;
    }
    return QFont::Normal;
}

QFont sized(QFont font, qreal pixelSize, Weight weight)
{
    font.setPixelSize(std::max(1, qRound(pixelSize)));
    font.setWeight(qtWeight(weight));
    return font;
}
} // namespace

QFont system(qreal pixelSize, Weight weight)
{
    return sized(QApplication::font(), pixelSize, weight);
}

QFont monospaced(qreal pixelSize, Weight weight)
{
    return sized(QFontDatabase::systemFont(QFontDatabase::FixedFont), pixelSize, weight);
}

qreal centredBaseline(const QString &text, const QFont &font, qreal height)
{
    QTextLayout layout(text, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid()) {
        const QFontMetricsF metrics(font);
        return (height - metrics.height()) / 2 + metrics.ascent();
    }
    // As QPainter::drawText places it: the line's own ascent and descent, not its rounded height.
    return (height - line.ascent() - line.descent()) / 2 + line.ascent();
}

QFont largeTitle() { return system(26); }
QFont title() { return system(22); }
QFont title2() { return system(17); }
QFont title3() { return system(15); }
QFont headline() { return system(13, Weight::bold); }
QFont body() { return system(13); }
QFont callout() { return system(12); }
QFont subheadline() { return system(11); }
QFont footnote() { return system(10); }
QFont caption() { return system(10); }
QFont caption2() { return system(10); }

} // namespace KVFont

} // namespace kestrivane
