#pragma once

#include "TestSupport/PortalStandIn.h"

namespace kestrivane::test {

// The desktop portal's settings on a test bus, for the light or dark scheme (the portal stand-in
// fixed at 1 dark or 2 light).
class FakeDesktopPortal : public PortalStandIn {
public:
    FakeDesktopPortal(QDBusConnection bus, bool dark) : PortalStandIn(std::move(bus), dark ? 1 : 2) {}
};

} // namespace kestrivane::test
