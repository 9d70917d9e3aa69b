// The URIs that name the LV2 plug-in and its UI. Sessions and hosts store
// them: they never change.
#pragma once

#define ZRV4_LV2_URI "urn:tolvane-amps:zrv4"
#define ZRV4_LV2_UI_URI ZRV4_LV2_URI "#ui"
