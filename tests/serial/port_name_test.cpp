// Port arguments and port names in the serial link of a POSIX host: the COM
// number rules the Windows programs share, and where each name really leads.
#include "serial/port_name.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "serial/serial_link.h"

namespace {

// The size of a Windows program's port name buffer: "//./COMnnnn" and its end.
constexpr std::size_t kWindowsNameSize = 12;

std::string Built(const char* text, std::size_t size = kComPortNameSize) {
    char name[kComPortNameSize] = "untouched";
    if (BuildComPortName(text, name, size) != 0) {
        return "refused, left " + std::string(name);
    }
    return name;
}

std::string Device(const char* name, std::size_t size = 64) {
    char path[64] = "untouched";
    if (ComDevicePath(name, path, size) != 0) {
        return "none";
    }
    return path;
}

}  // namespace

TEST(PortName, NumbersUpToNineAreSingleDigitComNames) {
    EXPECT_EQ(Built("3"), "COM3");
    EXPECT_EQ(Built("9"), "COM9");
    EXPECT_EQ(Built("1"), "COM1");
}

TEST(PortName, NumbersFromTenUseTheDeviceNamespace) {
    EXPECT_EQ(Built("10"), "//./COM10");
    EXPECT_EQ(Built("12"), "//./COM12");
    EXPECT_EQ(Built("9999", kWindowsNameSize), "//./COM9999");
}

TEST(PortName, ArgumentsAreReadAsAtoiReadsThem) {
    EXPECT_EQ(Built("abc"), "COM0");
    EXPECT_EQ(Built(""), "COM0");
    EXPECT_EQ(Built("7x"), "COM7");
    EXPECT_EQ(Built(" 12"), "//./COM12");
    EXPECT_EQ(Built("-4"), "COM-4");
}

TEST(PortName, NamesThatWouldNotFitAreRefusedAndTheBufferKept) {
    // Five digits give "//./COM10000", twelve characters: one too many for
    // the Windows programs' buffer.
    EXPECT_EQ(Built("10000", kWindowsNameSize), "refused, left untouched");
    // A number is held to that limit whatever the buffer, on every host.
    EXPECT_EQ(Built("10000"), "refused, left untouched");
    EXPECT_EQ(Built("-12345678"), "refused, left untouched");
    EXPECT_EQ(Built("-1234567", kWindowsNameSize), "COM-1234567");
    EXPECT_EQ(Built("-12345678", kWindowsNameSize), "refused, left untouched");
    EXPECT_EQ(Built("12", 9), "refused, left untouched");
    EXPECT_EQ(Built("12", 10), "//./COM12");
}

TEST(PortName, DevicePathsAreKeptAsTheyStand) {
    EXPECT_EQ(Built("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(Built("./ttyS4"), "./ttyS4");
    const std::string tooLong = "/dev/" + std::string(kComPortNameSize, 'p');
    EXPECT_EQ(Built(tooLong.c_str()), "refused, left untouched");
    const std::string longest = "/dev/" + std::string(kComPortNameSize - 6, 'p');
    EXPECT_EQ(Built(longest.c_str()), longest);
}

TEST(PortDevice, ComNamesLeadToTheSerialDevicesCountedFromZero) {
    EXPECT_EQ(Device("COM1"), "/dev/ttyS0");
    EXPECT_EQ(Device("COM3"), "/dev/ttyS2");
    EXPECT_EQ(Device("//./COM10"), "/dev/ttyS9");
    EXPECT_EQ(Device("//./COM12"), "/dev/ttyS11");
    EXPECT_EQ(Device("com5"), "/dev/ttyS4");
    EXPECT_EQ(Device("//./com10"), "/dev/ttyS9");
}

TEST(PortDevice, ComZeroNamesNoDevice) {
    EXPECT_EQ(Device("COM0"), "none");
    EXPECT_EQ(Device("//./COM0"), "none");
}

TEST(PortDevice, OtherNamesAreUsedAsTheyStand) {
    EXPECT_EQ(Device("/dev/ttyUSB0"), "/dev/ttyUSB0");
    EXPECT_EQ(Device("COM"), "COM");
    EXPECT_EQ(Device("COM3x"), "COM3x");
    EXPECT_EQ(Device("ttyS1"), "ttyS1");
}

TEST(PortDevice, PathsThatWouldNotFitAreRefused) {
    EXPECT_EQ(Device("//./COM10", 11), "/dev/ttyS9");
    EXPECT_EQ(Device("//./COM10", 10), "none");
    EXPECT_EQ(Device("/dev/pts/7", 11), "/dev/pts/7");
    EXPECT_EQ(Device("/dev/pts/7", 10), "none");
}

TEST(ComName, TheNumberOfEveryFormOfAComName) {
    EXPECT_EQ(ComNameNumber("COM3"), 3);
    EXPECT_EQ(ComNameNumber("com12"), 12);
    EXPECT_EQ(ComNameNumber("//./COM10"), 10);
    EXPECT_EQ(ComNameNumber("\\\\.\\COM3"), 3);
    EXPECT_EQ(ComNameNumber("COM0"), 0);
    EXPECT_EQ(ComNameNumber("COM999999"), 999999);
}

TEST(ComName, OtherNamesHaveNoNumber) {
    for (const char* name : {"COM", "COM3x", "COM 3", "COM+3", "COM-3", "COM1234567", "ttyS3",
                             "/dev/ttyS3", "3", "", "//./", "LPT1", "COM3:"}) {
        EXPECT_EQ(ComNameNumber(name), -1) << name;
    }
}
