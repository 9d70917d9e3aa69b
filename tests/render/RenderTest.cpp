// zrv4-render run as a user runs it, and the phrase it synthesises.
#include "tools/render/GuitarPhrase.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{
struct Result
{
    int status;
    std::string output;
};

Result render(const std::string& args)
{
    const std::string command = std::string("'") + ZRV4_RENDER + "' --quiet " + args + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    std::string output;
    char buffer[512];
    while (pipe && fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pipe ? pclose(pipe) : -1;
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, output};
}

struct Audio
{
    int channels = 0, rate = 0, format = 0;
    std::vector<float> samples; // interleaved
    sf_count_t frames() const { return channels ? static_cast<sf_count_t>(samples.size()) / channels : 0; }
};

bool readAudio(const std::string& path, Audio& audio)
{
    SF_INFO info{};
    SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
    if (!f)
        return false;
    audio.channels = info.channels;
    audio.rate = info.samplerate;
    audio.format = info.format;
    audio.samples.resize(static_cast<size_t>(info.frames * info.channels));
    sf_readf_float(f, audio.samples.data(), info.frames);
    sf_close(f);
    return true;
}

void writeAudio(const std::string& path, const Audio& audio)
{
    SF_INFO info{};
    info.channels = audio.channels;
    info.samplerate = audio.rate;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(f, nullptr);
    sf_writef_float(f, audio.samples.data(), audio.frames());
    sf_close(f);
}

Audio sine(int channels, int rate, double seconds)
{
    Audio a;
    a.channels = channels;
    a.rate = rate;
    const int frames = static_cast<int>(seconds * rate);
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            a.samples.push_back(c == 0 ? static_cast<float>(0.2 * std::sin(2.0 * M_PI * 196.0 * i / rate))
                                       : 0.0f);
    return a;
}

double peak(const Audio& a, int channel)
{
    double p = 0.0;
    for (sf_count_t i = 0; i < a.frames(); ++i)
        p = std::max(p, std::fabs(double(a.samples[i * a.channels + channel])));
    return p;
}

class RenderTest : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char name[] = "/tmp/zrv4-render-test-XXXXXX";
        ASSERT_NE(mkdtemp(name), nullptr);
        dir = name;
    }
    void TearDown() override { std::system(("rm -rf '" + dir + "'").c_str()); }

    // Everything in the folder, hidden temporary files included.
    std::vector<std::string> entries() const
    {
        std::vector<std::string> names;
        if (DIR* d = opendir(dir.c_str()))
        {
            while (dirent* e = readdir(d))
                if (std::string(e->d_name) != "." && std::string(e->d_name) != "..")
                    names.push_back(e->d_name);
            closedir(d);
        }
        return names;
    }
    std::string file(const std::string& name) const { return dir + "/" + name; }

    std::string dir;
};
} // namespace

