// Transfer functions of the six tone circuits: the generated closed-form
// coefficients against a numeric nodal analysis of independently written
// netlists, and the reference figures of each network.

#include "tests/tone/ToneNetlists.h"
#include "tests/tone/ToneTestSupport.h"
#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"
#include "tone/SectionShares.h"

#include <gtest/gtest.h>

#include <random>

using tonetest::analogResponse;
using tonetest::audioFrequency;

namespace
{

constexpr double innerRate = 96000.0;

// Largest relative difference |H − Href| / |Href| over 20 Hz … 20 kHz, which
// bounds both the magnitude and the phase error.
template <class Circuit>
double worstMismatch(const Circuit& circuit, const typename Circuit::Controls& controls,
                     const netlists::Network& reference)
{
    typename Circuit::Coefficients n, d;
    circuit.analogCoefficients(controls, n, d);
    double worst = 0.0;
    for (int i = 0; i < 41; ++i)
    {
        const double f = audioFrequency(i, 41);
        const auto v = nodal::solve(reference.elements, reference.nodeCount, 2.0 * tonetest::pi * f);
        const std::complex<double> expected(static_cast<double>(v[reference.output].real()),
                                            static_cast<double>(v[reference.output].imag()));
        worst = std::max(worst, std::abs(analogResponse(n, d, f) - expected) / std::abs(expected));
    }
    return worst;
}

// Pots stay away from the ends, where a section of 0 Ω has no admittance;
// switch values glide, so any value in 0 … 1 can occur.
struct RandomControls
{
    std::mt19937 engine{20240917u};
    double pot() { return std::uniform_real_distribution<double>(0.02, 0.98)(engine); }
    double any() { return std::uniform_real_distribution<double>(0.0, 1.0)(engine); }
    double between(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(engine); }
};

constexpr int trials = 25;

} // namespace

TEST(TransferFunction, ToneStacksMatchNodalAnalysis)
{
    RandomControls r;
    CleanToneStack clean(2, innerRate);
    RhythmToneStack rhythm(2, innerRate);
    LeadToneStack lead(2, innerRate);
    for (int trial = 0; trial < trials; ++trial)
    {
        const double L = r.pot(), M = r.pot(), T = r.pot(), P = r.pot(), V = r.pot(), S = r.any();
        EXPECT_LT(worstMismatch(clean, {L, M, T, V}, netlists::cleanToneStack(L, M, T, V)), 1e-9)
            << "L " << L << " M " << M << " T " << T << " V " << V;
        EXPECT_LT(worstMismatch(rhythm, {L, M, T, V}, netlists::rhythmToneStack(L, M, T, V)), 1e-9)
            << "L " << L << " M " << M << " T " << T << " V " << V;
        EXPECT_LT(worstMismatch(lead, {L, M, T, P, V, S}, netlists::leadToneStack(L, M, T, P, V, S)), 1e-9)
            << "L " << L << " M " << M << " T " << T << " P " << P << " V " << V << " S " << S;
    }
}

TEST(TransferFunction, GainNetworksMatchNodalAnalysis)
{
    RandomControls r;
    for (int trial = 0; trial < trials; ++trial)
    {
        const double Rs = r.between(1e3, 1e5), Ci = r.between(2e-11, 3e-10), Rpot = r.between(1e5, 1e6);
        const double g = r.pot(), b = r.any();
        CleanGainNetwork clean(2, innerRate, Rs, Rpot, Ci);
        RhythmGainNetwork rhythm(2, innerRate, Rs, Rpot, Ci);
        LeadGainNetwork lead(2, innerRate, Rs, Rpot, Ci);
        EXPECT_LT(worstMismatch(clean, {g, b}, netlists::cleanGainNetwork(g, b, Rs, Rpot, Ci)), 1e-9)
            << "g " << g << " b " << b << " Rs " << Rs << " Ci " << Ci;
        EXPECT_LT(worstMismatch(rhythm, {g, b}, netlists::rhythmGainNetwork(g, b, Rs, Rpot, Ci)), 1e-9)
            << "g " << g << " b " << b << " Rs " << Rs << " Ci " << Ci;
        EXPECT_LT(worstMismatch(lead, {g, b}, netlists::leadGainNetwork(g, b, Rs, Rpot, Ci)), 1e-9)
            << "g " << g << " b " << b << " Rs " << Rs << " Ci " << Ci;
    }
}

