// Angles as the chain counts them: radians, and 32-bit phases that wrap
// around once a turn (the pilot loop's, handed on to RDS).
#pragma once

namespace sdr {

constexpr double Pi = 3.14159265358979323846;
constexpr double Turn = 4294967296.0; // 2^32

} // namespace sdr
