// synth.cpp — oscillators, filters, instruments and effects of the music.
#include "synth.h"
#include <algorithm>
#include <cmath>

int64_t beat_sample(double beat) { return (int64_t)std::floor(beat * BEAT_SECONDS * SAMPLE_RATE + 0.5); }

double midi_hz(double note) { return 440.0 * det::pow(2.0, (note - 69.0) / 12.0); }

// ---- building blocks -------------------------------------------------------------------

static const int SINE_SIZE = 4096;

static const std::vector<double> &sine_table()
{
    static std::vector<double> table;
    if (table.empty()) {
        table.resize(SINE_SIZE + 1);
        for (int i = 0; i <= SINE_SIZE; i++)
            table[i] = det::sin(det::TWO_PI * i / SINE_SIZE);
    }
    return table;
}

double sine01(double phase)
{
    static const std::vector<double> &t = sine_table();
    double p = (phase - std::floor(phase)) * SINE_SIZE;
    int i = (int)p;
    double f = p - i;
    return t[i] + (t[i + 1] - t[i]) * f;
}

// The polynomial band-limited step: removes most of the aliasing of a jump.
static double blep(double t, double dt)
{
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double saw_blep(double phase, double dt) { return 2.0 * phase - 1.0 - blep(phase, dt); }

double pulse_blep(double phase, double dt, double width)
{
    double v = phase < width ? 1.0 : -1.0;
    v += blep(phase, dt);
    double shifted = phase - width + (phase < width ? 1.0 : 0.0);
    v -= blep(shifted, dt);
    return v;
}

void Filter::set(double cutoff_hz, double resonance)
{
    cutoff_hz = std::min(std::max(cutoff_hz, 20.0), SAMPLE_RATE * 0.45);
    double w = det::PI * cutoff_hz / SAMPLE_RATE;
    g = det::sin(w) / det::cos(w);
    k = 2.0 - 2.0 * std::min(std::max(resonance, 0.0), 0.95);
    a1 = 1.0 / (1.0 + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

void Filter::step(double x, double &lo, double &bp, double &hi)
{
    double v3 = x - ic2;
    double v1 = a1 * ic1 + a2 * v3;
    double v2 = ic2 + a2 * ic1 + a3 * v3;
    ic1 = 2.0 * v1 - ic1;
    ic2 = 2.0 * v2 - ic2;
    if (std::fabs(ic1) < 1e-20)   // no denormals in long tails
        ic1 = 0.0;
    if (std::fabs(ic2) < 1e-20)
        ic2 = 0.0;
    lo = v2;
    bp = v1;
    hi = x - k * v1 - v2;
}

double Filter::low(double x)
{
    double l, b, h;
    step(x, l, b, h);
    return l;
}
double Filter::band(double x)
{
    double l, b, h;
    step(x, l, b, h);
    return b;
}
double Filter::high(double x)
{
    double l, b, h;
    step(x, l, b, h);
    return h;
}

// A value that shrinks by a fixed factor each step: exp(-t / tau) without
// an exponential per sample.
struct Decay {
    double value, factor;
    Decay(double start, double tau_seconds, int samples_per_step = 1)
        : value(start), factor(det::exp(-samples_per_step / (tau_seconds * SAMPLE_RATE)))
    {
    }
    double next()
    {
        double v = value;
        value = value * factor;
        if (value < 1e-30)
            value = 0.0;
        return v;
    }
};

// Attack, decay to sustain, hold until the gate closes, then release
// (seconds). Called once per sample, in order.
struct Envelope {
    double attack, sustain, gate, release;
    Decay excess;
    Envelope(double a, double d, double s, double g, double r) : attack(a), sustain(s), gate(g), release(r), excess(1.0, d) {}
    double at(double t)
    {
        double held = std::min(t, gate), level;
        if (held < attack)
            level = held / attack;
        else
            level = sustain + (1.0 - sustain) * (t < gate ? excess.next() : excess.value);
        if (t > gate)
            level *= std::max(0.0, 1.0 - (t - gate) / release);
        return level;
    }
};

static double smoothstep01(double x)
{
    x = std::min(1.0, std::max(0.0, x));
    return x * x * (3.0 - 2.0 * x);
}

// 1 until the last 5 ms of a sound, then down to 0: no click where it stops.
static double tail(int64_t i, int64_t n)
{
    const double fade = 0.005 * SAMPLE_RATE;
    return std::min(1.0, (double)(n - i) / fade);
}

static double pan_left(double pan) { return std::sqrt(0.5 * (1.0 - pan)); }
static double pan_right(double pan) { return std::sqrt(0.5 * (1.0 + pan)); }

// ---- instruments -----------------------------------------------------------------------

void Instruments::pad(double beat, double beats, int note, double velocity, double brightness)
{
    const double attack = 0.9, release = 1.8;
    double gate = beats * BEAT_SECONDS, length = gate + release;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note);
    const double detune[3] = {0.9959, 1.0, 1.0041};   // about 7 cents apart
    const double pans[3] = {-0.95, 0.0, 0.95};   // the detuned voices spread across the field
    double phase[3];
    for (double &p : phase)
        p = rng.uniform();
    Filter fl, fr;
    Envelope env(attack, 1.0, 1.0, gate, release);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        if ((i & 31) == 0) {
            double sweep = 0.5 + 0.5 * sine01((beat * BEAT_SECONDS + t) / 9.0);
            double cutoff = (500.0 + 1700.0 * sweep) * brightness;
            fl.set(cutoff, 0.2);
            fr.set(cutoff * 1.05, 0.2);
        }
        double l = 0, r = 0;
        for (int k = 0; k < 3; k++) {
            double dt = f * detune[k] / SAMPLE_RATE;
            phase[k] += dt;
            if (phase[k] >= 1.0)
                phase[k] -= 1.0;
            double s = saw_blep(phase[k], dt);
            l += s * pan_left(pans[k]);
            r += s * pan_right(pans[k]);
        }
        double e = env.at(t) * velocity * 0.035;
        mix.out(start + i, fl.low(l) * e, fr.low(r) * e, 0.55, 0.0);
    }
}

void Instruments::bass(double beat, double beats, int note, double velocity, double brightness)
{
    double gate = beats * BEAT_SECONDS, length = gate + 0.06;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note), phase = 0, sub = 0;
    Filter filter;
    Envelope env(0.004, 0.25, 0.7, gate, 0.06);
    Decay sweep(1.0, 0.11, 16);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        if ((i & 15) == 0)
            filter.set((180.0 + 1500.0 * brightness * sweep.next()) * (0.6 + 0.4 * velocity), 0.45);
        double dt = f / SAMPLE_RATE;
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        sub += dt * 0.5;
        if (sub >= 1.0)
            sub -= 1.0;
        double s = filter.low(saw_blep(phase, dt)) * 0.8 + sine01(sub) * 0.2;   // a little sub: the body is the saw's
        double e = env.at(t) * velocity * 0.3;
        mix.out(start + i, s * e, s * e, 0.04, 0.0);
    }
}

