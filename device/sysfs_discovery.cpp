#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <system_error>
#include <vector>

#include "device/port_discovery.h"
#include "serial/port_names.h"

namespace device {

namespace {

namespace fs = std::filesystem;

// Attribute files hold one short line; anything longer is not what we look for.
constexpr std::size_t kMaxAttributeSize = 4096;

std::optional<std::string> ReadAttribute(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text(kMaxAttributeSize, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (auto end = text.find('\n'); end != std::string::npos)
        text.resize(end);
    if (!text.empty() && text.back() == '\r')
        text.pop_back();
    return text;
}

bool IsHexId(const std::optional<std::string>& text, std::uint16_t id)
{
    if (!text || text->empty())
        return false;
    unsigned value = 0;
    const char* last = text->data() + text->size();
    auto res = std::from_chars(text->data(), last, value, 16);
    return res.ec == std::errc() && res.ptr == last && value == id;
}

// Entries of a folder in name order; none when it cannot be read.
std::vector<fs::path> SortedEntries(const fs::path& folder)
{
    std::vector<fs::path> entries;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        entries.push_back(it->path());
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool IsDirectory(const fs::path& path)
{
    std::error_code ec;
    return fs::is_directory(path, ec);
}

// The device node of a tty entry. The kernel names the node in the entry's
// uevent (DEVNAME=ttyACM0, or pts/3 for a pseudo-terminal); a DEVNAME that
// would leave /dev is ignored.
std::string NodeOf(const fs::path& ttyEntry)
{
    std::ifstream in(ttyEntry / "uevent");
    std::string line;
    while (in && std::getline(in, line)) {
        if (line.rfind("DEVNAME=", 0) != 0)
            continue;
        const fs::path name = line.substr(8);
        const bool inside = !name.empty() && name.is_relative() &&
                            std::none_of(name.begin(), name.end(), [](const fs::path& part) { return part == ".."; });
        if (inside)
            return (fs::path("/dev") / name).string();
        break;
    }
    return "/dev/" + ttyEntry.filename().string();
}

// The tty of a USB device: <dev>:<cfg>.<if>/ttyUSB0 (usb-serial drivers) or
// <dev>:<cfg>.<if>/tty/ttyACM0 (class drivers).
std::string TtyOf(const fs::path& deviceDir)
{
    const std::string interfacePrefix = deviceDir.filename().string() + ":";
    for (const fs::path& interface : SortedEntries(deviceDir)) {
        if (interface.filename().string().rfind(interfacePrefix, 0) != 0 || !IsDirectory(interface))
            continue;
        for (const fs::path& entry : SortedEntries(interface)) {
            const std::string name = entry.filename().string();
            if (name == "tty" && IsDirectory(entry)) {
                for (const fs::path& tty : SortedEntries(entry)) {
                    if (IsDirectory(tty))
                        return NodeOf(tty);
                }
            } else if (name.rfind("tty", 0) == 0 && IsDirectory(entry)) {
                return NodeOf(entry);
            }
        }
    }
    return {};
}

}  // namespace

fs::path DefaultSysfsRoot()
{
    if (const char* root = std::getenv("SOVIKAN_SYSFS_ROOT"); root && *root)
        return root;
    return "/sys";
}

std::string FindSysfsTty(const fs::path& sysfsRoot, std::uint16_t vendorId, std::uint16_t productId,
                         const std::string& product)
{
    for (const fs::path& device : SortedEntries(sysfsRoot / "bus" / "usb" / "devices")) {
        // The folder lists interfaces (1-2:1.0) beside devices (1-2).
        if (device.filename().string().find(':') != std::string::npos)
            continue;
        if (!IsHexId(ReadAttribute(device / "idVendor"), vendorId) ||
            !IsHexId(ReadAttribute(device / "idProduct"), productId) || ReadAttribute(device / "product") != product)
            continue;
        if (std::string tty = TtyOf(device); !tty.empty())
            return tty;
    }
    return {};
}

int FindSysfsPort(const fs::path& sysfsRoot, std::uint16_t vendorId, std::uint16_t productId,
                  const std::string& product)
{
    const std::string tty = FindSysfsTty(sysfsRoot, vendorId, productId, product);
    return tty.empty() ? -1 : serial::ComNumberForDevice(tty);
}

int DiscoverMeterPort(Registry& registry, const fs::path& sysfsRoot)
{
    int port = FindUsbPort(registry, kMeterVendorId, kMeterProductId, kMeterDeviceName);
    if (port < 0)
        port = FindBridgePort(registry, kMeterVendorId, kMeterProductId, kMeterDeviceName);
    if (port < 0)
        port = FindSysfsPort(sysfsRoot, kMeterVendorId, kMeterProductId, kMeterDeviceName);
    return port;
}

int DiscoverMeterPort()
{
    return DiscoverMeterPort(SystemRegistry(), DefaultSysfsRoot());
}

}  // namespace device
