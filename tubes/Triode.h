#pragma once

// Static triode law: Koren's plate-current equation with a grid offset,
//
//   s  = kp * (1/mu + (vgk + vct) / sqrt(kvb + vpk^2))
//   E1 = vpk / kp * ln(1 + exp(s))
//   Ip = 2 * E1^ex / kg1   (E1 >= 0),   0 otherwise
//
// A default-constructed Triode has all constants at zero and is never used
// for computation; the six ECC83-family models below fill them.
class Triode
{
  public:
    Triode() noexcept = default;
    Triode(const Triode&) = default;
    Triode& operator=(const Triode&) = default;
    virtual ~Triode() = default;

    // vgk, vpk in volts; returns amperes. Only called while tables are built.
    double plateCurrent(double vgk, double vpk) const noexcept;

    double mu = 0.0;           // amplification factor
    double rp = 0.0;           // plate resistance, ohm
    double cgk = 0.0;          // grid-cathode capacitance, F
    double cgp = 0.0;          // grid-plate capacitance, F
    double ex = 0.0;           // exponent of the plate-current law
    double kg1 = 0.0;          // plate-current scale
    double kp = 0.0;           // plate-current shape constant
    double kvb = 0.0;          // knee constant, V^2
    double vct = 0.0;          // grid offset, V
    double gridRangeTop = 0.0; // top of the tabulated grid-cathode range, V

  protected:
    Triode(double mu_, double rp_, double cgk_, double cgp_, double ex_, double kg1_, double kp_, double kvb_,
           double vct_, double gridRangeTop_) noexcept
        : mu(mu_), rp(rp_), cgk(cgk_), cgp(cgp_), ex(ex_), kg1(kg1_), kp(kp_), kvb(kvb_), vct(vct_),
          gridRangeTop(gridRangeTop_)
    {
    }
};

// The tops of 15 V keep exp(s) below its overflow at vpk = 0: at 20 V the
// largest exponent of ECC83 would be about 882 and of STECC83 about 715.
class ECC83 : public Triode
{
  public:
    ECC83() noexcept : Triode(94.08, 62500, 2.3e-12, 2.4e-12, 1.4, 1770, 630, 216, 0.424, 15) {}
};

class EHECC83 : public Triode
{
  public:
    EHECC83() noexcept : Triode(100.128, 54100, 2.3e-12, 2.3e-12, 1.456, 1620, 714, 816, 0.44, 20) {}
};

class TSECC83 : public Triode
{
  public:
    TSECC83() noexcept : Triode(101.472, 71250, 2.3e-12, 2.4e-12, 1.638, 2220, 690, 1608, 0.696, 20) {}
};

// Grid-cathode and grid-plate capacitances are swapped with respect to ECC83.
class JJECC83 : public Triode
{
  public:
    JJECC83() noexcept : Triode(106.848, 62500, 2.4e-12, 2.3e-12, 1.372, 1515, 600, 1344, 0.532, 20) {}
};

class JJECC803 : public Triode
{
  public:
    JJECC803() noexcept : Triode(108.864, 62500, 2.3e-12, 2.3e-12, 1.365, 1365, 588, 4560, 0.46, 20) {}
};

class STECC83 : public Triode
{
  public:
    STECC83() noexcept : Triode(106.0, 62500, 2.3e-12, 2.3e-12, 1.46, 1572, 464, 179, 0.49, 15) {}
};
