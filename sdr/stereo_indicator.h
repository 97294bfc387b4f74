// The stereo lamp: on once the pilot loop has held a strong pilot in phase
// for half a second, off once it has been without one for a moment.
// Separate levels and times for on and off keep a marginal signal from
// flapping.
#pragma once

namespace sdr {

class StereoIndicator {
public:
    // `updatesPerSecond`: how often the loop reports.
    explicit StereoIndicator(double updatesPerSecond);
    virtual ~StereoIndicator() = default;

    void Reset();
    // The pilot's smoothed level in phase with the loop and across it (1.0 = 75 kHz deviation).
    void Update(float inPhase, float quadrature);
    bool Stereo() const { return stereo; }

private:
    int lockUpdates; // in phase this long before the lamp shows
    int dropUpdates; // without a pilot this long before it goes out
    bool stereo;
    int changing; // updates the other state has held
};

} // namespace sdr
