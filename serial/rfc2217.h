// Telnet with the COM-PORT-OPTION (RFC 2217), as an rfc2217:// port speaks
// it: the opening that asks for binary mode both ways and the option, the
// line settings, the purge of the server's receive buffer, and the bytes in
// both directions (0xFF doubled on the way out, commands taken out of what
// comes in). Pure: the caller sends what these write.
#pragma once

#include <cstddef>
#include <cstdint>

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

// Takes in `count` bytes from the server: the data bytes among them go to
// `data` (at most `count`), the answers the server's negotiation calls for
// (refusals of options not needed) to `reply` (at least 3 * count bytes),
// their count in *replyLength. Commands may be split across calls.
// Returns the number of data bytes.
std::size_t TakeRfc2217(Rfc2217* state, const unsigned char* bytes, std::size_t count,
                        unsigned char* data, unsigned char* reply, std::size_t* replyLength);
