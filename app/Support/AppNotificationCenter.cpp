#include "Support/AppNotificationCenter.h"

namespace kestrivane {

AppNotificationCenter &AppNotificationCenter::defaultCenter()
{
    static AppNotificationCenter center;
    return center;
}

void AppNotificationCenter::post(const QString &name)
{
    emit posted(name);
}

QMetaObject::Connection AppNotificationCenter::observe(const QString &name, const QObject *context, std::function<void()> action)
{
    return connect(this, &AppNotificationCenter::posted, context, [name, action = std::move(action)](const QString &postedName) {
        if (postedName == name && action)
            action();
    });
}

} // namespace kestrivane
