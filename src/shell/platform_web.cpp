// platform_web.cpp — the browser's side of the platform layer: SDL 1.2's
// video, file and timing calls on wasm memory and the page's canvas, SDL_mixer's
// music calls on the page's audio (platform_web.js), and the GNU C library's
// random sequence. Built only for the browser (__EMSCRIPTEN__).
//
// Pixels are combined by the raster library, as on every target (pictures
// are drawn by picture_draw, never by an SDL blit): what is left here is
// surfaces in wasm memory, fills, BMP loading and the flip, as SDL 1.2 does
// them. Formats the show never uses are refused with an error rather than
// handled some other way.
#ifdef __EMSCRIPTEN__
#include <SDL.h>
#include <SDL_mixer.h>
#include <emscripten.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "platform_web_bmp.h"
#include "shell.h"

// ---- The page (platform_web.js) ---------------------------------------------------
extern "C" {
void lanternfay_page_put_frame(const uint8_t *rgba, int width, int height);
void lanternfay_page_caption(const char *title);
int lanternfay_page_music_play();
void lanternfay_page_music_fade(int steps, int step_ms);
void lanternfay_page_music_volume(int volume);
void lanternfay_page_music_pause(int paused);
void lanternfay_page_music_stop();
}

namespace {

std::string last_error;
SDL_Surface *display = nullptr;
double start_ms = 0.0;

// ---- Formats -------------------------------------------------------------------

uint8_t shift_of(uint32_t mask)
{
    uint8_t shift = 0;
    while (mask && !(mask & 1u)) {
        mask >>= 1;
        shift++;
    }
    return shift;
}

// Only byte-aligned 8-bit channels (or none): the formats of every picture
// and surface the show makes.
bool mask_usable(uint32_t mask)
{
    return mask == 0 || ((mask >> shift_of(mask)) == 0xFFu && shift_of(mask) % 8 == 0);
}

SDL_PixelFormat *format_new(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a)
{
    if ((depth != 24 && depth != 32) || !mask_usable(r) || !mask_usable(g) || !mask_usable(b) || !mask_usable(a)) {
        SDL_SetError("Unsupported pixel format (only 24 and 32 bits with 8-bit channels)");
        return nullptr;
    }
    if (!r && !g && !b) {   // SDL's default true-colour layout
        r = 0x00FF0000u;
        g = 0x0000FF00u;
        b = 0x000000FFu;
    }
    SDL_PixelFormat *f = static_cast<SDL_PixelFormat *>(std::calloc(1, sizeof(SDL_PixelFormat)));
    if (!f) {
        SDL_SetError("Out of memory");
        return nullptr;
    }
    f->BitsPerPixel = static_cast<Uint8>(depth);
    f->BytesPerPixel = static_cast<Uint8>(depth / 8);
    f->Rmask = r, f->Gmask = g, f->Bmask = b, f->Amask = a;
    f->Rshift = shift_of(r), f->Gshift = shift_of(g), f->Bshift = shift_of(b), f->Ashift = a ? shift_of(a) : 0;
    f->Aloss = a ? 0 : 8;
    f->alpha = SDL_ALPHA_OPAQUE;
    return f;
}

void write_pixel(uint8_t *p, int bytes, uint32_t v)
{
    if (bytes == 4) {
        std::memcpy(p, &v, 4);
        return;
    }
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8), p[2] = uint8_t(v >> 16);
}

struct Channels {
    uint32_t r, g, b, a;
};

Channels split(uint32_t v, const SDL_PixelFormat *f, uint32_t missing_alpha)
{
    return {(v & f->Rmask) >> f->Rshift, (v & f->Gmask) >> f->Gshift, (v & f->Bmask) >> f->Bshift,
            f->Amask ? (v & f->Amask) >> f->Ashift : missing_alpha};
}

uint32_t join(const Channels &c, const SDL_PixelFormat *f)
{
    uint32_t v = (c.r << f->Rshift) | (c.g << f->Gshift) | (c.b << f->Bshift);
    if (f->Amask)
        v |= c.a << f->Ashift;
    return v;
}

} // namespace

// ---- Start and end -------------------------------------------------------------

int SDL_Init(Uint32)
{
    start_ms = emscripten_get_now();
    return 0;
}

int SDL_InitSubSystem(Uint32) { return 0; }

