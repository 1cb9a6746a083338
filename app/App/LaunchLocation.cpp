#include "App/LaunchLocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace kestrivane {

namespace {

QString resolved(const QString &path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(path).absoluteFilePath()) : canonical;
}

} // namespace

QString LaunchLocation::resolvedExecutablePath()
{
    const QString appImage = qEnvironmentVariable("APPIMAGE");
    return resolved(appImage.isEmpty() ? QCoreApplication::applicationFilePath() : appImage);
}

QStringList LaunchLocation::temporaryFolders()
{
    QStringList given{QDir::tempPath(), QStringLiteral("/tmp"), QStringLiteral("/var/tmp")};
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        given.append(runtime);
    QStringList folders;
    for (const QString &folder : given) {
        for (const QString &form : {QDir::cleanPath(folder), resolved(folder)}) {
            if (!form.isEmpty() && form != u"/" && !folders.contains(form))
                folders.append(form);
        }
    }
    return folders;
}

bool LaunchLocation::isTemporary(const QString &path, const QStringList &folders)
{
    for (const QString &folder : folders) {
        if (path == folder || path.startsWith(folder + u'/'))
            return true;
    }
    return false;
}

bool LaunchLocation::isRunningFromTemporaryLocation()
{
    return isTemporary(resolvedExecutablePath(), temporaryFolders());
}

} // namespace kestrivane
