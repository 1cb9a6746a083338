#pragma once

#include "DesignSystem/ColorSchemeProvider.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "Support/ShortcutSettings.h"
#include "Support/UpdateStatusStore.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"
#include "Views/Settings/LaunchAtLogin.h"
#include "Views/Settings/SettingsView.h"

#include <QCoreApplication>
#include <QDir>
#include <QWidget>

namespace kestrivane::test {

// The three lookups in one language for the scope of the guard.
class LanguageGuard {
public:
    explicit LanguageGuard(const QString &language) { set(language); }
    ~LanguageGuard() { set(std::nullopt); }
    static void set(const std::optional<QString> &language)
    {
        AppL10n::configure(language);
        L10n::configure(language);
        DateFormatting::configure(language);
    }
};

// A login-item service that only remembers.
class MemoryLoginItems : public LoginItemService {
public:
    Status status() const override { return enabled ? Status::enabled : Status::notRegistered; }
    std::optional<QString> registerItem() override
    {
        ++registrations;
        if (failure)
            return failure;
        enabled = !staysOff;
        return std::nullopt;
    }
    std::optional<QString> unregisterItem() override
    {
        if (failure)
            return failure;
        enabled = false;
        return std::nullopt;
    }
    bool enabled = false;
    bool staysOff = false; // registered, but waiting for an approval
    int registrations = 0;
    std::optional<QString> failure;
};

// The settings window's objects in process: a store of `parts`, update status, shortcut settings.
struct SettingsFixture {
    explicit SettingsFixture(StoreParts &parts, bool demo = false, const QString &language = QStringLiteral("en"))
    {
        AppStore::Configuration configuration = parts.configuration();
        if (demo) {
            configuration.demoMode.enabled = true;
            configuration.demoMode.localeIdentifier = language;
        }
        store = std::make_unique<AppStore>(configuration);
        shortcuts = std::make_unique<ShortcutSettings>(*parts.defaults);
    }

    SettingsEnvironment environment()
    {
        SettingsEnvironment environment;
        environment.store = store.get();
        environment.updateStatus = &updateStatus;
        environment.shortcutSettings = shortcuts.get();
        environment.loginItems = loginItems;
        environment.alertSound = [this] { ++beeps; };
        environment.startProgram = [this](const QString &program, const QStringList &arguments) {
            started << (QStringList{program} + arguments).join(u' ');
            return false;
        };
        return environment;
    }

    std::unique_ptr<AppStore> store;
    UpdateStatusStore updateStatus;
    std::unique_ptr<ShortcutSettings> shortcuts;
    std::shared_ptr<MemoryLoginItems> loginItems = std::make_shared<MemoryLoginItems>();
    int beeps = 0;
    QStringList started;
};

// Saves `widget` drawn in `scheme` under artifacts/settings/<name>.png.
inline QString render(QWidget &widget, ColorScheme scheme, const QString &name)
{
    setColorSchemeOverride(&widget, scheme);
    spin(std::chrono::milliseconds(50));
    const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/settings");
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    widget.grab().save(path);
    return path;
}

} // namespace kestrivane::test
