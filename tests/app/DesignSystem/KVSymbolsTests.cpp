#include "DesignSystem/KVSymbols.h"
#include "Support/BundleInfo.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QPainter>
#include <QRegularExpression>
#include <QSet>
#include <QSvgRenderer>

#include <gtest/gtest.h>

using namespace kestrivane;

namespace {

// The symbol names the application's sources draw: string literals of the symbol grammar
// ("bell.fill", "clock") in statements that hand a symbol on (a symbol widget, a button's symbol,
// a component's systemImage, or a variable named for a symbol or an image), less the text keys
// looked up in the same statements.
QSet<QString> symbolNamesInSources()
{
    static const QRegularExpression literal(QStringLiteral(R"re("([a-z]+(?:\.[a-z]+)*)")re"));
    static const QRegularExpression marker(
        QStringLiteral(R"(KVSymbol|[sS]ymbol|systemImage|KVStatusPill|KVEmptyState|KVFooterIconButton|KVChromeIconButton)"));
    QSet<QString> names;
    QDirIterator files(QStringLiteral(KESTRIVANE_SOURCE_DIR "/app"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (!file.open(QIODevice::ReadOnly))
            continue;
        static const QRegularExpression comments(QStringLiteral(R"(//[^\n]*|/\*.*?\*/)"),
                                                 QRegularExpression::DotMatchesEverythingOption);
        const QString source = QString::fromUtf8(file.readAll()).remove(comments);
        // Text keys handed to the lookups are no symbol names.
        static const QRegularExpression lookups(QStringLiteral(R"((?:text|format)\s*\(\s*(?:QStringLiteral\s*\(\s*)?"[^"]*")"));
        for (QString statement : source.split(u';')) {
            if (!statement.contains(marker))
                continue;
            statement.remove(lookups);
            for (auto match = literal.globalMatch(statement); match.hasNext();)
                names.insert(match.next().captured(1));
        }
    }
    return names;
}

} // namespace

TEST(KVSymbolsTest, EveryNameTheApplicationDrawsHasItsIcon)
{
    const QSet<QString> names = symbolNamesInSources();
    // The scan itself works: the names of the shared components are among them.
    EXPECT_TRUE(names.contains(QStringLiteral("exclamationmark.triangle.fill")));
    EXPECT_TRUE(names.contains(QStringLiteral("bell.fill")));
    for (const QString &name : names)
        EXPECT_TRUE(KVSymbols::exists(name)) << "no resources/icons/" << name.toStdString() << ".svg";
}

TEST(KVSymbolsTest, EveryIconIsDrawnOnTheGridInOneWeightAndTakesItsColour)
{
    const QStringList files = QDir(BundleInfo::resourceRoot + QStringLiteral("/icons")).entryList({QStringLiteral("*.svg")});
    ASSERT_GE(files.size(), 23);
    static const QRegularExpression fixedStroke(QStringLiteral(R"(stroke-width="[0-9.]+")"));
    for (QString name : files) {
        name.chop(4);
        SCOPED_TRACE(name.toStdString());
        QFile file(BundleInfo::resourceRoot + QStringLiteral("/icons/") + name + QStringLiteral(".svg"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray source = file.readAll();
        EXPECT_TRUE(source.contains("viewBox=\"0 0 24 24\""));
        // Every stroke takes the weight's line width; nothing has a width of its own.
        EXPECT_FALSE(QString::fromUtf8(source).contains(fixedStroke));
        EXPECT_EQ(source.contains("stroke="), source.contains("stroke-width=\"var\""));

        const QColor ink(200, 40, 90);
        for (const qreal scale : {1.0, 2.0}) {
            const QImage regular = KVSymbols::image(name, 14, ink, KVFont::Weight::regular, scale);
            ASSERT_EQ(regular.size(), QSize(qRound(14 * scale), qRound(14 * scale)));
            int covered = 0;
            int solid = 0;
            for (int y = 0; y < regular.height(); ++y) {
                for (int x = 0; x < regular.width(); ++x) {
                    const QColor pixel = regular.pixelColor(x, y);
                    if (pixel.alpha() == 0)
                        continue;
                    ++covered;
                    solid += pixel.alpha() >= 200;
                    if (pixel.alpha() > 128) {
                        EXPECT_LE(std::abs(pixel.red() - ink.red()) + std::abs(pixel.green() - ink.green())
                                      + std::abs(pixel.blue() - ink.blue()), 6);
                    }
                }
            }
            // Drawn, and at 2x crisp: some pixels (nearly) fully covered, not a blur.
            EXPECT_GT(covered, 8);
            if (scale == 2) {
                EXPECT_GT(solid, 2);
            }
        }
        // A heavier weight covers more of a stroked icon.
        if (source.contains("stroke-width=\"var\"")) {
            const auto coverage = [&](KVFont::Weight weight) {
                const QImage picture = KVSymbols::image(name, 24, ink, weight, 2);
                qint64 sum = 0;
                for (int y = 0; y < picture.height(); ++y)
                    for (int x = 0; x < picture.width(); ++x)
                        sum += picture.pixelColor(x, y).alpha();
                return sum;
            };
            EXPECT_GT(coverage(KVFont::Weight::bold), coverage(KVFont::Weight::regular));
        }
    }
    // Unknown and empty names draw nothing and do not fail.
    EXPECT_TRUE(KVSymbols::image(QStringLiteral("no.such.symbol"), 14, Qt::black).isNull());
    EXPECT_TRUE(KVSymbols::image(QString(), 14, Qt::black).isNull());
    EXPECT_TRUE(KVSymbols::image(QStringLiteral("../bell.fill"), 14, Qt::black).isNull());
    EXPECT_FALSE(KVSymbols::exists(QString()));
}

TEST(KVSymbolsTest, SmallSymbolsReachTheirFullColourAt1xAnd2x)
{
    // Drawn where a widget puts them (off the pixel grid too), on the window colour, as text is.
    const QStringList files = QDir(BundleInfo::resourceRoot + QStringLiteral("/icons")).entryList({QStringLiteral("*.svg")});
    const std::pair<QColor, QColor> schemes[] = {{QColor(247, 246, 250), QColor(62, 61, 76)},
                                                 {QColor(62, 61, 76), QColor(247, 246, 250)}};
    for (QString name : files) {
        name.chop(4);
        for (const qreal size : {10.0, 12.0, 13.0, 14.0})
            for (const qreal scale : {1.0, 2.0})
                for (const KVFont::Weight weight : {KVFont::Weight::regular, KVFont::Weight::medium,
                                                    KVFont::Weight::semibold, KVFont::Weight::bold})
                    for (const auto &[paper, ink] : schemes) {
                        SCOPED_TRACE(QStringLiteral("%1 at %2, %3x, weight %4, ink %5")
                                         .arg(name).arg(size).arg(scale).arg(int(weight)).arg(ink.name())
                                         .toStdString());
                        QImage picture(qCeil(24 * scale), qCeil(24 * scale), QImage::Format_ARGB32_Premultiplied);
                        picture.setDevicePixelRatio(scale);
                        picture.fill(paper);
                        {
                            QPainter painter(&picture);
                            KVSymbols::paint(painter, QRectF(3.3, 2.6, size, size), name, ink, weight);
                        }
                        // The pixel nearest the ink, as a share of the way from paper to ink.
                        qreal reach = 0;
                        for (int y = 0; y < picture.height(); ++y)
                            for (int x = 0; x < picture.width(); ++x) {
                                const QColor pixel = picture.pixelColor(x, y);
                                reach = std::max(reach, qreal(pixel.red() - paper.red()) / (ink.red() - paper.red()));
                            }
                        EXPECT_GE(reach, 0.94);
                    }
    }
}
