#pragma once

#include "DesignSystem/KVDesign.h"

#include <QWidget>

namespace kestrivane {

class KVLabel;
class KVSymbol;

// A symbol before a text that wraps without a line limit: the symbol is centred on the first line.
// Read by screen readers as its text.
class SetupLabel : public QWidget {
    Q_OBJECT

public:
    SetupLabel(const QString &systemImage, qreal symbolSize, const QString &text, const QFont &font, KVColorRef color,
               QWidget *parent = nullptr);

    KVLabel *label() const { return label_; }
    KVSymbol *symbol() const { return symbol_; }

private:
    KVSymbol *symbol_;
    KVLabel *label_;
};

} // namespace kestrivane
