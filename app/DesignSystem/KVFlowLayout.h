#pragma once

#include <QLayout>
#include <QList>

namespace kestrivane {

// Lays its items out leading to trailing in lines, and starts a new line where the next item no
// longer fits: a row of buttons that wraps instead of squeezing its buttons. The items of a line
// are centred on it. Its height follows its width.
class KVFlowLayout : public QLayout {
public:
    KVFlowLayout(int itemSpacing, int lineSpacing, QWidget *parent = nullptr);
    ~KVFlowLayout() override;

    void addItem(QLayoutItem *item) override;
    int count() const override;
    QLayoutItem *itemAt(int index) const override;
    QLayoutItem *takeAt(int index) override;

    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // All items on one line.
    QSize sizeHint() const override;
    // As wide as the widest item.
    QSize minimumSize() const override;
    void setGeometry(const QRect &rect) override;

private:
    // Places the items in `rect` (only measures unless `apply`) and returns the height they take.
    int arrange(const QRect &rect, bool apply) const;

    QList<QLayoutItem *> items_;
    int itemSpacing_;
    int lineSpacing_;
};

} // namespace kestrivane
