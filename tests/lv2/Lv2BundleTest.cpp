// The built bundle as a host reads it through lilv: every port with its
// properties, range, default and scale points, checked against the effect's
// parameter table, so that a description that drifts from the effect fails.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/port-props/port-props.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>

#include "lv2/Lv2Ports.h"
#include "lv2/Lv2Uris.h"

namespace
{

class Bundle : public ::testing::Test
{
  protected:
    static void SetUpTestSuite()
    {
        world = lilv_world_new();
        // The LV2 core bundle of Debian lv2-dev defines the plug-in classes.
        LilvNode* core = lilv_new_file_uri(world, nullptr, "/usr/lib/lv2/core.lv2/");
        lilv_world_load_bundle(world, core);
        lilv_node_free(core);
        lilv_world_load_specifications(world);
        lilv_world_load_plugin_classes(world);
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, ZRV4_LV2_BUNDLE "/");
        lilv_world_load_bundle(world, bundle);
        lilv_node_free(bundle);
        LilvNode* uri = lilv_new_uri(world, ZRV4_LV2_URI);
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
    }
    static void TearDownTestSuite()
    {
        lilv_world_free(world);
        world = nullptr;
    }

    // A node that frees itself.
    struct Node
    {
        LilvNode* node;
        explicit Node(LilvNode* n) : node(n) {}
        ~Node() { lilv_node_free(node); }
        operator const LilvNode*() const { return node; }
    };
    static Node uri(const char* text) { return Node(lilv_new_uri(world, text)); }

    static const LilvPort* port(uint32_t index) { return lilv_plugin_get_port_by_index(plugin, index); }
    static bool has(const LilvPort* p, const char* property)
    {
        return lilv_port_has_property(plugin, p, uri(property));
    }
    static std::string text(const LilvNode* n) { return n ? lilv_node_as_string(n) : ""; }

    static LilvWorld* world;
    static const LilvPlugin* plugin;
};

LilvWorld* Bundle::world = nullptr;
const LilvPlugin* Bundle::plugin = nullptr;

TEST_F(Bundle, DescribesThePluginWithItsMetadataAndUi)
{
    ASSERT_NE(plugin, nullptr);
    EXPECT_TRUE(lilv_plugin_verify(plugin));
    Node name(lilv_plugin_get_name(plugin));
    EXPECT_EQ(text(name), "ZRV4");
    Node author(lilv_plugin_get_author_name(plugin));
    EXPECT_EQ(text(author), "Tolvane Amps");
    EXPECT_EQ(text(lilv_plugin_class_get_uri(lilv_plugin_get_class(plugin))), LV2_CORE__DistortionPlugin);
    EXPECT_TRUE(lilv_plugin_has_feature(plugin, uri(LV2_CORE__hardRTCapable)));
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    EXPECT_EQ(lilv_nodes_size(required), 0u);
    lilv_nodes_free(required);
    LilvNodes* licence = lilv_plugin_get_value(plugin, uri("http://usefulinc.com/ns/doap#license"));
    EXPECT_EQ(lilv_nodes_size(licence), 1u);
    lilv_nodes_free(licence);
    LilvNodes* minor = lilv_plugin_get_value(plugin, uri(LV2_CORE__minorVersion));
    ASSERT_EQ(lilv_nodes_size(minor), 1u);
    lilv_nodes_free(minor);

    LilvUIs* uis = lilv_plugin_get_uis(plugin);
    ASSERT_EQ(lilv_uis_size(uis), 1u);
    const LilvUI* ui = lilv_uis_get(uis, lilv_uis_begin(uis));
    EXPECT_EQ(text(lilv_ui_get_uri(ui)), ZRV4_LV2_UI_URI);
    EXPECT_TRUE(lilv_ui_is_a(ui, uri(LV2_UI__X11UI)));
    lilv_uis_free(uis);

    EXPECT_EQ(lilv_plugin_get_num_ports(plugin), Lv2Ports::count);
    EXPECT_TRUE(lilv_plugin_has_latency(plugin));
    EXPECT_EQ(lilv_plugin_get_latency_port_index(plugin), Lv2Ports::latency);
}

