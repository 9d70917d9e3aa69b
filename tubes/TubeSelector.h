#pragma once

#include "tubes/Triode.h"

#include <string>

// Per-stage choice of triode model by exact, case-sensitive name. Owns one
// instance of each model; the current model points into the selector, so it
// cannot be copied (a copied stage builds its own selector).
class TubeSelector
{
  public:
    TubeSelector() = default;
    TubeSelector(const TubeSelector&) = delete;
    TubeSelector& operator=(const TubeSelector&) = delete;

    // Returns the current model after the call: the named one on a match,
    // otherwise the previous one (none before the first match).
    Triode* selectTube(std::string name);

    static constexpr int modelCount = 6;
    std::string names[modelCount] = {"ECC83", "EHECC83", "TSECC83", "JJECC83", "JJECC803", "STECC83"};

    ECC83 ecc83;
    EHECC83 ehecc83;
    TSECC83 tsecc83;
    JJECC83 jjecc83;
    JJECC803 jjecc803;
    STECC83 stecc83;
    Triode unselected; // default model, never selected
    Triode* current = nullptr;
};
