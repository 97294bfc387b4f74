#include "rtl_tcp_link.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <mstcpip.h>
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <type_traits>

#include "sdr_rates.h"

namespace sdr {

namespace {

// rtl_tcp's commands: one byte, then a 32-bit parameter, big-endian.
enum Command : uint8_t {
    SetFrequency = 0x01,
    SetSampleRate = 0x02,
    SetGainMode = 0x03,
    SetGain = 0x04,
    SetFrequencyCorrection = 0x05,
    SetRtlAgc = 0x08,
    SetDirectSampling = 0x09,
    SetBiasTee = 0x0E,
};
constexpr size_t CommandBytes = 5;
constexpr size_t GreetingBytes = 12; // "RTL0", tuner type, gain count
constexpr uint8_t Magic[4] = {'R', 'T', 'L', '0'};

constexpr int ReadBytes = 128 * 1024;
// Samples are read this far apart, a few packets at a time: each wake-up
// costs (under Wine some 100 us), and 20 ms is well within the sound's
// allowance of latency.
constexpr DWORD ReadPeriodMs = 20;
// Commands the server has not taken yet. It takes them as they come, so
// this only fills when it stops reading: then the link is given up.
constexpr size_t PendingBytes = 32 * CommandBytes;
// The socket's own buffer: about 0.4 s at 1.2 MS/s, for a slow moment of the thread.
constexpr int SocketBufferBytes = 1 << 20;
// TCP keep-alive, for a link that went half-open without a word.
constexpr ULONG KeepAliveIdleMs = 5000;
constexpr ULONG KeepAliveIntervalMs = 1000;
constexpr uint32_t DefaultCentreHz = 100000000; // rtl_tcp's own, until the radio says

struct LinkSettings {
    char host[RtlTcpLink::HostCapacity];
    uint16_t port;
    uint32_t sampleRate;
    int32_t gainTenthsDb;
    int32_t ppm;
};

bool same_server(const LinkSettings &a, const LinkSettings &b)
{
    return a.port == b.port && std::strcmp(a.host, b.host) == 0;
}

// A value of several words that one thread stores and others load without
// either waiting on a lock: a sequence number, odd while a store is under
// way, tells a reader to load again.
template <typename T>
class SeqBox {
    static_assert(std::is_trivially_copyable<T>::value, "copied as words");
    static constexpr size_t Words = (sizeof(T) + 3) / 4;

public:
    SeqBox() : sequence(0)
    {
        for (auto &word : words)
            word.store(0, std::memory_order_relaxed);
    }
    void Store(const T &value)
    {
        uint32_t copy[Words] = {};
        std::memcpy(copy, &value, sizeof(T));
        const uint32_t at = sequence.load(std::memory_order_relaxed);
        sequence.store(at + 1, std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_release);
        for (size_t i = 0; i < Words; ++i)
            words[i].store(copy[i], std::memory_order_relaxed);
        sequence.store(at + 2, std::memory_order_release);
    }
    T Load() const
    {
        uint32_t copy[Words];
        for (;;) {
            const uint32_t before = sequence.load(std::memory_order_acquire);
            if ((before & 1) == 0) {
                for (size_t i = 0; i < Words; ++i)
                    copy[i] = words[i].load(std::memory_order_relaxed);
                std::atomic_thread_fence(std::memory_order_acquire);
                if (sequence.load(std::memory_order_relaxed) == before)
                    break;
            }
            // The writer is between its two steps: let it finish.
            SwitchToThread();
        }
        T value;
        std::memcpy(&value, copy, sizeof(T));
        return value;
    }

private:
    std::atomic<uint32_t> sequence;
    std::atomic<uint32_t> words[Words];
};

// Milliseconds from `then` to now, on the tick counter (which wraps).
uint32_t since(uint32_t then)
{
    return GetTickCount() - then;
}

uint32_t big_endian(const uint8_t *bytes)
{
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
}

} // namespace

// Everything the caller and the thread share. Both hold a reference; the
// last to let go frees it, so the caller never waits for the thread to end.
struct RtlTcpLink::Core {
    explicit Core(size_t ringPairs);
    ~Core();
    void Release();

