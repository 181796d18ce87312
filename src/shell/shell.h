// shell.h — start-up, the scene runtime, frame presentation and precalculation.
//
// The program's main thread loads everything, runs precalculate(), plays the
// eight scenes in order while show->running is 1, then tears down. Each scene
// runs a clock thread and a render thread (platform.h) while the main thread
// polls input every 25 ms.
#pragma once
#include "show.h"
#include "platform.h"

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

// ---- The scenes' facts and the show's timeline ------------------------------------

constexpr int SCENE_COUNT = 8;

// One row per scene: what the clocks, the thread loops, the presenter, the
// frame tool and the tests all read. The loops share one shape; the two
// flags mark where a scene's loop is meant to differ.
struct SceneFacts {
    int duration_ms;           // its length on the show's timeline
    float position_end;        // position at that length (1800 in scene 1, else 1000)
    int clock_period_ms;       // the clock's sleep between passes
    int render_sleep_ms;       // the render thread's sleep after each frame
    int presenter_id;          // the id its frames hand to present_frame
    bool clock_sleeps_first;   // sleeps, then computes: its first pass comes a period in
    bool picture_before_check; // lays its picture on screen before looking at active
    bool render_starts_first;  // its driver starts the render thread first (no visible effect)
    bool fade_out_whole_units; // its fade-out steps once per whole position unit
};
// Scene n's row is SCENES[n - 1].
extern const SceneFacts SCENES[SCENE_COUNT];
inline const SceneFacts &scene_facts(int scene) { return SCENES[scene - 1]; }
// The position for elapsed milliseconds: elapsed / duration x position end,
// in double precision (the clocks store it as float).
inline double scene_position_at(int scene, Sint32 elapsed_ms)
{
    return elapsed_ms / static_cast<double>(scene_facts(scene).duration_ms) * scene_facts(scene).position_end;
}
// The scene whose frames carry presenter id `id`; 0 for none (id 2 is nobody's).
int scene_of_presenter(int id);
// Scene n's `active` flag, and its 0..end position (scene 5: not the path).
std::atomic<uint8_t> &scene_active(int scene);
float scene_position(int scene);
// Where scene n (1..8) starts on the timeline, in milliseconds after the music starts.
int scene_start_ms(int scene);

// Marks the moment the music started: from then on every scene clock counts
// from its scene's place on the timeline, so a late start (preparation,
// joins) is made up within the scene instead of adding up over the show.
void timeline_begin(Uint32 music_start_ticks);
// Forgets the timeline: scenes played from now on count from their own start.
void timeline_end();
// The tick count at which the scene's clock counts 0 ms: its place on the
// timeline, or `now` when no timeline has begun (a scene played on its own).
Uint32 scene_clock_origin(int scene, Uint32 now);

// ---- Frame statistics (LANTERNFAY_STATS=1) -------------------------------------
// With the variable set, the scenes note when they start and what each frame
// costs, and the program prints a table at exit; without it nothing is kept.

// Reads the variable and makes room for the notes; true when statistics are on.
bool stats_begin();
// The scene's preparation (its driver's set-up) took `ms`.
void stats_scene_prepared(int scene, Uint32 ms);
// The scene's clock has started (its first pass is due) at tick count `ticks`.
void stats_scene_started(int scene, Uint32 ticks);
// One frame of the scene took `cost_ms` to draw and present.
void stats_frame(int scene, double cost_ms);
// Prints the table (standard output) and frees the notes.
void stats_report();

// The last event poll_input took (main thread only).
extern SDL_Event event;

// Takes at most one pending SDL event; Escape (press or release) or a quit
// event clears show->running. Every other event is dropped.
void poll_input();
// The driver pattern: starts clock then render (render first when
// render_first), polls input every 25 ms while active is 1 (and looks at
// active every 5 ms), joins both.
// Only the clock writes active, except when a thread cannot be started: then
// the driver reports it, ends the show and, without a clock, clears active itself.
void drive_scene(void (*clock)(), void (*render)(), std::atomic<uint8_t> &active, bool render_first = false);
// The render thread's sleep: `ms` milliseconds, cut short when active drops,
// so that a finished scene's thread can be joined at once. Nothing is drawn
// after the cut, so only the join comes sooner.
void sleep_while_active(int ms, const std::atomic<uint8_t> &active);
// True once a scene thread could not be started, or ended by an exception
// (an allocation failure, say): the program then exits with 255.
bool scene_thread_failed();

// The handler of the stop signals (SIGINT and SIGTERM): clears running of
// the ShowState that begin_running handed over. Before that there is no
// record to touch; the interrupt is remembered instead and begin_running
// applies it. After end_running the show is over and only the shutdown is
// left: a stop signal then ends the program at once, with status 128 + the
// signal's number (130, 143), after giving the display back.
void handle_sigint(int signal_number);
// Sets state->running to 1 and lets handle_sigint clear it from now on. An
// interrupt remembered from earlier in start-up clears it again at once, so
// no scene starts.
void begin_running(ShowState *state);
// Stops handle_sigint touching the ShowState; call before it is freed. From
// here on a stop signal ends the program at once (until the next begin_running).
void end_running();

