#include "DesignSystem/KVLabel.h"
#include "Support/AppL10n.h"
#include "Support/UpdateDialog.h"
#include "TestSupport/TestEnvironment.h"

#include <QAbstractButton>
#include <QScopeGuard>

#include <gtest/gtest.h>

using namespace kestrivane;

// The dialog grows with its texts: in both languages every line of an available update is shown
// whole (the Japanese second line was cut in a fixed 360 × 100 window), and the buttons stay inside.
TEST(UpdateDialogTest, SizesItselfToItsTextsInBothLanguages)
{
    KV_REQUIRE(test::displayProblem());
    const auto restore = qScopeGuard([] { AppL10n::configure(std::nullopt); });
    for (const char *language : {"en", "ja"}) {
        SCOPED_TRACE(language);
        AppL10n::configure(QString::fromLatin1(language));
        UpdateDialog dialog;
        dialog.setAttribute(Qt::WA_DeleteOnClose, false);
        dialog.show();
        const QSize checking = dialog.size();
        dialog.showAvailable(AppcastItem{QStringLiteral("2.0"), QStringLiteral("2.0 (Long Autumn Release Name)"),
                                         QUrl(QStringLiteral("https://kestrivane.app/download"))});
        EXPECT_GT(dialog.height(), checking.height());
        EXPECT_TRUE(dialog.downloadButton()->isVisible());
        EXPECT_EQ(dialog.detail(), AppL10n::text(QStringLiteral("update_available_detail")));
        for (const KVLabel *label : dialog.findChildren<KVLabel *>()) {
            if (!label->isVisible())
                continue;
            const QString shown = label->visibleLines().join(QString());
            EXPECT_FALSE(shown.contains(u'…')) << shown.toStdString();
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
            EXPECT_TRUE(dialog.rect().contains(label->geometry()));
        }
        EXPECT_TRUE(dialog.rect().contains(dialog.downloadButton()->geometry()));
        EXPECT_LE(dialog.width(), 480);
        dialog.showUpToDate(QStringLiteral("2.0"));
        EXPECT_FALSE(dialog.downloadButton()->isVisible());
        EXPECT_TRUE(dialog.closeButton()->isVisible());
    }
}
