#include "Views/Setup/SetupView.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVWindowChrome.h"
#include "Services/GoogleOAuthClient.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/AppNotificationCenter.h"
#include "Support/Localization.h"
#include "Support/UpdateStatusStore.h"
#include "Support/UserDefaults.h"
#include "Support/WindowRegistry.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/FakeBrowser.h"
#include "TestSupport/FakeGoogleServer.h"
#include "TestSupport/InMemoryTokenStore.h"
#include "TestSupport/RecordingNotificationScheduler.h"
#include "TestSupport/TestEnvironment.h"
#include "app/Views/ViewTestSupport.h"
#include "Views/Settings/AccountIdentity.h"
#include "Views/Setup/SetupConnectionCard.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLayout>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>

// The setup window's view against a real store whose Google is the stand-in on 127.0.0.1.

using namespace kestrivane;
using namespace kestrivane::test;
using namespace std::chrono_literals;

namespace {

const QString artifacts = QStringLiteral("/artifacts/setup");

class SetupViewTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        KV_REQUIRE(displayProblem());
        ASSERT_TRUE(folder.isValid());
        ASSERT_TRUE(browser.isValid());
        browser.install();
        QFile plist(folder.filePath(QStringLiteral("OAuthConfig.plist")));
        ASSERT_TRUE(plist.open(QIODevice::WriteOnly));
        plist.write(QStringLiteral(R"(<?xml version="1.0" encoding="UTF-8"?>
<plist version="1.0"><dict><key>GOOGLE_OAUTH_CLIENT_ID</key><string>%1</string>
<key>GOOGLE_OAUTH_CLIENT_SECRET</key><string>%2</string></dict></plist>)")
                        .arg(oauth.clientID, oauth.clientSecret)
                        .toUtf8());
        plist.close();
        calendar.profile = FakeResponse::json(200, R"({"id": "1", "email": "emma.collins@northwind.example", "name": "Emma Collins"})");
        configure("en");
    }

    void TearDown() override
    {
        view.reset();
        store.reset();
        configure("en");
    }

    static void configure(const QString &language)
    {
        AppL10n::configure(language);
        L10n::configure(language);
    }

    // A store over the stand-in, in memory; `accounts` are listed from the start.
    AppStore &makeStore(bool configured, const QList<GoogleAccount> &accounts = {},
                        std::optional<std::chrono::milliseconds> authorizationTimeout = std::nullopt)
    {
        AppStore::Configuration configuration;
        configuration.notificationScheduler = std::make_shared<RecordingNotificationScheduler>();
        auto defaults = std::make_shared<InMemoryUserDefaults>();
        if (!accounts.isEmpty())
            defaults->set(AppStore::googleAccountsKey, GoogleAccount::encodeList(accounts));
        for (const GoogleAccount &account : accounts) {
            tokens[QStringLiteral("oauth:") + account.id] = std::make_shared<InMemoryTokenStore>(
                OAuthToken{QStringLiteral("ya29.listed"), QStringLiteral("1//listed"), QDateTime::currentDateTimeUtc().addSecs(3600)});
        }
        configuration.userDefaults = defaults;
        configuration.tokenStore = std::make_shared<InMemoryTokenStore>();
        configuration.tokenStoreFactory = [this](const QString &, const QString &account) {
            auto &token = tokens[account];
            if (!token)
                token = std::make_shared<InMemoryTokenStore>();
            return token;
        };
        configuration.endpoints = server.endpoints();
        configuration.oauthConfigurationFiles = configured ? QStringList{folder.filePath(QStringLiteral("OAuthConfig.plist"))} : QStringList{};
        configuration.authorizationTimeout = authorizationTimeout;
        store = std::make_unique<AppStore>(std::move(configuration));
        return *store;
    }

    SetupView &makeView()
    {
        view = std::make_unique<SetupView>(*store, updateStatus, [this](const QString &identifier) { opened << identifier; });
        view->resize(520, 460);
        view->show();
        return *view;
    }

    SetupConnectionCard &card() { return *view->card(); }
    QAbstractButton *connectButton() { return one<QAbstractButton>(view.get(), QStringLiteral("connect-button")); }
    bool showsSpinner()
    {
        QWidget *progress = one(view.get(), QStringLiteral("connecting"));
        return progress && progress->findChild<KVSpinner *>();
    }
    QString failureMessage()
    {
        auto *label = one<KVLabel>(view.get(), QStringLiteral("failure-message"));
        return label ? label->text() : QString();
    }
    // The card's shown sections from top to bottom, with "divider" for each inset divider.
    QStringList cardSections()
    {
        QStringList sections;
        for (QWidget *slot : card().findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
            if (!slot->isVisibleTo(&card()))
                continue;
            for (QObject *child : slot->children()) {
                auto *widget = qobject_cast<QWidget *>(child);
                if (!widget || widget->isHidden())
                    continue;
                if (qobject_cast<KVInsetDivider *>(widget))
                    sections << QStringLiteral("divider");
                else if (widget->objectName() == u"account-row")
                    sections << QStringLiteral("account");
                else if (widget->objectName() == u"add-account-button")
                    sections << QStringLiteral("add");
                else
                    sections << slot->objectName().mid(QStringLiteral("setup-card-").size());
            }
        }
        return sections;
    }

    // The view built afresh in each language and scheme and kept as a picture.
    void render(const QString &state)
    {
        const QString shots = QCoreApplication::applicationDirPath() + artifacts;
        QDir().mkpath(shots);
        for (const char *language : {"en", "ja"}) {
            configure(QString::fromLatin1(language));
            SetupView shown(*store, updateStatus, {});
            shown.setAttribute(Qt::WA_DontShowOnScreen);
            shown.resize(520, 460);
            shown.show();
            for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
                setColorSchemeOverride(&shown, scheme);
                spin(20ms);
                const QString name = QStringLiteral("%1/%2-%3-%4.png")
                                         .arg(shots, state, QString::fromLatin1(language), scheme == ColorScheme::dark ? QStringLiteral("dark") : QStringLiteral("light"));
                EXPECT_TRUE(shown.grab().save(name)) << name.toStdString();
            }
        }
        configure("en");
    }

    // Follows the `number`th link (from 1) that the fake xdg-open records, as a browser would.
    void followOpenedLink(qsizetype number)
    {
        ASSERT_TRUE(waitUntil([&] { return browser.openedLinks().size() >= number; }, 10s));
        openLikeBrowser(QUrl(browser.openedLinks().at(number - 1))).then([](const BrowserPage &) {});
    }

    QTemporaryDir folder;
    FakeBrowser browser;
    FakeGoogleServer server;
    FakeGoogleOAuth oauth{server};
    FakeGoogleCalendar calendar{server};
    std::map<QString, std::shared_ptr<InMemoryTokenStore>> tokens;
    UpdateStatusStore updateStatus;
    std::unique_ptr<AppStore> store;
    std::unique_ptr<SetupView> view;
    QStringList opened;
};

