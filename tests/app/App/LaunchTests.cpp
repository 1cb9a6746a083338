#include "App/ApplicationIcon.h"
#include "App/GoogleStandIn.h"
#include "App/LaunchLocation.h"
#include "App/QuitSignals.h"
#include "App/SingleInstance.h"
#include "DesignSystem/KestrivaneAppIconView.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>

using namespace kestrivane;
using namespace std::chrono_literals;

TEST(LaunchLocationTest, TemporaryFoldersMatchWholePathComponents)
{
    const QStringList folders{"/tmp", "/var/tmp", "/run/user/1000"};
    EXPECT_TRUE(LaunchLocation::isTemporary("/tmp/kestrivane", folders));
    EXPECT_TRUE(LaunchLocation::isTemporary("/tmp/.mount_Kestri/usr/bin/kestrivane", folders));
    EXPECT_TRUE(LaunchLocation::isTemporary("/var/tmp/x/kestrivane", folders));
    EXPECT_TRUE(LaunchLocation::isTemporary("/run/user/1000/app/kestrivane", folders));
    EXPECT_FALSE(LaunchLocation::isTemporary("/tmpfs/kestrivane", folders));
    EXPECT_FALSE(LaunchLocation::isTemporary("/usr/bin/kestrivane", folders));
    EXPECT_FALSE(LaunchLocation::isTemporary("/home/me/.local/bin/kestrivane", folders));

    const QStringList actual = LaunchLocation::temporaryFolders();
    EXPECT_TRUE(actual.contains("/var/tmp"));
    EXPECT_TRUE(actual.contains(QDir::cleanPath(QDir::tempPath())));
    EXPECT_FALSE(actual.contains("/"));
}

TEST(LaunchLocationTest, TheResolvedProgramCountsAndAppImageWins)
{
    // A link outside the temporary folders that points into one counts as temporary.
    QTemporaryDir inside(QDir::tempPath() + "/kv-launch-XXXXXX");
    QFile(inside.filePath("kestrivane")).open(QIODevice::WriteOnly);
    const QString outside = QCoreApplication::applicationDirPath() + "/kv-launch-link";
    QFile::remove(outside);
    ASSERT_TRUE(QFile::link(inside.filePath("kestrivane"), outside));
    qputenv("APPIMAGE", outside.toUtf8());
    EXPECT_EQ(LaunchLocation::resolvedExecutablePath(), QFileInfo(inside.filePath("kestrivane")).canonicalFilePath());
    EXPECT_TRUE(LaunchLocation::isRunningFromTemporaryLocation());
    qputenv("APPIMAGE", "/opt/Kestrivane.AppImage");
    EXPECT_EQ(LaunchLocation::resolvedExecutablePath(), "/opt/Kestrivane.AppImage");
    EXPECT_FALSE(LaunchLocation::isRunningFromTemporaryLocation());
    qunsetenv("APPIMAGE");
    QFile::remove(outside);
}

TEST(ApplicationIconTest, DevBuildsCarryTheOrangeBadge)
{
    KV_REQUIRE(test::displayProblem());
    const QImage release = ApplicationIcon::image(AppBuildChannel::release, 256);
    const QImage dev = ApplicationIcon::image(AppBuildChannel::dev, 256);
    ASSERT_FALSE(release.isNull());
    const QString folder = QCoreApplication::applicationDirPath() + "/artifacts/application-icon";
    QDir().mkpath(folder);
    release.save(folder + "/release.png");
    dev.save(folder + "/dev.png");

    // The badge's orange, also blended with its edges; not the white text, the tile or the shadow.
    const auto orange = [](const QImage &image, int x, int y) {
        const QColor c = image.pixelColor(x, y);
        return c.alpha() > 128 && c.red() - c.blue() > 80 && c.green() > 0.4 * c.red() && c.green() < 0.75 * c.red();
    };
    // The window and installed icons: the badge over the whole picture, 0.44 by 0.20 of it, 8 %
    // from its right edge and 9 % from its bottom; orange there only, and the rectangle mostly orange.
    const QRectF badge(256 * (1 - 0.08 - 0.44), 256 * (1 - 0.09 - 0.20), 256 * 0.44, 256 * 0.20);
    int inside = 0;
    int outside = 0;
    int releaseOrange = 0;
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            releaseOrange += orange(release, x, y);
            if (!orange(dev, x, y))
                continue;
            outside += !badge.adjusted(-1, -1, 1, 1).contains(QPointF(x + 0.5, y + 0.5));
            inside += badge.contains(QPointF(x + 0.5, y + 0.5));
        }
    EXPECT_EQ(releaseOrange, 0);
    EXPECT_EQ(outside, 0);
    EXPECT_GT(inside, 0.75 * badge.width() * badge.height());
    // Elsewhere both are the same picture.
    EXPECT_EQ(release.pixelColor(128, 60), dev.pixelColor(128, 60));
    EXPECT_FALSE(ApplicationIcon::icon(AppBuildChannel::dev).isNull());

    // The icon view keeps its small capsule inside the tile, its centre 10 right of and 15 below
    // the tile's (54 wide with the shadow's margin).
    KestrivaneAppIconView view;
    view.setBuildChannel(AppBuildChannel::dev);
    const QImage tile = view.grab().toImage();
    tile.save(folder + "/icon-view-dev.png");
    QRect capsule;
    for (int y = 0; y < tile.height(); ++y)
        for (int x = 0; x < tile.width(); ++x)
            if (orange(tile, x, y))
                capsule |= QRect(x, y, 1, 1);
    ASSERT_FALSE(capsule.isEmpty());
    EXPECT_NEAR(capsule.center().x() + 0.5, 27 + 10, 1.5);
    EXPECT_NEAR(capsule.center().y() + 0.5, 27 + 15, 1.5);
    EXPECT_LT(capsule.height(), 14);
    EXPECT_LE(capsule.bottom(), 51);
}

