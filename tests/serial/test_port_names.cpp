#include "serial/port_names.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "helpers/temp_folder.h"

namespace fs = std::filesystem;

namespace {

class PortNamesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::ofstream(folder_ / "device-a").put('x');
        std::ofstream(folder_ / "device-b").put('x');
    }
    std::string Folder() const { return folder_.string(); }
    test_support::TempFolder temp_;
    const fs::path folder_ = temp_.Path();
};

TEST_F(PortNamesTest, FixedTableAndPassThrough)
{
    EXPECT_EQ(serial::ResolveDevicePath("COM1", Folder()), "/dev/ttyS0");
    EXPECT_EQ(serial::ResolveDevicePath("com32", Folder()), "/dev/ttyS31");
    EXPECT_EQ(serial::ResolveDevicePath("Com33", Folder()), "/dev/ttyUSB0");
    EXPECT_EQ(serial::ResolveDevicePath("COM64", Folder()), "/dev/ttyUSB31");
    EXPECT_EQ(serial::ResolveDevicePath("COM65", Folder()), "/dev/ttyACM0");
    EXPECT_EQ(serial::ResolveDevicePath("COM96", Folder()), "/dev/ttyACM31");
    EXPECT_EQ(serial::ResolveDevicePath("COM97", Folder()), "COM97");
    EXPECT_EQ(serial::ResolveDevicePath("COM0", Folder()), "COM0");
    EXPECT_EQ(serial::ResolveDevicePath("COMX", Folder()), "COMX");
    EXPECT_EQ(serial::ResolveDevicePath("/dev/pts/7", Folder()), "/dev/pts/7");
    EXPECT_EQ(serial::ResolveDevicePath("LPT1", Folder()), "LPT1");
}

// Windows opens COM10 and above only as \\.\COMn; the prefix suits every COM port.
TEST(Win32DevicePath, BareComNamesGetTheDevicePrefix)
{
    EXPECT_EQ(serial::Win32DevicePath("COM12"), "\\\\.\\COM12");
    EXPECT_EQ(serial::Win32DevicePath("com3"), "\\\\.\\com3");
    for (const char* other : {"\\\\.\\COM12", "COM0", "COMX", "LPT1", "/dev/pts/7"})
        EXPECT_EQ(serial::Win32DevicePath(other), other);
}

// Links in the ports folder and its place from the environment are how COM names
// reach a device on POSIX systems; on Windows the name goes to CreateFile as it is.
#ifndef _WIN32
TEST_F(PortNamesTest, LinkWinsOverTableAndReverseLookupFollowsIt)
{
    fs::create_symlink(folder_ / "device-a", folder_ / "com3");
    fs::create_symlink(folder_ / "device-b", folder_ / "com70");
    EXPECT_EQ(serial::ResolveDevicePath("COM3", Folder()), (folder_ / "com3").string());
    EXPECT_EQ(serial::ResolveDevicePath("COM4", Folder()), "/dev/ttyS3");
    EXPECT_EQ(serial::ComNumberForDevice((folder_ / "device-a").string(), Folder()), 3);
    EXPECT_EQ(serial::ComNumberForDevice((folder_ / "device-b").string(), Folder()), 70);
    EXPECT_EQ(serial::ComNumberForDevice("/dev/ttyUSB5", Folder()), 38);
    EXPECT_EQ(serial::ComNumberForDevice("/dev/ttyACM31", Folder()), 96);
    EXPECT_EQ(serial::ComNumberForDevice("/dev/ttyS0", Folder()), 1);
    EXPECT_EQ(serial::ComNumberForDevice("/dev/ttyS32", Folder()), -1);
    EXPECT_EQ(serial::ComNumberForDevice("/dev/null", Folder()), -1);
}

TEST(PortsFolder, EnvironmentOrder)
{
    ::setenv("SOVIKAN_PORTS_DIR", "/some/ports", 1);
    EXPECT_EQ(serial::PortsFolder(), "/some/ports");
    ::unsetenv("SOVIKAN_PORTS_DIR");
    ::setenv("XDG_RUNTIME_DIR", "/run/user/77", 1);
    EXPECT_EQ(serial::PortsFolder(), "/run/user/77/sovikan/ports");
    ::unsetenv("XDG_RUNTIME_DIR");
    EXPECT_EQ(serial::PortsFolder(), "/tmp/sovikan-" + std::to_string(::getuid()) + "/ports");
}
#endif

}  // namespace
