#include "guidance/link_hints.h"

#include "guidance/net_hints.h"
#include "guidance/port_hints.h"
#include "serial/answer_timing.h"
#include "serial/net_port.h"

void HintNetOpenFailure(const char* portName) {
    if (HintNetLineFailure(portName)) {
        return;
    }
    std::fflush(stdout);
    std::fprintf(stderr, "Hint: %s did not open: %s.", portName, NetOpenFailure());
    switch (NetOpenFailureKind()) {
        case NetFailureKind::kNoResolve:
            std::fprintf(stderr,
                         " Check the machine's name, or give its address (an IPv6 address in "
                         "brackets, as in tcp://[::1]:3001).\n");
            break;
        case NetFailureKind::kNoConnection:
            std::fprintf(stderr,
                         " Is the serial-port server (ser2net, say) running on that machine, "
                         "and is the port number the one it listens on for this board?\n");
            break;
        default:
            std::fprintf(stderr, "\n");
            break;
    }
}

void HintSlowAnswers() {
    static bool hinted = false;
    int64_t quartileUs = 0;
    if (hinted || !AnswersCameSlowly(&quartileUs)) {
        return;
    }
    hinted = true;
    static char text[2048];
    const int length = std::snprintf(
        text, sizeof text,
        "Hint: the board's answers came back slowly: three in four of the first came %.1f ms or "
        "more later than the line needs, a delay each answer waits out. ",
        static_cast<double>(quartileUs) / 1000.0);
    const std::size_t at = length > 0 ? static_cast<std::size_t>(length) : 0;
    if (NetPortKind(TimedPortName()) == NetKind::kNone) {
        FormatAdapterLatencyAdvice(text + at, sizeof text - at, TimedPortName());
    } else {
        std::snprintf(text + at, sizeof text - at,
                      "Over the network each answer also waits for the server and the network: "
                      "give the connection 'chardelay: false' in ser2net's configuration (else "
                      "it holds each character from the board for about two characters' time), "
                      "and set the latency timer of the adapter on that machine to 1 ms; beyond "
                      "that, run the program on the machine beside the board.\n");
    }
    // Wrapped like the other hints, on a line of its own, the rule kept whole.
    WriteHintKeepingLines(text);
}
