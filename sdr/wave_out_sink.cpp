#include "wave_out_sink.h"

#include <windows.h>

#include <algorithm>
#include <climits>
#include <cstring>

#include "sdr_rates.h"
#include "wave_out_device.h"

namespace sdr {

namespace {

WaveOutSettings sanitised(WaveOutSettings settings)
{
    settings.bufferFrames = std::max(settings.bufferFrames, 48u);
    settings.bufferCount = std::min(std::max(settings.bufferCount, 3u), MaxWaveBuffers);
    // The floor is whole buffers, all with the device (frames waiting in a
    // half-filled buffer would only add to the latency), and leaves room for
    // a buffer being filled and one more.
    const uint32_t floorBuffers = (settings.floorFrames + settings.bufferFrames - 1) / settings.bufferFrames;
    settings.floorFrames = std::min(floorBuffers, settings.bufferCount - 2) * settings.bufferFrames;
    return settings;
}

int16_t mean(int16_t a, int16_t b)
{
    return static_cast<int16_t>((a + b) / 2);
}

} // namespace

WaveOutSink::WaveOutSink(const WaveOutSettings &wished)
    : WaveOutSink(*new WaveOutDevice(WaveOutDevice::DefaultDevice), wished)
{
    owned = &device;
}

WaveOutSink::WaveOutSink(WaveDevice &wave, const WaveOutSettings &wished)
    : owned(nullptr), device(wave), settings(sanitised(wished)),
      memory(new int16_t[2 * settings.bufferFrames * settings.bufferCount]()), opened(false), queued(0),
      dropped(0), merged(0), inserted(0), underruns(0)
{
    Reset();
}

WaveOutSink::~WaveOutSink()
{
    Close();
    delete owned;
    delete[] memory;
}

void WaveOutSink::Reset()
{
    started = false;
    head = 0;
    playing = 0;
    fill = 0;
    sentFrames = 0;
    last[0] = last[1] = 0;
    haveLast = false;
    fadeDone = FadeFrames;
    windowLeft = WindowFrames;
    lowWater = UINT32_MAX;
    correction = Correction::None;
    correctionPeriod = 0;
    untilCorrection = 0;
    queued.store(0, std::memory_order_relaxed);
}

bool WaveOutSink::Open()
{
    if (opened)
        return true;
    Reset();
    opened = device.Open(memory, settings.bufferCount, settings.bufferFrames);
    return opened;
}

void WaveOutSink::Close()
{
    if (!opened)
        return;
    if (started) {
        FadeOut();
        Drain();
    }
    device.Close();
    opened = false;
    Reset();
}

// From the last frame down to silence over the fade's length, then silence
// to the end of that buffer, which goes to the card.
void WaveOutSink::FadeOut()
{
    // A card that has run dry has stopped already: nothing to fade.
    Reclaim();
    uint32_t left = haveLast && (playing > 0 || fill > 0) ? FadeFrames : 0;
    while (left > 0 || fill > 0) {
        if (fill == 0 && playing == settings.bufferCount)
            return; // no room: what the card has must do
        int16_t *to = FillBuffer() + 2 * fill;
        for (uint32_t i = 0; fill < settings.bufferFrames; ++i, ++fill) {
            const int32_t share = left > 0 ? static_cast<int32_t>(--left) : 0;
            to[2 * i] = static_cast<int16_t>(last[0] * share / int32_t(FadeFrames));
            to[2 * i + 1] = static_cast<int16_t>(last[1] * share / int32_t(FadeFrames));
        }
        Send();
    }
}

// Until the card has played every buffer, or for as long as they last and
// a little more: a card that stopped taking them is not waited for.
void WaveOutSink::Drain()
{
    const DWORD most = playing * settings.bufferFrames / (AudioRate / 1000) + 50;
    const DWORD start = GetTickCount();
    for (Reclaim(); playing > 0 && GetTickCount() - start < most; Reclaim())
        Sleep(5);
}

void WaveOutSink::Drop(size_t count)
{
    dropped.fetch_add(static_cast<uint32_t>(count), std::memory_order_relaxed);
}

int16_t *WaveOutSink::FillBuffer() const
{
    const uint32_t index = (head + playing) % settings.bufferCount;
    return memory + 2 * settings.bufferFrames * index;
}

// Buffers come back from the device in the order they were given.
void WaveOutSink::Reclaim()
{
    while (playing > 0 && device.Done(head)) {
        head = (head + 1) % settings.bufferCount;
        --playing;
    }
}

// Frames ahead of the next one written. The device's position makes it
// exact within the buffer playing; it is trusted only as far as the
// buffers still out allow, so a device that counts its silence too, or
// lags its buffers' return, cannot throw the drift control off by more than
// a buffer.
uint32_t WaveOutSink::Depth()
{
    uint32_t withDevice = 0;
    if (playing > 0) {
        const int64_t most = int64_t(playing) * settings.bufferFrames;
        const int64_t least = most - settings.bufferFrames;
        const int64_t reported = static_cast<int32_t>(sentFrames - device.PlayedFrames());
        withDevice = static_cast<uint32_t>(std::min(std::max(reported, least), most));
    }
    return withDevice + fill;
}

// The sound (re)starts: the floor's silence ahead of it, then a fade-in.
void WaveOutSink::Start()
{
    started = true;
    for (uint32_t left = settings.floorFrames; left > 0;) {
        const uint32_t count = std::min(left, settings.bufferFrames - fill);
        std::memset(FillBuffer() + 2 * fill, 0, 4 * count);
        fill += count;
        left -= count;
        if (fill == settings.bufferFrames)
            Send();
    }
    last[0] = last[1] = 0;
    haveLast = false;
    fadeDone = 0;
    windowLeft = WindowFrames;
    lowWater = UINT32_MAX;
    correction = Correction::None;
}

void WaveOutSink::Send()
{
    const uint32_t index = (head + playing) % settings.bufferCount;
    fill = 0;
    if (!device.Play(index)) {
        Drop(settings.bufferFrames);
        return;
    }
    ++playing;
    sentFrames += settings.bufferFrames;
}

void WaveOutSink::Write(const int16_t *frames, size_t count)
{
    if (!opened) {
        Drop(count);
        return;
    }
    Reclaim();
    if (started && playing == 0) {
        // The card ran out: it has been playing silence. Whatever was left
        // half-filled belongs before the gap.
        underruns.fetch_add(1, std::memory_order_relaxed);
        Drop(fill);
        fill = 0;
        started = false;
    }
    if (!started)
        Start();
    lowWater = std::min(lowWater, Depth());
    Put(frames, count);

    size_t counted = count;
    while (counted >= windowLeft) {
        counted -= windowLeft;
        Steer();
    }
    windowLeft -= static_cast<uint32_t>(counted);
    queued.store(Depth(), std::memory_order_relaxed);
}

void WaveOutSink::Put(const int16_t *frames, size_t count)
{
    const uint32_t size = settings.bufferFrames;
    while (count > 0) {
        if (fill == 0 && playing == settings.bufferCount) {
            Drop(count); // every buffer is with the device
            return;
        }
        if (correction != Correction::None && untilCorrection == 0 && Correct(frames)) {
            untilCorrection = correctionPeriod;
            if (correction == Correction::Merge) {
                frames += 2;
                --count;
            }
        } else {
            uint32_t n = static_cast<uint32_t>(std::min<size_t>(count, size - fill));
            // Up to the next correction; one that waits for its neighbour lets one frame by first.
            if (correction != Correction::None)
                n = std::min(n, std::max(untilCorrection, 1u));
            int16_t *to = FillBuffer() + 2 * fill;
            if (fadeDone < FadeFrames) {
                n = std::min(n, FadeFrames - fadeDone);
                for (uint32_t i = 0; i < n; ++i) {
                    const int32_t share = static_cast<int32_t>(++fadeDone);
                    to[2 * i] = static_cast<int16_t>(frames[2 * i] * share / int32_t(FadeFrames));
                    to[2 * i + 1] = static_cast<int16_t>(frames[2 * i + 1] * share / int32_t(FadeFrames));
                }
            } else {
                std::memcpy(to, frames, 4 * size_t(n));
            }
            last[0] = to[2 * n - 2];
            last[1] = to[2 * n - 1];
            haveLast = true;
            fill += n;
            frames += 2 * n;
            count -= n;
            if (untilCorrection > 0)
                untilCorrection -= std::min(untilCorrection, n);
        }
        if (fill == size)
            Send();
    }
}

// One frame merged with the last one put in, or one put in between them.
// False when the neighbour is not at hand (the buffer has just gone, or the
// sound has just started): the correction waits for the next frame.
bool WaveOutSink::Correct(const int16_t *frame)
{
    if (correction == Correction::Merge) {
        if (fill == 0)
            return false;
        int16_t *previous = FillBuffer() + 2 * (fill - 1);
        previous[0] = last[0] = mean(previous[0], frame[0]);
        previous[1] = last[1] = mean(previous[1], frame[1]);
        merged.fetch_add(1, std::memory_order_relaxed);
        return true;
    }
    if (!haveLast || fadeDone < FadeFrames)
        return false;
    int16_t *to = FillBuffer() + 2 * fill;
    to[0] = last[0] = mean(last[0], frame[0]);
    to[1] = last[1] = mean(last[1], frame[1]);
    ++fill;
    inserted.fetch_add(1, std::memory_order_relaxed);
    return true;
}

// A second of sound written: how far the queue's low point strayed from the
// floor sets the corrections of the next second.
void WaveOutSink::Steer()
{
    const int64_t error = lowWater == UINT32_MAX ? 0 : int64_t(lowWater) - settings.floorFrames;
    const int64_t beyond = (error < 0 ? -error : error) - settings.toleranceFrames;
    if (!settings.driftControl || beyond <= 0) {
        correction = Correction::None;
    } else {
        const uint32_t corrections = static_cast<uint32_t>(std::min<int64_t>(beyond / 4 + 1, MaxCorrections));
        correction = error > 0 ? Correction::Merge : Correction::Insert;
        correctionPeriod = WindowFrames / corrections;
        untilCorrection = correctionPeriod / 2;
    }
    windowLeft = WindowFrames;
    lowWater = UINT32_MAX;
}

} // namespace sdr
