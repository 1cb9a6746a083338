#pragma once

#include "DesignSystem/KVDesign.h"

#include <QDBusConnection>
#include <QDBusVariant>
#include <QObject>

#include <optional>

class QWidget;

namespace kestrivane {

// The light or dark scheme of the whole application. The desktop portal's
// "org.freedesktop.appearance" "color-scheme" setting decides (read over the session bus and
// followed through its SettingChanged signal); where no portal answers, or it states no preference,
// the lightness of the application palette's window colour decides. On a change every widget is
// repainted and changed() is emitted.
class ColorSchemeProvider : public QObject {
    Q_OBJECT

public:
    static inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
    static inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
    static inline const QString portalInterface = QStringLiteral("org.freedesktop.portal.Settings");

    // The application's provider: the one set with setShared(), else one on the session bus.
    static ColorSchemeProvider &shared();
    // Makes `provider` the application's (tests: one on a private bus with a portal stand-in);
    // null goes back to the session bus's. Every widget is repainted. The caller keeps ownership.
    static void setShared(ColorSchemeProvider *provider);

    explicit ColorSchemeProvider(QDBusConnection bus, QObject *parent = nullptr);
    ~ColorSchemeProvider() override;

    ColorScheme scheme() const { return scheme_; }
    // What the portal said: 1 dark, 2 light, 0 no preference; none before an answer or without a portal.
    std::optional<quint32> portalPreference() const { return portalPreference_; }

signals:
    void changed(ColorScheme scheme);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void settingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value);

private:
    void readPortal();
    void applyPortalValue(const QVariant &value);
    void recompute();
    static ColorScheme paletteScheme();

    QDBusConnection bus_;
    std::optional<quint32> portalPreference_;
    ColorScheme scheme_ = ColorScheme::light;
};

// The scheme a widget is drawn in: the override set on it or its nearest ancestor, else the
// application's. Views and components read it at paint time.
ColorScheme colorScheme(const QWidget *widget);
// Draws `widget` and its children in `scheme` whatever the desktop says (none: follow it again).
// For rendering a view in both schemes.
void setColorSchemeOverride(QWidget *widget, std::optional<ColorScheme> scheme);
// The palette of colorScheme(widget).
const KVPalette &kvPalette(const QWidget *widget);

} // namespace kestrivane
