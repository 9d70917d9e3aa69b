#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

// A short electric-guitar-like phrase, synthesised: Karplus-Strong plucked
// strings (single notes, a power chord, strummed chords, a small lick) with
// a simple pickup and body colouring, normalised to -12 dBFS peaks, the level
// of a guitar at a DAW input. Deterministic: the same rate gives the same
// samples. Used as the renderer's default input and as benchmark load.
class GuitarPhrase
{
  public:
    static constexpr double peakLevel = 0.25118864315095801; // -12 dBFS
    static constexpr double length = 7.0;                    // seconds

    static std::vector<float> render(double rate)
    {
        if (!(rate >= 8000.0 && rate <= 768000.0))
            rate = 44100.0;
        const size_t frames = static_cast<size_t>(length * rate);
        std::vector<double> mix(frames, 0.0);
        uint32_t seed = 0x5eed1234u;
        for (const Note& n : notes())
            pluck(mix, rate, n, seed);
        colour(mix, rate);

        double peak = 0.0;
        for (double s : mix)
            peak = std::max(peak, std::fabs(s));
        std::vector<float> out(frames);
        const double scale = peak > 0.0 ? peakLevel / peak : 0.0;
        for (size_t i = 0; i < frames; ++i)
            out[i] = static_cast<float>(mix[i] * scale);
        return out;
    }

  private:
    struct Note
    {
        double start;    // seconds
        double midi;     // pitch, MIDI note number
        double velocity; // 0..1
        double hold;     // seconds until the string is damped
    };

    static std::vector<Note> notes()
    {
        std::vector<Note> list;
        auto chord = [&list](double at, std::initializer_list<double> pitches, double velocity, double hold,
                             double spread)
        {
            double t = at;
            for (double p : pitches)
            {
                list.push_back({t, p, velocity, hold - (t - at)});
                t += spread;
            }
        };
        // Single notes on the low strings: E2 G2 A2, then a slide-less B2.
        list.push_back({0.00, 40, 0.9, 0.40});
        list.push_back({0.45, 43, 0.8, 0.40});
        list.push_back({0.90, 45, 0.85, 0.70});
        list.push_back({1.65, 47, 0.7, 0.30});
        // Power chord E5, downstroke, then a palm-muted repeat.
        chord(2.00, {40, 47, 52}, 1.0, 0.9, 0.008);
        chord(2.95, {40, 47, 52}, 0.6, 0.12, 0.006);
        chord(3.15, {40, 47, 52}, 0.6, 0.12, 0.006);
        // A minor, open, strummed slowly, left to ring.
        chord(3.45, {45, 52, 57, 60, 64}, 0.8, 1.6, 0.022);
        // A short lick in E minor pentatonic on the high strings.
        const double lick[] = {64, 67, 69, 67, 64, 62, 64};
        for (int i = 0; i < 7; ++i)
            list.push_back({5.15 + 0.16 * i, lick[i], 0.75, i == 6 ? 1.2 : 0.15});
        return list;
    }

    static double random(uint32_t& seed)
    {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) * (2.0 / 16777216.0) - 1.0;
    }

    // One plucked string added into mix.
    static void pluck(std::vector<double>& mix, double rate, const Note& n, uint32_t& seed)
    {
        const double f0 = 440.0 * std::pow(2.0, (n.midi - 69.0) / 12.0);
        // The two-point average in the loop delays by half a sample.
        const double period = rate / f0 - 0.5;
        const size_t delay = static_cast<size_t>(period);
        const double frac = period - static_cast<double>(delay);
        // First-order allpass tunes the fractional part.
        const double tune = (1.0 - frac) / (1.0 + frac);
        std::vector<double> line(delay + 2, 0.0);

        // Excitation: a noise burst, softened for soft notes and combed
        // for a pluck at about an eighth of the string.
        const size_t pickPos = std::max<size_t>(1, delay / 8);
        double lp = 0.0;
        const double soft = 0.35 + 0.5 * n.velocity;
        for (size_t i = 0; i < delay; ++i)
        {
            lp += soft * (random(seed) - lp);
            line[i] = lp;
        }
        for (size_t i = delay; i-- > pickPos;)
            line[i] -= line[i - pickPos];

        const size_t begin = static_cast<size_t>(n.start * rate);
        const size_t damp = begin + static_cast<size_t>(std::max(0.02, n.hold) * rate);
        // Loss per trip round the loop (once per period): T60 of 4 s and more.
        const double ring = std::pow(0.001, 1.0 / (f0 * (4.0 + 60.0 / f0)));
        const double muted = std::pow(0.001, 1.0 / (f0 * 0.08)); // damped by the hand
        size_t pos = 0;
        double previous = 0.0, apState = 0.0, apIn = 0.0;
        for (size_t t = begin; t < mix.size(); ++t)
        {
            const double out = line[pos];
            const double averaged = 0.5 * (out + previous);
            previous = out;
            // y = tune * x + apIn - tune * y[n-1]
            const double tuned = tune * averaged + apIn - tune * apState;
            apIn = averaged;
            apState = tuned;
            const double loss = t < damp ? ring : muted;
            line[pos] = loss * tuned;
            pos = pos + 1 == delay ? 0 : pos + 1;
            mix[t] += n.velocity * out;
            if (t > damp && std::fabs(out) < 1e-7 && std::fabs(tuned) < 1e-7)
                break;
        }
    }

    // Pickup and body: a gentle high cut, a low resonance and a presence peak.
    static void colour(std::vector<double>& mix, double rate)
    {
        struct Biquad
        {
            double b0, b1, b2, a1, a2, z1 = 0.0, z2 = 0.0;
            double process(double x)
            {
                const double y = b0 * x + z1;
                z1 = b1 * x - a1 * y + z2;
                z2 = b2 * x - a2 * y;
                return y;
            }
        };
        auto peaking = [rate](double f, double q, double gainDb)
        {
            const double A = std::pow(10.0, gainDb / 40.0), w = 2.0 * M_PI * f / rate;
            const double alpha = std::sin(w) / (2.0 * q), a0 = 1.0 + alpha / A;
            return Biquad{(1.0 + alpha * A) / a0, -2.0 * std::cos(w) / a0, (1.0 - alpha * A) / a0,
                          -2.0 * std::cos(w) / a0, (1.0 - alpha / A) / a0};
        };
        auto lowPass = [rate](double f, double q)
        {
            const double w = 2.0 * M_PI * f / rate, alpha = std::sin(w) / (2.0 * q), c = std::cos(w);
            const double a0 = 1.0 + alpha;
            return Biquad{(1.0 - c) / 2.0 / a0, (1.0 - c) / a0, (1.0 - c) / 2.0 / a0, -2.0 * c / a0,
                          (1.0 - alpha) / a0};
        };
        Biquad body = peaking(110.0, 1.2, 4.0), presence = peaking(2500.0, 0.9, 5.0);
        Biquad pickup = lowPass(std::min(5000.0, 0.45 * rate), 1.1);
        for (double& s : mix)
            s = pickup.process(presence.process(body.process(s)));
    }
};
