#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "device/port_discovery.h"
#include "fake_registry.h"
#include "helpers/temp_folder.h"

namespace {

namespace fs = std::filesystem;
using device::ConversionError;
using device::FindBridgePort;
using device::FindUsbPort;
using device::testing::FakeRegistry;

constexpr std::uint16_t kVid = 0x10C4;
constexpr std::uint16_t kPid = 0xEA6E;
const std::string kName = "Sovikan_TR07";
const std::string kUsbKey =
    "SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10C4&Pid_EA6E&Mi_00\\Sovikan_TR07_00\\Device Parameters";
const std::string kBridgeId = "USB\\VID_10C4&PID_EA6E&MI_00\\SOVIKAN_TR07_00";

std::string BridgeKey(int k)
{
    char name[40];
    std::snprintf(name, sizeof name, "Enum\\SLABCR\\guid\\%04d", k);
    return name;
}

std::string Z(const std::string& text)
{
    return text + std::string(1, '\0');
}

class RegistryLookup : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_EQ(registry.OpenKeys(), 0u) << "a key was left open"; }
    FakeRegistry registry;
};

TEST_F(RegistryLookup, UsbLayoutFindsTheMeterOnCom3)
{
    registry.SetValue(kUsbKey, "PortName", Z("COM3"));
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), 3);
    EXPECT_EQ(registry.QuerySizes("PortName"), std::vector<std::size_t>{100});
}

TEST_F(RegistryLookup, UsbLayoutConvertsTwoDigitAndUnterminatedNames)
{
    registry.SetValue(kUsbKey, "PortName", "COM12");
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), 12);
    // Only the first three characters are replaced, whatever they are.
    registry.SetValue(kUsbKey, "PortName", Z("XYZ7"));
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), 7);
}

TEST_F(RegistryLookup, UsbKeyNamePadsShortIdsWithBlanks)
{
    registry.SetValue("SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_ 1C4&Pid_  AB&Mi_00\\x_00\\Device Parameters",
                      "PortName", Z("COM5"));
    EXPECT_EQ(FindUsbPort(registry, 0x1C4, 0xAB, "x"), 5);
    EXPECT_EQ(FindUsbPort(registry, 0x01C4, 0x00AB, "X_"), -1);
}

TEST_F(RegistryLookup, UsbLayoutMissingPiecesGiveMinusOne)
{
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), -1);  // nothing at all
    registry.AddKey("SYSTEM\\CurrentControlSet\\Enum\\USB\\Vid_10C4&Pid_EA6E&Mi_00");
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), -1);  // no device key
    registry.AddKey(kUsbKey);
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), -1);  // no value
    registry.SetValue(kUsbKey, "PortName", Z("COM3"));
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, "Sovikan_TR08"), -1);
    EXPECT_EQ(FindUsbPort(registry, kVid, 0xEA60, kName), -1);
}

// An account without administrator rights still finds the meter.
TEST_F(RegistryLookup, UsbLayoutAsksForReadAccessOnly)
{
    registry.SetValue(kUsbKey, "PortName", Z("COM3"));
    registry.DenyFullAccess();
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), 3);
    EXPECT_EQ(registry.AccessAsked(), std::vector<device::Registry::Access>{device::Registry::Access::Read});
}

TEST_F(RegistryLookup, UsbPortNameLongerThanTheBufferIsNotRead)
{
    registry.SetValue(kUsbKey, "PortName", Z("COM" + std::string(120, '4')));
    EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), -1);
}

TEST_F(RegistryLookup, NonDecimalPortNameIsAConversionErrorAndClosesTheKeys)
{
    registry.SetValue(kUsbKey, "PortName", Z("COMab"));
    try {
        FindUsbPort(registry, kVid, kPid, kName);
        FAIL() << "no error";
    } catch (const ConversionError& e) {
        EXPECT_STREQ(e.what(), "'000ab' is not a valid integer value");
    }
    for (const char* bad : {"", "COM", "COM 3", "COM-3", "COM99999999999"}) {
        registry.SetValue(kUsbKey, "PortName", Z(bad));
        if (std::string(bad) == "COM")
            EXPECT_EQ(FindUsbPort(registry, kVid, kPid, kName), 0) << "COM alone reads 000";
        else
            EXPECT_THROW(FindUsbPort(registry, kVid, kPid, kName), ConversionError) << bad;
    }
}

TEST_F(RegistryLookup, BridgeLayoutTakesTheLastMatchingKey)
{
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(0), "Portname", Z("COM4"));
    registry.SetValue(BridgeKey(1), "CRLowerDeviceID", Z("USB\\VID_10C4&PID_EA60&MI_00\\OTHER_00"));
    registry.SetValue(BridgeKey(1), "Portname", Z("COM5"));
    registry.SetValue(BridgeKey(2), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(2), "Portname", Z("COM9"));
    // The scan ends at the first missing key: 0004 is never seen.
    registry.SetValue(BridgeKey(4), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(4), "Portname", Z("COM11"));

    EXPECT_EQ(FindBridgePort(registry, kVid, kPid, kName), 9);
    const auto& opened = registry.OpenedPaths();
    EXPECT_EQ(opened.size(), 3u);
    EXPECT_EQ(std::count(opened.begin(), opened.end(), "enum\\slabcr\\guid\\0004"), 0);
}

