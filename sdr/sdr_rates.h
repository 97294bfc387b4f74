// The software receiver's rates, chosen so that every step down is a whole
// number: the dongle's 1.2 MS/s, divided by 5 into the 240 kS/s channel (FM
// at 75 kHz deviation with its 53 kHz stereo and 57 kHz RDS parts fits), and
// by 5 again into 48 kHz audio. So no fractional resampler is needed.
// 1.2 MS/s shows +-600 kHz around the dongle's centre, five or more
// neighbouring channels on each side for the station search, and costs
// 2.4 MB/s on the network, half of what rtl_tcp's own default rate needs.
// The station sits a quarter of the rate (300 kHz) off the dongle's centre,
// away from its DC spike, and a quarter of the rate is a shift that needs no
// multiplication: each sample turns by a right angle.
#pragma once

#include <cstdint>

namespace sdr {

constexpr uint32_t DongleRate = 1200000;
constexpr uint32_t ChannelDecimation = 5;
constexpr uint32_t ChannelRate = DongleRate / ChannelDecimation; // 240 kS/s: FM, pilot, stereo, RDS
constexpr uint32_t AudioDecimation = 5;
constexpr uint32_t AudioRate = ChannelRate / AudioDecimation; // 48 kHz
constexpr uint32_t StationOffsetHz = DongleRate / 4;          // the station's distance from the centre

constexpr double PilotHz = 19000.0;
constexpr double FmDeviationHz = 75000.0;

static_assert(ChannelRate * ChannelDecimation == DongleRate, "whole channel step");
static_assert(AudioRate * AudioDecimation == ChannelRate, "whole audio step");

} // namespace sdr
