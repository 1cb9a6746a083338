#include "Support/WindowRegistry.h"

#include "DesignSystem/KVWindowChrome.h"

namespace kestrivane {

WindowRegistry::~WindowRegistry()
{
    for (const QPointer<QWidget> &window : std::as_const(windows_))
        delete window.data();
}

void WindowRegistry::declare(Scene scene)
{
    const QString identifier = scene.identifier;
    scenes_.insert(identifier, std::move(scene));
}

QWidget *WindowRegistry::window(const QString &identifier) const
{
    return windows_.value(identifier).data();
}

bool WindowRegistry::bringToFront(const QString &identifier)
{
    QWidget *existing = window(identifier);
    if (!existing)
        return false;
    front(existing);
    return true;
}

QWidget *WindowRegistry::open(const QString &identifier)
{
    if (bringToFront(identifier))
        return window(identifier);
    const auto scene = scenes_.constFind(identifier);
    if (scene == scenes_.cend())
        return nullptr;

    // Frameless: the content draws the title strip with the window controls.
    auto *window = new KVWindow(identifier);
    window->setAttribute(Qt::WA_DeleteOnClose);
    if (scene->title)
        window->setWindowTitle(scene->title());
    if (scene->makeContent) {
        if (QWidget *content = scene->makeContent())
            window->setContent(content);
    }
    window->resize(scene->defaultSize);
    windows_.insert(identifier, window);
    emit windowCreated(identifier, window);
    front(window);
    return window;
}

void WindowRegistry::front(QWidget *window)
{
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace kestrivane
