#include "Support/Error.h"

namespace kestrivane {

const char *Error::what() const noexcept
{
    if (what_.isEmpty())
        what_ = localizedDescription().toUtf8();
    return what_.constData();
}

} // namespace kestrivane
