// show.h — the records the show's threads share, and the program's globals.
//
// Every record is made once by precalculate() and freed once by
// teardown_scenes(). A field that threads share is a std::atomic used with
// relaxed loads and stores; who writes which, and the only places where a
// thread waits for another, are the show's threading rules (frame_share.h).
#pragma once
#include <SDL.h>
#include <atomic>
#include <cstdint>
#include "raster.h"
#include "render3d.h"

constexpr auto relaxed = std::memory_order_relaxed;
// M_PI is not standard C++.
constexpr double PI = 3.14159265358979323846;
// Angles held in degrees become radians as degrees x pi / 180, in double
// precision and in that order (the pictures depend on the rounding).
inline double radians(double degrees) { return degrees * PI / 180.0; }

// The whole show.
struct ShowState {
    std::atomic<float> flash;       // fade-in frames left (presenter only)
    std::atomic<uint8_t> running;   // 1 while the show goes on
};

// Scene 1: landscape flight and title cards (position 0..1800).
struct Flake {
    float x, y, speed;
};
struct Scene1State {
    std::atomic<uint8_t> active;
    std::atomic<float> position;
    float drift[360];               // 4 + 4 cos(floor(i / 4) degrees)
    int32_t horizon_rows[256];      // trunc(255 sin((d / 255 * 90 + 180) degrees))
    int32_t flare_opacity[800];     // sun flare flicker
    Flake flakes[300];              // moved by the render thread only
};

// Scene 2: colour rings and scroll text.
struct Scene2State {
    std::atomic<uint8_t> active;
    uint8_t text_done;              // render thread only
    std::atomic<float> position;
    Font *font;
    int32_t wave[360][800];         // trunc(30 sin(2a + (c mod 360) degrees))
    uint8_t *radial_map;            // 800 x 600 rings, 255 at the centre
    SDL_Surface *text_surface;      // 864 x 84 scroll buffer
};

// Scene 3: twisting column. `spin` stands before `position` in this record.
struct Scene3State {
    std::atomic<uint8_t> active;
    std::atomic<float> spin;
    std::atomic<float> position;
    std::atomic<float> line_phase;
    std::atomic<float> phase;
    float cos_table[180];
    int32_t shade[115];
    int32_t twist[600][360];
    float radius[600][360];
    SDL_Surface *work_surface;      // 360 x 600, the texture on the column
    SDL_Surface *key_surface_b;     // emerald2
    SDL_Surface *key_surface_c;     // emerald
};

// Scene 4: grass and cubes.
struct Scene4State {
    std::atomic<uint8_t> active;
    std::atomic<float> position;
    SceneObject *grass[130];
    SceneObject *cube_left;
    SceneObject *cube_right;
    World *world;
    SDL_Surface *picture;           // the backdrop in the backbuffer's format, made at start-up; NULL: blit the original
};

// Scene 5: hopping car. `path` (0..780) stands where the others keep the
// position; `position` (0..1000) drives the end and the fade-out.
struct Scene5State {
    std::atomic<uint8_t> active;
    std::atomic<float> path;
    SceneObject *body;
    SceneObject *lights;
    SceneObject *wheels;
    SceneObject *blokes;
    std::atomic<float> position;
    World *world;
    SDL_Surface *road;              // the backdrop in the backbuffer's format, made at start-up; NULL: blit the original
};

// Scene 6: drifting seeds.
struct Seed {
    std::atomic<float> x, y;        // left and top edge on screen, pixels
    float dx, dy;                   // step per clock pass, never 0
    uint8_t kind;                   // 0: seed_1, 1: seed_2
    int32_t opacity;                // 0..99
};
struct Scene6State {
    std::atomic<uint8_t> active;
    std::atomic<float> position;
    Seed *seeds;                    // 300, owned by the record
    SDL_Surface *cityscape;         // the backdrop in the screen's format, made at start-up; NULL: blit the original
};

// Scene 7: greetings.
struct GreetingPair {
    SceneObject *text;
    SceneObject *frame;
};
struct Scene7State {
    std::atomic<uint8_t> active;
    std::atomic<float> position;
    World *world;
    SceneObject *grass[140];
    GreetingPair greetings[4];
};

// Scene 8: closing screen.
struct Scene8State {
    std::atomic<uint8_t> active;
    std::atomic<float> position;
};

// ---- Globals, alive from start-up to shutdown --------------------------------

extern SDL_Surface *backbuffer;          // 800 x 600 ARGB drawing target
extern SDL_Surface *BitmapTable[128];    // the 33 pictures, then NULL
extern int8_t transition_id;             // id of the previous present_frame call

extern ShowState *show;
extern Scene1State *scene1;
extern Scene2State *scene2;
extern Scene3State *scene3;
extern Scene4State *scene4;
extern Scene5State *scene5;
extern Scene6State *scene6;
extern Scene7State *scene7;
extern Scene8State *scene8;