const GoogleAccount emma{QStringLiteral("emma.collins@northwind.example"), QStringLiteral("emma.collins@northwind.example"),
                         QStringLiteral("Emma Collins")};
const GoogleAccount kenji{QStringLiteral("kenji.sato@harborlight.example"), QStringLiteral("Kenji.Sato@harborlight.example"),
                          QString()};

} // namespace

TEST_F(SetupViewTest, WithoutAClientTheWarningShowsInTheFixedDangerColourAndNothingConnects)
{
    makeStore(false);
    makeView();
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "warning"}));
    ASSERT_NE(connectButton(), nullptr);
    EXPECT_FALSE(connectButton()->isEnabled());
    EXPECT_FALSE(view->openTodayButton()->isEnabled());
    EXPECT_TRUE(view->settingsButton()->isEnabled());

    // The same danger colour in both schemes, not the dark palette's own.
    QWidget *warning = one(view.get(), QStringLiteral("not-configured-warning"));
    ASSERT_NE(warning, nullptr);
    ASSERT_NE(KVDesign::danger().rgb(), KVDesign::palette(ColorScheme::dark).danger.rgb());
    for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
        setColorSchemeOverride(view.get(), scheme);
        const QImage image = warning->grab().toImage();
        EXPECT_TRUE(hasPixelNear(image, KVDesign::danger())) << int(scheme);
    }
    setColorSchemeOverride(view.get(), std::nullopt);
    render("not-configured");

    // A client supplied later takes the warning away and the button works.
    store->setGoogleClientID(oauth.clientID);
    store->setGoogleClientSecret(oauth.clientSecret);
    ASSERT_TRUE(waitUntil([&] { return cardSections() == QStringList{"header"}; }));
    ASSERT_NE(connectButton(), nullptr);
    EXPECT_TRUE(connectButton()->isEnabled());
    render("ready");
}

