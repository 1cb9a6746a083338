#pragma once

#include <QMetaObject>
#include <QObject>
#include <QString>

#include <functional>

namespace kestrivane {

// The application-wide notifications: named posts without an object or payload, heard by every
// observer of the name. Posts are delivered at once, on the posting thread (the main thread).
class AppNotificationCenter : public QObject {
    Q_OBJECT

public:
    // Show the Today window.
    static inline const QString openTodayMeetsWindow = QStringLiteral("openTodayMeetsWindow");
    // Run a user-initiated update check.
    static inline const QString checkForUpdates = QStringLiteral("checkForUpdates");

    using QObject::QObject;

    // The application's centre.
    static AppNotificationCenter &defaultCenter();

    void post(const QString &name);
    // Runs `action` on every post of `name` while `context` lives.
    QMetaObject::Connection observe(const QString &name, const QObject *context, std::function<void()> action);

signals:
    void posted(const QString &name);
};

} // namespace kestrivane
