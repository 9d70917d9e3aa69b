#pragma once

// Numeric nodal analysis of an RC network at one frequency, as an independent
// reference for the generated transfer functions: the complex admittance
// matrix is assembled and solved by Gaussian elimination in long double.

#include <cmath>
#include <complex>
#include <utility>
#include <vector>

namespace nodal
{

using Complex = std::complex<long double>;

// Node 0 is ground, node 1 the ideal source at 1 V; the others are unknown.
constexpr int ground = 0;
constexpr int source = 1;

struct Element
{
    enum Kind
    {
        Resistor,
        Capacitor
    } kind;
    int a;
    int b;
    double value; // ohms or farads
};

inline Element R(int a, int b, double ohms)
{
    return {Element::Resistor, a, b, ohms};
}
inline Element C(int a, int b, double farads)
{
    return {Element::Capacitor, a, b, farads};
}

// Voltages of all nodes (index = node number) at angular frequency omega.
inline std::vector<Complex> solve(const std::vector<Element>& elements, int nodeCount, double omega)
{
    const int n = nodeCount - 2; // unknowns are nodes 2 … nodeCount − 1
    std::vector<std::vector<Complex>> Y(n, std::vector<Complex>(n + 1, Complex(0)));
    for (const Element& e : elements)
    {
        const Complex y = e.kind == Element::Resistor ? Complex(1.0L / e.value)
                                                      : Complex(0, static_cast<long double>(omega) * e.value);
        const std::pair<int, int> ends[2] = {{e.a, e.b}, {e.b, e.a}};
        for (const auto& [p, q] : ends)
        {
            if (p < 2)
                continue;
            Y[p - 2][p - 2] += y;
            if (q >= 2)
                Y[p - 2][q - 2] -= y;
            else if (q == source)
                Y[p - 2][n] += y; // current fed in from the 1 V source
        }
    }
    for (int col = 0; col < n; ++col)
    {
        int pivot = col;
        for (int r = col + 1; r < n; ++r)
            if (std::abs(Y[r][col]) > std::abs(Y[pivot][col]))
                pivot = r;
        std::swap(Y[col], Y[pivot]);
        for (int r = col + 1; r < n; ++r)
        {
            const Complex f = Y[r][col] / Y[col][col];
            for (int k = col; k <= n; ++k)
                Y[r][k] -= f * Y[col][k];
        }
    }
    std::vector<Complex> v(nodeCount, Complex(0));
    v[source] = 1;
    for (int r = n - 1; r >= 0; --r)
    {
        Complex sum = Y[r][n];
        for (int k = r + 1; k < n; ++k)
            sum -= Y[r][k] * v[k + 2];
        v[r + 2] = sum / Y[r][r];
    }
    return v;
}

} // namespace nodal
