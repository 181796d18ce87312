// listen.h — the music measured as a listener's ear weighs it: the energy
// in bands and third octaves, the loudness of ITU-R BS.1770, the peak
// between the samples, level envelopes. The generator prints these for the
// composer; the data tests check the decoded Ogg with the same measures.
// Must stay true: plain double arithmetic, nothing kept between calls.
#pragma once
#include <cstddef>
#include <vector>

// Two channels of samples at a rate; the vectors are not copied.
struct StereoView {
    const std::vector<float> &left, &right;
    double rate;
};

constexpr size_t SPECTRUM_SIZE = 8192;   // FFT length: 5.4 Hz bins at 44.1 kHz

// Power in each of SPECTRUM_SIZE / 2 bins between two times (Hann windows,
// half overlapping, both channels summed).
std::vector<double> power_spectrum(const StereoView &sound, double from_s, double to_s);
// The power of the bins from low_hz up to, not including, high_hz.
double band_power(const std::vector<double> &spectrum, double rate, double low_hz, double high_hz);
// A third-octave band's level in dB, by its centre.
double third_octave_db(const std::vector<double> &spectrum, double rate, double centre_hz);
// Integrated loudness in LUFS: K-weighting, 400 ms blocks every 100 ms,
// gated at -70 LUFS and 10 LU under the mean.
double integrated_lufs(const StereoView &sound);
// The highest peak, the samples read four times as finely (a windowed sinc).
double true_peak(const StereoView &sound);
// The RMS level of both channels in steps of step_s between two times.
std::vector<double> level_envelope(const StereoView &sound, double from_s, double to_s, double step_s);
// Pearson correlation of two series over the shorter one's length.
double correlation(const std::vector<double> &x, const std::vector<double> &y);
