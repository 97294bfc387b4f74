// RDS from the multiplex: 57 kHz taken coherently from the pilot's phase,
// a biphase matched filter, symbol timing, differential decoding, block
// synchronisation by syndromes and offset words with correction of short
// bursts, and the groups that carry the station's identity (PI, PTY), its
// name (0A/0B) and its RadioText (2A/2B). Only complete and confirmed text
// is handed out. Runs on the receiver's signal thread; no allocation after
// the constructor. Level(), Pi(), Pty() and TakeText() may be called from
// another thread at the same time; the rest belongs to the signal thread.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mpx_listener.h"

namespace sdr {

class RdsReceiver : public MpxListener {
public:
    RdsReceiver();
    ~RdsReceiver() override;

    // A retune or a stop: sync, PI, name, text and the queue are cleared.
    void Reset();
    void OnMpx(const float *mpx, const uint32_t *pilotPhase, size_t count) override;

    // 0 without block sync; otherwise 1000 x (1 - block error rate over the
    // last second): above 500 means RDS is received.
    uint32_t Level() const;
    // Each complete reception of the name (after a second reception has
    // confirmed it) and of the RadioText (at its end mark, or when full), in
    // arrival order, each followed by a space, in Windows-1252. Takes whole
    // receptions only, up to `capacity` bytes; returns the bytes taken.
    size_t TakeText(char *out, size_t capacity);

    uint16_t Pi() const;  // 0 until confirmed
    uint8_t Pty() const;
    // The confirmed name and the last complete RadioText, NUL-terminated (empty when none).
    const char *Name() const;
    const char *RadioText() const;

    // Counters for tests and benchmarks.
    uint32_t GroupsDecoded() const; // groups with all four blocks good (after correction)
    uint32_t BlocksCorrected() const;

private:
    struct State;
    State *state;
};

} // namespace sdr
