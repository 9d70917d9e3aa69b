#pragma once

#include "engine/Oversampler.h"

// The oversampled tick exactly as the circuit description states it, one
// Oversampler call per sample at every rate and the zero fed through like
// any other sample. OversamplingStages computes the same numbers with half
// the half-band work; this form is the reference that proves it.
class LiteralOversamplingStages
{
  public:
    static constexpr unsigned maxStages = 3;

    template <unsigned S, class Chain> double tick(double v, Chain& chain) noexcept
    {
        static_assert(S >= 1 && S <= maxStages, "1 to 3 stages");
        return runStage<S>(v, chain);
    }

    Oversampler up[maxStages];
    Oversampler down[maxStages];

  private:
    template <unsigned s, class Chain> double runStage(double v, Chain& chain) noexcept
    {
        double d = 0.0;
        for (const double u : {0.0, v}) // the zero comes first
        {
            const double w = 2.0 * up[s - 1].process(u);
            double r;
            if constexpr (s > 1)
                r = runStage<s - 1>(w, chain);
            else
                r = chain(w);
            d = down[s - 1].process(r); // the first pass's d is dropped
        }
        return d;
    }
};
