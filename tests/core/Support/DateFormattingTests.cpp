#include "Support/DateFormatting.h"
#include "Support/Localization.h"

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

class DateFormattingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        L10n::configure(QStringLiteral("en_US"));
        DateFormatting::configure(QStringLiteral("en_US"));
    }
    void TearDown() override
    {
        L10n::configure(std::nullopt);
        DateFormatting::configure(std::nullopt);
    }

    const QTimeZone tokyo{"Asia/Tokyo"};
    QDateTime at(int y, int mo, int d, int h, int mi) const { return QDateTime(QDate(y, mo, d), QTime(h, mi), tokyo).toUTC(); }
};

QString plain(QString s)
{
    // CLDR puts a narrow no-break space before AM/PM.
    return s.replace(QChar(0x202F), u' ').replace(QChar(0x00A0), u' ');
}

} // namespace

TEST_F(DateFormattingTest, StylesPerLanguage)
{
    const QDateTime instant = at(2026, 3, 2, 9, 30);
    EXPECT_EQ(plain(DateFormatting::shortTime().string(instant, tokyo)), "9:30 AM");
    EXPECT_EQ(plain(DateFormatting::eventTime().string(instant, tokyo)), "Mar 2, 2026 at 9:30 AM");
    EXPECT_EQ(plain(DateFormatting::shortDateTime().string(instant, tokyo)), "3/2/26, 9:30 AM");

    // English of a day-first region keeps its order.
    DateFormatting::configure(QStringLiteral("en_GB"));
    EXPECT_EQ(plain(DateFormatting::eventTime().string(instant, tokyo)), "2 Mar 2026 at 09:30");

    DateFormatting::configure(QStringLiteral("ja_JP"));
    EXPECT_EQ(DateFormatting::shortTime().string(instant, tokyo), "9:30");
    EXPECT_EQ(DateFormatting::eventTime().string(instant, tokyo), "2026/03/02 9:30");
    EXPECT_EQ(DateFormatting::shortTime().locale().language(), QLocale::Japanese);
    EXPECT_EQ(DateFormatting::shortDateTime().locale().language(), QLocale::Japanese);
}

TEST_F(DateFormattingTest, ShortTimesHaveHoursAndMinutesOnlyInEveryLocale)
{
    // Qt's short time format of the C/POSIX locale carries seconds ("HH:mm:ss").
    const QDateTime instant = QDateTime(QDate(2026, 3, 2), QTime(9, 58, 52), tokyo);
    const QList<std::pair<QString, QString>> cases = {
        {"C", "09:58"}, {"en_US", "9:58 AM"}, {"ja_JP", "9:58"}, {"de_DE", "09:58"}, {"fi_FI", "9.58"}, {"ko_KR", "오전 9:58"}};
    for (const auto &[locale, expected] : cases) {
        DateFormatting::configure(locale);
        EXPECT_EQ(plain(DateFormatting::shortTime().string(instant, tokyo)), expected) << locale.toStdString();
        // The notification body's date and time too.
        EXPECT_TRUE(plain(DateFormatting::eventTime().string(instant, tokyo)).endsWith(expected)) << locale.toStdString();
        EXPECT_FALSE(DateFormatting::eventTime().string(instant, tokyo).contains(u"52")) << locale.toStdString();
    }
}

TEST_F(DateFormattingTest, ConfigureWithoutIdentifierUsesTheSystemLocale)
{
    DateFormatting::configure(std::nullopt);
    EXPECT_EQ(DateFormatting::shortTime().locale(), QLocale::system());
    EXPECT_EQ(DateFormatting::eventTime().locale(), QLocale::system());
    EXPECT_EQ(DateFormatting::shortDateTime().locale(), QLocale::system());
}

TEST_F(DateFormattingTest, FireDateTextAroundMidnight)
{
    const QDateTime reference = at(2026, 3, 2, 23, 59);
    // Same day: the clock time only.
    EXPECT_EQ(plain(DateFormatting::notificationFireDateText(at(2026, 3, 2, 23, 59), reference, tokyo)), "11:59 PM");
    // One minute after midnight, and late the next day: tomorrow.
    EXPECT_EQ(plain(DateFormatting::notificationFireDateText(at(2026, 3, 3, 0, 1), reference, tokyo)), "Tomorrow at 12:01 AM");
    EXPECT_EQ(plain(DateFormatting::notificationFireDateText(at(2026, 3, 3, 23, 59), at(2026, 3, 2, 0, 0), tokyo)),
              "Tomorrow at 11:59 PM");
    // Two days ahead and the day before: date and time.
    EXPECT_EQ(plain(DateFormatting::notificationFireDateText(at(2026, 3, 4, 0, 0), reference, tokyo)), "3/4/26, 12:00 AM");
    EXPECT_EQ(plain(DateFormatting::notificationFireDateText(at(2026, 3, 1, 23, 0), reference, tokyo)), "3/1/26, 11:00 PM");
}

TEST_F(DateFormattingTest, DaysFollowTheGivenZone)
{
    const QDateTime lateTokyo = at(2026, 3, 2, 23, 30);
    const QDateTime earlyNextTokyo = at(2026, 3, 3, 0, 10);
    EXPECT_FALSE(isSameDay(lateTokyo, earlyNextTokyo, tokyo));
    EXPECT_TRUE(isSameDay(lateTokyo, earlyNextTokyo, QTimeZone("America/New_York")));
    EXPECT_EQ(startOfDay(lateTokyo, tokyo), at(2026, 3, 2, 0, 0));
}
