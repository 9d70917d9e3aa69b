// Speed of a built module as a host loads it, through its entry point: Lead
// at 4x oversampling, mono and stereo, float blocks of 256 frames of the demo
// phrase at 44.1 kHz, as times real time (best of 3 runs of 10 s of audio).
// Built for Linux and for Windows, so that scripts/bench-windows can compare
// zrv4.so with zrv4.dll under Wine on one machine.
//
//   zrv4-bench-module MODULE
#include "host/VstPlugin.h"
#include "tools/render/GuitarPhrase.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

constexpr double rate = 44100.0;
constexpr int block = 256;
constexpr double audioSeconds = 10.0;

// Audio seconds processed per second of wall time; sum keeps the output observable.
double realTimeFactor(VstPlugin& plugin, const std::vector<float>& x, double& sum)
{
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    const auto start = Clock::now();
    for (size_t at = 0; at + block <= x.size(); at += block)
    {
        for (int i = 0; i < block; ++i)
        {
            inL[i] = x[at + i];
            inR[i] = -0.5f * x[at + i];
        }
        plugin.process(in, out, block);
        sum += outL[block - 1] + outR[block / 2];
    }
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    return static_cast<double>(x.size() / block * block) / rate / elapsed;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: zrv4-bench-module MODULE\n");
        return 2;
    }
    std::string error;
    VstPlugin::HostSettings settings;
    settings.sampleRate = static_cast<float>(rate);
    settings.blockSize = block;
    auto plugin = VstPlugin::load(argv[1], error, settings);
    if (!plugin)
    {
        std::fprintf(stderr, "zrv4-bench-module: %s\n", error.c_str());
        return 1;
    }
    plugin->open();
    plugin->setSampleRate(static_cast<float>(rate));
    plugin->setBlockSize(block);
    plugin->setParameter(plugin->findParameter("Channel"), 1.0f);
    plugin->setParameter(plugin->findParameter("Oversampling"), 0.5f);
    plugin->resume();

    const std::vector<float> phrase = GuitarPhrase::render(rate);
    std::vector<float> x(static_cast<size_t>(audioSeconds * rate));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = phrase[i % phrase.size()];

    double sum = 0.0;
    const int mode = plugin->findParameter("Plugin Mode");
    for (int stereo = 0; stereo < 2; ++stereo)
    {
        plugin->setParameter(mode, static_cast<float>(stereo));
        double best = 0.0;
        // Shared machines: the least disturbed of three runs.
        for (int run = 0; run < 3; ++run)
            best = std::max(best, realTimeFactor(*plugin, x, sum));
        std::printf("Lead 4x %-6s %8.1f x real time\n", stereo ? "stereo" : "mono", best);
    }
    std::printf("(checksum %g)\n", sum);
    return 0;
}
