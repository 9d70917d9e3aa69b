#include "tubes/PortableMath.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace
{
// An unevaluated sum hi + lo with |lo| <= ulp(hi) / 2.
struct DD
{
    double hi;
    double lo;
};

DD twoSum(double a, double b) noexcept
{
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// Needs |a| >= |b| (or a == 0).
DD fastTwoSum(double a, double b) noexcept
{
    const double s = a + b;
    return {s, b - (s - a)};
}

// Veltkamp's split: hi keeps the leading 53 - bits bits of a.
double leadingPart(double a, int bits) noexcept
{
    const double t = a * (static_cast<double>(1ll << bits) + 1.0);
    return t - (t - a);
}

// Dekker's exact product (no fused multiply-add), for |a|, |b| < 2^995.
DD twoProd(double a, double b) noexcept
{
    const double p = a * b;
    const double ah = leadingPart(a, 27), al = a - ah;
    const double bh = leadingPart(b, 27), bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

DD add(DD a, DD b) noexcept
{
    const DD s = twoSum(a.hi, b.hi);
    return fastTwoSum(s.hi, s.lo + a.lo + b.lo);
}

DD mul(DD a, DD b) noexcept
{
    const DD p = twoProd(a.hi, b.hi);
    return fastTwoSum(p.hi, p.lo + a.hi * b.lo + a.lo * b.hi);
}

DD div(DD a, DD b) noexcept
{
    const double q1 = a.hi / b.hi;
    DD r = add(a, mul({-q1, 0.0}, b));
    const double q2 = r.hi / b.hi;
    r = add(r, mul({-q2, 0.0}, b));
    const double q3 = r.hi / b.hi;
    return add(fastTwoSum(q1, q2), {q3, 0.0});
}

DD sqrt(DD a) noexcept
{
    const double s = std::sqrt(a.hi);
    const DD r = add(a, mul({-s, 0.0}, {s, 0.0}));
    return fastTwoSum(s, r.hi / (2.0 * s));
}

// ln((1 + z) / (1 - z)) = 2 (z + z^3/3 + z^5/5 + ...), for |z| <= 1/3.
DD twiceAtanh(DD z) noexcept
{
    const DD z2 = mul(z, z);
    DD power = z;
    DD sum = z;
    for (int n = 3; n < 80; n += 2)
    {
        power = mul(power, z2);
        sum = add(sum, div(power, {static_cast<double>(n), 0.0}));
    }
    return {2.0 * sum.hi, 2.0 * sum.lo};
}

DD logNearOne(double x) noexcept
{
    return twiceAtanh(div({x - 1.0, 0.0}, twoSum(x, 1.0)));
}

double bitsToDouble(std::uint64_t bits) noexcept
{
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::uint64_t doubleToBits(double d) noexcept
{
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// 2^e for -1022 <= e <= 1023.
double powerOfTwo(int e) noexcept
{
    return bitsToDouble(static_cast<std::uint64_t>(e + 1023) << 52);
}

// Adding and removing 1.5 * 2^52 rounds to the nearest integer, |x| < 2^51.
constexpr double roundingShift = 6755399441055744.0;

double nearestInteger(double x) noexcept
{
    return (x + roundingShift) - roundingShift;
}

bool isInteger(double a) noexcept // a >= 0
{
    return a >= 4503599627370496.0 || (a + 4503599627370496.0) - 4503599627370496.0 == a;
}

constexpr int expTableSize = 128;
constexpr int logFirstCentre = -32; // centres 1 + k/128 for k in [-32, 64]
constexpr int logLastCentre = 64;

// Constants and tables, computed once in double-double from the basic
// operations, so that no decimal constant has to be trusted.
struct Tables
{
    // ln 2 = ln2High + ln2Low, ln2High with 42 bits: e * ln2High is exact.
    double ln2High, ln2Low;
    // ln 2 / 128 = c1 + c2 + c3, c1 and c2 with 35 bits: k * c1, k * c2 exact.
    double c1, c2, c3;
    double invLn2Scaled;                                      // 128 / ln 2, for the choice of k only
    DD twoToThe[expTableSize];                                // 2^(j/128)
    double inverseCentre[logLastCentre - logFirstCentre + 1]; // 1/c, rounded
    DD minusLogInverse[logLastCentre - logFirstCentre + 1];   // -ln(1/c) of that double

    Tables() noexcept
    {
        const DD ln2 = twiceAtanh(div({1.0, 0.0}, {3.0, 0.0}));
        ln2High = leadingPart(ln2.hi, 11);
        ln2Low = (ln2.hi - ln2High) + ln2.lo;
        const DD scaled = {ln2.hi / expTableSize, ln2.lo / expTableSize};
        c1 = leadingPart(scaled.hi, 18);
        const DD rest = twoSum(scaled.hi - c1, scaled.lo);
        c2 = leadingPart(rest.hi, 18);
        c3 = (rest.hi - c2) + rest.lo;
        invLn2Scaled = expTableSize / ln2.hi;

        DD roots[7]; // 2^(1/2), 2^(1/4), ..., 2^(1/128)
        roots[0] = sqrt({2.0, 0.0});
        for (int i = 1; i < 7; ++i)
            roots[i] = sqrt(roots[i - 1]);
        for (int j = 0; j < expTableSize; ++j)
        {
            DD t = {1.0, 0.0};
            for (int b = 0; b < 7; ++b)
                if (j & (1 << b))
                    t = mul(t, roots[6 - b]);
            twoToThe[j] = t;
        }

        for (int k = logFirstCentre; k <= logLastCentre; ++k)
        {
            const double inverse = 1.0 / (1.0 + k / 128.0);
            const DD l = logNearOne(inverse);
            inverseCentre[k - logFirstCentre] = k == 0 ? 1.0 : inverse;
            minusLogInverse[k - logFirstCentre] = k == 0 ? DD{0.0, 0.0} : DD{-l.hi, -l.lo};
        }
    }
};

const Tables& tables() noexcept
{
    static const Tables t;
    return t;
}

// e^(hi + lo), |lo| <= ulp(hi): x = k ln2/128 + r, |r| <= ln2/256,
// e^x = 2^(k/128) e^r with a degree-6 Taylor polynomial for e^r - 1.
double expOf(double hi, double lo) noexcept
{
    if (hi != hi)
        return hi;
    if (hi > 710.0)
        return std::numeric_limits<double>::infinity();
    if (hi < -746.0)
        return 0.0;
    const Tables& t = tables();
    const double kd = nearestInteger(hi * t.invLn2Scaled);
    const DD reduced = twoSum(hi - kd * t.c1, -(kd * t.c2));
    // lo (from pow) may exceed ulp(reduced.hi): renormalise before rh * rl is dropped.
    const DD r = twoSum(reduced.hi, reduced.lo - kd * t.c3 + lo);
    const double rh = r.hi;
    const double rl = r.lo;
    const double q = rh * rh * (0.5 + rh * (1.0 / 6 + rh * (1.0 / 24 + rh * (1.0 / 120 + rh * (1.0 / 720)))));

    const long long k = static_cast<long long>(kd);
    const int j = static_cast<int>(((k % expTableSize) + expTableSize) % expTableSize);
    int e = static_cast<int>((k - j) / expTableSize);
    const DD table = t.twoToThe[j];
    // 2^(j/128) (1 + p), p = rh + rl + q, with the product by rh exact.
    const DD th = twoProd(table.hi, rh);
    const DD sum = fastTwoSum(table.hi, th.hi);
    double y = sum.hi + (sum.lo + (th.lo + table.lo + table.hi * (rl + q) + table.lo * rh));

    if (e > 1023)
    {
        y *= 2.0;
        e -= 1;
    }
    if (e < -1022) // one rounding into the subnormal range
        return (y * powerOfTwo(e + 64)) * powerOfTwo(-64);
    return y * powerOfTwo(e);
}

// ln x for finite x > 0 in double-double: x = 2^e m, m in [0.75, 1.5),
// m = c (1 + r) with c = 1 + k/128 the nearest centre, |r| < 2^-7.5, and
// ln(1 + r) by its series to r^9. The centre 1 has r = m - 1 exactly, so
// arguments near 1 keep their relative accuracy.
DD logOf(double x) noexcept
{
    const Tables& t = tables();
    std::uint64_t bits = doubleToBits(x);
    int e = static_cast<int>(bits >> 52);
    if (e == 0) // subnormal
    {
        bits = doubleToBits(x * 18014398509481984.0); // 2^54
        e = static_cast<int>(bits >> 52) - 54;
    }
    e -= 1023;
    double m = bitsToDouble((bits & 0x000fffffffffffffull) | 0x3ff0000000000000ull);
    if (m >= 1.5)
    {
        m *= 0.5;
        e += 1;
    }
    const int k = static_cast<int>(nearestInteger((m - 1.0) * 128.0));
    DD r{m - 1.0, 0.0};
    DD logCentre{0.0, 0.0};
    if (k != 0)
    {
        const DD p = twoProd(m, t.inverseCentre[k - logFirstCentre]);
        r = twoSum(p.hi - 1.0, p.lo);
        logCentre = t.minusLogInverse[k - logFirstCentre];
    }
    const double rh = r.hi, rl = r.lo;
    const DD square = twoProd(rh, rh);
    const double tail =
        rh * square.hi *
        (1.0 / 3 +
         rh * (-1.0 / 4 +
               rh * (1.0 / 5 + rh * (-1.0 / 6 + rh * (1.0 / 7 + rh * (-1.0 / 8 + rh * (1.0 / 9)))))));
    const double ed = e;
    const DD a = twoSum(ed * t.ln2High, logCentre.hi);
    const DD b = twoSum(a.hi, rh);
    const DD c = twoSum(b.hi, -0.5 * square.hi);
    const double lo =
        a.lo + b.lo + c.lo + ed * t.ln2Low + logCentre.lo + rl - 0.5 * square.lo - rh * rl + tail;
    return fastTwoSum(c.hi, lo);
}
} // namespace

namespace PortableMath
{
double exp(double x) noexcept
{
    return expOf(x, 0.0);
}

double log(double x) noexcept
{
    if (x != x || x == std::numeric_limits<double>::infinity())
        return x;
    if (x < 0.0)
        return std::numeric_limits<double>::quiet_NaN();
    if (x == 0.0)
        return -std::numeric_limits<double>::infinity();
    const DD l = logOf(x);
    return l.hi + l.lo;
}

// The special cases follow C99 (Annex F) pow.
double pow(double x, double y) noexcept
{
    constexpr double inf = std::numeric_limits<double>::infinity();
    if (y == 0.0 || x == 1.0)
        return 1.0;
    if (x != x || y != y)
        return x + y;
    const double ax = x < 0.0 ? -x : x;
    const double ay = y < 0.0 ? -y : y;
    if (ay == inf)
        return ax == 1.0 ? 1.0 : (ax < 1.0) == (y > 0.0) ? 0.0 : inf;
    const bool negative = (x < 0.0 || (x == 0.0 && 1.0 / x < 0.0)) && isInteger(ay) && !isInteger(0.5 * ay);
    const double sign = negative ? -1.0 : 1.0;
    if (ax == 0.0)
        return y > 0.0 ? sign * 0.0 : sign * inf;
    if (ax == inf)
        return y > 0.0 ? sign * inf : sign * 0.0;
    if (x < 0.0 && !isInteger(ay))
        return std::numeric_limits<double>::quiet_NaN();
    const DD l = logOf(ax);
    const double estimate = y * l.hi;
    if (estimate > 710.0)
        return sign * inf;
    if (estimate < -746.0)
        return sign * 0.0;
    const DD p = twoProd(y, l.hi);
    return sign * expOf(p.hi, p.lo + y * l.lo);
}
} // namespace PortableMath
