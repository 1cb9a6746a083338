#include "Views/Settings/LaunchAtLogin.h"

#include "DesignSystem/KVLabel.h"
#include "Support/AppL10n.h"
#include "Support/InstalledApplication.h"
#include "Views/Settings/CalendarSelectionSwitch.h"
#include "Views/Settings/SettingsPaneKit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace kestrivane {

namespace {

const QString autostartFolder = QStringLiteral("/autostart/");

// The entries of the [Desktop Entry] group of a desktop file (keys without a locale).
QHash<QString, QString> readDesktopEntry(const QString &path)
{
    QHash<QString, QString> entries;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    bool inGroup = false;
    for (const QString &raw : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u"[Desktop Entry]";
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || equals <= 0)
            continue;
        const QString key = line.left(equals).trimmed();
        if (!entries.contains(key))
            entries.insert(key, line.mid(equals + 1).trimmed());
    }
    return entries;
}

// A desktop-entry string value as text.
QString unescapeString(const QString &value)
{
    QString text;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            text += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's': text += u' '; break;
        case 'n': text += u'\n'; break;
        case 't': text += u'\t'; break;
        case 'r': text += u'\r'; break;
        default: text += next; break;
        }
    }
    return text;
}

bool sameProgram(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    const QString canonicalB = QFileInfo(b).canonicalFilePath();
    if (!canonicalA.isEmpty() && !canonicalB.isEmpty())
        return canonicalA == canonicalB;
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

} // namespace

XdgAutostartService::Location XdgAutostartService::currentLocation(AppBuildChannel channel)
{
    Location location;
    location.configHome = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    const QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    location.configDirs = dirs.isEmpty() ? QStringList{QStringLiteral("/etc/xdg")} : dirs.split(u':', Qt::SkipEmptyParts);
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    location.executable = appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage;
    location.applicationID = InstalledApplication::applicationID(channel);
    location.displayName = channel.displayName();
    return location;
}

XdgAutostartService::XdgAutostartService(Location location) : location_(std::move(location)) {}

QString XdgAutostartService::userEntryPath() const
{
    return location_.configHome + autostartFolder + location_.applicationID + QStringLiteral(".desktop");
}

std::optional<QString> XdgAutostartService::systemEntryPath() const
{
    for (const QString &folder : location_.configDirs) {
        const QString path = folder + autostartFolder + location_.applicationID + QStringLiteral(".desktop");
        if (QFileInfo(path).isFile())
            return path;
    }
    return std::nullopt;
}

LoginItemService::Status XdgAutostartService::status() const
{
    QString path = userEntryPath();
    if (!QFileInfo(path).isFile()) {
        const auto system = systemEntryPath();
        if (!system)
            return Status::notRegistered;
        path = *system;
    }
    const QHash<QString, QString> entry = readDesktopEntry(path);
    if (entry.value(QStringLiteral("Hidden")) == u"true" ||
        entry.value(QStringLiteral("X-GNOME-Autostart-enabled")) == u"false")
        return Status::notRegistered;
    const auto program = execProgram(entry.value(QStringLiteral("Exec")));
    return program && sameProgram(*program, location_.executable) ? Status::enabled : Status::notRegistered;
}

std::optional<QString> XdgAutostartService::registerItem()
{
    return writeEntry(false);
}

std::optional<QString> XdgAutostartService::unregisterItem()
{
    QFile user(userEntryPath());
    if (user.exists() && !user.remove())
        return AppL10n::format(QStringLiteral("launch_at_login_failed"), user.errorString());
    // An entry of the system stays; a hidden entry of the user's overrides it.
    if (systemEntryPath())
        return writeEntry(true);
    return std::nullopt;
}

std::optional<QString> XdgAutostartService::writeEntry(bool hidden) const
{
    QDir().mkpath(location_.configHome + autostartFolder);
    QSaveFile file(userEntryPath());
    QByteArray content = "[Desktop Entry]\nType=Application\nName=" + location_.displayName.toUtf8() + "\nExec=" +
                         execValue(location_.executable).toUtf8() + "\nX-GNOME-Autostart-enabled=true\n";
    if (hidden)
        content += "Hidden=true\n";
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return AppL10n::format(QStringLiteral("launch_at_login_failed"), file.errorString());
    return std::nullopt;
}

