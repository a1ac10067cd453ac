// Who the permission hint names for each owner, group and mode; the port
// names of the other host; options given after the file name; and the host
// facts behind them.
#include "guidance/port_hints.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "guidance/option_hints.h"
#include "host/port_facts.h"
#include "tests/support/e2e.h"

namespace {

DeviceAccess Access(const char* owner, const char* group, unsigned mode, bool rootGroup,
                    bool userOwns) {
    DeviceAccess access{};
    std::snprintf(access.owner, sizeof access.owner, "%s", owner);
    std::snprintf(access.group, sizeof access.group, "%s", group);
    std::snprintf(access.kernelName, sizeof access.kernelName, "ttyUSB0");
    access.mode = mode;
    access.rootGroup = rootGroup;
    access.userOwns = userOwns;
    return access;
}

std::string PermissionHint(const DeviceAccess& access) {
    char text[2048];
    FormatPermissionHint(text, sizeof text, "/dev/ttyUSB0", access);
    return text;
}

std::string OptionHint(std::vector<std::string> words, int at, int option) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(&word[0]);
    }
    char text[1024];
    FormatOptionAfterFile(text, sizeof text, argv[0], static_cast<int>(argv.size()), argv.data(),
                          at, option);
    return text;
}

}  // namespace

TEST(PortHints, AGroupThatMayUseTheDeviceIsTheOneToJoin) {
    const std::string hint = PermissionHint(Access("root", "dialout", 0660, false, false));
    EXPECT_NE(hint.find("It belongs to the group 'dialout', whose members may: join it"),
              std::string::npos)
        << hint;
    EXPECT_NE(hint.find("usermod -aG dialout"), std::string::npos) << hint;
    EXPECT_NE(hint.find("log out and in again"), std::string::npos) << hint;
}

TEST(PortHints, RootOnlyDeviceNamesItsOwnerAndAUdevRuleOnALineOfItsOwn) {
    const std::string hint = PermissionHint(Access("root", "root", 0600, true, false));
    EXPECT_NE(hint.find("only its owner, root, may open it (its mode is 0600, and its group "
                        "'root' has no access)"),
              std::string::npos)
        << hint;
    EXPECT_EQ(hint.find("-aG root"), std::string::npos) << hint;
    EXPECT_EQ(hint.find("join it"), std::string::npos) << hint;
    // The rule stands alone, marked to be kept whole; its group is one to join.
    EXPECT_NE(hint.find(":\n\tKERNEL==\"ttyUSB0\", GROUP=\"dialout\", MODE=\"0660\"\n"),
              std::string::npos)
        << hint;
    EXPECT_TRUE(EndsWith(hint, "MODE=\"0660\"\n")) << hint;
    EXPECT_NE(hint.find("usermod -aG dialout"), std::string::npos) << hint;
}

TEST(PortHints, TheSuperusersGroupIsNeverOneToJoinEvenWithAccess) {
    const std::string hint = PermissionHint(Access("root", "root", 0660, true, false));
    EXPECT_EQ(hint.find("-aG root"), std::string::npos) << hint;
    EXPECT_NE(hint.find("only its owner, root"), std::string::npos) << hint;
}

TEST(PortHints, AGroupWithoutAccessGetsItFromTheRule) {
    const std::string hint = PermissionHint(Access("root", "dialout", 0640, false, false));
    EXPECT_EQ(hint.find("join it"), std::string::npos) << hint;
    EXPECT_NE(hint.find("its group 'dialout' has no access"), std::string::npos) << hint;
    EXPECT_NE(hint.find("GROUP=\"dialout\", MODE=\"0660\""), std::string::npos) << hint;
}

TEST(PortHints, AnOwnerShutOutGivesAccessBack) {
    const std::string hint = PermissionHint(Access("me", "me", 0, false, true));
    EXPECT_NE(hint.find("though it is yours: its mode 0000"), std::string::npos) << hint;
    EXPECT_NE(hint.find("chmod u+rw /dev/ttyUSB0"), std::string::npos) << hint;
}

