// music.cpp — the show's music: a piece in D minor at 80 beats a minute,
// one section per scene, synthesised here and encoded as Ogg Vorbis.
//
// The scenes change at 0, 30.5, 56, 81, 101, 121, 153, 183 and 198 s; each
// section starts on the beat nearest its scene (at most a quarter second
// off): beats 0, 41, 75, 108, 161, 204, 244, ending at 264. The car's section
// alone starts with its scene at 101 s and keeps the car's hops as its beat
// (91 a minute). A section plays whole bars of four beats, and its spare
// beats are a drum fill into the next. Scene 7's plates pulse every 0.75 s,
// one beat.
//
//   1 intro      wind, pads, falling bell notes; the beat creeps in
//   2 theme      the groove and the main tune on the lead
//   3 column     a darker turn (Gm Dm Bb A), spinning bell arpeggios
//   4 grass      plucked strings, the tune on bells
//   5 car        bouncing bass and a hopping square-wave tune
//   6 seeds      breakdown: electric piano, then a build that stops a beat
//                short of the greetings
//   7 greetings  everything, the tune in thirds; the drive, two lifted bars,
//                the drive again, a turn
//   8 close      the tune's first phrase slowly, resolving onto D minor at
//                192 s; its soft tail is what the show's fade (195 s) takes
//
// The mix leaves the middle to the tune: the lead and the hopping tune sit
// in 500 Hz to 4 kHz, the master takes 6 dB off under 110 Hz and rolls the
// top off from 12 kHz, and hats, crash and riser stop short of the top
// octave. The generator prints the figures per scene; the data tests hold
// the decoded file to them.
#include "music.h"
#include "listen.h"
#include "synth.h"
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vorbis/vorbisenc.h>

namespace {

const double TOTAL_SECONDS = 202.0;
const uint32_t STREAM_SERIAL = 0x4C414E54;   // fixed, so the file is the same on every run

struct Chord {
    int pad[4];
    int bass;
};
const Chord Dm = {{57, 62, 65, 69}, 38}, Bb = {{58, 62, 65, 70}, 34}, F = {{57, 60, 65, 69}, 41},
            C = {{55, 60, 64, 67}, 36}, Gm = {{55, 58, 62, 67}, 43}, A = {{57, 61, 64, 69}, 33},
            Bbmaj7 = {{57, 62, 65, 70}, 34}, F_A = {{57, 60, 65, 72}, 33}, Gm7 = {{53, 58, 62, 65}, 43},
            Dm9 = {{57, 64, 65, 69}, 38};

struct Note {
    double at, length;
    int pitch;
};

// The main tune: eight bars over Dm Bb F C, twice.
const Note THEME_A[] = {
    {0, 1.5, 69}, {1.5, 0.5, 65}, {2, 1, 74}, {3, 0.5, 72}, {3.5, 0.5, 69},
    {4, 1, 70}, {5, 0.5, 69}, {5.5, 0.5, 65}, {6, 1.5, 62}, {7.5, 0.5, 65},
    {8, 1.5, 72}, {9.5, 0.5, 69}, {10, 1, 77}, {11, 0.5, 76}, {11.5, 0.5, 72},
    {12, 1, 76}, {13, 0.5, 74}, {13.5, 0.5, 72}, {14, 2, 67},
    {16, 1.5, 69}, {17.5, 0.5, 65}, {18, 1, 74}, {19, 0.5, 76}, {19.5, 0.5, 77},
    {20, 1, 79}, {21, 0.5, 77}, {21.5, 0.5, 74}, {22, 1.5, 70}, {23.5, 0.5, 74},
    {24, 1, 72}, {25, 1, 77}, {26, 1, 81}, {27, 0.5, 79}, {27.5, 0.5, 77},
    {28, 1.5, 76}, {29.5, 0.5, 72}, {30, 2, 74},
};

// The column's tune: four bars over Gm Dm Bb A.
const Note THEME_B[] = {
    {0, 0.5, 74}, {0.5, 0.5, 70}, {1, 0.5, 67}, {1.5, 0.5, 70}, {2, 1, 74}, {3, 1, 79},
    {4, 1, 77}, {5, 0.5, 76}, {5.5, 0.5, 74}, {6, 2, 69},
    {8, 0.5, 70}, {8.5, 0.5, 74}, {9, 0.5, 77}, {9.5, 0.5, 74}, {10, 1, 82}, {11, 1, 81},
    {12, 0.5, 79}, {12.5, 0.5, 77}, {13, 1, 76}, {14, 1, 73}, {15, 1, 69},
};

// The car's hopping tune: four bars over F C Dm Bb.
const Note HOP[] = {
    {0, 0.35, 65}, {0.5, 0.35, 72}, {1, 0.35, 69}, {1.5, 0.35, 72}, {2, 0.35, 77}, {2.5, 0.35, 76}, {3, 0.8, 72},
    {4, 0.35, 64}, {4.5, 0.35, 72}, {5, 0.35, 67}, {5.5, 0.35, 72}, {6, 0.35, 76}, {6.5, 0.35, 74}, {7, 0.8, 72},
    {8, 0.35, 62}, {8.5, 0.35, 69}, {9, 0.35, 65}, {9.5, 0.35, 69}, {10, 0.35, 74}, {10.5, 0.35, 72}, {11, 0.8, 69},
    {12, 0.35, 62}, {12.5, 0.35, 65}, {13, 0.35, 70}, {13.5, 0.35, 74}, {14, 0.35, 77}, {14.5, 0.35, 74},
    {15, 0.35, 70}, {15.5, 0.35, 74},
};

// The note a third below in D minor (D E F G A Bb C), for the second voice.
int third_below(int pitch)
{
    static const int scale[7] = {2, 4, 5, 7, 9, 10, 0};
    int pc = pitch % 12;
    for (int i = 0; i < 7; i++)
        if (scale[i] == pc) {
            int target = scale[(i + 5) % 7];
            int down = (pc - target + 12) % 12;
            return pitch - down;
        }
    return pitch - 3;
}

struct Section {
    double start;
    int bars;
    double spare;         // beats of fill after the bars
    double beat = 1.0;    // the length of the section's beat in the piece's beats
};
// The time, in the piece's beats, of the given beat into the section.
double at(const Section &s, double beats) { return s.start + beats * s.beat; }

// The car hops every 180 / 7 path units, 780 of which take its 20 s: one hop
// every 0.6593 s from the start of its scene at 101 s. Its section takes that
// as its beat (91 a minute), so every hop lands on a kick.
const double HOP_SECONDS = 20.0 * 180.0 / 7.0 / 780.0;
const Section INTRO = {0, 10, 1}, THEME = {41, 8, 2}, COLUMN = {75, 8, 1}, GRASS = {108, 6, 3},
              CAR = {101.0 / BEAT_SECONDS, 7, 1.75, HOP_SECONDS / BEAT_SECONDS}, SEEDS = {161, 10, 3},
              GREETINGS = {204, 10, 0}, CLOSE = {244, 5, 0};

class Arranger {
public:
    explicit Arranger(Instruments &i) : in(i), rng(0x5EED) {}

