// Figures for the engine: the machine, the cost of creating an effect
// instance through the module's entry point, and the processing speed at each
// oversampling factor in mono and stereo on a guitar-like signal, plus the
// half-band tick alone in its literal and polyphase forms.
//
//   zrv4-bench-engine [MODULE]     (default: zrv4.so of this build folder)
#include "engine/LiteralOversamplingStages.h"
#include "engine/OversamplingStages.h"
#include "engine/ZRV4.h"
#include "host/VstPlugin.h"
#include "tools/render/GuitarPhrase.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point since)
{
    return std::chrono::duration<double>(Clock::now() - since).count();
}

std::string cpuModel()
{
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    return "unknown";
}

std::string defaultModule()
{
    // The program sits in <build>/bench/, the module in <build>/.
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return "zrv4.so";
    std::string exe(path, static_cast<size_t>(n));
    exe = exe.substr(0, exe.rfind('/'));
    return exe.substr(0, exe.rfind('/')) + "/zrv4.so";
}

const double rate = 44100.0;
const int block = 256;
const double audioSeconds = 10.0;

std::vector<float> signal()
{
    const std::vector<float> phrase = GuitarPhrase::render(rate);
    std::vector<float> x(static_cast<size_t>(audioSeconds * rate));
    for (size_t i = 0; i < x.size(); ++i)
        x[i] = phrase[i % phrase.size()];
    return x;
}

// Host samples per second through the effect; sum keeps the output observable.
double throughput(VstPlugin& plugin, const std::vector<float>& x, double& sum)
{
    std::vector<float> inL(block), inR(block), outL(block), outR(block);
    float* in[2] = {inL.data(), inR.data()};
    float* out[2] = {outL.data(), outR.data()};
    const auto start = Clock::now();
    for (size_t at = 0; at + block <= x.size(); at += block)
    {
        for (int i = 0; i < block; ++i)
            inL[i] = inR[i] = x[at + i];
        plugin.process(in, out, block);
        sum += outL[block - 1] + outR[block / 2];
    }
    return static_cast<double>(x.size() / block * block) / seconds(start);
}

// Host samples per second through engines directly, at Lead with the
// effect's default controls; form 0 plain, 1 skewed, 2 stereo pair
// interleaved, 3 stereo as two separate engines.
double engineRate(unsigned factor, int form, const std::vector<float>& x, double& sum)
{
    ZRV4 left(true), right(true);
    for (ZRV4* e : {&left, &right})
    {
        e->setChannel(1.0f);
        e->setLeadGain(0.5f, 1.0f);
        e->setLeadTone(0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f);
        e->setInputLevel(0.5f);
        e->setOutputLevel(0.5f);
        e->setOversampling(factor);
    }
    const auto start = Clock::now();
    for (float s : x)
    {
        switch (form)
        {
        case 0:
            sum += left.processSamplePlain(s);
            break;
        case 1:
            sum += left.processSample(s);
            break;
        case 2:
        {
            double y0, y1;
            ZRV4::processStereo(left, right, s, s, y0, y1);
            sum += y0 + y1;
            break;
        }
        default:
            sum += left.processSample(s) + right.processSample(s);
            break;
        }
    }
    return static_cast<double>(x.size()) / seconds(start);
}

// These machines are shared: other work steals time from a run now and then,
// so each figure is the best of a few runs (the least disturbed one).
template <class Measure> double best(Measure measure)
{
    double rate = 0.0;
    for (int run = 0; run < 3; ++run)
        rate = std::max(rate, measure());
    return rate;
}

template <class Stages> double tickRate(const std::vector<float>& x, double& sum)
{
    Stages stages;
    auto chain = [](double w) noexcept { return w; };
    const auto start = Clock::now();
    for (float s : x)
        sum += stages.template tick<3>(s, chain);
    return static_cast<double>(x.size()) / seconds(start);
}
} // namespace

