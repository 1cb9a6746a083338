#include "TestSupport/FakeBrowser.h"

#include <QDir>
#include <QFile>

namespace kestrivane::test {

FakeBrowser::FakeBrowser()
{
    if (!folder_.isValid())
        return;
    QFile script(folder_.filePath(QStringLiteral("xdg-open")));
    if (!script.open(QIODevice::WriteOnly))
        return;
    // The record file is fixed into the script, so the fake works whatever environment it runs in.
    const QByteArray folder = folder_.path().toUtf8();
    script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + recordFile().toUtf8() + "'; done\n");
    // Chromium stays off the test session's bus (it would start services there) and gets a profile
    // of its own; the running marker is removed when it ends.
    script.write("if [ -f '" + folder + "/chromium-shots' ]; then\n"
                 "  n=$(wc -l < '" + recordFile().toUtf8() + "')\n"
                 "  shots=$(cat '" + folder + "/chromium-shots')\n"
                 "  profile=$(mktemp -d)\n"
                 "  touch '" + folder + "/chromium-running-'$n\n"
                 "  ( DBUS_SESSION_BUS_ADDRESS=disabled: /usr/bin/chromium --headless --no-sandbox --disable-gpu --disable-quic"
                 " --no-first-run --disable-background-networking --disable-component-update --disable-sync"
                 " --user-data-dir=\"$profile\" --window-size=900,700 --screenshot=\"$shots/browser-$n.png\" \"$1\";"
                 " rm -rf \"$profile\" '" + folder + "/chromium-running-'$n ) < /dev/null >> '" + folder + "/chromium.log' 2>&1 &\n"
                 "fi\nexit 0\n");
    script.close();
    valid_ = script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

FakeBrowser::~FakeBrowser()
{
    if (installed_)
        qputenv("PATH", savedPath_);
}

QByteArray FakeBrowser::path() const
{
    return folder_.path().toUtf8() + ':' + (installed_ ? savedPath_ : qgetenv("PATH"));
}

void FakeBrowser::install()
{
    if (installed_)
        return;
    savedPath_ = qgetenv("PATH");
    qputenv("PATH", folder_.path().toUtf8() + ':' + savedPath_);
    installed_ = true;
}

QStringList FakeBrowser::openedLinks() const
{
    QFile file(recordFile());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

void FakeBrowser::handToChromium(const QString &screenshotFolder)
{
    QFile marker(folder_.filePath(QStringLiteral("chromium-shots")));
    if (marker.open(QIODevice::WriteOnly))
        marker.write(screenshotFolder.toUtf8());
}

void FakeBrowser::stopHandingToChromium()
{
    QFile::remove(folder_.filePath(QStringLiteral("chromium-shots")));
}

bool FakeBrowser::chromiumIdle() const
{
    return QDir(folder_.path()).entryList({QStringLiteral("chromium-running-*")}, QDir::Files).isEmpty();
}

QString FakeBrowser::chromiumLog() const
{
    QFile file(folder_.filePath(QStringLiteral("chromium.log")));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace kestrivane::test
