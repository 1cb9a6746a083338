#pragma once

#include <QString>
#include <QStringList>

namespace kestrivane {

// Whether the application runs from a folder that can vanish under it: the temporary folder,
// /var/tmp or the user's runtime folder.
class LaunchLocation {
public:
    // The running program: $APPIMAGE when set (the image, not its mount), else the executable,
    // with symbolic links resolved.
    static QString resolvedExecutablePath();
    // The temporary folders, each as given and with its links resolved.
    static QStringList temporaryFolders();

    // Whether `path` lies in one of `folders` (a whole-component prefix test).
    static bool isTemporary(const QString &path, const QStringList &folders);
    static bool isRunningFromTemporaryLocation();
};

} // namespace kestrivane