TEST_F(Bundle, AudioPortsComeFirstThenTheParametersThenTheLatency)
{
    ASSERT_NE(plugin, nullptr);
    for (uint32_t p = 0; p < 4; ++p)
    {
        EXPECT_TRUE(lilv_port_is_a(plugin, port(p), uri(LV2_CORE__AudioPort))) << p;
        EXPECT_EQ(lilv_port_is_a(plugin, port(p), uri(LV2_CORE__InputPort)), p < 2) << p;
    }
    const LilvPort* latency = port(Lv2Ports::latency);
    EXPECT_TRUE(lilv_port_is_a(plugin, latency, uri(LV2_CORE__OutputPort)));
    EXPECT_TRUE(lilv_port_is_a(plugin, latency, uri(LV2_CORE__ControlPort)));
    EXPECT_EQ(text(lilv_port_get_symbol(plugin, latency)), "latency");
}

// Each control port against the table: the VST name, a default that maps to
// the table's default, a range whose ends are the parameter's ends, the form
// of its kind, and scale points that map to the values whose effect label is
// the scale point's label.
TEST_F(Bundle, ControlPortsMatchTheParameterTable)
{
    ASSERT_NE(plugin, nullptr);
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        SCOPED_TRACE(ParameterTable::info(i).name);
        const ParameterInfo& info = ParameterTable::info(i);
        const LilvPort* p = port(Lv2Ports::firstParameter + static_cast<uint32_t>(i));
        ASSERT_NE(p, nullptr);
        EXPECT_TRUE(lilv_port_is_a(plugin, p, uri(LV2_CORE__InputPort)));
        EXPECT_TRUE(lilv_port_is_a(plugin, p, uri(LV2_CORE__ControlPort)));
        Node name(lilv_port_get_name(plugin, p));
        EXPECT_EQ(text(name), info.kind == ParameterKind::onOff ? "Enabled" : info.name);

        LilvNode *def = nullptr, *min = nullptr, *max = nullptr;
        lilv_port_get_range(plugin, p, &def, &min, &max);
        ASSERT_TRUE(def && min && max);
        const float d = lilv_node_as_float(def), lo = lilv_node_as_float(min), hi = lilv_node_as_float(max);
        lilv_node_free(def);
        lilv_node_free(min);
        lilv_node_free(max);
        EXPECT_EQ(Lv2Ports::parameterValue(i, d), info.defaultValue);
        EXPECT_LE(lo, d);
        EXPECT_GE(hi, d);

        const bool toggled = has(p, LV2_CORE__toggled);
        const bool enumeration = has(p, LV2_CORE__enumeration);
        switch (info.kind)
        {
        case ParameterKind::continuous:
            EXPECT_FALSE(toggled || enumeration || has(p, LV2_CORE__integer));
            EXPECT_EQ(Lv2Ports::parameterValue(i, lo), 0.0f);
            EXPECT_EQ(Lv2Ports::parameterValue(i, hi), 1.0f);
            break;
        case ParameterKind::toggle:
        case ParameterKind::panelView:
            EXPECT_TRUE(toggled);
            EXPECT_EQ(Lv2Ports::parameterValue(i, lo), 0.0f);
            EXPECT_EQ(Lv2Ports::parameterValue(i, hi), 1.0f);
            break;
        case ParameterKind::onOff:
        {
            EXPECT_TRUE(toggled);
            LilvNode* designation = lilv_port_get(plugin, p, uri(LV2_CORE__designation));
            EXPECT_EQ(text(designation), LV2_CORE__enabled);
            lilv_node_free(designation);
            // Enabled is the effect's Bypass turned round.
            EXPECT_EQ(Lv2Ports::parameterValue(i, hi), 0.0f);
            EXPECT_EQ(Lv2Ports::parameterValue(i, lo), 1.0f);
            break;
        }
        default:
            EXPECT_TRUE(enumeration && has(p, LV2_CORE__integer));
            break;
        }
        EXPECT_EQ(has(p, LV2_PORT_PROPS__notAutomatic), info.kind == ParameterKind::panelView);

        LilvScalePoints* points = lilv_port_get_scale_points(plugin, p);
        const unsigned expected = static_cast<unsigned>(ParameterTable::positions(i));
        if (info.kind != ParameterKind::panelView)
        {
            EXPECT_EQ(points ? lilv_scale_points_size(points) : 0u, expected);
        }
        LILV_FOREACH(scale_points, it, points)
        {
            const LilvScalePoint* sp = lilv_scale_points_get(points, it);
            std::string label = text(lilv_scale_point_get_label(sp));
            const float v = Lv2Ports::parameterValue(i, lilv_node_as_float(lilv_scale_point_get_value(sp)));
            if (info.kind == ParameterKind::panelView)
                EXPECT_EQ(label, v == 1.0f ? "Back" : "Front");
            else
            {
                const size_t times = label.find("\u00d7");
                if (times != std::string::npos)
                    label.replace(times, std::string("\u00d7").size(), "x");
                EXPECT_EQ(label, ParameterTable::label(i, v, 4));
            }
        }
        if (points)
            lilv_scale_points_free(points);
    }
}

