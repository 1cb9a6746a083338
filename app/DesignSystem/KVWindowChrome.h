#pragma once

#include "DesignSystem/KVDesign.h"

#include <QAbstractButton>
#include <QWidget>

#include <functional>
#include <optional>

namespace kestrivane {

// A frameless top-level window that draws its own title strip: its content's title bar carries
// the close, minimise and zoom controls in the leading 78 pixels and moves the window when dragged;
// the edges resize it. The window keeps its title for task bars and window lists, and its
// identifier as object name and X11 window role.
class KVWindow : public QWidget {
    Q_OBJECT

public:
    explicit KVWindow(const QString &identifier, QWidget *parent = nullptr);

    // The root view; the window takes it over.
    void setContent(QWidget *content);
    QWidget *content() const { return content_; }

    // Maximised or back.
    void toggleZoom();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void placeGrips();

    QWidget *content_ = nullptr;
    QList<QWidget *> grips_;
};

// The window controls: close, minimise and zoom, as three small circles.
class KVWindowControls : public QWidget {
    Q_OBJECT

public:
    explicit KVWindowControls(QWidget *parent = nullptr);
    QAbstractButton *closeButton() const { return close_; }
    QAbstractButton *minimizeButton() const { return minimize_; }
    QAbstractButton *zoomButton() const { return zoom_; }

private:
    QAbstractButton *close_;
    QAbstractButton *minimize_;
    QAbstractButton *zoom_;
};

// The drawn title bar: the title (13, semibold, text2) centred on one line, the window controls in
// the leading 78 points, an optional accessory at the trailing end (12 points in), the window
// colour and a 1-point border line at the bottom. Dragging it moves the window; a double click
// zooms it.
class KVTitleBar : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString title READ title CONSTANT)

public:
    explicit KVTitleBar(const QString &title, QWidget *trailing = nullptr, int height = 38, QWidget *parent = nullptr);

    QString title() const { return title_; }
    KVWindowControls *controls() const { return controls_; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    // Before the window manager takes over a drag: the window goes `travel` further itself.
    void catchUpBeforeSystemMove(QPoint travel);

    QString title_;
    KVWindowControls *controls_;
    int trailingPadding_;
    // Where a press on the strip began (global), until it becomes a move or ends.
    std::optional<QPointF> pressedAt_;
    // The window's position at the press, when the window system cannot move it itself.
    std::optional<QPoint> manualMoveFrom_;
};

// A small icon button of a title bar: its label is a symbol (13, medium, text2) in a 22 × 22
// frame, with a rounded surfaceHover highlight while pressed.
class KVChromeIconButton : public QAbstractButton {
    Q_OBJECT

public:
    KVChromeIconButton(const QString &systemImage, const QString &help, std::function<void()> action,
                       QWidget *parent = nullptr);
    QSize sizeHint() const override { return QSize(22, 22); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString systemImage_;
};

} // namespace kestrivane
