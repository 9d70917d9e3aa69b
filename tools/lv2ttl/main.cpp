// zrv4-lv2ttl: writes manifest.ttl and zrv4.ttl of the LV2 bundle from the
// parameter table and the LV2 port forms, so that the description always
// matches the effect and its adapters.
//
//   zrv4-lv2ttl OUTDIR VERSION LICENSE-URI DSP-BINARY UI-BINARY
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

namespace
{

// A Turtle literal for a number: an integer for integer ports, otherwise a
// decimal with a point, so that every value of a port has the same type.
std::string decimal(float v, bool integer = false)
{
    if (integer)
        return std::to_string(static_cast<long>(v));
    char text[32];
    std::snprintf(text, sizeof(text), "%.7g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos)
        s += ".0";
    return s;
}

// Escapes a string for a Turtle "..." literal.
std::string quoted(const char* text)
{
    std::string s = "\"";
    for (const char* c = text; *c != '\0'; ++c)
    {
        if (*c == '"' || *c == '\\')
            s += '\\';
        s += *c;
    }
    return s + "\"";
}

const char* header = "# Written by tools/lv2ttl from shell/ParameterTable and lv2/Lv2Ports: do not edit.\n"
                     "@prefix doap:  <http://usefulinc.com/ns/doap#> .\n"
                     "@prefix foaf:  <http://xmlns.com/foaf/0.1/> .\n"
                     "@prefix lv2:   <http://lv2plug.in/ns/lv2core#> .\n"
                     "@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .\n"
                     "@prefix rdf:   <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                     "@prefix rdfs:  <http://www.w3.org/2000/01/rdf-schema#> .\n"
                     "@prefix ui:    <http://lv2plug.in/ns/extensions/ui#> .\n"
                     "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

void writeControl(FILE* f, uint32_t index, int32_t parameter)
{
    using namespace Lv2Ports;
    const ControlPort& c = control(parameter);
    const bool integer = c.form != Form::knob && c.form != Form::level;
    std::fprintf(f, "    [\n        a lv2:InputPort , lv2:ControlPort ;\n");
    std::fprintf(f, "        lv2:index %u ;\n        lv2:symbol %s ;\n        lv2:name %s ;\n", index,
                 quoted(c.symbol).c_str(), quoted(c.name).c_str());
    std::fprintf(f, "        lv2:default %s ;\n        lv2:minimum %s ;\n        lv2:maximum %s ;\n",
                 decimal(c.defaultValue, integer).c_str(), decimal(c.minimum, integer).c_str(),
                 decimal(c.maximum, integer).c_str());
    switch (c.form)
    {
    case Form::toggle:
        std::fprintf(f, "        lv2:portProperty lv2:toggled , lv2:integer ;\n");
        break;
    case Form::enumeration:
        std::fprintf(f, "        lv2:portProperty lv2:integer , lv2:enumeration ;\n");
        break;
    case Form::enabled:
        std::fprintf(f, "        lv2:designation lv2:enabled ;\n");
        std::fprintf(f, "        lv2:portProperty lv2:toggled , lv2:integer ;\n");
        break;
    default:
        break;
    }
    if (!c.automatic)
        std::fprintf(f, "        lv2:portProperty pprops:notAutomatic ;\n");
    if (c.unit != nullptr)
        std::fprintf(f, "        units:unit units:%s ;\n", c.unit);
    for (int i = 0; i < c.numScalePoints; ++i)
        std::fprintf(f, "        lv2:scalePoint [ rdfs:label %s ; rdf:value %s ] ;\n",
                     quoted(c.scalePoints[i].label).c_str(),
                     decimal(c.scalePoints[i].value, integer).c_str());
    std::fprintf(f, "    ]");
}

bool writePlugin(const std::string& path, const char* version, const char* license, const char* uiBinary)
{
    using namespace Lv2Ports;
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr)
        return false;
    unsigned major = 0, minor = 0, micro = 0;
    std::sscanf(version, "%u.%u.%u", &major, &minor, &micro);

    std::fputs(header, f);
    std::fprintf(f, "<%s>\n    a lv2:Plugin , lv2:DistortionPlugin ;\n", ZRV4_LV2_URI);
    std::fprintf(f, "    doap:name \"ZRV4\" ;\n");
    std::fprintf(f, "    rdfs:comment \"Three-channel guitar tube preamplifier (Clean, Rhythm, Lead).\" ;\n");
    std::fprintf(f, "    doap:maintainer [ foaf:name \"Tolvane Amps\" ] ;\n");
    std::fprintf(f, "    doap:license <%s> ;\n", license);
    std::fprintf(f, "    doap:release [ doap:revision %s ] ;\n", quoted(version).c_str());
    std::fprintf(f, "    lv2:minorVersion %u ;\n    lv2:microVersion %u ;\n", minor, micro);
    std::fprintf(f, "    lv2:optionalFeature lv2:hardRTCapable ;\n");
    std::fprintf(f, "    ui:ui <%s> ;\n", ZRV4_LV2_UI_URI);
    std::fprintf(f, "    lv2:port\n");
    for (uint32_t p = 0; p <= audioOutRight; ++p)
    {
        const AudioPort& a = audio(p);
        std::fprintf(f,
                     "    [\n        a lv2:%s , lv2:AudioPort ;\n        lv2:index %u ;\n"
                     "        lv2:symbol %s ;\n        lv2:name %s ;\n    ] ,\n",
                     a.input ? "InputPort" : "OutputPort", p, quoted(a.symbol).c_str(),
                     quoted(a.name).c_str());
    }
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        writeControl(f, firstParameter + static_cast<uint32_t>(i), i);
        std::fputs(" ,\n", f);
    }
    std::fprintf(
        f,
        "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index %u ;\n"
        "        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n"
        "        lv2:designation lv2:latency ;\n"
        "        lv2:portProperty lv2:reportsLatency , lv2:integer , pprops:notOnGUI ;\n"
        "        lv2:minimum 0 ;\n        lv2:maximum 64 ;\n        units:unit units:frame ;\n    ] .\n\n",
        latency);

