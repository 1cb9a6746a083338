#include "Support/FeedbackForm.h"

#include "Support/Browser.h"

#include <QUrl>

namespace kestrivane {

void openFeedbackForm()
{
    const QUrl address(QStringLiteral(KESTRIVANE_FEEDBACK_URL), QUrl::StrictMode);
    if (address.isValid())
        openInBrowser(address).then([](bool) {});
}

} // namespace kestrivane
