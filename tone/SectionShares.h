#pragma once

// Shares of the variable elements of the tone circuits, bounded below.
//
// A potentiometer section keeps at least the end resistance of a real track,
// 1e-4 of it. A section of exactly 0 Ω puts a pole at s = −∞, which the
// bilinear transform maps onto the unit circle (z = −1), where no filter can
// keep it inside.
inline double potSection(double share) noexcept
{
    return share > 1e-4 ? share : 1e-4;
}

// A switched capacitor keeps 1e-10 of its value when off, for the same
// reason: a stray capacitance of a small fraction of a femtofarad, which
// changes nothing audible.
inline double switchedShare(double share) noexcept
{
    return share > 1e-10 ? share : 1e-10;
}
