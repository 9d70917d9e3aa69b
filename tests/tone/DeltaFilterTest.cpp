// The digital filter of the tone circuits: the bilinear transform of H(s) in
// the delta operator, its frequency response and the recursion.

#include "tone/DeltaFilter.h"
#include "tests/tone/ToneTestSupport.h"
#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"

#include <gtest/gtest.h>

#include <vector>

using tonetest::analogResponse;
using tonetest::digitalResponse;

namespace
{

// The digital response at f must be H(s) at the warped frequency
// s = j·c·tan(πf/rate), c = 2·rate, for every order and several rates.
template <class Circuit> void expectBilinearResponse(Circuit circuit)
{
    for (double rate : {88200.0, 384000.0, 3072000.0})
    {
        circuit.setSampleRate(rate, 4);
        double worst = 0.0;
        for (int i = 0; i < 31; ++i)
        {
            const double f = tonetest::audioFrequency(i, 31);
            const double warped = 2.0 * rate * std::tan(tonetest::pi * f / rate) / (2.0 * tonetest::pi);
            const auto expected = analogResponse(circuit, warped);
            const auto actual = digitalResponse(circuit.digitalFilter(), f, rate);
            worst = std::max(worst, std::abs(actual - expected) / std::abs(expected));
        }
        // The coefficients are sums of positive terms, exact to rounding at
        // any rate; measured below 1e-12 up to 3 MHz. A wrong weight errs by
        // far more.
        EXPECT_LT(worst, 1e-10) << rate << " Hz, order " << Circuit::order;
    }
}

} // namespace

TEST(DeltaFilter, FrequencyResponseIsTheBilinearTransformOfH)
{
    expectBilinearResponse(CleanToneStack(4, 192000.0));
    expectBilinearResponse(RhythmToneStack(4, 192000.0));
    expectBilinearResponse(LeadToneStack(4, 192000.0));
    expectBilinearResponse(CleanGainNetwork(4, 192000.0, 38000.0, 500000.0, 1.5e-10));
    expectBilinearResponse(RhythmGainNetwork(4, 192000.0, 38000.0, 500000.0, 1.5e-10));
    expectBilinearResponse(LeadGainNetwork(4, 192000.0, 38000.0, 500000.0, 1.5e-10));
}

// A zero of N at DC stays exactly at z = 1, and the DC gain is N(0)/D(0).
TEST(DeltaFilter, DcIsExact)
{
    for (double rate : {96000.0, 1536000.0})
    {
        CleanToneStack clean(2, rate);
        LeadToneStack lead(2, rate);
        clean.setSampleRate(rate, 2);
        lead.setSampleRate(rate, 2);
        const auto& cleanB = clean.digitalFilter().b;
        const auto& leadB = lead.digitalFilter().b;
        EXPECT_EQ(cleanB[4], 0.0);
        EXPECT_EQ(cleanB[3], 0.0);
        EXPECT_EQ(leadB[5], 0.0);
        EXPECT_EQ(leadB[4], 0.0);
        LeadGainNetwork gain(2, rate, 38000.0, 500000.0, 1.5e-10);
        gain.setSampleRate(rate, 2);
        const auto& f = gain.digitalFilter();
        EXPECT_NEAR(f.b[3] / f.a[3], gain.analogNumerator()[0] / gain.analogDenominator()[0], 1e-15);
    }
}

// Run a sine through the recursion: after the transient the output is the
// sine scaled and shifted by the filter's response at that frequency.
TEST(DeltaFilter, SteadyStateSineFollowsTheResponse)
{
    const double rate = 96000.0;
    for (double f : {80.0, 1000.0, 9000.0})
    {
        CleanToneStack stack(2, rate);
        stack.setSampleRate(rate, 2);
        const auto h = digitalResponse(stack.digitalFilter(), f, rate);
        const double w = 2.0 * tonetest::pi * f / rate;
        double worst = 0.0;
        // The slowest pole (22 nF into 2.2 MΩ, 3.3 Hz) needs about 2 s to
        // fade below 1e-9.
        for (int i = 0; i < 3 * 96000; ++i)
        {
            const double y = stack.process(std::sin(w * i));
            if (i >= 5 * 48000)
                worst = std::max(worst, std::abs(y - std::abs(h) * std::sin(w * i + std::arg(h))));
        }
        // Rounding in the recursion leaves about 1e-8 of the output.
        EXPECT_LT(worst, 1e-7 * std::abs(h)) << f << " Hz";
    }
}

// Until coefficients are set, H = 1 and the state stays zero, so an early
// call passes the signal instead of ringing; coefficients that are not
// finite are refused.
TEST(DeltaFilter, FreshFilterPassesTheSignalAndBadCoefficientsAreRefused)
{
    DeltaFilter<3> f;
    for (double x : {1.0, -0.5, 3.0, 0.0, 1e-25})
        EXPECT_EQ(f.process(x), x);
    EXPECT_EQ(f.v, (std::array<double, 3>{}));
    const double n[4] = {0.0, 1.0, 0.0, 0.0}, d[4] = {1.0, 2.0, 1.0, 0.5};
    const double bad[4] = {1.0, NAN, 1.0, 0.5}, zero[4] = {};
    EXPECT_FALSE(f.setBilinear(n, bad, 1e5));
    EXPECT_FALSE(f.setBilinear(n, zero, 1e5));
    EXPECT_EQ(f.process(2.0), 2.0);
    EXPECT_TRUE(f.setBilinear(n, d, 1e5));
    EXPECT_NE(f.process(2.0), 2.0);
}

// The recursion by hand for order 3: y = b0·x + v0, v0 += v1 + b1·x − a1·y,
// v1 += v2 + b2·x − a2·y, v2 += b3·x − a3·y.
TEST(DeltaFilter, RecursionTwoSteps)
{
    DeltaFilter<3> f;
    const double n[4] = {0.2, 0.1, 0.3, 0.05}, d[4] = {1.0, 0.7, 0.2, 0.01};
    ASSERT_TRUE(f.setBilinear(n, d, 2.0));
    const auto& a = f.a;
    const auto& b = f.b;
    double v0 = 0, v1 = 0, v2 = 0;
    for (double x : {1.0, 0.0, -2.0, 0.5, 0.25})
    {
        const double y = b[0] * x + v0;
        v0 = v0 + v1 + b[1] * x - a[1] * y;
        v1 = v1 + v2 + b[2] * x - a[2] * y;
        v2 = v2 + b[3] * x - a[3] * y;
        EXPECT_EQ(f.process(x), y);
    }
    f.reset();
    EXPECT_EQ(f.process(1.0), b[0]);
}
