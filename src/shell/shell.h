// shell.h — start-up, the scene runtime, frame presentation and precalculation.
//
// The program's main thread loads everything, runs precalculate(), plays the
// eight scenes in order while show->running is 1, then tears down. Each scene
// runs a clock thread and a render thread (platform.h) while the main thread
// polls input every 25 ms.
#pragma once
#include "show.h"
#include "platform.h"

// The last event poll_input took (main thread only).
extern SDL_Event event;

// Takes at most one pending SDL event; Escape (press or release) or a quit
// event clears show->running. Every other event is dropped.
void poll_input();
// The driver pattern: starts clock then render (render first when
// render_first), polls input every 25 ms while active is 1, joins both.
// Only the clock writes active, except when a thread cannot be started: then
// the driver reports it, ends the show and, without a clock, clears active itself.
void drive_scene(void (*clock)(), void (*render)(), std::atomic<uint8_t> &active, bool render_first = false);
// True once a scene thread could not be started, or ended by an exception
// (an allocation failure, say): the program then exits with 255.
bool scene_thread_failed();

// The SIGINT handler: clears running of the ShowState that begin_running
// handed over. Before that there is no record to touch; the interrupt is
// remembered instead and begin_running applies it.
void handle_sigint(int signal_number);
// Sets state->running to 1 and lets handle_sigint clear it from now on. An
// interrupt remembered from earlier in start-up clears it again at once, so
// no scene starts.
void begin_running(ShowState *state);
// Stops handle_sigint touching the ShowState; call before it is freed.
void end_running();

// Ends every frame: fade-in over a scene's first 80 frames, fade-out over
// its last 200 position units, the music fade in the last scene, SDL_Flip.
void present_frame(int id);
// The fade-in level for flash frames left: trunc(flash / 80 * 255), 0 when none left.
int fade_in_level(float flash);
// The fade-out level that present_frame applies for id at position p
// (0: none; at most 255, however far p overshoots its range).
int fade_out_level(int id, float p);
// The music to fade out from scene 8 (may be NULL: the show then runs silent).
void set_show_music(struct _Mix_Music *music);

// Loads the 33 pictures from "<working_directory>/data/..." into BitmapTable
// (entry 33 NULL). On failure prints which file could not be loaded and why
// (no data folder, not a folder, not readable; a missing file with SDL's
// error text; a file damaged or not a BMP), frees what was loaded and
// returns false.
bool load_bitmaps(const char *working_directory);
// Frees every BitmapTable entry up to the first NULL and clears them.
void free_bitmaps();
// The longest working directory whose bitmap paths fit the 256-byte path buffer.
size_t longest_working_directory();

// Creates ShowState and every scene record, fills the tables and prepares
// the bitmaps. Needs BitmapTable loaded and tables_init() done. Throws
// std::bad_alloc when memory for a record, table or surface cannot be had;
// what was made by then is left for teardown_scenes.
void precalculate();
// Frees what precalculate() made, in the order the show's shutdown uses, and
// clears the pointers. Records that were never made are skipped.
void teardown_scenes();

// Draws text on `screen` with the scroll-text font of scene 2.
void draw_string(const char *text, int x, int y);
