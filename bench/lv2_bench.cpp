// Cost of ZRV4 as an LV2 plug-in beside the Guitarix amplifier (gx_amp),
// both run by the same lilv host: 48 kHz, 256-frame blocks, the built-in
// guitar phrase (7 s) on the first input, default settings. gx_amp needs the
// worker; this host runs it synchronously between blocks. Prints times real
// time (seconds of audio per second of CPU, best of three runs) and ZRV4's
// cost as a ratio to gx_amp's, with the output level as a check that each
// plug-in really processed the phrase.
//
//   zrv4-bench-lv2 [ZRV4-BUNDLE-DIR]
#include <chrono>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "host/Lv2Plugin.h"
#include "lv2/Lv2Uris.h"
#include "tools/render/GuitarPhrase.h"

namespace
{

constexpr double rate = 48000.0;
constexpr uint32_t block = 256;
constexpr const char* gxAmpUri = "http://guitarix.sourceforge.net/plugins/gx_amp#GUITARIX";

struct Setting
{
    const char* symbol;
    float value;
};

struct Figures
{
    double timesRealTime = 0.0;
    double outputDb = -400.0; // RMS of the first output over the last run, dBFS
};

// One plug-in over the phrase, best of three runs after one second of
// warm-up; zeros when it cannot be loaded.
Figures measure(const std::string& uri, const std::string& bundle, const std::vector<Setting>& settings,
                const std::vector<float>& phrase, double& sink)
{
    std::string error;
    auto plugin = Lv2Plugin::load(uri, rate, block, error, bundle);
    if (!plugin)
    {
        std::fprintf(stderr, "%s\n", error.c_str());
        return {};
    }
    for (const Setting& s : settings)
        plugin->setControl(s.symbol, s.value);
    plugin->activate();
    float* in = plugin->audioInput(0);
    const size_t blocks = phrase.size() / block;
    double energy = 0.0;
    auto pass = [&](size_t count)
    {
        energy = 0.0;
        for (size_t b = 0; b < count; ++b)
        {
            std::copy(phrase.begin() + b * block, phrase.begin() + (b + 1) * block, in);
            plugin->run(block);
            const float* out = plugin->audioOutput(0);
            for (uint32_t i = 0; i < block; ++i)
                energy += static_cast<double>(out[i]) * out[i];
        }
        sink += energy;
    };
    pass(static_cast<size_t>(rate) / block);
    double best = 1e30;
    for (int run = 0; run < 3; ++run)
    {
        const auto start = std::chrono::steady_clock::now();
        pass(blocks);
        const double cpu = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        best = cpu < best ? cpu : best;
    }
    const double frames = static_cast<double>(blocks * block);
    return {frames / rate / best, 10.0 * std::log10(energy / frames + 1e-40)};
}

} // namespace

int main(int argc, char** argv)
{
    const std::string bundle = argc > 1 ? argv[1] : ZRV4_LV2_BUNDLE;
    const std::vector<float> phrase = GuitarPhrase::render(rate);
    double sink = 0.0;

    std::printf("x real time (%g Hz, %u-frame blocks, %.0f s phrase, best of 3)\n", rate, block,
                GuitarPhrase::length);
    const Figures gx = measure(gxAmpUri, {}, {}, phrase, sink);
    std::printf("%-28s %10s %14s %12s\n", "", "x real", "cost/gx_amp", "out dBFS");
    std::printf("%-28s %10.1f %14s %12.1f\n", "gx_amp, defaults", gx.timesRealTime, "1.00", gx.outputDb);

    const struct
    {
        const char* name;
        float channel;
    } channels[] = {{"Clean", 0.0f}, {"Lead", 2.0f}};
    const float factors[] = {2.0f, 4.0f, 8.0f};
    for (const auto& c : channels)
        for (float f : factors)
        {
            const Figures z =
                measure(ZRV4_LV2_URI, bundle, {{"channel", c.channel}, {"oversampling", f}}, phrase, sink);
            char name[64];
            std::snprintf(name, sizeof(name), "ZRV4 %s%s %.0fx", c.name,
                          c.channel == 0.0f ? " (default)" : "", f);
            std::printf("%-28s %10.1f %14.2f %12.1f\n", name, z.timesRealTime,
                        z.timesRealTime > 0.0 ? gx.timesRealTime / z.timesRealTime : 0.0, z.outputDb);
        }
    std::printf("(checksum %g)\n", sink);
    return 0;
}
