// listen.cpp — bands, loudness, peaks and envelopes of a stereo sound.
// Must stay true: the loudness follows ITU-R BS.1770 (its filters' analogue
// prototypes, so any sample rate works); nothing is kept between calls.
#include "listen.h"
#include <algorithm>
#include <cmath>
#include <complex>

namespace {

const double PI = 3.14159265358979323846;

// In-place radix-2 FFT; the size is a power of two.
void fft(std::vector<std::complex<double>> &x)
{
    size_t n = x.size();
    for (size_t i = 1, j = 0; i < n; i++) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j ^= bit;
        if (i < j)
            std::swap(x[i], x[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        std::complex<double> step = std::polar(1.0, -2.0 * PI / (double)len);
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> w = 1.0;
            for (size_t k = 0; k < len / 2; k++, w *= step) {
                std::complex<double> u = x[i + k], v = x[i + k + len / 2] * w;
                x[i + k] = u + v;
                x[i + k + len / 2] = u - v;
            }
        }
    }
}

// One biquad, run in place over a channel.
void biquad(std::vector<double> &x, double b0, double b1, double b2, double a1, double a2)
{
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    for (double &v : x) {
        double y = b0 * v + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = v;
        y2 = y1;
        y1 = y;
        v = y;
    }
}

size_t sample_at(const StereoView &sound, double seconds)
{
    return std::min(sound.left.size(), (size_t)std::max(0.0, seconds * sound.rate));
}

}  // namespace

std::vector<double> power_spectrum(const StereoView &sound, double from_s, double to_s)
{
    std::vector<double> power(SPECTRUM_SIZE / 2, 0.0);
    std::vector<std::complex<double>> buffer(SPECTRUM_SIZE);
    size_t a = sample_at(sound, from_s), b = sample_at(sound, to_s);
    for (size_t start = a; start + SPECTRUM_SIZE <= b; start += SPECTRUM_SIZE / 2)
        for (const std::vector<float> *side : {&sound.left, &sound.right}) {
            for (size_t i = 0; i < SPECTRUM_SIZE; i++)
                buffer[i] = (*side)[start + i] * (0.5 - 0.5 * std::cos(2.0 * PI * (double)i / SPECTRUM_SIZE));
            fft(buffer);
            for (size_t k = 0; k < SPECTRUM_SIZE / 2; k++)
                power[k] += std::norm(buffer[k]);
        }
    return power;
}

double band_power(const std::vector<double> &spectrum, double rate, double low_hz, double high_hz)
{
    double sum = 0;
    for (size_t k = 0; k < spectrum.size(); k++) {
        double hz = (double)k * rate / SPECTRUM_SIZE;
        if (hz >= low_hz && hz < high_hz)
            sum += spectrum[k];
    }
    return sum;
}

double third_octave_db(const std::vector<double> &spectrum, double rate, double centre_hz)
{
    double edge = std::pow(2.0, 1.0 / 6.0);
    return 10.0 * std::log10(band_power(spectrum, rate, centre_hz / edge, centre_hz * edge) + 1e-30);
}

double integrated_lufs(const StereoView &sound)
{
    const double rate = sound.rate;
    const size_t block = (size_t)(rate / 10);   // 100 ms: a quarter of a gating block
    std::vector<double> block_power(sound.left.size() / block, 0.0);
    for (const std::vector<float> *side : {&sound.left, &sound.right}) {
        std::vector<double> x(side->begin(), side->end());
        // The head's high shelf, then the revised low-frequency B curve's high-pass.
        double k = std::tan(PI * 1681.974450955533 / rate), q = 0.7071752369554196;
        double vh = std::pow(10.0, 3.999843853973347 / 20.0), vb = std::pow(vh, 0.4996667741545416);
        double a0 = 1.0 + k / q + k * k;
        biquad(x, (vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0,
               2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
        k = std::tan(PI * 38.13547087602444 / rate), q = 0.5003270373238773;
        a0 = 1.0 + k / q + k * k;
        biquad(x, 1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0);
        for (size_t i = 0; i < block_power.size() * block; i++)
            block_power[i / block] += x[i] * x[i] / (double)block;
    }
    std::vector<double> blocks;
    for (size_t i = 0; i + 4 <= block_power.size(); i++)
        blocks.push_back((block_power[i] + block_power[i + 1] + block_power[i + 2] + block_power[i + 3]) / 4.0);
    auto lufs = [](double power) { return -0.691 + 10.0 * std::log10(power + 1e-30); };
    double gate = -70.0, result = -70.0;
    for (int pass = 0; pass < 2; pass++) {
        double sum = 0;
        int n = 0;
        for (double z : blocks)
            if (lufs(z) > gate) {
                sum += z;
                n++;
            }
        if (n == 0)
            return -70.0;
        result = lufs(sum / n);
        gate = result - 10.0;
    }
    return result;
}

double true_peak(const StereoView &sound)
{
    const int taps = 16;
    double kernel[3][2 * taps];
    for (int phase = 1; phase < 4; phase++)
        for (int k = -taps + 1; k <= taps; k++) {
            double u = k - phase / 4.0;
            kernel[phase - 1][k + taps - 1] = std::sin(PI * u) / (PI * u) * (0.5 + 0.5 * std::cos(PI * u / taps));
        }
    double peak = 0;
    for (const std::vector<float> *side : {&sound.left, &sound.right}) {
        const std::vector<float> &x = *side;
        for (size_t i = 0; i < x.size(); i++) {
            peak = std::max(peak, (double)std::fabs(x[i]));
            if (i < taps || i + taps >= x.size())
                continue;
            for (int phase = 0; phase < 3; phase++) {
                double v = 0;
                for (int k = 0; k < 2 * taps; k++)
                    v += x[i + k - taps + 1] * kernel[phase][k];
                peak = std::max(peak, std::fabs(v));
            }
        }
    }
    return peak;
}

std::vector<double> level_envelope(const StereoView &sound, double from_s, double to_s, double step_s)
{
    std::vector<double> out;
    const size_t step = std::max<size_t>(1, (size_t)(sound.rate * step_s));
    for (size_t a = sample_at(sound, from_s); a + step <= sample_at(sound, to_s); a += step) {
        double sum = 0;
        for (size_t i = a; i < a + step; i++)
            sum += sound.left[i] * sound.left[i] + sound.right[i] * sound.right[i];
        out.push_back(std::sqrt(sum / (double)step));
    }
    return out;
}

double correlation(const std::vector<double> &x, const std::vector<double> &y)
{
    size_t n = std::min(x.size(), y.size());
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (size_t i = 0; i < n; i++) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        syy += y[i] * y[i];
        sxy += x[i] * y[i];
    }
    double cov = sxy / n - sx / n * sy / n;
    return cov / std::sqrt((sxx / n - sx / n * sx / n) * (syy / n - sy / n * sy / n));
}
