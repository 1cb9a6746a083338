#include "Support/ShortcutSettings.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

QJsonObject storedObject(const UserDefaults &defaults, const QString &key)
{
    const auto data = defaults.data(key);
    EXPECT_TRUE(data.has_value()) << key.toStdString();
    return QJsonDocument::fromJson(data.value_or(QByteArray())).object();
}

} // namespace

TEST(KestrivaneShortcutTest, DefaultsAndDisplayText)
{
    const auto &open = KestrivaneShortcut::openTodayMeetsDefault();
    const auto &join = KestrivaneShortcut::joinMeetDefault();
    EXPECT_EQ(open, (KestrivaneShortcut{46, 0x1900, "M"}));
    EXPECT_EQ(join, (KestrivaneShortcut{38, 6400, "J"}));
    EXPECT_EQ(open.displayText(), QString::fromUtf8("⌃⌥⌘M"));
    EXPECT_EQ(join.displayText(), QString::fromUtf8("⌃⌥⌘J"));
    EXPECT_EQ((KestrivaneShortcut{1, 0x1000 | 0x0200 | 0x0100, "S"}).displayText(), QString::fromUtf8("⌃⇧⌘S"));
    EXPECT_EQ((KestrivaneShortcut{1, 0, "S"}).displayText(), "S");
    EXPECT_NE(open, (KestrivaneShortcut{46, 0x1900, "m"}));

    // As this desktop names them, in its order.
    EXPECT_EQ(open.desktopText(), "Ctrl+Alt+Super+M");
    EXPECT_EQ(join.desktopText(), "Ctrl+Alt+Super+J");
    EXPECT_EQ((KestrivaneShortcut{0x28, 0x1000 | 0x0200 | 0x0100, "K"}).desktopText(), "Ctrl+Shift+Super+K");
    EXPECT_EQ((KestrivaneShortcut{46, 0x1000 | 0x0800 | 0x0200 | 0x0100, "M"}).desktopText(), "Ctrl+Alt+Shift+Super+M");
    EXPECT_EQ((KestrivaneShortcut{0x74, 0x0800, QString::fromUtf8("⇞")}).desktopText(), "Alt+Page Up");
    EXPECT_EQ((KestrivaneShortcut{0x75, 0x1000, QString::fromUtf8("⌦")}).desktopText(), "Ctrl+Delete");
    EXPECT_EQ((KestrivaneShortcut{0x7B, 0x1000, QString::fromUtf8("←")}).desktopText(), QString::fromUtf8("Ctrl+←"));
    // The keypad's 1 is not the top row's.
    EXPECT_EQ((KestrivaneShortcut{0x53, 0x1000 | 0x0800, "1"}).desktopText(), "Ctrl+Alt+Num+1");
    EXPECT_EQ((KestrivaneShortcut{0x12, 0x1000 | 0x0800, "1"}).desktopText(), "Ctrl+Alt+1");
}

TEST(KestrivaneShortcutTest, JsonRoundTripAndRejectedDocuments)
{
    const KestrivaneShortcut shortcut{0x7A, 0x0100 | 0x0200, QString::fromUtf8("F1")};
    EXPECT_EQ(KestrivaneShortcut::fromJson(shortcut.toJson()), shortcut);
    EXPECT_EQ(KestrivaneShortcut::fromJson(R"({"keyEquivalent":"J","modifiers":6400,"keyCode":38,"extra":[1]})"),
              KestrivaneShortcut::joinMeetDefault());
    for (const char *bad : {"", "not json", "[]", "{}", R"({"keyCode":46,"modifiers":6400})",
                            R"({"keyCode":"46","modifiers":6400,"keyEquivalent":"M"})",
                            R"({"keyCode":46.5,"modifiers":6400,"keyEquivalent":"M"})",
                            R"({"keyCode":-1,"modifiers":6400,"keyEquivalent":"M"})",
                            R"({"keyCode":4294967296,"modifiers":6400,"keyEquivalent":"M"})",
                            R"({"keyCode":46,"modifiers":6400,"keyEquivalent":null})"})
        EXPECT_FALSE(KestrivaneShortcut::fromJson(bad).has_value()) << bad;
}

TEST(KestrivaneShortcutTest, KeyPressesThatMakeAShortcut)
{
    using KP = KestrivaneShortcut::KeyPress;
    // Super alone is enough; the letter is upper-cased and keeps its key code.
    EXPECT_EQ(KestrivaneShortcut::fromKeyPress(KP{46, Qt::MetaModifier, "m"}), (KestrivaneShortcut{46, 0x0100, "M"}));
    // Shift stays in the mask next to another modifier.
    EXPECT_EQ(KestrivaneShortcut::fromKeyPress(KP{38, Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier, "j"}),
              (KestrivaneShortcut{38, 0x1000 | 0x0200 | 0x0800, "J"}));
    // Modifiers outside the four are dropped.
    EXPECT_EQ(KestrivaneShortcut::fromKeyPress(KP{0x7A, Qt::ControlModifier | Qt::KeypadModifier, "F1"}),
              (KestrivaneShortcut{0x7A, 0x1000, "F1"}));

    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{46, Qt::ShiftModifier, "m"}));
    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{46, Qt::NoModifier, "m"}));
    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{0x31, Qt::ControlModifier, " "}));
    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{0x24, Qt::ControlModifier, "\r"}));
    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{0x35, Qt::ControlModifier, "\x1b"}));
    EXPECT_FALSE(KestrivaneShortcut::fromKeyPress(KP{0x48, Qt::ControlModifier, ""}));
}

