// Renders every design-system component offscreen, in the light and dark schemes and in English
// and Japanese, into PNGs: kestrivane_design_gallery [OUTPUT_FOLDER] (default: ./artifacts/design).
// Each sheet is written as <sheet>-<language>-<scheme>.png; the symbols sheet also at 2x.

#include "App/ApplicationIcon.h"
#include "DesignSystem/ColorSchemeProvider.h"
#include "DesignSystem/KVButton.h"
#include "DesignSystem/KVGrouping.h"
#include "DesignSystem/KVLabel.h"
#include "DesignSystem/KVStates.h"
#include "DesignSystem/KVStatus.h"
#include "DesignSystem/KVSymbols.h"
#include "DesignSystem/KVWindowChrome.h"
#include "DesignSystem/KestrivaneAppIconView.h"
#include "Support/AppL10n.h"
#include "Support/BundleInfo.h"
#include "Support/Localization.h"
#include "Support/UpdateDialog.h"

#include <QApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QTextStream>
#include <QVBoxLayout>

#include <functional>

using namespace kestrivane;

namespace {

QString t(const char *key)
{
    return AppL10n::text(QString::fromLatin1(key));
}

// A sheet: a window-coloured page with captioned rows.
class Sheet : public QWidget {
public:
    explicit Sheet(int width)
    {
        setFixedWidth(width);
        layout_ = new QVBoxLayout(this);
        layout_->setContentsMargins(16, 16, 16, 16);
        layout_->setSpacing(10);
    }
    void caption(const QString &text)
    {
        auto *label = new KVLabel(text, KVFont::system(10, KVFont::Weight::semibold), KVColorRef(&KVPalette::text4), this);
        layout_->addWidget(label);
    }
    QHBoxLayout *row()
    {
        auto *line = new QHBoxLayout;
        line->setSpacing(10);
        layout_->addLayout(line);
        return line;
    }
    void add(QWidget *widget, Qt::Alignment alignment = {}) { layout_->addWidget(widget, 0, alignment); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), kvPalette(this).window);
    }

private:
    QVBoxLayout *layout_;
};

QWidget *symbolsSheet()
{
    auto *sheet = new Sheet(560);
    const QStringList names = QDir(BundleInfo::resourceRoot + QStringLiteral("/icons")).entryList({QStringLiteral("*.svg")});
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    int line = 0;
    for (QString name : names) {
        name.chop(4);
        auto *label = new KVLabel(name, KVFont::system(10), KVColorRef(&KVPalette::text3), sheet);
        grid->addWidget(label, line, 0);
        int column = 1;
        for (const qreal size : {10.0, 13.0, 14.0, 18.0, 24.0})
            grid->addWidget(new KVSymbol(name, size, KVColorRef(&KVPalette::text1), KVFont::Weight::regular, sheet), line, column++);
        grid->addWidget(new KVSymbol(name, 14, KVColorRef::accent(), KVFont::Weight::semibold, sheet), line, column++);
        grid->addWidget(new KVSymbol(name, 14, KVColorRef(&KVPalette::danger), KVFont::Weight::bold, sheet), line, column++);
        ++line;
    }
    auto *holder = new QWidget(sheet);
    holder->setLayout(grid);
    sheet->add(holder);
    return sheet;
}