void Instruments::lead(double beat, double beats, int note, double velocity, double pan)
{
    double gate = beats * BEAT_SECONDS, length = gate + 0.25;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note), p1 = rng.uniform(), p2 = rng.uniform();
    Filter filter;
    Envelope env(0.012, 0.3, 0.75, gate, 0.25);
    Decay sweep(1.0, 0.22, 16);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        double vibrato = 1.0 + 0.006 * sine01(t * 5.5) * smoothstep01(t / 0.35);
        if ((i & 15) == 0)
            filter.set(900.0 + 3800.0 * sweep.next() + 900.0 * velocity, 0.3);
        double d1 = f * vibrato / SAMPLE_RATE, d2 = f * vibrato * 1.003 / SAMPLE_RATE;
        p1 += d1;
        if (p1 >= 1.0)
            p1 -= 1.0;
        p2 += d2;
        if (p2 >= 1.0)
            p2 -= 1.0;
        double s = filter.low(0.6 * saw_blep(p1, d1) + 0.4 * pulse_blep(p2, d2, 0.35));
        double e = env.at(t) * velocity * 0.26;
        mix.out(start + i, s * e * pan_left(pan), s * e * pan_right(pan), 0.35, 0.3);
    }
}

void Instruments::square_lead(double beat, double beats, int note, double velocity, double pan)
{
    double gate = beats * BEAT_SECONDS, length = gate + 0.08;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note), phase = 0;
    Filter filter;
    filter.set(2600.0, 0.1);
    Envelope env(0.004, 0.12, 0.5, gate, 0.08);
    Decay chirp(0.06, 0.02);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        // A little upward chirp at the start: the hop.
        double bend = 1.0 - chirp.next();
        double dt = f * bend / SAMPLE_RATE;
        phase += dt;
        if (phase >= 1.0)
            phase -= 1.0;
        double width = 0.25 + 0.15 * sine01(t * 3.0);
        double s = filter.low(pulse_blep(phase, dt, width));
        double e = env.at(t) * velocity * 0.13;
        mix.out(start + i, s * e * pan_left(pan), s * e * pan_right(pan), 0.25, 0.35);
    }
}

