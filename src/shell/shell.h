// shell.h — start-up, the scene runtime, frame presentation and precalculation.
//
// The program's main thread loads everything, runs precalculate(), plays the
// eight scenes in order while show->running is 1, then tears down. Each scene
// runs a clock thread and a render thread (platform.h) while the main thread
// polls input every 25 ms.
#pragma once
#include "show.h"
#include "platform.h"

// Takes at most one pending SDL event; Escape (press or release) or a quit
// event clears show->running.
void poll_input();
// The driver pattern: starts clock then render (render first when
// render_first), polls input every 25 ms while active is 1, joins both.
void drive_scene(void (*clock)(), void (*render)(), const std::atomic<uint8_t> &active, bool render_first = false);

// Ends every frame: fade-in over a scene's first 80 frames, fade-out over
// its last 200 position units, the music fade in the last scene, SDL_Flip.
void present_frame(int id);
// The fade-out level that present_frame applies for id at position p (0: none).
int fade_out_level(int id, float p);
// The music to fade out from scene 8 (may be NULL: the show then runs silent).
void set_show_music(struct _Mix_Music *music);

// Loads the 33 pictures from "<working_directory>/data/..." into BitmapTable
// (entry 33 NULL). On failure prints which file could not be loaded, with
// SDL's error text, frees what was loaded and returns false.
bool load_bitmaps(const char *working_directory);
// Frees every BitmapTable entry up to the first NULL.
void free_bitmaps();

// Creates ShowState and every scene record, fills the tables and prepares
// the bitmaps. Needs BitmapTable loaded and tables_init() done.
void precalculate();
// Frees what precalculate() made, in the order the show's shutdown uses.
void teardown_scenes();

// Draws text on `screen` with the scroll-text font of scene 2.
void draw_string(const char *text, int x, int y);
