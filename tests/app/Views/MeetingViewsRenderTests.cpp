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
