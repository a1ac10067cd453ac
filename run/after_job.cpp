#include "run/after_job.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "guidance/guidance.h"
#include "hexrec/hexrec.h"
#include "host/keyboard.h"
#include "host/stop_signal.h"
#include "run/arguments.h"

namespace {

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// What the board sent, shown as it comes; a lost standard output costs only
// the copy.
void ShowBoardByte(unsigned char byte) {
    std::fputc(byte, stdout);
    std::fflush(stdout);
}

// Sends `text`, its escapes decoded (checked when it was taken), a
// character at a time with the pause a person's typing leaves a monitor.
void SendText(ComPort port, const char* text) {
    char bytes[kMaxSendBytes];
    const long length = DecodeEscapes(text, bytes, sizeof bytes);
    for (long i = 0; i < length; ++i) {
        WriteComBytes(port, bytes + i, 1);
        PauseMs(kSendCharPauseMs);
    }
}

// The console handed to the board until Ctrl-]: keys go out as typed, what
// the board sends appears as it comes. Returns kDone, kStopped or kPortLost.
Outcome RunTerminal(ComPort port) {
    if (StartKeyboard() != 0) {
        WriteGuidance("The console could not be handed to the board.\n");
        return Outcome::kDone;
    }
    WriteGuidance("Terminal on the board: type to it; Ctrl-] leaves.\n");
    Outcome outcome = Outcome::kDone;
    for (;;) {
        if (StopSignal() != 0) {
            outcome = Outcome::kStopped;
            break;
        }
        const unsigned char byte = WaitForComByte(port, 5);
        if (byte != 0) {
            ShowBoardByte(byte);
            continue;
        }
        if (ComPortGone(port)) {
            outcome = Outcome::kPortLost;
            break;
        }
        const int key = ReadKey(5);
        if (key == kLeaveTerminalKey || key == -2) {
            break;
        }
        if (key >= 0) {
            const char sent = static_cast<char>(key);
            WriteComBytes(port, &sent, 1);
        }
    }
    EndKeyboard();
    return outcome;
}

}  // namespace

bool WantsAfterJob(const AfterJob& job) {
    return job.sendCount > 0 || job.expect != nullptr || job.terminal;
}

long DecodeEscapes(const char* text, char* bytes, std::size_t size) {
    std::size_t length = 0;
    for (const char* at = text; *at != '\0'; ++at) {
        char byte = *at;
        if (byte == '\\') {
            ++at;
            switch (*at) {
                case 'r':
                    byte = '\r';
                    break;
                case 'n':
                    byte = '\n';
                    break;
                case 't':
                    byte = '\t';
                    break;
                case '\\':
                    byte = '\\';
                    break;
                case 'x': {
                    if (!IsHexDigit(at[1]) || !IsHexDigit(at[2])) {
                        return -1;
                    }
                    byte = static_cast<char>(HexStrToByte(at + 1));
                    at += 2;
                    break;
                }
                default:
                    return -1;  // an unknown escape, or a '\' at the end
            }
        }
        if (length == size) {
            return -1;
        }
        bytes[length++] = byte;
    }
    return static_cast<long>(length);
}

