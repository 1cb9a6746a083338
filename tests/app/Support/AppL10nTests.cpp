#include "Support/AppL10n.h"
#include "Support/BundleInfo.h"
#include "Support/Localization.h"

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

class AppL10nTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        AppL10n::configure(std::nullopt);
        L10n::configure(std::nullopt);
    }
};

QHash<QString, QString> table(const QString &language, const QString &name = QStringLiteral("App"))
{
    QFile file(BundleInfo::resourceRoot + u'/' + language + QStringLiteral(".lproj/") + name + QStringLiteral(".strings"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << language.toStdString();
    return parseStringsTable(QString::fromUtf8(file.readAll()));
}

} // namespace

TEST_F(AppL10nTest, BothLanguagesHaveEveryKeyWithRealTexts)
{
    const auto english = table(QStringLiteral("en"));
    const auto japanese = table(QStringLiteral("ja"));
    ASSERT_GT(english.size(), 25);
    const auto baseKeys = [](const QHash<QString, QString> &texts) {
        QSet<QString> keys;
        for (auto it = texts.keyBegin(); it != texts.keyEnd(); ++it)
            keys.insert(pluralBaseKey(*it));
        return keys;
    };
    EXPECT_EQ(baseKeys(english), baseKeys(japanese));
    for (auto it = english.begin(); it != english.end(); ++it) {
        const QString translated = japanese.value(pluralBaseKey(it.key()));
        EXPECT_FALSE(it.value().trimmed().isEmpty()) << it.key().toStdString();
        EXPECT_NE(translated, it.value()) << it.key().toStdString();
        // Placeholders match, so a translation never asks for an argument the code does not give.
        for (const QString &placeholder : {QStringLiteral("%1"), QStringLiteral("%2")})
            EXPECT_EQ(it.value().contains(placeholder), translated.contains(placeholder)) << it.key().toStdString();
    }
    // One word for a meeting throughout the Japanese texts of both tables.
    for (const QString name : {"App", "Localizable"}) {
        for (const QString &text : table(QStringLiteral("ja"), name))
            EXPECT_FALSE(text.contains(QString::fromUtf8("ミーティング"))) << text.toStdString();
    }
    // The keys the shell looks up.
    for (const char *key : {"settings_title", "today_meets_title", "setup_title", "open_today_meets_shortcut",
                            "join_meet_shortcut", "check_for_updates", "send_feedback", "menu_bar_attention_needed",
                            "menu_bar_in_meeting", "menu_bar_meet_ready", "meet_heads_up", "meet_preparing",
                            "meet_starting_soon", "launch_location_warning_title", "launch_location_warning_body", "quit"})
        EXPECT_TRUE(english.contains(QString::fromLatin1(key))) << key;
}

TEST_F(AppL10nTest, OverrideChoosesTheTableAndTheLocale)
{
    AppL10n::configure(QStringLiteral("ja_JP"));
    EXPECT_EQ(AppL10n::text("today_meets_title"), QString::fromUtf8("今日の会議"));
    EXPECT_EQ(AppL10n::locale().language(), QLocale::Japanese);
    AppL10n::configure(QStringLiteral("en-US"));
    EXPECT_EQ(AppL10n::text("today_meets_title"), "Today's Meetings");

    // Another language: texts in the system language (one of the tables), the locale as given.
    AppL10n::configure(QStringLiteral("fr_FR"));
    const QString text = AppL10n::text("today_meets_title");
    EXPECT_TRUE(text == "Today's Meetings" || text == QString::fromUtf8("今日の会議"));
    EXPECT_EQ(AppL10n::locale().language(), QLocale::French);
}

TEST_F(AppL10nTest, KeepsItsOwnOverrideApartFromTheCore)
{
    AppL10n::configure(QStringLiteral("ja"));
    L10n::configure(QStringLiteral("en"));
    EXPECT_EQ(AppL10n::text("quit"), QString::fromUtf8("終了"));
    EXPECT_EQ(L10n::text("sync_status_idle"), "Not synced yet");
    // The application's keys are not in the core's table and the other way round.
    EXPECT_EQ(L10n::text("quit"), "quit");
    EXPECT_EQ(AppL10n::text("sync_status_idle"), "sync_status_idle");
}

TEST_F(AppL10nTest, QtsOwnTextsQuotedInOursComeInTheSameLanguage)
{
    const auto missingFileError = [] {
        QFile file(QStringLiteral("/nonexistent/kestrivane"));
        EXPECT_FALSE(file.open(QIODevice::ReadOnly));
        return file.errorString();
    };
    const QString english = missingFileError();
    AppL10n::configure(QStringLiteral("en"));
    EXPECT_EQ(AppL10n::qtTranslator(), nullptr);

    AppL10n::configure(QStringLiteral("ja_JP"));
    std::unique_ptr<QTranslator> translator = AppL10n::qtTranslator();
    ASSERT_NE(translator, nullptr);
    QCoreApplication::installTranslator(translator.get());
    const QString japanese = missingFileError();
    translator.reset();
    EXPECT_NE(japanese, english);
    EXPECT_TRUE(japanese.contains(QRegularExpression(QStringLiteral("[\\x{3040}-\\x{30ff}]")))) << japanese.toStdString();
    EXPECT_EQ(missingFileError(), english);
}

TEST_F(AppL10nTest, FormatsInOnePassWithTheOverrideLocale)
{
    AppL10n::configure(QStringLiteral("en_US"));
    EXPECT_EQ(AppL10n::format("update_dialog_available", QStringLiteral("2.0 %1")), "Kestrivane 2.0 %1 is available.");
    EXPECT_EQ(AppL10n::format("update_error_http_status", 503), "The update server answered with HTTP status 503.");
    // Too few arguments leave the placeholder; a missing key formats as itself.
    EXPECT_EQ(AppL10n::format("update_dialog_available"), "Kestrivane %1 is available.");
    EXPECT_EQ(AppL10n::format("no_such_key", 1), "no_such_key");
    AppL10n::configure(QStringLiteral("de_DE"));
    EXPECT_TRUE(AppL10n::format("update_error_http_status", 1234.5).contains(QStringLiteral("1.234,5")));
}

// Every English text that counts something ("%1 meetings") has its singular, in the
// application's and the core's tables; Japanese has one form.
TEST_F(AppL10nTest, CountTextsTakeTheirLanguagesPluralForms)
{
    const QRegularExpression count(QStringLiteral("%\\d [a-z]{3,}s\\b"));
    int counted = 0;
    for (const QString name : {"App", "Localizable"}) {
        const auto english = table(QStringLiteral("en"), name);
        for (auto it = english.begin(); it != english.end(); ++it) {
            if (pluralBaseKey(it.key()) != it.key() || !count.match(it.value()).hasMatch())
                continue;
            ++counted;
            EXPECT_TRUE(english.contains(it.key() + QStringLiteral(".one"))) << it.key().toStdString();
        }
    }
    EXPECT_GE(counted, 3);

    AppL10n::configure(QStringLiteral("en_US"));
    EXPECT_EQ(AppL10n::format("meetings_count_short", qsizetype(1)), "1 meeting");
    EXPECT_EQ(AppL10n::format("meetings_count_accessibility", 1001), "1,001 meetings with a Meet link");
    AppL10n::configure(QStringLiteral("ja_JP"));
    EXPECT_EQ(AppL10n::format("meetings_count_short", 1), QString::fromUtf8("1 件の会議"));
}

TEST_F(AppL10nTest, FormatsDatesInTheOverrideLocaleWithIndependentStyles)
{
    const QDateTime instant(QDate(2026, 3, 2), QTime(9, 30), QTimeZone::systemTimeZone());
    AppL10n::configure(QStringLiteral("en_US"));
    const QString timeOnly = AppL10n::formatDate(instant, DateFormatter::Style::None, DateFormatter::Style::Short);
    const QString dateAndTime = AppL10n::formatDate(instant, DateFormatter::Style::Medium, DateFormatter::Style::Short);
    EXPECT_EQ(timeOnly, "9:30 AM");
    EXPECT_EQ(dateAndTime, "Mar 2, 2026 at 9:30 AM");
    EXPECT_EQ(AppL10n::formatDate(instant, DateFormatter::Style::None, DateFormatter::Style::Short), timeOnly);
    AppL10n::configure(QStringLiteral("ja_JP"));
    EXPECT_EQ(AppL10n::formatDate(instant, DateFormatter::Style::Medium, DateFormatter::Style::Short), "2026/03/02 9:30");
}

TEST_F(AppL10nTest, ReadinessTextFollowsTheThresholds)
{
    AppL10n::configure(QStringLiteral("en"));
    const QDateTime now = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    CalendarEvent event;
    event.endDate = now.addSecs(7200);
    const auto at = [&](qint64 secondsToStart) {
        event.startDate = now.addSecs(secondsToStart);
        return AppL10n::readinessText(event, now);
    };
    EXPECT_EQ(at(-60), "Starting soon");
    EXPECT_EQ(at(300), "Starting soon");
    EXPECT_EQ(at(301), "Get ready");
    EXPECT_EQ(at(900), "Get ready");
    EXPECT_EQ(at(901), "Coming up");
    AppL10n::configure(QStringLiteral("ja"));
    EXPECT_EQ(at(901), QString::fromUtf8("予定あり"));
}
