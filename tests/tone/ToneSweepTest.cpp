// Every tone circuit over a grid of its controls, corners and switch
// positions included, at every accepted host rate and factor: the realised
// filter's poles lie inside the unit circle with margin, at the bilinear
// images of the analog poles.

#include "tests/tone/ToneTestSupport.h"
#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace
{

constexpr double hostRates[] = {8000.0,  22050.0,  44100.0,  48000.0,  88200.0,
                                96000.0, 176400.0, 192000.0, 352800.0, 384000.0};
constexpr int factors[] = {2, 4, 8};

struct Worst
{
    double relativeShift = 0.0; // |z − z_exact| / (1 − |z_exact|)
    double closest = 1.0; // smallest 1 − |z|
    long settings = 0;
};

// The poles of the circuit's filter against the bilinear images of the
// roots of D(s), both sorted along the real axis (an RC network's poles are
// real and apart, so the order pairs them).
template <class Circuit> void checkPoles(const Circuit& circuit, double innerRate, Worst& worst)
{
    constexpr int n = Circuit::order;
    const auto& d = circuit.analogDenominator();
    int degree = n;
    while (degree > 0 && d[degree] == 0.0)
        --degree;
    ASSERT_GT(degree, 0);
    const long double c = 2.0L * innerRate;
    std::array<std::complex<long double>, n> exact;
    {
        std::array<long double, n + 1> coefficients{};
        for (int k = 0; k <= degree; ++k)
            coefficients[k] = d[degree - k];
        const auto s = tonetest::roots(coefficients);
        for (int k = 0; k < n; ++k)
            exact[k] = k < degree ? (c + s[k]) / (c - s[k]) : std::complex<long double>(-1.0L, 0.0L);
    }
    auto realised = tonetest::realisedPoles(circuit.digitalFilter());
    const auto byReal = [](const auto& x, const auto& y) { return x.real() < y.real(); };
    std::sort(exact.begin(), exact.end(), byReal);
    std::sort(realised.begin(), realised.end(), byReal);
    for (int k = 0; k < n; ++k)
    {
        const long double radius = std::abs(realised[k]);
        const long double margin = 1.0L - std::abs(exact[k]);
        const long double shift = std::abs(realised[k] - exact[k]) / margin;
        worst.closest = std::min(worst.closest, static_cast<double>(1.0L - radius));
        worst.relativeShift = std::max(worst.relativeShift, static_cast<double>(shift));
        // Inside by at least half the exact pole's distance from the circle
        // (a pole near z = −1 is a very fast analog one, whose exact image
        // itself lies close to the circle).
        ASSERT_LT(shift, 0.5L) << "pole " << k << " at " << innerRate << " Hz: " << realised[k].real() << " "
                               << realised[k].imag() << " exact " << exact[k].real();
    }
    ++worst.settings;
}

// Controls of one circuit on a grid: pots at the ends and between, switches
// at their two positions; `isSwitch` marks the switch controls.
template <class Circuit, int PotSteps>
void sweep(Circuit circuit, const std::array<bool, Circuit::controlCount>& isSwitch, const char* name)
{
    // Pots from the end (1e-25, as the engine sends 0) to 1 in PotSteps.
    double potValues[PotSteps];
    for (int k = 0; k < PotSteps; ++k)
        potValues[k] = k == 0 ? 1e-25 : static_cast<double>(k) / (PotSteps - 1);
    constexpr int count = Circuit::controlCount;
    Worst worst;
    for (double hostRate : hostRates)
        for (int factor : factors)
        {
            circuit.setSampleRate(hostRate * factor, factor);
            std::array<int, count> index{};
            while (true)
            {
                typename Circuit::Controls controls;
                for (int i = 0; i < count; ++i)
                    controls[i] = isSwitch[i] ? (index[i] ? 1.0 : 1e-25) : potValues[index[i]];
                circuit.storeTargets(controls);
                circuit.settle();
                checkPoles(circuit, hostRate * factor, worst);
                if (::testing::Test::HasFatalFailure())
                    return;
                int i = 0;
                while (i < count && ++index[i] == (isSwitch[i] ? 2 : PotSteps))
                    index[i++] = 0;
                if (i == count)
                    break;
            }
        }
    std::printf("%-18s %6ld settings: smallest 1 - |z| %.1e, worst pole shift %.1e of the exact one's\n", name,
                worst.settings, worst.closest, worst.relativeShift);
}

} // namespace

TEST(ToneSweep, EveryPoleInsideTheUnitCircleWithMargin)
{
    // Ends and middles of the tone stacks' pots: 486 settings for Lead.
    sweep<LeadToneStack, 3>(LeadToneStack(4, 176400.0), {false, false, false, false, false, true},
                            "LeadToneStack");
    sweep<RhythmToneStack, 4>(RhythmToneStack(4, 176400.0), {}, "RhythmToneStack");
    sweep<CleanToneStack, 4>(CleanToneStack(4, 176400.0), {}, "CleanToneStack");
    // The source resistance of the engine's input stage, and none.
    for (double Rs : {0.0, 38000.0})
    {
        sweep<LeadGainNetwork, 21>(LeadGainNetwork(4, 176400.0, Rs, 500000.0, 1.5e-10), {false, true},
                                   "LeadGainNetwork");
        sweep<RhythmGainNetwork, 21>(RhythmGainNetwork(4, 176400.0, Rs, 500000.0, 1.5e-10), {false, true},
                                     "RhythmGainNetwork");
        sweep<CleanGainNetwork, 21>(CleanGainNetwork(4, 176400.0, Rs, 500000.0, 1.5e-10), {false, true},
                                    "CleanGainNetwork");
    }
}
