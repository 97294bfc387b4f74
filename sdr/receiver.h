// The whole software receiver behind one object: the rtl_tcp link, the
// signal thread (FM, stereo, RDS, the spectrum for the search) and the
// sound. Every call returns at once: it stores a wish the receiver's own
// threads pick up, or reads a figure they published. So the caller (the
// radio's window thread) never waits on the network or on those threads.
#pragma once

#include <cstddef>
#include <cstdint>

#include "band_rules.h"

namespace sdr {

class AudioSink;

struct ReceiverConfig {
    char host[256] = "127.0.0.1";
    uint16_t port = 1234;
    int32_t gainTenthsDb = 0; // 0: the tuner's automatic gain
    int32_t ppm = 0;          // the dongle's frequency correction
};

struct SeekAnswer {
    int32_t frequency; // 0.1 MHz: where the search is now
    int32_t continues; // 0 stopped (on a station or at the band's edge), 1 on upward, 2 on downward
};

struct ReceiverCounters {
    uint64_t pairsReceived;
    uint64_t pairsDropped;  // by a full buffer between the link and the signal thread
    uint32_t connects;
    uint32_t linksLost;
    uint32_t rdsGroups;
};

class Receiver {
public:
    Receiver();
    virtual ~Receiver();
    Receiver(const Receiver &) = delete;
    Receiver &operator=(const Receiver &) = delete;

    // Allocates every buffer and starts the threads, once; later calls only
    // take the new server and gain. False when memory or threads cannot be had.
    bool Start(const ReceiverConfig &config, AudioSink *sink);

    // Connect to the server and keep connecting (true), or let it go so
    // another client may have it (false).
    void SetLinked(bool linked);
    // The greeting was accepted and samples arrived within the last second.
    bool LinkUp() const;
    // Demodulate and play (true), or rest with the sound closed (false).
    void SetPlaying(bool playing);
    // Until the sound has faded out and been played to its end after
    // SetPlaying(false), or `timeoutMs`; true when it has. Only for a
    // program's end, when no window waits for it.
    bool AwaitSilence(uint32_t timeoutMs);

    void Tune(int32_t frequency); // 0.1 MHz
    void SetRegion(Region region);
    SeekAnswer Seek(bool upward);
    void SetSearchLevel(int32_t level); // 0..3, higher stops on stronger stations only
    void SetMono(bool mono);
    void SetBlend(bool blend);
    bool Stereo() const;
    void SetMute(bool mute);
    void SetVolume(int32_t volume); // 40..79

    void SetRds(bool on);
    uint32_t RdsLevel() const;
    // The complete receptions since the last call, each followed by a space,
    // whole ones only, up to `capacity` bytes; nothing from before a retune.
    size_t ReadRdsText(char *out, size_t capacity);

    ReceiverCounters Counters() const;

private:
    // A new dongle centre, listening or looking ahead for the search.
    void Retune(uint32_t centre);

    struct Parts;
    Parts *parts;
};

} // namespace sdr
