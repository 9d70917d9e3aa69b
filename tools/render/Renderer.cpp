#include "tools/render/Renderer.h"

#include "host/VstPlugin.h"
#include "tools/render/GuitarPhrase.h"

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

volatile int Renderer::interrupted = 0;

namespace
{
// The audio source: a file, or the built-in phrase.
class Source
{
  public:
    ~Source()
    {
        if (file)
            sf_close(file);
    }

    bool openFile(const std::string& path, std::string& error)
    {
        SF_INFO info;
        std::memset(&info, 0, sizeof info);
        file = sf_open(path.c_str(), SFM_READ, &info);
        if (!file)
        {
            error = "cannot read " + path + ": " + sf_strerror(nullptr);
            return false;
        }
        if (info.channels < 1 || info.channels > 2)
        {
            error = path + " has " + std::to_string(info.channels) +
                    " channels; only mono and stereo files are rendered";
            return false;
        }
        if (info.samplerate <= 0)
        {
            error = path + " reports no sample rate";
            return false;
        }
        channels = info.channels;
        rate = info.samplerate;
        frames = info.frames;
        return true;
    }

    void openPhrase(double phraseRate)
    {
        phrase = GuitarPhrase::render(phraseRate);
        channels = 1;
        rate = static_cast<int>(phraseRate);
        frames = static_cast<sf_count_t>(phrase.size());
    }

    // Interleaved frames into buffer; the count read (0 at the end, -1 on error).
    sf_count_t read(float* buffer, sf_count_t count)
    {
        if (file)
        {
            const sf_count_t got = sf_readf_float(file, buffer, count);
            return sf_error(file) != SF_ERR_NO_ERROR ? -1 : got;
        }
        const sf_count_t got = std::min<sf_count_t>(count, frames - position);
        std::copy(phrase.begin() + position, phrase.begin() + position + got, buffer);
        position += got;
        return got;
    }

    int channels = 1;
    int rate = 44100;
    sf_count_t frames = 0;

  private:
    SNDFILE* file = nullptr;
    std::vector<float> phrase;
    sf_count_t position = 0;
};

// The output, written under a temporary name next to its final place.
class Destination
{
  public:
    ~Destination() { discard(); }

    bool open(const std::string& target, int format, int channels, int rate, std::string& error)
    {
        path = target;
        const size_t slash = target.rfind('/');
        const std::string folder =
            slash == std::string::npos ? "." : target.substr(0, slash == 0 ? 1 : slash);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        if (name.empty())
        {
            error = "the output " + target + " names a folder, not a file";
            return false;
        }
        std::vector<char> pattern(folder.begin(), folder.end());
        const std::string rest = "/." + name + ".XXXXXX";
        pattern.insert(pattern.end(), rest.begin(), rest.end());
        pattern.push_back('\0');
        const int fd = mkstemp(pattern.data());
        if (fd < 0)
        {
            error = "cannot write " + target + ": " + std::strerror(errno);
            return false;
        }
        temporary = pattern.data();
        // mkstemp makes the file private; the output gets the usual permissions.
        const mode_t mask = umask(0);
        umask(mask);
        fchmod(fd, 0666 & ~mask);

        SF_INFO info;
        std::memset(&info, 0, sizeof info);
        info.channels = channels;
        info.samplerate = rate;
        info.format = format;
        if (!sf_format_check(&info))
        {
            close(fd);
            error = "this output type cannot hold " +
                    std::string((format & SF_FORMAT_SUBMASK) == SF_FORMAT_FLOAT ? "float" : "24-bit") +
                    " samples; choose another --format or extension";
            return false;
        }
        file = sf_open_fd(fd, SFM_WRITE, &info, SF_TRUE);
        if (!file)
        {
            error = "cannot write " + target + ": " + sf_strerror(nullptr);
            return false;
        }
        // Integer output: clip at full scale rather than wrap round.
        sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
        return true;
    }

    bool write(const float* buffer, sf_count_t count, std::string& error)
    {
        if (sf_writef_float(file, buffer, count) != count)
        {
            error = "cannot write " + path + ": " + sf_strerror(file);
            return false;
        }
        return true;
    }

