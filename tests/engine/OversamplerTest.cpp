#include "engine/Oversampler.h"
#include "engine/LiteralOversamplingStages.h"
#include "engine/OversamplingStages.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

namespace
{
const double pi = 3.14159265358979323846;

double dB(double gain)
{
    return 20.0 * std::log10(gain);
}

// 0.5 * (A(z) + z^-1 B(z)) at f (fraction of the filter's rate), each cascade
// the product of (a + z^-2) / (1 + a z^-2).
double analyticGain(double f)
{
    const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * f); // z^-1
    const std::complex<double> z2 = z1 * z1;
    std::complex<double> A = 1.0, B = 1.0;
    for (int i = 0; i < 6; ++i)
    {
        A *= (Oversampler::coefficientsA[i] + z2) / (1.0 + Oversampler::coefficientsA[i] * z2);
        B *= (Oversampler::coefficientsB[i] + z2) / (1.0 + Oversampler::coefficientsB[i] * z2);
    }
    return std::abs(0.5 * (A + z1 * B));
}

// Runs a sine at f through a fresh Oversampler, skips the transient and
// returns the output amplitude from a least-squares fit of sin and cos.
double measuredGain(double f)
{
    Oversampler filter;
    const int settle = 20000, measure = 40000;
    double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
    for (int n = 0; n < settle + measure; ++n)
    {
        const double phase = 2.0 * pi * f * n + 0.3;
        const double y = filter.process(std::sin(phase));
        if (n < settle)
            continue;
        const double s = std::sin(phase), c = std::cos(phase);
        ss += s * s;
        sc += s * c;
        cc += c * c;
        ys += y * s;
        yc += y * c;
    }
    const double det = ss * cc - sc * sc;
    const double a = (ys * cc - yc * sc) / det;
    const double b = (yc * ss - ys * sc) / det;
    return std::hypot(a, b);
}

struct PassThrough
{
    double operator()(double w) const noexcept { return w; }
};

// A stateful, nonlinear stand-in for a channel chain.
struct Saturator
{
    double state = 0.0;
    double operator()(double w) noexcept
    {
        state = std::tanh(1.7 * w + 0.6 * state) + 1e-25;
        return state - 0.1 * w;
    }
};

template <class Stages, class Chain> double tickAt(Stages& stages, unsigned factor, double v, Chain& chain)
{
    switch (factor)
    {
    case 2:
        return stages.template tick<1>(v, chain);
    case 8:
        return stages.template tick<3>(v, chain);
    default:
        return stages.template tick<2>(v, chain);
    }
}

uint64_t bits(double x)
{
    uint64_t b;
    std::memcpy(&b, &x, sizeof b);
    return b;
}
} // namespace

TEST(Oversampler, FirstOutputOfFreshFilterIsHalfTheProductOfCascadeA)
{
    Oversampler filter;
    double product = 1.0;
    for (double a : Oversampler::coefficientsA)
        product = a * product;
    EXPECT_DOUBLE_EQ(filter.process(1.0), 0.5 * product);
}

TEST(Oversampler, ConstantOneConvergesToOne)
{
    Oversampler filter;
    double y = 0.0;
    for (int n = 0; n < 5000; ++n)
        y = filter.process(1.0);
    EXPECT_NEAR(y, 1.0, 1e-12);
}

TEST(Oversampler, TransferFunctionMatchesItsStatedShape)
{
    EXPECT_NEAR(analyticGain(0.0), 1.0, 1e-12);
    for (double f = 0.0; f <= 0.24; f += 0.0005)
        EXPECT_LT(std::fabs(dB(analyticGain(f))), 0.001) << "f = " << f;
    EXPECT_NEAR(dB(analyticGain(0.25)), -3.0103, 0.005);
    for (double f = 0.28; f <= 0.5; f += 0.0005)
        EXPECT_LT(dB(analyticGain(f)), -159.0) << "f = " << f;
}

TEST(Oversampler, ProcessedSinesShowTheSameResponse)
{
    EXPECT_NEAR(dB(measuredGain(0.25)), -3.0103, 0.005);
    EXPECT_LT(std::fabs(dB(measuredGain(0.1))), 0.001);
    EXPECT_LT(std::fabs(dB(measuredGain(0.23))), 0.001);
    for (double f : {0.28, 0.3, 0.35, 0.4, 0.45, 0.49})
        EXPECT_LT(dB(measuredGain(f)), -159.0) << "f = " << f;
}

TEST(Oversampler, GroupDelayNearDcIsAboutFiveAndAHalfSamples)
{
    // The phase slope at low frequency, from the transfer function.
    const double f = 1e-4, df = 1e-6;
    auto phase = [](double at)
    {
        const std::complex<double> z1 = std::polar(1.0, -2.0 * pi * at), z2 = z1 * z1;
        std::complex<double> A = 1.0, B = 1.0;
        for (int i = 0; i < 6; ++i)
        {
            A *= (Oversampler::coefficientsA[i] + z2) / (1.0 + Oversampler::coefficientsA[i] * z2);
            B *= (Oversampler::coefficientsB[i] + z2) / (1.0 + Oversampler::coefficientsB[i] * z2);
        }
        return std::arg(0.5 * (A + z1 * B));
    };
    const double delay = -(phase(f + df) - phase(f)) / (2.0 * pi * df);
    EXPECT_NEAR(delay, 5.5, 0.1);
}