QWidget *buttonsSheet()
{
    auto *sheet = new Sheet(620);
    const std::pair<KVButton::Style, const char *> styles[] = {
        {KVButton::Style::borderedProminent, "bordered prominent"},
        {KVButton::Style::bordered, "bordered"},
        {KVButton::Style::plain, "plain"},
    };
    for (const auto &[style, name] : styles) {
        for (const KVButton::ControlSize size : {KVButton::ControlSize::regular, KVButton::ControlSize::small}) {
            sheet->caption(QStringLiteral("%1, %2: normal, pressed, disabled, keyboard focus, with symbol")
                               .arg(QLatin1String(name), size == KVButton::ControlSize::small ? QStringLiteral("small") : QStringLiteral("regular")));
            QHBoxLayout *line = sheet->row();
            for (int state = 0; state < 5; ++state) {
                auto *button = new KVButton(state == 4 ? t("join") : t("join_meet"), style, [] {}, sheet);
                button->setControlSize(size);
                if (state == 1)
                    button->setDown(true);
                if (state == 2) {
                    button->setEnabled(false);
                    button->setHelp(t("join_account_chooser_help"));
                }
                if (state == 3)
                    button->setObjectName(QStringLiteral("focusMe"));
                if (state == 4)
                    button->setSymbol(QStringLiteral("video.fill"));
                line->addWidget(button);
            }
            line->addStretch(1);
        }
    }
    sheet->caption(QStringLiteral("tinted: bell, danger; symbol only"));
    QHBoxLayout *line = sheet->row();
    auto *bell = new KVButton(t("join_current_meet"), KVButton::Style::borderedProminent, [] {}, sheet);
    bell->setTint(KVColorRef(&KVPalette::bell));
    line->addWidget(bell);
    auto *danger = new KVButton(t("disconnect_all"), KVButton::Style::bordered, [] {}, sheet);
    danger->setTint(KVColorRef(&KVPalette::danger));
    line->addWidget(danger);
    auto *symbolOnly = new KVButton(QString(), KVButton::Style::plain, [] {}, sheet);
    symbolOnly->setSymbol(QStringLiteral("minus.circle"));
    symbolOnly->setHelp(AppL10n::format(QStringLiteral("remove_account_help"), QStringLiteral("ada@example.com")));
    line->addWidget(symbolOnly);
    line->addStretch(1);
    return sheet;
}

QWidget *statusSheet()
{
    auto *sheet = new Sheet(520);
    const std::pair<KVStatusTone, const char *> tones[] = {
        {KVStatusTone::neutral, "ended"},          {KVStatusTone::accent, "next_meet"},
        {KVStatusTone::bell, "meet_starting_soon"}, {KVStatusTone::success, "google_status_connected"},
        {KVStatusTone::warning, "meet_preparing"}, {KVStatusTone::danger, "in_meeting"},
    };
    sheet->caption(QStringLiteral("pills: six tones, with and without symbol"));
    QHBoxLayout *plain = sheet->row();
    QHBoxLayout *symbols = sheet->row();
    for (const auto &[tone, key] : tones) {
        plain->addWidget(new KVStatusPill(t(key), tone, sheet));
        symbols->addWidget(new KVStatusPill(t(key), QStringLiteral("checkmark"), tone, sheet));
    }
    plain->addStretch(1);
    symbols->addStretch(1);
    sheet->caption(QStringLiteral("pill too long for its space (120 wide); unknown tone; empty symbol"));
    QHBoxLayout *edge = sheet->row();
    auto *longPill = new KVStatusPill(t("sync_issue_description"), QStringLiteral("clock"), KVStatusTone::warning, sheet);
    longPill->setFixedWidth(120);
    edge->addWidget(longPill);
    edge->addWidget(new KVStatusPill(QStringLiteral("tone 42"), static_cast<KVStatusTone>(42), sheet));
    edge->addWidget(new KVStatusPill(t("join"), QString(), KVStatusTone::accent, sheet));
    edge->addStretch(1);
    sheet->caption(QStringLiteral("dots: success, bell, danger, accent; pulsing"));
    QHBoxLayout *dots = sheet->row();
    for (const KVColorRef &color : {KVColorRef(&KVPalette::success), KVColorRef(&KVPalette::bell),
                                     KVColorRef(&KVPalette::danger), KVColorRef::accent()})
        dots->addWidget(new KVStatusDot(color, false, sheet));
    dots->addWidget(new KVStatusDot(KVColorRef(&KVPalette::success), true, sheet));
    dots->addStretch(1);
    return sheet;
}

