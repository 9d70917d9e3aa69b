// Block processing allocates nothing: every operator new in this program is
// counted while the effect processes, after set-up.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include <lv2/core/lv2.h>

#include "lv2/Lv2Ports.h"
#include "tests/shell/TestHost.h"

extern "C" const LV2_Descriptor* lv2_descriptor(uint32_t index);

namespace
{
std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void* allocate(std::size_t size)
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
} // namespace

void* operator new(std::size_t size)
{
    return allocate(size);
}
void* operator new[](std::size_t size)
{
    return allocate(size);
}
// The nothrow forms too (the LV2 instance is made with one), so that every
// allocation is counted and freed by the matching function.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    if (counting.load(std::memory_order_relaxed))
        allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size == 0 ? 1 : size);
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept
{
    return operator new(size, tag);
}
void operator delete(void* p) noexcept
{
    std::free(p);
}
void operator delete[](void* p) noexcept
{
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{

using testhost::dispatch;

// Answers the version query only: the test host's own records allocate.
VstIntPtr VSTCALLBACK quietHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Parameter changes are stored, never allocated, whichever thread makes them.
long allocationsWhileSetting(AEffect* e, VstInt32 index, float value)
{
    allocations = 0;
    counting = true;
    e->setParameter(e, index, value);
    counting = false;
    return allocations.load();
}

template <typename T> long allocationsWhileProcessing(AEffect* e, std::vector<T>& a, std::vector<T>& b)
{
    std::vector<T> o0(a.size()), o1(a.size());
    allocations = 0;
    counting = true;
    testhost::process(e, a.data(), b.data(), o0.data(), o1.data(), static_cast<VstInt32>(a.size()));
    testhost::process(e, a.data(), b.data(), a.data(), b.data(), static_cast<VstInt32>(a.size()));
    counting = false;
    return allocations.load();
}

TEST(Realtime, ProcessingAllocatesNothing)
{
    // The counter works: a vector made while counting is seen.
    counting = true;
    {
        std::vector<int> probe(16);
    }
    counting = false;
    ASSERT_GT(allocations.load(), 0);

    AEffect* e = VSTPluginMain(quietHost);
    ASSERT_NE(e, nullptr);
    dispatch(e, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    dispatch(e, effMainsChanged, 0, 1);
    std::vector<float> f0 = testhost::tone<float>(1024, 220.0, 0.3), f1 = f0;
    std::vector<double> d0 = testhost::tone<double>(1024, 220.0, 0.3), d1 = d0;
    // The first block, which also sends the rate to the engines, counts too,
    // and so does every block that applies changes made before it.
    // Every channel chain (Rhythm in both modes), every processing mode and
    // factor.
    const struct
    {
        float channel;
        float rhythmMode;
    } chains[] = {{0.0f, 0.0f}, {0.5f, 0.0f}, {0.5f, 1.0f}, {1.0f, 0.0f}};
    for (const auto& chain : chains)
    {
        EXPECT_EQ(allocationsWhileSetting(e, 0, chain.channel), 0);
        EXPECT_EQ(allocationsWhileSetting(e, 10, chain.rhythmMode), 0);
        for (float mode : {0.0f, 1.0f, 0.5f})
        {
            SCOPED_TRACE(testing::Message() << "channel " << chain.channel << " rhythm mode "
                                            << chain.rhythmMode << " plugin mode " << mode);
            EXPECT_EQ(allocationsWhileSetting(e, 22, mode), 0);
            for (float factor : {0.0f, 0.5f, 1.0f})
            {
                EXPECT_EQ(allocationsWhileSetting(e, 27, factor), 0);
                EXPECT_EQ(allocationsWhileProcessing(e, f0, f1), 0);
                EXPECT_EQ(allocationsWhileProcessing(e, d0, d1), 0);
            }
        }
    }
    dispatch(e, effClose);
}

// The LV2 plug-in's run() allocates nothing either: port changes handed to
// the core and the block after them, over every chain, mode and factor.
TEST(Realtime, Lv2RunAllocatesNothing)
{
    const LV2_Descriptor* d = lv2_descriptor(0);
    ASSERT_NE(d, nullptr);
    const LV2_Feature* none[] = {nullptr};
    LV2_Handle h = d->instantiate(d, 48000.0, "", none);
    ASSERT_NE(h, nullptr);
    std::vector<float> in0 = testhost::tone<float>(1024, 220.0, 0.3), in1 = in0, out0(1024), out1(1024);
    float controls[kNumParameters];
    float latency = 0.0f;
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        controls[i] = Lv2Ports::control(i).defaultValue;
        d->connect_port(h, Lv2Ports::firstParameter + static_cast<uint32_t>(i), &controls[i]);
    }
    d->connect_port(h, Lv2Ports::audioInLeft, in0.data());
    d->connect_port(h, Lv2Ports::audioInRight, in1.data());
    d->connect_port(h, Lv2Ports::audioOutLeft, out0.data());
    d->connect_port(h, Lv2Ports::audioOutRight, out1.data());
    d->connect_port(h, Lv2Ports::latency, &latency);
    d->activate(h);
    const struct
    {
        float channel;
        float rhythmMode;
    } chains[] = {{0.0f, 0.0f}, {1.0f, 0.0f}, {1.0f, 1.0f}, {2.0f, 0.0f}};
    for (const auto& chain : chains)
        for (float mode : {0.0f, 1.0f})
            for (float enabled : {1.0f, 0.0f})
                for (float factor : {2.0f, 4.0f, 8.0f})
                {
                    SCOPED_TRACE(testing::Message() << "channel " << chain.channel << " rhythm mode "
                                                    << chain.rhythmMode << " plugin mode " << mode
                                                    << " enabled " << enabled << " factor " << factor);
                    controls[kChannel] = chain.channel;
                    controls[kModeRhythm] = chain.rhythmMode;
                    controls[kPluginMode] = mode;
                    controls[kBypass] = enabled;
                    controls[kOversampling] = factor;
                    controls[kGainLead] = controls[kGainLead] == 5.0f ? 6.0f : 5.0f;
                    allocations = 0;
                    counting = true;
                    d->run(h, 1024);
                    d->run(h, 1024);
                    counting = false;
                    EXPECT_EQ(allocations.load(), 0);
                }
    d->cleanup(h);
}

} // namespace
