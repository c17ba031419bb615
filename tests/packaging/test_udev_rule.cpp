// The meter's udev rule, read as udev reads it and applied to described
// devices: the meter's tty with its USB parents, other serial adapters, and the
// meter's own USB node.

#include <fnmatch.h>

#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

const std::string kRuleFile = "60-sovikan-tr07.rules";

struct Key {
    std::string name;       // SUBSYSTEM, ATTRS, TAG ...
    std::string attribute;  // the part in braces, if any
    std::string op;         // == != = += -= :=
    std::string value;
};
using Rule = std::vector<Key>;

struct ParseResult {
    std::vector<Rule> rules;
    std::vector<std::string> errors;
};

// Reads rules the way udev does: one rule a line (a trailing backslash joins
// lines), '#' starts a comment line, keys separated by commas, values quoted.
ParseResult ParseRules(std::istream& in)
{
    static const std::set<std::string> known = {
        "ACTION", "DEVPATH", "KERNEL", "KERNELS", "SUBSYSTEM", "SUBSYSTEMS", "DRIVER",  "DRIVERS", "ATTR",
        "ATTRS",  "ENV",     "TAG",    "TAGS",    "SYMLINK",   "NAME",       "OWNER",   "GROUP",   "MODE",
        "RUN",    "LABEL",   "GOTO",   "IMPORT",  "PROGRAM",   "RESULT",     "OPTIONS", "TEST"};
    static const std::regex keyPattern(
        R"re(\s*([A-Z]+)(\{([^}]*)\})?\s*(==|!=|\+=|-=|:=|=)\s*"((?:[^"\\]|\\.)*)"\s*)re");
    ParseResult result;
    std::string line, logical;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\\') {
            logical += line.substr(0, line.size() - 1);
            continue;
        }
        logical += line;
        const auto first = logical.find_first_not_of(" \t");
        if (first == std::string::npos || logical[first] == '#') {
            logical.clear();
            continue;
        }
        Rule rule;
        std::string rest = logical;
        logical.clear();
        std::smatch m;
        while (!rest.empty()) {
            if (!std::regex_search(rest, m, keyPattern, std::regex_constants::match_continuous)) {
                result.errors.push_back("line " + std::to_string(number) + ": cannot read \"" + rest + "\"");
                break;
            }
            if (!known.count(m[1]))
                result.errors.push_back("line " + std::to_string(number) + ": unknown key " + m[1].str());
            rule.push_back({m[1], m[3], m[4], m[5]});
            rest = m.suffix();
            if (!rest.empty()) {
                if (rest.front() != ',') {
                    result.errors.push_back("line " + std::to_string(number) + ": comma expected before \"" + rest +
                                            "\"");
                    break;
                }
                rest.erase(0, 1);
            }
        }
        result.rules.push_back(rule);
    }
    return result;
}

// One sysfs node as udev sees it.
struct Node {
    std::string kernel;
    std::string subsystem;
    std::string driver;
    std::map<std::string, std::string> attrs;
};
// The device itself first, then its parents up to the root.
using DevicePath = std::vector<Node>;

// The outcome of the rules for one device.
struct DeviceState {
    std::optional<std::string> mode, group;
    std::set<std::string> tags;
    std::vector<std::string> symlinks;
};

// udev patterns: shell glob, with '|' between alternatives.
bool PatternMatches(const std::string& pattern, const std::string& text)
{
    std::stringstream alternatives(pattern);
    std::string alternative;
    while (std::getline(alternatives, alternative, '|'))
        if (fnmatch(alternative.c_str(), text.c_str(), 0) == 0)
            return true;
    return false;
}

std::optional<std::string> NodeValue(const Node& node, const Key& key)
{
    const std::string& n = key.name;
    if (n == "KERNEL" || n == "KERNELS")
        return node.kernel;
    if (n == "SUBSYSTEM" || n == "SUBSYSTEMS")
        return node.subsystem;
    if (n == "DRIVER" || n == "DRIVERS")
        return node.driver;
    const auto it = node.attrs.find(key.attribute);
    if (it == node.attrs.end())
        return std::nullopt;
    return it->second;
}

bool KeyMatches(const Node& node, const Key& key)
{
    const auto value = NodeValue(node, key);
    const bool equal = value && PatternMatches(key.value, *value);
    return key.op == "==" ? equal : !equal;
}

bool IsParentKey(const Key& k)
{
    return k.name == "KERNELS" || k.name == "SUBSYSTEMS" || k.name == "DRIVERS" || k.name == "ATTRS";
}

bool IsMatchKey(const Key& k)
{
    return k.op == "==" || k.op == "!=";
}

// Keys without an S look at the device itself; the keys with an S must all
// hold on one and the same node of the path (the device or one parent).
bool RuleMatches(const Rule& rule, const DevicePath& path)
{
    std::vector<Key> parentKeys;
    for (const Key& key : rule) {
        if (!IsMatchKey(key))
            continue;
        if (IsParentKey(key))
            parentKeys.push_back(key);
        else if (!KeyMatches(path.front(), key))
            return false;
    }
    if (parentKeys.empty())
        return true;
    for (const Node& node : path) {
        bool all = true;
        for (const Key& key : parentKeys)
            all = all && KeyMatches(node, key);
        if (all)
            return true;
    }
    return false;
}

void Apply(const Rule& rule, DeviceState& state)
{
    for (const Key& key : rule) {
        if (IsMatchKey(key))
            continue;
        if (key.name == "MODE")
            state.mode = key.value;
        if (key.name == "GROUP")
            state.group = key.value;
        if (key.name == "TAG") {
            if (key.op != "+=")
                state.tags.clear();
            state.tags.insert(key.value);
        }
        if (key.name == "SYMLINK") {
            if (key.op != "+=")
                state.symlinks.clear();
            std::stringstream names(key.value);
            std::string name;
            while (names >> name)
                state.symlinks.push_back(name);
        }
    }
}

DeviceState RunRules(const std::vector<Rule>& rules, const DevicePath& path, DeviceState state = {})
{
    for (const Rule& rule : rules)
        if (RuleMatches(rule, path))
            Apply(rule, state);
    return state;
}

Node UsbDevice(const std::string& vendor, const std::string& product, const std::string& name)
{
    // sysfs prints the ids as four lower-case hex digits.
    return {"1-1",
            "usb",
            "usb",
            {{"idVendor", vendor},
             {"idProduct", product},
             {"product", name},
             {"manufacturer", "Silicon Labs"},
             {"serial", "0001"}}};
}

// /dev/ttyUSB0 of a CP210x bridge: tty node, usb-serial port, interface, USB device.
DevicePath BridgeTty(const std::string& vendor, const std::string& product, const std::string& name)
{
    return {{"ttyUSB0", "tty", "", {{"dev", "188:0"}}},
            {"ttyUSB0", "usb-serial", "cp210x", {{"port_number", "0"}}},
            {"1-1:1.0", "usb", "cp210x", {{"bInterfaceNumber", "00"}, {"interface", name}}},
            UsbDevice(vendor, product, name),
            {"usb1", "usb", "usb", {{"idVendor", "1d6b"}, {"idProduct", "0002"}}}};
}

DevicePath Meter()
{
    return BridgeTty("10c4", "ea6e", "Sovikan_TR07");
}

class MeterRule : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ifstream in(std::string(SOVIKAN_LINUX_DIR) + "/" + kRuleFile);
        ASSERT_TRUE(in) << "cannot open " << kRuleFile;
        parsed_ = ParseRules(in);
    }
    ParseResult parsed_;
};

