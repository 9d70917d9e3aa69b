#include "host/Lv2Plugin.h"

#include <cstring>
#include <map>

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/urid/urid.h>
#include <lv2/worker/worker.h>

namespace
{

constexpr uint32_t atomCapacity = 8192;

struct Message
{
    std::vector<uint8_t> data;
};

} // namespace

struct Lv2Plugin::State
{
    LilvWorld* world = nullptr;
    const LilvPlugin* plugin = nullptr;
    LilvInstance* instance = nullptr;
    uint32_t maxBlock = 0;
    bool active = false;

    std::map<std::string, LV2_URID> uris;
    std::vector<std::string> names;
    LV2_URID_Map map{this, &State::mapUri};
    LV2_URID_Unmap unmap{this, &State::unmapUri};
    LV2_Worker_Schedule schedule{this, &State::scheduleWork};
    int32_t blockLengths[2] = {};
    float sampleRate = 0.0f;
    std::vector<LV2_Options_Option> options;
    std::vector<LV2_Feature> featureRecords;
    std::vector<const LV2_Feature*> features;

    const LV2_Worker_Interface* worker = nullptr;
    std::vector<Message> jobs;
    std::vector<Message> responses;

    std::vector<std::vector<float>> audioIn, audioOut;
    std::vector<std::vector<float>> controls; // indexed by port; empty for other ports
    std::vector<std::vector<uint8_t>> atoms;  // indexed by port; empty for other ports
    std::vector<bool> atomIsOutput;

    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri)
    {
        State* s = static_cast<State*>(handle);
        auto it = s->uris.find(uri);
        if (it != s->uris.end())
            return it->second;
        s->names.push_back(uri);
        const LV2_URID id = static_cast<LV2_URID>(s->names.size());
        s->uris.emplace(uri, id);
        return id;
    }
    static const char* unmapUri(LV2_URID_Unmap_Handle handle, LV2_URID id)
    {
        State* s = static_cast<State*>(handle);
        return id >= 1 && id <= s->names.size() ? s->names[id - 1].c_str() : nullptr;
    }
    static LV2_Worker_Status scheduleWork(LV2_Worker_Schedule_Handle handle, uint32_t size, const void* data)
    {
        State* s = static_cast<State*>(handle);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        s->jobs.push_back({std::vector<uint8_t>(bytes, bytes + size)});
        return LV2_WORKER_SUCCESS;
    }
    static LV2_Worker_Status respond(LV2_Worker_Respond_Handle handle, uint32_t size, const void* data)
    {
        State* s = static_cast<State*>(handle);
        const uint8_t* bytes = static_cast<const uint8_t*>(data);
        s->responses.push_back({std::vector<uint8_t>(bytes, bytes + size)});
        return LV2_WORKER_SUCCESS;
    }

    void prepareAtoms()
    {
        for (size_t p = 0; p < atoms.size(); ++p)
        {
            if (atoms[p].empty())
                continue;
            LV2_Atom_Sequence* seq = reinterpret_cast<LV2_Atom_Sequence*>(atoms[p].data());
            if (atomIsOutput[p])
            {
                // An output sequence offers the plug-in the whole buffer.
                seq->atom.size = atomCapacity - sizeof(LV2_Atom);
                seq->atom.type = mapUri(this, LV2_ATOM__Chunk);
            }
            else
            {
                seq->atom.size = sizeof(LV2_Atom_Sequence_Body);
                seq->atom.type = mapUri(this, LV2_ATOM__Sequence);
                seq->body.unit = 0;
                seq->body.pad = 0;
            }
        }
    }

    ~State()
    {
        if (instance != nullptr)
        {
            if (active)
                lilv_instance_deactivate(instance);
            lilv_instance_free(instance);
        }
        if (world != nullptr)
            lilv_world_free(world);
    }
};

Lv2Plugin::Lv2Plugin(std::unique_ptr<State> s) : state(std::move(s)) {}