// The nodal reference itself must see a wrong element: the Clean stack with
// the Rhythm treble capacitor is off by far more than the tolerance.
TEST(TransferFunction, ReferenceDetectsAWrongElement)
{
    CleanToneStack clean(2, innerRate);
    EXPECT_GT(worstMismatch(clean, {0.3, 0.5, 0.5, 0.2}, netlists::rhythmToneStack(0.3, 0.5, 0.5, 0.2)),
              1e-2);
    auto wrongNode = netlists::cleanToneStack(0.3, 0.5, 0.5, 0.2);
    wrongNode.elements[6].b = netlists::bt; // middle capacitor to bt instead of mw
    EXPECT_GT(worstMismatch(clean, {0.3, 0.5, 0.5, 0.2}, wrongNode), 1e-3);
}

namespace
{

template <class Circuit> void expectMagnitudes(Circuit circuit, double at100, double at1k, double at10k)
{
    circuit.setSampleRate(innerRate, 2);
    // The figures are given to three digits: half a unit in the last one.
    EXPECT_NEAR(std::abs(analogResponse(circuit, 100.0)), at100, 0.00005);
    EXPECT_NEAR(std::abs(analogResponse(circuit, 1000.0)), at1k, 0.00005);
    EXPECT_NEAR(std::abs(analogResponse(circuit, 10000.0)), at10k, 0.00005);
}

// |H| falls 40 dB per decade well below the bass corner: a double zero at DC.
template <class Circuit> void expectDoubleZeroAtDc(Circuit circuit)
{
    circuit.setSampleRate(innerRate, 2);
    EXPECT_EQ(circuit.analogNumerator()[0], 0.0);
    EXPECT_EQ(circuit.analogNumerator()[1], 0.0);
    EXPECT_GT(circuit.analogNumerator()[2], 0.0);
    const double ratio = std::abs(analogResponse(circuit, 0.1)) / std::abs(analogResponse(circuit, 0.01));
    EXPECT_NEAR(20.0 * std::log10(ratio), 40.0, 0.05);
}

} // namespace

TEST(TransferFunction, DefaultMagnitudesOfTheToneStacks)
{
    expectMagnitudes(CleanToneStack(2, innerRate), 0.0448, 0.0254, 0.0667);
    expectMagnitudes(RhythmToneStack(2, innerRate), 0.0165, 0.0145, 0.0254);
    expectMagnitudes(LeadToneStack(2, innerRate), 0.0162, 0.0105, 0.0103);
}

TEST(TransferFunction, ToneStacksHaveADoubleZeroAtDc)
{
    expectDoubleZeroAtDc(CleanToneStack(2, innerRate));
    expectDoubleZeroAtDc(RhythmToneStack(2, innerRate));
    expectDoubleZeroAtDc(LeadToneStack(2, innerRate));
}

