// A generated FM band as an RTL2832U dongle delivers it: stations at given
// frequencies, each with its left and right programme (a tone or noise),
// the 19 kHz pilot and 38 kHz stereo subcarrier, RDS at 57 kHz, 75 kHz
// deviation, a carrier-to-noise ratio of its own, summed with the band's
// noise and quantised to unsigned 8-bit I/Q around 127.5 with the dongle's DC
// offset, for any centre frequency and sample rate.
//
// It is the receiver's reference, so it shares no code with it: its own
// oscillators, its own RDS encoder, exact tones.
#pragma once

#include <cstddef>
#include <cstdint>

#include "band_source.h"
#include "rds_encoder.h"

namespace sdrkit {

// One side of a station's programme. `amplitude` is the part of full
// modulation (1.0 = 100 %): a tone's peak before the pre-emphasis, or the RMS
// of a noise-like programme (many tones up to 15 kHz) as sent, after it. A
// noise programme whose peak would pass full modulation is turned down until
// it just fits, as a broadcaster's limiter keeps a station within 75 kHz.
struct AudioSpec {
    float toneHz = 0;
    float amplitude = 0;
    bool noise = false;
};

struct StationSpec {
    uint32_t frequencyHz = 0;
    AudioSpec left;
    AudioSpec right;
    bool stereo = true;            // pilot and stereo subcarrier; a mono station sends (L+R)/2
    double pilotOffsetHz = 0;      // a station's 19 kHz may be a little off
    float preemphasisSeconds = 0;  // 50e-6 or 75e-6 as broadcast, 0 for none
    float cnrDb = 40;              // carrier to the band's noise in 200 kHz
    bool rds = false;
    RdsProgramme programme;
    float rdsInjection = 0.04f;    // of full deviation (3 kHz)
    bool rdsQuadrature = false;    // RDS in quadrature with the pilot's third harmonic, as the standard allows
};

class BandGenerator : public BandSource {
public:
    static constexpr int MaxStations = 16;

    explicit BandGenerator(uint64_t seed = 1);
    ~BandGenerator() override;
    BandGenerator(const BandGenerator &) = delete;
    BandGenerator &operator=(const BandGenerator &) = delete;

    // The station's index, or -1 when the band is full.
    int AddStation(const StationSpec &spec);
    // A new programme for a station on the air: its oscillators and RDS run on.
    void Update(int index, const StationSpec &spec);
    const StationSpec &Station(int index) const;
    int StationCount() const { return count; }

    // The dongle's DC offset, in steps of the 8-bit samples (default 1.0 and -0.6).
    void SetDcOffset(float i, float q);
    // The RMS of the whole signal as a part of full scale, as the dongle's gain
    // would set it (default 0.3).
    void SetLevel(float rms);

    void Fill(uint8_t *iq, size_t pairs, uint32_t centreHz, uint32_t rateHz) override;
    double Seconds() const { return seconds; }

private:
    struct Transmitter;
    float NextGaussian();

    Transmitter *transmitters[MaxStations];
    int count;
    uint64_t random;
    float spareGaussian;
    bool haveSpare;
    float dcI, dcQ;
    float level;
    double seconds;
};

} // namespace sdrkit
