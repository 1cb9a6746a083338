#include "Support/Error.h"

#include "Support/Localization.h"

namespace kestrivane {

const char *Error::what() const noexcept
{
    if (what_.isEmpty())
        what_ = localizedDescription().toUtf8();
    return what_.constData();
}

CancellationError::CancellationError() : Error(L10n::text(QStringLiteral("error_cancelled"))) {}

} // namespace kestrivane
