// The serial link's calls, each handed to the operations of the kind of
// port it is made on, chosen once when the port opens (port_ops.h).
#include "serial/serial_link.h"

#include <cerrno>

#include "serial/answer_timing.h"
#include "serial/net_port.h"
#include "serial/port_ops.h"

namespace {

// The ports open now and the operations of each: a program holds one, a
// test a few. An empty slot has no operations.
struct OpenPort {
    ComPort port;
    const PortOps* ops;
};
constexpr int kMostOpen = 8;
OpenPort openPorts[kMostOpen];

OpenPort* SlotOf(ComPort port) {
    for (OpenPort& open : openPorts) {
        if (open.ops != nullptr && open.port == port) {
            return &open;
        }
    }
    return nullptr;
}

const PortOps& OpsOf(ComPort port) {
    const OpenPort* open = SlotOf(port);
    return open != nullptr ? *open->ops : kDevicePortOps;
}

}  // namespace

ComPort OpenCom(const char* name, int32_t baud, int32_t* comError) {
    const PortOps& ops = NetPortKind(name) != NetKind::kNone ? kNetPortOps : kDevicePortOps;
    const ComPort port = ops.open(name, baud, comError);
    if (port == kInvalidComPort) {
        return port;
    }
    OpenPort* slot = SlotOf(port);  // a number reused from a port closed otherwise
    for (int i = 0; i < kMostOpen && slot == nullptr; ++i) {
        slot = openPorts[i].ops == nullptr ? &openPorts[i] : nullptr;
    }
    if (slot == nullptr) {
        ops.close(port);
        errno = kTooManyPortsError;
        if (comError != nullptr) {
            *comError = kTooManyPortsError;
        }
        return kInvalidComPort;
    }
    slot->port = port;
    slot->ops = &ops;
    AskForFineTiming();
    StartAnswerTiming(name);
    return port;
}

unsigned char WaitForComByte(ComPort port, int32_t timeoutMs) {
    return OpsOf(port).waitForByte(port, timeoutMs);
}

bool ComPortGone(ComPort port) {
    return OpsOf(port).gone(port);
}

void WriteComBytes(ComPort port, const void* bytes, std::size_t count) {
    OpsOf(port).write(port, bytes, count);
}

void FlushComInput(ComPort port) {
    OpsOf(port).flushInput(port);
}

void CloseCom(ComPort port) {
    OpenPort* open = SlotOf(port);
    OpsOf(port).close(port);
    if (open != nullptr) {
        open->ops = nullptr;
    }
}

void AbandonCom(ComPort port) {
    OpsOf(port).abandon(port);
}
