// bench_raster.cpp — what the raster library's hot operations cost over a
// whole 800 x 600 frame, each path side by side with the plain loop and
// blit_alpha beside SDL's own per-pixel-alpha SDL_BlitSurface of the same
// surfaces, and the frame scaled onto 1080p and 2160p displays (4:3 in the
// middle) beside a plain copy of the frame, in one run so that the machine's
// load falls on all alike.
//
// Run with the dummy drivers (no display needed):
//   SDL_VIDEODRIVER=dummy SDL_AUDIODRIVER=dummy bench/bench_raster [rounds]
// Every operation runs once per round, in turn, on a fresh copy of the same
// destination (the copy is not timed); medians over the rounds (41 by
// default) are printed, then the ratios.
#include <SDL.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>
#include "raster.h"
#include "raster_paths.h"

namespace {

const int WIDTH = 800, HEIGHT = 600;

SDL_Surface *frame_surface(bool with_alpha)
{
    return SDL_CreateRGBSurface(with_alpha ? SDL_SRCALPHA : 0, WIDTH, HEIGHT, 32, 0x00FF0000u, 0x0000FF00u,
                                0x000000FFu, with_alpha ? 0xFF000000u : 0);
}

// Random colours; alpha 255 everywhere, or in runs of transparent, opaque
// and in-between values as the show's pictures have them.
void fill_random(SDL_Surface *s, bool opaque, std::mt19937 &random)
{
    uint32_t *pixels = static_cast<uint32_t *>(s->pixels);
    for (int y = 0; y < s->h; ++y) {
        uint32_t *row = pixels + y * (s->pitch / 4);
        uint32_t alpha = 255;
        for (int x = 0; x < s->w; ++x) {
            if (!opaque && x % 16 == 0) {
                uint32_t kind = random() % 4;
                alpha = kind == 0 ? 0 : kind == 1 ? 255 : random() & 0xFF;
            }
            row[x] = (alpha << 24) | (random() & 0x00FFFFFFu);
        }
    }
}

struct Operation {
    std::string name;
    std::vector<double> spent_ms;
    double median() const
    {
        std::vector<double> sorted = spent_ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted[sorted.size() / 2];
    }
};

} // namespace

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 41;
    if (rounds < 5)
        rounds = 5;
    if (SDL_Init(SDL_INIT_VIDEO) == -1)
        return 1;
    screen = SDL_SetVideoMode(WIDTH, HEIGHT, 32, 0);
    if (!screen)
        return 1;
    tables_init();
    std::mt19937 random(2026);
    SDL_Surface *opaque_source = frame_surface(true), *alpha_source = frame_surface(true);
    SDL_Surface *pristine = frame_surface(false), *target = frame_surface(false);
    fill_random(opaque_source, true, random);
    fill_random(alpha_source, false, random);
    fill_random(pristine, true, random);
    const size_t frame_bytes = static_cast<size_t>(pristine->pitch) * HEIGHT;
    const bool avx2 = raster_has_avx2();

    struct Blit {
        const char *name;
        void (*blit)(SDL_Surface *, SDL_Surface *, int, int, int, BlendMode);
    };
    std::vector<Blit> blits = {{"reference", blit_alpha_reference}};
#if RASTER_SSE2_PATHS
    blits.push_back({"sse2", blit_alpha_sse2});
#endif
#if RASTER_AVX2_PATHS
    if (avx2)
        blits.push_back({"avx2", blit_alpha_avx2});
#endif
    blits.push_back({"blit_alpha", blit_alpha});

    // Each entry: a name and what to run on `target`.
    std::vector<Operation> operations;
    std::vector<std::function<void()>> runs;
    auto add = [&](const std::string &name, std::function<void()> run) {
        operations.push_back({name, {}});
        runs.push_back(run);
    };
    for (SDL_Surface *source : {opaque_source, alpha_source}) {
        std::string kind = source == opaque_source ? "opaque" : "alpha ";
        add("SDL_BlitSurface " + kind, [=] { SDL_BlitSurface(source, nullptr, target, nullptr); });
        for (const Blit &b : blits)
            add("linear " + kind + " " + b.name, [=] { b.blit(source, target, 0, 0, 255, BLEND_LINEAR); });
        for (const Blit &b : blits)
            add("cubic  " + kind + " " + b.name, [=] { b.blit(source, target, 0, 0, 255, BLEND_CUBIC); });
    }
    add("copy pass (memcpy)", [=] { std::memcpy(target->pixels, pristine->pixels, frame_bytes); });
    add("fade_rect reference", [=] { fade_rect_reference(target, 0, 0, WIDTH, HEIGHT, 100); });
#if RASTER_SSE2_PATHS
    add("fade_rect sse2", [=] { fade_rect_sse2(target, 0, 0, WIDTH, HEIGHT, 100); });
