// The simulated target's monitor driven byte by byte, without a port: what
// it answers, what it stores, and the faults it plays where asked.
#include "target_sim/monitor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A monitor whose answers and events are collected here.
class MonitorRig {
  public:
    explicit MonitorRig(const SimConfig& config = SimConfig())
        : config_(config), monitor_(config_, Link()) {}

    // Feeds `bytes` one at a time; returns what the monitor answered to them.
    std::string Feed(const std::string& bytes) {
        sent_.clear();
        for (char c : bytes) {
            monitor_.OnByte(static_cast<unsigned char>(c), nowMs_);
        }
        return sent_;
    }

    Monitor& monitor() {
        return monitor_;
    }
    const std::vector<std::string>& events() const {
        return events_;
    }
    bool hungUp() const {
        return hungUp_;
    }

  private:
    SimLink Link() {
        SimLink link;
        link.send = [this](const std::string& text) { sent_ += text; };
        link.splitSend = [this](const std::string& text) { sent_ += text; };
        link.event = [this](const std::string& text) { events_.push_back(text); };
        link.hangUp = [this] { hungUp_ = true; };
        return link;
    }

    SimConfig config_;
    std::string sent_;
    std::vector<std::string> events_;
    bool hungUp_ = false;
    int64_t nowMs_ = 1000;
    Monitor monitor_;
};

}  // namespace

TEST(Monitor, WakesWithItsPromptAndStoresARecordItAccepts) {
    MonitorRig rig;
    EXPECT_NE(rig.Feed("@").find("$$$"), std::string::npos);
    EXPECT_EQ(rig.Feed(":0380000001020377"), "*");
    EXPECT_EQ(rig.monitor().memory[0x8000], 0x01);
    EXPECT_EQ(rig.monitor().memory[0x8002], 0x03);
    EXPECT_EQ(rig.Feed(":0380000001020378"), "E");  // checksum off by one
    EXPECT_EQ(rig.Feed(":03800G"), "?");            // not a hex digit
    EXPECT_EQ(rig.events().back(), "record 3 malformed");
}

TEST(Monitor, DumpsSixteenBytesWithTheirChecksum) {
    MonitorRig rig;
    rig.monitor().memory[0x8000] = 0xAB;
    EXPECT_EQ(rig.Feed(";"), ">");
    EXPECT_EQ(rig.Feed("108000"), "=AB000000000000000000000000000000C5\r\n");
    EXPECT_EQ(rig.Feed(";10XY00"), ">?");
}

TEST(Monitor, BasicAsksForTheMemoryTopThenEchoesTheProgram) {
    MonitorRig rig;
    EXPECT_NE(rig.Feed("B").find("top?"), std::string::npos);
    EXPECT_NE(rig.Feed("\r").find("Ok"), std::string::npos);
    EXPECT_EQ(rig.Feed("10 END"), "10 END");
    EXPECT_EQ(rig.Feed("\r"), "\r\n");
    EXPECT_EQ(rig.events().back(), "basic line 10 END");
}

TEST(Monitor, PlaysTheFaultsItIsGiven) {
    SimConfig config;
    config.hangUpAt = "record:2";
    config.recordAnswers[1] = "E";
    MonitorRig rig(config);
    EXPECT_EQ(rig.Feed(":0380000001020377"), "E");  // stored all the same
    EXPECT_EQ(rig.monitor().memory[0x8001], 0x02);
    EXPECT_EQ(rig.Feed(":0380000001020377"), "");
    EXPECT_TRUE(rig.hungUp());

    SimConfig talking;
    talking.chatterAt = "wake";
    MonitorRig chatter(talking);
    EXPECT_EQ(chatter.Feed("@"), "");
    EXPECT_TRUE(chatter.monitor().Chattering());
}