void Instruments::bell(double beat, int note, double velocity, double pan)
{
    const double length = 2.6;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note), pc = 0, pm = 0;
    Decay brightness(2.2, 0.35), fade(1.0, 0.75);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        double index = brightness.next() + 0.3;
        pm += f * 3.5 / SAMPLE_RATE;
        pc += f / SAMPLE_RATE;
        double s = sine01(pc + index * sine01(pm) / det::TWO_PI);
        double e = fade.next() * std::min(1.0, t / 0.002) * tail(i, n) * velocity * 0.075;
        mix.out(start + i, s * e * pan_left(pan), s * e * pan_right(pan), 0.5, 0.25);
    }
}

void Instruments::pluck(double beat, int note, double velocity, double pan)
{
    // Karplus and Strong: a burst of noise circulating in a damped delay
    // line. The line's length is fractional (read between two samples), and
    // the averaging filter's half sample is taken off it, so the string is in tune.
    const double length = 1.6;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double period = SAMPLE_RATE / midi_hz(note) - 0.5;
    int64_t burst = (int64_t)std::ceil(period) + 1;
    std::vector<double> y((size_t)n);
    double previous = 0;
    for (int64_t i = 0; i < n; i++) {
        if (i < burst) {   // a softened burst: brighter when played harder
            double noise = rng.uniform() * 2.0 - 1.0;
            previous = previous + (noise - previous) * (0.35 + 0.5 * velocity);
            y[(size_t)i] = previous;
        } else {
            double src = (double)i - period;
            int64_t k = (int64_t)std::floor(src);
            double frac = src - k;
            double now = y[(size_t)k] + (y[(size_t)k + 1] - y[(size_t)k]) * frac;
            double before = y[(size_t)k - 1] + (y[(size_t)k] - y[(size_t)k - 1]) * frac;
            y[(size_t)i] = 0.5 * (now + before) * 0.996;
        }
        double e = velocity * 0.22 * tail(i, n);
        mix.out(start + i, y[(size_t)i] * e * pan_left(pan), y[(size_t)i] * e * pan_right(pan), 0.3, 0.2);
    }
}

void Instruments::epiano(double beat, double beats, int note, double velocity)
{
    double gate = beats * BEAT_SECONDS, length = gate + 0.4;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double f = midi_hz(note), pc = 0, pm = 0, pt = 0;
    Envelope env(0.002, 1.2, 0.0, gate, 0.4);
    Decay bark(1.4, 0.45), ting(0.25, 0.04);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        pc += f / SAMPLE_RATE;
        pm += f / SAMPLE_RATE;
        pt += f * 14.0 / SAMPLE_RATE;
        double body = sine01(pc + (bark.next() + 0.2) * sine01(pm) / det::TWO_PI);
        double tine = sine01(pt) * ting.next();
        double e = env.at(t) * velocity * 0.16;
        double wobble = 0.3 * sine01(t * 4.0);   // gentle auto-pan
        double s = (body + tine) * e;
        mix.out(start + i, s * pan_left(wobble), s * pan_right(wobble), 0.45, 0.1);
    }
}

void Instruments::kick(double beat, double velocity)
{
    const double length = 0.5;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double phase = 0;
    Decay pitch(95.0, 0.035), snap(0.25, 0.002), body(1.0, 0.17);
    Filter beater;   // the click is the beater's: a few kHz, not a hiss to 20 kHz
    beater.set(4500.0, 0.0);
    for (int64_t i = 0; i < n; i++) {
        phase += (45.0 + pitch.next()) / SAMPLE_RATE;
        double click = beater.low(rng.uniform() * 2.0 - 1.0) * snap.next() * 1.6;
        double s = (sine01(phase) * body.next() * std::min(1.0, (n - i) / 2000.0) + click) * velocity * 0.75;
        mix.out(start + i, s, s, 0.0, 0.0);
    }
}

void Instruments::snare(double beat, double velocity)
{
    const double length = 0.45;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double phase = 0;
    Filter bp;
    bp.set(2400.0, 0.3);
    Decay pitch(40.0, 0.01), ring(0.5, 0.06), rattle(1.6, 0.14);
    for (int64_t i = 0; i < n; i++) {
        phase += (180.0 + pitch.next()) / SAMPLE_RATE;
        double tone = sine01(phase) * ring.next();
        double noise = bp.band(rng.uniform() * 2.0 - 1.0) * rattle.next();
        double s = (tone + noise) * velocity * 0.4 * tail(i, n);
        mix.out(start + i, s * pan_left(-0.15), s * pan_right(-0.15), 0.22, 0.0);
    }
}