TEST(SingleInstanceTest, ASecondLaunchAsksTheFirstToReopen)
{
    KV_REQUIRE(test::sessionBusProblem());
    const QString name = QStringLiteral("app.kestrivane.Test%1").arg(QCoreApplication::applicationPid());
    SingleInstance first(QDBusConnection::sessionBus(), name);
    int reopened = 0;
    QObject::connect(&first, &SingleInstance::reopenRequested, [&] { ++reopened; });
    ASSERT_EQ(first.claim(), SingleInstance::Outcome::Primary);

    // The later launch, on a connection of its own; its call waits in a local event loop, so the
    // first can answer from this same thread.
    QDBusConnection other = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second-launch");
    {
        SingleInstance second(other, name);
        EXPECT_EQ(second.claim(), SingleInstance::Outcome::ReopenedRunning);
    }
    EXPECT_TRUE(test::waitUntil([&] { return reopened == 1; }, 2s));
    QDBusConnection::disconnectFromBus("second-launch");
}

TEST(SingleInstanceTest, TheNameIsFreeForTheNextClaimOnceTheOwnerIsGone)
{
    KV_REQUIRE(test::sessionBusProblem());
    const QString name = QStringLiteral("app.kestrivane.Test%1.Release").arg(QCoreApplication::applicationPid());
    for (int owner = 0; owner < 3; ++owner) {
        SingleInstance instance(QDBusConnection::sessionBus(), name);
        ASSERT_EQ(instance.claim(), SingleInstance::Outcome::Primary) << owner;
    }
}

TEST(QuitSignalsTest, TermIntAndHupArriveAsQuitRequests)
{
    QuitSignals quitSignals;
    QList<int> received;
    QObject::connect(&quitSignals, &QuitSignals::quitRequested, [&](int number) { received.append(number); });
    std::raise(SIGTERM);
    std::raise(SIGINT);
    std::raise(SIGHUP);
    EXPECT_TRUE(test::waitUntil([&] { return received.size() == 3; }, 2s));
    EXPECT_EQ(received, (QList<int>{SIGTERM, SIGINT, SIGHUP}));
}

TEST(GoogleStandInTest, OneLoopbackBaseForEveryGoogleHost)
{
    EXPECT_FALSE(googleStandInEndpoints({}));
    EXPECT_FALSE(googleStandInEndpoints({{"KESTRIVANE_GOOGLE_STAND_IN", "file:///tmp/x"}}));
    EXPECT_FALSE(googleStandInEndpoints({{"KESTRIVANE_GOOGLE_STAND_IN", "not a url"}}));
    const auto endpoints = googleStandInEndpoints({{"KESTRIVANE_GOOGLE_STAND_IN", " http://127.0.0.1:4711 "}});
    ASSERT_TRUE(endpoints);
    EXPECT_EQ(endpoints->tokenURL(), QUrl("http://127.0.0.1:4711/token"));
    EXPECT_EQ(endpoints->authorizationURL(), QUrl("http://127.0.0.1:4711/o/oauth2/v2/auth"));
    EXPECT_EQ(endpoints->calendarListURL(), QUrl("http://127.0.0.1:4711/calendar/v3/users/me/calendarList"));
}
