// shell.h — start-up, the scene runtime, frame presentation and precalculation.
//
// The program's main thread loads everything, runs precalculate(), plays the
// eight scenes in order while show->running is 1, then tears down. Each scene
// runs a clock thread and a render thread (runtime.h) while the main thread
// polls input every 25 ms.
#pragma once
#include "show.h"
#include "platform.h"
#include "timeline.h"   // the scenes' facts, the timeline, the frame statistics
#include "runtime.h"    // the driver of a scene's threads, input, the stop signals
#include "present.h"    // a frame to the viewer; the music's fade
#include "bitmaps.h"    // the 33 pictures
#include "precalc.h"    // the records and tables made before the first scene

// ---- Start-up and shutdown: the one way in and out ------------------------------
// The program, the frame tool, the capture tool, the tests and the benchmarks
// all start the show here, so its order is written once: the working
// directory, SDL, the music (when asked), the 800 x 600 x 32 screen (full
// screen: a display of the desktop's size that shows it scaled), the
// cursor and caption, the byte tables, the backbuffer, the 33 pictures from
// "<working directory>/data", the precalculation; transition_id is 0 after it.

// What start-up opens besides the screen.
enum StartUpSound { START_SILENT = 0, START_WITH_MUSIC = 1 };

// Starts the show with these SDL_SetVideoMode flags. START_WITH_MUSIC also
// starts SDL's audio and loads "data/lanternfay.ogg" (a missing file, or
// audio that cannot start, is a notice on standard error, and the show then
// plays silent: only the picture's failures end start-up); the audio device
// is not opened here. On failure prints why on standard output (the program's
// own messages), releases everything it made, ends SDL and returns false.
bool show_start_up(uint32_t video_flags, StartUpSound sound);
// The music start-up loaded, or NULL (silent, or not loaded). The show
// itself hands it on through set_show_music; tests ask it whether a run
// has music to fade.
struct _Mix_Music *show_music();
// Opens the audio device (44100 Hz, 16-bit stereo) and starts the music once
// through at full volume; marks the moment the show's timeline begins.
void show_start_music();
// Frees what start-up made, in the show's shutdown order (scene records,
// pictures, backbuffer, tables, music), and ends SDL. Safe after a failed
// start-up and when called twice. Never waits for the music: one fading out
// is halted before it is freed.
void show_shut_down();
// Ends SDL, which gives the display back (a full-screen mode, the cursor),
// unless the shutdown already has or is doing it. For a stop signal that cuts
// the shutdown short; safe in signal context as far as SDL_Quit is.
void show_restore_display_at_once();