TEST_F(RenderTest, ArgumentErrorsExitNonZeroWithAReason)
{
    Result r = render("");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("no output file"), std::string::npos) << r.output;
    r = render("--bogus '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("unknown option --bogus"), std::string::npos) << r.output;
    r = render("--format mp3 '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 2);
    r = render("--set Channel '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("NAME=VALUE"), std::string::npos) << r.output;
    r = render("--set Channel=abc '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 2);
    r = render("a.wav b.wav c.wav");
    EXPECT_EQ(r.status, 2);
    r = render("'" + file("o.mp9") + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("extension"), std::string::npos) << r.output;
    EXPECT_TRUE(entries().empty());

    r = render("--help");
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("Usage: zrv4-render"), std::string::npos);
}

TEST_F(RenderTest, UnknownNamesAndOutOfRangeValuesAreRefused)
{
    Result r = render("--set 'Gain Leed=0.5' '" + file("o.wav") + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("unknown parameter 'Gain Leed'"), std::string::npos) << r.output;
    r = render("--set 28=0.5 '" + file("o.wav") + "'");
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.output.find("out of range"), std::string::npos) << r.output;
    for (const char* bad : {"'Gain Lead=1.01'", "'Gain Lead=-0.1'", "0=nan", "0=inf"})
    {
        r = render(std::string("--set ") + bad + " '" + file("o.wav") + "'");
        EXPECT_EQ(r.status, 2) << bad << ": " << r.output;
    }
    EXPECT_TRUE(entries().empty());
}

TEST_F(RenderTest, UnreadableInputAndUnwritableOutputLeaveNoFile)
{
    Result r = render("'" + file("missing.wav") + "' '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot read"), std::string::npos) << r.output;

    // Not audio at all.
    FILE* f = std::fopen(file("text.wav").c_str(), "w");
    std::fputs("this is not a sound file\n", f);
    std::fclose(f);
    r = render("'" + file("text.wav") + "' '" + file("o.wav") + "'");
    EXPECT_EQ(r.status, 1);

    r = render("'" + file("no/such/folder/o.wav") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("cannot write"), std::string::npos) << r.output;
    r = render("'" + file("text.wav/o.wav") + "'"); // a file where a folder should be
    EXPECT_EQ(r.status, 1);

    // FLAC cannot hold float samples: refused after the temporary file was
    // made, which must be gone again.
    r = render("--format float '" + file("o.flac") + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(entries(), std::vector<std::string>{"text.wav"});
}

TEST_F(RenderTest, MonoRoundTripKeepsRateChannelsAndLength)
{
    writeAudio(file("in.wav"), sine(1, 48000, 1.5));
    Result r = render("--format pcm24 '" + file("in.wav") + "' '" + file("out.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    Audio out;
    ASSERT_TRUE(readAudio(file("out.wav"), out));
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.rate, 48000);
    EXPECT_EQ(out.format, SF_FORMAT_WAV | SF_FORMAT_PCM_24);
    EXPECT_EQ(out.frames(), 72000);
    EXPECT_GT(peak(out, 0), 1e-5);
    struct stat st;
    ASSERT_EQ(stat(file("out.wav").c_str(), &st), 0);
    EXPECT_NE(st.st_mode & S_IRGRP, 0u) << "the output should not stay private like a temporary file";
    EXPECT_EQ(entries().size(), 2u) << "no temporary file left";
}

// A stereo file in the plug-in's default mono mode gets the processed left
// channel on both sides; in stereo mode each side is processed on its own
// (the right input here is silent).
TEST_F(RenderTest, StereoRoundTripInBothPluginModes)
{
    writeAudio(file("in.wav"), sine(2, 44100, 1.0));
    Result r = render("--format float '" + file("in.wav") + "' '" + file("mono.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    r = render("--format float --set 'Plugin Mode=1' '" + file("in.wav") + "' '" + file("stereo.aiff") + "'");
    ASSERT_EQ(r.status, 0) << r.output;

    Audio mono, stereo;
    ASSERT_TRUE(readAudio(file("mono.wav"), mono));
    ASSERT_TRUE(readAudio(file("stereo.aiff"), stereo));
    for (const Audio* a : {&mono, &stereo})
    {
        EXPECT_EQ(a->channels, 2);
        EXPECT_EQ(a->rate, 44100);
        EXPECT_EQ(a->format & SF_FORMAT_SUBMASK, SF_FORMAT_FLOAT);
        EXPECT_EQ(a->frames(), 44100);
    }
    EXPECT_EQ(stereo.format & SF_FORMAT_TYPEMASK, SF_FORMAT_AIFF);
    EXPECT_GT(peak(mono, 0), 1e-5);
    EXPECT_EQ(peak(mono, 0), peak(mono, 1));
    EXPECT_GT(peak(stereo, 0), 1e-5);
    EXPECT_LT(peak(stereo, 1), 0.1 * peak(stereo, 0));
}

TEST_F(RenderTest, DefaultPhraseIsRenderedAtTheAskedRate)
{
    Result r = render("--set Channel=1 '" + file("phrase.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    Audio a;
    ASSERT_TRUE(readAudio(file("phrase.wav"), a));
    EXPECT_EQ(a.channels, 1);
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.frames(), static_cast<sf_count_t>(GuitarPhrase::length * 44100));
    double energy = 0.0;
    for (float s : a.samples)
    {
        ASSERT_TRUE(std::isfinite(s));
        energy += double(s) * s;
    }
    EXPECT_GT(std::sqrt(energy / a.samples.size()), 1e-6); // far above the 1e-25 floor

    r = render("--rate 48000 '" + file("phrase48.wav") + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    ASSERT_TRUE(readAudio(file("phrase48.wav"), a));
    EXPECT_EQ(a.rate, 48000);
    EXPECT_EQ(render("--rate 100 '" + file("bad.wav") + "'").status, 2);
}

// Ctrl-C or a kill in the middle of a render removes the unfinished file.
// The render goes through an effect that holds its first block until the
// signal comes: the interruption always lands mid-render.
TEST_F(RenderTest, InterruptedRenderLeavesNoFile)
{
    writeAudio(file("in.wav"), sine(1, 44100, 1.0));
    const std::string out = dir + "/out", marker = file("holding");
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    auto entries = [&out] {
        int count = 0;
        if (DIR* d = opendir(out.c_str()))
        {
            while (dirent* e = readdir(d))
                count += std::string(e->d_name) != "." && std::string(e->d_name) != "..";
            closedir(d);
        }
        return count;
    };
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv("FAKE_HOLD_FILE", marker.c_str(), 1);
        const std::string in = file("in.wav"), target = out + "/o.wav";
        execl(ZRV4_RENDER, ZRV4_RENDER, "--quiet", "--plugin", HOLDING_MODULE, in.c_str(), target.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    ASSERT_GT(pid, 0);
    bool holding = false;
    for (int i = 0; i < 60000 && !holding; ++i) // up to a minute on a loaded machine
    {
        holding = access(marker.c_str(), F_OK) == 0;
        if (!holding)
            usleep(1000);
    }
    const int whileHeld = entries(); // the temporary file
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(holding) << "the render never reached its first block";
    EXPECT_EQ(whileHeld, 1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(entries(), 0) << "an interrupted render left a file behind";
}

TEST(GuitarPhrase, PeaksAtMinusTwelveDbfsAndIsDeterministic)
{
    const std::vector<float> a = GuitarPhrase::render(44100.0);
    const std::vector<float> b = GuitarPhrase::render(44100.0);
    ASSERT_EQ(a.size(), static_cast<size_t>(7 * 44100));
    EXPECT_EQ(a, b);
    double p = 0.0;
    double early = 0.0, late = 0.0;
    for (size_t i = 0; i < a.size(); ++i)
    {
        ASSERT_TRUE(std::isfinite(a[i]));
        p = std::max(p, std::fabs(double(a[i])));
        (i < a.size() / 2 ? early : late) += double(a[i]) * a[i];
    }
    EXPECT_NEAR(20.0 * std::log10(p), -12.0, 0.01);
    // Notes throughout the phrase, not one pluck at the start.
    EXPECT_GT(late, 0.05 * early);
    // A nonsense rate falls back to 44100 rather than allocate wildly.
    EXPECT_EQ(GuitarPhrase::render(0.0).size(), a.size());
}
