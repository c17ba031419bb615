// The start-up's lookup in the real Windows registry (advapi32). tools/test-windows
// writes the bridge driver's keys with `wine reg add` and names the ports it expects
// in $SOVIKAN_EXPECT_USB_PORT and $SOVIKAN_EXPECT_BRIDGE_PORT; without them the test
// is skipped.
#include <gtest/gtest.h>

#include <cstdlib>

#include "device/port_discovery.h"

namespace {

TEST(SystemRegistry, FindsTheMeterWhereTheBridgeDriverRecordsIt)
{
    const char* usb = std::getenv("SOVIKAN_EXPECT_USB_PORT");
    const char* bridge = std::getenv("SOVIKAN_EXPECT_BRIDGE_PORT");
    if (!usb || !bridge)
        GTEST_SKIP() << "no registry keys written for the test ($SOVIKAN_EXPECT_USB_PORT)";
    device::Registry& registry = device::SystemRegistry();
    using device::kMeterDeviceName, device::kMeterProductId, device::kMeterVendorId;
    EXPECT_EQ(device::FindUsbPort(registry, kMeterVendorId, kMeterProductId, kMeterDeviceName), std::atoi(usb));
    EXPECT_EQ(device::FindBridgePort(registry, kMeterVendorId, kMeterProductId, kMeterDeviceName), std::atoi(bridge));
    EXPECT_EQ(device::DiscoverMeterPort(registry, "Z:\\no-sysfs-here"), std::atoi(usb));
}

}  // namespace
