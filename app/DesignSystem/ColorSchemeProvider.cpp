#include "DesignSystem/ColorSchemeProvider.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QPalette>
#include <QPointer>
#include <QWidget>

namespace kestrivane {

namespace {

const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");
const char overrideProperty[] = "kvColorScheme";

// The portal wraps values in one or two variants, depending on the method and its version.
QVariant unwrap(QVariant value)
{
    for (int depth = 0; depth < 3; ++depth) {
        if (value.canConvert<QDBusVariant>() && value.userType() == qMetaTypeId<QDBusVariant>())
            value = qvariant_cast<QDBusVariant>(value).variant();
        else if (value.userType() == qMetaTypeId<QDBusArgument>()) {
            QDBusVariant inner;
            qvariant_cast<QDBusArgument>(value) >> inner;
            value = inner.variant();
        } else
            break;
    }
    return value;
}

} // namespace

namespace {
QPointer<ColorSchemeProvider> &installedProvider()
{
    static QPointer<ColorSchemeProvider> provider;
    return provider;
}

void repaintAll()
{
    if (qobject_cast<QApplication *>(QCoreApplication::instance())) {
        for (QWidget *widget : QApplication::allWidgets())
            widget->update();
    }
}
} // namespace

ColorSchemeProvider &ColorSchemeProvider::shared()
{
    if (ColorSchemeProvider *installed = installedProvider())
        return *installed;
    static ColorSchemeProvider *provider = new ColorSchemeProvider(QDBusConnection::sessionBus(), qApp);
    return *provider;
}

void ColorSchemeProvider::setShared(ColorSchemeProvider *provider)
{
    installedProvider() = provider;
    repaintAll();
}

ColorSchemeProvider::ColorSchemeProvider(QDBusConnection bus, QObject *parent) : QObject(parent), bus_(std::move(bus))
{
    scheme_ = paletteScheme();
    if (QCoreApplication *application = QCoreApplication::instance())
        application->installEventFilter(this);
    if (bus_.isConnected()) {
        // The slot's argument type has to be known by name before QtDBus can hook it up.
        qRegisterMetaType<QDBusVariant>();
        // Any sender: the portal's name may change hands (a restarted portal, a stand-in) and only
        // the portal emits this signal on its path.
        bus_.connect(QString(), portalPath, portalInterface, QStringLiteral("SettingChanged"), this,
                     SLOT(settingChanged(QString, QString, QDBusVariant)));
        readPortal();
    }
}

ColorSchemeProvider::~ColorSchemeProvider()
{
    if (bus_.isConnected())
        bus_.disconnect(QString(), portalPath, portalInterface, QStringLiteral("SettingChanged"), this,
                        SLOT(settingChanged(QString, QString, QDBusVariant)));
}

void ColorSchemeProvider::readPortal()
{
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("ReadOne"));
    call << appearanceNamespace << colorSchemeKey;
    auto *watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *finished) {
        finished->deleteLater();
        const QDBusMessage reply = finished->reply();
        if (reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()) {
            applyPortalValue(reply.arguments().first());
            return;
        }
        // Portals before version 2 have only Read.
        QDBusMessage read = QDBusMessage::createMethodCall(portalService, portalPath, portalInterface, QStringLiteral("Read"));
        read << appearanceNamespace << colorSchemeKey;
        auto *second = new QDBusPendingCallWatcher(bus_.asyncCall(read, 2000), this);
        connect(second, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *done) {
            done->deleteLater();
            const QDBusMessage answer = done->reply();
            if (answer.type() == QDBusMessage::ReplyMessage && !answer.arguments().isEmpty())
                applyPortalValue(answer.arguments().first());
        });
    });
}

void ColorSchemeProvider::settingChanged(const QString &settingNamespace, const QString &key, const QDBusVariant &value)
{
    if (settingNamespace == appearanceNamespace && key == colorSchemeKey)
        applyPortalValue(QVariant::fromValue(value));
}

void ColorSchemeProvider::applyPortalValue(const QVariant &value)
{
    bool ok = false;
    const quint32 preference = unwrap(value).toUInt(&ok);
    if (!ok)
        return;
    portalPreference_ = preference;
    recompute();
}

void ColorSchemeProvider::recompute()
{
    ColorScheme scheme = paletteScheme();
    if (portalPreference_ == 1u)
        scheme = ColorScheme::dark;
    else if (portalPreference_ == 2u)
        scheme = ColorScheme::light;
    if (scheme == scheme_)
        return;
    scheme_ = scheme;
    repaintAll();
    emit changed(scheme_);
}

ColorScheme ColorSchemeProvider::paletteScheme()
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return ColorScheme::light;
    return QGuiApplication::palette().color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
}

bool ColorSchemeProvider::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::ApplicationPaletteChange)
        recompute();
    return QObject::eventFilter(watched, event);
}

ColorScheme colorScheme(const QWidget *widget)
{
    for (const QWidget *w = widget; w; w = w->parentWidget()) {
        const QVariant value = w->property(overrideProperty);
        if (value.isValid())
            return value.toInt() == static_cast<int>(ColorScheme::dark) ? ColorScheme::dark : ColorScheme::light;
    }
    return ColorSchemeProvider::shared().scheme();
}

void setColorSchemeOverride(QWidget *widget, std::optional<ColorScheme> scheme)
{
    widget->setProperty(overrideProperty, scheme ? QVariant(static_cast<int>(*scheme)) : QVariant());
    widget->update();
    for (QWidget *child : widget->findChildren<QWidget *>())
        child->update();
}

const KVPalette &kvPalette(const QWidget *widget)
{
    return KVDesign::palette(colorScheme(widget));
}

} // namespace kestrivane