// A group-box row: an icon, a title and a pill, 44 high, optionally on a coloured background.
QWidget *groupRow(const QString &title, const QString &symbol, KVColorRef background = {})
{
    class Row : public QWidget {
    public:
        explicit Row(KVColorRef background) : background_(std::move(background)) {}

    protected:
        void paintEvent(QPaintEvent *) override
        {
            QPainter painter(this);
            painter.fillRect(rect(), background_.resolve(this));
        }

    private:
        KVColorRef background_;
    };
    auto *row = new Row(std::move(background));
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(14, 10, 14, 10);
    layout->setSpacing(8);
    layout->addWidget(new KVSymbol(symbol, 14, KVColorRef(&KVPalette::text2), KVFont::Weight::medium));
    layout->addWidget(new KVLabel(title, KVFont::system(13), KVColorRef(&KVPalette::text1)), 1);
    layout->addWidget(new KVStatusPill(t("google_status_connected"), QStringLiteral("checkmark"), KVStatusTone::success));
    return row;
}

QWidget *groupingSheet()
{
    auto *sheet = new Sheet(420);
    sheet->caption(QStringLiteral("group box: rows, inset divider (14/14), full divider (0/0); first row tinted to show the clip"));
    auto *box = new KVGroupBox(sheet);
    box->addRow(groupRow(QStringLiteral("ada@example.com"), QStringLiteral("person.crop.circle"), KVColorRef(&KVPalette::brandSoft)));
    box->addRow(new KVInsetDivider);
    box->addRow(groupRow(t("setup_google_calendar"), QStringLiteral("calendar")));
    box->addRow(new KVInsetDivider(0, 0));
    box->addRow(groupRow(t("settings_section_shortcuts"), QStringLiteral("keyboard"), KVColorRef(&KVPalette::dangerSoft)));
    sheet->add(box);
    sheet->caption(QStringLiteral("footer: today, sync, settings, quit (destructive); pressed; disabled"));
    auto *footer = new QWidget(sheet);
    auto *row = new QHBoxLayout(footer);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addWidget(new KVFooterIconButton(t("footer_today"), QStringLiteral("calendar"), false, [] {}));
    auto *sync = new KVFooterIconButton(t("footer_sync"), QStringLiteral("arrow.clockwise"), false, [] {});
    sync->setDown(true);
    row->addWidget(sync);
    auto *settings = new KVFooterIconButton(t("footer_settings"), QStringLiteral("gearshape"), false, [] {});
    settings->setEnabled(false);
    row->addWidget(settings);
    row->addWidget(new KVFooterIconButton(t("footer_quit"), QStringLiteral("power"), true, [] {}));
    sheet->add(footer);
    sheet->caption(QStringLiteral("footer cells 44 wide: the caption shrinks to 0.75, then is cut"));
    auto *narrow = new QWidget(sheet);
    auto *narrowRow = new QHBoxLayout(narrow);
    narrowRow->setContentsMargins(0, 0, 0, 0);
    narrowRow->setSpacing(0);
    for (const char *key : {"footer_settings", "check_for_updates", "footer_quit"}) {
        auto *cell = new KVFooterIconButton(t(key), QStringLiteral("gearshape"), false, [] {});
        cell->setFixedWidth(44);
        narrowRow->addWidget(cell);
    }
    narrowRow->addStretch(1);
    sheet->add(narrow);
    sheet->caption(QStringLiteral("rules: horizontal divider, vertical border"));
    auto *rules = new QWidget(sheet);
    rules->setFixedHeight(24);
    auto *rulesRow = new QHBoxLayout(rules);
    rulesRow->setContentsMargins(0, 0, 0, 0);
    rulesRow->addWidget(new KVRule(Qt::Horizontal, KVColorRef(&KVPalette::divider)), 1);
    rulesRow->addWidget(new KVRule(Qt::Vertical, KVColorRef(&KVPalette::border)));
    sheet->add(rules);
    return sheet;
}

