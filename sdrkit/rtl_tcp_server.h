// A local rtl_tcp server for the tests, the benchmarks and the run command's
// demonstration: it listens on 127.0.0.1 (port 0 picks a free one), serves
// one client at a time as rtl_tcp does, greets it, and streams a BandSource
// at the rate and centre the client asks for, paced in real time or as fast
// as the client reads. It keeps the last client's settings, as the real one
// does. It logs every command it receives, and a test can wait for one.
//
// It also misbehaves on request: a wrong, short or odd greeting, garbage,
// a silent accept, a stall, a dropped connection, writes cut into chunks of
// given sizes, and noise as fast as the socket takes it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "band_source.h"

namespace sdrkit {

// How a client is greeted (takes effect with the next client).
enum class Greeting : uint8_t {
    Normal,        // "RTL0", tuner 5 (R820T), 29 gains
    WrongMagic,    // "RTL1", then the stream
    Short,         // the first 6 bytes of the greeting, then nothing
    HugeGainCount, // "RTL0", R820T, 2^32-1 gains, then the stream
    Garbage,       // random bytes from the first on
    Silent,        // accepts and says nothing
};

enum class Content : uint8_t {
    Band,  // the source, at the client's centre and rate
    Noise, // random bytes, cheap enough to flood the link
};

enum class Pacing : uint8_t {
    RealTime, // as a dongle delivers: 2 bytes per sample at the client's rate
    Fast,     // as fast as the client takes it
};

struct ReceivedCommand {
    uint8_t code;
    uint32_t value;
    uint32_t client; // which connection sent it, from 1
};

class RtlTcpServer {
public:
    static constexpr uint32_t TunerR820T = 5;
    static constexpr uint32_t R820TGainCount = 29;
    static constexpr uint32_t DefaultRate = 2048000;      // rtl_tcp's own
    static constexpr uint32_t DefaultCentre = 100000000; // rtl_tcp's own

    // `source` may be null: then Content::Band sends noise as well.
    explicit RtlTcpServer(BandSource *source = nullptr);
    // Closes the client and the listener, and waits for the thread.
    virtual ~RtlTcpServer();
    RtlTcpServer(const RtlTcpServer &) = delete;
    RtlTcpServer &operator=(const RtlTcpServer &) = delete;

    // Listens on 127.0.0.1:port (0: a free port) and starts serving.
    bool Start(uint16_t port = 0);
    void Stop();
    uint16_t Port() const;

    void SetGreeting(Greeting greeting);
    void SetContent(Content content);
    void SetPacing(Pacing pacing);
    // Each write is cut to the next of these sizes in turn; none: as much as the socket takes.
    void SetChunks(const std::vector<uint32_t> &sizes);
    // A stalled server sends nothing but keeps the connection and reads commands.
    void Stall(bool stalled);
    // Closes the client's connection; with `midPair`, after an odd byte count,
    // so that the stream ends between an I and its Q.
    void DropClient(bool midPair = false);

    // What it saw and did.
    uint32_t Clients() const; // connections accepted
    bool Connected() const;   // a client is being served
    uint64_t BytesSent() const;
    uint64_t ClientBytesSent() const; // to the present (or last) client
    uint32_t CentreHz() const;
    uint32_t RateHz() const;
    std::vector<ReceivedCommand> Commands() const;

    // Waits, up to `timeoutMs`, for a command with this code and value logged at `from` or
    // after; its place in the log goes to `at`.
    bool WaitForCommand(uint8_t code, uint32_t value, uint32_t timeoutMs, size_t from = 0, size_t *at = nullptr);
    bool WaitForCommandCount(size_t count, uint32_t timeoutMs);
    bool WaitForClients(uint32_t count, uint32_t timeoutMs);
    // Until no client is being served.
    bool WaitForNoClient(uint32_t timeoutMs);
    // Until the present client has been sent at least `bytes`.
    bool WaitForClientBytes(uint64_t bytes, uint32_t timeoutMs);

private:
    struct State;
    State *state;
};

} // namespace sdrkit
