#include "engine/ZRV4.h"
#include "tests/engine/EngineSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <thread>

using namespace engine_signals;

namespace
{
// THD of a 1 kHz sine at the given input amplitude, after a quarter second
// in which the controls glide and the coupling capacitors settle.
double thdAt(float channel, float gain, double amplitude)
{
    ZRV4 engine(true);
    applyDefaults(engine, channel);
    engine.setLeadGain(gain, 1.0f);
    engine.setRhythmGain(gain, 0.0f);
    engine.setCleanGain(gain, 0.0f);
    const std::vector<double> y = run(engine, sine(11025 + 4410, 1000.0, amplitude));
    return thd(y, 4410, 1000.0);
}
// A stereo pair next to the same two engines run one by one: processStereo
// on the pair, processSample on the others, over samples from..to.
struct PairAndAlone
{
    PairAndAlone(ZRV4& l, ZRV4& r, ZRV4& al, ZRV4& ar) : left(l), right(r), aloneLeft(al), aloneRight(ar) {}

    ZRV4 &left, &right, &aloneLeft, &aloneRight;
    std::vector<double> paired[2], alone[2];

    void run(const std::vector<double>& x0, const std::vector<double>& x1, size_t from, size_t to)
    {
        for (size_t n = from; n < to; ++n)
        {
            double y0, y1;
            ZRV4::processStereo(left, right, x0[n], x1[n], y0, y1);
            paired[0].push_back(y0);
            paired[1].push_back(y1);
            alone[0].push_back(aloneLeft.processSample(x0[n]));
            alone[1].push_back(aloneRight.processSample(x1[n]));
        }
    }
    bool same() const { return sameBits(paired[0], alone[0]) && sameBits(paired[1], alone[1]); }
};
} // namespace

// A copy of the per-process prototype must be exactly what building,
// tabulating, wiring and warming up from nothing gives, in every channel.
// Blind to a fault in the build both share: the golden rendering covers that.
TEST(ChannelChains, PrototypeCopyIsBitIdenticalToABuildFromScratch)
{
    ZRV4 scratch(ZRV4::FromScratch{});
    ZRV4 copied(true);
    for (int c = 0; c < 3; ++c)
    {
        applyDefaults(scratch, channels[c]);
        applyDefaults(copied, channels[c]);
        const std::vector<double> x = noise(3000, 10 + c);
        EXPECT_TRUE(sameBits(run(scratch, x), run(copied, x))) << channelNames[c];
    }
    // Mode Rhythm and another factor run through the other blocks.
    for (ZRV4* e : {&scratch, &copied})
    {
        e->setRhythmMode(1.0f);
        e->setChannel(0.5f);
        e->setOversampling(8);
    }
    const std::vector<double> x = noise(2000, 20);
    EXPECT_TRUE(sameBits(run(scratch, x), run(copied, x)));
}

// The stereo copy carries the settled states and controls of its source: once
// both process the same samples in the same channel, they stay identical.
TEST(ChannelChains, EngineCopyContinuesLikeItsSource)
{
    ZRV4 source(true);
    applyDefaults(source, 1.0f);
    run(source, noise(2000, 30));
    ZRV4 copy(source);
    ZRV4 fresh(true);
    for (ZRV4* e : {&source, &copy, &fresh})
    {
        e->setChannel(0.0f); // the copy starts without a channel
        e->setChannel(1.0f);
    }
    EXPECT_EQ(copy.circuit()->driverFollower.couplingFilter.previousOutput,
              source.circuit()->driverFollower.couplingFilter.previousOutput);
    // The tables are shared, not rebuilt.
    EXPECT_TRUE(copy.circuit()->outputStage.transferTable.sharesSamplesWith(
        source.circuit()->outputStage.transferTable));
    EXPECT_NE(copy.circuit()->rhythmDriverPair.bypassed, source.circuit()->rhythmDriverPair.bypassed);
    EXPECT_EQ(copy.circuit()->leadToneStack.targetControls(),
              source.circuit()->leadToneStack.targetControls());
}