    static DWORD WINAPI Main(void *self);
    void Run();
    // One connection, from resolving the host to its end: the reason it was
    // lost, or None when a wish ended it (not wanted, another server, the end).
    LinkLoss Session();
    // 1 connected, 0 failed, -1 a wish came first.
    int Connect(const addrinfo &address);
    LinkLoss Stream();
    // A wish while connected: false when it ends the connection (`why` None:
    // not wanted, the end, another server; Failed: the change could not be sent).
    bool OnWish(LinkLoss &why);
    // One read: the bytes read, 0 when the server closed, -1 when nothing is
    // there, -2 on a socket error, -3 when the greeting is not rtl_tcp's.
    int ReadOnce();
    bool GreetingAccepted();
    // The whole state, as the server keeps the last client's.
    bool SendState();
    bool SendChanges(const LinkSettings &next);
    bool SendCentre(uint32_t hz);
    bool Queue(uint8_t command, uint32_t value);
    bool Flush();
    void WaitToRetry();
    bool Interrupted() const;
    void CloseSocket();
    void Lose(LinkLoss why);

    IqRing ring;
    HANDLE wake;   // auto-reset: a wish, or the end
    HANDLE thread; // kept by the caller's side until its destructor
    std::atomic<long> references;

    // The wishes: stored by the caller, read by the thread.
    SeqBox<LinkSettings> settings;
    std::atomic<uint32_t> settingsSerial;
    std::atomic<uint32_t> centre;
    std::atomic<bool> wanted;
    std::atomic<bool> ending;

    // Published by the thread.
    std::atomic<uint32_t> state;
    std::atomic<uint32_t> loss;
    std::atomic<uint32_t> attempts;
    std::atomic<uint32_t> connects;
    std::atomic<uint32_t> losses;
    std::atomic<uint32_t> lastSampleTick;
    std::atomic<uint32_t> tunerType;
    std::atomic<uint32_t> gainCount;
    std::atomic<uint64_t> bytesReceived;
    SeqBox<RetuneMark> retune;

