#pragma once

#include "tools/render/RenderOptions.h"

#include <string>

class VstPlugin;

// Renders one file (or the built-in phrase) through the plug-in as the
// options say. The result is written to a temporary file in the output's
// folder and renamed into place only when complete; on any failure or
// interruption the temporary file is removed and no output is left behind.
class Renderer
{
  public:
    explicit Renderer(const RenderOptions& options) : options(options) {}

    // 0 when the output was written; otherwise non-zero and error says why.
    int run(std::string& error);
    // Prints the parameters of the plug-in (index, name, default, display).
    int listParameters(std::string& error);

    // Set from a signal handler: the render stops and cleans up.
    static volatile int interrupted;

  private:
    bool applySettings(VstPlugin& plugin, std::string& error);

    const RenderOptions& options;
};
