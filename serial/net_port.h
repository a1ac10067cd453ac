// Network ports: a board behind a serial-port server, reached as
// "tcp://HOST:PORT" (raw TCP, the server's line already set to 9600 8N2) or
// "rfc2217://HOST:PORT" (telnet with the COM-PORT-OPTION, which sets the
// line). HOST is a name, an IPv4 address or "[IPv6]". OpenCom takes these
// names as it takes a device, and the other serial link operations serve
// the port they open.
#pragma once

#include <cstddef>

enum class NetKind {
    kNone,     // not a network port: a device path or a COM name
    kRawTcp,   // tcp://
    kRfc2217,  // rfc2217://
};

// A network port's name fits this many bytes, with its terminator, on every
// host (the Windows programs' 12-byte COM names do not bind it).
constexpr std::size_t kNetPortNameSize = 80;

// The kind of port `name` names, by its scheme (either case).
NetKind NetPortKind(const char* name);

// Splits a network port's name into its host (without the brackets of an
// IPv6 address) and its port number as text, into `host` and `service` (of
// `hostSize` and `serviceSize` bytes). Returns 0, or -1 when `name` is not
// a network port, has no host, holds a port that is not a number from 1 to
// 65535, or does not fit; the outputs are then unspecified.
int SplitNetPortName(const char* name, char* host, std::size_t hostSize, char* service,
                     std::size_t serviceSize);

// Why the last network port did not open, in words that name the address
// and the system's reason ("" before any failure), and what kind of failure
// it was.
const char* NetOpenFailure();
enum class NetFailureKind {
    kNone,
    kBadName,       // not tcp://HOST:PORT or rfc2217://HOST:PORT
    kNoResolve,     // HOST does not resolve
    kNoConnection,  // refused, unreachable, or no answer in time
    kStopped,       // a stop came during the lookup, the connect or the negotiation
    kNotRfc2217,    // rfc2217:// at a server that did not answer the COM-PORT-OPTION
    kClosed,        // the server closed the connection during the negotiation
    kSettingKept,   // the server acknowledged a line setting other than asked
};
NetFailureKind NetOpenFailureKind();

// The "HOST:PORT" of the last network port opened or tried ("" before one).
const char* NetPortAddress();

// Has network ports look at `stopRequested` (nonzero: a stop came) while
// they connect, negotiate and flush; nullptr, the start, looks at nothing
// (on POSIX a caught signal still ends those waits).
void SetNetStopCheck(int (*stopRequested)());

// True when bytes that came on the open tcp:// port held a telnet
// negotiation (IAC and WILL, WONT, DO, DONT or SB): a telnet server, which
// rfc2217:// is the form for.
bool NetPortSpokeTelnet();
