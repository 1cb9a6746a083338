#include "Views/Setup/SetupLabel.h"

#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVSymbols.h"

#include <QFontMetrics>
#include <QHBoxLayout>

namespace kestrivane {

SetupLabel::SetupLabel(const QString &systemImage, qreal symbolSize, const QString &text, const QFont &font, KVColorRef color,
                       QWidget *parent)
    : QWidget(parent), symbol_(new KVSymbol(systemImage, symbolSize, color)), label_(new KVLabel(text, font, color))
{
    label_->setMaxLines(0);
    const int lineHeight = QFontMetrics(font).height();
    symbol_->setBoxSize(QSize(qCeil(symbolSize), std::max(lineHeight, qCeil(symbolSize))));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(symbol_, 0, Qt::AlignTop);
    layout->addWidget(label_, 1);
    setAccessibleName(text);
}

} // namespace kestrivane
