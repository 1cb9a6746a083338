#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVGrouping.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"
#include "TestSupport/PortalStandIn.h"
#include "TestSupport/PrivateBus.h"

#include <QApplication>
#include <QPalette>
#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace kestrivane;
using namespace std::chrono_literals;

// The scheme follows the portal (ReadOne, or Read on older portals, then SettingChanged); no
// preference, no portal or a value it cannot read leave it to the palette's window colour.
TEST(ColorSchemeProviderTest, FollowsThePortalWithThePaletteAsFallback)
{
    test::PrivateBus bus;
    KV_REQUIRE(bus.problem());
    const ColorScheme paletteScheme =
        QGuiApplication::palette().color(QPalette::Window).lightness() < 128 ? ColorScheme::dark : ColorScheme::light;
    const ColorScheme other = paletteScheme == ColorScheme::dark ? ColorScheme::light : ColorScheme::dark;
    const quint32 otherValue = other == ColorScheme::dark ? 1 : 2;
    {
        // The first provider of the process hears the portal's changes (no preference, then dark).
        test::PrivateBus fresh;
        test::PortalStandIn portal(fresh.connect(), 0);
        ColorSchemeProvider provider(fresh.connect());
        ASSERT_TRUE(test::waitUntil([&] { return provider.portalPreference() == 0u; }));
        EXPECT_EQ(provider.scheme(), paletteScheme);
        portal.setColorScheme(1);
        EXPECT_TRUE(test::waitUntil([&] { return provider.scheme() == ColorScheme::dark; }));
    }
    {
        // Without a portal: the palette.
        ColorSchemeProvider provider(bus.connect());
        test::waitUntil([] { return false; }, 300ms);
        EXPECT_EQ(provider.scheme(), paletteScheme);
        EXPECT_FALSE(provider.portalPreference().has_value());
    }
    for (const bool readOne : {true, false}) {
        SCOPED_TRACE(readOne);
        test::PortalStandIn portal(bus.connect(), otherValue, readOne);
        KV_REQUIRE(portal.problem());
        ColorSchemeProvider provider(bus.connect());
        QSignalSpy changes(&provider, &ColorSchemeProvider::changed);
        ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == other; }));
        EXPECT_EQ(changes.size(), 1);

        // A switch reaches the provider and repaints a widget drawn in the scheme.
        KVGroupBox box;
        box.resize(100, 40);
        box.show();
        ASSERT_TRUE(test::waitUntil([&] { return box.isVisible(); }));
        ColorSchemeProvider::setShared(&provider);
        EXPECT_EQ(colorScheme(&box), other);
        portal.setColorScheme(otherValue == 1 ? 2 : 1);
        ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == paletteScheme; }));
        EXPECT_EQ(colorScheme(&box), paletteScheme);
        // An override wins over the provider.
        setColorSchemeOverride(&box, other);
        EXPECT_EQ(colorScheme(&box), other);
        ColorSchemeProvider::setShared(nullptr);

        // "No preference" hands back to the palette; another setting or a malformed value is ignored.
        portal.setColorScheme(otherValue);
        ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == other; }));
        portal.setColorScheme(0);
        ASSERT_TRUE(test::waitUntil([&] { return provider.scheme() == paletteScheme; }));
        EXPECT_EQ(provider.portalPreference(), 0u);
        emit portal.SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("accent-color"),
                                   QDBusVariant(1u));
        emit portal.SettingChanged(QStringLiteral("org.freedesktop.appearance"), QStringLiteral("color-scheme"),
                                   QDBusVariant(QStringLiteral("dark")));
        test::waitUntil([] { return false; }, 300ms);
        EXPECT_EQ(provider.scheme(), paletteScheme);
        EXPECT_EQ(provider.portalPreference(), 0u);
    }
}
