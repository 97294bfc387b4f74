#include "pilot_loop.h"

#include <cmath>

#include "angles.h"
#include "sdr_rates.h"

namespace sdr {

namespace {

constexpr double UpdateSeconds = 0.001; // 19 whole pilot cycles at 240 kS/s
// The loop: natural frequency and damping, and how far it may pull.
constexpr double NaturalHz = 10;
constexpr double Damping = 0.707;
constexpr float PullHz = 30;
// Per update and per unit of phase error: the integral path's step of the
// frequency, and the proportional path's step of the phase.
constexpr double NaturalRadians = 2 * Pi * NaturalHz;
constexpr float IntegralHz = static_cast<float>(NaturalRadians * NaturalRadians * UpdateSeconds / (2 * Pi));
constexpr double ProportionalTurns = 2 * Damping * NaturalRadians * UpdateSeconds / (2 * Pi);
// The phase detector's output is scaled to a typical pilot (9 % of deviation),
// so a stronger or weaker one changes the loop's gain a little, not its kind.
constexpr float TypicalPilot = 0.09f;
// Smoothing of the pilot's level for the lamp, and the level below which the
// loop lets its frequency drift back to 19 kHz.
constexpr float LevelSmoothing = 0.05f; // per update: 20 ms
constexpr float AbsentLevel = 0.01f;
constexpr float OffsetDecay = 0.995f; // per update without a pilot: 0.2 s

} // namespace

PilotLoop::PilotLoop(const PhaseTable &phaseTable, double sampleRate)
    : table(phaseTable), rate(sampleRate), updateSamples(static_cast<int>(std::lround(UpdateSeconds * sampleRate))),
      nominalStep(static_cast<uint32_t>(std::llround(PilotHz / sampleRate * Turn))), phase(0), step(0), offsetHz(0),
      sumInPhase(0), sumQuadrature(0), left(0), inPhase(0), quadrature(0), indicator(1 / UpdateSeconds)
{
    Reset();
}

void PilotLoop::Reset()
{
    phase = 0;
    step = nominalStep;
    offsetHz = 0;
    sumInPhase = sumQuadrature = 0;
    left = updateSamples;
    inPhase = quadrature = 0;
    indicator.Reset();
}

float PilotLoop::Level() const
{
    return std::sqrt(inPhase * inPhase + quadrature * quadrature);
}

void PilotLoop::Run(const float *mpx, size_t count, uint32_t *phases)
{
    // Up to each update in a tight loop, the state in locals: the phases
    // written out could otherwise be the members themselves, for all the
    // compiler knows.
    while (count > 0) {
        const size_t run = count < static_cast<size_t>(left) ? count : static_cast<size_t>(left);
        uint32_t p = phase;
        const uint32_t s = step;
        float inPhaseSum = sumInPhase, quadratureSum = sumQuadrature;
        for (size_t n = 0; n < run; ++n) {
            phases[n] = p;
            inPhaseSum += mpx[n] * table.Cos(p);
            quadratureSum += mpx[n] * table.Sin(p);
            p += s;
        }
        phase = p;
        sumInPhase = inPhaseSum;
        sumQuadrature = quadratureSum;
        mpx += run;
        phases += run;
        count -= run;
        left -= static_cast<int>(run);
        if (left == 0)
            Update();
    }
}

void PilotLoop::Update()
{
    // A pilot A cos(phase + e) gives (A/2) cos e in phase and -(A/2) sin e across.
    const float nowInPhase = sumInPhase * 2 / static_cast<float>(updateSamples);
    const float nowQuadrature = sumQuadrature * 2 / static_cast<float>(updateSamples);
    sumInPhase = sumQuadrature = 0;
    left = updateSamples;

    float error = -nowQuadrature / TypicalPilot;
    error = error > 1 ? 1 : error < -1 ? -1 : error;
    offsetHz += IntegralHz * error;
    phase += static_cast<uint32_t>(static_cast<int32_t>(std::lround(ProportionalTurns * error * Turn)));

    inPhase += LevelSmoothing * (nowInPhase - inPhase);
    quadrature += LevelSmoothing * (nowQuadrature - quadrature);
    if (Level() < AbsentLevel)
        offsetHz *= OffsetDecay;
    offsetHz = offsetHz > PullHz ? PullHz : offsetHz < -PullHz ? -PullHz : offsetHz;
    step = nominalStep + static_cast<uint32_t>(static_cast<int32_t>(std::lround(offsetHz / rate * Turn)));
    indicator.Update(inPhase, quadrature);
}

} // namespace sdr