    // Pad chords, one a bar, the last held through the section's spare beats.
    void pads(const Section &s, const std::vector<Chord> &chords, double velocity, double brightness_from,
              double brightness_to)
    {
        for (int bar = 0; bar < s.bars; bar++) {
            const Chord &c = chords[bar % chords.size()];
            double length = 4.0 + (bar == s.bars - 1 ? s.spare : 0.0);
            double b = brightness_from + (brightness_to - brightness_from) * bar / std::max(1, s.bars - 1);
            for (int note : c.pad)
                in.pad(at(s, bar * 4), length * s.beat, note, velocity, b);
        }
    }

    void melody(double start, const Note *notes, size_t count, double velocity, int transpose, bool harmony)
    {
        for (size_t i = 0; i < count; i++) {
            const Note &n = notes[i];
            double accent = std::fmod(n.at, 1.0) == 0.0 ? 1.0 : 0.85;
            in.lead(start + n.at, n.length * 0.95, n.pitch + transpose, velocity * accent, -0.2);
            if (harmony)
                in.lead(start + n.at, n.length * 0.95, third_below(n.pitch + transpose), velocity * accent * 0.6, 0.55);
        }
    }

    // Bells in sixteenths up and down the chord, an octave above the pads.
    void arpeggio(const Section &s, const std::vector<Chord> &chords, double velocity, int step_beats_inverse)
    {
        static const int order[8] = {0, 1, 2, 3, 2, 1, 3, 0};
        int steps = 4 * step_beats_inverse;
        for (int bar = 0; bar < s.bars; bar++) {
            const Chord &c = chords[bar % chords.size()];
            for (int k = 0; k < steps; k++) {
                int note = c.pad[order[k % 8]] + 12 + (k % 8 >= 4 && k % 16 >= 8 ? 12 : 0);
                double v = velocity * (k % step_beats_inverse == 0 ? 1.0 : 0.7);
                in.bell(at(s, bar * 4 + (double)k / step_beats_inverse), note, v, (k & 1) ? 0.7 : -0.7);
            }
        }
    }

