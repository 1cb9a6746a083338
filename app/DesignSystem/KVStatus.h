#pragma once

#include "DesignSystem/KVDesign.h"

#include <QDateTime>
#include <QTimeZone>
#include <QLabel>
#include <QWidget>

class QTimer;

namespace kestrivane {

// A coloured chip: an optional symbol (10, semibold) and one line of text (10, medium) in the
// tone's foreground on its background, padding 6 × 2, corner radius 4. Read as a static text.
class KVStatusPill : public QLabel {
    Q_OBJECT

public:
    KVStatusPill(const QString &text, const QString &systemImage, KVStatusTone tone, QWidget *parent = nullptr);
    KVStatusPill(const QString &text, KVStatusTone tone, QWidget *parent = nullptr)
        : KVStatusPill(text, QString(), tone, parent) {}

    KVStatusTone tone() const { return tone_; }
    QString systemImage() const { return systemImage_; }
    // Drawn at this opacity (a faded row's chip), without a graphics effect.
    void setOpacity(qreal opacity);
    qreal opacity() const { return opacity_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString systemImage_;
    KVStatusTone tone_;
    qreal opacity_ = 1;
};

// A 7-point dot with a 2-point halo at 0.18 opacity; while pulsing its opacity swings between 0.4
// and 1.0 with a period of 1.4 s, in phase with the wall clock. It animates only while pulsing
// and visible.
class KVStatusDot : public QWidget {
    Q_OBJECT

public:
    KVStatusDot(KVColorRef color, bool pulsing = false, QWidget *parent = nullptr);

    void setColor(KVColorRef color);
    void setPulsing(bool pulsing);
    bool isPulsing() const { return pulsing_; }
    // Whether its animation timer runs.
    bool isAnimating() const;

    // The dot's opacity at `date`: 1 when not pulsing.
    static double opacity(bool pulsing, const QDateTime &date);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void updateAnimation();

    KVColorRef color_;
    bool pulsing_;
    // Shown on screen: between a show and a hide event, spontaneous ones (a minimised window) too.
    bool shown_ = false;
    QTimer *timer_;
};

} // namespace kestrivane