void Instruments::hat(double beat, double velocity, bool open)
{
    double decay = open ? 0.2 : 0.03, length = decay * 5;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    // Noise between about 4 and 7 kHz: a high-pass and two low-passes, so
    // that the hats sit in the top octave that the ear hears as sheen and
    // nothing of them climbs towards 20 kHz.
    Filter hp, lp1, lp2;
    hp.set(4000.0, 0.2);
    lp1.set(7000.0, 0.0);
    lp2.set(7000.0, 0.0);
    Decay fade(velocity * 0.12, decay);
    for (int64_t i = 0; i < n; i++) {
        double s = lp2.low(lp1.low(hp.high(rng.uniform() * 2.0 - 1.0))) * fade.next() * tail(i, n);
        mix.out(start + i, s * pan_left(0.55), s * pan_right(0.55), 0.1, 0.0);   // the hats stand right
    }
}

void Instruments::clap(double beat, double velocity)
{
    const double length = 0.5;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    Filter bp;
    bp.set(1300.0, 0.4);
    // Three hands, a little apart: two short slaps and a longer one.
    Decay first(1.0, 0.008), second(1.0, 0.008), third(1.0, 0.13);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        double env = first.next();
        if (t >= 0.011)
            env = std::max(env, second.next());
        if (t >= 0.022)
            env = std::max(env, third.next());
        double s = bp.band(rng.uniform() * 2.0 - 1.0) * env * velocity * 0.55 * tail(i, n);
        mix.out(start + i, s * pan_left(-0.45), s * pan_right(-0.45), 0.4, 0.0);   // the claps left
    }
}

void Instruments::crash(double beat, double velocity)
{
    const double length = 3.5;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    Filter hl, hr, ll, lr, ll2, lr2;   // a band of metal and noise from 3.5 to about 7 kHz
    hl.set(3500.0, 0.1);
    hr.set(3700.0, 0.1);
    for (Filter *f : {&ll, &lr, &ll2, &lr2})
        f->set(6500.0, 0.0);
    const double ratios[6] = {1.0, 1.342, 1.587, 2.113, 2.479, 3.031};
    double phase[6] = {0};
    Decay fade(1.0, 1.1);
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE;
        double metal = 0;
        for (int k = 0; k < 6; k++) {
            phase[k] += 410.0 * ratios[k] / SAMPLE_RATE;
            metal += phase[k] - std::floor(phase[k]) < 0.5 ? 1.0 : -1.0;
        }
        double env = fade.next() * std::min(1.0, t / 0.003) * tail(i, n) * velocity * 0.14;
        double l = ll2.low(ll.low(hl.high((rng.uniform() * 2.0 - 1.0) + metal * 0.08)));
        double r = lr2.low(lr.low(hr.high((rng.uniform() * 2.0 - 1.0) + metal * 0.08)));
        mix.out(start + i, l * env, r * env, 0.3, 0.0);
    }
}

void Instruments::tom(double beat, double velocity, double pitch_hz)
{
    const double length = 0.6;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    double phase = 0;
    Decay bend(0.5, 0.05), fade(velocity * 0.45, 0.22);
    for (int64_t i = 0; i < n; i++) {
        phase += pitch_hz * (1.0 + bend.next()) / SAMPLE_RATE;
        double s = sine01(phase) * fade.next() * tail(i, n);
        double pan = std::max(-0.7, std::min(0.7, (pitch_hz - 140.0) / 100.0));   // high toms right, low left
        mix.out(start + i, s * pan_left(pan), s * pan_right(pan), 0.25, 0.0);
    }
}

void Instruments::riser(double beat, double beats, double velocity)
{
    double length = beats * BEAT_SECONDS;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    Filter fl, fr;
    for (int64_t i = 0; i < n; i++) {
        double x = (double)i / n;
        if ((i & 31) == 0) {
            double cutoff = 300.0 * det::pow(12.0, x);   // up to 3.6 kHz: a sweep, not a hiss
            fl.set(cutoff, 0.6);
            fr.set(cutoff * 1.1, 0.6);
        }
        double e = x * x * velocity * 0.22 * tail(i, n);
        mix.out(start + i, fl.band(rng.uniform() * 2.0 - 1.0) * e, fr.band(rng.uniform() * 2.0 - 1.0) * e, 0.4, 0.0);
    }
}

