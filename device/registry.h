#pragma once
// The small part of the system registry that port discovery reads, behind an
// interface of ours so that the lookups can run against a fake in tests.
//
// The operations mirror the advapi32 calls they stand for (RegOpenKeyExA,
// RegOpenKeyA, RegQueryValueExA, RegCloseKey); every key handed out by an
// open must be given back to CloseKey exactly once.

#include <cstddef>
#include <cstdint>
#include <string>

namespace device {

class Registry {
public:
    // An open key. Handles are opaque; only the predefined root is a constant.
    using Key = std::uintptr_t;
    static constexpr Key kLocalMachine = 1;  // HKEY_LOCAL_MACHINE

    enum class Access { Read, Full };

    enum class QueryStatus {
        Ok,          // the value was copied; size says how many bytes
        DoesNotFit,  // the buffer is too small; size says how large it must be
        Failed,      // missing value or any other error
    };
    struct QueryResult {
        QueryStatus status = QueryStatus::Failed;
        std::size_t size = 0;
    };

    virtual ~Registry() = default;

    // RegOpenKeyExA: opens subKey of parent with the given access rights.
    virtual bool OpenKeyEx(Key parent, const std::string& subKey, Access access, Key& opened) = 0;
    // RegOpenKeyA: opens subKey of parent with the default rights.
    virtual bool OpenKey(Key parent, const std::string& subKey, Key& opened) = 0;
    // RegQueryValueExA into buffer[0 .. size).
    virtual QueryResult QueryValue(Key key, const std::string& valueName, char* buffer, std::size_t size) = 0;
    // RegCloseKey.
    virtual void CloseKey(Key key) = 0;
};

// The registry of the running system: the Windows registry on Windows, an
// empty one (every open fails) elsewhere.
Registry& SystemRegistry();

}  // namespace device
