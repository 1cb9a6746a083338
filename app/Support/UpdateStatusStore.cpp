#include "Support/UpdateStatusStore.h"

namespace kestrivane {

void UpdateStatusStore::setAvailableVersion(std::optional<QString> version)
{
    availableVersion_ = std::move(version);
    emit changed();
}

} // namespace kestrivane
