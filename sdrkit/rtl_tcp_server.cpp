#include "rtl_tcp_server.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <atomic>
#include <cstring>

namespace sdrkit {

namespace {

constexpr size_t GreetingBytes = 12;
constexpr size_t ShortGreetingBytes = 6;
constexpr size_t CommandBytes = 5;
constexpr size_t BufferPairs = 32768;           // 64 KB a fill
constexpr uint32_t BlocksPerSecond = 200;       // real time: 5 ms a block, as SDR++ reads
constexpr int SendsBetweenLooks = 16;           // writes between looks at the commands and controls
constexpr uint8_t SetFrequency = 0x01;
constexpr uint8_t SetSampleRate = 0x02;

uint64_t next_random(uint64_t &state)
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

void fill_noise(uint8_t *bytes, size_t count, uint64_t &random)
{
    size_t at = 0;
    for (; at + 8 <= count; at += 8) {
        const uint64_t word = next_random(random);
        std::memcpy(bytes + at, &word, 8);
    }
    const uint64_t word = next_random(random);
    std::memcpy(bytes + at, &word, count - at);
}

void put_big_endian(uint8_t *at, uint32_t value)
{
    at[0] = static_cast<uint8_t>(value >> 24);
    at[1] = static_cast<uint8_t>(value >> 16);
    at[2] = static_cast<uint8_t>(value >> 8);
    at[3] = static_cast<uint8_t>(value);
}

double seconds_now()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) / static_cast<double>(frequency.QuadPart);
}

} // namespace

struct RtlTcpServer::State {
    explicit State(BandSource *bandSource);
    ~State();

    static DWORD WINAPI Main(void *self);
    void Run();
    void Serve(SOCKET client);
    // Handles what the client's socket signalled; false when the client is gone.
    bool Events(bool &blocked);
    // The greeting of this connection into the buffer; false when it says nothing at all after it.
    bool Greet();
    // Refills the empty buffer with what is due; false when nothing is.
    bool Refill();
    // One send of the next chunk: false when the client is gone.
    bool SendSome(bool &blocked);
    // Reads and logs commands: false when the client is gone.
    bool ReadCommands();
    void Log(uint8_t code, uint32_t value);
    void Changed();
    template <typename Done>
    bool WaitFor(uint32_t timeoutMs, Done done);

    BandSource *source;
    SOCKET listener = INVALID_SOCKET;
    HANDLE thread = nullptr;
    HANDLE control = nullptr; // auto-reset: a control changed, or the end
    WSAEVENT listenEvent = WSA_INVALID_EVENT;
    WSAEVENT clientEvent = WSA_INVALID_EVENT;
    bool winsock = false;
    uint16_t port = 0;

    // Controls, from any thread.
    std::atomic<uint8_t> greeting{static_cast<uint8_t>(Greeting::Normal)};
    std::atomic<uint8_t> content{static_cast<uint8_t>(Content::Band)};
    std::atomic<uint8_t> pacing{static_cast<uint8_t>(Pacing::RealTime)};
    std::atomic<bool> stalled{false};
    std::atomic<bool> drop{false};
    std::atomic<bool> dropMidPair{false};
    std::atomic<bool> ending{false};
    std::atomic<uint32_t> centre{DefaultCentre};
    std::atomic<uint32_t> rate{DefaultRate};

    // Guarded by `lock`; `changed` wakes the waiters.
    mutable CRITICAL_SECTION lock;
    CONDITION_VARIABLE changed;
    std::vector<ReceivedCommand> commands;
    std::vector<uint32_t> chunks;
    uint32_t clients = 0;
    bool connected = false;
    std::atomic<int> byteWaiters{0};

    std::atomic<uint64_t> bytesSent{0};
    std::atomic<uint64_t> clientBytes{0};

    // The thread's own, for the connection being served.
    SOCKET client = INVALID_SOCKET;
    uint8_t buffer[2 * BufferPairs];
    size_t bufferStart = 0, bufferEnd = 0;
    bool streaming = false;   // after the greeting, samples follow
    bool greetingOnly = false; // the buffer holds the greeting
    Greeting greeted = Greeting::Normal;
    uint32_t servedRate = 0;
    double paceStart = 0;
    uint64_t pairsPaced = 0;
    size_t chunkAt = 0;
    uint8_t commandBytes[CommandBytes];
    size_t commandHave = 0;
    uint64_t random = 0x9E3779B97F4A7C15ull;
};