// With fresh filters and a pass-through chain, the host-rate impulse response
// of the tick peaks 6, 9 and 10 samples after the impulse at factors 2, 4 and
// 8, and sums to 1.0 (unity gain at DC through the whole round trip).
TEST(OversamplingStages, ImpulseResponsePeaksAndSumsToOne)
{
    const struct
    {
        unsigned factor;
        int peak;
    } cases[] = {{2, 6}, {4, 9}, {8, 10}};
    for (const auto& c : cases)
    {
        OversamplingStages stages;
        PassThrough chain;
        double sum = 0.0, largest = -1.0;
        int at = -1;
        for (int n = 0; n < 4000; ++n)
        {
            const double y = tickAt(stages, c.factor, n == 0 ? 1.0 : 0.0, chain);
            sum += y;
            if (y > largest)
            {
                largest = y;
                at = n;
            }
        }
        EXPECT_EQ(at, c.peak) << "factor " << c.factor;
        EXPECT_NEAR(sum, 1.0, 1e-9) << "factor " << c.factor;
    }
}

// Blind to a wrong coefficient, which both forms share: the response figures
// above and the golden rendering catch that.
TEST(OversamplingStages, PolyphaseFiltersEqualTheLiteralFilterBitForBit)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    HalfBandInterpolator fastUp;
    HalfBandDecimator fastDown;
    Oversampler up, down;
    for (int n = 0; n < 20000; ++n)
    {
        const double v = uniform(random) * (n % 97 == 0 ? 1e6 : 1.0);
        double first, second;
        fastUp.interpolate(v, first, second);
        ASSERT_EQ(bits(first), bits(up.process(0.0))) << n;
        ASSERT_EQ(bits(second), bits(up.process(v))) << n;

        const double r0 = uniform(random), r1 = uniform(random);
        down.process(r0);
        ASSERT_EQ(bits(fastDown.decimate(r0, r1)), bits(down.process(r1))) << n;
    }
}

// The tick used by the engine computes only the phases whose results are kept;
// over random input, a stateful nonlinear chain and random factor switches it
// must give the literal tick's output exactly. Blind to a fault both ticks
// share; the impulse response above and the golden rendering are absolute.
TEST(OversamplingStages, FastTickEqualsLiteralTickOverFactorSwitches)
{
    std::mt19937_64 random(11);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    std::uniform_int_distribution<int> run(1, 700);
    const unsigned factors[] = {2, 4, 8};
    OversamplingStages fast;
    LiteralOversamplingStages literal;
    Saturator fastChain, literalChain;
    int compared = 0;
    for (int segment = 0; segment < 60; ++segment)
    {
        const unsigned factor = factors[random() % 3];
        const int length = run(random);
        for (int n = 0; n < length; ++n)
        {
            const double v = 0.8 * uniform(random) + 1e-25;
            const double a = tickAt(fast, factor, v, fastChain);
            const double b = tickAt(literal, factor, v, literalChain);
            ASSERT_EQ(bits(a), bits(b)) << "segment " << segment << " factor " << factor << " sample " << n;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
}

// Factor 8 -> 2 -> 8: stages 2 and 3 sit untouched while factor 2 runs and
// continue from the states they had.
TEST(OversamplingStages, UnusedStagesResumeWithTheirStates)
{
    std::mt19937_64 random(3);
    std::uniform_real_distribution<double> uniform(-1.0, 1.0);
    OversamplingStages stages;
    PassThrough chain;
    for (int n = 0; n < 3000; ++n)
        tickAt(stages, 8, uniform(random), chain);

    OversamplingStages atLeave = stages;
    for (int n = 0; n < 1000; ++n)
        tickAt(stages, 2, uniform(random), chain);
    for (unsigned s = 1; s < 3; ++s)
    {
        EXPECT_EQ(std::memcmp(&stages.up[s], &atLeave.up[s], sizeof stages.up[s]), 0) << "stage " << s + 1;
        EXPECT_EQ(std::memcmp(&stages.down[s], &atLeave.down[s], sizeof stages.down[s]), 0)
            << "stage " << s + 1;
    }
    EXPECT_NE(std::memcmp(&stages.up[0], &atLeave.up[0], sizeof stages.up[0]), 0);

    // Back at 8, the result is that of the left stages 2 and 3 around the
    // stage 1 that factor 2 moved on.
    atLeave.up[0] = stages.up[0];
    atLeave.down[0] = stages.down[0];
    for (int n = 0; n < 500; ++n)
    {
        const double v = uniform(random);
        ASSERT_EQ(bits(tickAt(stages, 8, v, chain)), bits(tickAt(atLeave, 8, v, chain))) << n;
    }
}
