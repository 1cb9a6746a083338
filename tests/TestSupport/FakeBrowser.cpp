#include "TestSupport/FakeBrowser.h"

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
    script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + recordFile().toUtf8() + "'; done\nexit 0\n");
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

} // namespace kestrivane::test