// What Mode on sounds like is the golden rendering's to check.
TEST(ChannelChains, ModeRhythmChangesOnlyTheRhythmChain)
{
    ZRV4 on(true), off(true);
    applyDefaults(on, 0.0f);
    applyDefaults(off, 0.0f);
    on.setRhythmMode(1.0f);
    EXPECT_TRUE(on.circuit()->rhythmModeOn());
    EXPECT_EQ(on.circuit()->rhythmDriverPair.bypassed, &on.circuit()->rhythmDriverStageOn);
    const std::vector<double> x = sine(3000, 220.0, 0.2);
    EXPECT_TRUE(sameBits(run(on, x), run(off, x))) << "Clean";
    on.setChannel(1.0f);
    off.setChannel(1.0f);
    EXPECT_TRUE(sameBits(run(on, x), run(off, x))) << "Lead";
    on.setChannel(0.5f);
    off.setChannel(0.5f);
    EXPECT_FALSE(sameBits(run(on, x), run(off, x))) << "Rhythm";
    // Back off: the Off divider and driver are used again.
    on.setRhythmMode(0.0f);
    EXPECT_FALSE(on.circuit()->rhythmModeOn());
    EXPECT_EQ(on.circuit()->rhythmDriverPair.bypassed, &on.circuit()->rhythmDriverStageOff);
}

// A channel change keeps the states of the shared stages: the first Lead
// sample after a stretch of Clean starts from what Clean left behind.
TEST(ChannelChains, LeadAfterCleanStartsFromTheSharedStates)
{
    ZRV4 engine(true);
    applyDefaults(engine, 0.0f);
    run(engine, sine(20000, 110.0, 0.3));
    const ChannelBlocks& b = *engine.circuit();
    const double inputY = b.inputStage.inputFilter.y;
    const double inputA = b.inputStage.inputFilter.a;
    const double driverVk = b.driverStage.cathodeVoltage;
    const double followerIn = b.driverFollower.couplingFilter.previousInput;
    const double outputFollowerIn = b.outputFollower.couplingFilter.previousInput;
    const double outputFollowerOut = b.outputFollower.couplingFilter.previousOutput;
    engine.setChannel(1.0f);
    EXPECT_EQ(b.driverStage.cathodeVoltage, driverVk);
    EXPECT_EQ(b.outputFollower.couplingFilter.previousOutput, outputFollowerOut);
    EXPECT_NE(driverVk, 0.0);
    EXPECT_NE(followerIn, 0.0);

    const double x = 0.05;
    const double y = engine.processLead(x);
    EXPECT_EQ(b.inputStage.inputFilter.y, (x - inputY) * inputA + inputY + 1e-25);
    // The output follower's high-pass went on from its Clean states.
    const CouplingHighPass& f = b.outputFollower.couplingFilter;
    EXPECT_EQ(y, (f.previousInput - outputFollowerIn + outputFollowerOut) * f.coefficient + 1e-25);
}

TEST(ChannelChains, BrightDividersPassTheirShareOfLowFrequencies)
{
    ZRV4 engine(true);
    const ChannelBlocks& b = *engine.circuit();
    EXPECT_EQ(b.cleanDivider.k2, 0.11540008041817451);
    EXPECT_EQ(b.cleanDivider.k1, 0.8845999195818255);
    EXPECT_EQ(b.rhythmDividerOn.k2, 0.5);
    EXPECT_EQ(b.rhythmDividerOff.k2, b.cleanDivider.k2);
    EXPECT_EQ(b.cleanDivider.sourceResistance, b.secondStage.outputImpedance);

    struct Case
    {
        BrightDivider divider;
        double share;
    };
    for (Case c : {Case{b.cleanDivider, 0.11540008041817451}, Case{b.rhythmDividerOn, 0.5}})
    {
        // 5 Hz at the inner rate: the bright path (corner in the kHz) adds
        // a small quadrature part, below 0.1 % in magnitude.
        const double innerRate = 4 * rate;
        const int count = static_cast<int>(innerRate / 5.0);
        double p = 0.0;
        for (int n = 0; n < 2 * count; ++n)
        {
            const double y = c.divider.process(std::sin(2.0 * pi * 5.0 * n / innerRate));
            if (n >= count)
                p = std::max(p, std::fabs(y));
        }
        EXPECT_NEAR(p, c.share, 1e-3 * c.share);
        // A constant settles on exactly the share.
        double y = 0.0;
        for (int n = 0; n < 20000; ++n)
            y = c.divider.process(1.0);
        EXPECT_NEAR(y, c.share, 1e-12);
        // Near the inner Nyquist frequency the capacitor adds k1 back.
        double alternating = 0.0;
        for (int n = 0; n < 2000; ++n)
            alternating = std::fabs(c.divider.process(n % 2 ? 1.0 : -1.0));
        EXPECT_GT(alternating, 0.9);
    }
}

