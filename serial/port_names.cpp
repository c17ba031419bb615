#include "serial/port_names.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string_view>
#include <system_error>

#include "serial/os.h"

namespace serial {
namespace {

namespace fs = std::filesystem;

// "COMn" with n >= 1 and no leading zeros beyond the digits; nullopt otherwise.
std::optional<int> ParseComName(std::string_view name)
{
    if (name.size() < 4)
        return std::nullopt;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i])
            return std::nullopt;
    }
    long long n = 0;
    for (char c : name.substr(3)) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        n = n * 10 + (c - '0');
        if (n > 1000000)
            return std::nullopt;
    }
    if (n < 1)
        return std::nullopt;
    return static_cast<int>(n);
}

struct TableRow {
    const char* prefix;
    int firstCom;
};
constexpr TableRow kTable[] = {{"/dev/ttyS", 1}, {"/dev/ttyUSB", 33}, {"/dev/ttyACM", 65}};
constexpr int kRowSize = 32;

std::string Canonical(const std::string& path)
{
    std::error_code ec;
    fs::path p = fs::canonical(path, ec);
    return ec ? path : p.string();
}

}  // namespace

std::string PortsFolder()
{
    if (const char* dir = std::getenv("SOVIKAN_PORTS_DIR"); dir && *dir)
        return dir;
    if (const char* run = std::getenv("XDG_RUNTIME_DIR"); run && *run) {
        return (fs::path(run) / "sovikan" / "ports").string();
    }
    return "/tmp/sovikan-" + std::to_string(CurrentUserId()) + "/ports";
}

std::string ResolveDevicePath(const std::string& name)
{
    return ResolveDevicePath(name, PortsFolder());
}

std::string ResolveDevicePath(const std::string& name, const std::string& portsFolder)
{
    if (name.find('/') != std::string::npos)
        return name;
    const std::optional<int> com = ParseComName(name);
    if (!com)
        return name;
    const fs::path link = fs::path(portsFolder) / ("com" + std::to_string(*com));
    std::error_code ec;
    if (fs::exists(fs::symlink_status(link, ec)))
        return link.string();
    for (const TableRow& row : kTable) {
        if (*com >= row.firstCom && *com < row.firstCom + kRowSize) {
            return row.prefix + std::to_string(*com - row.firstCom);
        }
    }
    return name;
}

int ComNumberForDevice(const std::string& devicePath)
{
    return ComNumberForDevice(devicePath, PortsFolder());
}

int ComNumberForDevice(const std::string& devicePath, const std::string& portsFolder)
{
    const std::string target = Canonical(devicePath);
    std::error_code ec;
    for (fs::directory_iterator it(portsFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::optional<int> com = ParseComName(it->path().filename().string());
        if (com && it->path().filename().string().compare(0, 3, "com") == 0 &&
            Canonical(it->path().string()) == target) {
            return *com;
        }
    }
    for (const TableRow& row : kTable) {
        const std::string_view prefix(row.prefix);
        if (devicePath.size() > prefix.size() && devicePath.compare(0, prefix.size(), prefix) == 0) {
            const std::string_view rest = std::string_view(devicePath).substr(prefix.size());
            int n = 0;
            bool digits = rest.size() <= 2;
            for (char c : rest) {
                if (!std::isdigit(static_cast<unsigned char>(c)))
                    digits = false;
                else
                    n = n * 10 + (c - '0');
            }
            if (digits && n < kRowSize)
                return row.firstCom + n;
        }
    }
    return -1;
}

std::string Win32DevicePath(const std::string& name)
{
    return ParseComName(name) ? "\\\\.\\" + name : name;
}

}  // namespace serial
