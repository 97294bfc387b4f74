// The receiver's sound to the sound card through waveOut: 48 kHz, 16-bit
// stereo, a ring of short buffers allocated once.
//
// Latency. Nothing waits: Write copies into the buffer being filled and
// hands each full one to the device; when every buffer is with the device
// the rest is dropped (and counted). So no frame is ever more than the
// ring (16 x 10 ms) behind its arrival. The ring is that long because
// rtl_tcp sends the dongle's blocks whole: 131,072 pairs, 109 ms of sound at
// 1.2 MS/s, arrive at once, and must fit on top of the floor.
//
// The floor. When the sound starts, and again after an underrun, 30 ms of
// silence goes ahead of it and the sound fades in over 5 ms: the queue then
// never runs lower than that floor while the sound keeps coming at its
// rate, and a late block does not starve the card at once.
//
// Drift. The dongle's crystal and the sound card's differ by up to a few
// hundred ppm, so the queue would slowly fill or drain. Once a second (of
// sound written) the lowest the queue was before a Write is compared with
// the floor; beyond 5 ms off, frames are taken out or put in during the
// next second, spread evenly, as many as a quarter of the error (at most
// 0.4 %): a frame taken out is merged with its neighbour into their mean,
// a frame put in is the mean of its neighbours, so the sound bends instead
// of jumping. 200 ppm costs about ten such frames a second.
//
// Underrun. A card that runs out plays silence; the sink never gives a
// buffer back to the device unless it has been filled anew, so an old
// buffer is never heard twice. What was left half-filled before the gap is
// dropped: after a gap comes the new sound, after its 30 ms of silence.
//
// The end. Close fades the sound out from its last frame over 5 ms, as it
// fades in, and waits for the card to play what is queued (at most the
// ring's length): a sound cut off at full level clicks.
//
// No device: Open returns false and every Write is dropped and counted;
// the receiver runs on without sound.
//
// Threads: Open, Close and Write on one thread at a time (the receiver's
// signal thread writes); the figures may be read from any thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "audio_sink.h"
#include "wave_device.h"

namespace sdr {

struct WaveOutSettings {
    uint32_t bufferFrames = 480;   // 10 ms a buffer
    uint32_t bufferCount = 18;     // 180 ms in all: the most that can be queued
    uint32_t floorFrames = 960;    // 20 ms of silence ahead of the sound at each start (whole buffers)
    uint32_t toleranceFrames = 240; // how far the queue's low point may stray from the floor uncorrected
    bool driftControl = true;
};

class WaveOutSink : public AudioSink {
public:
    static constexpr uint32_t FadeFrames = 240;    // the fade-in at each start: 5 ms
    static constexpr uint32_t WindowFrames = 48000; // drift is looked at once a second of sound written
    static constexpr uint32_t MaxCorrections = 192; // frames merged or inserted in a window at most (0.4 %)

    // The sound card: the default waveOut device.
    explicit WaveOutSink(const WaveOutSettings &settings = WaveOutSettings());
    // Another device (tests: one on a clock of their own); it must outlive the sink.
    explicit WaveOutSink(WaveDevice &device, const WaveOutSettings &settings = WaveOutSettings());
    ~WaveOutSink() override;
    WaveOutSink(const WaveOutSink &) = delete;
    WaveOutSink &operator=(const WaveOutSink &) = delete;

    bool Open() override;
    void Close() override;
    void Write(const int16_t *frames, size_t count) override;

    // Figures, from any thread.
    // Sound queued ahead of the next frame written, as of the last Write: its latency.
    uint32_t QueuedFrames() const { return queued.load(std::memory_order_relaxed); }
    // Written but never to be played: no device, no room, or left half-filled at a gap.
    uint32_t DroppedFrames() const { return dropped.load(std::memory_order_relaxed); }
    uint32_t MergedFrames() const { return merged.load(std::memory_order_relaxed); }
    uint32_t InsertedFrames() const { return inserted.load(std::memory_order_relaxed); }
    // Times the card ran out of sound while the sink was open.
    uint32_t Underruns() const { return underruns.load(std::memory_order_relaxed); }

private:
    enum class Correction { None, Merge, Insert };

    void Reset();
    void FadeOut();
    void Drain();
    void Reclaim();
    uint32_t Depth();
    void Start();
    void Put(const int16_t *frames, size_t count);
    bool Correct(const int16_t *frame);
    void Send();
    void Steer();
    int16_t *FillBuffer() const;
    void Drop(size_t count);

    WaveDevice *owned;
    WaveDevice &device;
    WaveOutSettings settings;
    int16_t *memory;

    bool opened;
    bool started;
    uint32_t head;       // the oldest buffer with the device
    uint32_t playing;    // buffers with the device, from head on
    uint32_t fill;       // frames in the buffer after them, being filled
    uint32_t sentFrames; // frames given to the device since Open
    int16_t last[2];     // the last frame put in a buffer
    bool haveLast;
    uint32_t fadeDone;   // frames of the fade-in behind us

    uint32_t windowLeft;
    uint32_t lowWater;
    Correction correction;
    uint32_t correctionPeriod;
    uint32_t untilCorrection;

    std::atomic<uint32_t> queued;
    std::atomic<uint32_t> dropped;
    std::atomic<uint32_t> merged;
    std::atomic<uint32_t> inserted;
    std::atomic<uint32_t> underruns;
};

} // namespace sdr