int main(int argc, char** argv)
{
    const std::string module = argc > 1 ? argv[1] : defaultModule();
    std::printf("machine: %s, %u cores\n", cpuModel().c_str(), std::thread::hardware_concurrency());
    std::printf("module:  %s\n\n", module.c_str());

    std::string error;
    VstPlugin::HostSettings settings;
    settings.sampleRate = static_cast<float>(rate);
    settings.blockSize = block;
    auto start = Clock::now();
    auto first = VstPlugin::load(module, error, settings);
    const double firstTime = seconds(start);
    if (!first)
    {
        std::fprintf(stderr, "zrv4-bench-engine: %s\n", error.c_str());
        return 1;
    }
    std::printf("effect construction (entry point, two engines):\n");
    std::printf("  first instance (module load included)  %8.1f ms\n", 1e3 * firstTime);
    for (int i = 0; i < 3; ++i)
    {
        start = Clock::now();
        auto later = VstPlugin::load(module, error, settings);
        const double t = seconds(start);
        std::printf("  later instance %d                       %8.1f ms\n", i + 1, 1e3 * t);
    }

    const std::vector<float> x = signal();
    double sum = 0.0;
    VstPlugin& plugin = *first;
    plugin.open();
    plugin.setSampleRate(static_cast<float>(rate));
    plugin.setBlockSize(block);
    const int channel = plugin.findParameter("Channel");
    const int mode = plugin.findParameter("Plugin Mode");
    const int oversampling = plugin.findParameter("Oversampling");
    plugin.resume();

    std::printf("\nprocessing at %.0f Hz, blocks of %d, %.0f s of plucked-string phrase, channel Lead\n"
                "(every figure: the best of 3 runs):\n",
                rate, block, audioSeconds);
    std::printf("  factor  mode     host samples/s   real-time factor\n");
    const struct
    {
        float value;
        int factor;
    } factors[] = {{0.0f, 2}, {0.5f, 4}, {1.0f, 8}};
    plugin.setParameter(channel, 1.0f);
    for (const auto& f : factors)
        for (int stereo = 0; stereo < 2; ++stereo)
        {
            plugin.setParameter(oversampling, f.value);
            plugin.setParameter(mode, static_cast<float>(stereo));
            const double perSecond = best([&] { return throughput(plugin, x, sum); });
            std::printf("  %4dx   %-7s  %14.0f   %14.1f\n", f.factor, stereo ? "stereo" : "mono", perSecond,
                        perSecond / rate);
        }

    std::printf("\nfactor 4, mono, by channel:\n");
    const struct
    {
        float value;
        const char* name;
    } channels[] = {{0.0f, "Clean"}, {0.5f, "Rhythm"}, {1.0f, "Lead"}};
    plugin.setParameter(oversampling, 0.5f);
    plugin.setParameter(mode, 0.0f);
    for (const auto& c : channels)
    {
        plugin.setParameter(channel, c.value);
        const double perSecond = best([&] { return throughput(plugin, x, sum); });
        std::printf("  %-7s %14.0f samples/s  %8.1f x real time\n", c.name, perSecond, perSecond / rate);
    }
    plugin.suspend();

    std::printf("\nengines directly (no effect), channel Lead, real-time factor:\n");
    std::printf("  factor  mono plain  mono skewed  stereo separate  stereo interleaved\n");
    for (unsigned f : {2u, 4u, 8u})
    {
        double rates[4];
        for (int form = 0; form < 4; ++form)
            rates[form] = best([&] { return engineRate(f, form, x, sum); });
        const double plain = rates[0], skewed = rates[1], paired = rates[2], separate = rates[3];
        std::printf("  %4ux   %10.1f  %11.1f  %15.1f  %18.1f\n", f, plain / rate, skewed / rate,
                    separate / rate, paired / rate);
    }

    std::printf("\nhalf-band tick alone at factor 8, pass-through chain:\n");
    const double literal = best([&] { return tickRate<LiteralOversamplingStages>(x, sum); });
    const double fast = best([&] { return tickRate<OversamplingStages>(x, sum); });
    std::printf("  literal   %14.0f host samples/s\n", literal);
    std::printf("  polyphase %14.0f host samples/s   (%.2f x the literal form)\n", fast, fast / literal);
    std::printf("\n(checksum %g)\n", sum);
    return 0;
}
