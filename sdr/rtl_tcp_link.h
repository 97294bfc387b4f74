// The rtl_tcp client: a thread of the receiver's own connects to the server,
// checks its greeting, sends the whole state on every connect (the server
// keeps the last client's settings), sends each new centre frequency at
// once, and reads the I/Q stream into the ring, pairs kept whole across
// reads of any length. A refused connection or greeting, a closed socket or
// a stream quiet for a second is a lost link; it tries again a second later.
//
// The caller (the radio's window) never waits: Configure, SetWanted and
// SetCentre store a wish and wake the thread; everything else reads words
// the thread published. Host names are resolved on the thread.
//
// Everything from the network is untrusted: the greeting's counts are only
// reported, never used to size or index anything, and every buffer is
// allocated once, when the link is made.
#pragma once

#include <cstddef>
#include <cstdint>

#include "iq_ring.h"

namespace sdr {

enum class LinkState : uint32_t {
    Off,        // not wanted: no socket
    Connecting, // resolving, connecting, or waiting for the greeting
    Up,         // greeting accepted and the state sent: samples flow into the ring
    Lost,       // the last try failed or the stream ended; the next comes a second after
};

// Why the link was last lost.
enum class LinkLoss : uint32_t {
    None,
    Unresolved,  // the host name is unknown
    Unreachable, // the connection was refused or timed out
    NoGreeting,  // connected, but 12 bytes did not arrive within a second
    BadGreeting, // not rtl_tcp's "RTL0"
    Closed,      // the server closed the connection
    Stalled,     // no byte for a second
    Failed,      // a socket error, or the server stopped taking our commands
};

// Where a centre frequency took effect in the stream, as far as the client
// can tell: the pairs the ring received from `position` on came after the
// command went out (the server may still send a few old ones).
struct RetuneMark {
    uint32_t serial = 0;   // counts the frequency commands sent, from 1 (each connect sends one)
    uint32_t centreHz = 0;
    uint64_t position = 0; // the ring's total of pairs written at that moment
};

class RtlTcpLink {
public:
    static constexpr uint16_t DefaultPort = 1234;
    static constexpr size_t HostCapacity = 256; // with the terminating NUL
    // rtl_tcp sends a block every 109 ms at the dongle's rate: six missed
    // blocks are a lost link, so the radio shows it within a second. A retry
    // twice a second finds a server back within the radio's two seconds.
    static constexpr uint32_t SilenceMs = 700; // a link quiet this long is lost
    static constexpr uint32_t RetryMs = 500;   // from a loss to the next try
    static constexpr uint32_t ConnectMs = 3000; // the most a connection may take to be accepted

    // Allocates the ring and every buffer; the thread starts with Start().
    explicit RtlTcpLink(size_t ringPairs = IqRing::DefaultPairs);
    // Does not wait: the thread closes its socket and ends by itself, and
    // frees what the link shares with it then.
    virtual ~RtlTcpLink();
    RtlTcpLink(const RtlTcpLink &) = delete;
    RtlTcpLink &operator=(const RtlTcpLink &) = delete;

    // Starts the thread (once); false when the buffers or the thread could not be had.
    bool Start();
    // The samples, for the signal thread; nullptr when the buffers could not be had.
    IqRing *Ring();

    // The wishes. A new host or port reconnects; a new rate, gain or
    // correction is sent at once. gainTenthsDb 0 = the tuner's automatic gain.
    void Configure(const char *host, uint16_t port, uint32_t sampleRate, int32_t gainTenthsDb, int32_t ppm);
    // Off closes the socket at once, which frees the one-client server.
    void SetWanted(bool wanted);
    // The dongle's centre frequency, in Hz.
    void SetCentre(uint32_t hz);

    // What the thread published.
    LinkState State() const;
    // Up, and samples arrived within the last second.
    bool Live() const;
    LinkLoss LastLoss() const;
    RetuneMark LastRetune() const;
    uint32_t Attempts() const; // connections tried
    uint32_t Connects() const; // greetings accepted
    uint32_t Losses() const;
    uint64_t BytesReceived() const;
    uint64_t PairsDropped() const; // by a full ring
    // From the last greeting accepted: reported, never trusted.
    uint32_t TunerType() const;
    uint32_t GainCount() const;

private:
    struct Core;
    Core *core;
};

} // namespace sdr
