#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

namespace kestrivane {

// The application's windows by identifier: one instance each, created on demand and fronted when
// it exists. The identifier is the window's object name and its X11 window role. A closed window
// is deleted; the next open creates it anew.
class WindowRegistry : public QObject {
    Q_OBJECT

public:
    static inline const QString todayMeets = QStringLiteral("today-meets");
    static inline const QString settings = QStringLiteral("settings");
    static inline const QString setup = QStringLiteral("setup");

    struct Scene {
        QString identifier;
        std::function<QString()> title;          // looked up when the window is created
        QSize defaultSize;
        std::function<QWidget *()> makeContent;  // the window's root view
    };

    using QObject::QObject;
    ~WindowRegistry() override;

    void declare(Scene scene);

    // The open window of the identifier, fronted; a new one when there is none. Null for an
    // identifier that was not declared.
    QWidget *open(const QString &identifier);
    // Fronts the open window of the identifier (restoring it when minimised, raising and
    // activating it); false when there is none.
    bool bringToFront(const QString &identifier);
    QWidget *window(const QString &identifier) const;

    static void front(QWidget *window);

signals:
    void windowCreated(const QString &identifier, QWidget *window);

private:
    QHash<QString, Scene> scenes_;
    QHash<QString, QPointer<QWidget>> windows_;
};

} // namespace kestrivane