    // The thread's own.
    SOCKET socket;
    WSAEVENT socketEvent;
    uint32_t settingsSeen;
    LinkSettings current; // what this connection was made with
    uint32_t sentCentre;
    uint32_t retuneSerial;
    uint8_t greeting[GreetingBytes];
    size_t greetingHave;
    bool haveCarry; // buffer[0] holds the I byte of a pair whose Q has not arrived
    uint32_t lastByteTick;
    uint8_t pending[PendingBytes];
    size_t pendingHave;
    uint8_t buffer[1 + ReadBytes]; // the carried byte, then a read
};

RtlTcpLink::Core::Core(size_t ringPairs)
    : ring(ringPairs), wake(CreateEventW(nullptr, FALSE, FALSE, nullptr)), thread(nullptr), references(2),
      settingsSerial(0), centre(DefaultCentreHz), wanted(false), ending(false),
      state(static_cast<uint32_t>(LinkState::Off)), loss(static_cast<uint32_t>(LinkLoss::None)), attempts(0),
      connects(0), losses(0), lastSampleTick(0), tunerType(0), gainCount(0), bytesReceived(0),
      socket(INVALID_SOCKET), socketEvent(WSA_INVALID_EVENT), settingsSeen(0), current(), sentCentre(0),
      retuneSerial(0), greeting(), greetingHave(0), haveCarry(false), lastByteTick(0), pending(), pendingHave(0)
{
    LinkSettings defaults = {};
    std::strcpy(defaults.host, "127.0.0.1");
    defaults.port = DefaultPort;
    defaults.sampleRate = DongleRate;
    settings.Store(defaults);
}

RtlTcpLink::Core::~Core()
{
    if (wake)
        CloseHandle(wake);
}

void RtlTcpLink::Core::Release()
{
    if (references.fetch_sub(1, std::memory_order_acq_rel) == 1)
        delete this;
}

DWORD WINAPI RtlTcpLink::Core::Main(void *self)
{
    Core *core = static_cast<Core *>(self);
    core->Run();
    core->Release();
    return 0;
}

void RtlTcpLink::Core::Run()
{
    WSADATA data;
    const bool winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (winsock)
        socketEvent = WSACreateEvent();
    while (!ending.load()) {
        if (!wanted.load()) {
            state.store(static_cast<uint32_t>(LinkState::Off));
            WaitForSingleObject(wake, INFINITE);
            continue;
        }
        const LinkLoss why = socketEvent == WSA_INVALID_EVENT ? LinkLoss::Failed : Session();
        CloseSocket();
        if (why == LinkLoss::None)
            continue;
        Lose(why);
        WaitToRetry();
    }
    state.store(static_cast<uint32_t>(LinkState::Off));
    if (socketEvent != WSA_INVALID_EVENT)
        WSACloseEvent(socketEvent);
    if (winsock)
        WSACleanup();
}

LinkLoss RtlTcpLink::Core::Session()
{
    state.store(static_cast<uint32_t>(LinkState::Connecting));
    attempts.fetch_add(1);
    settingsSeen = settingsSerial.load(std::memory_order_acquire);
    current = settings.Load();

    char port[8];
    std::snprintf(port, sizeof port, "%u", static_cast<unsigned>(current.port));
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    addrinfo *found = nullptr;
    const bool resolved = getaddrinfo(current.host, port, &hints, &found) == 0 && found;
    int connected = 0;
    for (const addrinfo *address = resolved ? found : nullptr; address && connected == 0 && !Interrupted();
         address = address->ai_next)
        connected = Connect(*address);
    if (found)
        freeaddrinfo(found);
    if (connected == -1 || Interrupted())
        return LinkLoss::None;
    if (!resolved)
        return LinkLoss::Unresolved;
    if (connected != 1)
        return LinkLoss::Unreachable;
    return Stream();
}

int RtlTcpLink::Core::Connect(const addrinfo &address)
{
    socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
    if (socket == INVALID_SOCKET)
        return 0;
    // Non-blocking from here on: the thread waits on the socket's event and on the wishes together.
    if (WSAEventSelect(socket, socketEvent, FD_CONNECT | FD_READ | FD_WRITE | FD_CLOSE) != 0) {
        CloseSocket();
        return 0;
    }
    const BOOL on = TRUE;
    setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    setsockopt(socket, SOL_SOCKET, SO_KEEPALIVE, reinterpret_cast<const char *>(&on), sizeof on);
    tcp_keepalive keepAlive = {1, KeepAliveIdleMs, KeepAliveIntervalMs};
    DWORD returned = 0;
    WSAIoctl(socket, SIO_KEEPALIVE_VALS, &keepAlive, sizeof keepAlive, nullptr, 0, &returned, nullptr, nullptr);
    const int bufferBytes = SocketBufferBytes;
    setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char *>(&bufferBytes), sizeof bufferBytes);

    if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) == 0)
        return 1;
    if (WSAGetLastError() != WSAEWOULDBLOCK) {
        CloseSocket();
        return 0;
    }
    const uint32_t start = GetTickCount();
    for (;;) {
        const uint32_t waited = since(start);
        if (waited >= ConnectMs)
            break;
        HANDLE events[2] = {wake, socketEvent};
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, ConnectMs - waited);
        if (woken == WAIT_OBJECT_0) {
            if (Interrupted()) {
                CloseSocket();
                return -1;
            }
            continue;
        }
        if (woken != WAIT_OBJECT_0 + 1)
            break;
        WSANETWORKEVENTS happened;
        if (WSAEnumNetworkEvents(socket, socketEvent, &happened) != 0)
            break;
        // The other events recorded with it are not lost: Stream() reads before it first waits.
        if (happened.lNetworkEvents & FD_CONNECT) {
            if (happened.iErrorCode[FD_CONNECT_BIT] == 0)
                return 1;
            break;
        }
    }
    CloseSocket();
    return 0;
}