// The expanded coefficients of the Clean network in one particular scale:
// ours must be the same up to one common factor.
TEST(TransferFunction, CleanGainNetworkMatchesItsExpandedCoefficients)
{
    RandomControls r;
    for (int trial = 0; trial < 10; ++trial)
    {
        const double Rs = r.between(0.0, 1e5), Ci = r.between(2e-11, 3e-10), g = r.pot(), b = r.any();
        CleanGainNetwork network(2, innerRate, Rs, 500000.0, Ci);
        CleanGainNetwork::Coefficients n, d;
        network.analogCoefficients({g, b}, n, d);

        const double Ra = (1 - g) * 500000.0, Rb = g * 500000.0, Cb = b * 4.7e-10;
        const double n0 = 3.911622e22 * Rb + 8.3226e16 * Ra * Rb;
        const double n1 = Cb * (1.83846234e28 * Rb + 3.911622e22 * Ra * Rb);
        const double d0 = 3.67692468e28 + 1.06014986e24 * Ra + 9.98630714e23 * Rb + 1.552551e23 * Rs +
                          2.089186e18 * Ra * Ra + 2.5710723e18 * Ra * Rb + 4.26833e18 * Ra * Rs +
                          4.1750225e18 * Rb * Rs + 9.4963e11 * Ra * Ra * Rb + 4.2878e12 * Ra * Ra * Rs +
                          6.22795e12 * Ra * Rb * Rs + 1949000 * Ra * Ra * Rb * Rs;
        const double d1 =
            Cb * (8.640772998e33 + 2.583275288e29 * Ra + 2.4387052949e29 * Rb + 4.56772602e28 * Rs +
                  5.1051682e23 * Ra * Ra + 6.27938424e23 * Ra * Rb + 1.28735068e24 * Ra * Rs +
                  1.250043631e24 * Rb * Rs + 2.320531e17 * Ra * Ra * Rb + 1.529286e18 * Ra * Ra * Rs +
                  2.1144454e18 * Ra * Rb * Rs + 6.9513e11 * Ra * Ra * Rb * Rs) +
            Ci * Rb *
                (3.67692468e28 + 1.06014986e24 * Ra + 1.552551e23 * Rs + 2.089186e18 * Ra * Ra +
                 4.26833e18 * Ra * Rs + 4.2878e12 * Ra * Ra * Rs);
        const double d2 = Cb * Ci * Rb *
                          (8.640772998e33 + 2.583275288e29 * Ra + 4.56772602e28 * Rs +
                           5.1051682e23 * Ra * Ra + 1.28735068e24 * Ra * Rs + 1.529286e18 * Ra * Ra * Rs);
        const double scale = d[0] / d0;
        EXPECT_NEAR(n[0] / scale / n0, 1.0, 1e-12);
        EXPECT_NEAR(n[1] / scale / n1, 1.0, 1e-12);
        EXPECT_EQ(n[2], 0.0);
        EXPECT_NEAR(d[1] / scale / d1, 1.0, 1e-12);
        EXPECT_NEAR(d[2] / scale / d2, 1.0, 1e-12);
    }
}

TEST(TransferFunction, RhythmGainNetworkDcGainWithoutSourceResistance)
{
    for (double g : {0.05, 0.15384615384615385, 0.5, 0.9, 1.0})
    {
        RhythmGainNetwork network(2, innerRate, 0.0, 500000.0, 1.2e-10);
        RhythmGainNetwork::Coefficients n, d;
        network.analogCoefficients({g, 0.7}, n, d);
        const double Ra = potSection(1 - g) * 500000.0, Rb = potSection(g) * 500000.0;
        const double lower = 1.0 / (1.0 / Rb + 1.0 / 2.2e6);
        EXPECT_NEAR(n[0] / d[0], lower / (470000.0 + Ra + lower), 1e-14) << "gain " << g;

        // A source resistance works against the 487 kΩ shunt and lowers it.
        RhythmGainNetwork loaded(2, innerRate, 40000.0, 500000.0, 1.2e-10);
        loaded.analogCoefficients({g, 0.7}, n, d);
        EXPECT_LT(n[0] / d[0], lower / (470000.0 + Ra + lower));
    }
}

