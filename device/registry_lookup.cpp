#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <optional>
#include <vector>

#include "device/port_discovery.h"

namespace device {

namespace {

constexpr std::size_t kValueBufferSize = 100;
// The bridge branch numbers its keys with four decimal digits.
constexpr int kLastBridgeKey = 9999;

// A key that is closed again when it goes out of scope, on every path.
class OpenedKey {
public:
    explicit OpenedKey(Registry& registry) : registry_(registry) {}
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    ~OpenedKey()
    {
        if (open_)
            registry_.CloseKey(key_);
    }

    bool OpenEx(Registry::Key parent, const std::string& subKey, Registry::Access access)
    {
        open_ = registry_.OpenKeyEx(parent, subKey, access, key_);
        return open_;
    }
    bool Open(Registry::Key parent, const std::string& subKey)
    {
        open_ = registry_.OpenKey(parent, subKey, key_);
        return open_;
    }
    Registry::Key key() const { return key_; }

private:
    Registry& registry_;
    Registry::Key key_ = 0;
    bool open_ = false;
};

// The text of a string value: the bytes the registry copied, up to the first NUL
// (a stored string may or may not carry its terminator).
std::string TextOf(const char* data, std::size_t size)
{
    std::string text(data, size);
    if (auto nul = text.find('\0'); nul != std::string::npos)
        text.resize(nul);
    return text;
}

std::optional<std::string> ReadValue(Registry& registry, Registry::Key key, const std::string& name,
                                     std::size_t bufferSize)
{
    std::vector<char> buffer(bufferSize);
    auto res = registry.QueryValue(key, name, buffer.data(), buffer.size());
    if (res.status != Registry::QueryStatus::Ok)
        return std::nullopt;
    return TextOf(buffer.data(), std::min(res.size, buffer.size()));
}

// "COM7" -> "0007" -> 7: the first three characters become '0' and the whole
// text must then be a decimal number.
int PortNumberOf(std::string text)
{
    for (std::size_t i = 0; i < text.size() && i < 3; ++i)
        text[i] = '0';
    int number = 0;
    const char* first = text.data();
    const char* last = first + text.size();
    auto res = std::from_chars(first, last, number);
    bool digitsOnly = !text.empty();
    for (unsigned char c : text)
        digitsOnly = digitsOnly && std::isdigit(c);
    if (!digitsOnly || res.ec != std::errc() || res.ptr != last)
        throw ConversionError("'" + text + "' is not a valid integer value");
    return number;
}

std::string HexId(const char* format, std::uint16_t id)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, format, static_cast<unsigned>(id));
    return buf;
}

}  // namespace

int FindUsbPort(Registry& registry, std::uint16_t vendorId, std::uint16_t productId, const std::string& deviceName)
{
    OpenedKey control(registry);
    // Read access only: full rights are granted to an elevated administrator alone, so
    // asking for them would hide the meter from every other user.
    if (!control.OpenEx(Registry::kLocalMachine, "SYSTEM\\CurrentControlSet\\", Registry::Access::Read))
        return -1;
    OpenedKey usb(registry);
    if (!usb.Open(control.key(), "Enum\\USB\\"))
        return -1;
    const std::string deviceKey = "Vid_" + HexId("%4X", vendorId) + "&Pid_" + HexId("%4X", productId) + "&Mi_00\\" +
                                  deviceName + "_00\\Device Parameters\\";
    OpenedKey parameters(registry);
    if (!parameters.Open(usb.key(), deviceKey))
        return -1;
    auto portName = ReadValue(registry, parameters.key(), "PortName", kValueBufferSize);
    if (!portName)
        return -1;
    return PortNumberOf(*portName);
}

int FindBridgePort(Registry& registry, std::uint16_t vendorId, std::uint16_t productId, const std::string& deviceName)
{
    std::string name = deviceName;
    for (char& c : name) {
        if (c == ' ')
            c = '_';
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    const std::string expected =
        "USB\\VID_" + HexId("%04X", vendorId) + "&PID_" + HexId("%04X", productId) + "&MI_00\\" + name + "_00";

    int result = -1;
    for (int k = 0; k <= kLastBridgeKey; ++k) {
        char keyName[32];
        std::snprintf(keyName, sizeof keyName, "Enum\\SLABCR\\guid\\%.4d", k);
        OpenedKey key(registry);
        if (!key.Open(Registry::kLocalMachine, keyName))
            break;

        std::vector<char> buffer(kValueBufferSize);
        auto res = registry.QueryValue(key.key(), "CRLowerDeviceID", buffer.data(), buffer.size());
        if (res.status == Registry::QueryStatus::DoesNotFit && res.size > 0) {
            buffer.assign(res.size, '\0');
            res = registry.QueryValue(key.key(), "CRLowerDeviceID", buffer.data(), buffer.size());
        }
        if (res.status != Registry::QueryStatus::Ok)
            continue;
        if (TextOf(buffer.data(), std::min(res.size, buffer.size())) != expected)
            continue;
        if (auto portName = ReadValue(registry, key.key(), "Portname", kValueBufferSize))
            result = PortNumberOf(*portName);
    }
    return result;
}

}  // namespace device
