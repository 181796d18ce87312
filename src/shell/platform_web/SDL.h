// SDL.h for the browser build: the part of SDL 1.2 that the show calls, with
// SDL 1.2's names, values and rules, implemented by platform_web.cpp on wasm
// memory and the page's canvas. Surfaces are plain software surfaces whose
// pixels live in wasm memory; the display is one of them, copied to the
// canvas once per animation frame. There is no blit: the raster library
// draws every picture itself. Only 24- and 32-bit surfaces with byte-aligned
// masks exist; anything else is refused with an error.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>

typedef uint8_t Uint8;
typedef int8_t Sint8;
typedef uint16_t Uint16;
typedef int16_t Sint16;
typedef uint32_t Uint32;
typedef int32_t Sint32;
typedef uint64_t Uint64;
typedef int64_t Sint64;

#define SDL_LIL_ENDIAN 1234
#define SDL_BIG_ENDIAN 4321
#define SDL_BYTEORDER SDL_LIL_ENDIAN   // wasm is little-endian

// ---- Start and end -------------------------------------------------------------
#define SDL_INIT_AUDIO 0x00000010u
#define SDL_INIT_VIDEO 0x00000020u
int SDL_Init(Uint32 flags);
// Audio needs nothing started here: the page's audio plays the music.
int SDL_InitSubSystem(Uint32 flags);
void SDL_Quit();
// The text of the last failure.
char *SDL_GetError();
void SDL_SetError(const char *text);
char *SDL_getenv(const char *name);
struct SDL_version {
    Uint8 major, minor, patch;
};
// 1.2.15: the interface of classic SDL 1.2, which this layer follows.
const SDL_version *SDL_Linked_Version();
int SDL_putenv(char *assignment);

// ---- Surfaces --------------------------------------------------------------------
#define SDL_SWSURFACE 0x00000000u
#define SDL_HWSURFACE 0x00000001u
#define SDL_SRCCOLORKEY 0x00001000u
#define SDL_RLEACCELOK 0x00002000u
#define SDL_RLEACCEL 0x00004000u
#define SDL_SRCALPHA 0x00010000u
#define SDL_FULLSCREEN 0x80000000u
#define SDL_ALPHA_OPAQUE 255
#define SDL_ALPHA_TRANSPARENT 0

struct SDL_Rect {
    Sint16 x, y;
    Uint16 w, h;
};

struct SDL_Color {
    Uint8 r, g, b, unused;
};

struct SDL_Palette {
    int ncolors;
    SDL_Color *colors;
};

struct SDL_PixelFormat {
    SDL_Palette *palette;   // always NULL: only true-colour surfaces exist here
    Uint8 BitsPerPixel;     // 24 or 32
    Uint8 BytesPerPixel;    // 3 or 4
    Uint8 Rloss, Gloss, Bloss, Aloss;
    Uint8 Rshift, Gshift, Bshift, Ashift;
    Uint32 Rmask, Gmask, Bmask, Amask;
    Uint32 colorkey;
    Uint8 alpha;            // the surface alpha (255 unless SDL_SetAlpha set it)
};

struct SDL_Surface {
    Uint32 flags;
    SDL_PixelFormat *format;
    int w, h;
    Uint16 pitch;           // bytes per row, a multiple of 4
    void *pixels;
    int offset;
    SDL_Rect clip_rect;     // the whole surface
    int locked;
    int refcount;
};

// Software surfaces never need locking; the rule stays for the callers.
#define SDL_MUSTLOCK(surface) (((surface)->flags & SDL_RLEACCEL) != 0)

// Zero-filled; masks all 0 mean SDL's default 32-bit layout (0x00RRGGBB).
// A non-zero alpha mask sets SDL_SRCALPHA, as in SDL 1.2.
SDL_Surface *SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask, Uint32 Gmask,
                                  Uint32 Bmask, Uint32 Amask);