// 23 uF for Clean, 1 uF otherwise, set only when the channel really changes.
TEST(ChannelChains, CathodeCapacitorFollowsTheChannel)
{
    ZRV4 engine(true);
    const TGSBypassedCathode& input = engine.circuit()->inputStage;
    EXPECT_EQ(input.cathodeCapacitor, 1e-06);
    engine.setChannel(0.1f);
    EXPECT_EQ(input.cathodeCapacitor, 2.3e-05);
    const double cleanImpedance = input.cathodeImpedance;
    engine.setChannel(0.3f);
    EXPECT_EQ(input.cathodeCapacitor, 1e-06);
    EXPECT_GT(input.cathodeImpedance, cleanImpedance);
    engine.setChannel(0.9f);
    EXPECT_EQ(input.cathodeCapacitor, 1e-06);
    engine.setChannel(0.0f);
    engine.setChannel(0.2f); // still Clean: nothing happens
    EXPECT_EQ(input.cathodeCapacitor, 2.3e-05);
    EXPECT_EQ(input.cathodeImpedance, cleanImpedance);
    engine.setChannel(-0.5f);
    EXPECT_EQ(input.cathodeCapacitor, 2.3e-05);
}

// setOversampling(8) then (4): states untouched, coefficients as before, so
// the engine goes on bit for bit like one never switched.
TEST(ChannelChains, FactorRoundTripKeepsStatesAndCoefficients)
{
    for (int c = 0; c < 3; ++c)
    {
        ZRV4 switched(true), steady(true);
        applyDefaults(switched, channels[c]);
        applyDefaults(steady, channels[c]);
        const std::vector<double> first = sine(3000, 330.0, 0.2), second = noise(2000, 40 + c);
        run(switched, first);
        run(steady, first);
        const ChannelBlocks& b = *switched.circuit();
        const double coupling = b.secondStage.couplingFilter.previousOutput;
        const double vk = b.driverStage.cathodeVoltage;
        const double a = b.leadThirdStage.inputFilter.a;
        switched.setOversampling(8);
        EXPECT_EQ(b.secondStage.couplingFilter.previousOutput, coupling);
        EXPECT_EQ(b.driverStage.cathodeVoltage, vk);
        EXPECT_EQ(b.leadThirdStage.sampleRate, 8 * rate);
        EXPECT_NE(b.leadThirdStage.inputFilter.a, a);
        EXPECT_EQ(b.cleanToneStack.innerRate(), 8 * rate);
        switched.setOversampling(4);
        EXPECT_EQ(b.leadThirdStage.inputFilter.a, a);
        EXPECT_TRUE(sameBits(run(switched, second), run(steady, second))) << channelNames[c];
    }
}

// Distortion grows with the input level and with Gain in every channel, up
// to saturation. THD (harmonics 2 to 10) of a hard-clipped wave levels off
// near 0.4 to 0.6, lower where a tone stack rounds it; once a channel
// reaches that plateau it stays there.
TEST(ChannelChains, DistortionRisesWithLevelAndGain)
{
    const double levels[] = {0.003, 0.01, 0.03, 0.1, 0.25, 0.5, 1.0};
    constexpr double saturated = 0.3;
    for (int c = 0; c < 3; ++c)
    {
        for (float gain : {0.2f, 0.8f})
        {
            double previous = 0.0;
            for (double level : levels)
            {
                const double d = thdAt(channels[c], gain, level);
                if (previous < saturated)
                    EXPECT_GT(d, previous) << channelNames[c] << " gain " << gain << " level " << level;
                else
                    EXPECT_GT(d, saturated) << channelNames[c] << " gain " << gain << " level " << level;
                previous = d;
            }
        }
        for (double level : {0.003, 0.01})
            EXPECT_GT(thdAt(channels[c], 0.8f, level), 1.5 * thdAt(channels[c], 0.2f, level))
                << channelNames[c] << " level " << level;
    }
}

