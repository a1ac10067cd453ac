// When each hint applies, what it says for each cause of a port that would
// not open, and the serial ports a POSIX host lists.
#include "guidance/hints.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "guidance/guidance.h"
#include "host/console.h"
#include "tests/support/e2e.h"
#include "tests/support/pty_pair.h"

namespace {

std::string OpenFailureHint(int cause, const char* device, const char* ports, int portCount) {
    char text[2048];
    FormatOpenFailureHint(text, sizeof text, cause, device, ports, portCount);
    return text;
}

std::string Wrapped(const char* text, int width, std::size_t size = 256) {
    char out[256];
    WrapText(text, width, out, size);
    return out;
}

}  // namespace

TEST(Hints, OptionLikeFirstArguments) {
    EXPECT_TRUE(LooksLikeOption("-h"));
    EXPECT_TRUE(LooksLikeOption("--usage"));
    EXPECT_TRUE(LooksLikeOption("/?"));
    EXPECT_TRUE(LooksLikeOption("/h"));
    EXPECT_FALSE(LooksLikeOption("-"));  // a file named "-" is still a name
    EXPECT_FALSE(LooksLikeOption("hello.hex"));
    EXPECT_FALSE(LooksLikeOption("/tmp/hello.hex"));
    EXPECT_FALSE(LooksLikeOption(""));
}

TEST(Hints, PortArgumentsThatAreNotNumbers) {
    EXPECT_TRUE(PortArgumentNotNumber("COM3"));
    EXPECT_TRUE(PortArgumentNotNumber("com3"));
    EXPECT_TRUE(PortArgumentNotNumber("\\\\.\\COM3"));
    EXPECT_TRUE(PortArgumentNotNumber(""));
    EXPECT_FALSE(PortArgumentNotNumber("3"));
    EXPECT_FALSE(PortArgumentNotNumber("12"));
    EXPECT_FALSE(PortArgumentNotNumber("-4"));
    // On POSIX hosts a '/' makes a device path, which is taken as it is.
    EXPECT_FALSE(PortArgumentNotNumber("/dev/ttyUSB0"));
    EXPECT_FALSE(PortArgumentNotNumber("//./COM3"));
}

TEST(Hints, BareDeviceNamesAndNamesSplitAtSpaces) {
    EXPECT_TRUE(BareDeviceName("ttyUSB0"));
    EXPECT_TRUE(BareDeviceName("serial0"));
    EXPECT_FALSE(BareDeviceName("/dev/ttyUSB0"));
    EXPECT_FALSE(BareDeviceName("tty"));
    EXPECT_FALSE(BareDeviceName("COM3"));

    char my[] = "My", dir[] = "Programs\\big", file[] = "prog.hex", three[] = "3";
    char* words[] = {my, dir, file, three};
    EXPECT_EQ(SplitNameWords(4, words, 0), 3);  // "My Programs\big prog.hex"
    EXPECT_EQ(SplitNameWords(4, words, 2), 0);  // "prog.hex" is whole
    EXPECT_EQ(SplitNameWords(2, words, 0), 0);  // no part with a '.' follows
}

TEST(Guidance, WrapsAtSpacesWithinTheWidth) {
    EXPECT_EQ(Wrapped("Hint: one two three four", 14), "Hint: one two\n    three four");
    EXPECT_EQ(Wrapped("short\n  - an item that wraps\n", 16),
              "short\n  - an item that\n      wraps\n");
    // A word longer than the line stays whole; lines already short are kept.
    EXPECT_EQ(Wrapped("Hint: /a/very/long/path/name here", 10),
              "Hint:\n    /a/very/long/path/name\n    here");
    EXPECT_EQ(Wrapped("  /dev/ttyS0\n", 10), "  /dev/ttyS0\n");
    // Cut when the buffer is full, and still terminated.
    EXPECT_EQ(Wrapped("Hint: one two", 80, 8), "Hint: o");
}

