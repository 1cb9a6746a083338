#pragma once

#include "DesignSystem/KVDesign.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace kestrivane {

// A rounded, bordered container for rows: the rows stack with spacing 0 on the palette's surface,
// inside a corner radius of 8 and a 0.5 border; nothing of a row shows outside the corners (the
// box and its rows are drawn through an antialiased rounded mask, whatever lies behind the box).
// Rows may carry graphics effects; a box that holds one is drawn through a picture, which is slower.
class KVGroupBox : public QWidget {
    Q_OBJECT

public:
    explicit KVGroupBox(QWidget *parent = nullptr);

    // Appends a row (taking it over).
    void addRow(QWidget *row);
    QVBoxLayout *rows() const { return layout_; }
    // Kept for callers written before the box masked its corners itself: no longer needed, ignored.
    void setOutsideColor(KVColorRef color);

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void childEvent(QChildEvent *event) override;

private:
    class Frame;
    QVBoxLayout *layout_ = nullptr;
    Frame *frame_ = nullptr;
    KVColorRef outside_ = KVColorRef(&KVPalette::window);
};

// A hairline rule in the palette's dividerSoft, inset from the leading and trailing edges.
class KVInsetDivider : public QWidget {
    Q_OBJECT

public:
    explicit KVInsetDivider(int leading = 14, int trailing = 14, QWidget *parent = nullptr);
    // A rule of another colour (default dividerSoft).
    void setColor(KVColorRef color);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int leading_;
    int trailing_;
    KVColorRef color_ = KVColorRef(&KVPalette::dividerSoft);
};

// A plain hairline (0.5: one pixel at half the colour's alpha) of a palette colour, horizontal or
// vertical, for rules that span their container.
class KVRule : public QWidget {
    Q_OBJECT

public:
    KVRule(Qt::Orientation orientation, KVColorRef color, QWidget *parent = nullptr, qreal thickness = 0.5);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    Qt::Orientation orientation_;
    KVColorRef color_;
    qreal thickness_;
};

// A footer toolbar cell: a 14-point symbol over a 10-point caption, text2 (danger when
// destructive), taking all the width its row gives it.
class KVFooterIconButton : public QAbstractButton {
    Q_OBJECT

public:
    KVFooterIconButton(const QString &title, const QString &systemImage, bool destructive, std::function<void()> action,
                       QWidget *parent = nullptr);

    bool isDestructive() const { return destructive_; }
    QString systemImage() const { return systemImage_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString systemImage_;
    bool destructive_;
};

} // namespace kestrivane
