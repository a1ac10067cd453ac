// The test support's own helpers: the port line each program prints, texts
// with marks filled in, and the program rows.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/e2e.h"
#include "tests/support/e2e_host.h"
#include "tests/support/programs.h"

TEST(Support, ReportedPortReadsEveryProgramsPortLine) {
    EXPECT_EQ(ReportedPort("FILE: 'p.hex'\nSerial Port /dev/pts/7 open at 9600 Baud\n"),
              "/dev/pts/7");
    EXPECT_EQ(ReportedPort("FILE: 'p.hex'\nCom Port(1) //./COM101 open at 9600 baud.\n"),
              "//./COM101");
    EXPECT_EQ(ReportedPort("Z80 Basic Loader  FILE: 'p.bas'  PORT: COM3\r\nCom Port COM3 open"),
              "COM3");
    EXPECT_EQ(ReportedPort("Z80 System Loader\nFILE: 'p.hex'\nOpenCom (1) failed with error 2.\n"),
              "");
}

TEST(Support, FilledReplacesEveryMarkOnce) {
    EXPECT_EQ(Filled("{a}-{b}-{a}", {{"{a}", "x{a}"}, {"{b}", ""}}), "x{a}--x{a}");
    EXPECT_EQ(Filled("none", {{"{a}", "x"}}), "none");
}

TEST(Support, SmallTextHelpers) {
    EXPECT_TRUE(EndsWith("Done\r\n", "\r\n"));
    EXPECT_TRUE(EndsWith("Done", ""));
    EXPECT_FALSE(EndsWith("\n", "Done\n"));
    EXPECT_TRUE(HoldsMatch("failed with error 16.\n", "error 1[0-9]\\.\n$"));
    EXPECT_FALSE(HoldsMatch("failed with error 2.\n", "error 1[0-9]"));
    EXPECT_EQ(Hex4(0x2F), "002F");
    EXPECT_EQ(ForHost(Host::Wine, "a\nb"), "a\r\nb");
    EXPECT_EQ(ForHost(Host::Native, "a\nb"), "a\nb");
}

TEST(Support, ProgramRowsNameEachProgramOnce) {
    ASSERT_EQ(ProgramRows().size(), 4u);
    EXPECT_EQ(ProgramNamed("Quilmark").job, Job::kSave);
    EXPECT_EQ(WindowsProgramRows().size(), 3u);
    EXPECT_EQ(OpenFailure(ProgramNamed("Torvanex"), "/dev/x", 2),
              "OpenCom(/dev/x) failed with error 2.\n");
    EXPECT_EQ(OpenFailure(ProgramNamed("Ferrolt"), "/dev/x", 13),
              "OpenCom failed with error 13.\n");
    EXPECT_EQ(RecordLineOf(ProgramNamed("Torvanex"), ":0300300002337A1E", "*"),
              "Len:3 Type:0 0300300002337A1E*\r\n");
    EXPECT_EQ(RecordLineOf(ProgramNamed("Torvane"), ":00000001FF", " ERROR! No Verdict"),
              "Len:0 Type:1 :00000001FF ERROR! No Verdict\n");
}
