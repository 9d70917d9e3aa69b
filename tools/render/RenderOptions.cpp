#include "tools/render/RenderOptions.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
// A whole-string decimal number, or false.
bool toNumber(const std::string& text, double& value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(value);
}
} // namespace

std::string RenderOptions::usage(const std::string& program)
{
    return "Usage: " + program +
           " [options] [INPUT] OUTPUT\n"
           "\n"
           "Renders an audio file through the ZRV4 preamplifier plug-in, loaded from its\n"
           "module as a host loads it. INPUT is any mono or stereo file that libsndfile\n"
           "reads (WAV, AIFF, FLAC, ...); the result has its rate and channel count.\n"
           "Without INPUT a built-in guitar phrase (7 s, -12 dBFS peaks) is rendered.\n"
           "The output type follows the OUTPUT extension (.wav, .aiff, .flac, .caf, .w64).\n"
           "\n"
           "Options:\n"
           "  --set NAME=VALUE     set a parameter by name, e.g. --set \"Gain Lead=0.8\"\n"
           "  --set INDEX=VALUE    set a parameter by index 0..27, e.g. --set 0=0.5\n"
           "                       values are normalised, 0 to 1; repeat --set as needed\n"
           "  --format pcm24|float sample format of the output (default pcm24)\n"
           "  --plugin PATH        the plug-in module (default: " ZRV4_DEFAULT_MODULE ")\n"
           "  --rate HZ            sample rate of the built-in phrase (default 44100)\n"
           "  --block N            frames per processing block (default 256)\n"
           "  --list-parameters    print the plug-in's parameters and defaults, then exit\n"
           "  --quiet              no progress bar\n"
           "  --help               this text\n"
           "\n"
           "Channel: 0 Clean, 0.5 Rhythm, 1 Lead. The plug-in starts in mono mode (both\n"
           "outputs carry the processed first input); --set \"Plugin Mode=1\" processes a\n"
           "stereo file's channels separately. A mono file is fed to both inputs and\n"
           "written from the first output.\n"
           "\n"
           "Examples:\n"
           "  " +
           program +
           " --set Channel=1 --set \"Gain Lead=0.8\" lead.wav\n"
           "  " +
           program + " --set Channel=0.5 --format float di-take.wav rhythm.wav\n";
}

bool RenderOptions::parse(int argc, const char* const* argv, std::string& error)
{
    plugin = ZRV4_DEFAULT_MODULE;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        auto valueOf = [&](std::string& into)
        {
            // --option VALUE or --option=VALUE
            const size_t eq = arg.find('=');
            if (eq != std::string::npos && arg.compare(0, 2, "--") == 0)
            {
                into = arg.substr(eq + 1);
                return true;
            }
            if (i + 1 >= argc)
            {
                error = arg + " needs a value";
                return false;
            }
            into = argv[++i];
            return true;
        };
        const std::string name = arg.substr(0, arg.find('='));
        std::string value;
        if (arg == "--help" || arg == "-h")
            help = true;
        else if (arg == "--quiet" || arg == "-q")
            quiet = true;
        else if (arg == "--list-parameters")
            listParameters = true;
        else if (name == "--set")
        {
            // --set=NAME=VALUE would be ambiguous: --set takes its argument apart.
            if (arg != "--set")
            {
                error = "write --set \"NAME=VALUE\" with a space after --set";
                return false;
            }
            if (!valueOf(value))
                return false;
            const size_t eq = value.rfind('=');
            if (eq == std::string::npos || eq == 0)
            {
                error = "--set wants NAME=VALUE or INDEX=VALUE, not '" + value + "'";
                return false;
            }
            Setting s{value.substr(0, eq), 0.0};
            if (!toNumber(value.substr(eq + 1), s.value))
            {
                error = "the value of '" + s.parameter + "' is not a number: '" + value.substr(eq + 1) + "'";
                return false;
            }
            if (s.value < 0.0 || s.value > 1.0)
            {
                error = "the value of '" + s.parameter + "' must lie between 0 and 1, not " +
                        value.substr(eq + 1);
                return false;
            }
            settings.push_back(s);
        }
        else if (name == "--format")
        {
            if (!valueOf(value))
                return false;
            if (value == "pcm24")
                format = Format::pcm24;
            else if (value == "float")
                format = Format::floating;
            else
            {
                error = "--format is pcm24 or float, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--plugin")
        {
            if (!valueOf(plugin))
                return false;
        }
        else if (name == "--rate")
        {
            if (!valueOf(value))
                return false;
            if (!toNumber(value, rate) || rate < 8000.0 || rate > 384000.0)
            {
                error = "--rate must be a rate from 8000 to 384000 Hz, not '" + value + "'";
                return false;
            }
        }
        else if (name == "--block")
        {
            if (!valueOf(value))
                return false;
            double n = 0.0;
            if (!toNumber(value, n) || n < 1.0 || n > 65536.0 || n != std::floor(n))
            {
                error = "--block must be a whole number from 1 to 65536, not '" + value + "'";
                return false;
            }
            blockSize = static_cast<int>(n);
        }
        else if (arg.size() > 1 && arg[0] == '-')
        {
            error = "unknown option " + arg;
            return false;
        }
        else
            files.push_back(arg);
    }
    if (help || listParameters)
        return true;
    if (files.empty())
    {
        error = "no output file given";
        return false;
    }
    if (files.size() > 2)
    {
        error = "too many file arguments (an input and an output at most)";
        return false;
    }
    if (files.size() == 2)
        input = files[0];
    output = files.back();
    return true;
}
