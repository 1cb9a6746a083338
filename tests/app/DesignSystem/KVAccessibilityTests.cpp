#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVWindowChrome.h"
#include "TestSupport/Accessibility.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/TestEnvironment.h"

#include <QJsonDocument>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace kestrivane;

// The components as a screen reader finds them: texts, roles and disabled states as drawn, and a
// painted button pressed through its AT-SPI action runs its action.
TEST(KVAccessibilityTest, AScreenReaderReadsAndPressesThePaintedComponents)
{
    KV_REQUIRE(test::displayProblem());
    test::AccessibilityBus bus;
    KV_REQUIRE(bus.problem());

    QStringList ran;
    QWidget window;
    window.setWindowTitle(QStringLiteral("Components"));
    auto *layout = new QVBoxLayout(&window);
    auto *trailing = new KVChromeIconButton(QStringLiteral("gearshape"), QStringLiteral("Settings"), [&] { ran << "settings"; });
    layout->addWidget(new KVTitleBar(QStringLiteral("Today's Meetings"), trailing));
    layout->addWidget(new KVStatusPill(QStringLiteral("Starting soon"), QStringLiteral("clock"), KVStatusTone::bell));
    layout->addWidget(new KVLabel(QStringLiteral("<b>Standup</b>"), KVFont::body(), KVColorRef(&KVPalette::text1)));
    auto *join = new KVButton(QStringLiteral("Join"), KVButton::Style::borderedProminent, [&] { ran << "join"; });
    layout->addWidget(join);
    auto *disabled = new KVButton(QStringLiteral("Join Now"), KVButton::Style::bordered, [&] { ran << "disabled"; });
    disabled->setEnabled(false);
    layout->addWidget(disabled);
    auto *remove = new KVButton(QString(), KVButton::Style::plain, [&] { ran << "remove"; });
    remove->setSymbol(QStringLiteral("minus.circle"));
    remove->setToolTip(QStringLiteral("Remove ada@example.com"));
    layout->addWidget(remove);
    auto *toggle = new KVButton(QStringLiteral("Launch at login"), KVButton::Style::bordered);
    toggle->setCheckable(true);
    toggle->setChecked(true);
    layout->addWidget(toggle);
    layout->addWidget(new KVFooterIconButton(QStringLiteral("Quit"), QStringLiteral("power"), true, [&] { ran << "quit"; }));
    layout->addWidget(new KVIssueBanner(QStringLiteral("Meetings could not be updated"), QStringLiteral("Check your connection."),
                                        {QStringLiteral("Retry"), [&] { ran << "retry"; }}));
    layout->addWidget(new KVLoadingState(QStringLiteral("Loading meetings…"), QStringLiteral("Reading your calendars.")));
    window.show();

    QString error;
    const QJsonObject tree = bus.tree(test::AccessibilityBus::self(), &error);
    ASSERT_TRUE(error.isEmpty()) << error.toStdString();
    const auto one = [&](const QString &role, const QString &name) {
        const QList<QJsonObject> found = test::findAccessibles(tree, role, name);
        EXPECT_EQ(found.size(), 1) << role.toStdString() << " " << name.toStdString() << "\n"
                                   << QJsonDocument(tree).toJson().toStdString();
        return found.value(0);
    };
    one(QStringLiteral("heading"), QStringLiteral("Today's Meetings"));
    one(QStringLiteral("label"), QStringLiteral("Starting soon"));
    // Data is shown as plain text, and read as the same text.
    one(QStringLiteral("label"), QStringLiteral("<b>Standup</b>"));
    const QJsonObject joinNode = one(QStringLiteral("push button"), QStringLiteral("Join"));
    EXPECT_TRUE(test::hasState(joinNode, QStringLiteral("enabled")));
    EXPECT_TRUE(joinNode.value(QStringLiteral("actions")).toArray().contains(QStringLiteral("Press")));
    const QJsonObject disabledNode = one(QStringLiteral("push button"), QStringLiteral("Join Now"));
    EXPECT_FALSE(test::hasState(disabledNode, QStringLiteral("enabled")));
    const QJsonObject toggleNode = one(QStringLiteral("push button"), QStringLiteral("Launch at login"));
    EXPECT_TRUE(test::hasState(toggleNode, QStringLiteral("checked")));
    // A button without a title is named by its tooltip.
    one(QStringLiteral("push button"), QStringLiteral("Remove ada@example.com"));
    one(QStringLiteral("push button"), QStringLiteral("Settings"));
    one(QStringLiteral("push button"), QStringLiteral("Quit"));
    one(QStringLiteral("push button"), QStringLiteral("Close"));
    const QJsonObject alert = one(QStringLiteral("alert"), QStringLiteral("Meetings could not be updated"));
    EXPECT_EQ(alert.value(QStringLiteral("description")).toString(), QStringLiteral("Check your connection."));
    one(QStringLiteral("progress bar"), QStringLiteral("Loading meetings…"));

    // Pressed through AT-SPI: the actions run; the disabled button's does not.
    EXPECT_EQ(bus.press(test::AccessibilityBus::self(), QStringLiteral("push button"), QStringLiteral("Join")), QString());
    EXPECT_TRUE(test::waitUntil([&] { return ran.contains("join"); }));
    EXPECT_EQ(bus.press(test::AccessibilityBus::self(), QStringLiteral("push button"), QStringLiteral("Retry")), QString());
    QList<int> joinPath;
    for (const QJsonValue index : joinNode.value(QStringLiteral("path")).toArray())
        joinPath << index.toInt();
    EXPECT_EQ(bus.press(test::AccessibilityBus::self(), joinPath), QString());
    bus.press(test::AccessibilityBus::self(), QStringLiteral("push button"), QStringLiteral("Join Now"));
    EXPECT_TRUE(test::waitUntil([&] { return ran.count("join") == 2 && ran.contains("retry"); }));
    EXPECT_FALSE(ran.contains("disabled"));
    // A checkable one toggles.
    EXPECT_EQ(bus.press(test::AccessibilityBus::self(), QStringLiteral("push button"), QStringLiteral("Launch at login")), QString());
    EXPECT_TRUE(test::waitUntil([&] { return !toggle->isChecked(); }));
    EXPECT_NE(bus.press(test::AccessibilityBus::self(), QStringLiteral("push button"), QStringLiteral("No such button")), QString());
}
