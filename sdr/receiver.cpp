#include "receiver.h"

#include <windows.h>

#include <atomic>
#include <cstring>

#include "audio_gain.h"
#include "audio_sink.h"
#include "fm_chain.h"
#include "rds_receiver.h"
#include "rtl_tcp_link.h"
#include "sdr_rates.h"
#include "seqlock.h"
#include "spectrum.h"
#include "station_seek.h"

namespace sdr {

namespace {

constexpr size_t BlockPairs = FmChain::MaxBlockPairs; // 10 ms
constexpr size_t BlockFrames = BlockPairs / (ChannelDecimation * AudioDecimation) + 8;
// rtl_tcp sends the dongle's blocks whole, 109 ms at this rate, so after a
// new centre this much of the stream may still be from the old one.
constexpr uint64_t SettlePairs = DongleRate / 1000 * 120;
// The signal thread's pace: the link hands on the stream every 20 ms.
constexpr DWORD WakeMs = 20;
constexpr uint32_t HzPerUnit = 100000; // 0.1 MHz
constexpr int32_t FirstFrequency = 1000;

uint32_t listening_centre(int32_t frequency)
{
    return static_cast<uint32_t>(frequency) * HzPerUnit + StationOffsetHz;
}

// The search's wish for a look: the centre and the serial its snapshot is to carry.
uint64_t look_of(uint32_t centre, uint32_t serial)
{
    return static_cast<uint64_t>(centre) << 32 | serial;
}

// Complete RDS receptions between the threads, each tagged with the centre
// it was heard at: one writer (the signal thread), one reader (the
// caller's), and the reader may drop everything queued at once.
class TextQueue {
public:
    static constexpr size_t EntryBytes = 96; // a RadioText of 64 and its space, with room
    static constexpr uint32_t Entries = 32;

    void Put(uint32_t centre, const char *text, size_t length)
    {
        const uint32_t at = written.load(std::memory_order_relaxed);
        if (at - read.load(std::memory_order_acquire) == Entries)
            return; // nobody reads: the newest go
        Entry &entry = entries[at % Entries];
        entry.centre = centre;
        entry.length = static_cast<uint32_t>(length);
        std::memcpy(entry.text, text, length);
        written.store(at + 1, std::memory_order_release);
    }
    void Drop() { read.store(written.load(std::memory_order_acquire), std::memory_order_release); }
    // Whole entries heard at `centre`, as many as fit; the others are dropped.
    size_t Take(uint32_t centre, char *out, size_t capacity)
    {
        size_t taken = 0;
        uint32_t at = read.load(std::memory_order_relaxed);
        const uint32_t end = written.load(std::memory_order_acquire);
        for (; at != end; ++at) {
            const Entry &entry = entries[at % Entries];
            if (entry.centre != centre)
                continue;
            if (taken + entry.length > capacity)
                break;
            std::memcpy(out + taken, entry.text, entry.length);
            taken += entry.length;
        }
        read.store(at, std::memory_order_release);
        return taken;
    }

private:
    struct Entry {
        uint32_t centre;
        uint32_t length;
        char text[EntryBytes];
    };
    Entry entries[Entries] = {};
    std::atomic<uint32_t> written{0};
    std::atomic<uint32_t> read{0};
};

} // namespace

struct Receiver::Parts {
    RtlTcpLink link;
    FmChain chain;
    RdsReceiver rds;
    Spectrum spectrum;
    AudioGain gain;
    StationSeek seek;
    TextQueue texts;
    AudioSink *sink = nullptr;

    // The caller's wishes, picked up by the signal thread.
    std::atomic<bool> playing{false};
    std::atomic<bool> rdsOn{false};
    std::atomic<bool> mono{false};
    std::atomic<bool> blend{false};
    std::atomic<uint32_t> region{static_cast<uint32_t>(Region::Europe)};
    std::atomic<bool> searching{false};
    std::atomic<uint64_t> look{0};
    // The caller's own state.
    int32_t frequency = FirstFrequency;
    uint32_t centre = listening_centre(FirstFrequency);
    int32_t searchLevel = 1;

    // What the signal thread published.
    std::atomic<bool> stereo{false};
    std::atomic<uint32_t> rdsLevel{0};
    std::atomic<uint32_t> rdsGroups{0};
    Seqlock<SpectrumSnapshot> snapshots;

