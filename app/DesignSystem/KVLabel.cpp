#include "DesignSystem/KVLabel.h"

#include "Support/AppL10n.h"

#include <QEvent>
#include <QPainter>
#include <QTextLayout>

namespace kestrivane {

KVLabel::KVLabel(const QString &text, const QFont &font, KVColorRef color, QWidget *parent)
    : QLabel(parent), color_(std::move(color))
{
    setTextFormat(Qt::PlainText);
    setFont(font);
    setText(text);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void KVLabel::setColor(KVColorRef color)
{
    color_ = std::move(color);
    update();
}

void KVLabel::setElideMode(Qt::TextElideMode mode)
{
    elideMode_ = mode;
    maxLines_ = 1;
    updateGeometry();
    update();
}

void KVLabel::setMaxLines(int lines)
{
    maxLines_ = std::max(0, lines);
    setSizePolicy(sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    QSizePolicy policy = sizePolicy();
    policy.setHeightForWidth(maxLines_ != 1);
    setSizePolicy(policy);
    updateGeometry();
    update();
}

void KVLabel::setStrikeOut(bool strikeOut)
{
    QFont f = font();
    f.setStrikeOut(strikeOut);
    setFont(f);
}

void KVLabel::setUpperCase(bool upperCase)
{
    upperCase_ = upperCase;
    updateGeometry();
    update();
}

QString KVLabel::displayText() const
{
    QString shown = upperCase_ ? AppL10n::locale().toUpper(text()) : text();
    if (maxLines_ == 1) {
        // One line: line breaks become spaces.
        for (QChar &c : shown) {
            if (c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
                c = u' ';
        }
    }
    return shown;
}

QFont KVLabel::drawFont() const
{
    return font();
}

QStringList KVLabel::layoutLines(int width) const
{
    const QString shown = displayText();
    const QFontMetricsF metrics(drawFont());
    if (maxLines_ == 1) {
        if (elideMode_ == Qt::ElideNone || metrics.horizontalAdvance(shown) <= width)
            return {shown};
        return {metrics.elidedText(shown, elideMode_, width)};
    }
    QStringList lines;
    // Paragraphs keep their line breaks.
    const QStringList paragraphs = shown.split(u'\n');
    for (const QString &paragraph : paragraphs) {
        QTextLayout layout(paragraph, drawFont());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(std::max(1, width));
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines << QString();
    }
    if (maxLines_ > 0 && lines.size() > maxLines_) {
        // The last line shown carries the rest, cut with an ellipsis.
        QString rest = lines.mid(maxLines_ - 1).join(u' ');
        lines = lines.mid(0, maxLines_ - 1);
        lines << metrics.elidedText(rest, Qt::ElideRight, width);
    }
    return lines;
}

QStringList KVLabel::visibleLines() const
{
    return layoutLines(contentsRect().width());
}

QSize KVLabel::sizeHint() const
{
    const QFontMetricsF metrics(drawFont());
    const int width = qCeil(metrics.horizontalAdvance(displayText().section(u'\n', 0, 0))) + 1;
    if (maxLines_ == 1)
        return QSize(width, qCeil(metrics.height()));
    // Wrapped at its maximum width when it has one, so the hint's height is the drawn one.
    const int wrapWidth = std::min({width, 320, maximumWidth()});
    return QSize(wrapWidth, heightForWidth(wrapWidth));
}

QSize KVLabel::minimumSizeHint() const
{
    const QFontMetricsF metrics(drawFont());
    if (maxLines_ == 1 && elideMode_ != Qt::ElideNone)
        return QSize(qCeil(metrics.horizontalAdvance(QStringLiteral("…"))) + 1, qCeil(metrics.height()));
    if (maxLines_ == 1)
        return sizeHint();
    return QSize(qCeil(metrics.averageCharWidth() * 4), qCeil(metrics.height()));
}

bool KVLabel::hasHeightForWidth() const
{
    return maxLines_ != 1;
}

int KVLabel::heightForWidth(int width) const
{
    // Layouts ask with the width they have, which may exceed the label's maximum.
    width = std::min(width, maximumWidth());
    const QFontMetricsF metrics(drawFont());
    if (maxLines_ == 1)
        return qCeil(metrics.height());
    const qsizetype lines = std::max<qsizetype>(1, layoutLines(width).size());
    return qCeil(lines * metrics.lineSpacing() - metrics.leading());
}

void KVLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(drawFont());
    painter.setPen(color_.resolve(this));
    const QRect area = contentsRect();
    const QFontMetricsF metrics(drawFont());
    const QStringList lines = layoutLines(area.width());
    const qreal total = lines.size() * metrics.lineSpacing() - metrics.leading();
    qreal y = area.top();
    if (alignment() & Qt::AlignVCenter)
        y += (area.height() - total) / 2;
    else if (alignment() & Qt::AlignBottom)
        y += area.height() - total;
    const Qt::Alignment horizontal = alignment() & Qt::AlignHorizontal_Mask;
    for (const QString &line : lines) {
        const QRectF lineRect(area.left(), y, area.width(), metrics.height());
        painter.drawText(lineRect, int(horizontal ? horizontal : Qt::AlignLeft) | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += metrics.lineSpacing();
    }
}

void KVLabel::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::FontChange)
        updateGeometry();
    QLabel::changeEvent(event);
}

} // namespace kestrivane