    void plucks(const Section &s, const std::vector<Chord> &chords, double velocity)
    {
        static const int order[16] = {0, 2, 1, 3, 2, 0, 3, 1, 0, 2, 1, 3, 2, 3, 1, 2};
        for (int bar = 0; bar < s.bars; bar++) {
            const Chord &c = chords[bar % chords.size()];
            for (int k = 0; k < 16; k++) {
                int note = c.pad[order[k]] + (k >= 8 ? 12 : 0);
                in.pluck(at(s, bar * 4 + k * 0.25), note, velocity * (k % 4 == 0 ? 1.0 : 0.75), (k & 1) ? 0.65 : -0.65);
            }
        }
    }

    // Bass patterns: 16 steps of a quarter beat; positive steps play the root,
    // 100 + step plays it an octave up.
    void bass_line(const Section &s, const std::vector<Chord> &chords, const std::vector<int> &steps, double length,
                   double velocity, double brightness)
    {
        for (int bar = 0; bar < s.bars; bar++) {
            const Chord &c = chords[bar % chords.size()];
            for (int step : steps) {
                bool up = step >= 100;
                int step_at = up ? step - 100 : step;
                double v = velocity * (step_at % 4 == 0 ? 1.0 : 0.8);
                in.bass(at(s, bar * 4 + step_at * 0.25), length * s.beat, c.bass + (up ? 12 : 0), v, brightness);
            }
        }
    }

    struct Groove {
        std::vector<int> kick, snare, clap, hat, open_hat;
        bool hat_sixteenths;
    };

    void drums(const Section &s, int first_bar, int bars, const Groove &g, double velocity)
    {
        for (int bar = first_bar; bar < first_bar + bars; bar++) {
            auto step = [&](int k) { return at(s, bar * 4 + k * 0.25); };
            for (int k : g.kick)
                in.kick(step(k), velocity);
            for (int k : g.snare)
                in.snare(step(k), velocity * 0.9);
            for (int k : g.clap)
                in.clap(step(k), velocity * 0.7);
            for (int k = 0; k < 16; k += g.hat_sixteenths ? 1 : 2) {
                if (std::find(g.open_hat.begin(), g.open_hat.end(), k) != g.open_hat.end()) {
                    in.hat(step(k), velocity * 0.8, true);
                    continue;
                }
                double accent = k % 4 == 2 ? 1.0 : (k % 2 == 0 ? 0.75 : 0.45);
                double nudge = (rng.uniform() - 0.5) * 0.012;   // a few milliseconds either way
                in.hat(step(k) + nudge, velocity * accent * (0.85 + 0.3 * rng.uniform()), false);
            }
        }
    }

    // A fill over the given beats (each `beat` long): snare sixteenths rising,
    // toms falling in the last beat.
    void fill(double start, double beats, double velocity, double beat = 1.0)
    {
        int steps = (int)(beats * 4);
        for (int k = 0; k < steps; k++) {
            double x = (double)k / std::max(1, steps - 1);
            if (k >= steps - 4) {
                const double toms[4] = {210, 160, 120, 90};
                in.tom(start + k * 0.25 * beat, velocity * 0.9, toms[k - (steps - 4)]);
            } else {
                in.snare(start + k * 0.25 * beat, velocity * (0.35 + 0.6 * x));
            }
        }
        in.kick(start, velocity);
    }

    void snare_roll(double start, double beats, double from, double to)
    {
        int steps = (int)(beats * 4);
        for (int k = 0; k < steps; k++) {
            double x = (double)k / std::max(1, steps - 1);
            in.snare(start + k * 0.25, from + (to - from) * x * x);
        }
    }

    // Random high notes from the pentatonic scale: snowflakes, seeds.
    void sprinkle(double start, double beats, double chance, double velocity)
    {
        static const int notes[10] = {74, 77, 79, 81, 84, 86, 89, 91, 93, 96};
        for (int k = 0; k < (int)(beats * 2); k++)
            if (rng.uniform() < chance)
                in.bell(start + k * 0.5, notes[rng.below(10)], velocity * (0.5 + 0.5 * rng.uniform()), rng.range(-0.8, 0.8));
    }