TEST_F(SetupViewTest, AFailedConnectionShowsTheMessageOnTwoLinesAndTheButtonAgain)
{
    server.route("POST", FakeGoogleOAuth::tokenPath, [](const RecordedRequest &) {
        FakeResponse response;
        response.status = 400;
        response.body = "The token endpoint refused the code because it was issued for another client.\n"
                        "<b>Second line</b> with markup that must stay text.\nA third line that is cut off.";
        return response;
    });
    makeStore(true);
    makeView();
    connectButton()->click();
    ASSERT_TRUE(waitUntil([&] { return showsSpinner(); }));
    EXPECT_EQ(connectButton(), nullptr);
    render("connecting");
    followOpenedLink(1);

    ASSERT_TRUE(waitUntil([&] { return !failureMessage().isEmpty(); }, 15s));
    EXPECT_TRUE(failureMessage().contains(u"<b>Second line</b>"));
    auto *message = one<KVLabel>(view.get(), QStringLiteral("failure-message"));
    EXPECT_EQ(message->textFormat(), Qt::PlainText);
    const QStringList lines = message->visibleLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines.last().endsWith(u'…'));
    // The keyring's advice, our own text, fits the two lines whole in both languages.
    for (const QString language : {"en_US", "ja_JP"}) {
        L10n::configure(language);
        for (const QString key : {"keychain_error_no_service", "keychain_error_locked"}) {
            KVLabel advice(L10n::text(key), message->font(), KVColorRef(&KVPalette::text2));
            advice.setMaxLines(2);
            advice.resize(message->width(), advice.heightForWidth(message->width()));
            EXPECT_FALSE(advice.visibleLines().join(QString()).endsWith(u'…')) << language.toStdString() << " " << key.toStdString();
        }
    }
    L10n::configure(std::nullopt);
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "failure"}));
    ASSERT_NE(connectButton(), nullptr);
    EXPECT_TRUE(connectButton()->isEnabled());
    EXPECT_FALSE(showsSpinner());
    EXPECT_FALSE(view->openTodayButton()->isEnabled());
    render("failed");
}

TEST_F(SetupViewTest, ListedAccountsDecideTheHeaderTheListAndTheOpenTodayButton)
{
    // One account: the checkmark header with the pill, the row and the add row; no spinner even
    // while another connection runs.
    makeStore(true, {emma});
    makeView();
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "account", "divider", "add"}));
    EXPECT_EQ(connectButton(), nullptr);
    EXPECT_NE(one(view.get(), QStringLiteral("connected-pill")), nullptr);
    EXPECT_TRUE(view->openTodayButton()->isEnabled());
    EXPECT_EQ(named<AccountAvatar>(view.get(), QString()).first()->initials(), "EC");
    render("one-account");

    // The whole add row is the button: a click at its right end, far from its label, signs in.
    auto *add = one<QAbstractButton>(view.get(), QStringLiteral("add-account-button"));
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(add->width(), card().width());
    const QPoint rightEnd(card().mapTo(view.get(), QPoint(card().width() - 4, 0)).x(),
                          add->mapTo(view.get(), add->rect().center()).y());
    QTest::mouseClick(view->windowHandle(), Qt::LeftButton, {}, rightEnd);
    ASSERT_TRUE(waitUntil([&] { return store->googleConnectionStatus().kind() == AppStore::GoogleConnectionStatus::Kind::connecting; }));
    spin(50ms);
    EXPECT_FALSE(showsSpinner());
    EXPECT_NE(one(view.get(), QStringLiteral("connected-pill")), nullptr);
    // The second account comes back from the browser and is sorted in.
    calendar.profile = FakeResponse::json(200, R"({"id": "2", "email": "Kenji.Sato@harborlight.example"})");
    followOpenedLink(1);
    ASSERT_TRUE(waitUntil([&] { return cardSections().count("account") == 2; }, 15s));
    EXPECT_EQ(failureMessage(), QString());
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "account", "account", "divider", "add"}));
    const QList<AccountAvatar *> avatars = named<AccountAvatar>(view.get(), QString());
    ASSERT_EQ(avatars.size(), 2);
    EXPECT_EQ(avatars.at(1)->initials(), "KS");
    render("two-accounts");

    // With accounts, a failure and no client: header, warning, failure line, list, add row, each
    // behind one divider; the add row does not work.
    store->setGoogleClientID(QString());
    runTask(store->connectGoogleAndSync([](QUrl) -> QCoro::Task<bool> { co_return true; }));
    ASSERT_TRUE(waitUntil([&] { return cardSections().contains("warning") && !failureMessage().isEmpty(); }));
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "warning", "divider", "failure", "divider", "account",
                                           "account", "divider", "add"}));
    EXPECT_FALSE(one<QAbstractButton>(view.get(), QStringLiteral("add-account-button"))->isEnabled());
    EXPECT_NE(one(view.get(), QStringLiteral("connected-pill")), nullptr);
    render("accounts-failed-not-configured");

    // Removing every account turns the open-Today button off again; the window stays, and its
    // height, grown for the list, follows the content back down, not below its minimum.
    const int grown = view->height();
    store->setGoogleClientID(oauth.clientID);
    store->disconnectGoogle();
    ASSERT_TRUE(waitUntil([&] { return !view->openTodayButton()->isEnabled(); }));
    EXPECT_NE(connectButton(), nullptr);
    EXPECT_TRUE(view->isVisible());
    const int content = std::max(460, view->layout()->totalHeightForWidth(view->width()));
    EXPECT_LT(content, grown);
    EXPECT_TRUE(waitUntil([&] { return view->height() == content; })) << view->height() << " for " << content;
    EXPECT_TRUE(view->grab().save(QCoreApplication::applicationDirPath() + artifacts + "/accounts-removed-window.png"));
    render("accounts-removed");
}

