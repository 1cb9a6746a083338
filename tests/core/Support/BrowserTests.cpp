#include "Support/Browser.h"
#include "TestSupport/Coroutines.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

namespace {

// Puts a fake xdg-open first on PATH that records its arguments, one per line, and exits with
// $FAKE_XDG_OPEN_STATUS after sleeping $FAKE_XDG_OPEN_SLEEP seconds.
class OpenInBrowserTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        record = folder.filePath("arguments");
        QFile script(folder.filePath("xdg-open"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\n"
                     "for a in \"$@\"; do printf '%s\\n' \"$a\" >> \"$FAKE_XDG_OPEN_RECORD\"; done\n"
                     "sleep \"${FAKE_XDG_OPEN_SLEEP:-0}\"\n"
                     "exit \"${FAKE_XDG_OPEN_STATUS:-0}\"\n");
        script.close();
        script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        savedPath = qgetenv("PATH");
        qputenv("PATH", folder.path().toUtf8() + ':' + savedPath);
        qputenv("FAKE_XDG_OPEN_RECORD", record.toUtf8());
    }

    void TearDown() override
    {
        qputenv("PATH", savedPath);
        qunsetenv("FAKE_XDG_OPEN_STATUS");
        qunsetenv("FAKE_XDG_OPEN_SLEEP");
        qunsetenv("FAKE_XDG_OPEN_RECORD");
    }

    QStringList recorded() const
    {
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

    QTemporaryDir folder;
    QString record;
    QByteArray savedPath;
};

} // namespace

TEST_F(OpenInBrowserTest, OpensWebLinksAsOneArgumentWithoutAShell)
{
    const QString hostile = QStringLiteral("https://meet.example.com/abc-defg-hij?x=$(touch%20") + folder.filePath("pwned")
                            + QStringLiteral(")&y=`id`;rm -rf ~ | cat");
    const QUrl url(hostile);
    ASSERT_TRUE(url.isValid());
    EXPECT_TRUE(test::runTask(openInBrowser(url)));
    const QStringList arguments = recorded();
    ASSERT_EQ(arguments.size(), 1);
    EXPECT_EQ(QUrl(arguments[0]), url);
    EXPECT_TRUE(arguments[0].startsWith("https://meet.example.com/abc-defg-hij?"));
    EXPECT_FALSE(QFile::exists(folder.filePath("pwned")));

    EXPECT_TRUE(test::runTask(openInBrowser(QUrl("HTTP://example.com/a b"))));
    EXPECT_EQ(recorded().size(), 2);
}

TEST_F(OpenInBrowserTest, RefusesEverythingButHttpAndHttps)
{
    EXPECT_TRUE(isWebURL(QUrl("HTTPS://meet.google.com/abc")));
    EXPECT_FALSE(isWebURL(QUrl("meet.google.com/abc")));
    for (const char *link : {"file:///etc/passwd", "javascript:alert(1)", "mailto:a@example.com", "ftp://example.com/",
                             "-h", "", "https://", "data:text/html,hi", "x-scheme-handler://payload"})
        EXPECT_FALSE(test::runTask(openInBrowser(QUrl(QString::fromLatin1(link))))) << link;
    EXPECT_TRUE(recorded().isEmpty());
}

TEST_F(OpenInBrowserTest, AnswersWhetherXdgOpenSucceeded)
{
    qputenv("FAKE_XDG_OPEN_STATUS", "3");
    EXPECT_FALSE(test::runTask(openInBrowser(QUrl("https://example.com/"))));
    EXPECT_EQ(recorded().size(), 1);

    // Still running after the patience: the browser runs in the foreground, counted as opened.
    qputenv("FAKE_XDG_OPEN_STATUS", "0");
    qputenv("FAKE_XDG_OPEN_SLEEP", "2");
    EXPECT_TRUE(test::runTask(openInBrowser(QUrl("https://example.com/"), 200ms)));

    // No xdg-open at all.
    qputenv("PATH", folder.filePath("nowhere").toUtf8());
    EXPECT_FALSE(test::runTask(openInBrowser(QUrl("https://example.com/"))));
}
