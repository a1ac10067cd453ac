// Waiting for a state that no event announces: in tests, and for ser2net's ports.
#pragma once

#include <chrono>
#include <thread>

// Checks `holds` every millisecond until it is true or `timeoutMs`
// milliseconds passed; returns whether it came true. For states no event
// announces (bytes queued at a terminal, a thread asleep in a call), so a
// test waits for the state itself instead of sleeping and hoping.
template <typename Check>
bool AwaitState(Check holds, int timeoutMs) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!holds()) {
        if (std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}