// At default settings and the level of a picked note, Lead distorts more
// than Rhythm and Rhythm more than Clean.
TEST(ChannelChains, LeadDistortsMoreThanRhythmAndRhythmMoreThanClean)
{
    for (double level : {0.01, 0.05})
    {
        const double clean = thdAt(0.0f, 0.5f, level);
        const double rhythm = thdAt(0.5f, 0.5f, level);
        const double lead = thdAt(1.0f, 0.5f, level);
        EXPECT_GT(rhythm, 3.0 * clean) << level;
        EXPECT_GT(lead, 1.5 * rhythm) << level;
    }
}

// Full-scale input with every control at 0 and at 1 (Mode Rhythm included),
// at every factor: the output stays finite and bounded.
TEST(ChannelChains, ExtremeSettingsStayFiniteAndBounded)
{
    std::vector<double> x = sine(4000, 110.0, 1.0);
    const std::vector<double> hiss = noise(4000, 50, 1.0);
    x.insert(x.end(), hiss.begin(), hiss.end());
    for (int c = 0; c < 3; ++c)
        for (float v : {0.0f, 1.0f})
            for (unsigned factor : {2u, 8u})
            {
                ZRV4 engine(true);
                applyAll(engine, channels[c], v);
                engine.setInputLevel(1.0f);
                engine.setOutputLevel(1.0f);
                engine.setOversampling(factor);
                const std::vector<double> y = run(engine, x);
                const double p = peak(y);
                EXPECT_TRUE(std::isfinite(p)) << channelNames[c] << " " << v << " x" << factor;
                EXPECT_LT(p, 4.0) << channelNames[c] << " " << v << " x" << factor;
            }
}

// Silence in: the output is below -120 dBFS from the first sample on, also
// at full Gain and Volume (a session saved so starts without a click).
TEST(ChannelChains, SilenceGivesSilence)
{
    for (int c = 0; c < 3; ++c)
        for (float v : {0.5f, 1.0f})
        {
            ZRV4 engine(true);
            applyDefaults(engine, channels[c]);
            if (v == 1.0f)
                applyAll(engine, channels[c], 1.0f);
            const std::vector<double> y = run(engine, std::vector<double>(44100, 0.0));
            EXPECT_LT(peak(y, 0), 1e-6) << channelNames[c] << " " << v;
        }
}

