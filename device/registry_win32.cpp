// The Windows registry through advapi32 (ANSI variants).
#include <windows.h>

#include <limits>

#include "device/registry.h"

namespace device {

namespace {

class Win32Registry final : public Registry {
public:
    bool OpenKeyEx(Key parent, const std::string& subKey, Access access, Key& opened) override
    {
        HKEY key = nullptr;
        const REGSAM rights = access == Access::Full ? KEY_ALL_ACCESS : KEY_READ;
        if (::RegOpenKeyExA(Native(parent), subKey.c_str(), 0, rights, &key) != ERROR_SUCCESS)
            return false;
        opened = reinterpret_cast<Key>(key);
        return true;
    }

    bool OpenKey(Key parent, const std::string& subKey, Key& opened) override
    {
        HKEY key = nullptr;
        if (::RegOpenKeyA(Native(parent), subKey.c_str(), &key) != ERROR_SUCCESS)
            return false;
        opened = reinterpret_cast<Key>(key);
        return true;
    }

    QueryResult QueryValue(Key key, const std::string& valueName, char* buffer, std::size_t size) override
    {
        DWORD bytes =
            size > std::numeric_limits<DWORD>::max() ? std::numeric_limits<DWORD>::max() : static_cast<DWORD>(size);
        const LONG rc = ::RegQueryValueExA(Native(key), valueName.c_str(), nullptr, nullptr,
                                           reinterpret_cast<LPBYTE>(buffer), &bytes);
        if (rc == ERROR_SUCCESS)
            return {QueryStatus::Ok, bytes};
        if (rc == ERROR_MORE_DATA)
            return {QueryStatus::DoesNotFit, bytes};
        return {QueryStatus::Failed, 0};
    }

    void CloseKey(Key key) override { ::RegCloseKey(Native(key)); }

private:
    static HKEY Native(Key key) { return key == kLocalMachine ? HKEY_LOCAL_MACHINE : reinterpret_cast<HKEY>(key); }
};

}  // namespace

Registry& SystemRegistry()
{
    static Win32Registry registry;
    return registry;
}

}  // namespace device