void SDL_FreeSurface(SDL_Surface *surface);
int SDL_LockSurface(SDL_Surface *surface);
void SDL_UnlockSurface(SDL_Surface *surface);
// Sets or clears SDL_SRCALPHA (and SDL_RLEACCELOK) and the surface alpha, as
// SDL 1.2 does; picture_draw reads them.
int SDL_SetAlpha(SDL_Surface *surface, Uint32 flag, Uint8 alpha);
void SDL_GetRGB(Uint32 pixel, const SDL_PixelFormat *format, Uint8 *r, Uint8 *g, Uint8 *b);
Uint32 SDL_MapRGB(const SDL_PixelFormat *format, Uint8 r, Uint8 g, Uint8 b);

// Fills rect (NULL: all of dst), clipped to dst, with a pixel value.
int SDL_FillRect(SDL_Surface *dst, SDL_Rect *rect, Uint32 colour);

// ---- Files and pictures ---------------------------------------------------------
struct SDL_RWops;
SDL_RWops *SDL_RWFromFile(const char *file, const char *mode);
int SDL_RWclose(SDL_RWops *source);
// Windows BMP files of 24 or 32 bits per pixel (uncompressed, either row
// order); freesrc 1 closes the source.
SDL_Surface *SDL_LoadBMP_RW(SDL_RWops *source, int freesrc);

// ---- The display ------------------------------------------------------------------
// The one display surface: 800 x 600 x 32 (0x00RRGGBB), pixels in wasm memory.
SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32 flags);
SDL_Surface *SDL_GetVideoSurface();
// Marks the frame done. The page puts the display on its canvas once per
// animation frame (web_show_display, platform.h): the browser shows no more.
int SDL_Flip(SDL_Surface *screen);
// The same for a part of the display.
void SDL_UpdateRect(SDL_Surface *screen, Sint32 x, Sint32 y, Uint32 w, Uint32 h);
// The desktop's size, as SDL 1.2 reports it: unknown (0 x 0) on the page,
// which never asks for full screen (its script scales the canvas).
struct SDL_VideoInfo {
    int current_w, current_h;
};
const SDL_VideoInfo *SDL_GetVideoInfo();
void SDL_WM_SetCaption(const char *title, const char *icon);
int SDL_ShowCursor(int toggle);

// ---- Events and time -------------------------------------------------------------
enum { SDL_NOEVENT = 0, SDL_ACTIVEEVENT, SDL_KEYDOWN, SDL_KEYUP, SDL_QUIT = 12 };
enum SDLKey { SDLK_UNKNOWN = 0, SDLK_ESCAPE = 27 };
struct SDL_keysym {
    Uint8 scancode;
    SDLKey sym;
    int mod;
    Uint16 unicode;
};
struct SDL_KeyboardEvent {
    Uint8 type;
    Uint8 which;
    Uint8 state;
    SDL_keysym keysym;
};
union SDL_Event {
    Uint8 type;
    SDL_KeyboardEvent key;
};
// The page takes the keys itself (platform_web.cpp): there is never an event here.
int SDL_PollEvent(SDL_Event *event);
// Milliseconds since SDL_Init, from the page's clock.
Uint32 SDL_GetTicks();
// Waits by the clock: the browser build has no thread that could sleep.
void SDL_Delay(Uint32 ms);

// ---- Threads ----------------------------------------------------------------------
// The browser build plays without threads: the guards have nothing to guard.
struct SDL_mutex;
SDL_mutex *SDL_CreateMutex();
void SDL_DestroyMutex(SDL_mutex *mutex);
int SDL_mutexP(SDL_mutex *mutex);
int SDL_mutexV(SDL_mutex *mutex);
// Nor can a thread be started: SDL_CreateThread and SDL_CreateSemaphore give
// NULL, as SDL does when it cannot make one, and their callers go on without.
struct SDL_Thread;
struct SDL_semaphore;
typedef SDL_semaphore SDL_sem;
SDL_Thread *SDL_CreateThread(int (*fn)(void *), void *data);
void SDL_WaitThread(SDL_Thread *thread, int *status);
SDL_sem *SDL_CreateSemaphore(Uint32 initial_value);
void SDL_DestroySemaphore(SDL_sem *semaphore);
int SDL_SemWait(SDL_sem *semaphore);
int SDL_SemPost(SDL_sem *semaphore);
