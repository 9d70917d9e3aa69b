#pragma once

// First-order RC high-pass between a stage's output and the next grid:
//
//   y[n] = (x[n] - x[n-1] + y[n-1]) * k,   k = RC / (RC + T)
//
// While the next grid conducts, its grid-cathode path lies in parallel with
// the load resistor and the capacitor charges through less resistance; the
// next stage then sets `conducting` and a matching conductionCoefficient.
class CouplingHighPass
{
  public:
    CouplingHighPass() noexcept = default;

    // R = sourceResistance + loadResistance. previousInput presets the input
    // the capacitor is charged to.
    CouplingHighPass(double rate, double sourceResistance_, double loadResistance_, double capacitance,
                     double presetInput = 0.0) noexcept
        : previousInput(presetInput), R(sourceResistance_ + loadResistance_), C(capacitance),
          sourceResistance(sourceResistance_), loadResistance(loadResistance_)
    {
        updateSampleRate(rate);
    }

    // Both coefficients follow the rate: the conduction one for the charge
    // resistance the next grid last set, so a filter left conducting never
    // keeps a coefficient of the old rate.
    void updateSampleRate(double rate) noexcept
    {
        sampleRate = rate;
        T = 1.0 / sampleRate;
        coefficient = R * C / (T + R * C);
        if (chargeResistance > 0.0)
            conductionCoefficient = chargeResistance * C / (T + chargeResistance * C);
    }

    inline double processOutput(double x) noexcept
    {
        const double y =
            (x - previousInput + previousOutput) * (conducting ? conductionCoefficient : coefficient) + 1e-25;
        previousInput = x;
        previousOutput = y;
        return y;
    }

    double sampleRate = 1.0;
    double T = 1.0; // period, s
    double coefficient = 0.0;
    bool conducting = false;
    double conductionCoefficient = 0.0;
    double chargeResistance = 0.0; // behind conductionCoefficient, ohm
    double previousInput = 0.0;
    double previousOutput = 0.0;
    double R = 0.0;                    // ohm
    double C = 0.0;                    // F
    double sourceResistance = 0.0;     // ohm
    double loadResistance = 0.0;       // ohm
    double gridSeriesResistance = 0.0; // coupling node to the next grid, ohm
};
