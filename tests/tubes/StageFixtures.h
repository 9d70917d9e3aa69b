#pragma once

#include "tubes/StageComponents.h"

// Component sets of the amplifier's stages at four times 44.1 kHz. Grid
// resistances that depend on neighbouring stages are rounded.
namespace stage_fixtures
{
constexpr double rate = 176400.0;

inline StageComponents inputStage()
{
    return {351, 220000, 1800, 1e-06, 78000, 0, 0, 324014.89, 4.7e-08, 0, rate};
}
inline StageComponents driverStage()
{
    return {352, 120000, 1800, 1e-06, 400000, 0, 0, 1e9, 0, 0, rate};
}
inline StageComponents secondStage()
{
    return {351, 120000, 2200, 1e-06, 42500, 0, 2200000, 287000, 2.2e-08, 0, rate};
}
inline StageComponents leadThirdStage()
{
    return {354, 120000, 39000, 0, 370000, 0, 0, 287000, 2.2e-08, 4.7e-10, rate};
}
inline StageComponents outputStage()
{
    return {352, 220000, 2200, 1e-06, 95671.51, 0, 0, 1e9, 0, 0, rate};
}
inline StageComponents driverFollower()
{
    return {352, 0, 120000, 0, 120000, 0, 0, 60000, 1e-06, 0, rate};
}
inline StageComponents outputFollower()
{
    return {352, 0, 122200, 1e-06, 220000, 0, 0, 250000, 1e-07, 0, rate};
}
} // namespace stage_fixtures
