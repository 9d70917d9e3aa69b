// The delay of the oversampler alone (a pass-through chain between its
// stages), measured from its impulse response: phase delay in host samples
// at a frequency, and the whole-sample delay a host should be told.
#pragma once

#include <cmath>
#include <complex>
#include <vector>

#include "engine/OversamplingStages.h"

namespace oversampler_delay
{

constexpr double pi = 3.14159265358979323846;

inline std::vector<double> impulseResponse(unsigned factor, int length = 4096)
{
    OversamplingStages stages;
    auto chain = [](double w) noexcept { return w; };
    std::vector<double> h(length);
    for (int n = 0; n < length; ++n)
    {
        const double x = n == 0 ? 1.0 : 0.0;
        h[n] = factor == 2   ? stages.tick<1>(x, chain)
               : factor == 8 ? stages.tick<3>(x, chain)
                             : stages.tick<2>(x, chain);
    }
    return h;
}

// Phase delays at f = step, 2 step, ... up to fMax (Hz at rate), with the
// phase unwrapped from low to high frequencies.
inline std::vector<double> phaseDelays(const std::vector<double>& h, double step, double fMax, double rate)
{
    std::vector<double> delays;
    double previous = 0.0, unwrap = 0.0;
    for (double f = step; f <= fMax + 1e-9; f += step)
    {
        const double w = 2.0 * pi * f / rate;
        std::complex<double> H = 0.0;
        for (size_t n = 0; n < h.size(); ++n)
            H += h[n] * std::polar(1.0, -w * static_cast<double>(n));
        double phase = std::arg(H) + unwrap;
        while (phase - previous > pi)
        {
            phase -= 2.0 * pi;
            unwrap -= 2.0 * pi;
        }
        while (phase - previous < -pi)
        {
            phase += 2.0 * pi;
            unwrap += 2.0 * pi;
        }
        previous = phase;
        delays.push_back(-phase / w);
    }
    return delays;
}

// The integer with the smallest largest error against delays.
inline int bestWholeDelay(const std::vector<double>& delays)
{
    int best = 0;
    double bestError = 1e300;
    for (int d = 0; d < 64; ++d)
    {
        double error = 0.0;
        for (double t : delays)
            error = std::fmax(error, std::fabs(t - d));
        if (error < bestError)
        {
            bestError = error;
            best = d;
        }
    }
    return best;
}

} // namespace oversampler_delay