LinkLoss RtlTcpLink::Core::Stream()
{
    greetingHave = 0;
    haveCarry = false;
    pendingHave = 0;
    lastByteTick = GetTickCount();
    lastSampleTick.store(lastByteTick - SilenceMs);
    // Read before the first wait: the connect's events may have taken an FD_READ or FD_CLOSE with them.
    bool readable = true;
    bool closing = false;
    for (;;) {
        const bool greeted = greetingHave == GreetingBytes;
        if (readable || closing) {
            const int got = ReadOnce();
            if (got == 0 || (got == -1 && closing))
                return LinkLoss::Closed;
            if (got == -2)
                return LinkLoss::Failed;
            if (got == -3)
                return LinkLoss::BadGreeting;
            // A read of samples that did not fill the buffer took all there was.
            readable = got > 0 && (!greeted || got == ReadBytes);
        }
        const uint32_t quiet = since(lastByteTick);
        if (!readable && quiet >= SilenceMs)
            return greetingHave < GreetingBytes ? LinkLoss::NoGreeting : LinkLoss::Stalled;
        // Samples are read a period apart, many packets at a time, rather than packet by packet
        // as they come: a wake-up is what costs (under Wine most of all). The greeting, and
        // commands waiting for room to be sent, are looked after as soon as the socket says.
        const bool periodic = greetingHave == GreetingBytes && pendingHave == 0;
        DWORD timeout = readable ? 0 : SilenceMs - quiet;
        if (periodic && timeout > ReadPeriodMs)
            timeout = ReadPeriodMs;
        HANDLE events[2] = {wake, socketEvent};
        const DWORD woken = WaitForMultipleObjects(periodic ? 1 : 2, events, FALSE, timeout);
        if (woken == WAIT_OBJECT_0) {
            LinkLoss why = LinkLoss::None;
            if (!OnWish(why))
                return why;
        } else if (woken == WAIT_OBJECT_0 + 1) {
            WSANETWORKEVENTS happened;
            if (WSAEnumNetworkEvents(socket, socketEvent, &happened) != 0)
                return LinkLoss::Failed;
            readable = readable || (happened.lNetworkEvents & FD_READ) != 0;
            closing = closing || (happened.lNetworkEvents & FD_CLOSE) != 0;
            if ((happened.lNetworkEvents & FD_WRITE) && !Flush())
                return LinkLoss::Failed;
        } else if (woken == WAIT_TIMEOUT) {
            readable = readable || periodic;
        } else {
            return LinkLoss::Failed;
        }
    }
}

bool RtlTcpLink::Core::OnWish(LinkLoss &why)
{
    why = LinkLoss::None;
    if (ending.load() || !wanted.load())
        return false;
    const bool greeted = greetingHave == GreetingBytes;
    const uint32_t serial = settingsSerial.load(std::memory_order_acquire);
    if (serial != settingsSeen) {
        settingsSeen = serial;
        const LinkSettings next = settings.Load();
        if (!same_server(next, current))
            return false;
        // Before the greeting, the whole state goes out with it anyway.
        if (greeted && !SendChanges(next)) {
            why = LinkLoss::Failed;
            return false;
        }
        current = next;
    }
    const uint32_t hz = centre.load();
    if (greeted && hz != sentCentre && !(SendCentre(hz) && Flush())) {
        why = LinkLoss::Failed;
        return false;
    }
    return true;
}

