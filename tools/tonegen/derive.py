"""Transfer function of a netlist by nodal analysis.

With the source node held at 1 V, the node voltages solve Y(s)·v = i, where
Y is the admittance matrix of the unknown nodes and i the currents fed in
from the source. By Cramer's rule V(out) = det(Y_out) / det(Y), Y_out being Y
with the output column replaced by i. Both determinants are computed exactly
over a polynomial ring in s, the conductances of the variable resistors and
the variable capacitances.

Every element enters the nodal matrix as a rank-one term, so both
determinants are affine in each element's admittance. Multiplying them by the
product of all resistances therefore turns each conductance G = 1/R into a
plain polynomial: a term without G gains a factor R, a term with G loses it.
What remains is N(s) and D(s) with every coefficient a polynomial in the
resistances and capacitances whose terms are all positive, so evaluating them
involves no cancellation and D never vanishes for positive element values.
"""

import sympy as sp
from sympy import QQ
from sympy.polys.rings import ring


def _determinant(matrix, zero, one):
    """Laplace expansion down the columns, each minor computed once.

    A minor is fixed by the set of rows already used (its column is the
    count of those rows), so a memo over row sets visits at most 2^n minors;
    the nodal matrices are sparse and small, which keeps this fast.
    """
    n = len(matrix)
    memo = {}

    def minor(used):
        column = bin(used).count("1")
        if column == n:
            return one
        if used in memo:
            return memo[used]
        total = zero
        free_rows_before = 0
        for row in range(n):
            if used >> row & 1:
                continue
            entry = matrix[row][column]
            if entry:
                term = entry * minor(used | (1 << row))
                total = total + term if free_rows_before % 2 == 0 else total - term
            free_rows_before += 1
        memo[used] = total
        return total

    return minor(0)


def transfer_function(net):
    """Returns (s, numerator, denominator) as sympy Polys in s whose
    coefficients are expressions in the netlist's input symbols."""
    nodes = net.nodes()
    index = {n: i for i, n in enumerate(nodes)}

    # Ring generators: s, one conductance per variable resistor, and the
    # variable capacitances.
    gen_names = ["s"]
    for e in net.elements:
        if e.kind == "R" and not e.value.is_Rational:
            gen_names.append("G_" + e.name)
    capacitor_inputs = []
    for e in net.elements:
        if e.kind == "C" and not e.value.is_Rational and str(e.value) not in capacitor_inputs:
            capacitor_inputs.append(str(e.value))
    gen_names += capacitor_inputs
    R, *gens = ring(",".join(gen_names), QQ)
    gen = dict(zip(gen_names, gens))

    def admittance(e):
        if e.kind == "R":
            return gen["G_" + e.name] if not e.value.is_Rational else R(1 / e.value)
        value = gen[str(e.value)] if not e.value.is_Rational else R(e.value)
        return gen["s"] * value

    size = len(nodes)
    Y = [[R(0)] * size for _ in range(size)]
    feed = [R(0)] * size
    for e in net.elements:
        y = admittance(e)
        for p, q in ((e.a, e.b), (e.b, e.a)):
            if p not in index:
                continue
            Y[index[p]][index[p]] += y
            if q in index:
                Y[index[p]][index[q]] -= y
            elif q == "src":
                feed[index[p]] += y

    denominator = _determinant(Y, R(0), R(1))
    Y_out = [row[:] for row in Y]
    for r in range(size):
        Y_out[r][index[net.output]] = feed[r]
    numerator = _determinant(Y_out, R(0), R(1))

    # Multiply by the product of all resistances (see the module comment).
    s = sp.Symbol("s")
    inputs = {name: sp.Symbol(name, positive=True) for name in net.input_names()}
    fixed_product = sp.Integer(1)
    variable = []  # (generator position, resistance symbol)
    for e in net.elements:
        if e.kind == "R":
            if e.value.is_Rational:
                fixed_product *= e.value
            else:
                variable.append((gen_names.index("G_" + e.name), inputs[str(e.value)]))
    capacitors = [(gen_names.index(c), inputs[c]) for c in capacitor_inputs]

    out_gens = [s] + [inputs[name] for name in net.input_names()]

    def cleared(poly):
        terms = {}
        for monomial, coefficient in poly.terms():
            exponents = [0] * len(out_gens)
            exponents[0] = monomial[0]
            for position, symbol in variable:
                if monomial[position] > 1:
                    raise ValueError(f"{net.circuit}: determinant not affine in a conductance")
                if monomial[position] == 0:
                    exponents[out_gens.index(symbol)] += 1
            for position, symbol in capacitors:
                exponents[out_gens.index(symbol)] += monomial[position]
            key = tuple(exponents)
            value = sp.Rational(coefficient.numerator, coefficient.denominator) * fixed_product
            terms[key] = terms.get(key, 0) + value
        return sp.Poly.from_dict(terms, *out_gens)

    N = cleared(numerator)
    D = cleared(denominator)
    return s, N, D, out_gens


def coefficients_in_s(poly, order):
    """[c_0 .. c_order], each a dict {exponents of the inputs: coefficient}."""
    result = [dict() for _ in range(order + 1)]
    for monomial, coefficient in poly.terms():
        k = monomial[0]
        if k > order:
            raise ValueError("degree in s above the circuit's order")
        result[k][tuple(monomial[1:])] = sp.Rational(coefficient)
    return result
