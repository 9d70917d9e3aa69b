// The engine with its tone filters against the same engine with them in
// quad precision: this binary is built with tests/tone/WideToneFilter.h as
// the tone circuits' filter, which runs both and passes on the one chosen.

#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace
{
std::vector<double> render(const std::vector<float>& phrase, float channel, unsigned factor, bool wide)
{
    wideToneFilters = wide;
    ZRV4 engine(true);
    engine_signals::applyDefaults(engine, channel);
    engine.setOversampling(factor);
    return engine_signals::run(engine, std::vector<double>(phrase.begin(), phrase.end()));
}
} // namespace

// Rounding in the filters, not the structure, must be all that separates
// them: within 1e-6 of the peak for every channel and factor at 44.1 kHz.
TEST(ToneAccuracy, EveryChannelAndFactorMatchesTheQuadReference)
{
    std::vector<float> phrase = GuitarPhrase::render(engine_signals::rate);
    phrase.resize(22050);
    using engine_signals::channelNames;
    using engine_signals::channels;
    for (unsigned factor : {2u, 4u, 8u})
        for (int c = 0; c < 3; ++c)
        {
            const auto plain = render(phrase, channels[c], factor, false);
            const auto wide = render(phrase, channels[c], factor, true);
            double peak = 0.0, error = 0.0;
            for (size_t n = 0; n < wide.size(); ++n)
            {
                peak = std::max(peak, std::abs(wide[n]));
                error = std::max(error, std::abs(plain[n] - wide[n]));
            }
            std::printf("%-6s %ux: largest difference %.2e of peak\n", channelNames[c], factor, error / peak);
            EXPECT_GT(peak, 1e-3) << channelNames[c];
            EXPECT_LT(error, 1e-6 * peak) << channelNames[c] << " " << factor << "x";
        }
}