TEST_F(RegistryLookup, BridgeIdentifierIsUpperCaseWithUnderscoresAndComparedExactly)
{
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z("USB\\VID_00AB&PID_0C01&MI_00\\MY_METER_2_00"));
    registry.SetValue(BridgeKey(0), "Portname", Z("COM6"));
    EXPECT_EQ(FindBridgePort(registry, 0xAB, 0xC01, "my meter_2"), 6);
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z("usb\\vid_00ab&pid_0c01&mi_00\\my_meter_2_00"));
    EXPECT_EQ(FindBridgePort(registry, 0xAB, 0xC01, "my meter_2"), -1);
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z("USB\\VID_00AB&PID_0C01&MI_00\\MY_METER_2_00X"));
    EXPECT_EQ(FindBridgePort(registry, 0xAB, 0xC01, "my meter_2"), -1);
}

TEST_F(RegistryLookup, BridgeIdentifierThatDoesNotFitIsReadAgainWithTheReportedSize)
{
    // A list-like value: the identifier, then further text beyond 100 bytes.
    const std::string value = Z(kBridgeId) + std::string(150, 'x') + std::string(2, '\0');
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", value);
    registry.SetValue(BridgeKey(0), "Portname", Z("COM8"));
    EXPECT_EQ(FindBridgePort(registry, kVid, kPid, kName), 8);
    EXPECT_EQ(registry.QuerySizes("CRLowerDeviceID"), (std::vector<std::size_t>{100, value.size()}));
}

TEST_F(RegistryLookup, BridgeKeysWithoutUsableValuesAreSkipped)
{
    registry.AddKey(BridgeKey(0));                                     // no identifier
    registry.SetValue(BridgeKey(1), "CRLowerDeviceID", Z(kBridgeId));  // no port name
    registry.SetValue(BridgeKey(2), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(2), "Portname", Z("COM7"));
    registry.SetValue(BridgeKey(3), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(3), "Portname", Z("COM" + std::string(200, '1')));  // does not fit
    EXPECT_EQ(FindBridgePort(registry, kVid, kPid, kName), 7);
    EXPECT_EQ(registry.OpenedPaths().size(), 4u);
}

TEST_F(RegistryLookup, BridgeConversionErrorClosesTheKey)
{
    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(0), "Portname", Z("COMx1"));
    EXPECT_THROW(FindBridgePort(registry, kVid, kPid, kName), ConversionError);
}

TEST_F(RegistryLookup, EmptyRegistryFindsNothing)
{
    EXPECT_EQ(FindBridgePort(registry, kVid, kPid, kName), -1);
#ifndef _WIN32
    // Without a system registry both layouts are empty.
    EXPECT_EQ(FindUsbPort(device::SystemRegistry(), kVid, kPid, kName), -1);
    EXPECT_EQ(FindBridgePort(device::SystemRegistry(), kVid, kPid, kName), -1);
#endif
}

// A fake sysfs tree and ports folder in a temporary folder.
// The sysfs tree and the ports folder's links exist on Linux only; on Windows
// the registry is the whole discovery.
#ifndef _WIN32
class SysfsDiscovery : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(root / "sys" / "bus" / "usb" / "devices");
        fs::create_directories(root / "ports");
        ::setenv("SOVIKAN_PORTS_DIR", (root / "ports").c_str(), 1);
    }
    void TearDown() override
    {
        ::unsetenv("SOVIKAN_PORTS_DIR");
        ::unsetenv("SOVIKAN_SYSFS_ROOT");
    }

    fs::path Device(const std::string& name, const std::string& vid, const std::string& pid, const std::string& product)
    {
        fs::path dir = sys() / "bus" / "usb" / "devices" / name;
        fs::create_directories(dir);
        Write(dir / "idVendor", vid + "\n");
        Write(dir / "idProduct", pid + "\n");
        Write(dir / "product", product + "\n");
        return dir;
    }
    static void Write(const fs::path& file, const std::string& text)
    {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }
    fs::path sys() const { return root / "sys"; }

    test_support::TempFolder temp;
    const fs::path root = temp.Path();
};

TEST_F(SysfsDiscovery, UsbSerialLayoutGivesTheTtyUsbNode)
{
    fs::path dev = Device("1-2", "10c4", "ea6e", kName);
    fs::create_directories(dev / "1-2:1.0" / "ttyUSB3");
    EXPECT_EQ(device::FindSysfsTty(sys(), kVid, kPid, kName), "/dev/ttyUSB3");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), 36);  // table: COM33 = ttyUSB0
}

