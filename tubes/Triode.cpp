#include "tubes/Triode.h"

#include <cmath>

double Triode::plateCurrent(double vgk, double vpk) const noexcept
{
    const double s = kp * (1.0 / mu + (vgk + vct) / std::sqrt(kvb + vpk * vpk));
    const double e1 = (vpk / kp) * std::log(1.0 + std::exp(s));
    const double sign = e1 >= 0.0 ? 1.0 : -1.0;
    if (sign < 0.0)
        return 0.0; // pow of a negative base would be NaN; (1 + sign) is 0 anyway
    return std::pow(e1, ex) / kg1 * (1.0 + sign);
}
