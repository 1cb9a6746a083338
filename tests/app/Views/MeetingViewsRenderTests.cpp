#include "Support/UpdateStatusStore.h"
#include "Views/MenuBar/MenuBarView.h"
#include "Views/Today/TodayMeetView.h"
#include "app/Views/ViewTestSupport.h"

#include <QImage>
#include <QVBoxLayout>

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

class MeetingViewsRenderTest : public ViewTest {};

// The share of the picture's pixels that differ from its top-left corner: a blank picture has none.
double inkShare(const QImage &image)
{
    const QRgb background = image.pixel(image.width() / 2, image.height() - 2);
    qsizetype differing = 0;
    for (int y = 0; y < image.height(); y += 2) {
        for (int x = 0; x < image.width(); x += 2)
            differing += image.pixel(x, y) != background;
    }
    return double(differing) / (double(image.width() / 2) * double(image.height() / 2));
}

} // namespace

// Both views in every demo state, in both languages and both schemes, as pictures to look at
// (artifacts/views); each must show something and keep the panel's width.
TEST_F(MeetingViewsRenderTest, DemoStatesInBothLanguagesAndSchemes)
{
    for (const QString language : {"en", "ja"}) {
        useLanguage(language == u"en" ? QStringLiteral("en_US") : QStringLiteral("ja_JP"));
        for (const DemoMode::State state : {DemoMode::State::setup, DemoMode::State::next, DemoMode::State::ready, DemoMode::State::current}) {
            AppStore::Configuration configuration = parts.configuration();
            configuration.demoMode = DemoMode{true, state, language};
            configuration.inAppAlertsEnabled = false;
            AppStore store(configuration);
            runTask(store.sync());
            UpdateStatusStore updates;
            if (state == DemoMode::State::next)
                updates.setAvailableVersion(QStringLiteral("2.4.0"));
            MenuBarView panel(store, updates, recorded.actions());
            TodayMeetView today(store, recorded.actions());
            today.resize(TodayMeetView::minimumWindowSize);
            for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
                setColorSchemeOverride(&panel, scheme);
                setColorSchemeOverride(&today, scheme);
                panel.adjustSize();
                const QString suffix = language + u'-' + DemoMode::rawValue(state) + (scheme == ColorScheme::dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
                const QImage panelImage = panel.grab().toImage();
                const QImage todayImage = today.grab().toImage();
                ASSERT_TRUE(panelImage.save(artifact(QStringLiteral("panel-") + suffix)));
                ASSERT_TRUE(todayImage.save(artifact(QStringLiteral("today-") + suffix)));
                EXPECT_EQ(panelImage.width() / panelImage.devicePixelRatio(), MenuBarView::panelWidth);
                EXPECT_GT(inkShare(panelImage), 0.02) << suffix.toStdString();
                EXPECT_GT(inkShare(todayImage), 0.02) << suffix.toStdString();
            }
        }
    }
}

// The panel and the Today window on a synced day of three meetings, a day of one, after a failed
// sync and with a revoked sign-in, in both languages and both schemes (artifacts/views): the
// banners show all of themselves, and a day of one meeting says so.
TEST_F(MeetingViewsRenderTest, SyncStatesInBothLanguagesAndSchemes)
{
    enum class Day { normal, single, failing, revoked };
    for (const QString language : {"en", "ja"}) {
        useLanguage(language == u"en" ? QStringLiteral("en_US") : QStringLiteral("ja_JP"));
        for (const Day day : {Day::normal, Day::single, Day::failing, Day::revoked}) {
            parts.calendarClient->eventsError.reset();
            auto store = makeStore(day == Day::normal ? QList<CalendarEvent>{at("a", 0), at("b", 60), at("c", 120)}
                                   : day == Day::single ? QList<CalendarEvent>{at("a", 60)}
                                                        : QList<CalendarEvent>{});
            store->setGoogleClientID(QStringLiteral("client"));
            store->setGoogleClientSecret(QStringLiteral("secret"));
            if (day == Day::failing || day == Day::revoked) {
                parts.calendarClient->eventsError = day == Day::failing ? QStringLiteral("network down")
                                                                        : QStringLiteral("invalid_grant: Token has been expired or revoked.");
                runTask(store->sync());
            }
            UpdateStatusStore updates;
            MenuBarView panel(*store, updates, recorded.actions());
            TodayMeetView today(*store, recorded.actions());
            today.resize(TodayMeetView::minimumWindowSize);
            const QString name = QStringList{"normal", "single", "failing", "revoked"}.at(int(day));
            for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
                setColorSchemeOverride(&panel, scheme);
                setColorSchemeOverride(&today, scheme);
                panel.adjustSize();
                settle();
                const QString suffix = language + u'-' + name + (scheme == ColorScheme::dark ? QStringLiteral("-dark") : QStringLiteral("-light"));
                ASSERT_TRUE(panel.grab().save(artifact(QStringLiteral("panel-") + suffix)));
                ASSERT_TRUE(today.grab().save(artifact(QStringLiteral("today-") + suffix)));
                // As high as its sections, on a day without wrapped texts too.
                EXPECT_EQ(panel.size(), panel.sizeHint());
                EXPECT_EQ(panel.width(), MenuBarView::panelWidth);
                for (QWidget *view : {static_cast<QWidget *>(&panel), static_cast<QWidget *>(&today)}) {
                    const QList<QWidget *> banners = named(view, "sync-issue-banner");
                    EXPECT_EQ(banners.size(), day == Day::failing || day == Day::revoked ? 1 : 0) << suffix.toStdString();
                    for (QWidget *banner : banners)
                        expectWholeBanner(view, banner, suffix);
                }
                if (day == Day::single) {
                    const QString one = AppL10n::format("meetings_count_short", 1);
                    EXPECT_EQ(textOf(&panel, "today-count"), one);
                    EXPECT_EQ(textOf(&today, "footer-count"), one);
                    EXPECT_EQ(textOf(&today, "strap-count"), AppL10n::format("meetings_count_accessibility", 1));
                }
            }
        }
    }
}

// With a compositor the panel is the popover's translucent colour inside rounded corners; without
// one it is opaque on the window colour.
TEST_F(MeetingViewsRenderTest, ThePanelIsTranslucentAndRoundedOnlyInATranslucentWindow)
{
    auto store = makeStore({});
    UpdateStatusStore updates;
    for (const bool translucent : {false, true}) {
        QWidget window(nullptr, Qt::FramelessWindowHint);
        window.setAttribute(Qt::WA_TranslucentBackground, translucent);
        auto *layout = new QVBoxLayout(&window);
        layout->setContentsMargins(0, 0, 0, 0);
        auto *panel = new MenuBarView(*store, updates, recorded.actions());
        layout->addWidget(panel);
        window.show();
        settle();
        QImage image(panel->size(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        panel->render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        image.save(artifact(translucent ? QStringLiteral("panel-translucent") : QStringLiteral("panel-opaque")));
        const QColor corner = image.pixelColor(0, 0);
        const QColor bottomCorner = image.pixelColor(0, image.height() - 1);
        const QColor inside = image.pixelColor(image.width() / 2, 4);
        if (translucent) {
            EXPECT_EQ(corner.alpha(), 0);
            EXPECT_EQ(bottomCorner.alpha(), 0);
            EXPECT_NEAR(inside.alphaF(), KVPalette::light().popover.alphaF(), 0.02);
        } else {
            EXPECT_EQ(corner.alpha(), 255);
            EXPECT_EQ(inside.alpha(), 255);
        }
    }
}
