#pragma once

#include <QObject>
#include <QString>

#include <functional>

class QLayout;
class QWidget;

namespace kestrivane {

// Coalesces change notifications into one refresh on the next turn of the event loop, so a view
// derives its state once per burst of store changes and never rebuilds a widget inside that
// widget's own signal handler.
class KVDeferredRefresh : public QObject {
    Q_OBJECT

public:
    KVDeferredRefresh(QObject *owner, std::function<void()> refresh);

    void request();
    bool isPending() const { return pending_; }

    // Requests a refresh on every emission of `signal`.
    template<typename Sender, typename Signal>
    void follow(const Sender *sender, Signal signal)
    {
        connect(sender, signal, this, &KVDeferredRefresh::request);
    }

private:
    std::function<void()> refresh_;
    bool pending_ = false;
};

// A tooltip that shows `text` as it is: text that Qt would take for rich text is escaped.
QString plainTextToolTip(const QString &text);

// Empties `layout`: its widgets are hidden and deleted later (safe inside their own handlers), its
// nested layouts deleted.
void clearLayout(QLayout *layout);

// Keeps the children of every widget under `root` in the order of its layouts (top to bottom,
// leading to trailing), widgets outside any layout (overlays, grips, focus rings) after them in the
// order they had: screen readers read children in that order, so they read a view as it is drawn.
// It orders them now and, on the next turn, after any layout under `root` changed (a section built
// again puts its new widgets at the end of its parent's children).
void keepChildrenInLayoutOrder(QWidget *root);

// Puts the widgets under `root` that take Tab focus into the order of its layouts (top to bottom,
// leading to trailing); widgets outside any layout follow in the order of their creation.
void orderTabFocusByLayout(QWidget *root);

} // namespace kestrivane
