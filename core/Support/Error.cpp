#include "Support/Error.h"

#include "Support/Localization.h"

#include <cstdio>

namespace kestrivane {

const char *Error::what() const noexcept
{
    if (what_.isEmpty())
        what_ = localizedDescription().toUtf8();
    return what_.constData();
}

CancellationError::CancellationError() : Error(L10n::text(QStringLiteral("error_cancelled"))) {}

void reportToStandardError(const QString &text)
{
    std::fprintf(stderr, "kestrivane: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace kestrivane
