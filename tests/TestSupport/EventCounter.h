#pragma once

#include <QEvent>
#include <QObject>

namespace kestrivane::test {

// Counts the events of one type that reach `watched` (a widget's paints, for example) while it lives.
class EventCounter : public QObject {
public:
    EventCounter(QObject *watched, QEvent::Type type, int *count) : type_(type), count_(count)
    {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type_)
            ++*count_;
        return false;
    }

private:
    QEvent::Type type_;
    int *count_;
};

} // namespace kestrivane::test
