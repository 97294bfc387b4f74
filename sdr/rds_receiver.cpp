#include "rds_receiver.h"

#include <atomic>

#include "rds_blocks.h"
#include "rds_demodulator.h"
#include "rds_groups.h"
#include "rds_text_queue.h"

namespace sdr {

struct RdsReceiver::State {
    RdsDemodulator demodulator;
    RdsBlockSync blocks;
    RdsTextQueue queue;
    RdsGroupDecoder groups{queue};
    RdsBit bits[RdsDemodulator::MaxBits];
    RdsBlock found[RdsBlockSync::MaxBlocksPerBit];
    // What another thread may read while the signal thread works.
    std::atomic<uint32_t> level{0};
    std::atomic<uint32_t> pi{0};
    std::atomic<uint32_t> pty{0};
};

RdsReceiver::RdsReceiver() : state(new State) {}

RdsReceiver::~RdsReceiver()
{
    delete state;
}

void RdsReceiver::Reset()
{
    state->demodulator.Reset();
    state->blocks.Reset();
    state->groups.Reset();
    state->queue.Clear();
    state->level.store(0);
    state->pi.store(0);
    state->pty.store(0);
}

void RdsReceiver::OnMpx(const float *mpx, const uint32_t *pilotPhase, size_t count)
{
    State &s = *state;
    while (count > 0) {
        const size_t chunk = count < RdsDemodulator::MaxSamples ? count : RdsDemodulator::MaxSamples;
        const size_t bitCount = s.demodulator.Process(mpx, pilotPhase, chunk, s.bits);
        for (size_t b = 0; b < bitCount; ++b) {
            const size_t blockCount = s.blocks.PushBit(s.bits[b].value, s.bits[b].weight, s.found);
            for (size_t k = 0; k < blockCount; ++k)
                s.groups.OnBlock(s.found[k]);
        }
        s.demodulator.SetTracking(s.blocks.Synced());
        mpx += chunk;
        pilotPhase += chunk;
        count -= chunk;
    }
    s.level.store(s.blocks.Level(), std::memory_order_relaxed);
    s.pi.store(s.groups.Pi(), std::memory_order_relaxed);
    s.pty.store(s.groups.Pty(), std::memory_order_relaxed);
}

uint32_t RdsReceiver::Level() const
{
    return state->level.load(std::memory_order_relaxed);
}

size_t RdsReceiver::TakeText(char *out, size_t capacity)
{
    return state->queue.Take(out, capacity);
}

uint16_t RdsReceiver::Pi() const
{
    return static_cast<uint16_t>(state->pi.load(std::memory_order_relaxed));
}

uint8_t RdsReceiver::Pty() const
{
    return static_cast<uint8_t>(state->pty.load(std::memory_order_relaxed));
}

const char *RdsReceiver::Name() const
{
    return state->groups.Name();
}

const char *RdsReceiver::RadioText() const
{
    return state->groups.RadioText();
}

uint32_t RdsReceiver::GroupsDecoded() const
{
    return state->groups.GroupsDecoded();
}

uint32_t RdsReceiver::BlocksCorrected() const
{
    return state->blocks.BlocksCorrected();
}

} // namespace sdr
