// Figures for the start of an instance: the cost of building the settled
// engine and of copying it, the output level of a new effect on silence in
// every channel (Rhythm with Mode off and on) at every factor and host rate,
// the level after a factor change, and how much a render depends on how long
// the host idled the instance before it.
//
//   zrv4-bench-startup
#include "engine/ZRV4.h"
#include "shell/ZRV4Effect.h"
#include "tests/engine/EngineSignals.h"
#include "tools/render/GuitarPhrase.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double milliseconds(Clock::time_point since)
{
    return 1e3 * std::chrono::duration<double>(Clock::now() - since).count();
}

double dB(double peak)
{
    return 20.0 * std::log10(std::max(peak, 1e-300));
}

struct Voicing
{
    const char* name;
    float channel;
    bool mode;
};
const Voicing voicings[] = {
    {"Clean", 0.0f, false}, {"Rhythm", 0.5f, false}, {"Rhythm Mode", 0.5f, true}, {"Lead", 1.0f, false}};
const float factorValues[] = {0.0f, 0.5f, 1.0f};
const int factors[] = {2, 4, 8};

void configure(ZRV4Effect& fx, double rate, const Voicing& v, float factor)
{
    fx.setSampleRate(rate);
    fx.setParameter(kChannel, v.channel);
    fx.setParameter(kModeRhythm, v.mode ? 1.0f : 0.0f);
    fx.setParameter(kOversampling, factor);
    fx.resume();
}

// Processes `in` (mono, blocks of 512) and returns the first output.
std::vector<double> play(ZRV4Effect& fx, const std::vector<double>& in)
{
    std::vector<double> out0(in.size()), out1(in.size());
    for (size_t at = 0; at < in.size(); at += 512)
    {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(512, in.size() - at));
        fx.process(in.data() + at, in.data() + at, out0.data() + at, out1.data() + at, n);
    }
    return out0;
}
} // namespace

int main()
{
    Clock::time_point start = Clock::now();
    const ZRV4 scratch(ZRV4::FromScratch{});
    const double scratchTime = milliseconds(start);
    start = Clock::now();
    const ZRV4 copy(true); // builds the per-process prototype as well
    const double firstCopy = milliseconds(start);
    start = Clock::now();
    const ZRV4 later(true);
    std::printf("engine construction: from scratch %.1f ms, first (with the prototype) %.1f ms, "
                "later copy %.2f ms\n\n",
                scratchTime, firstCopy, milliseconds(start));

    std::printf("peak on silence of a new effect (dBFS; worst of 0.5 s; then of 0.2 s after a change\n"
                "to each other factor), per host rate:\n");
    const double rates[] = {44100.0, 48000.0, 96000.0, 192000.0, 384000.0};
    std::printf("  %-12s %6s", "voicing", "factor");
    for (double r : rates)
        std::printf("  %7.0f Hz start/change", r);
    std::printf("\n");
    for (const Voicing& v : voicings)
        for (int f = 0; f < 3; ++f)
        {
            std::printf("  %-12s %5dx", v.name, factors[f]);
            for (double rate : rates)
            {
                ZRV4Effect fx;
                configure(fx, rate, v, factorValues[f]);
                const double first =
                    engine_signals::peak(play(fx, std::vector<double>(static_cast<size_t>(rate / 2), 0.0)));
                double change = 0.0;
                for (float next : factorValues)
                    if (next != factorValues[f])
                    {
                        fx.setParameter(kOversampling, next);
                        change = std::max(
                            change, engine_signals::peak(
                                        play(fx, std::vector<double>(static_cast<size_t>(rate / 5), 0.0))));
                    }
                std::printf("  %10.1f / %10.1f", dB(first), dB(change));
            }
            std::printf("\n");
        }

    std::printf("\nlargest difference of 1 s of the demo phrase after a silence against after 10 s,\n"
                "in fractions of its peak (44.1 kHz):\n  %-12s %6s  %9s %9s %9s %9s\n",
                "voicing", "factor", "0 s", "1 s", "2 s", "5 s");
    std::vector<double> phrase(44100);
    const std::vector<float> guitar = GuitarPhrase::render(44100.0);
    std::copy(guitar.begin(), guitar.begin() + 44100, phrase.begin());
    for (const Voicing& v : voicings)
        for (int f = 0; f < 3; ++f)
        {
            auto render = [&](double idle)
            {
                ZRV4Effect fx;
                configure(fx, 44100.0, v, factorValues[f]);
                play(fx, std::vector<double>(static_cast<size_t>(idle * 44100.0), 0.0));
                return play(fx, phrase);
            };
            const std::vector<double> reference = render(10.0);
            const double peak = engine_signals::peak(reference);
            std::printf("  %-12s %5dx ", v.name, factors[f]);
            for (double idle : {0.0, 1.0, 2.0, 5.0})
            {
                const std::vector<double> y = render(idle);
                double error = 0.0;
                for (size_t n = 0; n < y.size(); ++n)
                    error = std::max(error, std::abs(y[n] - reference[n]));
                std::printf(" %9.1e", error / peak);
            }
            std::printf("\n");
        }
    return 0;
}
