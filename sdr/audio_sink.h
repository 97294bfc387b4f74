// Where the receiver's sound goes: waveOut in the radio, a capture in the
// tests. 48 kHz, interleaved 16-bit stereo frames, left first.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sdr {

class AudioSink {
public:
    virtual ~AudioSink() = default;
    virtual bool Open() = 0;
    // The sound ends: faded out from its last frame and played to its end
    // (cut at full level it clicks). It may take as long as what is queued.
    virtual void Close() = 0;
    // Never blocks: what does not fit is dropped (and counted by the sink).
    virtual void Write(const int16_t *frames, size_t count) = 0;
};

} // namespace sdr
