// Ardour's own VST 2.4 scanner must accept our module. The scanner loads the
// module, instantiates the effect and writes what it found into a cache file
// under $XDG_CACHE_HOME (or $HOME/.cache)/ardourN/vst/; both its output and
// that file are checked.
#include "tests/MissingResource.h"

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
// The scanner as Debian's ardour package installed it, in a folder named for
// Ardour's major version; empty when the package or the program is missing.
std::string installedScanner()
{
    FILE* pipe = popen("dpkg -L ardour 2>/dev/null", "r");
    if (pipe == nullptr)
        return {};
    const std::string name = "/ardour-vst-scanner";
    std::string found;
    char line[4096];
    while (fgets(line, sizeof line, pipe))
    {
        std::string path = line;
        while (!path.empty() && (path.back() == '\n' || path.back() == '\r'))
            path.pop_back();
        if (path.size() > name.size() && path.compare(path.size() - name.size(), name.size(), name) == 0 &&
            access(path.c_str(), X_OK) == 0)
            found = path;
    }
    pclose(pipe);
    return found;
}

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
    const std::string scanner = installedScanner();
    if (scanner.empty())
        SKIP_OR_FAIL_WITHOUT("Ardour's VST scanner (Debian package ardour)");
    const std::string libraries = scanner.substr(0, scanner.rfind('/'));

    char dirTemplate[] = "/tmp/zrv4-scan-XXXXXX";
    ASSERT_NE(mkdtemp(dirTemplate), nullptr);
    const std::string home = dirTemplate;
    const std::string command = "env HOME='" + home + "' XDG_CACHE_HOME='" + home + "/.cache' " +
                                "LD_LIBRARY_PATH='" + libraries + "' timeout 300 '" + scanner + "' -v -f '" +
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