QWidget *statesSheet()
{
    auto *sheet = new Sheet(420);
    sheet->caption(QStringLiteral("empty state, 118 high"));
    auto *empty = new KVEmptyState(t("no_more_meets_today"), t("clear_until_tomorrow"), QStringLiteral("cup.and.saucer"), sheet);
    empty->setFixedHeight(118);
    sheet->add(empty);
    sheet->caption(QStringLiteral("loading state, 160 high, long description wraps at 280"));
    auto *loading = new KVLoadingState(t("loading_meet_events"), t("loading_meet_events_description") + QLatin1Char(' ')
                                           + t("no_meet_events_today_description"), sheet);
    loading->setFixedHeight(160);
    sheet->add(loading);
    sheet->caption(QStringLiteral("issue banner: three actions; none; a title without an action"));
    sheet->add(new KVIssueBanner(t("sync_issue_title"), t("sync_issue_description"), {t("retry"), [] {}},
                                 {t("reconnect_google"), [] {}}, {t("send_feedback"), [] {}}, sheet));
    sheet->add(new KVIssueBanner(t("sync_issue_title"), t("google_reconnect_description"), {}, {}, {}, sheet));
    sheet->add(new KVIssueBanner(t("sync_issue_title"), t("sync_issue_description"), {t("retry"), {}},
                                 {t("reconnect_google"), [] {}}, {}, sheet));
    sheet->caption(QStringLiteral("issue banner naming the keyring's fault"));
    sheet->add(new KVIssueBanner(t("sync_issue_title"), L10n::text(QStringLiteral("keychain_error_no_service")),
                                 {t("retry"), [] {}}, {}, {t("send_feedback"), [] {}}, sheet));
    sheet->caption(QStringLiteral("issue banner, 320 wide: buttons wrap"));
    auto *narrow = new KVIssueBanner(t("sync_issue_title"), t("google_reconnect_description"), {t("retry"), [] {}},
                                     {t("reconnect_google"), [] {}}, {t("send_feedback"), [] {}}, sheet);
    narrow->setFixedWidth(320);
    // Beside a stretch, not aligned: a layout asks an aligned item's height at its own width.
    QHBoxLayout *line = sheet->row();
    line->addWidget(narrow);
    line->addStretch(1);
    sheet->caption(QStringLiteral("empty state with an unknown and an empty symbol name"));
    auto *unknown = new QWidget(sheet);
    auto *unknownRow = new QHBoxLayout(unknown);
    unknownRow->setContentsMargins(0, 0, 0, 0);
    unknownRow->addWidget(new KVEmptyState(t("no_meet_events_today"), QString(), QStringLiteral("no.such.symbol")));
    unknownRow->addWidget(new KVEmptyState(t("no_meet_events_today"), QString(), QString()));
    unknown->setFixedHeight(110);
    sheet->add(unknown);
    return sheet;
}

QWidget *chromeSheet()
{
    auto *sheet = new Sheet(520);
    sheet->caption(QStringLiteral("title bar without accessory"));
    sheet->add(new KVTitleBar(t("setup_title"), nullptr, 38, sheet));
    sheet->caption(QStringLiteral("title bar with sync and settings buttons (sync pressed)"));
    auto *accessory = new QWidget;
    auto *buttons = new QHBoxLayout(accessory);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(4);
    auto *sync = new KVChromeIconButton(QStringLiteral("arrow.clockwise"), t("sync_now"), [] {});
    sync->setDown(true);
    buttons->addWidget(sync);
    buttons->addWidget(new KVChromeIconButton(QStringLiteral("gearshape"), t("settings"), [] {}));
    sheet->add(new KVTitleBar(t("today_meets_title"), accessory, 38, sheet));
    sheet->caption(QStringLiteral("a title too long for the strip (300 wide)"));
    auto *longBar = new KVTitleBar(t("launch_location_warning_body"), nullptr, 38, sheet);
    longBar->setFixedWidth(300);
    sheet->add(longBar);
    sheet->caption(QStringLiteral("application icon: release and dev, 48; dev at 96; the dev window icon at 96"));
    QHBoxLayout *icons = sheet->row();
    icons->addWidget(new KestrivaneAppIconView(sheet));
    auto *dev = new KestrivaneAppIconView(sheet);
    dev->setBuildChannel(AppBuildChannel::dev);
    icons->addWidget(dev);
    auto *large = new KestrivaneAppIconView(sheet);
    large->setBuildChannel(AppBuildChannel::dev);
    large->setFixedSize(96, 96);
    icons->addWidget(large);
    auto *window = new QLabel(sheet);
    window->setPixmap(QPixmap::fromImage(ApplicationIcon::image(AppBuildChannel::dev, 96)));
    icons->addWidget(window);
    icons->addStretch(1);
    return sheet;
}

