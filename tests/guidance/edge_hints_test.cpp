// Hints at the edges of the command line, on their own.
#include <gtest/gtest.h>

#include "guidance/hints.h"

// A port with dots in its address is not the end of a name split at spaces.
TEST(EdgeHints, APortIsNoPartOfASplitName) {
    char file[] = "hellofile", net[] = "tcp://127.0.0.1:7050", dev[] = "/dev/tty.usb",
         rfc[] = "rfc2217://board.local:3001";
    char* network[] = {file, net};
    EXPECT_EQ(SplitNameWords(2, network, 0), 0);
    char* device[] = {file, dev};
    EXPECT_EQ(SplitNameWords(2, device, 0), 0);
    char* rfc2217[] = {file, rfc};
    EXPECT_EQ(SplitNameWords(2, rfc2217, 0), 0);
    char my[] = "my", prog[] = "prog.hex";
    char* split[] = {my, prog, net};
    EXPECT_EQ(SplitNameWords(3, split, 0), 2);
}
