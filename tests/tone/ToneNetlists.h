#pragma once

// The six tone networks as element lists for the numeric reference, written
// out from the circuit descriptions on their own (not from the generator's
// netlists), so that a wrong element or node in either shows up as a mismatch.

#include "tests/tone/NodalAnalysis.h"

namespace netlists
{

using nodal::C;
using nodal::R;

struct Network
{
    std::vector<nodal::Element> elements;
    int nodeCount;
    int output;
};

// Nodes of the tone stacks.
enum StackNode
{
    gnd = nodal::ground,
    src = nodal::source,
    s1,
    in,
    tc,
    sl,
    bt,
    bm,
    mw,
    tw,
    vt,
    pp,
    vw,
    stackNodeCount
};

// The treble-bass-middle section shared by the three stacks.
inline void toneSection(std::vector<nodal::Element>& e, double C1, double L, double M, double T)
{
    e.push_back(R(src, s1, 532));
    e.push_back(C(s1, in, 22e-9));
    e.push_back(R(in, gnd, 2.2e6));
    e.push_back(C(in, tc, C1));
    e.push_back(R(in, sl, 47e3));
    e.push_back(C(sl, bt, 22e-9));
    e.push_back(C(sl, mw, 22e-9));
    e.push_back(R(tc, tw, (1 - T) * 250e3));
    e.push_back(R(tw, bt, T * 250e3));
    e.push_back(R(bt, bm, L * 1e6));
    e.push_back(R(bm, mw, (1 - M) * 25e3));
    e.push_back(R(mw, gnd, M * 25e3));
}

// Nodes vt and pp are unused in the Clean stack: a 1 Ω resistor ties them to
// ground so that the matrix stays regular without touching the output.
inline Network cleanToneStack(double L, double M, double T, double V)
{
    Network n{{}, stackNodeCount, vw};
    toneSection(n.elements, 150e-12, L, M, T);
    n.elements.push_back(R(tw, vw, (1 - V) * 500e3));
    n.elements.push_back(R(vw, gnd, V * 500e3));
    n.elements.push_back(R(vw, gnd, 470e3));
    n.elements.push_back(R(vt, gnd, 1));
    n.elements.push_back(R(pp, gnd, 1));
    return n;
}

inline Network rhythmToneStack(double L, double M, double T, double V)
{
    Network n{{}, stackNodeCount, vw};
    toneSection(n.elements, 470e-12, L, M, T);
    n.elements.push_back(R(tw, vt, 470e3));
    n.elements.push_back(R(vt, gnd, 470e3));
    n.elements.push_back(R(vt, vw, (1 - V) * 500e3));
    n.elements.push_back(R(vw, gnd, V * 500e3));
    n.elements.push_back(R(vw, gnd, 470e3));
    n.elements.push_back(R(pp, gnd, 1));
    return n;
}

inline Network leadToneStack(double L, double M, double T, double P, double V, double S)
{
    Network n{{}, stackNodeCount, vw};
    toneSection(n.elements, 470e-12 + S * 220e-12, L, M, T);
    n.elements.push_back(R(tw, vt, 470e3));
    n.elements.push_back(R(vt, gnd, 470e3));
    n.elements.push_back(R(vt, pp, P * 500e3));
    n.elements.push_back(C(pp, gnd, 1e-9));
    n.elements.push_back(R(vt, vw, (1 - V) * 500e3));
    n.elements.push_back(R(vw, gnd, V * 500e3));
    n.elements.push_back(R(vw, gnd, 470e3));
    return n;
}

// Nodes of the gain networks.
enum GainNode
{
    ggnd = nodal::ground,
    gsrc = nodal::source,
    p,
    j,
    q,
    t,
    w,
    gr,
    gainNodeCount
};

constexpr double Rx = 470000 * 1.12282544e24 / 1.08465566e24;

// Unused nodes are tied to ground through 1 Ω, away from the signal path.
inline Network rhythmGainNetwork(double g, double b, double Rs, double Rpot, double Ci)
{
    const double Ra = (1 - g) * Rpot, Rb = g * Rpot;
    Network n{{}, gainNodeCount, w};
    auto& e = n.elements;
    e.push_back(R(gsrc, p, Rs));
    e.push_back(R(p, ggnd, Rx));
    e.push_back(R(p, t, 470e3));
    e.push_back(C(p, t, b * 470e-12));
    e.push_back(R(t, w, Ra));
    e.push_back(R(w, ggnd, Rb));
    e.push_back(R(w, ggnd, 2.2e6));
    e.push_back(C(w, ggnd, Ci));
    e.push_back(R(j, ggnd, 1));
    e.push_back(R(q, ggnd, 1));
    e.push_back(R(gr, ggnd, 1));
    return n;
}

inline Network leadGainNetwork(double g, double b, double Rs, double Rpot, double Ci)
{
    const double Ra = (1 - g) * Rpot, Rb = g * Rpot;
    Network n{{}, gainNodeCount, gr};
    auto& e = n.elements;
    e.push_back(R(gsrc, p, Rs));
    e.push_back(R(p, ggnd, Rx));
    e.push_back(R(p, t, 470e3));
    e.push_back(C(p, t, 2.2e-9));
    e.push_back(R(t, w, Ra));
    e.push_back(C(t, w, b * 1e-9));
    e.push_back(R(w, ggnd, Rb));
    e.push_back(R(w, gr, 470e3));
    e.push_back(C(gr, ggnd, Ci));
    e.push_back(R(j, ggnd, 1));
    e.push_back(R(q, ggnd, 1));
    return n;
}

inline Network cleanGainNetwork(double g, double b, double Rs, double Rpot, double Ci)
{
    const double Ra = (1 - g) * Rpot, Rb = g * Rpot;
    Network n{{}, gainNodeCount, w};
    auto& e = n.elements;
    e.push_back(R(gsrc, p, Rs));
    e.push_back(R(p, ggnd, 970e3));
    e.push_back(R(p, j, 470e3));
    e.push_back(R(j, ggnd, Ra));
    e.push_back(R(p, q, 470e3));
    e.push_back(C(p, q, b * 470e-12));
    e.push_back(R(q, t, 470e3));
    e.push_back(R(t, ggnd, 39e3));
    e.push_back(R(t, w, Ra));
    e.push_back(R(w, ggnd, Rb));
    e.push_back(R(w, ggnd, 2.2e6));
    e.push_back(C(w, ggnd, Ci));
    e.push_back(R(gr, ggnd, 1));
    return n;
}

} // namespace netlists
