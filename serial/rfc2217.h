// Telnet with the COM-PORT-OPTION (RFC 2217), as an rfc2217:// port speaks
// it: the opening that asks for binary mode both ways and the option, the
// line settings, the purge of the server's receive buffer, and the bytes in
// both directions (0xFF doubled on the way out, commands taken out of what
// comes in). Pure: the caller sends what these write.
#pragma once

#include <cstddef>
#include <cstdint>

// The line settings whose acknowledgements are compared with what was asked
// (DTR is not: a device without modem lines may answer anything).
enum Rfc2217Setting {
    kRfc2217Baud,
    kRfc2217DataSize,
    kRfc2217Parity,
    kRfc2217StopSize,
    kRfc2217Flow,
    kRfc2217Checked,  // how many there are
};

// What the server has said so far, and where its current command stands.
struct Rfc2217 {
    int phase = 0;                   // inside a command: how far (see rfc2217.cpp)
    unsigned char verb = 0;          // WILL, WONT, DO or DONT awaiting its option
    unsigned char sub[12] = {};      // the subnegotiation being read (the rest is dropped)
    std::size_t subLength = 0;       // ... its bytes so far
    bool comPortAgreed = false;      // the server said DO COM-PORT-OPTION
    bool comPortRefused = false;     // ... or DONT
    int settingsAnswered = 0;        // line settings the server acknowledged
    unsigned char refused[64] = {};  // options already refused: 256 bits for DO, 256 for WILL
    // The value each checked setting was acknowledged with, -1 until it is.
    int64_t acknowledged[kRfc2217Checked] = {-1, -1, -1, -1, -1};
};

// The line settings Rfc2217LineSettings asks for, each acknowledged alone.
constexpr int kRfc2217Settings = 6;

// Writes the opening into `out` (at least 9 bytes): WILL and DO BINARY, WILL
// COM-PORT-OPTION. Returns the count.
std::size_t Rfc2217Opening(unsigned char* out);

// Writes the line settings into `out` (at least 96 bytes): `baud`, 8 data
// bits, no parity, 2 stop bits, no flow control, DTR off. Returns the count.
std::size_t Rfc2217LineSettings(uint32_t baud, unsigned char* out);

// Writes the request to purge the server's receive buffer into `out` (at
// least 7 bytes). Returns the count.
std::size_t Rfc2217Purge(unsigned char* out);

// Writes `count` data bytes into `out` (at least 2 * count bytes) with every
// 0xFF doubled. Returns the count written.
std::size_t EscapeRfc2217(const unsigned char* bytes, std::size_t count, unsigned char* out);

// Into `text` (`size` bytes, terminated) the first setting `state` holds
// acknowledged with another value than Rfc2217LineSettings(`baud`) asked
// for, as "the parity at even (none was asked for)". Returns that setting,
// or kRfc2217Checked (text empty) when every acknowledged one is as asked.
int Rfc2217SettingKept(const Rfc2217& state, uint32_t baud, char* text, std::size_t size);

// True when `bytes` (`count` of them, from a raw TCP port) hold a telnet
// negotiation: IAC and then WILL, WONT, DO, DONT or SB. *afterIac carries a
// trailing IAC from one call to the next (false at the start).
bool SpotTelnetNegotiation(const unsigned char* bytes, std::size_t count, bool* afterIac);

// Takes in `count` bytes from the server: the data bytes among them go to
// `data` (at most `count`), the answers the server's negotiation calls for
// (refusals of options not needed) to `reply` (at least 3 * count bytes),
// their count in *replyLength. Commands may be split across calls.
// Returns the number of data bytes.
std::size_t TakeRfc2217(Rfc2217* state, const unsigned char* bytes, std::size_t count,
                        unsigned char* data, unsigned char* reply, std::size_t* replyLength);