    Instruments &in;
    Rng rng;
};

const std::vector<Chord> MAIN_CHORDS = {Dm, Bb, F, C};
const Arranger::Groove GROOVE = {{0, 6, 10}, {4, 12}, {}, {}, {14}, false};

// 1 intro: winter wind, pads opening up, bells like falling snow; the bass at
// bar 4, a soft half-time kick at bar 6, a roll into the theme.
void compose_intro(Arranger &a, Instruments &in)
{
    in.wind(0, 40, 1.0);
    a.pads(INTRO, MAIN_CHORDS, 0.8, 0.45, 1.0);
    a.sprinkle(2, 26, 0.32, 0.5);
    for (int bar = 4; bar < 10; bar++)
        in.bass(INTRO.start + bar * 4, bar == 9 ? 4.8 : 3.8, MAIN_CHORDS[bar % 4].bass, 0.7, 0.3);
    Section late = {INTRO.start + 24, 4, 0};
    a.arpeggio(late, {Dm, Bb, F, C}, 0.35, 2);
    for (int beat = 24; beat < 40; beat += 2)
        in.kick(beat, 0.55 + 0.02 * (beat - 24));
    for (int k = 0; k < 16; k += 2)
        in.hat(32 + k * 0.5, 0.5, false);
    in.riser(32, 9, 1.0);
    a.snare_roll(36, 4, 0.15, 0.8);
}

// 2 theme.
void compose_theme(Arranger &a, Instruments &in)
{
    in.crash(THEME.start, 1.0);
    a.pads(THEME, MAIN_CHORDS, 0.75, 1.0, 1.1);
    a.bass_line(THEME, MAIN_CHORDS, {0, 2, 104, 6, 8, 10, 112, 14}, 0.42, 0.85, 0.8);
    a.drums(THEME, 0, 8, GROOVE, 0.9);
    a.melody(THEME.start, THEME_A, sizeof THEME_A / sizeof *THEME_A, 0.9, 0, false);
    a.fill(THEME.start + 32, THEME.spare, 0.9);
}

// 3 column: the darker progression, bells spinning in sixteenths.
void compose_column(Arranger &a, Instruments &in)
{
    const std::vector<Chord> column_chords = {Gm, Dm, Bb, A};
    const Arranger::Groove half = {{0, 10}, {8}, {}, {}, {}, true};
    in.crash(COLUMN.start, 0.9);
    a.pads(COLUMN, column_chords, 0.7, 0.8, 1.0);
    a.bass_line(COLUMN, column_chords, {0, 6, 10}, 1.1, 0.9, 0.6);
    a.drums(COLUMN, 0, 8, half, 0.85);
    a.arpeggio(COLUMN, column_chords, 0.28, 4);
    a.melody(COLUMN.start, THEME_B, sizeof THEME_B / sizeof *THEME_B, 0.85, 0, false);
    a.melody(COLUMN.start + 16, THEME_B, sizeof THEME_B / sizeof *THEME_B, 0.85, 0, true);
    in.snare(COLUMN.start + 32, 0.7);
    in.snare(COLUMN.start + 32.25, 0.8);
    in.tom(COLUMN.start + 32.5, 0.8, 140);
    in.tom(COLUMN.start + 32.75, 0.8, 100);
}

// 4 grass: plucked strings, the tune on bells an octave up.
void compose_grass(Arranger &a, Instruments &in)
{
    in.crash(GRASS.start, 1.0);
    a.pads(GRASS, MAIN_CHORDS, 0.6, 1.0, 1.0);
    a.plucks(GRASS, MAIN_CHORDS, 0.6);
    a.bass_line(GRASS, MAIN_CHORDS, {0, 2, 104, 6, 8, 10, 112, 14}, 0.42, 0.85, 0.9);
    a.drums(GRASS, 0, 6, {{0, 6, 10}, {4, 12}, {12}, {}, {14}, true}, 0.9);
    for (const Note &n : THEME_A)
        if (n.at < 24)
            in.bell(GRASS.start + n.at, n.pitch + 12, 1.0, 0.2);
    in.riser(GRASS.start + 24, 3, 0.8);
    a.fill(GRASS.start + 24, GRASS.spare, 0.85);
}

// 5 car: brighter chords, octave-jumping bass, the hopping tune, all at the
// hop's pace: a kick on every landing, the snare on every other one.
void compose_car(Arranger &a, Instruments &in)
{
    const std::vector<Chord> car_chords = {F, C, Dm, Bb};
    const Arranger::Groove bounce = {{0, 4, 8, 12}, {4, 12}, {4, 12}, {}, {2, 6, 10, 14}, false};
    in.crash(CAR.start, 0.9);
    a.pads(CAR, car_chords, 0.5, 1.1, 1.1);
    a.bass_line(CAR, car_chords, {0, 102, 4, 106, 8, 110, 12, 114}, 0.4, 0.9, 1.0);
    a.drums(CAR, 0, CAR.bars, bounce, 0.85);
    for (int pass = 0; pass < 2; pass++)
        for (const Note &n : HOP)
            if (pass == 0 || n.at < 12)
                in.square_lead(at(CAR, pass * 16 + n.at), n.length * CAR.beat, n.pitch + 12, 0.9,
                               n.at - std::floor(n.at) > 0 ? 0.6 : -0.6);
    a.fill(at(CAR, CAR.bars * 4), CAR.spare, 0.8, CAR.beat);
}

// 6 seeds: the breakdown. Open chords, the tune slowly on electric piano,
// hats from bar 4, then the build to the greetings.
void compose_seeds(Arranger &a, Instruments &in)
{
    const std::vector<Chord> seed_chords = {Bbmaj7, F_A, Gm7, Dm9, Bbmaj7, F_A, Gm7, Dm9, Bbmaj7, C};
    in.crash(SEEDS.start, 0.5);
    a.pads(SEEDS, seed_chords, 0.85, 0.6, 0.9);
    for (int bar = 4; bar < 10; bar++)
        in.bass(SEEDS.start + bar * 4, bar == 9 ? 6.8 : 3.9, seed_chords[bar].bass, 0.6, 0.2);
    for (const Note &n : THEME_A)
        if (n.at < 16)
            in.epiano(SEEDS.start + n.at * 2, n.length * 2 * 0.95, n.pitch, 0.9);
    a.sprinkle(SEEDS.start, 32, 0.12, 0.35);
    for (int k = 0; k < 32; k++)   // eighth-note hats, bars 4 to 7
        in.hat(SEEDS.start + 16 + k * 0.5, k % 2 ? 0.55 : 0.3, false);
    // The build stops one beat before the greetings: a breath of reverb
    // alone, and then everything enters at once with the scene.
    for (int beat = 32; beat < 42; beat++)
        in.kick(SEEDS.start + beat, 0.5 + 0.04 * (beat - 32));
    in.riser(SEEDS.start + 32, 10, 1.0);
    a.snare_roll(SEEDS.start + 36, 6, 0.1, 0.9);
}

// 7 greetings: everything, a kick on every beat for the pulsing plates.
void compose_greetings(Arranger &a, Instruments &in)
{
    const std::vector<Chord> greet_chords = {Dm, Bb, F, C, Dm, Bb, F, C, Bb, C};
    const Arranger::Groove drive = {{0, 4, 8, 12}, {4, 12}, {4, 12}, {}, {14}, true};
    for (int bar : {0, 4, 8})
        in.crash(GREETINGS.start + bar * 4, 1.0);
    a.pads(GREETINGS, greet_chords, 0.7, 1.2, 1.2);
    a.bass_line(GREETINGS, greet_chords, {0, 1, 2, 3, 104, 5, 6, 7, 8, 9, 10, 11, 112, 13, 14, 15}, 0.2, 0.8, 1.0);
    // Four bars of the drive, two lifted ones (half time, the kick pushed),
    // two more of the drive with a fill into the last crash, then the turn.
    const Arranger::Groove lift = {{0, 6, 10, 14}, {8}, {8}, {}, {2, 10}, true};
    a.drums(GREETINGS, 0, 4, drive, 1.0);
    a.drums(GREETINGS, 4, 2, lift, 0.95);
    a.drums(GREETINGS, 6, 2, drive, 1.0);
    a.fill(GREETINGS.start + 31, 1, 0.8);
    a.drums(GREETINGS, 8, 1, drive, 1.0);
    a.drums(GREETINGS, 9, 1, {{0, 4}, {}, {4}, {}, {}, true}, 0.9);
    a.fill(GREETINGS.start + 38, 2, 0.9);
    a.arpeggio(GREETINGS, greet_chords, 0.22, 4);
    a.melody(GREETINGS.start, THEME_A, sizeof THEME_A / sizeof *THEME_A, 1.0, 0, true);
    const Note ending[] = {{0, 2, 81}, {2, 1, 79}, {3, 1, 77}, {4, 3.8, 74}};
    a.melody(GREETINGS.start + 32, ending, 4, 1.0, 0, true);
}

// 8 close: the tune's first phrase slowly over Dm Bb A, the A's leading
// note resolving onto a last D minor chord on beat 12 (192 s). The chord is
// struck, not swelled, and has died down to a soft held tail by 195 s, where
// the show starts to fade the music: the fade takes only that tail.
void compose_close(Instruments &in)
{
    const std::vector<Chord> close_chords = {Dm, Bb, A};
    in.crash(CLOSE.start, 0.6);
    for (int bar = 0; bar < 3; bar++) {
        const Chord &c = close_chords[bar];
        for (int note : c.pad)
            in.pad(CLOSE.start + bar * 4, 4.0, note, 0.8, 0.9 - 0.1 * bar);
        in.bass(CLOSE.start + bar * 4, 3.9, c.bass, 0.6, 0.2);
    }
    for (int beat = 0; beat < 12; beat += 2)
        in.kick(CLOSE.start + beat, 0.6 - 0.04 * beat);
    const Note farewell[] = {{0, 1.5, 69}, {1.5, 0.5, 65}, {2, 2, 74}, {4, 1, 70}, {5, 1, 69}, {6, 2, 65},
                             {8, 2, 64}, {10, 1, 67}, {11, 1, 73}};
    for (const Note &n : farewell)
        in.epiano(CLOSE.start + n.at, n.length, n.pitch, 0.8);
    const double last = CLOSE.start + 12;
    for (int note : {62, 65, 69, 74})
        in.epiano(last, 4.0, note, note == 74 ? 0.8 : 0.5);
    for (int note : Dm.pad)   // the chord's tail: soft, held to 196.5 s, gone by 198.3 s
        in.pad(last, 6.0, note, 0.4, 0.6);
    in.bass(last, 2.5, Dm.bass, 0.6, 0.2);
    in.kick(last, 0.45);
    for (int k = 0; k < 4; k++)
        in.bell(last + k * 0.25, Dm.pad[k] + 24, 0.45, k & 1 ? 0.6 : -0.6);
    in.wind(CLOSE.start + 2, 12, 0.7);
}

// The sections in the order of time: the arranger's random numbers (hats'
// nudges, sprinkled bells) are drawn in this order, so it is part of the music.
void compose(Instruments &in)
{
    Arranger a(in);
    compose_intro(a, in);
    compose_theme(a, in);
    compose_column(a, in);
    compose_grass(a, in);
    compose_car(a, in);
    compose_seeds(a, in);
    compose_greetings(a, in);
    compose_close(in);
}

// The master: a DC blocker (the kick's and plucks' lopsided starts leave a
// little), then a look-ahead limiter that lets the mix sit 6 dB louder
// without clipping, and a peak of -3.5 dBFS: the encoder's rounding adds a
// little, and the file's peak must stay under -1 dBFS.
const double MASTER_PEAK = 0.6683439;   // -3.5 dBFS
const double MASTER_DRIVE = 2.4;
const size_t LOOK_AHEAD = 132;          // 3 ms
const double STEREO_WIDTH = 2.8;
const double LOW_SHELF_HZ = 110.0, LOW_SHELF_GAIN = 0.5;   // -6 dB
const double TOP_ROLL_OFF_HZ = 12000.0;

float bus_peak(const Bus &bus)
{
    float peak = 0.0f;
    for (size_t i = 0; i < bus.frames(); i++)
        peak = std::max(peak, std::max(std::fabs(bus.left[i]), std::fabs(bus.right[i])));
    return peak;
}

void block_dc(Bus &bus)
{
    double xl = 0, xr = 0, yl = 0, yr = 0;
    for (size_t i = 0; i < bus.frames(); i++) {
        double l = bus.left[i], r = bus.right[i];
        yl = l - xl + 0.9986 * yl;
        yr = r - xr + 0.9986 * yr;
        xl = l;
        xr = r;
        bus.left[i] = (float)yl;
        bus.right[i] = (float)yr;
    }
}

// The limiter's gain for each sample: down at once to what keeps the loudest
// sample of the next LOOK_AHEAD under the threshold, back up over 0.12 s.
std::vector<double> limiter_gain(const std::vector<double> &level, double threshold)
{
    size_t n = level.size();
    std::vector<double> gain(n);
    std::vector<size_t> window;   // a sliding maximum of the levels ahead
    size_t head = 0;
    auto push = [&](size_t k) {
        while (window.size() > head && level[window.back()] <= level[k])
            window.pop_back();
        window.push_back(k);
    };
    for (size_t k = 0; k <= LOOK_AHEAD && k < n; k++)   // samples 0 .. LOOK_AHEAD ahead of the first
        push(k);
    double release = 1.0 - det::exp(-1.0 / (0.12 * SAMPLE_RATE)), g = 1.0;
    for (size_t i = 0; i < n; i++) {
        if (i > 0 && i + LOOK_AHEAD < n)
            push(i + LOOK_AHEAD);
        while (head < window.size() && window[head] < i)
            head++;
        double m = head < window.size() ? level[window[head]] : 0.0;
        double target = m > threshold ? threshold / m : 1.0;
        g = std::min(target, g + (1.0 - g) * release);
        gain[i] = g;
    }
    return gain;
}

void limit(Bus &bus, double drive, double threshold)
{
    size_t n = bus.frames();
    float peak = bus_peak(bus);
    double pre = peak > 0 ? drive / peak : 1.0;
    std::vector<double> level(n);
    for (size_t i = 0; i < n; i++)
        level[i] = std::max(std::fabs(bus.left[i]), std::fabs(bus.right[i])) * pre;
    std::vector<double> gain = limiter_gain(level, threshold);
    double sum = 0;   // smooth the steps over the look-ahead, so the gain glides down
    for (size_t i = 0; i < n; i++) {
        sum += gain[i];
        if (i >= LOOK_AHEAD)
            sum -= gain[i - LOOK_AHEAD];
        double smooth = sum / (double)std::min(i + 1, LOOK_AHEAD);
        bus.left[i] = (float)(bus.left[i] * pre * smooth);
        bus.right[i] = (float)(bus.right[i] * pre * smooth);
    }
}

void scale_to_peak(Bus &bus, double target)
{
    float peak = bus_peak(bus);
    float k = peak > 0 ? (float)(target / peak) : 1.0f;
    for (size_t i = 0; i < bus.frames(); i++) {
        bus.left[i] *= k;
        bus.right[i] *= k;
    }
}

// Widens the stereo image above the bass: the difference of the two sides
// over about 250 Hz is raised by `width`, while the low end (bass and kick,
// which carry most of the energy) is made one and the same on both sides.
void widen(Bus &bus, double width)
{
    const double k = 1.0 - det::exp(-det::TWO_PI * 250.0 / SAMPLE_RATE);
    double low_l = 0, low_r = 0;
    for (size_t i = 0; i < bus.frames(); i++) {
        double l = bus.left[i], r = bus.right[i];
        low_l += k * (l - low_l);
        low_r += k * (r - low_r);
        double low = 0.5 * (low_l + low_r);
        double mid = 0.5 * ((l - low_l) + (r - low_r)), side = 0.5 * ((l - low_l) - (r - low_r)) * width;
        bus.left[i] = (float)(low + mid + side);
        bus.right[i] = (float)(low + mid - side);
    }
}

// Takes the low end down by `gain` under about `corner_hz` (a one-pole
// shelf): the kick and the bass stay felt, but leave the middle its share.
void shelve_lows(Bus &bus, double corner_hz, double gain)
{
    const double k = 1.0 - det::exp(-det::TWO_PI * corner_hz / SAMPLE_RATE);
    double low_l = 0, low_r = 0;
    for (size_t i = 0; i < bus.frames(); i++) {
        low_l += k * (bus.left[i] - low_l);
        low_r += k * (bus.right[i] - low_r);
        bus.left[i] = (float)(bus.left[i] - (1.0 - gain) * low_l);
        bus.right[i] = (float)(bus.right[i] - (1.0 - gain) * low_r);
    }
}

// Rolls the top octave off (two poles from `corner_hz`): the noise of the
// wind, the plucks' bursts and the riser stays under the tune's sheen.
void roll_off_top(Bus &bus, double corner_hz)
{
    Filter left, right;
    left.set(corner_hz, 0.0);
    right.set(corner_hz, 0.0);
    for (size_t i = 0; i < bus.frames(); i++) {
        bus.left[i] = (float)left.low(bus.left[i]);
        bus.right[i] = (float)right.low(bus.right[i]);
    }
}

void master(Bus &bus)
{
    block_dc(bus);
    shelve_lows(bus, LOW_SHELF_HZ, LOW_SHELF_GAIN);
    roll_off_top(bus, TOP_ROLL_OFF_HZ);
    widen(bus, STEREO_WIDTH);
    limit(bus, MASTER_DRIVE, MASTER_PEAK);
    scale_to_peak(bus, MASTER_PEAK);
}

std::vector<float> render()
{
    size_t frames = (size_t)(TOTAL_SECONDS * SAMPLE_RATE);
    Mixer mix(frames);
    Instruments in(mix);
    compose(in);
    echo_into(mix.echo, mix.reverb, 0.5625, 0.38, 0.5);   // three sixteenths
    echo_into(mix.echo, mix.dry, 0.5625, 0.38, 0.45);
    reverb_into(mix.reverb, mix.dry, 1.0);
    // The last seconds fade to silence, whatever still rings.
    for (size_t i = 0; i < frames; i++) {
        double t = (double)i / SAMPLE_RATE;
        if (t > 199.0) {
            float k = (float)std::max(0.0, 1.0 - (t - 199.0) / (TOTAL_SECONDS - 199.0));
            mix.dry.left[i] *= k;
            mix.dry.right[i] *= k;
        }
    }
    master(mix.dry);
    const float gain = 1.0f;
    std::vector<float> interleaved(frames * 2);
    for (size_t i = 0; i < frames; i++) {
        interleaved[i * 2] = mix.dry.left[i] * gain;
        interleaved[i * 2 + 1] = mix.dry.right[i] * gain;
    }
    return interleaved;
}

void encode(const std::vector<float> &samples, const std::string &path)
{
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        throw std::runtime_error("cannot write " + path);
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, SAMPLE_RATE, 0.45f) != 0) {
        std::fclose(f);
        throw std::runtime_error("the Vorbis encoder refused its settings");
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "lanternfay");
    vorbis_comment_add_tag(&vc, "ARTIST", "Quillfrost");
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, (int)STREAM_SERIAL);
    ogg_packet header, header_comment, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comment, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comment);
    ogg_stream_packetin(&os, &header_code);
    bool failed = false;
    ogg_page page;
    auto write_page = [&]() {
        failed |= std::fwrite(page.header, 1, page.header_len, f) != (size_t)page.header_len;
        failed |= std::fwrite(page.body, 1, page.body_len, f) != (size_t)page.body_len;
    };
    while (ogg_stream_flush(&os, &page))   // the headers on pages of their own
        write_page();
    size_t frames = samples.size() / 2, done = 0;
    bool end = false;
    while (!end) {
        size_t chunk = std::min<size_t>(4096, frames - done);
        if (chunk == 0) {
            vorbis_analysis_wrote(&vd, 0);
        } else {
            float **buffer = vorbis_analysis_buffer(&vd, (int)chunk);
            for (size_t i = 0; i < chunk; i++) {
                buffer[0][i] = samples[(done + i) * 2];
                buffer[1][i] = samples[(done + i) * 2 + 1];
            }
            vorbis_analysis_wrote(&vd, (int)chunk);
            done += chunk;
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&vd, &packet)) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page)) {
                    write_page();
                    if (ogg_page_eos(&page))
                        end = true;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    if (std::fclose(f) != 0 || failed)
        throw std::runtime_error("cannot write " + path);
}