Lv2Plugin::~Lv2Plugin() = default;

std::unique_ptr<Lv2Plugin> Lv2Plugin::load(const std::string& uri, double rate, uint32_t maxBlock,
                                           std::string& error, const std::string& bundle)
{
    auto s = std::make_unique<State>();
    s->maxBlock = maxBlock;
    s->world = lilv_world_new();
    if (bundle.empty())
        lilv_world_load_all(s->world);
    else
    {
        std::string path = bundle;
        if (path.back() != '/')
            path += '/';
        LilvNode* node = lilv_new_file_uri(s->world, nullptr, path.c_str());
        lilv_world_load_bundle(s->world, node);
        lilv_node_free(node);
    }
    LilvNode* uriNode = lilv_new_uri(s->world, uri.c_str());
    s->plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(s->world), uriNode);
    lilv_node_free(uriNode);
    if (s->plugin == nullptr)
    {
        error = "no plug-in " + uri;
        return nullptr;
    }

    s->sampleRate = static_cast<float>(rate);
    s->blockLengths[0] = 1;
    s->blockLengths[1] = static_cast<int32_t>(maxBlock);
    const LV2_URID intType = State::mapUri(s.get(), LV2_ATOM__Int);
    const LV2_URID floatType = State::mapUri(s.get(), LV2_ATOM__Float);
    s->options = {
        {LV2_OPTIONS_INSTANCE, 0, State::mapUri(s.get(), LV2_BUF_SIZE__minBlockLength), sizeof(int32_t),
         intType, &s->blockLengths[0]},
        {LV2_OPTIONS_INSTANCE, 0, State::mapUri(s.get(), LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t),
         intType, &s->blockLengths[1]},
        {LV2_OPTIONS_INSTANCE, 0, State::mapUri(s.get(), LV2_BUF_SIZE__nominalBlockLength), sizeof(int32_t),
         intType, &s->blockLengths[1]},
        {LV2_OPTIONS_INSTANCE, 0, State::mapUri(s.get(), LV2_PARAMETERS__sampleRate), sizeof(float),
         floatType, &s->sampleRate},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    s->featureRecords = {
        {LV2_URID__map, &s->map},
        {LV2_URID__unmap, &s->unmap},
        {LV2_WORKER__schedule, &s->schedule},
        {LV2_OPTIONS__options, s->options.data()},
        {LV2_BUF_SIZE__boundedBlockLength, nullptr},
    };
    for (const LV2_Feature& f : s->featureRecords)
        s->features.push_back(&f);
    s->features.push_back(nullptr);

    s->instance = lilv_plugin_instantiate(s->plugin, rate, s->features.data());
    if (s->instance == nullptr)
    {
        error = "instantiate refused " + uri;
        return nullptr;
    }
    s->worker = static_cast<const LV2_Worker_Interface*>(
        lilv_instance_get_extension_data(s->instance, LV2_WORKER__interface));

    LilvNode* audioClass = lilv_new_uri(s->world, LV2_CORE__AudioPort);
    LilvNode* controlClass = lilv_new_uri(s->world, LV2_CORE__ControlPort);
    LilvNode* inputClass = lilv_new_uri(s->world, LV2_CORE__InputPort);
    LilvNode* atomClass = lilv_new_uri(s->world, LV2_ATOM__AtomPort);
    const uint32_t ports = lilv_plugin_get_num_ports(s->plugin);
    std::vector<float> defaults(ports, 0.0f);
    lilv_plugin_get_port_ranges_float(s->plugin, nullptr, nullptr, defaults.data());
    s->controls.resize(ports);
    s->atoms.resize(ports);
    s->atomIsOutput.resize(ports);
    s->audioIn.reserve(ports);
    s->audioOut.reserve(ports);
    for (uint32_t p = 0; p < ports; ++p)
    {
        const LilvPort* port = lilv_plugin_get_port_by_index(s->plugin, p);
        const bool input = lilv_port_is_a(s->plugin, port, inputClass);
        void* buffer = nullptr;
        if (lilv_port_is_a(s->plugin, port, audioClass))
        {
            auto& list = input ? s->audioIn : s->audioOut;
            list.emplace_back(maxBlock, 0.0f);
            buffer = list.back().data();
        }
        else if (lilv_port_is_a(s->plugin, port, controlClass))
        {
            s->controls[p].assign(1, defaults[p] == defaults[p] ? defaults[p] : 0.0f);
            buffer = s->controls[p].data();
        }
        else if (lilv_port_is_a(s->plugin, port, atomClass))
        {
            s->atoms[p].assign(atomCapacity, 0);
            s->atomIsOutput[p] = !input;
            buffer = s->atoms[p].data();
        }
        lilv_instance_connect_port(s->instance, p, buffer);
    }
    lilv_node_free(audioClass);
    lilv_node_free(controlClass);
    lilv_node_free(inputClass);
    lilv_node_free(atomClass);
    return std::unique_ptr<Lv2Plugin>(new Lv2Plugin(std::move(s)));
}