RtlTcpServer::State::State(BandSource *bandSource) : source(bandSource)
{
    InitializeCriticalSection(&lock);
    InitializeConditionVariable(&changed);
    control = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

RtlTcpServer::State::~State()
{
    if (control)
        CloseHandle(control);
    DeleteCriticalSection(&lock);
}

void RtlTcpServer::State::Changed()
{
    WakeAllConditionVariable(&changed);
}

template <typename Done>
bool RtlTcpServer::State::WaitFor(uint32_t timeoutMs, Done done)
{
    const ULONGLONG start = GetTickCount64();
    EnterCriticalSection(&lock);
    bool met;
    for (;;) {
        met = done();
        const ULONGLONG waited = GetTickCount64() - start;
        if (met || waited >= timeoutMs)
            break;
        SleepConditionVariableCS(&changed, &lock, static_cast<DWORD>(timeoutMs - waited));
    }
    LeaveCriticalSection(&lock);
    return met;
}

DWORD WINAPI RtlTcpServer::State::Main(void *self)
{
    static_cast<State *>(self)->Run();
    return 0;
}

void RtlTcpServer::State::Run()
{
    while (!ending.load()) {
        HANDLE events[2] = {control, listenEvent};
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
        if (woken != WAIT_OBJECT_0 + 1)
            continue;
        WSAResetEvent(listenEvent);
        const SOCKET accepted = accept(listener, nullptr, nullptr);
        if (accepted == INVALID_SOCKET)
            continue;
        Serve(accepted);
        closesocket(accepted);
        client = INVALID_SOCKET;
        EnterCriticalSection(&lock);
        connected = false;
        LeaveCriticalSection(&lock);
        Changed();
        // A client that came while this one was served is waiting: look again at once.
        SetEvent(listenEvent);
    }
}

void RtlTcpServer::State::Serve(SOCKET accepted)
{
    client = accepted;
    // The accepted socket takes the listener's event selection: give it its own.
    WSAResetEvent(clientEvent);
    WSAEventSelect(client, clientEvent, FD_READ | FD_WRITE | FD_CLOSE);
    const BOOL on = TRUE;
    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char *>(&on), sizeof on);
    // Before the count goes up: a test that saw it may drop this client at once.
    drop.store(false);
    clientBytes.store(0);
    commandHave = 0;
    chunkAt = 0;
    EnterCriticalSection(&lock);
    ++clients;
    connected = true;
    LeaveCriticalSection(&lock);
    Changed();

    streaming = Greet();
    bool blocked = false; // the socket took no more: wait for FD_WRITE
    for (;;) {
        if (ending.load())
            return;
        if (drop.load()) {
            // Mid-pair: one byte more when the count so far is even (the greeting and whole pairs are).
            if (dropMidPair.load() && clientBytes.load() % 2 == 0) {
                if (bufferStart == bufferEnd) {
                    bufferStart = 0;
                    bufferEnd = 2;
                    fill_noise(buffer, 2, random);
                }
                if (send(client, reinterpret_cast<const char *>(buffer + bufferStart), 1, 0) == 1) {
                    clientBytes.fetch_add(1);
                    bytesSent.fetch_add(1);
                }
            }
            return;
        }
        const bool stall = stalled.load();
        const bool fast = static_cast<Pacing>(pacing.load()) == Pacing::Fast;
        if (stall)
            servedRate = 0; // the pace starts afresh when the stall ends
        // A few writes, then a look at the controls and the commands.
        bool more = false;
        if (!blocked && !stall) {
            for (int n = 0; n < SendsBetweenLooks && !blocked; ++n) {
                // A dongle retunes while samples flow, so the commands come
                // before each new block, however far behind the pace is.
                if (bufferStart == bufferEnd) {
                    if (WaitForSingleObject(clientEvent, 0) == WAIT_OBJECT_0 && !Events(blocked))
                        return;
                    if (!(streaming && Refill()))
                        break;
                }
                if (!SendSome(blocked))
                    return;
            }
            more = !blocked && (bufferStart < bufferEnd || (streaming && fast));
        }
        DWORD timeout = INFINITE;
        if (more)
            timeout = 0;
        else if (!blocked && !stall && streaming)
            timeout = 1000 / BlocksPerSecond; // the next block of real time
        HANDLE events[2] = {control, clientEvent};
        const DWORD woken = WaitForMultipleObjects(2, events, FALSE, timeout);
        if (woken == WAIT_OBJECT_0 + 1 && !Events(blocked))
            return;
    }
}

// The client's socket said something: it takes more, sent commands, or went.
bool RtlTcpServer::State::Events(bool &blocked)
{
    WSANETWORKEVENTS happened;
    if (WSAEnumNetworkEvents(client, clientEvent, &happened) != 0)
        return false;
    if (happened.lNetworkEvents & FD_WRITE)
        blocked = false;
    return !(happened.lNetworkEvents & (FD_READ | FD_CLOSE)) || ReadCommands();
}

