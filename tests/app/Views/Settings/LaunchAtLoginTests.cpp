#include "TestSupport/SettingsTestSupport.h"

#include "DesignSystem/KVLabel.h"
#include "TestSupport/SecretTool.h"
#include "TestSupport/TestEnvironment.h"
#include "Views/Settings/CalendarSelectionSwitch.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &content, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        return false;
    file.close();
    return !executable || file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
}

// What desktop-file-validate says of a file: empty when it is clean.
QString validation(const QString &path)
{
    const SecretToolResult result = runProgram(QStringLiteral("desktop-file-validate"), {path});
    if (result.exitCode == -1)
        return QStringLiteral("desktop-file-validate did not run");
    return QString::fromUtf8(result.output + result.errors).trimmed();
}

struct AutostartFolders {
    QTemporaryDir root;
    XdgAutostartService::Location location(const QString &executable) const
    {
        return {root.filePath("config"), {root.filePath("system")}, executable, "app.kestrivane.Kestrivane", "Kestrivane"};
    }
};

} // namespace

TEST(LaunchAtLoginTest, TheAutostartEntryIsWrittenValidStartsThisProgramAndGoes)
{
    // Quoting: every reserved character and "%" come back as they were.
    for (const QString path : {"/usr/bin/kestrivane", "/opt/My App/kestrivane", "/tmp/100% sure/$HOME/`x`/\"q\"/\\b/kv",
                               "/tmp/tab\there/new\nline/kv", "/tmp/%f %u %%/kv"}) {
        EXPECT_EQ(XdgAutostartService::execProgram(XdgAutostartService::execValue(path)), path) << path.toStdString();
    }
    EXPECT_EQ(XdgAutostartService::execValue("/opt/My App/kv"), "\"/opt/My App/kv\"");
    EXPECT_EQ(XdgAutostartService::execValue("/tmp/a\\b$c/kv"), "\"/tmp/a\\\\\\\\b\\\\$c/kv\"");
    EXPECT_EQ(XdgAutostartService::execValue("/tmp/50%/kv"), "/tmp/50%%/kv");
    EXPECT_EQ(XdgAutostartService::execProgram("\"/unterminated"), std::nullopt);

    // A program under a folder of spaces, quotes, "$" and a backslash.
    AutostartFolders folders;
    const QString marker = folders.root.filePath("started");
    const QString folder = folders.root.filePath("My App $HOME \"q\" \\b");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString program = folder + "/kestrivane";
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\ntouch '" + marker.toUtf8() + "'\n", true));
    XdgAutostartService service(folders.location(program));
    EXPECT_EQ(service.status(), LoginItemService::Status::notRegistered);
    ASSERT_EQ(service.registerItem(), std::nullopt);
    EXPECT_EQ(service.status(), LoginItemService::Status::enabled);
    const QString entry = folders.root.filePath("config/autostart/app.kestrivane.Kestrivane.desktop");
    EXPECT_EQ(service.userEntryPath(), entry);
    EXPECT_EQ(validation(entry), QString());
    // The desktop's own launcher starts exactly this program from it.
    EXPECT_EQ(runProgram("gio", {"launch", entry}).exitCode, 0);
    EXPECT_TRUE(waitUntil([&] { return QFile::exists(marker); }, 5s));

    // A path with "%" and a space: written, valid, read back as this program.
    const QString percentFolder = folders.root.filePath("100% sure");
    ASSERT_TRUE(QDir().mkpath(percentFolder));
    ASSERT_TRUE(writeFile(percentFolder + "/kestrivane", "#!/bin/sh\n", true));
    XdgAutostartService percent(folders.location(percentFolder + "/kestrivane"));
    ASSERT_EQ(percent.registerItem(), std::nullopt);
    EXPECT_EQ(validation(entry), QString());
    EXPECT_TRUE(readFile(entry).contains("100%% sure"));
    EXPECT_EQ(percent.status(), LoginItemService::Status::enabled);
    // The same entry names another program for the first service: not its launch at login.
    EXPECT_EQ(service.status(), LoginItemService::Status::notRegistered);

    // Disabled entries do not count; unregistering removes the file.
    ASSERT_TRUE(writeFile(entry, readFile(entry).replace("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false")));
    EXPECT_EQ(percent.status(), LoginItemService::Status::notRegistered);
    ASSERT_EQ(percent.unregisterItem(), std::nullopt);
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(percent.status(), LoginItemService::Status::notRegistered);
}

