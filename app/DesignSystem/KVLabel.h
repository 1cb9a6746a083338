#pragma once

#include "DesignSystem/KVDesign.h"

#include <QLabel>

namespace kestrivane {

// A text drawn in a palette colour: always plain text (never rich text), one line elided at the
// trailing end unless told otherwise, or wrapped over up to maxLines lines (0: no limit), the
// last one elided. Screen readers read it as a static text with its whole text.
class KVLabel : public QLabel {
    Q_OBJECT

public:
    KVLabel(const QString &text, const QFont &font, KVColorRef color, QWidget *parent = nullptr);

    void setColor(KVColorRef color);
    // One line, cut with an ellipsis at `mode` (Qt::ElideNone: clipped).
    void setElideMode(Qt::TextElideMode mode);
    // 1: one line (the default); n > 1: wrapped over at most n lines; 0: wrapped, no limit.
    void setMaxLines(int lines);
    void setStrikeOut(bool strikeOut);
    // Shown upper-cased in the application's lookup language.
    void setUpperCase(bool upperCase);

    // The text as drawn (upper-cased where asked, line breaks as spaces on one line), before eliding.
    QString displayText() const;
    // The lines as drawn in the current width, elided where cut.
    QStringList visibleLines() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QStringList layoutLines(int width) const;
    QFont drawFont() const;

    KVColorRef color_;
    Qt::TextElideMode elideMode_ = Qt::ElideRight;
    int maxLines_ = 1;
    bool upperCase_ = false;
};

} // namespace kestrivane
