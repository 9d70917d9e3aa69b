"""Reads the netlists of the tone circuits (netlists/*.net).

A netlist file holds one circuit:
    circuit <Name>            class name of the circuit
    output <node>             node whose voltage is the output
    input <name> <comment>    a value supplied at run time (ohms or farads)
    R|C <element> <from> <to> <value>
The value is a number, an arithmetic expression of numbers, or an input name.
Node "src" is the ideal source (1 V), node "gnd" the reference.
"""

from dataclasses import dataclass, field
from pathlib import Path

import sympy as sp


@dataclass
class Element:
    kind: str  # "R" or "C"
    name: str
    a: str
    b: str
    value: sp.Expr  # exact rational, or the Symbol of an input


@dataclass
class Netlist:
    path: Path
    circuit: str = ""
    output: str = ""
    inputs: list = field(default_factory=list)  # (name, comment)
    elements: list = field(default_factory=list)

    def input_names(self):
        return [name for name, _ in self.inputs]

    def nodes(self):
        found = []
        for e in self.elements:
            for n in (e.a, e.b):
                if n not in ("src", "gnd") and n not in found:
                    found.append(n)
        return found

    def capacitor_count(self):
        return sum(1 for e in self.elements if e.kind == "C")


def parse(path):
    net = Netlist(Path(path))
    for number, raw in enumerate(Path(path).read_text().splitlines(), 1):
        line = raw.split("#", 1)[0].strip()
        if not line:
            continue
        words = line.split()
        where = f"{path}:{number}"
        if words[0] == "circuit" and len(words) == 2:
            net.circuit = words[1]
        elif words[0] == "output" and len(words) == 2:
            net.output = words[1]
        elif words[0] == "input" and len(words) >= 2:
            net.inputs.append((words[1], " ".join(words[2:])))
        elif words[0] in ("R", "C") and len(words) == 5:
            kind, name, a, b, text = words
            if text in net.input_names():
                value = sp.Symbol(text, positive=True)
            else:
                value = sp.nsimplify(sp.sympify(text, rational=True))
                if not (value.is_Rational and value > 0):
                    raise ValueError(f"{where}: value {text!r} is neither a positive number nor an input")
            if a == b:
                raise ValueError(f"{where}: element {name} has both ends on node {a}")
            net.elements.append(Element(kind, name, a, b, value))
        else:
            raise ValueError(f"{where}: cannot read {raw!r}")
    if not net.circuit or not net.output or net.output not in net.nodes():
        raise ValueError(f"{path}: needs a circuit name and an output node that the elements use")
    return net
