#include "Support/InstalledApplication.h"
#include "TestSupport/SecretTool.h"

#include <QFileInfo>
#include <QIcon>
#include <QImage>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// `cmake --install` of this build into a fresh prefix, looked at as a desktop would.

using namespace kestrivane;
using namespace kestrivane::test;

namespace {

// The entry's keys, as written (no locale or escape handling: none is used by the checked keys).
QMap<QString, QString> desktopEntry(const QString &path)
{
    QFile file(path);
    QMap<QString, QString> keys;
    if (!file.open(QIODevice::ReadOnly))
        return keys;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            keys.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return keys;
}

TEST(InstallTest, PutsTheProgramADesktopEntryAndTheThemeIconUnderThePrefix)
{
    QTemporaryDir prefix;
    ASSERT_TRUE(prefix.isValid());
    // A prefix other than the configured one, with a space in it.
    const QString root = prefix.filePath(QStringLiteral("usr local"));
    const SecretToolResult install = runProgram(QStringLiteral(KESTRIVANE_CMAKE_COMMAND),
        {"--install", QStringLiteral(KESTRIVANE_BUILD_DIR), "--prefix", root});
    ASSERT_EQ(install.exitCode, 0) << install.output.toStdString() << install.errors.toStdString();

    const QFileInfo program(root + QStringLiteral("/bin/kestrivane"));
    EXPECT_TRUE(program.isFile() && program.isExecutable());

    // The entry is named by the application identifier, passes the validator, starts the
    // installed program and names the installed icon.
    const QString entry = root + QStringLiteral("/share/applications/") + InstalledApplication::desktopEntryName();
    ASSERT_TRUE(QFileInfo::exists(entry)) << entry.toStdString();
    const SecretToolResult validation = runProgram(QStringLiteral("desktop-file-validate"), {entry});
    EXPECT_EQ(validation.exitCode, 0) << validation.output.toStdString() << validation.errors.toStdString();
    EXPECT_EQ(validation.output + validation.errors, QByteArray()) << "hints or warnings";
    const QMap<QString, QString> keys = desktopEntry(entry);
    EXPECT_EQ(keys.value("Type"), "Application");
    EXPECT_EQ(keys.value("Exec"), u'"' + program.absoluteFilePath() + u'"');
    EXPECT_EQ(keys.value("Icon"), InstalledApplication::iconName());
    EXPECT_EQ(keys.value("Name"), AppBuildChannel::current().isRelease() ? "Kestrivane" : "Kestrivane Dev");

    // The icon at the theme's usual sizes, found by name in the hicolor theme.
    for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral("%1/share/icons/hicolor/%2x%2/apps/%3.png").arg(root).arg(side).arg(InstalledApplication::iconName());
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << path.toStdString();
        EXPECT_EQ(image.size(), QSize(side, side));
        EXPECT_GT(qAlpha(image.pixel(side / 2, side / 2)), 0) << "an empty picture at " << side;
    }
    const QStringList searchPaths = QIcon::themeSearchPaths();
    const QString theme = QIcon::themeName();
    // The theme's description comes with the system (hicolor-icon-theme); the icon from the prefix.
    QIcon::setThemeSearchPaths({root + QStringLiteral("/share/icons"), QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(QStringLiteral("hicolor"));
    const QIcon icon = QIcon::fromTheme(InstalledApplication::iconName());
    EXPECT_FALSE(icon.isNull());
    EXPECT_TRUE(icon.availableSizes().contains(QSize(48, 48)));
    QIcon::setThemeSearchPaths(searchPaths);
    QIcon::setThemeName(theme);
}

} // namespace
