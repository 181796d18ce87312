// synth.h — the generator's small synthesiser: stereo buses, oscillators,
// filters, the instruments and the effects of the show's music.
//
// Everything is computed with + - * / and sqrt, tables built from
// detmath.h, and the generator's own random numbers, so the samples are the
// same on every machine.
#pragma once
#include "detmath.h"
#include <cstdint>
#include <vector>

constexpr int SAMPLE_RATE = 44100;
constexpr double BEAT_SECONDS = 0.75;   // 80 beats a minute

// A stereo sum of float samples.
struct Bus {
    std::vector<float> left, right;
    explicit Bus(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    size_t frames() const { return left.size(); }
    void add(int64_t i, double l, double r)
    {
        if (i < 0 || (size_t)i >= left.size())
            return;
        left[(size_t)i] += (float)l;
        right[(size_t)i] += (float)r;
    }
};

// Where each instrument's sound goes: straight to the mix, and how much of it
// to the shared reverb and echo.
struct Mixer {
    Bus dry, reverb, echo;
    explicit Mixer(size_t frames) : dry(frames), reverb(frames), echo(frames) {}
    void out(int64_t i, double l, double r, double reverb_send, double echo_send)
    {
        dry.add(i, l, r);
        if (reverb_send > 0)
            reverb.add(i, l * reverb_send, r * reverb_send);
        if (echo_send > 0)
            echo.add(i, l * echo_send, r * echo_send);
    }
};

int64_t beat_sample(double beat);   // the sample where a beat starts
double midi_hz(double note);

// ---- building blocks -------------------------------------------------------------

double sine01(double phase);              // sin(2 pi phase), phase in any range
double saw_blep(double phase, double dt);  // band-limited saw, phase 0..1
double pulse_blep(double phase, double dt, double width);

// Zavalishin's state-variable filter (trapezoidal): stable at any cutoff.
struct Filter {
    double g = 0, k = 1, a1 = 0, a2 = 0, a3 = 0, ic1 = 0, ic2 = 0;
    void set(double cutoff_hz, double resonance);   // resonance 0..0.95
    void step(double x, double &low, double &band, double &high);
    double low(double x);
    double band(double x);
    double high(double x);
};

// ---- instruments (each renders one note or hit into the mixer) -----------------------

struct Instruments {
    Mixer &mix;
    Rng rng;
    explicit Instruments(Mixer &m) : mix(m), rng(0x1A7E5F) {}

    void pad(double beat, double beats, int note, double velocity, double brightness);
    void bass(double beat, double beats, int note, double velocity, double brightness);
    void lead(double beat, double beats, int note, double velocity, double pan);
    void square_lead(double beat, double beats, int note, double velocity, double pan);
    void bell(double beat, int note, double velocity, double pan);
    void pluck(double beat, int note, double velocity, double pan);
    void epiano(double beat, double beats, int note, double velocity);
    void kick(double beat, double velocity);
    void snare(double beat, double velocity);
    void hat(double beat, double velocity, bool open);
    void clap(double beat, double velocity);
    void crash(double beat, double velocity);
    void tom(double beat, double velocity, double pitch_hz);
    void riser(double beat, double beats, double velocity);
    void wind(double beat, double beats, double velocity);
};

// ---- effects ---------------------------------------------------------------------------

// A stereo reverb (parallel combs into series all-passes) of the bus, added to out.
void reverb_into(const Bus &in, Bus &out, double gain);
// A ping-pong echo of the bus (delay in seconds), added to out.
void echo_into(const Bus &in, Bus &out, double delay_seconds, double feedback, double gain);
