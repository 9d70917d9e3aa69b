// Host calls from many threads at once, as busy hosts make them: parameter
// storms with random and out-of-range values from two threads, processing in
// blocks of 1 to 512, the editor opened, idled and closed on an interface
// thread, and instances created and destroyed meanwhile. Run under
// ThreadSanitizer by ./scripts/test, where it must end without a report.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <thread>
#include <vector>

#include "tests/MissingResource.h"
#include "tests/editor/TestScreen.h"
#include "vst/aeffectx.h"

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace
{

std::atomic<long> ioChanges{0};

VstIntPtr VSTCALLBACK stressHost(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float)
{
    if (opcode == audioMasterVersion)
        return 2400;
    if (opcode == audioMasterIOChanged)
        ioChanges.fetch_add(1, std::memory_order_relaxed);
    return 0;
}

VstIntPtr dispatch(AEffect* e, VstInt32 opcode, VstIntPtr value = 0, void* ptr = nullptr)
{
    return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
}

float randomValue(std::mt19937& rng)
{
    const float odd[] = {-1.0f,
                         2.0f,
                         0.5f,
                         1.0f,
                         0.0f,
                         std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         1e30f};
    if (rng() % 4 == 0)
        return odd[rng() % 8];
    return std::uniform_real_distribution<float>(-0.2f, 1.2f)(rng);
}

TEST(Stress, ParametersProcessingEditorAndInstancesAtOnce)
{
    TestScreen screen;
    if (!screen.available())
        SKIP_OR_FAIL_WITHOUT("an X display (run under xvfb-run)");
    AEffect* e = VSTPluginMain(stressHost);
    ASSERT_NE(e, nullptr);
    const unsigned long parent = screen.createWindow(20, 100, 890, 162);
    dispatch(e, effMainsChanged, 1);

    std::atomic<bool> stop{false};
    std::atomic<long> blocks{0}, badSamples{0};

    auto storm = [&](unsigned seed)
    {
        std::mt19937 rng(seed);
        while (!stop.load())
            for (VstInt32 i = 0; i < 28; ++i)
                e->setParameter(e, i, randomValue(rng));
    };
    auto audio = [&]
    {
        std::mt19937 rng(3);
        std::vector<float> f0(512), f1(512);
        std::vector<double> d0(512), d1(512);
        for (long n = 0; !stop.load(); ++n)
        {
            const VstInt32 frames = 1 + static_cast<VstInt32>(rng() % 512);
            for (VstInt32 i = 0; i < frames; ++i)
                d0[i] = d1[i] = f0[i] = f1[i] = static_cast<float>(0.3 * std::sin(0.05 * (n + i)));
            if (n % 2 == 0)
            {
                float* io[2] = {f0.data(), f1.data()};
                e->processReplacing(e, io, io, frames);
                for (VstInt32 i = 0; i < frames; ++i)
                    badSamples += !std::isfinite(f0[i]) || !std::isfinite(f1[i]);
            }
            else
            {
                double* io[2] = {d0.data(), d1.data()};
                e->processDoubleReplacing(e, io, io, frames);
                for (VstInt32 i = 0; i < frames; ++i)
                    badSamples += !std::isfinite(d0[i]) || !std::isfinite(d1[i]);
            }
            blocks.fetch_add(1);
        }
    };
    std::atomic<int> opened{0};
    auto ui = [&]
    {
        std::mt19937 rng(4);
        for (int round = 0; round < 100; ++round)
        {
            opened += dispatch(e, effEditOpen, 0, reinterpret_cast<void*>(parent)) == 1;
            for (int k = static_cast<int>(rng() % 4); k > 0; --k)
            {
                dispatch(e, effEditIdle);
                usleep(1000);
            }
            dispatch(e, effEditClose);
        }
    };
    auto instances = [&]
    {
        for (int k = 0; k < 4; ++k)
        {
            AEffect* other = VSTPluginMain(stressHost);
            if (other == nullptr)
                continue;
            other->setParameter(other, 27, 1.0f);
            float buffer[64] = {};
            float* io[2] = {buffer, buffer};
            other->processReplacing(other, io, io, 64);
            dispatch(other, effClose);
        }
    };

    std::vector<std::thread> threads;
    threads.emplace_back(storm, 1u);
    threads.emplace_back(storm, 2u);
    threads.emplace_back(audio);
    std::thread interfaceThread(ui);
    std::vector<std::thread> makers;
    for (int t = 0; t < 4; ++t)
        makers.emplace_back(instances);
    for (std::thread& t : makers)
        t.join();
    interfaceThread.join();
    stop = true;
    for (std::thread& t : threads)
        t.join();

    EXPECT_EQ(opened.load(), 100);
    EXPECT_GT(blocks.load(), 100);
    EXPECT_EQ(badSamples.load(), 0);
    EXPECT_GT(ioChanges.load(), 0);
    dispatch(e, effClose);
    screen.destroyWindow(parent);
}

} // namespace