int TakeAfterJobOptions(int* argc, char* argv[], unsigned takes, AfterJob* job) {
    int kept = 1;
    bool run = false;
    for (int at = 1; at < *argc; ++at) {
        const char* option = argv[at];
        const bool send = std::strcmp(option, "--send") == 0;
        const bool expect = std::strcmp(option, "--expect") == 0;
        const bool timeout = std::strcmp(option, "--timeout") == 0;
        const bool address =
            (takes & kTakesLoadAddress) != 0 && std::strcmp(option, "--load-address") == 0;
        if ((takes & kTakesRun) != 0 && std::strcmp(option, "--run") == 0) {
            run = true;
            continue;
        }
        if (std::strcmp(option, "--terminal") == 0) {
            if (!KeysAreTyped()) {
                std::printf("\n ERROR! --terminal needs a terminal: standard input is not one\n");
                return -1;
            }
            job->terminal = true;
            continue;
        }
        if (!send && !expect && !timeout && !address) {
            argv[kept++] = argv[at];
            continue;
        }
        if (at + 1 >= *argc) {
            std::printf("\n ERROR! %s needs a value after it\n", option);
            return -1;
        }
        const char* value = argv[++at];
        char bytes[kMaxSendBytes];
        if (timeout) {
            const long seconds = OptionValue(value, kMaxExpectSeconds);
            if (seconds < 1) {
                std::printf("\n ERROR! Bad --timeout value '%s' (give 1 to %d seconds)\n", value,
                            kMaxExpectSeconds);
                return -1;
            }
            job->timeoutSeconds = static_cast<int>(seconds);
        } else if (address) {
            job->loadAddress = value;  // checked with the file, whose status a bad one gives
        } else if (DecodeEscapes(value, bytes, sizeof bytes) < (expect ? 1 : 0)) {
            std::printf(
                "\n ERROR! Bad %s text '%s' (1 to %zu bytes; escapes \\r \\n \\t \\\\ \\xHH)\n",
                option, value, kMaxSendBytes);
            return -1;
        } else if (expect) {
            job->expect = value;
        } else if (job->sendCount == kMaxSends) {
            std::printf("\n ERROR! --send given more than %d times\n", kMaxSends);
            return -1;
        } else {
            job->sends[job->sendCount++] = value;
        }
    }
    if (run) {
        if (job->sendCount == kMaxSends) {
            std::printf("\n ERROR! --send given more than %d times\n", kMaxSends - 1);
            return -1;
        }
        std::copy_backward(job->sends.begin(), job->sends.begin() + job->sendCount,
                           job->sends.begin() + job->sendCount + 1);
        job->sends[0] = "RUN\\r";
        ++job->sendCount;
    }
    if (kept < *argc) {
        argv[kept] = nullptr;  // as main's own list ends
    }
    *argc = kept;
    return 0;
}

Outcome AwaitText(ComPort port, const char* text, std::size_t length, int32_t timeoutMs) {
    // The last `length` bytes that came, oldest first.
    char window[kMaxSendBytes];
    std::size_t held = 0;
    const int64_t deadline = NowMs() + timeoutMs;
    for (;;) {
        if (StopSignal() != 0) {
            return Outcome::kStopped;
        }
        const int64_t left = deadline - NowMs();
        if (left <= 0) {
            return Outcome::kNotSeen;
        }
        const unsigned char byte =
            WaitForComByte(port, static_cast<int32_t>(left < 100 ? left : 100));
        if (byte == 0) {
            if (ComPortGone(port)) {
                return Outcome::kPortLost;
            }
            continue;
        }
        ShowBoardByte(byte);
        if (held == length) {
            std::memmove(window, window + 1, length - 1);
            --held;
        }
        window[held++] = static_cast<char>(byte);
        if (held == length && std::memcmp(window, text, length) == 0) {
            return Outcome::kDone;
        }
    }
}

Outcome RunAfterJob(ComPort port, const AfterJob& job) {
    for (int i = 0; i < job.sendCount; ++i) {
        SendText(port, job.sends[i]);
    }
    if (job.expect != nullptr) {
        char text[kMaxSendBytes];
        const long length = DecodeEscapes(job.expect, text, sizeof text);
        const Outcome awaited =
            AwaitText(port, text, static_cast<std::size_t>(length), job.timeoutSeconds * 1000);
        if (awaited == Outcome::kNotSeen) {
            // Standard error starts a line of its own after what the board sent.
            NoteTranscriptLineOpen();
            char reason[kMaxSendBytes + 128];
            std::snprintf(reason, sizeof reason, "Expected '%s' did not come within %d s.\n",
                          job.expect, job.timeoutSeconds);
            WriteGuidance(reason);
        }
        if (awaited != Outcome::kDone) {
            return awaited;
        }
    }
    return job.terminal ? RunTerminal(port) : Outcome::kDone;
}
