#include "Views/Settings/AccountIdentity.h"

#include "DesignSystem/ColorSchemeProvider.h"
#include "Stores/AppStore.h"
#include "Support/Browser.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPointer>
#include <QTextBoundaryFinder>

namespace kestrivane {

namespace AccountIdentity {

namespace {

bool isSeparator(QStringView grapheme)
{
    static const QStringList separators{QStringLiteral(" "), QStringLiteral("."), QStringLiteral("@"),
                                        QStringLiteral("_"), QStringLiteral("-")};
    return separators.contains(grapheme.toString());
}

// The grapheme clusters of `text`.
QStringList graphemes(const QString &text)
{
    QStringList clusters;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        if (end > start)
            clusters << text.mid(start, end - start);
        start = end;
    }
    return clusters;
}

} // namespace

bool hasName(const GoogleAccount &account)
{
    return account.name.has_value() && !account.name->isEmpty();
}

QString displayName(const GoogleAccount &account)
{
    return hasName(account) ? *account.name : account.email;
}

QString initials(const GoogleAccount &account)
{
    const QString source = displayName(account);
    QStringList firsts;
    bool inPiece = false;
    for (const QString &cluster : graphemes(source)) {
        if (isSeparator(cluster)) {
            inPiece = false;
            continue;
        }
        if (!inPiece) {
            inPiece = true;
            firsts << cluster;
            if (firsts.size() == 2)
                break;
        }
    }
    QString result;
    for (const QString &first : std::as_const(firsts))
        result += QLocale::c().toUpper(first);
    return result.isEmpty() ? QStringLiteral("G") : result;
}

void connectThroughBrowser(AppStore &store)
{
    // The coroutine holds the store, never the view that started it.
    auto connecting = [](QPointer<AppStore> target) -> QCoro::Task<void> {
        if (!target)
            co_return;
        co_await target->connectGoogleAndSync([](QUrl url) { return openInBrowser(std::move(url)); });
    };
    connecting(QPointer<AppStore>(&store)).then([] {});
}

} // namespace AccountIdentity

AccountAvatar::AccountAvatar(const QString &initials, QWidget *parent) : QWidget(parent), initials_(initials)
{
    setFixedSize(28, 28);
    setAccessibleName(initials);
}

void AccountAvatar::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QColor accent = kvPalette(this).accent();
    const QRectF circle = QRectF(rect());
    QLinearGradient gradient(circle.topLeft(), circle.bottomRight());
    gradient.setColorAt(0, withOpacity(accent, 0.35));
    gradient.setColorAt(1, withOpacity(accent, 0.14));
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawEllipse(circle);
    QFont font = KVFont::system(11, KVFont::Weight::semibold);
    painter.setFont(font);
    painter.setPen(accent);
    painter.drawText(circle, Qt::AlignCenter, QFontMetricsF(font).elidedText(initials_, Qt::ElideRight, circle.width()));
}

} // namespace kestrivane