// The Lead bright capacitor bridges the upper section, which is down to its
// end resistance (50 Ω) at Gain 1: Bright must change next to nothing there
// (measured below 1e-7), and something at every lower setting.
TEST(TransferFunction, LeadBrightHasNoEffectAtFullGain)
{
    LeadGainNetwork network(2, innerRate, 38000.0, 500000.0, 1.5e-10);
    LeadGainNetwork::Coefficients nOff, dOff, nOn, dOn;
    network.analogCoefficients({1.0 + 1e-25, 1e-25}, nOff, dOff);
    network.analogCoefficients({1.0 + 1e-25, 1.0 + 1e-25}, nOn, dOn);
    for (double f : {100.0, 1000.0, 5000.0, 20000.0})
        EXPECT_NEAR(std::abs(analogResponse(nOn, dOn, f) / analogResponse(nOff, dOff, f)), 1.0, 1e-6);

    network.analogCoefficients({0.5, 1e-25}, nOff, dOff);
    network.analogCoefficients({0.5, 1.0}, nOn, dOn);
    EXPECT_GT(std::abs(analogResponse(nOn, dOn, 5000.0)) / std::abs(analogResponse(nOff, dOff, 5000.0)), 1.2);

    // The Rhythm and Clean bright capacitors bridge a fixed 470 kΩ and act at
    // full gain too.
    RhythmGainNetwork rhythm(2, innerRate, 38000.0, 500000.0, 1.5e-10);
    RhythmGainNetwork::Coefficients rn0, rd0, rn1, rd1;
    rhythm.analogCoefficients({1.0, 0.0}, rn0, rd0);
    rhythm.analogCoefficients({1.0, 1.0}, rn1, rd1);
    EXPECT_GT(std::abs(analogResponse(rn1, rd1, 5000.0)) / std::abs(analogResponse(rn0, rd0, 5000.0)), 1.2);
}

// With Volume at 1 the wiper sits on the divider node, which passes about
// 0.254 of the treble wiper's voltage (470 kΩ against 470 kΩ ∥ 500 kΩ ∥ 470 kΩ);
// the generated response must be that node's voltage.
TEST(TransferFunction, RhythmVolumeAtFullPassesTheDividerShare)
{
    // The upper section keeps its end resistance of 1e-4 of the track; the
    // reference takes it out of the lower section, which moves the response
    // by about 3e-5.
    const auto net = netlists::rhythmToneStack(0.3, 0.5, 0.5, 1.0 - 1e-4);
    RhythmToneStack stack(2, innerRate);
    RhythmToneStack::Coefficients n, d;
    stack.analogCoefficients({0.3, 0.5, 0.5, 1.0}, n, d);
    for (double f : {50.0, 1000.0, 15000.0})
    {
        const auto v = nodal::solve(net.elements, net.nodeCount, 2.0 * tonetest::pi * f);
        const std::complex<long double> share = v[netlists::vw] / v[netlists::tw];
        EXPECT_NEAR(static_cast<double>(std::abs(share)), 0.254, 0.0005);
        EXPECT_NEAR(std::abs(analogResponse(n, d, f)), static_cast<double>(std::abs(v[netlists::vw])),
                    5e-5 * std::abs(analogResponse(n, d, f)));
    }
}

// Controls at their ends (sections at their end resistance) still give a finite
// response with a positive denominator.
TEST(TransferFunction, ControlsAtTheirEndsStayFinite)
{
    LeadToneStack lead(2, innerRate);
    CleanGainNetwork clean(2, innerRate, 0.0, 500000.0, 1.5e-10);
    for (double a : {0.0, 1.0})
        for (double b : {0.0, 1.0})
        {
            LeadToneStack::Coefficients n, d;
            lead.analogCoefficients({a, b, a, b, a, b}, n, d);
            EXPECT_GT(d[0], 0.0);
            EXPECT_TRUE(std::isfinite(std::abs(analogResponse(n, d, 1000.0))));
            CleanGainNetwork::Coefficients gn, gd;
            clean.analogCoefficients({a, b}, gn, gd);
            EXPECT_GT(gd[0], 0.0);
            EXPECT_TRUE(std::isfinite(std::abs(analogResponse(gn, gd, 1000.0))));
        }
}
