// support.h — small helpers shared by the unit tests.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>
#include <cstdint>

// An ARGB surface filled with one colour (the caller frees it).
SDL_Surface *test_surface(int width, int height, uint32_t colour);
// The word at (x, y), rows stepped by the pitch.
uint32_t pixel_at(SDL_Surface *s, int x, int y);
// Builds the raster tables once per test program (idempotent).
void ensure_tables();
// ShowState and the eight scene records, zeroed, without tables or pictures
// (teardown_scenes frees them).
void new_bare_records();
// Starts SDL's (dummy) video with an 800 x 600 x 32 `screen` and the tables.
void open_test_screen();

// The show as start-up leaves it, headless: a dummy 800 x 600 screen, the
// tables, the backbuffer, the generated pictures and every scene record.
// Register once per test program:
//   const auto *environment = ::testing::AddGlobalTestEnvironment(new ShowEnvironment);
class ShowEnvironment : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;
};

// Puts a test picture into a BitmapTable entry for one test, and frees it
// and puts the original back when it goes out of scope.
struct BitmapSwap {
    int index;
    SDL_Surface *original;
    BitmapSwap(int i, SDL_Surface *replacement);
    ~BitmapSwap();
};
