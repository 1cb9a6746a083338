#pragma once

#include <QHashFunctions>

namespace kestrivane {

// The five sections of the settings window, in the order of its sidebar.
enum class SettingsSection { accounts, calendars, notifications, shortcuts, about };

inline size_t qHash(SettingsSection section, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(section), seed);
}

} // namespace kestrivane