void Instruments::wind(double beat, double beats, double velocity)
{
    double length = beats * BEAT_SECONDS;
    int64_t start = beat_sample(beat), n = (int64_t)(length * SAMPLE_RATE);
    Filter fl, fr;
    for (int64_t i = 0; i < n; i++) {
        double t = (double)i / SAMPLE_RATE, x = (double)i / n;
        if ((i & 63) == 0) {
            fl.set(500.0 + 400.0 * sine01(t / 7.0) + 200.0 * sine01(t / 2.3), 0.75);
            fr.set(560.0 + 400.0 * sine01(t / 6.1 + 0.3) + 200.0 * sine01(t / 2.9), 0.75);
        }
        double swell = 0.6 + 0.4 * sine01(t / 5.0);
        double e = std::min(1.0, x * 6.0) * std::min(1.0, (1.0 - x) * 4.0) * swell * velocity * 0.16;
        mix.out(start + i, fl.band(rng.uniform() * 2.0 - 1.0) * e, fr.band(rng.uniform() * 2.0 - 1.0) * e, 0.2, 0.0);
    }
}

// ---- effects -------------------------------------------------------------------------------

namespace {

struct Comb {
    std::vector<float> buffer;
    size_t index = 0;
    float store = 0;
    explicit Comb(size_t size) : buffer(size, 0.0f) {}
    float process(float input, float feedback, float damp)
    {
        float output = buffer[index];
        store = output * (1.0f - damp) + store * damp;
        if (std::fabs(store) < 1e-20f)
            store = 0.0f;
        buffer[index] = input + store * feedback;
        if (++index >= buffer.size())
            index = 0;
        return output;
    }
};

struct AllPass {
    std::vector<float> buffer;
    size_t index = 0;
    explicit AllPass(size_t size) : buffer(size, 0.0f) {}
    float process(float input)
    {
        float delayed = buffer[index];
        float output = delayed - input;
        buffer[index] = input + delayed * 0.5f;
        if (++index >= buffer.size())
            index = 0;
        return output;
    }
};

}  // namespace

void reverb_into(const Bus &in, Bus &out, double gain)
{
    // The classic tuning of eight combs and four all-passes, scaled from
    // 44.1 kHz; the right channel's lines are a little longer, for width.
    const size_t comb_sizes[8] = {1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617};
    const size_t pass_sizes[4] = {556, 441, 341, 225};
    const size_t spread = 61;   // about 1.4 ms: the sides decorrelate well
    std::vector<Comb> cl, cr;
    std::vector<AllPass> al, ar;
    for (size_t s : comb_sizes) {
        cl.emplace_back(s);
        cr.emplace_back(s + spread);
    }
    for (size_t s : pass_sizes) {
        al.emplace_back(s);
        ar.emplace_back(s + spread);
    }
    const float feedback = 0.86f, damp = 0.3f;
    for (size_t i = 0; i < in.frames(); i++) {
        // Each side's tank hears mostly its own side: a voice panned left
        // rings from the left, and the two tails stay apart.
        float xl = (in.left[i] * 0.8f + in.right[i] * 0.2f) * 0.03f;
        float xr = (in.right[i] * 0.8f + in.left[i] * 0.2f) * 0.03f;
        float l = 0, r = 0;
        for (int k = 0; k < 8; k++) {
            l += cl[k].process(xl, feedback, damp);
            r += cr[k].process(xr, feedback, damp);
        }
        for (int k = 0; k < 4; k++) {
            l = al[k].process(l);
            r = ar[k].process(r);
        }
        out.left[i] += (float)(l * gain);
        out.right[i] += (float)(r * gain);
    }
}

void echo_into(const Bus &in, Bus &out, double delay_seconds, double feedback, double gain)
{
    size_t d = (size_t)(delay_seconds * SAMPLE_RATE);
    std::vector<float> line_l(d, 0.0f), line_r(d, 0.0f);
    size_t idx = 0;
    Filter tone_l, tone_r;
    tone_l.set(3200.0, 0.0);
    tone_r.set(3200.0, 0.0);
    for (size_t i = 0; i < in.frames(); i++) {
        float from_l = line_l[idx], from_r = line_r[idx];
        // Ping-pong: the left input echoes first on the right, then crosses back.
        line_r[idx] = (float)(in.left[i] + tone_l.low(from_l) * feedback);
        line_l[idx] = (float)(in.right[i] + tone_r.low(from_r) * feedback);
        out.left[i] += (float)(from_l * gain);
        out.right[i] += (float)(from_r * gain);
        if (++idx >= d)
            idx = 0;
    }
}
