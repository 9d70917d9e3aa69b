// Cost of the effect's block processing per second of audio: float and
// double entries, mono and stereo, each oversampling factor, 512-frame
// blocks of a guitar-like tone at 44100 Hz. Prints milliseconds of CPU per
// second of audio and the ratios between variants of the same run.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "shell/VST_ZRV4.h"

namespace
{

VstIntPtr VSTCALLBACK benchHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

constexpr int rate = 44100;
constexpr int seconds = 5;
constexpr int block = 512;

template <typename T> double msPerSecond(float pluginMode, float oversampling, double& sink)
{
    VST_ZRV4* fx = new VST_ZRV4(benchHost);
    AEffect* e = fx->getAeffect();
    e->setParameter(e, kPluginMode, pluginMode);
    e->setParameter(e, kOversampling, oversampling);
    std::vector<T> in0(block), in1(block), out0(block), out1(block);
    T* ins[2] = {in0.data(), in1.data()};
    T* outs[2] = {out0.data(), out1.data()};
    const int blocks = rate * seconds / block;
    double phase = 0.0;
    const double w = 2.0 * 3.14159265358979323846 * 110.0 / rate;
    auto fill = [&]()
    {
        for (int i = 0; i < block; ++i, phase += w)
        {
            in0[i] = static_cast<T>(0.3 * std::sin(phase) + 0.1 * std::sin(3.0 * phase));
            in1[i] = static_cast<T>(0.3 * std::sin(1.5 * phase));
        }
    };
    fill();
    fx->processDoubleReplacing(nullptr, nullptr, 0); // sends the rate
    double elapsed = 0.0;
    for (int b = 0; b < blocks; ++b)
    {
        fill();
        const auto start = std::chrono::steady_clock::now();
        if constexpr (sizeof(T) == sizeof(float))
            e->processReplacing(e, ins, outs, block);
        else
            e->processDoubleReplacing(e, ins, outs, block);
        elapsed += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        sink += static_cast<double>(out0[block - 1]) + static_cast<double>(out1[block / 2]);
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return elapsed * 1000.0 / seconds;
}

} // namespace

int main()
{
    double sink = 0.0;
    std::printf("ms of CPU per second of audio (%d s, %d-frame blocks, %d Hz)\n", seconds, block, rate);
    std::printf("%-8s %-8s %10s %10s %12s\n", "mode", "factor", "float", "double", "double/float");
    const struct
    {
        const char* name;
        float value;
    } modes[] = {{"bypass", 0.5f}, {"mono", 0.0f}, {"stereo", 1.0f}};
    const struct
    {
        const char* name;
        float value;
    } factors[] = {{"2x", 0.0f}, {"4x", 0.5f}, {"8x", 1.0f}};
    for (const auto& mode : modes)
        for (const auto& factor : factors)
        {
            const double f = msPerSecond<float>(mode.value, factor.value, sink);
            const double d = msPerSecond<double>(mode.value, factor.value, sink);
            std::printf("%-8s %-8s %10.3f %10.3f %12.2f\n", mode.name, factor.name, f, d,
                        f > 0.0 ? d / f : 0.0);
        }
    std::printf("(checksum %g)\n", sink);
    return 0;
}
