// bench_scene_passes — the scenes' whole-frame passes, each fast path beside
// the reference it replaced, in one process and interleaved so that the
// machine's other work disturbs both alike:
//   haze      scene 1's haze over the 800 x 600 backbuffer (level 200)
//   warp      the ring warp of scenes 2 and 7 (ring centre right of the middle)
//   backdrop  an 800 x 600 24-bit picture blitted to ARGB, against its
//             one-time 32-bit copy blitted (scenes 4, 5 and 6)
//   ground    scene 1's ground at position 1300, from data/bg_snow.bmp and
//             data/bg_muddy_bumps.bmp when run where the data folder is,
//             else from noise
//
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy bench_scene_passes [rounds]
//
// Prints per pass the median processor time of each path and their ratio,
// and whether their pixels agree.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>
#include "landscape.h"
#include "raster.h"
#include "ring_warp.h"

namespace {

double cpu_ms()
{
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1.0e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

uint32_t state = 12345;
uint32_t next_random()
{
    state = state * 1664525u + 1013904223u;
    return state;
}

void noise(SDL_Surface *s)
{
    uint8_t *bytes = static_cast<uint8_t *>(s->pixels);
    for (int i = 0; i < s->pitch * s->h; ++i)
        bytes[i] = static_cast<uint8_t>(next_random() >> 16);
}

bool same(SDL_Surface *a, SDL_Surface *b)
{
    return std::memcmp(a->pixels, b->pixels, static_cast<size_t>(a->pitch) * a->h) == 0;
}

// Times fast and reference on their own copies of the same start, rounds
// times each, alternating; reports the medians.
template <typename Fast, typename Reference>
void compare(const char *name, int rounds, SDL_Surface *start, Fast fast, Reference reference)
{
    SDL_Surface *a = argb_surface_new(start->w, start->h);
    SDL_Surface *b = argb_surface_new(start->w, start->h);
    std::vector<double> fast_ms, reference_ms;
    bool agree = true;
    for (int i = 0; i < rounds; ++i) {
        std::memcpy(a->pixels, start->pixels, static_cast<size_t>(start->pitch) * start->h);
        std::memcpy(b->pixels, start->pixels, static_cast<size_t>(start->pitch) * start->h);
        double t0 = cpu_ms();
        fast(a);
        double t1 = cpu_ms();
        reference(b);
        double t2 = cpu_ms();
        fast_ms.push_back(t1 - t0);
        reference_ms.push_back(t2 - t1);
        agree = agree && same(a, b);
    }
    double f = median(fast_ms), r = median(reference_ms);
    std::printf("%-9s fast %.3f ms, reference %.3f ms, ratio %.2f, pixels %s\n", name, f, r, f / r,
                agree ? "equal" : "DIFFER");
    SDL_FreeSurface(a);
    SDL_FreeSurface(b);
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    if (SDL_Init(0) < 0)
        return 1;
    tables_init();
    SDL_Surface *start = argb_surface_new(800, 600);
    noise(start);

    compare("haze", rounds, start, [](SDL_Surface *s) { haze_pass(s, 200); },
            [](SDL_Surface *s) { haze_pass_reference(s, 200); });

    std::vector<uint8_t> map(800 * 600);
    for (uint8_t &v : map)
        v = static_cast<uint8_t>(next_random() >> 20);
    const float cx = 520.0f, cy = 250.0f;
    int rows[2] = {0, 0}, columns[2] = {799, 799};
    compare("warp", rounds, start,
            [&](SDL_Surface *s) {
                ring_warp(s, map.data(), cx / 400.0f, (799.0f - cx) / 400.0f, cy / 300.0f, (599.0f - cy) / 300.0f,
                          WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF}, WarpChannel{40, 0xFE}, rows[0], columns[0]);
            },
            [&](SDL_Surface *s) {
                ring_warp_reference(s, map.data(), cx / 400.0f, (799.0f - cx) / 400.0f, cy / 300.0f,
                                    (599.0f - cy) / 300.0f, WarpChannel{0, 0xFF}, WarpChannel{0, 0xFF},
                                    WarpChannel{40, 0xFE}, rows[1], columns[1]);
            });

    SDL_Surface *picture = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 24, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
    noise(picture);
    SDL_Surface *copy = surface_converted_for(picture, start);
    compare("backdrop", rounds, start, [&](SDL_Surface *s) { SDL_UpperBlit(copy, nullptr, s, nullptr); },
            [&](SDL_Surface *s) { SDL_UpperBlit(picture, nullptr, s, nullptr); });

    SDL_Surface *maps[2];
    const char *map_files[2] = {"data/bg_snow.bmp", "data/bg_muddy_bumps.bmp"};
    for (int i = 0; i < 2; ++i) {
        SDL_Surface *loaded = SDL_LoadBMP(map_files[i]);
        maps[i] = loaded ? surface_converted_for(loaded, start) : argb_surface_new(800, 256);
        if (loaded)
            SDL_FreeSurface(loaded);
        else
            noise(maps[i]);
    }
    int32_t horizon_rows[256];
    for (int d = 0; d < 256; ++d)
        horizon_rows[d] = (int32_t)(255.0 * std::sin((d / 255.0 * 90.0 + 180.0) * 3.14159265358979323846 / 180.0));
    const GroundMaps ground{maps[0], maps[1], horizon_rows};
    const std::atomic<float> position{1300.0f};
    compare("ground", rounds, start, [&](SDL_Surface *s) { ground_pass(s, ground, position); },
            [&](SDL_Surface *s) { ground_pass_reference(s, ground, position); });

    SDL_FreeSurface(maps[0]);
    SDL_FreeSurface(maps[1]);
    SDL_FreeSurface(copy);
    SDL_FreeSurface(picture);
    SDL_FreeSurface(start);
    tables_free();
    SDL_Quit();
    return 0;
}
