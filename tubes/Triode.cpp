#include "tubes/Triode.h"

#include "tubes/PortableMath.h"

#include <cmath>

// PortableMath in place of the C library: its results, and with them the
// tables, are the same with every C library.
double Triode::plateCurrent(double vgk, double vpk) const noexcept
{
    const double s = kp * (1.0 / mu + (vgk + vct) / std::sqrt(kvb + vpk * vpk));
    const double e1 = (vpk / kp) * PortableMath::log(1.0 + PortableMath::exp(s));
    const double sign = e1 >= 0.0 ? 1.0 : -1.0;
    if (sign < 0.0)
        return 0.0; // pow of a negative base would be NaN; (1 + sign) is 0 anyway
    return PortableMath::pow(e1, ex) / kg1 * (1.0 + sign);
}