LilvWorld* Lv2Plugin::world() const
{
    return state->world;
}

const LilvPlugin* Lv2Plugin::plugin() const
{
    return state->plugin;
}

uint32_t Lv2Plugin::numAudioInputs() const
{
    return static_cast<uint32_t>(state->audioIn.size());
}

uint32_t Lv2Plugin::numAudioOutputs() const
{
    return static_cast<uint32_t>(state->audioOut.size());
}

float* Lv2Plugin::audioInput(uint32_t i)
{
    return state->audioIn[i].data();
}

float* Lv2Plugin::audioOutput(uint32_t i)
{
    return state->audioOut[i].data();
}

float* Lv2Plugin::controlBuffer(uint32_t port)
{
    return port < state->controls.size() && !state->controls[port].empty() ? state->controls[port].data()
                                                                           : nullptr;
}

bool Lv2Plugin::setControl(const char* symbol, float value)
{
    LilvNode* node = lilv_new_string(state->world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(state->plugin, node);
    lilv_node_free(node);
    float* buffer = port ? controlBuffer(lilv_port_get_index(state->plugin, port)) : nullptr;
    if (buffer == nullptr)
        return false;
    *buffer = value;
    return true;
}

float Lv2Plugin::control(const char* symbol) const
{
    LilvNode* node = lilv_new_string(state->world, symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(state->plugin, node);
    lilv_node_free(node);
    if (port == nullptr)
        return 0.0f;
    const auto& c = state->controls[lilv_port_get_index(state->plugin, port)];
    return c.empty() ? 0.0f : c[0];
}

void Lv2Plugin::activate()
{
    if (!state->active)
        lilv_instance_activate(state->instance);
    state->active = true;
}

void Lv2Plugin::deactivate()
{
    if (state->active)
        lilv_instance_deactivate(state->instance);
    state->active = false;
}

void Lv2Plugin::run(uint32_t frames)
{
    state->prepareAtoms();
    lilv_instance_run(state->instance, frames);
    if (state->worker == nullptr)
        return;
    LV2_Handle handle = lilv_instance_get_handle(state->instance);
    // Work scheduled by this run, then its responses, then the end of the cycle.
    std::vector<Message> jobs;
    jobs.swap(state->jobs);
    for (const Message& job : jobs)
        state->worker->work(handle, &State::respond, state.get(), static_cast<uint32_t>(job.data.size()),
                            job.data.data());
    std::vector<Message> responses;
    responses.swap(state->responses);
    for (const Message& r : responses)
        state->worker->work_response(handle, static_cast<uint32_t>(r.data.size()), r.data.data());
    if (state->worker->end_run != nullptr)
        state->worker->end_run(handle);
}