TEST(ShortcutSettingsTest, NothingStoredGivesTheDefaultsAndStoresNothing)
{
    InMemoryUserDefaults defaults;
    ShortcutSettings settings(defaults);
    EXPECT_EQ(settings.openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());
    EXPECT_EQ(settings.joinMeet(), KestrivaneShortcut::joinMeetDefault());
    EXPECT_FALSE(defaults.contains("shortcut.openTodayMeets"));
    EXPECT_FALSE(defaults.contains("shortcut.joinMeet"));
}

TEST(ShortcutSettingsTest, AssignmentsPersistAsJsonDataAndSurviveARestart)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("domain.json");
    const KestrivaneShortcut recorded{0x0E, 0x0100 | 0x0200, "E"};
    {
        auto defaults = SettingsUserDefaults::atPath(path);
        ShortcutSettings settings(*defaults);
        QSignalSpy changed(&settings, &ShortcutSettings::changed);
        settings.setJoinMeet(recorded);
        EXPECT_EQ(changed.count(), 1);
        const QJsonObject stored = storedObject(*defaults, "shortcut.joinMeet");
        EXPECT_EQ(stored.size(), 3);
        EXPECT_EQ(stored.value("keyCode").toInteger(-1), 14);
        EXPECT_EQ(stored.value("modifiers").toInteger(-1), 0x0300);
        EXPECT_EQ(stored.value("keyEquivalent").toString(), "E");
        // An equal value is written and announced again.
        defaults->remove("shortcut.joinMeet");
        settings.setJoinMeet(recorded);
        EXPECT_EQ(changed.count(), 2);
        EXPECT_TRUE(defaults->data("shortcut.joinMeet").has_value());
        EXPECT_FALSE(defaults->contains("shortcut.openTodayMeets"));
    }
    auto reopened = SettingsUserDefaults::atPath(path);
    ShortcutSettings settings(*reopened);
    EXPECT_EQ(settings.joinMeet(), recorded);
    EXPECT_EQ(settings.openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());
}

TEST(ShortcutSettingsTest, BadStoredValuesFallBackAndAreLeftAsTheyAre)
{
    InMemoryUserDefaults defaults;
    defaults.set("shortcut.openTodayMeets", QByteArray(R"({"keyCode":46,"modifiers":6400})"));
    defaults.set("shortcut.joinMeet", QStringLiteral(R"({"keyCode":1,"modifiers":256,"keyEquivalent":"S"})"));
    ShortcutSettings settings(defaults);
    EXPECT_EQ(settings.openTodayMeets(), KestrivaneShortcut::openTodayMeetsDefault());
    // A text value is not a data value: also the default.
    EXPECT_EQ(settings.joinMeet(), KestrivaneShortcut::joinMeetDefault());
    EXPECT_EQ(defaults.data("shortcut.openTodayMeets"), QByteArray(R"({"keyCode":46,"modifiers":6400})"));
    EXPECT_EQ(defaults.string("shortcut.joinMeet"), QStringLiteral(R"({"keyCode":1,"modifiers":256,"keyEquivalent":"S"})"));

    // A stored shortcut without modifiers is used as stored.
    defaults.set("shortcut.joinMeet", QByteArray(R"({"keyCode":1,"modifiers":0,"keyEquivalent":"S"})"));
    EXPECT_EQ(ShortcutSettings(defaults).joinMeet(), (KestrivaneShortcut{1, 0, "S"}));
}

TEST(ShortcutSettingsTest, ResetWritesBothDefaultsAnnouncingEach)
{
    InMemoryUserDefaults defaults;
    ShortcutSettings settings(defaults);
    settings.setOpenTodayMeets({0x0E, 0x0100, "E"});
    settings.setJoinMeet({0x0F, 0x0100, "R"});
    QList<std::pair<KestrivaneShortcut, KestrivaneShortcut>> pairs;
    QObject::connect(&settings, &ShortcutSettings::changed, [&] { pairs.append({settings.openTodayMeets(), settings.joinMeet()}); });
    settings.resetToDefaults();
    ASSERT_EQ(pairs.size(), 2);
    EXPECT_EQ(pairs[0].first, KestrivaneShortcut::openTodayMeetsDefault());
    EXPECT_EQ(pairs[0].second, (KestrivaneShortcut{0x0F, 0x0100, "R"}));
    EXPECT_EQ(pairs[1].second, KestrivaneShortcut::joinMeetDefault());
    EXPECT_EQ(KestrivaneShortcut::fromJson(*defaults.data("shortcut.openTodayMeets")), KestrivaneShortcut::openTodayMeetsDefault());
    EXPECT_EQ(KestrivaneShortcut::fromJson(*defaults.data("shortcut.joinMeet")), KestrivaneShortcut::joinMeetDefault());
}