TEST(PortHints, AComNameOnThisHostPointsToTheDevicePaths) {
    char text[1024];
    FormatPortNameHint(text, sizeof text, "COM3", "  /dev/ttyUSB0\n", 1);
    EXPECT_EQ(std::string(text),
              "Hint: COM3 is a port's name on Windows. Here give the serial device's path, "
              "such as /dev/ttyUSB0 for a USB adapter (the number 3 alone would open "
              "/dev/ttyS2). Serial ports found:\n  /dev/ttyUSB0\n");
    FormatPortNameHint(text, sizeof text, "usb", "", 0);
    EXPECT_EQ(std::string(text),
              "Hint: 'usb' is no port here. Give the serial device's path, such as "
              "/dev/ttyUSB0 for a USB adapter. No serial ports were found here.\n");
}

TEST(OptionHints, WhatReadsAsAnOption) {
    EXPECT_TRUE(ReadsAsOption("--retry"));
    EXPECT_TRUE(ReadsAsOption("-h"));
    EXPECT_FALSE(ReadsAsOption("-3"));
    EXPECT_FALSE(ReadsAsOption("-"));
    EXPECT_FALSE(ReadsAsOption("hello.hex"));
}

TEST(OptionHints, AnOptionAfterTheFileIsMovedBeforeIt) {
    char torvanex[] = "Torvanex", file[] = "hello.hex", retry[] = "--retry", two[] = "2",
         port[] = "/dev/ttyUSB0";
    char* argv[] = {torvanex, file, retry, two, port};
    EXPECT_EQ(OptionAfterFile(5, argv, 1), 2);
    EXPECT_EQ(OptionAfterFile(2, argv, 1), 0);
    EXPECT_EQ(OptionHint({"Torvanex", "hello.hex", "--retry", "2", "/dev/ttyUSB0"}, 1, 2),
              "Hint: options go before the file name, so '--retry' after 'hello.hex' was not "
              "read as one. In this order: Torvanex --retry 2 hello.hex /dev/ttyUSB0\n");
    // Options already in their place stay first; one after the port moves too.
    EXPECT_EQ(OptionHint({"Torvane", "--retry", "1", "a.hex", "3", "--from-line", "7"}, 3, 5),
              "Hint: options go before the file name, so '--from-line' after 'a.hex' was not "
              "read as one. In this order: Torvane --retry 1 --from-line 7 a.hex 3\n");
}

TEST(OptionHints, AnOptionTheProgramHasNotPointsToItsHelp) {
    EXPECT_EQ(OptionHint({"Ferrolt", "p.bas", "--retry", "2"}, 1, 2),
              "Hint: options go before the file name, so '--retry' after 'p.bas' was not read "
              "as one. For the options Ferrolt takes, run: Ferrolt --help\n");
}

TEST(PortFacts, WhatAPathNames) {
    TempDir dir;
    EXPECT_EQ(PathKind(dir.Write("f", "x").c_str()), kPathFile);
    EXPECT_EQ(PathKind(dir.path().c_str()), kPathFolder);
    EXPECT_EQ(PathKind("/dev/null"), kPathOther);
    EXPECT_EQ(PathKind((dir.path() + "/none").c_str()), kPathNone);
}

TEST(PortFacts, WhoMayOpenADevice) {
    TempDir dir;
    const std::string path = dir.Write("device", "");
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    DeviceAccess access{};
    ASSERT_EQ(ReadDeviceAccess(path.c_str(), &access), 0);
    EXPECT_EQ(access.mode, 0640u);
    EXPECT_TRUE(access.userOwns);
    EXPECT_NE(access.owner[0], '\0');
    EXPECT_NE(access.group[0], '\0');
    EXPECT_STREQ(access.kernelName, "device");
    EXPECT_EQ(ReadDeviceAccess((dir.path() + "/none").c_str(), &access), -1);
}
