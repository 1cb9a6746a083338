#include "Support/AppL10n.h"
#include "Support/UpdateDialog.h"
#include "Support/UpdateStatusStore.h"
#include "Support/Updater.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/TestEnvironment.h"

#include <QPushButton>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;
using test::FakeGoogleServer;
using test::FakeResponse;

namespace {

QByteArray feed(const QList<AppcastItem> &items)
{
    QByteArray xml = R"(<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:kv="https://kestrivane.app/xml/appcast"><channel><title>Kestrivane</title>)";
    for (const AppcastItem &item : items) {
        xml += "<item><title>Kestrivane</title><kv:version>" + item.version.toUtf8() + "</kv:version>";
        if (!item.displayVersion.isEmpty())
            xml += "<kv:displayVersion>" + item.displayVersion.toUtf8() + "</kv:displayVersion>";
        xml += "<link>" + item.link.toString().toUtf8() + "</link><description><![CDATA[<b>notes</b>]]></description></item>";
    }
    return xml + "</channel></rss>";
}

const QList<AppcastItem> releases{
    {"1.4.0", "1.4", QUrl("https://kestrivane.app/download/1.4")},
    {"1.10.0", "1.10 (Autumn)", QUrl("https://kestrivane.app/download/1.10")},
    {"1.9.2", "", QUrl("https://kestrivane.app/download/1.9.2")},
};

// Records what the updater reports, the way the application delegate hands it on.
class RecordingDelegate : public UpdaterDelegate {
public:
    void updaterDidFindValidUpdate(const AppcastItem &item) override
    {
        found.append(item);
        status.markAvailable(item.displayVersion);
    }
    void updaterDidNotFindUpdate(const std::optional<QString> &error) override
    {
        errors.append(error);
        status.clearAvailableUpdate();
    }
    QList<AppcastItem> found;
    QList<std::optional<QString>> errors;
    UpdateStatusStore status;
};

class UpdaterTest : public ::testing::Test {
protected:
    void SetUp() override { AppL10n::configure(QStringLiteral("en")); }
    void TearDown() override { AppL10n::configure(std::nullopt); }

    UpdateChecker::Options options(const QString &currentVersion)
    {
        UpdateChecker::Options o;
        o.feedURL = server.baseURL().resolved(QUrl("/appcast.xml"));
        o.currentVersion = currentVersion;
        o.timeout = 500ms;
        o.maxFeedBytes = 64 * 1024;
        return o;
    }

    // The feed's answer; `hang`: none at all.
    void serve(QByteArray body, int status = 200, bool hang = false, bool length = true)
    {
        server.route("GET", "/appcast.xml", [=](const test::RecordedRequest &) {
            if (hang)
                return FakeResponse::hang();
            FakeResponse response;
            response.status = status;
            response.headers = {{"Content-Type", "application/rss+xml"}};
            response.body = body;
            response.sendContentLength = length;
            return response;
        });
    }

    QString failureOf(const QString &currentVersion)
    {
        UpdateChecker checker(options(currentVersion));
        try {
            test::runTask(checker.check());
        } catch (const UpdateError &error) {
            return error.localizedDescription();
        }
        return QStringLiteral("(no failure)");
    }

    FakeGoogleServer server;
};

} // namespace

TEST(VersionComparisonTest, ComparesComponentsNumerically)
{
    EXPECT_GT(compareVersions("1.10", "1.9"), 0);
    EXPECT_EQ(compareVersions("1.2", "1.2.0"), 0);
    EXPECT_EQ(compareVersions("01.2", "1.2"), 0);
    EXPECT_LT(compareVersions("1.2", "1.2.1"), 0);
    EXPECT_GT(compareVersions("2.0", "2.0b1"), 0);
    EXPECT_LT(compareVersions("2.0b1", "2.0b2"), 0);
    EXPECT_GT(compareVersions("100000000000000000000001", "99999999999999999999999"), 0);
    EXPECT_EQ(compareVersions(" 3.1 ", "3.1"), 0);
}

TEST(AppcastTest, ReadsItemsAndPicksTheNewestNewerOne)
{
    const auto items = parseAppcast(feed(releases));
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[2].displayVersion, "1.9.2"); // no display version: the version
    EXPECT_EQ(newestUpdate(items, "1.4.0")->version, "1.10.0");
    EXPECT_EQ(newestUpdate(items, "1.9.9")->displayVersion, "1.10 (Autumn)");
    EXPECT_FALSE(newestUpdate(items, "1.10.0"));
    EXPECT_FALSE(newestUpdate(items, "2.0"));

    // Items without a version are skipped.
    EXPECT_TRUE(parseAppcast("<rss><channel><item><link>https://x.example/</link></item></channel></rss>").isEmpty());
    EXPECT_THROW(parseAppcast("<rss><channel><item>"), UpdateError);
    EXPECT_THROW(parseAppcast("<html><body>maintenance</body></html>"), UpdateError);
    EXPECT_THROW(parseAppcast(""), UpdateError);
    EXPECT_THROW(parseAppcast("{\"version\": \"9\"}"), UpdateError);
}

TEST_F(UpdaterTest, CheckerAnswersAgainstTheFeed)
{
    serve(feed(releases));
    UpdateChecker older(options("1.0"));
    const auto found = test::runTask(older.check());
    ASSERT_TRUE(found);
    EXPECT_EQ(found->displayVersion, "1.10 (Autumn)");
    EXPECT_EQ(found->link, QUrl("https://kestrivane.app/download/1.10"));

    UpdateChecker equal(options("1.10.0"));
    EXPECT_FALSE(test::runTask(equal.check()));
    UpdateChecker newer(options("2.0"));
    EXPECT_FALSE(test::runTask(newer.check()));
    ASSERT_EQ(server.requests.size(), 3);
    EXPECT_EQ(server.requests[0].method, "GET");
    EXPECT_EQ(server.requests[0].target, "/appcast.xml");
}

