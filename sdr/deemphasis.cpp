#include "deemphasis.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "angles.h"

namespace sdr {

namespace {

// The smaller root of x^2 + 2 r x + 1 (the two roots' product is 1).
double inner_root(double r)
{
    const double d = std::sqrt(std::fmax(0.0, r * r - 1));
    const double a = -r + d, b = -r - d;
    return std::fabs(a) < std::fabs(b) ? a : b;
}

} // namespace

Deemphasis::Deemphasis(double audioRate, double mpxRate)
    : rate(audioRate), discriminatorRate(mpxRate), gain(1), zero(0), pole(0), lastIn{0, 0}, lastOut{0, 0}
{
}

void Deemphasis::SetTime(double tau)
{
    if (tau <= 0) {
        gain = 1;
        zero = pole = 0;
        return;
    }
    // H = g (1 - q/z) / (1 - p/z) has |H|^2 = (A + B c) / (1 + D c) with
    // c = cos(w): three matched points fix A, B and D, then q, p and g.
    const double points[3] = {0, 5000, 15000};
    double m[3][4];
    for (int k = 0; k < 3; ++k) {
        const double c = std::cos(2 * Pi * points[k] / rate);
        const double w = 2 * Pi * points[k] * tau;
        const double x = Pi * points[k] / discriminatorRate;
        const double droop = x > 0 ? std::sin(x) / x : 1;
        const double target = 1 / (1 + w * w) / (droop * droop);
        const double row[4] = {1, c, -target * c, target};
        std::copy(row, row + 4, m[k]);
    }
    // Gaussian elimination with partial pivoting on the 3 x 4 system.
    for (int col = 0; col < 3; ++col) {
        int best = col;
        for (int r = col + 1; r < 3; ++r)
            if (std::fabs(m[r][col]) > std::fabs(m[best][col]))
                best = r;
        for (int k = 0; k < 4; ++k)
            std::swap(m[col][k], m[best][k]);
        for (int r = 0; r < 3; ++r) {
            if (r == col)
                continue;
            const double f = m[r][col] / m[col][col];
            for (int k = col; k < 4; ++k)
                m[r][k] -= f * m[col][k];
        }
    }
    const double a = m[0][3] / m[0][0], b = m[1][3] / m[1][1], d = m[2][3] / m[2][2];
    // 1 + D c = k (1 + p^2 - 2 p c), so (1 + p^2) / (2 p) = -1 / D; likewise for q with A and B.
    const double p = inner_root(1 / d), q = inner_root(a / b);
    pole = static_cast<float>(p);
    zero = static_cast<float>(q);
    gain = static_cast<float>((1 - p) / (1 - q));
}

void Deemphasis::Reset()
{
    lastIn[0] = lastIn[1] = lastOut[0] = lastOut[1] = 0;
}

void Deemphasis::Run(float *frames, size_t count)
{
    // The state in locals: the frames written could be the members, for all the compiler knows.
    const float g = gain, q = zero, p = pole;
    for (int c = 0; c < 2; ++c) {
        float in = lastIn[c], out = lastOut[c];
        for (size_t n = 0; n < count; ++n) {
            const float x = frames[2 * n + c];
            out = g * (x - q * in) + p * out;
            // Flush what would decay into denormals (slow on x86) in silence.
            out = std::fabs(out) < 1e-20f ? 0 : out;
            in = x;
            frames[2 * n + c] = out;
        }
        lastIn[c] = in;
        lastOut[c] = out;
    }
}

} // namespace sdr