// Ends every frame: fade-in over a scene's first 80 frames, fade-out over
// its last 200 position units, the music fade in the last scene, show_screen.
void present_frame(int id);
// Shows the finished `screen` on the display: a flip where the screen is
// the display itself, otherwise the screen scaled into the display's 4:3
// picture rectangle, and only that rectangle updated. Render threads only.
void show_screen();
// Takes the video mode's surface and sets `screen`: the surface itself when
// it is 800 x 600; otherwise a frame of its own in the same pixel format,
// shown scaled by filter, with the display made black once around it.
// False (and nothing kept) when that frame cannot be made.
bool display_open(SDL_Surface *video_surface, ScaleFilter filter);
// Frees a frame display_open made and forgets the display; `screen` is NULL after.
void display_close();
// The scaling LANTERNFAY_SCALE asks for: "sharp", or smooth (unset, "smooth",
// or anything else, which is said on standard error).
ScaleFilter scale_filter_from_environment();
// The fade-in level for flash frames left: trunc(flash / 80 * 255), 0 when none left.
int fade_in_level(float flash);
// The fade-out level that present_frame applies for id at position p
// (0: none; at most 255, however far p overshoots its range).
int fade_out_level(int id, float p);
// Whether a frame presented with id at position p asks the music to fade
// out (the first such request starts the fade; later ones change nothing).
bool asks_music_fade(int id, float p);
// The same, at the position of id's scene now.
bool asks_music_fade(int id);
// The music to fade out from scene 8 (may be NULL: the show then runs silent).
void set_show_music(struct _Mix_Music *music);

// ---- The music's mixer and its fade-out ------------------------------------------
// The one model of the mixer the show opens and of SDL_mixer 1.2's fade,
// which the capture tool and the browser's stand-in for SDL_mixer follow.
constexpr int MIXER_RATE = 44100;            // samples a second, 16-bit stereo
constexpr int MIXER_BUFFER_SAMPLES = 2048;   // one mixer buffer
constexpr int MUSIC_VOLUME_MAX = 128;        // SDL_mixer's full volume
constexpr int MUSIC_FADE_MS = 1300;          // the last scene's fade-out of the music
// A fade steps once per mixer buffer: (int)(2048 * 1000.0f / 44100) = 46 ms.
constexpr int music_fade_step_ms() { return static_cast<int>((MIXER_BUFFER_SAMPLES * 1000.0f) / MIXER_RATE); }
// The buffers a fade of fade_ms takes, rounded up (29 for MUSIC_FADE_MS).
constexpr int music_fade_steps(int fade_ms) { return (fade_ms + music_fade_step_ms() - 1) / music_fade_step_ms(); }
// The volume of buffer `step` of a fade over `steps` buffers (step 1 is the
// first buffer the mixer fills after the request): 128 * (steps - step) /
// steps, integer division; 0 after the last, when the music halts.
constexpr int music_fade_volume(long long step, int steps)
{
    return step > steps ? 0 : static_cast<int>(MUSIC_VOLUME_MAX * (steps - step) / steps);
}

// The 33 pictures, by their index in BitmapTable (the load order).
enum Bitmap {
    BITMAP_MUDDY_MAP = 0,        // "data/bg_muddy.bmp": scene 1's mud colours
    BITMAP_EMERALD = 1,          // "data/emerald.bmp": scene 3's first texture
    BITMAP_ELF = 2,              // "data/elf.bmp"
    BITMAP_MUDDY_BUMPS = 3,      // "data/bg_muddy_bumps.bmp": a height map
    BITMAP_SNOW_MAP = 4,         // "data/bg_snow.bmp"
    BITMAP_GRASSY_MAP = 5,       // "data/bg_grassy.bmp"
    BITMAP_GRASSY_BUMPS = 6,     // "data/bg_grassybumps.bmp": a height map
    BITMAP_INTRO_LANDSCAPE = 7,  // "data/bg_introlandscape.bmp": scene 1's sky
    BITMAP_FLARE_BIG = 8,        // "data/flare_big.bmp"
    BITMAP_FLARE_SMALL = 9,      // "data/flare_small.bmp"
    BITMAP_SUN_FLARE = 10,       // "data/sunflare.bmp"
    BITMAP_FONT_SHEET = 11,      // "data/fonts64.bmp"
    BITMAP_GNOME = 12,           // "data/BirdGnome.bmp": scene 4's picture
    BITMAP_QFX_LOGO = 13,        // "data/qfx_logo.bmp"
    BITMAP_LANTERNFAY_LOGO = 14, // "data/lanternfaylogo.bmp"
    BITMAP_PRESENTS = 15,        // "data/presents.bmp"
    BITMAP_SUMMER_ROAD = 16,     // "data/summerroad.bmp": scene 5's picture
    BITMAP_CITYSCAPE = 17,       // "data/cityscape.bmp": scene 6's picture
    BITMAP_SEED_1 = 18,          // "data/seed_1.bmp"
    BITMAP_SEED_2 = 19,          // "data/seed_2.bmp"
    BITMAP_GREETS = 20,          // "data/greets.bmp": scene 8's words
    BITMAP_END_LEFT = 21,        // "data/end_clipfart_1.bmp"
    BITMAP_END_RIGHT = 22,       // "data/end_clipfart_2.bmp"
    BITMAP_LEAVES = 23,          // "data/leaves.bmp"
    BITMAP_EMERALD_2 = 24,       // "data/emerald2.bmp": scene 3's second texture
    BITMAP_STRIP = 25,           // "data/strip.bmp"
    BITMAP_TITLE_5TIDE = 26,     // "data/5tide_title.bmp"
    BITMAP_TITLE_VEXMOOR = 27,   // "data/vexmoor_title.bmp"
    BITMAP_TITLE_PALUNDO = 28,   // "data/palundo_title.bmp"
    BITMAP_TITLE_KB = 29,        // "data/kb_title.bmp"
    BITMAP_HOPE = 30,            // "data/hope.bmp"
    BITMAP_VISIONS = 31,         // "data/visions.bmp"
    BITMAP_FUN = 32,             // "data/fun.bmp"
    BITMAP_COUNT = 33
};

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

// Draws text on `screen` with the scroll-text font of scene 2. No scene
// calls it (scene 2 scrolls its text its own way): it stays as the show's
// one way to write a line with its font; draw_string_with is its rule.
void draw_string(const char *text, int x, int y);
