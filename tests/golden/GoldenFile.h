// Stored renderings: float32 little-endian samples, read and written the same
// on every platform, and the comparison the golden tests make.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace golden
{
inline std::vector<float> read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                           std::istreambuf_iterator<char>());
    std::vector<float> samples(bytes.size() / 4);
    for (size_t i = 0; i < samples.size(); ++i)
    {
        uint32_t u = 0;
        for (int b = 0; b < 4; ++b)
            u |= static_cast<uint32_t>(bytes[i * 4 + b]) << (8 * b);
        std::memcpy(&samples[i], &u, sizeof u);
    }
    return samples;
}

inline bool write(const std::string& path, const std::vector<double>& samples)
{
    std::vector<unsigned char> bytes;
    bytes.reserve(samples.size() * 4);
    for (double v : samples)
    {
        const float f = static_cast<float>(v);
        uint32_t u;
        std::memcpy(&u, &f, sizeof u);
        for (int b = 0; b < 4; ++b)
            bytes.push_back(static_cast<unsigned char>(u >> (8 * b)));
    }
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return out.good();
}

inline bool writeRequested()
{
    const char* write = std::getenv("ZRV4_WRITE_GOLDEN");
    return write != nullptr && std::strcmp(write, "1") == 0;
}

// How far a rendering lies from its stored part (stored[offset...]).
struct Difference
{
    double worst = 0.0;
    double peak = 0.0;
    size_t at = 0;
};

inline Difference compare(const std::vector<double>& rendered, const std::vector<float>& stored,
                          size_t offset)
{
    Difference d;
    for (size_t n = 0; n < rendered.size(); ++n)
    {
        const double s = offset + n < stored.size() ? stored[offset + n] : NAN;
        const double e = std::fabs(rendered[n] - s);
        d.peak = std::max(d.peak, std::fabs(s));
        if (!(e <= d.worst))
        {
            d.worst = e;
            d.at = n;
        }
    }
    return d;
}
} // namespace golden
