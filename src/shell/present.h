// present.h — how a finished frame reaches the viewer: the fades, the
// scaling onto the display, and the one model of the music's mixer and its
// fade-out (present.cpp).
#pragma once
#include "show.h"

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