    std::fprintf(f, "<%s>\n    a ui:X11UI ;\n    ui:binary <%s> ;\n", ZRV4_LV2_UI_URI, uiBinary);
    std::fprintf(f, "    lv2:requiredFeature ui:idleInterface ;\n");
    std::fprintf(f, "    lv2:optionalFeature ui:parent , ui:fixedSize , ui:noUserResize ;\n");
    std::fprintf(f, "    lv2:extensionData ui:idleInterface .\n");
    return std::fclose(f) == 0;
}

bool writeManifest(const std::string& path, const char* dspBinary, const char* uiBinary)
{
    FILE* f = std::fopen(path.c_str(), "w");
    if (f == nullptr)
        return false;
    std::fputs(header, f);
    std::fprintf(f, "<%s>\n    a lv2:Plugin ;\n    lv2:binary <%s> ;\n    rdfs:seeAlso <zrv4.ttl> .\n\n",
                 ZRV4_LV2_URI, dspBinary);
    std::fprintf(f, "<%s>\n    a ui:X11UI ;\n    ui:binary <%s> ;\n    rdfs:seeAlso <zrv4.ttl> .\n",
                 ZRV4_LV2_UI_URI, uiBinary);
    return std::fclose(f) == 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6)
    {
        std::fprintf(stderr, "usage: %s OUTDIR VERSION LICENSE-URI DSP-BINARY UI-BINARY\n", argv[0]);
        return 2;
    }
    const std::string dir = argv[1];
    if (!writePlugin(dir + "/zrv4.ttl", argv[2], argv[3], argv[5]) ||
        !writeManifest(dir + "/manifest.ttl", argv[4], argv[5]))
    {
        std::fprintf(stderr, "%s: cannot write into %s\n", argv[0], dir.c_str());
        return 1;
    }
    return 0;
}
