// Systems without a registry: every key is missing.
#include "device/registry.h"

namespace device {

namespace {

class EmptyRegistry final : public Registry {
public:
    bool OpenKeyEx(Key, const std::string&, Access, Key&) override { return false; }
    bool OpenKey(Key, const std::string&, Key&) override { return false; }
    QueryResult QueryValue(Key, const std::string&, char*, std::size_t) override { return {}; }
    void CloseKey(Key) override {}
};

}  // namespace

Registry& SystemRegistry()
{
    static EmptyRegistry registry;
    return registry;
}

}  // namespace device