TEST(Hints, EchoMismatchAtALineEnd) {
    const char mac[] = "10 PRINT 1\r20 PRINT 2\r";
    EXPECT_TRUE(EchoMismatchAtLineEnd(mac, 11, '\n'));  // the interpreter's line end came back
    EXPECT_TRUE(EchoMismatchAtLineEnd(mac, 11, 'O'));   // a CR alone was typed before
    EXPECT_FALSE(EchoMismatchAtLineEnd(mac, 3, 'p'));
    EXPECT_FALSE(EchoMismatchAtLineEnd("10 PRINT 1\r\n", 5, 'p'));
    EXPECT_TRUE(EchoMismatchAtLineEnd("PRINT", 0, '\r'));
}

TEST(Hints, BusyNoSuchPortAndOtherCauses) {
    std::string hint = OpenFailureHint(kOpenFailedBusy, "/dev/ttyUSB0", "", 0);
    EXPECT_NE(hint.find("/dev/ttyUSB0 is busy: another program holds it"), std::string::npos);
    EXPECT_NE(hint.find("terminal program"), std::string::npos);
    EXPECT_NE(hint.find("ModemManager"), std::string::npos);

    hint = OpenFailureHint(kOpenFailedNoPort, "/dev/ttyUSB7", "  /dev/ttyUSB0\n  /dev/ttyS0\n", 2);
    EXPECT_EQ(hint,
              "Hint: there is no port /dev/ttyUSB7. Serial ports found:\n  /dev/ttyUSB0\n"
              "  /dev/ttyS0\n");
    hint = OpenFailureHint(kOpenFailedNoPort, "/dev/ttyUSB7", "", 0);
    EXPECT_NE(hint.find("no serial ports were found"), std::string::npos) << hint;

    EXPECT_EQ(OpenFailureHint(kOpenFailedOther, "/dev/ttyUSB0", "", 0), "");
}

TEST(Console, OpenFailureCausesFromErrno) {
    EXPECT_EQ(OpenFailureCause(EACCES), kOpenFailedPermission);
    EXPECT_EQ(OpenFailureCause(EPERM), kOpenFailedPermission);
    EXPECT_EQ(OpenFailureCause(EBUSY), kOpenFailedBusy);
    EXPECT_EQ(OpenFailureCause(ENOENT), kOpenFailedNoPort);
    EXPECT_EQ(OpenFailureCause(ENXIO), kOpenFailedNoPort);
    EXPECT_EQ(OpenFailureCause(EIO), kOpenFailedOther);
}

TEST(Console, ListsByIdLinksAndCharacterDevicesWithoutOpeningThem) {
    TempDir dev;
    PtyPair adapter;
    ASSERT_FALSE(adapter.path().empty());
    ASSERT_EQ(symlink(adapter.path().c_str(), (dev.path() + "/ttyUSB0").c_str()), 0);
    dev.Write("ttyUSB1", "a plain file is no port");
    ASSERT_EQ(symlink("/nonexistent/tty", (dev.path() + "/ttyS0").c_str()), 0);
    ASSERT_EQ(symlink(adapter.path().c_str(), (dev.path() + "/ttyACM10").c_str()), 0);
    ASSERT_EQ(symlink(adapter.path().c_str(), (dev.path() + "/ttyACM9").c_str()), 0);
    ASSERT_EQ(mkdir((dev.path() + "/serial").c_str(), 0700), 0);
    ASSERT_EQ(mkdir((dev.path() + "/serial/by-id").c_str(), 0700), 0);
    ASSERT_EQ(symlink("../../ttyUSB0", (dev.path() + "/serial/by-id/usb-Board-if00").c_str()), 0);

    char list[1024];
    EXPECT_EQ(ListSerialPorts(dev.path().c_str(), list, sizeof list), 4);
    const std::string d = dev.path();
    EXPECT_EQ(std::string(list), "  " + d + "/serial/by-id/usb-Board-if00 -> " + d +
                                     "/ttyUSB0\n  " + d + "/ttyUSB0\n  " + d + "/ttyACM9\n  " + d +
                                     "/ttyACM10\n");

    // Lines that do not fit are left out; the list stays terminated.
    char small[16];
    ListSerialPorts(dev.path().c_str(), small, sizeof small);
    EXPECT_STREQ(small, "");

    TempDir empty;
    EXPECT_EQ(ListSerialPorts(empty.path().c_str(), list, sizeof list), 0);
    EXPECT_STREQ(list, "");
}
