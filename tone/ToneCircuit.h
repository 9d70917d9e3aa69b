#pragma once

#include "tone/ToneFilter.h"

#include <array>
#include <cmath>

// The common shape of the six tone circuits: smoothed controls gliding toward
// their targets, the analog transfer function H(s) = N(s)/D(s) of the network
// at the smoothed controls, its bilinear transform at the inner rate and the
// filter that runs per sample.
//
// Circuit (CRTP) supplies
//     static constexpr double glideKeep, glideTake;   v = keep·v + take·t
//     void analogCoefficients(const Controls&, Coefficients& n, Coefficients& d) const noexcept;
// and its own setControls, which passes the new targets to storeTargets.
template <class Circuit, int Order, int ControlCount> class ToneCircuit
{
  public:
    static constexpr int order = Order;
    static constexpr int controlCount = ControlCount;
    using Controls = std::array<double, ControlCount>;
    using Coefficients = std::array<double, Order + 1>;

    // Stores the inner rate (host rate × factor) and the factor, then
    // recomputes the coefficients from the smoothed controls. The filter state
    // is kept. A rate that is not a positive number is ignored, and the factor
    // is at least 1, so a bad call cannot break the filter or the glide.
    void setSampleRate(double newProcessRate, int newOversampling) noexcept
    {
        storeRate(newProcessRate, newOversampling);
        computeCoefficients();
    }

    void computeCoefficients() noexcept
    {
        static_cast<const Circuit&>(*this).analogCoefficients(smoothed, n, d);
        // N and D have positive terms only; if garbage got in anyway, the
        // filter keeps its last good coefficients.
        filter.setBilinear(n.data(), d.data(), c);
    }

    // One smoothing step per host sample: the controls move only when the
    // counter is a multiple of the factor. The counter is never reset, so a
    // new glide updates first when the count next reaches a multiple.
    void glideStep() noexcept
    {
        if (glideCounter % oversampling == 0)
        {
            bool settled = true;
            for (int i = 0; i < ControlCount; ++i)
            {
                smoothed[i] = Circuit::glideKeep * smoothed[i] + Circuit::glideTake * target[i] + 1e-25;
                settled = settled && std::fabs(smoothed[i] - target[i]) < 0.001;
            }
            if (settled)
                gliding = false;
            computeCoefficients();
        }
        ++glideCounter;
    }

    inline double process(double x) noexcept
    {
        if (gliding)
            glideStep();
        return filter.process(x);
    }

    // The smoothed controls jump to the targets and the glide ends: for a
    // setting known before any audio runs.
    void settle() noexcept
    {
        smoothed = target;
        gliding = false;
        computeCoefficients();
    }

    // Clears the filter state only; coefficients and controls stay.
    void reset() noexcept { filter.reset(); }

    bool isFinite() const noexcept { return filter.isFinite(); }

    const Controls& smoothedControls() const noexcept { return smoothed; }
    const Controls& targetControls() const noexcept { return target; }
    bool isGliding() const noexcept { return gliding; }
    unsigned int glideCount() const noexcept { return glideCounter; }
    double innerRate() const noexcept { return processRate; }
    int oversamplingFactor() const noexcept { return static_cast<int>(oversampling); }
    const Coefficients& analogNumerator() const noexcept { return n; }
    const Coefficients& analogDenominator() const noexcept { return d; }
    const ToneFilter<Order>& digitalFilter() const noexcept { return filter; }
    ToneFilter<Order>& digitalFilter() noexcept { return filter; }

    // New targets, each clamped to [0, 1] (a NaN keeps the previous target);
    // the glide starts or continues. Coefficients follow in glideStep.
    void storeTargets(const Controls& values) noexcept
    {
        for (int i = 0; i < ControlCount; ++i)
        {
            const double v = values[i];
            if (!std::isnan(v))
                target[i] = v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v);
        }
        gliding = true;
    }

  protected:
    ToneCircuit(int factor, double rate, const Controls& defaults) noexcept
        : smoothed(defaults), target(defaults)
    {
        n.fill(0.0);
        d.fill(0.0);
        storeRate(rate, factor);
    }

  private:
    void storeRate(double rate, int factor) noexcept
    {
        if (std::isfinite(rate) && rate > 0.0)
        {
            processRate = rate;
            c = 2.0 * rate;
        }
        oversampling = factor < 1 ? 1u : static_cast<unsigned int>(factor);
    }

    // Inputs: smoothed controls, fractions 0 … 1 or switch values.
    Controls smoothed;

    // Derived coefficients.
    Coefficients n;               // N(s), n[j] of s^j
    Coefficients d;               // D(s)
    double c = 2.0 * 88200.0;     // bilinear constant, 2 × processRate
    double processRate = 88200.0; // inner rate, Hz
    unsigned int oversampling = 2;

    // State.
    ToneFilter<Order> filter;
    bool gliding = false;
    Controls target;
    unsigned int glideCounter = 0;
};
