// Cost of the six tone circuits: the per-sample filter step (idle and while
// gliding) and one coefficient computation. Prints nanoseconds per call and
// the share of one core that a circuit takes at 48 kHz × 4.

#include "tone/CleanGainNetwork.h"
#include "tone/CleanToneStack.h"
#include "tone/LeadGainNetwork.h"
#include "tone/LeadToneStack.h"
#include "tone/RhythmGainNetwork.h"
#include "tone/RhythmToneStack.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

namespace
{

constexpr double hostRate = 48000.0;
constexpr int factor = 4;
constexpr double innerRate = hostRate * factor;
constexpr int seconds = 5;
constexpr int blockSize = 256;

volatile double sink; // keeps results observable

std::vector<double> testSignal()
{
    std::mt19937 engine(12345u);
    std::normal_distribution<double> noise(0.0, 0.3);
    std::vector<double> block(blockSize);
    for (int i = 0; i < blockSize; ++i)
        block[i] = std::sin(0.013 * i) + noise(engine); // guitar-like tone plus noise
    return block;
}

double nanosecondsSince(std::chrono::steady_clock::time_point start, double calls)
{
    const std::chrono::duration<double, std::nano> elapsed = std::chrono::steady_clock::now() - start;
    return elapsed.count() / calls;
}

template <class Circuit, class Retarget> void measure(const char* name, Circuit circuit, Retarget retarget)
{
    static const std::vector<double> signal = testSignal();
    const long samples = static_cast<long>(innerRate) * seconds;
    circuit.setSampleRate(innerRate, factor);

    // Idle: the bare filter step.
    double sum = 0.0;
    auto start = std::chrono::steady_clock::now();
    for (long done = 0; done < samples; done += blockSize)
        for (double x : signal)
            sum += circuit.process(x);
    const double idle = nanosecondsSince(start, samples);

    // Gliding the whole time: a new target every block of host samples, so
    // the coefficients follow once per host sample.
    int step = 0;
    start = std::chrono::steady_clock::now();
    for (long done = 0; done < samples; done += blockSize)
    {
        retarget(circuit, step++ % 2);
        for (double x : signal)
            sum += circuit.process(x);
    }
    const double gliding = nanosecondsSince(start, samples);

    const int computations = 200000;
    start = std::chrono::steady_clock::now();
    for (int i = 0; i < computations; ++i)
    {
        circuit.computeCoefficients();
        sum += circuit.digitalFilter().b[0];
    }
    const double compute = nanosecondsSince(start, computations);
    sink = sum;

    const double share = 100.0 * idle * 1e-9 * innerRate;
    const double glideShare = 100.0 * gliding * 1e-9 * innerRate;
    std::printf("%-18s order %d   process %6.2f ns (%5.3f %% of a core)   gliding %6.2f ns (%5.3f %%)   "
                "computeCoefficients %7.1f ns = %5.1f process steps\n",
                name, Circuit::order, idle, share, gliding, glideShare, compute, compute / idle);
}

} // namespace

int main()
{
    std::printf("inner rate %.0f Hz (48 kHz x %d), %d s of audio per figure\n", innerRate, factor, seconds);
    measure("CleanToneStack", CleanToneStack(factor, innerRate),
            [](CleanToneStack& c, int up) { c.setControls(up ? 0.9 : 0.1, 0.5, up ? 0.2 : 0.8, 0.3); });
    measure("RhythmToneStack", RhythmToneStack(factor, innerRate),
            [](RhythmToneStack& c, int up) { c.setControls(up ? 0.9 : 0.1, 0.5, up ? 0.2 : 0.8, 0.3); });
    measure("LeadToneStack", LeadToneStack(factor, innerRate),
            [](LeadToneStack& c, int up)
            { c.setControls(up ? 0.9 : 0.1, 0.5, up ? 0.2 : 0.8, 0.4, 0.3, up); });
    const double Rs = 38000.0, Ci = 1.5e-10;
    measure("CleanGainNetwork", CleanGainNetwork(factor, innerRate, Rs, 500000.0, Ci),
            [](CleanGainNetwork& c, int up) { c.setControls(up ? 0.9 : 0.1, up); });
    measure("RhythmGainNetwork", RhythmGainNetwork(factor, innerRate, Rs, 500000.0, Ci),
            [](RhythmGainNetwork& c, int up) { c.setControls(up ? 0.9 : 0.1, up); });
    measure("LeadGainNetwork", LeadGainNetwork(factor, innerRate, Rs, 500000.0, Ci),
            [](LeadGainNetwork& c, int up) { c.setControls(up ? 0.9 : 0.1, up); });
    return 0;
}
