// Measures each channel of the plug-in at its default settings, through the
// module's entry point like a host:
//   - the harmonic spectrum of a 220 Hz sine at guitar level (-20 dBFS):
//     the level of harmonics 1 to 20 in dBFS;
//   - the small-signal frequency response (sines at -70 dBFS): gain in dB
//     from 20 Hz to 20 kHz.
// Writes OUTDIR/harmonics.csv and OUTDIR/response.csv for channels.py.
//
//   zrv4-measure MODULE OUTDIR
#include "host/VstPlugin.h"

#include <cmath>
#include <complex>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
constexpr double rate = 44100.0;
constexpr double pi = 3.14159265358979323846;
constexpr int block = 256;

// Runs a sine of frequency f and amplitude a for settle + count samples and
// returns the output's last count samples.
std::vector<double> runSine(VstPlugin& plugin, double f, double a, int settle, int count)
{
    std::vector<double> y;
    y.reserve(count);
    std::vector<float> in(block), out0(block), out1(block);
    float* ins[2] = {in.data(), in.data()};
    float* outs[2] = {out0.data(), out1.data()};
    for (int at = 0; at < settle + count; at += block)
    {
        for (int i = 0; i < block; ++i)
            in[i] = static_cast<float>(a * std::sin(2.0 * pi * f * (at + i) / rate));
        plugin.process(ins, outs, block);
        for (int i = 0; i < block; ++i)
            if (at + i >= settle && static_cast<int>(y.size()) < count)
                y.push_back(out0[i]);
    }
    return y;
}

double amplitudeAt(const std::vector<double>& y, double f, int offset)
{
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < y.size(); ++n)
        sum += y[n] * std::polar(1.0, -2.0 * pi * f * static_cast<double>(n + offset) / rate);
    return 2.0 * std::abs(sum) / static_cast<double>(y.size());
}

double dB(double v)
{
    return 20.0 * std::log10(v > 1e-12 ? v : 1e-12);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 3)
    {
        std::fprintf(stderr, "usage: zrv4-measure MODULE OUTDIR\n");
        return 2;
    }
    const std::string outDir = argv[2];
    const struct
    {
        float value;
        const char* name;
    } channels[] = {{0.0f, "Clean"}, {0.5f, "Rhythm"}, {1.0f, "Lead"}};

    FILE* harmonics = std::fopen((outDir + "/harmonics.csv").c_str(), "w");
    FILE* response = std::fopen((outDir + "/response.csv").c_str(), "w");
    if (harmonics == nullptr || response == nullptr)
    {
        std::fprintf(stderr, "zrv4-measure: cannot write into %s\n", outDir.c_str());
        return 1;
    }
    std::fprintf(harmonics, "channel,harmonic,frequency,level_dbfs\n");
    std::fprintf(response, "channel,frequency,gain_db\n");

    for (const auto& c : channels)
    {
        std::string error;
        VstPlugin::HostSettings settings;
        settings.sampleRate = static_cast<float>(rate);
        settings.blockSize = block;
        auto plugin = VstPlugin::load(argv[1], error, settings);
        if (!plugin)
        {
            std::fprintf(stderr, "zrv4-measure: %s\n", error.c_str());
            return 1;
        }
        plugin->open();
        plugin->setSampleRate(static_cast<float>(rate));
        plugin->setBlockSize(block);
        plugin->setParameter(plugin->findParameter("Channel"), c.value);
        plugin->resume();

        // 220 Hz fits 220 whole periods into one second.
        const double guitar = 0.1; // -20 dBFS
        const std::vector<double> y = runSine(*plugin, 220.0, guitar, 22050, 44100);
        for (int h = 1; h <= 20; ++h)
            std::fprintf(harmonics, "%s,%d,%g,%.3f\n", c.name, h, 220.0 * h,
                         dB(amplitudeAt(y, 220.0 * h, 22050)));

        const double small = 3.1622776601683794e-4; // -70 dBFS
        for (double f = 20.0; f <= 20000.0; f *= std::pow(10.0, 0.05))
        {
            // Whole periods where possible: about 0.2 s, after 0.1 s of settling.
            const int periods = static_cast<int>(std::ceil(0.2 * f));
            const int count = static_cast<int>(std::lround(periods * rate / f));
            const std::vector<double> r = runSine(*plugin, f, small, 4410, count);
            std::fprintf(response, "%s,%.2f,%.3f\n", c.name, f, dB(amplitudeAt(r, f, 4410) / small));
        }
        plugin->suspend();
        plugin->close();
    }
    std::fclose(harmonics);
    std::fclose(response);
    return 0;
}
