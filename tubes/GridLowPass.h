#pragma once

// First-order RC low-pass, backward Euler:
//
//   x --R--+-- y        y[n] = y[n-1] + a (x[n] - y[n-1]),  a = T / (RC + T)
//          C
//         gnd
class GridLowPass
{
  public:
    GridLowPass() noexcept = default;
    GridLowPass(double resistance, double capacitance, double rate) noexcept
        : R(resistance), C(capacitance), sampleRate(rate)
    {
        updateCoefficient();
    }

    // New component values or rate; the output state is kept.
    void setup(double resistance, double capacitance, double rate) noexcept
    {
        R = resistance;
        C = capacitance;
        sampleRate = rate;
        updateCoefficient();
    }

    void updateSampleRate(double rate) noexcept
    {
        sampleRate = rate;
        updateCoefficient();
    }

    inline double processInput(double x) noexcept
    {
        y = (x - y) * a + y + 1e-25;
        return y;
    }

    // inputs
    double R = 0.0;          // ohm
    double C = 0.0;          // F
    double sampleRate = 1.0; // Hz
    // coefficient
    double a = 1.0;
    // state
    double y = 0.0;

  private:
    void updateCoefficient() noexcept
    {
        const double T = 1.0 / sampleRate;
        a = T / (R * C + T);
    }
};
