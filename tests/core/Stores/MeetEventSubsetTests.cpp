#include "Stores/MeetEventSubset.h"
#include "TestSupport/StoreTestSupport.h"

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

QStringList ids(const QList<CalendarEvent> &events)
{
    QStringList result;
    for (const CalendarEvent &event : events)
        result.append(event.id);
    return result;
}

// Picking copies no event: a subset of every event is the source itself, a pick reads through
// to the source in its own order, and a pick of a pick still reads the one source. Identifiers are
// made once per source and lead time and shared by every pick; another lead time gets its own.
TEST(MeetEventSubsetTest, PicksFromOneSourceAndMakesIdentifiersOnce)
{
    const QDateTime nine = utc(2026, 3, 2, 9, 0);
    QList<CalendarEvent> source;
    for (const char *id : {"a", "b", "c", "d"})
        source.append(meeting(id, "work", nine, nine.addSecs(1800)));

    const MeetEventSubset whole(source, {0, 1, 2, 3});
    EXPECT_EQ(whole.list().constData(), source.constData()) << "the whole list was copied";

    const MeetEventSubset reversed(source, {3, 2, 1, 0});
    EXPECT_EQ(ids(reversed.list()), (QStringList{"d", "c", "b", "a"}));
    const MeetEventSubset picked = reversed.picked({0, 2});
    EXPECT_EQ(ids(picked.list()), (QStringList{"d", "b"}));
    QStringList iterated;
    for (const CalendarEvent &event : picked)
        iterated.append(event.id);
    EXPECT_EQ(iterated, (QStringList{"d", "b"}));
    EXPECT_TRUE(MeetEventSubset().isEmpty());
    EXPECT_TRUE(reversed.picked({}).list().isEmpty());

    reversed.prepareNotificationIdentifiers(1800);
    const QString viaPick = picked.notificationIdentifier(1, 1800);
    EXPECT_EQ(viaPick, source[1].notificationIdentifier(1800));
    EXPECT_EQ(viaPick.constData(), reversed.notificationIdentifier(2, 1800).constData()) << "made twice";
    EXPECT_EQ(picked.notificationIdentifier(1, 600), source[1].notificationIdentifier(600));
    reversed.prepareNotificationIdentifiers(600);
    EXPECT_EQ(picked.notificationIdentifier(0, 600), source[3].notificationIdentifier(600));
    EXPECT_EQ(picked.notificationIdentifier(0, 1800), source[3].notificationIdentifier(1800));
}

} // namespace
