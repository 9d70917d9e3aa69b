#pragma once

#include "engine/HalfBandDecimator.h"
#include "engine/HalfBandInterpolator.h"

#include <cmath>

// The oversampled tick: up to three stages of 2x interpolation and
// decimation around a channel chain. Stage 1 runs next to the chain at the
// inner rate, stage 2 at half of it, stage 3 at a quarter; a factor of 2^S
// uses stages S..1. Stages that a factor does not use keep their state;
// only a recovery from a non-finite state resets them.
//
//   v -> [up S] -> ... -> [up 1] -> chain -> [down 1] -> ... -> [down S] -> y
//
// Each interpolator turns one sample into two (the zero and the sample, with
// a gain of 2), each decimator two into one. The chain is a template
// argument, so the calls are inlined; the tick has one form per stage count.
class OversamplingStages
{
  public:
    static constexpr unsigned maxStages = 3;

    template <unsigned S, class Chain> inline double tick(double v, Chain& chain) noexcept
    {
        static_assert(S >= 1 && S <= maxStages, "1 to 3 stages");
        return runStage<S>(v, chain);
    }

    // The same tick split in two, for chains that take all inner samples at
    // once: upsample writes the 2^S inner samples in time order, downsample
    // reduces the chain's results. Every filter sees the same inputs in the
    // same order as in tick, so the results are the same to the bit.
    template <unsigned S> inline void upsample(double v, double* inner) noexcept
    {
        static_assert(S >= 1 && S <= maxStages, "1 to 3 stages");
        upStage<S>(v, inner);
    }

    template <unsigned S> inline double downsample(const double* inner) noexcept
    {
        static_assert(S >= 1 && S <= maxStages, "1 to 3 stages");
        return downStage<S>(inner);
    }

    bool isFinite() const noexcept
    {
        bool ok = true;
        for (unsigned s = 0; s < maxStages; ++s)
            ok = ok && up[s].phases.isFinite() && std::isfinite(up[s].heldB) && down[s].phases.isFinite();
        return ok;
    }

    // Every filter as new; coefficients are constants.
    void reset() noexcept
    {
        for (unsigned s = 0; s < maxStages; ++s)
        {
            up[s].phases.reset();
            up[s].heldB = 0.0;
            down[s].phases.reset();
        }
    }

    // stage s (1..3) is up[s - 1] and down[s - 1]
    HalfBandInterpolator up[maxStages];
    HalfBandDecimator down[maxStages];

  private:
    template <unsigned s> inline void upStage(double v, double* out) noexcept
    {
        double u0, u1;
        up[s - 1].interpolate(v, u0, u1);
        const double w0 = 2.0 * u0;
        const double w1 = 2.0 * u1;
        if constexpr (s > 1)
        {
            upStage<s - 1>(w0, out);
            upStage<s - 1>(w1, out + (1u << (s - 1)));
        }
        else
        {
            out[0] = w0;
            out[1] = w1;
        }
    }

    template <unsigned s> inline double downStage(const double* in) noexcept
    {
        double r0, r1;
        if constexpr (s > 1)
        {
            r0 = downStage<s - 1>(in);
            r1 = downStage<s - 1>(in + (1u << (s - 1)));
        }
        else
        {
            r0 = in[0];
            r1 = in[1];
        }
        return down[s - 1].decimate(r0, r1);
    }

    template <unsigned s, class Chain> inline double runStage(double v, Chain& chain) noexcept
    {
        double u0, u1;
        up[s - 1].interpolate(v, u0, u1);
        const double w0 = 2.0 * u0;
        const double w1 = 2.0 * u1;
        double r0, r1;
        if constexpr (s > 1)
        {
            r0 = runStage<s - 1>(w0, chain);
            r1 = runStage<s - 1>(w1, chain);
        }
        else
        {
            r0 = chain(w0);
            r1 = chain(w1);
        }
        return down[s - 1].decimate(r0, r1);
    }
};