bool RtlTcpServer::State::Greet()
{
    greeted = static_cast<Greeting>(greeting.load());
    bufferStart = 0;
    bufferEnd = 0;
    servedRate = 0; // pacing starts afresh with the first samples
    switch (greeted) {
    case Greeting::Silent:
        return false;
    case Greeting::Garbage:
        fill_noise(buffer, GreetingBytes, random);
        break;
    default:
        std::memcpy(buffer, greeted == Greeting::WrongMagic ? "RTL1" : "RTL0", 4);
        put_big_endian(buffer + 4, TunerR820T);
        put_big_endian(buffer + 8, greeted == Greeting::HugeGainCount ? 0xFFFFFFFFu : R820TGainCount);
        break;
    }
    bufferEnd = greeted == Greeting::Short ? ShortGreetingBytes : GreetingBytes;
    return greeted != Greeting::Short;
}

bool RtlTcpServer::State::Refill()
{
    bufferStart = 0;
    bufferEnd = 0;
    const uint32_t hz = rate.load();
    size_t pairs = BufferPairs;
    if (static_cast<Pacing>(pacing.load()) == Pacing::RealTime) {
        const double now = seconds_now();
        if (servedRate != hz || hz == 0) {
            // A new rate, a new client or the end of a stall: the clock starts now.
            servedRate = hz;
            paceStart = now;
            pairsPaced = 0;
        }
        const uint64_t due = static_cast<uint64_t>((now - paceStart) * hz);
        const uint64_t block = hz / BlocksPerSecond;
        if (due < pairsPaced + block)
            return false;
        if (due - pairsPaced < pairs)
            pairs = static_cast<size_t>(due - pairsPaced);
        pairsPaced += pairs;
    }
    if (static_cast<Content>(content.load()) == Content::Band && source && greeted != Greeting::Garbage)
        source->Fill(buffer, pairs, centre.load(), hz);
    else
        fill_noise(buffer, 2 * pairs, random);
    bufferEnd = 2 * pairs;
    return true;
}

bool RtlTcpServer::State::SendSome(bool &blocked)
{
    size_t count = bufferEnd - bufferStart;
    EnterCriticalSection(&lock);
    if (!chunks.empty()) {
        const size_t chunk = chunks[chunkAt++ % chunks.size()];
        if (chunk > 0 && chunk < count)
            count = chunk;
    }
    LeaveCriticalSection(&lock);
    const int sent = send(client, reinterpret_cast<const char *>(buffer + bufferStart), static_cast<int>(count), 0);
    if (sent < 0) {
        blocked = WSAGetLastError() == WSAEWOULDBLOCK;
        return blocked;
    }
    bufferStart += static_cast<size_t>(sent);
    bytesSent.fetch_add(static_cast<uint64_t>(sent));
    clientBytes.fetch_add(static_cast<uint64_t>(sent));
    if (byteWaiters.load() > 0)
        Changed();
    return true;
}

bool RtlTcpServer::State::ReadCommands()
{
    for (;;) {
        const int got = recv(client, reinterpret_cast<char *>(commandBytes + commandHave),
                             static_cast<int>(CommandBytes - commandHave), 0);
        if (got == 0)
            return false;
        if (got < 0)
            return WSAGetLastError() == WSAEWOULDBLOCK;
        commandHave += static_cast<size_t>(got);
        if (commandHave < CommandBytes)
            continue;
        commandHave = 0;
        const uint32_t value = static_cast<uint32_t>(commandBytes[1]) << 24 |
                               static_cast<uint32_t>(commandBytes[2]) << 16 |
                               static_cast<uint32_t>(commandBytes[3]) << 8 | commandBytes[4];
        if (commandBytes[0] == SetFrequency)
            centre.store(value);
        else if (commandBytes[0] == SetSampleRate)
            rate.store(value);
        Log(commandBytes[0], value);
    }
}

void RtlTcpServer::State::Log(uint8_t code, uint32_t value)
{
    EnterCriticalSection(&lock);
    commands.push_back(ReceivedCommand{code, value, clients});
    LeaveCriticalSection(&lock);
    Changed();
}

RtlTcpServer::RtlTcpServer(BandSource *source) : state(new State(source)) {}

RtlTcpServer::~RtlTcpServer()
{
    Stop();
    delete state;
}