    bool commit(std::string& error)
    {
        const int closed = sf_close(file);
        file = nullptr;
        if (closed != 0)
        {
            error = "cannot write " + path + ": " + sf_error_number(closed);
            return false;
        }
        if (std::rename(temporary.c_str(), path.c_str()) != 0)
        {
            error = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
        temporary.clear();
        return true;
    }

    void discard()
    {
        if (file)
            sf_close(file);
        file = nullptr;
        if (!temporary.empty())
            unlink(temporary.c_str());
        temporary.clear();
    }

  private:
    std::string path;
    std::string temporary;
    SNDFILE* file = nullptr;
};

bool majorFormat(const std::string& path, int& major)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return false;
    std::string ext = path.substr(dot + 1);
    for (char& c : ext)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const struct
    {
        const char* ext;
        int major;
    } known[] = {{"wav", SF_FORMAT_WAV},   {"aiff", SF_FORMAT_AIFF}, {"aif", SF_FORMAT_AIFF},
                 {"flac", SF_FORMAT_FLAC}, {"caf", SF_FORMAT_CAF},   {"w64", SF_FORMAT_W64},
                 {"rf64", SF_FORMAT_RF64}};
    for (const auto& k : known)
        if (ext == k.ext)
        {
            major = k.major;
            return true;
        }
    return false;
}

bool isIndex(const std::string& text)
{
    return !text.empty() && text.size() < 6 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

class Progress
{
  public:
    Progress(bool shown, sf_count_t total) : shown(shown), total(total) {}
    ~Progress()
    {
        if (shown && drawn)
            std::fprintf(stderr, "\n");
    }
    void update(sf_count_t done)
    {
        if (!shown || total <= 0)
            return;
        const int percent = static_cast<int>(100 * std::min(done, total) / total);
        if (percent == last)
            return;
        last = percent;
        drawn = true;
        char bar[41];
        const int filled = percent * 40 / 100;
        for (int i = 0; i < 40; ++i)
            bar[i] = i < filled ? '#' : '.';
        bar[40] = '\0';
        std::fprintf(stderr, "\r[%s] %3d%%", bar, percent);
        std::fflush(stderr);
    }

  private:
    bool shown;
    sf_count_t total;
    int last = -1;
    bool drawn = false;
};
} // namespace

bool Renderer::applySettings(VstPlugin& plugin, std::string& error)
{
    for (const RenderOptions::Setting& s : options.settings)
    {
        int index = plugin.findParameter(s.parameter);
        if (index < 0 && isIndex(s.parameter))
        {
            index = std::atoi(s.parameter.c_str());
            if (index >= plugin.numParams())
            {
                error = "parameter index " + s.parameter + " is out of range (0 to " +
                        std::to_string(plugin.numParams() - 1) + ")";
                return false;
            }
        }
        if (index < 0)
        {
            error = "unknown parameter '" + s.parameter + "' (--list-parameters shows the names)";
            return false;
        }
        plugin.setParameter(index, static_cast<float>(s.value));
    }
    return true;
}

int Renderer::listParameters(std::string& error)
{
    auto plugin = VstPlugin::load(options.plugin, error);
    if (!plugin)
        return 1;
    plugin->open();
    std::printf("%s by %s, %d parameters\n", plugin->effectName().c_str(), plugin->vendor().c_str(),
                plugin->numParams());
    for (int i = 0; i < plugin->numParams(); ++i)
        std::printf("%3d  %-16s default %.4g  (%s %s)\n", i, plugin->parameterName(i).c_str(),
                    plugin->getParameter(i), plugin->parameterDisplay(i).c_str(),
                    plugin->parameterLabel(i).c_str());
    return 0;
}

int Renderer::run(std::string& error)
{
    int major = 0;
    if (!majorFormat(options.output, major))
    {
        error = "cannot tell the output type of " + options.output +
                " from its extension (use .wav, .aiff, .flac, .caf, .w64 or .rf64)";
        return 2;
    }

    Source source;
    if (options.input.empty())
        source.openPhrase(options.rate);
    else if (!source.openFile(options.input, error))
        return 1;

    VstPlugin::HostSettings settings;
    settings.sampleRate = static_cast<float>(source.rate);
    settings.blockSize = options.blockSize;
    auto plugin = VstPlugin::load(options.plugin, error, settings);
    if (!plugin)
        return 1;
    if (plugin->numInputs() < 1 || plugin->numOutputs() < 1 || !plugin->canReplacing())
    {
        error = options.plugin + " has no audio inputs and outputs to render through";
        return 1;
    }
    plugin->open();
    plugin->setSampleRate(static_cast<float>(source.rate));
    plugin->setBlockSize(options.blockSize);
    if (!applySettings(*plugin, error))
        return 2;

    const int format =
        major | (options.format == RenderOptions::Format::floating ? SF_FORMAT_FLOAT : SF_FORMAT_PCM_24);
    Destination destination;
    if (!destination.open(options.output, format, source.channels, source.rate, error))
        return 1;

    // Planar buffers for the plug-in's pins; a mono file feeds every input.
    const int block = options.blockSize;
    const int ins = plugin->numInputs(), outs = plugin->numOutputs();
    std::vector<std::vector<float>> inBuffers(ins, std::vector<float>(block)),
        outBuffers(outs, std::vector<float>(block));
    std::vector<float*> inPointers, outPointers;
    for (auto& b : inBuffers)
        inPointers.push_back(b.data());
    for (auto& b : outBuffers)
        outPointers.push_back(b.data());
    std::vector<float> interleaved(static_cast<size_t>(block) * source.channels);

    Progress progress(!options.quiet && isatty(STDERR_FILENO) && source.frames > 3 * source.rate,
                      source.frames);
    plugin->resume();
    sf_count_t done = 0;
    for (;;)
    {
        if (interrupted)
        {
            error = "interrupted; no output written";
            return 130;
        }
        const sf_count_t got = source.read(interleaved.data(), block);
        if (got < 0)
        {
            error = "cannot read " + options.input + " to its end";
            return 1;
        }
        if (got == 0)
            break;
        for (int c = 0; c < ins; ++c)
        {
            const int from = std::min(c, source.channels - 1);
            for (sf_count_t i = 0; i < got; ++i)
                inBuffers[c][i] = interleaved[i * source.channels + from];
        }
        plugin->process(inPointers.data(), outPointers.data(), static_cast<int>(got));
        for (int c = 0; c < source.channels; ++c)
        {
            const int from = std::min(c, outs - 1);
            for (sf_count_t i = 0; i < got; ++i)
                interleaved[i * source.channels + c] = outBuffers[from][i];
        }
        if (!destination.write(interleaved.data(), got, error))
            return 1;
        done += got;
        progress.update(done);
    }
    plugin->suspend();
    if (!destination.commit(error))
        return 1;
    return 0;
}
