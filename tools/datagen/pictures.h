// pictures.h — the show's 33 pictures, each made by one function.
//
// Sprites that the show tints are drawn light-on-black in grey: the green
// channel becomes their alpha. Pictures with a meaning channel (height maps,
// flares, the sun flare, the font sheet) are grey too, so every channel
// carries the same value.
#pragma once
#include "canvas.h"
#include <vector>

struct PictureMaker {
    const char *file;        // name under data/
    Image (*make)();
};

// All 33, in the order of the show's bitmap table.
const std::vector<PictureMaker> &picture_makers();

// Scene 1 (pictures_land.cpp)
Image make_bg_muddy();
Image make_bg_snow();
Image make_bg_grassy();
Image make_bg_muddy_bumps();
Image make_bg_grassybumps();
Image make_bg_introlandscape();
Image make_sunflare();
Image make_qfx_logo();
Image make_presents();
Image make_lanternfaylogo();

// Scenes 2 and 3 (pictures_glow.cpp)
Image make_flare_big();
Image make_flare_small();
Image make_fonts64();
Image make_emerald();
Image make_emerald2();
Image make_elf();
Image make_strip();

// Scenes 4 to 8 (pictures_world.cpp, pictures_words.cpp)
Image make_birdgnome();
Image make_leaves();
Image make_summerroad();
Image make_fun();
Image make_cityscape();
Image make_seed_1();
Image make_seed_2();
Image make_hope();
Image make_visions();
Image make_title_5tide();
Image make_title_vexmoor();
Image make_title_palundo();
Image make_title_kb();
Image make_greets();
Image make_end_clipfart_1();
Image make_end_clipfart_2();

// Shared helpers (pictures_words.cpp)
// A four-pointed sparkle of the given radius.
void mask_sparkle(Mask &m, double cx, double cy, double radius, double value);
// A six-armed snow crystal.
void mask_snowflake(Mask &m, double cx, double cy, double radius, double value);