TEST_F(SysfsDiscovery, ClassDriverLayoutGivesTheTtyAcmNode)
{
    fs::path dev = Device("3-1.4", "10C4", "EA6E", kName);
    fs::create_directories(dev / "3-1.4:1.0");
    Write(dev / "3-1.4:1.0" / "interface", "CDC\n");
    fs::create_directories(dev / "3-1.4:1.1" / "tty" / "ttyACM1");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), 66);
}

TEST_F(SysfsDiscovery, OtherDevicesAreSkipped)
{
    fs::create_directories(Device("1-1", "10c4", "ea60", kName) / "1-1:1.0" / "ttyUSB0");
    fs::create_directories(Device("1-3", "0403", "ea6e", kName) / "1-3:1.0" / "ttyUSB1");
    fs::create_directories(Device("1-4", "10c4", "ea6e", "Sovikan_TR07 ") / "1-4:1.0" / "ttyUSB2");
    fs::create_directories(Device("1-5", "10c4", "ea6e", kName));  // no tty bound yet
    fs::create_directories(sys() / "bus" / "usb" / "devices" / "1-1:1.0" / "ttyUSB0");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), -1);
    fs::create_directories(Device("1-6", "10c4", "ea6e", kName) / "1-6:1.0" / "ttyUSB5");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), 38);
}

TEST_F(SysfsDiscovery, MissingOrEmptyTreeFindsNothing)
{
    EXPECT_EQ(device::FindSysfsPort(root / "nowhere", kVid, kPid, kName), -1);
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), -1);
    fs::path dev = Device("2-1", "", "zz", kName);
    fs::create_directories(dev / "2-1:1.0" / "ttyUSB0");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), -1);
}

TEST_F(SysfsDiscovery, UeventDevNameIsMappedThroughThePortsLink)
{
    fs::path dev = Device("9-9", "10c4", "ea6e", kName);
    Write(dev / "9-9:1.0" / "tty" / "pts7" / "uevent", "MAJOR=136\nMINOR=7\nDEVNAME=null\n");
    EXPECT_EQ(device::FindSysfsTty(sys(), kVid, kPid, kName), "/dev/null");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), -1);  // no link, not in the table
    fs::create_symlink("/dev/null", root / "ports" / "com50");
    EXPECT_EQ(device::FindSysfsPort(sys(), kVid, kPid, kName), 50);
}

TEST_F(SysfsDiscovery, DevNameOutsideDevIsIgnored)
{
    fs::path dev = Device("9-9", "10c4", "ea6e", kName);
    Write(dev / "9-9:1.0" / "tty" / "ttyACM2" / "uevent", "DEVNAME=../etc/passwd\n");
    EXPECT_EQ(device::FindSysfsTty(sys(), kVid, kPid, kName), "/dev/ttyACM2");
    Write(dev / "9-9:1.0" / "tty" / "ttyACM2" / "uevent", "DEVNAME=/etc/passwd\n");
    EXPECT_EQ(device::FindSysfsTty(sys(), kVid, kPid, kName), "/dev/ttyACM2");
}

TEST_F(SysfsDiscovery, DiscoverMeterPortTriesRegistryLayoutsFirst)
{
    fs::create_directories(Device("1-2", "10c4", "ea6e", kName) / "1-2:1.0" / "ttyUSB0");
    FakeRegistry registry;
    EXPECT_EQ(device::DiscoverMeterPort(registry, sys()), 33);

    registry.SetValue(BridgeKey(0), "CRLowerDeviceID", Z(kBridgeId));
    registry.SetValue(BridgeKey(0), "Portname", Z("COM21"));
    EXPECT_EQ(device::DiscoverMeterPort(registry, sys()), 21);

    registry.SetValue(kUsbKey, "PortName", Z("COM3"));
    const std::size_t before = registry.OpenedPaths().size();
    EXPECT_EQ(device::DiscoverMeterPort(registry, sys()), 3);
    // Found in the first layout: the bridge branch is not read.
    EXPECT_EQ(registry.OpenedPaths().size() - before, 3u);
    EXPECT_EQ(registry.OpenKeys(), 0u);
}

TEST_F(SysfsDiscovery, DefaultRootFollowsTheEnvironment)
{
    ::unsetenv("SOVIKAN_SYSFS_ROOT");
    EXPECT_EQ(device::DefaultSysfsRoot(), fs::path("/sys"));
    ::setenv("SOVIKAN_SYSFS_ROOT", sys().c_str(), 1);
    EXPECT_EQ(device::DefaultSysfsRoot(), sys());
    fs::create_directories(Device("1-2", "10c4", "ea6e", kName) / "1-2:1.0" / "ttyUSB4");
    EXPECT_EQ(device::DiscoverMeterPort(), 37);
}

#endif

}  // namespace