#endif
    add("dim_rect reference", [=] { dim_rect_reference(target, 0, 0, WIDTH, HEIGHT, 5); });
#if RASTER_SSE2_PATHS
    add("dim_rect sse2", [=] { dim_rect_sse2(target, 0, 0, WIDTH, HEIGHT, 5); });
#endif
#if RASTER_AVX2_PATHS
    if (avx2)
        add("dim_rect avx2", [=] { dim_rect_avx2(target, 0, 0, WIDTH, HEIGHT, 5); });
#endif

    // The show's frame scaled onto a 1080p and a 2160p display's 4:3 rectangle.
    struct Scaling {
        const char *name;
        void (*scale)(SDL_Surface *, SDL_Surface *, ScalePlan &);
    };
    std::vector<Scaling> scalings = {{"reference", scale_picture_reference}};
#if RASTER_SSE2_PATHS
    scalings.push_back({"sse2", scale_picture_sse2});
#endif
#if RASTER_AVX2_PATHS
    if (avx2)
        scalings.push_back({"avx2", scale_picture_avx2});
#endif
    std::vector<SDL_Surface *> displays;
    std::vector<ScalePlan> plans(4);
    std::vector<std::string> scale_names;
    for (int height : {1080, 2160}) {
        SDL_Surface *display = SDL_CreateRGBSurface(0, height * 16 / 9, height, 32, 0x00FF0000u, 0x0000FF00u,
                                                    0x000000FFu, 0);
        displays.push_back(display);
        for (ScaleFilter filter : {SCALE_SMOOTH, SCALE_SHARP}) {
            ScalePlan &plan = plans[displays.size() * 2 - 2 + filter];
            int x, y, w, h;
            picture_rectangle(display->w, display->h, x, y, w, h);
            scale_plan_make(plan, WIDTH, HEIGHT, x, y, w, h, filter);
            std::string kind = std::string(filter == SCALE_SMOOTH ? "smooth" : "sharp ") + " to " +
                               std::to_string(w) + "x" + std::to_string(h);
            scale_names.push_back(kind);
            for (const Scaling &scaling : scalings)
                add(kind + " " + scaling.name, [=, &plan] { scaling.scale(pristine, display, plan); });
        }
    }

    for (int round = 0; round < rounds; ++round)
        for (size_t i = 0; i < runs.size(); ++i) {
            std::memcpy(target->pixels, pristine->pixels, frame_bytes);
            auto begin = std::chrono::steady_clock::now();
            runs[i]();
            std::chrono::duration<double, std::milli> spent = std::chrono::steady_clock::now() - begin;
            operations[i].spent_ms.push_back(spent.count());
        }

    std::printf("800 x 600, %d rounds, medians (AVX2 %s)\n", rounds, avx2 ? "present" : "absent: not run");
    for (const Operation &operation : operations)
        std::printf("  %-34s %7.3f ms\n", operation.name.c_str(), operation.median());
    auto median_of = [&](const std::string &name) {
        for (const Operation &operation : operations)
            if (operation.name == name)
                return operation.median();
        return 0.0;
    };
    for (const char *mode : {"linear", "cubic "}) {
        std::printf("blit_alpha (%s) / SDL_BlitSurface, same surfaces:\n", mode);
        for (const char *kind : {"opaque", "alpha "}) {
            double sdl = median_of(std::string("SDL_BlitSurface ") + kind);
            for (const Blit &b : blits)
                std::printf("  %s source, %-10s %5.2f x\n", kind, b.name,
                            median_of(std::string(mode) + " " + kind + " " + b.name) / sdl);
        }
    }
    if (avx2) {
        std::printf("sse2 / avx2:\n");
        for (const char *name : {"linear opaque", "linear alpha ", "cubic  opaque", "cubic  alpha ", "dim_rect"})
            std::printf("  %-14s %5.2f x\n", name,
                        median_of(std::string(name) + " sse2") / median_of(std::string(name) + " avx2"));
    }
    const char *fastest = avx2 ? "avx2" : RASTER_SSE2_PATHS ? "sse2" : "reference";
    std::printf("scale_picture (%s) / copy pass, in the same run:\n", fastest);
    for (const std::string &kind : scale_names)
        std::printf("  %-22s %7.3f ms  %5.2f x\n", kind.c_str(), median_of(kind + " " + fastest),
                    median_of(kind + " " + fastest) / median_of("copy pass (memcpy)"));
    for (SDL_Surface *display : displays)
        SDL_FreeSurface(display);
    SDL_FreeSurface(opaque_source);
    SDL_FreeSurface(alpha_source);
    SDL_FreeSurface(pristine);
    SDL_FreeSurface(target);
    tables_free();
    SDL_Quit();
    return 0;
}