// The skewed chains of the tick must give exactly the plain form: every
// channel, both Rhythm modes, every factor, with loud input (grids conduct,
// so the coupling filters are loaded from the next segment) and a control
// change in the middle (glides). Blind to a fault in the stages, networks and
// tone stacks both forms run: the golden rendering covers those.
TEST(ChannelChains, SkewedChainsEqualThePlainFormBitForBit)
{
    const struct
    {
        float channel;
        float rhythmMode;
    } chains[] = {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    for (const auto& chain : chains)
        for (unsigned factor : {2u, 4u, 8u})
        {
            ZRV4 skewed(true), plain(true);
            std::vector<double> a, b;
            for (ZRV4* e : {&skewed, &plain})
            {
                applyDefaults(*e, chain.channel);
                e->setRhythmMode(chain.rhythmMode);
                e->setOversampling(factor);
                e->setInputLevel(1.0f);
            }
            const std::vector<double> x =
                noise(1500, factor + static_cast<unsigned>(10 * chain.channel), 1.0);
            for (size_t n = 0; n < x.size(); ++n)
            {
                if (n == 700)
                    for (ZRV4* e : {&skewed, &plain})
                    {
                        e->setLeadGain(1.0f, 0.0f);
                        e->setRhythmGain(0.9f, 1.0f);
                        e->setCleanGain(1.0f, 1.0f);
                        e->setCleanTone(0.1f, 0.9f, 1.0f, 1.0f);
                    }
                a.push_back(skewed.processSample(x[n]));
                b.push_back(plain.processSamplePlain(x[n]));
            }
            EXPECT_TRUE(sameBits(a, b))
                << "channel " << chain.channel << " mode " << chain.rhythmMode << " x" << factor;
        }
}

// Two engines processed side by side give exactly what each gives alone,
// whether their chains are interleaved (same channel and factor) or not.
// Blind to a fault in the chain every engine runs alone: see the golden rendering.
TEST(ChannelChains, StereoPairEqualsTwoSeparateEngines)
{
    ZRV4 left(true), right(true), aloneLeft(true), aloneRight(true);
    for (ZRV4* e : {&left, &right, &aloneLeft, &aloneRight})
        applyDefaults(*e, 1.0f);
    const std::vector<double> x0 = noise(1200, 60), x1 = sine(1200, 440.0, 0.3);
    PairAndAlone pair(left, right, aloneLeft, aloneRight);
    pair.run(x0, x1, 0, 300);
    for (ZRV4* e : {&left, &aloneLeft}) // different channels: not interleaved
        e->setChannel(0.0f);
    pair.run(x0, x1, 300, 600);
    for (ZRV4* e : {&right, &aloneRight})
        e->setChannel(0.0f);
    for (ZRV4* e : {&left, &right, &aloneLeft, &aloneRight})
        e->setOversampling(8);
    pair.run(x0, x1, 600, 900);
    for (ZRV4* e : {&left, &right, &aloneLeft, &aloneRight})
    {
        e->setChannel(0.5f);
        e->setOversampling(2);
    }
    pair.run(x0, x1, 900, 1200);
    EXPECT_TRUE(pair.same());
}

// Paired stereo must stay exact where the two lanes part ways: grids
// driven into conduction on one side only, tables left on one side, each
// Rhythm mode against the other, every factor, and an engine built from
// scratch next to a copy of the prototype (separate tables). Blind, like the
// test above, to a fault in the engine alone.
TEST(ChannelChains, HotStereoPairEqualsTwoSeparateEngines)
{
    const struct
    {
        float channel;
        float leftMode, rightMode;
    } chains[] = {{0.0f, 0.0f, 0.0f}, {0.5f, 0.0f, 1.0f}, {0.5f, 1.0f, 0.0f}, {1.0f, 0.0f, 0.0f}};
    for (const auto& chain : chains)
        for (unsigned factor : {2u, 4u, 8u})
        {
            ZRV4 left(true), right(true), aloneLeft(true), aloneRight(true);
            for (ZRV4* e : {&left, &right, &aloneLeft, &aloneRight})
            {
                applyDefaults(*e, chain.channel);
                e->setOversampling(factor);
                e->setInputLevel(1.0f);
            }
            for (ZRV4* e : {&left, &aloneLeft})
                e->setRhythmMode(chain.leftMode);
            for (ZRV4* e : {&right, &aloneRight})
                e->setRhythmMode(chain.rightMode);
            // Left: loud noise with spikes far beyond full scale; right: a
            // quiet sine, so one lane leaves the tables while the other stays.
            std::vector<double> x0 = noise(900, 90 + factor, 1.0);
            for (size_t n = 100; n < x0.size(); n += 97)
                x0[n] = n % 2 ? 40.0 : -40.0;
            PairAndAlone pair(left, right, aloneLeft, aloneRight);
            pair.run(x0, sine(900, 330.0, 0.05), 0, x0.size());
            EXPECT_TRUE(pair.same()) << "channel " << chain.channel << " x" << factor;
        }

    ZRV4 scratch(ZRV4::FromScratch{}), copy(true), aloneScratch(ZRV4::FromScratch{}), aloneCopy(true);
    for (ZRV4* e : {&scratch, &copy, &aloneScratch, &aloneCopy})
        applyDefaults(*e, 1.0f);
    PairAndAlone pair(scratch, copy, aloneScratch, aloneCopy);
    pair.run(noise(600, 95), noise(600, 96), 0, 600);
    EXPECT_TRUE(pair.same());
}

// Hosts create instances from several threads at once. Run alone (as ctest
// does), this is the first use of the prototype in the process: it is built
// once, and every instance is the same settled engine reading the same
// tables.
TEST(ChannelChains, InstancesCreatedConcurrentlyAreTheSame)
{
    constexpr int count = 4;
    std::unique_ptr<ZRV4> engines[count];
    std::vector<std::thread> threads;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&engines, i] { engines[i] = std::make_unique<ZRV4>(true); });
    for (std::thread& t : threads)
        t.join();
    const std::vector<double> x = noise(800, 70);
    applyDefaults(*engines[0], 0.5f);
    const std::vector<double> first = run(*engines[0], x);
    for (int i = 1; i < count; ++i)
    {
        EXPECT_TRUE(engines[i]->circuit()->secondStage.transferTable.sharesSamplesWith(
            engines[0]->circuit()->secondStage.transferTable));
        applyDefaults(*engines[i], 0.5f);
        EXPECT_TRUE(sameBits(run(*engines[i], x), first)) << i;
    }
}
