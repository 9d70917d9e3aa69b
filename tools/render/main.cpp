// zrv4-render: renders audio through the ZRV4 plug-in module.
#include "tools/render/RenderOptions.h"
#include "tools/render/Renderer.h"

#include <csignal>
#include <cstdio>
#include <string>

namespace
{
void onSignal(int)
{
    Renderer::interrupted = 1;
}
} // namespace

int main(int argc, char** argv)
{
    const std::string program = "zrv4-render";
    RenderOptions options;
    std::string error;
    if (!options.parse(argc, argv, error))
    {
        std::fprintf(stderr, "%s: %s\n%s --help shows the usage.\n", program.c_str(), error.c_str(),
                     program.c_str());
        return 2;
    }
    if (options.help)
    {
        std::printf("%s", RenderOptions::usage(program).c_str());
        return 0;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    Renderer renderer(options);
    const int status = options.listParameters ? renderer.listParameters(error) : renderer.run(error);
    if (status != 0)
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
    else if (!options.listParameters && !options.quiet)
        std::fprintf(stderr, "%s: wrote %s\n", program.c_str(), options.output.c_str());
    return status;
}
