#pragma once

#include <string>
#include <vector>

// The command line of zrv4-render, parsed.
//
//   zrv4-render [options] [INPUT] OUTPUT
//
// With one file argument it is the output and the input is the built-in
// guitar phrase.
struct RenderOptions
{
    enum class Format
    {
        pcm24,
        floating
    };

    // A --set argument as given: a parameter name or index, and its value.
    struct Setting
    {
        std::string parameter;
        double value;
    };

    std::string input; // empty: the built-in phrase
    std::string output;
    std::string plugin;
    Format format = Format::pcm24;
    double rate = 44100.0; // of the built-in phrase
    int blockSize = 256;
    bool quiet = false;
    bool help = false;
    bool listParameters = false;
    std::vector<Setting> settings;

    // False with a readable message in error when the arguments are wrong.
    bool parse(int argc, const char* const* argv, std::string& error);

    static std::string usage(const std::string& program);
};
