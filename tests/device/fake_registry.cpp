#include "fake_registry.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace device::testing {

// Registry names are case-insensitive; stray backslashes at either end do not count.
std::string FakeRegistry::Normal(const std::string& path)
{
    std::string p = path;
    while (!p.empty() && p.back() == '\\')
        p.pop_back();
    while (!p.empty() && p.front() == '\\')
        p.erase(p.begin());
    std::transform(p.begin(), p.end(), p.begin(), [](unsigned char c) { return std::tolower(c); });
    return p;
}

void FakeRegistry::AddKey(const std::string& path)
{
    std::string p = Normal(path);
    while (!p.empty()) {
        keys_.insert(p);
        auto cut = p.rfind('\\');
        p = cut == std::string::npos ? std::string() : p.substr(0, cut);
    }
}

void FakeRegistry::SetValue(const std::string& path, const std::string& name, const std::string& bytes)
{
    AddKey(path);
    values_[Normal(path)][Normal(name)] = bytes;
}

std::vector<std::size_t> FakeRegistry::QuerySizes(const std::string& name) const
{
    std::vector<std::size_t> sizes;
    for (const auto& [value, size] : queries_)
        if (value == Normal(name))
            sizes.push_back(size);
    return sizes;
}

bool FakeRegistry::Open(Key parent, const std::string& subKey, bool full, Key& opened)
{
    std::string base;
    if (parent != kLocalMachine) {
        auto it = open_.find(parent);
        if (it == open_.end()) {
            ADD_FAILURE() << "open below a key that is not open";
            return false;
        }
        base = it->second + "\\";
    }
    const std::string path = Normal(base + Normal(subKey));
    if (!keys_.count(path) || (full && denyFullAccess_))
        return false;
    opened = next_++;
    open_[opened] = path;
    openedPaths_.push_back(path);
    return true;
}

bool FakeRegistry::OpenKeyEx(Key parent, const std::string& subKey, Access access, Key& opened)
{
    accessAsked_.push_back(access);
    return Open(parent, subKey, access == Access::Full, opened);
}

bool FakeRegistry::OpenKey(Key parent, const std::string& subKey, Key& opened)
{
    return Open(parent, subKey, false, opened);
}

Registry::QueryResult FakeRegistry::QueryValue(Key key, const std::string& valueName, char* buffer, std::size_t size)
{
    queries_.emplace_back(Normal(valueName), size);
    auto it = open_.find(key);
    if (it == open_.end()) {
        ADD_FAILURE() << "query on a key that is not open";
        return {};
    }
    auto values = values_.find(it->second);
    if (values == values_.end())
        return {};
    auto value = values->second.find(Normal(valueName));
    if (value == values->second.end())
        return {};
    const std::string& bytes = value->second;
    if (bytes.size() > size)
        return {QueryStatus::DoesNotFit, bytes.size()};
    std::memcpy(buffer, bytes.data(), bytes.size());
    return {QueryStatus::Ok, bytes.size()};
}

void FakeRegistry::CloseKey(Key key)
{
    if (open_.erase(key) == 0)
        ADD_FAILURE() << "close of a key that is not open: " << key;
}

}  // namespace device::testing
