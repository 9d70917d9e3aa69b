#pragma once

// exp, log and pow built from IEEE basic operations only (+ - * / and sqrt,
// each correctly rounded), so that the tube tables come out bit-identical
// whatever C library the module is linked with. Arguments are reduced and
// the results assembled in double-double; the error is about 0.5 ulp, with
// the special values of the C functions (overflow to inf, log(0) = -inf,
// NaN for log of a negative number, pow of a negative base only for integer
// exponents).
namespace PortableMath
{
double exp(double x) noexcept;
double log(double x) noexcept;
double pow(double x, double y) noexcept;
} // namespace PortableMath
