#pragma once

#include "DesignSystem/KVDesign.h"

#include <QAbstractButton>
#include <QStringList>
#include <QWidget>

#include <functional>

class QVBoxLayout;

namespace kestrivane {

class KVLabel;

// A rounded tile filled with a colour, a symbol centred on it (the sidebar's and the rows' icons).
class SymbolTile : public QWidget {
    Q_OBJECT

public:
    SymbolTile(int size, qreal radius, QString symbol, qreal symbolSize, KVFont::Weight weight, KVColorRef fill,
               KVColorRef symbolColor, QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    qreal radius_;
    QString symbol_;
    qreal symbolSize_;
    KVFont::Weight weight_;
    KVColorRef fill_;
    KVColorRef symbolColor_;
};

// The title line of a pane (17, semibold, text1) with an optional accessory at its trailing end,
// 10 below it; a button accessory's text stands on the title's baseline.
class PaneHeader : public QWidget {
    Q_OBJECT

public:
    explicit PaneHeader(const QString &title, QWidget *trailing = nullptr, QWidget *parent = nullptr);
};

// A row of a pane's group box: a 24-point tile, the title (13, text1, wrapped) and a trailing
// control at least 12 from it; padding 14 × 10.
class SettingsRow : public QWidget {
    Q_OBJECT

public:
    SettingsRow(const QString &icon, KVColorRef iconBackground, KVColorRef iconColor, const QString &title,
                QWidget *trailing, QWidget *parent = nullptr);
};

// Segments of text in a bordered track; the segment at the selection is raised. A click on a
// segment reports its index (also the selected one); the selection changes only through
// setSelection, so it follows its owner's state. Each segment is a push button for screen readers.
class KVSegmentedControl : public QWidget {
    Q_OBJECT

public:
    KVSegmentedControl(const QStringList &options, int selection, std::function<void(int)> onSelect,
                       QWidget *parent = nullptr);

    int selection() const { return selection_; }
    // Any value: outside the options no segment is raised.
    void setSelection(int index);
    QList<QAbstractButton *> segments() const { return segments_; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int selection_;
    QList<QAbstractButton *> segments_;
};

// A vertical stack of a pane: leading-aligned, spacing 24, no margins.
QVBoxLayout *makePaneLayout(QWidget *pane);
// Adds the pane's header and, when given, its help text (12, text3, wrapped) 6 below the header;
// the help label, or null.
KVLabel *addPaneHeader(QVBoxLayout *pane, PaneHeader *header, const QString &helpText = {});

} // namespace kestrivane
