#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace kestrivane::test {

// A folder holding a fake xdg-open that appends each of its arguments, one per line, to a record
// file and exits 0. Put `binFolder()` first on PATH (of this process with `install()`, or of a
// launched program through its environment) and read the opened links back with `openedLinks()`.
// While `handToChromium()` is on, it also hands each link to a headless Chromium of a fresh profile
// (in the background, as a running browser takes a link), which follows it and leaves a screenshot
// of the page it ends on.
class FakeBrowser {
public:
    FakeBrowser();
    ~FakeBrowser();

    FakeBrowser(const FakeBrowser &) = delete;
    FakeBrowser &operator=(const FakeBrowser &) = delete;

    bool isValid() const { return valid_; }
    QString binFolder() const { return folder_.path(); }
    QString recordFile() const { return folder_.filePath(QStringLiteral("opened")); }
    // PATH with the fake first.
    QByteArray path() const;

    // Puts the fake first on this process's PATH until destruction.
    void install();

    QStringList openedLinks() const;

    // Links opened from now on go to headless Chromium, which saves the page it ends on as
    // `<screenshotFolder>/browser-<n>.png` (n: the link's number in openedLinks(), from 1).
    void handToChromium(const QString &screenshotFolder);
    // Links are only recorded again.
    void stopHandingToChromium();
    // Whether every Chromium started so far has ended.
    bool chromiumIdle() const;
    QString chromiumLog() const;

private:
    QTemporaryDir folder_;
    bool valid_ = false;
    bool installed_ = false;
    QByteArray savedPath_;
};

} // namespace kestrivane::test