QWidget *updateDialogSheet(int phase)
{
    auto *dialog = new UpdateDialog;
    switch (phase) {
    case 0: dialog->showChecking(); break;
    case 1: dialog->showUpToDate(QStringLiteral("1.4.2")); break;
    case 2: dialog->showAvailable(AppcastItem{.version = QStringLiteral("1.5.0"), .displayVersion = QStringLiteral("1.5.0"),
                                              .link = QUrl(QStringLiteral("https://kestrivane.app/download"))}); break;
    default: dialog->showFailed(t("update_error_timeout")); break;
    }
    return dialog;
}

void write(QWidget *widget, const QString &path, qreal scale = 1)
{
    widget->show();
    widget->adjustSize();
    // Tall enough for every row at its minimum, wrapped texts included.
    if (QLayout *layout = widget->layout()) {
        int height = layout->totalMinimumSize().height();
        if (layout->hasHeightForWidth())
            height = std::max(height, layout->totalHeightForWidth(widget->width()));
        widget->resize(widget->width(), std::max(widget->height(), height));
    }
    if (auto *focus = widget->findChild<QWidget *>(QStringLiteral("focusMe"))) {
        QApplication::setActiveWindow(widget);
        focus->setFocus(Qt::TabFocusReason);
    }
    QCoreApplication::processEvents();
    if (qEnvironmentVariableIsSet("DEBUG_GALLERY"))
        for (auto *child : widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            qWarning() << child->metaObject()->className() << child->geometry();
    QPixmap picture(widget->size() * scale);
    picture.setDevicePixelRatio(scale);
    picture.fill(Qt::transparent);
    widget->render(&picture);
    picture.save(path);
    QTextStream(stdout) << path << '\n';
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("artifacts/design");
    QDir().mkpath(folder);
    const std::pair<const char *, std::function<QWidget *()>> sheets[] = {
        {"symbols", symbolsSheet},   {"buttons", buttonsSheet}, {"status", statusSheet},
        {"grouping", groupingSheet}, {"states", statesSheet},   {"chrome", chromeSheet},
        {"update-checking", [] { return updateDialogSheet(0); }},
        {"update-current", [] { return updateDialogSheet(1); }},
        {"update-available", [] { return updateDialogSheet(2); }},
        {"update-failed", [] { return updateDialogSheet(3); }},
    };
    for (const char *language : {"en", "ja"}) {
        AppL10n::configure(QString::fromLatin1(language));
        L10n::configure(QString::fromLatin1(language));
        for (const ColorScheme scheme : {ColorScheme::light, ColorScheme::dark}) {
            const QString suffix = QStringLiteral("-%1-%2.png").arg(QLatin1String(language), scheme == ColorScheme::dark ? QStringLiteral("dark") : QStringLiteral("light"));
            for (const auto &[name, make] : sheets) {
                QWidget *sheet = make();
                setColorSchemeOverride(sheet, scheme);
                write(sheet, folder + QLatin1Char('/') + QLatin1String(name) + suffix);
                if (QLatin1String(name) == QLatin1String("symbols"))
                    write(sheet, folder + QStringLiteral("/symbols@2x") + suffix, 2);
                delete sheet;
            }
        }
    }
    return 0;
}
