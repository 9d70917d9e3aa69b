// A render through a real LV2 host: lv2apply (lilv-utils) applies the
// plug-in of this build to a WAV file, and zrv4-render renders the same file
// with the same settings through the VST module. Both write float samples.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "lv2/Lv2Uris.h"
#include "tests/MissingResource.h"
#include "tools/render/GuitarPhrase.h"

namespace
{

std::vector<float> readFloat(const std::string& path, int& channels)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (f == nullptr)
        return {};
    channels = info.channels;
    std::vector<float> samples(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, samples.data(), info.frames);
    sf_close(f);
    return samples;
}

int run(const std::string& command)
{
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(Lv2Apply, RendersWhatZrv4RenderRendersFromTheSameFileAndSettings)
{
    if (run("command -v lv2apply") != 0)
        SKIP_OR_FAIL_WITHOUT("lv2apply (lilv-utils)");
    char dirTemplate[] = "/tmp/zrv4-lv2apply-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string dir = dirTemplate;

    // Two seconds of the phrase in stereo, the right side half as loud.
    const int rate = 48000;
    const std::vector<float> phrase = GuitarPhrase::render(rate);
    std::vector<float> stereo;
    for (size_t i = 0; i < static_cast<size_t>(2 * rate); ++i)
    {
        stereo.push_back(phrase[i]);
        stereo.push_back(0.5f * phrase[i]);
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open((dir + "/in.wav").c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, stereo.data(), static_cast<sf_count_t>(stereo.size() / 2));
    sf_close(f);

    // Lead, stereo, Gain Lead 7 of 10, Treble Lead 3 of 10, 8x.
    const std::string lv2 = "env LV2_PATH='" + std::string(ZRV4_LV2_BUNDLE) + "/..' lv2apply -i '" + dir +
                            "/in.wav' -o '" + dir + "/lv2.wav' -c channel 2 -c plugin_mode 1 -c gain_lead 7" +
                            " -c treble_lead 3 -c oversampling 8 " + ZRV4_LV2_URI;
    const std::string vst = std::string("'") + ZRV4_RENDER + "' --quiet --format float --set Channel=1" +
                            " --set 'Plugin Mode=1' --set 'Gain Lead=0.7' --set 'Treble Lead=0.3'" +
                            " --set Oversampling=1 '" + dir + "/in.wav' '" + dir + "/vst.wav'";
    ASSERT_EQ(run(lv2), 0) << lv2;
    ASSERT_EQ(run(vst), 0) << vst;

    int lv2Channels = 0, vstChannels = 0;
    const std::vector<float> a = readFloat(dir + "/lv2.wav", lv2Channels);
    const std::vector<float> b = readFloat(dir + "/vst.wav", vstChannels);
    std::system(("rm -rf '" + dir + "'").c_str());
    ASSERT_EQ(lv2Channels, 2);
    ASSERT_EQ(vstChannels, 2);
    ASSERT_EQ(a.size(), stereo.size());
    ASSERT_EQ(b.size(), stereo.size());
    double energy = 0.0;
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        differing += a[i] != b[i];
        energy += static_cast<double>(a[i]) * a[i];
    }
    EXPECT_EQ(differing, 0u);
    EXPECT_GT(energy, 1.0); // the amplifier was heard, not silence compared with silence
}

} // namespace
