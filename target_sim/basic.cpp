// BASIC: "B" starts the interpreter, which asks for the memory top; a CR
// answers it and the interpreter says "Ok". Program text is echoed character
// by character (0x20..0x7F); a CR ends a program line, which is stored.
#include "target_sim/monitor.h"

void Monitor::StartBasic() {
    mode_ = Mode::BasicPrompt;
    if (FaultAt("basic")) {
        return;
    }
    if (config_.silentBasicStart) {
        link_.event("basic start ignored");
        return;
    }
    link_.event("basic start");
    Answer(config_.basicBanner);
}

void Monitor::OnBasicByte(unsigned char byte) {
    if (mode_ == Mode::BasicPrompt) {
        if (byte != '\r') {
            return;
        }
        mode_ = Mode::Basic;
        if (config_.silentBasicReady) {
            link_.event("basic ready ignored");
            return;
        }
        link_.event("basic ready");
        Answer(config_.basicReady);
        return;
    }
    if (byte == '\r') {
        if (!basicLine_.empty()) {
            link_.event("basic line " + basicLine_);
        }
        basicLine_.clear();
        Answer("\r\n");
        return;
    }
    if (byte == '\n') {
        return;
    }
    basicLine_ += static_cast<char>(byte);
    if (byte < 0x20 || byte > 0x7F) {
        return;  // control characters and bytes from 0x80 up are not echoed
    }
    const int number = ++echoNumber_;
    if (FaultAt("echo:" + std::to_string(number))) {
        return;
    }
    if (config_.echoDrop.count(number) != 0) {
        link_.event("echo " + std::to_string(number) + " dropped");
        return;
    }
    auto chosen = config_.echoReplace.find(number);
    Answer(chosen != config_.echoReplace.end() ? chosen->second
                                               : std::string(1, static_cast<char>(byte)));
}
