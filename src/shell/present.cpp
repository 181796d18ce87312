// present.cpp — the end of every frame: scene transitions and the flip.
//
// Every render thread hands its finished frame here with its scene's id. A
// change of id starts an 80-frame fade-in; the last 200 position units of a
// scene fade it to black; the last scene also fades the music out.
//
// The flip shows the 800 x 600 `screen` on the display. A window, or full
// screen where the desktop is no larger, is the screen itself and is flipped
// as it is. A larger full-screen display (opened at the desktop's own size,
// since today's displays have no 800 x 600 mode to switch to) gets the frame
// scaled by the raster library into its largest 4:3 rectangle, centred; the
// black bars around it are drawn once, when the display opens, and never
// updated again, so each frame sends the display only the picture.
#include "shell.h"
#include <SDL_mixer.h>
#include <cstdio>
#include <cstring>

namespace {

constexpr float FADE_IN_FRAMES = 80.0f;
constexpr float FADE_OUT_UNITS = 200.0f;   // exact in float and double alike

Mix_Music *music_to_fade = nullptr;   // set before the first scene thread starts

// The video mode's surface; `screen` itself when the frame is shown 1:1.
// Both are set before the first scene thread starts and kept to shutdown.
SDL_Surface *display = nullptr;
SDL_Surface *own_frame = nullptr;   // the frame display_open made, when it made one
ScalePlan display_plan;   // where and how the screen lands on a larger display

bool has_transitions(int id)
{
    return scene_of_presenter(id) != 0;
}

// trunc(level) for a level that is never negative; a level past 255 (a
// position beyond its range, or infinite) is as black as a fade goes, and
// is capped before the conversion so that it stays defined.
int level_from(double level)
{
    return level >= 255.0 ? 255 : static_cast<int>(level);
}

void fade_out_music()
{
    // Asked again on every frame from position 800 on: a fade already under
    // way is left alone rather than restarted, so the music ends 1.3 s later.
    if (music_to_fade && Mix_FadingMusic() != MIX_FADING_OUT)
        Mix_FadeOutMusic(MUSIC_FADE_MS);
}

} // namespace

void set_show_music(Mix_Music *music)
{
    music_to_fade = music;
}

int fade_in_level(float flash)
{
    if (!(flash > 0.0f))
        return 0;
    return level_from(static_cast<double>(flash) / FADE_IN_FRAMES * 255.0);
}

int fade_out_level(int id, float p)
{
    int scene = scene_of_presenter(id);
    if (scene == 0)
        return 0;
    // The last 200 units: a fifth of most scenes, a ninth of scene 1.
    float fade_start = scene_facts(scene).position_end - FADE_OUT_UNITS;
    if (!(p >= fade_start))   // also false for NaN
        return 0;
    float beyond = p - fade_start;   // single precision, as the scenes' positions are
    if (!scene_facts(scene).fade_out_whole_units)
        return level_from(static_cast<double>(beyond) / FADE_OUT_UNITS * 255.0);
    if (beyond >= FADE_OUT_UNITS)
        return 255;   // also keeps a huge overshoot out of the int conversion
    return level_from(static_cast<double>(static_cast<int>(beyond)) / FADE_OUT_UNITS * 255.0);
}

bool asks_music_fade(int id, float p)
{
    return scene_of_presenter(id) == SCENE_COUNT && p >= 800.0f;
}

bool asks_music_fade(int id)
{
    return asks_music_fade(id, scene_position(scene_of_presenter(id)));
}

ScaleFilter scale_filter_from_environment()
{
    const char *setting = SDL_getenv("LANTERNFAY_SCALE");
    if (setting && std::strcmp(setting, "sharp") == 0)
        return SCALE_SHARP;
    if (setting && *setting && std::strcmp(setting, "smooth") != 0)
        std::fprintf(stderr, "LANTERNFAY_SCALE=%s is neither smooth nor sharp: the picture is scaled smoothly.\n",
                     setting);
    return SCALE_SMOOTH;
}

bool display_open(SDL_Surface *video_surface, ScaleFilter filter)
{
    display = video_surface;
    if (display->w == 800 && display->h == 600) {
        screen = display;
        return true;
    }
    // The frame in the display's own pixel format, so that the scenes draw
    // exactly what they would draw on the display itself.
    const SDL_PixelFormat *format = display->format;
    own_frame = SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, format->Rmask, format->Gmask, format->Bmask,
                                     format->Amask);
    screen = own_frame;
    int x, y, w, h;
    picture_rectangle(display->w, display->h, x, y, w, h);
    if (!screen || !scale_plan_make(display_plan, 800, 600, x, y, w, h, filter)) {
        display_close();
        return false;
    }
    // Black everywhere once: the bars stay as they are from here on.
    bool must_lock = SDL_MUSTLOCK(display);
    if (!must_lock || SDL_LockSurface(display) == 0) {
        fill_rect(display, 0, 0, display->w - 1, display->h - 1, 0);
        if (must_lock)
            SDL_UnlockSurface(display);
    }
    SDL_Flip(display);
    return true;
}

void display_close()
{
    SDL_FreeSurface(own_frame);
    own_frame = nullptr;
    screen = nullptr;
    display = nullptr;
    display_plan = ScalePlan{};
}

void show_screen()
{
    // A screen of the display's own size, or one set without display_open
    // (a test's), is flipped as it is.
    if (!own_frame || screen != own_frame) {
        SDL_Flip(screen);
        return;
    }
    bool must_lock = SDL_MUSTLOCK(display);
    if (must_lock && SDL_LockSurface(display) != 0)
        return;
    scale_picture(screen, display, display_plan);
    if (must_lock)
        SDL_UnlockSurface(display);
    SDL_UpdateRect(display, display_plan.x, display_plan.y, display_plan.w, display_plan.h);
}

void present_frame(int id)
{
    int8_t id_byte = static_cast<int8_t>(id);
    if (id_byte != transition_id) {
        show->flash.store(FADE_IN_FRAMES, relaxed);
        transition_id = id_byte;
    }
    if (!has_transitions(id)) {
        show_screen();
        return;
    }
    bool must_lock = SDL_MUSTLOCK(screen);
    bool drawable = !must_lock || SDL_LockSurface(screen) == 0;

    float flash = show->flash.load(relaxed);
    if (flash > 0.0f) {
        if (drawable)
            fade_rect(screen, 0, 0, screen->w, screen->h, fade_in_level(flash));
        show->flash.store(flash - 1.0f, relaxed);
    }

    float p = scene_position(scene_of_presenter(id));
    int level = fade_out_level(id, p);
    if (level > 0 && drawable)
        fade_rect(screen, 0, 0, screen->w, screen->h, level);
    if (asks_music_fade(id, p))
        fade_out_music();

    if (must_lock && drawable)
        SDL_UnlockSurface(screen);
    // A frame finished after its scene has ended would be seen in the next
    // scene's time, a fade's black at most, and the next scene waits for the
    // flip (milliseconds over SDL2): the screen keeps it unseen instead.
    if (scene_active(scene_of_presenter(id)).load(relaxed) == 1)
        show_screen();
}