QString XdgAutostartService::execValue(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString word = program;
    if (std::any_of(program.begin(), program.end(), [](QChar c) { return reserved.contains(c); })) {
        word = QStringLiteral("\"");
        for (const QChar c : program) {
            if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
                word += u'\\';
            word += c;
        }
        word += u'"';
    }
    word.replace(u'%', QStringLiteral("%%"));
    // The Exec value is a string: its own escapes come last.
    QString value;
    for (const QChar c : word) {
        switch (c.unicode()) {
        case '\\': value += QStringLiteral("\\\\"); break;
        case '\n': value += QStringLiteral("\\n"); break;
        case '\t': value += QStringLiteral("\\t"); break;
        case '\r': value += QStringLiteral("\\r"); break;
        default: value += c; break;
        }
    }
    return value;
}

std::optional<QString> XdgAutostartService::execProgram(const QString &exec)
{
    const QString command = unescapeString(exec);
    qsizetype i = 0;
    while (i < command.size() && command[i] == u' ')
        ++i;
    if (i == command.size())
        return std::nullopt;
    QString word;
    if (command[i] == u'"') {
        bool closed = false;
        for (++i; i < command.size(); ++i) {
            const QChar c = command[i];
            if (c == u'"') {
                closed = true;
                break;
            }
            if (c == u'\\' && i + 1 < command.size()) {
                const QChar next = command[i + 1];
                if (next == u'"' || next == u'`' || next == u'$' || next == u'\\') {
                    word += next;
                    ++i;
                    continue;
                }
            }
            word += c;
        }
        if (!closed)
            return std::nullopt;
    } else {
        while (i < command.size() && command[i] != u' ')
            word += command[i++];
    }
    word.replace(QStringLiteral("%%"), QStringLiteral("%"));
    return word;
}

LaunchAtLoginRow::LaunchAtLoginRow(std::shared_ptr<LoginItemService> service, QWidget *parent)
    : QWidget(parent), service_(std::move(service))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    switch_ = new CalendarSelectionSwitch(false, [this](bool on) { setLaunchAtLogin(on); }, nullptr,
                                          AppL10n::text(QStringLiteral("settings_launch_at_login")));
    switch_->setObjectName(QStringLiteral("launchAtLogin"));
    layout->addWidget(new SettingsRow(QStringLiteral("power"), KVColorRef(&KVPalette::fill1), KVColorRef(&KVPalette::text2),
                                      AppL10n::text(QStringLiteral("settings_launch_at_login")), switch_, this));
    errorBox_ = new QWidget(this);
    auto *errorLayout = new QVBoxLayout(errorBox_);
    errorLayout->setContentsMargins(14, 0, 14, 8);
    error_ = new KVLabel(QString(), KVFont::system(11), KVColorRef(&KVPalette::danger), errorBox_);
    error_->setMaxLines(0);
    error_->setObjectName(QStringLiteral("launchAtLoginError"));
    errorLayout->addWidget(error_);
    layout->addWidget(errorBox_);
    refresh();
}

void LaunchAtLoginRow::setLaunchAtLogin(bool enabled)
{
    errorMessage_.reset();
    const std::optional<QString> failure = enabled ? service_->registerItem() : service_->unregisterItem();
    refresh();
    errorMessage_ = failure;
    showState();
}

void LaunchAtLoginRow::refresh()
{
    isEnabled_ = service_ && service_->status() == LoginItemService::Status::enabled;
    showState();
}

void LaunchAtLoginRow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refresh();
}

void LaunchAtLoginRow::showState()
{
    switch_->setOn(isEnabled_);
    error_->setText(errorMessage_.value_or(QString()));
    errorBox_->setVisible(errorMessage_.has_value());
}

} // namespace kestrivane