TEST_F(SetupViewTest, TheFooterOpensSettingsOrHandsOverToTheTodayWindow)
{
    makeStore(true, {emma});
    KVWindow window(WindowRegistry::setup);
    auto *content = new SetupView(*store, updateStatus, [this](const QString &identifier) { opened << identifier; });
    window.setContent(content);
    window.resize(520, 460);
    window.show();
    EXPECT_GE(window.minimumSize().width(), 520);
    EXPECT_GE(window.minimumSize().height(), 460);

    content->settingsButton()->click();
    EXPECT_EQ(opened, QStringList{"settings"});
    EXPECT_TRUE(window.isVisible());

    // The Today window is asked for while the setup window is still there, then it closes.
    QStringList events;
    const QMetaObject::Connection observer = AppNotificationCenter::defaultCenter().observe(
        AppNotificationCenter::openTodayMeetsWindow, &window, [&] { events << (window.isVisible() ? "posted-while-open" : "posted-late"); });
    ASSERT_TRUE(content->openTodayButton()->isEnabled());
    content->openTodayButton()->click();
    QObject::disconnect(observer);
    EXPECT_EQ(events, QStringList{"posted-while-open"});
    EXPECT_FALSE(window.isVisible());
}

TEST_F(SetupViewTest, ABrowserThatNeverComesBackEndsInTheFailureLineAndASecondClickConnects)
{
    makeStore(true, {}, 1500ms);
    makeView();
    connectButton()->click();
    ASSERT_TRUE(waitUntil([&] { return showsSpinner(); }));
    ASSERT_EQ(browser.openedLinks().size(), 1);

    // Nobody follows the link: the store's wait ends and the button comes back with the failure.
    ASSERT_TRUE(waitUntil([&] { return connectButton() != nullptr; }, 10s));
    EXPECT_EQ(failureMessage(), L10n::text(QStringLiteral("oauth_error_invalid_authorization_response")));
    EXPECT_TRUE(connectButton()->isEnabled());
    EXPECT_FALSE(showsSpinner());
    EXPECT_FALSE(tokens.count(AppStore::googlePendingTokenAccount) && tokens[AppStore::googlePendingTokenAccount]->token);
    render("timed-out");

    // A fresh attempt, this time followed, connects.
    connectButton()->click();
    ASSERT_TRUE(waitUntil([&] { return showsSpinner(); }));
    followOpenedLink(2);
    ASSERT_TRUE(waitUntil([&] { return cardSections().contains("account"); }, 15s));
    EXPECT_TRUE(failureMessage().isEmpty());
    EXPECT_EQ(cardSections(), (QStringList{"header", "divider", "account", "divider", "add"}));
    EXPECT_TRUE(view->openTodayButton()->isEnabled());
    EXPECT_EQ(browser.openedLinks().size(), 2);
    ASSERT_EQ(store->googleAccounts().size(), 1);
    EXPECT_EQ(store->googleAccounts().first().email, "emma.collins@northwind.example");
    // The sync that follows the connection ends before the store goes.
    EXPECT_TRUE(waitUntil([&] { return store->syncStatus().kind() == AppStore::SyncStatus::Kind::synced; }));
}