TEST_F(MeterRule, IsOneWellFormedRule)
{
    EXPECT_TRUE(parsed_.errors.empty()) << ::testing::PrintToString(parsed_.errors);
    ASSERT_EQ(parsed_.rules.size(), 1u);
}

TEST_F(MeterRule, SortsBeforeTheSeatRulesThatTurnUaccessIntoAccess)
{
    // 73-seat-late.rules grants the seat's user access to devices tagged
    // uaccess before it; a tag set by a later file has no effect.
    EXPECT_LT(std::stoi(kRuleFile.substr(0, kRuleFile.find('-'))), 73);
}

TEST_F(MeterRule, GivesTheMeterToTheSeatUserAndDialoutAndAStableName)
{
    const DeviceState s = RunRules(parsed_.rules, Meter());
    EXPECT_TRUE(s.tags.count("uaccess"));
    EXPECT_EQ(s.mode.value_or("unset"), "0660");
    EXPECT_EQ(s.group.value_or("unset"), "dialout");
    EXPECT_EQ(s.symlinks, std::vector<std::string>{"sovikan-tr07"});
}

TEST_F(MeterRule, LeavesOtherDevicesAlone)
{
    const std::vector<std::pair<std::string, DevicePath>> others = {
        {"plain CP2102 bridge", BridgeTty("10c4", "ea60", "CP2102 USB to UART Bridge Controller")},
        {"other device on the meter's ids", BridgeTty("10c4", "ea6e", "Other_Device")},
        {"other vendor with the meter's name", BridgeTty("0403", "ea6e", "Sovikan_TR07")},
        {"ids written in capitals", BridgeTty("10C4", "EA6E", "Sovikan_TR07")},
        // The rule is for the serial port only, not for the meter's raw USB node.
        {"the meter's USB node itself", {UsbDevice("10c4", "ea6e", "Sovikan_TR07"), {"usb1", "usb", "usb", {}}}},
    };
    for (const auto& [what, path] : others) {
        const DeviceState s = RunRules(parsed_.rules, path);
        EXPECT_TRUE(s.tags.empty() && s.symlinks.empty() && !s.mode && !s.group) << what;
    }
}

TEST_F(MeterRule, KeepsLinksAndTagsThatEarlierRulesGave)
{
    // 60-serial.rules runs first and makes the /dev/serial/by-id links.
    DeviceState before;
    before.symlinks = {"serial/by-id/usb-Silicon_Labs_Sovikan_TR07_0001-if00-port0"};
    before.tags = {"systemd"};
    const DeviceState s = RunRules(parsed_.rules, Meter(), before);
    EXPECT_EQ(s.symlinks.size(), 2u);
    EXPECT_EQ(s.symlinks.front(), before.symlinks.front());
    EXPECT_TRUE(s.tags.count("systemd"));
}

// The reader itself, on rules that are wrong in ways that make udev skip them.
TEST(RuleReader, ReportsMalformedLines)
{
    std::istringstream bad("# comment\n"
                           "SUBSYSTEM==\"tty\" ATTRS{idVendor}==\"10c4\"\n"  // missing comma
                           "SUBSYSTEM==tty, MODE=\"0660\"\n"                 // unquoted value
                           "SUBSYSTEMZ==\"tty\"\n");                         // unknown key
    EXPECT_EQ(ParseRules(bad).errors.size(), 3u);

    std::istringstream good("SUBSYSTEM==\"tty\", \\\n  ATTRS{idVendor}==\"10c4|10C4\", TAG+=\"x\"\n");
    const ParseResult r = ParseRules(good);
    EXPECT_TRUE(r.errors.empty());
    ASSERT_EQ(r.rules.size(), 1u);
    EXPECT_TRUE(RuleMatches(r.rules[0], Meter()));
    EXPECT_TRUE(RuleMatches(r.rules[0], BridgeTty("10C4", "x", "y")));
}

}  // namespace
