#pragma once

// The digital filter every tone circuit runs. A build may name another
// header in ZRV4_TONE_FILTER_HEADER that defines ToneFilter with the same
// operations (the tests put a wide-precision reference there).
#ifdef ZRV4_TONE_FILTER_HEADER
#include ZRV4_TONE_FILTER_HEADER
#else
#include "tone/DeltaFilter.h"
template <int Order> using ToneFilter = DeltaFilter<Order>;
#endif
