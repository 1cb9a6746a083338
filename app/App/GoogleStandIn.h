#pragma once

#include "Services/GoogleEndpoints.h"

#include <QHash>
#include <QString>

#include <optional>

namespace kestrivane {

// Testing aid: KESTRIVANE_GOOGLE_STAND_IN=http://127.0.0.1:PORT points the OAuth, token and API
// hosts at one base address (a stand-in of the test suite). Read once at start. None when the
// variable is unset or not an http(s) address with a host.
std::optional<GoogleEndpoints> googleStandInEndpoints(const QHash<QString, QString> &environment);

} // namespace kestrivane
