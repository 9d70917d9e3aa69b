#pragma once

#include "engine/ZRV4.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

// Signals, settings and measurements shared by the engine tests.
namespace engine_signals
{
constexpr double rate = 44100.0;
constexpr double pi = 3.14159265358979323846;

// The Channel values of Clean, Rhythm and Lead, and their names.
constexpr float channels[] = {0.0f, 0.5f, 1.0f};
constexpr const char* channelNames[] = {"Clean", "Rhythm", "Lead"};

// Largest magnitude of y from sample `from` on.
inline double peak(const std::vector<double>& y, size_t from = 0)
{
    double p = 0.0;
    for (size_t n = from; n < y.size(); ++n)
        p = std::max(p, std::fabs(y[n]));
    return p;
}

inline std::vector<double> noise(int count, unsigned seed, double amplitude = 0.5)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-amplitude, amplitude);
    std::vector<double> x(count);
    for (double& s : x)
        s = uniform(random);
    return x;
}

inline std::vector<double> sine(int count, double frequency, double amplitude)
{
    std::vector<double> x(count);
    for (int n = 0; n < count; ++n)
        x[n] = amplitude * std::sin(2.0 * pi * frequency * n / rate);
    return x;
}

inline std::vector<double> run(ZRV4& engine, const std::vector<double>& x)
{
    std::vector<double> y;
    y.reserve(x.size());
    for (double s : x)
        y.push_back(engine.processSample(s));
    return y;
}

inline bool sameBits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

// The effect's default controls, sent as its program change sends them.
inline void applyDefaults(ZRV4& engine, float channel)
{
    engine.setChannel(channel);
    engine.setLeadGain(0.5f, 1.0f);
    engine.setLeadTone(0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 1.0f);
    engine.setRhythmGain(0.5f, 0.0f);
    engine.setRhythmTone(0.5f, 0.5f, 0.5f, 0.5f);
    engine.setRhythmMode(0.0f);
    engine.setCleanGain(0.5f, 0.0f);
    engine.setCleanTone(0.5f, 0.5f, 0.5f, 0.5f);
    engine.setInputLevel(0.5f);
    engine.setOutputLevel(0.5f);
    engine.setOversampling(4);
}

// Every control of every channel at v.
inline void applyAll(ZRV4& engine, float channel, float v)
{
    engine.setChannel(channel);
    engine.setLeadGain(v, v);
    engine.setLeadTone(v, v, v, v, v, v);
    engine.setRhythmGain(v, v);
    engine.setRhythmTone(v, v, v, v);
    engine.setRhythmMode(v);
    engine.setCleanGain(v, v);
    engine.setCleanTone(v, v, v, v);
}

// Amplitude of the component at frequency f over a whole number of periods.
inline double amplitudeAt(const std::vector<double>& y, size_t start, size_t count, double f)
{
    std::complex<double> sum = 0.0;
    for (size_t n = 0; n < count; ++n)
        sum += y[start + n] * std::polar(1.0, -2.0 * pi * f * static_cast<double>(n) / rate);
    return 2.0 * std::abs(sum) / static_cast<double>(count);
}

// Total harmonic distortion (harmonics 2 to 10 against the fundamental) of
// y over the last count samples.
inline double thd(const std::vector<double>& y, size_t count, double f)
{
    const size_t start = y.size() - count;
    const double fundamental = amplitudeAt(y, start, count, f);
    double harmonics = 0.0;
    for (int h = 2; h <= 10 && h * f < rate / 2; ++h)
    {
        const double a = amplitudeAt(y, start, count, h * f);
        harmonics += a * a;
    }
    return std::sqrt(harmonics) / fundamental;
}
} // namespace engine_signals