TEST_F(UpdaterTest, CheckerFailsClearlyOnBadFeeds)
{
    serve("<rss><channel><item><kv:version>9</kv:version>");
    EXPECT_TRUE(failureOf("1.0").startsWith("The update feed could not be read")) << failureOf("1.0").toStdString();

    serve("oops", 500);
    EXPECT_EQ(failureOf("1.0"), "The update server answered with HTTP status 500.");

    QByteArray huge = feed(releases);
    huge.insert(huge.indexOf("</channel>"), QByteArray(100 * 1024, ' '));
    serve(huge);
    EXPECT_EQ(failureOf("1.0"), "The update feed is larger than expected.");
    serve(huge, 200, false, false);
    EXPECT_EQ(failureOf("1.0"), "The update feed is larger than expected.");

    serve(feed(releases), 200, true);
    EXPECT_EQ(failureOf("1.0"), "The update server did not answer in time.");

    UpdateChecker::Options unreachable = options("1.0");
    unreachable.feedURL.setPort(server.port() == 1 ? 2 : 1);
    UpdateChecker checker(unreachable);
    EXPECT_THROW(test::runTask(checker.check()), UpdateError);
}

TEST_F(UpdaterTest, ControllerReportsEveryOutcomeToItsDelegate)
{
    RecordingDelegate delegate;
    QSignalSpy statusChanges(&delegate.status, &UpdateStatusStore::changed);
    UpdaterController controller(&delegate, options("1.0"));

    serve(feed(releases));
    test::runTask(controller.runCheck(false));
    ASSERT_EQ(delegate.found.size(), 1);
    EXPECT_EQ(delegate.status.availableVersion(), "1.10 (Autumn)");
    EXPECT_EQ(controller.dialog(), nullptr);

    // A failing check after a found update clears it.
    serve("broken", 503);
    test::runTask(controller.runCheck(false));
    ASSERT_EQ(delegate.errors.size(), 1);
    EXPECT_TRUE(delegate.errors[0].has_value());
    EXPECT_FALSE(delegate.status.hasAvailableUpdate());

    serve(feed({{"0.9", "0.9", QUrl("https://kestrivane.app/old")}}));
    test::runTask(controller.runCheck(false));
    ASSERT_EQ(delegate.errors.size(), 2);
    EXPECT_FALSE(delegate.errors[1].has_value());
    EXPECT_EQ(statusChanges.count(), 3);
}

TEST_F(UpdaterTest, AControllerGoingAwayEndsItsCheckUnderWay)
{
    RecordingDelegate delegate;
    auto controller = std::make_unique<UpdaterController>(&delegate, options("1.0"));
    serve({}, 200, true);
    auto check = controller->runCheck(false);
    ASSERT_TRUE(test::waitUntil([&] { return !server.requests.isEmpty(); }, 2s));
    controller.reset();
    // The check has ended (the sanitizer build would report its frame otherwise) and told nobody.
    test::runTask(std::move(check), 1s);
    EXPECT_TRUE(delegate.found.isEmpty());
    EXPECT_TRUE(delegate.errors.isEmpty());
}

TEST_F(UpdaterTest, InteractiveCheckShowsItsResultInTheDialog)
{
    KV_REQUIRE(test::displayProblem());
    RecordingDelegate delegate;
    UpdaterController controller(&delegate, options("1.0"));

    serve(feed(releases));
    auto check = controller.runCheck(true);
    ASSERT_NE(controller.dialog(), nullptr);
    EXPECT_EQ(controller.dialog()->phase(), UpdateDialog::Phase::Checking);
    EXPECT_EQ(controller.dialog()->message(), "Checking for updates…");
    test::runTask(std::move(check));
    UpdateDialog *dialog = controller.dialog();
    EXPECT_EQ(dialog->phase(), UpdateDialog::Phase::UpdateAvailable);
    EXPECT_EQ(dialog->message(), "Kestrivane 1.10 (Autumn) is available.");
    EXPECT_TRUE(dialog->downloadButton()->isVisible());
    EXPECT_EQ(delegate.found.size(), 1);

    // A second interactive check reuses the open dialog.
    serve(feed(releases));
    auto again = controller.runCheck(true);
    EXPECT_EQ(controller.dialog(), dialog);
    test::runTask(std::move(again));

    serve("<rss><channel></channel></rss>");
    test::runTask(controller.runCheck(true));
    EXPECT_EQ(dialog->phase(), UpdateDialog::Phase::UpToDate);
    EXPECT_EQ(dialog->message(), "You're up to date: Kestrivane 1.0 is the newest version.");
    EXPECT_FALSE(dialog->downloadButton()->isVisible());

    serve("x", 404);
    test::runTask(controller.runCheck(true));
    EXPECT_EQ(dialog->phase(), UpdateDialog::Phase::Failed);
    EXPECT_EQ(dialog->message(), "The update check failed: The update server answered with HTTP status 404.");
}

TEST(UpdateStatusStoreTest, EveryWriteIsAnnounced)
{
    UpdateStatusStore status;
    QSignalSpy changes(&status, &UpdateStatusStore::changed);
    EXPECT_FALSE(status.hasAvailableUpdate());
    status.clearAvailableUpdate();
    EXPECT_EQ(changes.count(), 1);
    status.markAvailable("");
    EXPECT_TRUE(status.hasAvailableUpdate());
    status.markAvailable("2.1");
    EXPECT_EQ(status.availableVersion(), "2.1");
    EXPECT_EQ(changes.count(), 3);
}