TEST_F(Bundle, LevelsAreInDecibelsAndSymbolsAreUnique)
{
    ASSERT_NE(plugin, nullptr);
    for (int32_t i : {kInputLevel, kOutputLevel})
    {
        LilvNode* unit = lilv_port_get(plugin, port(Lv2Ports::firstParameter + i), uri(LV2_UNITS__unit));
        EXPECT_EQ(text(unit), LV2_UNITS__db);
        lilv_node_free(unit);
    }
    for (uint32_t a = 0; a < Lv2Ports::count; ++a)
        for (uint32_t b = a + 1; b < Lv2Ports::count; ++b)
            EXPECT_NE(text(lilv_port_get_symbol(plugin, port(a))),
                      text(lilv_port_get_symbol(plugin, port(b))));
}

// The mapping between port values and the effect's values, by what a host
// may write: every choice and switch both ways exactly, knob and level
// positions to within float rounding, NaN as the effect's own table takes it,
// and values between choices or outside the range to the nearest choice.
TEST(PortMapping, EveryValueAHostWritesGivesAValueTheEffectTakes)
{
    using Lv2Ports::parameterValue;
    using Lv2Ports::portValue;
    for (int32_t i = 0; i < kNumParameters; ++i)
    {
        SCOPED_TRACE(ParameterTable::info(i).name);
        EXPECT_EQ(parameterValue(i, std::nanf("")), 0.0f);
        for (float v : {0.0f, 0.5f, 1.0f})
        {
            if (ParameterTable::info(i).kind != ParameterKind::continuous &&
                ParameterTable::info(i).kind != ParameterKind::channel &&
                ParameterTable::info(i).kind != ParameterKind::oversampling && v == 0.5f)
                continue;
            EXPECT_EQ(parameterValue(i, portValue(i, v)), v) << v;
        }
        if (ParameterTable::info(i).kind == ParameterKind::continuous)
        {
            for (float v = 0.001f; v < 1.0f; v += 0.0371f)
                EXPECT_NEAR(parameterValue(i, portValue(i, v)), v, 5e-7f * v) << v;
        }
    }
    EXPECT_EQ(parameterValue(kGainLead, 3.3f), 3.3f / 10.0f);
    EXPECT_EQ(parameterValue(kGainLead, 11.0f), 1.0f);
    EXPECT_EQ(parameterValue(kGainLead, -1.0f), 0.0f);
    EXPECT_NEAR(parameterValue(kInputLevel, -6.0206f), 0.25f, 1e-6f);
    EXPECT_EQ(parameterValue(kInputLevel, -60.0f), 0.0f);
    EXPECT_EQ(parameterValue(kOutputLevel, 40.0f), 1.0f);
    EXPECT_EQ(parameterValue(kChannel, 1.4f), 0.5f);
    EXPECT_EQ(parameterValue(kChannel, 7.0f), 1.0f);
    EXPECT_EQ(parameterValue(kChannel, -3.0f), 0.0f);
    EXPECT_EQ(parameterValue(kOversampling, 5.0f), 0.5f);
    EXPECT_EQ(parameterValue(kOversampling, 100.0f), 1.0f);
    EXPECT_EQ(parameterValue(kPluginMode, 0.7f), 1.0f);
    EXPECT_EQ(parameterValue(kBypass, 0.0f), 1.0f);
    // The effect's values between the choices show as the choice they select.
    EXPECT_EQ(portValue(kChannel, 0.3f), 1.0f);
    EXPECT_EQ(portValue(kOversampling, 0.0001f), 4.0f);
    EXPECT_EQ(portValue(kBypass, 0.999f), 1.0f);
}

} // namespace