TEST(LaunchAtLoginTest, AnEntryOfTheSystemIsHiddenByTheUsersOwn)
{
    AutostartFolders folders;
    const QString program = folders.root.filePath("kestrivane");
    ASSERT_TRUE(writeFile(program, "#!/bin/sh\n", true));
    ASSERT_TRUE(QDir().mkpath(folders.root.filePath("system/autostart")));
    ASSERT_TRUE(writeFile(folders.root.filePath("system/autostart/app.kestrivane.Kestrivane.desktop"),
                          "[Desktop Entry]\nType=Application\nName=Kestrivane\nExec=" + program.toUtf8() + " --background\n"));
    XdgAutostartService service(folders.location(program));
    EXPECT_EQ(service.status(), LoginItemService::Status::enabled);
    ASSERT_EQ(service.unregisterItem(), std::nullopt);
    EXPECT_EQ(service.status(), LoginItemService::Status::notRegistered);
    EXPECT_TRUE(readFile(service.userEntryPath()).contains("Hidden=true"));
    EXPECT_EQ(validation(service.userEntryPath()), QString());
    ASSERT_EQ(service.registerItem(), std::nullopt);
    EXPECT_EQ(service.status(), LoginItemService::Status::enabled);
    EXPECT_FALSE(readFile(service.userEntryPath()).contains("Hidden"));
}

TEST(LaunchAtLoginTest, TheRowShowsWhatTheServiceReportsAndItsFailures)
{
    KV_REQUIRE(displayProblem());
    LanguageGuard guard("en");
    // An autostart folder that cannot be made: the failure under the row, the switch off.
    AutostartFolders folders;
    ASSERT_TRUE(QDir().mkpath(folders.root.filePath("config")));
    ASSERT_TRUE(writeFile(folders.root.filePath("config/autostart"), "not a folder"));
    auto blocked = std::make_shared<XdgAutostartService>(folders.location(folders.root.filePath("kestrivane")));
    LaunchAtLoginRow row(blocked);
    row.show();
    QTest::mouseClick(row.toggle(), Qt::LeftButton);
    EXPECT_FALSE(row.toggle()->isOn());
    ASSERT_TRUE(row.errorMessage().has_value());
    EXPECT_TRUE(row.errorMessage()->startsWith("Launch at login could not be changed: ")) << row.errorMessage()->toStdString();
    EXPECT_TRUE(row.findChild<KVLabel *>("launchAtLoginError")->isVisible());

    // Registered but waiting for an approval: off, without a message; a later failure shows, a
    // later success clears it.
    auto service = std::make_shared<MemoryLoginItems>();
    service->staysOff = true;
    LaunchAtLoginRow fake(service);
    fake.show();
    QTest::mouseClick(fake.toggle(), Qt::LeftButton);
    EXPECT_EQ(service->registrations, 1);
    EXPECT_FALSE(fake.toggle()->isOn());
    EXPECT_FALSE(fake.errorMessage().has_value());
    service->failure = QStringLiteral("No space left on device");
    QTest::mouseClick(fake.toggle(), Qt::LeftButton);
    EXPECT_EQ(fake.errorMessage(), QStringLiteral("No space left on device"));
    EXPECT_FALSE(fake.toggle()->isOn());
    service->failure.reset();
    service->staysOff = false;
    QTest::mouseClick(fake.toggle(), Qt::LeftButton);
    EXPECT_TRUE(fake.toggle()->isOn());
    EXPECT_FALSE(fake.errorMessage().has_value());
    EXPECT_FALSE(fake.findChild<KVLabel *>("launchAtLoginError")->isVisible());
}
