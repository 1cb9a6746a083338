#include "Support/Browser.h"

#include "TestSupport/Coroutines.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

// Puts a stand-in xdg-open first on PATH that records its arguments, one per line, and exits
// with the given status.
class FakeXdgOpen {
public:
    explicit FakeXdgOpen(int exitStatus)
    {
        const QString script = dir_.filePath("xdg-open");
        QFile file(script);
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >> '%1'\nexit %2\n")
                       .arg(log(), QString::number(exitStatus))
                       .toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        oldPath_ = qgetenv("PATH");
        qputenv("PATH", dir_.path().toUtf8() + ":" + oldPath_);
    }
    ~FakeXdgOpen() { qputenv("PATH", oldPath_); }

    QString log() const { return dir_.filePath("calls.log"); }
    QStringList arguments() const
    {
        QFile file(log());
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

} // namespace

TEST(BrowserTest, OnlyWebLinksCount)
{
    EXPECT_TRUE(isWebURL(QUrl("https://meet.google.com/abc-defg-hij")));
    EXPECT_TRUE(isWebURL(QUrl("HTTP://example.com")));
    EXPECT_FALSE(isWebURL(QUrl("file:///etc/passwd")));
    EXPECT_FALSE(isWebURL(QUrl("javascript:alert(1)")));
    EXPECT_FALSE(isWebURL(QUrl("meet.google.com/abc")));
    EXPECT_FALSE(isWebURL(QUrl("https://")));
    EXPECT_FALSE(isWebURL(QUrl()));
}

TEST(BrowserTest, PassesTheLinkAsOneArgumentAndAnswersTheExitStatus)
{
    FakeXdgOpen xdgOpen(0);
    const QUrl link("https://accounts.google.com/AccountChooser?Email=a%2Bb@example.com&continue=https://meet.google.com/x;echo%20hi");
    EXPECT_TRUE(test::runTask(openInBrowser(link)));
    EXPECT_EQ(xdgOpen.arguments(), QStringList{link.toString(QUrl::FullyEncoded)});
}

TEST(BrowserTest, FailingOpenerAndRefusedLinksAnswerFalse)
{
    FakeXdgOpen xdgOpen(3);
    EXPECT_FALSE(test::runTask(openInBrowser(QUrl("https://example.com"))));
    EXPECT_FALSE(test::runTask(openInBrowser(QUrl("--help"))));
    EXPECT_FALSE(test::runTask(openInBrowser(QUrl("file:///tmp/x"))));
    EXPECT_EQ(xdgOpen.arguments().size(), 1); // refused links never reach the opener
}
