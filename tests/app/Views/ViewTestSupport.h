#pragma once

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVLabel.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Support/DateFormatting.h"
#include "Support/Localization.h"
#include "TestSupport/Coroutines.h"
#include "TestSupport/StoreTestSupport.h"
#include "Views/Shared/MeetingViewSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace kestrivane::test {

// What the views asked for beyond the store.
struct RecordedActions {
    QList<QUrl> opened;
    int feedback = 0;
    int settings = 0;
    int today = 0;
    int quit = 0;
    int reconnect = 0;

    MeetingViewActions actions()
    {
        MeetingViewActions result;
        result.openURL = [this](const QUrl &url) { opened << url; };
        result.openFeedbackForm = [this] { ++feedback; };
        result.openSettings = [this] { ++settings; };
        result.openToday = [this] { ++today; };
        result.quit = [this] { ++quit; };
        result.reconnectGoogle = [this](AppStore &) { ++reconnect; };
        return result;
    }
};

// Lets the coalesced refresh run and the replaced widgets go.
inline void settle()
{
    for (int turn = 0; turn < 3; ++turn) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// The children of `root` named `name` that are still part of the view (not hidden for deletion).
template<typename T = QWidget>
QList<T *> named(const QWidget *root, const QString &name)
{
    QList<T *> result;
    for (T *child : root->findChildren<T *>(name)) {
        bool shown = true;
        for (const QWidget *widget = child; widget && widget != root; widget = widget->parentWidget())
            shown = shown && !widget->isHidden();
        if (shown)
            result << child;
    }
    return result;
}

template<typename T = QWidget>
T *one(const QWidget *root, const QString &name)
{
    const QList<T *> found = named<T>(root, name);
    return found.size() == 1 ? found.first() : nullptr;
}

inline QString textOf(const QWidget *root, const QString &name)
{
    if (auto *label = one<QLabel>(root, name))
        return label->text();
    if (auto *button = one<QAbstractButton>(root, name))
        return button->text();
    return QStringLiteral("<none: ") + name + u'>';
}

// Whether some pixel of `image` is within a few steps of `color`.
inline bool hasPixelNear(const QImage &image, const QColor &color)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (std::abs(pixel.red() - color.red()) < 12 && std::abs(pixel.green() - color.green()) < 12 &&
                std::abs(pixel.blue() - color.blue()) < 12)
                return true;
        }
    }
    return false;
}

// The focus widget and those that Tab visits after it in `window` (at most `limit`, until one comes back).
inline QList<QWidget *> tabSequence(QWidget *window, int limit = 40)
{
    QList<QWidget *> visited;
    if (QApplication::focusWidget())
        visited << QApplication::focusWidget();
    for (int step = 0; step < limit; ++step) {
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : window, Qt::Key_Tab);
        QWidget *next = QApplication::focusWidget();
        if (!next || visited.contains(next))
            break;
        visited << next;
    }
    return visited;
}

// Whether a pixel row of `image` between `left` and `right` carries ink that differs from the
// background beside it (at `background`, same row).
inline bool rowHasInk(const QImage &image, int y, int left, int right, int background)
{
    if (y < 0 || y >= image.height())
        return false;
    const QColor plain = image.pixelColor(background, y);
    for (int x = std::max(0, left); x <= std::min(right, image.width() - 1); ++x) {
        const QColor c = image.pixelColor(x, y);
        if (std::abs(c.red() - plain.red()) + std::abs(c.green() - plain.green()) + std::abs(c.blue() - plain.blue()) > 60)
            return true;
    }
    return false;
}

// The banner in `window` shows all of itself: every label as high as its lines at its width, no
// line cut short, no ink on its top row or just outside it, every button at its whole width,
// without overlap, all inside the banner and the banner inside the window.
inline void expectWholeBanner(QWidget *window, QWidget *banner, const QString &context)
{
    SCOPED_TRACE(context.toStdString());
    const QImage image = window->grab().toImage().scaled(window->size());
    const QRect bannerArea(banner->mapTo(window, QPoint(0, 0)), banner->size());
    EXPECT_TRUE(QRect(QPoint(0, 0), window->size()).contains(bannerArea));
    const QList<KVLabel *> labels = banner->findChildren<KVLabel *>();
    ASSERT_EQ(labels.size(), 2);
    for (KVLabel *label : labels) {
        SCOPED_TRACE(label->text().toStdString());
        EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        EXPECT_EQ(label->visibleLines().join(QString()).remove(u' '), label->displayText().remove(u' '));
        const QRect area(label->mapTo(window, QPoint(0, 0)), label->size());
        EXPECT_TRUE(bannerArea.contains(area));
        // Lines too many for their box, centred in it, leave ink on its top row; nothing of the
        // label nor of a neighbour lies on the rows just outside it.
        for (const int y : {area.top() - 1, area.top(), area.bottom() + 1})
            EXPECT_FALSE(rowHasInk(image, y, area.left(), area.right(), bannerArea.right() - 4)) << "row " << y;
    }
    QList<QRect> taken;
    for (KVButton *button : banner->findChildren<KVButton *>()) {
        SCOPED_TRACE(button->text().toStdString());
        EXPECT_GE(button->width(), button->sizeHint().width());
        const QRect area(button->mapTo(window, QPoint(0, 0)), button->size());
        EXPECT_TRUE(bannerArea.contains(area));
        for (const QRect &other : std::as_const(taken))
            EXPECT_FALSE(other.intersects(area));
        taken << area;
    }
}

// Views under test in a language, in UTC, on a store with an injected calendar client and a
// manual clock at 09:00 on 2 March 2026.
class ViewTest : public ::testing::Test {
protected:
    void SetUp() override { useLanguage(QStringLiteral("en_US")); }
    void TearDown() override
    {
        AppL10n::configure(std::nullopt);
        L10n::configure(std::nullopt);
        DateFormatting::configure(std::nullopt);
    }

    static void useLanguage(const QString &locale)
    {
        AppL10n::configure(locale);
        L10n::configure(locale);
        DateFormatting::configure(locale);
    }

    // A store over the calendars "work" and "home"; synced with `events` unless told otherwise.
    std::unique_ptr<AppStore> makeStore(const QList<CalendarEvent> &events, bool synced = true, bool inAppAlerts = false)
    {
        parts.calendarClient->calendars = {calendar(QStringLiteral("work")), calendar(QStringLiteral("home"))};
        parts.calendarClient->events = events;
        AppStore::Configuration configuration = parts.configuration();
        configuration.inAppAlertsEnabled = inAppAlerts;
        auto store = std::make_unique<AppStore>(configuration);
        if (synced)
            runTask(store->sync());
        return store;
    }

    // A meeting starting `startMinutes` after 09:00 for `minutes`.
    static CalendarEvent at(const QString &id, int startMinutes, int minutes = 30, const QString &title = QString())
    {
        const QDateTime start = utc(2026, 3, 2, 9, 0).addSecs(startMinutes * 60);
        return meeting(id, QStringLiteral("work"), start, start.addSecs(minutes * 60), title.isEmpty() ? id : title);
    }

    // Where the tests keep their pictures.
    static QString artifact(const QString &name)
    {
        const QString folder = QCoreApplication::applicationDirPath() + QStringLiteral("/artifacts/views");
        QDir().mkpath(folder);
        return folder + u'/' + name + QStringLiteral(".png");
    }

    TimeZoneGuard zone{"UTC"};
    StoreParts parts;
    RecordedActions recorded;
};

} // namespace kestrivane::test
