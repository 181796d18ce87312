// detmath.h — maths that gives the same bits on every machine.
//
// The generator must write the same bytes everywhere, but the C library's
// sin, exp or pow may differ in the last bit between platforms, and a last
// bit can tip a rounded byte. These functions use only + - * / and sqrt,
// which IEEE 754 rounds exactly, so their results depend on nothing else.
// Accuracy is a few units in the last place: plenty for pictures and sound.
#pragma once
#include <cmath>
#include <cstdint>

namespace det {

constexpr double PI = 3.14159265358979323846;
constexpr double TWO_PI = 6.28318530717958647692;

inline double sin_kernel(double r)   // |r| <= pi/4
{
    double r2 = r * r;
    return r * (1.0 + r2 * (-1.0 / 6 + r2 * (1.0 / 120 + r2 * (-1.0 / 5040 + r2 * (1.0 / 362880 +
           r2 * (-1.0 / 39916800 + r2 * (1.0 / 6227020800.0 + r2 * (-1.0 / 1307674368000.0))))))));
}

inline double cos_kernel(double r)   // |r| <= pi/4
{
    double r2 = r * r;
    return 1.0 + r2 * (-0.5 + r2 * (1.0 / 24 + r2 * (-1.0 / 720 + r2 * (1.0 / 40320 +
           r2 * (-1.0 / 3628800 + r2 * (1.0 / 479001600.0 + r2 * (-1.0 / 87178291200.0)))))));
}

// Splits x into k quarter turns and a remainder within +-pi/4 (Cody and Waite).
inline double reduce_quarter(double x, int64_t &k)
{
    const double pio2_hi = 1.57079632673412561417e+00;
    const double pio2_lo = 6.07710050650619224932e-11;
    double q = std::floor(x * 0.63661977236758134308 + 0.5);
    k = (int64_t)q;
    return (x - q * pio2_hi) - q * pio2_lo;
}

inline double sin(double x)
{
    int64_t k;
    double r = reduce_quarter(x, k);
    switch (k & 3) {
    case 0: return sin_kernel(r);
    case 1: return cos_kernel(r);
    case 2: return -sin_kernel(r);
    default: return -cos_kernel(r);
    }
}

inline double cos(double x)
{
    int64_t k;
    double r = reduce_quarter(x, k);
    switch (k & 3) {
    case 0: return cos_kernel(r);
    case 1: return -sin_kernel(r);
    case 2: return -cos_kernel(r);
    default: return sin_kernel(r);
    }
}

inline double exp(double x)
{
    if (x < -700.0)
        return 0.0;
    if (x > 700.0)
        x = 700.0;
    const double ln2_hi = 6.93147180369123816490e-01;
    const double ln2_lo = 1.90821492927058770002e-10;
    double q = std::floor(x * 1.44269504088896338700 + 0.5);
    double r = (x - q * ln2_hi) - q * ln2_lo;   // |r| <= ln2 / 2
    double term = 1.0, sum = 1.0;
    for (int i = 1; i <= 14; i++) {
        term = term * r / i;
        sum += term;
    }
    return std::ldexp(sum, (int)q);   // scaling by a power of two is exact
}

inline double log(double x)
{
    if (!(x > 0.0))
        return -1e300;
    int e;
    double m = std::frexp(x, &e);   // exact: 0.5 <= m < 1
    if (m < 0.70710678118654752440) {
        m *= 2.0;
        e -= 1;
    }
    double s = (m - 1.0) / (m + 1.0), s2 = s * s;
    double term = s, sum = 0.0;
    for (int i = 1; i <= 25; i += 2) {
        sum += term / i;
        term *= s2;
    }
    return 2.0 * sum + e * 0.69314718055994530942;
}

inline double pow(double base, double exponent)
{
    if (base <= 0.0)
        return 0.0;
    return det::exp(exponent * det::log(base));
}

inline double atan(double x)
{
    // Each half-angle step halves the angle: three of them bring any |x|
    // below tan(pi/16), where the series converges fast.
    double y = x / (1.0 + std::sqrt(1.0 + x * x));
    y = y / (1.0 + std::sqrt(1.0 + y * y));
    y = y / (1.0 + std::sqrt(1.0 + y * y));
    double y2 = y * y, term = y, sum = 0.0;
    for (int i = 1; i <= 27; i += 2) {
        sum += term / i;
        term *= -y2;
    }
    return 8.0 * sum;
}

inline double atan2(double y, double x)
{
    if (x > 0.0)
        return det::atan(y / x);
    if (x < 0.0)
        return y >= 0.0 ? det::atan(y / x) + PI : det::atan(y / x) - PI;
    return y > 0.0 ? PI / 2 : (y < 0.0 ? -PI / 2 : 0.0);
}

inline double tanh(double x)
{
    if (x > 20.0)
        return 1.0;
    if (x < -20.0)
        return -1.0;
    double e = det::exp(2.0 * x);
    return (e - 1.0) / (e + 1.0);
}

}  // namespace det

// The generator's own random numbers: SplitMix64, seeded per picture, mesh or
// voice, so one change never shifts the numbers of another.
struct Rng {
    uint64_t state;
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next()
    {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    double uniform() { return (double)(next() >> 11) * (1.0 / 9007199254740992.0); }   // [0, 1)
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return (int)(next() % (uint64_t)n); }
};

// A hash of integer lattice coordinates to [0, 1), for noise.
inline double lattice_hash(int64_t x, int64_t y, uint64_t seed)
{
    uint64_t h = seed * 0x9E3779B97F4A7C15ull ^ (uint64_t)x * 0xC2B2AE3D27D4EB4Full ^
                 (uint64_t)y * 0x165667B19E3779F9ull;
    h ^= h >> 29;
    h *= 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    h *= 0x94D049BB133111EBull;
    h ^= h >> 29;
    return (double)(h >> 11) * (1.0 / 9007199254740992.0);
}