// The mix by numbers, for whoever changes it: per scene the share of the
// energy under 80 Hz (bass and kick) and from 500 Hz to 4 kHz (the tune),
// the whole one's loudness and its peak between the samples. The data tests
// hold the decoded file to the same measures.
void report(const std::vector<float> &samples)
{
    const double scene_starts[9] = {0, 30.5, 56, 81, 101, 121, 153, 183, 198};
    std::vector<float> left(samples.size() / 2), right(samples.size() / 2);
    for (size_t i = 0; i < left.size(); i++) {
        left[i] = samples[i * 2];
        right[i] = samples[i * 2 + 1];
    }
    StereoView sound = {left, right, (double)SAMPLE_RATE};
    std::printf("datagen: music, per scene under 80 Hz / 500 Hz-4 kHz:");
    for (int scene = 0; scene < 8; scene++) {
        std::vector<double> power = power_spectrum(sound, scene_starts[scene], scene_starts[scene + 1]);
        double total = band_power(power, SAMPLE_RATE, 0, SAMPLE_RATE);
        std::printf(" %.0f/%.0f %%", 100 * band_power(power, SAMPLE_RATE, 0, 80) / total,
                    100 * band_power(power, SAMPLE_RATE, 500, 4000) / total);
    }
    std::printf("; %.1f LUFS, peak %.1f dBTP\n", integrated_lufs(sound), 20.0 * std::log10(true_peak(sound)));
}

}  // namespace

void write_music(const std::string &path)
{
    auto start = std::chrono::steady_clock::now();
    std::vector<float> samples = render();
    double synthesis = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    report(samples);
    encode(samples, path);
    double total = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("datagen: music synthesised in %.1f s, encoded in %.1f s\n", synthesis, total - synthesis);
}
