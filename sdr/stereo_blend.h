// "Stereo noise cancelling": how much of the stereo part (L-R) is heard. On
// a weak signal the difference channel hisses far more than the sum, so its
// share follows the signal's quality, from none at 16 dB of quieting to all
// of it at 28 dB (a clean station at full modulation reads 33 to 36 dB).
// The quality moves the share only once it has moved more than 2 dB from
// where it last did (a marginal signal's share holds still instead of
// pumping), and the share itself ramps, a whole swing taking 0.3 s. Without the blend the stereo part is
// all there whenever the pilot is; without a pilot, or in forced mono, none
// of it.
#pragma once

namespace sdr {

class StereoBlend {
public:
    explicit StereoBlend(double frameRate);
    virtual ~StereoBlend() = default;

    void Reset();
    // From time to time: the lamp, the quality, and the listener's choices.
    void Steer(bool pilot, float quietingDb, bool blend, bool forcedMono);
    // The share for the next audio frame.
    float Next()
    {
        if (share < target)
            share = share + step < target ? share + step : target;
        else if (share > target)
            share = share - step > target ? share - step : target;
        return share;
    }
    float Share() const { return share; }

private:
    float step;
    float held; // the quality that set the target
    float target;
    float share;
};

} // namespace sdr
