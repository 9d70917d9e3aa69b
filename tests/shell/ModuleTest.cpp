// The built module as a host loads it: both entry names lead to the same
// function, and nothing else is exported.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdio>
#include <set>
#include <string>

#include "tests/shell/TestHost.h"

namespace
{

typedef AEffect* (*EntryProc)(audioMasterCallback);

TEST(Module, BothEntryNamesCreateTheEffect)
{
    void* module = dlopen(ZRV4_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << dlerror();
    void* pluginMain = dlsym(module, "VSTPluginMain");
    void* legacyMain = dlsym(module, "main");
    ASSERT_NE(pluginMain, nullptr);
    ASSERT_NE(legacyMain, nullptr);
    EXPECT_EQ(pluginMain, legacyMain);

    auto entry = reinterpret_cast<EntryProc>(legacyMain);
    testhost::host().versionAnswer = 0;
    EXPECT_EQ(entry(testhost::callback), nullptr);
    testhost::host().versionAnswer = 2400;
    AEffect* e = entry(testhost::callback);
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->magic, kEffectMagic);
    EXPECT_EQ(e->uniqueID, vstFourCC('Z', 'R', 'V', '4'));
    EXPECT_EQ(e->numParams, 28);
    EXPECT_EQ(testhost::queryText(e, effGetEffectName).value, "ZRV4 1.0.0");
    e->setParameter(e, 22, 1.0f);
    EXPECT_EQ(e->getParameter(e, 22), 1.0f);
    std::vector<float> in0 = testhost::tone<float>(2048, 220.0, 0.3), in1 = in0, out0(2048), out1(2048);
    testhost::process(e, in0.data(), in1.data(), out0.data(), out1.data(), 2048);
    float peak = 0.0f;
    for (float v : out0)
        peak = std::max(peak, std::fabs(v));
    EXPECT_GT(peak, 1e-4f);
    testhost::dispatch(e, effClose);
    EXPECT_EQ(dlclose(module), 0);
}

TEST(Module, ExportsOnlyTheEntryPoints)
{
    FILE* pipe = popen("nm -D --defined-only '" ZRV4_MODULE_PATH "'", "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> names;
    char line[1024];
    while (std::fgets(line, sizeof(line), pipe) != nullptr)
    {
        char address[64], type[8], name[900];
        if (std::sscanf(line, "%63s %7s %899s", address, type, name) == 3)
            names.insert(name);
    }
    ASSERT_EQ(pclose(pipe), 0);
    EXPECT_EQ(names, (std::set<std::string>{"VSTPluginMain", "main"}));
}

} // namespace
