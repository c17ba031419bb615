#pragma once
// An in-memory registry for the discovery tests. It records which keys were
// opened and fails the test on a close of a key that is not open; OpenKeys()
// tells whether every key was closed again.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "device/registry.h"

namespace device::testing {

class FakeRegistry final : public Registry {
public:
    // Creates the key (and its parents); path is relative to HKEY_LOCAL_MACHINE.
    void AddKey(const std::string& path);
    // Stores the value's bytes as given (include a terminating '\0' if wanted).
    void SetValue(const std::string& path, const std::string& name, const std::string& bytes);
    // Simulates an account without administrator rights.
    void DenyFullAccess() { denyFullAccess_ = true; }

    std::size_t OpenKeys() const { return open_.size(); }
    const std::vector<std::string>& OpenedPaths() const { return openedPaths_; }
    // The access rights asked for by each OpenKeyEx, in call order.
    const std::vector<Access>& AccessAsked() const { return accessAsked_; }
    // Sizes passed to QueryValue for the named value, in call order.
    std::vector<std::size_t> QuerySizes(const std::string& name) const;

    bool OpenKeyEx(Key parent, const std::string& subKey, Access access, Key& opened) override;
    bool OpenKey(Key parent, const std::string& subKey, Key& opened) override;
    QueryResult QueryValue(Key key, const std::string& valueName, char* buffer, std::size_t size) override;
    void CloseKey(Key key) override;

private:
    bool Open(Key parent, const std::string& subKey, bool full, Key& opened);
    static std::string Normal(const std::string& path);

    std::set<std::string> keys_;
    std::map<std::string, std::map<std::string, std::string>> values_;
    std::map<Key, std::string> open_;
    std::vector<std::string> openedPaths_;
    std::vector<Access> accessAsked_;
    std::vector<std::pair<std::string, std::size_t>> queries_;
    Key next_ = 100;
    bool denyFullAccess_ = false;
};

}  // namespace device::testing
