// Ardour's own VST 2.4 scanner must accept our module. The scanner loads the
// module, instantiates the effect and writes what it found into a cache file
// under $XDG_CACHE_HOME (or $HOME/.cache)/ardour7/vst/; both its output and
// that file are checked.
#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace
{
const char* const scanner = "/usr/lib/ardour7/ardour-vst-scanner";

void findFiles(const std::string& dir, const std::string& suffix, std::vector<std::string>& found)
{
    DIR* d = opendir(dir.c_str());
    if (!d)
        return;
    while (dirent* e = readdir(d))
    {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string path = dir + "/" + name;
        struct stat st;
        if (stat(path.c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode))
            findFiles(path, suffix, found);
        else if (name.size() > suffix.size() &&
                 name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
            found.push_back(path);
    }
    closedir(d);
}

std::map<std::string, std::string> attributes(const std::string& element)
{
    std::map<std::string, std::string> result;
    const std::regex attribute("([A-Za-z_]+)=\"([^\"]*)\"");
    for (auto it = std::sregex_iterator(element.begin(), element.end(), attribute);
         it != std::sregex_iterator(); ++it)
        result[(*it)[1]] = (*it)[2];
    return result;
}
} // namespace

TEST(ArdourScanner, AcceptsTheModule)
{
    if (access(scanner, X_OK) != 0)
        GTEST_SKIP() << "Ardour's scanner is not installed";

    char dirTemplate[] = "/tmp/zrv4-scan-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string home = dirTemplate;
    const std::string command = "env HOME='" + home + "' XDG_CACHE_HOME='" + home + "/.cache' " +
                                "LD_LIBRARY_PATH=/usr/lib/ardour7 timeout 300 " + scanner + " -v -f '" +
                                ZRV4_MODULE + "' 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = pclose(pipe);
    ASSERT_TRUE(WIFEXITED(status)) << output;
    EXPECT_EQ(WEXITSTATUS(status), 0) << output;
    EXPECT_NE(output.find("Found Plugin"), std::string::npos) << output;
    EXPECT_NE(output.find("ZRV4 1.0.0"), std::string::npos) << output;

    std::vector<std::string> caches;
    findFiles(home, ".v2i", caches);
    ASSERT_EQ(caches.size(), 1u) << output;
    std::ifstream in(caches[0]);
    std::stringstream text;
    text << in.rdbuf();
    const std::string cache = text.str();

    std::smatch info;
    ASSERT_TRUE(std::regex_search(cache, info, std::regex("<VST2Info[^>]*>"))) << cache;
    auto a = attributes(info.str(0));
    EXPECT_EQ(a["name"], "ZRV4 1.0.0");
    EXPECT_EQ(a["creator"], "Tolvane Amps");
    EXPECT_EQ(a["n_inputs"], "2");
    EXPECT_EQ(a["n_outputs"], "2");
    EXPECT_EQ(a["can_process_replace"], "1");
    EXPECT_EQ(a["is_instrument"], "0");
    // The unique ID 'ZRV4' as the scanner prints it, a decimal int32.
    EXPECT_EQ(a["id"], std::to_string(('Z' << 24) | ('R' << 16) | ('V' << 8) | '4'));

    std::smatch cacheTag;
    ASSERT_TRUE(std::regex_search(cache, cacheTag, std::regex("<VST2Cache[^>]*>")));
    EXPECT_EQ(attributes(cacheTag.str(0))["binary"], ZRV4_MODULE);

    std::system(("rm -rf '" + home + "'").c_str());
}