int RtlTcpLink::Core::ReadOnce()
{
    int got;
    if (greetingHave < GreetingBytes) {
        // Exactly the greeting's bytes, so that no sample lands in it.
        got = recv(socket, reinterpret_cast<char *>(greeting + greetingHave),
                   static_cast<int>(GreetingBytes - greetingHave), 0);
        if (got > 0) {
            greetingHave += static_cast<size_t>(got);
            if (greetingHave == GreetingBytes) {
                if (!GreetingAccepted())
                    return -3;
                if (!SendState())
                    return -2;
                connects.fetch_add(1);
                state.store(static_cast<uint32_t>(LinkState::Up));
            }
        }
    } else {
        const size_t carried = haveCarry ? 1 : 0;
        got = recv(socket, reinterpret_cast<char *>(buffer + carried), ReadBytes, 0);
        if (got > 0) {
            const size_t bytes = carried + static_cast<size_t>(got);
            ring.Write(buffer, bytes / 2);
            haveCarry = (bytes & 1) != 0;
            if (haveCarry)
                buffer[0] = buffer[bytes - 1];
            lastSampleTick.store(GetTickCount());
        }
    }
    if (got > 0) {
        lastByteTick = GetTickCount();
        bytesReceived.fetch_add(static_cast<uint64_t>(got), std::memory_order_relaxed);
        return got;
    }
    if (got == 0)
        return 0;
    return WSAGetLastError() == WSAEWOULDBLOCK ? -1 : -2;
}

bool RtlTcpLink::Core::GreetingAccepted()
{
    if (std::memcmp(greeting, Magic, sizeof Magic) != 0)
        return false;
    // Any tuner and any count: they are shown, never used to size or index anything.
    tunerType.store(big_endian(greeting + 4));
    gainCount.store(big_endian(greeting + 8));
    return true;
}

bool RtlTcpLink::Core::SendState()
{
    const bool automatic = current.gainTenthsDb == 0;
    return Queue(SetSampleRate, current.sampleRate) && SendCentre(centre.load()) &&
           Queue(SetFrequencyCorrection, static_cast<uint32_t>(current.ppm)) &&
           Queue(SetGainMode, automatic ? 0 : 1) &&
           (automatic || Queue(SetGain, static_cast<uint32_t>(current.gainTenthsDb))) && Queue(SetRtlAgc, 0) &&
           Queue(SetDirectSampling, 0) && Queue(SetBiasTee, 0) && Flush();
}

bool RtlTcpLink::Core::SendChanges(const LinkSettings &next)
{
    const bool automatic = next.gainTenthsDb == 0;
    if (next.sampleRate != current.sampleRate && !Queue(SetSampleRate, next.sampleRate))
        return false;
    if (next.ppm != current.ppm && !Queue(SetFrequencyCorrection, static_cast<uint32_t>(next.ppm)))
        return false;
    if (next.gainTenthsDb != current.gainTenthsDb &&
        !(Queue(SetGainMode, automatic ? 0 : 1) &&
          (automatic || Queue(SetGain, static_cast<uint32_t>(next.gainTenthsDb)))))
        return false;
    return Flush();
}

bool RtlTcpLink::Core::SendCentre(uint32_t hz)
{
    if (!Queue(SetFrequency, hz))
        return false;
    sentCentre = hz;
    RetuneMark mark;
    mark.serial = ++retuneSerial;
    mark.centreHz = hz;
    // A carried I byte arrived before the command: its pair counts as earlier.
    mark.position = ring.PairsWritten() + (haveCarry ? 1 : 0);
    retune.Store(mark);
    return true;
}

bool RtlTcpLink::Core::Queue(uint8_t command, uint32_t value)
{
    if (PendingBytes - pendingHave < CommandBytes)
        return false;
    uint8_t *at = pending + pendingHave;
    at[0] = command;
    at[1] = static_cast<uint8_t>(value >> 24);
    at[2] = static_cast<uint8_t>(value >> 16);
    at[3] = static_cast<uint8_t>(value >> 8);
    at[4] = static_cast<uint8_t>(value);
    pendingHave += CommandBytes;
    return true;
}

bool RtlTcpLink::Core::Flush()
{
    while (pendingHave > 0) {
        const int sent = send(socket, reinterpret_cast<const char *>(pending), static_cast<int>(pendingHave), 0);
        if (sent <= 0)
            return sent < 0 && WSAGetLastError() == WSAEWOULDBLOCK; // the rest goes with the next FD_WRITE
        pendingHave -= static_cast<size_t>(sent);
        std::memmove(pending, pending + sent, pendingHave);
    }
    return true;
}