void SDL_Quit()
{
    SDL_FreeSurface(display);
    display = nullptr;
}

char *SDL_GetError() { return const_cast<char *>(last_error.c_str()); }
void SDL_SetError(const char *text) { last_error = text; }
char *SDL_getenv(const char *name) { return std::getenv(name); }

const SDL_version *SDL_Linked_Version()
{
    static const SDL_version classic = {1, 2, 15};
    return &classic;
}
int SDL_putenv(char *assignment) { return putenv(assignment); }

// ---- Surfaces ------------------------------------------------------------------

SDL_Surface *SDL_CreateRGBSurface(Uint32 flags, int width, int height, int depth, Uint32 Rmask, Uint32 Gmask,
                                  Uint32 Bmask, Uint32 Amask)
{
    if (width < 0 || height < 0 || width > 16384 || height > 16384) {
        SDL_SetError("Surface size out of range");
        return nullptr;
    }
    SDL_PixelFormat *format = format_new(depth, Rmask, Gmask, Bmask, Amask);
    if (!format)
        return nullptr;
    SDL_Surface *s = static_cast<SDL_Surface *>(std::calloc(1, sizeof(SDL_Surface)));
    const int pitch = (width * format->BytesPerPixel + 3) & ~3;
    void *pixels = std::calloc(size_t(pitch) * height + 4, 1);   // zero-filled, as SDL's
    if (!s || !pixels) {
        std::free(s);
        std::free(pixels);
        std::free(format);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    s->flags = (flags & SDL_HWSURFACE) | (Amask ? SDL_SRCALPHA : 0);
    s->format = format;
    s->w = width;
    s->h = height;
    s->pitch = static_cast<Uint16>(pitch);
    s->pixels = pixels;
    s->clip_rect = {0, 0, static_cast<Uint16>(width), static_cast<Uint16>(height)};
    s->refcount = 1;
    return s;
}

void SDL_FreeSurface(SDL_Surface *s)
{
    if (!s || --s->refcount > 0)
        return;
    std::free(s->pixels);
    std::free(s->format);
    std::free(s);
}

int SDL_LockSurface(SDL_Surface *s)
{
    s->locked++;
    return 0;
}

void SDL_UnlockSurface(SDL_Surface *s)
{
    if (s->locked > 0)
        s->locked--;
}

int SDL_SetAlpha(SDL_Surface *s, Uint32 flag, Uint8 alpha)
{
    if (flag & SDL_SRCALPHA) {
        s->flags |= SDL_SRCALPHA;
        s->format->alpha = alpha;
    } else {
        s->flags &= ~SDL_SRCALPHA;
        s->format->alpha = SDL_ALPHA_OPAQUE;
    }
    s->flags = (s->flags & ~SDL_RLEACCELOK) | (flag & SDL_RLEACCELOK);
    return 0;
}

void SDL_GetRGB(Uint32 pixel, const SDL_PixelFormat *f, Uint8 *r, Uint8 *g, Uint8 *b)
{
    Channels c = split(pixel, f, SDL_ALPHA_OPAQUE);
    *r = Uint8(c.r), *g = Uint8(c.g), *b = Uint8(c.b);
}

Uint32 SDL_MapRGB(const SDL_PixelFormat *f, Uint8 r, Uint8 g, Uint8 b)
{
    return join({r, g, b, SDL_ALPHA_OPAQUE}, f);
}

int SDL_FillRect(SDL_Surface *dst, SDL_Rect *rect, Uint32 colour)
{
    int x0 = 0, y0 = 0, x1 = dst->w, y1 = dst->h;
    if (rect) {   // SDL 1.2 clips the caller's rectangle in place
        x0 = rect->x > 0 ? rect->x : 0;
        y0 = rect->y > 0 ? rect->y : 0;
        x1 = rect->x + rect->w < dst->w ? rect->x + rect->w : dst->w;
        y1 = rect->y + rect->h < dst->h ? rect->y + rect->h : dst->h;
        if (x1 <= x0 || y1 <= y0) {
            rect->w = rect->h = 0;
            return 0;
        }
        *rect = {Sint16(x0), Sint16(y0), Uint16(x1 - x0), Uint16(y1 - y0)};
    }
    const int bytes = dst->format->BytesPerPixel;
    uint8_t *row = static_cast<uint8_t *>(dst->pixels) + y0 * dst->pitch;
    for (int y = y0; y < y1; y++, row += dst->pitch)
        for (int x = x0; x < x1; x++)
            write_pixel(row + x * bytes, bytes, colour);
    return 0;
}

// ---- Files and pictures ---------------------------------------------------------

struct SDL_RWops {
    FILE *file;
};

SDL_RWops *SDL_RWFromFile(const char *name, const char *mode)
{
    FILE *file = std::fopen(name, mode);
    if (!file) {
        SDL_SetError((std::string("Couldn't open ") + name).c_str());
        return nullptr;
    }
    SDL_RWops *source = static_cast<SDL_RWops *>(std::malloc(sizeof(SDL_RWops)));
    if (!source) {
        std::fclose(file);
        SDL_SetError("Out of memory");
        return nullptr;
    }
    source->file = file;
    return source;
}

int SDL_RWclose(SDL_RWops *source)
{
    int result = std::fclose(source->file);
    std::free(source);
    return result;
}

SDL_Surface *SDL_LoadBMP_RW(SDL_RWops *source, int freesrc)
{
    if (!source) {
        SDL_SetError("Couldn't load BMP: no source");
        return nullptr;
    }
    // The rest of the file in memory (the show's largest picture is under
    // 2 MB), read by the one reader that the native fuzz target also runs.
    std::vector<uint8_t> bytes;
    uint8_t block[4096];
    size_t got = 0;
    while ((got = std::fread(block, 1, sizeof block, source->file)) > 0)
        bytes.insert(bytes.end(), block, block + got);
    SDL_Surface *picture = nullptr;
    if (std::ferror(source->file))
        SDL_SetError("Error reading from datastream");
    else
        picture = bmp_decode(bytes.data(), bytes.size());
    if (freesrc)
        SDL_RWclose(source);
    return picture;
}

// ---- The display ------------------------------------------------------------------

SDL_Surface *SDL_SetVideoMode(int width, int height, int bpp, Uint32)
{
    if (display)
        SDL_FreeSurface(display);
    display = SDL_CreateRGBSurface(0, width, height, bpp, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
    return display;
}

SDL_Surface *SDL_GetVideoSurface() { return display; }

const SDL_VideoInfo *SDL_GetVideoInfo()
{
    static SDL_VideoInfo info{};
    return &info;
}

void SDL_UpdateRect(SDL_Surface *, Sint32, Sint32, Uint32, Uint32) {}   // as SDL_Flip: the page shows it

int SDL_Flip(SDL_Surface *)
{
    return 0;   // the page shows the display once per animation frame (web_show_display)
}

void SDL_WM_SetCaption(const char *title, const char *) { lanternfay_page_caption(title); }
int SDL_ShowCursor(int) { return 0; }

// ---- Events and time -------------------------------------------------------------

int SDL_PollEvent(SDL_Event *) { return 0; }

Uint32 SDL_GetTicks() { return Uint32(emscripten_get_now() - start_ms); }

void SDL_Delay(Uint32 ms)
{
    const double until = emscripten_get_now() + ms;
    while (emscripten_get_now() < until) {
    }
}

SDL_mutex *SDL_CreateMutex() { return reinterpret_cast<SDL_mutex *>(&display); }
void SDL_DestroyMutex(SDL_mutex *) {}
int SDL_mutexP(SDL_mutex *) { return 0; }
int SDL_mutexV(SDL_mutex *) { return 0; }
SDL_Thread *SDL_CreateThread(int (*)(void *), void *) { return nullptr; }
void SDL_WaitThread(SDL_Thread *, int *) {}
SDL_sem *SDL_CreateSemaphore(Uint32) { return nullptr; }
void SDL_DestroySemaphore(SDL_sem *) {}
int SDL_SemWait(SDL_sem *) { return -1; }
int SDL_SemPost(SDL_sem *) { return -1; }

// ---- Music ---------------------------------------------------------------------

struct _Mix_Music {
    int unused;
};

namespace {

_Mix_Music the_music;
bool music_playing = false;
bool fading = false;
int music_volume = MIX_MAX_VOLUME;

} // namespace

int Mix_OpenAudio(int, Uint16, int, int) { return 0; }
void Mix_CloseAudio() {}

Mix_Music *Mix_LoadMUS(const char *file)
{
    FILE *f = std::fopen(file, "rb");   // the page's audio has already decoded it
    if (!f) {
        SDL_SetError((std::string("Couldn't open ") + file).c_str());
        return nullptr;
    }
    std::fclose(f);
    return &the_music;
}

void Mix_FreeMusic(Mix_Music *) { music_playing = false; }

int Mix_PlayMusic(Mix_Music *music, int)
{
    if (!music) {
        SDL_SetError("music parameter was NULL");
        return -1;
    }
    fading = false;
    music_playing = lanternfay_page_music_play() != 0;
    return music_playing ? 0 : -1;
}

int Mix_VolumeMusic(int volume)
{
    const int before = music_volume;
    if (volume >= 0) {
        music_volume = volume > MIX_MAX_VOLUME ? MIX_MAX_VOLUME : volume;
        lanternfay_page_music_volume(music_volume);
    }
    return before;
}

int Mix_FadeOutMusic(int ms)
{
    if (!music_playing || fading || ms <= 0)
        return 0;
    fading = true;
    lanternfay_page_music_fade(music_fade_steps(ms), music_fade_step_ms());
    return 1;
}

Mix_Fading Mix_FadingMusic() { return fading ? MIX_FADING_OUT : MIX_NO_FADING; }
int Mix_HaltMusic()
{
    if (music_playing)
        lanternfay_page_music_stop();
    music_playing = false;
    fading = false;
    return 0;
}

void Mix_PauseMusic() { lanternfay_page_music_pause(1); }
void Mix_ResumeMusic() { lanternfay_page_music_pause(0); }
int Mix_PlayingMusic() { return music_playing; }

// ---- The page's frame ------------------------------------------------------------

namespace {

uint8_t *canvas_bytes = nullptr;   // the display as the canvas wants it: red, green, blue, 255

} // namespace

void web_show_display()
{
    if (!display)
        return;
    const int count = display->w * display->h;
    if (!canvas_bytes)
        canvas_bytes = static_cast<uint8_t *>(std::malloc(size_t(count) * 4));
    if (!canvas_bytes)
        return;
    uint32_t *out = reinterpret_cast<uint32_t *>(canvas_bytes);
    const uint8_t *row = static_cast<const uint8_t *>(display->pixels);
    for (int y = 0; y < display->h; y++, row += display->pitch) {
        const uint32_t *in = reinterpret_cast<const uint32_t *>(row);
        for (int x = 0; x < display->w; x++) {
            const uint32_t p = in[x];   // 0x00RRGGBB: bytes blue, green, red
            *out++ = 0xFF000000u | ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
    }
    lanternfay_page_put_frame(canvas_bytes, display->w, display->h);
}

// ---- The GNU C library's random numbers ------------------------------------------
// The C library of the browser build draws other numbers from random() than
// the GNU C library does, and the scenes' random draws (seeds, snow, cubes)
// would then differ from the native show's. This is glibc's unseeded
// sequence (its additive feedback generator, TYPE_3, seed 1), which rand()
// shares there.

namespace {

uint32_t recent[31];   // the last 31 values, oldest at `oldest`
int oldest = 0;
bool seeded = false;

void seed_random(uint32_t seed)
{
    uint32_t values[344];
    values[0] = seed ? seed : 1;
    for (int i = 1; i < 31; i++) {
        int64_t next = (16807LL * int32_t(values[i - 1])) % 2147483647;
        values[i] = uint32_t(next < 0 ? next + 2147483647 : next);
    }
    for (int i = 31; i < 34; i++)
        values[i] = values[i - 31];
    for (int i = 34; i < 344; i++)
        values[i] = values[i - 31] + values[i - 3];
    for (int i = 0; i < 31; i++)
        recent[i] = values[313 + i];
    oldest = 0;
    seeded = true;
}

} // namespace

extern "C" long random()
{
    if (!seeded)
        seed_random(1);
    uint32_t next = recent[oldest] + recent[(oldest + 28) % 31];   // value i-31 plus value i-3
    recent[oldest] = next;
    oldest = (oldest + 1) % 31;
    return long(next >> 1);
}

extern "C" void srandom(unsigned int seed) { seed_random(seed); }
extern "C" int rand() { return int(random()); }
extern "C" void srand(unsigned int seed) { seed_random(seed); }

#endif // __EMSCRIPTEN__
