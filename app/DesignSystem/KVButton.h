#pragma once

#include "DesignSystem/KVDesign.h"

#include <QAbstractButton>

#include <functional>

namespace kestrivane {

// A painted push button in one of three styles: bordered prominent (tint fill, white label),
// bordered (neutral bezel, label in the tint) and plain (no bezel, no padding, label in the tint or
// its own colour); regular or small. A symbol, when given, stands before the title. Pressed,
// disabled (40 % opacity, tooltip still shown) and keyboard-focus looks. Screen readers see a push
// button named by its title, else by its help text.
class KVButton : public QAbstractButton {
    Q_OBJECT

public:
    enum class Style { borderedProminent, bordered, plain };
    enum class ControlSize { regular, small };

    KVButton(const QString &title, Style style, QWidget *parent = nullptr);
    // A button that runs `action` when clicked.
    KVButton(const QString &title, Style style, std::function<void()> action, QWidget *parent = nullptr);

    Style style() const { return style_; }
    void setSymbol(const QString &name);
    QString symbol() const { return symbol_; }
    void setControlSize(ControlSize size);
    // The tint: the prominent fill, the bordered label; default: the palette's accent.
    void setTint(KVColorRef tint);
    // The label's colour instead of the style's.
    void setLabelColor(KVColorRef color);
    // The label's font instead of the control size's.
    void setLabelFont(const QFont &font);
    QFont labelFont() const;
    // The symbol's size when there is no title (default: the label font's pixel size).
    void setSymbolSize(qreal size);
    // The content takes all the width given, the label centred in it or at the leading edge.
    // The button's contents margins pad it further, and are clickable too.
    void setExpanding(bool expanding, Qt::Alignment alignment = Qt::AlignHCenter);
    // Tooltip and, for a button without a title, its accessible name.
    void setHelp(const QString &help);

    // The y of the label's baseline, in pixels from the top, at the height of the size hint (the
    // height the button keeps); the label is drawn on that pixel row.
    int textBaseline() const { return textBaseline(sizeHint().height()); }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QMargins padding() const;
    int controlHeight() const;
    QSize contentSize() const;
    int textBaseline(int height) const;

    Style style_;
    ControlSize size_ = ControlSize::regular;
    QString symbol_;
    KVColorRef tint_ = KVColorRef::accent();
    std::optional<KVColorRef> labelColor_;
    std::optional<QFont> labelFont_;
    qreal symbolSize_ = 0;
    bool expanding_ = false;
    Qt::Alignment alignment_ = Qt::AlignHCenter;
};

// Shows the keyboard-focus ring (2 pixels of the accent at 0.5, 1 pixel outside the control's
// rounded shape of `radius`) while `control` has the focus it got from the keyboard (Tab,
// Backtab, a shortcut), never after a click nor when the focus moves on because the focused
// control was hidden. The ring is drawn over the control's window (or the scrolled viewport
// around it), so neither the control's bounds nor its parent's cut it.
void attachKeyboardFocusRing(QWidget *control, qreal radius);
// Return and keypad Enter press `button` while it has the focus, as Space does: this desktop's
// habit. A control that takes keys for itself while busy (the shortcut recorder) filters them first.
void pressOnReturn(QAbstractButton *button);
// Whether `control` shows its keyboard-focus ring now.
bool showsKeyboardFocusRing(const QWidget *control);
// The colour `color` takes while pressed: 12 % darker in light, 12 % lighter in dark.
QColor pressedColor(const QColor &color, ColorScheme scheme);

} // namespace kestrivane