void RtlTcpLink::Core::WaitToRetry()
{
    const uint32_t start = GetTickCount();
    for (;;) {
        const uint32_t waited = since(start);
        if (waited >= RetryMs || WaitForSingleObject(wake, RetryMs - waited) != WAIT_OBJECT_0)
            return;
        // Not wanted, the end, or another server: at once.
        if (Interrupted())
            return;
    }
}

bool RtlTcpLink::Core::Interrupted() const
{
    return ending.load() || !wanted.load() || settingsSerial.load(std::memory_order_acquire) != settingsSeen;
}

void RtlTcpLink::Core::CloseSocket()
{
    if (socket == INVALID_SOCKET)
        return;
    closesocket(socket);
    socket = INVALID_SOCKET;
    WSAResetEvent(socketEvent);
}

void RtlTcpLink::Core::Lose(LinkLoss why)
{
    loss.store(static_cast<uint32_t>(why));
    losses.fetch_add(1);
    state.store(static_cast<uint32_t>(LinkState::Lost));
}

RtlTcpLink::RtlTcpLink(size_t ringPairs) : core(new (std::nothrow) Core(ringPairs)) {}

RtlTcpLink::~RtlTcpLink()
{
    if (!core)
        return;
    core->ending.store(true);
    if (core->thread) {
        SetEvent(core->wake);
        CloseHandle(core->thread);
    } else {
        core->Release(); // the thread's reference: it never started
    }
    core->Release();
}

bool RtlTcpLink::Start()
{
    if (!core || !core->ring.Valid() || !core->wake)
        return false;
    if (!core->thread)
        core->thread = CreateThread(nullptr, 0, Core::Main, core, 0, nullptr);
    return core->thread != nullptr;
}

IqRing *RtlTcpLink::Ring()
{
    return core && core->ring.Valid() ? &core->ring : nullptr;
}

void RtlTcpLink::Configure(const char *host, uint16_t port, uint32_t sampleRate, int32_t gainTenthsDb, int32_t ppm)
{
    if (!core)
        return;
    LinkSettings next = {};
    // A longer name is no host's: cut, it fails to resolve, as it should.
    std::strncpy(next.host, host ? host : "", sizeof next.host - 1);
    next.port = port;
    next.sampleRate = sampleRate;
    next.gainTenthsDb = gainTenthsDb;
    next.ppm = ppm;
    core->settings.Store(next);
    core->settingsSerial.fetch_add(1, std::memory_order_release);
    SetEvent(core->wake);
}

void RtlTcpLink::SetWanted(bool wanted)
{
    if (!core)
        return;
    core->wanted.store(wanted);
    SetEvent(core->wake);
}

void RtlTcpLink::SetCentre(uint32_t hz)
{
    if (!core)
        return;
    core->centre.store(hz);
    SetEvent(core->wake);
}

LinkState RtlTcpLink::State() const
{
    return core ? static_cast<LinkState>(core->state.load()) : LinkState::Off;
}

bool RtlTcpLink::Live() const
{
    return State() == LinkState::Up && since(core->lastSampleTick.load()) < SilenceMs;
}

LinkLoss RtlTcpLink::LastLoss() const
{
    return core ? static_cast<LinkLoss>(core->loss.load()) : LinkLoss::None;
}

RetuneMark RtlTcpLink::LastRetune() const
{
    return core ? core->retune.Load() : RetuneMark();
}

uint32_t RtlTcpLink::Attempts() const
{
    return core ? core->attempts.load() : 0;
}

uint32_t RtlTcpLink::Connects() const
{
    return core ? core->connects.load() : 0;
}

uint32_t RtlTcpLink::Losses() const
{
    return core ? core->losses.load() : 0;
}

uint64_t RtlTcpLink::BytesReceived() const
{
    return core ? core->bytesReceived.load(std::memory_order_relaxed) : 0;
}

uint64_t RtlTcpLink::PairsDropped() const
{
    return core ? core->ring.PairsDropped() : 0;
}

uint32_t RtlTcpLink::TunerType() const
{
    return core ? core->tunerType.load() : 0;
}

uint32_t RtlTcpLink::GainCount() const
{
    return core ? core->gainCount.load() : 0;
}

} // namespace sdr
