#pragma once
// Finding the COM port number of the meter at start-up.
//
// The USB-to-UART bridge's driver records the port it gave to the meter in the
// registry, in one of two layouts (Windows NT family: FindUsbPort; Windows 9x
// family, the bridge's own branch: FindBridgePort). Where neither exists the
// USB device tree under sysfs is searched (FindSysfsPort).

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "device/registry.h"

namespace device {

// The meter's USB identity.
inline constexpr std::uint16_t kMeterVendorId = 0x10C4;
inline constexpr std::uint16_t kMeterProductId = 0xEA6E;
inline constexpr const char* kMeterDeviceName = "Sovikan_TR07";

// A port name from the registry whose number part is not a decimal number.
// The message reads like "'000ab' is not a valid integer value".
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// COM number from the value "PortName" of the NT-family key
// SYSTEM\CurrentControlSet\Enum\USB\Vid_XXXX&Pid_XXXX&Mi_00\<name>_00\Device Parameters;
// -1 when a key or the value is missing or not readable.
// Throws ConversionError for a port name like "COMab".
int FindUsbPort(Registry& registry, std::uint16_t vendorId, std::uint16_t productId, const std::string& deviceName);

// COM number from the bridge driver's keys Enum\SLABCR\guid\0000, 0001, ...:
// the value "Portname" of the last key whose "CRLowerDeviceID" names the device;
// -1 when none does. Throws ConversionError like FindUsbPort.
int FindBridgePort(Registry& registry, std::uint16_t vendorId, std::uint16_t productId, const std::string& deviceName);

// The sysfs root searched by default: $SOVIKAN_SYSFS_ROOT, else "/sys".
std::filesystem::path DefaultSysfsRoot();

// The device node of the tty of the first USB device (in name order) under
// <root>/bus/usb/devices with the given ids and product string; empty when none.
// The tty is <dev>:<interface>/ttyXXX or <dev>:<interface>/tty/ttyXXX; the node is
// /dev/ + DEVNAME from that entry's uevent file when it has one, else /dev/ + its name.
std::string FindSysfsTty(const std::filesystem::path& sysfsRoot, std::uint16_t vendorId, std::uint16_t productId,
                         const std::string& product);

// The COM number of that tty (serial::ComNumberForDevice: a comN link in the
// ports folder first, else the fixed table); -1 when not found.
int FindSysfsPort(const std::filesystem::path& sysfsRoot, std::uint16_t vendorId, std::uint16_t productId,
                  const std::string& product);

// Start-up discovery of the meter: FindUsbPort, only if that is negative
// FindBridgePort, and when still negative FindSysfsPort. The COM number or -1.
// Throws ConversionError (see FindUsbPort).
int DiscoverMeterPort();
int DiscoverMeterPort(Registry& registry, const std::filesystem::path& sysfsRoot);

}  // namespace device