bool RtlTcpServer::Start(uint16_t port)
{
    if (state->thread)
        return true;
    WSADATA data;
    state->winsock = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    if (!state->winsock || !state->control)
        return false;
    state->listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    state->listenEvent = WSACreateEvent();
    state->clientEvent = WSACreateEvent();
    if (state->listener == INVALID_SOCKET || state->listenEvent == WSA_INVALID_EVENT ||
        state->clientEvent == WSA_INVALID_EVENT) {
        Stop();
        return false;
    }
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    int length = sizeof address;
    // Like rtl_tcp, one waiting client at most.
    if (bind(state->listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
        listen(state->listener, 1) != 0 ||
        getsockname(state->listener, reinterpret_cast<sockaddr *>(&address), &length) != 0 ||
        WSAEventSelect(state->listener, state->listenEvent, FD_ACCEPT) != 0) {
        Stop();
        return false;
    }
    state->port = ntohs(address.sin_port);
    state->ending.store(false);
    state->thread = CreateThread(nullptr, 0, State::Main, state, 0, nullptr);
    if (!state->thread) {
        Stop();
        return false;
    }
    return true;
}

void RtlTcpServer::Stop()
{
    if (state->thread) {
        state->ending.store(true);
        SetEvent(state->control);
        WaitForSingleObject(state->thread, INFINITE);
        CloseHandle(state->thread);
        state->thread = nullptr;
    }
    if (state->listener != INVALID_SOCKET)
        closesocket(state->listener);
    state->listener = INVALID_SOCKET;
    if (state->listenEvent != WSA_INVALID_EVENT)
        WSACloseEvent(state->listenEvent);
    if (state->clientEvent != WSA_INVALID_EVENT)
        WSACloseEvent(state->clientEvent);
    state->listenEvent = state->clientEvent = WSA_INVALID_EVENT;
    if (state->winsock)
        WSACleanup();
    state->winsock = false;
    state->port = 0;
}

uint16_t RtlTcpServer::Port() const
{
    return state->port;
}

void RtlTcpServer::SetGreeting(Greeting greeting)
{
    state->greeting.store(static_cast<uint8_t>(greeting));
}

void RtlTcpServer::SetContent(Content content)
{
    state->content.store(static_cast<uint8_t>(content));
    SetEvent(state->control);
}

void RtlTcpServer::SetPacing(Pacing pacing)
{
    state->pacing.store(static_cast<uint8_t>(pacing));
    SetEvent(state->control);
}

void RtlTcpServer::SetChunks(const std::vector<uint32_t> &sizes)
{
    EnterCriticalSection(&state->lock);
    state->chunks = sizes;
    LeaveCriticalSection(&state->lock);
}

void RtlTcpServer::Stall(bool stalled)
{
    state->stalled.store(stalled);
    SetEvent(state->control);
}

void RtlTcpServer::DropClient(bool midPair)
{
    state->dropMidPair.store(midPair);
    state->drop.store(true);
    SetEvent(state->control);
}

uint32_t RtlTcpServer::Clients() const
{
    EnterCriticalSection(&state->lock);
    const uint32_t count = state->clients;
    LeaveCriticalSection(&state->lock);
    return count;
}

bool RtlTcpServer::Connected() const
{
    EnterCriticalSection(&state->lock);
    const bool connected = state->connected;
    LeaveCriticalSection(&state->lock);
    return connected;
}

uint64_t RtlTcpServer::BytesSent() const
{
    return state->bytesSent.load();
}

uint64_t RtlTcpServer::ClientBytesSent() const
{
    return state->clientBytes.load();
}

uint32_t RtlTcpServer::CentreHz() const
{
    return state->centre.load();
}

uint32_t RtlTcpServer::RateHz() const
{
    return state->rate.load();
}

std::vector<ReceivedCommand> RtlTcpServer::Commands() const
{
    EnterCriticalSection(&state->lock);
    std::vector<ReceivedCommand> copy = state->commands;
    LeaveCriticalSection(&state->lock);
    return copy;
}

bool RtlTcpServer::WaitForCommand(uint8_t code, uint32_t value, uint32_t timeoutMs, size_t from, size_t *at)
{
    size_t next = from;
    return state->WaitFor(timeoutMs, [&] {
        for (; next < state->commands.size(); ++next) {
            if (state->commands[next].code == code && state->commands[next].value == value) {
                if (at)
                    *at = next;
                return true;
            }
        }
        return false;
    });
}

bool RtlTcpServer::WaitForCommandCount(size_t count, uint32_t timeoutMs)
{
    return state->WaitFor(timeoutMs, [&] { return state->commands.size() >= count; });
}

bool RtlTcpServer::WaitForClients(uint32_t count, uint32_t timeoutMs)
{
    return state->WaitFor(timeoutMs, [&] { return state->clients >= count; });
}

bool RtlTcpServer::WaitForNoClient(uint32_t timeoutMs)
{
    return state->WaitFor(timeoutMs, [&] { return !state->connected; });
}

bool RtlTcpServer::WaitForClientBytes(uint64_t bytes, uint32_t timeoutMs)
{
    state->byteWaiters.fetch_add(1);
    const bool met = state->WaitFor(timeoutMs, [&] { return state->clientBytes.load() >= bytes; });
    state->byteWaiters.fetch_sub(1);
    return met;
}

} // namespace sdrkit
