// present.cpp — the end of every frame: scene transitions and the flip.
//
// Every render thread hands its finished frame here with its scene's id. A
// change of id starts an 80-frame fade-in; the last 200 position units of a
// scene fade it to black; the last scene also fades the music out.
#include "shell.h"
#include <SDL_mixer.h>

namespace {

constexpr float FADE_IN_FRAMES = 80.0f;
constexpr int MUSIC_FADE_MS = 1300;

Mix_Music *show_music = nullptr;   // set before the first scene thread starts

bool has_transitions(int id)
{
    return id == 1 || (id >= 3 && id <= 9);
}

// The position that drives the fade-out of the scene presenting with id.
float scene_position(int id)
{
    switch (id) {
    case 1: return scene1->position.load(relaxed);
    case 3: return scene2->position.load(relaxed);
    case 4: return scene3->position.load(relaxed);
    case 5: return scene4->position.load(relaxed);
    case 6: return scene5->position.load(relaxed);   // the 0..1000 position, not the path
    case 7: return scene6->position.load(relaxed);
    case 8: return scene7->position.load(relaxed);
    default: return scene8->position.load(relaxed);
    }
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
    if (show_music && Mix_FadingMusic() != MIX_FADING_OUT)
        Mix_FadeOutMusic(MUSIC_FADE_MS);
}

} // namespace

void set_show_music(Mix_Music *music)
{
    show_music = music;
}

int fade_in_level(float flash)
{
    if (!(flash > 0.0f))
        return 0;
    return level_from(static_cast<double>(flash) / 80.0 * 255.0);
}

int fade_out_level(int id, float p)
{
    if (id == 1) {
        if (!(p >= 1600.0f))   // also false for NaN
            return 0;
        return level_from(static_cast<double>(p - 1600.0f) / 200.0 * 255.0);
    }
    if (!has_transitions(id) || !(p >= 800.0f))
        return 0;
    float beyond = p - 800.0f;   // single precision, as the scenes' positions are
    if (id >= 8)
        return level_from(static_cast<double>(beyond) / 200.0 * 255.0);
    // Scenes 2 to 6 fade in whole position units.
    if (beyond >= 200.0f)
        return 255;   // also keeps a huge overshoot out of the int conversion
    return level_from(static_cast<double>(static_cast<int>(beyond)) / 200.0 * 255.0);
}

bool asks_music_fade(int id, float p)
{
    return id == 9 && p >= 800.0f;
}

bool asks_music_fade(int id)
{
    return asks_music_fade(id, scene_position(id));
}

void present_frame(int id)
{
    int8_t id_byte = static_cast<int8_t>(id);
    if (id_byte != transition_id) {
        show->flash.store(FADE_IN_FRAMES, relaxed);
        transition_id = id_byte;
    }
    if (!has_transitions(id)) {
        SDL_Flip(screen);
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

    float p = scene_position(id);
    int level = fade_out_level(id, p);
    if (level > 0 && drawable)
        fade_rect(screen, 0, 0, screen->w, screen->h, level);
    if (asks_music_fade(id, p))
        fade_out_music();

    if (must_lock && drawable)
        SDL_UnlockSurface(screen);
    SDL_Flip(screen);
}
