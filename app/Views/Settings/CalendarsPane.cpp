#include "Views/Settings/CalendarsPane.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVAccessibility.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVViewSupport.h"
#include "Stores/AppStore.h"
#include "Support/AppL10n.h"
#include "Views/Settings/CalendarSelectionSwitch.h"
#include "Views/Settings/SettingsPaneKit.h"

#include <QCollator>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include <algorithm>

namespace kestrivane {

namespace {

QCollator caseInsensitiveCollator()
{
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

// The 12-point swatch of a calendar, with a black hairline at 0.2.
class Swatch : public QWidget {
public:
    Swatch(int index, QWidget *parent) : QWidget(parent), index_(index) { setFixedSize(12, 12); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const KVPalette &palette = kvPalette(this);
        const QColor colors[] = {palette.accent(), palette.warning, palette.success, palette.danger, palette.bell};
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 3, 3);
        painter.fillPath(shape, colors[index_]);
        QPainterPath outline;
        outline.addRoundedRect(QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25), 3, 3);
        painter.strokePath(outline, QPen(withOpacity(Qt::black, 0.2), 0.5));
    }

private:
    int index_;
};

// The band over a group's calendars: symbol and title on surface2, rules above (except the
// first) and below.
class SectionHeader : public QWidget {
public:
    SectionHeader(const QString &title, bool isFirst, QWidget *parent) : QWidget(parent), isFirst_(isFirst)
    {
        auto *line = new QHBoxLayout(this);
        line->setContentsMargins(14, 6, 14, 6);
        line->setSpacing(6);
        line->addWidget(new KVSymbol(QStringLiteral("person.crop.circle"), 10, KVColorRef(&KVPalette::text3), KVFont::Weight::regular, this));
        line->addWidget(new KVLabel(title, KVFont::system(11, KVFont::Weight::medium), KVColorRef(&KVPalette::text2), this), 1);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const KVPalette &palette = kvPalette(this);
        painter.fillRect(rect(), palette.surface2);
        const QColor rule = withOpacity(palette.dividerSoft, 0.5);
        if (!isFirst_)
            painter.fillRect(QRect(0, 0, width(), 1), rule);
        painter.fillRect(QRect(0, height() - 1, width(), 1), rule);
    }

private:
    bool isFirst_;
};

} // namespace

QList<CalendarAccountGroup> calendarGroups(const QList<CalendarInfo> &calendars)
{
    const QString other = AppL10n::text(QStringLiteral("calendar_group_other"));
    QList<CalendarAccountGroup> groups;
    for (const CalendarInfo &calendar : calendars) {
        const QString key = calendar.accountEmail.value_or(other);
        auto it = std::find_if(groups.begin(), groups.end(), [&](const CalendarAccountGroup &g) { return g.id == key; });
        if (it == groups.end())
            groups.append({key, key, {calendar}});
        else
            it->calendars.append(calendar);
    }
    const QCollator collator = caseInsensitiveCollator();
    for (CalendarAccountGroup &group : groups) {
        std::stable_sort(group.calendars.begin(), group.calendars.end(), [&](const CalendarInfo &a, const CalendarInfo &b) {
            if (a.isSelectedByDefault != b.isSelectedByDefault)
                return a.isSelectedByDefault;
            return collator.compare(a.name, b.name) < 0;
        });
    }
    std::stable_sort(groups.begin(), groups.end(), [&](const CalendarAccountGroup &a, const CalendarAccountGroup &b) {
        return collator.compare(a.title, b.title) < 0;
    });
    return groups;
}

int calendarSwatchIndex(const QString &calendarID)
{
    quint64 hash = 14695981039346656037ull;
    for (const char byte : calendarID.toUtf8()) {
        hash ^= static_cast<quint8>(byte);
        hash *= 1099511628211ull;
    }
    return static_cast<int>(hash % 5);
}

CalendarsPane::CalendarsPane(AppStore &store, QWidget *parent)
    : QWidget(parent), store_(&store), layout_(makePaneLayout(this)), refresh_(new KVDeferredRefresh(this, [this] { refresh(); }))
{
    refresh_->follow(&store, &AppStore::changed);
    refresh();
}

QList<CalendarSelectionSwitch *> CalendarsPane::switches() const
{
    QList<CalendarSelectionSwitch *> result;
    for (const auto &entry : switches_) {
        if (entry.second)
            result << entry.second;
    }
    return result;
}

void CalendarsPane::refresh()
{
    if (!store_)
        return;
    const QList<CalendarAccountGroup> groups = calendarGroups(store_->calendars());
    if (shown_ != groups) {
        shown_ = groups;
        clearLayout(layout_);
        switches_.clear();
        build(groups);
    }
    const QSet<QString> &selected = store_->selectedCalendarIDs();
    for (const auto &[id, toggle] : std::as_const(switches_)) {
        if (toggle)
            toggle->setOn(selected.contains(id));
    }
}

void CalendarsPane::build(const QList<CalendarAccountGroup> &groups)
{
    addPaneHeader(layout_, new PaneHeader(AppL10n::text(QStringLiteral("settings_section_calendars"))),
                  AppL10n::text(QStringLiteral("settings_calendars_help")));
    auto *box = new KVGroupBox;
    if (groups.isEmpty()) {
        auto *empty = new QWidget;
        auto *line = new QHBoxLayout(empty);
        line->setContentsMargins(14, 14, 14, 14);
        line->addWidget(new KVLabel(AppL10n::text(QStringLiteral("sync_to_load_calendars")), KVFont::callout(),
                                    KVColorRef(&KVPalette::text3)), 1);
        box->addRow(empty);
    }
    for (qsizetype g = 0; g < groups.size(); ++g) {
        const CalendarAccountGroup &group = groups[g];
        if (g > 0)
            box->addRow(new KVInsetDivider(0, 0));
        box->addRow(new SectionHeader(group.title, g == 0, nullptr));
        for (qsizetype i = 0; i < group.calendars.size(); ++i) {
            const CalendarInfo &calendar = group.calendars[i];
            if (i > 0)
                box->addRow(new KVInsetDivider);
            auto *row = new QWidget;
            auto *line = new QHBoxLayout(row);
            line->setContentsMargins(14, 8, 14, 8);
            line->setSpacing(10);
            line->addWidget(new Swatch(calendarSwatchIndex(calendar.id), row));
            auto *name = new KVLabel(calendar.name, KVFont::system(13), KVColorRef(&KVPalette::text1), row);
            line->addWidget(name, 1);
            auto *toggle = new CalendarSelectionSwitch(false, [store = store_, id = calendar.id](bool on) {
                if (store)
                    store->setCalendarSelection(id, on);
            }, row);
            KVAccessibility::setLabelledBy(toggle, name);
            line->addWidget(toggle);
            box->addRow(row);
            switches_.append({calendar.id, toggle});
        }
    }
    layout_->addWidget(box);
}

} // namespace kestrivane