    // The signal thread's own.
    HANDLE thread = nullptr;
    HANDLE wake = nullptr;
    HANDLE quiet = nullptr; // manual-reset: set while the sound is closed
    std::atomic<bool> stopping{false};
    uint32_t adoptedSerial = 0; // the link's last retune the stream has caught up with
    uint32_t streamCentre = 0;  // where the samples being processed were taken, 0 while settling
    uint64_t spectrumLook = 0;  // the centre and serial the spectrum gathers for
    bool searchPace = false;
    ChainSettings chainSettings;
    bool sinkOpen = false;
    uint8_t iq[2 * BlockPairs];
    float stereoFrames[2 * BlockFrames];
    int16_t pcm[2 * BlockFrames];
    char text[TextQueue::EntryBytes];

    void ApplyWishes();
    void Catch();
    void FollowLook();
    void Process(size_t pairs);
    void Run();
    static DWORD WINAPI Thread(void *parts)
    {
        static_cast<Parts *>(parts)->Run();
        return 0;
    }
};

void Receiver::Parts::ApplyWishes()
{
    ChainSettings settings;
    settings.deemphasisSeconds = band_rules(static_cast<Region>(region.load())).deemphasisSeconds;
    settings.forcedMono = mono.load();
    settings.blend = blend.load();
    if (settings.deemphasisSeconds != chainSettings.deemphasisSeconds ||
        settings.forcedMono != chainSettings.forcedMono || settings.blend != chainSettings.blend) {
        chain.Configure(settings);
        chainSettings = settings;
    }
    const bool search = searching.load();
    if (search != searchPace) {
        spectrum.SetPace(search ? SearchingPace : ListeningPace);
        searchPace = search;
    }
    const bool wantSound = playing.load();
    if (wantSound != sinkOpen && sink) {
        if (wantSound) {
            ResetEvent(quiet);
            sink->Open();
        } else {
            sink->Close();
            SetEvent(quiet);
        }
        sinkOpen = wantSound;
    }
}

// The stream after a new centre: what came before it settled is let go,
// then the chain, RDS and the spectrum start afresh on the new centre.
void Receiver::Parts::Catch()
{
    IqRing &ring = *link.Ring();
    const RetuneMark mark = link.LastRetune();
    if (mark.serial == adoptedSerial)
        return;
    const uint64_t settled = mark.position + SettlePairs;
    const uint64_t at = ring.PairsRead();
    streamCentre = 0;
    if (at < settled) {
        ring.Skip(static_cast<size_t>(settled - at));
        if (ring.PairsRead() < settled)
            return;
    }
    adoptedSerial = mark.serial;
    streamCentre = mark.centreHz;
    chain.Reset();
    rds.Reset();
    // A look the search asked for here counts from these samples on.
    const uint64_t wanted = look.load();
    spectrumLook = wanted >> 32 == mark.centreHz ? wanted : look_of(mark.centreHz, 0);
    spectrum.NewCentre(mark.centreHz, static_cast<uint32_t>(spectrumLook));
}

// The search may ask again for a look at the centre the stream is at
// already: the spectrum starts it afresh, as these samples are good for it.
void Receiver::Parts::FollowLook()
{
    const uint64_t wanted = look.load();
    if (wanted == spectrumLook || wanted >> 32 != streamCentre)
        return;
    spectrumLook = wanted;
    spectrum.NewCentre(streamCentre, static_cast<uint32_t>(wanted));
}

void Receiver::Parts::Process(size_t pairs)
{
    if (spectrum.Process(iq, pairs))
        snapshots.Publish(spectrum.Latest());
    const size_t frames = chain.Process(iq, pairs, stereoFrames, BlockFrames);
    // While searching the sink runs dry, and a dry sink plays silence.
    if (sinkOpen && sink && !searchPace) {
        gain.Process(stereoFrames, frames, pcm);
        sink->Write(pcm, frames);
    }
    if (rdsOn.load()) {
        while (const size_t length = rds.TakeText(text, sizeof(text)))
            texts.Put(streamCentre, text, length);
        rdsLevel.store(rds.Level());
    } else {
        rdsLevel.store(0);
    }
    stereo.store(chain.Stereo());
    rdsGroups.store(rds.GroupsDecoded());
}

void Receiver::Parts::Run()
{
    IqRing &ring = *link.Ring();
    while (!stopping.load()) {
        WaitForSingleObject(wake, WakeMs);
        ApplyWishes();
        if ((!playing.load() && !searchPace) || !link.Live()) {
            // Nobody listens, or nothing comes: the stream is let go, and no lamp stays lit.
            ring.Skip(ring.Available());
            stereo.store(false);
            rdsLevel.store(0);
            continue;
        }
        for (;;) {
            Catch();
            if (!streamCentre)
                break;
            FollowLook();
            const size_t pairs = ring.Read(iq, BlockPairs);
            if (!pairs)
                break;
            Process(pairs);
        }
    }
}

Receiver::Receiver() : parts(nullptr) {}

Receiver::~Receiver()
{
    if (!parts)
        return;
    // At the process's end the thread is gone already; in between it ends at its next wake.
    parts->stopping.store(true);
    SetEvent(parts->wake);
    // A thread that did not end still uses the parts: they are left to the process's end.
    if (parts->thread && WaitForSingleObject(parts->thread, 2000) != WAIT_OBJECT_0)
        return;
    if (parts->thread)
        CloseHandle(parts->thread);
    CloseHandle(parts->wake);
    CloseHandle(parts->quiet);
    delete parts;
}

bool Receiver::Start(const ReceiverConfig &config, AudioSink *sink)
{
    if (!parts) {
        parts = new Parts;
        parts->sink = sink;
        parts->chain.SetMpxListener(&parts->rds);
        parts->link.SetCentre(parts->centre);
        parts->wake = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        parts->quiet = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        if (!parts->link.Ring() || !parts->wake || !parts->quiet || !parts->link.Start())
            return false;
        parts->thread = CreateThread(nullptr, 0, Parts::Thread, parts, 0, nullptr);
        if (!parts->thread)
            return false;
    }
    parts->link.Configure(config.host, config.port, DongleRate, config.gainTenthsDb, config.ppm);
    return parts->thread != nullptr;
}

void Receiver::SetLinked(bool linked)
{
    parts->link.SetWanted(linked);
}

bool Receiver::LinkUp() const
{
    return parts->link.Live();
}

void Receiver::SetPlaying(bool playing)
{
    parts->playing.store(playing);
    SetEvent(parts->wake);
}

bool Receiver::AwaitSilence(uint32_t timeoutMs)
{
    return !parts || WaitForSingleObject(parts->quiet, timeoutMs) == WAIT_OBJECT_0;
}

void Receiver::Tune(int32_t frequency)
{
    parts->seek.Reset();
    parts->searching.store(false);
    parts->frequency = frequency;
    Retune(listening_centre(frequency));
}

void Receiver::Retune(uint32_t centre)
{
    if (centre == parts->centre)
        return;
    parts->centre = centre;
    parts->link.SetCentre(centre);
    // Nothing heard before this is handed out any more.
    parts->texts.Drop();
}

SeekAnswer Receiver::Seek(bool upward)
{
    SpectrumSnapshot latest;
    parts->snapshots.Read(latest); // before the first, an empty one: the search asks for a look
    StationSeek::Request request;
    request.direction = upward ? +1 : -1;
    request.tuned = parts->frequency;
    request.level = parts->searchLevel;
    const StationSeek::Answer answer =
        parts->seek.Step(request, band_rules(static_cast<Region>(parts->region.load())), latest);
    parts->frequency = answer.frequency;
    parts->look.store(look_of(answer.centreHz, answer.serial));
    parts->searching.store(answer.continues != SeekStopped);
    Retune(answer.centreHz);
    SetEvent(parts->wake);
    return SeekAnswer{answer.frequency, answer.continues};
}

void Receiver::SetRegion(Region region)
{
    parts->region.store(static_cast<uint32_t>(region));
}

void Receiver::SetSearchLevel(int32_t level)
{
    parts->searchLevel = level < 0 ? 0 : level > 3 ? 3 : level;
}

void Receiver::SetMono(bool mono)
{
    parts->mono.store(mono);
}

void Receiver::SetBlend(bool blend)
{
    parts->blend.store(blend);
}

// A lost link puts the lamps out at once, whenever the signal thread next wakes to clear them.
bool Receiver::Stereo() const
{
    return parts->stereo.load() && LinkUp();
}

void Receiver::SetMute(bool mute)
{
    parts->gain.SetMute(mute);
}

void Receiver::SetVolume(int32_t volume)
{
    parts->gain.SetVolume(volume);
}

void Receiver::SetRds(bool on)
{
    parts->rdsOn.store(on);
    if (!on)
        parts->texts.Drop();
}

uint32_t Receiver::RdsLevel() const
{
    return LinkUp() ? parts->rdsLevel.load() : 0;
}

size_t Receiver::ReadRdsText(char *out, size_t capacity)
{
    if (!parts->rdsOn.load())
        return 0;
    return parts->texts.Take(parts->centre, out, capacity);
}

ReceiverCounters Receiver::Counters() const
{
    ReceiverCounters counters = {};
    counters.pairsReceived = parts->link.Ring()->PairsWritten();
    counters.pairsDropped = parts->link.PairsDropped();
    counters.connects = parts->link.Connects();
    counters.linksLost = parts->link.Losses();
    counters.rdsGroups = parts->rdsGroups.load();
    return counters;
}

} // namespace sdr
